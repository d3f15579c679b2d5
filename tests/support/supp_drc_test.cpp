// Site packing checks: replicated pins, the slot-pair and cluster register
// rules of a site, and the whole-design check with its consistency scans.
// The cluster check runs with the design option "Vorn_Disable_Half_PLC"
// unset throughout this program (the option is read once per process; its
// own test is a program of its own).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "packing_design.h"
#include "support/basapsupp.h"

namespace {

using standin::Comp;
using standin::Plc;
using standin::Signal;
using standin::Site;

class DrcTest : public ::testing::Test, protected packing::PackingDesign {
protected:
  ~DrcTest() override { unsetenv("ZOR_SHOW_INTERNAL_ERROR"); }

  Comp* lutNamed(const std::string& name) {
    Comp* c = d.addComp(name, lut);
    c->sname = "s_" + name;
    return c;
  }

  // A register pair in R0/R1 of `s` on records `a` and `b`, with a LUT in
  // L0 whose record of count 0 leaves the register rules to the registers (a
  // component with no record would end the cluster scan as compatible).
  void pair(Site* s, UP_REGCTRL* a, UP_REGCTRL* b) {
    put(s, standin::L0, zero);
    put(s, standin::R0, a);
    put(s, standin::R1, b);
  }

  // Runs drcSite expecting UT_EXCEPTION_EXIT; returns its code (-1 when none
  // was thrown).
  int exitCode(Site* s, int checks) {
    try {
      supp.drcSite(s, checks, 1);
    } catch (const UT_EXCEPTION_EXIT& e) {
      EXPECT_STREQ(e.getsource(), "basapsupp");
      EXPECT_GT(e.getline(), 0);
      EXPECT_STREQ(e.gettext(), "");
      return e.getcode();
    }
    return -1;
  }

  std::vector<std::string> posted(const std::string& id) {
    for (const auto& m : standin::postedMessages())
      if (m.id == id) {
        EXPECT_EQ(m.module, "basaplace");
        return m.args;
      }
    return {};
  }

  AP_SUPP supp{&d};
  UP_REGCTRL* r1 = d.addRegCtrl(3);
  UP_REGCTRL* r2 = d.addRegCtrl(1);
  UP_REGCTRL* zero = d.addRegCtrl(0);
  Plc* plc = d.addPlc("PLC_R1C1", slice, 1, 1);
};

// ---------------------------------------------------------------- drcSig, drcComp

TEST_F(DrcTest, ReplicatedPinsCountEachExtraOccurrenceInComponentOrder) {
  Signal* s = d.addSignal("n");
  Comp* v = lutNamed("v");  // ordered before u
  Comp* u = lutNamed("u");
  EXPECT_EQ(supp.drcSig(s, 1), 0);
  d.addLoad(s, u, 0);
  EXPECT_EQ(supp.drcSig(s, 1), 0);
  d.addLoad(s, v, 0);  // same pin id, other component
  d.addLoad(s, u, 1);  // same component, other pin
  EXPECT_EQ(supp.drcSig(s, 1), 0);
  EXPECT_EQ(standin::messages().text(), "");

  // u:A three times and v:B twice, interleaved with the others.
  d.addLoad(s, v, 1);
  d.addLoad(s, u, 0);
  d.addLoad(s, v, 1);
  d.addLoad(s, u, 0);
  EXPECT_EQ(supp.drcSig(s, 0), 3);
  EXPECT_EQ(standin::messages().text(), "");
  EXPECT_EQ(supp.drcSig(s, 1), 3);
  EXPECT_EQ(standin::messages().take(),
            "Signal0 has replicated pin s_v:B(1)\n"
            "Signal0 has replicated pin s_u:A(0)\n"
            "Signal0 has replicated pin s_u:A(0)\n");
  // A second call starts from an empty list.
  Signal* t = d.addSignal("t");
  d.addLoad(t, u, 0);
  EXPECT_EQ(supp.drcSig(t, 0), 0);
}

TEST_F(DrcTest, DrcCompExaminesTheWholeSignalOncePerConnectedPin) {
  Signal* t = d.addSignal("t");
  Comp* w = lutNamed("w");
  Comp* x = lutNamed("x");
  d.addLoad(t, w, 0);
  d.addLoad(t, w, 1);
  d.addLoad(t, x, 0);
  d.addLoad(t, x, 0);  // the one replicated pin, on another component
  EXPECT_EQ(supp.drcComp(w, 0), 2);
  w->sigpins[1] = nullptr;  // a pin with a signal but no signal pin is passed over
  EXPECT_EQ(supp.drcComp(w, 0), 1);
  EXPECT_EQ(supp.drcComp(lutNamed("y"), 1), 0);
}

// ---------------------------------------------------------------- drcSite

TEST_F(DrcTest, SlotPairFollowsThePairRuleOnSitesOfSeveralElements) {
  Site* s0 = site(plc, 0);
  pair(s0, r1, r2);
  Comp* r0c = static_cast<Comp*>(s0->slots[standin::R0]);
  Comp* r1c = static_cast<Comp*>(s0->slots[standin::R1]);
  d.info.plcRegRule = false;
  EXPECT_EQ(supp.drcSite(s0, 1, 0), 1);
  EXPECT_EQ(supp.drcSite(s0, 0, 0), 1);
  r0c->regctrl = zero;
  EXPECT_EQ(supp.drcSite(s0, 1, 0), 0);
  r0c->regctrl = nullptr;
  EXPECT_EQ(supp.drcSite(s0, 1, 0), 0);
  r0c->regctrl = d.addRegCtrl(-2);
  r1c->regctrl = d.addRegCtrl(-2);
  EXPECT_EQ(supp.drcSite(s0, 1, 0), 1);  // negative counts are not exempt here

  s0->uniqBels = 1;
  EXPECT_EQ(supp.drcSite(s0, 1, 0), 0);
  s0->uniqBels = 2;
  d.setSlot(s0, standin::R1, nullptr);
  EXPECT_EQ(supp.drcSite(s0, 1, 0), 0);
  d.setSlot(s0, standin::R1, r1c);
  s0->hasSlots = false;
  EXPECT_EQ(supp.drcSite(s0, 1, 0), 0);
  s0->hasSlots = true;
  EXPECT_EQ(supp.drcSite(s0, 1, 0), 1);
  EXPECT_TRUE(standin::messages().fatals.empty());
}

TEST_F(DrcTest, SwitchedOffOrNonPfuSitesPassWhateverTheChecks) {
  Site* s0 = site(plc, 0);
  pair(s0, r1, r2);  // fails both the slot pair and the cluster rule
  EXPECT_EQ(supp.drcSite(s0, 0, 0), 2);
  d.info.noSiteDrc = true;
  EXPECT_EQ(supp.drcSite(s0, 0, 1), 0);
  d.info.noSiteDrc = false;
  d.info.noSiteDrc2 = true;
  EXPECT_EQ(supp.drcSite(s0, 3, 1), 0);
  d.info.noSiteDrc2 = false;
  s0->pfu = false;
  for (int checks = 0; checks < 4; ++checks) EXPECT_EQ(supp.drcSite(s0, checks, 1), 0);
  EXPECT_TRUE(standin::messages().fatals.empty());
  EXPECT_TRUE(standin::postedMessages().empty());
}

TEST_F(DrcTest, ChecksSelectTheSlotPairAndTheClusterCheck) {
  Site* s0 = site(plc, 0);
  pair(s0, r1, r2);
  EXPECT_EQ(supp.drcSite(s0, 1, 0), 1);
  EXPECT_EQ(supp.drcSite(s0, 2, 0), 1);
  EXPECT_EQ(supp.drcSite(s0, 3, 0), 2);
  EXPECT_EQ(supp.drcSite(s0, 0, 0), 2);
  EXPECT_EQ(supp.drcSite(s0, 4, 0), 0);  // other bits are ignored
  EXPECT_EQ(supp.drcSite(s0, 5, 0), 1);
  EXPECT_EQ(supp.drcSite(s0, 6, 0), 1);
  EXPECT_EQ(supp.drcSite(s0, 7, 0), 2);
}

TEST_F(DrcTest, TheClusterIsCheckedFromItsFirstSiteOnly) {
  Site* s1 = site(plc, 1);
  pair(s1, r1, r2);
  EXPECT_EQ(supp.drcSite(site(plc, 0), 2, 0), 1);
  EXPECT_EQ(supp.drcSite(s1, 0, 0), 1);  // the slot pair only
  EXPECT_EQ(supp.drcSite(s1, 2, 1), 0);
  EXPECT_EQ(supp.drcSite(site(plc, 2), 0, 1), 0);
  EXPECT_EQ(supp.drcSite(site(plc, 3), 0, 1), 0);
}

TEST_F(DrcTest, WholeAndHalfClusterRules) {
  // Lower half on r1, upper half on r2.
  regOn(site(plc, 0), r1);
  regOn(site(plc, 1), r1);
  regOn(site(plc, 2), r2);
  Comp* top = regOn(site(plc, 3), r2);
  Site* s0 = site(plc, 0);
  EXPECT_EQ(supp.drcSite(s0, 2, 0), 1);
  d.info.halfPlcRegRule = true;
  EXPECT_EQ(supp.drcSite(s0, 2, 0), 1);  // fails both rules: one error
  d.info.plcRegRule = false;
  EXPECT_EQ(supp.drcSite(s0, 2, 0), 0);  // the halves agree within themselves
  top->regctrl = r1;
  EXPECT_EQ(supp.drcSite(s0, 2, 0), 1);
  d.info.halfPlcRegRule = false;
  EXPECT_EQ(supp.drcSite(s0, 2, 0), 0);  // no rule selected
}

TEST_F(DrcTest, ReportingASlotPairGoesOnWithTheClusterCheck) {
  setenv("ZOR_SHOW_INTERNAL_ERROR", "1", 1);
  Site* s0 = site(plc, 0);
  pair(s0, r1, r2);
  d.info.plcRegRule = false;
  auto* r0c = static_cast<Comp*>(s0->slots[standin::R0]);
  auto* r1c = static_cast<Comp*>(s0->slots[standin::R1]);
  r0c->sname = "ra";
  r1c->sname = "rb";
  s0->dsite->altname = "SLICE_R1C1A";
  EXPECT_EQ(supp.drcSite(s0, 0, 1), 1);  // no exception
  auto& log = standin::messages();
  ASSERT_EQ(log.fatals.size(), 1u);
  EXPECT_EQ(log.fatals[0].text, "A fatal error occurred. The process will now exit.");
  EXPECT_EQ(log.fatals[0].source, "basapsupp");
  EXPECT_EQ(log.fatals[0].code, 19);
  EXPECT_EQ(log.fatals[0].version, "1.0");
  ASSERT_EQ(log.errors.size(), 1u);
  EXPECT_EQ(log.errors[0], "ERROR: SLICE_R1C1A incompatible for comp" + std::to_string(r0c->id) +
                               " ra comp" + std::to_string(r1c->id) + " rb\n");

  // With the cluster failing too, the fatal report comes first, then the exit.
  d.info.plcRegRule = true;
  log.capture();
  EXPECT_EQ(exitCode(s0, 3), 1);
  EXPECT_EQ(log.fatals.size(), 1u);
  EXPECT_EQ(posted("1001"), (std::vector<std::string>{"SLICE_R1C1"}));
}

TEST_F(DrcTest, AFailingClusterIsPostedListedAndEndsTheRun) {
  Site* s0 = site(plc, 0);
  Comp* a = regOn(s0, r1);
  Comp* b = regOn(site(plc, 2), r2);
  Comp* c = regOn(site(plc, 2), r1);
  a->sname = "A";
  b->sname = "B";
  c->sname = "C";
  EXPECT_EQ(exitCode(s0, 2), 1);
  EXPECT_EQ(posted("1001"), (std::vector<std::string>{"PLC_R1C1"}));
  EXPECT_EQ(standin::messages().text(),
            "Logic cluster PLC_R1C1 breaks the register packing rules.\n"
            "\t-- A at PLC_R1C1A\n"
            "\t-- B at PLC_R1C1C\n"
            "\t-- C at PLC_R1C1C\n");
  EXPECT_TRUE(standin::messages().fatals.empty());
}

TEST_F(DrcTest, ClusterLabelsOfAnyLengthLoseOnlyTheirLastCharacter) {
  Site* s0 = site(plc, 0);
  regOn(s0, r1);
  regOn(site(plc, 1), r2);
  for (std::size_t n : {0u, 1u, 2u, 499u, 500u, 501u, 2000u}) {
    std::string label;
    for (std::size_t i = 0; i < n; ++i) label += static_cast<char>('a' + i % 26);
    s0->dsite->altname = label;
    standin::clearRecords();
    EXPECT_EQ(exitCode(s0, 2), 1);
    EXPECT_EQ(posted("1001"), std::vector<std::string>{label.substr(0, n > 0 ? n - 1 : 0)}) << n;
  }
}

TEST_F(DrcTest, APfuSiteWithoutClusterGetsTheSlotPairCheckOnly) {
  Site* lone = d.addSite("LONE", slice, 5, 5);
  pair(lone, r1, r2);
  EXPECT_EQ(supp.drcSite(lone, 0, 0), 1);
  EXPECT_EQ(supp.drcSite(lone, 2, 1), 0);
  EXPECT_EQ(supp.drcSite(lone, 3, 1), 1);  // reported, no exception
  EXPECT_EQ(standin::messages().fatals.size(), 1u);
}

// ---------------------------------------------------------------- drcAllSite

// Fills every site of the cluster with two LUTs (record of count 0) and two
// registers on r1: four components pointing at each site, of which one is
// its occupant.
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

  std::vector<std::string> internalFormats() {
    std::vector<std::string> out;
    for (const auto& e : standin::internalErrors()) out.push_back(e.format);
    return out;
  }
};

TEST_F(DrcAllSiteTest, ALegallyPackedDesignRaisesNothing) {
  d.info.halfPlcRegRule = true;
  EXPECT_EQ(supp.drcAllSite(0, 2), 0);
  EXPECT_TRUE(standin::postedMessages().empty());
  EXPECT_TRUE(standin::internalErrors().empty());
  EXPECT_TRUE(standin::messages().fatals.empty());
  EXPECT_EQ(standin::messages().text(), "");
}

TEST_F(DrcAllSiteTest, AComponentOnASiteThatDoesNotListItIsPostedAndNotCounted) {
  Site* s0 = site(plc, 0);
  s0->dsite->altname = "ALT0";
  Comp* stray = lutNamed("stray");
  stray->site = s0;  // points at the site, which does not know it
  EXPECT_EQ(supp.drcAllSite(0, 1), 0);
  EXPECT_EQ(posted("1003"), (std::vector<std::string>{"stray", "ALT0", s0->comp->name}));
  EXPECT_EQ(standin::postedMessages().size(), 1u);
  EXPECT_TRUE(standin::messages().fatals.empty());
}

TEST_F(DrcAllSiteTest, AComponentOnASiteWithoutOccupantEndsTheRun) {
  Site* s1 = site(plc, 1);
  s1->dsite->altname = "ALT1";
  s1->comp = nullptr;
  try {
    supp.drcAllSite(0, 1);
    ADD_FAILURE() << "no exception";
  } catch (const UT_EXCEPTION_EXIT& e) {
    EXPECT_EQ(e.getcode(), 1);
    EXPECT_STREQ(e.getsource(), "basapsupp");
  }
  // The first component of the site is reported, with the site's own name.
  ASSERT_EQ(standin::postedMessages().size(), 1u);
  EXPECT_EQ(posted("1002"), (std::vector<std::string>{s1->bels[0]->name, "PLC_R1C1B"}));
  EXPECT_TRUE(standin::internalErrors().empty());  // the run ended before the site scan
}

TEST_F(DrcAllSiteTest, SitesWhoseOccupantPointsElsewhereAreReportedAndTheScanGoesOn) {
  Site* s2 = site(plc, 2);
  Site* s3 = site(plc, 3);
  s2->dsite->altname = "ALT2";
  Comp* moved = s2->comp;
  moved->name = "m";
  moved->site = s3;  // s3 has an occupant and does not list m: also a "1003"
  Comp* lost = s3->comp;
  lost->name = "l";
  lost->site = nullptr;
  EXPECT_EQ(supp.drcAllSite(0, 0), 0);
  EXPECT_EQ(standin::messages().text(),
            "Component m is placed on site PLC_R1C1D, which is held by component l.\n"
            "INTERR: comp m's site pointer PLC_R1C1D != ALT2\n");
  ASSERT_EQ(standin::internalErrors().size(), 2u);
  const auto& first = standin::internalErrors()[0];
  EXPECT_EQ(first.source, "basapsupp");
  EXPECT_GT(first.line, 0);
  EXPECT_EQ(first.format, "mismatch between comp m's site pointer and 'ALT2'");
  EXPECT_EQ(first.args, (std::vector<std::string>{"m", "ALT2"}));
  EXPECT_EQ(internalFormats()[1], "mismatch between comp l's site pointer and 'PLC_R1C1D'");
  EXPECT_EQ(standin::internalErrors()[1].args, (std::vector<std::string>{"l", "PLC_R1C1D"}));
}

TEST_F(DrcAllSiteTest, TheLevelSelectsTheSummaryAndTheReportingOfEachSite) {
  setenv("ZOR_SHOW_INTERNAL_ERROR", "1", 1);
  auto& log = standin::messages();
  site(plc, 0)->bels[3]->regctrl = r2;  // the first site's slot pair, and the cluster, now fail
  EXPECT_EQ(supp.drcAllSite(0, 0), 2);
  EXPECT_TRUE(log.fatals.empty());
  EXPECT_TRUE(log.errors.empty());

  const struct {
    int checks;
    int total;
    const char* suffix;
  } cases[] = {{0, 2, ""}, {3, 2, ""}, {1, 1, ""}, {2, 1, "for PLC rules"}};
  for (const auto& c : cases) {
    log.capture();
    EXPECT_EQ(supp.drcAllSite(c.checks, 1), c.total);
    ASSERT_EQ(log.fatals.size(), 1u) << c.checks;
    EXPECT_EQ(log.fatals[0].code, 19);
    EXPECT_EQ(log.fatals[0].source, "basapsupp");
    EXPECT_EQ(log.errors, std::vector<std::string>{"ERROR: There are " + std::to_string(c.total) +
                                                   " site comp errors " + c.suffix + "\n"});
  }

  // Level 2 reports every site: the slot pair as a fatal report, then, with
  // the cluster check, the failing cluster ends the run before any summary.
  log.capture();
  EXPECT_EQ(supp.drcAllSite(1, 2), 1);
  ASSERT_EQ(log.fatals.size(), 2u);
  EXPECT_EQ(log.errors.at(1), "ERROR: There are 1 site comp errors \n");
  log.capture();
  EXPECT_THROW(supp.drcAllSite(3, 2), UT_EXCEPTION_EXIT);
  EXPECT_EQ(log.fatals.size(), 1u);
  EXPECT_EQ(posted("1001"), (std::vector<std::string>{"PLC_R1C1"}));
}

}  // namespace
