// The stand-in's design database operations: accessors of the records of
// standin_design.h, each host method reading the fields of the stand-in
// record that `this` is.
#include <cstddef>
#include <type_traits>

#include "host/standin/standin_design.h"

using standin::Comp;
using standin::Design;
using standin::Plc;
using standin::Port;
using standin::Prim;
using standin::Signal;
using standin::SigPin;
using standin::Site;

namespace {

Design& self(UP_DESIGN* p) { return *static_cast<Design*>(p); }
Comp& self(UP_COMP* p) { return *static_cast<Comp*>(p); }
Signal& self(UP_SIGNAL* p) { return *static_cast<Signal*>(p); }
SigPin& self(UP_SIGPIN* p) { return *static_cast<SigPin*>(p); }
Site& self(UP_SITE* p) { return *static_cast<Site*>(p); }
Plc& self(UP_PLCSITE* p) { return *static_cast<Plc*>(p); }
Prim& self(UP_PRIM* p) { return *static_cast<Prim*>(p); }
Port& self(UP_PORT* p) { return *static_cast<Port*>(p); }

// The address of element `index` of a table, or null out of range.
template <class Table>
auto* elementAt(Table& table, int index) {
  using Element = typename Table::value_type;
  return index >= 0 && static_cast<std::size_t>(index) < table.size()
             ? &table[static_cast<std::size_t>(index)]
             : static_cast<Element*>(nullptr);
}

// The pointer stored at `index` of a table of pointers, or null out of range.
template <class Table>
auto entryAt(const Table& table, int index) -> std::decay_t<decltype(table[0])> {
  return index >= 0 && static_cast<std::size_t>(index) < table.size()
             ? table[static_cast<std::size_t>(index)]
             : nullptr;
}

}  // namespace

int UP_Access::m_PhyInstance_idx = 3;
int UP_Access::m_PhyNet_idx = 5;

// ------------------------------------------------------------------ design
int UP_DESIGN::getnumcomps() { return static_cast<int>(self(this).comps.size()); }
UP_COMP* UP_DESIGN::getcomp(int index) { return elementAt(self(this).comps, index); }
int UP_DESIGN::getnumsignals() { return static_cast<int>(self(this).signals.size()); }
UP_SIGNAL* UP_DESIGN::getsignal(int index) { return elementAt(self(this).signals, index); }
UP_SIGNAL* UP_DESIGN::getsignalbyname(const char* name) {
  if (name == nullptr) return nullptr;
  for (Signal& sig : self(this).signals)
    if (sig.name == name) return &sig;
  return nullptr;
}
int UP_DESIGN::getnumprims() { return static_cast<int>(self(this).prims.size()); }
UP_PRIM* UP_DESIGN::getprim(int index) { return elementAt(self(this).prims, index); }
int UP_DESIGN::getnumsites() { return static_cast<int>(self(this).sites.size()); }
UP_SITE* UP_DESIGN::getsite(int index) { return elementAt(self(this).sites, index); }
bool UP_DESIGN::isLevelLE() { return self(this).levelLE; }
const char* UP_DESIGN::getname() { return self(this).name.c_str(); }
UP_INFO* UP_DESIGN::getinfo() { return &self(this).info; }
NP_DEVICE* UP_DESIGN::getdevice() { return &self(this).device; }
PhyDevice* UP_DESIGN::getphydevice() { return &self(this).phy; }
udb::PhyView* UP_DESIGN::getphyview() { return &self(this).view; }

// ------------------------------------------------------------------ components
int UP_COMP::getid() { return self(this).id; }
const char* UP_COMP::getname(bool /*full*/) { return self(this).name.c_str(); }
const char* UP_COMP::getsname() { return self(this).sname.orElse(self(this).name).c_str(); }
int UP_COMP::getnumpins() { return static_cast<int>(self(this).sigpins.size()); }
UP_SIGPIN* UP_COMP::getsigpin(int pin) { return entryAt(self(this).sigpins, pin); }
UP_SIGNAL* UP_COMP::getsignal(int pin) { return entryAt(self(this).signals, pin); }
UP_PRIM* UP_COMP::getprim() { return self(this).prim; }
CM_CELLCONTEXT* UP_COMP::getlogic() { return self(this).logic; }
UP_SITE* UP_COMP::getsite() { return self(this).site; }
udb::PhyInstance* UP_COMP::getinstance() { return self(this).instance; }
int UP_COMP::getlogicpinid(UP_COMPINFO::PIN_ENUM pin) {
  const Prim* prim = self(this).prim;
  if (prim == nullptr || pin < 0 || pin >= standin::kNumLogicPins) return -1;
  return prim->logicPins[static_cast<std::size_t>(pin)];
}
UP_REGCTRL* UP_COMP::getregctrl() { return self(this).regctrl; }

bool basup_cmpcomp(UP_COMP* a, UP_COMP* b) { return self(a).id < self(b).id; }

// ------------------------------------------------------------------ signals and pins
int UP_SIGNAL::getid() { return self(this).id; }
const char* UP_SIGNAL::getname() { return self(this).name.c_str(); }
int UP_SIGNAL::getnumpins() { return static_cast<int>(self(this).pins.size()); }
UP_SIGPIN* UP_SIGNAL::getsigpin(int pin) { return entryAt(self(this).pins, pin); }
UP_COMP* UP_SIGNAL::getcomp(int pin) {
  SigPin* sp = entryAt(self(this).pins, pin);
  return sp != nullptr ? sp->comp : nullptr;
}
short UP_SIGNAL::getnumdrivers() { return self(this).numDrivers; }
udb::UnfoldedNet* UP_SIGNAL::getnet() { return self(this).net; }
UP_PATH* UP_SIGNAL::getpath() { return self(this).path; }
int UP_SIGNAL::isrouted() { return self(this).routed; }

UP_COMP* UP_SIGPIN::getcomp() { return self(this).comp; }
int UP_SIGPIN::getpinid() { return self(this).pinid; }
const char* UP_SIGPIN::getname() { return self(this).name(); }
UP_SIGNAL* UP_SIGPIN::getsignal() { return self(this).signal; }
UP_PORT* UP_SIGPIN::getport() { return self(this).port; }
CM_PINTYPE UP_SIGPIN::getpintype() { return self(this).type; }
PhyNode* UP_SIGPIN::getnode() { return self(this).node; }

// ------------------------------------------------------------------ sites
int UP_SITE::getid() { return self(this).id; }
const char* UP_SITE::getname() { return self(this).name.c_str(); }
NP_DSITE* UP_SITE::getdsite() { return self(this).dsite; }
PhySite* UP_SITE::getphysite() { return self(this).physite; }
UP_COMP* UP_SITE::getcomp() { return self(this).comp; }
UP_COMP** UP_SITE::getslotcomps() {
  Site& site = self(this);
  return site.hasSlots ? site.slots : nullptr;
}
UP_SITEGEOM* UP_SITE::getgeom() { return self(this).geom; }
int UP_SITE::getnumuniqbels() { return self(this).uniqBels; }
int UP_SITE::getnumaccbels(std::vector<UP_COMP*>& comps) {
  const Site& site = self(this);
  comps.insert(comps.end(), site.bels.begin(), site.bels.end());
  return static_cast<int>(site.bels.size());
}
UP_PLCSITE* UP_SITE::getplcsite() { return self(this).plc; }
unsigned short UP_SITE::getplcpos() { return self(this).plcpos; }

UP_SITE* UP_PLCSITE::getsite(int pos) { return entryAt(self(this).sites, pos); }
const std::vector<UP_SITE*>& UP_PLCSITE::getsites() { return self(this).sites; }

// ------------------------------------------------------------------ primitives
const char* UP_PRIM::getname() { return self(this).name.c_str(); }
int UP_PRIM::getnumports() { return static_cast<int>(self(this).ports.size()); }
UP_PORT* UP_PRIM::getport(int index) { return elementAt(self(this).ports, index); }
const char* UP_PRIM::getportname(int index) {
  Port* port = elementAt(self(this).ports, index);
  return port != nullptr ? port->name.c_str() : nullptr;
}
udb::PhyPrimitive* UP_PRIM::getphyprim() { return self(this).def; }

int UP_PORT::getid() { return self(this).id; }
const char* UP_PORT::getname() { return self(this).name.c_str(); }
udb::Direction UP_PORT::getdir() { return self(this).dir; }
