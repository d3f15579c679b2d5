// Replacement of the global operator new and delete (see allocfail.h).
#include "allocfail.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

bool failing = false;
std::size_t failFrom = 0;
int spared = 0;
std::int64_t live = 0;

// Each block starts with its requested size, in a header that keeps the
// caller's part aligned for any type.
constexpr std::size_t kHeader = alignof(std::max_align_t);

void* Allocate(std::size_t bytes) {
  if (failing && bytes >= failFrom) {
    if (spared == 0) throw std::bad_alloc();
    --spared;
  }
  auto* block = static_cast<unsigned char*>(std::malloc(kHeader + bytes));
  if (block == nullptr) throw std::bad_alloc();
  std::memcpy(block, &bytes, sizeof bytes);
  live += static_cast<std::int64_t>(bytes);
  return block + kHeader;
}

void Release(void* p) noexcept {
  if (p == nullptr) return;
  unsigned char* block = static_cast<unsigned char*>(p) - kHeader;
  std::size_t bytes;
  std::memcpy(&bytes, block, sizeof bytes);
  live -= static_cast<std::int64_t>(bytes);
  std::free(block);
}

}  // namespace

namespace allocfail {

void FailFrom(std::size_t bytes, int spare) {
  failFrom = bytes;
  spared = spare;
  failing = true;
}

void Off() { failing = false; }

std::int64_t Live() { return live; }

}  // namespace allocfail

void* operator new(std::size_t bytes) { return Allocate(bytes); }
void* operator new[](std::size_t bytes) { return Allocate(bytes); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t) noexcept { Release(p); }
