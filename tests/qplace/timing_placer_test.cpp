// The placer's timing: the critical path on the phase lines and the
// report after the check, or none of it when timing is off.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "qplace/placer.h"
#include "host/standin/standin_util.h"

namespace {

std::vector<std::string> placeGenerated(bool timing, qplace::PlacerFigures& fig) {
  standin::Design d;
  designgen::Params gp;
  gp.components = 800;
  gp.place = false;
  designgen::generate(d, gp);
  // The generated design brings its own device; the placer makes its own.
  qplace::PlacerOptions opt;
  opt.timing = timing;
  opt.baseline = false;
  opt.routeSignals = 0;
  opt.heartbeat = 1e9;
  opt.effort = 0.2;
  qplace::QuadraticPlacer placer(d, opt);
  standin::messages().capture();
  const bool ok = placer.apMain();
  std::vector<std::string> lines = standin::messages().prints;
  standin::messages().release();
  EXPECT_TRUE(ok) << placer.figures().error;
  fig = placer.figures();
  return lines;
}

bool has(const std::vector<std::string>& lines, const std::string& prefix, const std::string& inside = "") {
  for (const std::string& l : lines)
    if (l.rfind(prefix, 0) == 0 && l.find(inside) != std::string::npos) return true;
  return false;
}

TEST(PlacerTiming, PhaseLinesAndReport) {
  qplace::PlacerFigures fig;
  const std::vector<std::string> on = placeGenerated(true, fig);
  for (const char* phase : {"global ", "legalize ", "detail "}) EXPECT_TRUE(has(on, phase, ", critical path ")) << phase;
  EXPECT_TRUE(has(on, "timing ", " domains, "));
  EXPECT_TRUE(has(on, "critical path: ", "\n  clock clk0, rising edge: "));
  EXPECT_TRUE(has(on, "critical path: ", "\nslack histogram, "));
  for (double ns : fig.criticalNs) EXPECT_GT(ns, 0);
  EXPECT_GT(fig.fmaxMhz, 0);

  const std::vector<std::string> off = placeGenerated(false, fig);
  EXPECT_FALSE(has(off, "timing "));
  EXPECT_FALSE(has(off, "detail ", "critical path"));
  EXPECT_EQ(fig.criticalNs[2], 0);
}

}  // namespace
