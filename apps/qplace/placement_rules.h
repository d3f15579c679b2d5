// Where each placement unit may go: the constraints (constraints.h) and
// the locations kept from a placed netlist, resolved against the packed
// design and its device. Every phase asks the same questions of it:
// global placement fixes the fixed units and clamps the region-bound ones
// into their rectangles, legalization offers a unit only the clusters it
// may take, and the detailed improvement makes no move that breaks a rule.
//
// A unit moves as one (packing.h): fixing the LUT of a LUT+register pair
// fixes its register in the same BLE, and a pair's two cells bound to two
// regions keep to where the rectangles meet.
#ifndef QPLACE_PLACEMENT_RULES_H
#define QPLACE_PLACEMENT_RULES_H

#include <string>
#include <vector>

#include "qplace/constraints.h"
#include "qplace/fabric.h"

namespace qplace {

// A rectangle of clusters, rows r0..r1 and columns c0..c1 of the grid
// (from 0, both ends included).
struct ClusterRect {
  int r0 = 0, c0 = 0, r1 = -1, c1 = -1;
  bool holds(int cluster, int cols) const {
    const int r = cluster / cols, c = cluster % cols;
    return r >= r0 && r <= r1 && c >= c0 && c <= c1;
  }
  int clusters() const { return (r1 - r0 + 1) * (c1 - c0 + 1); }
};

class PlacementRules {
public:
  // Per unit (empty when no unit has a rule): its fixed place, a BLE place
  // (cluster * kBles + BLE) or an I/O site, -1 for none; its rectangle,
  // an index into `regions`, -1 for none.
  std::vector<int> fixedAt;
  std::vector<int> regionOf;
  std::vector<ClusterRect> regions;
  int cols = 1;  // of the grid

  bool any() const { return !fixedAt.empty(); }
  bool fixed(int u) const { return any() && fixedAt[u] >= 0; }
  int region(int u) const { return any() ? regionOf[u] : -1; }
  // Whether logic unit u may lie in `cluster`, or on the BLE place `pos`:
  // a fixed unit only on its own, a region-bound one only inside.
  bool allowedIn(int u, int cluster) const {
    if (!any()) return true;
    if (fixedAt[u] >= 0) return fixedAt[u] / kBles == cluster;
    return regionOf[u] < 0 || regions[regionOf[u]].holds(cluster, cols);
  }
  bool allowedAt(int u, int pos) const {
    if (!any()) return true;
    if (fixedAt[u] >= 0) return fixedAt[u] == pos;
    return regionOf[u] < 0 || regions[regionOf[u]].holds(pos / kBles, cols);
  }
  // Moves the region-bound units of a continuous placement into their
  // rectangles (within 0.45 of the border clusters' centres, so that each
  // one's nearest cluster lies inside). O(units).
  void clamp(std::vector<double>& x, std::vector<double>& y) const;

  // What the check after placement verifies, component by component.
  struct Expect {
    const standin::Comp* comp = nullptr;
    int item = -1;                          // the constraint
    const standin::Site* site = nullptr;    // set_io, fix: the site, else null
    int slot = -1;                          // fix: the slot (standin::Slot)
  };
  std::vector<Expect> expects;

  // Counts for the reports: port bits and cells constrained by the file,
  // locations kept, kept locations given up.
  int setIo = 0, fixedCells = 0, regionCells = 0, kept = 0, keptDropped = 0;
};

// Resolves `c` against the packed design `m` on `f`. False, with `error`
// ("<file>:<line>: <reason>"), for: an unknown port bit or cell name (a
// name without `*` or `?`; a pattern that matches nothing is a warning), an
// unknown site or one of the wrong kind (a port bit to a logic site, a
// cell to an I/O site, a LUT to a register slot), a cell or port bit
// constrained twice, two port bits on one I/O site, two cells on one slot
// or more cells than a site has slots, registers of two control sets in
// one register group, a region outside the device or too small for what it
// must hold once the fixed cells inside have their places (LUT places, and
// register groups counted per control set), a pair whose two cells are
// fixed apart or bound to rectangles that do not meet, a cell fixed
// outside its region. `warnings` gets a line for each pattern that matches
// no cell and one for the set_io lines of port bits that take no I/O
// site (their sites are still checked). Kept locations (Constraint::kept) yield to the file's constraints:
// one of a cell the file fixes, or outside the region the file gives it, is
// not used; one that clashes with another (an edited netlist packs
// differently) is given up with a warning; an unknown or wrong-kind site
// is an error. `c` must outlive `rules` (the check names its lines).
// Linear in the design and the device's I/O sites, plus the patterns
// times the cells and the regions times the units.
bool resolveRules(const Constraints& c, const Model& m, const Fabric& f, PlacementRules& rules,
                  std::string& error, std::vector<std::string>& warnings);

// Puts the fixed units of `rules` on their places in `p` (which must hold
// none of them yet).
void placeFixed(const PlacementRules& rules, Placement& p);

// Checks the placed design against the rules it was placed under, from
// the components' own sites and the sites' slot tables: each constrained
// component on its site (and slot), or inside its rectangle. Returns the
// number of violations; `faults` gets the first few, described.
int checkRules(const PlacementRules& rules, const Constraints& c, std::vector<std::string>& faults);

}  // namespace qplace

#endif
