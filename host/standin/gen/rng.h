// The generator's random numbers: splitmix64 with bounded and real draws of
// its own, so that a seed gives the same design with every standard library
// (the standard distributions may differ between library versions).
#ifndef BASAPLACE_STANDIN_GEN_RNG_H
#define BASAPLACE_STANDIN_GEN_RNG_H

#include <cstdint>

namespace designgen {
namespace detail {

class Rng {
public:
  // A stream for one use of a seed; streams of one seed with different
  // `stream` numbers are unrelated.
  explicit Rng(std::uint64_t seed, std::uint64_t stream = 0)
      : state_(seed ^ (stream * 0xd1b54a32d192ed03ULL)) {
    next();
  }

  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }

  // Uniform in [0, n) for n > 0, by multiplying 32 random bits (a bias
  // below n / 2^32, which no use here can see).
  std::uint32_t below(std::uint32_t n) {
    return static_cast<std::uint32_t>(((next() >> 32) * static_cast<std::uint64_t>(n)) >> 32);
  }

  // Uniform in [lo, hi], lo <= hi.
  int between(int lo, int hi) {
    return lo + static_cast<int>(below(static_cast<std::uint32_t>(hi - lo) + 1u));
  }

  // Uniform in [0, 1).
  double unit() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }

  bool chance(double p) { return unit() < p; }

private:
  std::uint64_t state_;
};

}  // namespace detail
}  // namespace designgen

#endif
