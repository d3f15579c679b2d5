// Signal queries of the support object: clock classification, global load
// counts and bounding boxes.
#include <gtest/gtest.h>

#include <vector>

#include "host/standin/standin_design.h"
#include "support/basapsupp.h"

namespace {

using standin::Signal;

// ------------------------------------------------------------------ sigIsClk

class SigIsClkTest : public ::testing::Test {
protected:
  standin::Design d;
  Signal* sig = d.addSignal("s");
  Signal* other = d.addSignal("t");
  AP_SUPP supp{&d};
};

TEST_F(SigIsClkTest, NoListOrAnEmptyOneFallsThroughToTheHostTests) {
  std::vector<UP_SIGNAL*> empty;
  EXPECT_EQ(supp.sigIsClk(sig, nullptr), 0);
  EXPECT_EQ(supp.sigIsClk(sig, &empty), 0);
  sig->clocks = Signal::CLK3;
  EXPECT_EQ(supp.sigIsClk(sig, nullptr), 3);
  EXPECT_EQ(supp.sigIsClk(sig, &empty), 3);
}

TEST_F(SigIsClkTest, TheListComesFirstAndMatchesByPointer) {
  sig->clocks = Signal::CLK2 | Signal::CLK3;
  std::vector<UP_SIGNAL*> holds{other, sig};
  std::vector<UP_SIGNAL*> lacks{other};
  EXPECT_EQ(supp.sigIsClk(sig, &holds), 1);
  EXPECT_EQ(supp.sigIsClk(sig, &lacks), 2);
  // A signal in the list counts even when no host test knows it.
  EXPECT_EQ(supp.sigIsClk(other, &holds), 1);
}

TEST_F(SigIsClkTest, FirstHostTestThatRecognisesTheSignalWins) {
  const struct {
    unsigned clocks;
    int expected;
  } cases[] = {
      {Signal::CLK1, 1},
      {Signal::CLK2, 2},
      {Signal::CLK3, 3},
      {Signal::CLK1 | Signal::CLK2 | Signal::CLK3, 1},
      {Signal::CLK1 | Signal::CLK3, 1},
      {Signal::CLK2 | Signal::CLK3, 2},
  };
  for (const auto& c : cases) {
    sig->clocks = c.clocks;
    EXPECT_EQ(supp.sigIsClk(sig, nullptr), c.expected) << "clock bits " << c.clocks;
  }
}

// ------------------------------------------------------------------ sigGlobalLoadNum

// Logical pins 17 and 15 play port CK and CK2 (class A), 14 plays CE (class
// B) and 16 plays LSR (class C) of the register primitive.
class LoadNumTest : public ::testing::Test {
protected:
  enum Pin { D = 0, CK = 1, CE = 2, LSR = 3, Q = 4, CK2 = 5 };

  LoadNumTest() {
    reg = d.addPrim("REG", {{"D", udb::DIR_INPUT},
                            {"CK", udb::DIR_INPUT},
                            {"CE", udb::DIR_INPUT},
                            {"LSR", udb::DIR_INPUT},
                            {"Q", udb::DIR_OUTPUT},
                            {"CK2", udb::DIR_INPUT}});
    reg->logicPins[17] = CK;
    reg->logicPins[15] = CK2;
    reg->logicPins[14] = CE;
    reg->logicPins[16] = LSR;
    src = d.addComp("src", reg);
    sig = d.addSignal("g");
    d.addDriver(sig, src, Q);
  }

  standin::Comp* load(Pin pin) {
    standin::Comp* c = d.addComp("c" + std::to_string(d.comps.size()), reg);
    d.addLoad(sig, c, pin);
    return c;
  }

  // Runs the query with counts pre-filled with junk.
  bool run(int (&counts)[4], int mode = 0) {
    for (int& x : counts) x = 99;
    return supp.sigGlobalLoadNum(sig, counts, mode);
  }

  standin::Design d;
  standin::Prim* reg;
  standin::Comp* src;
  Signal* sig;
  AP_SUPP supp{&d};
};

TEST_F(LoadNumTest, CountsEachClassOfLoad) {
  load(CK);
  load(CK2);
  load(CK);
  load(CE);
  load(LSR);
  load(LSR);
  load(D);  // not a counted pin
  int counts[4];
  EXPECT_TRUE(run(counts));
  EXPECT_EQ(counts[0], 3);
  EXPECT_EQ(counts[1], 1);
  EXPECT_EQ(counts[2], 2);
  EXPECT_EQ(counts[3], 0);
  // mode has no effect
  int again[4];
  EXPECT_TRUE(run(again, 7));
  EXPECT_EQ(std::vector<int>(again, again + 4), std::vector<int>(counts, counts + 4));
}

TEST_F(LoadNumTest, OnlyDriversGivesFalseAndZeros) {
  // A second driver sits on a counted pin: drivers are never counted.
  d.addDriver(sig, d.addComp("drv", reg), CK);
  int counts[4];
  EXPECT_FALSE(run(counts));
  for (int x : counts) EXPECT_EQ(x, 0);
  EXPECT_FALSE(supp.sigGlobalLoadNum(sig, nullptr, 0));
}

TEST_F(LoadNumTest, LoadsOnNonPfuComponentsAndUncountedPinsDoNotCount) {
  load(CK)->pfu = false;
  load(CE)->pfu = false;
  load(D);
  int counts[4];
  EXPECT_FALSE(run(counts));
  for (int x : counts) EXPECT_EQ(x, 0);
}

TEST_F(LoadNumTest, APortPlayingSeveralLogicalPinsCountsOnceInTheFirstClass) {
  reg->logicPins[14] = CK;  // CK now plays 17 and 14
  reg->logicPins[16] = CE;  // CE now plays 14's old port and 16
  load(CK);
  load(CE);
  int counts[4];
  EXPECT_TRUE(run(counts));
  EXPECT_EQ(counts[0], 1);
  EXPECT_EQ(counts[1], 0);
  EXPECT_EQ(counts[2], 1);
}

TEST_F(LoadNumTest, NullCountsStillGivesTheAnswer) {
  EXPECT_FALSE(supp.sigGlobalLoadNum(sig, nullptr, 0));
  load(LSR);
  EXPECT_TRUE(supp.sigGlobalLoadNum(sig, nullptr, 0));
}

TEST_F(LoadNumTest, ThePortIndexDecidesNotThePinId) {
  standin::Comp* c = load(D);
  c->sigpins[D]->port = &reg->ports[CE];  // the pin's port plays logical pin 14
  int counts[4];
  EXPECT_TRUE(run(counts));
  EXPECT_EQ(counts[1], 1);
}

TEST_F(LoadNumTest, EachComponentAnswersWithItsOwnLogicalPins) {
  standin::Prim* other = d.addPrim("REG2", {{"CE", udb::DIR_INPUT}, {"CK", udb::DIR_INPUT}});
  other->logicPins[17] = 0;  // port 0 plays the clock here
  standin::Comp* c = d.addComp("r2", other);
  d.addLoad(sig, c, 0);
  int counts[4];
  EXPECT_TRUE(run(counts));
  EXPECT_EQ(counts[0], 1);
  EXPECT_EQ(counts[1], 0);
}

// ------------------------------------------------------------------ calcBBox

class BBoxTest : public ::testing::Test {
protected:
  BBoxTest() {
    slice = d.addSiteType("SLICE", {});
    prim = d.addPrim("LUT", {{"A", udb::DIR_INPUT}, {"Z", udb::DIR_OUTPUT}});
    sig = d.addSignal("n");
  }

  // Adds a pin of a new component, placed at (row, col) unless `placed` is
  // false.
  standin::Comp* pin(int row, int col, bool placed = true) {
    standin::Comp* c = d.addComp("c" + std::to_string(d.comps.size()), prim);
    d.addLoad(sig, c, 0);
    if (placed) d.place(c, d.addSite("S" + std::to_string(d.sites.size()), slice, row, col));
    return c;
  }

  standin::Design d;
  standin::SiteType* slice;
  standin::Prim* prim;
  Signal* sig;
  int rowMax = 100, rowMin = 50, colMax = 30, colMin = 27;
};

TEST_F(BBoxTest, ExtremesOverPlacedPins) {
  pin(2, 5);
  pin(7, 1);
  pin(4, 9);
  EXPECT_EQ(AP_SUPP::calcBBox(sig, rowMax, rowMin, colMax, colMin), 5 + 8);
  EXPECT_EQ(rowMax, 7);
  EXPECT_EQ(rowMin, 2);
  EXPECT_EQ(colMax, 9);
  EXPECT_EQ(colMin, 1);
}

TEST_F(BBoxTest, UnplacedPinsAreSkippedWhereverTheyStand) {
  pin(40, 40, false);
  pin(3, 8);
  pin(6, 2);
  pin(-9, -9, false);
  EXPECT_EQ(AP_SUPP::calcBBox(sig, rowMax, rowMin, colMax, colMin), 3 + 6);
  EXPECT_EQ(rowMax, 6);
  EXPECT_EQ(rowMin, 3);
  EXPECT_EQ(colMax, 8);
  EXPECT_EQ(colMin, 2);
}

TEST_F(BBoxTest, OnePinPositionGivesZero) {
  pin(4, 4);
  pin(4, 4);
  EXPECT_EQ(AP_SUPP::calcBBox(sig, rowMax, rowMin, colMax, colMin), 0);
  EXPECT_EQ(rowMax, 4);
  EXPECT_EQ(colMin, 4);
}

TEST_F(BBoxTest, NoPlacedPinLeavesTheReferencesAsGiven) {
  // No pins at all.
  EXPECT_EQ(AP_SUPP::calcBBox(sig, rowMax, rowMin, colMax, colMin), (100 - 50) + (30 - 27));
  // Pins, none placed.
  pin(1, 1, false);
  pin(2, 2, false);
  EXPECT_EQ(AP_SUPP::calcBBox(sig, rowMax, rowMin, colMax, colMin), (100 - 50) + (30 - 27));
  EXPECT_EQ(rowMax, 100);
  EXPECT_EQ(rowMin, 50);
  EXPECT_EQ(colMax, 30);
  EXPECT_EQ(colMin, 27);
}

TEST_F(BBoxTest, NegativeRowsAndColumnsStaySigned) {
  pin(-3, -20);
  pin(2, -5);
  EXPECT_EQ(AP_SUPP::calcBBox(sig, rowMax, rowMin, colMax, colMin), 5 + 15);
  EXPECT_EQ(rowMin, -3);
  EXPECT_EQ(colMin, -20);
}

TEST_F(BBoxTest, UnplacedSignalNeedsNoCurrentDesign) {
  pin(1, 1, false);
  standin::setCurrentDesign(nullptr);
  EXPECT_EQ(AP_SUPP::calcBBox(sig, rowMax, rowMin, colMax, colMin), (100 - 50) + (30 - 27));
  d.makeCurrent();
}

}  // namespace
