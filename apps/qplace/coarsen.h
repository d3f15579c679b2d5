// Coarsening of the unit netlist: clusters of a few connected units, and
// the netlist between the clusters, for a cheap first placement of a large
// design (see placeIos).
#ifndef QPLACE_COARSEN_H
#define QPLACE_COARSEN_H

#include <vector>

#include "qplace/packing.h"

namespace qplace {

struct Coarsening {
  // One unit per cluster: kind UNIT_IO for the cluster of a lone I/O unit,
  // UNIT_PAIR for every other (read `area`, not the kind, for its size);
  // lut, reg, io and ctrl are left empty. Its nets: each net of the fine
  // model over the clusters of its units, each cluster once, those that
  // fall within one cluster dropped; weight 1, no signal, no unit-to-net
  // index.
  Model model;
  std::vector<int> clusterOf;  // per unit of the fine model
  std::vector<double> area;    // per cluster: the sum of its units' areas
  std::vector<int> first;      // per cluster: its first unit (the seed it grew from)
};

// Groups the units of m into clusters of at most `size` units: every unit
// in unit order that is in no cluster yet starts one and takes in, breadth
// first over the nets of at most 16 units, the units it reaches that are in
// no cluster yet, until the cluster is full or nothing more is in reach.
// Units with alone[u] set (I/O, fixed units) are clusters of their own and
// are never taken into another. Every unit is in exactly one cluster;
// `area` gives each unit's area (see unitAreas). size < 1 is taken as 1.
// O(pins of the nets of at most 16 units + pins).
Coarsening coarsen(const Model& m, const std::vector<double>& area, const std::vector<char>& alone, int size);

}  // namespace qplace

#endif
