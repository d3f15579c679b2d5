// The stand-in design builder: makes the objects of a design and keeps their
// cross links consistent.
#include <algorithm>
#include <stdexcept>
#include <utility>

#include "host/standin/standin_design.h"

namespace standin {

namespace {

UP_DESIGN* currentDesign = nullptr;

}  // namespace

void setCurrentDesign(UP_DESIGN* design) { currentDesign = design; }

Design::Design(std::string designName) : name(std::move(designName)) {
  info.design = this;
  makeCurrent();
}

Design::~Design() {
  if (currentDesign == this) currentDesign = nullptr;
}

void Design::makeCurrent() { currentDesign = this; }

SiteType* Design::addSiteType(const std::string& typeName, const std::vector<PortDecl>& pins) {
  SiteType& type = device.siteTypes.emplace_back();
  type.name = typeName;
  for (const PortDecl& pin : pins) type.pins.push_back(SitePin{pin.name, pinTypeOf(pin.dir)});
  return &type;
}

Site* Design::addSite(const std::string& siteName, SiteType* type, int row, int col) {
  DeviceSite& dsite = device.sites.emplace_back();
  dsite.name = siteName;
  dsite.type = type;
  dsite.loc = UT_POINT{row, col};

  PhySiteRec& physite = phy.sites.emplace_back();
  physite.numPins = static_cast<unsigned short>(type != nullptr ? type->pins.size() : 0);
  physite.gridPt = UT_POINT{row, col};

  Site& site = sites.emplace_back();
  site.id = static_cast<int>(sites.size()) - 1;
  site.name = siteName;
  site.dsite = &dsite;
  site.physite = &physite;
  if (type != nullptr) {
    site.uniqBels = type->uniqBels;
    site.pfu = type->pfu;
  }
  site.row = static_cast<short>(row);
  site.col = static_cast<short>(col);
  return &site;
}

Plc* Design::addPlc(const std::string& plcName, SiteType* type, int row, int col) {
  Plc& plc = plcs.emplace_back();
  plc.name = plcName;
  for (unsigned short pos = 0; pos < 4; ++pos) {
    Site* site = addSite(plcName + static_cast<char>('A' + pos), type, row, col);
    site->plc = &plc;
    site->plcpos = pos;
    plc.sites.push_back(site);
  }
  return &plc;
}

void Design::setPinRowCol(Site* site, unsigned short pin, short row, short col) {
  info.pinRowCol[{site, pin}] = {row, col};
}

Geom* Design::addGeom(Site* site, unsigned short row, unsigned short col) {
  Geom& geom = geoms.emplace_back();
  const std::size_t n = site->physite != nullptr ? site->physite->numPins : 0;
  geom.pinx = geomValues.take(n).data();
  geom.piny = geomValues.take(n).data();
  geom.col = col;
  geom.row = row;
  geom.sub = 0;
  geom.quad = -1;
  site->geom = &geom;
  return &geom;
}

namespace {

void fillDefPorts(PrimDef& def, const std::vector<PortDecl>& ports) {
  for (const PortDecl& decl : ports) {
    PrimDefPort& port = def.ports.emplace_back();
    port.name = decl.name;
    port.dir = decl.dir;
  }
}

}  // namespace

Prim* Design::addPrim(const std::string& primName, const std::vector<PortDecl>& ports) {
  Prim& prim = prims.emplace_back();
  prim.id = static_cast<int>(prims.size()) - 1;
  prim.name = primName;
  for (const PortDecl& decl : ports) {
    Port& port = prim.ports.emplace_back();
    port.id = static_cast<int>(prim.ports.size()) - 1;
    port.name = decl.name;
    port.dir = decl.dir;
  }
  prim.def = addPrimDef(primName, ports);
  prim.cell = addCell(primName);
  prim.logicPins.fill(-1);
  return &prim;
}

PrimDef* Design::addPrimDef(const std::string& defName, const std::vector<PortDecl>& ports) {
  PrimDef& def = view.prims.emplace_back();
  def.name = defName;
  fillDefPorts(def, ports);
  return &def;
}

Cell* Design::addCell(const std::string& cellName) { return &cells.emplace_back(cellName); }

Comp* Design::addComp(const std::string& compName, Prim* prim) {
  Comp& comp = comps.emplace_back();
  comp.id = static_cast<int>(comps.size()) - 1;
  comp.name = compName;
  comp.prim = prim;
  comp.logic = prim != nullptr ? prim->cell : nullptr;
  const std::size_t numPins = prim != nullptr ? prim->ports.size() : 0;
  comp.sigpins = sigpinRows.take(numPins);
  comp.signals = signalRows.take(numPins);

  Instance& instance = instances.emplace_back();
  instance.appData.set(UP_Access::m_PhyInstance_idx, static_cast<UP_COMP*>(&comp));
  comp.instance = &instance;
  return &comp;
}

Signal* Design::addSignal(const std::string& sigName) {
  Signal& sig = signals.emplace_back();
  sig.id = static_cast<int>(signals.size()) - 1;
  sig.name = sigName;
  Net& net = nets.emplace_back();
  net.appData.set(UP_Access::m_PhyNet_idx, static_cast<UP_SIGNAL*>(&sig));
  sig.net = &net;
  return &sig;
}

SigPin* Design::connect(Signal* sig, Comp* comp, int pin, bool driver) {
  if (pin < 0 || static_cast<std::size_t>(pin) >= comp->sigpins.size() || comp->prim == nullptr ||
      static_cast<std::size_t>(pin) >= comp->prim->ports.size())
    throw std::out_of_range("standin::Design: component " + comp->name + " has no pin " +
                            std::to_string(pin));
  Port& port = comp->prim->ports[static_cast<std::size_t>(pin)];
  SigPin& sp = sigpins.emplace_back();
  sp.comp = comp;
  sp.pinid = pin;
  sp.signal = sig;
  sp.port = &port;
  sp.type = pinTypeOf(port.dir);
  if (driver) {
    sig->pins.insert(sig->pins.begin() + sig->numDrivers, &sp);
    ++sig->numDrivers;
  } else {
    sig->pins.push_back(&sp);
  }
  comp->sigpins[static_cast<std::size_t>(pin)] = &sp;
  comp->signals[static_cast<std::size_t>(pin)] = sig;
  return &sp;
}

SigPin* Design::addDriver(Signal* sig, Comp* comp, int pin) { return connect(sig, comp, pin, true); }

SigPin* Design::addLoad(Signal* sig, Comp* comp, int pin) { return connect(sig, comp, pin, false); }

void Design::place(Comp* comp, Site* site) {
  unplace(comp);
  comp->site = site;
  site->bels.push_back(comp);
  if (site->comp == nullptr) site->comp = comp;
}

void Design::unplace(Comp* comp) {
  Site* site = comp->site;
  if (site == nullptr) return;
  site->bels.erase(std::remove(site->bels.begin(), site->bels.end(), comp), site->bels.end());
  if (site->comp == comp) site->comp = site->bels.empty() ? nullptr : site->bels.front();
  comp->site = nullptr;
}

void Design::setSlot(Site* site, Slot slot, Comp* comp) {
  site->hasSlots = true;
  site->slots[slot] = comp;
}

UP_REGCTRL* Design::addRegCtrl(int count) { return &regctrls.emplace_back(UP_REGCTRL{count}); }

CompChar* Design::addCompChar(const std::string& text) {
  CompChar& cc = info.compChars.emplace_back();
  cc.text = text;
  return &cc;
}

TopPort* Design::addTopPort(const std::string& portName) {
  TopPort& port = view.top.ports.emplace_back();
  port.name = portName;
  return &port;
}

Constraint* Design::addConstraint(const std::string& text) {
  Constraint& c = view.constraints.emplace_back();
  c.text = text;
  return &c;
}

Node* Design::addNode(const std::string& nodeName, unsigned char cost) {
  return phy.graph.addNode(nodeName, cost);
}

int Design::addArc(Node* from, Node* to, bool directional) {
  return phy.graph.addArc(from, to, directional);
}

void Design::dropRoutingGraph() {
  phy.graph.clear();
  for (SigPin& sp : sigpins) sp.node = nullptr;
}

UP_PATH* Design::route(Signal* sig, const std::vector<int>& arcs) {
  paths.push_back(std::make_unique<UP_PATH>());
  UP_PATH* path = paths.back().get();
  for (int index : arcs) {
    path->addarc(phy.graph.id(index), 0x3fffffff, 0, 0);
    Arc& arc = phy.graph.arcs.at(static_cast<std::size_t>(index));
    arc.used = true;
    for (Node* end : arc.ends) end->flags |= PhyNode::ON_ROUTE;
  }
  sig->path = path;
  sig->routed = 1;
  return path;
}

}  // namespace standin

UP_DESIGN* getUpDesign() { return standin::currentDesign; }
