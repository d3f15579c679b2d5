// The first step of reading: a yosys JSON document becomes a LogicNetlist,
// every check made on the way.
#include "qplace/netlist_reader.h"

#include <algorithm>
#include <limits>
#include <map>
#include <sstream>
#include <unordered_map>

#include "qplace/cell_types.h"
#include "qplace/memory_budget.h"
#include "qplace/names.h"
#include "qplace/netlist_text.h"

namespace qplace {

namespace {

using json = nlohmann::json;

// A value of the document in a message: short, and printable.
std::string describe(const json& v) {
  if (v.is_string()) {
    std::string s = v.get<std::string>();
    if (s.size() > 40) s = s.substr(0, 40) + "...";
    return "\"" + escapeName(s) + "\"";
  }
  if (v.is_array()) return "an array";
  if (v.is_object()) return "an object";
  return v.dump();
}

// A member of an object, or null.
const json* member(const json& obj, const char* key) {
  if (!obj.is_object()) return nullptr;
  auto it = obj.find(key);
  return it == obj.end() ? nullptr : &*it;
}

// Whether an attribute of a module is set: yosys writes a binary string
// ("000...01"), a newer one may write a number.
bool attributeSet(const json& mod, const char* name) {
  const json* attrs = member(mod, "attributes");
  const json* a = attrs != nullptr ? member(*attrs, name) : nullptr;
  if (a == nullptr) return false;
  if (a->is_string()) return a->get_ref<const std::string&>().find('1') != std::string::npos;
  if (a->is_number_unsigned()) return a->get<std::uint64_t>() != 0;
  if (a->is_number_integer()) return a->get<std::int64_t>() != 0;
  return false;
}

// An integer member (yosys's "offset", "upto"), 0 when absent or odd.
long long intMember(const json& obj, const char* key) {
  const json* v = member(obj, key);
  if (v == nullptr || !v->is_number_integer()) return 0;
  if (v->is_number_unsigned()) return v->get<std::uint64_t>() > 1u << 30 ? 0 : static_cast<long long>(v->get<std::uint64_t>());
  const long long x = v->get<std::int64_t>();
  return x < -(1 << 30) || x > (1 << 30) ? 0 : x;
}

// A placed netlist's location of a cell (see logic_netlist.h): its site
// and slot attributes as "<site>.<slot>", or "<site>"; empty without one.
std::string placedAt(const json& cell) {
  const json* attrs = member(cell, "attributes");
  const json* site = attrs != nullptr ? member(*attrs, kSiteAttribute) : nullptr;
  if (site == nullptr) return std::string();
  auto text = [](const json& v) { return v.is_string() ? v.get<std::string>() : v.dump(); };
  std::string at = text(*site);
  if (const json* slot = member(*attrs, kSlotAttribute)) at += "." + text(*slot);
  return at;
}

// A whole number of a module's attributes (the placed device's size), 0
// when absent or no number in [1, 1000000].
int attributeCount(const json& mod, const char* name) {
  const json* attrs = member(mod, "attributes");
  const json* a = attrs != nullptr ? member(*attrs, name) : nullptr;
  if (a == nullptr || !a->is_number_unsigned() || a->get<std::uint64_t>() > 1000000) return 0;
  return static_cast<int>(a->get<std::uint64_t>());
}

// The name of bit k of a wire of `width` bits: the wire's name for a
// one-bit wire at index 0, else name[i] with i its index in the declared
// range (yosys's offset, and upto for a range written [low:high]).
std::string bitName(const std::string& wire, const json& decl, std::size_t k, std::size_t width) {
  const long long offset = intMember(decl, "offset");
  const bool upto = intMember(decl, "upto") != 0;
  if (width == 1 && offset == 0) return wire;
  const long long index = upto ? offset + static_cast<long long>(width - 1 - k) : offset + static_cast<long long>(k);
  return wire + "[" + std::to_string(index) + "]";
}

// Who drives a net: nothing, a cell's output pin, or an input port bit.
struct Driver {
  const std::string* cell = nullptr;  // a cell's name
  const char* pin = nullptr;
  int port = -1;                      // a LogicPort
};

// Where a net's name comes from: a bit of a netnames entry.
struct NameRef {
  const std::string* wire = nullptr;
  const json* decl = nullptr;
  std::size_t bit = 0, width = 0;
  bool visible = false;
};

class JsonReader {
public:
  JsonReader(const std::string& source, const ReadOptions& opt) : source_(source), opt_(opt) {}

  LogicNetlist read(const json& doc) {
    const json& mod = chooseModule(doc);
    const json* ports = member(mod, "ports");
    const json* cells = member(mod, "cells");
    const json* netnames = member(mod, "netnames");
    const json empty = json::object();
    if (ports == nullptr) ports = &empty;
    if (cells == nullptr) cells = &empty;
    if (netnames == nullptr) netnames = &empty;
    if (!ports->is_object() || !cells->is_object() || !netnames->is_object())
      fail("module " + escapeName(ln_.top) + ": \"ports\", \"cells\" and \"netnames\" must be objects");

    checkCells(doc["modules"], *cells, *ports);
    ln_.placedRows = attributeCount(mod, kRowsAttribute);
    ln_.placedCols = attributeCount(mod, kColsAttribute);
    ln_.placedHalfRule = attributeCount(mod, kHalfRuleAttribute) != 0;
    readNetNames(*netnames);
    readPorts(*ports);
    readCells(*cells);
    return std::move(ln_);
  }

private:
  [[noreturn]] void fail(const std::string& what) const { throw ReadError(source_ + ": " + what); }

  const json& chooseModule(const json& doc) {
    const json* modules = member(doc, "modules");
    if (modules == nullptr || !modules->is_object()) fail("not a yosys netlist (no \"modules\" object)");
    if (modules->empty()) fail("the netlist has no module");
    const json* found = nullptr;
    if (!opt_.top.empty()) {
      auto it = modules->find(opt_.top);
      if (it == modules->end()) {
        std::string list;
        int shown = 0;
        for (auto m = modules->begin(); m != modules->end() && shown < 10; ++m, ++shown)
          list += (list.empty() ? "" : ", ") + escapeName(m.key());
        if (modules->size() > 10) list += ", ...";
        fail("no module " + escapeName(opt_.top) + " (the netlist has " + list + ")");
      }
      found = &*it;
      ln_.top = it.key();
    } else {
      std::vector<std::string> tops;
      for (auto it = modules->begin(); it != modules->end(); ++it)
        if (attributeSet(it.value(), "top")) {
          tops.push_back(it.key());
          found = &it.value();
        }
      if (tops.size() > 1) {
        std::string list;
        for (const std::string& t : tops) list += (list.empty() ? "" : ", ") + escapeName(t);
        fail("several modules marked top: " + list + "; choose one with --top");
      }
      if (found != nullptr) {
        ln_.top = tops[0];
      } else {
        if (modules->size() != 1) fail("several modules and none marked \"top\"; choose one with --top");
        found = &modules->begin().value();
        ln_.top = modules->begin().key();
      }
    }
    if (!found->is_object()) fail("module " + escapeName(ln_.top) + " is not an object");
    return *found;
  }

  // The cell's type and connections, checked.
  const std::string& typeOf(const std::string& name, const json& cell) const {
    const json* type = member(cell, "type");
    if (type == nullptr || !type->is_string()) fail("cell " + escapeName(name) + " has no type");
    const json* conns = member(cell, "connections");
    if (conns == nullptr || !conns->is_object()) fail("cell " + escapeName(name) + " has no connections");
    return type->get_ref<const std::string&>();
  }

  // First pass: every cell's type is one that can be placed (else one
  // error listing all that cannot), and the size of what will be built
  // fits in memory.
  void checkCells(const json& modules, const json& cells, const json& ports) {
    std::map<Refusal, std::map<std::string, int>> refused;
    std::uint64_t comps = 0, pins = 0;
    for (auto it = cells.begin(); it != cells.end(); ++it) {
      const std::string& type = typeOf(it.key(), it.value());
      for (const auto& conn : it.value()["connections"].items())
        if (conn.value().is_array()) pins += conn.value().size();
      ++comps;
      if (type == "$lut" || storageType(type) != nullptr) continue;
      if (const GateType* g = gateType(type)) {
        if (g->selects > 0) comps += (1u << g->selects) - 2;  // a tree of 2^selects - 1 LUTs
        continue;
      }
      const json* mod = member(modules, type.c_str());
      Refusal why = Refusal::Unknown;
      if (otherCell(type, mod != nullptr, mod != nullptr && attributeSet(*mod, "blackbox"), why) == CellClass::Refused)
        ++refused[why][type];
    }
    if (!refused.empty()) {
      std::string msg;
      for (const auto& [why, types] : refused) {
        std::string list;
        for (const auto& [type, count] : types)
          list += (list.empty() ? "" : ", ") + escapeName(type) + " (" + std::to_string(count) + ")";
        msg += (msg.empty() ? "" : "; ") + list + ": " + refusalHint(why);
      }
      fail("cells that cannot be placed: " + msg);
    }
    for (const auto& port : ports.items()) {
      const json* bits = member(port.value(), "bits");
      if (bits != nullptr && bits->is_array()) {
        comps += bits->size();
        pins += bits->size();
      }
    }
    const std::uint64_t limit = effectiveMemoryLimit(opt_.memoryLimit);
    const std::uint64_t need = placeBytes(comps, pins);
    if (need > limit) refuseMemory(source_, need, limit, opt_.memoryLimit != 0, "placing it", false);
  }

  void readNetNames(const json& netnames) {
    for (auto it = netnames.begin(); it != netnames.end(); ++it) {
      const json* bits = member(it.value(), "bits");
      if (bits == nullptr || !bits->is_array()) continue;
      const json* hide = member(it.value(), "hide_name");
      const bool shown = hide == nullptr || !hide->is_number() || *hide == 0;
      for (std::size_t i = 0; i < bits->size(); ++i) {
        const json& b = (*bits)[i];
        if (!b.is_number_unsigned()) continue;
        NameRef& ref = names_[b.get<std::uint64_t>()];
        if (ref.wire != nullptr && (ref.visible || !shown)) continue;
        ref = NameRef{&it.key(), &it.value(), i, bits->size(), shown};
      }
    }
  }

  // The net or constant of one bit of a connection.
  NetId netOf(const json& b, const std::string& where) {
    if (b.is_number_unsigned()) {
      const std::uint64_t bit = b.get<std::uint64_t>();
      auto [it, added] = netOfBit_.emplace(bit, 0);
      if (added) {
        if (ln_.nets.size() >= static_cast<std::size_t>(std::numeric_limits<NetId>::max()))
          fail("too many nets");
        auto n = names_.find(bit);
        if (n != names_.end())
          it->second = ln_.addNet(bitName(*n->second.wire, *n->second.decl, n->second.bit, n->second.width),
                                  n->second.visible);
        else
          it->second = ln_.addNet("n" + std::to_string(bit), false);
        drivers_.emplace_back();
      }
      return it->second;
    }
    if (b.is_string()) {
      const std::string& s = b.get_ref<const std::string&>();
      if (s == "0") return kNet0;
      if (s == "1") return kNet1;
      if (s == "x") return kNetX;
      if (s == "z") return kNetZ;
    }
    fail(where + " has a bit that is neither a net number nor a constant: " + describe(b));
  }

  std::string driverName(const Driver& d) const {
    if (d.cell != nullptr) return "cell " + escapeName(*d.cell) + " (pin " + d.pin + ")";
    return "input port " + escapeName(ln_.ports[static_cast<std::size_t>(d.port)].name);
  }

  void drive(NetId net, const Driver& d) {
    if (!isNet(net)) return;
    Driver& slot = drivers_[static_cast<std::size_t>(net)];
    if (slot.cell != nullptr || slot.port >= 0)
      fail("net " + escapeName(ln_.nets[static_cast<std::size_t>(net)].name) + " has two drivers: " +
           driverName(slot) + " and " + driverName(d));
    slot = d;
  }

  void readPorts(const json& ports) {
    for (auto it = ports.begin(); it != ports.end(); ++it) {
      const std::string where = "port " + escapeName(it.key());
      const json* dir = member(it.value(), "direction");
      if (dir == nullptr || !dir->is_string()) fail(where + " has no direction");
      const std::string& d = dir->get_ref<const std::string&>();
      if (d != "input" && d != "output" && d != "inout") fail(where + " has direction " + describe(*dir));
      const json* bits = member(it.value(), "bits");
      if (bits == nullptr) fail(where + " has no bits");
      if (!bits->is_array()) fail(where + " is not a list of bits");
      // A placed netlist's I/O sites, one per bit.
      const json* attrs = member(it.value(), "attributes");
      const json* sites = attrs != nullptr ? member(*attrs, kSiteAttribute) : nullptr;
      for (std::size_t k = 0; k < bits->size(); ++k) {
        LogicPort p;
        p.name = bitName(it.key(), it.value(), k, bits->size());
        p.port = it.key();
        p.bit = k;
        if (sites != nullptr && sites->is_array() && k < sites->size() && !(*sites)[k].is_null())
          p.placedAt = (*sites)[k].is_string() ? (*sites)[k].get<std::string>() : (*sites)[k].dump();
        p.net = netOf((*bits)[k], where);
        p.input = d != "output";
        p.output = d != "input";
        ln_.ports.push_back(std::move(p));
        if (d == "input") drive(ln_.ports.back().net, Driver{nullptr, nullptr, static_cast<int>(ln_.ports.size() - 1)});
      }
    }
  }

  // The bits of a cell's pin, which must be a list.
  const json& pinBits(const json& cell, const std::string& name, const std::string& pin) {
    const json& conns = cell["connections"];
    auto it = conns.find(pin);
    const std::string where = "cell " + escapeName(name) + " pin " + pin;
    if (it == conns.end()) fail(where + " has no net");
    if (!it->is_array()) fail(where + " is not a list of bits");
    return *it;
  }

  // A pin of exactly one bit.
  NetId onePin(const json& cell, const std::string& name, const std::string& pin) {
    const json& bits = pinBits(cell, name, pin);
    const std::string where = "cell " + escapeName(name) + " pin " + pin;
    if (bits.empty()) fail(where + " has no net");
    if (bits.size() != 1) fail(where + " has " + std::to_string(bits.size()) + " bits, not 1");
    return netOf(bits[0], where);
  }

  // Every pin of the cell is one its type has.
  template <class Has>
  void checkPins(const json& cell, const std::string& name, const std::string& type, Has has) {
    for (auto it = cell["connections"].begin(); it != cell["connections"].end(); ++it)
      if (!has(it.key())) fail("cell " + escapeName(name) + ": a " + type + " has no pin " + escapeName(it.key()));
  }

  void readCells(const json& cells) {
    for (auto it = cells.begin(); it != cells.end(); ++it) {
      const std::string& type = it.value()["type"].get_ref<const std::string&>();
      if (type == "$lut")
        readLut(it.key(), it.value());
      else if (const GateType* g = gateType(type))
        readGate(it.key(), it.value(), type, *g);
      else if (const StorageType* s = storageType(type))
        readStorage(it.key(), it.value(), type, *s);
      // else: skipped ($scopeinfo); every other type was refused before
    }
  }

  void readLut(const std::string& name, const json& cell) {
    checkPins(cell, name, "$lut", [](const std::string& p) { return p == "A" || p == "Y"; });
    const json& a = pinBits(cell, name, "A");
    if (a.empty()) fail("cell " + escapeName(name) + " pin A has no net");
    if (a.size() > 4) fail("cell " + escapeName(name) + ": $lut of width " + std::to_string(a.size()) + " (at most 4)");
    LogicLut lut;
    lut.name = name;
    for (const json& b : a) lut.in.push_back(netOf(b, "cell " + escapeName(name) + " pin A"));
    lut.out = onePin(cell, name, "Y");
    lut.mask = lutMask(cell, name, a.size());
    lut.placedAt = placedAt(cell);
    drive(lut.out, Driver{&name, "Y", -1});
    ln_.luts.push_back(std::move(lut));
  }

  // The LUT parameter: a bit string of 2^inputs bits, most significant
  // first ("x" and "z" bits read as 0), or a number below 2^(2^inputs).
  std::uint16_t lutMask(const json& cell, const std::string& name, std::size_t inputs) {
    const json* params = member(cell, "parameters");
    const json* lut = params != nullptr ? member(*params, "LUT") : nullptr;
    const std::string where = "cell " + escapeName(name);
    if (lut == nullptr) fail(where + " has no LUT parameter");
    const std::size_t bits = std::size_t{1} << inputs;
    if (lut->is_number_unsigned()) {
      const std::uint64_t v = lut->get<std::uint64_t>();
      if (bits < 64 && v >> bits != 0) fail(where + ": LUT mask " + lut->dump() + " does not fit " + std::to_string(inputs) + " inputs");
      return static_cast<std::uint16_t>(v);
    }
    if (!lut->is_string()) fail(where + ": LUT mask " + describe(*lut) + " is not a bit string");
    const std::string& s = lut->get_ref<const std::string&>();
    if (s.size() != bits)
      fail(where + ": LUT mask of " + std::to_string(s.size()) + " bits for " + std::to_string(inputs) + " inputs (needs " +
           std::to_string(bits) + ")");
    std::uint16_t mask = 0;
    for (std::size_t k = 0; k < bits; ++k) {
      const char c = s[bits - 1 - k];
      if (c != '0' && c != '1' && c != 'x' && c != 'z') fail(where + ": LUT mask " + describe(*lut) + " is not a bit string");
      if (c == '1') mask = static_cast<std::uint16_t>(mask | (1u << k));
    }
    return mask;
  }

  void readGate(const std::string& name, const json& cell, const std::string& type, const GateType& g) {
    checkPins(cell, name, type, [&](const std::string& p) {
      return p == "Y" || std::find(g.inputs.begin(), g.inputs.end(), p) != g.inputs.end();
    });
    std::vector<NetId> in;
    for (const std::string& pin : g.inputs) in.push_back(onePin(cell, name, pin));
    const NetId out = onePin(cell, name, "Y");
    drive(out, Driver{&name, "Y", -1});
    if (g.selects == 0) {
      ln_.luts.push_back(LogicLut{name, std::move(in), out, g.mask, false, placedAt(cell)});
      return;
    }
    // The inner LUTs' locations, in the order of their numbers.
    std::vector<std::string> parts;
    const json* attrs = member(cell, "attributes");
    if (const json* list = attrs != nullptr ? member(*attrs, kPartsAttribute) : nullptr) {
      std::istringstream words(list->is_string() ? list->get<std::string>() : list->dump());
      for (std::string w; words >> w;) parts.push_back(w);
    }
    // A wide multiplexer: level l picks between pairs with select l, the
    // last level's one LUT drives the output.
    constexpr std::uint16_t kMux2 = 0xca;  // in[2] ? in[1] : in[0]
    std::vector<NetId> level(in.begin(), in.begin() + (1 << g.selects));
    int made = 0;
    for (int l = 0; l < g.selects; ++l) {
      const NetId select = in[static_cast<std::size_t>((1 << g.selects) + l)];
      std::vector<NetId> next;
      for (std::size_t k = 0; k + 1 < level.size(); k += 2) {
        const bool root = level.size() == 2;
        const std::string part = root ? name : name + "$mux" + std::to_string(made++);
        const NetId o = root ? out : ln_.addNet(part, false);
        if (!root) drivers_.emplace_back();
        const std::size_t index = static_cast<std::size_t>(made - 1);
        ln_.luts.push_back(LogicLut{part, {level[k], level[k + 1], select}, o, kMux2, !root,
                                    root ? placedAt(cell) : index < parts.size() ? parts[index] : std::string()});
        next.push_back(o);
      }
      level = std::move(next);
    }
  }

  void readStorage(const std::string& name, const json& cell, const std::string& type, const StorageType& st) {
    checkPins(cell, name, type, [&](const std::string& p) {
      for (const StoragePin& sp : st.pins)
        if (sp.pin == p) return true;
      return false;
    });
    LogicReg r;
    r.name = name;
    r.type = type;
    r.latch = st.latch;
    for (const StoragePin& sp : st.pins) {
      const NetId net = onePin(cell, name, sp.pin);
      const Control c{net, sp.activeHigh};
      switch (sp.role) {
        case PinRole::D: r.d = net; break;
        case PinRole::Q: r.q = net; break;
        case PinRole::Clock: r.clock = c; break;
        case PinRole::Enable: r.enable = c; break;
        case PinRole::SyncReset: r.syncReset = c; r.syncValue = st.resetValue; break;
        case PinRole::AsyncReset: r.asyncReset = c; r.asyncValue = st.resetValue; break;
        case PinRole::AsyncSet: r.asyncSet = c; break;
        case PinRole::AsyncClear: r.asyncClear = c; break;
        case PinRole::AsyncLoad: r.asyncLoad = c; break;
        case PinRole::AsyncData: r.asyncData = net; break;
      }
    }
    r.enableOverSync = st.enableOverSync;
    if (!st.gated) r.clock = Control{kNet0, true};  // a set/clear latch: never transparent
    normalize(r);
    r.placedAt = placedAt(cell);
    drive(r.q, Driver{&name, "Q", -1});
    ln_.regs.push_back(std::move(r));
  }

  // Drops the controls stuck where they do nothing, and reads one-sided
  // set/clear pairs and constant loads as plain asynchronous resets.
  static void normalize(LogicReg& r) {
    auto stuckAt = [](const Control& c, bool active) {
      return c.net == ((c.activeHigh == active) ? kNet1 : kNet0);
    };
    auto drop = [](Control& c) { c = Control{}; };
    if (stuckAt(r.enable, true)) drop(r.enable);
    for (Control* c : {&r.syncReset, &r.asyncReset, &r.asyncSet, &r.asyncClear, &r.asyncLoad})
      if (stuckAt(*c, false)) drop(*c);
    if (!r.asyncReset.present()) {
      if (r.asyncSet.present() != r.asyncClear.present()) {
        r.asyncValue = r.asyncSet.present();
        r.asyncReset = r.asyncValue ? r.asyncSet : r.asyncClear;
        drop(r.asyncSet);
        drop(r.asyncClear);
      } else if (!r.asyncSet.present() && r.asyncLoad.present() && (r.asyncData == kNet0 || r.asyncData == kNet1)) {
        r.asyncValue = r.asyncData == kNet1;
        r.asyncReset = r.asyncLoad;
        drop(r.asyncLoad);
      }
    }
    if (!r.asyncLoad.present()) r.asyncData = kNoNet;
    if (!r.asyncReset.present()) r.asyncValue = false;
    if (!r.syncReset.present()) r.syncValue = false;
    r.enableOverSync = r.enableOverSync && r.syncReset.present() && r.enable.present();
  }

  const std::string& source_;
  const ReadOptions& opt_;
  LogicNetlist ln_;
  std::unordered_map<std::uint64_t, NameRef> names_;
  std::unordered_map<std::uint64_t, NetId> netOfBit_;
  std::vector<Driver> drivers_;  // per net
};

json parseChecked(const std::string& text, const std::string& source, const ReadOptions& opt) {
  const std::uint64_t limit = effectiveMemoryLimit(opt.memoryLimit);
  if (parseBytes(text.size()) > limit)
    refuseMemory(source, parseBytes(text.size()), limit, opt.memoryLimit != 0, "reading it", false);
  return parseNetlistJson(text, source);
}

}  // namespace

LogicNetlist readLogicNetlistText(const std::string& text, const std::string& source, const ReadOptions& opt) {
  const json doc = parseChecked(text, source, opt);
  return JsonReader(source, opt).read(doc);
}

LogicNetlist readLogicNetlistFile(const std::string& path, const ReadOptions& opt) {
  std::string text = readNetlistBytes(path, opt.memoryLimit);
  const json doc = parseChecked(text, path, opt);
  std::string().swap(text);  // the document is all that is needed now
  return JsonReader(path, opt).read(doc);
}

}  // namespace qplace
