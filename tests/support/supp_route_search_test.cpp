// The route search against a plain recursive depth-first search on many
// random routes without cycles, and its own guarantees where that search
// fails: routes with cycles and a route of 400,000 nodes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "support/basapsupp.h"
#include "support/basapsupp_nodeset.h"
#include "tests/support/plain_route.h"
#include "tests/support/route_design.h"

namespace {

using standin::Node;

// Whether some walk of such steps from `to` comes back to a node it has
// passed; -1 when there are too many walks to tell.
int hasCycle(AP_SUPP& supp, PhyNode* node, PhyArc_ID arcIn, std::set<PhyNode*>& onWalk,
             long& budget) {
  if (--budget < 0) return -1;
  onWalk.insert(node);
  int found = 0;
  for (auto& [next, arc] : plainSteps(supp, node, arcIn)) {
    found = onWalk.count(next) != 0 ? 1 : hasCycle(supp, next, arc, onWalk, budget);
    if (found != 0) break;
  }
  onWalk.erase(node);
  return found;
}

// A random routed signal on a random graph. The route arcs make a tree
// from node 0 outwards, each either undirected, directional towards node 0
// (followed backwards) or away from it (never followed); extra arcs between
// random nodes are route arcs or not. Arcs are added in random order, and
// some hide their far node, so that their membership is read from the path.
struct RandomRoute : RouteDesign {
  RandomRoute(std::mt19937& rng, int numNodes, int extras) {
    std::vector<Node*> nodes;
    for (int i = 0; i < numNodes; ++i) nodes.push_back(d.addNode("n" + std::to_string(i)));
    struct Planned {
      int a, b;
      bool directional, route;
    };
    std::vector<Planned> plan;
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    for (int i = 1; i < numNodes; ++i) {
      const int parent = pick(i), kind = pick(10);
      const bool childFirst = pick(2) != 0;
      if (kind < 4)  // undirected, either end as node 0
        plan.push_back({childFirst ? i : parent, childFirst ? parent : i, false, true});
      else if (kind < 8)  // towards node 0
        plan.push_back({i, parent, true, true});
      else
        plan.push_back({parent, i, true, true});
    }
    for (int k = 0; k < extras; ++k)
      plan.push_back({pick(numNodes), pick(numNodes), pick(2) == 0, pick(3) != 0});
    std::shuffle(plan.begin(), plan.end(), rng);
    std::vector<int> routeArcs;
    for (const Planned& s : plan) {
      const int arc = d.addArc(nodes[s.a], nodes[s.b], s.directional);
      if (s.route) routeArcs.push_back(arc);
      d.phy.graph.arcs.back().showsNode = pick(6) != 0;
    }
    sig = d.addSignal("s");
    to = nodes[0];
    from = nodes[pick(numNodes)];
    pinFrom = pin(sig, from);
    pinTo = pin(sig, to);
    d.route(sig, routeArcs);
  }

  standin::Signal* sig;
  Node* from;
  Node* to;
  standin::SigPin* pinFrom;
  standin::SigPin* pinTo;
};

// A search's result: its value, the path's arcs and the nodes.
struct Found {
  int result = 0;
  std::vector<int> arcs;
  std::vector<PhyNode*> nodes;
  bool operator==(const Found& o) const { return result == o.result && arcs == o.arcs && nodes == o.nodes; }
};

// On a route without a cycle the result is the plain search's, whichever
// arc `to` was reached by, and again on a second call. On one with a cycle
// it is a simple route when `from` can be reached at all, and none if not.
TEST(RouteSearch, PlainResultWithoutCyclesAndASimpleRouteWithThem) {
  std::mt19937 rng(8);
  int acyclic = 0, cyclic = 0, found[2] = {0, 0};
  const PhyArc_ID none = standin::noArc();
  for (int round = 0; round < 2000; ++round) {
    RandomRoute r(rng, 2 + round % 40, round % 2 ? round % 7 : 4 + round % 20);
    AP_SUPP supp(&r.d);
    Found got;
    UP_PATH path;
    got.result = supp.getRoute(r.pinFrom, r.pinTo, &path, got.nodes);  // makes s current
    got.arcs = RouteDesign::arcs(&path);
    auto run = [&](bool plain, PhyArc_ID arcIn) {
      UP_PATH p;
      Found f;
      f.result = plain ? plainFind(supp, r.from, r.to, arcIn, &p, f.nodes)
                       : supp.findRoute(r.from, r.to, arcIn, &p, f.nodes);
      f.arcs = RouteDesign::arcs(&p);
      return f;
    };
    std::set<PhyNode*> onWalk;
    long budget = 20000;
    const int cycle = hasCycle(supp, r.to, none, onWalk, budget);
    if (cycle == 0) {
      ++acyclic;
      found[0] += got.result;
      Found expected = run(true, none);
      if (expected.result != 0) expected.nodes.push_back(r.to);
      ASSERT_EQ(got, expected) << "round " << round;
      for (PhyNode_ITERATOR it(r.to, PhyNode_ITERATOR::ARC_ALL); it.getnext();) {
        const Found plain = run(true, it.getcurarcid());
        ASSERT_EQ(run(false, it.getcurarcid()), plain) << "round " << round;
        ASSERT_EQ(run(false, it.getcurarcid()), plain) << "round " << round;
      }
    } else if (cycle == 1) {
      ++cyclic;
      found[1] += got.result;
      std::set<PhyNode*> reach{r.to};
      for (std::vector<PhyNode*> todo{r.to}; !todo.empty();) {
        PhyNode* node = todo.back();
        todo.pop_back();
        for (auto& step : plainSteps(supp, node, none))
          if (reach.insert(step.first).second) todo.push_back(step.first);
      }
      ASSERT_EQ(got.result, static_cast<int>(reach.count(r.from))) << "round " << round;
      if (got.result == 0) {
        EXPECT_TRUE(got.nodes.empty());
        continue;
      }
      // Distinct nodes from `from` to `to`, each arc a step backwards from
      // the node after it to the node before.
      ASSERT_EQ(got.nodes.size(), got.arcs.size() + 1);
      EXPECT_EQ(got.nodes.front(), r.from);
      EXPECT_EQ(got.nodes.back(), r.to);
      EXPECT_EQ(std::set<PhyNode*>(got.nodes.begin(), got.nodes.end()).size(), got.nodes.size());
      for (std::size_t i = 0; i < got.arcs.size(); ++i) {
        const auto options = plainSteps(supp, got.nodes[i + 1], none);
        const std::pair<PhyNode*, PhyArc_ID> step{got.nodes[i], r.id(got.arcs[i])};
        EXPECT_NE(std::find(options.begin(), options.end(), step), options.end()) << "round " << round;
      }
    }
  }
  // Enough of each kind, found and not found.
  EXPECT_GT(acyclic, 500);
  EXPECT_GT(cyclic, 1000);
  for (int kind = 0; kind < 2; ++kind) {
    EXPECT_GT(found[kind], (kind ? cyclic : acyclic) / 5);
    EXPECT_LT(found[kind], (kind ? cyclic : acyclic) * 19 / 20);
  }
}

TEST(RouteSearch, VisitedSetKeepsEveryNodeThroughGrowthAndForgetsThemWhenEmptied) {
  basapsupp::NodeSet set;
  auto node = [](std::uintptr_t i) { return reinterpret_cast<PhyNode*>((i + 1) * 64); };
  for (int round = 0; round < 2; ++round) {
    for (std::uintptr_t i = 0; i < 100000; ++i) ASSERT_TRUE(set.insert(node(i))) << i;
    for (std::uintptr_t i = 0; i < 100000; i += 7) ASSERT_FALSE(set.insert(node(i))) << i;
    EXPECT_EQ(set.size(), 100000u);
    set.clear();
    EXPECT_EQ(set.size(), 0u);
  }
}

// Depth beyond any call stack, after a dead end thousands of nodes deep
// that the search must climb out of first.
TEST(RouteSearch, FindsARouteOfManyNodesAfterALongDeadEnd) {
  constexpr int kNodes = 400000, kDeadEnd = 5000;
  RouteDesign r;
  std::vector<Node*> chain{r.d.addNode("to")};
  std::vector<int> route, arcs;
  Node* end = chain[0];
  for (int i = 0; i < kDeadEnd; ++i) {
    Node* next = r.d.addNode("dead");
    route.push_back(r.d.addArc(next, end));
    end = next;
  }
  // Arc i - 1 joins node i to node i - 1 of the chain, every third one
  // undirected.
  for (int i = 1; i < kNodes; ++i) {
    chain.push_back(r.d.addNode("c"));
    arcs.push_back(r.d.addArc(chain[i], chain[i - 1], i % 3 == 0));
  }
  route.insert(route.end(), arcs.begin(), arcs.end());
  standin::Signal* sig = r.d.addSignal("s");
  standin::SigPin* pf = r.pin(sig, chain.back());
  standin::SigPin* pt = r.pin(sig, chain.front());
  r.d.route(sig, route);
  AP_SUPP supp(&r.d);
  UP_PATH path;
  std::vector<PhyNode*> nodes;
  ASSERT_EQ(supp.getRoute(pf, pt, &path, nodes), 1);
  std::reverse(arcs.begin(), arcs.end());
  EXPECT_EQ(RouteDesign::arcs(&path), arcs);
  std::reverse(chain.begin(), chain.end());
  EXPECT_TRUE(std::equal(nodes.begin(), nodes.end(), chain.begin(), chain.end()));
}

}  // namespace
