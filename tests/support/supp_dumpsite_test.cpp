// Site dumps: the short and full forms of a site, and the order of the
// special sites.
#include <gtest/gtest.h>

#include <string>

#include "host/standin/standin_design.h"
#include "report_capture.h"
#include "support/basapsupp.h"

namespace {

class SiteDump : public ReportCapture {
protected:
  standin::Design d{"top"};
  AP_SUPP supp{&d};
};

TEST_F(SiteDump, BriefAboveZeroGivesTheHeaderAlone) {
  standin::SiteType* type = d.addSiteType("SLICE", {{"A", udb::DIR_INPUT}, {"B", udb::DIR_INPUT}});
  standin::Site* site = d.addSite("S", type, 1, 1);
  standin::Geom* g = d.addGeom(site, 3, 4);
  g->xs = {2, 3};
  g->pinx = g->xs.data();
  supp.dumpSite(site, "", 1);
  supp.dumpSite(site, "", -1);
  EXPECT_EQ(text(),
            "Site[0   ]: S           (SLICE)\n"
            "Site[0   ]: S           (SLICE) Blk=4/3/0 q pins=2\n\tX=[2 3 ]\n\tY=[0*]\n");
}

TEST_F(SiteDump, SpecialSitesGroupedByTypeNameInByteOrderThenNumber) {
  standin::SiteType* slice = d.addSiteType("SLICE", {});
  standin::SiteType* zeta = d.addSiteType("Zeta", {});
  standin::SiteType* high = d.addSiteType("\xc3\xa9t", {});  // after 'Z' as unsigned bytes
  standin::SiteType* alpha = d.addSiteType("Alpha", {});
  d.addSite("z0", zeta, 0, 0);
  d.addSite("s0", slice, 0, 0);
  d.addSite("h0", high, 0, 0);
  d.addSite("a0", alpha, 0, 0);
  d.addSite("z1", zeta, 0, 0);
  supp.dumpAllSites(nullptr, 1);
  const std::string out = text();
  EXPECT_EQ(out.substr(out.find("\n\n")),
            "\n\n[Special Site Alpha = 1]\nSite[3   ]: a0          (Alpha)\n"
            "\n[Special Site Zeta = 2]\nSite[0   ]: z0          (Zeta)\n"
            "Site[4   ]: z1          (Zeta)\n"
            "\n[Special Site \xc3\xa9t = 1]\nSite[2   ]: h0          (\xc3\xa9t)\n");
}

}  // namespace
