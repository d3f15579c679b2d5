// The timing term of the detailed improvement's cost.
//
// A move's price is its change of
//     (1 - F) * wirelength + F * s * (sum over connections of weight x delay)
// divided by max(1 - F, F) and rounded to a whole number, where F is the
// trade-off, the weights are criticality^exponent and s puts the timing sum
// in wirelength units (the placement's wirelength over its timing sum when
// the weights were taken). With F = 0.5 a price is the wirelength change
// plus the timing change in those units; the division keeps the larger
// share at the wirelength's own resolution, so the annealing's loss counts
// (whole numbers, anneal_schedule.h) keep their meaning.
//
// The weights come from an analysis with the ports left loose
// (TimingAnalysis::setLoosePorts): when the critical path is a clock's,
// the paths from and to ports do not draw the moves.
//
// The weights and s are fixed by refresh() and stay until the next one, so
// regions annealed at the same time price their moves on the same figures,
// whatever thread runs them. refresh() also measures the placement: its
// critical path, which the improvement weighs against the wirelength to
// keep the best placement seen (detail.h); measure() measures it between
// refreshes without touching the prices.
//
// Prices read rows made by refresh() that hold per unit its weighted
// connections to other units (a unit's connections within itself never
// change delay), so that a unit with none costs a look at two integers,
// and a connection two look-ups in a copy of the delay table. A try of the
// annealing moves one unit or swaps two: moveCost() and swapCost() price
// those; movesCost() prices any number of units moved at once (trades of
// clusters or register groups, the I/O matching's chains).
#ifndef QPLACE_DETAIL_TIMING_H
#define QPLACE_DETAIL_TIMING_H

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "qplace/timing/analysis.h"
#include "qplace/timing/delay_table.h"

namespace qplace {

class DetailTiming {
public:
  // `analysis` must outlive this; `table` is the one it was made with
  // (copied: rows x cols entries); tradeoff in [0, 1] (taken at the nearest bound outside);
  // exponent > 0.
  DetailTiming(TimingAnalysis& analysis, const DelayTable& table, double tradeoff, double exponent);

  // Analyses p afresh (every unit placed), takes the connection weights
  // and the scale for what follows, and returns the critical path, the
  // period the worst domain needs (ps; 0 with nothing timed). O(timing
  // graph).
  double refresh(const Placement& p, long long wirelength);
  double criticalPath() const { return critical_; }
  // Analyses p afresh (every unit placed) and returns its critical path as
  // refresh() does, the weights, the scale and the rows left as they were:
  // a measure of the placement that leaves the prices alone. O(timing
  // graph).
  double measure(const Placement& p);
  int measures() const { return measures_; }
  int refreshes() const { return refreshes_; }

  double tradeoff() const { return f_; }
  // The price of a change of `wirelength` and of `timing` (the timing sum,
  // ps). Bounded by +-1e9.
  int price(int wirelength, double timing) const {
    // Rounded half away from zero, inline: a price is taken for every try
    // of the annealing.
    const double v = std::clamp(wlPart_ * wirelength + timingPart_ * timing, -1e9, 1e9);
    return v >= 0 ? static_cast<int>(v + 0.5) : -static_cast<int>(0.5 - v);
  }

  const TimingAnalysis& analysis() const { return a_; }
  TimingAnalysis& analysis() { return a_; }

  // A connection's weight as of the last refresh() (criticality^exponent,
  // 0 under the floor); `edge` of the analysis's graph.
  double weight(int edge) const { return weight_[static_cast<std::size_t>(edge)]; }
  // Whether unit u has a connection of weight above 0 to another unit.
  bool hot(int u) const { return first_[static_cast<std::size_t>(u)] != first_[static_cast<std::size_t>(u) + 1]; }
  // The change of the timing sum if unit u alone went to the whole place
  // (nx, ny), or if units u and v (distinct) traded places, the other
  // units where `places(unit, x, y)` puts them (the moved ones' old places
  // too). O(weighted connections of the moved units); 0 before the first
  // refresh().
  template <class Places>
  double moveCost(int u, int nx, int ny, const Places& places) const;
  template <class Places>
  double swapCost(int u, int v, const Places& places) const;
  // The same for any number of units (distinct) moved at once, each to
  // its whole place (x, y): what moveCost() and swapCost() give for one
  // unit or a swap. A connection between two moved units is counted once.
  struct Move {
    int unit;
    int x, y;
  };
  template <class Places>
  double movesCost(const Move* moves, int count, const Places& places) const;

  // How good a placement is against the one given: (1 - F) * wl / wl0 +
  // F * cp / cp0, each ratio taken as 1 when its base is 0.
  double figure(long long wirelength, double criticalPath, long long wl0, double cp0) const {
    return figure(f_, wirelength, criticalPath, wl0, cp0);
  }
  // The same with the critical path at `share` instead of F.
  static double figure(double share, long long wirelength, double criticalPath, long long wl0, double cp0);

private:
  // A weighted connection of a unit to another one.
  struct Row {
    double weight;
    int other;
    int local;  // 1 when both ends are logic: a connection within a cluster costs `local`
  };
  // Analyses p with the ports left loose; the critical path (ps).
  double analyseAt(const Placement& p);
  // The connection weights, criticality^exponent (0 under the floor), and
  // their sum of weight x delay.
  double weigh();
  void makeRows(const Model& m);
  void clamp(int& x, int& y) const {
    x = x < 1 ? 1 : x > cols_ ? cols_ : x;
    y = y < 1 ? 1 : y > rows_ ? rows_ : y;
  }
  // The delay of a connection between two whole places (clamped): the
  // table's entry, or `local` for two logic units in one cluster.
  double delay(const Row& r, int ax, int ay, int bx, int by) const {
    const int at = std::abs(ay - by) * cols_ + std::abs(ax - bx);
    const double d = table_[static_cast<std::size_t>(at)];
    return at == 0 && r.local ? local_ : d;
  }

  TimingAnalysis& a_;
  int cols_, rows_;
  std::vector<double> table_;  // the delay table's entries, row by row
  double local_;
  // Per unit u: rows_[first_[u] .. first_[u + 1]), in the order of the
  // analysis' own list.
  std::vector<int> first_;
  std::vector<Row> row_;
  std::vector<double> weight_;  // per connection of the timing graph
  double f_, exponent_;
  double wlPart_ = 1, timingPart_ = 0;  // the price's factors, the scale included
  double critical_ = 0;
  int refreshes_ = 0;
  int measures_ = 0;  // by measure() alone
};

template <class Places>
double DetailTiming::moveCost(int u, int nx, int ny, const Places& places) const {
  double change = 0;
  if (first_.empty()) return change;
  const int first = first_[static_cast<std::size_t>(u)], last = first_[static_cast<std::size_t>(u) + 1];
  if (first == last) return change;
  int ux = 0, uy = 0;
  places(u, ux, uy);
  clamp(ux, uy);
  clamp(nx, ny);
  const Row* row = row_.data();
  for (int i = first; i < last; ++i) {
    const Row& r = row[i];
    int ox = 0, oy = 0;
    places(r.other, ox, oy);
    clamp(ox, oy);
    change += r.weight * (delay(r, nx, ny, ox, oy) - delay(r, ux, uy, ox, oy));
  }
  return change;
}

template <class Places>
double DetailTiming::swapCost(int u, int v, const Places& places) const {
  double change = 0;
  if (first_.empty()) return change;
  const int uf = first_[static_cast<std::size_t>(u)], ul = first_[static_cast<std::size_t>(u) + 1];
  const int vf = first_[static_cast<std::size_t>(v)], vl = first_[static_cast<std::size_t>(v) + 1];
  if (uf == ul && vf == vl) return change;
  int ux = 0, uy = 0, vx = 0, vy = 0;
  places(u, ux, uy);
  places(v, vx, vy);
  clamp(ux, uy);
  clamp(vx, vy);
  const Row* row = row_.data();
  // u goes to v's place and v to u's; a connection between the two is
  // counted once, from u.
  for (int i = uf; i < ul; ++i) {
    const Row& r = row[i];
    if (r.other == v) {
      change += r.weight * (delay(r, vx, vy, ux, uy) - delay(r, ux, uy, vx, vy));
      continue;
    }
    int ox = 0, oy = 0;
    places(r.other, ox, oy);
    clamp(ox, oy);
    change += r.weight * (delay(r, vx, vy, ox, oy) - delay(r, ux, uy, ox, oy));
  }
  for (int i = vf; i < vl; ++i) {
    const Row& r = row[i];
    if (r.other == u) continue;
    int ox = 0, oy = 0;
    places(r.other, ox, oy);
    clamp(ox, oy);
    change += r.weight * (delay(r, ux, uy, ox, oy) - delay(r, vx, vy, ox, oy));
  }
  return change;
}

template <class Places>
double DetailTiming::movesCost(const Move* moves, int count, const Places& places) const {
  double change = 0;
  if (first_.empty()) return change;
  for (int k = 0; k < count; ++k) {
    const int u = moves[k].unit;
    const int first = first_[static_cast<std::size_t>(u)], last = first_[static_cast<std::size_t>(u) + 1];
    if (first == last) continue;
    int ux = 0, uy = 0, mx = moves[k].x, my = moves[k].y;
    places(u, ux, uy);
    clamp(ux, uy);
    clamp(mx, my);
    for (int i = first; i < last; ++i) {
      const Row& r = row_[static_cast<std::size_t>(i)];
      int j = 0;
      while (j < count && moves[j].unit != r.other) ++j;
      if (j < k) continue;  // both ends moved: counted from the other end
      int ox = 0, oy = 0;
      places(r.other, ox, oy);
      clamp(ox, oy);
      int nx = ox, ny = oy;
      if (j < count) {
        nx = moves[j].x;
        ny = moves[j].y;
        clamp(nx, ny);
      }
      change += r.weight * (delay(r, mx, my, nx, ny) - delay(r, ux, uy, ox, oy));
    }
  }
  return change;
}

}  // namespace qplace

#endif
