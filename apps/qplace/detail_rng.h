// The random streams of the detailed improvement: xoshiro256** seeded
// through splitmix64, small and fast, the same stream on every platform and
// standard library; one stream per region and round.
#ifndef QPLACE_DETAIL_RNG_H
#define QPLACE_DETAIL_RNG_H

#include <cstdint>

namespace qplace {
namespace improvement {

class Rng {
public:
  explicit Rng(std::uint64_t seed) {
    for (std::uint64_t& w : s_) w = splitmix(seed);
  }
  std::uint64_t operator()() {
    const std::uint64_t r = rotl(s_[1] * 5, 7) * 9;
    const std::uint64_t t = s_[1] << 17;
    s_[2] ^= s_[0];
    s_[3] ^= s_[1];
    s_[1] ^= s_[2];
    s_[0] ^= s_[3];
    s_[2] ^= t;
    s_[3] = rotl(s_[3], 45);
    return r;
  }
  // In [0, n), n > 0: the high half of a 64 x 64-bit product.
  int below(int n) {
    return static_cast<int>((static_cast<unsigned __int128>((*this)()) * static_cast<std::uint64_t>(n)) >> 64);
  }
  // In [-r, r].
  int within(int r) { return below(2 * r + 1) - r; }
  double uniform() { return static_cast<double>((*this)() >> 11) * 0x1.0p-53; }
  bool chance(double share) { return share > 0 && uniform() < share; }
  static std::uint64_t splitmix(std::uint64_t& x) {
    std::uint64_t z = (x += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }

private:
  static std::uint64_t rotl(std::uint64_t v, int k) { return (v << k) | (v >> (64 - k)); }
  std::uint64_t s_[4];
};

// The seed of one region's stream in one round.
inline std::uint64_t streamSeed(std::uint64_t seed, int round, int region) {
  std::uint64_t x = seed;
  const std::uint64_t a = Rng::splitmix(x);
  x = a ^ (static_cast<std::uint64_t>(round) << 32 | static_cast<std::uint32_t>(region));
  return Rng::splitmix(x);
}

}  // namespace improvement
}  // namespace qplace

#endif
