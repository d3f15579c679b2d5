// The timing graph of a packed design: what the analysis propagates over.
//
// Nodes, one per timing point of a component:
//   - a LUT: one node, its inputs A to D in and its output Z out;
//   - a register: two nodes, its Q (a path start) and its inputs D, CE and
//     SR together (a path end: all three must be set up before the
//     capturing edge); its clock pin is no part of any path;
//   - an I/O component: a start at its O when it drives the design (an
//     input port) and an end at its I when it is driven (an output port);
//     an inout port has both, and no arc between them; a port on a clock
//     net has neither.
// Edges: one per driver pin and load pin of a signal that is no clock (no
// clock bit), from the driver's node to the load's node, with the load's
// component pin; clock nets carry no data (clocks are ideal). Only LUT,
// register and I/O components in units of the model take part.
//
// Registers: a register's clock is the signal on its CK pin (none: the
// register starts and ends no path); it is clocked on the rising edge
// unless `regFlags` marks it falling (a latch: transparent while its gate
// is low). A latch is timed as a flip-flop of
// the edge that opens it (rising for a latch transparent while its gate is
// high): paths start at its Q at that edge and end at its inputs before
// it; D to Q is no arc and the time a transparent latch could lend is not
// used.
//
// Combinational loops (through LUTs only: a register or port ends every
// path) are cut where a depth-first search finds them: from the LUTs that
// a topological sort cannot order, in design order, following outputs to
// loads, the edge by which the search comes back to a LUT still on its
// path is cut, i.e. the input of that LUT on the loop. Cut edges keep their
// delay but carry no arrival; `cutEdges` lists them for the report.
//
// Building is linear in the pins of the design; memory is about 35 bytes
// a node, 40 an edge, 8 a component and 4 a signal.
#ifndef QPLACE_TIMING_TIMING_GRAPH_H
#define QPLACE_TIMING_TIMING_GRAPH_H

#include <cstdint>
#include <vector>

#include "qplace/packing.h"

namespace qplace {

enum TimingNodeKind : std::uint8_t { TN_LUT, TN_REG_Q, TN_REG_IN, TN_PORT_IN, TN_PORT_OUT };

// Per-register facts that the netlist knows, as bits by component id.
enum RegisterFlag : std::uint8_t { REG_FALLING = 1, REG_LATCH = 2 };

struct TimingGraph {
  // Per node.
  std::vector<TimingNodeKind> kind;
  std::vector<standin::Comp*> comp;
  std::vector<int> unit;               // the unit of its component
  std::vector<int> clock;              // registers: number of the clock, -1 for none; others -1
  std::vector<std::uint8_t> falling;   // registers: 1 when clocked on the falling edge
  std::vector<standin::Signal*> clocks;  // by number, in the order registers first use them

  // Per edge, numbered by the unit of its load (then signal order), so
  // that the connections a move of a unit reads, and a node's inputs, lie
  // together in memory.
  std::vector<int> from, to;
  std::vector<int> pin;                // the load's component pin
  std::vector<std::uint8_t> cut;       // 1 when cut to break a loop
  std::vector<int> cutEdges;           // in the order found
  // By signal id: its edges are signalEdges[signalStart[s] .. signalStart[s + 1]).
  std::vector<int> signalStart, signalEdges;

  // Edges not cut, into and out of each node, each with the node at its
  // other end: in[inStart[v] .. inStart[v + 1]), likewise out.
  struct Link {
    int edge;
    int node;
  };
  std::vector<int> inStart, outStart;
  std::vector<Link> in, out;
  // A topological order of the nodes over the edges not cut, and each
  // node's place in it.
  std::vector<int> order, rank;
  // Edges between two distinct units, under each of the two:
  // unitEdges[unitStart[u] .. unitStart[u + 1]).
  std::vector<int> unitStart, unitEdges;

  // By component id: the node of its output (LUT, Q, an input port's O)
  // and of its inputs (LUT, register inputs, an output port's I); -1 for
  // none.
  std::vector<int> outNode, inNode;

  int numNodes() const { return static_cast<int>(kind.size()); }
  int numEdges() const { return static_cast<int>(from.size()); }
  bool isStart(int v) const { return kind[v] == TN_REG_Q || kind[v] == TN_PORT_IN; }
  bool isEnd(int v) const { return kind[v] == TN_REG_IN || kind[v] == TN_PORT_OUT; }
};

// Builds the graph of the design's components in units of `m`.
// `regFlags` holds RegisterFlag bits by component id (shorter, or empty:
// rising-edge flip-flops).
TimingGraph buildTimingGraph(standin::Design& d, const Model& m, const std::vector<std::uint8_t>& regFlags);

}  // namespace qplace

#endif
