// Site dumps of the support object: each site with its geometry, the sites
// of special types grouped by type, and the components held by each site.
#include <algorithm>
#include <cstring>
#include <vector>

#include "host/npdevice.h"
#include "host/phydevice.h"
#include "host/updesign.h"
#include "support/basapsupp.h"
#include "support/basapsupp_dump.h"

using basapdump::printTitle;

namespace {

const char* const kSlotNames[4] = {"L0", "L1", "R0", "R1"};

NP_SITEPARAM* siteType(UP_SITE* site) { return site->getdsite()->getsiteparam(0); }

// Prints the header of a site, without a newline: its number, its label
// (the linked object's name, else its own), its own name when that differs
// from the label, and its type.
void printHeader(UP_SITE* site) {
  NP_DSITE* dsite = site->getdsite();
  const char* name = dsite->getname();
  const char* alt = dsite->getaltname();
  const char* label = alt != nullptr ? alt : name;
  ut_msgman->print(neoform("Site[%-4d]: %-10s %s (%s)", site->getid(), label,
                           std::strcmp(name, label) != 0 ? name : "", siteType(site)->getname()));
}

// Prints the values of one axis of a site's pins: the common value once
// with "*" when the extremes meet, else every value in pin order. The
// extremes start at 9999 and 0, so values all above 9999 or all below 0
// are listed one by one.
void printAxis(const char* open, const int* values, int n) {
  int lo = 9999, hi = 0;
  for (int i = 0; i < n; ++i) {
    lo = std::min(lo, values[i]);
    hi = std::max(hi, values[i]);
  }
  ut_msgman->print(open);
  if (hi == lo) {
    ut_msgman->print(neoform("%d*", values[0]));
  } else {
    for (int i = 0; i < n; ++i) ut_msgman->print(neoform("%d ", values[i]));
  }
  ut_msgman->print("]\n");
}

// A site of a type other than "SLICE", with what it is sorted by.
struct Special {
  const char* typeName;
  NP_SITEPARAM* type;
  int id;
  UP_SITE* site;
};

}  // namespace

void AP_SUPP::dumpSite(UP_SITE* site, const char* title, int brief) {
  printTitle(title);
  printHeader(site);
  const UP_SITEGEOM* geom = site->getgeom();
  const int n = brief <= 0 && geom != nullptr ? site->getphysite()->getnumpins() : 0;
  // A record that lacks the X or Y values of its pins is passed over like a
  // missing one.
  if (brief > 0 || geom == nullptr ||
      (n != 0 && (geom->pinx == nullptr || geom->piny == nullptr))) {
    ut_msgman->print("\n");
    return;
  }
  const char* quad = geom->quad >= 0 ? neoform("quad=%d", geom->quad) : "";
  ut_msgman->print(
      neoform(" Blk=%d/%d/%d q%s pins=%d\n", geom->col, geom->row, geom->sub, quad, n));
  printAxis("\tX=[", geom->pinx, n);
  printAxis("\tY=[", geom->piny, n);
}

void AP_SUPP::dumpAllSites(const char* title, int brief) {
  printTitle(title);
  const int numSites = design->getnumsites();
  ut_msgman->print(neoform("[Sites total=%d]\n", numSites));

  std::vector<Special> special;
  for (int i = 0; i < numSites; ++i) {
    UP_SITE* site = design->getsite(i);
    NP_SITEPARAM* type = siteType(site);
    const char* typeName = type->getname();
    if (std::strcmp(typeName, "SLICE") != 0)
      special.push_back(Special{typeName, type, site->getid(), site});
    dumpSite(site, nullptr, brief);
  }

  // strcmp orders by unsigned bytes.
  std::sort(special.begin(), special.end(), [](const Special& a, const Special& b) {
    const int byName = std::strcmp(a.typeName, b.typeName);
    return byName != 0 ? byName < 0 : a.id < b.id;
  });
  for (std::size_t first = 0; first < special.size();) {
    std::size_t end = first + 1;
    while (end < special.size() && special[end].type == special[end - 1].type) ++end;
    ut_msgman->print(neoform("\n[Special Site %s = %d]\n", special[first].typeName,
                             static_cast<int>(end - first)));
    for (std::size_t k = first; k < end; ++k) {
      printHeader(special[k].site);
      ut_msgman->print("\n");
    }
    first = end;
  }
}

void AP_SUPP::dumpSiteComp(UP_SITE* site, const char* prefix, int /*mode*/) {
  UP_COMP* occupant = site->getcomp();
  if (occupant == nullptr) return;
  ut_msgman->print(
      neoform("%ssite %s :\n", prefix != nullptr ? prefix : "", site->getdsite()->getname()));
  UP_COMP** slots = site->getslotcomps();
  if (slots == nullptr) {
    ut_msgman->print(neoform("%s\n", occupant->getsname()));
    return;
  }
  for (int k = 0; k < 4; ++k)
    if (slots[k] != nullptr)
      ut_msgman->print(neoform("\t%s=%s\n", kSlotNames[k], slots[k]->getsname()));
}

void AP_SUPP::dumpAllSiteComps(const char* title, int mode) {
  printTitle(title);
  const int numSites = design->getnumsites();
  ut_msgman->print(neoform("[Sites total=%d Comps=%d]\n", numSites, design->getnumcomps()));
  for (int i = 0; i < numSites; ++i) dumpSiteComp(design->getsite(i), "", mode);
}
