// The critical connections of timing-driven global placement: which
// connections become pairs of the quadratic model and at what weight, and
// that the model solves a pair exactly as a two-unit net of its weight.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <utility>
#include <vector>

#include "qplace/packing.h"
#include "qplace/quadratic_axis.h"
#include "qplace/timing/net_weights.h"
#include "timing_circuit.h"

namespace {

// A long path r0 -> a -> b -> r1 across the grid (r0 drives two pins of
// a; b and r1 pack into one unit) and a short one r2 -> c -> r3 (c and r3
// one unit), both clocked by clk.
struct TwoPaths : timing_test::Circuit {
  standin::Comp *r0, *a, *b, *r1, *r2, *c, *r3;
  TwoPaths() {
    r0 = reg("r0", 1, 1);
    a = lut("a", 2, 1);
    b = lut("b", 7, 7);
    r1 = reg("r1", 7, 7);
    r2 = reg("r2", 3, 3);
    c = lut("c", 3, 4);
    r3 = reg("r3", 3, 4);
    net("n_r0", r0, designgen::REG_Q, {{a, designgen::LUT_A}, {a, designgen::LUT_B}});
    net("n_a", a, designgen::LUT_Z, {{b, designgen::LUT_A}});
    net("n_b", b, designgen::LUT_Z, {{r1, designgen::REG_D}});
    net("n_r2", r2, designgen::REG_Q, {{c, designgen::LUT_A}});
    net("n_c", c, designgen::LUT_Z, {{r3, designgen::REG_D}});
    clock("clk", {r0, r1, r2, r3});
    build();
    analysis->analyse();
  }
};

using Pairs = std::map<std::pair<int, int>, double>;

// The pairs as a map, failing on a pair given twice.
Pairs pairsOf(const std::vector<int>& units, const std::vector<double>& weights) {
  Pairs m;
  EXPECT_EQ(units.size(), 2 * weights.size());
  for (std::size_t k = 0; k < weights.size(); ++k)
    EXPECT_TRUE(m.emplace(std::make_pair(units[2 * k], units[2 * k + 1]), weights[k]).second)
        << "pair " << units[2 * k] << "-" << units[2 * k + 1] << " given twice";
  return m;
}

// Only the connections near the critical path pair, each once, driver
// first, at boost x criticality^exponent; nothing within a unit; a floor
// above every weight, or no boost, leaves none (and clears what was there).
TEST(CriticalPairs, TheCriticalConnectionsPairOnceAtTheirWeight) {
  TwoPaths t;
  ASSERT_EQ(t.unit(t.b), t.unit(t.r1));
  ASSERT_EQ(t.unit(t.c), t.unit(t.r3));
  const double shortCrit = t.analysis->criticality(t.edgeInto(t.c, designgen::LUT_A));
  ASSERT_GT(shortCrit, 0.0);
  ASSERT_LT(shortCrit, 0.9);  // far from critical

  std::vector<int> units{7, 7};
  std::vector<double> weights{9.0};
  qplace::setCriticalPairs(*t.analysis, 2.0, 24, 0.05, units, weights);
  Pairs got = pairsOf(units, weights);
  // The critical path's connections have criticality 1: weight = boost.
  const Pairs sharp{{{t.unit(t.r0), t.unit(t.a)}, 2.0}, {{t.unit(t.a), t.unit(t.b)}, 2.0}};
  EXPECT_EQ(got, sharp);

  // A gentle exponent and a low floor take the short path in too.
  qplace::setCriticalPairs(*t.analysis, 2.0, 1, 1e-6, units, weights);
  got = pairsOf(units, weights);
  ASSERT_EQ(got.size(), 3u);
  EXPECT_DOUBLE_EQ((got[{t.unit(t.r2), t.unit(t.c)}]), 2.0 * shortCrit);

  // A weight just at the floor is kept, just under it left out.
  qplace::setCriticalPairs(*t.analysis, 2.0, 1, 2.0 * shortCrit, units, weights);
  EXPECT_EQ(pairsOf(units, weights).size(), 3u);
  qplace::setCriticalPairs(*t.analysis, 2.0, 1, 2.0 * shortCrit * (1 + 1e-9), units, weights);
  EXPECT_EQ(pairsOf(units, weights), sharp);

  qplace::setCriticalPairs(*t.analysis, 2.0, 24, 2.5, units, weights);
  EXPECT_TRUE(units.empty() && weights.empty());
  qplace::setCriticalPairs(*t.analysis, 2.0, 24, 0.05, units, weights);
  qplace::setCriticalPairs(*t.analysis, 0.0, 24, 0.05, units, weights);
  EXPECT_TRUE(units.empty() && weights.empty());
}

// Six logic units in a chain between two fixed ones (units 6 and 7).
qplace::Model chain() {
  qplace::Model m;
  m.kind.assign(8, qplace::UNIT_LUT);
  m.kind[6] = m.kind[7] = qplace::UNIT_IO;
  auto net = [&m](std::vector<int> units) {
    for (int u : units) m.netUnits.push_back(u);
    m.netStart.push_back(static_cast<int>(m.netUnits.size()));
    m.netSignal.push_back(nullptr);
  };
  net({6, 0, 1});
  net({1, 2});
  net({2, 3, 4});
  net({4, 5, 7});
  return m;
}

std::vector<double> solved(const qplace::Model& m) {
  const std::vector<int> var{0, 1, 2, 3, 4, 5, -1, -1};
  std::vector<double> pos{3, 5, 1, 8, 2, 6, 0, 20};
  const std::vector<double> anchor(6, 10.0), weight{0.01, 0, 0.02, 0, 0, 0.01};
  qplace::AxisSystem axis(6);
  // A start from the centre, then bound-to-bound passes from the positions.
  axis.solve(m, var, pos, anchor, weight, 10.0, 100, 1e-12, qplace::AxisStart::CENTRE);
  for (int k = 0; k < 3; ++k) axis.solve(m, var, pos, anchor, weight, 10.0, 100, 1e-12, qplace::AxisStart::POSITIONS);
  return pos;
}

// A pair is the two-unit net of its weight, to the last bit, between two
// variables or with a fixed unit; a pair of a unit with itself is nothing.
TEST(CriticalPairs, APairSolvesAsATwoUnitNetOfItsWeight) {
  qplace::Model paired = chain();
  paired.pairUnits = {0, 5, 3, 7, 2, 2};
  paired.pairWeight = {3.0, 1.5, 4.0};
  qplace::Model netted = chain();
  netted.netWeight.assign(4, 1.0);
  for (auto [u, v, w] : {std::tuple<int, int, double>{0, 5, 3.0}, {3, 7, 1.5}}) {
    netted.netUnits.push_back(u);
    netted.netUnits.push_back(v);
    netted.netStart.push_back(static_cast<int>(netted.netUnits.size()));
    netted.netSignal.push_back(nullptr);
    netted.netWeight.push_back(w);
  }
  const std::vector<double> a = solved(paired), b = solved(netted), plain = solved(chain());
  for (int u = 0; u < 8; ++u) EXPECT_EQ(a[u], b[u]) << "unit " << u;
  // And the pairs do pull: units 0 and 5 are closer than without them.
  EXPECT_LT(std::fabs(a[0] - a[5]), std::fabs(plain[0] - plain[5]) - 1.0);
}

}  // namespace
