// Heap accounting for the benchmarks: the program replaces the C allocator's
// entry points (malloc, calloc, realloc, free and the aligned forms) with
// counting wrappers around the C library's own, so every allocation of the
// process is seen: operator new, std::vector and Eigen's storage included.
// A block counts for its usable size (malloc_usable_size), as the allocator
// reserves it.
#ifndef BASAPLACE_BENCH_COMMON_ALLOCCOUNT_H
#define BASAPLACE_BENCH_COMMON_ALLOCCOUNT_H

#include <cstdint>

namespace alloccount {

// False where the counting cannot be installed (sanitizer builds, which
// bring their own allocator); the figures are then 0.
bool Available();
// Bytes currently allocated.
std::int64_t Current();
// Restarts the high-water mark at the current figure.
void ResetPeak();
// Highest figure since the last ResetPeak.
std::int64_t Peak();
// Blocks handed out so far (every successful malloc, calloc, realloc and
// aligned allocation); differences of two readings count the allocations
// made in between.
std::int64_t Allocations();

}  // namespace alloccount

#endif  // BASAPLACE_BENCH_COMMON_ALLOCCOUNT_H
