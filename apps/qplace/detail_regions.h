// The regions of the annealing rounds: the cluster grid cut into square
// blocks, and the I/O sites, which form one region of their own (an I/O
// unit's best place is often far along the border, and the I/O units are
// few). The regions are annealed independently, and at the same time on
// as many threads as there are, each moving only its own units within its
// own clusters or sites. The cut depends on the device, the block side and
// the round only, never on the thread count; it shifts from round to round
// so that no unit stays on a block's edge.
#ifndef QPLACE_DETAIL_REGIONS_H
#define QPLACE_DETAIL_REGIONS_H

#include <vector>

#include "qplace/fabric.h"

namespace qplace {

struct Regions {
  int count = 0;
  std::vector<int> ofCluster;  // per cluster: its region, 0 to count - 1
  std::vector<int> ofIoSite;   // per I/O site: its region
  // Per region: its first and last cluster row and column (for the I/O
  // region, those of the whole grid).
  std::vector<int> row0, row1, col0, col1;
};

// Blocks of side x side clusters, the grid of blocks offset by a share of a
// side that changes with `round` (a fixed quasi-random sequence), and the
// I/O sites last. A device no wider (no taller) than `side` is not cut
// across that way; a device not cut at all (or side 0 or less) makes one
// region of everything. O(clusters + I/O sites).
Regions makeRegions(const Fabric& f, int side, int round);

}  // namespace qplace

#endif
