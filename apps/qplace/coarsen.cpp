// Coarsening of the unit netlist into clusters of connected units.
#include "qplace/coarsen.h"

#include <algorithm>

namespace qplace {

namespace {

// Nets of more units than this lead no cluster's growth: their units lie
// anywhere, and a cluster grown over them would join far units.
constexpr int kGrowMaxNet = 16;

}  // namespace

Coarsening coarsen(const Model& m, const std::vector<double>& area, const std::vector<char>& alone, int size) {
  size = std::max(size, 1);
  const int units = m.numUnits();
  Coarsening c;
  c.clusterOf.assign(static_cast<std::size_t>(units), -1);
  // The small nets of each unit.
  std::vector<int> start, nets;
  indexUnitNets(m, units, kGrowMaxNet, start, nets);
  std::vector<int> members;
  for (int seed = 0; seed < units; ++seed) {
    if (c.clusterOf[seed] >= 0) continue;
    const int id = static_cast<int>(c.first.size());
    c.first.push_back(seed);
    c.clusterOf[seed] = id;
    double a = area[seed];
    if (!alone[seed]) {
      members.assign(1, seed);
      for (std::size_t q = 0; q < members.size() && static_cast<int>(members.size()) < size; ++q) {
        const int u = members[q];
        for (int j = start[u]; j < start[u + 1] && static_cast<int>(members.size()) < size; ++j) {
          const int k = nets[j];
          for (int i = m.netStart[k]; i < m.netStart[k + 1] && static_cast<int>(members.size()) < size; ++i) {
            const int w = m.netUnits[i];
            if (c.clusterOf[w] >= 0 || alone[w]) continue;
            c.clusterOf[w] = id;
            a += area[w];
            members.push_back(w);
          }
        }
      }
    }
    c.area.push_back(a);
    c.model.kind.push_back(m.isIo(seed) && alone[seed] ? UNIT_IO : UNIT_PAIR);
  }
  // The nets over the clusters, each cluster once.
  std::vector<int> seen(c.first.size(), -1);
  Model& cm = c.model;
  for (int k = 0; k < m.numNets(); ++k) {
    const int b = static_cast<int>(cm.netUnits.size());
    for (int i = m.netStart[k]; i < m.netStart[k + 1]; ++i) {
      const int g = c.clusterOf[m.netUnits[i]];
      if (seen[g] == k) continue;
      seen[g] = k;
      cm.netUnits.push_back(g);
    }
    if (static_cast<int>(cm.netUnits.size()) - b < 2) {
      cm.netUnits.resize(static_cast<std::size_t>(b));
      continue;
    }
    cm.netStart.push_back(static_cast<int>(cm.netUnits.size()));
    cm.netSignal.push_back(nullptr);
  }
  return c;
}

}  // namespace qplace
