// Design summary: an empty design in full, the part's missing texts, the
// line ends and flushes, and the usage report alone.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "host/standin/standin_design.h"
#include "report_capture.h"
#include "support/basapsupp.h"

namespace {

class DesignDump : public ReportCapture {
protected:
  DesignDump() { d.info.usage = "usage report\n"; }

  standin::Design d{"empty"};
  AP_SUPP supp{&d};
};

TEST_F(DesignDump, EmptyDesignInFull) {
  supp.dumpDesign(nullptr, 0);
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
  // The mode has no effect.
  supp.dumpDesign(nullptr, -3);
  EXPECT_EQ(text(), expected);
}

TEST_F(DesignDump, PartLinesEndWithTheLineEndAndSectionsWithAFlush) {
  d.levelLE = true;
  d.addCompChar("cc");
  supp.dumpDesign("T ", 0);
  const auto& prints = log().prints;
  ASSERT_GE(prints.size(), 11u);
  EXPECT_EQ(std::vector<std::string>(prints.begin(), prints.begin() + 11),
            (std::vector<std::string>{"T ", "Design:  ", "empty", "\tFamily:  ", "family",
                                      "\tDevice:  ", "device", "\tPackage: ", "NA",
                                      "\tSpeed:   ", "NA"}));
  std::vector<std::string> names;
  std::vector<std::size_t> after;
  for (const auto& m : log().manips) {
    names.push_back(m.name);
    after.push_back(m.afterPrints);
  }
  EXPECT_EQ(names,
            (std::vector<std::string>{"endl", "endl", "endl", "endl", "endl", "flush", "flush"}));
  EXPECT_EQ(std::vector<std::size_t>(after.begin(), after.begin() + 5),
            (std::vector<std::size_t>{3, 5, 7, 9, 11}));
  EXPECT_EQ(after[6], prints.size());
  EXPECT_NE(text().find("The pack level = LE\n"), std::string::npos);
  const std::string tail = "[End]\n\n[Dump 1 comp characteristics]\n\tCompChar=0   : cc\n[End]\n";
  EXPECT_EQ(text().substr(text().size() - tail.size()), tail);
}

TEST_F(DesignDump, PackageAndSpeedTexts) {
  auto partLines = [&] {
    take();
    supp.dumpDesign(nullptr, 0);
    const std::string out = text();
    const std::size_t from = out.find("\tPackage: ");
    return out.substr(from, out.find("\n\n") + 1 - from);
  };
  d.device.part.package = std::make_unique<UT_STROBJ>(nullptr);
  d.device.part.speed = std::make_unique<UT_STROBJ>("6");
  EXPECT_EQ(partLines(), "\tPackage: NA\n\tSpeed:   6\n");
  d.device.part.package = std::make_unique<UT_STROBJ>("BGA");
  d.device.part.speed = std::make_unique<UT_STROBJ>(nullptr);
  EXPECT_EQ(partLines(), "\tPackage: BGA\n\tSpeed:   NA\n");
}

TEST_F(DesignDump, UsageAlone) {
  supp.dumpUsage(nullptr);
  supp.dumpUsage("U:");
  EXPECT_EQ(text(), "usage report\nU:usage report\n");
}

}  // namespace
