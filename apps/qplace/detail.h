// Detailed improvement of a legal placement on the half-perimeter
// wirelength. Greedy passes: each cluster, in turn, trades its whole
// contents with a cluster around its optimal region, and each logic unit is
// moved to a free place or swapped with a unit of a BLE in the clusters
// around its optimal region (the median of the boxes of its nets without
// it), when that lowers the wirelength. Then a short low-temperature
// annealing of unit moves and swaps and of trades of the registers of two
// whole register groups (which moves a control set's group where single
// registers may not go), and greedy passes again. Every change is checked
// against the register rules before it is made, so the placement stays
// legal throughout, and against the placement's rules (fixed units never
// move, region-bound ones only within their rectangles).
#ifndef QPLACE_DETAIL_H
#define QPLACE_DETAIL_H

#include <cstdint>

#include "qplace/global_place.h"

namespace qplace {

struct DetailParams {
  int maxPasses = 3;
  double minGain = 0.002;  // stop when a pass gains less than this share
  int radius = 1;          // clusters around the optimal region that are tried
  // Annealing after the greedy passes (detail.cpp): attempts per unit, at
  // most annealCap in all; 0 for none.
  double annealMoves = 250;
  double annealCap = 1e7;
  double towardsOptimum = 0.6;    // share of attempts aimed at the unit's optimal region
  double setAim = 0.6;            // share of a register's attempts aimed at a group of its set
  double groupTrades = 0.1;       // share of a register's attempts that trade its whole group
  // In mean losses of a sample of attempts, from 250 attempts per unit;
  // proportionally lower with fewer.
  double startTemperature = 0.15;
  bool finalPass = true;  // one greedy pass after the annealing
  std::uint64_t seed = 1;
};

struct DetailResult {
  int passes = 0;
  long moves = 0;
  long swaps = 0;
  long clusterSwaps = 0;
  long groupTrades = 0;
  double before = 0, after = 0;  // wirelength
};

// Each pass, annealing temperature step and slice of a long pass is a step
// of `progress`.
DetailResult improve(Placement& p, const DetailParams& params, Progress& progress);

}  // namespace qplace

#endif
