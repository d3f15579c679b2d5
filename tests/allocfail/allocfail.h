// Allocation failures on demand, for tests of what a failed allocation leaves
// behind. A test program that links allocfail.cpp has its global operator
// new and delete replaced: they allocate with malloc as usual, count the
// bytes requested and not yet released, and, while failing is switched on,
// throw std::bad_alloc for every request from a chosen size up.
#ifndef BASAPLACE_TESTS_ALLOCFAIL_H
#define BASAPLACE_TESTS_ALLOCFAIL_H

#include <cstddef>
#include <cstdint>

namespace allocfail {

// From now on, requests of at least `bytes` bytes fail, after `spare` of them
// have been let through.
void FailFrom(std::size_t bytes, int spare = 0);
// Every request succeeds again.
void Off();
// Bytes requested through operator new and not yet released. Unlike the
// allocator's block sizes, this does not depend on what the heap held
// before, so two stores built of the same requests count the same.
std::int64_t Live();

// Fails as FailFrom says for as long as it lives.
class Failing {
public:
  explicit Failing(std::size_t bytes, int spare = 0) { FailFrom(bytes, spare); }
  ~Failing() { Off(); }
  Failing(const Failing&) = delete;
  Failing& operator=(const Failing&) = delete;
};

}  // namespace allocfail

#endif
