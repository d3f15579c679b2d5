// Detailed improvement: never longer than its input, legal under the
// register rules whatever the regions, the same placement for any number of
// threads; the regions and the annealing schedule on their own. (That the
// annealing gains beyond the greedy passes shows in placement_test.cpp:
// more effort, a shorter result.)
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <set>

#include "qplace/anneal_schedule.h"
#include "qplace/detail.h"
#include "qplace/detail_regions.h"
#include "qplace/legalize.h"
#include "detail_cases.h"
#include "placer_util.h"

namespace {

using qplace::DetailParams;
using qplace::DetailResult;
using qplace::Placement;

// A design packed onto its device and placed legally: at random, or in the
// order of its units along a serpentine through the clusters (as the
// designs here are made, neighbours in that order are mostly connected),
// or by a short global placement and legalization, as the placer does.
enum Start { RANDOM, SERPENTINE, GLOBAL };

struct Placed : Packed {
  Placed(const std::function<void(standin::Design&)>& build, Start start, std::uint64_t seed = 1)
      : Packed(build, start == RANDOM ? seed : 0) {
    EXPECT_TRUE(placed);
    if (start == SERPENTINE) {
      int at = 0;  // the place reached along the serpentine
      for (int u = 0; u < m.numUnits(); ++u) {
        if (m.isIo(u)) continue;
        for (; at < f.numClusters() * qplace::kBles; ++at) {
          const int row = at / qplace::kBles / f.cols, col = at / qplace::kBles % f.cols;
          const int pos = (row * f.cols + (row % 2 == 0 ? col : f.cols - 1 - col)) * qplace::kBles + at % qplace::kBles;
          if (!p.fits(u, pos)) continue;
          p.put(u, pos);
          break;
        }
      }
      EXPECT_EQ(p.unplaced(), 0);
    } else if (start == GLOBAL) {
      qplace::GlobalParams gp;
      gp.seed = seed;
      qplace::GlobalPlacer global(m, f, p, gp);
      qplace::Progress none;
      const qplace::GlobalResult& g = global.run(m, gp.anchorStart, 0.0, none);
      EXPECT_TRUE(qplace::legalize(p, g.x, g.y, qplace::LegalizeParams{}).ok);
    }
  }

  DetailResult improve(const DetailParams& dp) {
    qplace::Progress none;
    return qplace::improve(p, dp, none);
  }
  // The register rules and the slots, as the library checks them.
  int faults() {
    p.writeTo(d);
    return registerRuleFaults(d, f.halfRule) + AP_SUPP(&d).drcAllSite(0, 0);
  }
};

// The cases where a detailed improvement most easily loses: a long chain,
// one net of many loads, disjoint pieces (placed along a serpentine), and
// generated designs, with control sets of 4 to 64 registers (placed
// globally).
struct Case {
  std::string name;
  std::function<void(standin::Design&)> build;
  Start start;
};
std::vector<Case> hardCases(int loads) {
  return {{"chain", [](standin::Design& d) { cases::registerChain(d, 64); }, SERPENTINE},
          {"fanout", [loads](standin::Design& d) { cases::wideFanout(d, loads); }, SERPENTINE},
          {"disjoint", [](standin::Design& d) { cases::disjointPieces(d, 6); }, SERPENTINE},
          {"generated 1", [](standin::Design& d) { generated(d, 1000, 1); }, GLOBAL},
          {"generated 2", [](standin::Design& d) { generated(d, 1000, 2); }, GLOBAL}};
}

// Few tries keep the tests quick under the sanitizers.
DetailParams quick(const qplace::Model& m) {
  DetailParams dp;
  dp.annealMoves = m.numUnits() > 5000 ? 10 : 100;
  return dp;
}

TEST(Improve, NeverReturnsALongerPlacement) {
  for (const Case& c : hardCases(10000)) {
    Placed pl(c.build, c.start);
    const double start = qplace::hpwl(pl.p);
    DetailParams dp = quick(pl.m);
    const DetailResult r = pl.improve(dp);
    EXPECT_EQ(r.before, start) << c.name;
    EXPECT_EQ(r.after, qplace::hpwl(pl.p)) << c.name;
    EXPECT_LE(r.after, start) << c.name;
    // Again from the improved placement, with another seed: whatever the
    // annealing does, the result is no longer.
    dp.seed = 7;
    const DetailResult again = pl.improve(dp);
    EXPECT_LE(again.after, r.after) << c.name;
    EXPECT_EQ(again.after, qplace::hpwl(pl.p)) << c.name;
    // An annealing that stays hot to the end wanders off: the best
    // placement it saw is restored, which is no longer than its input.
    dp.firstAcceptance = 0.6;
    dp.lastAcceptance = 0.5;
    dp.finalPasses = 0;
    const DetailResult hot = pl.improve(dp);
    EXPECT_TRUE(hot.restored) << c.name;
    EXPECT_LE(hot.after, again.after) << c.name;
    EXPECT_EQ(hot.after, qplace::hpwl(pl.p)) << c.name;
    EXPECT_EQ(pl.faults(), 0) << c.name;
  }
}

TEST(Improve, SamePlacementForAnyNumberOfThreads) {
  // Regions of 3 x 3 clusters: a small device is cut into many, and the
  // generated design's control sets test the register rules across them.
  std::vector<int> first;
  double firstAfter = 0;
  for (int threads : {1, 2, 3}) {
    Placed pl([](standin::Design& d) { generated(d, 1500, 4); }, GLOBAL);
    DetailParams dp;
    dp.annealMoves = 100;
    dp.regionSide = 3;
    dp.threads = threads;
    const DetailResult r = pl.improve(dp);
    EXPECT_EQ(r.after, qplace::hpwl(pl.p));
    EXPECT_LT(r.after, r.before);
    EXPECT_EQ(pl.faults(), 0);
    if (threads == 1) {
      first = pl.p.loc;
      firstAfter = r.after;
      continue;
    }
    EXPECT_EQ(pl.p.loc, first) << threads << " threads";
    EXPECT_EQ(r.after, firstAfter);
  }
}

TEST(Improve, GreedyPassesByRegionsNeverLengthenAndIgnoreTheThreads) {
  // Greedy passes alone, by regions of 2 x 2 clusters on a device cut into
  // many: each region prices its moves with its neighbours where they were
  // when the pass began, and the regions' moves are merged whatever thread
  // made them. The result is never longer than the input, legal, and the
  // same on any number of threads.
  for (const Case& c : hardCases(2000)) {
    std::vector<int> first;
    for (int threads : {1, 2}) {
      Placed pl(c.build, c.start);
      DetailParams dp;
      dp.annealMoves = 0;
      dp.maxPasses = 4;
      dp.minGain = 0;
      dp.regionSide = 2;
      dp.threads = threads;
      const DetailResult r = pl.improve(dp);
      EXPECT_EQ(r.after, qplace::hpwl(pl.p)) << c.name;
      EXPECT_LE(r.after, r.before) << c.name;
      EXPECT_EQ(pl.faults(), 0) << c.name;
      if (threads == 1) first = pl.p.loc;
      else EXPECT_EQ(pl.p.loc, first) << c.name;
    }
  }
  // Within the annealing, a pass of the units every few rounds: the same
  // on any number of threads, and no pass at all (passTries 0) ends
  // elsewhere.
  std::vector<int> first, none;
  for (double passTries : {15.0, 0.0})
    for (int threads : {1, 2}) {
      Placed pl([](standin::Design& d) { generated(d, 1000, 3); }, GLOBAL);
      DetailParams dp;
      dp.annealMoves = 60;
      dp.passTries = passTries;
      dp.regionSide = 3;
      dp.threads = threads;
      const DetailResult r = pl.improve(dp);
      EXPECT_LT(r.after, r.before);
      EXPECT_EQ(pl.faults(), 0);
      std::vector<int>& kept = passTries > 0 ? first : none;
      if (threads == 1) kept = pl.p.loc;
      else EXPECT_EQ(pl.p.loc, kept) << passTries;
    }
  EXPECT_NE(first, none);
}

TEST(Improve, IoUnitsMoveAlongTheBorderUnlessFixed) {
  // Pieces whose ports sit on the border at random: moving them gains, and
  // fixed ports keep their sites.
  for (bool moveIo : {true, false}) {
    Placed pl([](standin::Design& d) { cases::disjointPieces(d, 12); }, RANDOM, 3);
    std::vector<int> sites;
    for (int u = 0; u < pl.m.numUnits(); ++u)
      if (pl.m.isIo(u)) sites.push_back(pl.p.loc[u]);
    DetailParams dp;
    dp.moveIo = moveIo;
    const DetailResult r = pl.improve(dp);
    std::vector<int> after;
    for (int u = 0; u < pl.m.numUnits(); ++u)
      if (pl.m.isIo(u)) after.push_back(pl.p.loc[u]);
    EXPECT_EQ(r.ioMoves > 0, moveIo);
    EXPECT_EQ(after == sites, !moveIo);  // one unit a site: the I/O matching's test below
    EXPECT_EQ(pl.faults(), 0);
  }
}

TEST(Improve, IoMatchingAloneShortensAndKeepsOneUnitASite) {
  // No greedy pass, an annealing too short to try anything and no last
  // pass: what moves is the I/O matching's doing. Ports at random sites,
  // the logic where the random placement left it; some nets join two ports
  // (the wide fanout's), so a set does not hold every port at once.
  for (const Case& c : hardCases(300)) {
    for (int reach : {0, 1, 16}) {
      Placed pl(c.build, RANDOM, 11);
      std::vector<int> logic;
      for (int u = 0; u < pl.m.numUnits(); ++u)
        if (!pl.m.isIo(u)) logic.push_back(pl.p.loc[u]);
      DetailParams dp;
      dp.maxPasses = 0;
      dp.annealMoves = 2.0 / pl.m.numUnits();  // two tries in ten rounds: none
      dp.finalPasses = 0;
      dp.ioMatchReach = reach;
      const DetailResult r = pl.improve(dp);
      EXPECT_EQ(r.after, qplace::hpwl(pl.p)) << c.name << " reach " << reach;
      if (reach == 0) EXPECT_EQ(r.after, r.before) << c.name;
      else EXPECT_LT(r.after, r.before) << c.name << " reach " << reach;
      std::vector<int> logicAfter, sites;
      for (int u = 0; u < pl.m.numUnits(); ++u) {
        if (!pl.m.isIo(u)) {
          logicAfter.push_back(pl.p.loc[u]);
          continue;
        }
        sites.push_back(pl.p.loc[u]);
        EXPECT_EQ(pl.p.ioAt[pl.p.loc[u]], u) << c.name;
      }
      EXPECT_EQ(logicAfter, logic) << c.name;
      EXPECT_EQ(std::set<int>(sites.begin(), sites.end()).size(), sites.size()) << c.name;
      int held = 0;
      for (int site = 0; site < pl.f.numIoSites(); ++site) held += pl.p.ioAt[site] >= 0;
      EXPECT_EQ(held, static_cast<int>(sites.size())) << c.name;
      EXPECT_EQ(pl.faults(), 0) << c.name;
    }
  }
}

TEST(Improve, ParametersOutOfRangeAreTakenAtTheirBounds) {
  Placed pl([](standin::Design& d) { cases::disjointPieces(d, 12); }, RANDOM, 5);
  DetailParams dp;
  dp.threads = 0;
  dp.regionSide = -3;
  dp.startRange = 100;
  dp.maxRange = 0;
  dp.roundTries = 0;
  dp.minRounds = -1;
  const DetailResult r = pl.improve(dp);
  EXPECT_LT(r.after, r.before);
  EXPECT_EQ(r.after, qplace::hpwl(pl.p));
  // At least one try per unit a round: no more rounds than tries per unit.
  EXPECT_EQ(r.rounds, static_cast<int>(dp.annealMoves));
  EXPECT_EQ(pl.faults(), 0);
}

// Rounds are tries per unit over roundTries, so they show the budget.
TEST(Improve, TriesPerUnitGrowAsTheSquareRootAboveTheThresholdUntilTheCap) {
  // growFrom < 0: the design's units over -growFrom; the cap in tries a unit.
  auto rounds = [](double growFrom, double capPerUnit = 1e6) {
    Placed pl([](standin::Design& d) { cases::disjointPieces(d, 12); }, RANDOM, 5);
    DetailParams dp;
    dp.annealMoves = 100;
    dp.annealGrowFrom = growFrom < 0 ? pl.m.numUnits() / -growFrom : growFrom;
    dp.annealCap = capPerUnit * pl.m.numUnits();
    const DetailResult r = pl.improve(dp);
    EXPECT_EQ(r.after, qplace::hpwl(pl.p));
    return r.rounds;
  };
  EXPECT_EQ(rounds(0), 20);   // none
  EXPECT_EQ(rounds(-1), 20);  // the design at the threshold: not above it
  // The rounds are truncated: the ratio of the units to the threshold may
  // come out a hair under the whole number.
  EXPECT_NEAR(rounds(-4), 40, 1);   // 4 times the threshold: twice the tries
  EXPECT_NEAR(rounds(-16), 80, 1);  // 16 times: four times
  // The cap binds on the grown budget as on the plain one.
  EXPECT_EQ(rounds(-4, 100), 20);
}

TEST(Regions, CutTheGridIntoRectanglesThatShiftFromRoundToRound) {
  qplace::Fabric f;
  for (auto [rows, cols] : {std::pair{1, 1}, {3, 7}, {29, 29}, {10, 31}}) {
    f.rows = rows;
    f.cols = cols;
    f.ioX = {0, cols + 1};
    f.ioY = {1, rows};
    for (int side : {0, 1, 4, 10, 40}) {
      std::set<std::vector<int>> cuts;
      for (int round = 0; round < 8; ++round) {
        const qplace::Regions r = qplace::makeRegions(f, side, round);
        cuts.insert(r.ofCluster);
        const bool whole = side <= 0 || (rows <= side && cols <= side);
        ASSERT_EQ(r.count == 1, whole);
        ASSERT_EQ(static_cast<int>(r.row0.size()), r.count);
        // Every cluster in the rectangle of its region, every logic region
        // a full rectangle of clusters no larger than side x side.
        std::vector<int> size(static_cast<std::size_t>(r.count), 0);
        for (int c = 0; c < f.numClusters(); ++c) {
          const int g = r.ofCluster[c];
          ASSERT_TRUE(g >= 0 && g < r.count - (whole ? 0 : 1));
          EXPECT_TRUE(c / cols >= r.row0[g] && c / cols <= r.row1[g] && c % cols >= r.col0[g] && c % cols <= r.col1[g]);
          ++size[g];
        }
        for (int g = 0; g < r.count - (whole ? 0 : 1); ++g) {
          EXPECT_EQ(size[g], (r.row1[g] - r.row0[g] + 1) * (r.col1[g] - r.col0[g] + 1));
          EXPECT_TRUE(whole || size[g] <= side * side);
        }
        // The I/O sites: one region of their own when the grid is cut.
        for (int s = 0; s < 2; ++s) EXPECT_EQ(r.ofIoSite[s], whole ? 0 : r.count - 1);
      }
      // The cut moves unless the whole grid is one region or the blocks
      // are single clusters.
      EXPECT_EQ(cuts.size() > 1, side > 1 && !(rows <= side && cols <= side)) << rows << "x" << cols << " side " << side;
    }
  }
}

TEST(Schedule, TemperatureFollowsTheAcceptanceOfTheLossesMet) {
  qplace::LossCounts losses;
  EXPECT_EQ(losses.temperatureFor(0.1), 0);
  for (int d = 1; d <= 20; ++d)
    for (int k = 0; k < 21 - d; ++k) losses.add(d);
  losses.add(1000);  // beyond the last size: counted there
  EXPECT_EQ(losses.total(), 211);
  EXPECT_EQ(losses.count[qplace::LossCounts::kSizes - 1], 1);
  for (double share : {0.5, 0.1, 0.01, 0.0001}) {
    const double t = losses.temperatureFor(share);
    EXPECT_NEAR(losses.acceptance(t), share, share * 1e-4);
  }
  // Larger losses need a higher temperature for the same acceptance.
  qplace::LossCounts larger;
  for (int d = 1; d <= qplace::LossCounts::kSizes; ++d) larger.add(3 * d);
  EXPECT_GT(larger.temperatureFor(0.1), losses.temperatureFor(0.1));

  qplace::AnnealSchedule s(losses, 5, 0.1, 0.001, 3, 6);
  EXPECT_DOUBLE_EQ(s.temperature(), losses.temperatureFor(0.1));
  EXPECT_EQ(s.range(), 3);
  // Nearly everything accepted: the range grows, up to its bound.
  s.next(100, 90, losses);
  EXPECT_EQ(s.range(), 4);
  EXPECT_NEAR(s.targetShare(), 0.1 * std::pow(0.01, 0.25), 1e-12);
  EXPECT_DOUBLE_EQ(s.temperature(), losses.temperatureFor(s.targetShare()));
  for (int k = 0; k < 2; ++k) s.next(100, 100, losses);
  EXPECT_EQ(s.range(), 6);
  // Little accepted: it shrinks, down to 1; the temperature falls with
  // the share aimed at, down to the last.
  const double warm = s.temperature();
  s.next(100, 0, losses);
  EXPECT_LT(s.temperature(), warm);
  EXPECT_NEAR(s.targetShare(), 0.001, 1e-12);
  EXPECT_EQ(s.range(), 3);
  EXPECT_FALSE(s.done());
  s.next(100, 0, losses);
  EXPECT_TRUE(s.done());
  EXPECT_EQ(s.range(), 2);
}

TEST(Schedule, FirstAcceptanceWarmerForLongerAnnealingsCoolerForShortWires) {
  DetailParams dp;  // 0.01 at 200 tries a unit, cooled below 2.5 clusters a unit
  using qplace::firstAcceptanceFor;
  // A logic design at or above the unit wirelength: not cooled.
  EXPECT_DOUBLE_EQ(firstAcceptanceFor(dp, 200, 2.5), 0.01);
  EXPECT_DOUBLE_EQ(firstAcceptanceFor(dp, 200, 40), 0.01);
  EXPECT_NEAR(firstAcceptanceFor(dp, 200 * 16, 3), 0.01 * 8, 1e-12);
  // Short wires: cooler in proportion, down to the last round's share and
  // never to 0 (a design whose nets all lie within clusters, or an empty one).
  EXPECT_NEAR(firstAcceptanceFor(dp, 200, 1), 0.004, 1e-12);
  EXPECT_DOUBLE_EQ(firstAcceptanceFor(dp, 200, 0.01), dp.lastAcceptance);
  EXPECT_DOUBLE_EQ(firstAcceptanceFor(dp, 200, 0), dp.lastAcceptance);
  EXPECT_DOUBLE_EQ(firstAcceptanceFor(dp, 200, std::nan("")), dp.lastAcceptance);
  // At most 0.2, however long the annealing or short its wires.
  EXPECT_DOUBLE_EQ(firstAcceptanceFor(dp, 1e9, 1), 0.2);
  // Without the cooling, the length alone.
  dp.unitWirelength = 0;
  EXPECT_DOUBLE_EQ(firstAcceptanceFor(dp, 200, 0), 0.01);
}

}  // namespace
