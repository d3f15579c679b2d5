// The design as its netlist file describes it, before anything is placed:
// nets, LUTs (every combinational cell becomes one), registers with their
// controls, and top-level port bits.
//
// The reader (netlist_reader.h) fills it from a yosys JSON netlist; the
// control-set reduction (ctrl_reduce.h) rewrites it; buildDesign
// (netlist_reader.h) turns it into components of the stand-in design. It is
// plain data: every field is public and a test may build one by hand.
//
// Logic: a LUT computes mask bit k, where k is the value its inputs read
// with in[0] the lowest bit. A register is an edge-triggered flip-flop or a
// level-sensitive latch with at most these controls, highest priority first:
//   asyncClear, asyncSet (separate set and clear, the $_DFFSR_ families:
//       clear wins when both are active),
//   asyncReset (one asynchronous control that loads asyncValue),
//   asyncLoad (while active, Q follows asyncData),
// then, at the clock's active edge (a latch: while its gate is active):
//   syncReset loads syncValue, unless enableOverSync and the enable is
//       inactive; otherwise an inactive enable keeps Q; otherwise Q = D.
// A control whose net is kNoNet is absent. Controls stuck at their inactive
// level, and an enable stuck active, are absent too (the reader drops them);
// a control stuck active keeps its constant net. The reader gives a register
// with only one of asyncSet and asyncClear, or an asyncLoad of a constant,
// as an asyncReset to that value. A set/clear latch without gate or data
// ($_SR_) is a latch whose gate is stuck at kNet0 and whose d is kNoNet.
//
// Locations: a netlist placed by qplace (--write-json) names each cell's
// site and slot in its attributes; the reader keeps them as `placedAt`,
// "<site>.<slot>" ("R3C7B.L0"), or "<site>" for a port bit's I/O site,
// empty where none is given. A value that is no string is kept as its JSON
// text (no site is named so: using it fails, showing the value).
#ifndef QPLACE_LOGIC_NETLIST_H
#define QPLACE_LOGIC_NETLIST_H

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

namespace qplace {

// The attributes of a placed netlist: a cell's site and slot (strings); a
// wide multiplexer's inner LUTs, "<site>.<slot>" words in the order of
// their names' numbers; a port's list of I/O sites, one per bit (null for
// a bit that takes none); and, on the module, the device's size.
inline const char* const kSiteAttribute = "qplace_site";
inline const char* const kSlotAttribute = "qplace_slot";
inline const char* const kPartsAttribute = "qplace_parts";
inline const char* const kRowsAttribute = "qplace_rows";
inline const char* const kColsAttribute = "qplace_cols";
inline const char* const kHalfRuleAttribute = "qplace_half_rule";

// A connection: a net number (>= 0), a constant, or nothing.
using NetId = int;
constexpr NetId kNet0 = -1;   // constant "0"
constexpr NetId kNet1 = -2;   // constant "1"
constexpr NetId kNetX = -3;   // constant "x"
constexpr NetId kNetZ = -4;   // constant "z"
constexpr NetId kNoNet = -5;  // not connected
inline bool isNet(NetId n) { return n >= 0; }

struct LogicLut {
  std::string name;
  std::vector<NetId> in;     // 0 to 4 inputs
  NetId out = kNoNet;
  std::uint16_t mask = 0;    // bits 0 .. 2^in.size() - 1 are used
  bool inner = false;        // an inner LUT of a wide multiplexer, "<cell>$mux<k>"
  std::string placedAt{};    // see Locations above
  bool added = false;        // made by a control-set fold: no cell of the netlist
};

// A control input and the level (or, for a clock, the edge) that acts.
struct Control {
  NetId net = kNoNet;
  bool activeHigh = true;    // a clock: the rising edge; a latch gate: transparent while high
  bool present() const { return net != kNoNet; }
};

struct LogicReg {
  std::string name;
  std::string type;          // the cell type read, e.g. "$_DFFE_PN0P_"
  bool latch = false;
  NetId d = kNoNet, q = kNoNet;
  Control clock;             // a latch: its gate
  Control enable;
  Control syncReset;
  bool syncValue = false;
  bool enableOverSync = false;  // the $_SDFFCE_ families: reset only when enabled
  Control asyncReset;
  bool asyncValue = false;
  Control asyncSet, asyncClear;
  Control asyncLoad;
  NetId asyncData = kNoNet;
  std::string placedAt{};    // see Locations above
};

// One bit of a top-level port.
struct LogicPort {
  std::string name;          // "name" for a one-bit port, else "name[i]"
  NetId net = kNoNet;        // may be a constant or kNoNet (then no I/O is placed)
  bool input = false, output = false;  // an inout port bit is both
  std::string port{};        // the netlist's port, and the bit's place in its bits
  std::size_t bit = 0;
  std::string placedAt{};    // see Locations above
};

struct LogicNet {
  std::string name;
  bool visible = true;       // false for yosys's hidden ("$...") names
};

struct LogicNetlist {
  std::string top;           // the module read
  // The device the netlist was placed on, from the module's attributes;
  // 0 when not given.
  int placedRows = 0, placedCols = 0;
  bool placedHalfRule = false;
  std::vector<LogicNet> nets;  // indexed by NetId
  std::vector<LogicLut> luts;
  std::vector<LogicReg> regs;
  std::vector<LogicPort> ports;

  int numNets() const { return static_cast<int>(nets.size()); }
  NetId addNet(const std::string& name, bool visible = false) {
    nets.push_back(LogicNet{name, visible});
    return static_cast<NetId>(nets.size() - 1);
  }
};

// The control set of a register: registers with equal keys may share a
// register group (one clock, one clock enable, one set/reset mode a group).
// The data inputs (d, asyncData) are not part of it.
using ControlKey = std::tuple<bool, NetId, bool, NetId, bool, NetId, bool, bool, bool, NetId, bool, bool,
                              NetId, bool, NetId, bool, NetId, bool>;
inline ControlKey controlKey(const LogicReg& r) {
  auto on = [](const Control& c) { return c.present() && c.activeHigh; };
  return ControlKey{r.latch,          r.clock.net,       on(r.clock),        r.enable.net,
                    on(r.enable),     r.syncReset.net,   on(r.syncReset),    r.syncReset.present() && r.syncValue,
                    r.syncReset.present() && r.enable.present() && r.enableOverSync,
                    r.asyncReset.net, on(r.asyncReset),  r.asyncReset.present() && r.asyncValue,
                    r.asyncSet.net,   on(r.asyncSet),    r.asyncClear.net,   on(r.asyncClear),
                    r.asyncLoad.net,  on(r.asyncLoad)};
}

}  // namespace qplace

#endif
