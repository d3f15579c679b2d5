// Signal queries of the support object: clock classification, global load
// counts and bounding boxes.
#include <gtest/gtest.h>

#include <vector>

#include "host/standin/standin_design.h"
#include "support/basapsupp.h"

namespace {

using standin::Signal;

TEST(SigIsClk, TheListComesFirstThenTheHostTestsInOrder) {
  standin::Design d;
  Signal* sig = d.addSignal("s");
  Signal* other = d.addSignal("t");
  AP_SUPP supp(&d);
  std::vector<UP_SIGNAL*> empty, holds{other, sig}, lacks{other};
  EXPECT_EQ(supp.sigIsClk(sig, nullptr), 0);
  EXPECT_EQ(supp.sigIsClk(sig, &empty), 0);
  // A signal in the list counts even when no host test knows it.
  EXPECT_EQ(supp.sigIsClk(sig, &holds), 1);

  sig->clocks = Signal::CLK2 | Signal::CLK3;
  EXPECT_EQ(supp.sigIsClk(sig, &holds), 1);
  EXPECT_EQ(supp.sigIsClk(sig, &lacks), 2);
  EXPECT_EQ(supp.sigIsClk(sig, &empty), 2);
  sig->clocks = Signal::CLK3;
  EXPECT_EQ(supp.sigIsClk(sig, nullptr), 3);
  sig->clocks = Signal::CLK1 | Signal::CLK2 | Signal::CLK3;
  EXPECT_EQ(supp.sigIsClk(sig, nullptr), 1);
}

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
    sig = d.addSignal("g");
    d.addDriver(sig, d.addComp("src", reg), Q);
  }

  standin::Comp* load(Pin pin) {
    standin::Comp* c = d.addComp("c" + std::to_string(d.comps.size()), reg);
    d.addLoad(sig, c, pin);
    return c;
  }

  // Runs the query with counts pre-filled with junk; returns the four counts
  // after the answer.
  std::vector<int> run() {
    int counts[4] = {99, 99, 99, 99};
    const bool any = supp.sigGlobalLoadNum(sig, counts, 7);  // the mode has no effect
    EXPECT_EQ(any, supp.sigGlobalLoadNum(sig, nullptr, 0));
    return {any, counts[0], counts[1], counts[2], counts[3]};
  }

  standin::Design d;
  standin::Prim* reg;
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
  EXPECT_EQ(run(), (std::vector<int>{true, 3, 1, 2, 0}));
}

TEST_F(LoadNumTest, DriversNonPfuComponentsAndUncountedPinsDoNotCount) {
  // A second driver sits on a counted pin: drivers are never counted.
  d.addDriver(sig, d.addComp("drv", reg), CK);
  EXPECT_EQ(run(), (std::vector<int>{false, 0, 0, 0, 0}));
  load(CK)->pfu = false;
  load(CE)->pfu = false;
  load(D);
  EXPECT_EQ(run(), (std::vector<int>{false, 0, 0, 0, 0}));
  load(LSR);  // class C alone makes the answer true, with or without counts
  EXPECT_EQ(run(), (std::vector<int>{true, 0, 0, 1, 0}));
}

TEST_F(LoadNumTest, APortPlayingSeveralLogicalPinsCountsOnceInTheFirstClass) {
  reg->logicPins[14] = CK;  // CK now plays 17 and 14
  reg->logicPins[16] = CE;  // CE now plays 14's old port and 16
  load(CK);
  load(CE);
  EXPECT_EQ(run(), (std::vector<int>{true, 1, 0, 1, 0}));
}

TEST_F(LoadNumTest, ThePortIndexOfEachComponentsOwnPrimitiveDecides) {
  standin::Comp* c = load(D);
  c->sigpins[D]->port = &reg->ports[CE];  // the pin's port plays logical pin 14
  EXPECT_EQ(run(), (std::vector<int>{true, 0, 1, 0, 0}));

  standin::Prim* other = d.addPrim("REG2", {{"CE", udb::DIR_INPUT}, {"CK", udb::DIR_INPUT}});
  other->logicPins[17] = 0;  // port 0 plays the clock here
  d.addLoad(sig, d.addComp("r2", other), 0);
  EXPECT_EQ(run(), (std::vector<int>{true, 1, 1, 0, 0}));
}

class BBoxTest : public ::testing::Test {
protected:
  BBoxTest() {
    slice = d.addSiteType("SLICE", {});
    prim = d.addPrim("LUT", {{"A", udb::DIR_INPUT}, {"Z", udb::DIR_OUTPUT}});
    sig = d.addSignal("n");
  }

  // Adds a pin of a new component, placed at (row, col) unless `placed` is
  // false.
  void pin(int row, int col, bool placed = true) {
    standin::Comp* c = d.addComp("c" + std::to_string(d.comps.size()), prim);
    d.addLoad(sig, c, 0);
    if (placed) d.place(c, d.addSite("S" + std::to_string(d.sites.size()), slice, row, col));
  }

  // The result and the four references after the call, which starts from
  // references that enclose every pin of the tests.
  std::vector<int> box() {
    int rowMax = 100, rowMin = -50, colMax = 30, colMin = -27;
    const int r = AP_SUPP::calcBBox(sig, rowMax, rowMin, colMax, colMin);
    return {r, rowMax, rowMin, colMax, colMin};
  }

  standin::Design d;
  standin::SiteType* slice;
  standin::Prim* prim;
  Signal* sig;
};

TEST_F(BBoxTest, ExtremesOverPlacedPinsOnly) {
  pin(40, 40, false);
  pin(2, -5);
  pin(7, 1);
  pin(-3, 9);
  pin(-9, -9, false);
  EXPECT_EQ(box(), (std::vector<int>{10 + 14, 7, -3, 9, -5}));
}

TEST_F(BBoxTest, OnePinPositionGivesZero) {
  pin(4, 4);
  pin(4, 4);
  EXPECT_EQ(box(), (std::vector<int>{0, 4, 4, 4, 4}));
}

TEST_F(BBoxTest, NoPlacedPinLeavesTheReferencesAsGiven) {
  const std::vector<int> given{150 + 57, 100, -50, 30, -27};
  EXPECT_EQ(box(), given);  // no pins at all
  pin(1, 1, false);
  pin(2, 2, false);
  EXPECT_EQ(box(), given);
}

// Three pins on one site, each pin id at a row and column of its own: ports
// A (0), B (1) and Z (2), with Z of `from` driving A of `to`.
class PinBBoxTest : public BBoxTest {
protected:
  PinBBoxTest() {
    standin::Prim* lut3 = d.addPrim("LUT3", {{"A", udb::DIR_INPUT}, {"B", udb::DIR_INPUT}, {"Z", udb::DIR_OUTPUT}});
    site = d.addSite("S", slice, 5, 5);
    standin::Comp* from = d.addComp("from", lut3);
    standin::Comp* to = d.addComp("to", lut3);
    d.addDriver(sig, from, 2);
    d.addLoad(sig, to, 0);
    d.place(from, site);
    d.place(to, site);
    d.setPinRowCol(site, 2, 1, 1);
    d.setPinRowCol(site, 0, 8, 6);
    d.setPinRowCol(site, 1, 20, 20);  // no pin of the signal has id 1
  }
  standin::Site* site;
};

TEST_F(PinBBoxTest, EachPinIsTakenAtItsOwnRowAndColumn) {
  // By pin id: rows 1 and 8, columns 1 and 6. Pin numbers within the signal
  // (0 and 1) would give rows 8 and 20, columns 6 and 20.
  EXPECT_EQ(box(), (std::vector<int>{7 + 5, 8, 1, 6, 1}));
}

TEST_F(PinBBoxTest, TheCurrentDesignAnswersNotTheSignalsOwn) {
  standin::Design other("other");  // current now; it has no pin positions set
  EXPECT_EQ(box(), (std::vector<int>{0, 5, 5, 5, 5}));
  other.info.pinRowCol[{site, 0}] = {-2, 3};  // its own answer for one of the pins
  EXPECT_EQ(box(), (std::vector<int>{7 + 2, 5, -2, 5, 3}));
  d.makeCurrent();
  EXPECT_EQ(box(), (std::vector<int>{7 + 5, 8, 1, 6, 1}));
}

}  // namespace
