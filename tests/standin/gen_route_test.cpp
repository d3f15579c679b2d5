// Routing signals of generated designs: trees that reach every load over
// nodes of their own, and clean refusals.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "design_digest.h"
#include "host/standin/gen/designgen.h"

namespace {

using designgen::Generated;
using designgen::Params;
using standin::Node;
using standin::Signal;

// Checks that a routed signal's arcs form a tree rooted at its driver's pin
// node that reaches every load's pin node, with every arc used and every
// node flagged, and that no used arc outside the route touches its nodes.
// Returns the route's nodes.
std::set<Node*> checkTree(Signal* sig) {
  std::set<Node*> nodes;
  std::vector<standin::Arc*> arcs;
  for (PhyPathArc* element : *sig->path->getarcs()) {
    standin::Arc* arc = standin::RoutingGraph::find(element->getarcid());
    EXPECT_NE(arc, nullptr) << sig->name;
    if (arc == nullptr) return nodes;
    arcs.push_back(arc);
  }
  const std::set<standin::Arc*> own(arcs.begin(), arcs.end());
  std::map<Node*, std::vector<Node*>> next;
  for (standin::Arc* arc : arcs) {
    EXPECT_TRUE(arc->used);
    next[arc->ends[0]].push_back(arc->ends[1]);
    if (!arc->directional) next[arc->ends[1]].push_back(arc->ends[0]);
    nodes.insert(arc->ends[0]);
    nodes.insert(arc->ends[1]);
  }
  EXPECT_EQ(own.size(), arcs.size()) << sig->name << ": an arc twice";
  EXPECT_EQ(nodes.size(), arcs.size() + 1) << sig->name << ": not a tree";

  auto* root = static_cast<Node*>(sig->pins[0]->node);
  EXPECT_EQ(root->cost, 3) << sig->name;
  std::set<Node*> reached{root};
  std::vector<Node*> stack{root};
  while (!stack.empty()) {
    Node* n = stack.back();
    stack.pop_back();
    for (Node* m : next[n])
      if (reached.insert(m).second) stack.push_back(m);
  }
  EXPECT_EQ(reached, nodes) << sig->name;
  for (std::size_t i = 1; i < sig->pins.size(); ++i) {
    auto* load = static_cast<Node*>(sig->pins[i]->node);
    EXPECT_TRUE(reached.count(load)) << sig->name << " load " << i;
    EXPECT_EQ(load->cost, 2) << sig->name;
    EXPECT_EQ(load->name.rfind(sig->pins[i]->comp->site->name + ".", 0), 0u) << load->name;
  }
  for (Node* n : nodes) {
    EXPECT_TRUE(n->flags & PhyNode::ON_ROUTE) << n->name;
    for (int index : n->arcs) {
      standin::Arc* arc = &n->graph->arcs[static_cast<std::size_t>(index)];
      if (arc->used) {
        EXPECT_TRUE(own.count(arc)) << sig->name << ": a foreign route touches " << n->name;
      }
    }
  }
  return nodes;
}

// Many signals of a generated design routed one after another: each a tree
// to all its loads, none sharing a node with another.
TEST(GenRoute, RoutesAreTreesOverNodesOfTheirOwn) {
  standin::Design d;
  Params p;
  p.components = 3000;
  p.device.routing = true;
  const Generated g = designgen::generate(d, p);
  std::vector<Signal*> tried;
  Signal* largest = nullptr;
  for (Signal& sig : d.signals) {
    if (sig.clocks == 0 && (largest == nullptr || sig.pins.size() > largest->pins.size())) largest = &sig;
  }
  ASSERT_GT(largest->pins.size(), 50u);
  tried.push_back(largest);
  for (std::size_t i = 0; i < d.signals.size(); i += 7) tried.push_back(&d.signals[i]);

  std::map<Node*, Signal*> owner;
  int routed = 0;
  for (Signal* sig : tried) {
    if (sig->routed) continue;
    const std::size_t nodesBefore = d.phy.graph.nodes.size();
    if (!designgen::routeSignal(d, g.device, sig)) {
      EXPECT_EQ(sig->path, nullptr);
      EXPECT_EQ(d.phy.graph.nodes.size(), nodesBefore);
      continue;
    }
    ++routed;
    ASSERT_TRUE(sig->routed);
    for (Node* n : checkTree(sig)) {
      const auto [it, fresh] = owner.emplace(n, sig);
      EXPECT_TRUE(fresh) << n->name << " on " << sig->name << " and " << it->second->name;
    }
  }
  EXPECT_TRUE(largest->routed);
  EXPECT_GT(routed, static_cast<int>(tried.size()) * 9 / 10);
  // A signal already routed is left alone.
  EXPECT_FALSE(designgen::routeSignal(d, g.device, largest));
}

// Hand-made: one track between two clusters carries one signal; a second
// one finds no free way and nothing of it is made.
TEST(GenRoute, RefusesCleanly) {
  standin::Design d;
  designgen::DeviceParams dp;
  dp.plcRows = 1;
  dp.plcCols = 2;
  dp.routing = true;
  dp.tracks = 1;
  const designgen::Device dev = designgen::addDevice(d, dp);
  const designgen::Prims prims = designgen::addPrims(d);
  standin::Comp* lut[4];
  for (int i = 0; i < 4; ++i) {
    lut[i] = designgen::addLut(d, prims, "u" + std::to_string(i));
    d.place(lut[i], static_cast<standin::Site*>(dev.plcAt(0, i / 2)->sites[static_cast<std::size_t>(i % 2)]));
  }
  Signal* a = d.addSignal("a");
  d.addDriver(a, lut[0], designgen::LUT_Z);
  d.addLoad(a, lut[2], designgen::LUT_A);
  Signal* b = d.addSignal("b");
  d.addDriver(b, lut[1], designgen::LUT_Z);
  d.addLoad(b, lut[3], designgen::LUT_A);
  Signal* lonely = d.addSignal("lonely");
  d.addDriver(lonely, lut[3], designgen::LUT_Z);

  EXPECT_FALSE(designgen::routeSignal(d, dev, nullptr));
  EXPECT_FALSE(designgen::routeSignal(d, dev, lonely));
  ASSERT_TRUE(designgen::routeSignal(d, dev, a));
  checkTree(a);
  const std::size_t nodes = d.phy.graph.nodes.size();
  const std::size_t arcs = d.phy.graph.arcs.size();
  EXPECT_FALSE(designgen::routeSignal(d, dev, b));
  EXPECT_EQ(d.phy.graph.nodes.size(), nodes);
  EXPECT_EQ(d.phy.graph.arcs.size(), arcs);
  EXPECT_EQ(b->path, nullptr);
  EXPECT_EQ(b->routed, 0);
  EXPECT_EQ(b->pins[0]->node, nullptr);

  // An unplaced component, and a device without a routing graph.
  d.unplace(lut[3]);
  Signal* c = d.addSignal("c");
  d.addDriver(c, lut[2], designgen::LUT_Z);
  d.addLoad(c, lut[3], designgen::LUT_B);
  EXPECT_FALSE(designgen::routeSignal(d, dev, c));
  designgen::Device bare = dev;
  bare.wires = designgen::Wires{};
  d.place(lut[3], static_cast<standin::Site*>(dev.plcAt(0, 1)->sites[1]));
  EXPECT_FALSE(designgen::routeSignal(d, bare, c));
  EXPECT_EQ(d.phy.graph.nodes.size(), nodes);
}

// The graph dropped and made again is the same graph, node for node and
// arc for arc, and routes as before; the pins lose their nodes meanwhile.
TEST(GenRoute, TheGraphDroppedAndMadeAgainIsTheSame) {
  for (int longTracks : {0, 2}) {
    standin::Design d;
    Params p;
    p.components = 600;
    p.place = true;
    p.device.routing = true;
    p.device.longTracks = longTracks;
    const Generated g = designgen::generate(d, p);
    const std::uint64_t before = digest::ofDesign(d).graph;
    ASSERT_GT(d.phy.graph.nodes.size(), 1000u);
    EXPECT_THROW(designgen::remakeRouting(d, g.device), std::logic_error);  // not empty

    // A data signal of one driver and two loads, other than `skip`.
    auto pick = [&](Signal* skip) -> Signal* {
      for (Signal& s : d.signals)
        if (&s != skip && s.clocks == 0 && s.numDrivers == 1 && s.pins.size() == 3) return &s;
      return nullptr;
    };
    Signal* sig = pick(nullptr);
    ASSERT_NE(sig, nullptr);
    ASSERT_TRUE(designgen::routeSignal(d, g.device, sig));
    const std::size_t routedArcs = sig->path->getarcs()->size();
    const PhyArc_ID first = (*sig->path->getarcs())[0]->getarcid();
    d.dropRoutingGraph();
    EXPECT_TRUE(d.phy.graph.nodes.empty());
    EXPECT_EQ(first.getnode(0), nullptr);  // names no arc now
    for (const standin::SigPin* pin : sig->pins) EXPECT_EQ(pin->node, nullptr);

    designgen::remakeRouting(d, g.device);
    EXPECT_EQ(digest::ofDesign(d).graph, before) << "long tracks " << longTracks;
    // Another signal routes on the graph made again as on the first.
    Signal* other = pick(sig);
    ASSERT_NE(other, nullptr);
    EXPECT_TRUE(designgen::routeSignal(d, g.device, other));
    checkTree(other);
    EXPECT_GT(routedArcs, 0u);
  }
}

}  // namespace
