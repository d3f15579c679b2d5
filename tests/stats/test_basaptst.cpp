#include <stats/basaptst.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "allocfail.h"
#include "host/standin/standin_util.h"
#include "host/ututil.h"

namespace {

using Pieces = std::vector<std::string>;

// Drives the stand-in clock and captures the message manager for each test.
class TimersTest : public ::testing::Test {
protected:
  void SetUp() override {
    standin::messages().capture();
    at(0.0);
  }
  void TearDown() override {
    standin::messages().release();
    standin::releaseClock();
    standin::releasePeakMemory();
    unsetenv("ZOR_SHOW_INTERNAL_ERROR");
  }
  // Sets both processor and real time to t seconds.
  static void at(double t) { standin::driveClock(t, t); }
  static Pieces pieces() { return standin::messages().prints; }
  static void clearOutput() { standin::messages().capture(); }

  // Runs timer id awake over each [from, to) interval.
  void run(AP_TST& tst, int id, std::initializer_list<std::pair<double, double>> spans) {
    for (const auto& span : spans) {
      at(span.first);
      tst.wake(id);
      at(span.second);
      tst.sleep(id);
    }
  }

  const char* names[2] = {"qp_solve", "qp_spread"};
};

// The two timers of the worked example: totals 1.234 and 5.6 seconds after
// 3 and 1 calls, both asleep.
class ExampleTest : public TimersTest {
protected:
  void SetUp() override {
    TimersTest::SetUp();
    tst.load(nullptr, 2, names);
    tst.enableAll(true);
    run(tst, 0, {{0.0, 1.0}, {2.0, 2.2}, {3.0, 3.034}});
    run(tst, 1, {{10.0, 15.6}});
    clearOutput();
  }
  AP_TST tst;
};

TEST_F(ExampleTest, ShortNamesWithLabel) {
  tst.print(-10, 3, "stats", false);
  EXPECT_EQ(pieces(), (Pieces{"stats", "solve=1.23 ", "spread=5.60 ", "\n"}));
}

TEST_F(ExampleTest, ShortNamesWithoutLabelNameTheFirstTimerInFull) {
  tst.print(-10, 3, nullptr, false);
  EXPECT_EQ(pieces(), (Pieces{"qp_solve=1.23 ", "spread=5.60 ", "\n"}));
  clearOutput();
  tst.print(-10, 4, nullptr, false);
  EXPECT_EQ(pieces(), (Pieces{"qp_solve=1 ", "spread=6 ", "\n"}));
}

TEST_F(ExampleTest, OneTimerWithCalls) {
  tst.print(0, 1, nullptr, false);
  EXPECT_EQ(pieces(), (Pieces{"qp_solve(calls=3) duration=1 seconds ", "\n"}));
}

TEST_F(ExampleTest, LongFormatsUseTheLabelForEveryTimer) {
  tst.print(-10, 0, nullptr, false);
  EXPECT_EQ(pieces(), (Pieces{"qp_solve duration=1 seconds", "qp_spread duration=5 seconds", "\n"}));
  clearOutput();
  tst.print(-10, 2, "phase", false);
  EXPECT_EQ(pieces(), (Pieces{"phase(calls=3) duration=1.23 seconds ",
                              "phase(calls=1) duration=5.60 seconds ", "\n"}));
  clearOutput();
  // A selected single timer counts as the first one printed.
  tst.print(1, 3, nullptr, false);
  EXPECT_EQ(pieces(), (Pieces{"qp_spread=5.60 ", "\n"}));
}

TEST_F(ExampleTest, OnlyTheLineBreakWhenNothingIsSelected) {
  for (int which : {2, -1, 7, -11}) {
    clearOutput();
    tst.print(which, 3, "stats", false);
    EXPECT_EQ(pieces(), (Pieces{"\n"})) << which;
  }
  // Timers not woken since they were enabled are left out as well.
  tst.enable(0);
  clearOutput();
  tst.print(-10, 3, nullptr, false);
  EXPECT_EQ(pieces(), (Pieces{"qp_spread=5.60 ", "\n"}));
}

TEST_F(ExampleTest, PeakMemoryLine) {
  standin::setPeakMemory(1536000000ull);
  tst.print(7, 3, nullptr, true);
  EXPECT_EQ(standin::messages().text(), "\n peak-memory=1536.0 M\n");
}

TEST_F(ExampleTest, UnsupportedFormatIsAFatalErrorPerTimer) {
  tst.print(-10, 5, nullptr, false);
  EXPECT_EQ(pieces(), (Pieces{"\n"}));
  auto& fatals = standin::messages().fatals;
  ASSERT_EQ(fatals.size(), 2u);
  EXPECT_EQ(fatals[0].text, "A fatal error occurred. The process will now exit.");
  EXPECT_EQ(fatals[0].source, "basaptst");
  EXPECT_EQ(fatals[0].version, "1.0");
  EXPECT_FALSE(fatals[0].tag.empty());
  EXPECT_GT(fatals[0].line, 0);
  EXPECT_EQ(fatals[0].flag, 0);
  // The detail is shown only when the environment asks for it.
  EXPECT_TRUE(standin::messages().errors.empty());

  setenv("ZOR_SHOW_INTERNAL_ERROR", "1", 1);
  clearOutput();
  tst.print(0, -1, nullptr, false);
  EXPECT_EQ(standin::messages().errors, (std::vector<std::string>{"format is not supported"}));
  EXPECT_EQ(standin::messages().fatals.size(), 1u);
}

// The host's clock can read anything; whole-second formats of totals that
// no int holds print the nearest int, and 0 for NaN.
TEST_F(TimersTest, WholeSecondsOfTotalsBeyondTheIntRange) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const char* one[] = {"qp_total"};
  struct Case {
    double to;
    const char* format0;
    const char* format4;
  } cases[] = {{3e9, "x duration=2147483647 seconds", "qp_total=2147483647 "},
               {2147483647.9, "x duration=2147483647 seconds", "qp_total=2147483647 "},
               {2147483647.4, "x duration=2147483647 seconds", "qp_total=2147483647 "},
               {-2147483648.9, "x duration=-2147483648 seconds", "qp_total=-2147483648 "},
               {-1e300, "x duration=-2147483648 seconds", "qp_total=-2147483648 "},
               {inf, "x duration=2147483647 seconds", "qp_total=2147483647 "},
               {nan, "x duration=0 seconds", "qp_total=0 "}};
  for (const Case& c : cases) {
    AP_TST tst;
    tst.load(nullptr, 1, one);
    tst.enableAll(true);
    run(tst, 0, {{0.0, c.to}});
    clearOutput();
    tst.print(0, 0, "x", false);
    tst.print(0, 4, nullptr, false);
    tst.print(0, 1, "x", false);
    const std::string calls = std::string(c.format0).replace(1, 0, "(calls=1)") + " ";
    EXPECT_EQ(pieces(), (Pieces{c.format0, "\n", c.format4, "\n", calls, "\n"})) << c.to;
  }
}

TEST_F(TimersTest, TimersAreDisabledUntilEnabled) {
  AP_TST tst;
  // Before load nothing happens and the clock reads 0.
  at(4.0);
  EXPECT_EQ(tst.wake(0), 0.0);
  EXPECT_EQ(tst.getCurTime(), 0.0);
  EXPECT_FALSE(tst.iswake(0));
  tst.print(-10, 3, "x", false);
  EXPECT_EQ(pieces(), (Pieces{"\n"}));

  tst.load(nullptr, 2, names);
  EXPECT_EQ(tst.getCurTime(), 4.0);
  EXPECT_EQ(tst.wake(0), 0.0);
  EXPECT_FALSE(tst.iswake(0));
  EXPECT_EQ(tst.report(0), 0.0);

  tst.enable(0);
  EXPECT_EQ(tst.wake(0), 4.0);
  EXPECT_TRUE(tst.iswake(0));
  at(6.5);
  EXPECT_EQ(tst.sleep(0), 6.5);
  EXPECT_EQ(tst.report(0), 2.5);

  // Disabling keeps the total but hides it; wake and sleep do nothing.
  tst.disable(0);
  EXPECT_EQ(tst.report(0), 0.0);
  EXPECT_EQ(tst.wake(0), 0.0);
  EXPECT_FALSE(tst.iswake(0));
}

TEST_F(TimersTest, WakeTwiceCountsOneCall) {
  AP_TST tst;
  tst.load(nullptr, 1, names);
  tst.enable(0);
  at(1.0);
  EXPECT_EQ(tst.wake(0), 1.0);
  at(2.0);
  EXPECT_EQ(tst.wake(0), 2.0);  // only reads the time
  at(5.0);
  EXPECT_EQ(tst.sleep(0), 5.0);
  EXPECT_EQ(tst.report(0), 4.0);  // from the first wake
  tst.print(0, 1, nullptr, false);
  EXPECT_EQ(pieces(), (Pieces{"qp_solve(calls=1) duration=4 seconds ", "\n"}));

  // Asleep with no pending start: 0.0, the clock is not read.
  EXPECT_EQ(tst.sleep(0), 0.0);
}

TEST_F(TimersTest, ReenabledTotalReappearsAtTheNextWake) {
  AP_TST tst;
  tst.load(nullptr, 1, names);
  EXPECT_EQ(tst.start(0), 0.0);
  at(3.0);
  tst.sleep(0);
  tst.enable(0);
  EXPECT_EQ(tst.report(0), 0.0);
  at(4.0);
  tst.wake(0);
  EXPECT_EQ(tst.report(0), 3.0);
  at(4.5);
  tst.sleep(0);
  EXPECT_EQ(tst.report(0), 3.5);
  // start re-enables: the count restarts, the total carries on.
  at(10.0);
  EXPECT_EQ(tst.start(0), 10.0);
  at(11.0);
  tst.sleep(0);
  EXPECT_EQ(tst.report(0), 4.5);
}

TEST_F(TimersTest, PrintCheckpointsARunningTimer) {
  AP_TST tst;
  tst.load(nullptr, 2, names);
  tst.enableAll(true);
  at(1.0);
  tst.wake(1);
  at(3.0);
  tst.print(-10, 1, nullptr, false);
  EXPECT_EQ(pieces(), (Pieces{"qp_spread(calls=1) duration=2 seconds ", "\n"}));
  EXPECT_TRUE(tst.iswake(1));
  EXPECT_EQ(tst.report(1), 2.0);
  // It runs on from the moment of printing with its call count unchanged.
  at(7.0);
  tst.sleep(1);
  EXPECT_EQ(tst.report(1), 6.0);
  clearOutput();
  tst.print(1, 2, nullptr, false);
  EXPECT_EQ(pieces(), (Pieces{"qp_spread(calls=1) duration=6.00 seconds ", "\n"}));
}

TEST_F(TimersTest, RealOrProcessorTime) {
  AP_TST tst;
  tst.load(nullptr, 1, names);
  standin::driveClock(100.0, 2.0);
  EXPECT_EQ(tst.getCurTime(), 2.0);
  tst.useRealTime(true);
  EXPECT_EQ(tst.getCurTime(), 100.0);
  EXPECT_EQ(tst.start(0), 100.0);
}

TEST_F(TimersTest, CallerClockIsReadAndNotOwned) {
  standin::releaseClock();
  UT_TIMER clock;
  {
    AP_TST tst;
    tst.load(&clock, 1, names);
    EXPECT_GE(tst.getCurTime(), 0.0);
  }
  // Still usable after the statistics object is gone.
  EXPECT_GE(clock.get_delta_cpu(), 0.0);
}

TEST_F(TimersTest, IdsOutsideTheTimersDoNothing) {
  AP_TST tst;
  tst.load(nullptr, 2, names);
  tst.enableAll(true);
  at(1.0);
  for (int id : {-1, 2, 1000, -10}) {
    tst.enable(id);
    tst.disable(id);
    EXPECT_EQ(tst.start(id), 0.0);
    EXPECT_EQ(tst.wake(id), 0.0);
    EXPECT_EQ(tst.sleep(id), 0.0);
    EXPECT_EQ(tst.report(id), 0.0);
    EXPECT_FALSE(tst.iswake(id));
  }
  // The real timers are untouched.
  EXPECT_EQ(tst.wake(1), 1.0);
  EXPECT_TRUE(tst.iswake(1));
  EXPECT_FALSE(tst.iswake(0));
}

TEST_F(TimersTest, SecondLoadStartsOver) {
  AP_TST tst;
  tst.load(nullptr, 2, names);
  tst.start(0);
  at(2.0);
  tst.sleep(0);
  const char* more[3] = {"a_one", "b_two", "c_three"};
  tst.load(nullptr, 3, more);
  EXPECT_EQ(tst.report(0), 0.0);
  EXPECT_EQ(tst.wake(2), 0.0);  // disabled again
  tst.start(2);
  at(3.0);
  tst.sleep(2);
  tst.print(-10, 3, nullptr, false);
  EXPECT_EQ(pieces(), (Pieces{"c_three=1.00 ", "\n"}));
  // A negative count loads no timer.
  tst.load(nullptr, -4, nullptr);
  EXPECT_EQ(tst.start(0), 0.0);
}

TEST_F(TimersTest, AFailedLoadLeavesTheTimersAsTheyWere) {
  AP_TST tst;
  tst.load(nullptr, 2, names);
  tst.start(0);
  at(2.0);
  tst.sleep(0);
  tst.start(1);
  const char* more[3] = {"a_one", "b_two", "c_three"};
  bool threw = false;
  {
    allocfail::Failing failing(1);  // the new clock cannot be made
    try {
      tst.load(nullptr, 3, more);
    } catch (const std::bad_alloc&) {
      threw = true;
    }
  }
  EXPECT_TRUE(threw);
  // The old clock, timers and names are all still there.
  at(5.0);
  EXPECT_EQ(tst.getCurTime(), 5.0);
  EXPECT_EQ(tst.report(0), 2.0);
  EXPECT_TRUE(tst.iswake(1));
  EXPECT_EQ(tst.sleep(1), 5.0);
  tst.print(-10, 3, nullptr, false);
  EXPECT_EQ(pieces(), (Pieces{"qp_solve=2.00 ", "spread=3.00 ", "\n"}));
}

}  // namespace
