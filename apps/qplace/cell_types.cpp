// The cell-type table: every storage and gate type, made once.
#include "qplace/cell_types.h"

#include <functional>
#include <unordered_map>

namespace qplace {

namespace {

// A storage family: its name and the meaning of each suffix letter.
//   C clock edge (pin C)     E enable (pin E)          G latch gate (pin E)
//   R async reset (pin R)    Y sync reset (pin R)      V reset value
//   S async set (pin S)      K async clear (pin R)     L async load (pin L)
struct Family {
  const char* name;
  const char* letters;
  bool latch = false;
  bool enableOverSync = false;
};

const Family kFamilies[] = {
    {"DFF", "C"},           {"DFF", "CRV"},          {"DFFE", "CE"},      {"DFFE", "CRVE"},
    {"SDFF", "CYV"},        {"SDFFE", "CYVE"},       {"SDFFCE", "CYVE", false, true},
    {"DFFSR", "CSK"},       {"DFFSRE", "CSKE"},      {"ALDFF", "CL"},     {"ALDFFE", "CLE"},
    {"DLATCH", "G", true},  {"DLATCH", "GRV", true}, {"DLATCHSR", "GSK", true},
    {"SR", "SK", true},
};

// Every type of a family: each letter takes its two values in turn.
void addFamily(const Family& f, std::unordered_map<std::string, StorageType>& table) {
  const std::string letters = f.letters;
  const std::size_t n = letters.size();
  for (unsigned combo = 0; combo < (1u << n); ++combo) {
    StorageType t;
    t.latch = f.latch;
    t.gated = letters[0] != 'S';
    t.enableOverSync = f.enableOverSync;
    std::string suffix;
    bool load = false;
    for (std::size_t k = 0; k < n; ++k) {
      const bool one = ((combo >> (n - 1 - k)) & 1u) != 0;
      const char l = letters[k];
      if (l == 'V') {
        suffix += one ? '1' : '0';
        t.resetValue = one;
        continue;
      }
      suffix += one ? 'P' : 'N';
      switch (l) {
        case 'C': t.pins.push_back({"C", PinRole::Clock, one}); break;
        case 'G': t.pins.push_back({"E", PinRole::Clock, one}); break;
        case 'E': t.pins.push_back({"E", PinRole::Enable, one}); break;
        case 'R': t.pins.push_back({"R", PinRole::AsyncReset, one}); break;
        case 'Y': t.pins.push_back({"R", PinRole::SyncReset, one}); break;
        case 'S': t.pins.push_back({"S", PinRole::AsyncSet, one}); break;
        case 'K': t.pins.push_back({"R", PinRole::AsyncClear, one}); break;
        case 'L': t.pins.push_back({"L", PinRole::AsyncLoad, one}); load = true; break;
        default: break;
      }
    }
    if (t.gated) t.pins.push_back({"D", PinRole::D, true});
    if (load) t.pins.push_back({"AD", PinRole::AsyncData, true});
    t.pins.push_back({"Q", PinRole::Q, true});
    table.emplace(std::string("$_") + f.name + "_" + suffix + "_", std::move(t));
  }
}

const std::unordered_map<std::string, StorageType>& storageTable() {
  static const std::unordered_map<std::string, StorageType> table = [] {
    std::unordered_map<std::string, StorageType> t;
    for (const Family& f : kFamilies) addFamily(f, t);
    return t;
  }();
  return table;
}

// A gate: its inputs and its value for the input values v[0..].
struct GateDef {
  const char* name;
  std::vector<std::string> inputs;
  std::function<bool(const bool* v)> eval;
};

const std::unordered_map<std::string, GateType>& gateTable() {
  static const std::unordered_map<std::string, GateType> table = [] {
    const std::vector<GateDef> defs = {
        {"$_BUF_", {"A"}, [](const bool* v) { return v[0]; }},
        {"$_NOT_", {"A"}, [](const bool* v) { return !v[0]; }},
        {"$_AND_", {"A", "B"}, [](const bool* v) { return v[0] && v[1]; }},
        {"$_NAND_", {"A", "B"}, [](const bool* v) { return !(v[0] && v[1]); }},
        {"$_OR_", {"A", "B"}, [](const bool* v) { return v[0] || v[1]; }},
        {"$_NOR_", {"A", "B"}, [](const bool* v) { return !(v[0] || v[1]); }},
        {"$_XOR_", {"A", "B"}, [](const bool* v) { return v[0] != v[1]; }},
        {"$_XNOR_", {"A", "B"}, [](const bool* v) { return v[0] == v[1]; }},
        {"$_ANDNOT_", {"A", "B"}, [](const bool* v) { return v[0] && !v[1]; }},
        {"$_ORNOT_", {"A", "B"}, [](const bool* v) { return v[0] || !v[1]; }},
        {"$_MUX_", {"A", "B", "S"}, [](const bool* v) { return v[2] ? v[1] : v[0]; }},
        {"$_NMUX_", {"A", "B", "S"}, [](const bool* v) { return !(v[2] ? v[1] : v[0]); }},
        {"$_AOI3_", {"A", "B", "C"}, [](const bool* v) { return !((v[0] && v[1]) || v[2]); }},
        {"$_OAI3_", {"A", "B", "C"}, [](const bool* v) { return !((v[0] || v[1]) && v[2]); }},
        {"$_AOI4_", {"A", "B", "C", "D"}, [](const bool* v) { return !((v[0] && v[1]) || (v[2] && v[3])); }},
        {"$_OAI4_", {"A", "B", "C", "D"}, [](const bool* v) { return !((v[0] || v[1]) && (v[2] || v[3])); }},
    };
    std::unordered_map<std::string, GateType> t;
    for (const GateDef& g : defs) {
      GateType type;
      type.inputs = g.inputs;
      const unsigned n = static_cast<unsigned>(g.inputs.size());
      for (unsigned k = 0; k < (1u << n); ++k) {
        bool v[4] = {false, false, false, false};
        for (unsigned i = 0; i < n; ++i) v[i] = ((k >> i) & 1u) != 0;
        if (g.eval(v)) type.mask = static_cast<std::uint16_t>(type.mask | (1u << k));
      }
      t.emplace(g.name, std::move(type));
    }
    // The wide multiplexers: data inputs A, B, ... then selects S, T, U, V.
    const char* wide[] = {"$_MUX4_", "$_MUX8_", "$_MUX16_"};
    for (int selects = 2; selects <= 4; ++selects) {
      GateType type;
      type.selects = selects;
      for (int k = 0; k < (1 << selects); ++k) type.inputs.push_back(std::string(1, static_cast<char>('A' + k)));
      for (int k = 0; k < selects; ++k) type.inputs.push_back(std::string(1, "STUV"[k]));
      t.emplace(wide[selects - 2], std::move(type));
    }
    return t;
  }();
  return table;
}

bool startsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

}  // namespace

const char* refusalHint(Refusal r) {
  switch (r) {
    case Refusal::WordLevel:
      return "word-level cells; map them with \"synth -flatten; abc -lut 4\" (what synth leaves, as some "
             "powers, write otherwise in the source)";
    case Refusal::Memory: return "memories; map them to registers and logic with \"memory_map\" before \"abc -lut 4\"";
    case Refusal::Tristate:
      // "tribuf -logic" leaves the buffers that drive a port.
      return "tristate buffers; turn them into logic with \"tribuf -logic\", those that drive a port with "
             "\"tribuf -formal\"";
    case Refusal::Submodule: return "instances of other modules of the netlist; flatten them with \"synth -flatten\"";
    case Refusal::BlackBox: return "black boxes, modules without logic; give yosys their logic and run \"synth -flatten\"";
    case Refusal::Undefined: return "instances of modules the netlist does not hold; give yosys their logic and run \"synth -flatten\"";
    case Refusal::GlobalClock:
      // async2sync turns each latch into one of these and a multiplexer.
      return "registers on the implicit global clock; give them a clock signal (a latch that async2sync made "
             "one of: leave latches to qplace, without async2sync)";
    case Refusal::Unknown: return "unknown gate-level cells";
  }
  return "";
}

const StorageType* storageType(const std::string& type) {
  const auto& t = storageTable();
  auto it = t.find(type);
  return it == t.end() ? nullptr : &it->second;
}

const GateType* gateType(const std::string& type) {
  const auto& t = gateTable();
  auto it = t.find(type);
  return it == t.end() ? nullptr : &it->second;
}

CellClass otherCell(const std::string& type, bool isModule, bool isBlackBox, Refusal& why) {
  if (type == "$scopeinfo") return CellClass::Ignored;
  if (isModule) {
    why = isBlackBox ? Refusal::BlackBox : Refusal::Submodule;
  } else if (type.empty() || type[0] != '$') {
    why = Refusal::Undefined;
  } else if (type == "$_TBUF_" || type == "$tribuf") {
    why = Refusal::Tristate;
  } else if (startsWith(type, "$mem")) {
    why = Refusal::Memory;
  } else if (type == "$_FF_" || type == "$ff") {
    why = Refusal::GlobalClock;
  } else if (startsWith(type, "$_")) {
    why = Refusal::Unknown;
  } else {
    why = Refusal::WordLevel;
  }
  return CellClass::Refused;
}

}  // namespace qplace
