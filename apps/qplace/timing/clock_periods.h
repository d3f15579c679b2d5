// The clock periods that timing checks against. A clock without a period
// of its own is timed at the period it can reach (its critical path), and
// so are the I/O paths without one.
//
// Constraints file, one setting a line, `#` starting a comment, periods in
// nanoseconds:
//
//   clock clk 10        # the clock net named clk
//   clock * 12.5        # every clock not named on a line of its own
//   ports 20            # the paths that start or end at a port
//
// On the command line a period is "<ns>" for every clock or
// "<clock>=<ns>" for one.
#ifndef QPLACE_TIMING_CLOCK_PERIODS_H
#define QPLACE_TIMING_CLOCK_PERIODS_H

#include <map>
#include <string>

namespace qplace {

struct ClockPeriods {
  std::map<std::string, double> byClock;  // clock net name -> ns
  double everyClock = 0;                  // clocks not in byClock; 0 for none
  double ports = 0;                       // I/O paths; 0 for none

  // The period of a clock net in nanoseconds, 0 when it has none.
  double of(const std::string& clock) const;
};

// Reads the constraints file format; `source` names the text in messages.
// On a fault returns false with "<source>:<line>: <reason>" in `error` (an
// unknown keyword, a missing or extra word, a period that is no positive
// finite number, a clock or the ports given twice) and `periods` unchanged.
bool readClockPeriods(const std::string& text, const std::string& source, ClockPeriods& periods,
                      std::string& error);
bool loadClockPeriods(const std::string& path, ClockPeriods& periods, std::string& error);

// Adds one command-line period, "<ns>" or "<clock>=<ns>"; false with the
// reason in `error` for anything else.
bool addPeriodOption(const std::string& value, ClockPeriods& periods, std::string& error);

}  // namespace qplace

#endif
