// Host design database: the design being placed, its components, signals,
// signal pins, sites, logic clusters, primitives, ports and paths, and the
// architecture information that classifies them.
//
// Declarations of services that the host program provides; the library is
// compiled against them and the host (or the stand-in host under
// host/standin/) supplies the definitions. The library reads these objects
// and changes none of them, but for adding arcs to a path.
//
// Objects are numbered from 0 within the design (components, signals,
// primitives, sites) and pins from 0 within a component or signal. Every read
// is constant time unless noted; an index out of range is a caller error.
// Handles are reached through pointers only, except the plain records
// UP_REGCTRL and UP_SITEGEOM, which the library reads field by field, and
// UP_PATH, which it may create itself.
#ifndef BASAPLACE_HOST_UPDESIGN_H
#define BASAPLACE_HOST_UPDESIGN_H

#include <vector>

#include "host/cmcell.h"
#include "host/udb.h"

#pragma GCC visibility push(default)

class NP_DEVICE;
class NP_DSITE;
class PhyArc_ID;
class PhyDevice;
class PhyNode;
class PhyPathArc;
class PhySite;

class UP_COMP;
class UP_COMPCHAR;
class UP_INFO;
class UP_PATH;
class UP_PLCSITE;
class UP_PORT;
class UP_PRIM;
class UP_SIGNAL;
class UP_SIGPIN;
class UP_SITE;

// Logical pins of a component, numbered FIRST_PIN to LAST_PIN. What each
// one stands for is the host's; UP_COMP::getlogicpinid maps one to the
// component pin that plays it.
class UP_COMPINFO {
public:
  enum PIN_ENUM : int { FIRST_PIN = 0, LAST_PIN = 17 };
};

// Application-data slots of the database objects that carry design objects:
// an instance carries its UP_COMP, a net its UP_SIGNAL.
class UP_Access {
public:
  static int m_PhyInstance_idx;
  static int m_PhyNet_idx;
};

// The register control record of a component, shared by the components
// whose registers have the same control signals. A `count` of 0 (or, for
// some rules, below 0) exempts its components from the register rules.
struct UP_REGCTRL {
  int count;
};

// The geometry of a site: one X and one Y value per site pin (the site's
// PhySite::getnumpins() entries each, both present whenever the record is),
// and the site's block position. `quad` is negative when the site has no
// quadrant.
struct UP_SITEGEOM {
  int* pinx;
  int* piny;
  unsigned short col;
  unsigned short row;
  unsigned short sub;
  signed char quad;
};

// The design's architecture information: classification of components,
// sites and signals, pin positions, named settings and reports.
class UP_INFO {
public:
  // True for a logic component or site of the programmable-function kind.
  bool comp_is_pfu_pff(UP_COMP* comp);
  bool site_is_pfu_pff(UP_SITE* site);

  // Component characteristics, 0 to getnumcompchars() - 1.
  int getnumcompchars();
  UP_COMPCHAR* getcompchar(int index);

  // Writes the device usage report to the message manager; the library
  // passes 0.
  void dumpusage(int mode);
  // Non-zero when the named setting is in force; `dflt` when it is not set.
  int getoption(const char* name, bool dflt);
  // Type code of a component (codes 0 to 6 are used).
  int getcomptype(UP_COMP* comp);

  // The three clock tests of a signal.
  bool isclk1(UP_SIGNAL* sig);
  bool isclk2(UP_SIGNAL* sig);
  bool isclk3(UP_SIGNAL* sig);

  // Row and column of component pin `pin` of a component on `site`.
  short getpinrow(UP_SITE* site, unsigned short pin);
  short getpincol(UP_SITE* site, unsigned short pin);

  // Either of the first two switches the site checks off; the last two
  // select the whole-cluster and the half-cluster register rules.
  bool nositedrc();
  bool nositedrc2();
  bool plcregrule();
  bool halfplcregrule();
};

// A component characteristic of the architecture.
class UP_COMPCHAR {
public:
  // Writes `prefix` and then the characteristic to the message manager.
  void dump(const char* prefix);
};

// A primitive of the design: the kind of a component, with its ports.
class UP_PRIM {
public:
  const char* getname();
  int getnumports();
  // Port `index`, 0 to getnumports() - 1, and its name.
  UP_PORT* getport(int index);
  const char* getportname(int index);
  // The database definition that the primitive is made from.
  udb::PhyPrimitive* getphyprim();
};

// A port of a primitive.
class UP_PORT {
public:
  // Index of the port within its primitive.
  int getid();
  const char* getname();
  udb::Direction getdir();
};

// A component: an instance of a primitive, placed on a site or not.
class UP_COMP {
public:
  int getid();
  // The component's name; the library passes false.
  const char* getname(bool full);
  // The short name.
  const char* getsname();

  // Pins 0 to getnumpins() - 1; a pin's signal pin and signal are each null
  // when the pin is unconnected.
  int getnumpins();
  UP_SIGPIN* getsigpin(int pin);
  UP_SIGNAL* getsignal(int pin);

  UP_PRIM* getprim();
  CM_CELLCONTEXT* getlogic();
  // The site, null when the component is unplaced.
  UP_SITE* getsite();
  // The database instance (also a udb::Instance), null when none.
  udb::PhyInstance* getinstance();

  // The component pin id that plays logical pin `pin`.
  int getlogicpinid(UP_COMPINFO::PIN_ENUM pin);
  // The register control record, null when the component has none.
  UP_REGCTRL* getregctrl();
};

// True when `a` orders before `b`: a strict order of components.
bool basup_cmpcomp(UP_COMP* a, UP_COMP* b);

// A signal (net) of the design. Its driver pins come first in pin order.
class UP_SIGNAL {
public:
  int getid();
  const char* getname();
  // Pins 0 to getnumpins() - 1, and the component of each.
  int getnumpins();
  UP_SIGPIN* getsigpin(int pin);
  UP_COMP* getcomp(int pin);
  // Number of driver pins, the first ones in pin order.
  short getnumdrivers();
  // The database net, null when none.
  udb::UnfoldedNet* getnet();
  // The routed path, null when none; non-zero when the signal is routed.
  UP_PATH* getpath();
  int isrouted();
};

// A pin of a signal on a component.
class UP_SIGPIN {
public:
  UP_COMP* getcomp();
  // The component pin id; may be negative.
  int getpinid();
  const char* getname();
  UP_SIGNAL* getsignal();
  UP_PORT* getport();
  // First byte: CM_PINTYPE::INPUT and/or CM_PINTYPE::OUTPUT.
  CM_PINTYPE getpintype();
  // The pin's node in the routing graph.
  PhyNode* getnode();
};

// A placement site of the design.
class UP_SITE {
public:
  int getid();
  const char* getname();
  NP_DSITE* getdsite();
  PhySite* getphysite();
  // The occupying component, null when the site is empty.
  UP_COMP* getcomp();
  // The four slot components L0, L1, R0, R1, each null when the slot is
  // empty; null when the site has no slot table.
  UP_COMP** getslotcomps();
  // The geometry record, null when none.
  UP_SITEGEOM* getgeom();
  // Number of unique basic elements.
  int getnumuniqbels();
  // Appends the components placed on the site's basic elements to `comps`,
  // without clearing it; returns how many it appended.
  int getnumaccbels(std::vector<UP_COMP*>& comps);
  // The logic cluster of the site (every PFU/PFF site has one) and the
  // site's position in it, 0 to 3.
  UP_PLCSITE* getplcsite();
  unsigned short getplcpos();
};

// A logic cluster of four sites.
class UP_PLCSITE {
public:
  // The site at position `pos`, 0 to 3.
  UP_SITE* getsite(int pos);
  // The four sites in position order.
  const std::vector<UP_SITE*>& getsites();
};

// A path of routing arcs, in order. The library may make one for itself.
class UP_PATH {
public:
  UP_PATH();
  UP_PATH(const UP_PATH&) = delete;
  UP_PATH& operator=(const UP_PATH&) = delete;
  ~UP_PATH();

  // Appends an arc and returns its element, owned by the path. The meaning
  // of the three ints is the host's. Amortised constant time.
  PhyPathArc* addarc(const PhyArc_ID& arc, int a, int b, int c);
  // The path's elements in order; null when the path has no arc list.
  const std::vector<PhyPathArc*>* getarcs();

  struct Impl;  // the host's

private:
  Impl* impl_;
};

// The design being placed.
class UP_DESIGN {
public:
  int getnumcomps();
  UP_COMP* getcomp(int index);
  int getnumsignals();
  UP_SIGNAL* getsignal(int index);
  // The signal called `name`, null when none. Linear in the signals.
  UP_SIGNAL* getsignalbyname(const char* name);
  int getnumprims();
  UP_PRIM* getprim(int index);
  int getnumsites();
  UP_SITE* getsite(int index);

  // True when the pack level is LE, false for SLICE.
  bool isLevelLE();
  const char* getname();
  UP_INFO* getinfo();
  NP_DEVICE* getdevice();
  PhyDevice* getphydevice();
  // The database view; also the design's udb::View.
  udb::PhyView* getphyview();
};

// The host's current design.
UP_DESIGN* getUpDesign();

#pragma GCC visibility pop

#endif
