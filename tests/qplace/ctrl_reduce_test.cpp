// Control-set reduction: the folded netlist must behave like the input
// (simulated side by side on random inputs, every output and register
// compared each step), folds must land where they should (the driving LUT
// or a new one), and the choice of sets must free register groups.
#include "qplace/ctrl_reduce.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>

#include "logic_builder.h"
#include "logic_sim.h"
#include "qplace/logic_gen.h"
#include "qplace/netlist_reader.h"

namespace qplace {
namespace {

// Simulates `a` and `b` (same ports, same registers by index) from the same
// random power-up state on the same random inputs: clock inputs toggle with
// probability 1/2 each step, other inputs are 1 with a probability of 0.15,
// 0.5 or 0.85 drawn per input. Compares every output port bit and every
// register's state after each step.
::testing::AssertionResult equivalent(const LogicNetlist& a, const LogicNetlist& b, int steps,
                                      std::uint64_t seed) {
  if (a.ports.size() != b.ports.size() || a.regs.size() != b.regs.size())
    return ::testing::AssertionFailure() << "different ports or registers";
  for (std::size_t i = 0; i < a.ports.size(); ++i)
    if (a.ports[i].net != b.ports[i].net || a.ports[i].input != b.ports[i].input)
      return ::testing::AssertionFailure() << "port " << a.ports[i].name << " differs";
  for (std::size_t i = 0; i < a.regs.size(); ++i)
    if (a.regs[i].name != b.regs[i].name) return ::testing::AssertionFailure() << "register " << i << " renamed";
  LogicSim sa(a), sb(b);
  std::mt19937_64 rng(seed);
  for (std::size_t r = 0; r < a.regs.size(); ++r) {
    const bool v = rng() & 1;
    sa.setQ(static_cast<int>(r), v);
    sb.setQ(static_cast<int>(r), v);
  }
  std::set<NetId> clocks;
  for (const LogicReg& r : a.regs) clocks.insert(r.clock.net);
  std::vector<double> bias(a.ports.size());
  const double biases[] = {0.15, 0.5, 0.85};
  for (double& x : bias) x = biases[rng() % 3];
  std::vector<char> level(a.ports.size(), 0);
  std::uniform_real_distribution<double> u(0, 1);
  for (int step = 0; step < steps; ++step) {
    for (std::size_t i = 0; i < a.ports.size(); ++i) {
      const LogicPort& p = a.ports[i];
      if (!p.input || !isNet(p.net)) continue;
      level[i] = clocks.count(p.net) ? (u(rng) < 0.5 ? !level[i] : level[i]) : u(rng) < bias[i];
      sa.setInput(p.net, level[i]);
      sb.setInput(p.net, level[i]);
    }
    sa.settle();
    sb.settle();
    for (const LogicPort& p : a.ports)
      if (p.output && sa.value(p.net) != sb.value(p.net))
        return ::testing::AssertionFailure() << "step " << step << ": output " << p.name << " differs";
    for (std::size_t r = 0; r < a.regs.size(); ++r)
      if (sa.q(static_cast<int>(r)) != sb.q(static_cast<int>(r)))
        return ::testing::AssertionFailure() << "step " << step << ": register " << a.regs[r].name << " differs";
  }
  return ::testing::AssertionSuccess();
}

bool isPlain(const LogicReg& r) { return !r.enable.present() && !r.syncReset.present(); }

// Registers of several kinds, each with a D LUT that has room for the
// controls it needs, and one plain register of the same clock.
struct Roomy {
  LogicBuilder b;
  NetId clk, en, enN, sr, srN, a, c, e;
  Roomy() {
    clk = b.input("clk");
    en = b.input("en");
    enN = b.input("en_n");
    sr = b.input("sr");
    srN = b.input("sr_n");
    a = b.input("a");
    c = b.input("c");
    e = b.input("e");
    b.reg("plain", a, clk);
    b.reg("en_only", b.lut("l1", {a, c}, 0x6), clk).enable = Control{en, true};
    LogicReg& r2 = b.reg("reset1_low", b.lut("l2", {a, c, e}, 0x96), clk);
    r2.syncReset = Control{srN, false};
    r2.syncValue = true;
    LogicReg& r3 = b.reg("reset_over_en", b.lut("l3", {a}, 0x1), clk);
    r3.enable = Control{en, true};
    r3.syncReset = Control{sr, true};
    LogicReg& r4 = b.reg("en_over_reset", b.lut("l4", {c}, 0x2), clk);
    r4.enable = Control{en, true};
    r4.syncReset = Control{sr, true};
    r4.enableOverSync = true;
    // A toggle: D = Q xor a xor c, with an active-low enable; Q is already an input.
    const NetId q5 = b.net("t.q");
    b.reg("toggle", b.lut("l5", {q5, a, c}, 0x96), clk, q5).enable = Control{enN, false};
    for (const LogicReg& r : b.ln.regs) b.output(r.name, r.q);
  }
};

TEST(CtrlReduce, FoldsIntoTheDrivingLutWhenItHasRoom) {
  Roomy t;
  LogicNetlist folded = t.b.ln;
  const ReduceResult res = reduceControlSets(folded, ReduceParams{});
  // Every figure, in the line the run prints.
  EXPECT_EQ(describe(res),
            "control sets: 6, 1 after reduction (5 registers folded: 5 LUTs extended, 0 added); "
            "register groups needed: 6, 1 after");
  ASSERT_EQ(folded.luts.size(), t.b.ln.luts.size());
  for (std::size_t r = 0; r < folded.regs.size(); ++r) {
    EXPECT_TRUE(isPlain(folded.regs[r])) << folded.regs[r].name;
    EXPECT_EQ(folded.regs[r].d, t.b.ln.regs[r].d);  // the same LUT, the same net
    EXPECT_EQ(folded.regs[r].type, "$_DFF_P_");
  }
  // The enable-only register's LUT reads a, c, the enable and its own Q.
  EXPECT_EQ(folded.luts[0].in, (std::vector<NetId>{t.a, t.c, t.en, t.b.ln.regs[1].q}));
  // The reset-only one needs no Q; the toggle already read its own.
  EXPECT_EQ(folded.luts[1].in.size(), 4u);
  EXPECT_EQ(folded.luts[4].in.size(), 4u);
  EXPECT_TRUE(equivalent(t.b.ln, folded, 600, 1));
}

// A fold with the wrong reset priority, or one that drops the enable, must
// show in the simulation: the check above can fail.
TEST(CtrlReduce, EquivalenceCheckCatchesAWrongFold) {
  Roomy t;
  LogicNetlist wrongPriority = t.b.ln;
  wrongPriority.regs[4].enableOverSync = false;  // en_over_reset folded as reset over enable
  reduceControlSets(wrongPriority, ReduceParams{});
  EXPECT_FALSE(equivalent(t.b.ln, wrongPriority, 600, 1));

  LogicNetlist noEnable = t.b.ln;
  reduceControlSets(noEnable, ReduceParams{});
  noEnable.luts[0] = t.b.ln.luts[0];  // en_only: D' = D
  EXPECT_FALSE(equivalent(t.b.ln, noEnable, 600, 1));
}

TEST(CtrlReduce, AddsALutWhenTheDriverIsFullSharedOrNoLut) {
  LogicBuilder b;
  const NetId clk = b.input("clk"), en = b.input("en"), sr = b.input("sr");
  const NetId a = b.input("a"), c = b.input("c"), e = b.input("e"), g = b.input("g");
  b.reg("plain", a, clk);
  b.reg("full", b.lut("full4", {a, c, e, g}, 0x6996), clk).enable = Control{en, true};
  const NetId shared = b.lut("shared", {a, c}, 0x8);
  b.reg("shared0", shared, clk).enable = Control{en, false};
  b.reg("shared1", shared, clk).enable = Control{en, false};
  b.reg("from_port", a, clk).enable = Control{en, true};
  b.reg("const1", kNet1, clk).enable = Control{en, true};
  const NetId seen = b.lut("seen", {a, e}, 0x7);
  b.output("seen", seen);
  b.reg("output_lut", seen, clk).enable = Control{en, true};
  LogicReg& both = b.reg("three_and_both", b.lut("l3", {a, c, e}, 0xe8), clk);
  both.enable = Control{en, true};
  both.syncReset = Control{sr, true};
  both.syncValue = true;
  for (const LogicReg& r : b.ln.regs) b.output(r.name, r.q);
  const std::size_t luts = b.ln.luts.size();

  LogicNetlist folded = b.ln;
  const ReduceResult res = reduceControlSets(folded, ReduceParams{});
  EXPECT_EQ(res.foldedRegs, 7);
  EXPECT_EQ(res.lutsExtended, 0);
  EXPECT_EQ(res.lutsAdded, 7);
  EXPECT_EQ(res.setsAfter, 1);
  ASSERT_EQ(folded.luts.size(), luts + 7);
  for (std::size_t l = 0; l < luts; ++l) {  // the old LUTs are untouched
    EXPECT_EQ(folded.luts[l].in, b.ln.luts[l].in);
    EXPECT_EQ(folded.luts[l].mask, b.ln.luts[l].mask);
  }
  for (std::size_t r = 1; r < folded.regs.size(); ++r) {
    const LogicLut& fold = folded.luts[luts + r - 1];
    EXPECT_EQ(fold.name, folded.regs[r].name + "$fold");
    EXPECT_EQ(folded.regs[r].d, fold.out);
    EXPECT_TRUE(isPlain(folded.regs[r]));
  }
  // The constant needs no input of its own: the new LUT reads enable and Q.
  EXPECT_EQ(folded.luts[luts + 4].in, (std::vector<NetId>{en, folded.regs[5].q}));
  EXPECT_EQ(folded.luts[luts + 6].in.size(), 4u);  // D, enable, reset, Q
  EXPECT_TRUE(equivalent(b.ln, folded, 600, 2));
}

// Folded registers join the plain set of their own clock, edge and
// asynchronous controls, which stay on the register.
TEST(CtrlReduce, ClocksEdgesAndAsynchronousControlsStayApart) {
  LogicBuilder b;
  const NetId clk1 = b.input("clk1"), clk2 = b.input("clk2"), arstN = b.input("arst_n");
  const NetId en = b.input("en"), en2 = b.input("en2"), a = b.input("a"), c = b.input("c");
  b.reg("p1", a, clk1);
  b.reg("r1", b.lut("l1", {a, c}, 0x6), clk1).enable = Control{en, true};
  for (const char* name : {"f1", "f2"}) {
    LogicReg& r = b.reg(name, b.lut(std::string("l") + name, {a, c}, 0x9), clk1);
    r.clock.activeHigh = false;
    r.enable = Control{name[1] == '1' ? en : en2, true};
  }
  for (const char* name : {"a1", "a2"}) {
    LogicReg& r = b.reg(name, b.lut(std::string("l") + name, {a, c}, 0xe), clk2);
    r.enable = Control{name[1] == '1' ? en : en2, true};
    r.asyncReset = Control{arstN, false};
    r.asyncValue = name[1] == '2';
  }
  for (const LogicReg& r : b.ln.regs) b.output(r.name, r.q);
  // More registers than LUTs: without the spare-LUT pass, which would fold
  // the a-registers too.
  ReduceParams freeing;
  freeing.spareLuts = false;
  LogicNetlist folded = b.ln;
  const ReduceResult res = reduceControlSets(folded, freeing);
  EXPECT_EQ(res.setsBefore, 6);
  EXPECT_EQ(res.foldedRegs, 3);  // r1, f1, f2: the a-registers differ in their async value
  EXPECT_EQ(res.setsAfter, 4);   // clk1 rising, clk1 falling, a1, a2
  EXPECT_EQ(folded.regs[2].type, "$_DFF_N_");
  EXPECT_FALSE(isPlain(folded.regs[4]));

  // With one async value, a1 and a2 fold together and keep their reset.
  LogicNetlist same = b.ln;
  same.regs[5].asyncValue = false;
  LogicNetlist foldedSame = same;
  EXPECT_EQ(reduceControlSets(foldedSame, freeing).setsAfter, 3);
  for (int r : {4, 5}) {
    EXPECT_TRUE(isPlain(foldedSame.regs[r]));
    EXPECT_EQ(foldedSame.regs[r].asyncReset.net, arstN);
    EXPECT_EQ(foldedSame.regs[r].type, "$_DFF_PN0_");
  }
  EXPECT_TRUE(equivalent(b.ln, folded, 800, 3));
  EXPECT_TRUE(equivalent(same, foldedSame, 800, 4));
}

TEST(CtrlReduce, ConstantControlsUnconnectedQLatchesAndNames) {
  LogicBuilder b;
  const NetId clk = b.input("clk"), en = b.input("en"), a = b.input("a"), c = b.input("c");
  b.reg("plain", a, clk);
  b.reg("stuck_off", b.lut("l1", {a, c}, 0x6), clk).enable = Control{kNet0, true};  // holds forever
  LogicReg& r2 = b.reg("stuck_reset", a, clk);
  r2.syncReset = Control{kNet1, true};
  r2.syncValue = true;
  LogicReg& r3 = b.reg("no_q", b.lut("l3", {a, c}, 0x8), clk);
  r3.enable = Control{en, true};
  r3.q = kNoNet;
  LogicReg& latch = b.reg("latch", a, clk);
  latch.latch = true;
  latch.enable = Control{en, true};
  b.reg("x_enable", a, clk).enable = Control{kNetX, true};
  b.lut("clash$fold", {a}, 0x1);
  b.reg("clash", a, clk).enable = Control{en, false};
  for (const LogicReg& r : b.ln.regs)
    if (isNet(r.q)) b.output(r.name, r.q);

  LogicNetlist folded = b.ln;
  const ReduceResult res = reduceControlSets(folded, ReduceParams{});
  EXPECT_EQ(res.foldedRegs, 4);  // not the latch, not the "x" enable
  EXPECT_EQ(res.lutsExtended, 2);
  EXPECT_EQ(res.lutsAdded, 2);
  EXPECT_EQ(res.setsAfter, 3);
  // stuck_off's LUT keeps a and c and gives Q whatever they are.
  EXPECT_EQ(folded.luts[0].in, (std::vector<NetId>{a, c, folded.regs[1].q}));
  EXPECT_EQ(folded.luts[0].mask, 0xf0);
  EXPECT_EQ(folded.luts.back().name, "clash$fold$2");
  const LogicLut& stuck = folded.luts[folded.luts.size() - 2];
  EXPECT_TRUE(stuck.in.empty());  // stuck_reset: a constant 1
  EXPECT_EQ(stuck.mask & 1, 1);
  EXPECT_TRUE(isNet(folded.regs[3].q));
  EXPECT_FALSE(isPlain(folded.regs[4]));
  EXPECT_FALSE(isPlain(folded.regs[5]));
  EXPECT_TRUE(equivalent(b.ln, folded, 600, 5));
}

// Sets of the given sizes on one clock, each with an enable of its own
// (a port), and `plain` registers with none. Every register's D is a LUT of
// its own: of two inputs (room for the enable and Q), or of four when
// `full` (a fold needs a new LUT); `filler` more LUTs drive nothing.
LogicNetlist sets(const std::vector<int>& sizes, int plain, bool full = false, int filler = 0) {
  LogicBuilder b;
  const NetId clk = b.input("clk"), a = b.input("a"), c = b.input("c"), e = b.input("e"), g = b.input("g");
  const std::vector<NetId> in = full ? std::vector<NetId>{a, c, e, g} : std::vector<NetId>{a, c};
  for (int i = 0; i < plain; ++i) b.reg("p" + std::to_string(i), b.lut("pl" + std::to_string(i), in, 0x6), clk);
  for (std::size_t s = 0; s < sizes.size(); ++s) {
    const NetId en = b.input("en" + std::to_string(s));
    for (int i = 0; i < sizes[s]; ++i) {
      const std::string name = "s" + std::to_string(s) + "r" + std::to_string(i);
      b.reg(name, b.lut("l" + name, in, 0x6), clk).enable = Control{en, true};
    }
  }
  for (int i = 0; i < filler; ++i) b.lut("f" + std::to_string(i), {a, c}, 0x8);
  return b.ln;
}

int folded(std::vector<int> sizes, int plain, const ReduceParams& p) {
  LogicNetlist ln = sets(sizes, plain);
  return reduceControlSets(ln, p).foldedRegs;
}

TEST(CtrlReduce, FoldsOnlySetsThatFreeRegisterGroups) {
  const ReduceParams whole;
  EXPECT_EQ(folded({3}, 0, whole), 0);       // alone on its clock: it would only make a plain set
  EXPECT_EQ(folded({3}, 2, whole), 3);       // joins the plain registers' group
  EXPECT_EQ(folded({3, 3}, 0, whole), 6);    // two sets in one group
  EXPECT_EQ(folded({8}, 8, whole), 0);       // full groups: nothing to gain
  EXPECT_EQ(folded({9}, 7, whole), 9);       // 2 + 1 groups become 2
  EXPECT_EQ(folded({2, 2, 8}, 0, whole), 4); // the full set of 8 stays
  EXPECT_EQ(folded({8, 8}, 0, whole), 0);

  ReduceParams half;
  half.groupSize = 4;
  EXPECT_EQ(folded({4}, 4, half), 0);
  EXPECT_EQ(folded({3}, 1, half), 3);

  ReduceParams bounded;
  bounded.maxRegs = 2;
  EXPECT_EQ(folded({3, 3}, 0, bounded), 0);
  EXPECT_EQ(folded({2, 3, 2}, 0, bounded), 4);
  ReduceParams off;
  off.enabled = false;
  LogicNetlist ln = sets({1, 1, 1}, 0);
  const ReduceResult res = reduceControlSets(ln, off);
  EXPECT_EQ(res.foldedRegs, 0);
  EXPECT_EQ(res.setsAfter, 3);
  EXPECT_EQ(describe(res), "control sets: 3, none folded; register groups needed: 3");
  ReduceParams zero;
  zero.maxRegs = 0;
  EXPECT_EQ(folded({1, 1, 1}, 0, zero), 0);
}

// Folds that need new LUTs happen only while the register groups bind
// harder than the slots: cheapest per group freed first, and no further
// than until the groups take at most 0.9 of the BLEs that the LUTs (or
// registers) take.
TEST(CtrlReduce, FoldsThatCostLutsOnlyWhileGroupsBind) {
  ReduceParams p;
  // LUT-bound: 3 sets and the plain one take 4 groups, 32 BLEs, of ~108.
  LogicNetlist lutBound = sets({2, 2, 2}, 2, true, 100);
  EXPECT_EQ(reduceControlSets(lutBound, p).foldedRegs, 0);
  LogicNetlist cheap = sets({2, 2, 2}, 2, false, 100);  // into their own LUTs: free
  EXPECT_EQ(reduceControlSets(cheap, p).foldedRegs, 6);
  ReduceParams always = p;
  always.groupShare = 0;
  LogicNetlist forced = sets({2, 2, 2}, 2, true, 100);
  EXPECT_EQ(reduceControlSets(forced, always).lutsAdded, 6);

  // Ten one-register sets and a plain register, 51 LUTs: 11 groups (88
  // BLEs) fold down until the groups fit.
  LogicNetlist some = sets(std::vector<int>(10, 1), 1, true, 40);
  const ReduceResult res = reduceControlSets(some, p);
  EXPECT_GT(res.foldedRegs, 0);
  EXPECT_LT(res.foldedRegs, 10);
  const double luts = static_cast<double>(some.luts.size());
  EXPECT_LE(res.groupsAfter * 8, 0.9 * luts);
  EXPECT_GT((res.groupsAfter + 1) * 8, 0.9 * (luts - 1));  // one fold less still bound
  EXPECT_EQ(res.lutsAdded, res.foldedRegs);

  // One fold is enough: the one-register set, which wastes 7/8 of a group
  // for one new LUT, goes before the set of four (4 new LUTs for half a group).
  LogicNetlist cheapest = sets({4, 1}, 1, true, 15);
  EXPECT_EQ(reduceControlSets(cheapest, p).foldedRegs, 1);
  EXPECT_TRUE(isPlain(cheapest.regs[5]));
}

// A delay line: `stages` stages of `lanes` registers, each stage's D the
// stage before's Q, the enables of the stages taking turns among `enables`
// ports (so neighbouring stages are in different sets), and `luts` LUTs of
// other logic.
LogicNetlist delayLine(int stages, int lanes, int enables, int luts) {
  LogicBuilder b;
  const NetId clk = b.input("clk"), a = b.input("a"), c = b.input("c");
  std::vector<NetId> en;
  for (int e = 0; e < enables; ++e) en.push_back(b.input("en" + std::to_string(e)));
  std::vector<NetId> prev;
  for (int l = 0; l < lanes; ++l) prev.push_back(b.input("d" + std::to_string(l)));
  for (int s = 0; s < stages; ++s)
    for (int l = 0; l < lanes; ++l) {
      LogicReg& r = b.reg("s" + std::to_string(s) + "l" + std::to_string(l), prev[static_cast<std::size_t>(l)], clk);
      r.enable = Control{en[static_cast<std::size_t>(s % enables)], true};
      prev[static_cast<std::size_t>(l)] = r.q;
    }
  for (int l = 0; l < lanes; ++l) b.output("q" + std::to_string(l), prev[static_cast<std::size_t>(l)]);
  for (int i = 0; i < luts; ++i) b.output("f" + std::to_string(i), b.lut("f" + std::to_string(i), {a, c}, 0x8));
  return b.ln;
}

// More registers than LUTs: the LUT places are idle, so the sets of any
// size fold (each register gets a LUT of its own) as long as the LUTs stay
// within the BLEs that the registers ask for; smallest sets first, bounded
// by spareMaxRegs; the result behaves as the input.
TEST(CtrlReduce, RegisterDominatedDesignsFoldTheirSetsIntoIdleLutPlaces) {
  const LogicNetlist in = delayLine(12, 8, 3, 10);  // 96 registers in 3 sets of 32, 10 LUTs
  LogicNetlist all = in;
  const ReduceResult res = reduceControlSets(all, ReduceParams{});
  EXPECT_EQ(res.setsBefore, 3);
  EXPECT_EQ(res.foldedRegs, 96);
  EXPECT_EQ(res.lutsAdded, 96);
  EXPECT_EQ(res.setsAfter, 1);
  EXPECT_TRUE(equivalent(in, all, 400, 11));

  // 90 LUTs of other logic leave room (96 / 0.85 = 112.9 BLEs) for 22 new
  // LUTs: no set of 32 fits.
  LogicNetlist tight = delayLine(12, 8, 3, 90);
  EXPECT_EQ(reduceControlSets(tight, ReduceParams{}).foldedRegs, 0);
  // 70 leave room for one set; the smallest goes first.
  LogicNetlist one = delayLine(13, 8, 3, 70);  // sets of 40, 32, 32
  const ReduceResult r1 = reduceControlSets(one, ReduceParams{});
  EXPECT_EQ(r1.foldedRegs, 32);
  EXPECT_TRUE(isPlain(one.regs[8]));   // stage 1
  EXPECT_FALSE(isPlain(one.regs[0]));  // stage 0, of the set of 40

  ReduceParams bounded;
  bounded.spareMaxRegs = 31;
  LogicNetlist none = in;
  EXPECT_EQ(reduceControlSets(none, bounded).foldedRegs, 0);
  ReduceParams off;
  off.spareLuts = false;
  LogicNetlist kept = in;
  EXPECT_EQ(reduceControlSets(kept, off).foldedRegs, 0);
}

// The 13-line design as yosys writes it (a counter and five two-register
// words with enables of their own): the five sets fold into the counter's
// plain set, but for one under the half rule (4 + 8 registers and the last
// set take 4 groups, as 4 + 10 would), and the result behaves as the input.
TEST(CtrlReduce, SynthesizedDesignStaysEquivalent) {
  const LogicNetlist in = readLogicNetlistFile(QPLACE_TEST_DATA "/ctrlsets_small.json");
  for (int G : {8, 4}) {
    LogicNetlist out = in;
    ReduceParams p;
    p.groupSize = G;
    const ReduceResult res = reduceControlSets(out, p);
    EXPECT_EQ(res.setsBefore, 6);
    EXPECT_EQ(res.setsAfter, G == 8 ? 1 : 2);
    EXPECT_EQ(res.foldedRegs, G == 8 ? 10 : 8);
    EXPECT_TRUE(equivalent(in, out, 1000, 7)) << "group " << G;
  }
}

// Generated netlists of many small sets, with sync and async resets and two
// clocks, under both rules: every fold path is taken and the result behaves
// like the input. Reducing twice the same input gives the same netlist.
TEST(CtrlReduce, GeneratedNetlistsStayEquivalent) {
  for (std::uint64_t seed = 1; seed <= 3; ++seed) {
    LogicGenParams gp;
    gp.luts = 240;
    gp.regs = 160;
    gp.clocks = 2;
    gp.syncResetShare = 0.5;
    gp.asyncResetShare = 0.2;
    gp.inputs = 12;
    gp.outputs = 24;
    gp.seed = seed;
    const LogicNetlist in = generateLogic(gp);
    for (int G : {8, 4}) {
      ReduceParams p;
      p.groupSize = G;
      p.groupShare = 0;  // every fold that frees groups, whatever it costs
      LogicNetlist out = in;
      const ReduceResult res = reduceControlSets(out, p);
      EXPECT_LT(res.groupsAfter, res.groupsBefore);
      EXPECT_LT(4 * res.setsAfter, res.setsBefore);
      EXPECT_GT(res.lutsExtended, 0);
      EXPECT_GT(res.lutsAdded, 0);
      EXPECT_EQ(res.setsAfter, countControlSets(out));
      EXPECT_TRUE(equivalent(in, out, 400, seed)) << "seed " << seed << ", group " << G;
      std::set<std::string> names;
      for (const LogicLut& l : out.luts) EXPECT_TRUE(names.insert(l.name).second) << l.name;
      for (const LogicReg& r : out.regs) EXPECT_TRUE(names.insert(r.name).second) << r.name;
      LogicNetlist again = in;
      reduceControlSets(again, p);
      ASSERT_EQ(again.luts.size(), out.luts.size());
      for (std::size_t l = 0; l < out.luts.size(); ++l) {
        EXPECT_EQ(again.luts[l].in, out.luts[l].in);
        EXPECT_EQ(again.luts[l].mask, out.luts[l].mask);
      }
    }
  }
}

}  // namespace
}  // namespace qplace
