// The stand-in routing graph: arc ids and per-node arc iteration.
#include <gtest/gtest.h>

#include <vector>

#include "host/standin/standin_design.h"

namespace {

class GraphTest : public ::testing::Test {
protected:
  // A node's arcs and the nodes held with them, as the iterator gives them.
  static std::vector<std::pair<PhyArc_ID, PhyNode*>> walk(PhyNode* node) {
    std::vector<std::pair<PhyArc_ID, PhyNode*>> out;
    for (PhyNode_ITERATOR it(node, PhyNode_ITERATOR::ARC_ALL); it.getnext();)
      out.emplace_back(it.getcurarcid(), it.getcurnode());
    return out;
  }
  PhyArc_ID id(int arc) { return d.phy.graph.id(arc); }

  standin::Design d;
  standin::Node* a = d.addNode("a", 3);
  standin::Node* b = d.addNode("b", 5);
  standin::Node* c = d.addNode("c");
  int ab = d.addArc(a, b), cb = d.addArc(c, b, false), ac = d.addArc(a, c), loop = d.addArc(b, b);
};

TEST_F(GraphTest, ArcIdsNameTheirEndsAndTheIteratorWalksEachNodesArcsInOrder) {
  EXPECT_EQ(id(ab).getnode(0), a);
  EXPECT_EQ(id(ab).getnode(1), b);
  EXPECT_EQ(id(ab).getnode(2), nullptr);
  EXPECT_TRUE(id(ab).isdirectional());
  EXPECT_FALSE(id(cb).isdirectional());
  EXPECT_EQ(standin::noArc().getnode(0), nullptr);
  for (int arc : {ab, cb, ac, loop}) EXPECT_TRUE(id(arc) != standin::noArc()) << arc;

  // b is the head of ab and cb and both ends of the loop, listed once; the
  // node held is the far end.
  const auto wb = walk(b);
  ASSERT_EQ(wb.size(), 3u);
  const int arcs[] = {ab, cb, loop};
  const PhyNode* far[] = {a, c, b};
  for (int k = 0; k < 3; ++k) {
    EXPECT_TRUE(wb[k].first == id(arcs[k])) << k;
    EXPECT_EQ(wb[k].second, far[k]) << k;
  }
  d.phy.graph.arcs[static_cast<std::size_t>(cb)].showsNode = false;  // an arc may hide its node
  EXPECT_EQ(walk(b)[1].second, nullptr);
  EXPECT_TRUE(walk(nullptr).empty());
  // Before the first arc and past the last, the iterator holds no arc.
  PhyNode_ITERATOR it(c, PhyNode_ITERATOR::ARC_ALL);
  EXPECT_TRUE(it.getcurarcid() == standin::noArc());
  EXPECT_TRUE(it.getnext() && it.getnext());
  EXPECT_FALSE(it.getnext());
  EXPECT_TRUE(it.getcurarcid() == standin::noArc());
  EXPECT_EQ(it.getcurnode(), nullptr);
}

}  // namespace
