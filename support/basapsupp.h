// The placement support object: a handle on one placed design through which
// a placer queries, checks and reports that design.
#ifndef BASAPLACE_SUPPORT_BASAPSUPP_H
#define BASAPLACE_SUPPORT_BASAPSUPP_H

#include <vector>

#include <basaplace_export.h>

class UP_COMP;
class UP_DESIGN;
class UP_PORT;
class UP_PRIM;
class UP_SIGNAL;
class UP_SIGPIN;
class UP_SITE;

// Binds to a design without owning it: the object never creates, changes or
// frees the design, and the design must outlive every call. Nothing is
// cached, so every answer reflects the design as it is at the call. Copies
// refer to the same design. The members are defined by concern in the
// support/basapsupp*.cpp files.
class BASAPLACE_EXPORT AP_SUPP {
public:
  explicit AP_SUPP(UP_DESIGN* design);
  AP_SUPP(const AP_SUPP& other);
  AP_SUPP& operator=(const AP_SUPP& other);
  // Releases nothing.
  virtual ~AP_SUPP();

  // The design given at construction.
  UP_DESIGN* getDesign() const { return design; }

  // ---- signal queries (basapsupp_signals.cpp)

  // Classifies a signal as a clock. Returns 1 when `clocks` (may be null)
  // holds `sig`; else 1, 2 or 3 by the first of the design's three clock
  // tests that recognises it, tried in that order; else 0. Linear in the
  // length of `clocks`.
  int sigIsClk(UP_SIGNAL* sig, std::vector<UP_SIGNAL*>* clocks);

  // Counts the loads of a signal (its pins after the drivers) that are on
  // PFU/PFF components, by the logical pin that the pin's port plays:
  // logical pin 17 or 15, then 14, then 16; a port matching several counts
  // in the first class only. When `counts` is not null, writes the three
  // counts to counts[0..2] and 0 to counts[3]. Returns true when any count
  // is non-zero. `mode` has no effect. Linear in the number of pins.
  bool sigGlobalLoadNum(UP_SIGNAL* sig, int* counts, int mode);

  // The bounding box of a signal's pins on placed components, by the pin
  // rows and columns of the host's current design (getUpDesign), so it needs
  // no object. Pins of unplaced components are skipped. Sets the four
  // extremes and returns (rowMax - rowMin) + (colMax - colMin); when no pin
  // is placed the references are left as given and the result is computed
  // from them. Linear in the number of pins.
  static int calcBBox(UP_SIGNAL* sig, int& rowMax, int& rowMin, int& colMax, int& colMin);

  // ---- reports (basapsupp_dump*.cpp)
  //
  // The reports write text to the host's message manager (dumpBBox also to a
  // file of its own) and change nothing. Each first prints `title` verbatim
  // when it is not null, with no newline added. Broken links between the
  // database's objects met on the way are reported as fatal internal errors
  // (detail text sent when ZOR_SHOW_INTERNAL_ERROR is set), and the report
  // goes on. Unless noted, each is linear in what it lists.

  // Element dumps (basapsupp_dumpelem.cpp). A component: its header line
  // ("Comp" with `brief` non-zero, alone; "Component" with 0, followed by its
  // cell, programming-string tokens, connected pins and named cell
  // primitives). Checks the instance link (always) and each pin's numbering
  // and direction; after a failed instance link the cell primitive lines are
  // left out. A null component prints the title alone.
  void dumpComp(UP_COMP* comp, const char* title, int brief);
  // A signal: its header line and, with `brief` 0, its net link check and
  // one line per pin with its direction check. A null signal prints the
  // title alone.
  void dumpSignal(UP_SIGNAL* sig, const char* title, int brief);
  // Every component or signal in number order, each with title "".
  void dumpAllComps(const char* title, int brief);
  void dumpAllSignals(const char* title, int brief);
  // One line: the port's name and direction letter.
  void dumpPort(UP_PORT* port, const char* title);
  // One line: the pin's component, name and pin id, after checking that the
  // component has the pin's signal at that pin.
  void dumpSigpin(UP_SIGPIN* sigpin, const char* title);

  // Design summary (basapsupp_dumpdesign.cpp): the part, the usage report,
  // the totals, every component and signal in full, the top module's ports,
  // the constraints and the component characteristics. A part without a
  // package or speed grade text shows "NA". `mode` has no effect.
  void dumpDesign(const char* title, int mode);
  // The host's usage report alone.
  void dumpUsage(const char* title);

  // Site dumps (basapsupp_dumpsite.cpp). A site: its header and, with
  // `brief` 0 or less and a geometry record, its block position and per-pin
  // X and Y values; a record without its X or Y array counts as none.
  void dumpSite(UP_SITE* site, const char* title, int brief);
  // Every site, then the sites whose type is not "SLICE", grouped by type
  // name (byte order) and site number. O(n log n) in the special sites.
  void dumpAllSites(const char* title, int brief);
  // The components of an occupied site, slot by slot; nothing for an empty
  // site. `prefix` (null for none) goes before "site". `mode` has no effect.
  void dumpSiteComp(UP_SITE* site, const char* prefix, int mode);
  void dumpAllSiteComps(const char* title, int mode);

  // Primitive dumps (basapsupp_dumpprim.cpp). A primitive and its ports,
  // checking each port's index.
  void dumpPrim(UP_PRIM* prim, const char* title);
  // Every design primitive, then every primitive definition of the view with
  // its ports paired to the pins of the site type of its name, checking that
  // the counts agree. A definition without such a site type is left out;
  // after a count mismatch, a line past the end of the ports or of the site
  // pins shows "NA" on that side. Quadratic in primitives and definitions.
  void dumpAllPrims(const char* title);

  // Placement and geometry reports (basapsupp_dumpplace.cpp). One LOCATE
  // line per component selected by `mask` (0 for all; bits 0x01, 0x02,
  // 0x04, 0x08 select type codes 1-2, 3-4, 0/5-6, all but 1-2) and per
  // unplaced component; bit 0x10 makes the R<row>C<col> comment the default
  // of the "dumpLocateRCZ" setting. Flushes at the end.
  void dumpLocate(const char* title, int mask);
  // Bounding boxes of the non-clock signals that have a pin on a placed
  // component (others are skipped), by the pin rows and columns of this
  // object's design: one line each to `fileName` (replaced; null or
  // unopenable writes no file) and statistics by fanout to the message
  // manager, with averages in single precision.
  void dumpBBox(const char* title, const char* fileName);
  // The device grid's extent and offsets, and each site's grid point and
  // location.
  void dumpGrid(const char* title);
  // The tile grid's row and column coordinates.
  void dumpTileGrid(const char* title);

private:
  UP_DESIGN* design;  // borrowed
};

#endif
