// Timing of one design on one device, put together for the placer: the
// settings a run takes, and the graph, delay table and analysis built
// from them once the design is packed.
#ifndef QPLACE_TIMING_DESIGN_TIMING_H
#define QPLACE_TIMING_DESIGN_TIMING_H

#include <cstdint>
#include <utility>
#include <vector>

#include "qplace/timing/analysis.h"
#include "qplace/timing/clock_periods.h"
#include "qplace/timing/delay_model.h"
#include "qplace/timing/delay_table.h"
#include "qplace/timing/timing_graph.h"

namespace qplace {

struct TimingSettings {
  DelayModel delays;
  ClockPeriods periods;
  // RegisterFlag bits by component id (falling edge, latch), as the
  // netlist reader knows them; empty for rising-edge flip-flops.
  std::vector<std::uint8_t> regFlags;
};

// Builds the timing graph, the device's delay table (one search over its
// routing graph in `d`) and an analysis with the settings' periods; every
// unit at (1, 1) until positions are set. With threads >= 2 (0: the
// machine's cores) the graph and the table are built at the same time, on
// this thread and one more (the same results; one after the other when no
// thread can be started).
struct DesignTiming {
  DesignTiming(standin::Design& d, const Model& m, const designgen::Device& dev, const TimingSettings& s,
               int threads = 1);
  DesignTiming(const DesignTiming&) = delete;
  DesignTiming& operator=(const DesignTiming&) = delete;

  TimingGraph graph;
  DelayTable table;
  TimingAnalysis analysis;

private:
  DesignTiming(std::pair<TimingGraph, DelayTable>&& built, const Model& m, const TimingSettings& s);
};

}  // namespace qplace

#endif
