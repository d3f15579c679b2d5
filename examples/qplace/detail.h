// Detailed improvement of a legal placement on the half-perimeter
// wirelength: each logic unit, in turn, is moved to a free place or swapped
// with a unit of a BLE in the clusters around its optimal region (the
// median of the boxes of its nets without it), when that lowers the
// wirelength. Every move and swap is checked against the register rules
// before it is made, so each pass keeps the placement legal.
#ifndef QPLACE_DETAIL_H
#define QPLACE_DETAIL_H

#include "examples/qplace/global_place.h"

namespace qplace {

struct DetailParams {
  int maxPasses = 8;
  double minGain = 0.002;  // stop when a pass gains less than this share
  int radius = 1;          // clusters around the optimal region that are tried
};

struct DetailResult {
  int passes = 0;
  long moves = 0;
  long swaps = 0;
  double before = 0, after = 0;  // wirelength
};

DetailResult improve(Placement& p, const DetailParams& params, const Progress& progress);

}  // namespace qplace

#endif
