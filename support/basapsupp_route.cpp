// Route lookup on the routing graph: route and path membership of arcs, the
// backward route search between two nodes, the route between two pins of a
// signal, and the printing of a route's nodes with a tally of cost codes.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

#include "host/phydevice.h"
#include "host/updesign.h"
#include "host/ututil.h"
#include "support/basapsupp.h"
#include "support/basapsupp_nodeset.h"

namespace {

// The signal whose route is being looked up: set by getRoute, read by
// arcInPath without a node. Never cleared.
UP_SIGNAL* curSignal = nullptr;

constexpr int kNumCostCodes = 16;

// The names of the cost codes, by code.
const char* const costCodeNames[kNumCostCodes] = {
    "LOCAL", "SPINE", "INPIN",   "OUTPIN",     "CLOCK",     "BY0", "BY6/12", "BY2/4",
    "SWBOX", "CARRY", "BY1/1_0", "BY1_1/1_D1", "HL/BY1_D2", "BUS", "BRANCH", "HSPINE"};

// The tally line lists these codes first, then two blanks, then the others.
const int kTallyFirst[] = {5, 6, 7, 10, 11, 12};
const int kTallyRest[] = {0, 1, 2, 3, 4, 8, 9, 13, 14, 15};

// The first of the three ints that the search gives UP_PATH::addarc with
// each arc (0x3fffffff, 0, 0); what they mean is the host's.
constexpr int kArcMark = 0x3fffffff;

void emit(const char* text) { ut_msgman->print(text); }

// The id that names no arc: all bytes ones.
PhyArc_ID noArcId() {
  PhyArc_ID id;
  for (unsigned char& byte : id.bytes) byte = 0xff;
  return id;
}

// A node on the search's stack: the node, the arc by which it was reached,
// and the walk over its arcs, which stands where the previous step left it.
struct Frame {
  Frame(PhyNode* node, const PhyArc_ID& arcIn)
      : node(node), arcIn(arcIn), arcs(node, PhyNode_ITERATOR::ARC_ALL) {}

  PhyNode* node;
  PhyArc_ID arcIn;
  PhyNode_ITERATOR arcs;
};

// The search's stack of frames. An arc walk cannot be copied or moved, so
// the frames live in fixed blocks that are kept, not freed, when the stack
// shrinks.
class FrameStack {
public:
  ~FrameStack() { clear(); }

  bool empty() const { return size_ == 0; }
  std::size_t size() const { return size_; }

  Frame& operator[](std::size_t i) {
    return *std::launder(reinterpret_cast<Frame*>(&blocks_[i / kBlock][i % kBlock]));
  }
  Frame& top() { return (*this)[size_ - 1]; }

  void push(PhyNode* node, const PhyArc_ID& arcIn) {
    if (size_ == blocks_.size() * kBlock) blocks_.emplace_back(new Storage[kBlock]);
    new (&blocks_[size_ / kBlock][size_ % kBlock]) Frame(node, arcIn);
    ++size_;
  }
  void pop() {
    top().~Frame();
    --size_;
  }
  void clear() {
    while (size_ > 0) pop();
  }

private:
  static constexpr std::size_t kBlock = 1024;
  using Storage = std::aligned_storage_t<sizeof(Frame), alignof(Frame)>;
  std::vector<std::unique_ptr<Storage[]>> blocks_;
  std::size_t size_ = 0;
};

// The storage of the route search, kept between calls.
struct SearchSpace {
  basapsupp::NodeSet visited;
  FrameStack stack;
};

SearchSpace& searchSpace() {
  static SearchSpace space;
  return space;
}

// The signal at a pin's component pin, or null; the component must exist.
UP_SIGNAL* signalAt(UP_SIGPIN* pin) { return pin->getcomp()->getsignal(pin->getpinid()); }

// The route between two non-null pins (getRoute's steps after its argument
// checks): components, the current signal, the search, and the last node.
int routeBetween(AP_SUPP& supp, UP_SIGPIN* from, UP_SIGPIN* to, UP_PATH* path,
                 std::vector<PhyNode*>& nodes) {
  if (from->getcomp() == nullptr || to->getcomp() == nullptr) return 0;
  UP_SIGNAL* sa = signalAt(from);
  UP_SIGNAL* sb = signalAt(to);
  curSignal = sb;
  if (sa != sb || sb == nullptr) return 0;
  const int found = supp.findRoute(from->getnode(), to->getnode(), noArcId(), path, nodes);
  if (found != 0) nodes.push_back(to->getnode());
  return found;
}

}  // namespace

UP_SIGNAL* AP_SUPP::getCurSignal() { return curSignal; }

char* AP_SUPP::ndName(PhyNode* node) { return node != nullptr ? node->getname() : nullptr; }

void AP_SUPP::dumpNodeArr(std::vector<PhyNode*>& nodes, const char* prefix) {
  if (prefix == nullptr) prefix = "";
  int counts[kNumCostCodes] = {};
  for (PhyNode* node : nodes) {
    const int code = node->getcostcode();
    const bool known = code < kNumCostCodes;
    emit(neoform("%s%-24s %s (%d)\n", prefix, node->getname(), known ? costCodeNames[code] : "?",
                 code));
    if (known) ++counts[code];
  }
  emit(neoform("%s- ", prefix));
  for (int code : kTallyFirst)
    if (counts[code] != 0) emit(neoform("%s=%d ", costCodeNames[code], counts[code]));
  emit("  ");
  for (int code : kTallyRest)
    if (counts[code] != 0) emit(neoform("%s=%d ", costCodeNames[code], counts[code]));
  emit(" -\n");
}

bool AP_SUPP::arcInPath(PhyArc_ID& arc, PhyNode* node) {
  if (node != nullptr) return arc.isused() && (node->getflags() & PhyNode::ON_ROUTE) != 0;
  return curSignal != nullptr && arcInPath(curSignal->getpath(), arc);
}

bool AP_SUPP::arcInPath(UP_PATH* path, PhyArc_ID& arc) { return GetPathArcInPath(path, arc) != nullptr; }

PhyPathArc* AP_SUPP::GetPathArcInPath(UP_PATH* path, PhyArc_ID& arc) {
  const std::vector<PhyPathArc*>* arcs = path != nullptr ? path->getarcs() : nullptr;
  if (arcs == nullptr) return nullptr;
  for (PhyPathArc* element : *arcs)
    if (element->getarcid() == arc) return element;
  return nullptr;
}

int AP_SUPP::isRouted(UP_SIGPIN* a, UP_SIGPIN* b) {
  if (a == nullptr || b == nullptr) return 0;
  UP_COMP* ca = a->getcomp();
  UP_COMP* cb = b->getcomp();
  if (ca == nullptr || cb == nullptr) return 0;
  UP_SIGNAL* sig = signalAt(a);
  if (sig == nullptr || sig != signalAt(b) || sig->isrouted() == 0) return 0;
  return ca->getsite() != nullptr && cb->getsite() != nullptr ? 1 : 0;
}

// A depth-first search that does what a recursive one does, step for step,
// on an explicit stack: at each node its arcs are taken in order, and the
// arc that leads on to a new node pushes that node; a node whose arcs are
// exhausted is popped and its parent goes on with its next arc. On reaching
// `from` the stack holds the route, and it is read off from the top down:
// the arc into `from` first, then the arc by which each node on the stack
// was reached, which gives the arcs in order from `from` to `to`.
//
// Every node entered is recorded, and an arc leading to a recorded node is
// passed over. That keeps the search finite on a route with a cycle; on a
// route without one it changes nothing, because a node reached a second time
// has already been searched to the end without success, and searching it
// again (even having come by another arc) would fail again or close a cycle.
int AP_SUPP::findRoute(PhyNode* from, PhyNode* to, PhyArc_ID arcIn, UP_PATH* path,
                       std::vector<PhyNode*>& nodes) {
  if (from == nullptr || to == nullptr) return 0;
  if (from == to) return 1;
  if (path == nullptr) return 0;

  SearchSpace& space = searchSpace();
  basapsupp::NodeSet& visited = space.visited;
  FrameStack& stack = space.stack;
  visited.clear();
  stack.clear();
  visited.insert(to);
  stack.push(to, arcIn);
  while (!stack.empty()) {
    Frame& frame = stack.top();
    if (!frame.arcs.getnext()) {
      stack.pop();
      continue;
    }
    PhyArc_ID cur = frame.arcs.getcurarcid();
    if (!arcInPath(cur, frame.arcs.getcurnode())) continue;
    if (!(cur != frame.arcIn)) continue;
    PhyNode* prev;
    if (cur.getnode(1) == frame.node)
      prev = cur.getnode(0);
    else if (!cur.isdirectional() && cur.getnode(0) == frame.node)
      prev = cur.getnode(1);
    else
      continue;
    if (prev == from) {
      path->addarc(cur, kArcMark, 0, 0);
      nodes.push_back(from);
      for (std::size_t i = stack.size() - 1; i > 0; --i) {
        Frame& on = stack[i];
        path->addarc(on.arcIn, kArcMark, 0, 0);
        nodes.push_back(on.node);
      }
      stack.clear();
      return 1;
    }
    if (prev == nullptr || !visited.insert(prev)) continue;
    stack.push(prev, cur);
  }
  return 0;
}

int AP_SUPP::getRoute(UP_SIGPIN* from, UP_SIGPIN* to, UP_PATH* path, std::vector<PhyNode*>& nodes) {
  if (from == nullptr || to == nullptr || path == nullptr) return 0;
  return routeBetween(*this, from, to, path, nodes);
}

int AP_SUPP::getRoute(const char* prefix, UP_SIGPIN* from, UP_SIGPIN* to, UP_PATH* path) {
  std::vector<PhyNode*> nodes;
  int found = 0;
  if (from != nullptr && to != nullptr) {
    if (path != nullptr) {
      found = routeBetween(*this, from, to, path, nodes);
    } else {
      UP_PATH scratch;
      found = routeBetween(*this, from, to, &scratch, nodes);
    }
  }
  if (prefix != nullptr && found != 0) {
    if (prefix[0] != 'X')
      emit(neoform("-- %s%s - %s --\n", prefix, from->getnode()->getname(),
                   to->getnode()->getname()));
    else
      ++prefix;
    dumpNodeArr(nodes, prefix);
  }
  return found;
}

int AP_SUPP::getRoute(const char* prefix, UP_SIGPIN* to, UP_PATH* path) {
  UP_SIGNAL* sig = to != nullptr ? to->getsignal() : nullptr;
  if (sig == nullptr) return 0;
  return getRoute(prefix, sig->getsigpin(0), to, path);
}
