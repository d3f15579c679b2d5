// The route search written as a plain recursion, step for step as the
// library's search takes them but with no record of the nodes visited: it
// recurses once per node of the route and never ends on a cycle. The tests
// compare the library's search with it; the route benchmark runs it as its
// anchor.
#ifndef BASAPLACE_TESTS_SUPPORT_PLAIN_ROUTE_H
#define BASAPLACE_TESTS_SUPPORT_PLAIN_ROUTE_H

#include <cstdint>
#include <utility>
#include <vector>

#include "host/phydevice.h"
#include "host/updesign.h"
#include "support/basapsupp.h"

// Searches backwards from `to` for `from`; on success adds the route's arcs
// to `path` and its nodes but `to` to `nodes`, from `from` on. Counts in
// `steps` (when given) the arcs that the node iterators hand out.
inline int plainFind(AP_SUPP& supp, PhyNode* from, PhyNode* to, PhyArc_ID arcIn, UP_PATH* path,
                     std::vector<PhyNode*>& nodes, std::int64_t* steps = nullptr) {
  if (from == nullptr || to == nullptr) return 0;
  if (from == to) return 1;
  PhyNode_ITERATOR it(to, PhyNode_ITERATOR::ARC_ALL);
  while (it.getnext()) {
    if (steps != nullptr) ++*steps;
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
    if (plainFind(supp, from, prev, cur, path, nodes, steps)) {
      path->addarc(cur, 0x3fffffff, 0, 0);
      nodes.push_back(cur.getnode(end));
      return 1;
    }
  }
  return 0;
}

// The steps that the search may take backwards from `node` reached by
// `arcIn`: (node reached, arc taken), in the node's arc order. The tests and
// the fuzz target use it to walk every way the search could go.
inline std::vector<std::pair<PhyNode*, PhyArc_ID>> plainSteps(AP_SUPP& supp, PhyNode* node, PhyArc_ID arcIn) {
  std::vector<std::pair<PhyNode*, PhyArc_ID>> out;
  for (PhyNode_ITERATOR it(node, PhyNode_ITERATOR::ARC_ALL); it.getnext();) {
    PhyArc_ID cur = it.getcurarcid();
    if (!supp.arcInPath(cur, it.getcurnode()) || cur == arcIn) continue;
    if (cur.getnode(1) == node)
      out.emplace_back(cur.getnode(0), cur);
    else if (!cur.isdirectional() && cur.getnode(0) == node)
      out.emplace_back(cur.getnode(1), cur);
  }
  return out;
}

#endif
