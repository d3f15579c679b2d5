// Static timing analysis against times worked out by hand on small
// circuits, and the incremental update against a full analysis.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "timing_circuit.h"
#include "qplace/timing/report.h"

namespace {

using designgen::LUT_A;
using designgen::LUT_B;
using designgen::LUT_Z;
using designgen::REG_CE;
using designgen::REG_D;
using designgen::REG_Q;
using designgen::REG_SR;
using qplace::TimingAnalysis;
using timing_test::Circuit;

constexpr double kNever = -TimingAnalysis::kNone;

// in0 and r1 feed l1; r1 feeds l2; l1 and l2 meet again in l3, which
// drives r2 and the output port out0. Positions (x, y): r1 (1, 1), l1
// (2, 1), l2 (1, 2), l3 (3, 1), r2 (3, 3), in0 on the border left of
// (1, 1), out0 right of (4, 1). Connection delays from the table: in0-l1
// 20, r1-l1 20, r1-l2 20, l1-l3 20, l2-l3 (2, 1) 50, l3-r2 (0, 2) 30,
// l3-out0 20.
struct Reconvergent : Circuit {
  standin::Comp *in0, *r1, *l1, *l2, *l3, *r2, *out0;
  Reconvergent() {
    in0 = io("in0", 0, 1);
    r1 = reg("r1", 1, 1);
    l1 = lut("l1", 2, 1);
    l2 = lut("l2", 1, 2);
    l3 = lut("l3", 3, 1);
    r2 = reg("r2", 3, 3);
    out0 = io("out0", 5, 1);
    clock("clk", {r1, r2});
    net("i", in0, designgen::IO_O, {{l1, LUT_A}});
    net("q1", r1, REG_Q, {{l1, LUT_B}, {l2, LUT_A}});
    net("n1", l1, LUT_Z, {{l3, LUT_A}});
    net("n2", l2, LUT_Z, {{l3, LUT_B}});
    net("n3", l3, LUT_Z, {{r2, REG_D}, {out0, designgen::IO_I}});
    build(4, 4);
  }
};

TEST(TimingAnalysis, ReconvergentPathsAndPorts) {
  Reconvergent c;
  TimingAnalysis& a = *c.analysis;
  a.analyse();
  ASSERT_EQ(a.numDomains(), 2);
  EXPECT_EQ(a.domainName(0), "clock clk, rising edge");
  EXPECT_EQ(a.domainName(1), "ports");
  const int clk = 0, ports = 1;
  EXPECT_EQ(a.edgeDelay(c.edgeInto(c.l3, LUT_B)), 50);
  EXPECT_EQ(a.edgeDelay(c.edgeInto(c.out0, designgen::IO_I)), 20);

  // Arrivals from the clock: r1 50; l1 and l2 50 + 20 + 100; l3 takes the
  // later of 190 and 220, + 100; r2 320 + 30, out0 320 + 20.
  EXPECT_EQ(a.arrival(c.out(c.r1), clk), 50);
  EXPECT_EQ(a.arrival(c.out(c.l1), clk), 170);
  EXPECT_EQ(a.arrival(c.out(c.l2), clk), 170);
  EXPECT_EQ(a.arrival(c.out(c.l3), clk), 320);
  EXPECT_EQ(a.arrival(c.in(c.r2), clk), 350);
  EXPECT_EQ(a.arrival(c.in(c.out0), clk), 340);
  // From the input port: 30, l1 150, l3 270; l2 is not reached.
  EXPECT_EQ(a.arrival(c.out(c.in0), ports), 30);
  EXPECT_EQ(a.arrival(c.out(c.l2), ports), kNever);
  EXPECT_EQ(a.arrival(c.out(c.l3), ports), 270);
  EXPECT_EQ(a.arrival(c.in(c.r2), ports), 300);

  // The clock's only register-to-register path: 350 + setup 20. The ports
  // domain: in0-r2 300 + 20, in0-out0 290 + 40, r1-out0 340 + 40 = 380.
  EXPECT_EQ(a.domain(clk).delay, 370);
  EXPECT_EQ(a.domain(clk).period, 370);
  EXPECT_EQ(a.domain(ports).delay, 380);
  EXPECT_EQ(a.domain(ports).period, 380);
  EXPECT_EQ(a.domain(clk).ends, 1);
  EXPECT_EQ(a.domain(ports).ends, 2);
  EXPECT_EQ(a.worstDomain(), clk);  // the ports domain is longer but no clock's

  // Required, from the clock: r2 370 - 20, out0 380 - 40; l3 320 by both;
  // l1 320 - 100 - 20 = 200, l2 320 - 100 - 50 = 170; r1 by l2: 50.
  EXPECT_EQ(a.required(c.in(c.r2), clk), 350);
  EXPECT_EQ(a.required(c.in(c.out0), clk), 340);
  EXPECT_EQ(a.required(c.out(c.l3), clk), 320);
  EXPECT_EQ(a.required(c.out(c.l1), clk), 200);
  EXPECT_EQ(a.required(c.out(c.l2), clk), 170);
  EXPECT_EQ(a.required(c.out(c.r1), clk), 50);
  EXPECT_EQ(a.required(c.in(c.r2), ports), 360);  // ports period 380 - 20
  EXPECT_EQ(a.required(c.out(c.in0), ports), 80);
  EXPECT_EQ(a.slack(c.out(c.r1)), 0);
  EXPECT_EQ(a.slack(c.out(c.l1)), 30);   // min(clock 200 - 170, ports 200 - 150)
  EXPECT_EQ(a.slack(c.out(c.in0)), 50);
  EXPECT_EQ(a.slack(c.in(c.r2)), 0);
  EXPECT_EQ(a.edgeSlack(c.edgeInto(c.l1, LUT_B)), 30);

  // Criticality: 1 - slack / 380, the longest time the clock's paths get.
  EXPECT_EQ(a.criticality(c.edgeInto(c.l2, LUT_A)), 1);
  EXPECT_DOUBLE_EQ(a.criticality(c.edgeInto(c.l1, LUT_B)), 1 - 30.0 / 380);
  EXPECT_DOUBLE_EQ(a.criticality(c.edgeInto(c.l1, LUT_A)), 1 - 50.0 / 380);
  const std::vector<double> nets = a.netCriticality();
  for (int n = 0; n < c.model->numNets(); ++n) {
    if (c.model->netSignal[static_cast<std::size_t>(n)]->name == "q1") {
      EXPECT_EQ(nets[static_cast<std::size_t>(n)], 1);
    }
  }

  // Given periods: slack against them, the frequency still what the path
  // allows.
  qplace::ClockPeriods given;
  given.byClock["clk"] = 1.0;
  given.ports = 0.5;
  a.setPeriods(given);
  a.analyse();
  EXPECT_EQ(a.domain(clk).period, 1000);
  EXPECT_EQ(a.domain(clk).worstSlack, 630);
  EXPECT_EQ(a.domain(ports).worstSlack, 120);
  EXPECT_EQ(a.required(c.out(c.r1), clk), 170);  // out0 now binds: 500 - 40 - 20 - 100 - 50 - 100 - 20
  EXPECT_NEAR(a.domain(clk).mhz(), 1e6 / 370, 1e-9);
}

// The report's exact text on the same circuit.
TEST(TimingReport, TextOfTheReconvergentCircuit) {
  Reconvergent c;
  c.analysis->analyse();
  const std::string bar(40, '#');
  EXPECT_EQ(qplace::timingReport(*c.analysis),
            "critical path: 0.370 ns (2702.7 MHz)\n"
            "  clock clk, rising edge: 0.370 ns (2702.7 MHz), 1 ends\n"
            "  ports: 0.380 ns (2631.6 MHz), 2 ends\n"
            "critical path of clock clk, rising edge:\n"
            "  cell   pin  location  delay  arrival\n"
            "  r1     Q    -         0.050    0.050\n"
            "  l2     A    -         0.020    0.070\n"
            "  l2     Z    -         0.100    0.170\n"
            "  l3     B    -         0.050    0.220\n"
            "  l3     Z    -         0.100    0.320\n"
            "  r2     D    -         0.030    0.350\n"
            "  setup                 0.020    0.370\n"
            "slack histogram, 2 ends:\n"
            "  [0.000, 0.000] ns       2  " + bar + "\n");
  EXPECT_EQ(qplace::criticalPathFigure(*c.analysis), ", critical path 0.370 ns");
  const nlohmann::json j = qplace::timingJson(*c.analysis);
  EXPECT_DOUBLE_EQ(j["critical_path_ns"].get<double>(), 0.37);
  EXPECT_EQ(j["path"].size(), 7u);
  EXPECT_EQ(j["path"][2]["pin"], "Z");
  EXPECT_EQ(j["domains"][1]["ends"], 2);
}

// Two clocks, and both edges of one: a1 (clkA rising) -> x -> a2, f1
// (clkA falling); f1 -> y -> f2 (falling), a3 (rising); b1 (clkB) -> z ->
// b2 (clkB) and a2's SR. Everything in one cluster: 7 a connection.
TEST(TimingAnalysis, ClockDomainsAndBothEdges) {
  Circuit c;
  standin::Comp* a1 = c.reg("a1", 2, 2);
  standin::Comp* f1 = c.reg("f1", 2, 2, qplace::REG_FALLING);
  standin::Comp* b1 = c.reg("b1", 2, 2);
  standin::Comp* a2 = c.reg("a2", 2, 2);
  standin::Comp* f2 = c.reg("f2", 2, 2, qplace::REG_FALLING);
  standin::Comp* a3 = c.reg("a3", 2, 2);
  standin::Comp* b2 = c.reg("b2", 2, 2);
  standin::Comp *x = c.lut("x", 2, 2), *y = c.lut("y", 2, 2), *z = c.lut("z", 2, 2);
  c.clock("clkA", {a1, f1, a2, f2, a3});
  c.clock("clkB", {b1, b2});
  c.net("qa", a1, REG_Q, {{x, LUT_A}});
  c.net("qf", f1, REG_Q, {{y, LUT_A}});
  c.net("qb", b1, REG_Q, {{z, LUT_A}});
  c.net("nx", x, LUT_Z, {{a2, REG_D}, {f1, REG_D}});
  c.net("ny", y, LUT_Z, {{f2, REG_D}, {a3, REG_D}});
  c.net("nz", z, LUT_Z, {{a2, REG_SR}, {b2, REG_D}});
  c.build();
  TimingAnalysis& a = *c.analysis;
  a.analyse();
  ASSERT_EQ(a.numDomains(), 3);  // clock pads are no ports
  EXPECT_EQ(a.domainName(1), "clock clkA, falling edge");
  EXPECT_EQ(a.domainName(2), "clock clkB, rising edge");
  const int rise = 0, fall = 1, b = 2;

  // Every end is reached at 50 + 7 + 100 + 7 = 164 from its launch. Same
  // edge: 184; across edges half a period: 184 needs 368 (both clkA
  // domains, the rising one first); clkB 184. a2 is reached from clkB too,
  // which is not timed.
  for (standin::Comp* r : {a2, f1}) EXPECT_EQ(a.arrival(c.in(r), rise), 164);
  EXPECT_EQ(a.arrival(c.in(a2), b), 164);
  EXPECT_EQ(a.arrival(c.in(a2), fall), kNever);
  EXPECT_EQ(a.domain(rise).need, 368);
  EXPECT_TRUE(a.domain(rise).halfPeriod);
  EXPECT_EQ(a.domain(rise).end, c.in(a3));
  EXPECT_EQ(a.domain(rise).launch, fall);
  EXPECT_EQ(a.domain(fall).need, 368);
  EXPECT_EQ(a.domain(fall).end, c.in(f1));
  EXPECT_EQ(a.domain(rise).period, 368);
  EXPECT_EQ(a.domain(b).period, 184);
  EXPECT_EQ(a.domain(b).ends, 1);
  EXPECT_EQ(a.worstDomain(), rise);
  EXPECT_EQ(a.unrelatedEnds(), 1);

  // Required: a2 gets the whole period (368 - 20) from clkA and nothing
  // from clkB; f1 half of it (184 - 20), which binds x's output: 164 - 7.
  EXPECT_EQ(a.required(c.in(a2), rise), 348);
  EXPECT_EQ(a.required(c.in(a2), b), TimingAnalysis::kNone);
  EXPECT_EQ(a.required(c.in(f1), rise), 164);
  EXPECT_EQ(a.required(c.out(x), rise), 157);
  EXPECT_EQ(a.slack(c.in(a2)), 184);
  EXPECT_EQ(a.required(c.out(z), b), 157);  // by b2 alone

  // A period for clkA: half of it for the paths across edges.
  qplace::ClockPeriods given;
  given.byClock["clkA"] = 1.0;
  a.setPeriods(given);
  a.analyse();
  EXPECT_EQ(a.domain(rise).worstSlack, 500 - 20 - 164);  // a3
  EXPECT_EQ(a.domain(b).period, 184);                    // clkB still at what it reaches
  EXPECT_EQ(a.worstDomain(), rise);
  const std::string report = qplace::timingReport(a);
  EXPECT_NE(report.find("  clock clkA, rising edge: 0.184 ns, half period (2717.4 MHz), period 1.000 ns, "
                        "worst slack 0.316 ns, 2 ends\n"),
            std::string::npos)
      << report;
  EXPECT_NE(report.find("ends reached from an unrelated clock, not timed from it: 1\n"), std::string::npos);
}

// A loop of two LUTs and a LUT on itself: cut at the input through which
// the search comes back, reported, and timed as the paths that are left.
// A register without a clock (r4) neither ends nor starts a path.
TEST(TimingAnalysis, LoopsAreCutAndReported) {
  Circuit c;
  standin::Comp* r1 = c.reg("r1", 2, 2);
  standin::Comp *l1 = c.lut("l1", 2, 2), *l2 = c.lut("l2", 2, 2), *l3 = c.lut("l3", 2, 2);
  standin::Comp *r2 = c.reg("r2", 2, 2), *r3 = c.reg("r3", 2, 2), *r4 = c.reg("r4", 2, 2);
  c.clock("clk", {r1, r2, r3});
  c.net("q", r1, REG_Q, {{l1, LUT_B}, {l3, LUT_B}});
  c.net("a", l1, LUT_Z, {{l2, LUT_A}});
  c.net("b", l2, LUT_Z, {{l1, LUT_A}, {r2, REG_D}, {r4, REG_D}});
  c.net("q4", r4, REG_Q, {{l3, designgen::LUT_C}});
  c.net("s", l3, LUT_Z, {{l3, LUT_A}, {r3, REG_CE}});
  c.build();
  const qplace::TimingGraph& g = *c.graph;
  ASSERT_EQ(g.cutEdges.size(), 2u);
  EXPECT_EQ(g.cutEdges[0], c.edgeInto(l1, LUT_A));
  EXPECT_EQ(g.cutEdges[1], c.edgeInto(l3, LUT_A));
  EXPECT_EQ(static_cast<int>(g.order.size()), g.numNodes());
  TimingAnalysis& a = *c.analysis;
  a.analyse();
  EXPECT_EQ(a.arrival(c.out(l2), 0), 264);  // 50 + 7 + 100 + 7 + 100
  EXPECT_EQ(a.arrival(c.in(r3), 0), 164);
  EXPECT_EQ(a.domain(0).delay, 291);
  EXPECT_EQ(a.domain(0).ends, 2);
  EXPECT_EQ(a.arrival(c.in(r4), 0), 271);
  EXPECT_EQ(a.required(c.in(r4), 0), TimingAnalysis::kNone);
  EXPECT_EQ(a.arrival(c.out(r4), 0), kNever);
  EXPECT_EQ(a.unrelatedEnds(), 0);
  EXPECT_EQ(a.criticality(c.edgeInto(l1, LUT_A)), 0);
  const std::string report = qplace::timingReport(a);
  EXPECT_NE(report.find("combinational loops: 2 cut, at l1 input A, l3 input A\n"), std::string::npos) << report;
}

// A LUT that drives only a register's D shares its BLE: the connection
// costs `ble` wherever the pair sits; a register's Q back into its own
// LUT costs `local`.
TEST(TimingAnalysis, PairsAndSameClusterConnections) {
  Circuit c;
  standin::Comp* r1 = c.reg("r1", 3, 3);
  standin::Comp* l1 = c.lut("l1", 3, 3);
  standin::Comp* r2 = c.reg("r2", 5, 3);
  c.clock("clk", {r1, r2});
  c.net("d", l1, LUT_Z, {{r1, REG_D}});
  c.net("q", r1, REG_Q, {{l1, LUT_A}, {r2, REG_D}});
  c.build();
  ASSERT_EQ(c.unit(l1), c.unit(r1));
  c.analysis->analyse();
  EXPECT_EQ(c.analysis->edgeDelay(c.edgeInto(r1, REG_D)), 5);
  EXPECT_EQ(c.analysis->edgeDelay(c.edgeInto(l1, LUT_A)), 7);
  EXPECT_EQ(c.analysis->edgeDelay(c.edgeInto(r2, REG_D)), 30);  // (2, 0)
  // Fractional positions interpolate between table entries; at a whole
  // distance they are the entry.
  const qplace::UnitMove half{c.unit(r1), 3.5, 3};
  c.analysis->move(&half, 1);
  EXPECT_EQ(c.analysis->edgeDelay(c.edgeInto(r2, REG_D)), 25);
  EXPECT_EQ(c.analysis->edgeDelay(c.edgeInto(r1, REG_D)), 5);
}

// Random moves on a generated design (loops, two clocks, some falling
// registers, fractional positions): the cost change that moveCost
// predicts is the one move makes, and after update() every time equals a
// full analysis at the same periods.
TEST(TimingAnalysis, IncrementalUpdateEqualsFullAnalysis) {
  timing_test::Generated s(7);
  const qplace::Model& m = s.m;
  const qplace::TimingGraph& g = s.g;
  ASSERT_FALSE(g.cutEdges.empty());
  std::vector<double> x = s.x, y = s.y;
  std::mt19937_64& rng = s.rng;
  TimingAnalysis inc(g, m, s.table, s.dm), full(g, m, s.table, s.dm);
  inc.setPositions(x, y);
  full.setPositions(x, y);
  inc.analyse();
  full.analyse();
  ASSERT_GE(inc.numDomains(), 4);
  inc.refreshCriticality(4);

  const int cols = s.gen.device.plcCols, rows = s.gen.device.plcRows;
  long recomputed = 0;
  for (int step = 0; step < 300; ++step) {
    qplace::UnitMove moves[2];
    const int count = 1 + static_cast<int>(rng() % 2);
    for (int k = 0; k < count; ++k) {
      moves[k].unit = static_cast<int>(rng() % static_cast<unsigned>(m.numUnits()));
      moves[k].x = 1 + static_cast<double>(rng() % static_cast<unsigned>(2 * cols - 1)) / 2;
      moves[k].y = 1 + static_cast<double>(rng() % static_cast<unsigned>(rows));
    }
    if (count == 2 && moves[0].unit == moves[1].unit) continue;
    const double before = inc.timingCost();
    const double predicted = inc.moveCost(moves, count);
    // The delay a connection of the first unit will have, from the places.
    const int u0 = moves[0].unit;
    int edge = -1;
    double delayThen = 0;
    if (g.unitStart[u0] < g.unitStart[u0 + 1]) {
      edge = g.unitEdges[g.unitStart[u0]];
      auto place = [&](int u, double& px, double& py) {
        px = inc.x(u), py = inc.y(u);
        for (int k = 0; k < count; ++k)
          if (moves[k].unit == u) px = moves[k].x, py = moves[k].y;
      };
      double ax, ay, bx, by;
      place(g.unit[g.from[edge]], ax, ay);
      place(g.unit[g.to[edge]], bx, by);
      delayThen = inc.edgeDelayAt(edge, ax, ay, bx, by);
    }
    inc.move(moves, count);
    EXPECT_NEAR(inc.timingCost() - before, predicted, 1e-6 * (1 + std::fabs(before)));
    if (edge >= 0) {
      EXPECT_EQ(inc.edgeDelay(edge), delayThen) << "step " << step;
    }
    if (step % 7 != 6) continue;
    recomputed += inc.update();
    for (int u = 0; u < m.numUnits(); ++u) {
      x[static_cast<std::size_t>(u)] = inc.x(u);
      y[static_cast<std::size_t>(u)] = inc.y(u);
    }
    full.setPositions(x, y);
    full.analyse(true);
    for (int v = 0; v < g.numNodes(); ++v) {
      for (int t = 0; t < inc.numDomains(); ++t) {
        ASSERT_EQ(inc.arrival(v, t), full.arrival(v, t)) << "step " << step << " node " << v << " domain " << t;
        ASSERT_EQ(inc.required(v, t), full.required(v, t)) << "step " << step << " node " << v << " domain " << t;
      }
    }
    // The worst domain's need from the updated times, where the domains'
    // own figures wait for an analysis; the paths beyond a bound sum to
    // nothing above the worst and to at least the worst's own excess below.
    int end = -1, launch = -1;
    double over = -1;
    const qplace::TimingDomain& worst = full.domain(full.worstDomain());
    ASSERT_EQ(inc.worstNeed(end, launch, worst.need, &over), worst.need) << "step " << step;
    EXPECT_EQ(end, worst.end);
    EXPECT_EQ(launch, worst.launch);
    EXPECT_EQ(over, 0);
    inc.worstNeed(end, launch, worst.need - 50, &over);
    EXPECT_GE(over, 50);
  }
  // The updates stayed local: under a tenth of the node visits of as many
  // full analyses (forward and backward).
  EXPECT_LT(recomputed, 42L * 2 * g.numNodes() / 10);
  EXPECT_GT(recomputed, 0);
}

}  // namespace
