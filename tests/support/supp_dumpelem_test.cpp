// Element dumps: the cases the expected texts of supp_golden_test.cpp do not
// show, and how the lines are made.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/standin/standin_design.h"
#include "report_capture.h"
#include "support/basapsupp.h"

namespace {

class ElemDump : public ReportCapture {
protected:
  ElemDump() {
    slice = d.addSiteType("SLICE", {{"A", udb::DIR_INPUT}, {"Z", udb::DIR_OUTPUT}});
    lut =
        d.addPrim("LUT", {{"A", udb::DIR_INPUT}, {"T", udb::DIR_TRISTATE}, {"Z", udb::DIR_OUTPUT}});
    u0 = d.addComp("u0", lut);
    u1 = d.addComp("u1", lut);
    n = d.addSignal("n");
    d.addDriver(n, u0, 2);
    d.addLoad(n, u1, 0);
  }

  standin::Design d{"top"};
  standin::SiteType* slice;
  standin::Prim* lut;
  standin::Comp* u0;
  standin::Comp* u1;
  standin::Signal* n;
  AP_SUPP supp{&d};
};

TEST_F(ElemDump, HeaderLineIsThreePrintsEndedByTheLineEnd) {
  d.place(u0, d.addSite("R1C1", slice, 1, 1));
  supp.dumpComp(u0, "t:", 1);
  EXPECT_EQ(log().prints,
            (std::vector<std::string>{"t:", "Comp0   : ", "R1C1    ", " u0      \tLUT\tpins=3\t"}));
  ASSERT_EQ(log().manips.size(), 1u);
  EXPECT_EQ(log().manips[0].name, "endl");
  EXPECT_EQ(log().manips[0].afterPrints, 4u);
  EXPECT_EQ(text(), "t:Comp0   : R1C1     u0      \tLUT\tpins=3\t\n");
  EXPECT_TRUE(internalErrors().empty());

  // An unplaced component has no site field; a null one prints the title.
  take();
  supp.dumpComp(u1, nullptr, 5);
  supp.dumpComp(nullptr, "only", 0);
  supp.dumpSignal(nullptr, "|alone", 0);
  EXPECT_EQ(text(), "Comp1   :  u1      \tLUT\tpins=3\t\nonly|alone");
}

TEST_F(ElemDump, UnconnectedPinsAreSkippedAndLettersWithoutDirectionAgree) {
  // Pin 1 (tristate, type byte 0) connected: "?" against "?" is no error.
  d.addLoad(n, u0, 1);
  // Pin 0 has a pin but no signal: no line and no check of its broken port.
  d.addLoad(d.addSignal("m"), u0, 0);
  u0->signals[0] = nullptr;
  u0->sigpins[0]->pinid = 9;
  lut->cell->setProgramming(nullptr);
  supp.dumpComp(u0, "", 0);
  EXPECT_EQ(text(),
            "Component0   :  u0      \tLUT\tpins=3\t\n"
            "\tLUT CM_CELLCONTEXT:\n"
            "\t?pin1: T\tSig0: n\n"
            "\tOpin2: Z\tSig0: n\n"
            "\n");
  EXPECT_TRUE(internalErrors().empty());

  // A port direction outside 0..2 shows "?", and a pin input-typed against
  // it is a mismatch.
  take();
  lut->ports[0].dir = static_cast<udb::Direction>(7);
  supp.dumpSignal(n, "", 0);
  EXPECT_EQ(text(),
            "Signal0: n\t1d/3p\n"
            "\tOpin2: Z\tComp0: u0\n"
            "\t?pin0: A\tComp1: u1\n"
            "\t?pin1: T\tComp0: u0\n");
  EXPECT_EQ(internalErrors(),
            (std::vector<std::string>{"19:// ERROR: pin-type=I and port-type=? not match\n"}));
}

TEST_F(ElemDump, SignalPinLineAndItsSignalLink) {
  standin::SigPin* pin = static_cast<standin::SigPin*>(n->getsigpin(1));
  supp.dumpSigpin(pin, "> ");
  EXPECT_EQ(text(), "> comp    1:A   (0)\n");
  EXPECT_TRUE(internalErrors().empty());
  u1->signals[0] = d.addSignal("other");
  supp.dumpSigpin(pin, nullptr);
  EXPECT_EQ(internalErrors(), (std::vector<std::string>{"1:"}));
}

}  // namespace
