// Host device description: the device, its site types (site parameters) and
// its device sites.
//
// Declarations of services that the host program provides (see cmcell.h).
#ifndef BASAPLACE_HOST_NPDEVICE_H
#define BASAPLACE_HOST_NPDEVICE_H

#include "host/cmcell.h"
#include "host/ututil.h"

#pragma GCC visibility push(default)

class PM_DEVPIC;

// A site type of the device, with its pins.
class NP_SITEPARAM {
public:
  const char* getname();
  unsigned short getnumpins();
  // Name and type of pin `pin`, 0 to getnumpins() - 1. The type's first byte
  // is 0 for a pin of no direction.
  const char* getpinname(unsigned short pin);
  CM_PINTYPE& getpintype(unsigned short pin);
};

// A site of the device.
class NP_DSITE {
public:
  const char* getname();
  // Name of the object linked to the site; null when there is none.
  const char* getaltname();
  // The site's type; the library passes 0.
  NP_SITEPARAM* getsiteparam(unsigned short which);
  // The site's location on the device.
  UT_POINT getloc();
};

// The device.
class NP_DEVICE {
public:
  // The site type called `name`; null when the device has none. Linear in
  // the number of site types.
  NP_SITEPARAM* getsiteparambyname(const char* name);
  // The part description of the device.
  PM_DEVPIC* getdevpic();
};

#pragma GCC visibility pop

#endif
