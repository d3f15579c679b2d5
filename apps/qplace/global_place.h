// Global placement: I/O components fixed on the border, then quadratic
// placement with the bound-to-bound net model solved by plQPLinearSystem
// (x and y through one code path, on two threads when there are two cores),
// and spreading by rough legalization with anchors of growing weight.
//
// Spreading stops when the overflow is at most its target, or when the
// solution's wirelength comes within `gapTarget` of its rough
// legalization's (the anchors hold it where legalization would put it).
#ifndef QPLACE_GLOBAL_PLACE_H
#define QPLACE_GLOBAL_PLACE_H

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "qplace/fabric.h"
#include "qplace/progress.h"

namespace qplace {

struct GlobalParams {
  int initialPasses = 4;          // bound-to-bound re-weighting passes before spreading
  int maxSpreadIterations = 60;
  double targetOverflow = 0.10;   // stop when the overflow falls to this
  double gapTarget = 0.01;        // or when wirelength and rough legalization agree this well
  double density = 1.0;           // share of a cluster's BLEs that spreading fills
  double anchorStart = 0.01;      // anchor weight of the first spreading iteration
  double anchorGrowth = 1.35;     // factor per iteration
  unsigned cgPasses = 400;        // bound on conjugate-gradient passes per solve
  double cgTolerance = 1e-6;      // stopping measure, times the sum of the diagonal
  // Stopping measure of the plain passes before spreading (0: cgTolerance).
  double initialTolerance = 0;
  std::uint64_t seed = 1;         // of the start positions around the centre
  // Threads of the solves: with 2, x and y are solved at the same time,
  // one system each; 1 solves them in turn. The result is the same bit for
  // bit. 0 (the default) takes the machine's cores, at most 2.
  int threads = 0;
};

struct GlobalResult {
  std::vector<double> x, y;    // last quadratic solution, per unit (I/O at their sites)
  std::vector<double> ax, ay;  // its rough legalization (the last anchors)
  double hpwl = 0;             // of (x, y), on the nets spreading used
  double spreadHpwl = 0;       // of (ax, ay)
  double overflow = 0;
  double weight = 0;           // anchor weight reached
  int iterations = 0;          // spreading iterations
  int solves = 0;              // linear solves
  long cgPasses = 0;
  // Processor seconds the x and y solves spent side by side on two
  // threads: the process's processor time less this is that of its
  // longest thread, the elapsed time on an otherwise idle machine.
  double sideBySide = 0;
};

// Places the logic units of one placement globally; keeps its two linear
// systems (one per axis) from one run to the next, so that a later run
// starts from the solution of the one before.
class GlobalPlacer {
public:
  // The I/O units of `p` must be placed (see placeIos); its other placed
  // units (fixed ones) hold where they are, and the region-bound units of
  // its rules are kept in their rectangles.
  GlobalPlacer(const Model& m, const Fabric& f, const Placement& p, const GlobalParams& params);
  ~GlobalPlacer();

  // Spreading on the nets of `nets` (nets over the same units, maybe more
  // of them; only its nets are read, see netsOf) from anchor weight
  // `startWeight` until it stops, but not before the weight reaches
  // `minWeight`; the first run starts with plain bound-to-bound passes.
  // Every solve but the very first starts from the positions reached
  // before it. The result accumulates the counts.
  // Each solve and spreading iteration is a step of `progress`.
  //
  // Re-weighting: when `reweigh` is given it is called with the result so
  // far after every `reweighEvery` spreading iterations (0: never; not
  // after the plain passes, whose unspread positions have no delays worth
  // weighing), and may change the weights of `nets` (Model::netWeight,
  // through the caller's own reference) for the solves that follow; it
  // must not change anything else of `nets`.
  using Reweigh = std::function<void(const GlobalResult&)>;
  const GlobalResult& run(const Model& nets, double startWeight, double minWeight, Progress& progress,
                          const Reweigh& reweigh = {}, int reweighEvery = 0);
  const GlobalResult& result() const { return r_; }

private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  GlobalResult r_;
};

// How placeIos works. Above `coarseAbove` units, and without placement
// rules, its short global placement runs on clusters of up to
// `clusterSize` connected units (see coarsen), each I/O unit and each
// placed unit a cluster of its own, the clusters' areas those of their
// units. At a million units that costs a fifth of placing every unit
// (3 to 4 processor seconds against about 16); the I/O units take other
// sites, and the final wirelength moves by a few percent either way with
// them (see the README's "Scale").
struct IoPlacement {
  int threads = 0;               // as GlobalParams::threads
  double* sideBySide = nullptr;  // when given, the solves' time side by side is added to it
  int coarseAbove = 1 << 30;     // units; the default keeps every design on its units
  int clusterSize = 8;
};

// Fixes the unplaced I/O units on free border sites of `p`: a short global
// placement of every unit not placed yet (a few solves, then a few
// spreading iterations of the logic, the I/O units held by their nets
// alone; units placed already, fixed ones, hold where they are); the I/O
// units then take free border sites in the angular order of their
// positions around the centre (see assignAlongBorder). Returns false,
// placing none, when too few sites are free.
bool placeIos(const Model& m, const Fabric& f, Placement& p, const IoPlacement& how = {});

// Gives each of the angles `ioAngle` (radians around the device centre) a
// site of its own among those at `siteAngle`, keeping their circular order:
// the circle is cut in the widest gap between two of the angles, and each
// takes a site as near its angle as the order allows, the crowded ones
// pushed both ways. Empty when there are more angles than sites.
// O((k + s) log(k + s)) for k angles and s sites.
std::vector<int> assignAlongBorder(const std::vector<double>& siteAngle, const std::vector<double>& ioAngle);

// Overflow of a continuous placement: the share of the logic area that lies
// beyond `density` times a cluster's BLEs, each unit counted in its nearest
// cluster. O(units + clusters).
double overflow(const Model& m, const Fabric& f, const std::vector<double>& x,
                const std::vector<double>& y, double density);

// Rough legalization: moves units so that no cluster holds more than its
// capacity (density times its BLEs). Each overfull cluster, most overfull
// first, grows a rectangle of clusters around it, one cluster each way at a
// time, until the rectangle has room for the units in it (a rectangle that
// meets another takes it in); the units of each rectangle are then spread
// within it by recursive bisection, each cut keeping the units' order along
// it and moving across only what exceeds a side's room. Units outside the
// rectangles stay. Writes the new positions to ax, ay (logic units only).
// O(units log clusters) plus the rectangles' growth.
void roughLegalize(const Model& m, const Fabric& f, const std::vector<double>& x,
                   const std::vector<double>& y, double density, std::vector<double>& ax,
                   std::vector<double>& ay);
// The same with the units' areas given (area[u] per unit of m), rather
// than unitAreas(m): for a model of clusters. With threads >= 2 (and
// enough units in the rectangles to be worth a thread) the rectangles, and
// the halves of a large one's first cuts, are spread on two threads, each
// taking the next from a shared list; the result is the same.
void roughLegalize(const Model& m, const std::vector<double>& area, const Fabric& f, const std::vector<double>& x,
                   const std::vector<double>& y, double density, std::vector<double>& ax,
                   std::vector<double>& ay, int threads = 1);

// Area of each unit in BLEs, for spreading: 1 for a LUT+register pair; when
// lone LUTs outnumber lone registers, 1 for a lone LUT and 1/2 for a lone
// register (it leaves its BLE's LUT half to another), otherwise 7/8 for a
// lone register and 1/2 for a lone LUT (a little tighter than the
// registers' own room: short pipelines placed shorter so, long register
// chains far longer at 1/2); 0 for I/O. O(units).
std::vector<double> unitAreas(const Model& m);

}  // namespace qplace

#endif
