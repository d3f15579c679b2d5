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
enum RegPin { REG_D = 0, REG_CK = 1, REG_CE = 2, REG_SR = 3, REG_Q = 4 };
// An I/O component drives the design through O (an input port) and is
// driven through I (an output port).
enum IoPin { IO_I = 0, IO_O = 1 };

// Component type codes (UP_INFO::getcomptype) of the three kinds.
enum CompType { TYPE_LUT = 5, TYPE_REG = 3, TYPE_IO = 1 };

// The primitives of generated and read designs:
//   "LUT4": A, B, C, D in, Z out; logical pins 0..3 = A..D, 7 = D.
//   "FF":   D, CK, CE, SR in, Q out; logical pin 17 = CK, 14 = CE, 16 = SR.
//   "IO":   I in, O out.
// LUTs and registers are PFU/PFF components, I/O components are not.
struct Prims {
  standin::Prim* lut = nullptr;
  standin::Prim* reg = nullptr;
  standin::Prim* io = nullptr;
};

// Adds the three primitives to a design (once per design).
Prims addPrims(standin::Design& d);

// A new component of a kind, unplaced and unconnected, with its type code
// and PFU/PFF flag set.
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

// The smallest square-ish device whose logic holds `luts` LUTs and `regs`
// registers at about `fill` of its slots, with border room for `ios` I/O
// components.
DeviceParams fitDevice(int luts, int regs, int ios, double fill = 0.7);

// ---------------------------------------------------------------- design

// Packing errors to plant in a generated design, each a count.
struct Faults {
  int replicatedPins = 0;   // a signal reaching the same component pin twice
  int slotPairs = 0;        // R0 and R1 of a site with different control records
  int plcRule = 0;          // a cluster whose registers use two records
  int halfPlcRule = 0;      // a cluster half whose registers use two records
  int sharedSites = 0;      // a component whose site is held by another (message 1003)
  int siteMismatches = 0;   // a site whose occupant points at another site
  int emptySites = 0;       // a component whose site has no occupant (ends drcAllSite)
};

struct Params {
  int components = 10000;  // LUTs, registers and I/O together
  std::uint64_t seed = 1;
  double regShare = 0.4;   // of the logic components
  int ctrlGroupMin = 4;    // registers per control record
  int ctrlGroupMax = 64;
  int clocks = 2;          // clock signals
  double fill = 0.7;       // share of logic slots used
  bool place = true;       // a legal placement; else every component unplaced
  DeviceParams device;     // plcRows/plcCols 0: sized by fitDevice
  Faults faults;
};

struct Generated {
  Prims prims;
  Device device;
  std::vector<standin::Comp*> luts;
  std::vector<standin::Comp*> regs;
  std::vector<standin::Comp*> ios;
  std::vector<standin::Signal*> clocks;
};

// Generates a design into `d` (which should be empty): primitives, device,
// components with their register control records, the netlist and, when
// asked, a legal placement (the register rules hold in every site and
// cluster), then plants the faults. Nets are mostly of 2 to 4 pins between
// nearby components, with some of fanout 100 to 10,000 and the clock nets.
// Linear in the number of components; 1,000,000 take a few seconds.
Generated generate(standin::Design& d, const Params& params);

// Routes a signal whose components are placed: gives each of its pins a pin
// node and builds a tree of routing arcs from the driver's pin node to every
// load's, over wire nodes no other signal uses, then records it with
// Design::route. Returns false, changing nothing, when the device has no
// routing graph or no free route exists. Cost: a search over the routing
// graph within the signal's bounding box, widened as needed.
bool routeSignal(standin::Design& d, const Device& device, standin::Signal* sig);

}  // namespace designgen

#endif
