// Packing into units: which registers pair with a LUT, control sets, and
// the unit nets the placer optimizes.
#include <gtest/gtest.h>

#include "qplace/packing.h"
#include "host/standin/gen/designgen.h"

namespace {

using designgen::LUT_A;
using designgen::LUT_B;
using designgen::LUT_Z;
using designgen::REG_CK;
using designgen::REG_D;
using designgen::REG_Q;

TEST(Packing, PairsOnlyARegisterWhoseLutDrivesNothingElse) {
  standin::Design d;
  designgen::Prims p = designgen::addPrims(d);
  standin::Comp* in = designgen::addIo(d, p, "in");
  standin::Comp *a = designgen::addLut(d, p, "a"), *b = designgen::addLut(d, p, "b");
  standin::Comp *r1 = designgen::addReg(d, p, "r1"), *r2 = designgen::addReg(d, p, "r2"),
                *r3 = designgen::addReg(d, p, "r3"), *r4 = designgen::addReg(d, p, "r4");
  UP_REGCTRL* rc1 = d.addRegCtrl(3);
  UP_REGCTRL* rc2 = d.addRegCtrl(1);
  r1->regctrl = r2->regctrl = r3->regctrl = rc1;
  r4->regctrl = rc2;
  standin::Signal* clk = d.addSignal("clk");
  clk->clocks = standin::Signal::CLK1;
  d.addDriver(clk, in, designgen::IO_O);
  for (standin::Comp* r : {r1, r2, r3, r4}) d.addLoad(clk, r, REG_CK);
  standin::Signal* na = d.addSignal("na");  // a -> r1 only: a pair
  d.addDriver(na, a, LUT_Z);
  d.addLoad(na, r1, REG_D);
  standin::Signal* nb = d.addSignal("nb");  // b -> r2 and r3: no pair
  d.addDriver(nb, b, LUT_Z);
  d.addLoad(nb, r2, REG_D);
  d.addLoad(nb, r3, REG_D);
  standin::Signal* q = d.addSignal("q");  // r1 -> a, b, r4
  d.addDriver(q, r1, REG_Q);
  d.addLoad(q, a, LUT_A);
  d.addLoad(q, b, LUT_A);
  d.addLoad(q, r4, REG_D);
  standin::Signal* lone = d.addSignal("lone");  // one pin only
  d.addLoad(lone, b, LUT_B);

  qplace::Model m = qplace::packDesign(d);
  ASSERT_EQ(m.numUnits(), 6);  // pair (a, r1), b, r2, r3, r4, in
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
