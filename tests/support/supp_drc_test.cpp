// Site packing checks: replicated pins, the slot-pair and cluster register
// rules of a site, and the whole-design check with its consistency scans.
// The design option "Vorn_Disable_Half_PLC" stays unset in this program (it
// is read once per process; its test is a program of its own).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "packing_design.h"
#include "report_capture.h"
#include "support/basapsupp.h"

namespace {

using standin::Comp;
using standin::Site;
using Args = std::vector<std::string>;

class DrcTest : public ::testing::Test, protected packing::PackingDesign {
protected:
  ~DrcTest() override { unsetenv("ZOR_SHOW_INTERNAL_ERROR"); }

  // Registers on records `a` and `b` in R0/R1 of `s`, after a LUT in L0
  // whose record of count 0 leaves the rules to the registers (a component
  // with no record would end the cluster scan as compatible).
  void pair(Site* s, UP_REGCTRL* a, UP_REGCTRL* b) {
    put(s, standin::L0, zero);
    put(s, standin::R0, a);
    put(s, standin::R1, b);
  }
  Comp* slot(Site* s, standin::Slot k) { return static_cast<Comp*>(s->slots[k]); }

  // Runs `call` expecting UT_EXCEPTION_EXIT from this library; its code, or
  // -1 when nothing was thrown.
  template <class Call>
  int exitCode(Call call) {
    try {
      call();
    } catch (const UT_EXCEPTION_EXIT& e) {
      EXPECT_STREQ(e.getsource(), "basapsupp");
      EXPECT_STREQ(e.gettext(), "");
      return e.getcode();
    }
    return -1;
  }

  // The arguments of every message `id` posted, in order.
  std::vector<Args> posted(const std::string& id) {
    std::vector<Args> out;
    for (const auto& m : standin::postedMessages())
      if (m.id == id && m.module == "basaplace") out.push_back(m.args);
    return out;
  }

  AP_SUPP supp{&d};
  UP_REGCTRL* r1 = d.addRegCtrl(3);
  UP_REGCTRL* r2 = d.addRegCtrl(1);
  UP_REGCTRL* zero = d.addRegCtrl(0);
  standin::Plc* plc = d.addPlc("PLC_R1C1", slice, 1, 1);
  Site* s0 = site(plc, 0);
  standin::MessageLog& log = standin::messages();
};

TEST_F(DrcTest, ReplicatedPinsCountEachExtraOccurrenceInComponentOrder) {
  standin::Signal* s = d.addSignal("n");
  Comp* v = d.addComp("v", lut);
  Comp* u = d.addComp("u", lut);
  std::swap(u->id, v->id);  // the host's order puts u first, unlike the addresses
  u->sname = "su";
  v->sname = "sv";
  EXPECT_EQ(supp.drcSig(s, 1), 0);
  d.addLoad(s, u, 0);
  d.addLoad(s, v, 0);  // same pin id, other component
  d.addLoad(s, u, 1);  // same component, other pin
  EXPECT_EQ(supp.drcSig(s, 1), 0);
  d.addLoad(s, v, 1);
  d.addLoad(s, u, 0);
  d.addLoad(s, v, 1);
  d.addLoad(s, u, 0);
  EXPECT_EQ(supp.drcSig(s, 0), 3);
  EXPECT_EQ(log.text(), "");
  EXPECT_EQ(supp.drcSig(s, 1), 3);
  EXPECT_EQ(log.take(),
            "Signal0 has replicated pin su:A(0)\n"
            "Signal0 has replicated pin su:A(0)\n"
            "Signal0 has replicated pin sv:B(1)\n");

  // drcComp examines the whole signal once per connected pin.
  EXPECT_EQ(supp.drcComp(u, 0), 6);
  u->sigpins[1] = nullptr;  // a signal without signal pin is passed over
  EXPECT_EQ(supp.drcComp(u, 0), 3);
}

TEST_F(DrcTest, ChecksSwitchesAndSiteKinds) {
  pair(s0, r1, r2);  // fails the slot pair and the cluster rule
  const int expected[] = {2, 1, 1, 2, 0, 1, 1, 2};  // by checks 0..7: other bits ignored
  for (int checks = 0; checks < 8; ++checks) EXPECT_EQ(supp.drcSite(s0, checks, 0), expected[checks]);
  d.info.noSiteDrc = true;
  EXPECT_EQ(supp.drcSite(s0, 0, 1), 0);
  d.info.noSiteDrc = false;
  d.info.noSiteDrc2 = true;
  EXPECT_EQ(supp.drcSite(s0, 0, 1), 0);
  d.info.noSiteDrc2 = false;
  // The slot pair needs a site of several elements, a slot table and both
  // registers.
  s0->uniqBels = 1;
  EXPECT_EQ(supp.drcSite(s0, 1, 0), 0);
  s0->uniqBels = 2;
  s0->hasSlots = false;
  EXPECT_EQ(supp.drcSite(s0, 1, 0), 0);
  s0->hasSlots = true;
  s0->pfu = false;
  for (int checks = 0; checks < 4; ++checks) EXPECT_EQ(supp.drcSite(s0, checks, 1), 0);
  s0->pfu = true;
  d.setSlot(s0, standin::R1, nullptr);
  EXPECT_EQ(supp.drcSite(s0, 1, 0), 0);

  // A PFU/PFF site of no cluster gets the slot pair only.
  Site* lone = d.addSite("LONE", slice, 5, 5);
  pair(lone, r1, r2);
  EXPECT_EQ(supp.drcSite(lone, 0, 1), 1);
  EXPECT_EQ(log.fatals.size(), 1u);
  EXPECT_TRUE(standin::postedMessages().empty());
}

TEST_F(DrcTest, ClusterRulesFromTheFirstSiteOnly) {
  regOn(s0, r1);
  regOn(site(plc, 1), r1);
  pair(site(plc, 2), r2, r2);
  EXPECT_EQ(supp.drcSite(s0, 2, 0), 1);
  for (int pos = 1; pos < 4; ++pos) EXPECT_EQ(supp.drcSite(site(plc, pos), 2, 1), 0);
  d.info.plcRegRule = false;
  d.info.halfPlcRegRule = true;
  EXPECT_EQ(supp.drcSite(s0, 2, 0), 0);  // each half on one record
  slot(site(plc, 2), standin::R1)->regctrl = r1;
  EXPECT_EQ(supp.drcSite(s0, 2, 0), 1);
  d.info.plcRegRule = true;
  EXPECT_EQ(supp.drcSite(s0, 2, 0), 1);  // fails both rules: one error
  d.info.plcRegRule = false;
  d.info.halfPlcRegRule = false;
  EXPECT_EQ(supp.drcSite(s0, 2, 0), 0);
}

TEST_F(DrcTest, ReportingASlotPairGoesOnAndAFailingClusterEndsTheRun) {
  setenv("ZOR_SHOW_INTERNAL_ERROR", "1", 1);
  pair(s0, r1, r2);
  Comp* ra = slot(s0, standin::R0);
  Comp* rb = slot(s0, standin::R1);
  ra->sname = "ra";
  rb->sname = "rb";
  regOn(site(plc, 2), r2)->sname = "rc";
  s0->dsite->altname = "SLICE_R1C1A";
  EXPECT_EQ(exitCode([&] { supp.drcSite(s0, 0, 1); }), 1);
  EXPECT_EQ(internalErrors(), Args{"19:ERROR: SLICE_R1C1A incompatible for comp" + std::to_string(ra->id) +
                                   " ra comp" + std::to_string(rb->id) + " rb\n"});
  EXPECT_EQ(posted("1001"), std::vector<Args>{{"SLICE_R1C1"}});
  EXPECT_EQ(log.text(),
            "Logic cluster SLICE_R1C1 breaks the register packing rules.\n"
            "\t-- c0 at PLC_R1C1A\n\t-- ra at PLC_R1C1A\n\t-- rb at PLC_R1C1A\n\t-- rc at PLC_R1C1C\n");
}

TEST_F(DrcTest, ClusterLabelsOfAnyLengthLoseOnlyTheirLastCharacter) {
  regOn(s0, r1);
  regOn(site(plc, 1), r2);
  std::vector<Args> expected;
  for (std::size_t n : {0u, 1u, 2u, 499u, 500u, 501u, 2000u}) {
    std::string label;
    for (std::size_t i = 0; i < n; ++i) label += static_cast<char>('a' + i % 26);
    s0->dsite->altname = label;
    EXPECT_EQ(exitCode([&] { supp.drcSite(s0, 2, 1); }), 1);
    expected.push_back({label.substr(0, n > 0 ? n - 1 : 0)});
  }
  EXPECT_EQ(posted("1001"), expected);
}

// Every site of the cluster holds two LUTs (record of count 0) and two
// registers on r1: four components point at each site, one is its occupant.
class DrcAllSiteTest : public DrcTest {
protected:
  DrcAllSiteTest() {
    for (int pos = 0; pos < 4; ++pos) {
      Site* s = site(plc, pos);
      put(s, standin::L0, zero);
      put(s, standin::L1, zero);
      put(s, standin::R0, r1);
      put(s, standin::R1, r1);
    }
  }
};

TEST_F(DrcAllSiteTest, SharedSitesPassAndAComponentTheSiteDoesNotListIsPosted) {
  d.info.halfPlcRegRule = true;
  EXPECT_EQ(supp.drcAllSite(0, 2), 0);
  EXPECT_TRUE(standin::postedMessages().empty());
  EXPECT_TRUE(standin::internalErrors().empty());
  EXPECT_TRUE(log.fatals.empty());

  s0->dsite->altname = "ALT0";
  Comp* stray = d.addComp("stray", lut);
  stray->site = s0;  // points at the site, which does not know it
  // Another site's list naming it does not make it s0's (the scratch list of
  // one site is not carried over to the next).
  site(plc, 1)->bels.push_back(stray);
  EXPECT_EQ(supp.drcAllSite(0, 1), 0);
  EXPECT_EQ(posted("1003"), (std::vector<Args>{{"stray", "ALT0", s0->comp->name}}));
  EXPECT_TRUE(log.fatals.empty());
}

TEST_F(DrcAllSiteTest, AComponentOnASiteWithoutOccupantEndsTheRun) {
  Site* s1 = site(plc, 1);
  s1->dsite->altname = "ALT1";
  s1->comp = nullptr;
  EXPECT_EQ(exitCode([&] { supp.drcAllSite(0, 1); }), 1);
  EXPECT_EQ(posted("1002"), (std::vector<Args>{{s1->bels[0]->name, "PLC_R1C1B"}}));
  EXPECT_TRUE(standin::internalErrors().empty());  // ended before the site scan
}

TEST_F(DrcAllSiteTest, SitesWhoseOccupantPointsElsewhereAreReportedAndTheScanGoesOn) {
  Site* s2 = site(plc, 2);
  Site* s3 = site(plc, 3);
  s2->dsite->altname = "ALT2";
  s2->comp->name = "m";
  s2->comp->site = s3;  // s3 is held by another and does not list m: also a "1003"
  s3->comp->name = "l";
  s3->comp->site = nullptr;
  EXPECT_EQ(supp.drcAllSite(0, 0), 0);
  EXPECT_EQ(log.text(),
            "Component m is placed on site PLC_R1C1D, which is held by component l.\n"
            "INTERR: comp m's site pointer PLC_R1C1D != ALT2\n");
  const auto& errs = standin::internalErrors();
  ASSERT_EQ(errs.size(), 2u);
  EXPECT_EQ(errs[0].source, "basapsupp");
  EXPECT_EQ(errs[0].format, "mismatch between comp m's site pointer and 'ALT2'");
  EXPECT_EQ(errs[0].args, (Args{"m", "ALT2"}));
  EXPECT_EQ(errs[1].format, "mismatch between comp l's site pointer and 'PLC_R1C1D'");
  EXPECT_EQ(errs[1].args, (Args{"l", "PLC_R1C1D"}));
}

TEST_F(DrcAllSiteTest, TheLevelSelectsTheSummaryAndTheReportingOfEachSite) {
  setenv("ZOR_SHOW_INTERNAL_ERROR", "1", 1);
  slot(s0, standin::R1)->regctrl = r2;  // the slot pair and the cluster fail
  EXPECT_EQ(supp.drcAllSite(0, 0), 2);
  EXPECT_TRUE(log.fatals.empty());
  const struct {
    int checks, total;
    const char* suffix;
  } cases[] = {{0, 2, ""}, {3, 2, ""}, {1, 1, ""}, {2, 1, "for PLC rules"}};
  for (const auto& c : cases) {
    log.capture();
    EXPECT_EQ(supp.drcAllSite(c.checks, 1), c.total);
    EXPECT_EQ(internalErrors(),
              Args{"19:ERROR: There are " + std::to_string(c.total) + " site comp errors " + c.suffix + "\n"});
  }
  // Level 2 reports every site: the slot pair goes on to the summary, while
  // a failing cluster ends the run before it.
  log.capture();
  EXPECT_EQ(supp.drcAllSite(1, 2), 1);
  EXPECT_EQ(log.fatals.size(), 2u);
  log.capture();
  EXPECT_EQ(exitCode([&] { supp.drcAllSite(3, 2); }), 1);
  EXPECT_EQ(log.fatals.size(), 1u);
}

}  // namespace
