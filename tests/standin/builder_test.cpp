// The stand-in builder: the cross links it keeps, placing, clusters, links
// broken on purpose, the current design and the few answers it computes.
#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "host/standin/standin_design.h"
#include "host/standin/standin_util.h"

namespace {

class BuilderTest : public ::testing::Test {
protected:
  BuilderTest() {
    slice = d.addSiteType("SLICE", {{"A", udb::DIR_INPUT}, {"Z", udb::DIR_OUTPUT}});
    lut = d.addPrim("LUT", {{"A", udb::DIR_INPUT}, {"B", udb::DIR_INOUT}, {"Z", udb::DIR_OUTPUT}});
    u0 = d.addComp("u0", lut);
    u1 = d.addComp("u1", lut);
    u2 = d.addComp("u2", lut);
    n = d.addSignal("n");
  }

  standin::Design d{"top"};
  standin::SiteType* slice;
  standin::Prim* lut;
  standin::Comp* u0;
  standin::Comp* u1;
  standin::Comp* u2;
  standin::Signal* n;
};

TEST_F(BuilderTest, PinsKnowComponentSignalAndPortAndDriversComeFirst) {
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
  EXPECT_STREQ(u2->getsigpin(1)->getname(), "B");
  // Unconnected pins have neither signal pin nor signal.
  EXPECT_EQ(u0->getsigpin(0), nullptr);
  EXPECT_EQ(u0->getsignal(0), nullptr);
  EXPECT_EQ(static_cast<UP_COMP*>(u0)->getnumpins(), 3);
}

TEST_F(BuilderTest, ReconnectingAPinLeavesTheOldSignalPinInPlace) {
  standin::SigPin* first = d.addLoad(n, u1, 0);
  standin::SigPin* second = d.addLoad(n, u1, 0);
  // A replicated pin: both are pins of the signal, the component sees the last.
  EXPECT_EQ(static_cast<UP_SIGNAL*>(n)->getnumpins(), 2);
  EXPECT_EQ(first->getpinid(), second->getpinid());
  EXPECT_EQ(static_cast<UP_COMP*>(u1)->getsigpin(0), second);
}

TEST_F(BuilderTest, BadPinIndexThrows) {
  EXPECT_THROW(d.addLoad(n, u0, 3), std::out_of_range);
  EXPECT_THROW(d.addDriver(n, u0, -1), std::out_of_range);
  EXPECT_EQ(static_cast<UP_SIGNAL*>(n)->getnumpins(), 0);
}

TEST_F(BuilderTest, PlacingKeepsOccupantAndBasicElements) {
  standin::Site* s0 = d.addSite("R1C1", slice, 1, 1);
  standin::Site* s1 = d.addSite("R1C2", slice, 1, 2);
  UP_SITE* site0 = s0;
  std::vector<UP_COMP*> bels;

  d.place(u0, s0);
  d.place(u1, s0);
  EXPECT_EQ(site0->getcomp(), u0);  // the first placed is the occupant
  EXPECT_EQ(u1->getsite(), site0);
  EXPECT_EQ(site0->getnumaccbels(bels), 2);
  EXPECT_EQ(bels, (std::vector<UP_COMP*>{u0, u1}));

  // Appends without clearing.
  EXPECT_EQ(site0->getnumaccbels(bels), 2);
  EXPECT_EQ(bels.size(), 4u);

  // Moving the occupant away hands the site to the next one.
  d.place(u0, s1);
  EXPECT_EQ(site0->getcomp(), u1);
  EXPECT_EQ(static_cast<UP_SITE*>(s1)->getcomp(), u0);
  EXPECT_EQ(u0->getsite(), s1);

  d.unplace(u1);
  EXPECT_EQ(site0->getcomp(), nullptr);
  EXPECT_EQ(u1->getsite(), nullptr);
  bels.clear();
  EXPECT_EQ(site0->getnumaccbels(bels), 0);
  d.unplace(u1);  // unplacing an unplaced component changes nothing
  EXPECT_EQ(u1->getsite(), nullptr);
}

TEST_F(BuilderTest, ClusterHasFourSitesInPositionOrder) {
  d.addSite("IO0", slice, 0, 0);
  standin::Plc* plc = d.addPlc("R3C4", slice, 3, 4);
  UP_PLCSITE* cluster = plc;
  ASSERT_EQ(cluster->getsites().size(), 4u);
  EXPECT_EQ(d.getnumsites(), 5);
  const char* names[] = {"R3C4A", "R3C4B", "R3C4C", "R3C4D"};
  for (int pos = 0; pos < 4; ++pos) {
    UP_SITE* site = cluster->getsite(pos);
    EXPECT_EQ(site, cluster->getsites()[static_cast<std::size_t>(pos)]);
    EXPECT_EQ(site, d.getsite(pos + 1));  // appended to the table in order
    EXPECT_EQ(site->getid(), pos + 1);
    EXPECT_STREQ(site->getname(), names[pos]);
    EXPECT_EQ(site->getplcsite(), cluster);
    EXPECT_EQ(site->getplcpos(), pos);
  }
  EXPECT_EQ(cluster->getsite(4), nullptr);
  EXPECT_EQ(d.getsite(0)->getplcsite(), nullptr);
}

TEST_F(BuilderTest, SlotTableAppearsWithTheFirstSlot) {
  standin::Site* s = d.addSite("R1C1", slice, 1, 1);
  EXPECT_EQ(static_cast<UP_SITE*>(s)->getslotcomps(), nullptr);
  d.setSlot(s, standin::R1, u2);
  UP_COMP** slots = static_cast<UP_SITE*>(s)->getslotcomps();
  ASSERT_NE(slots, nullptr);
  EXPECT_EQ(slots[standin::L0], nullptr);
  EXPECT_EQ(slots[standin::R1], u2);
  // Slots do not place.
  EXPECT_EQ(u2->getsite(), nullptr);
  EXPECT_EQ(static_cast<UP_SITE*>(s)->getcomp(), nullptr);
}

TEST_F(BuilderTest, InstancesAndNetsCarryTheirObjects) {
  udb::PhyInstance* inst = static_cast<UP_COMP*>(u1)->getinstance();
  ASSERT_NE(inst, nullptr);
  EXPECT_EQ(inst->getAppData(UP_Access::m_PhyInstance_idx), static_cast<UP_COMP*>(u1));
  EXPECT_EQ(inst->getAppData(UP_Access::m_PhyNet_idx), nullptr);
  EXPECT_EQ(inst->getAppData(-1), nullptr);
  EXPECT_EQ(inst->getAppData(standin::kAppDataSlots), nullptr);

  udb::UnfoldedNet* net = static_cast<UP_SIGNAL*>(n)->getnet();
  ASSERT_NE(net, nullptr);
  EXPECT_EQ(net->getAppData(UP_Access::m_PhyNet_idx), static_cast<UP_SIGNAL*>(n));
  EXPECT_EQ(net->getAppData(UP_Access::m_PhyInstance_idx), nullptr);
  EXPECT_NE(UP_Access::m_PhyInstance_idx, UP_Access::m_PhyNet_idx);
}

TEST_F(BuilderTest, BrokenLinksShowThroughTheHostOperations) {
  standin::Site* s = d.addSite("R1C1", slice, 1, 1);
  d.place(u0, s);
  d.addLoad(n, u1, 0);

  s->comp = u2;  // a site whose occupant is another component
  EXPECT_EQ(u0->getsite(), s);
  EXPECT_EQ(static_cast<UP_SITE*>(s)->getcomp(), u2);

  u2->instance = nullptr;  // a component with no instance
  EXPECT_EQ(static_cast<UP_COMP*>(u2)->getinstance(), nullptr);

  u1->instance->appData[UP_Access::m_PhyInstance_idx] = static_cast<UP_COMP*>(u0);
  EXPECT_EQ(static_cast<UP_COMP*>(u1)->getinstance()->getAppData(UP_Access::m_PhyInstance_idx),
            static_cast<UP_COMP*>(u0));

  lut->ports[0].id = 7;  // a port index that disagrees
  EXPECT_EQ(u1->getsigpin(0)->getport()->getid(), 7);
  EXPECT_EQ(u1->getsigpin(0)->getpinid(), 0);
}

TEST(StandinCurrentDesign, LastMadeOrMadeCurrentIsCurrent) {
  standin::Design a("a");
  EXPECT_EQ(getUpDesign(), &a);
  {
    standin::Design b("b");
    EXPECT_EQ(getUpDesign(), &b);
    a.makeCurrent();
    EXPECT_EQ(getUpDesign(), &a);
    b.makeCurrent();
  }
  EXPECT_EQ(getUpDesign(), nullptr);  // b was current when it went
  standin::setCurrentDesign(&a);
  EXPECT_STREQ(getUpDesign()->getname(), "a");
}

TEST_F(BuilderTest, ComponentOrderIsStrictByNumber) {
  EXPECT_TRUE(basup_cmpcomp(u0, u1));
  EXPECT_FALSE(basup_cmpcomp(u1, u0));
  EXPECT_FALSE(basup_cmpcomp(u1, u1));
  EXPECT_TRUE(basup_cmpcomp(u0, u2));
}

TEST_F(BuilderTest, InfoAnswers) {
  UP_INFO* info = d.getinfo();
  d.info.options["on"] = 1;
  d.info.options["off"] = 0;
  EXPECT_EQ(info->getoption("on", false), 1);
  EXPECT_EQ(info->getoption("off", true), 0);
  EXPECT_EQ(info->getoption("absent", true), 1);
  EXPECT_EQ(info->getoption("absent", false), 0);

  n->clocks = standin::Signal::CLK1 | standin::Signal::CLK3;
  EXPECT_TRUE(info->isclk1(n));
  EXPECT_FALSE(info->isclk2(n));
  EXPECT_TRUE(info->isclk3(n));

  standin::Site* s = d.addSite("R1C1", slice, -2, 9);
  EXPECT_EQ(info->getpinrow(s, 0), -2);
  EXPECT_EQ(info->getpincol(s, 65535), 9);

  standin::MessageLog& log = standin::messages();
  log.capture();
  d.place(u0, s);
  info->dumpusage(0);
  EXPECT_EQ(log.take(), "Device usage: 1 of 1 sites\n");
  d.info.usage = "usage\n";
  info->dumpusage(0);
  EXPECT_EQ(log.take(), "usage\n");
  d.addCompChar("LUT4");
  info->getcompchar(0)->dump("\t0: ");
  EXPECT_EQ(log.take(), "\t0: LUT4\n");
  log.release();
}

TEST_F(BuilderTest, GeometryHasOneEntryPerSitePin) {
  standin::Site* s = d.addSite("R1C1", slice, 1, 1);
  EXPECT_EQ(static_cast<UP_SITE*>(s)->getgeom(), nullptr);
  standin::Geom* g = d.addGeom(s, 4, 5);
  UP_SITEGEOM* geom = static_cast<UP_SITE*>(s)->getgeom();
  ASSERT_EQ(geom, g);
  EXPECT_EQ(s->getphysite()->getnumpins(), 2);
  g->xs[1] = 12;
  EXPECT_EQ(geom->pinx[1], 12);
  EXPECT_EQ(geom->piny[1], 0);
  EXPECT_EQ(geom->row, 4);
  EXPECT_EQ(geom->col, 5);
  EXPECT_LT(geom->quad, 0);
}

}  // namespace
