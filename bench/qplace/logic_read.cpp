// Reading yosys JSON into a LogicNetlist, for the control-set benchmark.
#include "logic_read.h"

#include <zlib.h>

#include <map>
#include <regex>
#include <stdexcept>
#include <unordered_map>

#include <nlohmann/json.hpp>

namespace qplace {

namespace {

using json = nlohmann::json;

std::string slurp(const std::string& path) {
  gzFile f = gzopen(path.c_str(), "rb");
  if (f == nullptr) throw std::runtime_error(path + ": cannot open the file");
  std::string text;
  char buf[1 << 16];
  int n = 0;
  while ((n = gzread(f, buf, sizeof buf)) > 0) text.append(buf, static_cast<std::size_t>(n));
  gzclose(f);
  if (n < 0) throw std::runtime_error(path + ": cannot read the file");
  return text;
}

}  // namespace

LogicNetlist readLogicJson(const std::string& path) {
  const json doc = json::parse(slurp(path));
  const json& modules = doc.at("modules");
  const json* mod = nullptr;
  LogicNetlist ln;
  for (auto it = modules.begin(); it != modules.end(); ++it) {
    const json attrs = it.value().value("attributes", json::object());
    if ((attrs.contains("top") && attrs["top"].is_string() && attrs["top"].get<std::string>().find('1') != std::string::npos) ||
        modules.size() == 1) {
      mod = &it.value();
      ln.top = it.key();
    }
  }
  if (mod == nullptr) throw std::runtime_error(path + ": no top module");

  // Nets by yosys bit number, named from the net names (visible ones first).
  std::unordered_map<long, NetId> netOf;
  std::unordered_map<long, std::pair<std::string, bool>> names;
  for (auto it = mod->at("netnames").begin(); it != mod->at("netnames").end(); ++it) {
    const json& bits = it.value().at("bits");
    const bool shown = it.value().value("hide_name", 0) == 0;
    for (std::size_t i = 0; i < bits.size(); ++i) {
      if (!bits[i].is_number_integer()) continue;
      auto found = names.find(bits[i].get<long>());
      if (found != names.end() && (found->second.second || !shown)) continue;
      names[bits[i].get<long>()] = {bits.size() == 1 ? it.key() : it.key() + "[" + std::to_string(i) + "]", shown};
    }
  }
  auto net = [&](const json& b) -> NetId {
    if (b.is_string()) {
      const std::string s = b.get<std::string>();
      return s == "0" ? kNet0 : s == "1" ? kNet1 : s == "z" ? kNetZ : kNetX;
    }
    const long bit = b.get<long>();
    auto it = netOf.find(bit);
    if (it != netOf.end()) return it->second;
    auto n = names.find(bit);
    const NetId id = n != names.end() ? ln.addNet(n->second.first, n->second.second) : ln.addNet("n" + std::to_string(bit));
    netOf[bit] = id;
    return id;
  };

  for (auto it = mod->at("ports").begin(); it != mod->at("ports").end(); ++it) {
    const std::string dir = it.value().at("direction");
    const json& bits = it.value().at("bits");
    for (std::size_t i = 0; i < bits.size(); ++i)
      ln.ports.push_back(LogicPort{bits.size() == 1 ? it.key() : it.key() + "[" + std::to_string(i) + "]",
                                   net(bits[i]), dir != "output", dir != "input"});
  }

  static const std::regex dff(R"(\$_(DFF|DFFE|SDFF|SDFFE|SDFFCE|DFFSR|DFFSRE|DLATCH)_([NP01]+)_)");
  std::map<std::string, int> unknown;
  for (auto it = mod->at("cells").begin(); it != mod->at("cells").end(); ++it) {
    const json& cell = it.value();
    const std::string type = cell.at("type");
    const json& conn = cell.at("connections");
    auto pin = [&](const char* p) { return net(conn.at(p).at(0)); };
    if (type == "$lut") {
      LogicLut l;
      l.name = it.key();
      for (const json& b : conn.at("A")) l.in.push_back(net(b));
      const json& mask = cell.at("parameters").at("LUT");
      if (mask.is_string()) {
        const std::string m = mask.get<std::string>();
        for (std::size_t i = 0; i < m.size() && i < 16; ++i)
          if (m[m.size() - 1 - i] == '1') l.mask = static_cast<std::uint16_t>(l.mask | (1u << i));
      } else {
        l.mask = static_cast<std::uint16_t>(mask.get<unsigned long>());
      }
      l.out = pin("Y");
      ln.luts.push_back(l);
      continue;
    }
    std::smatch m;
    if (!std::regex_match(type, m, dff)) {
      ++unknown[type];
      continue;
    }
    const std::string fam = m[1], code = m[2];
    auto ctl = [&](const char* p, char level) { return Control{pin(p), level == 'P'}; };
    LogicReg r;
    r.name = it.key();
    r.type = type;
    r.d = pin("D");
    r.q = pin("Q");
    bool ok = true;
    if (fam == "DLATCH") {
      r.latch = true;
      r.clock = ctl("E", code[0]);
      if (code.size() == 3) {
        r.asyncReset = ctl("R", code[1]);
        r.asyncValue = code[2] == '1';
      } else ok = code.size() == 1;
    } else {
      r.clock = ctl("C", code[0]);
      if (fam == "DFF" && code.size() == 3) {
        r.asyncReset = ctl("R", code[1]);
        r.asyncValue = code[2] == '1';
      } else if (fam == "DFFE" && code.size() == 4) {
        r.asyncReset = ctl("R", code[1]);
        r.asyncValue = code[2] == '1';
        r.enable = ctl("E", code[3]);
      } else if (fam == "DFFE" && code.size() == 2) {
        r.enable = ctl("E", code[1]);
      } else if (fam == "SDFF" && code.size() == 3) {
        r.syncReset = ctl("R", code[1]);
        r.syncValue = code[2] == '1';
      } else if ((fam == "SDFFE" || fam == "SDFFCE") && code.size() == 4) {
        r.syncReset = ctl("R", code[1]);
        r.syncValue = code[2] == '1';
        r.enable = ctl("E", code[3]);
        r.enableOverSync = fam == "SDFFCE";
      } else if (fam == "DFFSR" || fam == "DFFSRE") {
        r.asyncSet = ctl("S", code[1]);
        r.asyncClear = ctl("R", code[2]);
        if (fam == "DFFSRE") r.enable = ctl("E", code[3]);
        ok = code.size() == (fam == "DFFSR" ? 3u : 4u);
      } else {
        ok = fam == "DFF" && code.size() == 1;
      }
    }
    if (!ok) {
      ++unknown[type];
      continue;
    }
    // Controls stuck inactive are no controls.
    for (Control* c : {&r.enable, &r.syncReset, &r.asyncReset, &r.asyncSet, &r.asyncClear})
      if (c->present() && ((c->net == kNet0 && c->activeHigh) || (c->net == kNet1 && !c->activeHigh))) *c = Control{};
    ln.regs.push_back(r);
  }
  if (!unknown.empty()) {
    std::string list;
    for (const auto& [type, count] : unknown) list += (list.empty() ? "" : ", ") + type + " (" + std::to_string(count) + ")";
    throw std::runtime_error(path + ": unknown cell types: " + list);
  }
  return ln;
}

}  // namespace qplace
