// The machine's available memory, and byte counts for messages.
#include "qplace/memory_budget.h"

#include <sys/sysinfo.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <algorithm>
#include <cstdio>
#include <fstream>

namespace qplace {

namespace {

// MemAvailable of /proc/meminfo, in bytes; 0 when absent.
std::uint64_t memAvailable() {
  std::ifstream in("/proc/meminfo");
  std::string key;
  std::uint64_t kb = 0;
  std::string unit;
  while (in >> key >> kb) {
    std::getline(in, unit);
    if (key == "MemAvailable:") return kb * 1024;
  }
  return 0;
}

// One number from a cgroup file; 0 when absent or "max".
std::uint64_t cgroupValue(const std::string& path) {
  std::ifstream in(path);
  std::uint64_t v = 0;
  return in >> v ? v : 0;
}

}  // namespace

std::uint64_t availableMemory() {
  std::uint64_t avail = memAvailable();
  if (avail == 0) {
    struct sysinfo si {};
    if (sysinfo(&si) == 0) avail = (static_cast<std::uint64_t>(si.freeram) + si.bufferram) * si.mem_unit;
  }
  // cgroup v2: the room under memory.max.
  const std::uint64_t max = cgroupValue("/sys/fs/cgroup/memory.max");
  if (max != 0) {
    const std::uint64_t used = cgroupValue("/sys/fs/cgroup/memory.current");
    const std::uint64_t room = max > used ? max - used : 0;
    avail = avail == 0 ? room : std::min(avail, room);
  }
  return avail;
}

std::string byteText(std::uint64_t bytes) {
  const char* units[] = {"bytes", "kB", "MB", "GB", "TB", "PB", "EB"};
  double v = static_cast<double>(bytes);
  int u = 0;
  while (v >= 999.5 && u < 6) {
    v /= 1000;
    ++u;
  }
  char buf[32];
  if (u == 0) std::snprintf(buf, sizeof buf, "%llu bytes", static_cast<unsigned long long>(bytes));
  else std::snprintf(buf, sizeof buf, v < 9.95 ? "%.1f %s" : "%.0f %s", v, units[u]);
  return buf;
}

void releaseFreeMemory() {
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
}

}  // namespace qplace
