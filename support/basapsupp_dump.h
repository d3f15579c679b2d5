// Pieces shared by the support object's text reports (basapsupp_dump*.cpp):
// the optional title, the line end, and the one-letter direction codes.
// Internal to the library; not installed.
#ifndef BASAPLACE_SUPPORT_BASAPSUPP_DUMP_H
#define BASAPLACE_SUPPORT_BASAPSUPP_DUMP_H

#include <ostream>
#include <vector>

#include "host/cmcell.h"
#include "host/udb.h"
#include "host/ututil.h"

namespace basapdump {

// Source name of the reports' fatal internal errors.
constexpr const char* kSource = "basapsupp";

// Prints `title` verbatim when it is not null.
inline void printTitle(const char* title) {
  if (title != nullptr) ut_msgman->print(title);
}

// Ends the current line: a newline, then a flush.
inline void endLine() { ut_msgman->manip(std::endl); }

inline void flush() { ut_msgman->manip(std::flush); }

// Direction letter of a pin type (a signal pin's or a site pin's): "B" with
// both the input and the output bit, else "I" or "O" by the bit that is
// set, else "?" (which is also what a type byte of 0 gives).
inline char pinLetter(const CM_PINTYPE& type) {
  const unsigned char b = type.bytes[0];
  const unsigned char both = CM_PINTYPE::INPUT | CM_PINTYPE::OUTPUT;
  if ((b & both) == both) return 'B';
  if ((b & CM_PINTYPE::INPUT) != 0) return 'I';
  if ((b & CM_PINTYPE::OUTPUT) != 0) return 'O';
  return '?';
}

// Direction letter of a design primitive's port: B, I, O, else "?" (a
// tristate port of a design primitive has no letter of its own).
inline char portLetter(udb::Direction dir) {
  switch (dir) {
    case udb::DIR_INOUT:
      return 'B';
    case udb::DIR_INPUT:
      return 'I';
    case udb::DIR_OUTPUT:
      return 'O';
    default:
      return '?';
  }
}

// Drains a host iterator into a list, in the order it yields, and deletes
// the iterator.
template <class T>
std::vector<T*> drain(udb::Iterator<T>* it) {
  std::vector<T*> items;
  for (T* item = nullptr; it->next(item);) items.push_back(item);
  delete it;
  return items;
}

}  // namespace basapdump

#endif
