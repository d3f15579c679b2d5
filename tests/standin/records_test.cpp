// The packed records read back through the host declarations as they were
// written: a component's pin row, an instance's and a net's one slot of
// application data.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "host/standin/standin_design.h"

namespace {

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

}  // namespace
