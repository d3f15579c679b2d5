// Host device model: the routing graph (nodes, arcs, arc iteration, path
// elements), the device's sites and its two grids.
//
// Declarations of services that the host program provides (see cmcell.h).
// PhyArc_ID and PhyNode_ITERATOR are values that the library makes, copies
// and destroys itself, so their layouts are given here; every other class is
// a handle that the library only reaches through pointers.
#ifndef BASAPLACE_HOST_PHYDEVICE_H
#define BASAPLACE_HOST_PHYDEVICE_H

#include "host/ututil.h"

#pragma GCC visibility push(default)

// A node of the routing graph.
class PhyNode {
public:
  char* getname();
  // Cost code of the node, 0 to 15.
  unsigned char getcostcode();
  // The node's flag byte. Bit ON_ROUTE marks a node of the route being
  // looked up.
  unsigned char getflags();

  static constexpr unsigned char ON_ROUTE = 0x40;
};

// An arc of the routing graph, as an 8-byte value. Two ids are equal when
// their bytes are. The id whose bytes are all 0xff is the no-arc id: it
// equals no arc of any graph, and getnode gives null for it.
class PhyArc_ID {
public:
  PhyArc_ID() = default;  // bytes left unset
  PhyArc_ID(const PhyArc_ID& other) = default;
  PhyArc_ID& operator=(const PhyArc_ID& other) = default;
  ~PhyArc_ID();

  unsigned char operator==(const PhyArc_ID& other) const;
  unsigned char operator!=(const PhyArc_ID& other) const;

  // The node at end 0 (the tail of a directional arc) or end 1 (its head);
  // null for another `end` or an id that names no arc.
  PhyNode* getnode(unsigned short end) const;
  // Non-zero when the arc runs only from end 0 to end 1.
  unsigned char isdirectional() const;
  // Non-zero when a route uses the arc.
  unsigned char isused() const;

  unsigned char bytes[8];
};

// Walks the arcs of one node, in the host's order:
//   for (PhyNode_ITERATOR it(node, PhyNode_ITERATOR::ARC_ALL); it.getnext();)
//     use(it.getcurarcid(), it.getcurnode());
// Each step is constant time. A null node yields no arc.
class PhyNode_ITERATOR {
public:
  enum ARC_TYPE : int { ARC_ALL = 0 };

  PhyNode_ITERATOR(PhyNode* node, ARC_TYPE type);
  PhyNode_ITERATOR(const PhyNode_ITERATOR&) = delete;
  PhyNode_ITERATOR& operator=(const PhyNode_ITERATOR&) = delete;
  ~PhyNode_ITERATOR();

  // Moves to the next arc; non-zero while an arc is current.
  unsigned char getnext();
  // The current arc; the no-arc id when none is current.
  PhyArc_ID getcurarcid();
  // The node that the iterator holds with the current arc; may be null.
  PhyNode* getcurnode();

private:
  PhyNode* node_;
  int type_;
  int index_;  // position of the current arc; -1 before the first getnext
};

// An element of a path (UP_PATH): one arc of the routing graph.
class PhyPathArc {
public:
  PhyArc_ID getarcid();
};

// A site of the device model.
class PhySite {
public:
  // Number of pins of the site, the length of its geometry arrays.
  unsigned short getnumpins();
};

// The device grid.
class PhyGrid {
public:
  unsigned short getnumrows();
  unsigned short getnumcols();
  int gett1offset();
  int gett2offset();
  // Fills `point` with the grid point of `site`; the caller zeroes it first.
  void getgridpt(PhySite* site, UT_POINT& point);
};

// The tile grid: one coordinate per tile row and per tile column.
class PhyTileGrid {
public:
  int getnumrows();
  int getnumcols();
  // getnumrows() and getnumcols() entries, owned by the grid.
  const int* getrowpos();
  const int* getcolpos();
};

// The device model of a design.
class PhyDevice {
public:
  PhyGrid* getgrid();
  PhyTileGrid* gettilegrid();
};

#pragma GCC visibility pop

#endif
