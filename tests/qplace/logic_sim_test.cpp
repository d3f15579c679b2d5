// The simulator behind the equivalence tests, against sequences worked out
// by hand: a wrong simulator must not let a wrong reduction pass. What a
// fold moves into a LUT is checked here (the mask's bit order, the enable
// and synchronous reset and their priority); clock edges, latches and
// asynchronous controls stay on the register in both netlists compared,
// so a fault there would show the same on either side.
#include "logic_sim.h"

#include <gtest/gtest.h>

#include <string>

#include "logic_builder.h"

namespace qplace {
namespace {

// Q of every register, as a string of 0s and 1s.
std::string states(const LogicSim& s, int regs) {
  std::string out;
  for (int r = 0; r < regs; ++r) out += s.q(r) ? '1' : '0';
  return out;
}

TEST(LogicSim, LutReadsItsMaskWithTheFirstInputAsTheLowestBit) {
  LogicBuilder b;
  const NetId a = b.input("a"), c = b.input("c");
  const NetId y = b.lut("y", {a, c}, 0x4);  // 1 only for a = 0, c = 1
  const NetId z = b.lut("z", {y, kNet1}, 0x8);  // y AND constant 1
  LogicSim s(b.ln);
  for (int k = 0; k < 4; ++k) {
    s.setInput(a, k & 1);
    s.setInput(c, k & 2);
    s.settle();
    EXPECT_EQ(s.value(y), k == 2) << k;
    EXPECT_EQ(s.value(z), k == 2) << k;
  }
}

// A two-bit counter with an enable and an active-low synchronous reset to 0
// (over the enable), and a shift register behind its low bit: the second
// stage must take the first one's value from before the edge.
TEST(LogicSim, CounterWithEnableAndResetAndAShiftRegisterBehindIt) {
  LogicBuilder b;
  const NetId clk = b.input("clk"), en = b.input("en"), rstN = b.input("rst_n");
  const NetId q0 = b.net("q0"), q1 = b.net("q1");
  const NetId d0 = b.lut("d0", {q0}, 0x1);          // not q0
  const NetId d1 = b.lut("d1", {q0, q1}, 0x6);      // q0 xor q1
  for (auto [name, d, q] : {std::tuple{"c0", d0, q0}, std::tuple{"c1", d1, q1}}) {
    LogicReg& r = b.reg(name, d, clk, q);
    r.enable = Control{en, true};
    r.syncReset = Control{rstN, false};
  }
  b.reg("s0", q0, clk);
  b.reg("s1", b.ln.regs[2].q, clk);
  LogicSim s(b.ln);
  // Each step: en, rst_n, then a full clock period; expected c0 c1 s0 s1.
  struct Step { bool en, rstN; const char* want; };
  const Step steps[] = {
      {true, true, "1000"},   // count 1 (c0 = 1)
      {true, true, "0110"},   // count 2; s0 took c0 = 1 before the edge
      {false, true, "0101"},  // held; s0 = c0 from before = 0, s1 = old s0 = 1
      {true, true, "1100"},   // count 3
      {false, false, "0010"}, // reset wins over the inactive enable
      {true, true, "1001"},
  };
  s.setInput(rstN, true);
  s.settle();
  for (const Step& st : steps) {
    s.setInput(en, st.en);
    s.setInput(rstN, st.rstN);
    s.setInput(clk, true);
    s.settle();
    s.setInput(clk, false);
    s.settle();
    EXPECT_EQ(states(s, 4), st.want);
  }
}

// An enable over the synchronous reset: the reset acts only while enabled.
TEST(LogicSim, EnableOverSyncReset) {
  LogicBuilder b;
  const NetId clk = b.input("clk"), en = b.input("en"), sr = b.input("sr");
  LogicReg& r = b.reg("ce", kNet0, clk);  // reset to 1 only while enabled
  r.enable = Control{en, true};
  r.syncReset = Control{sr, true};
  r.syncValue = true;
  r.enableOverSync = true;
  LogicSim s(b.ln);
  s.setInput(sr, true);
  s.settle();  // the clock's first value is no edge
  // Each step: en, sr, then a full clock period; expected Q.
  const struct {
    bool en, sr, q;
  } steps[] = {{false, true, false},  // reset but not enabled: holds 0
               {true, true, true},
               {true, false, false}};  // D = 0
  for (const auto& st : steps) {
    s.setInput(en, st.en);
    s.setInput(sr, st.sr);
    s.setInput(clk, true);
    s.settle();
    s.setInput(clk, false);
    s.settle();
    EXPECT_EQ(s.q(0), st.q) << st.en << st.sr;
  }
}

}  // namespace
}  // namespace qplace
