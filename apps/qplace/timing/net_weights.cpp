// Net weights from the criticalities.
#include "qplace/timing/net_weights.h"

#include <algorithm>
#include <cmath>

namespace qplace {

double globalTimingShare(const TimingAnalysis& analysis, double portsShare) {
  const int k = analysis.worstDomain();
  if (k < 0 || !analysis.domain(k).isPorts()) return 1.0;
  return std::clamp(portsShare, 0.0, 1.0);
}

void setTimingWeights(const TimingAnalysis& analysis, const Model& model, double boost, double exponent,
                      std::vector<double>& weights) {
  const std::vector<double> crit = analysis.netCriticality();
  if (weights.size() < crit.size()) weights.resize(crit.size(), 1.0);
  for (std::size_t n = 0; n < crit.size(); ++n) {
    if (model.netSignal[n] == nullptr) continue;
    weights[n] = 1 + (crit[n] > 0 ? boost * std::pow(crit[n], exponent) : 0.0);
  }
}

void setCriticalPairs(const TimingAnalysis& analysis, double boost, double exponent, double floor,
                      std::vector<int>& pairUnits, std::vector<double>& pairWeight) {
  pairUnits.clear();
  pairWeight.clear();
  if (!(boost > 0)) return;
  const TimingGraph& g = analysis.graph();
  // Below this criticality the weight is under the floor: no power taken
  // for the many connections far from critical. The margin leaves the
  // decision near the bound to the exact test.
  const double least = std::pow(floor / boost, 1 / exponent) * (1 - 1e-9);
  for (int e = 0; e < g.numEdges(); ++e) {
    const int a = g.unit[static_cast<std::size_t>(g.from[static_cast<std::size_t>(e)])];
    const int b = g.unit[static_cast<std::size_t>(g.to[static_cast<std::size_t>(e)])];
    if (a == b) continue;
    const double c = analysis.criticality(e);
    if (c < least) continue;
    const double w = boost * std::pow(c, exponent);
    if (w < floor) continue;
    const std::size_t k = pairWeight.size();
    if (k > 0 && pairUnits[2 * k - 2] == a && pairUnits[2 * k - 1] == b) {
      pairWeight[k - 1] = std::max(pairWeight[k - 1], w);
      continue;
    }
    pairUnits.push_back(a);
    pairUnits.push_back(b);
    pairWeight.push_back(w);
  }
}

}  // namespace qplace
