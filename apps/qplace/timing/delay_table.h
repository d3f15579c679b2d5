// The routing delay between two clusters as a table over their distance
// (dx, dy) in clusters, computed once from the device's routing graph.
//
// Entry (dx, dy) is the fastest path from an output pin of cluster (1, 1)
// to an input pin of the cluster dx columns and dy rows away: `outPin`
// onto one of the unit wires of the first cluster (the wires that its pins
// join), then wires and switches, each node crossed adding its delay by
// cost code (DelayModel::nodeDelay), to a unit wire of the second cluster,
// and `inPin`. That is what a router on this graph meets at best. The
// generated graph looks the same from every cluster but for long wires
// cut short at the far border, which a path from the corner never needs
// within its reach; so the one search from the corner gives the delay of
// every pair of clusters at that distance, in either direction.
//
// Entry (0, 0) goes out of a cluster onto its wires and back in; two
// logic units in one cluster use the local crossbar instead (the
// analysis's business, see DelayModel::local).
//
// A device without a routing graph gets the table of the plain grid of
// unit wires: a horizontal run, a switch and a vertical run,
//   outPin + (dx + 1) wireH [+ switch + (dy + 1) wireV when dx, dy > 0] + inPin
// (only the vertical run, dy + 1 wires, when dx is 0 and dy is not; the
// faster of one wire of either kind at (0, 0)), which is what the search
// finds on a generated graph without long wires.
#ifndef QPLACE_TIMING_DELAY_TABLE_H
#define QPLACE_TIMING_DELAY_TABLE_H

#include <vector>

#include "host/standin/gen/designgen.h"
#include "qplace/timing/delay_model.h"

namespace qplace {

class DelayTable {
public:
  DelayTable() = default;

  // One shortest-path search (Dijkstra) over the whole graph of `dev` in
  // `graph`: O(A log N) time for A arcs and N nodes, with 8 bytes of work
  // space an arc and about 24 a node while it runs; the table keeps one
  // entry a cluster. A device without a graph (no tracks) gets plainGrid's
  // table.
  static DelayTable fromDevice(const standin::RoutingGraph& graph, const designgen::Device& dev,
                               const DelayModel& model);
  // The table of the plain grid, for `rows` x `cols` clusters (each >= 1).
  static DelayTable plainGrid(int rows, int cols, const DelayModel& model);

  int rows() const { return rows_; }
  int cols() const { return cols_; }
  // Entry (dx, dy), 0 <= dx < cols, 0 <= dy < rows; a path the search did
  // not find (a cluster cut off) is +infinity.
  double at(int dx, int dy) const { return t_[static_cast<std::size_t>(dy) * cols_ + dx]; }
  // The entries interpolated bilinearly at a distance that need not be
  // whole (as in global placement), clamped to the table; `zero` replaces
  // entry (0, 0). Exactly the entry at whole distances. O(1).
  double between(double dx, double dy, double zero) const;

private:
  int rows_ = 0, cols_ = 0;
  std::vector<double> t_;  // row-major: dy * cols + dx
};

}  // namespace qplace

#endif
