// The improvement's timing term (DetailTiming::moveCost, swapCost,
// movesCost) and its weights: over random tries on a generated design,
// moveCost and swapCost agree bit for bit with movesCost of the same
// units, and all three with the analysis's incremental pricing at the same
// places (its own delays, interpolated at fractional positions, kept in
// step by its moves) and with the change of the timing sum that a full
// recount after the move gives.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <random>
#include <vector>

#include "placer_util.h"
#include "qplace/detail_timing.h"
#include "qplace/timing/design_timing.h"

namespace {

using qplace::TimingAnalysis;

// A generated design at random places (seed 7), with its timing.
struct Generated : Packed {
  qplace::DesignTiming timing;
  explicit Generated(int components)
      : Packed([components](standin::Design& d) { generated(d, components); }, 7),
        timing(d, m, f.dev, qplace::TimingSettings{}) {}
};

// Each unit's place in p, rounded to whole clusters, as the improvement
// hands it to DetailTiming.
std::function<void(int, int&, int&)> placesOf(const qplace::Placement& p) {
  return [&p](int u, int& x, int& y) {
    x = static_cast<int>(std::lround(p.x(u)));
    y = static_cast<int>(std::lround(p.y(u)));
  };
}

// The weighted delay sum at whole positions xs, ys, counted afresh over
// every connection with the weights of the last refresh.
double recount(TimingAnalysis& an, const std::vector<int>& xs, const std::vector<int>& ys) {
  std::vector<double> fx(xs.begin(), xs.end()), fy(ys.begin(), ys.end());
  an.setPositions(fx, fy);
  an.analyse(true);
  double sum = 0;
  for (int e = 0; e < an.graph().numEdges(); ++e) sum += an.weight(e) * an.edgeDelay(e);
  return sum;
}

// Random moves and swaps, of logic units to any cluster and of I/O units
// along the border (clamped beside the grid), swaps of units connected to
// each other and of units in one cluster (the local delay) among them, and
// groups of connected units moved at once; the caller's places drift from
// those DetailTiming was refreshed at as tries are made. Low exponents, so
// that most units have weighted connections, and a floor that leaves some
// out.
TEST(DetailTiming, TriesPricedAsTheAnalysisAndAFullRecount) {
  Generated g(700);
  ASSERT_TRUE(g.placed);
  TimingAnalysis& an = g.timing.analysis;
  const qplace::Model& m = g.m;
  const int n = m.numUnits();
  for (double exponent : {1.0, 4.0}) {
    qplace::DetailTiming cost(an, g.timing.table, 0.3, exponent);
    cost.refresh(g.p, 1000);
    // The analysis's own weights, from the same analysis and floor: those
    // its incremental pricing (moveCost) and the recount read.
    an.refreshCriticality(exponent, 0.2);
    int weighted = 0;
    for (int e = 0; e < an.graph().numEdges(); ++e) {
      ASSERT_EQ(cost.weight(e), an.weight(e)) << e;
      weighted += cost.weight(e) > 0;
    }
    EXPECT_GT(weighted, 0);
    EXPECT_LT(weighted, an.graph().numEdges());
    std::vector<int> xs(static_cast<std::size_t>(n)), ys(static_cast<std::size_t>(n));
    for (int u = 0; u < n; ++u) {
      xs[u] = static_cast<int>(std::lround(g.p.x(u)));
      ys[u] = static_cast<int>(std::lround(g.p.y(u)));
    }
    auto places = [&](int u, int& x, int& y) {
      x = xs[u];
      y = ys[u];
    };
    // The analysis at the same places, kept there by its moves.
    auto resync = [&] {
      an.setPositions(std::vector<double>(xs.begin(), xs.end()), std::vector<double>(ys.begin(), ys.end()));
      an.analyse(true);
    };
    resync();
    auto put = [&](const std::vector<qplace::DetailTiming::Move>& mv) {
      std::vector<qplace::UnitMove> um;
      for (const auto& x : mv) um.push_back(qplace::UnitMove{x.unit, double(x.x), double(x.y)});
      an.move(um.data(), static_cast<int>(um.size()));
      for (const auto& x : mv) {
        xs[x.unit] = x.x;
        ys[x.unit] = x.y;
      }
    };
    // The analysis's price of the same moves.
    auto reference = [&](const std::vector<qplace::DetailTiming::Move>& mv) {
      std::vector<qplace::UnitMove> um;
      for (const auto& x : mv) um.push_back(qplace::UnitMove{x.unit, double(x.x), double(x.y)});
      return an.moveCost(um.data(), static_cast<int>(um.size()));
    };
    const double tolerance = 1e-9 * (an.timingCost() + 1);
    // Every unit's neighbours by net, for swaps of connected units.
    std::vector<std::vector<int>> near(static_cast<std::size_t>(n));
    for (int k = 0; k < m.numNets(); ++k)
      for (int i = m.netStart[k]; i + 1 < m.netStart[k + 1]; ++i) {
        near[m.netUnits[i]].push_back(m.netUnits[i + 1]);
        near[m.netUnits[i + 1]].push_back(m.netUnits[i]);
      }
    std::mt19937_64 rng(static_cast<std::uint64_t>(exponent * 10));
    auto below = [&](int k) { return static_cast<int>(rng() % static_cast<std::uint64_t>(k)); };
    int hot = 0, connectedSwaps = 0, sameCluster = 0, recounted = 0, groups = 0, priced = 0;
    for (int t = 0; t < 6000; ++t) {
      const int u = below(n);
      hot += cost.hot(u);
      const int kind = below(4);
      double cheap = 0;
      int nx = 0, ny = 0, v = -1;
      std::vector<qplace::DetailTiming::Move> mv;
      if (kind == 3) {
        // u and up to three of its neighbours, all to random clusters (the
        // general case: a cluster or group trade).
        if (m.isIo(u)) continue;
        std::vector<qplace::DetailTiming::Move> mv{{u, 1 + below(g.f.cols), 1 + below(g.f.rows)}};
        for (int w : near[static_cast<std::size_t>(u)]) {
          bool seen = false;
          for (const auto& x : mv) seen = seen || x.unit == w;
          if (seen || m.isIo(w) || mv.size() == 4) continue;
          mv.push_back({w, 1 + below(g.f.cols), 1 + below(g.f.rows)});
        }
        const int c = static_cast<int>(mv.size());
        ASSERT_NEAR(cost.movesCost(mv.data(), c, places), reference(mv), tolerance) << "try " << t;
        ++groups;
        if (below(2) == 0) put(mv);
        continue;
      }
      if (kind == 0) {
        // u alone to a random place of its kind.
        if (m.isIo(u)) {
          const int s = below(g.f.numIoSites());
          nx = g.f.ioX[s];
          ny = g.f.ioY[s];
        } else {
          nx = 1 + below(g.f.cols);
          ny = 1 + below(g.f.rows);
        }
        cheap = cost.moveCost(u, nx, ny, places);
        mv = {{u, nx, ny}};
        if (!cost.hot(u)) {
          EXPECT_EQ(cheap, 0.0);
        }
      } else {
        // u and v trade places: v a neighbour of u, or any unit.
        const std::vector<int>& l = near[static_cast<std::size_t>(u)];
        v = kind == 1 && !l.empty() ? l[static_cast<std::size_t>(below(static_cast<int>(l.size())))] : below(n);
        if (v == u || m.isIo(u) != m.isIo(v)) continue;
        connectedSwaps += kind == 1;
        // Half the time v is put in u's cluster first (in the caller's view).
        if (below(2) == 0 && !m.isIo(u)) {
          put({{v, xs[u], ys[u]}});
          ++sameCluster;
        }
        cheap = cost.swapCost(u, v, places);
        mv = {{u, xs[v], ys[v]}, {v, xs[u], ys[u]}};
      }
      const int c = static_cast<int>(mv.size());
      ASSERT_EQ(cheap, cost.movesCost(mv.data(), c, places)) << "try " << t << ", unit " << u << ", with " << v;
      ASSERT_NEAR(cheap, reference(mv), tolerance) << "try " << t << ", unit " << u << ", with " << v;
      if (++priced % 200 == 0) {
        // Against the whole sum counted before and after the move.
        const double before = recount(an, xs, ys);
        std::vector<int> ax = xs, ay = ys;
        if (v < 0) {
          ax[u] = nx;
          ay[u] = ny;
        } else {
          std::swap(ax[u], ax[v]);
          std::swap(ay[u], ay[v]);
        }
        const double after = recount(an, ax, ay);
        EXPECT_NEAR(cheap, after - before, 1e-9 * (before + 1)) << "try " << t;
        ++recounted;
        resync();
      }
      // Made, half the time: the places the next tries see.
      if (below(2) == 0) put(mv);
    }
    // The tries met what they are meant to.
    EXPECT_GT(hot, 500) << exponent;
    EXPECT_LT(hot, 6000) << exponent;
    EXPECT_GT(connectedSwaps, 300) << exponent;
    EXPECT_GT(sameCluster, 300) << exponent;
    EXPECT_GE(recounted, 12) << exponent;
    EXPECT_GT(groups, 500) << exponent;
  }
}

// Before the first refresh nothing is weighted; a floor above every
// weight leaves every unit without a weighted connection.
TEST(DetailTiming, NothingPricedWithoutWeights) {
  Generated g(300);
  ASSERT_TRUE(g.placed);
  qplace::DetailTiming cost(g.timing.analysis, g.timing.table, 0.3, 2);
  const auto places = placesOf(g.p);
  EXPECT_EQ(cost.moveCost(0, 3, 3, places), 0.0);
  EXPECT_EQ(cost.swapCost(0, 1, places), 0.0);
  cost.refresh(g.p, 1000);
  int hot = 0;
  for (int u = 0; u < g.m.numUnits(); ++u) hot += cost.hot(u);
  EXPECT_GT(hot, 0);
  // An exponent so high that no weight reaches the floor but the
  // critical path's own (criticality 1).
  qplace::DetailTiming sharp(g.timing.analysis, g.timing.table, 0.3, 1e6);
  sharp.refresh(g.p, 1000);
  int sharpHot = 0;
  for (int u = 0; u < g.m.numUnits(); ++u) sharpHot += sharp.hot(u);
  EXPECT_GT(sharpHot, 0);
  EXPECT_LT(sharpHot, hot);
}

// measure() analyses another placement and gives its critical path, as a
// refresh there would, but leaves the weights and rows of the last
// refresh: the prices stay what they were.
TEST(DetailTiming, MeasureLeavesThePricesAlone) {
  Generated g(300);
  ASSERT_TRUE(g.placed);
  qplace::DetailTiming cost(g.timing.analysis, g.timing.table, 0.3, 2);
  cost.refresh(g.p, 1000);
  const int units = g.m.numUnits();
  auto prices = [&](const qplace::DetailTiming& t) {
    std::vector<int> out;
    for (int u = 0; u < units; ++u) out.push_back(t.price(10, t.moveCost(u, 2, 2, placesOf(g.p))));
    return out;
  };
  const std::vector<int> before = prices(cost);
  // Another placement: logic units traded pairwise where they fit.
  qplace::Placement q = g.p;
  int traded = 0;
  for (int u = 0; u + 1 < units; u += 2) {
    const int v = units - 1 - u;
    if (g.m.isIo(u) || g.m.isIo(v) || u >= v) continue;
    const int pu = q.loc[static_cast<std::size_t>(u)], pv = q.loc[static_cast<std::size_t>(v)];
    q.take(u);
    q.take(v);
    const bool fit = q.fits(u, pv) && q.fits(v, pu);
    q.put(u, fit ? pv : pu);
    q.put(v, fit ? pu : pv);
    traded += fit;
  }
  ASSERT_GT(traded, 20);
  const double cp = cost.measure(q);
  qplace::DetailTiming there(g.timing.analysis, g.timing.table, 0.3, 2);
  EXPECT_EQ(cp, there.refresh(q, 1000));
  EXPECT_EQ(cost.measures(), 1);
  EXPECT_EQ(cost.refreshes(), 1);
  EXPECT_EQ(prices(cost), before);
  // Weights taken at the other placement would have priced differently.
  EXPECT_NE(prices(there), before);
}

}  // namespace
