// Reader of the JSON netlist that yosys writes after a generic LUT-4 mapping
// (synth -flatten; abc -lut 4; opt_clean; write_json), into a stand-in design.
//
// What is read, from the top module (attribute "top", else the only module):
//   - "$lut" cells of width 1 to 4: a LUT4 component, input A[i] on pin i,
//     output Y on Z. The mask is not kept: placement does not need it.
//   - flip-flops of the families $_DFF_?_, $_DFFE_??_, $_SDFF_???_,
//     $_SDFFE_????_ and $_SDFFCE_????_: an FF component with C on CK, D on D,
//     E on CE and R on SR. The clock signal is marked as a clock.
//   - top-level ports: one IO component per bit ("name" or "name[i]"); an
//     input bit drives its net through O, an output bit loads it through I,
//     an inout bit does both.
//
// Constant drivers: a pin bound to "0", "1", "x" or "z" is left unconnected;
// the constant is made inside the site and needs no routing. An enable bound
// to its active level and a set/reset bound to its inactive level are no
// control signals at all; a register whose enable is stuck inactive, or whose
// set/reset is stuck active, still gets its component (it holds a constant).
//
// Register control records: every register gets the UP_REGCTRL of its
// control set, the tuple (clock net and edge, enable net and polarity,
// set/reset net, polarity and value, enable-over-reset priority); registers
// with equal tuples share one record, whose `count` is the number of
// registers that use it. So two registers with the same nets but a
// different clock edge, enable polarity, or set instead of reset, are not
// compatible: one site's registers share one clock inverter and one
// set/reset mode.
//
// Bad input throws ReadError with a message that names the file: a file that
// cannot be read, malformed JSON (with the line and column of the fault), a
// document that is not a yosys netlist, unknown cell types (listed by name
// with their counts), a $lut wider than 4, a cell pin with no net. The input
// is checked whole before anything is added to the design, so on error the
// design is left as it was.
#ifndef QPLACE_NETLIST_READER_H
#define QPLACE_NETLIST_READER_H

#include <stdexcept>
#include <string>
#include <vector>

#include "host/standin/gen/designgen.h"

namespace qplace {

class ReadError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// The components read, by kind, in netlist order.
struct Netlist {
  designgen::Prims prims;
  std::vector<standin::Comp*> luts;
  std::vector<standin::Comp*> regs;
  std::vector<standin::Comp*> ios;
  std::vector<standin::Signal*> clocks;
  int controlSets = 0;  // distinct register control records
};

// Reads a netlist file, plain or gzip-compressed. `d` should hold no
// primitives yet (the reader adds them).
Netlist readNetlistFile(const std::string& path, standin::Design& d);

// Reads a netlist from text; `source` names it in error messages.
Netlist readNetlistText(const std::string& text, const std::string& source, standin::Design& d);

}  // namespace qplace

#endif
