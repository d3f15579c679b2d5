// Net weights from the criticalities.
#include "qplace/timing/net_weights.h"

#include <cmath>

namespace qplace {

void setTimingWeights(const TimingAnalysis& analysis, const Model& model, double boost, double exponent,
                      std::vector<double>& weights) {
  const std::vector<double> crit = analysis.netCriticality();
  if (weights.size() < crit.size()) weights.resize(crit.size(), 1.0);
  for (std::size_t n = 0; n < crit.size(); ++n) {
    if (model.netSignal[n] == nullptr) continue;
    weights[n] = 1 + (crit[n] > 0 ? boost * std::pow(crit[n], exponent) : 0.0);
  }
}

}  // namespace qplace
