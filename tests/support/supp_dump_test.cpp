// Element, design and site dumps: the cases the expected texts of
// supp_golden_test.cpp do not show, and how the lines are made.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "host/standin/standin_design.h"
#include "report_capture.h"
#include "support/basapsupp.h"

namespace {

using Texts = std::vector<std::string>;

class Dump : public ReportCapture {
protected:
  Dump() {
    d.addDriver(n, u0, 2);
    d.addLoad(n, u1, 0);
  }

  standin::Design d{"top"};
  standin::SiteType* slice = d.addSiteType("SLICE", {{"A", udb::DIR_INPUT}, {"B", udb::DIR_INPUT}});
  standin::Prim* lut =
      d.addPrim("LUT", {{"A", udb::DIR_INPUT}, {"T", udb::DIR_TRISTATE}, {"Z", udb::DIR_OUTPUT}});
  standin::Comp* u0 = d.addComp("u0", lut);
  standin::Comp* u1 = d.addComp("u1", lut);
  standin::Signal* n = d.addSignal("n");
  AP_SUPP supp{&d};
};

TEST_F(Dump, NullElementsPrintTheTitleUnconnectedPinsAreSkippedAndDirectionLettersCompared) {
  supp.dumpComp(nullptr, "only", 0);
  supp.dumpSignal(nullptr, "|alone", 0);
  EXPECT_EQ(take(), "only|alone");

  // Pin 1 (tristate, type byte 0) connected: "?" against "?" is no error.
  d.addLoad(n, u0, 1);
  // Pin 0 has a pin but no signal: no line and no check of its broken port.
  d.addLoad(d.addSignal("m"), u0, 0);
  u0->signals[0] = nullptr;
  u0->sigpins[0]->pinid = 9;
  lut->cell->setProgramming(nullptr);
  supp.dumpComp(u0, "", 0);
  EXPECT_EQ(take(),
            "Component0   :  u0      \tLUT\tpins=3\t\n"
            "\tLUT CM_CELLCONTEXT:\n"
            "\t?pin1: T\tSig0: n\n"
            "\tOpin2: Z\tSig0: n\n"
            "\n");
  EXPECT_TRUE(internalErrors().empty());

  // A port direction outside 0..2 shows "?", and a pin input-typed against
  // it is a mismatch.
  lut->ports[0].dir = static_cast<udb::Direction>(7);
  supp.dumpSignal(n, "", 0);
  EXPECT_EQ(text(),
            "Signal0: n\t1d/3p\n"
            "\tOpin2: Z\tComp0: u0\n"
            "\t?pin0: A\tComp1: u1\n"
            "\t?pin1: T\tComp0: u0\n");
  EXPECT_EQ(internalErrors(), Texts{"19:// ERROR: pin-type=I and port-type=? not match\n"});

  // A signal pin's line, and its signal link.
  take();
  standin::SigPin* pin = u1->sigpins[0];
  supp.dumpSigpin(pin, "> ");
  EXPECT_EQ(text(), "> comp    1:A   (0)\n");
  u1->signals[0] = d.addSignal("other");
  supp.dumpSigpin(pin, nullptr);
  EXPECT_EQ(internalErrors(), Texts{"1:"});
}

TEST_F(Dump, DesignSummaryOfAnEmptyDesignWhateverTheMode) {
  standin::Design empty("empty");
  empty.info.usage = "usage report\n";
  AP_SUPP summary(&empty);
  summary.dumpDesign(nullptr, 0);
  const std::string expected =
      "Design:  empty\n\tFamily:  family\n\tDevice:  device\n\tPackage: NA\n\tSpeed:   NA\n"
      "\n"
      "usage report\n"
      "The pack level = SLICE\nTotal signals = 0\nTotal ports = 0\nTotal constraints = 0\n"
      "\n\n[Dump Total 0 Comps]\n"
      "\n[Dump Total 0 Signals]\n"
      "\n[Dump Total 0 ports]\n"
      "\n[Dump Total 0 constraints]\n"
      "[End]\n";
  EXPECT_EQ(take(), expected);
  summary.dumpDesign(nullptr, -3);
  EXPECT_EQ(take(), expected);
  summary.dumpUsage(nullptr);
  EXPECT_EQ(take(), "usage report\n");

  // The package without text, a speed grade, and the characteristics.
  empty.addCompChar("cc");
  empty.device.part.package = std::make_unique<UT_STROBJ>(nullptr);
  empty.device.part.speed = std::make_unique<UT_STROBJ>("6");
  summary.dumpDesign("T ", 0);
  const std::string tail = "[End]\n\n[Dump 1 comp characteristics]\n\tCompChar=0   : cc\n[End]\n";
  EXPECT_EQ(text().substr(text().size() - tail.size()), tail);
  EXPECT_NE(text().find("\tPackage: NA\n\tSpeed:   6\n"), std::string::npos) << text();
}

TEST_F(Dump, SpecialSitesByTypeNameInByteOrder) {
  d.addSite("S", slice, 1, 1);
  standin::SiteType* zeta = d.addSiteType("Zeta", {});
  standin::SiteType* high = d.addSiteType("\xc3\xa9t", {});  // after 'Z' as unsigned bytes
  d.addSite("z0", zeta, 0, 0);
  d.addSite("h0", high, 0, 0);
  d.addSite("a0", d.addSiteType("Alpha", {}), 0, 0);
  d.addSite("z1", zeta, 0, 0);
  supp.dumpAllSites(nullptr, 1);
  const std::string out = text();
  EXPECT_EQ(out.substr(out.find("\n\n")),
            "\n\n[Special Site Alpha = 1]\nSite[3   ]: a0          (Alpha)\n"
            "\n[Special Site Zeta = 2]\nSite[1   ]: z0          (Zeta)\n"
            "Site[4   ]: z1          (Zeta)\n"
            "\n[Special Site \xc3\xa9t = 1]\nSite[2   ]: h0          (\xc3\xa9t)\n");
}

}  // namespace
