// Host cell library: pin types, the cell context of a component and the
// primitives of a cell.
//
// Declarations of services that the host program provides; the library is
// compiled against them and the host (or the stand-in host under
// host/standin/) supplies the definitions. Every read is constant time unless
// noted; an index out of range is a caller error.
#ifndef BASAPLACE_HOST_CMCELL_H
#define BASAPLACE_HOST_CMCELL_H

#include "host/ututil.h"

#pragma GCC visibility push(default)

// The type of a pin, plain data read byte by byte. The library reads only the
// first byte: bit INPUT marks an input, bit OUTPUT an output, both a
// bidirectional pin, neither a pin of no direction.
struct CM_PINTYPE {
  static constexpr unsigned char INPUT = 0x10;
  static constexpr unsigned char OUTPUT = 0x20;

  unsigned char bytes[4];
};

// A primitive of a library cell.
class CM_BASE_CELLPRIM {
public:
  const char* getname();
};

// The library cell that a component is an instance of.
class CM_CELLCONTEXT {
public:
  const char* getname();
  // Number of primitives of the cell.
  int getnumprims();
  // Primitive `index` of the cell, 0 to getnumprims() - 1.
  CM_BASE_CELLPRIM* getprim(unsigned short index);
  // The cell's programming string, owned by the cell; the library passes
  // (0, 0, 1) and reads it with getstring(1), null when there is none.
  UT_STROBJ& getprogramming_string(unsigned char a, unsigned char b, unsigned char c);
};

#pragma GCC visibility pop

#endif
