// The stand-in's cell library.
#include <cstddef>
#include <utility>

#include "host/standin/standin_cell.h"

namespace standin {

Cell::Cell(std::string cellName)
    : name(std::move(cellName)), programming(std::make_unique<UT_STROBJ>(nullptr)) {}

CellPrim* Cell::addPrim(const std::string& primName) {
  CellPrim& prim = prims.emplace_back();
  prim.name = primName;
  return &prim;
}

void Cell::setProgramming(const char* text) { programming = std::make_unique<UT_STROBJ>(text); }

}  // namespace standin

using standin::Cell;

const char* CM_BASE_CELLPRIM::getname() {
  return static_cast<standin::CellPrim*>(this)->name.c_str();
}

const char* CM_CELLCONTEXT::getname() { return static_cast<Cell*>(this)->name.c_str(); }

int CM_CELLCONTEXT::getnumprims() { return static_cast<int>(static_cast<Cell*>(this)->prims.size()); }

CM_BASE_CELLPRIM* CM_CELLCONTEXT::getprim(unsigned short index) {
  auto& prims = static_cast<Cell*>(this)->prims;
  return index < prims.size() ? &prims[index] : nullptr;
}

UT_STROBJ& CM_CELLCONTEXT::getprogramming_string(unsigned char, unsigned char, unsigned char) {
  return *static_cast<Cell*>(this)->programming;
}
