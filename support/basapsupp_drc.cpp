// Site packing checks: replicated signal pins, the register rules of a
// site's slot pair and of its logic cluster, and the consistency of the
// component and site tables.
#include <algorithm>
#include <string>
#include <vector>

#include <boost/format.hpp>

#include "host/basapfatal.h"
#include "host/npdevice.h"
#include "host/updesign.h"
#include "host/ututil.h"
#include "support/basapsupp.h"

namespace {

const char kSource[] = "basapsupp";
const char kModule[] = "basaplace";
// Code of the fatal reports of packing errors, and of the exit exception.
constexpr int kPackingCode = 19;
constexpr int kExitCode = 1;

const char* orEmpty(const char* text) { return text != nullptr ? text : ""; }

// The label of a site in messages: the name of the object linked to its
// device site, else the device site's name (the site's own name when it has
// no device site).
const char* siteLabel(UP_SITE* site) {
  NP_DSITE* dsite = site->getdsite();
  if (dsite == nullptr) return orEmpty(site->getname());
  const char* alt = dsite->getaltname();
  return orEmpty(alt != nullptr ? alt : dsite->getname());
}

// The cluster name carried by a site label: the label less its last
// character, of any length; empty for an empty label.
std::string clusterLabel(UP_SITE* site) {
  std::string label = siteLabel(site);
  if (!label.empty()) label.pop_back();
  return label;
}

const char* compName(UP_COMP* comp) { return orEmpty(comp->getname(false)); }

// The design option that switches the cluster register check off, read from
// the first design that asks and kept for the rest of the process.
int disableHalfPlc(UP_INFO* info) {
  static const int disabled = info->getoption("Vorn_Disable_Half_PLC", false);
  return disabled;
}

// A signal pin reduced to what replicated-pin detection compares.
struct PinKey {
  UP_COMP* comp;
  int pinid;
};

// True when `site` lists `comp` among the components on its basic elements.
// The list lives for the process and keeps its capacity.
bool siteHolds(UP_SITE* site, UP_COMP* comp) {
  static std::vector<UP_COMP*> bels;
  bels.clear();
  site->getnumaccbels(bels);
  return std::find(bels.begin(), bels.end(), comp) != bels.end();
}

// Posts message "1001" for a cluster that breaks the register rules, prints
// every component of the cluster with its site, and ends the run.
[[noreturn]] void reportCluster(UP_SITE* first, UP_PLCSITE* plc) {
  const std::string label = clusterLabel(first);
  msgManager(kModule).postMsg("1001", label.c_str());
  std::vector<UP_COMP*> comps;
  for (int pos = 0; pos < 4; ++pos) {
    UP_SITE* site = plc->getsite(pos);
    if (site == nullptr) continue;
    comps.clear();
    site->getnumaccbels(comps);
    for (UP_COMP* comp : comps) {
      if (comp == nullptr) continue;
      UP_SITE* at = comp->getsite() != nullptr ? comp->getsite() : site;
      ut_msgman->print(neoform("\t-- %s at %s\n", orEmpty(comp->getsname()), orEmpty(at->getname())));
    }
  }
  throw UT_EXCEPTION_EXIT(kExitCode, kSource, __LINE__, nullptr);
}

}  // namespace

int AP_SUPP::drcSig(UP_SIGNAL* sig, int report) {
  static std::vector<PinKey> pins;  // library-wide, keeps its capacity
  pins.clear();
  const int numPins = sig->getnumpins();
  for (int i = 0; i < numPins; ++i) {
    UP_SIGPIN* pin = sig->getsigpin(i);
    UP_COMP* comp = pin != nullptr ? pin->getcomp() : nullptr;
    if (comp != nullptr) pins.push_back(PinKey{comp, pin->getpinid()});
  }
  std::sort(pins.begin(), pins.end(), [](const PinKey& a, const PinKey& b) {
    return a.comp == b.comp ? a.pinid < b.pinid : basup_cmpcomp(a.comp, b.comp);
  });
  int count = 0;
  for (std::size_t k = 0; k + 1 < pins.size(); ++k) {
    const PinKey& pin = pins[k];
    if (pin.comp != pins[k + 1].comp || pin.pinid != pins[k + 1].pinid) continue;
    ++count;
    if (report != 0) {
      UP_PRIM* prim = pin.comp->getprim();
      const char* port = prim != nullptr ? prim->getportname(pin.pinid) : nullptr;
      ut_msgman->print(neoform("Signal%d has replicated pin %s:%s(%d)\n", sig->getid(),
                               orEmpty(pin.comp->getsname()), orEmpty(port), pin.pinid));
    }
  }
  return count;
}

int AP_SUPP::drcComp(UP_COMP* comp, int report) {
  int count = 0;
  const int numPins = comp->getnumpins();
  for (int i = 0; i < numPins; ++i) {
    UP_SIGNAL* sig = comp->getsignal(i);
    if (comp->getsigpin(i) != nullptr && sig != nullptr) count += drcSig(sig, report);
  }
  return count;
}

int AP_SUPP::drcSite(UP_SITE* site, int checks, int report) {
  UP_INFO* info = design->getinfo();
  if (info->nositedrc() || info->nositedrc2()) return 0;
  if (checks == 0) checks = 3;
  if (!info->site_is_pfu_pff(site)) return 0;

  int errA = 0;
  if ((checks & 1) != 0 && site->getnumuniqbels() > 1) {
    UP_COMP** slots = site->getslotcomps();
    UP_COMP* r0 = slots != nullptr ? slots[2] : nullptr;
    UP_COMP* r1 = slots != nullptr ? slots[3] : nullptr;
    if (r0 != nullptr && r1 != nullptr && !regCompatible(r0, r1)) {
      errA = 1;
      if (report != 0)
        BASAP_INTERNAL_ERROR(kSource, kPackingCode,
                             neoform("ERROR: %s incompatible for comp%d %s comp%d %s\n",
                                     siteLabel(site), r0->getid(), orEmpty(r0->getsname()),
                                     r1->getid(), orEmpty(r1->getsname())));
    }
  }

  // The cluster check, made once per cluster from its first site. Skipped
  // when the design option turns it off, and for a site with no cluster.
  if ((checks & 2) == 0 || disableHalfPlc(info) != 0) return errA;
  UP_PLCSITE* plc = site->getplcsite();
  if (plc == nullptr || site != plc->getsite(0)) return errA;
  const bool fails = (info->plcregrule() && !regCompatible(plc)) ||
                     (info->halfplcregrule() && !regCompatibleUA(plc));
  if (!fails) return errA;
  if (report == 0) return errA + 1;
  reportCluster(site, plc);
}

int AP_SUPP::drcAllSite(int checks, int level) {
  // Components against their sites.
  for (int i = 0; i < design->getnumcomps(); ++i) {
    UP_COMP* comp = design->getcomp(i);
    UP_SITE* site = comp != nullptr ? comp->getsite() : nullptr;
    if (site == nullptr) continue;
    UP_COMP* occupant = site->getcomp();
    if (occupant == nullptr) {
      msgManager(kModule).postMsg("1002", compName(comp), orEmpty(site->getname()));
      throw UT_EXCEPTION_EXIT(kExitCode, kSource, __LINE__, nullptr);
    }
    if (occupant != comp && !siteHolds(site, comp))
      msgManager(kModule).postMsg("1003", compName(comp), siteLabel(site), compName(occupant));
  }

  // Sites against their occupants.
  for (int i = 0; i < design->getnumsites(); ++i) {
    UP_SITE* site = design->getsite(i);
    UP_COMP* occupant = site != nullptr ? site->getcomp() : nullptr;
    if (occupant == nullptr) continue;
    UP_SITE* other = occupant->getsite();
    if (other == site) continue;
    const char* name = compName(occupant);
    if (other != nullptr)
      ut_msgman->print(neoform("INTERR: comp %s's site pointer %s != %s\n", name, siteLabel(other),
                               siteLabel(site)));
    std::vector<std::string> args{name, siteLabel(site)};
    const std::string message =
        (boost::format("mismatch between comp %s's site pointer and '%s'") % args[0] % args[1]).str();
    _upInternalFatalErrorBase(kSource, __LINE__, message, args);
  }

  int total = 0;
  for (int i = 0; i < design->getnumsites(); ++i) {
    UP_SITE* site = design->getsite(i);
    if (site != nullptr) total += drcSite(site, checks, level > 1 ? 1 : 0);
  }
  if (level != 0 && total > 0)
    BASAP_INTERNAL_ERROR(kSource, kPackingCode,
                         neoform("ERROR: There are %d site comp errors %s\n", total,
                                 checks == 2 ? "for PLC rules" : ""));
  return total;
}
