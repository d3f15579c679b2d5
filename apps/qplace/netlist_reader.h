// Reader of the JSON netlist that yosys writes after a generic LUT-4 mapping
// (synth -flatten; abc -lut 4; opt_clean; write_json), in two steps: the
// file becomes a LogicNetlist (logic_netlist.h), checked whole; the
// LogicNetlist becomes components of a stand-in design.
//
// What is read, from the top module (--top NAME, else the module marked
// "top", else the only module):
//   - "$lut" cells of 1 to 4 inputs, with their masks (the LUT parameter, a
//     bit string of 2^inputs bits, most significant first, or a number).
//   - gate cells ($_AND_, $_MUX_, $_AOI4_, ... see cell_types.h): one LUT
//     each with the gate's mask; $_MUX4_, $_MUX8_ and $_MUX16_ a tree of
//     2-to-1 multiplexer LUTs named "<cell>$mux<k>" but for the root, which
//     keeps the cell's name.
//   - every gate-level storage cell: flip-flops with any mix of clock enable,
//     synchronous reset, asynchronous reset or set, separate asynchronous
//     set and clear, asynchronous load; latches, with reset or set and
//     clear; $_SR_ set/clear latches (a latch whose gate is stuck off).
//   - the top module's ports, one LogicPort per bit: "name" for a one-bit
//     port, else "name[i]" with i the bit's index in the declared range.
//   - $scopeinfo cells are skipped (they carry no logic).
//   - the locations of a placed netlist (written by qplace --write-json):
//     each cell's qplace_site and qplace_slot attributes (a wide
//     multiplexer's inner LUTs in qplace_parts), each port's qplace_site
//     list, the module's qplace_rows, qplace_cols and qplace_half_rule;
//     see logic_netlist.h. They are kept, not checked: the placer checks
//     them against its device when asked to keep them.
// Controls at the level where they do nothing (an enable stuck active, a
// reset, set, clear or load stuck inactive) are dropped. A register with
// only one of separate set and clear, or whose asynchronous load takes a
// constant, is read as one with an asynchronous reset to that value: one
// control set for equal behaviour.
//
// Refused, with ReadError naming the file and the fault: a file that cannot
// be read; a truncated or corrupt gzip file; nesting deeper than 64 levels;
// malformed JSON (with line and column); a document that is no yosys
// netlist; several modules marked top ("choose one with --top") or a --top
// that names no module; cells that cannot be placed, every type listed
// with its count and what to run instead (memories: memory_map; tristate
// buffers: tribuf -logic; instances of other modules: synth -flatten;
// word-level cells: synth -flatten; abc -lut 4); a cell pin with no net or
// too many bits; a pin the cell type has not; a $lut wider than 4 or whose
// mask does not fit its width; a net with two drivers (cell outputs and
// input port bits), naming the net and both; a netlist that needs more
// memory than allowed (ReadOptions::memoryLimit, or the available memory),
// with both figures.
//
// Building (buildDesign): the stand-in design gets the three primitives of
// designgen::addPrims and, in this order, one I/O component per port bit
// that is connected (see below), one LUT4 per LUT, one FF per register.
// Pins: a LUT's inputs in order on A..D, its output on Z; a register's D,
// clock or latch gate CK, enable CE, its one set/reset SR (asynchronous
// reset, else clear, else set, else synchronous reset), a second one on
// SR2 (the set of a register with separate set and clear), asynchronous
// load AL and data AD, output Q; an I/O's O drives an input port's net, I
// loads an output port's net, an inout bit does both. A pin bound to a
// constant is left unconnected (the constant is made inside the site).
// Port bits bound to a constant, and port bits with nothing else on their
// net (an input nothing reads, an output nothing drives), get no I/O
// component and are counted in unplacedPortBits. Each register gets the
// UP_REGCTRL of its control set (controlKey), shared with the registers of
// equal key, its `count` their number. Every net used as a clock or latch
// gate is marked a clock (CLK1).
//
// Names (names.h): every component and signal gets a printable, unique
// name: `\` and `"` escaped with a backslash, control bytes as \xHH, the
// empty name as `$empty`, a name already given with a suffix #2, #3, ...
// (port bits are named first, so a port keeps its name against a cell).
// Every name that changed is listed with its original in `renamed` (and
// `renamedSignals`); nameMapJson writes them for the placement's folder.
#ifndef QPLACE_NETLIST_READER_H
#define QPLACE_NETLIST_READER_H

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "host/standin/gen/designgen.h"
#include "qplace/logic_netlist.h"

namespace qplace {

class ReadError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

struct ReadOptions {
  std::string top;               // --top NAME; empty: the module marked top
  std::uint64_t memoryLimit = 0; // bytes; 0: the machine's available memory
};

// The components built, by kind, in the design's order.
struct Netlist {
  designgen::Prims prims;
  std::vector<standin::Comp*> luts;
  std::vector<standin::Comp*> regs;
  std::vector<standin::Comp*> ios;
  std::vector<standin::Comp*> portComps;  // per port bit of the LogicNetlist: its I/O component, or null
  std::vector<standin::Signal*> clocks;  // by signal number
  int controlSets = 0;  // distinct register control records
  // Per register, parallel to `regs`: a latch; its clock's falling edge
  // (a latch: its gate active low).
  std::vector<char> regLatch, regFalling;
  // The signal of each net of the LogicNetlist (NetId), null for a net
  // that no component pin uses.
  std::vector<standin::Signal*> signals;
  // Name given -> original name, for every component (and signal) whose
  // name had to change, in the design's order.
  std::vector<std::pair<std::string, std::string>> renamed;
  std::vector<std::pair<std::string, std::string>> renamedSignals;
  int unplacedPortBits = 0;  // port bits tied to a constant or connected to nothing
};

// Reads a netlist file, plain or gzip-compressed, into a LogicNetlist.
LogicNetlist readLogicNetlistFile(const std::string& path, const ReadOptions& opt = {});

// Reads a netlist from its text; `source` names it in error messages.
LogicNetlist readLogicNetlistText(const std::string& text, const std::string& source,
                                  const ReadOptions& opt = {});

// Makes the components, signals and register control records of `ln` in
// `d`, which should hold no primitives yet (the builder adds them). Throws
// std::invalid_argument, leaving `d` as it was, for a LogicNetlist that no
// reader makes: a net number out of range, a LUT of more than 4 inputs, a
// register with more than two set/reset controls. Linear in the netlist's
// size.
Netlist buildDesign(const LogicNetlist& ln, standin::Design& d);

// The two steps: read, then build. On a ReadError the design is left as it
// was.
Netlist readNetlistFile(const std::string& path, standin::Design& d);
Netlist readNetlistFile(const std::string& path, standin::Design& d, const ReadOptions& opt);
Netlist readNetlistText(const std::string& text, const std::string& source, standin::Design& d);
Netlist readNetlistText(const std::string& text, const std::string& source, standin::Design& d,
                        const ReadOptions& opt);

// The renamed components and signals as a JSON document, for a file beside
// the placement: {"components": {"given": "original", ...}, "signals":
// {...}}, in the design's order. JSON's own string escapes carry every
// original name as it was.
std::string nameMapJson(const Netlist& nl);

}  // namespace qplace

#endif
