// Replacement of the global operator new and delete (see allocfail.h).
#include "allocfail.h"

#include <malloc.h>

#include <cstdlib>
#include <new>

namespace {

bool failing = false;
std::size_t failFrom = 0;
int spared = 0;
std::int64_t live = 0;

void* Allocate(std::size_t bytes) {
  if (failing && bytes >= failFrom) {
    if (spared == 0) throw std::bad_alloc();
    --spared;
  }
  void* p = std::malloc(bytes != 0 ? bytes : 1);
  if (p == nullptr) throw std::bad_alloc();
  live += static_cast<std::int64_t>(malloc_usable_size(p));
  return p;
}

void Release(void* p) noexcept {
  if (p == nullptr) return;
  live -= static_cast<std::int64_t>(malloc_usable_size(p));
  std::free(p);
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
