// The stand-in builder: the cross links it keeps, placing, and clusters;
// the packed records read back through the host declarations as they were
// written (a component's pin row, an instance's and a net's one slot of
// application data, names held only when given); and the routing graph's
// arc ids and per-node arc iteration.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "host/standin/standin_design.h"

namespace {

using Comps = std::vector<UP_COMP*>;

class BuilderTest : public ::testing::Test {
protected:
  standin::Design d{"top"};
  standin::SiteType* slice = d.addSiteType("SLICE", {{"A", udb::DIR_INPUT}, {"Z", udb::DIR_OUTPUT}});
  standin::Prim* lut =
      d.addPrim("LUT", {{"A", udb::DIR_INPUT}, {"B", udb::DIR_INOUT}, {"Z", udb::DIR_OUTPUT}});
  standin::Comp* u0 = d.addComp("u0", lut);
  standin::Comp* u1 = d.addComp("u1", lut);
  standin::Comp* u2 = d.addComp("u2", lut);
  standin::Signal* n = d.addSignal("n");
};

TEST_F(BuilderTest, PinsKnowComponentSignalAndPortAndDriversComeFirst) {
  EXPECT_THROW(d.addLoad(n, u0, 3), std::out_of_range);
  EXPECT_THROW(d.addDriver(n, u0, -1), std::out_of_range);
  d.addLoad(n, u1, 0);
  d.addDriver(n, u0, 2);
  d.addLoad(n, u2, 1);
  d.addDriver(n, u2, 2);
  UP_SIGNAL* sig = n;
  ASSERT_EQ(sig->getnumpins(), 4);
  EXPECT_EQ(sig->getnumdrivers(), 2);
  // Drivers in the order added, then loads in the order added.
  const UP_COMP* expected[] = {u0, u2, u1, u2};
  const int expectedPin[] = {2, 2, 0, 1};
  for (int i = 0; i < 4; ++i) {
    UP_SIGPIN* pin = sig->getsigpin(i);
    EXPECT_EQ(sig->getcomp(i), expected[i]) << i;
    EXPECT_EQ(pin->getcomp(), expected[i]) << i;
    EXPECT_EQ(pin->getsignal(), sig) << i;
    EXPECT_EQ(pin->getpinid(), expectedPin[i]) << i;
    EXPECT_EQ(pin->getport(), pin->getcomp()->getprim()->getport(expectedPin[i])) << i;
    EXPECT_EQ(pin->getcomp()->getsigpin(expectedPin[i]), pin) << i;
    EXPECT_EQ(pin->getcomp()->getsignal(expectedPin[i]), sig) << i;
  }
  // The pin type follows the port direction: input, bidirectional, output.
  EXPECT_EQ(u1->getsigpin(0)->getpintype().bytes[0], CM_PINTYPE::INPUT);
  EXPECT_EQ(u2->getsigpin(1)->getpintype().bytes[0], CM_PINTYPE::INPUT | CM_PINTYPE::OUTPUT);
  EXPECT_EQ(u0->getsigpin(2)->getpintype().bytes[0], CM_PINTYPE::OUTPUT);
  EXPECT_EQ(u0->getsigpin(0), nullptr);  // unconnected
  EXPECT_EQ(u0->getsignal(0), nullptr);
  // A replicated pin: both are pins of the signal, the component sees the last.
  standin::SigPin* again = d.addLoad(n, u1, 0);
  EXPECT_EQ(sig->getnumpins(), 5);
  EXPECT_EQ(static_cast<UP_COMP*>(u1)->getsigpin(0), again);
}

TEST_F(BuilderTest, PlacingKeepsOccupantAndBasicElementsAndClustersTheirSites) {
  standin::Site* s0 = d.addSite("R1C1", slice, 1, 1);
  standin::Site* s1 = d.addSite("R1C2", slice, 1, 2);
  Comps bels{u2};
  d.place(u0, s0);
  d.place(u1, s0);
  EXPECT_EQ(s0->getcomp(), u0);  // the first placed is the occupant
  EXPECT_EQ(u1->getsite(), s0);
  EXPECT_EQ(s0->getnumaccbels(bels), 2);
  EXPECT_EQ(bels, (Comps{u2, u0, u1}));  // appended to what the list held
  d.place(u0, s1);  // moving the occupant away hands the site to the next one
  EXPECT_EQ(s0->getcomp(), u1);
  EXPECT_EQ(s1->getcomp(), u0);
  d.unplace(u1);
  EXPECT_EQ(s0->getcomp(), nullptr);
  EXPECT_EQ(u1->getsite(), nullptr);

  UP_PLCSITE* cluster = d.addPlc("R3C4", slice, 3, 4);
  ASSERT_EQ(cluster->getsites().size(), 4u);
  for (int pos = 0; pos < 4; ++pos) {
    UP_SITE* site = cluster->getsite(pos);
    EXPECT_EQ(site, d.getsite(pos + 2));  // appended to the table in order
    EXPECT_EQ(site->getplcsite(), cluster);
    EXPECT_EQ(site->getplcpos(), pos);
  }
  EXPECT_STREQ(cluster->getsite(2)->getname(), "R3C4C");
  EXPECT_EQ(s0->getplcsite(), nullptr);
  // The slot table appears with the first slot; slots do not place.
  EXPECT_EQ(s0->getslotcomps(), nullptr);
  d.setSlot(s0, standin::R1, u2);
  ASSERT_NE(s0->getslotcomps(), nullptr);
  EXPECT_EQ(s0->getslotcomps()[standin::L0], nullptr);
  EXPECT_EQ(s0->getslotcomps()[standin::R1], u2);
  EXPECT_EQ(u2->getsite(), nullptr);
}

// ---- the packed records

TEST(Records, PinRowsAndAppDataReadBackThroughTheHost) {
  standin::Design d("records");
  standin::Prim* lut = d.addPrim("LUT", {{"A", udb::DIR_INPUT}, {"B", udb::DIR_INPUT}, {"Z", udb::DIR_OUTPUT}});
  standin::Prim* none = d.addPrim("NONE", {});
  // Enough components that the rows span several pool blocks.
  for (int i = 0; i < 20000; ++i) d.addComp("c" + std::to_string(i), i % 100 == 0 ? none : lut);
  standin::Signal* s = d.addSignal("s");
  d.addDriver(s, &d.comps[1], 2);
  d.addLoad(s, &d.comps[19999], 0);
  d.addLoad(s, &d.comps[5001], 1);
  EXPECT_THROW(d.addLoad(s, &d.comps[0], 0), std::out_of_range);  // no pins

  UP_COMP* c = d.getcomp(19999);
  ASSERT_EQ(c->getnumpins(), 3);
  EXPECT_EQ(c->getsignal(0), static_cast<UP_SIGNAL*>(s));
  EXPECT_EQ(c->getsigpin(0)->getcomp(), c);
  EXPECT_EQ(c->getsigpin(1), nullptr);
  EXPECT_EQ(c->getsignal(2), nullptr);
  EXPECT_EQ(c->getsigpin(3), nullptr);
  EXPECT_EQ(c->getsigpin(-1), nullptr);
  EXPECT_EQ(d.getcomp(0)->getnumpins(), 0);
  EXPECT_EQ(d.getcomp(0)->getsigpin(0), nullptr);
  // A neighbour's row is untouched by the connections.
  for (int p = 0; p < 3; ++p) EXPECT_EQ(d.getcomp(19998)->getsigpin(p), nullptr);
  EXPECT_EQ(d.getcomp(5001)->getsigpin(1)->getpinid(), 1);

  // Application data: the builder's slot, nothing in any other.
  udb::PhyInstance* inst = c->getinstance();
  EXPECT_EQ(inst->getAppData(UP_Access::m_PhyInstance_idx), static_cast<void*>(static_cast<UP_COMP*>(&d.comps[19999])));
  EXPECT_EQ(inst->getAppData(UP_Access::m_PhyNet_idx), nullptr);
  EXPECT_EQ(inst->getAppData(-1), nullptr);
  EXPECT_EQ(inst->getAppData(standin::kAppDataSlots), nullptr);
  EXPECT_EQ(s->getnet()->getAppData(UP_Access::m_PhyNet_idx), static_cast<void*>(static_cast<UP_SIGNAL*>(s)));
  EXPECT_EQ(s->getnet()->getAppData(UP_Access::m_PhyInstance_idx), nullptr);
  // Writing another slot moves the data there.
  d.comps[3].instance->appData.set(6, &d.comps[4]);
  EXPECT_EQ(d.comps[3].instance->getAppData(6), static_cast<void*>(&d.comps[4]));
  EXPECT_EQ(d.comps[3].instance->getAppData(UP_Access::m_PhyInstance_idx), nullptr);
  EXPECT_EQ(inst->getPrimitiveName(0, udb::DesignObjectXRef::XREF_DBNAME), "");
}

// Names held only when given: a component's short name is its name until
// set, a device site has no alternative name until given one, and copies
// keep their own.
TEST(Records, ShortAndAlternativeNamesOnlyWhenGiven) {
  standin::Design d;
  standin::Prim* prim = d.addPrim("P", {{"A", udb::DIR_INPUT}});
  standin::Comp* c = d.addComp("long_component_name_0", prim);
  EXPECT_STREQ(static_cast<UP_COMP*>(c)->getsname(), "long_component_name_0");
  c->sname = "s";
  EXPECT_STREQ(static_cast<UP_COMP*>(c)->getsname(), "s");
  standin::Comp copy = *c;
  c->sname = "t";
  EXPECT_STREQ(static_cast<UP_COMP*>(&copy)->getsname(), "s");
  c->sname = "";
  EXPECT_STREQ(static_cast<UP_COMP*>(c)->getsname(), "");

  standin::SiteType* type = d.addSiteType("T", {{"A", udb::DIR_INPUT}});
  standin::Site* site = d.addSite("S", type, 1, 1);
  EXPECT_EQ(site->dsite->getaltname(), nullptr);
  site->dsite->altname = "ALT";
  EXPECT_STREQ(site->dsite->getaltname(), "ALT");
  standin::DeviceSite other = *site->dsite;
  site->dsite->altname.reset();
  EXPECT_EQ(site->dsite->getaltname(), nullptr);
  EXPECT_STREQ(other.getaltname(), "ALT");
  // A pin's name is its port's, and follows a port link broken on purpose.
  standin::Signal* sig = d.addSignal("n");
  standin::SigPin* pin = d.addLoad(sig, c, 0);
  EXPECT_STREQ(static_cast<UP_SIGPIN*>(pin)->getname(), "A");
  pin->port = nullptr;
  EXPECT_STREQ(static_cast<UP_SIGPIN*>(pin)->getname(), "");
}

// ---- the routing graph

class GraphTest : public ::testing::Test {
protected:
  // A node's arcs and the nodes held with them, as the iterator gives them.
  static std::vector<std::pair<PhyArc_ID, PhyNode*>> walk(PhyNode* node) {
    std::vector<std::pair<PhyArc_ID, PhyNode*>> out;
    for (PhyNode_ITERATOR it(node, PhyNode_ITERATOR::ARC_ALL); it.getnext();)
      out.emplace_back(it.getcurarcid(), it.getcurnode());
    return out;
  }
  PhyArc_ID id(int arc) { return d.phy.graph.id(arc); }

  standin::Design d;
  standin::Node* a = d.addNode("a", 3);
  standin::Node* b = d.addNode("b", 5);
  standin::Node* c = d.addNode("c");
  int ab = d.addArc(a, b), cb = d.addArc(c, b, false), ac = d.addArc(a, c), loop = d.addArc(b, b);
};

TEST_F(GraphTest, ArcIdsNameTheirEndsAndTheIteratorWalksEachNodesArcsInOrder) {
  EXPECT_EQ(id(ab).getnode(0), a);
  EXPECT_EQ(id(ab).getnode(1), b);
  EXPECT_EQ(id(ab).getnode(2), nullptr);
  EXPECT_TRUE(id(ab).isdirectional());
  EXPECT_FALSE(id(cb).isdirectional());
  EXPECT_EQ(standin::noArc().getnode(0), nullptr);
  for (int arc : {ab, cb, ac, loop}) EXPECT_TRUE(id(arc) != standin::noArc()) << arc;

  // b is the head of ab and cb and both ends of the loop, listed once; the
  // node held is the far end.
  const auto wb = walk(b);
  ASSERT_EQ(wb.size(), 3u);
  const int arcs[] = {ab, cb, loop};
  const PhyNode* far[] = {a, c, b};
  for (int k = 0; k < 3; ++k) {
    EXPECT_TRUE(wb[k].first == id(arcs[k])) << k;
    EXPECT_EQ(wb[k].second, far[k]) << k;
  }
  d.phy.graph.arcs[static_cast<std::size_t>(cb)].showsNode = false;  // an arc may hide its node
  EXPECT_EQ(walk(b)[1].second, nullptr);
  EXPECT_TRUE(walk(nullptr).empty());
  // Before the first arc and past the last, the iterator holds no arc.
  PhyNode_ITERATOR it(c, PhyNode_ITERATOR::ARC_ALL);
  EXPECT_TRUE(it.getcurarcid() == standin::noArc());
  EXPECT_TRUE(it.getnext() && it.getnext());
  EXPECT_FALSE(it.getnext());
  EXPECT_TRUE(it.getcurarcid() == standin::noArc());
  EXPECT_EQ(it.getcurnode(), nullptr);
}

}  // namespace
