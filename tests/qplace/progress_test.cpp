// Progress lines: every step with -v, otherwise a heartbeat.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "qplace/progress.h"

namespace {

using qplace::Progress;

TEST(Progress, StepsWithVerboseHeartbeatOtherwise) {
  std::vector<std::string> got;
  auto sink = [&](const std::string& line) { got.push_back(line); };

  Progress none;  // no sink: nothing happens
  EXPECT_FALSE(none.due());
  none.step("x");

  Progress verbose(sink, true, 1e9);
  verbose.step("s1");
  verbose.pulse("p1");  // pulses wait for the heartbeat even with -v
  Progress quiet(sink, false, 1e9);
  quiet.step("s");
  quiet.pulse("p");
  EXPECT_EQ(got, (std::vector<std::string>{"s1"}));

  got.clear();
  Progress always(sink, false, 0);
  always.step("s");
  always.pulse("p");
  EXPECT_EQ(got, (std::vector<std::string>{"s", "p"}));

  got.clear();
  Progress beat(sink, false, 0.5);
  beat.pulse("too soon");
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  EXPECT_TRUE(beat.due());
  beat.pulse("alive");
  beat.step("too soon again");  // the line just printed restarts the heartbeat
  EXPECT_EQ(got, (std::vector<std::string>{"alive"}));
}

}  // namespace
