// Index arithmetic of a generated device's routing graph (see Wires in
// designgen.h): which node is which wire or switch, and which arc joins two
// of them. The graph is regular, so both are computed, not looked up.
//
// Arcs come in three runs: the switch arcs of every cluster (cluster-major,
// two per track: switch-horizontal, then switch-vertical), then the arcs
// between horizontal wires of side-by-side clusters (row-major over the
// clusters that have a right neighbour, one per track), then those between
// vertical wires of clusters one above the other.
#ifndef BASAPLACE_STANDIN_GEN_WIRES_H
#define BASAPLACE_STANDIN_GEN_WIRES_H

#include "host/standin/gen/designgen.h"

namespace designgen {
namespace detail {

// Cost codes of the nodes.
enum : unsigned char {
  COST_INPIN = 2,
  COST_OUTPIN = 3,
  COST_VWIRE = 6,
  COST_HWIRE = 7,
  COST_SWITCH = 8,
  COST_LONGWIRE = 12
};

struct WireLayout {
  explicit WireLayout(const Device& dev)
      : rows(dev.plcRows), cols(dev.plcCols), tracks(dev.wires.tracks),
        switches(dev.wires.switches), firstNode(dev.wires.firstNode),
        firstArc(dev.wires.firstArc) {}

  int rows, cols, tracks, switches, firstNode, firstArc;

  int perPlc() const { return 2 * tracks + switches; }
  int plcs() const { return rows * cols; }

  // Node numbers relative to firstNode. Within a cluster: horizontal
  // wires 0 .. tracks-1, vertical wires tracks .. 2*tracks-1, switches after.
  int hWire(int plc, int t) const { return plc * perPlc() + t; }
  int vWire(int plc, int t) const { return plc * perPlc() + tracks + t; }
  int switchNode(int plc, int k) const { return plc * perPlc() + 2 * tracks + k; }
  static int switchOf(int t) { return t / 2; }

  // Absolute arc indexes.
  int switchArc(int plc, int t, bool vertical) const {
    return firstArc + plc * 2 * tracks + 2 * t + (vertical ? 1 : 0);
  }
  // The arc between horizontal wire t of (r, c) and of (r, c + 1).
  int eastArc(int r, int c, int t) const {
    return firstArc + plcs() * 2 * tracks + (r * (cols - 1) + c) * tracks + t;
  }
  // The arc between vertical wire t of (r, c) and of (r + 1, c).
  int southArc(int r, int c, int t) const {
    return firstArc + plcs() * 2 * tracks + rows * (cols - 1) * tracks + (r * cols + c) * tracks + t;
  }
  int arcCount() const {
    return plcs() * 2 * tracks + rows * (cols - 1) * tracks + (rows - 1) * cols * tracks;
  }
};

// Makes the routing graph of a device that has none yet (addDevice with
// routing does it last): sets dev.wires and adds the wire and switch nodes
// and their arcs to d's graph. It touches nothing of the design but its
// graph, and nothing of dev but dev.wires, so it may run beside work on the
// rest of the design. Linear in the clusters times the tracks.
void addWires(standin::Design& d, Device& dev, int tracks);

// Adds the long wires (see Wires in designgen.h) of a device whose plain
// wires are made: their nodes, then their arcs cluster by cluster.
void addLongWires(standin::Design& d, Device& dev, int longTracks, int span);

// Throws std::invalid_argument, as addDevice does, for device parameters
// out of range.
void checkDevice(const DeviceParams& params);

}  // namespace detail
}  // namespace designgen

#endif
