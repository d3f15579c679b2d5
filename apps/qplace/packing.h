// Packing of read or generated components into placement units, and the
// unit-level netlist that the placer works on.
//
// A unit is what the placer moves as one: a LUT with the register it drives
// (a pair, kept in one basic element: L0 with R0, or L1 with R1), a lone LUT,
// a lone register, or an I/O component. A register is paired with the LUT
// that drives its D input when that LUT drives nothing else: the pair then
// costs no wirelength anywhere, while a LUT with other loads stays free to
// sit near them (pairing those too costs picorv32 about 10% of wirelength
// under the whole-cluster register rule).
//
// Registers sharing a UP_REGCTRL form a control set; the model numbers the
// sets from 0 in order of first use and gives each register-bearing unit its
// set.
//
// The unit netlist has one net per signal that is no clock (no clock test of
// the design's architecture information holds) and that reaches at least two
// distinct units; each net lists its units once. Memory is linear in the pins.
#ifndef QPLACE_PACKING_H
#define QPLACE_PACKING_H

#include <cstdint>
#include <vector>

#include "host/standin/standin_design.h"

namespace qplace {

enum UnitKind : std::uint8_t { UNIT_PAIR, UNIT_LUT, UNIT_REG, UNIT_IO };

struct Model {
  // Per unit.
  std::vector<UnitKind> kind;
  std::vector<standin::Comp*> lut;  // the LUT of a pair or lone LUT, else null
  std::vector<standin::Comp*> reg;  // the register of a pair or lone register, else null
  std::vector<standin::Comp*> io;   // the I/O component, else null
  std::vector<int> ctrl;            // control set, -1 without register
  int numCtrl = 0;

  // Nets: units of net n are netUnits[netStart[n] .. netStart[n+1]).
  std::vector<int> netStart{0};
  std::vector<int> netUnits;
  std::vector<standin::Signal*> netSignal;
  // Weight of each net in global placement; empty for all 1.
  std::vector<double> netWeight;
  // Extra two-unit connections of global placement, beside the nets:
  // pair k joins units pairUnits[2k] and pairUnits[2k + 1] with weight
  // pairWeight[k], as a two-unit net of that weight would (timing-driven
  // placement's critical connections). Empty for none; no wirelength
  // counts them.
  std::vector<int> pairUnits;
  std::vector<double> pairWeight;
  // Nets of unit u: unitNets[unitNetStart[u] .. unitNetStart[u+1]).
  std::vector<int> unitNetStart;
  std::vector<int> unitNets;

  // Unit of each component, by component id; -1 for none.
  std::vector<int> unitOfComp;

  int numUnits() const { return static_cast<int>(kind.size()); }
  int numNets() const { return static_cast<int>(netSignal.size()); }
  int netSize(int n) const { return netStart[n + 1] - netStart[n]; }
  bool hasLut(int u) const { return lut[u] != nullptr; }
  bool hasReg(int u) const { return reg[u] != nullptr; }
  bool isIo(int u) const { return kind[u] == UNIT_IO; }
  int numOf(UnitKind k) const;
};

// The nets of each of the first `units` units among the nets of m of at
// most maxUnits units, in net order: those of unit u are
// nets[start[u] .. start[u + 1]). Every unit of those nets must be below
// `units`. O(units + pins).
void indexUnitNets(const Model& m, int units, int maxUnits, std::vector<int>& start, std::vector<int>& nets);

// Appends nets over units (each a list of distinct units, at least two)
// with the given weight, and rebuilds the unit-to-net index of a model
// with units. The new nets have no signal. O(pins of the model).
void addNets(Model& m, const std::vector<std::vector<int>>& nets, double weight);

// The nets of m alone, with their signals and weights: no units and no
// unit-to-net index (numUnits() is 0; the nets still name m's units). What
// global placement reads of a model it spreads on, at a fraction of a
// copy's memory. O(pins).
Model netsOf(const Model& m);

// Packs the components of `d` (LUT4, FF and IO components, told apart by
// their primitive's name) into units and builds the unit netlist.
// O(pins + components). Components of another primitive are not placed.
Model packDesign(standin::Design& d);

}  // namespace qplace

#endif
