// Host unified database: the design's view (top module, primitive
// definitions, constraints), its instances and nets with their application
// data, and the iterator over its objects.
//
// Declarations of services that the host program provides (see cmcell.h).
#ifndef BASAPLACE_HOST_UDB_H
#define BASAPLACE_HOST_UDB_H

#include <string>

#pragma GCC visibility push(default)

namespace udb {

// Direction of a port: bidirectional, input, output, tristate.
enum Direction : int { DIR_INOUT = 0, DIR_INPUT = 1, DIR_OUTPUT = 2, DIR_TRISTATE = 3 };

// Selects constraints of a view; the library asks for CONSTRAINT_ALL.
enum ConstraintType : int { CONSTRAINT_ALL = 0 };

class DesignObjectXRef {
public:
  // Which name of an object to give; the library asks for XREF_DBNAME.
  enum Xref_NameType : int { XREF_DBNAME = 2 };
};

// Yields the objects of one sequence, one at a time:
//   udb::Iterator<udb::PhyPort>* it = module->getPortIter();
//   for (udb::PhyPort* port; it->next(port);) ports.push_back(port);
//   delete it;
// The caller owns the iterator and deletes it; the objects stay the host's.
template <class T>
class Iterator {
public:
  struct State;  // the host's
  explicit Iterator(State* state);
  Iterator(const Iterator&) = delete;
  Iterator& operator=(const Iterator&) = delete;
  ~Iterator();

  // Sets `item` to the next object and returns true; at the end returns
  // false and leaves `item` as it was. Constant time.
  bool next(T*& item);

private:
  State* state_;
};

class Constraint {
public:
  std::string toString();
};

// A port of a module.
class PhyPort {
public:
  std::string getName();
};

class PhyModule {
public:
  // A new iterator over the module's ports.
  Iterator<PhyPort>* getPortIter();
};

// A port of a primitive definition.
class PhyPrimPort {
public:
  std::string getName();
  Direction getDirection();
};

// A primitive definition.
class PhyPrimitive {
public:
  std::string getName();
  // A new iterator over the definition's ports, in port order.
  Iterator<PhyPrimPort>* getPortIter();
};

class View {
public:
  // A new iterator over the view's constraints of type `type`; the library
  // passes (CONSTRAINT_ALL, 0).
  Iterator<Constraint>* getConstraintIter(ConstraintType type, unsigned char flag);
};

class PhyView : public View {
public:
  PhyModule* getTopMod();
  // A new iterator over the primitive definitions of the view.
  Iterator<PhyPrimitive>* getPrimIter();
};

// A database object that carries application data in numbered slots.
class Instance {
public:
  // The application data in slot `slot`; null when the slot is empty or out
  // of range.
  void* getAppData(int slot);
};

class PhyInstance : public Instance {
public:
  // Database name of primitive `index` of the instance's cell; empty when it
  // has none.
  std::string getPrimitiveName(unsigned short index, DesignObjectXRef::Xref_NameType type);
};

class UnfoldedNet {
public:
  // As Instance::getAppData.
  void* getAppData(int slot);
};

extern template class Iterator<Constraint>;
extern template class Iterator<PhyPort>;
extern template class Iterator<PhyPrimPort>;
extern template class Iterator<PhyPrimitive>;

}  // namespace udb

#pragma GCC visibility pop

#endif
