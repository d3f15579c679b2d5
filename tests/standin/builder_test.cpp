// The stand-in builder: the cross links it keeps, placing, and clusters.
#include <gtest/gtest.h>

#include <stdexcept>
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

}  // namespace
