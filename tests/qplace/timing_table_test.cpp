// The inter-cluster delay table against shortest paths found by a plain
// Bellman-Ford search over the same routing graph, and the plain grid's
// formula. (Fractional distances: the analysis's test of pairs.)
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "qplace/timing/delay_table.h"

namespace {

using qplace::DelayModel;
using qplace::DelayTable;

// Figures that tell every wire kind apart.
DelayModel distinctFigures() {
  DelayModel m;
  m.outPin = 90;
  m.inPin = 210;
  m.wireH = 150;
  m.wireV = 170;
  m.wireLong = 260;
  m.switchBox = 95;
  return m;
}

// A plain Bellman-Ford search over one routing graph: the fastest delay
// from an output pin of a cluster to an input pin of every cluster, by
// relaxing every arc until nothing changes. The unit wires of a cluster
// are found by their names.
class PlainSearch {
public:
  PlainSearch(const standin::RoutingGraph& graph, const DelayModel& m, int rows, int cols)
      : graph_(graph), m_(m), cols_(cols), wiresOf_(static_cast<std::size_t>(rows * cols)) {
    std::map<const standin::Node*, int> index;
    for (std::size_t i = 0; i < graph.nodes.size(); ++i) {
      index[&graph.nodes[i]] = static_cast<int>(i);
      int r = 0, c = 0;
      char kind = 0;
      if (std::sscanf(graph.nodes[i].name.c_str(), "R%dC%d_%c", &r, &c, &kind) == 3 && (kind == 'H' || kind == 'V'))
        wiresOf_[static_cast<std::size_t>((r - 1) * cols + c - 1)].push_back(static_cast<int>(i));
    }
    for (const standin::Arc& arc : graph.arcs) {
      steps_.emplace_back(index.at(arc.ends[0]), index.at(arc.ends[1]));
      if (!arc.directional) steps_.emplace_back(index.at(arc.ends[1]), index.at(arc.ends[0]));
    }
  }

  // Per cluster, row-major, from cluster (r0, c0).
  std::vector<double> from(int r0, int c0) const {
    const double inf = std::numeric_limits<double>::infinity();
    std::vector<double> dist(graph_.nodes.size(), inf);
    for (int i : wiresOf_[static_cast<std::size_t>(r0 * cols_ + c0)])
      dist[static_cast<std::size_t>(i)] = m_.outPin + m_.nodeDelay(graph_.nodes[static_cast<std::size_t>(i)].cost);
    for (bool changed = true; changed;) {
      changed = false;
      for (const auto& [u, v] : steps_) {
        const double w = m_.nodeDelay(graph_.nodes[static_cast<std::size_t>(v)].cost);
        if (w < 0 || dist[static_cast<std::size_t>(u)] + w >= dist[static_cast<std::size_t>(v)]) continue;
        dist[static_cast<std::size_t>(v)] = dist[static_cast<std::size_t>(u)] + w;
        changed = true;
      }
    }
    std::vector<double> best(wiresOf_.size(), inf);
    for (std::size_t plc = 0; plc < wiresOf_.size(); ++plc)
      for (int i : wiresOf_[plc]) best[plc] = std::min(best[plc], dist[static_cast<std::size_t>(i)] + m_.inPin);
    return best;
  }

private:
  const standin::RoutingGraph& graph_;
  const DelayModel& m_;
  int cols_;
  std::vector<std::vector<int>> wiresOf_;
  std::vector<std::pair<int, int>> steps_;
};

// With long wires (span 3) and without: the table is the corner's fastest
// paths; from the other clusters the same distance costs the same in
// every direction, with long wires falling off the far border or not.
TEST(DelayTable, MatchesAnIndependentSearchFromEveryCluster) {
  for (int longTracks : {0, 2}) {
    standin::Design d;
    designgen::DeviceParams dp;
    dp.plcRows = 5;
    dp.plcCols = 8;
    dp.routing = true;
    dp.tracks = 4;
    dp.longTracks = longTracks;
    dp.longSpan = 3;
    const designgen::Device dev = designgen::addDevice(d, dp);
    const DelayModel m = distinctFigures();
    const DelayTable t = DelayTable::fromDevice(d.phy.graph, dev, m);
    ASSERT_EQ(t.rows(), 5);
    ASSERT_EQ(t.cols(), 8);
    const PlainSearch search(d.phy.graph, m, dp.plcRows, dp.plcCols);
    for (int r0 = 0; r0 < dp.plcRows; ++r0) {
      for (int c0 = 0; c0 < dp.plcCols; ++c0) {
        const std::vector<double> bf = search.from(r0, c0);
        for (int plc = 0; plc < dp.plcRows * dp.plcCols; ++plc) {
          const int dy = std::abs(plc / dp.plcCols - r0), dx = std::abs(plc % dp.plcCols - c0);
          EXPECT_EQ(t.at(dx, dy), bf[static_cast<std::size_t>(plc)])
              << "long tracks " << longTracks << " from (" << r0 << ", " << c0 << ") to cluster " << plc;
        }
      }
    }
    // Far beyond the device a distance reads as the farthest.
    EXPECT_EQ(t.between(100, -3, 0), t.at(dp.plcCols - 1, 0));
    // Without long wires the search finds the plain grid's formula.
    if (longTracks == 0) {
      const DelayTable plain = DelayTable::plainGrid(dp.plcRows, dp.plcCols, m);
      for (int dy = 0; dy < dp.plcRows; ++dy)
        for (int dx = 0; dx < dp.plcCols; ++dx) EXPECT_EQ(t.at(dx, dy), plain.at(dx, dy)) << dx << ", " << dy;
    }
  }
}

}  // namespace
