// The detailed improvement's timing term: weights, scale and prices.
#include "qplace/detail_timing.h"

#include <algorithm>
#include <cmath>

namespace qplace {

namespace {

// Connection weights below this are taken as 0: the many connections far
// from critical then cost a move nothing to price, and the annealing
// spends its moves on those that set the critical path (0.2 measured
// better than 0.01 or 0.05 on the critical path as well as on time).
constexpr double kWeightFloor = 0.2;

}  // namespace

DetailTiming::DetailTiming(TimingAnalysis& analysis, double tradeoff, double exponent)
    : a_(analysis), f_(std::clamp(tradeoff, 0.0, 1.0)), exponent_(exponent) {}

double DetailTiming::refresh(const Placement& p, long long wirelength) {
  a_.setPositions(p);
  a_.setLoosePorts(true);
  a_.analyse();
  a_.setLoosePorts(false);
  a_.refreshCriticality(exponent_, kWeightFloor);
  ++refreshes_;
  const int k = a_.worstDomain();
  critical_ = k >= 0 ? a_.domain(k).need : 0;
  const double sum = a_.timingCost();
  const double scale = sum > 0 ? static_cast<double>(std::max(1LL, wirelength)) / sum : 0.0;
  const double larger = std::max(1 - f_, f_);
  wlPart_ = (1 - f_) / larger;
  timingPart_ = f_ * scale / larger;
  return critical_;
}

int DetailTiming::price(int wirelength, double timing) const {
  // Rounded half away from zero, inline: a price is taken for every try
  // of the annealing.
  const double v = std::clamp(wlPart_ * wirelength + timingPart_ * timing, -1e9, 1e9);
  return v >= 0 ? static_cast<int>(v + 0.5) : -static_cast<int>(0.5 - v);
}

double DetailTiming::figure(long long wirelength, double criticalPath, long long wl0, double cp0) const {
  const double w = wl0 > 0 ? static_cast<double>(wirelength) / static_cast<double>(wl0) : 1.0;
  const double c = cp0 > 0 ? criticalPath / cp0 : 1.0;
  return (1 - f_) * w + f_ * c;
}

}  // namespace qplace
