#include <host/standin/standin_design.h>
#include <host/updesign.h>
#include <support/basapsupp.h>

#include <type_traits>
#include <vector>

#include "calls.h"

static_assert(std::has_virtual_destructor<AP_SUPP>::value, "AP_SUPP's destructor is virtual");

int callSupport() {
  int wrong = 0;
  standin::Design host("caller");
  standin::SiteType* slice = host.addSiteType("SLICE", {});
  standin::Prim* lut = host.addPrim("LUT", {{"A", udb::DIR_INPUT}, {"Z", udb::DIR_OUTPUT}});
  standin::Comp* from = host.addComp("from", lut);
  standin::Comp* to = host.addComp("to", lut);
  standin::Signal* net = host.addSignal("net");
  host.addDriver(net, from, 1);
  host.addLoad(net, to, 0);
  host.place(from, host.addSite("S0", slice, 1, 2));
  host.place(to, host.addSite("S1", slice, 4, 7));

  UP_DESIGN* design = &host;
  UP_SIGNAL* sig = net;
  AP_SUPP supp = design;
  AP_SUPP copy(supp);
  AP_SUPP other(nullptr);
  other = copy;
  wrong += CALL(UP_DESIGN*, other.getDesign()) != design;

  std::vector<UP_SIGNAL*> clocks{sig};
  wrong += CALL(int, supp.sigIsClk(sig, &clocks)) != 1;
  int counts[4] = {9, 9, 9, 9};
  const int mode = 0;
  wrong += CALL(bool, supp.sigGlobalLoadNum(sig, counts, mode)) || counts[3] != 0;
  int rowMax = 0, rowMin = 0, colMax = 0, colMin = 0;
  wrong += CALL(int, AP_SUPP::calcBBox(sig, rowMax, rowMin, colMax, colMin)) != 8;
  return wrong;
}
