// A small design for route lookups: signal pins on placed components, each
// pin at a routing node of the test's choosing, and arc indexes read back
// from paths.
#ifndef BASAPLACE_TESTS_SUPPORT_ROUTE_DESIGN_H
#define BASAPLACE_TESTS_SUPPORT_ROUTE_DESIGN_H

#include <cstdint>
#include <string>
#include <vector>

#include "host/standin/standin_design.h"

struct RouteDesign {
  RouteDesign() {
    prim = d.addPrim("P", {{"I", udb::DIR_INPUT}, {"O", udb::DIR_OUTPUT}});
    slice = d.addSiteType("SLICE", {});
  }

  // A pin of `sig` on a new placed component, at `node`.
  standin::SigPin* pin(standin::Signal* sig, standin::Node* node) {
    const std::string n = std::to_string(d.comps.size());
    standin::Comp* c = d.addComp("c" + n, prim);
    d.place(c, d.addSite("S" + n, slice, 1, 1));
    standin::SigPin* p = d.addLoad(sig, c, 0);
    p->node = node;
    return p;
  }

  PhyArc_ID id(int arc) const { return d.phy.graph.id(arc); }

  // The arc indexes that a path holds, in order, and the three ints given
  // with each (checked to be 0x3fffffff, 0, 0; -1 marks a mismatch).
  static std::vector<int> arcs(UP_PATH* path) {
    std::vector<int> out;
    if (path == nullptr || path->getarcs() == nullptr) return out;
    for (PhyPathArc* e : *path->getarcs()) {
      const auto* element = static_cast<standin::PathArc*>(e);
      std::uint32_t index = 0;
      for (int i = 0; i < 4; ++i) index |= std::uint32_t{element->id.bytes[i]} << (8 * i);
      const bool marked = element->a == 0x3fffffff && element->b == 0 && element->c == 0;
      out.push_back(marked ? static_cast<int>(index) : -1);
    }
    return out;
  }

  standin::Design d;
  standin::Prim* prim;
  standin::SiteType* slice;
};

#endif
