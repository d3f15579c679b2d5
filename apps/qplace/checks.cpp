// Legality check of a placed design.
#include "qplace/checks.h"

#include <set>

namespace qplace {

namespace {

void fault(CheckResult& r, const std::string& what) {
  ++r.errors;
  if (r.first.size() < 10) r.first.push_back(what);
}

bool primIs(const standin::Comp& c, const char* name) { return c.prim != nullptr && c.prim->name == name; }

}  // namespace

CheckResult checkPlacement(standin::Design& d) {
  CheckResult r;
  for (standin::Comp& c : d.comps) {
    const bool lut = primIs(c, "LUT4"), reg = primIs(c, "FF"), io = primIs(c, "IO");
    if (!lut && !reg && !io) continue;
    standin::Site* s = c.site;
    if (s == nullptr) {
      fault(r, "component " + c.name + " is not placed");
      continue;
    }
    const bool logicSite = s->plc != nullptr;
    if (io) {
      if (logicSite) fault(r, "I/O component " + c.name + " on logic site " + s->name);
      if (s->bels.size() != 1) fault(r, "I/O site " + s->name + " holds " + std::to_string(s->bels.size()) + " components");
      continue;
    }
    if (!logicSite || !s->hasSlots) {
      fault(r, "component " + c.name + " on site " + s->name + ", which is no logic site with slots");
      continue;
    }
    int found = 0;
    for (int k = 0; k < 4; ++k) {
      if (s->slots[k] != &c) continue;
      ++found;
      if ((k < 2) != lut) fault(r, "component " + c.name + " in a slot of the wrong kind on " + s->name);
    }
    if (found != 1) fault(r, "component " + c.name + " is in " + std::to_string(found) + " slots of " + s->name);
  }
  for (standin::Site& s : d.sites) {
    if (s.plc == nullptr) continue;
    for (int k = 0; k < 4; ++k) {
      auto* c = static_cast<standin::Comp*>(s.slots[k]);
      if (c != nullptr && c->site != &s) fault(r, "slot of " + s.name + " names " + c->name + ", placed elsewhere");
    }
    std::set<const standin::Comp*> bels(s.bels.begin(), s.bels.end());
    if (bels.size() > 4) fault(r, "site " + s.name + " holds " + std::to_string(bels.size()) + " components");
  }
  return r;
}

}  // namespace qplace
