// Writing a LogicNetlist as yosys JSON.
#include "qplace/logic_json.h"

#include <map>
#include <stdexcept>
#include <vector>

#include <nlohmann/json.hpp>

namespace qplace {

namespace {

using json = nlohmann::json;

json bit(NetId n) {
  if (isNet(n)) return n + 2;
  if (n == kNet0) return "0";
  if (n == kNet1) return "1";
  if (n == kNetZ) return "z";
  return "x";  // kNetX, and an unconnected pin
}

std::string pol(const Control& c) { return c.activeHigh ? "P" : "N"; }

std::string binary(unsigned long v, int width) {
  std::string s(static_cast<std::size_t>(width), '0');
  for (int i = 0; i < width; ++i)
    if ((v >> i) & 1u) s[static_cast<std::size_t>(width - 1 - i)] = '1';
  return s;
}

// The yosys cell of a register, its pins filled into `conn`.
std::string cellOf(const LogicReg& r, json& conn) {
  auto fail = [&](const char* why) -> std::string {
    throw std::invalid_argument("register " + r.name + ": " + why);
  };
  const bool en = r.enable.present(), srst = r.syncReset.present();
  const bool arst = r.asyncReset.present(), sr = r.asyncSet.present() || r.asyncClear.present();
  const bool aload = r.asyncLoad.present();
  if ((arst ? 1 : 0) + (sr ? 1 : 0) + (aload ? 1 : 0) > 1) fail("two kinds of asynchronous control");
  if (srst && (arst || sr || aload)) fail("a synchronous reset beside an asynchronous control");
  conn["D"] = json::array({bit(r.d)});
  conn["Q"] = json::array({bit(r.q)});
  const std::string c = pol(r.clock);
  // Set/clear pins absent on one side are tied inactive.
  auto setClear = [&](std::string& type) {
    const Control s = r.asyncSet.present() ? r.asyncSet : Control{kNet0, true};
    const Control k = r.asyncClear.present() ? r.asyncClear : Control{kNet0, true};
    conn["S"] = json::array({bit(s.net)});
    conn["R"] = json::array({bit(k.net)});
    type += pol(s) + pol(k);
  };
  if (r.latch) {
    if (en || srst) fail("an enable or a synchronous reset on a latch");
    conn["E"] = json::array({bit(r.clock.net)});
    if (aload) fail("an asynchronous load on a latch");
    if (arst) {
      conn["R"] = json::array({bit(r.asyncReset.net)});
      return "$_DLATCH_" + c + pol(r.asyncReset) + (r.asyncValue ? "1" : "0") + "_";
    }
    if (sr) {
      std::string type = "$_DLATCHSR_" + c;
      setClear(type);
      return type + "_";
    }
    return "$_DLATCH_" + c + "_";
  }
  conn["C"] = json::array({bit(r.clock.net)});
  if (en) conn["E"] = json::array({bit(r.enable.net)});
  if (srst) {
    conn["R"] = json::array({bit(r.syncReset.net)});
    const std::string rv = pol(r.syncReset) + (r.syncValue ? "1" : "0");
    if (!en) return "$_SDFF_" + c + rv + "_";
    return std::string(r.enableOverSync ? "$_SDFFCE_" : "$_SDFFE_") + c + rv + pol(r.enable) + "_";
  }
  const std::string e = en ? pol(r.enable) : "";
  if (arst) {
    conn["R"] = json::array({bit(r.asyncReset.net)});
    return std::string(en ? "$_DFFE_" : "$_DFF_") + c + pol(r.asyncReset) + (r.asyncValue ? "1" : "0") + e + "_";
  }
  if (sr) {
    std::string type = std::string(en ? "$_DFFSRE_" : "$_DFFSR_") + c;
    setClear(type);
    return type + e + "_";
  }
  if (aload) {
    conn["L"] = json::array({bit(r.asyncLoad.net)});
    conn["AD"] = json::array({bit(r.asyncData)});
    return std::string(en ? "$_ALDFFE_" : "$_ALDFF_") + c + pol(r.asyncLoad) + e + "_";
  }
  return std::string(en ? "$_DFFE_" : "$_DFF_") + c + e + "_";
}

}  // namespace

std::string writeYosysJson(const LogicNetlist& ln) {
  json mod;
  mod["attributes"] = {{"top", binary(1, 32)}};

  // Ports: bits "name[0]" .. "name[n-1]" of one direction become one port.
  struct Bit { long index; NetId net; std::string dir; const std::string* full; };
  std::map<std::string, std::vector<Bit>> byBase;
  std::vector<std::string> order;
  for (const LogicPort& p : ln.ports) {
    std::string base = p.name;
    long index = -1;
    const std::size_t open = p.name.rfind('[');
    if (open != std::string::npos && p.name.back() == ']' && open + 2 < p.name.size()) {
      const std::string digits = p.name.substr(open + 1, p.name.size() - open - 2);
      if (digits.size() < 9 && digits.find_first_not_of("0123456789") == std::string::npos) {
        base = p.name.substr(0, open);
        index = std::stol(digits);
      }
    }
    const char* dir = p.input && p.output ? "inout" : p.input ? "input" : "output";
    std::vector<Bit>& bits = byBase[base];
    if (bits.empty()) order.push_back(base);
    bits.push_back(Bit{index, p.net, dir, &p.name});
  }
  json jports = json::object();
  for (const std::string& base : order) {
    const std::vector<Bit>& bits = byBase[base];
    std::vector<NetId> vec(bits.size(), kNoNet);
    std::vector<char> seen(bits.size(), 0);
    bool whole = true;
    for (const Bit& b : bits) {
      if (b.index < 0 || b.index >= static_cast<long>(bits.size()) || seen[static_cast<std::size_t>(b.index)] ||
          b.dir != bits[0].dir) {
        whole = false;
        break;
      }
      seen[static_cast<std::size_t>(b.index)] = 1;
      vec[static_cast<std::size_t>(b.index)] = b.net;
    }
    if (whole) {
      json j = json::array();
      for (NetId n : vec) j.push_back(bit(n));
      jports[base] = {{"direction", bits[0].dir}, {"bits", j}};
    } else {
      for (const Bit& b : bits) jports[*b.full] = {{"direction", b.dir}, {"bits", json::array({bit(b.net)})}};
    }
  }
  mod["ports"] = jports;

  json cells = json::object();
  for (const LogicLut& l : ln.luts) {
    if (l.in.size() > 4) throw std::invalid_argument("LUT " + l.name + " has more than four inputs");
    const int width = static_cast<int>(l.in.size());
    json a = json::array();
    for (NetId n : l.in) a.push_back(bit(n));
    cells[l.name] = {{"hide_name", l.name.empty() || l.name[0] == '$' ? 1 : 0},
                     {"type", "$lut"},
                     {"parameters", {{"LUT", binary(l.mask, 1 << width)}, {"WIDTH", binary(static_cast<unsigned long>(width), 32)}}},
                     {"attributes", json::object()},
                     {"connections", {{"A", a}, {"Y", json::array({bit(l.out)})}}}};
  }
  for (const LogicReg& r : ln.regs) {
    json conn = json::object();
    const std::string type = cellOf(r, conn);
    cells[r.name] = {{"hide_name", r.name.empty() || r.name[0] == '$' ? 1 : 0},
                     {"type", type},
                     {"parameters", json::object()},
                     {"attributes", json::object()},
                     {"connections", conn}};
  }
  mod["cells"] = cells;

  // Net names, unique among themselves and apart from the cells' (yosys
  // keeps wires and cells in one name space).
  json names = json::object();
  for (int n = 0; n < ln.numNets(); ++n) {
    const LogicNet& net = ln.nets[static_cast<std::size_t>(n)];
    std::string name = net.name.empty() ? "$n" + std::to_string(n) : net.name;
    if (names.contains(name) || cells.contains(name)) name += "$" + std::to_string(n);
    names[name] = {{"hide_name", net.visible ? 0 : 1}, {"bits", json::array({n + 2})}, {"attributes", json::object()}};
  }
  mod["netnames"] = names;

  json doc;
  doc["creator"] = "qplace";
  doc["modules"] = {{ln.top.empty() ? "top" : ln.top, mod}};
  return doc.dump(1);
}

}  // namespace qplace
