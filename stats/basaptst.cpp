#include "stats/basaptst.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "host/basapfatal.h"
#include "host/ututil.h"

namespace {

const int kAllTimers = -10;

// The name of a timer after its first '_', or the whole name without one.
const char* shortName(const char* name) {
  const char* underscore = std::strchr(name, '_');
  return underscore != nullptr ? underscore + 1 : name;
}

void emit(const char* piece) { ut_msgman->print(piece); }

// Seconds as an int for the "%d" formats: truncated toward zero. The clock is
// the host's, so a total can be anything; converting a value outside the int
// range (or NaN) is undefined, so those print as the nearest int (INT_MAX or
// INT_MIN) and NaN as 0.
int wholeSeconds(double seconds) {
  if (std::isnan(seconds)) return 0;
  if (seconds >= 2147483648.0) return INT_MAX;
  if (seconds <= -2147483649.0) return INT_MIN;
  return static_cast<int>(seconds);
}

}  // namespace

AP_TST::AP_TST()
    : timer(nullptr), numTimers(0), names(nullptr), calls(nullptr),
      startTime(nullptr), total(nullptr), useReal(false), awake(nullptr),
      ownsTimer(false) {}

AP_TST::~AP_TST() {
  if (ownsTimer) delete timer;
  std::free(calls);
  std::free(startTime);
}

void AP_TST::load(UT_TIMER* clock, int count, const char* const* timerNames) {
  // The new arrays and clock are made before anything of the old state is
  // given up, so that a failed allocation leaves the object as it was.
  // calloc(0) may give null; one element more keeps "loaded" distinct from
  // "absent".
  const int n = count > 0 ? count : 0;
  const std::size_t size = static_cast<std::size_t>(n);
  int* ints = static_cast<int*>(std::calloc(2 * size + 1, sizeof(int)));
  double* doubles = static_cast<double*>(std::calloc(2 * size + 1, sizeof(double)));
  UT_TIMER* made = nullptr;
  try {
    if (ints == nullptr || doubles == nullptr) throw std::bad_alloc();
    if (clock == nullptr) made = new UT_TIMER();
  } catch (...) {
    std::free(ints);
    std::free(doubles);
    throw;
  }

  // A second load starts over: release what the first one made (the clock
  // only when it is not the one given now).
  UT_TIMER* owned = ownsTimer ? timer : nullptr;
  timer = made != nullptr ? made : clock;
  ownsTimer = made != nullptr || (owned != nullptr && owned == clock);
  if (owned != nullptr && owned != timer) delete owned;
  std::free(calls);
  std::free(startTime);

  numTimers = n;
  names = timerNames;
  calls = ints;
  awake = ints + size;
  startTime = doubles;
  total = doubles + size;
  for (int i = 0; i < numTimers; ++i) {
    calls[i] = -1;
    startTime[i] = -1.0;
  }
}

bool AP_TST::valid(int id) const {
  return calls != nullptr && id >= 0 && id < numTimers;
}

const char* AP_TST::timerName(int id) const {
  return names != nullptr && names[id] != nullptr ? names[id] : "";
}

double AP_TST::now() {
  if (timer == nullptr) return 0.0;
  return useReal ? timer->get_delta_real() : timer->get_delta_cpu();
}

void AP_TST::enable(int id) {
  if (!valid(id)) return;
  calls[id] = 0;
  startTime[id] = -1.0;
}

void AP_TST::disable(int id) {
  if (!valid(id)) return;
  calls[id] = -1;
  startTime[id] = -1.0;
}

void AP_TST::enableAll(bool on) {
  if (calls == nullptr) return;
  for (int i = 0; i < numTimers; ++i) {
    calls[i] = on ? 0 : -1;
    startTime[i] = -1.0;
  }
}

double AP_TST::start(int id) {
  if (!valid(id)) return 0.0;
  enable(id);
  return wake(id);
}

double AP_TST::wake(int id) {
  if (!valid(id) || calls[id] < 0) return 0.0;
  const double t = now();
  if (awake[id] != 0) return t;
  startTime[id] = t;
  calls[id] += 1;
  awake[id] = 1;
  return t;
}

double AP_TST::sleep(int id) {
  if (!valid(id) || calls[id] < 0 || startTime[id] < 0.0) return 0.0;
  const double t = now();
  if (awake[id] == 0) return t;
  total[id] += t - startTime[id];
  startTime[id] = -1.0;
  awake[id] = 0;
  return t;
}

double AP_TST::report(int id) {
  if (!valid(id) || calls[id] < 1) return 0.0;
  return total[id];
}

bool AP_TST::iswake(int id) { return valid(id) && awake[id] != 0; }

void AP_TST::useRealTime(bool on) { useReal = on; }

double AP_TST::getCurTime() { return now(); }

void AP_TST::print(int which, int format, const char* label, bool withMemory) {
  bool first = true;
  for (int i = 0; calls != nullptr && i < numTimers; ++i) {
    if (which != kAllTimers && which != i) continue;
    if (calls[i] < 1) continue;

    // Checkpoint a running timer so the line includes its time up to now.
    // A timer woken at a negative clock reading holds a negative start time,
    // which counts as none pending: it is printed with its total as it
    // stands, neither checkpointed nor woken again, so its call count is left
    // unchanged as for every other timer.
    const bool running = awake[i] != 0 && startTime[i] >= 0.0;
    if (running) {
      const double t = now();
      total[i] += t - startTime[i];
      startTime[i] = -1.0;
      awake[i] = 0;
    }

    const char* name = label != nullptr ? label : timerName(i);
    switch (format) {
      case 0:
        emit(neoform("%s duration=%d seconds", name, wholeSeconds(total[i])));
        break;
      case 1:
        emit(neoform("%s(calls=%d) duration=%d seconds ", name, calls[i],
                     wholeSeconds(total[i])));
        break;
      case 2:
        emit(neoform("%s(calls=%d) duration=%.2f seconds ", name, calls[i], total[i]));
        break;
      case 3:
      case 4: {
        const char* shown = shortName(timerName(i));
        if (first) {
          if (label != nullptr)
            emit(neoform("%s", label));
          else
            shown = timerName(i);
        }
        if (format == 3)
          emit(neoform("%s=%.2f ", shown, total[i]));
        else
          emit(neoform("%s=%d ", shown, wholeSeconds(total[i] + 0.5)));
        break;
      }
      default:
        BASAP_INTERNAL_ERROR("basaptst", 1, "format is not supported");
        break;
    }
    first = false;

    // Let it run on from the moment of printing, with its call count kept.
    if (running) {
      wake(i);
      calls[i] -= 1;
    }
  }
  emit(neoform("\n"));
  if (withMemory) {
    const double megabytes =
        static_cast<double>(UT_MEM_USAGE::getPeakMemoryUsage()) / 1000000.0;
    emit(neoform(" peak-memory=%.1f M\n", megabytes));
  }
}
