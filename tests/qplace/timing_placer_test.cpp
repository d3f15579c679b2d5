// The placer's timing: the critical path on the phase lines and the
// report after the check, or none of it when timing is off; each phase
// line flushed, and the steps that -v shows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "placer_util.h"

namespace {

// The lines a run printed, and whether std::endl followed each.
struct Printed {
  std::vector<std::string> lines;
  std::vector<bool> flushed;
};

Printed placeGenerated(bool timing, int verbosity, qplace::PlacerFigures& fig) {
  standin::Design d;
  generated(d, 800);
  // The generated design brings its own device; the placer makes its own.
  qplace::PlacerOptions opt = quietOptions();
  opt.timing = timing;
  opt.heartbeat = 1e9;
  opt.effort = 0.2;
  opt.verbosity = verbosity;
  qplace::QuadraticPlacer placer(d, opt);
  standin::messages().capture();
  const bool ok = placer.apMain();
  Printed out;
  out.lines = standin::messages().prints;
  out.flushed.assign(out.lines.size(), false);
  for (const auto& m : standin::messages().manips)
    if (m.name == "endl" && m.afterPrints > 0) out.flushed[m.afterPrints - 1] = true;
  standin::messages().release();
  EXPECT_TRUE(ok) << placer.figures().error;
  fig = placer.figures();
  return out;
}

bool has(const Printed& p, const std::string& prefix, const std::string& inside = "") {
  for (const std::string& l : p.lines)
    if (l.rfind(prefix, 0) == 0 && l.find(inside) != std::string::npos) return true;
  return false;
}

TEST(PlacerTiming, PhaseLinesAndReport) {
  qplace::PlacerFigures fig;
  const Printed on = placeGenerated(true, 2, fig);
  for (const char* phase : {"global ", "legalize ", "detail "}) EXPECT_TRUE(has(on, phase, ", critical path ")) << phase;
  EXPECT_TRUE(has(on, "timing ", " domains, "));
  EXPECT_TRUE(has(on, "critical path: ", "\n  clock clk0, rising edge: "));
  EXPECT_TRUE(has(on, "critical path: ", "\nslack histogram, "));
  for (double ns : fig.criticalNs) EXPECT_GT(ns, 0);
  EXPECT_GT(fig.fmaxMhz, 0);
  // -v shows every step; without it only the heartbeat would.
  EXPECT_TRUE(has(on, "  spreading 1: "));
  EXPECT_TRUE(has(on, "  improvement pass 1: "));

  const Printed off = placeGenerated(false, 1, fig);
  EXPECT_FALSE(has(off, "timing "));
  EXPECT_FALSE(has(off, "  spreading "));
  // Each phase line is flushed as it is printed.
  int phases = 0;
  for (std::size_t i = 0; i < off.lines.size(); ++i) {
    for (const char* phase : {"pack ", "global ", "legalize ", "detail ", "check ", "wirelength:"}) {
      if (off.lines[i].rfind(phase, 0) != 0) continue;
      ++phases;
      EXPECT_TRUE(off.flushed[i]) << off.lines[i];
    }
  }
  EXPECT_EQ(phases, 6);
  EXPECT_FALSE(has(off, "detail ", "critical path"));
  EXPECT_EQ(fig.criticalNs[2], 0);
}

}  // namespace
