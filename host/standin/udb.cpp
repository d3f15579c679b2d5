// The stand-in's unified database: iterators, the view, instances and nets.
#include <cstddef>
#include <vector>

#include "host/standin/standin_udb.h"

template <class T>
struct udb::Iterator<T>::State {
  std::vector<T*> items;
  std::size_t next = 0;
};

template <class T>
udb::Iterator<T>::Iterator(State* state) : state_(state) {}

template <class T>
udb::Iterator<T>::~Iterator() {
  delete state_;
}

template <class T>
bool udb::Iterator<T>::next(T*& item) {
  if (state_ == nullptr || state_->next >= state_->items.size()) return false;
  item = state_->items[state_->next++];
  return true;
}

namespace udb {
template class Iterator<Constraint>;
template class Iterator<PhyPort>;
template class Iterator<PhyPrimPort>;
template class Iterator<PhyPrimitive>;
}  // namespace udb

namespace {

// A new iterator over the elements of a deque of stand-in records, as they
// are now, seen as their host class T.
template <class T, class Records>
udb::Iterator<T>* iterate(Records& records) {
  auto* state = new typename udb::Iterator<T>::State;
  state->items.reserve(records.size());
  for (auto& record : records) state->items.push_back(&record);
  return new udb::Iterator<T>(state);
}

}  // namespace

std::string udb::Constraint::toString() { return static_cast<standin::Constraint*>(this)->text; }

std::string udb::PhyPort::getName() { return static_cast<standin::TopPort*>(this)->name; }

udb::Iterator<udb::PhyPort>* udb::PhyModule::getPortIter() {
  return iterate<PhyPort>(static_cast<standin::Module*>(this)->ports);
}

std::string udb::PhyPrimPort::getName() { return static_cast<standin::PrimDefPort*>(this)->name; }

udb::Direction udb::PhyPrimPort::getDirection() {
  return static_cast<standin::PrimDefPort*>(this)->dir;
}

std::string udb::PhyPrimitive::getName() { return static_cast<standin::PrimDef*>(this)->name; }

udb::Iterator<udb::PhyPrimPort>* udb::PhyPrimitive::getPortIter() {
  return iterate<PhyPrimPort>(static_cast<standin::PrimDef*>(this)->ports);
}

udb::Iterator<udb::Constraint>* udb::View::getConstraintIter(ConstraintType type,
                                                            unsigned char /*flag*/) {
  auto* state = new Iterator<Constraint>::State;
  for (standin::Constraint& c : static_cast<standin::View*>(this)->constraints)
    if (type == CONSTRAINT_ALL || c.type == type) state->items.push_back(&c);
  return new Iterator<Constraint>(state);
}

udb::PhyModule* udb::PhyView::getTopMod() { return &static_cast<standin::View*>(this)->top; }

udb::Iterator<udb::PhyPrimitive>* udb::PhyView::getPrimIter() {
  return iterate<PhyPrimitive>(static_cast<standin::View*>(this)->prims);
}

void* udb::Instance::getAppData(int index) {
  return static_cast<standin::Instance*>(this)->appData.get(index);
}

std::string udb::PhyInstance::getPrimitiveName(unsigned short index,
                                               DesignObjectXRef::Xref_NameType /*type*/) {
  const auto& names = static_cast<standin::Instance*>(this)->primNames;
  return names != nullptr && index < names->size() ? (*names)[index] : std::string();
}

void* udb::UnfoldedNet::getAppData(int index) {
  return static_cast<standin::Net*>(this)->appData.get(index);
}
