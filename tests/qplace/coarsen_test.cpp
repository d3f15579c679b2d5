// Coarsening of the unit netlist, and the I/O placement of a large design
// made on its clusters.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <vector>

#include "qplace/coarsen.h"
#include "qplace/global_place.h"
#include "qplace/packing.h"
#include "placer_util.h"

namespace {

TEST(Coarsen, ClustersCoverEveryUnitOnceAndKeepLoneUnitsApart) {
  standin::Design d;
  generated(d, 3000);
  const qplace::Model m = qplace::packDesign(d);
  const std::vector<double> area = qplace::unitAreas(m);
  std::vector<char> alone(static_cast<std::size_t>(m.numUnits()), 0);
  for (int u = 0; u < m.numUnits(); ++u) alone[u] = m.isIo(u) || u % 97 == 0;  // I/O and some "fixed" units
  const int size = 6;
  const qplace::Coarsening c = qplace::coarsen(m, area, alone, size);
  const int k = c.model.numUnits();
  ASSERT_EQ(c.clusterOf.size(), static_cast<std::size_t>(m.numUnits()));
  ASSERT_EQ(c.area.size(), static_cast<std::size_t>(k));
  std::vector<std::vector<int>> members(static_cast<std::size_t>(k));
  for (int u = 0; u < m.numUnits(); ++u) {
    ASSERT_TRUE(c.clusterOf[u] >= 0 && c.clusterOf[u] < k) << u;
    members[c.clusterOf[u]].push_back(u);
  }
  for (int g = 0; g < k; ++g) {
    const std::vector<int>& mem = members[g];
    ASSERT_FALSE(mem.empty());
    EXPECT_LE(static_cast<int>(mem.size()), size);
    EXPECT_EQ(c.clusterOf[c.first[g]], g);
    double a = 0;
    for (int u : mem) a += area[u];
    EXPECT_DOUBLE_EQ(c.area[g], a);
    const bool lone = std::any_of(mem.begin(), mem.end(), [&](int u) { return alone[u] != 0; });
    if (lone) {
      EXPECT_EQ(mem.size(), 1u) << "a lone unit shares cluster " << g;
    }
    EXPECT_EQ(c.model.isIo(g), lone && m.isIo(mem[0]));
  }
  // The design is connected enough that most logic goes into clusters of
  // several units: far fewer clusters than units.
  EXPECT_LT(k, m.numUnits() / 2);

  // Each fine net spanning two clusters or more appears once over its
  // clusters, each cluster once; the others are dropped.
  int spanning = 0;
  std::size_t net = 0;
  for (int n = 0; n < m.numNets(); ++n) {
    std::set<int> over;
    for (int i = m.netStart[n]; i < m.netStart[n + 1]; ++i) over.insert(c.clusterOf[m.netUnits[i]]);
    if (over.size() < 2) continue;
    ++spanning;
    ASSERT_LT(net, static_cast<std::size_t>(c.model.numNets()));
    const auto b = c.model.netUnits.begin();
    const std::vector<int> got(b + c.model.netStart[net], b + c.model.netStart[net + 1]);
    EXPECT_EQ(std::set<int>(got.begin(), got.end()), over) << "fine net " << n;
    EXPECT_EQ(got.size(), over.size()) << "a cluster twice in fine net " << n;
    ++net;
  }
  EXPECT_EQ(c.model.numNets(), spanning);
}

TEST(Coarsen, SizeOneAndUnconnectedUnitsGiveOneClusterEach) {
  qplace::Model m;
  m.kind = {qplace::UNIT_LUT, qplace::UNIT_LUT, qplace::UNIT_REG, qplace::UNIT_LUT};
  m.netUnits = {0, 1, 1, 2};
  m.netStart = {0, 2, 4};
  m.netSignal = {nullptr, nullptr};
  const std::vector<double> area{1, 1, 0.5, 1};
  const std::vector<char> alone(4, 0);
  const qplace::Coarsening one = qplace::coarsen(m, area, alone, 0);
  EXPECT_EQ(one.model.numUnits(), 4);
  EXPECT_EQ(one.model.numNets(), 2);
  // Unit 3 has no net: a cluster of its own whatever the size.
  const qplace::Coarsening big = qplace::coarsen(m, area, alone, 8);
  EXPECT_EQ(big.model.numUnits(), 2);
  EXPECT_EQ(big.clusterOf, (std::vector<int>{0, 0, 0, 1}));
  EXPECT_DOUBLE_EQ(big.area[0], 2.5);
  EXPECT_EQ(big.model.numNets(), 0);
}

// The I/O placed from clusters: on distinct free sites, the fixed one where
// it was; the same for one and two threads.
std::vector<int> placeOnClusters(int threads) {
  standin::Design d;
  generated(d, 2500);
  const qplace::Model m = qplace::packDesign(d);
  const qplace::Fabric f = qplace::makeFabric(d, m, 0.7, 0, 0, false);
  qplace::Placement p(f, m);
  int fixedIo = -1;
  for (int u = 0; u < m.numUnits() && fixedIo < 0; ++u)
    if (m.isIo(u)) fixedIo = u;
  p.putIo(fixedIo, 3);
  qplace::IoPlacement how;
  how.threads = threads;
  how.coarseAbove = 0;
  if (!qplace::placeIos(m, f, p, how)) return {};
  EXPECT_EQ(p.loc[fixedIo], 3);
  std::set<int> sites;
  for (int u = 0; u < m.numUnits(); ++u) {
    if (!m.isIo(u)) continue;
    EXPECT_GE(p.loc[u], 0);
    EXPECT_TRUE(sites.insert(p.loc[u]).second) << "two I/O units on site " << p.loc[u];
  }
  return p.loc;
}

TEST(Coarsen, IoPlacedOnClustersIsLegalAndTheSameOnTwoThreads) {
  const std::vector<int> one = placeOnClusters(1), two = placeOnClusters(2);
  ASSERT_FALSE(one.empty());
  EXPECT_EQ(one, two);
}

}  // namespace
