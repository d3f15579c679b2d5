// Formatter, clock, memory usage and strings of the stand-in host.
#include <sys/resource.h>

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "host/standin/standin_util.h"

namespace {

// neoform results live in a ring of buffers, so a result stays valid through
// the next few calls (a report nests two).
constexpr int kFormatRing = 8;
std::string formatRing[kFormatRing];
int formatNext = 0;

bool clockDriven = false;
double drivenReal = 0.0;
double drivenCpu = 0.0;

bool peakOverridden = false;
std::uint64_t peakOverride = 0;

double realNow() {
  return std::chrono::duration<double>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

double cpuNow() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

char* copyText(const char* text) {
  if (text == nullptr) return nullptr;
  char* copy = static_cast<char*>(std::malloc(std::strlen(text) + 1));
  std::strcpy(copy, text);
  return copy;
}

}  // namespace

char* neoform(const char* format, ...) {
  va_list ap;
  va_start(ap, format);
  va_list again;
  va_copy(again, ap);
  int size = std::vsnprintf(nullptr, 0, format, ap);
  va_end(ap);
  std::string& out = formatRing[formatNext];
  formatNext = (formatNext + 1) % kFormatRing;
  out.assign(size > 0 ? static_cast<std::size_t>(size) : 0, '\0');
  if (size > 0) std::vsnprintf(&out[0], out.size() + 1, format, again);
  va_end(again);
  return &out[0];
}

namespace standin {
void driveClock(double real, double cpu) {
  clockDriven = true;
  drivenReal = real;
  drivenCpu = cpu;
}
void releaseClock() { clockDriven = false; }
void setPeakMemory(std::uint64_t bytes) {
  peakOverridden = true;
  peakOverride = bytes;
}
void releasePeakMemory() { peakOverridden = false; }
}  // namespace standin

UT_TIMER::UT_TIMER() : realOrigin_(realNow()), cpuOrigin_(cpuNow()) {}
UT_TIMER::~UT_TIMER() = default;

double UT_TIMER::get_delta_real() {
  return clockDriven ? drivenReal : realNow() - realOrigin_;
}

double UT_TIMER::get_delta_cpu() {
  return clockDriven ? drivenCpu : cpuNow() - cpuOrigin_;
}

std::uint64_t UT_MEM_USAGE::getPeakMemoryUsage() {
  if (peakOverridden) return peakOverride;
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<std::uint64_t>(usage.ru_maxrss) * 1024u;  // ru_maxrss is in KiB
}

UT_STROBJ::UT_STROBJ(const char* text) : text_(copyText(text)) {}
UT_STROBJ::UT_STROBJ(const UT_STROBJ& other) : text_(copyText(other.text_)) {}
UT_STROBJ::~UT_STROBJ() { std::free(text_); }

const char* UT_STROBJ::getstring(unsigned char /*which*/) const { return text_; }
