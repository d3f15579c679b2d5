// Reads a fuzzer's input front to back as small numbers, so that an input
// stays a readable sequence of calls and a mutation changes one call at a
// time. Past the end every read gives 0.
#ifndef BASAPLACE_FUZZ_BYTESTREAM_H
#define BASAPLACE_FUZZ_BYTESTREAM_H

#include <cmath>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace fuzz {

class ByteStream {
public:
  ByteStream(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  bool Empty() const { return at_ >= size_; }

  std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  std::uint16_t U16() { return static_cast<std::uint16_t>(Byte() | Byte() << 8); }
  std::uint32_t U32() { return static_cast<std::uint32_t>(U16()) | static_cast<std::uint32_t>(U16()) << 16; }
  std::uint64_t U64() { return static_cast<std::uint64_t>(U32()) | static_cast<std::uint64_t>(U32()) << 32; }
  // Raw bits, NaN payloads and denormals included.
  double RawDouble() {
    const std::uint64_t bits = U64();
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
  }
  // A number in [0, n); 0 when n is 0.
  std::uint32_t Below(std::uint32_t n) { return n == 0 ? 0 : U16() % n; }

private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

// Equal bit for bit, except that any two NaNs count as equal: the payload
// and sign of a NaN depend on which operand of an addition the compiler put
// first, which it may choose freely.
inline bool SameDouble(double a, double b) {
  if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// A wrong result: prints the printf-style message and aborts, which libFuzzer
// reports as a crash and keeps the input of.
[[noreturn]] inline void Fail(const char* format, ...) __attribute__((format(printf, 1, 2)));
inline void Fail(const char* format, ...) {
  std::va_list ap;
  va_start(ap, format);
  std::fputs("wrong result: ", stderr);
  std::vfprintf(stderr, format, ap);
  std::fputc('\n', stderr);
  va_end(ap);
  std::abort();
}

}  // namespace fuzz

#endif  // BASAPLACE_FUZZ_BYTESTREAM_H
