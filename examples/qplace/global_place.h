// Global placement: I/O components fixed on the border, then quadratic
// placement with the bound-to-bound net model solved by plQPLinearSystem
// (x and y through one code path), and spreading by rough legalization with
// anchors of growing weight until the overflow meets its target.
#ifndef QPLACE_GLOBAL_PLACE_H
#define QPLACE_GLOBAL_PLACE_H

#include <functional>
#include <string>
#include <vector>

#include "examples/qplace/fabric.h"

namespace qplace {

struct GlobalParams {
  int initialPasses = 4;          // bound-to-bound re-weighting passes before spreading
  int maxSpreadIterations = 60;
  double targetOverflow = 0.10;   // stop when the overflow falls to this
  double density = 1.0;           // share of a cluster's BLEs that spreading fills
  double anchorStart = 0.01;      // anchor weight of the first spreading iteration
  double anchorGrowth = 1.35;     // factor per iteration
  unsigned cgPasses = 150;        // bound on conjugate-gradient passes per solve
};

struct GlobalResult {
  std::vector<double> x, y;    // last quadratic solution, per unit (I/O at their sites)
  std::vector<double> ax, ay;  // its rough legalization (the last anchors)
  double hpwl = 0;             // of (x, y)
  double spreadHpwl = 0;       // of (ax, ay)
  double overflow = 0;
  int iterations = 0;          // spreading iterations
  int solves = 0;              // linear solves
  long cgPasses = 0;
};

// One line of progress; the placer prints it.
using Progress = std::function<void(const std::string&)>;

// Legal anchors: given the current quadratic solution, places the design
// legally and writes the units' legal positions to ax, ay.
using Anchoring = std::function<void(const std::vector<double>& x, const std::vector<double>& y,
                                     std::vector<double>& ax, std::vector<double>& ay)>;

// Places the I/O units on the border sites of `p` (in the angular order of
// a first unconstrained solve around the device centre), then places the
// logic units globally. The density and overflow count a LUT-bearing unit as
// 1 BLE and a lone register as half of one.
//
// With `keepPlaced`, units that `p` has placed already (I/O and logic) stay
// fixed where they are and only the others are placed.
//
// With `legal` and `legalIterations` > 0, spreading goes on for that many
// iterations once the overflow target is met, with anchors from `legal`
// instead of rough legalization, so that the solution sees the register
// rules that legalization enforces.
GlobalResult globalPlace(const Model& m, const Fabric& f, Placement& p, const GlobalParams& params,
                         const Progress& progress, bool keepPlaced = false,
                         const Anchoring& legal = nullptr, int legalIterations = 0);

// Overflow of a continuous placement: the share of the logic area that lies
// beyond `density` times a cluster's BLEs, each unit counted in its nearest
// cluster. O(units + clusters).
double overflow(const Model& m, const Fabric& f, const std::vector<double>& x,
                const std::vector<double>& y, double density);

// Rough legalization: moves units so that no cluster holds more than its
// capacity (density times its BLEs), by recursive bisection of the device
// that keeps the units' order on each cut and moves only what exceeds a
// side's capacity. Writes the new positions to ax, ay (logic units only).
// O(units log clusters).
void roughLegalize(const Model& m, const Fabric& f, const std::vector<double>& x,
                   const std::vector<double>& y, double density, std::vector<double>& ax,
                   std::vector<double>& ay);

double unitArea(const Model& m, int u);

}  // namespace qplace

#endif
