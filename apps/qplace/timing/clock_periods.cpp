// Clock periods from the constraints file and the command line.
#include "qplace/timing/clock_periods.h"

#include "qplace/timing/settings_text.h"

namespace qplace {

double ClockPeriods::of(const std::string& clock) const {
  const auto it = byClock.find(clock);
  return it != byClock.end() ? it->second : everyClock;
}

namespace {

bool positive(const std::string& word, double& ns) {
  return settings_text::parseNumber(word, ns) && ns > 0;
}

}  // namespace

bool readClockPeriods(const std::string& text, const std::string& source, ClockPeriods& periods,
                      std::string& error) {
  ClockPeriods read = periods;
  bool everySeen = false, portsSeen = false;
  std::map<std::string, bool> seen;
  for (const settings_text::Line& line : settings_text::wordLines(text)) {
    auto fail = [&](const std::string& why) {
      error = source + ":" + std::to_string(line.number) + ": " + why;
      return false;
    };
    const std::vector<std::string>& w = line.words;
    const bool clock = w[0] == "clock";
    if (!clock && w[0] != "ports") return fail("unknown setting '" + w[0] + "' (clock or ports)");
    const std::size_t words = clock ? 3 : 2;
    if (w.size() < words) return fail(clock ? "clock needs a clock name and a period" : "ports needs a period");
    if (w.size() > words) return fail("'" + w[words] + "' after the period");
    double ns = 0;
    if (!positive(w[words - 1], ns))
      return fail("'" + w[words - 1] + "' is not a period (a positive number of nanoseconds)");
    if (!clock) {
      if (portsSeen) return fail("ports given twice");
      portsSeen = true;
      read.ports = ns;
    } else if (w[1] == "*") {
      if (everySeen) return fail("clock * given twice");
      everySeen = true;
      read.everyClock = ns;
    } else {
      if (seen[w[1]]) return fail("clock " + w[1] + " given twice");
      seen[w[1]] = true;
      read.byClock[w[1]] = ns;
    }
  }
  periods = read;
  return true;
}

bool loadClockPeriods(const std::string& path, ClockPeriods& periods, std::string& error) {
  std::string text;
  if (!settings_text::readFile(path, text, error)) return false;
  return readClockPeriods(text, path, periods, error);
}

bool addPeriodOption(const std::string& value, ClockPeriods& periods, std::string& error) {
  const std::size_t eq = value.rfind('=');
  const std::string clock = eq == std::string::npos ? "" : value.substr(0, eq);
  const std::string number = eq == std::string::npos ? value : value.substr(eq + 1);
  double ns = 0;
  if ((eq != std::string::npos && clock.empty()) || !positive(number, ns)) {
    error = "a period is <ns> or <clock>=<ns>, a positive number of nanoseconds, not '" + value + "'";
    return false;
  }
  if (clock.empty()) periods.everyClock = ns;
  else periods.byClock[clock] = ns;
  return true;
}

}  // namespace qplace
