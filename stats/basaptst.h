// Named run-time timers of a placement run, with a one-line statistics report.
#ifndef BASAPLACE_STATS_BASAPTST_H
#define BASAPLACE_STATS_BASAPTST_H

#include <basaplace_export.h>

class UT_TIMER;

// A fixed set of stopwatches numbered 0 .. n-1. Each accumulates the time it
// spends awake and counts how often it was woken since it was last enabled.
// Times are seconds of the host clock: processor time by default, real time
// after useRealTime(true).
//
// Per timer: disabled -> enabled and asleep <-> awake. load() leaves every
// timer disabled; a disabled timer's wake and sleep do nothing and return 0.
//
// Every per-timer call checks its id: before load(), or with an id outside
// 0 .. n-1, it does nothing and returns 0.0 (or false). All calls are O(1)
// except print, which is O(n). Not thread-safe.
class BASAPLACE_EXPORT AP_TST {
public:
  AP_TST();
  virtual ~AP_TST();
  // The object owns its arrays and possibly its clock: not copyable.
  AP_TST(const AP_TST&) = delete;
  AP_TST& operator=(const AP_TST&) = delete;

  // Sets up numTimers timers, all disabled, with zero totals. `timer` is the
  // clock to read; when null, a clock is created and owned. `names` is
  // borrowed: the caller keeps the array and its strings alive. A second load
  // releases the earlier arrays and the clock this object owned. A negative
  // count loads no timer. Throws std::bad_alloc when out of memory, leaving
  // the object as it was before the call.
  void load(UT_TIMER* timer, int numTimers, const char* const* names);

  // Enables timer id (call count 0, no pending start); total and awake stay.
  void enable(int id);
  // Disables timer id (and clears its pending start); total and awake stay.
  void disable(int id);
  // Enables (on) or disables every timer.
  void enableAll(bool on);

  // Enables timer id and wakes it; returns what wake returns.
  double start(int id);
  // Wakes an enabled timer: returns the current time. A timer already awake
  // keeps running and counts no new call. A disabled timer returns 0.0
  // without reading the clock.
  double wake(int id);
  // Puts an awake timer to sleep, adding the time since its wake to its
  // total; returns the current time. Without a pending start (disabled, or
  // never woken since enabled) it returns 0.0 without reading the clock.
  double sleep(int id);

  // The accumulated time of timer id once it has been woken since it was
  // last enabled, else 0.0.
  double report(int id);
  // True while timer id runs.
  bool iswake(int id);

  // Selects real (true) or processor (false) time.
  void useRealTime(bool on);
  // The current time of the clock in seconds; 0.0 before load().
  double getCurTime();

  // Writes one statistics line through the host's message manager: for every
  // timer that is selected (`which` is -10 for all, else a timer id) and has
  // been woken since it was enabled, one piece in `format`:
  //   0 "%s duration=%d seconds"              name, whole seconds
  //   1 "%s(calls=%d) duration=%d seconds "  name, calls, whole seconds
  //   2 "%s(calls=%d) duration=%.2f seconds " name, calls, seconds
  //   3 "%s=%.2f "                            short name, seconds
  //   4 "%s=%d "                              short name, rounded seconds
  // Whole seconds are truncated toward zero; a total beyond the int range
  // prints as INT_MAX or INT_MIN, and a NaN total (from a host clock that
  // read NaN) as 0. The name is `label` when given, else the timer's name.
  // In formats 3 and 4 the short name is the part of the name after its
  // first '_'; the first timer printed is named in full, or, when `label` is
  // given, preceded by `label` as a piece of its own. A running timer is
  // checkpointed, so its time up to now is included, and it runs on with its
  // call count unchanged. The line ends with "\n"; with `withMemory`,
  // " peak-memory=%.1f M\n" follows with the process's peak memory in
  // megabytes (10^6 bytes). Any other format is reported as a fatal internal
  // error of the host for each selected timer, which then prints nothing.
  void print(int which, int format, const char* label, bool withMemory);

private:
  bool valid(int id) const;
  double now();
  // names[id], or "" where the caller gave no name.
  const char* timerName(int id) const;

  UT_TIMER* timer;
  int numTimers;
  const char* const* names;
  int* calls;         // -1 disabled, else wakes since enabled; first half of one block
  double* startTime;  // clock at the last wake, -1.0 when none pending; first half of one block
  double* total;      // accumulated awake time
  bool useReal;
  int* awake;         // 1 while running
  bool ownsTimer;
};

#endif
