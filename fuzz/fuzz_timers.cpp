// The timers driven by a byte stream of calls, with ids in and out of range
// and a clock that the stream sets to anything, NaN and infinities included.
// Every result and every printed line is compared with a plain model of the
// timers kept here.
//
// Input: one opcode byte per call, followed by its arguments (see Run).
#include <stats/basaptst.h>

#include <host/standin/standin_util.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "bytestream.h"

namespace {

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
  std::va_list ap, again;
  va_start(ap, format);
  va_copy(again, ap);
  std::string out(static_cast<std::size_t>(std::vsnprintf(nullptr, 0, format, ap)), '\0');
  std::vsnprintf(&out[0], out.size() + 1, format, again);
  va_end(again);
  va_end(ap);
  return out;
}

// Whole seconds of a total as printed with "%d": truncated toward zero,
// held to the int range, 0 for NaN.
int WholeSeconds(double t) {
  if (std::isnan(t)) return 0;
  if (t >= 2147483648.0) return INT_MAX;
  if (t <= -2147483649.0) return INT_MIN;
  return static_cast<int>(t);
}

// What AP_TST should do, written as plainly as possible.
struct Model {
  bool loaded = false;
  int n = 0;
  const char* const* names = nullptr;
  std::vector<int> calls, awake;
  std::vector<double> start, total;
  bool useReal = false;
  double real = 0.0, cpu = 0.0;  // what the clock reads
  std::uint64_t peak = 0;

  bool Valid(int id) const { return loaded && id >= 0 && id < n; }
  double Now() const { return !loaded ? 0.0 : useReal ? real : cpu; }
  const char* Name(int id) const { return names != nullptr && names[id] != nullptr ? names[id] : ""; }

  void Load(int count, const char* const* timerNames) {
    loaded = true;
    n = count > 0 ? count : 0;
    names = timerNames;
    calls.assign(n, -1);
    awake.assign(n, 0);
    start.assign(n, -1.0);
    total.assign(n, 0.0);
  }
  void Enable(int id) {
    if (Valid(id)) calls[id] = 0, start[id] = -1.0;
  }
  void Disable(int id) {
    if (Valid(id)) calls[id] = -1, start[id] = -1.0;
  }
  void EnableAll(bool on) {
    for (int i = 0; i < n; ++i) calls[i] = on ? 0 : -1, start[i] = -1.0;
  }
  double Wake(int id) {
    if (!Valid(id) || calls[id] < 0) return 0.0;
    const double t = Now();
    if (awake[id]) return t;
    start[id] = t;
    ++calls[id];
    awake[id] = 1;
    return t;
  }
  double Start(int id) {
    if (!Valid(id)) return 0.0;
    Enable(id);
    return Wake(id);
  }
  double Sleep(int id) {
    if (!Valid(id) || calls[id] < 0 || start[id] < 0.0) return 0.0;
    const double t = Now();
    if (!awake[id]) return t;
    total[id] += t - start[id];
    start[id] = -1.0;
    awake[id] = 0;
    return t;
  }
  double Report(int id) const { return Valid(id) && calls[id] >= 1 ? total[id] : 0.0; }
  bool IsWake(int id) const { return Valid(id) && awake[id] != 0; }

  // The printed text, and the number of fatal reports.
  std::string Print(int which, int format, const char* label, bool withMemory, int* fatals) {
    std::string out;
    bool first = true;
    for (int i = 0; i < n; ++i) {
      if ((which != -10 && which != i) || calls[i] < 1) continue;
      const bool running = awake[i] && start[i] >= 0.0;
      if (running) {
        total[i] += Now() - start[i];
        start[i] = -1.0;
        awake[i] = 0;
      }
      const char* name = label != nullptr ? label : Name(i);
      const char* shortName = std::strchr(Name(i), '_') ? std::strchr(Name(i), '_') + 1 : Name(i);
      if (format == 0) out += Format("%s duration=%d seconds", name, WholeSeconds(total[i]));
      if (format == 1) out += Format("%s(calls=%d) duration=%d seconds ", name, calls[i], WholeSeconds(total[i]));
      if (format == 2) out += Format("%s(calls=%d) duration=%.2f seconds ", name, calls[i], total[i]);
      if (format == 3 || format == 4) {
        if (first && label != nullptr) out += label;
        if (first && label == nullptr) shortName = Name(i);
        out += format == 3 ? Format("%s=%.2f ", shortName, total[i])
                           : Format("%s=%d ", shortName, WholeSeconds(total[i] + 0.5));
      }
      if (format < 0 || format > 4) ++*fatals;
      first = false;
      if (running) {
        Wake(i);
        --calls[i];
      }
    }
    out += "\n";
    if (withMemory) out += Format(" peak-memory=%.1f M\n", static_cast<double>(peak) / 1000000.0);
    return out;
  }
};

// A clock reading: quarter seconds, the awkward values, or raw bits.
double Time(fuzz::ByteStream& in) {
  static const double kAwkward[] = {-1.0, -0.5, 0.0, -0.0, 1e10, 2147483647.0, 2147483647.5,
                                    2147483648.0, -2147483649.0, -2147483648.75,
                                    std::numeric_limits<double>::infinity(),
                                    -std::numeric_limits<double>::infinity(),
                                    std::numeric_limits<double>::quiet_NaN(), DBL_MAX, DBL_MIN / 8};
  const std::uint8_t sel = in.Byte();
  if (sel < 0x80) return sel * 0.25;
  if (sel < 0xC0) return kAwkward[sel % (sizeof kAwkward / sizeof kAwkward[0])];
  return in.RawDouble();
}

// A timer id: mostly in range, sometimes just or far outside it.
int Id(fuzz::ByteStream& in, int n) {
  const std::uint8_t sel = in.Byte();
  if (sel < 0xC0 && n > 0) return sel % n;
  const int outside[] = {-1, -10, n, n + 1, INT_MIN, INT_MAX, -2, 1000};
  return outside[sel % 8];
}

const char* const kNamePool[] = {"qp_solve", "spread", "a_b_c", "_lead", "trail_", "", "x", nullptr};

const char* PoolName(fuzz::ByteStream& in) { return kNamePool[in.Byte() % 8]; }

void Expect(bool ok, const char* what, int id) {
  if (!ok) fuzz::Fail("%s (id %d)", what, id);
}

void Run(fuzz::ByteStream& in) {
  static UT_TIMER callerClock;
  standin::MessageLog& log = standin::messages();
  log.capture();
  Model model;
  model.real = Time(in);
  model.cpu = Time(in);
  standin::driveClock(model.real, model.cpu);
  standin::setPeakMemory(model.peak);
  auto timers = std::make_unique<AP_TST>();
  std::deque<std::vector<const char*>> nameArrays;  // kept alive until the end

  for (int calls = 0; calls < 400 && !in.Empty(); ++calls) {
    const std::uint8_t op = in.Byte() % 16;
    switch (op) {
      case 0: {
        const int count = static_cast<int>(in.Byte() % 10) - 1;
        const char* const* names = nullptr;
        if (in.Byte() % 8 != 0) {
          nameArrays.emplace_back();
          for (int i = 0; i < count; ++i) nameArrays.back().push_back(PoolName(in));
          names = nameArrays.back().data();
        }
        timers->load(in.Byte() % 2 ? &callerClock : nullptr, count, names);
        model.Load(count, names);
        break;
      }
      case 1: {
        const int id = Id(in, model.n);
        timers->enable(id);
        model.Enable(id);
        break;
      }
      case 2: {
        const int id = Id(in, model.n);
        timers->disable(id);
        model.Disable(id);
        break;
      }
      case 3: {
        const bool on = in.Byte() % 2;
        timers->enableAll(on);
        model.EnableAll(on);
        break;
      }
      case 4: {
        const int id = Id(in, model.n);
        Expect(fuzz::SameDouble(timers->start(id), model.Start(id)), "start", id);
        break;
      }
      case 5: {
        const int id = Id(in, model.n);
        Expect(fuzz::SameDouble(timers->wake(id), model.Wake(id)), "wake", id);
        break;
      }
      case 6: {
        const int id = Id(in, model.n);
        Expect(fuzz::SameDouble(timers->sleep(id), model.Sleep(id)), "sleep", id);
        break;
      }
      case 7: {
        const int id = Id(in, model.n);
        Expect(fuzz::SameDouble(timers->report(id), model.Report(id)), "report", id);
        Expect(timers->iswake(id) == model.IsWake(id), "iswake", id);
        break;
      }
      case 8: {
        const bool on = in.Byte() % 2;
        timers->useRealTime(on);
        model.useReal = on;
        break;
      }
      case 9:
        Expect(fuzz::SameDouble(timers->getCurTime(), model.Now()), "getCurTime", -1);
        break;
      case 10:
      case 11: {
        const int which = in.Byte() < 0x40 ? -10 : Id(in, model.n);
        const std::uint8_t f = in.Byte();
        const int format = f < 0xF0 ? f % 7 : f % 2 ? -1 : INT_MIN;
        const char* label = in.Byte() % 2 ? PoolName(in) : nullptr;
        const bool withMemory = in.Byte() % 2;
        int fatals = 0;
        const std::size_t fatalsBefore = log.fatals.size();
        const std::string want = model.Print(which, format, label, withMemory, &fatals);
        log.take();
        timers->print(which, format, label, withMemory);
        Expect(log.take() == want, "printed line", which);
        Expect(log.fatals.size() - fatalsBefore == static_cast<std::size_t>(fatals), "fatal reports", which);
        break;
      }
      case 12:
        model.real = Time(in);
        model.cpu = Time(in);
        standin::driveClock(model.real, model.cpu);
        break;
      case 13:
        model.peak = in.Byte() % 2 ? in.U64() : 1536000000u;
        standin::setPeakMemory(model.peak);
        break;
      case 14:
        timers = std::make_unique<AP_TST>();
        model = Model{false, 0, nullptr, {}, {}, {}, {}, false, model.real, model.cpu, model.peak};
        break;
      case 15:
        // Every timer's state, and a few ids outside.
        for (int id = -2; id <= model.n + 1; ++id) {
          Expect(fuzz::SameDouble(timers->report(id), model.Report(id)), "report", id);
          Expect(timers->iswake(id) == model.IsWake(id), "iswake", id);
        }
        break;
    }
  }
  log.release();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::ByteStream in(data, size);
  Run(in);
  return 0;
}
