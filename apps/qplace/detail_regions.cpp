// Regions of the annealing rounds.
#include "qplace/detail_regions.h"

#include <algorithm>

namespace qplace {

Regions makeRegions(const Fabric& f, int side, int round) {
  Regions r;
  r.ofCluster.assign(static_cast<std::size_t>(f.numClusters()), 0);
  r.ofIoSite.assign(static_cast<std::size_t>(f.numIoSites()), 0);
  if (side <= 0 || (f.cols <= side && f.rows <= side)) {
    r.count = 1;
    r.row0 = r.col0 = {0};
    r.row1 = {f.rows - 1};
    r.col1 = {f.cols - 1};
    return r;
  }
  // Offsets: the fractional parts of round times 0.618 and of 0.5 plus
  // round times 0.382, in thousandths, spread evenly over the rounds.
  const long k = round < 0 ? 0 : round;
  const int ox = f.cols <= side ? 0 : static_cast<int>((k * 618 % 1000) * side / 1000);
  const int oy = f.rows <= side ? 0 : static_cast<int>(((k * 382 + 500) % 1000) * side / 1000);
  const int blockCols = (f.cols - 1 + ox) / side + 1;
  const int blockRows = (f.rows - 1 + oy) / side + 1;
  r.count = blockCols * blockRows + 1;
  for (int c = 0; c < f.numClusters(); ++c)
    r.ofCluster[c] = ((c / f.cols + oy) / side) * blockCols + (c % f.cols + ox) / side;
  for (int br = 0; br < blockRows; ++br)
    for (int bc = 0; bc < blockCols; ++bc) {
      r.row0.push_back(std::max(0, br * side - oy));
      r.row1.push_back(std::min(f.rows - 1, (br + 1) * side - oy - 1));
      r.col0.push_back(std::max(0, bc * side - ox));
      r.col1.push_back(std::min(f.cols - 1, (bc + 1) * side - ox - 1));
    }
  r.ofIoSite.assign(r.ofIoSite.size(), r.count - 1);
  r.row0.push_back(0);
  r.row1.push_back(f.rows - 1);
  r.col0.push_back(0);
  r.col1.push_back(f.cols - 1);
  return r;
}

}  // namespace qplace
