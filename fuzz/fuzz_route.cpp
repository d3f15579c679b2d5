// Route lookup on random routing graphs read from a byte stream: cycles,
// undirected and directional arcs, self-loops and parallel arcs, arcs that
// hide their far node, paths that hold an arc twice, node flags that
// disagree with the path, and pins on nodes off the route, on other signals,
// unplaced or without a node. Every call must end. A route found must be a
// chain of steps the search may take, through distinct nodes, and one is
// found exactly when the source can be reached; where no walk of the search
// comes back to a node it passed, the result must be that of the plain
// recursive search of tests/support/plain_route.h.
//
// Input: the node count (1 + byte % 20), one cost code byte per node
// (byte % 20: codes 16 to 19 have no name), the arc count (byte % 41) and
// three bytes per arc (its two ends, then flags: 1 directional, 2 on the
// route, 4 hides its far node, 8 held twice by the path, 16 used without
// being on the path), up to three nodes whose on-route flag is flipped, the
// pin count (1 + byte % 6) and two bytes per pin (node, 0xFF for none; kind:
// on the routed signal, on an unrouted one, unplaced), then calls, one
// opcode byte each (see Run).
#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "bytestream.h"
#include "host/phydevice.h"
#include "host/standin/standin_util.h"
#include "support/basapsupp.h"
#include "support/plain_route.h"
#include "support/route_design.h"

namespace {

using standin::Node;

struct Found {
  int result = 0;
  std::vector<int> arcs;
  std::vector<PhyNode*> nodes;
  bool operator==(const Found& o) const { return result == o.result && arcs == o.arcs && nodes == o.nodes; }
};

void Expect(bool ok, const char* what) {
  if (!ok) fuzz::Fail("%s", what);
}

// The walks of the plain search from a node: whether one of them comes back
// to a node it passed (a self-loop or two parallel arcs do), and else how
// many there are (the plain search's work), counted up to `cap`.
struct WalkCount {
  explicit WalkCount(AP_SUPP& s) : supp(s) {}

  AP_SUPP& supp;
  std::set<PhyNode*> onWalk;
  bool cycle = false;
  long walks = 0;
  static constexpr long cap = 200000;

  // True when every walk was seen and none closes a cycle.
  bool Acyclic(PhyNode* node, PhyArc_ID arcIn) {
    Walk(node, arcIn);
    return !cycle && walks < cap;
  }

private:
  void Walk(PhyNode* node, PhyArc_ID arcIn) {
    if (++walks >= cap || cycle) return;
    if (!onWalk.insert(node).second) {
      cycle = true;
      return;
    }
    for (const auto& [next, arc] : plainSteps(supp, node, arcIn)) Walk(next, arc);
    onWalk.erase(node);
  }
};

struct Graph : RouteDesign {
  std::vector<Node*> nodes;
  std::vector<int> arcIndex;
  standin::Signal* routed = nullptr;
  standin::Signal* other = nullptr;
  std::vector<standin::SigPin*> pins;

  explicit Graph(fuzz::ByteStream& in) {
    const int numNodes = 1 + in.Byte() % 20;
    for (int i = 0; i < numNodes; ++i)
      nodes.push_back(d.addNode("n" + std::to_string(i) + (i % 3 ? "" : "_with_a_name_past_24_chars"),
                                in.Byte() % 20));
    const int numArcs = in.Byte() % 41;
    std::vector<int> route, twice, usedOnly;
    for (int k = 0; k < numArcs; ++k) {
      Node* a = nodes[in.Byte() % numNodes];
      Node* b = nodes[in.Byte() % numNodes];
      const std::uint8_t flags = in.Byte();
      const int arc = d.addArc(a, b, flags & 1);
      arcIndex.push_back(arc);
      d.phy.graph.arcs.back().showsNode = !(flags & 4);
      if (flags & 2) route.push_back(arc);
      if (flags & 2 && flags & 8) twice.push_back(arc);
      if (flags & 16) usedOnly.push_back(arc);
    }
    route.insert(route.end(), twice.begin(), twice.end());
    routed = d.addSignal("s");
    other = d.addSignal("t");
    d.route(routed, route);
    for (int arc : usedOnly) d.phy.graph.arcs[arc].used = true;
    for (int k = in.Byte() % 4; k > 0; --k) nodes[in.Byte() % numNodes]->flags ^= PhyNode::ON_ROUTE;
    const int numPins = 1 + in.Byte() % 6;
    for (int p = 0; p < numPins; ++p) {
      const std::uint8_t at = in.Byte(), kind = in.Byte() % 4;
      standin::SigPin* pin = RouteDesign::pin(kind == 1 ? other : routed,
                                              at == 0xFF ? nullptr : nodes[at % numNodes]);
      if (kind == 2) d.unplace(pin->comp);
      pins.push_back(pin);
    }
  }

  standin::SigPin* Pin(fuzz::ByteStream& in) {
    const std::uint8_t k = in.Byte();
    return k == 0xFF ? nullptr : pins[k % pins.size()];
  }
  PhyNode* NodeOf(fuzz::ByteStream& in) {
    const std::uint8_t k = in.Byte();
    return k == 0xFF ? nullptr : nodes[k % nodes.size()];
  }
  PhyArc_ID Arc(fuzz::ByteStream& in) {
    const std::uint8_t k = in.Byte();
    return k >= 0xF0 || arcIndex.empty() ? standin::noArc() : id(arcIndex[k % arcIndex.size()]);
  }
};

// Checks a search from `from` to `to` (reached by arcIn) that gave `got`,
// where `got.nodes` ends at `to` when `withTo`.
void CheckSearch(AP_SUPP& supp, const Graph& g, PhyNode* from, PhyNode* to, PhyArc_ID arcIn, const Found& got,
                 bool withTo) {
  if (from == nullptr || to == nullptr) {
    Expect(got.result == 0 && got.arcs.empty() && got.nodes.empty(), "a search without an end found something");
    return;
  }
  // Reachable: over steps from `to`, arcIn excluded at `to` only (a simple
  // route never steps straight back over the arc it came by).
  std::set<PhyNode*> reach{to};
  std::vector<std::pair<PhyNode*, PhyArc_ID>> todo{{to, arcIn}};
  while (!todo.empty()) {
    const auto [node, in] = todo.back();
    todo.pop_back();
    for (const auto& step : plainSteps(supp, node, in))
      if (reach.insert(step.first).second) todo.emplace_back(step.first, standin::noArc());
  }
  Expect(got.result == (reach.count(from) != 0 ? 1 : 0), "found exactly when the source is reachable");
  if (got.result == 0) {
    Expect(got.arcs.empty() && got.nodes.empty(), "a search that failed added something");
    return;
  }
  // Distinct nodes from `from` to `to`, each arc a step backwards from the
  // node after it to the node before.
  std::vector<PhyNode*> chain = got.nodes;
  if (!withTo) chain.push_back(to);
  Expect(chain.size() == got.arcs.size() + 1, "one node more than arcs");
  Expect(chain.front() == from && chain.back() == to, "the route's ends");
  Expect(std::set<PhyNode*>(chain.begin(), chain.end()).size() == chain.size(), "a node twice on the route");
  for (std::size_t i = 0; i < got.arcs.size(); ++i) {
    Expect(got.arcs[i] >= 0, "an arc added with other marks");
    const PhyArc_ID arc = g.id(got.arcs[i]);
    bool step = false;
    for (const auto& [node, taken] : plainSteps(supp, chain[i + 1], i + 1 == got.arcs.size() ? arcIn : standin::noArc()))
      step |= node == chain[i] && taken == arc;
    Expect(step, "an arc of the route is no step of the search");
  }
}

void Run(fuzz::ByteStream& in) {
  Graph g(in);
  AP_SUPP supp(&g.d);
  standin::MessageLog& log = standin::messages();
  log.capture();
  // The current signal is left from the previous input, whose design is
  // gone: a lookup that compares two pins' signals comes first.
  {
    UP_PATH scratch;
    std::vector<PhyNode*> nodes;
    supp.getRoute(g.pins[0], g.pins[0], &scratch, nodes);
  }
  for (int calls = 0; calls < 24 && !in.Empty(); ++calls) {
    switch (in.Byte() % 6) {
      case 0: {
        standin::SigPin* from = g.Pin(in);
        standin::SigPin* to = g.Pin(in);
        UP_PATH path;
        Found got;
        got.result = supp.getRoute(from, to, &path, got.nodes);
        got.arcs = RouteDesign::arcs(&path);
        const bool searched = from != nullptr && to != nullptr && from->comp != nullptr && to->comp != nullptr &&
                              from->comp->getsignal(from->pinid) == to->comp->getsignal(to->pinid) &&
                              to->comp->getsignal(to->pinid) != nullptr;
        Expect(searched || got.result == 0, "a route between pins of different signals");
        if (!searched) break;
        CheckSearch(supp, g, from->getnode(), to->getnode(), standin::noArc(), got, true);
        // Without a cycle in reach, the plain search's result.
        if (to->getnode() == nullptr || !WalkCount(supp).Acyclic(to->getnode(), standin::noArc())) break;
        UP_PATH plainPath;
        Found plain;
        plain.result = plainFind(supp, from->getnode(), to->getnode(), standin::noArc(), &plainPath, plain.nodes);
        plain.arcs = RouteDesign::arcs(&plainPath);
        if (plain.result != 0) plain.nodes.push_back(to->getnode());
        Expect(got == plain, "getRoute against the plain search");
        break;
      }
      case 1: {
        PhyNode* from = g.NodeOf(in);
        PhyNode* to = g.NodeOf(in);
        const PhyArc_ID arcIn = g.Arc(in);
        UP_PATH path;
        Found got;
        got.result = supp.findRoute(from, to, arcIn, &path, got.nodes);
        got.arcs = RouteDesign::arcs(&path);
        if (from != nullptr && from == to) {
          Expect(got.result == 1 && got.arcs.empty() && got.nodes.empty(), "a route from a node to itself");
          break;
        }
        CheckSearch(supp, g, from, to, arcIn, got, false);
        if (from == nullptr || to == nullptr || !WalkCount(supp).Acyclic(to, arcIn)) break;
        UP_PATH plainPath;
        Found plain;
        plain.result = plainFind(supp, from, to, arcIn, &plainPath, plain.nodes);
        plain.arcs = RouteDesign::arcs(&plainPath);
        Expect(got == plain, "findRoute against the plain search");
        break;
      }
      case 2: {
        // The printing lookups print what the quiet one finds.
        standin::SigPin* from = g.Pin(in);
        standin::SigPin* to = g.Pin(in);
        static const char* const kPrefixes[] = {nullptr, "", "X", "Xtail ", "pre "};
        const char* prefix = kPrefixes[in.Byte() % 5];
        const bool ownPath = in.Byte() % 2;
        const bool fromFirst = in.Byte() % 4 == 0;
        if (fromFirst && to != nullptr && to->getsignal() != nullptr)
          from = static_cast<standin::SigPin*>(to->getsignal()->getsigpin(0));
        UP_PATH quietPath;
        std::vector<PhyNode*> nodes;
        const int quiet = supp.getRoute(from, to, &quietPath, nodes);
        log.take();
        std::string want;
        if (prefix != nullptr && quiet != 0) {
          if (prefix[0] != 'X')
            log.print(neoform("-- %s%s - %s --\n", prefix, from->getnode()->getname(), to->getnode()->getname()));
          supp.dumpNodeArr(nodes, prefix[0] == 'X' ? prefix + 1 : prefix);
          want = log.take();
        }
        UP_PATH path;
        const int loud = fromFirst && to != nullptr && to->getsignal() != nullptr
                             ? supp.getRoute(prefix, to, ownPath ? &path : nullptr)
                             : supp.getRoute(prefix, from, to, ownPath ? &path : nullptr);
        Expect(loud == quiet, "printing lookup against the quiet one");
        Expect(log.take() == want, "printed route");
        if (ownPath) Expect(RouteDesign::arcs(&path) == RouteDesign::arcs(&quietPath), "arcs of the printing lookup");
        break;
      }
      case 3: {
        // Membership in paths that hold an arc twice, or none.
        PhyArc_ID arc = g.Arc(in);
        UP_PATH* path = g.routed->getpath();
        PhyPathArc* first = nullptr;
        if (path != nullptr && path->getarcs() != nullptr)
          for (PhyPathArc* e : *path->getarcs())
            if (first == nullptr && e->getarcid() == arc) first = e;
        Expect(supp.GetPathArcInPath(path, arc) == first, "first path element of an arc");
        Expect(supp.arcInPath(path, arc) == (first != nullptr), "arc in path");
        UP_PATH empty;
        Expect(supp.GetPathArcInPath(&empty, arc) == nullptr && !supp.arcInPath(nullptr, arc), "empty paths");
        PhyNode* node = g.NodeOf(in);
        const standin::Arc* a = standin::RoutingGraph::find(arc);
        const bool member = node != nullptr ? a != nullptr && a->used && (node->getflags() & PhyNode::ON_ROUTE)
                                            : AP_SUPP::getCurSignal() != nullptr &&
                                                  supp.arcInPath(AP_SUPP::getCurSignal()->getpath(), arc);
        Expect(supp.arcInPath(arc, node) == member, "arc on the route");
        break;
      }
      case 4: {
        standin::SigPin* a = g.Pin(in);
        standin::SigPin* b = g.Pin(in);
        const bool both = a != nullptr && b != nullptr && a->comp != nullptr && b->comp != nullptr;
        const bool want = both && a->getsignal() == b->getsignal() && a->getsignal() != nullptr &&
                          a->getsignal()->isrouted() != 0 && a->comp->getsite() != nullptr &&
                          b->comp->getsite() != nullptr;
        Expect(supp.isRouted(a, b) == (want ? 1 : 0), "isRouted");
        break;
      }
      case 5: {
        // Any nodes, cost codes past the names included.
        std::vector<PhyNode*> nodes;
        for (int k = in.Byte() % 8; k > 0; --k) nodes.push_back(g.nodes[in.Byte() % g.nodes.size()]);
        supp.dumpNodeArr(nodes, in.Byte() % 2 ? "p " : nullptr);
        break;
      }
    }
  }
  log.release();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::ByteStream in(data, size);
  Run(in);
  return 0;
}
