// Generator of devices and placed designs on the stand-in host: the one
// source of realistic inputs for the benchmarks and the main job.
//
// A generated device is a grid of logic clusters (UP_PLCSITE) of four logic
// sites each, with I/O sites on its border and, on request, a routing graph
// over the grid. A generated design puts on such a device components of
// three kinds (LUTs, registers, I/O), a netlist with locality, and a legal
// placement; everything is deterministic for a given seed.
//
//   standin::Design d("gen");
//   designgen::Params p;
//   p.components = 100000;
//   designgen::Generated g = designgen::generate(d, p);
//
// The pieces are usable on their own: the main job reads a netlist, makes
// its components with the primitives of addPrims, sizes a device with
// fitDevice and makes it with addDevice, places the design itself and
// routes a few signals with routeSignal.
#ifndef BASAPLACE_STANDIN_DESIGNGEN_H
#define BASAPLACE_STANDIN_DESIGNGEN_H

#include <cstdint>
#include <vector>

#include "host/standin/standin_design.h"

namespace designgen {

// ---------------------------------------------------------------- primitives

// Component pins of the three primitives.
enum LutPin { LUT_A = 0, LUT_B = 1, LUT_C = 2, LUT_D = 3, LUT_Z = 4 };
// A register's pins after Q serve what one set/reset line cannot: SR2 a
// second set/reset (the set of a register with separate set and clear), AL
// and AD an asynchronous load and its data. Generated designs leave them
// unconnected.
enum RegPin { REG_D = 0, REG_CK = 1, REG_CE = 2, REG_SR = 3, REG_Q = 4, REG_SR2 = 5, REG_AL = 6, REG_AD = 7 };
// An I/O component drives the design through O (an input port) and is
// driven through I (an output port).
enum IoPin { IO_I = 0, IO_O = 1 };

// Component type codes (UP_INFO::getcomptype) of the three kinds.
enum CompType { TYPE_LUT = 5, TYPE_REG = 3, TYPE_IO = 1 };

// The primitives of generated and read designs:
//   "LUT4": A, B, C, D in, Z out; logical pins 0..3 = A..D, 7 = D.
//   "FF":   D, CK, CE, SR in, Q out, then SR2, AL, AD in; logical pin
//           17 = CK, 14 = CE, 16 = SR.
//   "IO":   I in, O out.
// LUTs and registers are PFU/PFF components, I/O components are not.
//
// Every LUT shares `lutCtrl`, a register control record of count 0: a LUT
// has no register, and the count 0 exempts it from the register rules, so a
// scan of a cluster's components passes over it (a component without any
// record would end such a scan). I/O components have no record; registers
// get theirs from whoever makes them.
struct Prims {
  standin::Prim* lut = nullptr;
  standin::Prim* reg = nullptr;
  standin::Prim* io = nullptr;
  UP_REGCTRL* lutCtrl = nullptr;
};

// Adds the three primitives to a design (once per design).
Prims addPrims(standin::Design& d);

// A new component of a kind, unplaced and unconnected, with its type code
// and PFU/PFF flag set; a LUT also gets prims.lutCtrl.
standin::Comp* addLut(standin::Design& d, const Prims& prims, const std::string& name);
standin::Comp* addReg(standin::Design& d, const Prims& prims, const std::string& name);
standin::Comp* addIo(standin::Design& d, const Prims& prims, const std::string& name);

// ---------------------------------------------------------------- device

struct DeviceParams {
  int plcRows = 0;  // clusters per column of the grid
  int plcCols = 0;  // clusters per row of the grid
  int ioPerSide = 2;  // I/O sites at each border position
  // Register rule of the device: the whole-cluster rule (UP_INFO::plcregrule)
  // or, when true, the half-cluster rule (UP_INFO::halfplcregrule).
  bool halfPlcRule = false;
  // Builds the routing graph: per cluster `tracks` horizontal and vertical
  // wire nodes with arcs to the neighbouring clusters, and switches between
  // them; pin nodes are made by routeSignal as it needs them.
  bool routing = false;
  int tracks = 8;
  // Long wires, on request (none by default): per cluster `longTracks`
  // horizontal and as many vertical wires that each span `longSpan`
  // clusters (2 or more), see Wires.
  int longTracks = 0;
  int longSpan = 4;
};

// The routing graph of a device, when it has one. Cluster i (row-major)
// owns the nodes firstNode + i * (2 * tracks + switches) onwards, in this
// order: `tracks` horizontal wires (cost code 7, "BY2/4"), `tracks` vertical
// wires (cost code 6, "BY6/12") and `switches` = (tracks + 1) / 2 switch
// nodes (cost code 8, "SWBOX"). Switch k joins the horizontal and the
// vertical wires of tracks 2k and 2k + 1; horizontal wire t joins wire t of
// the clusters left and right, vertical wire t wire t of the clusters above
// and below. Those arcs are not directional. Pin nodes (cost code 3,
// "OUTPIN", and 2, "INPIN") come later, one per component pin that
// routeSignal routes, with directional arcs from an output pin's node to
// every wire of its cluster and from every wire to an input pin's node.
// Memory: about 116 bytes of the stand-in's records per node, arcs included;
// with 8 tracks a fitted device has about 1.8 nodes per component.
//
// Long wires (when longTracks > 0) come after all of that: cluster i owns
// the nodes firstLongNode + i * 2 * longTracks onwards, `longTracks`
// horizontal long wires then as many vertical ones (all of cost code 12,
// "HL/BY1_D2"). Horizontal long wire t of cluster (r, c) runs from it to
// cluster (r, c + longSpan): it joins switch t % switches of both clusters
// and long wire t of (r, c + longSpan), which carries on from its end; the
// vertical ones run likewise to (r + longSpan, c). A long wire whose far end
// lies off the device joins only the switch of its own cluster. These arcs
// (from firstLongArc on, cluster by cluster) are not directional either.
// Nothing else joins a long wire: routeSignal never uses them, and a
// device without them has the very graph it had before they existed.
struct Wires {
  int tracks = 0;  // 0: the device has no routing graph
  int switches = 0;
  int firstNode = 0;  // index of the first wire node in the design's graph
  int firstArc = 0;   // index of the first wire arc
  int longTracks = 0;  // 0: no long wires
  int longSpan = 0;
  int firstLongNode = 0;
  int firstLongArc = 0;
};

// A generated device inside a design.
//
// Cluster (r, c), 0 <= r < plcRows, 0 <= c < plcCols, sits at device row
// r + 1 and column c + 1; its four logic sites (type "SLICE", slots L0, L1,
// R0, R1, two unique basic elements, PFU/PFF) are at positions 0 to 3.
// Positions 0 and 1 form the lower half, 2 and 3 the upper one. I/O sites
// (type "PIO", not PFU/PFF, no slots) lie on rows 0 and plcRows + 1 and
// columns 0 and plcCols + 1, `ioPerSide` at each border position.
struct Device {
  int plcRows = 0;
  int plcCols = 0;
  bool halfPlcRule = false;  // the register rule set in the design's information
  Wires wires;
  standin::SiteType* logicType = nullptr;
  standin::SiteType* ioType = nullptr;
  std::vector<standin::Plc*> plcs;       // row-major: plcs[r * plcCols + c]
  std::vector<standin::Site*> ioSites;   // clockwise from the top-left corner

  standin::Plc* plcAt(int r, int c) const { return plcs[static_cast<std::size_t>(r) * plcCols + c]; }
};

// Adds a device to a design: site types, sites, clusters, the grids and,
// when asked, the routing graph; sets the register rule switch of the
// design's architecture information. Linear in the size of the device.
Device addDevice(standin::Design& d, const DeviceParams& params);

// Makes the routing graph of a device with one again, after
// Design::dropRoutingGraph: the same wire nodes and arcs under the same
// numbers, as addDevice made them (pin nodes that routeSignal added are not
// made again). Nothing for a device without a graph. Throws
// std::logic_error when the design's graph is not empty or the device's
// graph did not start at node and arc 0. Linear in the size of the device.
void remakeRouting(standin::Design& d, const Device& device);

// The smallest square-ish device whose logic holds `luts` LUTs and `regs`
// registers with about `fill` of the slots of the binding kind used, and
// whose border holds `ios` I/O components with at most `fill` of its I/O
// sites used (ioPerSide 2 or more): a full ring would send ports to
// whatever sites are left, far from their logic. The binding
// kind is the one that needs more sites: LUTs at two a site, or registers
// at two a site of which only 85% count, since a cluster's registers share
// one control record and control sets leave register slots empty where
// they end. Filling the binding kind, not all slots together, keeps the
// stated room where the placer is short of it: a design of many more LUTs
// than registers would otherwise get nearly full LUT slots. `fill` is
// taken within [0.05, 0.9]. The device has at least `minClusters` clusters
// (a caller that counts what else binds, such as register groups).
DeviceParams fitDevice(int luts, int regs, int ios, double fill = 0.7, int minClusters = 0);

// The I/O sites a border position of a device of plcRows x plcCols
// clusters needs for `ios` I/O components to use at most `fill` (taken
// within [0.05, 0.9]) of its ring: what fitDevice gives the ring of the
// device it fits. 0 without I/O or without clusters; at most INT_MAX.
int ioPerSideFor(int ios, int plcRows, int plcCols, double fill);

// ---------------------------------------------------------------- design

// Packing errors to plant in a generated design, each a count. Every site
// error is planted in a cluster of its own and every replicated pin on a
// net whose driver is in a cluster of its own, so errors never meet, and
// the rest of the design stays legal. What a correct check finds:
//
//  - replicatedPins: a 2-pin net (one driver, one load) gets a second signal
//    pin of its load's component pin. The signals' replicated-pin count
//    sums to replicatedPins; counted per component pin instead, each fault
//    counts twice (the driver's pin and the load's pin both reach the
//    signal).
//  - slotPairs, plcRule, halfPlcRule: registers of two control records in
//    one cluster that is otherwise full (every slot used). A slot pair has
//    R1 of one site on a record of its own; a half-cluster fault has both
//    registers of the second site of one half on a record of their own; a
//    whole-cluster fault has the upper half (positions 2 and 3) on a record
//    of its own. R0 and R1 of a site share one cluster half, so a slot pair
//    also breaks the register rule of its cluster, under either rule;
//    a half-cluster fault breaks both rules; a whole-cluster fault breaks
//    only the whole-cluster rule and is legal on a half-rule device. So
//    the slot-pair check finds slotPairs errors and the cluster check finds
//    slotPairs + halfPlcRule (+ plcRule on a whole-rule device) failing
//    clusters; siteRuleErrors gives the sum a whole-design check returns.
//    The registers moved to a record of their own form a control group of
//    one to four (its own clock enable net, the cluster's clock), whatever
//    ctrlGroupMin says.
//  - sharedSites: a LUT is taken off its site and its `site` field set to
//    the first site of its cluster, which does not list it among its basic
//    elements and whose occupant is another LUT.
//  - siteMismatches: the occupant of a site gets its `site` field set to
//    the empty fourth site of its cluster, which also names it its
//    occupant; only the first site's occupant then points elsewhere.
//  - emptySites: a LUT is taken off its site and its `site` field set to the
//    empty fourth site of its cluster, which has no occupant. A check that
//    ends the run at such a component sees only the first one.
//
// The components that share a site with others in a legal placement are
// all listed in that site's basic elements; only the first one placed is
// its occupant. A check that takes "occupant is another component" alone
// as a shared site therefore also counts every other component of every
// site holding more than one; the planted ones are those the site does not
// list.
//
// Every fault but replicatedPins needs a placed design; generate throws
// std::invalid_argument when asked for one without placement, or for more
// faults than the design has clusters or components for.
struct Faults {
  int replicatedPins = 0;   // a signal reaching the same component pin twice
  int slotPairs = 0;        // R0 and R1 of a site with different control records
  int plcRule = 0;          // a cluster whose registers use two records
  int halfPlcRule = 0;      // a cluster half whose registers use two records
  int sharedSites = 0;      // a component whose site is held by another (message 1003)
  int siteMismatches = 0;   // a site whose occupant points at another site
  int emptySites = 0;       // a component whose site has no occupant (ends drcAllSite)
};

// Where the faults were planted, one entry per fault, in no particular order.
struct Planted {
  std::vector<standin::Signal*> replicatedPins;  // the signal
  std::vector<standin::Site*> slotPairs;         // the site whose R0 and R1 disagree
  std::vector<standin::Plc*> plcRule;            // the cluster
  std::vector<standin::Plc*> halfPlcRule;        // the cluster
  std::vector<standin::Comp*> sharedSites;       // the component off its site
  std::vector<standin::Site*> siteMismatches;    // the site whose occupant points away
  std::vector<standin::Comp*> emptySites;        // the component whose site is empty
};

// I/O components number about 2 * sqrt(components), at most what the
// border holds; the rest is logic, of which regShare are registers.
struct Params {
  int components = 10000;  // LUTs, registers and I/O together
  std::uint64_t seed = 1;
  double regShare = 0.4;   // of the logic components
  int ctrlGroupMin = 4;    // registers per control record
  int ctrlGroupMax = 64;
  int clocks = 2;          // clock signals
  double fill = 0.7;       // share of logic slots used (when the device is fitted)
  bool place = true;       // a legal placement; else every component unplaced
  DeviceParams device;     // plcRows/plcCols 0: sized by fitDevice
  Faults faults;
  // Threads: with 2 (0, the default, takes the machine's cores), the
  // routing graph is made on a second thread beside the rest. The design
  // is the same for any count.
  int threads = 0;
};

struct Generated {
  Prims prims;
  Device device;
  std::vector<standin::Comp*> luts;
  std::vector<standin::Comp*> regs;
  std::vector<standin::Comp*> ios;
  std::vector<standin::Signal*> clocks;
  Planted planted;
};

// Generates a design into `d` (which should be empty): primitives, device,
// components with their register control records, the netlist and, when
// asked, a legal placement (the register rules hold in every site and
// cluster), then plants the faults. Nets are mostly of 2 to 4 pins between
// nearby components, with some of fanout 100 to 10,000 and the clock nets.
// Linear in the number of components; 1,000,000 take a few seconds.
//
// The netlist is made from the planned placement, so it is the same with
// and without `place`. Registers of one control record share its clock,
// clock enable and (or none) set/reset signals, and each record has a clock
// enable net of its own. Every LUT output drives a net and every register's
// D and clock pins are connected (in designs with LUTs to drive them and
// free inputs to load them); other pins are connected or null, and every
// net has a driver first and at least one load.
// Throws std::invalid_argument for parameters out of range (components < 1,
// fill outside (0, 1], regShare outside [0, 1], ctrlGroupMin < 1 or above
// ctrlGroupMax, negative clocks or fault counts), for a given device too
// small for the design, and for faults it cannot plant (see Faults).
Generated generate(standin::Design& d, const Params& params);

// The count that a whole-design site check returns on a generated design,
// by the errors planted: the slot-pair errors when `checks` is 0 or has
// bit 0 set, plus the clusters that fail the device's register rule when
// it is 0 or has bit 1 set. Only meaningful for a design without
// emptySites faults, at which such a check stops.
int siteRuleErrors(const Generated& g, int checks);

// Routes a signal whose components are placed: gives each of its pins a pin
// node and builds a tree of routing arcs from the driver's pin node to every
// load's, over wire nodes no other signal uses, then records it with
// Design::route. Returns false, changing nothing, when the device has no
// routing graph or no free route exists. Cost: a search over the routing
// graph within the signal's bounding box, widened as needed.
//
// The tree is one breadth-first search from the wires of the driver's
// cluster: each load hangs off the first free wire reached in its cluster,
// so every load lies on a shortest free path from the driver. Every pin
// gets a new pin node, named after its site, slot and port (e.g.
// "R3C7B.L1.Z"); a component pin reached twice shares one node. Also
// false, changing nothing: a null signal, one already routed, one without
// exactly one driver or without a load, and one with a pin on a component
// that is not on a site of this device.
bool routeSignal(standin::Design& d, const Device& device, standin::Signal* sig);

}  // namespace designgen

#endif
