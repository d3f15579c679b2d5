// The design option "Vorn_Disable_Half_PLC": read by the first site check
// that reaches the cluster check, and kept for the rest of the process. This
// program holds this one test so that the reading is its own.
#include <gtest/gtest.h>

#include "packing_design.h"
#include "support/basapsupp.h"

namespace {

// A cluster whose registers use two records, so the whole-cluster rule
// fails; with `slotError`, its first site's slot pair fails too.
struct FailingCluster : packing::PackingDesign {
  FailingCluster(int option, bool slotError) {
    d.info.options["Vorn_Disable_Half_PLC"] = option;
    UP_REGCTRL* r1 = d.addRegCtrl(1);
    UP_REGCTRL* r2 = d.addRegCtrl(1);
    plc = d.addPlc("PLC_R1C1", slice, 1, 1);
    put(site(plc, 0), standin::R0, r1);
    put(site(plc, 0), standin::R1, slotError ? r2 : r1);
    put(site(plc, 2), standin::R0, r2);
  }

  standin::Plc* plc;
  AP_SUPP supp{&d};
};

TEST(DisableHalfPlc, ReadOnceByTheFirstClusterCheckAndKeptForEveryDesign) {
  {
    // The slot-pair check alone reads no option: this design's "not set"
    // must not be what the process keeps.
    FailingCluster enabled(0, true);
    EXPECT_EQ(enabled.supp.drcSite(enabled.site(enabled.plc, 0), 1, 0), 1);
  }
  {
    FailingCluster disabled(1, true);
    standin::Site* first = disabled.site(disabled.plc, 0);
    EXPECT_EQ(disabled.supp.drcSite(first, 2, 0), 0);
    // The slot-pair error found before the skipped cluster check is kept.
    EXPECT_EQ(disabled.supp.drcSite(first, 3, 0), 1);
    EXPECT_EQ(disabled.supp.drcSite(first, 0, 0), 1);
    EXPECT_EQ(disabled.supp.drcAllSite(0, 0), 1);
    EXPECT_NO_THROW(disabled.supp.drcSite(first, 2, 1));
  }
  {
    // A later design that leaves the option unset still has the check off.
    FailingCluster later(0, false);
    standin::Site* first = later.site(later.plc, 0);
    EXPECT_FALSE(AP_SUPP::regCompatible(later.plc));
    EXPECT_EQ(later.supp.drcSite(first, 0, 0), 0);
    EXPECT_NO_THROW(later.supp.drcSite(first, 2, 1));
    EXPECT_TRUE(standin::postedMessages().empty());
  }
}

}  // namespace
