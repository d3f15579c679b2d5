// Progress lines of the placer's long phases.
//
// A phase reports each of its steps (a solve, a spreading iteration, an
// improvement pass) with step(), and the slices of a long loop within a
// step with pulse(). Every step is printed when the caller asked for all of
// them; otherwise a step, like a pulse, is printed only when `heartbeat`
// seconds of real time have passed since the last line printed, so that a
// long phase on a big design shows it is alive while a short run prints no
// step at all. Lines go to the sink as they come (the placer's sink ends
// each with a flush).
#ifndef QPLACE_PROGRESS_H
#define QPLACE_PROGRESS_H

#include <chrono>
#include <functional>
#include <string>

namespace qplace {

class Progress {
public:
  using Sink = std::function<void(const std::string&)>;

  Progress() = default;  // prints nothing
  Progress(Sink sink, bool everyStep, double heartbeat);

  // Whether a step, or a pulse, reported now would be printed: lets a
  // caller skip building a line that nobody sees. O(1).
  bool due() const;
  bool pulseDue() const;
  // Print the line when due(), or pulseDue().
  void step(const std::string& line);
  void pulse(const std::string& line);
  // Restarts the heartbeat: the placer calls it after a line of its own.
  void printed();

private:
  using Clock = std::chrono::steady_clock;
  Sink sink_;
  bool everyStep_ = false;
  double heartbeat_ = 0;
  Clock::time_point last_ = Clock::now();
};

}  // namespace qplace

#endif
