// The placement support object: a handle on one placed design through which
// a placer queries, checks and reports that design.
#ifndef BASAPLACE_SUPPORT_BASAPSUPP_H
#define BASAPLACE_SUPPORT_BASAPSUPP_H

#include <vector>

#include <basaplace_export.h>

class PhyArc_ID;
class PhyNode;
class PhyPathArc;
class UP_COMP;
class UP_DESIGN;
class UP_PATH;
class UP_PLCSITE;
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

  // ---- packing rules: register compatibility (basapsupp_regcompat.cpp)
  //
  // A logic cluster (UP_PLCSITE) is four sites at positions 0 to 3. Two
  // components are register compatible when they use the same register
  // control record (UP_COMP::getregctrl). Null entries of a component list
  // are passed over wherever a list is scanned. The cluster forms and
  // calcNotSharingSigs use library-wide scratch storage that keeps its
  // capacity between calls (so repeated calls allocate only when a cluster
  // is larger than any seen before) and is emptied at the start of each call;
  // each of them is therefore for one thread at a time.

  // The pair rule: true when either component is null, when either has no
  // record or a record of count 0, or when both use the same record. A
  // negative count does not exempt. Constant time.
  static bool regCompatible(UP_COMP* a, UP_COMP* b);

  // The list rule: every component whose record has a positive count uses
  // one and the same record; components of count 0 or less are ignored. The
  // scan ends with true at the first component with no record, so a
  // conflict after it is not seen, while one before it is. True for an empty
  // list. Linear in the list.
  static bool regCompatible(std::vector<UP_COMP*>& comps);

  // The list rule over every component of a cluster (findCompArrInPlc). True
  // for a null cluster. Linear in the cluster's components.
  static bool regCompatible(UP_PLCSITE* plc);

  // The half-cluster rule: the components on positions 0 and 1 obey the list
  // rule among themselves, and so do those on positions 2 and 3 (a
  // component is put in a half by the position of its own site); the two
  // halves may use different records. A component with no record ends the
  // scan of its half only. True for a null cluster. Linear in the cluster's
  // components.
  static bool regCompatibleUA(UP_PLCSITE* plc);

  // Empties `comps` and fills it with the components on the basic elements
  // of the cluster's sites (UP_SITE::getnumaccbels), site by site in
  // position order. A null cluster leaves `comps` empty.
  static void findCompArrInPlc(UP_PLCSITE* plc, std::vector<UP_COMP*>& comps);

  // The cluster as it would be with `added` moved in and `removed` moved
  // out: fills `comps` as above, appends `added` when it is not null (even
  // when it is already there), then sets every entry equal to `removed`, when
  // that is not null, to null in place, so the list keeps its length and the
  // list form of regCompatible can test it directly. A null cluster leaves
  // `comps` empty, `added` included: there is no cluster to move into.
  static void findCompArrInPlc(UP_PLCSITE* plc, std::vector<UP_COMP*>& comps, UP_COMP* added,
                               UP_COMP* removed);

  // The number of distinct signals that the listed components use on one
  // class of pins: 0 every connected pin; 1 the pins whose index lies
  // between the component's logical pins 0 and 7, both included (none when
  // logical pin 0 comes after 7); 2 the input pins (bidirectional ones
  // included); any other class, no pin. Each signal counts once however
  // many pins and components reach it. n log n in the number of pins read.
  static int calcNotSharingSigs(std::vector<UP_COMP*>& comps, int pinClass);

  // ---- packing rules: site checks (basapsupp_drc.cpp)
  //
  // A site's label, in messages, is the name of the object linked to its
  // device site when there is one, else the device site's name. Texts are
  // printed through the host's message manager; catalogue messages are
  // posted to module "basaplace". These checks share library-wide scratch
  // lists (no allocation per call once they have grown) and are for one
  // thread at a time.

  // The replicated pins of a signal: pins on the same component pin. Sorts
  // the signal's pins once (by component, then pin id) and compares
  // neighbours; a pin present m times counts m - 1 times. With `report`
  // non-zero, prints "Signal<id> has replicated pin <comp>:<port>(<pin>)"
  // once per count. Null pins, and pins on no component, are passed over.
  // n log n in the signal's pins.
  int drcSig(UP_SIGNAL* sig, int report);

  // The sum of drcSig over the component's connected pins: a signal on
  // several of its pins is examined once per such pin, and each time all of
  // its replicated pins count, not only those on this component.
  int drcComp(UP_COMP* comp, int report);

  // The packing rules of one site. Returns 0 when the design switches the
  // site checks off (UP_INFO::nositedrc or nositedrc2) or the site is not
  // PFU/PFF. `checks`: bit 0 the slot-pair check, bit 1 the cluster register
  // check; 0 means both. Returns errA + errB:
  //  - errA = 1 when the site has more than one unique basic element and
  //    the components of its slots R0 and R1 break the pair rule of
  //    regCompatible; with `report` it is reported as a fatal internal
  //    error (code 19) and the check goes on;
  //  - errB = 1 when this is the first site of its cluster and the cluster
  //    breaks the whole-cluster rule (UP_INFO::plcregrule) or else the
  //    half-cluster rule (UP_INFO::halfplcregrule). With `report`, message
  //    "1001" is posted with the site's label less its last character (any
  //    label length; empty for an empty label), each component of the
  //    cluster is printed, and UT_EXCEPTION_EXIT (code 1) is thrown.
  // The design option "Vorn_Disable_Half_PLC" is read once per process, by
  // the first call that reaches the cluster check, and kept for every later
  // call on any design; when it is set the cluster check is skipped and errA
  // is returned, so a slot-pair error is never reported as success. A
  // PFU/PFF site with no cluster gets the slot-pair check only.
  int drcSite(UP_SITE* site, int checks, int report);

  // The packing rules of the whole design:
  //  1. Components against their sites. A placed component whose site has
  //     no occupant: message "1002" (component, site name), then
  //     UT_EXCEPTION_EXIT (code 1). A placed component whose site is held by
  //     another component: message "1003" (component, site label,
  //     occupant), no error counted, unless the site lists the component
  //     among the components on its basic elements (UP_SITE::getnumaccbels).
  //     A logic site legitimately holds up to four components (LUTs and
  //     registers in its slots), all pointing at the site while only one is
  //     its occupant, so those are not reported.
  //  2. Sites against their occupants. An occupant whose site is another
  //     site is printed as "INTERR: ..." and, like an occupant with no site,
  //     reported to the design layer's internal error service; the scan goes
  //     on when that returns.
  //  3. drcSite on every site of the site table, in order, with `checks` and
  //     with `report` set when `level` is 2 or more.
  // When `level` is non-zero and errors were counted, their total is
  // reported as a fatal internal error (code 19). Returns the total. Linear
  // in the components and sites.
  int drcAllSite(int checks, int level);

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
