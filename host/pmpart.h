// Host part description: the family, device, package and speed grade of the
// part that a design targets.
//
// Declarations of services that the host program provides (see cmcell.h).
#ifndef BASAPLACE_HOST_PMPART_H
#define BASAPLACE_HOST_PMPART_H

#include "host/ututil.h"

#pragma GCC visibility push(default)

// A part description.
class PM_SPEC {
public:
  // Name of the part's family; the library passes 0.
  const char* getPmName(unsigned char which);
};

// The part of a device: a part description with its device name, package
// and speed grade.
class PM_DEVPIC : public PM_SPEC {
public:
  const char* getDeviceName();
  // Package and speed grade, owned by the part; null when the part has none.
  // Their text is read with getstring(0).
  UT_STROBJ* getpackage();
  UT_STROBJ* getspeed();
};

#pragma GCC visibility pop

#endif
