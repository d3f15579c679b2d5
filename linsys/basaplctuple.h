// Dense vector of the placement linear system.
//
// These templates compile in the caller's own code, so their results are
// bit for bit the library's only under -ffp-contract=off: the exported
// CMake target and basaplace.pc pass it on; a build that sets its flags by
// hand must add it, as GCC otherwise fuses a multiply and an add where the
// target has the instruction, and the last bits of a result change.
#ifndef BASAPLACE_LINSYS_BASAPLCTUPLE_H
#define BASAPLACE_LINSYS_BASAPLCTUPLE_H

#include <linsys/basaplccheck.h>

#include <cstdint>
#include <utility>
#include <vector>

namespace basAP {

// A vector of a fixed number of elements of T (the library uses T = double).
//
// The size is set by the constructor and never changes: assignment copies
// elements into a vector of the same size and never resizes. Element access
// and every operation on two vectors check their indices and sizes in every
// build; a failed check ends the process through the C runtime's assertion
// handler (see basaplccheck.h) with the expression quoted below.
//
// Loops run from index 0 upward, and every element operation is one IEEE
// operation, so sums come out the same on every build and target.
template <class T>
class Tuple {
public:
  // n elements, each equal to init. O(n); throws std::bad_alloc when out of memory.
  Tuple(std::uint32_t n, T init) : elements_(n, init) {}
  // Copy only: a Tuple never changes its size, so there is no move that
  // would leave its source empty; a Tuple given as an rvalue is copied.
  Tuple(const Tuple&) = default;
  ~Tuple() = default;

  // Copies that's elements into this vector, unless the two already compare
  // equal with operator==. Check "Size () == that.Size ()": the size never changes.
  Tuple& operator=(const Tuple& that) {
    if (!(*this == that)) {
      for (std::uint32_t i = 0; i < Size(); ++i) elements_[i] = that.elements_[i];
    }
    return *this;
  }

  // Number of elements. O(1).
  std::uint32_t Size() const { return static_cast<std::uint32_t>(elements_.size()); }

  // Element i. Check "i < Size ()".
  T operator[](std::uint32_t i) const {
    BASAP_CHECK(i < Size (), BASAP_TUPLE_SOURCE);
    return elements_[i];
  }
  T& operator[](std::uint32_t i) {
    BASAP_CHECK(i < Size (), BASAP_TUPLE_SOURCE);
    return elements_[i];
  }

  // True when every pair of elements compares equal (a NaN never does);
  // stops at the first difference. Check "Size () == that.Size ()".
  bool operator==(const Tuple& that) const {
    BASAP_CHECK(Size () == that.Size (), BASAP_TUPLE_SOURCE);
    for (std::uint32_t i = 0; i < Size(); ++i) {
      if (!(elements_[i] == that.elements_[i])) return false;
    }
    return true;
  }

  // New vector of this[i] + that[i]. Check "Size () == that.Size ()".
  Tuple operator+(const Tuple& that) const {
    BASAP_CHECK(Size () == that.Size (), BASAP_TUPLE_SOURCE);
    Tuple sum(Size(), T(0));
    for (std::uint32_t i = 0; i < Size(); ++i) sum.elements_[i] = elements_[i] + that.elements_[i];
    return sum;
  }

  // New vector of this[i] - that[i]. Check "Size () == that.Size ()".
  Tuple operator-(const Tuple& that) const {
    BASAP_CHECK(Size () == that.Size (), BASAP_TUPLE_SOURCE);
    Tuple diff(Size(), T(0));
    for (std::uint32_t i = 0; i < Size(); ++i) diff.elements_[i] = elements_[i] - that.elements_[i];
    return diff;
  }

  // New vector of this[i] * s.
  Tuple operator*(T s) const {
    Tuple scaled(Size(), T(0));
    for (std::uint32_t i = 0; i < Size(); ++i) scaled.elements_[i] = elements_[i] * s;
    return scaled;
  }

  // ((0 + this[0] * that[0]) + this[1] * that[1]) + ..., in ascending index
  // order. Check "that.Size () == Size ()".
  T Dot(const Tuple& that) const {
    BASAP_CHECK(that.Size () == Size (), BASAP_TUPLE_SOURCE);
    T sum = T(0);
    for (std::uint32_t i = 0; i < Size(); ++i) sum = sum + elements_[i] * that.elements_[i];
    return sum;
  }

  // The elements as one contiguous array of Size() values, for loops that
  // have checked their bounds once up front. No check.
  T* Data() { return elements_.data(); }
  const T* Data() const { return elements_.data(); }

private:
  std::vector<T> elements_;
};

}  // namespace basAP

#endif  // BASAPLACE_LINSYS_BASAPLCTUPLE_H
