// How much memory reading and placing a netlist takes, estimated before the
// work, so that a netlist too big for the machine is refused up front with
// the figure it needs instead of failing halfway.
//
// Two peaks, measured with mallinfo2 on the yosys netlists of picorv32,
// nerv and aes and on generated designs of 10^4 to 10^6 components:
//  - reading: the file's text and its parsed JSON document, which takes
//    4.4 times the text (every number and string becomes a node), and the
//    logical netlist made from it (half the text): kParsedPerTextByte;
//  - building and placing: the stand-in design takes about 1,150 bytes a
//    component on read netlists (4.3 pins a component), 1,470 with the
//    device and its routing graph; placing 100,000 generated components
//    peaks at 2,360 bytes a component. kBytesPerComponent and kBytesPerPin
//    give 2,700 at 4.3 pins: some room above that.
#ifndef QPLACE_MEMORY_BUDGET_H
#define QPLACE_MEMORY_BUDGET_H

#include <cstdint>
#include <string>

namespace qplace {

// Bytes of text and parsed document per byte of netlist text.
constexpr std::uint64_t kParsedPerTextByte = 7;
// Bytes per component and per component pin, building and placing.
constexpr std::uint64_t kBytesPerComponent = 1400;
constexpr std::uint64_t kBytesPerPin = 300;

// The memory the process may still take: the smaller of the system's
// available memory (/proc/meminfo's MemAvailable, else sysinfo's free and
// buffer memory) and the room left under the control group's limit, if it
// has one. 0 when nothing tells. A few file reads.
std::uint64_t availableMemory();

// Reading a netlist text of `textBytes` bytes.
inline std::uint64_t parseBytes(std::uint64_t textBytes) { return textBytes * kParsedPerTextByte; }
// Building and placing a design of these sizes.
inline std::uint64_t placeBytes(std::uint64_t components, std::uint64_t pins) {
  return components * kBytesPerComponent + pins * kBytesPerPin;
}

// Gives the allocator's free pages back to the system (glibc's
// malloc_trim, nothing elsewhere), so that the memory of a large structure
// just freed leaves the resident size instead of waiting, in holes of the
// heap, for allocations of its size. Time linear in the heap's free lists.
void releaseFreeMemory();

// "1.2 GB", "310 MB", "12 kB", "300 bytes": decimal units, three digits.
std::string byteText(std::uint64_t bytes);

}  // namespace qplace

#endif
