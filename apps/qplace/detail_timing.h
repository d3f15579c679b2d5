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
// keep the best placement seen (detail.h).
#ifndef QPLACE_DETAIL_TIMING_H
#define QPLACE_DETAIL_TIMING_H

#include "qplace/timing/analysis.h"

namespace qplace {

class DetailTiming {
public:
  // `analysis` must outlive this; tradeoff in [0, 1] (taken at the nearest
  // bound outside); exponent > 0.
  DetailTiming(TimingAnalysis& analysis, double tradeoff, double exponent);

  // Analyses p afresh (every unit placed), takes the connection weights
  // and the scale for what follows, and returns the critical path, the
  // period the worst domain needs (ps; 0 with nothing timed). O(timing
  // graph).
  double refresh(const Placement& p, long long wirelength);
  double criticalPath() const { return critical_; }
  int refreshes() const { return refreshes_; }

  double tradeoff() const { return f_; }
  // The price of a change of `wirelength` and of `timing` (the timing sum,
  // ps). Bounded by +-1e9.
  int price(int wirelength, double timing) const;

  const TimingAnalysis& analysis() const { return a_; }

  // How good a placement is against the one given: (1 - F) * wl / wl0 +
  // F * cp / cp0, each ratio taken as 1 when its base is 0.
  double figure(long long wirelength, double criticalPath, long long wl0, double cp0) const;

private:
  TimingAnalysis& a_;
  double f_, exponent_;
  double wlPart_ = 1, timingPart_ = 0;  // the price's factors, the scale included
  double critical_ = 0;
  int refreshes_ = 0;
};

}  // namespace qplace

#endif
