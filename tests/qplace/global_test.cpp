// Global placement: the same coordinates, bit for bit, whether x and y are
// solved in turn or at the same time on two threads; re-weighting after
// spreading iterations only; a register chain
// spread over about the room its registers take, within its region when
// it is bound to one.
#include <gtest/gtest.h>

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

// A generated design placed globally with `threads`: the I/O, a first
// run, and a second one on more nets (every 8 registers of one control set
// in unit order tied together, as the register-group round does), so that
// the connections change and the systems are built anew from the
// positions reached. Both runs re-weigh with `reweigh` every `every`
// spreading iterations when it is given.
GlobalRun placeGlobally(int threads, const qplace::GlobalPlacer::Reweigh& reweigh = {}, int every = 0) {
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
  run.first = gp.run(m, params.anchorStart, 0.0, none, reweigh, every);

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
  run.second = gp.run(grouped, run.first.weight / 2, run.first.weight, none, reweigh, every);
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

// The re-weighting (timing's weights) reads spread positions only: the
// plain solution before spreading has every unit near the centre, and
// weights taken there drew the spreading after paths that only looked
// critical. Called after every second iteration, in the first run and in
// one that goes on from it.
TEST(GlobalPlacement, ReweighingReadsSpreadPositionsOnly) {
  std::vector<int> seenAt;
  const GlobalRun run =
      placeGlobally(2, [&](const qplace::GlobalResult& r) { seenAt.push_back(r.iterations); }, 2);
  const qplace::GlobalResult& first = run.first;
  ASSERT_GE(first.iterations, 2);
  const std::size_t inFirst = static_cast<std::size_t>(first.iterations / 2);
  ASSERT_GE(seenAt.size(), inFirst);
  for (std::size_t k = 0; k < inFirst; ++k) EXPECT_EQ(seenAt[k], 2 * static_cast<int>(k + 1));
  const int more = run.second.iterations - first.iterations;
  EXPECT_EQ(seenAt.size() - inFirst, static_cast<std::size_t>(more / 2));
  for (std::size_t k = inFirst; k < seenAt.size(); ++k) EXPECT_GT(seenAt[k], first.iterations);
}

// Global placement of m on f under `rules` (or none); empty positions
// when its I/O cannot be placed.
qplace::GlobalResult spreadGlobally(const qplace::Model& m, const qplace::Fabric& f,
                                    const qplace::PlacementRules* rules) {
  qplace::Placement p(f, m);
  p.rules = rules;
  if (!qplace::placeIos(m, f, p)) return {};
  qplace::GlobalParams params;
  qplace::GlobalPlacer gp(m, f, p, params);
  qplace::Progress none;
  return gp.run(m, params.anchorStart, 0.0, none);
}

// Units of `units` beyond the BLEs of their nearest cluster, at the
// spread positions.
int beyondRoom(const qplace::Fabric& f, const qplace::GlobalResult& g, const std::vector<int>& units) {
  std::vector<int> in(static_cast<std::size_t>(f.numClusters()), 0);
  for (int u : units)
    ++in[static_cast<std::size_t>(f.clusterAt(g.ax[static_cast<std::size_t>(u)], g.ay[static_cast<std::size_t>(u)]))];
  int beyond = 0;
  for (int n : in) beyond += std::max(0, n - qplace::kBles);
  return beyond;
}

// A chain of 2,048 registers, each a BLE of its own: quadratic placement
// draws it together, and spreading must give it nearly the clusters its
// registers fill, else legalization pulls it apart (when each register
// counted half a BLE, half of them lay beyond their clusters' room, and
// legalization made the wirelength five times the spread one).
TEST(GlobalPlacement, ARegisterChainIsSpreadOverAboutTheRoomItTakes) {
  const Packed chain([](standin::Design& d) { cases::registerChain(d, 2048); }, 0);
  const qplace::Model& m = chain.m;
  const qplace::Fabric& f = chain.f;
  const qplace::GlobalResult g = spreadGlobally(m, f, nullptr);
  ASSERT_FALSE(g.ax.empty());
  std::vector<int> regs;
  for (int u = 0; u < m.numUnits(); ++u)
    if (!m.isIo(u)) regs.push_back(u);
  ASSERT_EQ(regs.size(), 2048u);
  const int beyond = beyondRoom(f, g, regs);
  EXPECT_LT(beyond, 2048 / 4) << beyond << " of 2048";
}

// 29 groups of a chain's registers bound to a region of 30 clusters, the
// rest free: spreading the whole device moves the bound registers about
// as if the region were not there, and clamped back into it their anchors
// piled up along its border; they are spread over the region instead.
TEST(GlobalPlacement, RegistersBoundToARegionAreSpreadOverIt) {
  const Packed chain([](standin::Design& d) { cases::registerChain(d, 512); }, 0);
  const qplace::Model& m = chain.m;
  const qplace::Fabric& f = chain.f;
  ASSERT_GE(f.rows, 7);
  ASSERT_GE(f.cols, 8);
  int left = 29 * f.groupBles();
  // Every other register of the chain.
  const qplace::PlacementRules rules =
      regionRules(m, f, qplace::ClusterRect{2, 2, 6, 7}, [&](int u) { return u % 2 == 0 && m.hasReg(u); }, left);
  ASSERT_EQ(left, 0);
  const qplace::GlobalResult g = spreadGlobally(m, f, &rules);
  ASSERT_FALSE(g.ax.empty());
  std::vector<int> bound;
  for (int u = 0; u < m.numUnits(); ++u) {
    if (rules.region(u) < 0) continue;
    bound.push_back(u);
    EXPECT_TRUE(rules.allowedIn(u, f.clusterAt(g.ax[static_cast<std::size_t>(u)], g.ay[static_cast<std::size_t>(u)])))
        << "unit " << u;
  }
  const int beyond = beyondRoom(f, g, bound);
  EXPECT_LT(beyond, static_cast<int>(bound.size()) / 10) << beyond << " of " << bound.size();
}

}  // namespace
