// The placer's timing, put together.
#include "qplace/timing/design_timing.h"

namespace qplace {

DesignTiming::DesignTiming(standin::Design& d, const Model& m, const designgen::Device& dev, const TimingSettings& s)
    : graph(buildTimingGraph(d, m, s.regFlags)),
      table(DelayTable::fromDevice(d.phy.graph, dev, s.delays)),
      analysis(graph, m, table, s.delays) {
  analysis.setPeriods(s.periods);
}

}  // namespace qplace
