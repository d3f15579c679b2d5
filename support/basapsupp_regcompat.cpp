// Register compatibility of components packed into logic clusters, the
// components of a cluster, and the distinct signals on a class of pins.
#include <algorithm>
#include <functional>
#include <vector>

#include "host/updesign.h"
#include "support/basapsupp.h"

namespace {

// The logical pins that bound pin class 1 of calcNotSharingSigs.
constexpr auto kClassFirst = static_cast<UP_COMPINFO::PIN_ENUM>(0);
constexpr auto kClassLast = static_cast<UP_COMPINFO::PIN_ENUM>(7);

// Which components of a cluster a scan looks at: all of them, or those of
// one half (positions 0 and 1, or 2 and 3, by the component's own site).
enum class Half { All, Lower, Upper };

bool inHalf(UP_COMP* comp, Half half) {
  if (half == Half::All) return true;
  UP_SITE* site = comp->getsite();
  const bool lower = site != nullptr && site->getplcpos() < 2;
  return lower == (half == Half::Lower);
}

// The list rule over the components of `comps` in `half`: the first
// component with no record ends the scan as compatible; components of count
// 0 or less are ignored; the others must all use one record.
bool scanRecords(const std::vector<UP_COMP*>& comps, Half half) {
  const UP_REGCTRL* ref = nullptr;
  for (UP_COMP* comp : comps) {
    if (comp == nullptr || !inHalf(comp, half)) continue;
    const UP_REGCTRL* rec = comp->getregctrl();
    if (rec == nullptr) return true;
    if (rec->count <= 0) continue;
    if (ref == nullptr)
      ref = rec;
    else if (rec != ref)
      return false;
  }
  return true;
}

// The components of a cluster, gathered into a list that lives for the
// process and keeps its capacity. Null for a null cluster.
const std::vector<UP_COMP*>* gatherCluster(UP_PLCSITE* plc) {
  static std::vector<UP_COMP*> comps;
  if (plc == nullptr) return nullptr;
  AP_SUPP::findCompArrInPlc(plc, comps);
  return &comps;
}

// Library-wide list of the signals seen by calcNotSharingSigs.
std::vector<UP_SIGNAL*>& signalScratch() {
  static std::vector<UP_SIGNAL*> signals;
  return signals;
}

}  // namespace

bool AP_SUPP::regCompatible(UP_COMP* a, UP_COMP* b) {
  if (a == nullptr || b == nullptr) return true;
  const UP_REGCTRL* ra = a->getregctrl();
  if (ra == nullptr || ra->count == 0) return true;
  const UP_REGCTRL* rb = b->getregctrl();
  if (rb == nullptr || rb->count == 0) return true;
  return ra == rb;
}

bool AP_SUPP::regCompatible(std::vector<UP_COMP*>& comps) { return scanRecords(comps, Half::All); }

bool AP_SUPP::regCompatible(UP_PLCSITE* plc) {
  const std::vector<UP_COMP*>* comps = gatherCluster(plc);
  return comps == nullptr || scanRecords(*comps, Half::All);
}

bool AP_SUPP::regCompatibleUA(UP_PLCSITE* plc) {
  const std::vector<UP_COMP*>* comps = gatherCluster(plc);
  return comps == nullptr || (scanRecords(*comps, Half::Lower) && scanRecords(*comps, Half::Upper));
}

void AP_SUPP::findCompArrInPlc(UP_PLCSITE* plc, std::vector<UP_COMP*>& comps) {
  comps.clear();
  if (plc == nullptr) return;
  for (UP_SITE* site : plc->getsites())
    if (site != nullptr) site->getnumaccbels(comps);
}

void AP_SUPP::findCompArrInPlc(UP_PLCSITE* plc, std::vector<UP_COMP*>& comps, UP_COMP* added,
                               UP_COMP* removed) {
  findCompArrInPlc(plc, comps);
  if (plc == nullptr) return;
  if (added != nullptr) comps.push_back(added);
  if (removed != nullptr) std::replace(comps.begin(), comps.end(), removed, static_cast<UP_COMP*>(nullptr));
}

int AP_SUPP::calcNotSharingSigs(std::vector<UP_COMP*>& comps, int pinClass) {
  std::vector<UP_SIGNAL*>& seen = signalScratch();
  seen.clear();
  if (pinClass < 0 || pinClass > 2) return 0;
  for (UP_COMP* comp : comps) {
    if (comp == nullptr) continue;
    int first = 0, last = -1;
    if (pinClass == 1) {
      first = comp->getlogicpinid(kClassFirst);
      last = comp->getlogicpinid(kClassLast);
    }
    // The pin count is read anew at each step.
    for (int i = 0; i < comp->getnumpins(); ++i) {
      UP_SIGNAL* sig = comp->getsignal(i);
      if (sig == nullptr) continue;
      bool selected = true;
      if (pinClass == 1) {
        selected = first <= i && i <= last;
      } else if (pinClass == 2) {
        UP_SIGPIN* pin = comp->getsigpin(i);
        selected = pin != nullptr && (pin->getpintype().bytes[0] & CM_PINTYPE::INPUT) != 0;
      }
      if (selected) seen.push_back(sig);
    }
  }
  std::sort(seen.begin(), seen.end(), std::less<UP_SIGNAL*>());
  return static_cast<int>(std::unique(seen.begin(), seen.end()) - seen.begin());
}
