// Progress lines: every step, or a heartbeat.
#include "qplace/progress.h"

#include <utility>

namespace qplace {

Progress::Progress(Sink sink, bool everyStep, double heartbeat)
    : sink_(std::move(sink)), everyStep_(everyStep), heartbeat_(heartbeat) {}

bool Progress::due() const { return sink_ && (everyStep_ || pulseDue()); }

bool Progress::pulseDue() const {
  return sink_ && std::chrono::duration<double>(Clock::now() - last_).count() >= heartbeat_;
}

void Progress::step(const std::string& line) {
  if (!due()) return;
  sink_(line);
  printed();
}

void Progress::pulse(const std::string& line) {
  if (!pulseDue()) return;
  sink_(line);
  printed();
}

void Progress::printed() { last_ = Clock::now(); }

}  // namespace qplace
