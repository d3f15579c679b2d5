// The stand-in routing graph: arc ids, per-node arc iteration, paths and
// routes.
#include <gtest/gtest.h>

#include <vector>

#include "host/standin/standin_design.h"

namespace {

// Walks a node's arcs and returns the arc ids and the nodes held with them.
struct Walk {
  std::vector<PhyArc_ID> arcs;
  std::vector<PhyNode*> nodes;
};

Walk walk(PhyNode* node) {
  Walk w;
  PhyNode_ITERATOR it(node, PhyNode_ITERATOR::ARC_ALL);
  while (it.getnext()) {
    w.arcs.push_back(it.getcurarcid());
    w.nodes.push_back(it.getcurnode());
  }
  return w;
}

class GraphTest : public ::testing::Test {
protected:
  GraphTest() {
    a = d.addNode("a", 3);
    b = d.addNode("b", 5);
    c = d.addNode("c");
    ab = d.addArc(a, b);
    cb = d.addArc(c, b, false);
    ac = d.addArc(a, c);
    loop = d.addArc(b, b);
  }

  PhyArc_ID id(int arc) { return d.phy.graph.id(arc); }

  standin::Design d;
  standin::Node* a;
  standin::Node* b;
  standin::Node* c;
  int ab, cb, ac, loop;
};

TEST_F(GraphTest, ArcIdsNameTheirEnds) {
  const PhyArc_ID x = id(ab);
  EXPECT_TRUE(id(ab) != id(cb));
  EXPECT_EQ(x.getnode(0), a);
  EXPECT_EQ(x.getnode(1), b);
  EXPECT_EQ(x.getnode(2), nullptr);
  EXPECT_TRUE(x.isdirectional());
  EXPECT_FALSE(id(cb).isdirectional());
  EXPECT_EQ(standin::noArc().getnode(0), nullptr);
  for (int arc : {ab, cb, ac, loop}) EXPECT_TRUE(id(arc) != standin::noArc()) << arc;
}

TEST_F(GraphTest, IteratorWalksEachNodesArcsInOrderWithTheFarNode) {
  Walk wa = walk(a);
  ASSERT_EQ(wa.arcs.size(), 2u);
  EXPECT_TRUE(wa.arcs[0] == id(ab));
  EXPECT_TRUE(wa.arcs[1] == id(ac));
  EXPECT_EQ(wa.nodes, (std::vector<PhyNode*>{b, c}));

  // b is the head of ab and cb, and both ends of the loop, listed once.
  Walk wb = walk(b);
  ASSERT_EQ(wb.arcs.size(), 3u);
  EXPECT_TRUE(wb.arcs[1] == id(cb));
  EXPECT_TRUE(wb.arcs[2] == id(loop));
  EXPECT_EQ(wb.nodes, (std::vector<PhyNode*>{a, c, b}));

  // An arc may hide its node.
  d.phy.graph.arcs[static_cast<std::size_t>(cb)].showsNode = false;
  EXPECT_EQ(walk(b).nodes, (std::vector<PhyNode*>{a, nullptr, b}));
  EXPECT_TRUE(walk(nullptr).arcs.empty());

  // Before the first arc and past the last, the iterator holds no arc.
  PhyNode_ITERATOR it(c, PhyNode_ITERATOR::ARC_ALL);
  EXPECT_TRUE(it.getcurarcid() == standin::noArc());
  EXPECT_TRUE(it.getnext() && it.getnext());
  EXPECT_FALSE(it.getnext());
  EXPECT_FALSE(it.getnext());  // stays at the end
  EXPECT_TRUE(it.getcurarcid() == standin::noArc());
  EXPECT_EQ(it.getcurnode(), nullptr);
}

TEST_F(GraphTest, RouteGivesTheSignalAPathAndMarksItsArcsAndNodes) {
  UP_PATH empty;
  EXPECT_EQ(empty.getarcs(), nullptr);  // no arc list before the first arc

  standin::Signal* sig = d.addSignal("s");
  EXPECT_EQ(static_cast<UP_SIGNAL*>(sig)->getpath(), nullptr);
  EXPECT_EQ(static_cast<UP_SIGNAL*>(sig)->isrouted(), 0);
  UP_PATH* path = d.route(sig, {ac, cb});
  EXPECT_EQ(static_cast<UP_SIGNAL*>(sig)->getpath(), path);
  EXPECT_NE(static_cast<UP_SIGNAL*>(sig)->isrouted(), 0);
  ASSERT_EQ(path->getarcs()->size(), 2u);
  EXPECT_TRUE((*path->getarcs())[0]->getarcid() == id(ac));
  EXPECT_TRUE((*path->getarcs())[1]->getarcid() == id(cb));
  EXPECT_TRUE(id(ac).isused());
  EXPECT_TRUE(id(cb).isused());
  EXPECT_FALSE(id(ab).isused());
  for (PhyNode* node : {static_cast<PhyNode*>(a), static_cast<PhyNode*>(b),
                        static_cast<PhyNode*>(c)})
    EXPECT_EQ(node->getflags() & PhyNode::ON_ROUTE, PhyNode::ON_ROUTE);
}

}  // namespace
