// The machine's available memory, and byte counts for messages.
#include "qplace/memory_budget.h"

#include <sys/sysinfo.h>

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

std::string formatBytes(std::uint64_t bytes) {
  char buf[32];
  const double b = static_cast<double>(bytes);
  if (bytes >= (1ull << 30))
    std::snprintf(buf, sizeof buf, "%.1f GB", b / (1ull << 30));
  else if (bytes >= (1ull << 20))
    std::snprintf(buf, sizeof buf, "%.0f MB", b / (1ull << 20));
  else if (bytes >= (1ull << 10))
    std::snprintf(buf, sizeof buf, "%.0f kB", b / (1ull << 10));
  else
    std::snprintf(buf, sizeof buf, "%llu bytes", static_cast<unsigned long long>(bytes));
  return buf;
}

}  // namespace qplace
