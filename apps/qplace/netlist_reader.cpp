// Reader of yosys JSON netlists: checks the whole document first, then builds.
#include "qplace/netlist_reader.h"

#include <zlib.h>

#include <algorithm>
#include <map>
#include <optional>
#include <regex>
#include <tuple>
#include <unordered_map>

#include <nlohmann/json.hpp>

namespace qplace {

namespace {

using json = nlohmann::json;

// A bit of a connection: a net number, or a constant (-1).
constexpr long kConstant = -1;

[[noreturn]] void fail(const std::string& source, const std::string& what) {
  throw ReadError(source + ": " + what);
}

// How one flip-flop cell type maps onto the FF primitive.
struct FfKind {
  bool clockFalling = false;
  bool hasEnable = false;
  bool enableLow = false;
  bool hasReset = false;
  bool resetLow = false;
  bool resetToOne = false;
  bool enableOverReset = false;  // the $_SDFFCE_ family: reset only when enabled
};

std::optional<FfKind> ffKind(const std::string& type) {
  static const std::regex dff(R"(\$_DFF_([NP])_)");
  static const std::regex dffe(R"(\$_DFFE_([NP])([NP])_)");
  static const std::regex sdff(R"(\$_SDFF_([NP])([NP])([01])_)");
  static const std::regex sdffe(R"(\$_SDFF(C?)E_([NP])([NP])([01])([NP])_)");
  std::smatch m;
  FfKind k;
  if (std::regex_match(type, m, dff)) {
    k.clockFalling = m[1] == "N";
  } else if (std::regex_match(type, m, dffe)) {
    k.clockFalling = m[1] == "N";
    k.hasEnable = true;
    k.enableLow = m[2] == "N";
  } else if (std::regex_match(type, m, sdff)) {
    k.clockFalling = m[1] == "N";
    k.hasReset = true;
    k.resetLow = m[2] == "N";
    k.resetToOne = m[3] == "1";
  } else if (std::regex_match(type, m, sdffe)) {
    k.enableOverReset = m[1] == "C";
    k.clockFalling = m[2] == "N";
    k.hasReset = true;
    k.resetLow = m[3] == "N";
    k.resetToOne = m[4] == "1";
    k.hasEnable = true;
    k.enableLow = m[5] == "N";
  } else {
    return std::nullopt;
  }
  return k;
}

// The bits of one connection, checked: each a net number (>= 0) or a
// constant string "0", "1", "x", "z" (kept as -1, -2, -3, -4 by value).
std::vector<long> bitsOf(const json& bits, const std::string& source, const std::string& where) {
  if (!bits.is_array()) fail(source, where + " is not a list of bits");
  std::vector<long> out;
  for (const json& b : bits) {
    if (b.is_number_integer() && b.get<long>() >= 0) {
      out.push_back(b.get<long>());
    } else if (b.is_string() && (b == "0" || b == "1" || b == "x" || b == "z")) {
      const std::string s = b.get<std::string>();
      out.push_back(s == "0" ? -1 : s == "1" ? -2 : s == "x" ? -3 : -4);
    } else {
      fail(source, where + " has a bit that is neither a net number nor a constant: " + b.dump());
    }
  }
  return out;
}

// One cell pin's single bit, which must be present.
long pinBit(const json& cell, const std::string& cellName, const char* pin,
            const std::string& source) {
  const json& conns = cell["connections"];
  auto it = conns.find(pin);
  const std::string where = "cell " + cellName + " pin " + pin;
  if (it == conns.end()) fail(source, where + " has no net");
  std::vector<long> bits = bitsOf(*it, source, where);
  if (bits.empty()) fail(source, where + " has no net");
  if (bits.size() != 1) fail(source, where + " has " + std::to_string(bits.size()) + " bits, not 1");
  return bits[0];
}

bool isConst(long bit) { return bit < 0; }
bool constIs(long bit, bool one) { return bit == (one ? -2 : -1); }

const json& topModule(const json& doc, const std::string& source, std::string& name) {
  if (!doc.is_object() || !doc.contains("modules") || !doc["modules"].is_object())
    fail(source, "not a yosys netlist (no \"modules\" object)");
  const json& modules = doc["modules"];
  if (modules.empty()) fail(source, "the netlist has no module");
  const json* found = nullptr;
  for (auto it = modules.begin(); it != modules.end(); ++it) {
    if (!it.value().is_object()) continue;  // no attributes to read; reported below if chosen
    const json& attrs = it.value().value("attributes", json::object());
    auto top = attrs.find("top");
    if (top != attrs.end() && top->is_string() && top->get<std::string>().find('1') != std::string::npos) {
      found = &it.value();
      name = it.key();
    }
  }
  if (found == nullptr) {
    if (modules.size() != 1) fail(source, "several modules and none marked \"top\"");
    found = &modules.begin().value();
    name = modules.begin().key();
  }
  if (!found->is_object()) fail(source, "module " + name + " is not an object");
  return *found;
}

// Key of a register control set.
using CtrlKey = std::tuple<long, bool, long, bool, long, bool, bool, bool>;

}  // namespace

Netlist readNetlistText(const std::string& text, const std::string& source, standin::Design& d) {
  json doc;
  try {
    doc = json::parse(text);
  } catch (const json::exception& e) {
    // A syntax error, or a number too large for a double (out_of_range).
    std::string what = e.what();
    const std::size_t cut = what.find("] ");
    if (cut != std::string::npos) what = what.substr(cut + 2);
    fail(source, "malformed JSON: " + what);
  }
  std::string modName;
  const json& mod = topModule(doc, source, modName);
  const json ports = mod.value("ports", json::object());
  const json cells = mod.value("cells", json::object());
  const json netnames = mod.value("netnames", json::object());
  if (!ports.is_object() || !cells.is_object() || !netnames.is_object())
    fail(source, "module " + modName + ": \"ports\", \"cells\" and \"netnames\" must be objects");

  // ---- check everything before building anything
  std::map<std::string, int> unknown;
  for (auto it = cells.begin(); it != cells.end(); ++it) {
    const json& cell = it.value();
    if (!cell.is_object() || !cell.contains("type") || !cell["type"].is_string())
      fail(source, "cell " + it.key() + " has no type");
    if (!cell.contains("connections") || !cell["connections"].is_object())
      fail(source, "cell " + it.key() + " has no connections");
    const std::string type = cell["type"].get<std::string>();
    if (type == "$lut") {
      const std::string where = "cell " + it.key() + " pin A";
      auto a = cell["connections"].find("A");
      if (a == cell["connections"].end()) fail(source, where + " has no net");
      const std::size_t width = bitsOf(*a, source, where).size();
      if (width == 0) fail(source, where + " has no net");
      if (width > 4)
        fail(source, "cell " + it.key() + ": $lut of width " + std::to_string(width) + " (at most 4)");
      pinBit(cell, it.key(), "Y", source);
    } else if (std::optional<FfKind> k = ffKind(type)) {
      pinBit(cell, it.key(), "C", source);
      pinBit(cell, it.key(), "D", source);
      pinBit(cell, it.key(), "Q", source);
      if (k->hasEnable) pinBit(cell, it.key(), "E", source);
      if (k->hasReset) pinBit(cell, it.key(), "R", source);
    } else {
      ++unknown[type];
    }
  }
  if (!unknown.empty()) {
    std::string list;
    for (const auto& [type, count] : unknown)
      list += (list.empty() ? "" : ", ") + type + " (" + std::to_string(count) + ")";
    fail(source, "unknown cell types: " + list);
  }
  for (auto it = ports.begin(); it != ports.end(); ++it) {
    const json& port = it.value();
    if (!port.is_object() || !port.contains("direction") || !port["direction"].is_string())
      fail(source, "port " + it.key() + " has no direction");
    const std::string dir = port["direction"].get<std::string>();
    if (dir != "input" && dir != "output" && dir != "inout")
      fail(source, "port " + it.key() + " has direction \"" + dir + "\"");
    if (!port.contains("bits")) fail(source, "port " + it.key() + " has no bits");
    bitsOf(port["bits"], source, "port " + it.key());
  }

  // ---- build
  Netlist out;
  out.prims = designgen::addPrims(d);

  // Signal names from the net names: a visible name wins over a hidden one.
  std::unordered_map<long, std::string> names;
  std::unordered_map<long, bool> visible;
  for (auto it = netnames.begin(); it != netnames.end(); ++it) {
    const json& nn = it.value();
    if (!nn.is_object() || !nn.contains("bits") || !nn["bits"].is_array()) continue;
    // Read without value(), which throws on a hide_name that is no number:
    // the design is being built, so nothing may throw here.
    const auto hide = nn.find("hide_name");
    const bool shown = hide == nn.end() || !hide->is_number() || *hide == 0;
    const json& bits = nn["bits"];
    for (std::size_t i = 0; i < bits.size(); ++i) {
      if (!bits[i].is_number_integer()) continue;
      const long bit = bits[i].get<long>();
      auto v = visible.find(bit);
      if (v != visible.end() && (v->second || !shown)) continue;
      names[bit] = bits.size() == 1 ? it.key() : it.key() + "[" + std::to_string(i) + "]";
      visible[bit] = shown;
    }
  }
  std::unordered_map<long, standin::Signal*> signals;
  auto signalOf = [&](long bit) -> standin::Signal* {
    if (isConst(bit)) return nullptr;
    standin::Signal*& s = signals[bit];
    if (s == nullptr) {
      auto n = names.find(bit);
      s = d.addSignal(n != names.end() ? n->second : "n" + std::to_string(bit));
    }
    return s;
  };
  auto drive = [&](long bit, standin::Comp* c, int pin) {
    if (standin::Signal* s = signalOf(bit)) d.addDriver(s, c, pin);
  };
  auto load = [&](long bit, standin::Comp* c, int pin) {
    if (standin::Signal* s = signalOf(bit)) d.addLoad(s, c, pin);
  };

  for (auto it = ports.begin(); it != ports.end(); ++it) {
    const std::string dir = it.value()["direction"].get<std::string>();
    const std::vector<long> bits = bitsOf(it.value()["bits"], source, "port " + it.key());
    for (std::size_t i = 0; i < bits.size(); ++i) {
      const std::string name = bits.size() == 1 ? it.key() : it.key() + "[" + std::to_string(i) + "]";
      standin::Comp* io = designgen::addIo(d, out.prims, name);
      if (dir != "output") drive(bits[i], io, designgen::IO_O);
      if (dir != "input") load(bits[i], io, designgen::IO_I);
      out.ios.push_back(io);
    }
  }

  std::map<CtrlKey, std::vector<standin::Comp*>> ctrlSets;
  std::unordered_map<long, bool> isClock;
  for (auto it = cells.begin(); it != cells.end(); ++it) {
    const json& cell = it.value();
    const std::string type = cell["type"].get<std::string>();
    if (type == "$lut") {
      standin::Comp* lut = designgen::addLut(d, out.prims, it.key());
      const std::vector<long> a = bitsOf(cell["connections"]["A"], source, it.key());
      drive(pinBit(cell, it.key(), "Y", source), lut, designgen::LUT_Z);
      for (std::size_t i = 0; i < a.size(); ++i) load(a[i], lut, static_cast<int>(i));
      out.luts.push_back(lut);
      continue;
    }
    const FfKind k = *ffKind(type);
    standin::Comp* reg = designgen::addReg(d, out.prims, it.key());
    const long clk = pinBit(cell, it.key(), "C", source);
    long en = k.hasEnable ? pinBit(cell, it.key(), "E", source) : kConstant;
    long rst = k.hasReset ? pinBit(cell, it.key(), "R", source) : kConstant;
    // Control pins stuck at their idle level are no control signals.
    bool enableLow = k.enableLow, resetLow = k.resetLow, resetToOne = k.resetToOne;
    if (k.hasEnable && constIs(en, !k.enableLow)) en = kConstant;
    if (k.hasReset && constIs(rst, k.resetLow)) rst = kConstant;
    if (!k.hasEnable || en == kConstant) enableLow = false;
    if (!k.hasReset || rst == kConstant) resetLow = resetToOne = false;
    drive(pinBit(cell, it.key(), "Q", source), reg, designgen::REG_Q);
    load(pinBit(cell, it.key(), "D", source), reg, designgen::REG_D);
    load(clk, reg, designgen::REG_CK);
    if (!isConst(en)) load(en, reg, designgen::REG_CE);
    if (!isConst(rst)) load(rst, reg, designgen::REG_SR);
    if (!isConst(clk)) isClock[clk] = true;
    const CtrlKey key{isConst(clk) ? kConstant : clk, k.clockFalling, isConst(en) ? kConstant : en,
                      enableLow,   isConst(rst) ? kConstant : rst, resetLow, resetToOne,
                      k.enableOverReset && !isConst(en) && !isConst(rst)};
    ctrlSets[key].push_back(reg);
    out.regs.push_back(reg);
  }
  for (auto& [key, regs] : ctrlSets) {
    UP_REGCTRL* rc = d.addRegCtrl(static_cast<int>(regs.size()));
    for (standin::Comp* reg : regs) reg->regctrl = rc;
  }
  out.controlSets = static_cast<int>(ctrlSets.size());
  for (auto& [bit, yes] : isClock) {
    standin::Signal* s = signals[bit];
    s->clocks |= standin::Signal::CLK1;
    out.clocks.push_back(s);
  }
  std::sort(out.clocks.begin(), out.clocks.end(),
            [](const standin::Signal* a, const standin::Signal* b) { return a->id < b->id; });
  return out;
}

Netlist readNetlistFile(const std::string& path, standin::Design& d) {
  gzFile f = gzopen(path.c_str(), "rb");
  if (f == nullptr) fail(path, "cannot open the file");
  std::string text;
  char buf[1 << 16];
  int n = 0;
  while ((n = gzread(f, buf, sizeof buf)) > 0) text.append(buf, static_cast<std::size_t>(n));
  int err = Z_OK;
  const char* msg = n < 0 ? gzerror(f, &err) : nullptr;
  const std::string why = msg != nullptr ? msg : "";
  gzclose(f);
  if (n < 0) fail(path, "cannot read the file (" + why + ")");
  return readNetlistText(text, path, d);
}

}  // namespace qplace
