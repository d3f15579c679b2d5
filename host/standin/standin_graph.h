// The stand-in host's device model: the routing graph with its nodes and
// arcs, the device's sites, its grids, and path elements. Every design owns
// one (standin::Design::phy); Design::addNode, addArc and route fill the
// graph.
//
// An arc id (PhyArc_ID) holds the arc's index in bytes 0-3 and its graph's
// number in bytes 4-7, both little-endian; graphs are numbered from 0 in the
// order they are made, and an id of a graph that no longer exists names no
// arc. The no-arc id (all bytes 0xff) names no arc either.
//
// PhyNode_ITERATOR walks every arc of its node whatever its ARC_TYPE. A
// UP_PATH has an arc list once it has an arc: getarcs is null for an empty
// path.
#ifndef BASAPLACE_STANDIN_GRAPH_H
#define BASAPLACE_STANDIN_GRAPH_H

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "host/phydevice.h"
#include "host/standin/standin_pool.h"

namespace standin {

class RoutingGraph;

// A routing node. PhyNode_ITERATOR walks `arcs` (indexes into its graph) in
// order: the arcs of which the node is an end, in the order they were added.
// The list grows through its graph (addArc, reserveArcs).
struct Node : PhyNode {
  RoutingGraph* graph = nullptr;
  std::string name;
  unsigned char cost = 0;   // getcostcode
  unsigned char flags = 0;  // getflags
  List<int> arcs;
};

// A routing arc from ends[0] to ends[1]. PhyNode_ITERATOR::getcurnode gives,
// with this arc, the end other than the iterated node, or null when
// `showsNode` is false.
struct Arc {
  Node* ends[2] = {nullptr, nullptr};
  bool directional = true;
  bool used = false;
  bool showsNode = true;
};

class RoutingGraph {
public:
  RoutingGraph();
  ~RoutingGraph();
  RoutingGraph(const RoutingGraph&) = delete;
  RoutingGraph& operator=(const RoutingGraph&) = delete;

  Node* addNode(const std::string& name, unsigned char cost);
  // Adds an arc between two nodes of this graph and returns its index. An
  // arc from a node to itself is listed once in that node's arcs.
  int addArc(Node* from, Node* to, bool directional);
  // Room for `n` arcs of the node in all, so that a node whose arcs are
  // known ahead takes no more than it needs.
  void reserveArcs(Node* node, std::size_t n) { arcLists_.reserve(node->arcs, n); }
  // Destroys every node and arc and gives their memory back: pointers to
  // them dangle and the ids of the graph's arcs name no arc until arcs of
  // those indexes are added again. The graph keeps its number. Linear in
  // the graph.
  void clear();

  // The id of arc `index`.
  PhyArc_ID id(int index) const;
  // The arc that an id names, or null.
  static Arc* find(const PhyArc_ID& id);

  std::uint32_t number() const { return number_; }

  std::deque<Node> nodes;
  std::deque<Arc> arcs;

private:
  std::uint32_t number_;
  Pool<int> arcLists_;
};

// The no-arc id.
PhyArc_ID noArc();

// An element of a path.
struct PathArc : PhyPathArc {
  PhyArc_ID id;
  int a = 0, b = 0, c = 0;  // the three ints given to UP_PATH::addarc
};

// A site of the device model. getgridpt gives `gridPt`.
struct PhySiteRec : PhySite {
  unsigned short numPins = 0;
  UT_POINT gridPt{0, 0};
};

struct Grid : PhyGrid {
  unsigned short rows = 0;
  unsigned short cols = 0;
  int t1offset = 0;
  int t2offset = 0;
};

struct TileGrid : PhyTileGrid {
  std::vector<int> rowPos;  // one coordinate per row
  std::vector<int> colPos;  // one coordinate per column
};

struct PhyDev : PhyDevice {
  Grid grid;
  TileGrid tiles;
  RoutingGraph graph;
  std::deque<PhySiteRec> sites;
};

}  // namespace standin

#endif
