// Base class of a placer.
#ifndef BASAPLACE_PLACER_BASAPPLACER_H
#define BASAPLACE_PLACER_BASAPPLACER_H

#include <basaplace_export.h>

class UP_DESIGN;

// Binds a placer to the design it places and to two values of the caller's.
// A concrete placer derives from it and overrides apMain. Nothing is owned:
// copies refer to the same design, context and option.
class BASAPLACE_EXPORT AP_PLACER {
public:
  AP_PLACER(UP_DESIGN* design, void* context, int option);

  // Runs the placement and tells whether it succeeded. The base places
  // nothing and returns false.
  virtual bool apMain();

  // Virtual, so that a placer deleted through a base pointer is destroyed
  // whole. Releases nothing.
  virtual ~AP_PLACER();

  UP_DESIGN* getDesign() const { return design; }
  void* getContext() const { return context; }
  int getOption() const { return option; }

protected:
  UP_DESIGN* design;  // the design to place; borrowed
  void* context;      // the caller's value, kept for derived placers
  int option;         // the caller's value, kept for derived placers
};

#endif
