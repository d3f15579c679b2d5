// The inter-cluster delay table: a search from the corner cluster over the
// routing graph, or the plain grid's formula.
#include "qplace/timing/delay_table.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <queue>
#include <utility>

namespace qplace {

DelayTable DelayTable::plainGrid(int rows, int cols, const DelayModel& model) {
  DelayTable t;
  t.rows_ = std::max(1, rows);
  t.cols_ = std::max(1, cols);
  t.t_.resize(static_cast<std::size_t>(t.rows_) * t.cols_);
  for (int dy = 0; dy < t.rows_; ++dy) {
    for (int dx = 0; dx < t.cols_; ++dx) {
      double d = model.outPin + model.inPin;
      if (dx == 0 && dy == 0) d += std::min(model.wireH, model.wireV);
      else if (dx == 0) d += (dy + 1) * model.wireV;
      else d += (dx + 1) * model.wireH + (dy > 0 ? model.switchBox + (dy + 1) * model.wireV : 0.0);
      t.t_[static_cast<std::size_t>(dy) * t.cols_ + dx] = d;
    }
  }
  return t;
}

DelayTable DelayTable::fromDevice(const standin::RoutingGraph& graph, const designgen::Device& dev,
                                  const DelayModel& model) {
  const designgen::Wires& w = dev.wires;
  if (w.tracks <= 0) return plainGrid(dev.plcRows, dev.plcCols, model);
  const std::size_t numNodes = graph.nodes.size();
  const std::size_t numArcs = graph.arcs.size();

  // The node numbers of each arc's ends: every arc is listed by both its
  // end nodes, so one sweep over the nodes finds them.
  std::vector<int> tail(numArcs, -1), head(numArcs, -1);
  std::vector<double> delay(numNodes);
  for (std::size_t i = 0; i < numNodes; ++i) {
    const standin::Node& n = graph.nodes[i];
    delay[i] = model.nodeDelay(n.cost);
    for (int a : n.arcs) {
      const standin::Arc& arc = graph.arcs[static_cast<std::size_t>(a)];
      if (arc.ends[0] == &n) tail[static_cast<std::size_t>(a)] = static_cast<int>(i);
      if (arc.ends[1] == &n) head[static_cast<std::size_t>(a)] = static_cast<int>(i);
    }
  }
  std::vector<double> dist(numNodes, std::numeric_limits<double>::infinity());
  using Entry = std::pair<double, int>;
  std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> queue;
  const int perPlc = 2 * w.tracks + w.switches;
  for (int k = 0; k < 2 * w.tracks; ++k) {
    const int node = w.firstNode + k;
    const double d = model.outPin + delay[static_cast<std::size_t>(node)];
    if (delay[static_cast<std::size_t>(node)] >= 0 && d < dist[static_cast<std::size_t>(node)]) {
      dist[static_cast<std::size_t>(node)] = d;
      queue.emplace(d, node);
    }
  }
  while (!queue.empty()) {
    const auto [d, u] = queue.top();
    queue.pop();
    if (d > dist[static_cast<std::size_t>(u)]) continue;
    for (int a : graph.nodes[static_cast<std::size_t>(u)].arcs) {
      const std::size_t ai = static_cast<std::size_t>(a);
      int v = -1;
      if (tail[ai] == u) v = head[ai];
      else if (!graph.arcs[ai].directional) v = tail[ai];
      if (v < 0 || delay[static_cast<std::size_t>(v)] < 0) continue;
      const double dv = d + delay[static_cast<std::size_t>(v)];
      if (dv < dist[static_cast<std::size_t>(v)]) {
        dist[static_cast<std::size_t>(v)] = dv;
        queue.emplace(dv, v);
      }
    }
  }

  DelayTable t;
  t.rows_ = dev.plcRows;
  t.cols_ = dev.plcCols;
  t.t_.assign(static_cast<std::size_t>(t.rows_) * t.cols_, std::numeric_limits<double>::infinity());
  for (int plc = 0; plc < t.rows_ * t.cols_; ++plc) {
    double best = std::numeric_limits<double>::infinity();
    for (int k = 0; k < 2 * w.tracks; ++k)
      best = std::min(best, dist[static_cast<std::size_t>(w.firstNode + plc * perPlc + k)]);
    t.t_[static_cast<std::size_t>(plc)] = best + model.inPin;
  }
  return t;
}

double DelayTable::between(double dx, double dy, double zero) const {
  dx = std::min(std::max(dx, 0.0), static_cast<double>(cols_ - 1));
  dy = std::min(std::max(dy, 0.0), static_cast<double>(rows_ - 1));
  const int i = static_cast<int>(dx), j = static_cast<int>(dy);
  const double fx = dx - i, fy = dy - j;
  auto entry = [&](int a, int b) {
    if (a == 0 && b == 0) return zero;
    return at(std::min(a, cols_ - 1), std::min(b, rows_ - 1));
  };
  // A weight of 0 leaves the other end out, infinite or not.
  auto lerp = [](double a, double b, double f) { return f == 0 ? a : a * (1 - f) + b * f; };
  const double low = lerp(entry(i, j), entry(i + 1, j), fx);
  if (fy == 0) return low;
  return lerp(low, lerp(entry(i, j + 1), entry(i + 1, j + 1), fx), fy);
}

}  // namespace qplace
