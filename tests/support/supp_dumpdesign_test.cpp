// Design summary: an empty design in full, the part's missing texts, and
// the line ends and flushes.
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

TEST_F(DesignDump, EmptyDesignInFullWhateverTheMode) {
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
  supp.dumpDesign(nullptr, -3);
  EXPECT_EQ(take(), expected);
  supp.dumpUsage(nullptr);
  EXPECT_EQ(text(), "usage report\n");
}

TEST_F(DesignDump, PartLinesEndWithTheLineEndAndSectionsWithAFlush) {
  d.addCompChar("cc");
  d.device.part.package = std::make_unique<UT_STROBJ>(nullptr);  // no text
  d.device.part.speed = std::make_unique<UT_STROBJ>("6");
  supp.dumpDesign("T ", 0);
  const auto& prints = log().prints;
  ASSERT_GE(prints.size(), 11u);
  EXPECT_EQ(
      std::vector<std::string>(prints.begin(), prints.begin() + 11),
      (std::vector<std::string>{"T ", "Design:  ", "empty", "\tFamily:  ", "family",
                                "\tDevice:  ", "device", "\tPackage: ", "NA", "\tSpeed:   ", "6"}));
  std::vector<std::string> manips;
  for (const auto& m : log().manips) manips.push_back(m.name + std::to_string(m.afterPrints));
  const std::string atEnd = "flush" + std::to_string(prints.size());
  EXPECT_EQ(manips.size(), 7u);
  EXPECT_EQ(std::vector<std::string>(manips.begin(), manips.begin() + 5),
            (std::vector<std::string>{"endl3", "endl5", "endl7", "endl9", "endl11"}));
  EXPECT_EQ(manips[5].substr(0, 5), "flush");
  EXPECT_EQ(manips.back(), atEnd);
  const std::string tail = "[End]\n\n[Dump 1 comp characteristics]\n\tCompChar=0   : cc\n[End]\n";
  EXPECT_EQ(text().substr(text().size() - tail.size()), tail);
}

}  // namespace
