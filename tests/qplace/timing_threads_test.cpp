// The full analysis on two threads: every time, delay, domain figure and
// criticality bit for bit those of one thread, on a generated design with
// loops, two clocks and both edges, at whole and at fractional positions;
// and the graph and delay table built side by side as those built in turn.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "qplace/timing/design_timing.h"
#include "timing_circuit.h"

namespace {

using qplace::TimingAnalysis;

template <class T>
bool sameBits(const T& a, const T& b) {
  return std::memcmp(&a, &b, sizeof(T)) == 0;
}

// Everything an analysis hands out, compared bit for bit.
void expectSame(const TimingAnalysis& one, const TimingAnalysis& two, const char* what) {
  SCOPED_TRACE(what);
  const qplace::TimingGraph& g = one.graph();
  ASSERT_EQ(one.numDomains(), two.numDomains());
  long differ = 0;
  for (int v = 0; v < g.numNodes(); ++v)
    for (int t = 0; t < one.numDomains(); ++t)
      differ += !sameBits(one.arrival(v, t), two.arrival(v, t)) + !sameBits(one.required(v, t), two.required(v, t));
  for (int e = 0; e < g.numEdges(); ++e)
    differ += !sameBits(one.edgeDelay(e), two.edgeDelay(e)) + !sameBits(one.weight(e), two.weight(e)) +
              !sameBits(one.criticality(e), two.criticality(e));
  EXPECT_EQ(differ, 0);
  for (int k = 0; k < one.numDomains(); ++k) {
    const qplace::TimingDomain &a = one.domain(k), &b = two.domain(k);
    EXPECT_TRUE(sameBits(a.period, b.period) && sameBits(a.delay, b.delay) && sameBits(a.need, b.need) &&
                sameBits(a.worstSlack, b.worstSlack))
        << one.domainName(k);
    EXPECT_EQ(a.end, b.end);
    EXPECT_EQ(a.launch, b.launch);
    EXPECT_EQ(a.ends, b.ends);
  }
  EXPECT_EQ(one.unrelatedEnds(), two.unrelatedEnds());
  EXPECT_TRUE(sameBits(one.timingCost(), two.timingCost()));
  const std::vector<double> a = one.netCriticality(), b = two.netCriticality();
  ASSERT_EQ(a.size(), b.size());
  EXPECT_EQ(std::memcmp(a.data(), b.data(), a.size() * sizeof(double)), 0);
}

TEST(TimingAnalysisThreads, TwoThreadsGiveTheBitsOfOne) {
  const timing_test::Generated s(11);
  ASSERT_FALSE(s.g.cutEdges.empty());
  const int units = s.m.numUnits();
  const std::vector<double>& x = s.x;
  const std::vector<double>& y = s.y;
  std::mt19937_64 rng(5);
  // least 0: every level shared, however small; least 64: the small
  // levels (under 4 nodes) left to the first thread between shared ones.
  for (int least : {0, 64}) {
    TimingAnalysis one(s.g, s.m, s.table, s.dm), two(s.g, s.m, s.table, s.dm);
    two.setThreads(2, least);
    auto both = [&](const std::function<void(TimingAnalysis&)>& step) {
      step(one);
      step(two);
    };
    both([&](TimingAnalysis& a) {
      a.setPositions(x, y);
      a.analyse();
      a.refreshCriticality(2, 0.01);
    });
    ASSERT_GE(one.numDomains(), 4);
    expectSame(one, two, least == 0 ? "placed, every level shared" : "placed, small levels alone");

    // Fractional positions as in global placement, the ports left untimed
    // and the periods kept.
    std::vector<double> fx(x.size()), fy(y.size());
    for (std::size_t u = 0; u < x.size(); ++u) {
      fx[u] = x[u] + static_cast<double>(rng() % 1000) / 250 - 2;
      fy[u] = y[u] + static_cast<double>(rng() % 1000) / 250 - 2;
    }
    both([&](TimingAnalysis& a) {
      a.setPositions(fx, fy);
      a.setLoosePorts(true);
      a.analyse(true);
      a.refreshCriticality(3);
    });
    expectSame(one, two, "fractional positions, periods kept");

    // An incremental update after an analysis on two threads starts from
    // the same times.
    const qplace::UnitMove move{units / 2, fx[0], fy[0]};
    both([&](TimingAnalysis& a) { a.move(&move, 1); });
    EXPECT_EQ(one.update(), two.update());
    expectSame(one, two, "after a move");
  }
}

TEST(TimingAnalysisThreads, GraphAndTableBuiltSideBySideAreThoseBuiltInTurn) {
  timing_test::Generated s(12);
  qplace::TimingSettings settings;
  settings.delays = s.dm;
  const qplace::DesignTiming inTurn(s.d, s.m, s.gen.device, settings, 1);
  const qplace::DesignTiming sideBySide(s.d, s.m, s.gen.device, settings, 2);
  const qplace::TimingGraph &a = inTurn.graph, &b = sideBySide.graph;
  ASSERT_GT(a.numEdges(), 1000);
  EXPECT_TRUE(a.from == b.from && a.to == b.to && a.order == b.order && a.cutEdges == b.cutEdges &&
              a.unitEdges == b.unitEdges && a.signalEdges == b.signalEdges);
  const qplace::DelayTable &ta = inTurn.table, &tb = sideBySide.table;
  ASSERT_EQ(ta.rows(), s.gen.device.plcRows);
  ASSERT_TRUE(ta.rows() == tb.rows() && ta.cols() == tb.cols());
  long differ = 0;
  for (int dy = 0; dy < ta.rows(); ++dy)
    for (int dx = 0; dx < ta.cols(); ++dx) differ += !sameBits(ta.at(dx, dy), tb.at(dx, dy));
  EXPECT_EQ(differ, 0);
  // The table came from the routing graph, not the plain grid's formula.
  EXPECT_NE(ta.at(ta.cols() - 1, 0), qplace::DelayTable::plainGrid(ta.rows(), ta.cols(), s.dm).at(ta.cols() - 1, 0));
}

}  // namespace
