// Device and memory limits of a run.
#include "qplace/limits.h"

#include <algorithm>
#include <cstdint>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "host/standin/gen/designgen.h"
#include "qplace/fabric.h"

namespace qplace {

namespace {

int clamp(std::int64_t v) { return static_cast<int>(std::min<std::int64_t>(v, INT32_MAX)); }

std::int64_t clustersOf(const designgen::DeviceParams& p) { return static_cast<std::int64_t>(p.plcRows) * p.plcCols; }

}  // namespace

RunSize netlistRunSize(std::int64_t luts, std::int64_t regs, std::int64_t ios, int rows, int cols, double fill) {
  RunSize s;
  s.luts = luts;
  s.regs = regs;
  s.ios = ios;
  const designgen::DeviceParams p = deviceFor(clamp(luts), clamp(regs), clamp(ios), fill, rows, cols, 0);
  s.clusters = clustersOf(p);
  s.ioSites = 2LL * (static_cast<std::int64_t>(p.plcRows) + p.plcCols) * p.ioPerSide;
  return s;
}

RunSize generatedRunSize(int components, int rows, int cols, double fill) {
  // The generator's split: about 2 sqrt(n) I/O (what the border holds, on a
  // given device), the rest logic of which regShare are registers.
  const designgen::Params defaults;
  const std::int64_t n = components;
  std::int64_t ios = std::min<std::int64_t>(
      n, std::max<std::int64_t>(defaults.clocks, std::llround(2.0 * std::sqrt(static_cast<double>(n)))));
  if (rows > 0 && cols > 0)
    ios = std::min<std::int64_t>(ios, 2LL * (rows + cols) * defaults.device.ioPerSide);
  const std::int64_t logic = n - ios;
  const std::int64_t regs = std::llround(static_cast<double>(logic) * defaults.regShare);
  return netlistRunSize(logic - regs, regs, ios, rows, cols, fill);
}

std::int64_t clustersNeeded(const RunSize& s) {
  return clustersOf(deviceFor(clamp(s.luts), clamp(s.regs), clamp(s.ios), 0.9, 0, 0, 0));
}

std::int64_t clustersAllowed(const RunSize& s) {
  return std::max(kSmallDevice, kDeviceRatio * clustersNeeded(s));
}

std::uint64_t runBytes(const RunSize& s) {
  const auto components = static_cast<std::uint64_t>(s.luts + s.regs + s.ios);
  return kBaseBytes + kRunBytesPerComponent * components + kRunBytesPerCluster * static_cast<std::uint64_t>(s.clusters) +
         kRunBytesPerIoSite * static_cast<std::uint64_t>(s.ioSites);
}

std::string deviceRefusal(const RunSize& s, int rows, int cols) {
  const std::int64_t allowed = clustersAllowed(s);
  if (rows <= 0 || cols <= 0 || s.clusters <= allowed) return "";
  std::ostringstream os;
  os << "the device of " << rows << " x " << cols << " clusters is far larger than the design needs ("
     << clustersNeeded(s) << (clustersNeeded(s) == 1 ? " cluster" : " clusters") << " at the densest); at most "
     << allowed << " clusters (" << kDeviceRatio << " times the need, or " << kSmallDevice << ")";
  return os.str();
}

std::string memoryRefusal(const RunSize& s, std::uint64_t available) {
  const std::uint64_t need = runBytes(s);
  if (available == 0 || need <= available) return "";
  std::ostringstream os;
  // A device given on the command line is weighed alone before the
  // netlist is read: no components to speak of yet.
  const std::int64_t components = s.luts + s.regs + s.ios;
  os << "not enough memory: the run needs about " << byteText(need) << " (";
  if (components > 0) os << components << " components on ";
  else os << "a device of ";
  os << s.clusters << " clusters), and " << byteText(available) << " is available";
  return os.str();
}

}  // namespace qplace
