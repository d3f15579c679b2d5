// Annealing schedule: temperatures from the losses met, range from the
// acceptance.
#include "qplace/anneal_schedule.h"

#include <algorithm>
#include <cmath>

namespace qplace {

std::int64_t LossCounts::total() const {
  std::int64_t n = 0;
  for (std::int64_t c : count) n += c;
  return n;
}

double LossCounts::acceptance(double t) const {
  double sum = 0;
  std::int64_t n = 0;
  for (int d = 0; d < kSizes; ++d) {
    if (count[d] == 0) continue;
    n += count[d];
    if (t > 0) sum += static_cast<double>(count[d]) * std::exp(-d / t);
  }
  return n > 0 ? sum / static_cast<double>(n) : 0;
}

double LossCounts::temperatureFor(double share) const {
  if (total() == 0) return 0;
  // Bisection on the logarithm: the acceptance grows with the temperature.
  double lo = std::log(1e-3), hi = std::log(1e6);
  if (acceptance(std::exp(lo)) >= share) return std::exp(lo);
  while (hi - lo > 1e-6) {
    const double mid = (lo + hi) / 2;
    if (acceptance(std::exp(mid)) < share) lo = mid;
    else hi = mid;
  }
  return std::exp((lo + hi) / 2);
}

AnnealSchedule::AnnealSchedule(const LossCounts& sample, int rounds, double first, double last,
                               double startRange, double maxRange)
    : rounds_(rounds),
      first_(first),
      last_(last),
      maxRange_(std::max(1.0, maxRange)),
      range_(std::clamp(startRange, 1.0, maxRange_)) {
  // With no loss met the temperature does not matter: every attempt met
  // gains or costs nothing.
  t_ = sample.temperatureFor(targetShare());
}

double AnnealSchedule::targetShare() const {
  if (rounds_ <= 1) return first_;
  return first_ * std::pow(last_ / first_, static_cast<double>(round_) / (rounds_ - 1));
}

int AnnealSchedule::range() const { return std::max(1, static_cast<int>(std::lround(range_))); }

void AnnealSchedule::next(long attempts, long accepted, const LossCounts& losses) {
  ++round_;
  if (attempts > 0) {
    const double rate = static_cast<double>(accepted) / static_cast<double>(attempts);
    range_ = std::clamp(range_ * (1 - 0.44 + rate), 1.0, maxRange_);
  }
  if (losses.total() > 0 && !done()) t_ = losses.temperatureFor(targetShare());
}

}  // namespace qplace
