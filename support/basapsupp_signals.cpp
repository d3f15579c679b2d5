// Signal queries of the support object: clock classification, global load
// counts and the bounding box of a signal's placed pins.
#include <algorithm>

#include "host/updesign.h"
#include "support/basapsupp.h"
#include "support/basapsupp_pinbox.h"

namespace {

// The logical pins whose loads sigGlobalLoadNum counts, by class.
constexpr auto kClassAFirst = static_cast<UP_COMPINFO::PIN_ENUM>(17);
constexpr auto kClassASecond = static_cast<UP_COMPINFO::PIN_ENUM>(15);
constexpr auto kClassB = static_cast<UP_COMPINFO::PIN_ENUM>(14);
constexpr auto kClassC = static_cast<UP_COMPINFO::PIN_ENUM>(16);

}  // namespace

int AP_SUPP::sigIsClk(UP_SIGNAL* sig, std::vector<UP_SIGNAL*>* clocks) {
  if (clocks != nullptr && std::find(clocks->begin(), clocks->end(), sig) != clocks->end())
    return 1;
  UP_INFO* info = design->getinfo();
  if (info->isclk1(sig)) return 1;
  if (info->isclk2(sig)) return 2;
  if (info->isclk3(sig)) return 3;
  return 0;
}

bool AP_SUPP::sigGlobalLoadNum(UP_SIGNAL* sig, int* counts, int /*mode*/) {
  UP_INFO* info = design->getinfo();
  int a = 0, b = 0, c = 0;
  const int numPins = sig->getnumpins();
  for (int i = sig->getnumdrivers(); i < numPins; ++i) {
    UP_COMP* comp = sig->getcomp(i);
    UP_SIGPIN* pin = sig->getsigpin(i);
    UP_PORT* port = pin != nullptr ? pin->getport() : nullptr;
    if (!info->comp_is_pfu_pff(comp) || port == nullptr) continue;
    const int p = port->getid();
    if (p == comp->getlogicpinid(kClassAFirst) || p == comp->getlogicpinid(kClassASecond))
      ++a;
    else if (p == comp->getlogicpinid(kClassB))
      ++b;
    else if (p == comp->getlogicpinid(kClassC))
      ++c;
  }
  if (counts != nullptr) {
    counts[0] = a;
    counts[1] = b;
    counts[2] = c;
    counts[3] = 0;
  }
  return a + b + c != 0;
}

int basapPinBox(UP_INFO* info, UP_SIGNAL* sig, int& rowMax, int& rowMin, int& colMax,
                int& colMin) {
  bool first = true;
  const int numPins = sig->getnumpins();
  for (int i = 0; i < numPins; ++i) {
    UP_SIGPIN* pin = sig->getsigpin(i);
    UP_COMP* comp = pin->getcomp();
    UP_SITE* site = comp != nullptr ? comp->getsite() : nullptr;
    if (site == nullptr) continue;
    if (info == nullptr) info = getUpDesign()->getinfo();
    const auto pinId = static_cast<unsigned short>(pin->getpinid());
    const int r = info->getpinrow(site, pinId);
    const int c = info->getpincol(site, pinId);
    if (first) {
      rowMax = rowMin = r;
      colMax = colMin = c;
      first = false;
    } else {
      rowMax = std::max(rowMax, r);
      rowMin = std::min(rowMin, r);
      colMax = std::max(colMax, c);
      colMin = std::min(colMin, c);
    }
  }
  return (rowMax - rowMin) + (colMax - colMin);
}

int AP_SUPP::calcBBox(UP_SIGNAL* sig, int& rowMax, int& rowMin, int& colMax, int& colMin) {
  return basapPinBox(nullptr, sig, rowMax, rowMin, colMax, colMin);
}
