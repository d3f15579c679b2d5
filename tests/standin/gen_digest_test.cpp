// Generated designs stay what they were before the stand-in's records were
// packed: the digests below were taken with the stand-in as it was then
// (components and signals with vectors of their own, nodes with vectors of
// arcs, geometries with their own value vectors), through design_digest.h,
// which reads the design through the host declarations and so compiles
// against either layout.
#include <gtest/gtest.h>

#include <cstdint>
#include <utility>

#include "design_digest.h"
#include "host/standin/gen/designgen.h"

namespace {

struct Case {
  bool variant;  // long wires, the half-cluster rule and planted faults
  std::uint64_t comps, signals, sites, graph;
  std::size_t nodes;
};

// A placed design of 3,000 components with its routing graph, every 97th
// signal routed (pin nodes and arcs added to wires whose lists were sized
// ahead).
void make(standin::Design& d, bool variant) {
  designgen::Params p;
  p.components = 3000;
  p.seed = 7;
  p.device.routing = true;
  if (variant) {
    p.device.longTracks = 2;
    p.device.halfPlcRule = true;
    p.faults.replicatedPins = 3;
  }
  designgen::Generated g = designgen::generate(d, p);
  for (std::size_t k = 0; k < d.signals.size(); k += 97) designgen::routeSignal(d, g.device, &d.signals[k]);
}

TEST(GenDigest, GeneratedDesignsAreTheSameAsBeforeThePacking) {
  const Case cases[] = {
      {false, 0x9b4f1fac5a6af2c1ull, 0xf23955ff9d1f5fd7ull, 0xa0dfecf09a9cce70ull, 0x4534782e326a31c5ull, 7418},
      {true, 0x5fee2c0c9603a25aull, 0x692a17aa3102bd25ull, 0xa0dfecf09a9cce70ull, 0x0f82b96c059e0809ull, 8718},
  };
  for (const Case& c : cases) {
    standin::Design d("digest");
    make(d, c.variant);
    const digest::Digest got = digest::ofDesign(d);
    EXPECT_EQ(got.comps, c.comps) << "variant " << c.variant;
    EXPECT_EQ(got.signals, c.signals) << "variant " << c.variant;
    EXPECT_EQ(got.sites, c.sites) << "variant " << c.variant;
    EXPECT_EQ(got.graph, c.graph) << "variant " << c.variant;
    EXPECT_EQ(d.phy.graph.nodes.size(), c.nodes) << "variant " << c.variant;
  }
}

// The digest sees a change of one pin link, one geometry value or one arc
// of a node's list, so the comparison above can fail.
TEST(GenDigest, OneChangedLinkChangesTheDigest) {
  standin::Design d("digest");
  make(d, false);
  const digest::Digest before = digest::ofDesign(d);

  standin::Comp& c = d.comps[10];
  std::swap(c.sigpins[0], c.sigpins[1]);
  EXPECT_NE(digest::ofDesign(d).comps, before.comps);
  std::swap(c.sigpins[0], c.sigpins[1]);

  d.sites[3].geom->pinx[2] = 1;
  EXPECT_NE(digest::ofDesign(d).sites, before.sites);
  d.sites[3].geom->pinx[2] = 0;

  standin::Node* a = &d.phy.graph.nodes[0];
  d.phy.graph.addArc(a, a, false);  // one arc more on node 0
  EXPECT_NE(digest::ofDesign(d).graph, before.graph);
  EXPECT_EQ(digest::ofDesign(d).comps, before.comps);
}

}  // namespace
