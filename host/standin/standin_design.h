// The stand-in host's design database and its builder.
//
// A standin::Design is a UP_DESIGN that owns everything of one design:
// components, signals, signal pins, sites and their logic clusters,
// primitives and ports, register control records, the architecture
// information, the device (standin_device.h), its routing graph and grids
// (standin_graph.h) and the database view (standin_udb.h). The library sees
// it only through the host declarations; tests and examples build it here:
//
//   standin::Design d("top");                      // now getUpDesign()
//   standin::SiteType* slice = d.addSiteType("SLICE", {{"A", udb::DIR_INPUT}});
//   standin::Prim* lut = d.addPrim("LUT", {{"A", udb::DIR_INPUT}, {"Z", udb::DIR_OUTPUT}});
//   standin::Comp* u0 = d.addComp("u0", lut);
//   standin::Comp* u1 = d.addComp("u1", lut);
//   standin::Signal* n = d.addSignal("n");
//   d.addDriver(n, u0, 1);
//   d.addLoad(n, u1, 0);
//   d.place(u0, d.addSite("R1C1", slice, 1, 1));
//
// The builder keeps the cross links consistent: a pin knows its component,
// signal and port, and its component knows it; a site knows its occupant,
// basic elements, slots and cluster, and a placed component its site; an
// instance's and a net's application data is its component and signal. Every
// record is plain data with public fields, so a test breaks one link on
// purpose by assigning the field (comp->instance = nullptr, site->comp =
// other, port->id = 7, ...). The host operations are accessors of these
// fields, with the meanings given at each field.
//
// Builder calls take objects of this design; a pin index out of range throws
// std::out_of_range. Adding is amortised constant time, but for addDriver,
// which is linear in the signal's loads.
#ifndef BASAPLACE_STANDIN_DESIGN_H
#define BASAPLACE_STANDIN_DESIGN_H

#include <array>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host/updesign.h"
#include "host/standin/standin_cell.h"
#include "host/standin/standin_device.h"
#include "host/standin/standin_graph.h"
#include "host/standin/standin_pool.h"
#include "host/standin/standin_udb.h"

namespace standin {

class Design;
struct Comp;
struct Plc;
struct Prim;
struct Signal;
struct Site;

// A port as the builder is given it.
struct PortDecl {
  std::string name;
  udb::Direction dir;
};

// A port of a design primitive.
struct Port : UP_PORT {
  int id = 0;  // its index in the primitive
  std::string name;
  udb::Direction dir = udb::DIR_INPUT;
};

constexpr int kNumLogicPins = UP_COMPINFO::LAST_PIN + 1;

// A design primitive. Its components answer getlogicpinid(e) with
// logicPins[e] (-1, no pin, by default and for e out of range).
struct Prim : UP_PRIM {
  int id = 0;
  std::string name;
  std::deque<Port> ports;
  PrimDef* def = nullptr;  // getphyprim
  Cell* cell = nullptr;    // the cell its new components get
  std::array<int, kNumLogicPins> logicPins;
};

// A pin of a signal on a component.
// There are several pins a component: the record is kept small (40
// bytes); its name is its port's ("" without a port).
struct SigPin : UP_SIGPIN {
  Comp* comp = nullptr;
  int pinid = 0;
  CM_PINTYPE type{};  // pinTypeOf the port's direction
  Signal* signal = nullptr;
  Port* port = nullptr;
  Node* node = nullptr;

  const char* name() const { return port != nullptr ? port->name.c_str() : ""; }
};

// A short name that is the component's name until one is given
// (`comp->sname = "u"`): a pointer, as few components get one of their own.
class ShortName {
public:
  ShortName() = default;
  ShortName(const ShortName& o) : text_(o.text_ ? std::make_unique<std::string>(*o.text_) : nullptr) {}
  ShortName& operator=(const ShortName& o) {
    if (this != &o) text_ = o.text_ ? std::make_unique<std::string>(*o.text_) : nullptr;
    return *this;
  }
  ShortName& operator=(std::string text) {
    text_ = std::make_unique<std::string>(std::move(text));
    return *this;
  }
  // The name given, or `name` when none was.
  const std::string& orElse(const std::string& name) const { return text_ ? *text_ : name; }

private:
  std::unique_ptr<std::string> text_;
};

// A component. getname ignores its argument.
struct Comp : UP_COMP {
  int id = 0;
  int type = 0;      // UP_INFO::getcomptype
  bool pfu = true;   // UP_INFO::comp_is_pfu_pff
  std::string name;
  ShortName sname;   // getsname; the name unless given
  Prim* prim = nullptr;
  Cell* logic = nullptr;
  Site* site = nullptr;
  Instance* instance = nullptr;
  UP_REGCTRL* regctrl = nullptr;
  // Per component pin, null when unconnected; one entry a port of the
  // primitive, held by the design's pools.
  Row<SigPin*> sigpins;
  Row<Signal*> signals;
};

// A signal. The clock tests answer from `clocks`: UP_INFO::isclkN is true
// when bit CLKn is set.
struct Signal : UP_SIGNAL {
  static constexpr unsigned CLK1 = 1, CLK2 = 2, CLK3 = 4;

  int id = 0;
  short numDrivers = 0;
  int routed = 0;  // isrouted
  unsigned clocks = 0;
  std::string name;
  std::vector<SigPin*> pins;  // drivers first
  Net* net = nullptr;
  UP_PATH* path = nullptr;
};

// A site's geometry; pinx and piny point at runs of the design's pool
// (geomValues) of the site's pin count each. A caller with values of its
// own may point them at those instead.
struct Geom : UP_SITEGEOM {};

enum Slot { L0 = 0, L1 = 1, R0 = 2, R1 = 3 };

// A site. UP_INFO::getpinrow and getpincol answer `row` and `col` for a pin
// of the site unless the design's Info has a position of its own for that
// (site, pin) (Design::setPinRowCol). getnumaccbels appends `bels`.
struct Site : UP_SITE {
  int id = 0;
  int uniqBels = 1;  // getnumuniqbels
  bool hasSlots = false;    // getslotcomps is null without a slot table
  bool pfu = true;   // UP_INFO::site_is_pfu_pff
  unsigned short plcpos = 0;
  short row = 0;
  short col = 0;
  std::string name;
  DeviceSite* dsite = nullptr;
  PhySiteRec* physite = nullptr;
  Comp* comp = nullptr;     // the occupant: the first component placed
  std::vector<Comp*> bels;  // the components placed here, in placing order
  UP_COMP* slots[4] = {nullptr, nullptr, nullptr, nullptr};
  Geom* geom = nullptr;
  Plc* plc = nullptr;
};

// A logic cluster of four sites, at positions 0 to 3.
struct Plc : UP_PLCSITE {
  std::string name;
  std::vector<UP_SITE*> sites;
};

// A component characteristic: dump(prefix) prints prefix, text and "\n".
struct CompChar : UP_COMPCHAR {
  std::string text;
};

// The architecture information. getoption answers options[name], or its
// default when the name is absent. dumpusage prints `usage`, or when it is
// empty the line "Device usage: <occupied> of <all> sites\n". getpinrow and
// getpincol answer pinRowCol[{site, pin}] (row, column), or the site's row
// and column when the pair is absent: each design answers from its own map.
struct Info : UP_INFO {
  Design* design = nullptr;
  std::map<std::string, int> options;
  std::map<std::pair<const UP_SITE*, unsigned short>, std::pair<short, short>> pinRowCol;
  bool noSiteDrc = false;
  bool noSiteDrc2 = false;
  bool plcRegRule = false;
  bool halfPlcRegRule = false;
  std::deque<CompChar> compChars;
  std::string usage;
};

class Design : public UP_DESIGN {
public:
  // Makes the design current.
  explicit Design(std::string designName = "design");
  // getUpDesign() is null afterwards when this design was current.
  ~Design();
  Design(const Design&) = delete;
  Design& operator=(const Design&) = delete;

  // getUpDesign() gives this design from now on.
  void makeCurrent();

  // Device: a site type with its pins.
  SiteType* addSiteType(const std::string& typeName, const std::vector<PortDecl>& pins);
  // A site, its device site and its device-model site (with the type's pin
  // count), at (row, col): location, grid point and pin rows and columns.
  Site* addSite(const std::string& siteName, SiteType* type, int row, int col);
  // A logic cluster: four sites named name + "A" .. "D" at positions 0 to 3,
  // all at (row, col), added to the site table in that order.
  Plc* addPlc(const std::string& plcName, SiteType* type, int row, int col);
  // Row and column of component pin `pin` on `site`, as this design's
  // architecture information answers them from now on.
  void setPinRowCol(Site* site, unsigned short pin, short row, short col);
  // A geometry record for a site, with zero X and Y values for each of its
  // device-model pins and no quadrant.
  Geom* addGeom(Site* site, unsigned short row, unsigned short col);

  // A primitive with its ports, its database definition and a cell, all of
  // the same name.
  Prim* addPrim(const std::string& primName, const std::vector<PortDecl>& ports);
  // A primitive definition that no design primitive uses.
  PrimDef* addPrimDef(const std::string& defName, const std::vector<PortDecl>& ports);
  Cell* addCell(const std::string& cellName);

  // A component of a primitive, unplaced and unconnected, with its instance
  // and the primitive's cell.
  Comp* addComp(const std::string& compName, Prim* prim);
  // A signal with its net.
  Signal* addSignal(const std::string& sigName);
  // Room for `n` pins of the signal in all, for a caller that knows how
  // many it will connect: the pin list then takes no more than it needs.
  void reservePins(Signal* sig, std::size_t n) { sig->pins.reserve(n); }
  // Connects component pin `pin` to a signal: a new signal pin, put after
  // the signal's drivers (addDriver, which counts it as one more driver) or
  // at the end (addLoad). The component's pin `pin` then refers to the new
  // pin and the signal, even if it had another.
  SigPin* addDriver(Signal* sig, Comp* comp, int pin);
  SigPin* addLoad(Signal* sig, Comp* comp, int pin);

  // Places a component on a site, after unplacing it from any other; it
  // becomes the occupant when the site has none.
  void place(Comp* comp, Site* site);
  // Removes the component from its site; the next component placed there
  // becomes the occupant, if any.
  void unplace(Comp* comp);
  // Puts a component (or null) in a slot, making the slot table if needed.
  // Slots are independent of placing.
  void setSlot(Site* site, Slot slot, Comp* comp);

  UP_REGCTRL* addRegCtrl(int count);
  CompChar* addCompChar(const std::string& text);
  TopPort* addTopPort(const std::string& portName);
  Constraint* addConstraint(const std::string& text);

  // Routing graph of the device.
  Node* addNode(const std::string& nodeName, unsigned char cost = 0);
  int addArc(Node* from, Node* to, bool directional = true);
  // Destroys the routing graph (RoutingGraph::clear) and clears every
  // signal pin's node. Signals keep their paths, whose arcs then name no
  // arc until the graph is made again with the same arcs. For a caller
  // that needs the graph only at times and its memory in between. Linear
  // in the graph and the signal pins.
  void dropRoutingGraph();
  // Gives the signal a path of these arcs, in order (addarc with
  // 0x3fffffff, 0, 0), marks it routed, marks the arcs used and sets
  // PhyNode::ON_ROUTE on their end nodes.
  UP_PATH* route(Signal* sig, const std::vector<int>& arcs);

  std::string name;
  bool levelLE = false;  // isLevelLE
  Info info;
  Device device;
  PhyDev phy;
  View view;

  // The tables, by number.
  std::deque<Comp> comps;
  std::deque<Signal> signals;
  std::deque<Prim> prims;
  std::deque<Site> sites;

  // Everything else the design owns.
  std::deque<SigPin> sigpins;
  std::deque<Plc> plcs;
  std::deque<Cell> cells;
  std::deque<Geom> geoms;
  std::deque<UP_REGCTRL> regctrls;
  std::deque<Instance> instances;
  std::deque<Net> nets;
  std::vector<std::unique_ptr<UP_PATH>> paths;
  // The components' pin rows.
  Pool<SigPin*> sigpinRows;
  Pool<Signal*> signalRows;
  // The geometries' X and Y values, zero unless a caller sets them: in
  // growing blocks, whose pages stay unused until written.
  Pool<int> geomValues{16384, true};

private:
  SigPin* connect(Signal* sig, Comp* comp, int pin, bool driver);
};

// Makes `design` (or none) the one that getUpDesign() gives.
void setCurrentDesign(UP_DESIGN* design);

}  // namespace standin

#endif
