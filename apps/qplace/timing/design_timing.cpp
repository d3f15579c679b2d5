// The placer's timing, put together.
#include "qplace/timing/design_timing.h"

#include <future>
#include <system_error>
#include <thread>
#include <utility>

namespace qplace {

namespace {

// The graph reads the netlist and the table the routing graph, and neither
// writes the design, so with two threads they are built side by side (at a
// million components each takes over a second); without a thread to be
// had, one after the other. Either way the same graph and table.
std::pair<TimingGraph, DelayTable> buildGraphAndTable(standin::Design& d, const Model& m,
                                                      const designgen::Device& dev, const TimingSettings& s,
                                                      int threads) {
  auto table = [&] { return DelayTable::fromDevice(d.phy.graph, dev, s.delays); };
  std::future<DelayTable> aside;
  if (threads <= 0) threads = static_cast<int>(std::thread::hardware_concurrency());
  if (threads >= 2) {
    try {
      aside = std::async(std::launch::async, table);
    } catch (const std::system_error&) {
    }
  }
  TimingGraph graph = buildTimingGraph(d, m, s.regFlags);
  return {std::move(graph), aside.valid() ? aside.get() : table()};
}

}  // namespace

DesignTiming::DesignTiming(standin::Design& d, const Model& m, const designgen::Device& dev, const TimingSettings& s,
                           int threads)
    : DesignTiming(buildGraphAndTable(d, m, dev, s, threads), m, s) {}

DesignTiming::DesignTiming(std::pair<TimingGraph, DelayTable>&& built, const Model& m, const TimingSettings& s)
    : graph(std::move(built.first)), table(std::move(built.second)), analysis(graph, m, table, s.delays) {
  analysis.setPeriods(s.periods);
}

}  // namespace qplace
