// The named timers: enabling, waking and sleeping on a driven clock, the
// statistics line in each format, and a load that runs out of memory.
#include <stats/basaptst.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "allocfail.h"
#include "host/standin/standin_util.h"
#include "host/ututil.h"

namespace {

using Pieces = std::vector<std::string>;

// Drives the stand-in clock and captures the message manager for each test.
class TimersTest : public ::testing::Test {
protected:
  TimersTest() {
    standin::messages().capture();
    at(0.0);
  }
  ~TimersTest() override {
    standin::messages().release();
    standin::releaseClock();
    standin::releasePeakMemory();
    unsetenv("ZOR_SHOW_INTERNAL_ERROR");
  }
  // Sets both processor and real time to t seconds.
  static void at(double t) { standin::driveClock(t, t); }
  // The pieces printed by `print` alone.
  static Pieces printed(AP_TST& tst, int which, int format, const char* label) {
    standin::messages().capture();
    tst.print(which, format, label, false);
    return standin::messages().prints;
  }

  // Runs timer id awake over each [from, to) interval.
  static void run(AP_TST& tst, int id, std::initializer_list<std::pair<double, double>> spans) {
    for (const auto& span : spans) {
      at(span.first);
      tst.wake(id);
      at(span.second);
      tst.sleep(id);
    }
  }

  const char* names[3] = {"qp_solve", "qp_gl_spread", "c_three"};
  AP_TST tst;
};

// Totals 1.234 and 5.6 seconds after 3 and 1 calls, both asleep.
TEST_F(TimersTest, EachFormatOfTheStatisticsLine) {
  tst.load(nullptr, 2, names);
  tst.enableAll(true);
  run(tst, 0, {{0.0, 1.0}, {2.0, 2.2}, {3.0, 3.034}});
  run(tst, 1, {{10.0, 15.6}});
  const struct {
    int which, format;
    const char* label;
    Pieces expected;
  } cases[] = {
      {-10, 3, "stats", {"stats", "solve=1.23 ", "gl_spread=5.60 ", "\n"}},
      {-10, 3, nullptr, {"qp_solve=1.23 ", "gl_spread=5.60 ", "\n"}},
      {-10, 4, nullptr, {"qp_solve=1 ", "gl_spread=6 ", "\n"}},
      {0, 1, nullptr, {"qp_solve(calls=3) duration=1 seconds ", "\n"}},
      {-10, 0, nullptr, {"qp_solve duration=1 seconds", "qp_gl_spread duration=5 seconds", "\n"}},
      {-10, 2, "phase", {"phase(calls=3) duration=1.23 seconds ", "phase(calls=1) duration=5.60 seconds ", "\n"}},
      {1, 3, nullptr, {"qp_gl_spread=5.60 ", "\n"}},  // a selected single timer counts as the first
      {2, 3, "stats", {"\n"}},
      {-1, 3, "stats", {"\n"}},
  };
  for (const auto& c : cases) EXPECT_EQ(printed(tst, c.which, c.format, c.label), c.expected) << c.format;

  // An unsupported format is a fatal error per timer printed, its detail
  // shown only when the environment asks for it.
  EXPECT_EQ(printed(tst, -10, 5, nullptr), (Pieces{"\n"}));
  auto& fatals = standin::messages().fatals;
  ASSERT_EQ(fatals.size(), 2u);
  EXPECT_EQ(fatals[0].source, "basaptst");
  EXPECT_TRUE(standin::messages().errors.empty());
  setenv("ZOR_SHOW_INTERNAL_ERROR", "1", 1);
  printed(tst, 1, -1, nullptr);
  EXPECT_EQ(standin::messages().errors, (std::vector<std::string>{"format is not supported"}));

  // Timers not woken since they were enabled are left out.
  tst.enable(0);
  EXPECT_EQ(printed(tst, -10, 3, nullptr), (Pieces{"qp_gl_spread=5.60 ", "\n"}));
  standin::messages().capture();
  standin::setPeakMemory(1536000000ull);
  tst.print(7, 3, nullptr, true);
  EXPECT_EQ(standin::messages().text(), "\n peak-memory=1536.0 M\n");
}

// The host's clock can read anything; whole-second formats of totals that
// no int holds print the nearest int, and 0 for NaN.
TEST_F(TimersTest, WholeSecondsOfTotalsBeyondTheIntRange) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const char* one[] = {"qp_total"};
  const std::pair<double, std::string> cases[] = {{3e9, "2147483647"},     {2147483647.9, "2147483647"},
                                                  {-2147483648.9, "-2147483648"}, {-1e300, "-2147483648"},
                                                  {inf, "2147483647"},      {nan, "0"}};
  for (const auto& [to, seconds] : cases) {
    AP_TST t;
    t.load(nullptr, 1, one);
    t.enableAll(true);
    run(t, 0, {{0.0, to}});
    EXPECT_EQ(printed(t, 0, 0, "x"), (Pieces{"x duration=" + seconds + " seconds", "\n"})) << to;
    EXPECT_EQ(printed(t, 0, 4, nullptr), (Pieces{"qp_total=" + seconds + " ", "\n"})) << to;
    EXPECT_EQ(printed(t, 0, 1, "x"), (Pieces{"x(calls=1) duration=" + seconds + " seconds ", "\n"})) << to;
  }
}

TEST_F(TimersTest, EnablingWakingAndSleeping) {
  // Before load nothing happens and the clock reads 0.
  at(4.0);
  EXPECT_EQ(tst.wake(0), 0.0);
  EXPECT_EQ(tst.getCurTime(), 0.0);
  EXPECT_EQ(printed(tst, -10, 3, "x"), (Pieces{"\n"}));

  tst.load(nullptr, 2, names);
  EXPECT_EQ(tst.getCurTime(), 4.0);
  EXPECT_EQ(tst.wake(0), 0.0);  // disabled until enabled
  EXPECT_FALSE(tst.iswake(0));
  tst.enable(0);
  EXPECT_EQ(tst.wake(0), 4.0);
  EXPECT_TRUE(tst.iswake(0));
  at(5.0);
  EXPECT_EQ(tst.wake(0), 5.0);  // a second wake only reads the time
  at(6.5);
  EXPECT_EQ(tst.sleep(0), 6.5);
  EXPECT_EQ(tst.report(0), 2.5);  // from the first wake
  EXPECT_EQ(printed(tst, 0, 1, nullptr), (Pieces{"qp_solve(calls=1) duration=2 seconds ", "\n"}));
  EXPECT_EQ(tst.sleep(0), 0.0);  // asleep with no pending start: the clock is not read

  // Disabling keeps the total but hides it; enabling shows it again at the
  // next wake; start re-enables: the count restarts, the total carries on.
  tst.disable(0);
  EXPECT_EQ(tst.report(0), 0.0);
  EXPECT_EQ(tst.wake(0), 0.0);
  tst.enable(0);
  EXPECT_EQ(tst.report(0), 0.0);
  at(7.0);
  tst.wake(0);
  EXPECT_EQ(tst.report(0), 2.5);
  at(8.0);
  tst.sleep(0);
  at(10.0);
  EXPECT_EQ(tst.start(0), 10.0);
  at(11.0);
  tst.sleep(0);
  EXPECT_EQ(tst.report(0), 4.5);

  // (Ids outside the timers: the fuzz target's model.)
  // Real or processor time.
  standin::driveClock(100.0, 2.0);
  EXPECT_EQ(tst.getCurTime(), 2.0);
  tst.useRealTime(true);
  EXPECT_EQ(tst.getCurTime(), 100.0);
}

TEST_F(TimersTest, PrintCheckpointsARunningTimerWhichRunsOnWithItsCallCount) {
  tst.load(nullptr, 2, names);
  tst.enableAll(true);
  at(1.0);
  tst.wake(1);
  at(3.0);
  EXPECT_EQ(printed(tst, -10, 1, nullptr), (Pieces{"qp_gl_spread(calls=1) duration=2 seconds ", "\n"}));
  EXPECT_TRUE(tst.iswake(1));
  EXPECT_EQ(tst.report(1), 2.0);
  at(7.0);
  tst.sleep(1);
  EXPECT_EQ(printed(tst, 1, 2, nullptr), (Pieces{"qp_gl_spread(calls=1) duration=6.00 seconds ", "\n"}));
}

TEST_F(TimersTest, ASecondLoadStartsOverAndAFailedOneLeavesTheTimersAsTheyWere) {
  tst.load(nullptr, 2, names);
  tst.start(0);
  at(2.0);
  tst.sleep(0);
  tst.start(1);
  {
    allocfail::Failing failing(1);  // the new clock cannot be made
    EXPECT_THROW(tst.load(nullptr, 3, names), std::bad_alloc);
  }
  at(5.0);
  EXPECT_EQ(tst.getCurTime(), 5.0);
  EXPECT_EQ(tst.report(0), 2.0);
  EXPECT_TRUE(tst.iswake(1));
  EXPECT_EQ(tst.sleep(1), 5.0);
  EXPECT_EQ(printed(tst, -10, 3, nullptr), (Pieces{"qp_solve=2.00 ", "gl_spread=3.00 ", "\n"}));

  tst.load(nullptr, 3, names);
  EXPECT_EQ(tst.report(0), 0.0);
  EXPECT_EQ(tst.wake(2), 0.0);  // disabled again
  tst.start(2);
  at(6.0);
  tst.sleep(2);
  EXPECT_EQ(printed(tst, -10, 3, nullptr), (Pieces{"c_three=1.00 ", "\n"}));
  tst.load(nullptr, -4, nullptr);  // a negative count loads no timer
  EXPECT_EQ(tst.start(0), 0.0);
}

TEST(Timers, ACallersClockIsReadAndNotOwned) {
  UT_TIMER clock;
  {
    AP_TST tst;
    const char* name = "t";
    tst.load(&clock, 1, &name);
    EXPECT_GE(tst.getCurTime(), 0.0);
  }
  EXPECT_GE(clock.get_delta_cpu(), 0.0);  // still usable after the timers are gone
}

}  // namespace
