// Progress lines: every step with -v, otherwise a heartbeat; and the
// placer's lines reach the message manager flushed one by one.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "qplace/netlist_reader.h"
#include "qplace/placer.h"
#include "qplace/progress.h"
#include "host/standin/standin_util.h"

namespace {

using qplace::Progress;

TEST(Progress, StepsWithVerboseHeartbeatOtherwise) {
  std::vector<std::string> got;
  auto sink = [&](const std::string& line) { got.push_back(line); };

  Progress none;
  EXPECT_FALSE(none.due());
  none.step("x");  // no sink: nothing happens

  Progress verbose(sink, true, 1e9);
  verbose.step("s1");
  verbose.pulse("p1");  // pulses wait for the heartbeat even with -v
  verbose.step("s2");
  EXPECT_EQ(got, (std::vector<std::string>{"s1", "s2"}));

  got.clear();
  Progress quiet(sink, false, 1e9);
  EXPECT_FALSE(quiet.due());
  quiet.step("s");
  quiet.pulse("p");
  EXPECT_TRUE(got.empty());

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

// The lines of one placement of picorv32, captured, and whether each was
// followed by std::endl.
struct Log {
  std::vector<std::string> lines;
  std::vector<bool> flushed;
  bool has(const std::string& prefix) const {
    for (const std::string& l : lines)
      if (l.rfind(prefix, 0) == 0) return true;
    return false;
  }
};

Log placeAndLog(int verbosity) {
  standin::Design d;
  qplace::readNetlistFile(QPLACE_PICORV32, d);
  qplace::PlacerOptions opt;
  opt.verbosity = verbosity;
  opt.heartbeat = 1e9;  // however slow the build (sanitizers), no heartbeat
  opt.baseline = false;
  opt.detail.annealMoves = 20;
  qplace::QuadraticPlacer placer(d, opt);
  standin::messages().capture();
  const bool ok = placer.apMain();
  Log log;
  log.lines = standin::messages().prints;
  log.flushed.assign(log.lines.size(), false);
  for (const auto& m : standin::messages().manips)
    if (m.name == "endl" && m.afterPrints > 0) log.flushed[m.afterPrints - 1] = true;
  standin::messages().release();
  EXPECT_TRUE(ok);
  return log;
}

TEST(Progress, PlacerLinesAreFlushedAndStepsShownWithVerbose) {
  const Log normal = placeAndLog(1);
  int phases = 0;
  for (std::size_t i = 0; i < normal.lines.size(); ++i) {
    for (const char* phase : {"pack ", "global ", "legalize ", "detail ", "check ", "wirelength:"}) {
      if (normal.lines[i].rfind(phase, 0) != 0) continue;
      ++phases;
      EXPECT_TRUE(normal.flushed[i]) << normal.lines[i];
    }
  }
  EXPECT_EQ(phases, 6);
  // Without -v steps show only on the heartbeat; with it every step shows.
  EXPECT_FALSE(normal.has("  spreading "));
  const Log verbose = placeAndLog(2);
  EXPECT_TRUE(verbose.has("  spreading 1: "));
  EXPECT_TRUE(verbose.has("  improvement pass 1: "));
}

}  // namespace
