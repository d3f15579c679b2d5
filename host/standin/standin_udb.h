// The stand-in host's unified database: the design's view (top-module ports,
// primitive definitions, constraints) and the instances and nets that carry
// components and signals as application data. Every design owns one view
// (standin::Design::view); the builder makes an instance per component, a net
// per signal and a definition per design primitive.
//
// Application-data slots: UP_Access::m_PhyInstance_idx is 3 and
// UP_Access::m_PhyNet_idx is 5, of kAppDataSlots slots per object. An
// object carries data in one slot at a time (AppData): the builder fills
// just the one slot the library reads, and a design has an instance a
// component and a net a signal, so a full table would cost 64 bytes a
// component and as much a signal.
// Constraint type CONSTRAINT_ALL (0) selects every constraint; another type
// selects the constraints of that `type`.
#ifndef BASAPLACE_STANDIN_UDB_H
#define BASAPLACE_STANDIN_UDB_H

#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host/udb.h"

namespace standin {

constexpr int kAppDataSlots = 8;

// The application data of an object: one slot in use, or none. set(k, v)
// makes k the slot in use, holding v (the data of another slot is
// dropped); get(k) reads slot k, null when it is not the one in use or is
// out of range.
class AppData {
public:
  void set(int slot, void* value) {
    slot_ = slot;
    value_ = value;
  }
  void* get(int slot) const { return slot == slot_ && slot >= 0 && slot < kAppDataSlots ? value_ : nullptr; }

private:
  int slot_ = -1;
  void* value_ = nullptr;
};

// getPrimitiveName(j, ...) gives primNames[j], or "" past its end; most
// instances have no names, and no list.
struct Instance : udb::PhyInstance {
  AppData appData;
  std::unique_ptr<std::vector<std::string>> primNames;

  void setPrimNames(std::vector<std::string> names) {
    primNames = std::make_unique<std::vector<std::string>>(std::move(names));
  }
};

struct Net : udb::UnfoldedNet {
  AppData appData;
};

struct TopPort : udb::PhyPort {
  std::string name;
};

struct Module : udb::PhyModule {
  std::deque<TopPort> ports;
};

struct PrimDefPort : udb::PhyPrimPort {
  std::string name;
  udb::Direction dir = udb::DIR_INPUT;
};

struct PrimDef : udb::PhyPrimitive {
  std::string name;
  std::deque<PrimDefPort> ports;
};

struct Constraint : udb::Constraint {
  std::string text;  // toString
  int type = 0;
};

// Iterators yield the elements of these deques in order, as they are when
// the iterator is made.
struct View : udb::PhyView {
  Module top;
  std::deque<PrimDef> prims;
  std::deque<Constraint> constraints;
};

}  // namespace standin

#endif
