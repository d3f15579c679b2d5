// Index and size checks of the linear-system templates.
//
// The checks stay active in every build, NDEBUG or not: an index or size
// error in the placer's linear system is a programming error that must stop
// the run where it happens rather than corrupt memory. A failed check hands
// its expression text, a source name and a line to the C runtime's assertion
// handler, which prints the usual "Assertion `...' failed." line on stderr
// and aborts the process. Nothing is returned or thrown.
#ifndef BASAPLACE_LINSYS_BASAPLCCHECK_H
#define BASAPLACE_LINSYS_BASAPLCCHECK_H

#include <cstdio>
#include <cstdlib>

#if defined(__GLIBC__)
// The runtime's handler behind assert(). <assert.h> declares it only when
// NDEBUG is off, so it is declared here for builds with NDEBUG too.
extern "C" void __assert_fail(const char* assertion, const char* file, unsigned int line,
                              const char* function) noexcept __attribute__((__noreturn__));
#endif

namespace basAP {
namespace detail {

[[noreturn]] inline void CheckFailed(const char* expr, const char* source, unsigned int line,
                                     const char* function) noexcept {
#if defined(__GLIBC__)
  __assert_fail(expr, source, line, function);
#else
  std::fprintf(stderr, "%s:%u: %s: Assertion `%s' failed.\n", source, line, function, expr);
  std::abort();
#endif
}

}  // namespace detail
}  // namespace basAP

#if defined(__GNUC__)
#define BASAP_CHECK_FUNCTION __PRETTY_FUNCTION__
#define BASAP_CHECK_LIKELY(x) __builtin_expect(!!(x), 1)
#else
#define BASAP_CHECK_FUNCTION __func__
#define BASAP_CHECK_LIKELY(x) (x)
#endif

// Checks cond; the message quotes cond exactly as written at the call site.
#define BASAP_CHECK(cond, source)                                                            \
  (BASAP_CHECK_LIKELY(cond) ? static_cast<void>(0)                                           \
                            : ::basAP::detail::CheckFailed(#cond, source, __LINE__,          \
                                                           BASAP_CHECK_FUNCTION))

#define BASAP_TUPLE_SOURCE "env/fpga/base/place/basaplace/i/basaplctuple"
#define BASAP_MATRIX_SOURCE "env/fpga/base/place/basaplace/i/basaplcmatrix"

#endif  // BASAPLACE_LINSYS_BASAPLCCHECK_H
