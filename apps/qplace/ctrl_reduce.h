// Control-set reduction: small control sets folded into the logic in front
// of their registers, so that their registers join the plain set of their
// clock and stop holding register groups of their own.
//
// A register group (a cluster, or a half cluster under the half rule) holds
// registers of one control set only, so a set of k registers takes
// ceil(k / groupSize) groups whatever k is: a design of many small sets
// (register files, bit-serial datapaths, per-field enables) needs far more
// groups than its register count says, and its registers end up scattered
// one or two a cluster. Folding a register's synchronous controls into its
// D input,
//     enable:      D' = EN ? D : Q
//     sync reset:  D' = SR ? value : D   (or, when the enable has priority
//                  over the reset, SR only acts while EN is active)
// leaves a plain flip-flop of its clock (and its asynchronous controls,
// which are not logic in front of D and are never folded). The new function
// goes into the LUT that drives D when that LUT drives nothing else and the
// extra inputs (EN, SR, Q, those not among its inputs already) fit in its
// four; otherwise into a new LUT between D and the register. Either way the
// LUT and the register still pack into one basic element, so folding costs
// no wirelength of its own; a new LUT costs a LUT place.
//
// Which sets fold (beside the pass for designs whose registers size the
// device, see ReduceParams::spareLuts): every set of at most maxRegs
// registers whose controls can fold (a clock, a synchronous enable or reset, no "x" or "z" control,
// no latch) is a candidate. The candidates that would land in one plain set
// are taken smallest first, and the shortest run of them that frees the
// most register groups may fold (the plain set's groups counted before and
// after): a lone small set that would only start a plain set of its own,
// or sets that fill their groups exactly, stay as they are. Of those, the
// sets whose folds all go into their driving LUTs fold; the ones that need
// new LUTs fold only while the groups bind the device harder than the
// slots do (groupShare below): on picorv32, whose device its LUTs size,
// folding its small sets only lengthened the wirelength, while a design
// of one set per two or three registers needs most of its sets folded.
//
// The result is deterministic: sets are visited in order of first use, and
// the netlist's existing LUTs, registers and nets keep their indices (new
// LUTs and nets are appended). Registers keep their names and their Q nets.
#ifndef QPLACE_CTRL_REDUCE_H
#define QPLACE_CTRL_REDUCE_H

#include <string>

#include "qplace/logic_netlist.h"

namespace qplace {

struct ReduceParams {
  bool enabled = true;
  // A control set of at most this many registers is a candidate; 0 folds
  // nothing.
  int maxRegs = 16;
  // Register slots of one register group under the active rule: 8 for the
  // whole-cluster rule, 4 for the half-cluster rule.
  int groupSize = 8;
  // A fold that needs a new LUT costs a LUT place. Candidate sets with
  // such folds go fewest new LUTs per register group they waste first, and
  // only while the register groups take more BLEs than this share of those
  // the LUTs (or the registers, counted at 85% of a slot as
  // designgen::fitDevice does) take. So a design whose device its slots
  // size keeps those sets, and one that its groups size folds until its
  // groups fit the slots' device with room. 0: they fold like the others.
  double groupShare = 0.9;
  // false: every candidate folds, whether it frees groups or not (the
  // design as a synthesis to plain flip-flops sees it, up to the logic
  // optimization).
  bool freeingOnly = true;
  // Where there are more registers than LUTs, the registers size the
  // device and leave LUT places idle: there the foldable sets left, of at
  // most spareMaxRegs registers, fold too, smallest first, as long as the
  // LUTs with the ones the folds add stay within the BLEs that the
  // registers ask for (at 85% of a slot, as designgen::fitDevice counts
  // them), so the device does not grow. Their registers
  // then pack wherever their logic is, as the flip-flops of a design
  // synthesized to plain flip-flops do (a delay line of 64 stages with 12
  // enables: 1.77 times the plain netlist's wirelength left as it was,
  // 1.0 folded). false: no such pass.
  bool spareLuts = true;
  int spareMaxRegs = 1 << 30;
};

struct ReduceResult {
  int setsBefore = 0, setsAfter = 0;      // distinct control sets
  int groupsBefore = 0, groupsAfter = 0;  // register groups the sets need
  int foldedRegs = 0;                     // registers made plain
  int lutsExtended = 0;                   // driving LUTs that took the new function
  int lutsAdded = 0;                      // new LUTs
};

// Folds the chosen control sets of `ln` in place. Registers whose controls
// cannot fold are left alone; a netlist with no register is returned as it
// was. O(n log n) in the netlist's size (the sets are kept in ordered maps).
ReduceResult reduceControlSets(LogicNetlist& ln, const ReduceParams& p);

// The register groups of `groupSize` slots that the registers of `ln` need:
// the sum over control sets of ceil(registers / groupSize).
int registerGroupsNeeded(const LogicNetlist& ln, int groupSize);

// Distinct control sets of the registers of `ln`.
int countControlSets(const LogicNetlist& ln);

// The log line of a reduction: "control sets: 600, 41 after reduction (1203
// registers folded: 890 LUTs extended, 313 added); register groups needed:
// 615, 170 after", or "control sets: 62, none folded; register groups
// needed: 219".
std::string describe(const ReduceResult& r);

}  // namespace qplace

#endif
