// Global placement: the same coordinates, bit for bit, whether x and y are
// solved in turn or at the same time on two threads; a register chain
// spread over about the room its registers take, within its region when
// it is bound to one.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "qplace/global_place.h"
#include "qplace/packing.h"
#include "qplace/placement_rules.h"
#include "detail_cases.h"
#include "placer_util.h"

namespace {

struct GlobalRun {
  std::vector<int> ioLoc;
  qplace::GlobalResult first, second;
};

bool sameBits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

// A generated design placed globally with `threads`: the I/O, a first
// run, and a second one on more nets (every 8 registers of one control set
// in unit order tied together, as the register-group round does), so that
// the connections change and the systems are built anew from the
// positions reached.
GlobalRun placeGlobally(int threads) {
  standin::Design d;
  generated(d, 2500);
  const qplace::Model m = qplace::packDesign(d);
  const qplace::Fabric f = qplace::makeFabric(d, m, 0.7, 0, 0, false);
  qplace::Placement p(f, m);
  GlobalRun run;
  qplace::IoPlacement io;
  io.threads = threads;
  if (!qplace::placeIos(m, f, p, io)) return run;
  run.ioLoc = p.loc;
  qplace::GlobalParams params;
  params.threads = threads;
  params.maxSpreadIterations = 8;
  qplace::GlobalPlacer gp(m, f, p, params);
  qplace::Progress none;
  run.first = gp.run(m, params.anchorStart, 0.0, none);

  std::vector<std::vector<int>> groups;
  std::vector<std::vector<int>> open(static_cast<std::size_t>(m.numCtrl));
  for (int u = 0; u < m.numUnits(); ++u) {
    if (m.ctrl[u] < 0) continue;
    std::vector<int>& g = open[static_cast<std::size_t>(m.ctrl[u])];
    g.push_back(u);
    if (g.size() == 8) groups.push_back(std::move(g)), g.clear();
  }
  qplace::Model grouped = m;
  qplace::addNets(grouped, groups, 1.0);
  run.second = gp.run(grouped, run.first.weight / 2, run.first.weight, none);
  return run;
}

TEST(GlobalPlacement, OneAndTwoThreadsGiveTheSameCoordinates) {
  const GlobalRun one = placeGlobally(1), two = placeGlobally(2);
  ASSERT_FALSE(one.ioLoc.empty());
  EXPECT_EQ(one.ioLoc, two.ioLoc);
  for (const auto& [a, b] : {std::make_pair(&one.first, &two.first), std::make_pair(&one.second, &two.second)}) {
    EXPECT_TRUE(sameBits(a->x, b->x));
    EXPECT_TRUE(sameBits(a->y, b->y));
    EXPECT_TRUE(sameBits(a->ax, b->ax));
    EXPECT_TRUE(sameBits(a->ay, b->ay));
    EXPECT_EQ(a->solves, b->solves);
    EXPECT_EQ(a->cgPasses, b->cgPasses);
    EXPECT_EQ(a->iterations, b->iterations);
  }
  // The second run went on from the first, with solves of its own.
  EXPECT_GT(one.second.solves, one.first.solves);
  EXPECT_GT(one.second.cgPasses, one.first.cgPasses);
}

// A chain of 2,048 registers, each a BLE of its own: quadratic placement
// draws it together, and spreading must give it nearly the clusters its
// registers fill, else legalization pulls it apart (when each register
// counted half a BLE, half of them lay beyond their clusters' room, and
// legalization made the wirelength five times the spread one).
TEST(GlobalPlacement, ARegisterChainIsSpreadOverAboutTheRoomItTakes) {
  standin::Design d;
  cases::registerChain(d, 2048);
  const qplace::Model m = qplace::packDesign(d);
  const qplace::Fabric f = qplace::makeFabric(d, m, 0.7, 0, 0, false);
  qplace::Placement p(f, m);
  ASSERT_TRUE(qplace::placeIos(m, f, p));
  qplace::GlobalParams params;
  qplace::GlobalPlacer gp(m, f, p, params);
  qplace::Progress none;
  const qplace::GlobalResult g = gp.run(m, params.anchorStart, 0.0, none);
  // Registers beyond the BLEs of their nearest cluster, at the spread
  // positions.
  std::vector<int> regs(static_cast<std::size_t>(f.numClusters()), 0);
  int all = 0;
  for (int u = 0; u < m.numUnits(); ++u) {
    if (m.isIo(u)) continue;
    ++all;
    ++regs[static_cast<std::size_t>(f.clusterAt(g.ax[static_cast<std::size_t>(u)], g.ay[static_cast<std::size_t>(u)]))];
  }
  ASSERT_EQ(all, 2048);
  int beyond = 0;
  for (int r : regs) beyond += std::max(0, r - qplace::kBles);
  EXPECT_LT(beyond, all / 4) << beyond << " of " << all;
}

// 29 groups of a chain's registers bound to a region of 30 clusters, the
// rest free: spreading the whole device moves the bound registers about
// as if the region were not there, and clamped back into it their anchors
// piled up along its border; they are spread over the region instead.
TEST(GlobalPlacement, RegistersBoundToARegionAreSpreadOverIt) {
  standin::Design d;
  cases::registerChain(d, 512);
  const qplace::Model m = qplace::packDesign(d);
  const qplace::Fabric f = qplace::makeFabric(d, m, 0.7, 0, 0, false);
  ASSERT_GE(f.rows, 7);
  ASSERT_GE(f.cols, 8);
  qplace::PlacementRules rules;
  rules.cols = f.cols;
  rules.fixedAt.assign(static_cast<std::size_t>(m.numUnits()), -1);
  rules.regionOf.assign(static_cast<std::size_t>(m.numUnits()), -1);
  rules.regions.push_back(qplace::ClusterRect{2, 2, 6, 7});
  int bound = 0;
  for (int u = 0; u < m.numUnits() && bound < 29 * f.groupBles(); u += 2)  // every other register of the chain
    if (m.hasReg(u)) rules.regionOf[static_cast<std::size_t>(u)] = 0, ++bound;
  qplace::Placement p(f, m);
  p.rules = &rules;
  ASSERT_TRUE(qplace::placeIos(m, f, p));
  qplace::GlobalParams params;
  qplace::GlobalPlacer gp(m, f, p, params);
  qplace::Progress none;
  const qplace::GlobalResult g = gp.run(m, params.anchorStart, 0.0, none);
  std::vector<int> inCluster(static_cast<std::size_t>(f.numClusters()), 0);
  for (int u = 0; u < m.numUnits(); ++u) {
    if (rules.region(u) < 0) continue;
    const int c = f.clusterAt(g.ax[static_cast<std::size_t>(u)], g.ay[static_cast<std::size_t>(u)]);
    EXPECT_TRUE(rules.allowedIn(u, c)) << "unit " << u;
    ++inCluster[static_cast<std::size_t>(c)];
  }
  int beyond = 0;
  for (int n : inCluster) beyond += std::max(0, n - qplace::kBles);
  EXPECT_LT(beyond, bound / 10) << beyond << " of " << bound;
}

}  // namespace
