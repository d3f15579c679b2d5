// Small packed designs for the packing tests: logic clusters of four sites
// of two unique basic elements each, with LUTs in slots L0/L1 and registers
// in slots R0/R1.
#ifndef BASAPLACE_TESTS_SUPPORT_PACKING_DESIGN_H
#define BASAPLACE_TESTS_SUPPORT_PACKING_DESIGN_H

#include <string>

#include "host/standin/standin_design.h"
#include "host/standin/standin_util.h"

namespace packing {

class PackingDesign {
public:
  enum RegPin { D = 0, CK = 1, CE = 2, Q = 3 };

  PackingDesign() {
    slice = d.addSiteType("SLICE", {});
    slice->uniqBels = 2;
    lut = d.addPrim("LUT", {{"A", udb::DIR_INPUT}, {"B", udb::DIR_INPUT}, {"Z", udb::DIR_OUTPUT}});
    reg = d.addPrim("FF", {{"D", udb::DIR_INPUT},
                           {"CK", udb::DIR_INPUT},
                           {"CE", udb::DIR_INPUT},
                           {"Q", udb::DIR_OUTPUT}});
    d.info.plcRegRule = true;
    standin::messages().capture();
    standin::clearRecords();
  }

  ~PackingDesign() { standin::messages().release(); }

  // A component placed on `site` and put in `slot`: a LUT in L0/L1, a
  // register in R0/R1, with control record `rec`.
  standin::Comp* put(standin::Site* site, standin::Slot slot, UP_REGCTRL* rec = nullptr) {
    standin::Prim* prim = slot == standin::R0 || slot == standin::R1 ? reg : lut;
    standin::Comp* c = d.addComp("c" + std::to_string(d.comps.size()), prim);
    c->regctrl = rec;
    d.place(c, site);
    d.setSlot(site, slot, c);
    return c;
  }

  // A register with control record `rec`, placed on a site of its own
  // cluster with no slot, or left unplaced when `site` is null.
  standin::Comp* regOn(standin::Site* site, UP_REGCTRL* rec) {
    standin::Comp* c = d.addComp("r" + std::to_string(d.comps.size()), reg);
    c->regctrl = rec;
    if (site != nullptr) d.place(c, site);
    return c;
  }

  standin::Site* site(standin::Plc* plc, int pos) {
    return static_cast<standin::Site*>(plc->sites[static_cast<std::size_t>(pos)]);
  }

  standin::Design d;
  standin::SiteType* slice;
  standin::Prim* lut;
  standin::Prim* reg;
};

}  // namespace packing

#endif
