// The route search against a plain recursive depth-first search on many
// random routes without cycles, and its own guarantees where that search
// fails: routes with cycles and a route of a million nodes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "support/basapsupp.h"
#include "support/basapsupp_nodeset.h"
#include "tests/support/route_design.h"

namespace {

using standin::Node;

// The search written as a plain recursion, step for step: no record of the
// nodes visited, so it recurses once per node of the route and loops on a
// cycle.
int plainFind(AP_SUPP& supp, PhyNode* from, PhyNode* to, PhyArc_ID arcIn, UP_PATH* path,
              std::vector<PhyNode*>& nodes) {
  if (from == nullptr || to == nullptr) return 0;
  if (from == to) return 1;
  PhyNode_ITERATOR it(to, PhyNode_ITERATOR::ARC_ALL);
  while (it.getnext()) {
    PhyArc_ID cur = it.getcurarcid();
    if (!supp.arcInPath(cur, it.getcurnode())) continue;
    if (!(cur != arcIn)) continue;
    PhyNode* prev;
    unsigned short end;
    if (cur.getnode(1) == to) {
      prev = cur.getnode(0);
      end = 0;
    } else if (!cur.isdirectional() && cur.getnode(0) == to) {
      prev = cur.getnode(1);
      end = 1;
    } else {
      continue;
    }
    if (plainFind(supp, from, prev, cur, path, nodes)) {
      path->addarc(cur, 0x3fffffff, 0, 0);
      nodes.push_back(cur.getnode(end));
      return 1;
    }
  }
  return 0;
}

// The steps the search may take backwards from a node reached by arcIn:
// (node reached, arc taken).
std::vector<std::pair<PhyNode*, PhyArc_ID>> steps(AP_SUPP& supp, PhyNode* node, PhyArc_ID arcIn) {
  std::vector<std::pair<PhyNode*, PhyArc_ID>> out;
  PhyNode_ITERATOR it(node, PhyNode_ITERATOR::ARC_ALL);
  while (it.getnext()) {
    PhyArc_ID cur = it.getcurarcid();
    if (!supp.arcInPath(cur, it.getcurnode()) || cur == arcIn) continue;
    if (cur.getnode(1) == node)
      out.emplace_back(cur.getnode(0), cur);
    else if (!cur.isdirectional() && cur.getnode(0) == node)
      out.emplace_back(cur.getnode(1), cur);
  }
  return out;
}

// Whether some walk of such steps from `to` comes back to a node it has
// passed; -1 when there are too many walks to tell.
int hasCycle(AP_SUPP& supp, PhyNode* node, PhyArc_ID arcIn, std::set<PhyNode*>& onWalk,
             long& budget) {
  if (--budget < 0) return -1;
  onWalk.insert(node);
  int found = 0;
  for (auto& [next, arc] : steps(supp, node, arcIn)) {
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
    struct Spec {
      int a, b;
      bool directional, route;
    };
    std::vector<Spec> specs;
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    for (int i = 1; i < numNodes; ++i) {
      const int parent = pick(i), kind = pick(10);
      const bool childFirst = pick(2) != 0;
      if (kind < 4)  // undirected, either end as node 0
        specs.push_back({childFirst ? i : parent, childFirst ? parent : i, false, true});
      else if (kind < 8)  // towards node 0
        specs.push_back({i, parent, true, true});
      else
        specs.push_back({parent, i, true, true});
    }
    for (int k = 0; k < extras; ++k)
      specs.push_back({pick(numNodes), pick(numNodes), pick(2) == 0, pick(3) != 0});
    std::shuffle(specs.begin(), specs.end(), rng);
    std::vector<int> routeArcs;
    for (const Spec& s : specs) {
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

struct Found {
  int result;
  std::vector<int> arcs;
  std::vector<PhyNode*> nodes;
  bool operator==(const Found& o) const { return result == o.result && arcs == o.arcs && nodes == o.nodes; }
};

TEST(RouteSearch, EqualsThePlainSearchOnEveryRouteWithoutACycle) {
  std::mt19937 rng(8);
  int compared = 0, found = 0, reconverging = 0;
  for (int round = 0; round < 5000; ++round) {
    RandomRoute r(rng, 2 + round % 40, round % 7);
    AP_SUPP supp(&r.d);
    // Through the pins first, which makes the signal current.
    UP_PATH path;
    Found viaPins;
    viaPins.result = supp.getRoute(r.pinFrom, r.pinTo, &path, viaPins.nodes);
    viaPins.arcs = RouteDesign::arcs(&path);
    std::set<PhyNode*> onWalk;
    long budget = 20000;
    const PhyArc_ID none = standin::noArc();
    if (hasCycle(supp, r.to, none, onWalk, budget) != 0) continue;
    ++compared;

    auto run = [&](bool plain, PhyArc_ID arcIn) {
      UP_PATH path;
      Found f;
      if (plain) {
        f.result = plainFind(supp, r.from, r.to, arcIn, &path, f.nodes);
      } else {
        f.result = supp.findRoute(r.from, r.to, arcIn, &path, f.nodes);
      }
      f.arcs = RouteDesign::arcs(&path);
      return f;
    };
    Found expected = run(true, none);
    if (expected.result != 0) expected.nodes.push_back(r.to);
    ASSERT_EQ(viaPins, expected) << "round " << round;
    found += expected.result;

    // With each arc of `to` as the one it was reached by, twice in a row.
    PhyNode_ITERATOR it(r.to, PhyNode_ITERATOR::ARC_ALL);
    while (it.getnext()) {
      const Found plain = run(true, it.getcurarcid());
      ASSERT_EQ(run(false, it.getcurarcid()), plain) << "round " << round;
      ASSERT_EQ(run(false, it.getcurarcid()), plain) << "round " << round;
    }

    // Count the routes where some node is reached by two walks.
    std::set<PhyNode*> seen{r.to};
    std::vector<std::pair<PhyNode*, PhyArc_ID>> todo{{r.to, none}};
    bool twice = false;
    while (!todo.empty() && !twice) {
      auto [node, arcIn] = todo.back();
      todo.pop_back();
      for (auto& step : steps(supp, node, arcIn)) {
        twice = twice || !seen.insert(step.first).second;
        todo.push_back(step);
      }
    }
    reconverging += twice;
  }
  // The random routes give every kind of case in numbers.
  EXPECT_GT(compared, 2000);
  EXPECT_GT(found, compared / 4);
  EXPECT_LT(found, compared * 3 / 4);
  EXPECT_GT(reconverging, 50);
}

TEST(RouteSearch, OnACycleFindsASimpleRouteWheneverOneExists) {
  std::mt19937 rng(88);
  int cyclic = 0, found = 0;
  for (int round = 0; round < 1500; ++round) {
    RandomRoute r(rng, 3 + round % 30, 4 + round % 20);
    AP_SUPP supp(&r.d);
    UP_PATH path;
    std::vector<PhyNode*> nodes;
    const int result = supp.getRoute(r.pinFrom, r.pinTo, &path, nodes);
    std::set<PhyNode*> onWalk;
    long budget = 20000;
    const PhyArc_ID none = standin::noArc();
    if (hasCycle(supp, r.to, none, onWalk, budget) != 1) continue;
    ++cyclic;
    // Whether `from` can be reached at all, walking backwards.
    std::set<PhyNode*> reach{r.to};
    std::vector<PhyNode*> todo{r.to};
    while (!todo.empty()) {
      PhyNode* node = todo.back();
      todo.pop_back();
      for (auto& step : steps(supp, node, none))
        if (reach.insert(step.first).second) todo.push_back(step.first);
    }

    ASSERT_EQ(result, static_cast<int>(reach.count(r.from))) << "round " << round;
    if (result == 0) {
      EXPECT_TRUE(nodes.empty());
      continue;
    }
    ++found;
    // A simple route: distinct nodes from `from` to `to`, each arc a step
    // backwards from the node after it to the node before.
    const std::vector<int> arcs = RouteDesign::arcs(&path);
    ASSERT_EQ(nodes.size(), arcs.size() + 1);
    EXPECT_EQ(nodes.front(), r.from);
    EXPECT_EQ(nodes.back(), r.to);
    EXPECT_EQ(std::set<PhyNode*>(nodes.begin(), nodes.end()).size(), nodes.size());
    for (std::size_t i = 0; i < arcs.size(); ++i) {
      const auto options = steps(supp, nodes[i + 1], none);
      const PhyArc_ID arc = r.id(arcs[i]);
      EXPECT_TRUE(std::any_of(options.begin(), options.end(), [&](const auto& s) {
        return s.first == nodes[i] && s.second == arc;
      })) << "round " << round << " arc " << i;
    }
  }
  EXPECT_GT(cyclic, 500);
  EXPECT_GT(found, cyclic / 4);
  EXPECT_GT(cyclic - found, 50);
}

// T has a route arc to itself, listed first, and lies on a triangle T-A-B
// of undirected route arcs; F leads into B. The plain search would record
// the loop; this one records only the way in.
TEST(RouteSearch, ALoopOrTriangleIsPassedOver) {
  RouteDesign r;
  Node* T = r.d.addNode("T");
  Node* A = r.d.addNode("A");
  Node* B = r.d.addNode("B");
  Node* F = r.d.addNode("F");
  const int loop = r.d.addArc(T, T, false);
  const int at = r.d.addArc(A, T, false);
  const int ab = r.d.addArc(A, B, false);
  const int bt = r.d.addArc(B, T, false);
  const int fb = r.d.addArc(F, B);
  standin::Signal* sig = r.d.addSignal("s");
  standin::SigPin* pf = r.pin(sig, F);
  standin::SigPin* pt = r.pin(sig, T);
  r.d.route(sig, {loop, at, ab, bt, fb});
  AP_SUPP supp(&r.d);
  UP_PATH path;
  std::vector<PhyNode*> nodes;
  ASSERT_EQ(supp.getRoute(pf, pt, &path, nodes), 1);
  EXPECT_EQ(RouteDesign::arcs(&path), (std::vector<int>{fb, ab, at}));
  EXPECT_EQ(nodes, (std::vector<PhyNode*>{F, B, A, T}));
  r.d.phy.graph.arcs[static_cast<std::size_t>(fb)].used = false;
  nodes.clear();
  EXPECT_EQ(supp.getRoute(pf, pt, &path, nodes), 0);
  EXPECT_TRUE(nodes.empty());
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
TEST(RouteSearch, FindsARouteOfAMillionNodesAfterALongDeadEnd) {
  constexpr int kNodes = 1000000, kDeadEnd = 5000;
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
