// Processor time of the calling thread, kernel time (page faults) included.
// Unlike elapsed time it does not count the time that other programs on the
// machine take from the benchmark, so figures from a busy machine stay
// comparable.
#ifndef BASAPLACE_BENCH_COMMON_THREADCLOCK_H
#define BASAPLACE_BENCH_COMMON_THREADCLOCK_H

#include <ctime>

inline double ThreadSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

#endif  // BASAPLACE_BENCH_COMMON_THREADCLOCK_H
