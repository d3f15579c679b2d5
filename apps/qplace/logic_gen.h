// Generated logical netlists of many small control sets, the shape of
// bit-serial datapaths and register banks: short words of registers, each
// word loaded under an enable of its own (some also with a synchronous
// reset), fed by local logic. For tests of the control-set reduction and
// for benchmarks of the placer on such designs.
//
// The netlist is built in creation order: input ports, then word after
// word (its enable logic, then per register its D logic and the register),
// with the remaining LUTs spread between the words. LUT inputs come mostly
// from the last `window` signals made, so the logic is local along that
// order, as a synthesized design is local along its hierarchy. Word sizes
// are 1 plus a geometric draw (mean `regsPerSet`, at most 64). Every net
// has one driver; LUT masks are random. Deterministic for a seed.
#ifndef QPLACE_LOGIC_GEN_H
#define QPLACE_LOGIC_GEN_H

#include <cstdint>

#include "qplace/logic_netlist.h"

namespace qplace {

struct LogicGenParams {
  int luts = 2000;               // at least this many; the words' own LUTs count in
  int regs = 1300;
  double regsPerSet = 2.2;       // mean registers of an enabled word
  double plainShare = 0.1;       // share of the registers with no enable (one plain word a clock)
  double syncResetShare = 0.3;   // words that also have a synchronous reset
  double asyncResetShare = 0.0;  // words whose registers also have an asynchronous reset
  double dLutShare = 0.85;       // registers whose D is a LUT of their own (else another signal)
  double feedbackShare = 0.5;    // of those, LUTs that read their register's Q
  int clocks = 1;                // clock ports; words are dealt to them in turn
  int inputs = 32, outputs = 32;
  int window = 48;
  std::uint64_t seed = 1;
};

// Throws std::invalid_argument for counts below 0, no clock, or a mean word
// size below 1. Linear in the netlist's size.
LogicNetlist generateLogic(const LogicGenParams& p);

}  // namespace qplace

#endif
