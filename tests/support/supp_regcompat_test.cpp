// Register compatibility of components, clusters and cluster halves; the
// components of a cluster with one moved in or out; distinct signals on a
// class of pins.
#include <gtest/gtest.h>

#include <vector>

#include "support/basapsupp.h"
#include "packing_design.h"

namespace {

using standin::Comp;
using standin::Plc;

class RegCompatTest : public ::testing::Test, protected packing::PackingDesign {
protected:
  Comp* withRecord(UP_REGCTRL* rec) {
    Comp* c = d.addComp("c" + std::to_string(d.comps.size()), reg);
    c->regctrl = rec;
    return c;
  }

  UP_REGCTRL* r1 = d.addRegCtrl(2);
  UP_REGCTRL* r2 = d.addRegCtrl(1);
  UP_REGCTRL* zero = d.addRegCtrl(0);
  UP_REGCTRL* negA = d.addRegCtrl(-1);
  UP_REGCTRL* negB = d.addRegCtrl(-3);
};

TEST_F(RegCompatTest, PairRuleExemptsNullsAndCountZeroButNotNegativeCounts) {
  Comp* a = withRecord(r1);
  Comp* b = withRecord(r2);
  EXPECT_TRUE(AP_SUPP::regCompatible(a, withRecord(r1)));
  EXPECT_FALSE(AP_SUPP::regCompatible(a, b));
  EXPECT_FALSE(AP_SUPP::regCompatible(b, a));
  EXPECT_TRUE(AP_SUPP::regCompatible(a, nullptr));
  EXPECT_TRUE(AP_SUPP::regCompatible(nullptr, b));
  EXPECT_TRUE(AP_SUPP::regCompatible(a, withRecord(nullptr)));
  EXPECT_TRUE(AP_SUPP::regCompatible(withRecord(nullptr), b));
  EXPECT_TRUE(AP_SUPP::regCompatible(withRecord(zero), b));
  EXPECT_TRUE(AP_SUPP::regCompatible(a, withRecord(zero)));
  EXPECT_FALSE(AP_SUPP::regCompatible(withRecord(negA), withRecord(negB)));
  EXPECT_FALSE(AP_SUPP::regCompatible(withRecord(negA), a));
}

TEST_F(RegCompatTest, ListRuleIgnoresNonPositiveCountsAndStopsAtAMissingRecord) {
  std::vector<UP_COMP*> list;
  EXPECT_TRUE(AP_SUPP::regCompatible(list));
  list = {nullptr, nullptr};
  EXPECT_TRUE(AP_SUPP::regCompatible(list));

  Comp* a = withRecord(r1);
  Comp* d2 = withRecord(r2);
  list = {a, withRecord(zero), nullptr, withRecord(r1)};
  EXPECT_TRUE(AP_SUPP::regCompatible(list));
  list.push_back(d2);
  EXPECT_FALSE(AP_SUPP::regCompatible(list));

  // Negative counts are ignored by the list rule (unlike the pair rule).
  list = {withRecord(negA), a, withRecord(negB), withRecord(r1)};
  EXPECT_TRUE(AP_SUPP::regCompatible(list));
  // The first positive record sets the reference even after ignored ones.
  list = {withRecord(zero), d2, a};
  EXPECT_FALSE(AP_SUPP::regCompatible(list));

  Comp* none = withRecord(nullptr);
  list = {a, none, d2};
  EXPECT_TRUE(AP_SUPP::regCompatible(list));
  list = {a, d2, none};
  EXPECT_FALSE(AP_SUPP::regCompatible(list));
}

// Cluster 0: positions 0 and 1 on r1, positions 2 and 3 on r2.
class ClusterTest : public RegCompatTest {
protected:
  ClusterTest() {
    plc = d.addPlc("PLC_R1C1", slice, 1, 1);
    for (int pos = 0; pos < 4; ++pos) comps.push_back(regOn(site(plc, pos), pos < 2 ? r1 : r2));
  }

  Plc* plc;
  std::vector<Comp*> comps;
};

TEST_F(ClusterTest, HalvesMayDifferWhileTheWholeClusterMayNot) {
  EXPECT_FALSE(AP_SUPP::regCompatible(plc));
  EXPECT_TRUE(AP_SUPP::regCompatibleUA(plc));
  EXPECT_TRUE(AP_SUPP::regCompatible(static_cast<UP_PLCSITE*>(nullptr)));
  EXPECT_TRUE(AP_SUPP::regCompatibleUA(nullptr));

  // A conflict inside either half fails the half rule.
  comps[1]->regctrl = r2;
  EXPECT_FALSE(AP_SUPP::regCompatibleUA(plc));
  comps[1]->regctrl = r1;
  comps[3]->regctrl = r1;
  EXPECT_FALSE(AP_SUPP::regCompatibleUA(plc));
  EXPECT_FALSE(AP_SUPP::regCompatible(plc));
}

TEST_F(ClusterTest, AMissingRecordEndsOnlyTheScanOfItsHalf) {
  // Lower half: no record first. The upper conflict must still be found.
  comps[0]->regctrl = nullptr;
  comps[3]->regctrl = r1;
  EXPECT_FALSE(AP_SUPP::regCompatibleUA(plc));
  // The whole-cluster scan stops at the missing record and sees nothing.
  EXPECT_TRUE(AP_SUPP::regCompatible(plc));
  // An upper-half missing record hides a later upper conflict.
  comps[2]->regctrl = nullptr;
  EXPECT_TRUE(AP_SUPP::regCompatibleUA(plc));
}

TEST_F(ClusterTest, NothingCarriesOverFromOneCallToTheNext) {
  Plc* good = d.addPlc("PLC_R1C2", slice, 1, 2);
  regOn(site(good, 0), r2);
  regOn(site(good, 3), r2);
  EXPECT_FALSE(AP_SUPP::regCompatible(plc));
  EXPECT_TRUE(AP_SUPP::regCompatible(good));
  comps[1]->regctrl = r2;
  EXPECT_FALSE(AP_SUPP::regCompatibleUA(plc));
  EXPECT_TRUE(AP_SUPP::regCompatibleUA(good));
  // A large cluster first, then a small one: the small one's answer is its own.
  for (int i = 0; i < 40; ++i) regOn(site(plc, i % 4), r1);
  EXPECT_FALSE(AP_SUPP::regCompatible(plc));
  EXPECT_TRUE(AP_SUPP::regCompatible(good));
}

TEST_F(ClusterTest, FindCompArrListsTheClusterWithMovesAndEmptiesForNoCluster) {
  Comp* outsider = withRecord(r1);
  std::vector<UP_COMP*> list{outsider, outsider};  // emptied first
  AP_SUPP::findCompArrInPlc(plc, list);
  EXPECT_EQ(list, (std::vector<UP_COMP*>{comps[0], comps[1], comps[2], comps[3]}));

  AP_SUPP::findCompArrInPlc(plc, list, comps[2], nullptr);  // already in: listed twice
  EXPECT_EQ(list, (std::vector<UP_COMP*>{comps[0], comps[1], comps[2], comps[3], comps[2]}));
  AP_SUPP::findCompArrInPlc(plc, list, nullptr, outsider);  // not in: no change
  EXPECT_EQ(list, (std::vector<UP_COMP*>{comps[0], comps[1], comps[2], comps[3]}));
  AP_SUPP::findCompArrInPlc(plc, list, outsider, comps[2]);
  EXPECT_EQ(list, (std::vector<UP_COMP*>{comps[0], comps[1], nullptr, comps[3], outsider}));
  AP_SUPP::findCompArrInPlc(plc, list, comps[3], comps[3]);  // every entry of it goes
  EXPECT_EQ(list, (std::vector<UP_COMP*>{comps[0], comps[1], comps[2], nullptr, nullptr}));

  // Testing the cluster as it would be: moving r2's registers out and an r1
  // register in makes it compatible.
  AP_SUPP::findCompArrInPlc(plc, list, outsider, comps[2]);
  EXPECT_FALSE(AP_SUPP::regCompatible(list));
  comps[3]->regctrl = zero;
  EXPECT_TRUE(AP_SUPP::regCompatible(list));

  list = {outsider};
  AP_SUPP::findCompArrInPlc(nullptr, list);
  EXPECT_TRUE(list.empty());
  list = {outsider};
  AP_SUPP::findCompArrInPlc(nullptr, list, outsider, nullptr);
  EXPECT_TRUE(list.empty());
}

class SharingTest : public RegCompatTest {
protected:
  SharingTest() {
    lut->logicPins[0] = 0;  // logical pins 0..7 span A and B
    lut->logicPins[7] = 1;
    u = d.addComp("u", lut);
    v = d.addComp("v", lut);
    bidi = d.addPrim("BIDI", {{"P", udb::DIR_INOUT}, {"Q", udb::DIR_OUTPUT}});
  }

  int count(std::vector<UP_COMP*> list, int pinClass) {
    return AP_SUPP::calcNotSharingSigs(list, pinClass);
  }

  Comp* u;
  Comp* v;
  standin::Prim* bidi;
};

TEST_F(SharingTest, EachSignalCountsOnceAcrossPinsAndComponents) {
  standin::Signal* a = d.addSignal("a");
  standin::Signal* b = d.addSignal("b");
  standin::Signal* z = d.addSignal("z");
  EXPECT_EQ(count({u, v}, 0), 0);  // no connected pin
  d.addLoad(a, u, 0);
  d.addLoad(a, u, 1);
  d.addLoad(a, v, 0);
  d.addLoad(b, v, 1);
  d.addDriver(z, u, 2);
  EXPECT_EQ(count({u, nullptr, v, u}, 0), 3);
  EXPECT_EQ(count({u, v}, 1), 2);   // pins A and B only
  EXPECT_EQ(count({u, v}, 2), 2);   // inputs only
  EXPECT_EQ(count({u}, 2), 1);
  EXPECT_EQ(count({u, v}, 3), 0);
  EXPECT_EQ(count({u, v}, -1), 0);
  EXPECT_EQ(count({}, 0), 0);
  EXPECT_EQ(count({nullptr}, 0), 0);
}

TEST_F(SharingTest, PinClassesSelectByLogicalRangeAndInputBit) {
  standin::Signal* a = d.addSignal("a");
  standin::Signal* b = d.addSignal("b");
  standin::Signal* z = d.addSignal("z");
  d.addLoad(a, u, 0);
  d.addLoad(b, u, 1);
  d.addDriver(z, u, 2);
  lut->logicPins[0] = 1;
  lut->logicPins[7] = 2;  // B and Z
  EXPECT_EQ(count({u}, 1), 2);
  lut->logicPins[0] = 2;
  lut->logicPins[7] = 1;  // backwards: nothing
  EXPECT_EQ(count({u}, 1), 0);

  Comp* w = d.addComp("w", bidi);
  d.addLoad(a, w, 0);  // bidirectional: an input
  d.addDriver(d.addSignal("q"), w, 1);
  EXPECT_EQ(count({w}, 2), 1);
  EXPECT_EQ(count({w}, 0), 2);
}

}  // namespace
