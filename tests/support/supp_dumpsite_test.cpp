// Site and primitive dumps: the forms of a site's dump, the order of the
// special sites, the site contents and the primitives of a design without
// any.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/standin/standin_design.h"
#include "report_capture.h"
#include "support/basapsupp.h"

namespace {

class SiteDump : public ReportCapture {
protected:
  standin::Site* siteWithGeom(const std::vector<int>& xs) {
    std::vector<standin::PortDecl> pins;
    for (std::size_t i = 0; i < xs.size(); ++i)
      pins.push_back({"P" + std::to_string(i), udb::DIR_INPUT});
    standin::Site* site = d.addSite("S", d.addSiteType("SLICE", pins), 1, 1);
    standin::Geom* g = d.addGeom(site, 3, 4);
    g->xs = xs;
    g->pinx = g->xs.data();
    g->quad = -1;
    return site;
  }

  std::string xLine(const std::vector<int>& xs) {
    take();
    supp.dumpSite(siteWithGeom(xs), nullptr, 0);
    const std::string out = text();
    const std::size_t from = out.find("\tX=[");
    return out.substr(from, out.find('\n', from) + 1 - from);
  }

  standin::Design d{"top"};
  AP_SUPP supp{&d};
};

TEST_F(SiteDump, AxisValuesCommonOrListed) {
  EXPECT_EQ(xLine({9999, 9999}), "\tX=[9999*]\n");
  EXPECT_EQ(xLine({0}), "\tX=[0*]\n");
  // Outside the extremes' start the values are always listed.
  EXPECT_EQ(xLine({10000, 10000}), "\tX=[10000 10000 ]\n");
  EXPECT_EQ(xLine({-4, -4}), "\tX=[-4 -4 ]\n");
  EXPECT_EQ(xLine({}), "\tX=[]\n");
}

TEST_F(SiteDump, BriefAboveZeroGivesTheHeaderAloneAndNoQuadrantABareQ) {
  standin::Site* site = siteWithGeom({2, 3});
  supp.dumpSite(site, "", 1);
  supp.dumpSite(site, "", -1);
  EXPECT_EQ(text(),
            "Site[0   ]: S           (SLICE)\n"
            "Site[0   ]: S           (SLICE) Blk=4/3/0 q pins=2\n\tX=[2 3 ]\n\tY=[0*]\n");
  // A record without its values is passed over.
  take();
  site->geom->piny = nullptr;
  supp.dumpSite(site, "", 0);
  EXPECT_EQ(text(), "Site[0   ]: S           (SLICE)\n");
}

TEST_F(SiteDump, SpecialSitesGroupedByTypeNameInByteOrderThenNumber) {
  standin::SiteType* slice = d.addSiteType("SLICE", {});
  standin::SiteType* zeta = d.addSiteType("Zeta", {});
  standin::SiteType* high = d.addSiteType("\xc3\xa9t", {});  // sorts after 'Z' as unsigned bytes
  standin::SiteType* alpha = d.addSiteType("Alpha", {});
  d.addSite("z0", zeta, 0, 0);
  d.addSite("s0", slice, 0, 0);
  d.addSite("h0", high, 0, 0);
  d.addSite("a0", alpha, 0, 0);
  d.addSite("z1", zeta, 0, 0);
  supp.dumpAllSites(nullptr, 1);
  const std::string out = text();
  EXPECT_EQ(
      out.substr(out.find("\n\n")),
      "\n\n[Special Site Alpha = 1]\nSite[3   ]: a0          (Alpha)\n"
      "\n[Special Site Zeta = 2]\nSite[0   ]: z0          (Zeta)\nSite[4   ]: z1          (Zeta)\n"
      "\n[Special Site \xc3\xa9t = 1]\nSite[2   ]: h0          (\xc3\xa9t)\n");

  // Only "SLICE" sites: no special heading at all.
  standin::Design plain;
  plain.addSite("s", plain.addSiteType("SLICE", {}), 0, 0);
  take();
  AP_SUPP(&plain).dumpAllSites("", 0);
  EXPECT_EQ(text(), "[Sites total=1]\nSite[0   ]: s           (SLICE)\n");
}

TEST_F(SiteDump, SiteContents) {
  standin::SiteType* slice = d.addSiteType("SLICE", {});
  standin::Prim* lut = d.addPrim("LUT", {});
  standin::Site* empty = d.addSite("E", slice, 0, 0);
  standin::Site* full = d.addSite("F", slice, 0, 0);
  standin::Comp* c = d.addComp("comp_long", lut);
  c->sname = "c";
  d.place(c, full);
  supp.dumpSiteComp(empty, "pre-", 0);
  EXPECT_EQ(text(), "");
  supp.dumpSiteComp(full, nullptr, 3);
  d.setSlot(full, standin::R0, c);
  supp.dumpSiteComp(full, "> ", -1);
  EXPECT_EQ(text(), "site F :\nc\n> site F :\n\tR0=c\n");
}

TEST_F(SiteDump, DefinitionsOfADesignWithoutPrimitivesAreUnused) {
  d.addSiteType("RAM", {{"D", udb::DIR_INPUT}});
  d.addPrimDef("RAM", {{"D", udb::DIR_INPUT}});
  supp.dumpAllPrims(nullptr);
  EXPECT_EQ(text(),
            "[Primitives total=1 used=0]\n\nAll Primitives\n"
            "\tUnused prim0 RAM(RAM) ports=1\n\t\tPort0 (I) D primPort(I) D\n");
  EXPECT_TRUE(internalErrors().empty());
}

}  // namespace
