// One axis of quadratic placement on a system large enough that its
// variables are renumbered for locality: every variable's anchor, start and
// solution stay with its own unit, and every fixed unit's position with it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "qplace/packing.h"
#include "qplace/quadratic_axis.h"

namespace {

// n logic units and two fixed ones (the last two), joined by 2- and 3-unit
// nets between units far apart in unit order, so that the breadth-first
// numbering differs from the units' order everywhere.
qplace::Model scrambledChains(int n) {
  qplace::Model m;
  m.kind.assign(static_cast<std::size_t>(n) + 2, qplace::UNIT_LUT);
  m.kind[n] = m.kind[n + 1] = qplace::UNIT_IO;
  auto net = [&m](std::vector<int> units) {
    for (int u : units) m.netUnits.push_back(u);
    m.netStart.push_back(static_cast<int>(m.netUnits.size()));
    m.netSignal.push_back(nullptr);
  };
  const std::uint64_t step = 40503;  // odd, prime to n: u -> u * step mod n visits every unit
  for (int u = 0; u + 1 < n; u += 2) {
    const int a = static_cast<int>((static_cast<std::uint64_t>(u) * step) % static_cast<std::uint64_t>(n));
    const int b = static_cast<int>((static_cast<std::uint64_t>(u + 1) * step) % static_cast<std::uint64_t>(n));
    if (u % 6 == 0) net({a, b, n + (u / 6) % 2});
    else net({a, b});
  }
  return m;
}

TEST(QuadraticAxis, LargeSystemKeepsEachVariableWithItsUnit) {
  const int n = 70000;  // above the size from which variables are renumbered
  const qplace::Model m = scrambledChains(n);
  std::vector<int> var(static_cast<std::size_t>(n) + 2, -1);
  // Variables in reverse unit order, so that unit and variable numbers differ.
  for (int u = 0; u < n; ++u) var[u] = n - 1 - u;
  std::vector<double> pos(static_cast<std::size_t>(n) + 2, 0.0);
  pos[n] = 0;
  pos[n + 1] = 500;
  // Strong anchors, distinct per variable: each unit must end at its own.
  std::vector<double> anchor(static_cast<std::size_t>(n)), weight(static_cast<std::size_t>(n), 1e6);
  for (int v = 0; v < n; ++v) anchor[v] = (v * 7919) % 1000 * 0.5;

  qplace::AxisSystem axis(n);
  for (qplace::AxisStart start : {qplace::AxisStart::CENTRE, qplace::AxisStart::POSITIONS}) {
    axis.solve(m, var, pos, anchor, weight, 250.0, 400, 1e-12, start);
    int off = 0;
    for (int u = 0; u < n; ++u)
      if (std::fabs(pos[u] - anchor[var[u]]) > 0.05) ++off;  // the nets pull by about 0.002
    EXPECT_EQ(off, 0) << "units away from their anchors";
    EXPECT_EQ(pos[n], 0.0) << "a fixed unit moved";
    EXPECT_EQ(pos[n + 1], 500.0) << "a fixed unit moved";
  }

  // Weak anchors: the nets decide, and every net's units meet (a net read
  // through the wrong numbering would pull other units together instead).
  std::vector<double> weak(static_cast<std::size_t>(n), 1e-6);
  qplace::AxisSystem loose(n);
  loose.solve(m, var, pos, anchor, weak, 250.0, 2000, 1e-14, qplace::AxisStart::POSITIONS);
  double worst = 0;
  for (int k = 0; k < m.numNets(); ++k)
    if (m.netSize(k) == 2)
      worst = std::max(worst, std::fabs(pos[m.netUnits[m.netStart[k]]] - pos[m.netUnits[m.netStart[k] + 1]]));
  EXPECT_LT(worst, 1.0);
  // The units of a net with a fixed unit follow it to its end of the
  // device (a fixed unit read at another's place, or at none, would leave
  // them in the middle or send them to the other end).
  int astray = 0;
  for (int k = 0; k < m.numNets(); ++k) {
    if (m.netSize(k) != 3) continue;
    const int b = m.netStart[k];
    const double fixedAt = pos[m.netUnits[b + 2]];
    for (int i = b; i < b + 2; ++i)
      if (std::fabs(pos[m.netUnits[i]] - fixedAt) > 125.0) ++astray;
  }
  EXPECT_EQ(astray, 0);
}

}  // namespace

namespace {

// One movable unit c on a net of four with three fixed units at 0, 5 and
// 10: the bound-to-bound model joins the net's two extreme units and every
// other unit to both, so which connections c has, and their weights, follow
// where c stands when the model is built.
TEST(QuadraticAxis, ConnectionsFollowTheExtremesOfEachSolve) {
  qplace::Model m;
  m.kind.assign(4, qplace::UNIT_IO);
  m.kind[2] = qplace::UNIT_LUT;  // c
  for (int u : {0, 1, 2, 3}) m.netUnits.push_back(u);
  m.netStart.push_back(4);
  m.netSignal.push_back(nullptr);
  const std::vector<int> var = {-1, -1, 0, -1};
  const std::vector<double> none(1, 0.0);
  const double centre = 6, pull = 1e-4, s = 2.0 / 3;  // the net's 2 / (p - 1)
  auto expected = [&](std::vector<std::pair<double, double>> links) {  // (weight, position) of c's neighbours
    double num = pull * centre, den = pull;
    for (const auto& [w, at] : links) num += w * at, den += w;
    return num / den;
  };
  qplace::AxisSystem axis(1);
  // c at 2, inside: the extremes are the units at 0 and 10, c joins both.
  std::vector<double> pos = {0, 10, 2, 5};
  axis.solve(m, var, pos, none, none, centre, 50, 1e-15, qplace::AxisStart::POSITIONS);
  EXPECT_NEAR(pos[2], expected({{s / 2, 0}, {s / 8, 10}}), 1e-9);
  // c at 12, now an extreme itself: it joins the other extreme (0) and each
  // unit inside (10 and 5). Connections kept from the solve before would
  // leave out the one to 5.
  pos[2] = 12;
  axis.solve(m, var, pos, none, none, centre, 50, 1e-15, qplace::AxisStart::POSITIONS);
  EXPECT_NEAR(pos[2], expected({{s / 12, 0}, {s / 2, 10}, {s / 7, 5}}), 1e-9);
  // c at -3, the low extreme: joined to 10 (the other extreme), 0 and 5.
  pos[2] = -3;
  axis.solve(m, var, pos, none, none, centre, 50, 1e-15, qplace::AxisStart::POSITIONS);
  EXPECT_NEAR(pos[2], expected({{s / 13, 10}, {s / 3, 0}, {s / 8, 5}}), 1e-9);
}

}  // namespace
