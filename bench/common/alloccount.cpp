// Counting wrappers around the C library's allocator (see alloccount.h).
#include "alloccount.h"

#include <atomic>
#include <cerrno>
#include <cstddef>

#if defined(__SANITIZE_ADDRESS__)
#define ALLOCCOUNT_OFF 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ALLOCCOUNT_OFF 1
#endif
#endif

#if !defined(ALLOCCOUNT_OFF) && defined(__GLIBC__)
#include <malloc.h>

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* p, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
void __libc_free(void* p);
}

namespace {

std::atomic<std::int64_t> current{0};
std::atomic<std::int64_t> peak{0};
std::atomic<std::int64_t> blocks{0};

void Note(std::int64_t delta) {
  const std::int64_t now = current.fetch_add(delta, std::memory_order_relaxed) + delta;
  std::int64_t high = peak.load(std::memory_order_relaxed);
  while (now > high && !peak.compare_exchange_weak(high, now, std::memory_order_relaxed)) {
  }
}

void* Counted(void* p) {
  if (p != nullptr) {
    blocks.fetch_add(1, std::memory_order_relaxed);
    Note(static_cast<std::int64_t>(malloc_usable_size(p)));
  }
  return p;
}

}  // namespace

extern "C" {

void* malloc(std::size_t size) { return Counted(__libc_malloc(size)); }

void* calloc(std::size_t count, std::size_t size) { return Counted(__libc_calloc(count, size)); }

void free(void* p) {
  if (p == nullptr) return;
  Note(-static_cast<std::int64_t>(malloc_usable_size(p)));
  __libc_free(p);
}

void* realloc(void* p, std::size_t size) {
  const std::int64_t before = p != nullptr ? static_cast<std::int64_t>(malloc_usable_size(p)) : 0;
  void* q = __libc_realloc(p, size);
  if (q == nullptr) return q;  // failed, or size 0 freed p
  blocks.fetch_add(1, std::memory_order_relaxed);
  const std::int64_t after = static_cast<std::int64_t>(malloc_usable_size(q));
  if (q != p) {
    Note(after);  // the old block was live until the copy was made
    Note(-before);
  } else {
    Note(after - before);
  }
  return q;
}

void* memalign(std::size_t alignment, std::size_t size) { return Counted(__libc_memalign(alignment, size)); }

void* aligned_alloc(std::size_t alignment, std::size_t size) { return Counted(__libc_memalign(alignment, size)); }

int posix_memalign(void** out, std::size_t alignment, std::size_t size) {
  if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0) return EINVAL;
  void* p = Counted(__libc_memalign(alignment, size));
  if (p == nullptr) return ENOMEM;
  *out = p;
  return 0;
}

}  // extern "C"

namespace alloccount {
bool Available() { return true; }
std::int64_t Current() { return current.load(std::memory_order_relaxed); }
void ResetPeak() { peak.store(current.load(std::memory_order_relaxed), std::memory_order_relaxed); }
std::int64_t Peak() { return peak.load(std::memory_order_relaxed); }
std::int64_t Allocations() { return blocks.load(std::memory_order_relaxed); }
}  // namespace alloccount

#else

namespace alloccount {
bool Available() { return false; }
std::int64_t Current() { return 0; }
void ResetPeak() {}
std::int64_t Peak() { return 0; }
std::int64_t Allocations() { return 0; }
}  // namespace alloccount

#endif
