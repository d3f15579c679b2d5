// How large a run may be: a device no larger than the design can use, and
// a run no larger than the machine's free memory, both refused before the
// work starts, with the figures.
//
// Memory is estimated from two constants measured on whole runs (peak
// resident size, /usr/bin/time, Release build, --out "" --no-baseline):
//   - a device cluster with its four sites and its share of the routing
//     graph: 5,210 bytes (one LUT on 100 x 100 to 400 x 400 clusters, peak
//     growing by 625 MB over 120,000 clusters), the placer's own arrays per
//     cluster included; taken as 5,400.
//   - a component of the design, with its nets, the placer's units and
//     solver: about 1,750 bytes (generated designs of 20,000 and 100,000
//     components, less their devices); taken as 1,900.
//   - an I/O site of the border with its share of the routing graph: 310
//     bytes (a netlist of 100,000 ports alone at fill 0.7 and 0.05, 142,860
//     and 2,000,000 sites, peak growing by 572 MB); taken as 320. The ring
//     holds the I/O with room (1.4 sites an I/O at fill 0.7, up to 20 at
//     0.05), more than the components' figure, measured on full rings,
//     covers.
// plus 8 MB for the program itself. Measured peaks of generated designs
// (20,000 and 100,000 components at fill 0.7 and 0.05) and of one LUT on
// 100 x 100 to 400 x 400 clusters lie 4% to 13% under the estimate; a
// million generated components peak at 2.4 GB end to end against 2.5 GB
// estimated. Reading a netlist peaks higher for a moment (its JSON text
// and tree): the reader weighs that itself.
#ifndef QPLACE_LIMITS_H
#define QPLACE_LIMITS_H

#include <cstdint>
#include <string>

#include "qplace/memory_budget.h"

namespace qplace {

constexpr std::uint64_t kRunBytesPerCluster = 5400;
constexpr std::uint64_t kRunBytesPerComponent = 1900;
constexpr std::uint64_t kRunBytesPerIoSite = 320;
constexpr std::uint64_t kBaseBytes = 8u << 20;

// A device may have up to this many times the clusters the design needs at
// the densest sizing, or kSmallDevice clusters whatever the design: room to
// spread a design out (the sizing's lowest fill, 0.05, gives 18 times), but
// not a grid the placement would be lost in.
constexpr std::int64_t kDeviceRatio = 100;
constexpr std::int64_t kSmallDevice = 10000;

// The design's shape as far as the limits go.
struct RunSize {
  std::int64_t luts = 0, regs = 0, ios = 0;  // components by kind
  std::int64_t clusters = 0;                  // the device's, given or sized
  std::int64_t ioSites = 0;                   // its border's
};

// A run's size for a design read from a file: the device given (rows,
// cols) or the one the placer sizes at `fill`. O(1).
RunSize netlistRunSize(std::int64_t luts, std::int64_t regs, std::int64_t ios, int rows, int cols, double fill);
// The same for a generated design of `components`, split by kind as the
// generator splits it. O(1).
RunSize generatedRunSize(int components, int rows, int cols, double fill);

// The clusters the design needs at the densest sizing, and the most a
// device for it may have.
std::int64_t clustersNeeded(const RunSize& s);
std::int64_t clustersAllowed(const RunSize& s);

// Estimated peak memory of the run, in bytes.
std::uint64_t runBytes(const RunSize& s);

// Why the run should not start, or empty. deviceRefusal: a given device
// (rows x cols) of more than clustersAllowed. memoryRefusal: an estimate
// above `available` bytes (never refused when `available` is 0, unknown).
std::string deviceRefusal(const RunSize& s, int rows, int cols);
std::string memoryRefusal(const RunSize& s, std::uint64_t available);

}  // namespace qplace

#endif
