// What each cell type of a yosys netlist becomes: a LUT, a gate made a LUT,
// a register or latch with its controls, nothing, or a refusal that says
// what to run instead.
//
// Storage cells are the gate-level families of a generic synthesis, each
// letter of the type's suffix a polarity (P, N) or a value (0, 1):
//   $_DFF_C_, $_DFF_CRV_, $_DFFE_CE_, $_DFFE_CRVE_       async reset R to V
//   $_SDFF_CRV_, $_SDFFE_CRVE_, $_SDFFCE_CRVE_            sync reset R to V
//   $_DFFSR_CSR_, $_DFFSRE_CSRE_                          async set S, clear R
//   $_ALDFF_CL_, $_ALDFFE_CLE_                            async load L of AD
//   $_DLATCH_E_, $_DLATCH_ERV_, $_DLATCHSR_ESR_           latches, gate E
//   $_SR_SR_                                              set/clear latch, no data
// Gates are $_BUF_ $_NOT_ $_AND_ $_NAND_ $_OR_ $_NOR_ $_XOR_ $_XNOR_
// $_ANDNOT_ $_ORNOT_ $_MUX_ $_NMUX_ $_AOI3_ $_OAI3_ $_AOI4_ $_OAI4_ (one LUT
// each) and $_MUX4_ $_MUX8_ $_MUX16_ (a tree of 2-to-1 multiplexer LUTs).
#ifndef QPLACE_CELL_TYPES_H
#define QPLACE_CELL_TYPES_H

#include <cstdint>
#include <string>
#include <vector>

namespace qplace {

// What a storage cell's pin is to the register.
enum class PinRole { D, Q, Clock, Enable, SyncReset, AsyncReset, AsyncSet, AsyncClear, AsyncLoad, AsyncData };

struct StoragePin {
  std::string pin;          // the cell's port name
  PinRole role;
  bool activeHigh = true;   // controls: P; a clock: the rising edge
};

// A storage cell type: its pins (every port it has) and its constants.
struct StorageType {
  bool latch = false;
  bool gated = true;           // false for $_SR_: no gate and no data
  std::vector<StoragePin> pins;
  bool resetValue = false;     // the value its async or sync reset loads
  bool enableOverSync = false; // $_SDFFCE_: the sync reset acts only when enabled
};

// A gate type: its inputs in LUT input order and its function. A gate of
// more than 4 inputs is a multiplexer of 2^selects data inputs (the first
// ones, then the selects, lowest first).
struct GateType {
  std::vector<std::string> inputs;
  std::uint16_t mask = 0;  // the LUT mask of a gate of up to 4 inputs
  int selects = 0;         // a wide multiplexer: its select count (2 to 4)
};

// Why a cell cannot be placed; each kind has its own hint.
enum class Refusal {
  WordLevel,     // a word-level cell: synth -flatten; abc -lut 4
  Memory,        // $mem...: memory_map
  Tristate,      // $_TBUF_, $tribuf: tribuf -logic
  Submodule,     // an instance of another module of the file: synth -flatten
  BlackBox,      // an instance of a module with no logic in the file
  Undefined,     // an instance of a module the file does not hold
  GlobalClock,   // $_FF_, $ff: a register on the implicit global clock
  Unknown,       // a gate-level "$_..._" type of no known family
};

// The hint printed after the types refused for one reason.
const char* refusalHint(Refusal r);

enum class CellClass { Lut, Gate, Storage, Ignored, Refused };

// The storage type of a type name, or null when it is none. The returned
// table entry lives as long as the program. Constant time (one cache lookup
// after the first call for a type).
const StorageType* storageType(const std::string& type);

// The gate type of a type name, or null.
const GateType* gateType(const std::string& type);

// The class of a type that is not a LUT, gate or storage cell: Ignored for
// $scopeinfo (a record of the hierarchy that flattening leaves, with no
// connection), else Refused with the reason in `why`. `isModule` and
// `isBlackBox` say whether the netlist holds a module of that name, and
// whether that module is a black box.
CellClass otherCell(const std::string& type, bool isModule, bool isBlackBox, Refusal& why);

}  // namespace qplace

#endif
