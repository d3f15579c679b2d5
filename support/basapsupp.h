// The placement support object: a handle on one placed design through which
// a placer queries, checks and reports that design.
#ifndef BASAPLACE_SUPPORT_BASAPSUPP_H
#define BASAPLACE_SUPPORT_BASAPSUPP_H

#include <vector>

#include <basaplace_export.h>

class UP_DESIGN;
class UP_SIGNAL;

// Binds to a design without owning it: the object never creates, changes or
// frees the design, and the design must outlive every call. Nothing is
// cached, so every answer reflects the design as it is at the call. Copies
// refer to the same design. The members are defined by concern in the
// support/basapsupp*.cpp files.
class BASAPLACE_EXPORT AP_SUPP {
public:
  AP_SUPP(UP_DESIGN* design);
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

private:
  UP_DESIGN* design;  // borrowed
};

#endif
