// The placement support object: a handle on one placed design through which
// a placer queries, checks and reports that design.
#ifndef BASAPLACE_SUPPORT_BASAPSUPP_H
#define BASAPLACE_SUPPORT_BASAPSUPP_H

#include <vector>

#include <basaplace_export.h>

class PhyArc_ID;
class PhyNode;
class PhyPathArc;
class UP_DESIGN;
class UP_PATH;
class UP_SIGNAL;
class UP_SIGPIN;

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

  // ---- route lookup (basapsupp_route.cpp)
  //
  // The route that a routed signal takes through the device's routing graph
  // between two of its pins, found by walking backwards from the node of the
  // pin `to` over the arcs of the route. The signal whose route is looked up
  // is library-wide state (getCurSignal): route lookups are for one thread at
  // a time. The search keeps its visited set and work stack between calls,
  // so a lookup in steady state allocates nothing of its own; that storage
  // stays sized for the largest search made so far: 24 to 48 bytes per node
  // visited and 32 per node on the route.

  // The node's name; null for a null node.
  char* ndName(PhyNode* node);

  // Prints one line per node: prefix, name padded to 24, cost code name and
  // cost code; then a tally line of the cost codes met, in a fixed order.
  // Cost codes of 16 or more print "?" as their name and are not tallied. A
  // null prefix prints as an empty one. The nodes must be non-null. Linear
  // in the number of nodes.
  void dumpNodeArr(std::vector<PhyNode*>& nodes, const char* prefix);

  // Whether an arc is on the route being looked up: with a node, when the
  // arc is used and the node carries PhyNode::ON_ROUTE; without one, when
  // the path of the current signal holds the arc (false when there is no
  // current signal). Constant time with a node, else linear in the path.
  bool arcInPath(PhyArc_ID& arc, PhyNode* node);
  // Whether the path (may be null) holds the arc. Linear in the path.
  bool arcInPath(UP_PATH* path, PhyArc_ID& arc);
  // The path's first element that carries the arc, or null (also for a null
  // path). Linear in the path.
  PhyPathArc* GetPathArcInPath(UP_PATH* path, PhyArc_ID& arc);

  // 1 when both pins (may be null) have components, both components are
  // placed, and both pins are on the same non-null signal, which is routed;
  // else 0. The routing graph is not consulted. Constant time.
  int isRouted(UP_SIGPIN* a, UP_SIGPIN* b);

  // Depth-first search backwards from `to` for `from`, over route arcs (see
  // arcInPath) in each node's arc order, never back over the arc a node was
  // reached by (`arcIn` for `to`; the no-arc id excludes nothing), and never
  // backwards over a directional arc. On success returns 1, appends the
  // route's arcs to `path` in order from `from` to `to`, and appends to
  // `nodes` `from` and every node after it up to, not including, `to`. On
  // failure returns 0 and adds nothing. Returns 1 and adds nothing when
  // `from` is `to`; 0 when either is null, or when `path` is null.
  // A node is entered at most once: a route whose arcs form a cycle is
  // searched like any other, and on a route without one the result is that
  // of a plain depth-first search. The work stack is on the heap, so a route
  // of any length is found. Linear in the arcs of the nodes visited, but
  // that an arc whose far node the graph does not show costs a scan of the
  // current signal's path.
  int findRoute(PhyNode* from, PhyNode* to, PhyArc_ID arcIn, UP_PATH* path,
                std::vector<PhyNode*>& nodes);

  // The route of a signal between two of its pins. Returns 0 when a pin or
  // the path is null or a pin has no component. Otherwise makes the signal
  // of `to` the current signal, returns 0 when the pins are not on the same
  // non-null signal, and else searches (findRoute) from the node of `from`
  // to the node of `to`; when found, appends the node of `to` to `nodes`,
  // which then runs from the node of `from` to that of `to`, and returns 1.
  int getRoute(UP_SIGPIN* from, UP_SIGPIN* to, UP_PATH* path, std::vector<PhyNode*>& nodes);
  // As above, collecting the nodes itself and, when `path` is null, the arcs
  // in a path of its own that it discards. When the route is found and
  // `prefix` is not null, prints a header line "-- <prefix><from node> -
  // <to node> --" and the nodes (dumpNodeArr) with `prefix`; a prefix that
  // starts with 'X' prints no header, and the nodes with the rest of it.
  int getRoute(const char* prefix, UP_SIGPIN* from, UP_SIGPIN* to, UP_PATH* path);
  // As above, from the first pin of the signal of `to`. Returns 0 when `to`
  // is null or on no signal.
  int getRoute(const char* prefix, UP_SIGPIN* to, UP_PATH* path);

  // The signal of `to` at the last getRoute that compared the two pins'
  // signals; null before the first. arcInPath without a node reads it, so
  // after its design is gone a getRoute must come before such a call.
  static UP_SIGNAL* getCurSignal();

private:
  UP_DESIGN* design;  // borrowed
};

#endif
