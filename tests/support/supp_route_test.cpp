// Route lookup on small hand-made routing graphs: which arcs the search
// follows, what it records, the pin checks and the current signal, arc
// membership, and the exact printed texts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/standin/standin_util.h"
#include "support/basapsupp.h"
#include "tests/support/route_design.h"

namespace {

using standin::Node;

// Route F -> A -> T of signal s, with arcs around it that the search must
// pass over. T's arcs, in order: an unused arc from F; a route arc leaving T
// (directional, so never followed backwards) towards X, which is tied to F;
// a route arc from a dead end D (D's only other route arc comes from E,
// which has none); the undirected arc A-T. A is joined to F by an undirected
// arc whose node 0 is A.
class RouteTest : public ::testing::Test, protected RouteDesign {
protected:
  RouteTest() {
    F = d.addNode("R1C1_F0", 3);
    A = d.addNode("R1C2_A_LONG_NAME_OVER_24_CHARS", 7);
    T = d.addNode("R1C3_T0", 2);
    Node* X = d.addNode("X");
    Node* D = d.addNode("D");
    Node* E = d.addNode("E");
    d.addArc(F, T);  // not used by any route
    const int tx = d.addArc(T, X);
    const int dt = d.addArc(D, T);
    at = d.addArc(A, T, false);
    af = d.addArc(A, F, false);
    const int xf = d.addArc(X, F, false);
    const int ed = d.addArc(E, D);
    s = d.addSignal("s");
    pf = pin(s, F);
    pt = pin(s, T);
    d.route(s, {tx, dt, at, af, xf, ed});
  }

  standin::Signal* s;
  Node *F, *A, *T;
  int at, af;
  standin::SigPin *pf, *pt;
  AP_SUPP supp{&d};
};

TEST_F(RouteTest, SearchTakesTheFirstBranchThatReachesTheSourceAndRecordsItFromTheSource) {
  UP_PATH path;
  path.addarc(id(at), 1, 2, 3);  // what the caller's path holds already stays first
  std::vector<PhyNode*> nodes{T};
  ASSERT_EQ(supp.getRoute(pf, pt, &path, nodes), 1);
  EXPECT_EQ(arcs(&path), (std::vector<int>{-1, af, at}));
  EXPECT_EQ(nodes, (std::vector<PhyNode*>{T, F, A, T}));
  EXPECT_EQ(AP_SUPP::getCurSignal(), s);

  // A failed search adds nothing. The only route arc of A other than the
  // one it is reached by leads to F; excluding it leaves none.
  nodes.clear();
  UP_PATH other;
  EXPECT_EQ(supp.findRoute(F, A, id(af), &other, nodes), 0);
  EXPECT_EQ(supp.findRoute(F, T, id(at), &other, nodes), 0);
  EXPECT_TRUE(nodes.empty());
  EXPECT_EQ(other.getarcs(), nullptr);
  // A null path finds nothing to record into; a node is its own route.
  EXPECT_EQ(supp.findRoute(F, A, id(at), nullptr, nodes), 0);
  EXPECT_EQ(supp.findRoute(T, T, id(at), nullptr, nodes), 1);
  EXPECT_EQ(supp.findRoute(nullptr, T, id(at), &other, nodes), 0);
  EXPECT_TRUE(nodes.empty());
}

TEST_F(RouteTest, GetRouteNeedsTwoPinsOfOneSignalAndSetsTheCurrentSignal) {
  standin::Signal* t = d.addSignal("t");
  standin::SigPin* pu = pin(t, F);
  UP_PATH path;
  std::vector<PhyNode*> nodes;
  EXPECT_EQ(supp.getRoute(pf, pu, &path, nodes), 0);
  EXPECT_EQ(AP_SUPP::getCurSignal(), t);  // set although the signals differ
  EXPECT_EQ(supp.getRoute(pu, pt, &path, nodes), 0);
  EXPECT_EQ(AP_SUPP::getCurSignal(), s);

  // Without both pins, both components and a path it stops before that.
  standin::Comp* c = pu->comp;
  pu->comp = nullptr;
  EXPECT_EQ(supp.getRoute(pf, pu, &path, nodes) + supp.getRoute(pf, nullptr, &path, nodes) +
                supp.getRoute(pf, pt, nullptr, nodes),
            0);
  EXPECT_EQ(AP_SUPP::getCurSignal(), s);
  // A component pin on no signal makes the current signal null.
  pu->comp = c;
  c->signals[0] = nullptr;
  EXPECT_EQ(supp.getRoute(pu, pu, &path, nodes), 0);
  EXPECT_EQ(AP_SUPP::getCurSignal(), nullptr);
  EXPECT_EQ(supp.getRoute("p", pu, nullptr), 0);  // the pin's own signal is t: from is pu
  EXPECT_EQ(path.getarcs(), nullptr);
  EXPECT_TRUE(nodes.empty());

  // Two pins at one node: found, no arc, the node once.
  EXPECT_EQ(supp.getRoute(pin(s, T), pt, &path, nodes), 1);
  EXPECT_EQ(path.getarcs(), nullptr);
  EXPECT_EQ(nodes, (std::vector<PhyNode*>{T}));

  // The pin-less form starts from the signal's pin 0, and needs a signal.
  EXPECT_EQ(supp.getRoute(nullptr, pt, nullptr), 1);
  pt->signal = nullptr;
  EXPECT_EQ(supp.getRoute(nullptr, pt, nullptr) + supp.getRoute(nullptr, nullptr, nullptr), 0);

  // isRouted needs one routed signal and both components placed; the
  // routing graph is not consulted.
  pt->signal = s;
  EXPECT_EQ(supp.isRouted(pf, pt), 1);
  EXPECT_EQ(supp.isRouted(pf, pu) + supp.isRouted(pf, nullptr), 0);
  d.unplace(pt->comp);
  EXPECT_EQ(supp.isRouted(pf, pt) + supp.isRouted(pt, pf), 0);
  EXPECT_EQ(supp.isRouted(pf, pf), 1);
  s->routed = 0;
  EXPECT_EQ(supp.isRouted(pf, pf), 0);
}

TEST_F(RouteTest, ArcMembershipByNodeFlagOrByTheCurrentSignalsPath) {
  PhyArc_ID used = id(af), unused = id(0);
  EXPECT_TRUE(supp.arcInPath(used, F));
  EXPECT_FALSE(supp.arcInPath(unused, F));
  F->flags = static_cast<unsigned char>(~PhyNode::ON_ROUTE);
  EXPECT_FALSE(supp.arcInPath(used, F));

  // Without a node, the path of the signal of the last getRoute decides.
  std::vector<PhyNode*> nodes;
  UP_PATH scratch;
  supp.getRoute(pf, pt, &scratch, nodes);
  EXPECT_TRUE(supp.arcInPath(used, nullptr));
  EXPECT_FALSE(supp.arcInPath(unused, nullptr));
  s->path = nullptr;
  EXPECT_FALSE(supp.arcInPath(used, nullptr));

  // The same arc twice: the first element is the one found.
  UP_PATH path;
  EXPECT_FALSE(supp.arcInPath(&path, used));  // no arc list yet
  EXPECT_EQ(supp.GetPathArcInPath(nullptr, used), nullptr);
  path.addarc(unused, 0, 0, 0);
  PhyPathArc* first = path.addarc(used, 0, 0, 0);
  path.addarc(used, 0, 0, 0);
  EXPECT_EQ(supp.GetPathArcInPath(&path, used), first);
  EXPECT_TRUE(supp.arcInPath(&path, used));
  PhyArc_ID none = standin::noArc();
  EXPECT_FALSE(supp.arcInPath(&path, none));
}

TEST_F(RouteTest, PrintsTheRouteWithAHeaderOrWithoutOne) {
  standin::MessageLog& log = standin::messages();
  log.capture();
  // The route's lines, each after `p`.
  auto route = [](const std::string& p) {
    return p + "R1C1_F0                  OUTPIN (3)\n" + p + "R1C2_A_LONG_NAME_OVER_24_CHARS BY2/4 (7)\n" + p +
           "R1C3_T0                  INPIN (2)\n" + p + "- BY2/4=1   INPIN=1 OUTPIN=1  -\n";
  };
  EXPECT_EQ(supp.getRoute("  ", pf, pt, nullptr), 1);
  EXPECT_EQ(log.take(), "--   R1C1_F0 - R1C3_T0 --\n" + route("  "));
  UP_PATH path;
  EXPECT_EQ(supp.getRoute("X>", pt, &path), 1);  // from pin 0 of the signal, F
  EXPECT_EQ(arcs(&path), (std::vector<int>{af, at}));
  EXPECT_EQ(supp.getRoute("X", pf, pt, nullptr), 1);
  EXPECT_EQ(log.take(), route(">") + route(""));
  // Nothing without a prefix, nor when no route is found.
  EXPECT_EQ(supp.getRoute(nullptr, pf, pt, nullptr), 1);
  EXPECT_EQ(supp.getRoute("  ", pin(s, d.addNode("Z")), pt, nullptr), 0);
  EXPECT_EQ(log.take(), "");
  log.release();
}

TEST_F(RouteTest, TallyKeepsItsOwnOrderAndSkipsCodesWithoutAName) {
  const std::vector<int> codes{12, 5, 16, 0, 200, 12, 15};
  std::vector<PhyNode*> nodes;
  for (int code : codes) nodes.push_back(d.addNode("n" + std::to_string(code), code));
  standin::MessageLog& log = standin::messages();
  log.capture();
  supp.dumpNodeArr(nodes, "# ");
  std::vector<PhyNode*> none;
  supp.dumpNodeArr(none, "e");
  supp.dumpNodeArr(none, nullptr);
  nodes = {nodes[3]};
  supp.dumpNodeArr(nodes, "");
  EXPECT_EQ(log.take(),
            "# n12                      HL/BY1_D2 (12)\n"
            "# n5                       BY0 (5)\n"
            "# n16                      ? (16)\n"
            "# n0                       LOCAL (0)\n"
            "# n200                     ? (200)\n"
            "# n12                      HL/BY1_D2 (12)\n"
            "# n15                      HSPINE (15)\n"
            "# - BY0=1 HL/BY1_D2=2   LOCAL=1 HSPINE=1  -\n"
            "e-    -\n"
            "-    -\n"
            "n0                       LOCAL (0)\n"
            "-   LOCAL=1  -\n");
  log.release();
  EXPECT_STREQ(supp.ndName(F), "R1C1_F0");
  EXPECT_EQ(supp.ndName(nullptr), nullptr);
}

}  // namespace
