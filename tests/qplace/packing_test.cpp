// Packing into units: which registers pair with a LUT, control sets, and
// the unit nets the placer optimizes.
#include <gtest/gtest.h>

#include "qplace/packing.h"
#include "timing_circuit.h"

namespace {

using designgen::LUT_A;
using designgen::LUT_B;
using designgen::LUT_Z;
using designgen::REG_D;
using designgen::REG_Q;

TEST(Packing, PairsOnlyARegisterWhoseLutDrivesNothingElse) {
  timing_test::Circuit c;  // positions unused
  standin::Design& d = c.d;
  standin::Comp *a = c.lut("a", 1, 1), *b = c.lut("b", 1, 1);
  standin::Comp *r1 = c.reg("r1", 1, 1), *r2 = c.reg("r2", 1, 1), *r3 = c.reg("r3", 1, 1), *r4 = c.reg("r4", 1, 1);
  UP_REGCTRL* rc1 = d.addRegCtrl(3);
  UP_REGCTRL* rc2 = d.addRegCtrl(1);
  r1->regctrl = r2->regctrl = r3->regctrl = rc1;
  r4->regctrl = rc2;
  c.clock("clk", {r1, r2, r3, r4});
  c.net("na", a, LUT_Z, {{r1, REG_D}});  // a -> r1 only: a pair
  standin::Signal* nb = c.net("nb", b, LUT_Z, {{r2, REG_D}, {r3, REG_D}});  // b -> r2 and r3: no pair
  standin::Signal* q = c.net("q", r1, REG_Q, {{a, LUT_A}, {b, LUT_A}, {r4, REG_D}});
  standin::Signal* lone = d.addSignal("lone");  // one pin only
  d.addLoad(lone, b, LUT_B);

  qplace::Model m = qplace::packDesign(d);
  ASSERT_EQ(m.numUnits(), 6);  // pair (a, r1), b, r2, r3, r4, the clock pad
  EXPECT_EQ(m.numOf(qplace::UNIT_REG), 3);
  const int pair = m.unitOfComp[a->id];
  EXPECT_EQ(m.unitOfComp[r1->id], pair);
  EXPECT_EQ(m.kind[pair], qplace::UNIT_PAIR);
  EXPECT_NE(m.unitOfComp[b->id], m.unitOfComp[r2->id]);

  // Registers on one record share a set; set numbers follow first use.
  EXPECT_EQ(m.numCtrl, 2);
  EXPECT_EQ(m.ctrl[pair], 0);
  EXPECT_EQ(m.ctrl[m.unitOfComp[r2->id]], 0);
  EXPECT_EQ(m.ctrl[m.unitOfComp[r4->id]], 1);
  EXPECT_EQ(m.ctrl[m.unitOfComp[b->id]], -1);

  // Nets: nb and q only. na lies inside the pair, lone has one pin, clk is
  // a clock. q reaches the pair once although it has two pins there.
  ASSERT_EQ(m.numNets(), 2);
  EXPECT_EQ(m.netSignal[0], nb);
  EXPECT_EQ(m.netSignal[1], q);
  EXPECT_EQ(m.netSize(0), 3);
  EXPECT_EQ(m.netSize(1), 3);
  const int bu = m.unitOfComp[b->id];
  ASSERT_EQ(m.unitNetStart[bu + 1] - m.unitNetStart[bu], 2);
  EXPECT_EQ(m.unitNets[m.unitNetStart[bu]], 0);
  EXPECT_EQ(m.unitNets[m.unitNetStart[bu] + 1], 1);
}

}  // namespace
