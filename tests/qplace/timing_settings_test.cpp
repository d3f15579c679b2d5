// The delay figures file and the clock periods: what they set, and the
// faults they refuse with the line at fault.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "qplace/timing/clock_periods.h"
#include "qplace/timing/delay_model.h"
#include "qplace/timing/settings_text.h"

namespace {

using qplace::ClockPeriods;
using qplace::DelayModel;

TEST(DelayFigures, FileSetsWhatItNamesAndKeepsTheRest) {
  DelayModel m;
  std::string error;
  ASSERT_TRUE(qplace::readDelayModel("# speed grade 2\n\n  lut 350   # slower\nwire_long\t260\nclk_to_q 1e2\n", "g.txt",
                                     m, error))
      << error;
  EXPECT_EQ(m.lut, 350);
  EXPECT_EQ(m.wireLong, 260);
  EXPECT_EQ(m.clockToQ, 100);
  EXPECT_EQ(m.setup, DelayModel().setup);
  // Every figure's name reads back what the text says.
  DelayModel other;
  ASSERT_TRUE(qplace::readDelayModel(qplace::delayModelText(m), "t", other, error)) << error;
  EXPECT_EQ(qplace::delayModelText(other), qplace::delayModelText(m));
  // Node delays by cost code; pins and unknown codes are never crossed.
  EXPECT_EQ(m.nodeDelay(12), 260);
  EXPECT_EQ(m.nodeDelay(8), m.switchBox);
  EXPECT_LT(m.nodeDelay(2), 0);
  EXPECT_LT(m.nodeDelay(15), 0);
}

TEST(DelayFigures, FaultsNameTheLineAndChangeNothing) {
  const std::pair<const char*, const char*> cases[] = {
      {"lut 300\nlutt 200\n", "f:2: unknown delay figure 'lutt'"},
      {"# only\n\nsetup\n", "f:3: no value for setup"},
      {"ble 2x\n", "f:1: '2x' is not a number (the value of ble, in picoseconds)"},
      {"ble inf\n", "f:1: 'inf' is not a number (the value of ble, in picoseconds)"},
      {"ble nan\n", "f:1: 'nan' is not a number (the value of ble, in picoseconds)"},
      {"local -1\n", "f:1: local is negative"},
      {"io_in 400 ps\n", "f:1: 'ps' after the value of io_in"},
      {"switch 1\nswitch 2\n", "f:2: switch given twice"},
  };
  for (const auto& [text, message] : cases) {
    DelayModel m;
    std::string error;
    EXPECT_FALSE(qplace::readDelayModel(text, "f", m, error)) << text;
    EXPECT_EQ(error, message);
    EXPECT_EQ(qplace::delayModelText(m), qplace::delayModelText(DelayModel()));
  }
  DelayModel m;
  std::string error;
  EXPECT_FALSE(qplace::loadDelayModel("/nonexistent/delays.txt", m, error));
  EXPECT_EQ(error, "/nonexistent/delays.txt: cannot open the file (No such file or directory)");
}

// The small settings files (delays, clock periods, constraints) are read
// whole by one reader: a folder named by mistake is an error, not an empty
// file, and an editor's byte-order mark is no part of the first word.
TEST(SettingsText, AFolderIsRefusedAndAByteOrderMarkDropped) {
  std::string text, error;
  const std::string folder = testing::TempDir();
  EXPECT_FALSE(qplace::settings_text::readFile(folder, text, error));
  EXPECT_EQ(error, folder + ": cannot read the file (Is a directory)");
  DelayModel m;
  EXPECT_FALSE(qplace::loadDelayModel(folder, m, error));
  EXPECT_EQ(error, folder + ": cannot read the file (Is a directory)");

  const std::string path = testing::TempDir() + "qplace_bom_" + std::to_string(::getpid()) + ".txt";
  {
    std::ofstream out(path, std::ios::binary);
    out << "\xEF\xBB\xBF" "lut 350\r\nclk_to_q 90\n";
  }
  ASSERT_TRUE(qplace::loadDelayModel(path, m, error)) << error;
  EXPECT_EQ(m.lut, 350);
  EXPECT_EQ(m.clockToQ, 90);
  ClockPeriods p;
  {
    std::ofstream out(path, std::ios::binary);
    out << "\xEF\xBB\xBF" "clock clk 8\n";
  }
  ASSERT_TRUE(qplace::loadClockPeriods(path, p, error)) << error;
  EXPECT_EQ(p.of("clk"), 8);
  std::remove(path.c_str());
}

TEST(ClockPeriods, FileAndOptions) {
  ClockPeriods p;
  std::string error;
  ASSERT_TRUE(qplace::readClockPeriods("clock clk 10 # main\nclock * 12.5\nports 20\n", "c.sdc", p, error)) << error;
  EXPECT_EQ(p.of("clk"), 10);
  EXPECT_EQ(p.of("other"), 12.5);
  EXPECT_EQ(p.ports, 20);

  const std::pair<const char*, const char*> cases[] = {
      {"clock clk 10\nperiod clk 5\n", "c:2: unknown setting 'period' (clock or ports)"},
      {"clock clk\n", "c:1: clock needs a clock name and a period"},
      {"ports\n", "c:1: ports needs a period"},
      {"clock clk 0\n", "c:1: '0' is not a period (a positive number of nanoseconds)"},
      {"ports 5 ns\n", "c:1: 'ns' after the period"},
      {"clock a 1\nclock a 2\n", "c:2: clock a given twice"},
      {"clock * 1\nclock * 2\n", "c:2: clock * given twice"},
  };
  for (const auto& [text, message] : cases) {
    ClockPeriods q;
    EXPECT_FALSE(qplace::readClockPeriods(text, "c", q, error)) << text;
    EXPECT_EQ(error, message);
    EXPECT_TRUE(q.byClock.empty());
  }

  ClockPeriods o;
  EXPECT_TRUE(qplace::addPeriodOption("8", o, error));
  EXPECT_TRUE(qplace::addPeriodOption("clk_b=4.5", o, error));
  EXPECT_EQ(o.of("clk_b"), 4.5);
  EXPECT_EQ(o.of("x"), 8);
  for (const char* bad : {"", "=3", "clk=", "clk=-1", "fast"}) {
    EXPECT_FALSE(qplace::addPeriodOption(bad, o, error)) << bad;
    EXPECT_EQ(error.rfind("a period is <ns> or <clock>=<ns>", 0), 0u) << error;
  }
}

}  // namespace
