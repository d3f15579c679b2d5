// Signal queries of the support object: clock classification, global load
// counts and bounding boxes.
#include <gtest/gtest.h>

#include <vector>

#include "host/standin/standin_design.h"
#include "support/basapsupp.h"

namespace {

using standin::Signal;
using V = std::vector<int>;

TEST(SigIsClk, TheListComesFirstThenTheHostTestsInOrder) {
  standin::Design d;
  Signal* sig = d.addSignal("s");
  Signal* other = d.addSignal("t");
  AP_SUPP supp(&d);
  std::vector<UP_SIGNAL*> empty, holds{other, sig}, lacks{other};
  EXPECT_EQ(supp.sigIsClk(sig, nullptr) + supp.sigIsClk(sig, &empty), 0);
  // A signal in the list counts even when no host test knows it.
  EXPECT_EQ(supp.sigIsClk(sig, &holds), 1);
  sig->clocks = Signal::CLK2 | Signal::CLK3;
  EXPECT_EQ(supp.sigIsClk(sig, &holds), 1);
  EXPECT_EQ(supp.sigIsClk(sig, &lacks), 2);
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
    reg->logicPins[17] = CK;
    reg->logicPins[15] = CK2;
    reg->logicPins[14] = CE;
    reg->logicPins[16] = LSR;
    d.addDriver(sig, d.addComp("src", reg), Q);
  }

  standin::Comp* load(Pin pin) {
    standin::Comp* c = d.addComp("c" + std::to_string(d.comps.size()), reg);
    d.addLoad(sig, c, pin);
    return c;
  }

  // The answer and the four counts, which start as junk; the mode has no
  // effect and counts may be null.
  V run() {
    int counts[4] = {99, 99, 99, 99};
    const bool any = supp.sigGlobalLoadNum(sig, counts, 7);
    EXPECT_EQ(any, supp.sigGlobalLoadNum(sig, nullptr, 0));
    return {any, counts[0], counts[1], counts[2], counts[3]};
  }

  standin::Design d;
  standin::Prim* reg = d.addPrim("REG", {{"D", udb::DIR_INPUT},
                                         {"CK", udb::DIR_INPUT},
                                         {"CE", udb::DIR_INPUT},
                                         {"LSR", udb::DIR_INPUT},
                                         {"Q", udb::DIR_OUTPUT},
                                         {"CK2", udb::DIR_INPUT}});
  Signal* sig = d.addSignal("g");
  AP_SUPP supp{&d};
};

TEST_F(LoadNumTest, CountsLoadsOfEachClassOnPfuComponentsOnly) {
  // A second driver sits on a counted pin: drivers are never counted.
  d.addDriver(sig, d.addComp("drv", reg), CK);
  load(CK)->pfu = false;
  load(CE)->pfu = false;
  load(D);  // not a counted pin
  EXPECT_EQ(run(), (V{false, 0, 0, 0, 0}));
  load(LSR);  // class C alone makes the answer true
  EXPECT_EQ(run(), (V{true, 0, 0, 1, 0}));
  for (Pin pin : {CK, CK2, CK, CE, LSR}) load(pin);
  EXPECT_EQ(run(), (V{true, 3, 1, 2, 0}));
}

TEST_F(LoadNumTest, EachPinCountsOnceInTheFirstClassItsPortPlays) {
  reg->logicPins[14] = CK;  // CK now plays 17 and 14
  reg->logicPins[16] = CE;  // CE now plays 16 only
  load(CK);
  load(CE);
  EXPECT_EQ(run(), (V{true, 1, 0, 1, 0}));
  // The port index of the pin decides, by the component's own primitive.
  standin::Comp* c = load(D);
  c->sigpins[D]->port = &reg->ports[CK];
  EXPECT_EQ(run(), (V{true, 2, 0, 1, 0}));
  standin::Prim* other = d.addPrim("REG2", {{"CE", udb::DIR_INPUT}, {"CK", udb::DIR_INPUT}});
  other->logicPins[14] = 0;  // port 0 plays the enable here
  d.addLoad(sig, d.addComp("r2", other), 0);
  EXPECT_EQ(run(), (V{true, 2, 1, 1, 0}));
}

class BBoxTest : public ::testing::Test {
protected:
  // Adds a pin of a new component, placed at (row, col) unless `placed` is
  // false.
  void pin(int row, int col, bool placed = true) {
    standin::Comp* c = d.addComp("c" + std::to_string(d.comps.size()), prim);
    d.addLoad(sig, c, 0);
    if (placed) d.place(c, d.addSite("S" + std::to_string(d.sites.size()), slice, row, col));
  }

  // The result and the four references after the call, which starts from
  // references that enclose every pin of the tests.
  V box() {
    int rowMax = 100, rowMin = -50, colMax = 30, colMin = -27;
    const int r = AP_SUPP::calcBBox(sig, rowMax, rowMin, colMax, colMin);
    return {r, rowMax, rowMin, colMax, colMin};
  }

  standin::Design d;
  standin::SiteType* slice = d.addSiteType("SLICE", {});
  standin::Prim* prim = d.addPrim("LUT", {{"A", udb::DIR_INPUT}, {"Z", udb::DIR_OUTPUT}});
  Signal* sig = d.addSignal("n");
};

TEST_F(BBoxTest, ExtremesOverPlacedPinsOnly) {
  const V given{150 + 57, 100, -50, 30, -27};
  EXPECT_EQ(box(), given);  // no pins at all: the references stay as given
  pin(40, 40, false);
  EXPECT_EQ(box(), given);
  pin(4, 4);
  pin(4, 4);
  EXPECT_EQ(box(), (V{0, 4, 4, 4, 4}));
  pin(2, -5);
  pin(7, 1);
  pin(-3, 9);
  pin(-9, -9, false);
  EXPECT_EQ(box(), (V{10 + 14, 7, -3, 9, -5}));
}

// Two pins on one site, each pin id at a row and column of its own: Z (2)
// of `from` drives A (0) of `to`. Pin numbers within the signal (0 and 1)
// would give other positions. The host's current design answers, not the
// signal's own.
TEST_F(BBoxTest, EachPinIsTakenAtItsOwnPositionFromTheCurrentDesign) {
  standin::Prim* lut3 = d.addPrim("LUT3", {{"A", udb::DIR_INPUT}, {"B", udb::DIR_INPUT}, {"Z", udb::DIR_OUTPUT}});
  standin::Site* site = d.addSite("S", slice, 5, 5);
  standin::Comp* from = d.addComp("from", lut3);
  standin::Comp* to = d.addComp("to", lut3);
  d.addDriver(sig, from, 2);
  d.addLoad(sig, to, 0);
  d.place(from, site);
  d.place(to, site);
  d.setPinRowCol(site, 2, 1, 1);
  d.setPinRowCol(site, 0, 8, 6);
  d.setPinRowCol(site, 1, 20, 20);  // no pin of the signal has id 1
  EXPECT_EQ(box(), (V{7 + 5, 8, 1, 6, 1}));
  {
    standin::Design other("other");  // current now; it has no pin positions set
    EXPECT_EQ(box(), (V{0, 5, 5, 5, 5}));
    other.info.pinRowCol[{site, 0}] = {-2, 3};
    EXPECT_EQ(box(), (V{7 + 2, 5, -2, 5, 3}));
  }
  d.makeCurrent();
  EXPECT_EQ(box(), (V{7 + 5, 8, 1, 6, 1}));
}

}  // namespace
