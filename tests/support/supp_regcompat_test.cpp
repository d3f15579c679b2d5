// Register compatibility of components, clusters and cluster halves; the
// components of a cluster with one moved in or out; distinct signals on a
// class of pins.
#include <gtest/gtest.h>

#include <vector>

#include "packing_design.h"
#include "support/basapsupp.h"

namespace {

using standin::Comp;
using List = std::vector<UP_COMP*>;

class RegCompatTest : public ::testing::Test, protected packing::PackingDesign {
protected:
  Comp* on(UP_REGCTRL* rec) { return regOn(nullptr, rec); }  // unplaced

  UP_REGCTRL* r1 = d.addRegCtrl(2);
  UP_REGCTRL* r2 = d.addRegCtrl(1);
  UP_REGCTRL* zero = d.addRegCtrl(0);
  UP_REGCTRL* neg = d.addRegCtrl(-1);
};

TEST_F(RegCompatTest, PairAndListRules) {
  Comp* a = on(r1);
  Comp* b = on(r2);
  EXPECT_TRUE(AP_SUPP::regCompatible(a, on(r1)));
  EXPECT_FALSE(AP_SUPP::regCompatible(a, b));
  EXPECT_TRUE(AP_SUPP::regCompatible(a, nullptr));
  EXPECT_TRUE(AP_SUPP::regCompatible(on(nullptr), b));
  EXPECT_TRUE(AP_SUPP::regCompatible(a, on(zero)));
  EXPECT_FALSE(AP_SUPP::regCompatible(on(neg), on(d.addRegCtrl(-1))));  // only 0 exempts a pair

  List list;
  EXPECT_TRUE(AP_SUPP::regCompatible(list));
  list = {nullptr, on(zero), a, on(neg), nullptr, on(r1)};  // count <= 0 is ignored in lists
  EXPECT_TRUE(AP_SUPP::regCompatible(list));
  list.push_back(b);
  EXPECT_FALSE(AP_SUPP::regCompatible(list));
  // A component with no record ends the scan: a conflict after it is unseen.
  list = {a, on(nullptr), b};
  EXPECT_TRUE(AP_SUPP::regCompatible(list));
  list = {a, b, on(nullptr)};
  EXPECT_FALSE(AP_SUPP::regCompatible(list));
}

// Positions 0 and 1 on r1, positions 2 and 3 on r2.
class ClusterTest : public RegCompatTest {
protected:
  ClusterTest() {
    for (int pos = 0; pos < 4; ++pos) comps.push_back(regOn(site(plc, pos), pos < 2 ? r1 : r2));
  }

  standin::Plc* plc = d.addPlc("PLC_R1C1", slice, 1, 1);
  std::vector<Comp*> comps;
};

TEST_F(ClusterTest, HalvesAgreeWithinThemselvesAndAMissingRecordEndsOnlyItsHalf) {
  EXPECT_FALSE(AP_SUPP::regCompatible(plc));
  EXPECT_TRUE(AP_SUPP::regCompatibleUA(plc));
  EXPECT_TRUE(AP_SUPP::regCompatible(static_cast<UP_PLCSITE*>(nullptr)));
  EXPECT_TRUE(AP_SUPP::regCompatibleUA(nullptr));
  comps[1]->regctrl = r2;
  EXPECT_FALSE(AP_SUPP::regCompatibleUA(plc));

  comps[0]->regctrl = nullptr;  // ends the lower scan, and the whole-cluster one
  comps[3]->regctrl = r1;       // an upper conflict
  EXPECT_TRUE(AP_SUPP::regCompatible(plc));
  EXPECT_FALSE(AP_SUPP::regCompatibleUA(plc));
  comps[2]->regctrl = nullptr;
  EXPECT_TRUE(AP_SUPP::regCompatibleUA(plc));
}

TEST_F(ClusterTest, FindCompArrListsTheClusterWithMovesAndNothingForNoCluster) {
  Comp* out = on(r1);
  Comp *c0 = comps[0], *c1 = comps[1], *c2 = comps[2], *c3 = comps[3];
  List list{out, out};
  AP_SUPP::findCompArrInPlc(plc, list);
  EXPECT_EQ(list, (List{c0, c1, c2, c3}));
  AP_SUPP::findCompArrInPlc(plc, list, c2, out);  // already in: twice; not in: no change
  EXPECT_EQ(list, (List{c0, c1, c2, c3, c2}));
  AP_SUPP::findCompArrInPlc(plc, list, c3, c3);  // every entry of it goes, the list keeps its length
  EXPECT_EQ(list, (List{c0, c1, c2, nullptr, nullptr}));
  // The cluster with its r2 registers moved out and an r1 one moved in.
  AP_SUPP::findCompArrInPlc(plc, list, out, c2);
  EXPECT_FALSE(AP_SUPP::regCompatible(list));
  c3->regctrl = zero;
  EXPECT_TRUE(AP_SUPP::regCompatible(list));

  AP_SUPP::findCompArrInPlc(nullptr, list);
  EXPECT_TRUE(list.empty());
  list = {out};
  AP_SUPP::findCompArrInPlc(nullptr, list, out, nullptr);
  EXPECT_TRUE(list.empty());
}

TEST_F(RegCompatTest, NotSharingSignalsCountsDistinctSignalsOfAPinClass) {
  standin::Prim* bidi = d.addPrim("BIDI", {{"P", udb::DIR_INOUT}, {"Q", udb::DIR_OUTPUT}});
  lut->logicPins[0] = 0;  // pins A..B
  lut->logicPins[7] = 1;
  Comp* u = d.addComp("u", lut);
  Comp* v = d.addComp("v", lut);
  Comp* w = d.addComp("w", bidi);
  auto count = [](List list, int pinClass) { return AP_SUPP::calcNotSharingSigs(list, pinClass); };
  EXPECT_EQ(count({u, v}, 0), 0);  // no connected pin
  standin::Signal* a = d.addSignal("a");
  d.addLoad(a, u, 0);
  d.addLoad(a, u, 1);
  d.addLoad(a, v, 0);
  d.addLoad(d.addSignal("b"), v, 1);
  d.addDriver(d.addSignal("z"), u, 2);
  d.addLoad(a, w, 0);  // bidirectional: an input
  d.addDriver(d.addSignal("q"), w, 1);
  EXPECT_EQ(count({u, nullptr, v, u}, 0), 3);
  EXPECT_EQ(count({u, v}, 1), 2);
  EXPECT_EQ(count({u, v, w}, 2), 2);
  EXPECT_EQ(count({w}, 0), 2);
  EXPECT_EQ(count({u, v}, 3), 0);
  EXPECT_EQ(count({u, v}, -1), 0);
  lut->logicPins[0] = 1;  // B and Z
  lut->logicPins[7] = 2;
  EXPECT_EQ(count({u}, 1), 2);
  lut->logicPins[0] = 2;  // backwards: no pin
  lut->logicPins[7] = 1;
  EXPECT_EQ(count({u}, 1), 0);
}

}  // namespace
