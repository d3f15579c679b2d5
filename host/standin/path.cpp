// The stand-in's paths: a list of path elements, owned by the path.
#include <deque>

#include "host/standin/standin_graph.h"
#include "host/updesign.h"

struct UP_PATH::Impl {
  std::deque<standin::PathArc> store;  // the elements, at stable addresses
  std::vector<PhyPathArc*> arcs;       // the same, in order
};

UP_PATH::UP_PATH() : impl_(new Impl) {}

UP_PATH::~UP_PATH() { delete impl_; }

PhyPathArc* UP_PATH::addarc(const PhyArc_ID& arc, int a, int b, int c) {
  standin::PathArc& element = impl_->store.emplace_back();
  element.id = arc;
  element.a = a;
  element.b = b;
  element.c = c;
  impl_->arcs.push_back(&element);
  return &element;
}

// A path gets its arc list with its first arc.
const std::vector<PhyPathArc*>* UP_PATH::getarcs() {
  return impl_->arcs.empty() ? nullptr : &impl_->arcs;
}

PhyArc_ID PhyPathArc::getarcid() { return static_cast<standin::PathArc*>(this)->id; }
