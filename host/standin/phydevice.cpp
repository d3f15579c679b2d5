// The stand-in's device model: routing graph, arc ids, node iteration, sites
// and grids.
#include <cstring>
#include <vector>

#include "host/standin/standin_graph.h"

namespace standin {

namespace {

// Every routing graph made so far, by number; null once destroyed.
std::vector<RoutingGraph*>& graphs() {
  static std::vector<RoutingGraph*> all;
  return all;
}

void putWord(unsigned char* bytes, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
}

std::uint32_t getWord(const unsigned char* bytes) {
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(bytes[i]) << (8 * i);
  return value;
}

}  // namespace

RoutingGraph::RoutingGraph() : number_(static_cast<std::uint32_t>(graphs().size())) {
  graphs().push_back(this);
}

RoutingGraph::~RoutingGraph() { graphs()[number_] = nullptr; }

Node* RoutingGraph::addNode(const std::string& name, unsigned char cost) {
  Node& node = nodes.emplace_back();
  node.graph = this;
  node.name = name;
  node.cost = cost;
  return &node;
}

int RoutingGraph::addArc(Node* from, Node* to, bool directional) {
  const int index = static_cast<int>(arcs.size());
  Arc& arc = arcs.emplace_back();
  arc.ends[0] = from;
  arc.ends[1] = to;
  arc.directional = directional;
  arcLists_.push(from->arcs, index);
  if (to != from) arcLists_.push(to->arcs, index);
  return index;
}

void RoutingGraph::clear() {
  std::deque<Node>().swap(nodes);
  std::deque<Arc>().swap(arcs);
  arcLists_.clear();
}

PhyArc_ID RoutingGraph::id(int index) const {
  PhyArc_ID arcId;
  putWord(arcId.bytes, static_cast<std::uint32_t>(index));
  putWord(arcId.bytes + 4, number_);
  return arcId;
}

Arc* RoutingGraph::find(const PhyArc_ID& arcId) {
  const std::uint32_t number = getWord(arcId.bytes + 4);
  const std::uint32_t index = getWord(arcId.bytes);
  if (number >= graphs().size() || graphs()[number] == nullptr) return nullptr;
  RoutingGraph& graph = *graphs()[number];
  return index < graph.arcs.size() ? &graph.arcs[index] : nullptr;
}

PhyArc_ID noArc() {
  PhyArc_ID arcId;
  std::memset(arcId.bytes, 0xff, sizeof arcId.bytes);
  return arcId;
}

}  // namespace standin

using standin::Arc;
using standin::Node;
using standin::RoutingGraph;

char* PhyNode::getname() { return &static_cast<Node*>(this)->name[0]; }
unsigned char PhyNode::getcostcode() { return static_cast<Node*>(this)->cost; }
unsigned char PhyNode::getflags() { return static_cast<Node*>(this)->flags; }

PhyArc_ID::~PhyArc_ID() = default;

unsigned char PhyArc_ID::operator==(const PhyArc_ID& other) const {
  return std::memcmp(bytes, other.bytes, sizeof bytes) == 0 ? 1 : 0;
}

unsigned char PhyArc_ID::operator!=(const PhyArc_ID& other) const {
  return *this == other ? 0 : 1;
}

PhyNode* PhyArc_ID::getnode(unsigned short end) const {
  const Arc* arc = RoutingGraph::find(*this);
  return arc != nullptr && end < 2 ? arc->ends[end] : nullptr;
}

unsigned char PhyArc_ID::isdirectional() const {
  const Arc* arc = RoutingGraph::find(*this);
  return arc != nullptr && arc->directional ? 1 : 0;
}

unsigned char PhyArc_ID::isused() const {
  const Arc* arc = RoutingGraph::find(*this);
  return arc != nullptr && arc->used ? 1 : 0;
}

PhyNode_ITERATOR::PhyNode_ITERATOR(PhyNode* node, ARC_TYPE type)
    : node_(node), type_(type), index_(-1) {}

PhyNode_ITERATOR::~PhyNode_ITERATOR() = default;

unsigned char PhyNode_ITERATOR::getnext() {
  if (node_ == nullptr) return 0;
  const auto& arcs = static_cast<Node*>(node_)->arcs;
  if (index_ < static_cast<int>(arcs.size())) ++index_;
  return index_ < static_cast<int>(arcs.size()) ? 1 : 0;
}

namespace {

// The index of the iterator's current arc in its graph, or -1.
int currentArc(PhyNode* node, int index) {
  if (node == nullptr || index < 0) return -1;
  const auto& arcs = static_cast<Node*>(node)->arcs;
  return index < static_cast<int>(arcs.size()) ? arcs[static_cast<std::size_t>(index)] : -1;
}

}  // namespace

PhyArc_ID PhyNode_ITERATOR::getcurarcid() {
  const int arc = currentArc(node_, index_);
  return arc < 0 ? standin::noArc() : static_cast<Node*>(node_)->graph->id(arc);
}

PhyNode* PhyNode_ITERATOR::getcurnode() {
  const int index = currentArc(node_, index_);
  if (index < 0) return nullptr;
  const Arc& arc = static_cast<Node*>(node_)->graph->arcs[static_cast<std::size_t>(index)];
  if (!arc.showsNode) return nullptr;
  return arc.ends[0] == node_ ? arc.ends[1] : arc.ends[0];
}

unsigned short PhySite::getnumpins() { return static_cast<standin::PhySiteRec*>(this)->numPins; }

unsigned short PhyGrid::getnumrows() { return static_cast<standin::Grid*>(this)->rows; }
unsigned short PhyGrid::getnumcols() { return static_cast<standin::Grid*>(this)->cols; }
int PhyGrid::gett1offset() { return static_cast<standin::Grid*>(this)->t1offset; }
int PhyGrid::gett2offset() { return static_cast<standin::Grid*>(this)->t2offset; }
void PhyGrid::getgridpt(PhySite* site, UT_POINT& point) {
  if (site != nullptr) point = static_cast<standin::PhySiteRec*>(site)->gridPt;
}

int PhyTileGrid::getnumrows() {
  return static_cast<int>(static_cast<standin::TileGrid*>(this)->rowPos.size());
}
int PhyTileGrid::getnumcols() {
  return static_cast<int>(static_cast<standin::TileGrid*>(this)->colPos.size());
}
const int* PhyTileGrid::getrowpos() { return static_cast<standin::TileGrid*>(this)->rowPos.data(); }
const int* PhyTileGrid::getcolpos() { return static_cast<standin::TileGrid*>(this)->colPos.data(); }

PhyGrid* PhyDevice::getgrid() { return &static_cast<standin::PhyDev*>(this)->grid; }
PhyTileGrid* PhyDevice::gettilegrid() { return &static_cast<standin::PhyDev*>(this)->tiles; }
