// The timing settings' small files on any text: the delay figures
// (--delays) and the clock periods (the constraints file's clock and ports
// lines), and each line once more as a --clock value. A refusal must name
// the source and a line of the text and change nothing; a file that reads
// must give figures that are finite and not negative (periods positive),
// a delay model that its own text reads back to, and figures the text
// names, the rest left at what they were.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "qplace/timing/clock_periods.h"
#include "qplace/timing/delay_model.h"
#include "text_input.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

std::vector<double> figures(const qplace::DelayModel& m) {
  return {m.lut,   m.clockToQ, m.setup, m.ble,   m.local,    m.ioIn,     m.ioOut,
          m.outPin, m.inPin,   m.wireH, m.wireV, m.wireLong, m.switchBox};
}

bool samePeriods(const qplace::ClockPeriods& a, const qplace::ClockPeriods& b) {
  return a.byClock == b.byClock && a.everyClock == b.everyClock && a.ports == b.ports;
}

bool goodPeriod(double ns) { return std::isfinite(ns) && ns > 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 4096) return 0;
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> split = fuzz::textLines(text);
  const int lines = static_cast<int>(split.size());
  std::string error;

  // Delay figures, read over a model that is not the default one so that a
  // figure left alone can be told from one set back to its default.
  qplace::DelayModel start;
  start.lut = 281;
  start.wireLong = 0.5;
  qplace::DelayModel m = start;
  if (!qplace::readDelayModel(text, "f", m, error)) {
    check(fuzz::namesALine(error, "f", lines));
    check(figures(m) == figures(start));
  } else {
    for (double v : figures(m)) check(std::isfinite(v) && v >= 0);
    qplace::DelayModel back;
    check(qplace::readDelayModel(qplace::delayModelText(m), "t", back, error));
    check(figures(back) == figures(m));
    // A figure the text never names keeps its value.
    const std::vector<double> was = figures(start), now = figures(m);
    const char* const names[] = {"lut",   "clk_to_q", "setup",  "ble",    "local",     "io_in",  "io_out",
                                 "out_pin", "in_pin", "wire_h", "wire_v", "wire_long", "switch"};
    for (std::size_t k = 0; k < was.size(); ++k)
      if (text.find(names[k]) == std::string::npos) check(now[k] == was[k]);
  }

  // Clock periods, over periods already holding one clock.
  qplace::ClockPeriods p0;
  p0.byClock["clk"] = 4;
  qplace::ClockPeriods p = p0;
  if (!qplace::readClockPeriods(text, "f", p, error)) {
    check(fuzz::namesALine(error, "f", lines));
    check(samePeriods(p, p0));
  } else {
    for (const auto& kv : p.byClock) check(goodPeriod(kv.second));
    check(p.everyClock == p0.everyClock || goodPeriod(p.everyClock));
    check(p.ports == p0.ports || goodPeriod(p.ports));
  }

  // Each line as a --clock value: either it adds one positive period, to
  // the clock before its last '=' or to every clock, or it changes nothing.
  for (const std::string& value : split) {
    if (value.size() > 256) continue;
    qplace::ClockPeriods q = p0;
    if (!qplace::addPeriodOption(value, q, error)) {
      check(!error.empty());
      check(samePeriods(q, p0));
      continue;
    }
    const std::size_t eq = value.rfind('=');
    if (eq == std::string::npos) {
      check(goodPeriod(q.everyClock) && q.byClock == p0.byClock);
    } else {
      const std::string clock = value.substr(0, eq);
      check(!clock.empty() && q.byClock.count(clock) == 1 && goodPeriod(q.byClock[clock]));
      check(q.everyClock == p0.everyClock && q.byClock.size() <= p0.byClock.size() + 1);
    }
  }
  return 0;
}
