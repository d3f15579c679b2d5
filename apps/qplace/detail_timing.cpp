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

DetailTiming::DetailTiming(TimingAnalysis& analysis, const DelayTable& table, double tradeoff, double exponent)
    : a_(analysis),
      cols_(table.cols()),
      rows_(table.rows()),
      local_(analysis.delays().local),
      f_(std::clamp(tradeoff, 0.0, 1.0)),
      exponent_(exponent) {
  // A copy of the entries, read in a row by the tries' prices.
  table_.resize(static_cast<std::size_t>(rows_) * static_cast<std::size_t>(cols_));
  for (int dy = 0; dy < rows_; ++dy)
    for (int dx = 0; dx < cols_; ++dx) table_[static_cast<std::size_t>(dy) * cols_ + dx] = table.at(dx, dy);
}

double DetailTiming::weigh() {
  const int edges = a_.graph().numEdges();
  weight_.resize(static_cast<std::size_t>(edges));
  const TimingAnalysis::CriticalityWeight weighOne(exponent_, kWeightFloor);
  double sum = 0;
  for (int e = 0; e < edges; ++e) {
    const double w = weighOne(a_.criticality(e));
    weight_[static_cast<std::size_t>(e)] = w;
    sum += w * a_.edgeDelay(e);
  }
  return sum;
}

void DetailTiming::makeRows(const Model& m) {
  const TimingGraph& g = a_.graph();
  const int units = m.numUnits();
  first_.assign(static_cast<std::size_t>(units) + 1, 0);
  row_.clear();
  for (int u = 0; u < units; ++u) {
    for (int i = g.unitStart[static_cast<std::size_t>(u)]; i < g.unitStart[static_cast<std::size_t>(u) + 1]; ++i) {
      const int e = g.unitEdges[static_cast<std::size_t>(i)];
      const double w = weight_[static_cast<std::size_t>(e)];
      if (!(w > 0)) continue;
      const int a = g.unit[static_cast<std::size_t>(g.from[static_cast<std::size_t>(e)])];
      const int b = g.unit[static_cast<std::size_t>(g.to[static_cast<std::size_t>(e)])];
      const int other = a == u ? b : a;
      if (other == u) continue;  // within the unit: the same delay wherever it goes
      row_.push_back(Row{w, other, !m.isIo(u) && !m.isIo(other) ? 1 : 0});
    }
    first_[static_cast<std::size_t>(u) + 1] = static_cast<int>(row_.size());
  }
}

double DetailTiming::analyseAt(const Placement& p) {
  a_.setPositions(p);
  a_.setLoosePorts(true);
  a_.analyse();
  a_.setLoosePorts(false);
  const int k = a_.worstDomain();
  return k >= 0 ? a_.domain(k).need : 0;
}

double DetailTiming::measure(const Placement& p) {
  ++measures_;
  return analyseAt(p);
}

double DetailTiming::refresh(const Placement& p, long long wirelength) {
  critical_ = analyseAt(p);
  const double sum = weigh();
  makeRows(*p.model);
  ++refreshes_;
  const double scale = sum > 0 ? static_cast<double>(std::max(1LL, wirelength)) / sum : 0.0;
  const double larger = std::max(1 - f_, f_);
  wlPart_ = (1 - f_) / larger;
  timingPart_ = f_ * scale / larger;
  return critical_;
}

double DetailTiming::figure(double share, long long wirelength, double criticalPath, long long wl0, double cp0) {
  const double w = wl0 > 0 ? static_cast<double>(wirelength) / static_cast<double>(wl0) : 1.0;
  const double c = cp0 > 0 ? criticalPath / cp0 : 1.0;
  return (1 - share) * w + share * c;
}

}  // namespace qplace
