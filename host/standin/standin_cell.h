// The stand-in host's cell library: cells with their primitives and
// programming strings. Tests and examples make them through
// standin::Design::addCell (a design primitive also makes one of its name).
#ifndef BASAPLACE_STANDIN_CELL_H
#define BASAPLACE_STANDIN_CELL_H

#include <deque>
#include <memory>
#include <string>

#include "host/cmcell.h"

namespace standin {

// A primitive of a cell.
struct CellPrim : CM_BASE_CELLPRIM {
  std::string name;
};

// A library cell. getprogramming_string ignores its three arguments and
// gives `programming`, whose text is null until setProgramming.
struct Cell : CM_CELLCONTEXT {
  explicit Cell(std::string cellName);

  CellPrim* addPrim(const std::string& primName);
  // Replaces the programming string; null gives a string with no text.
  void setProgramming(const char* text);

  std::string name;
  std::deque<CellPrim> prims;
  std::unique_ptr<UT_STROBJ> programming;
};

}  // namespace standin

#endif
