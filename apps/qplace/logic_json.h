// A LogicNetlist written back as a yosys JSON netlist: after the control-set
// reduction, for yosys to check it against the input (equiv_make,
// equiv_induct) or for any tool that reads the generic LUT-4 netlist.
//
// Nets are numbered from 2 in NetId order, constants written as "0", "1",
// "x", "z". LUTs become "$lut" cells (LUT and WIDTH parameters); registers
// the yosys fine-grained cell of their controls: $_DFF_, $_DFFE_, $_SDFF_,
// $_SDFFE_, $_SDFFCE_, $_DFF_ with an asynchronous reset, $_DFFE_ with one,
// $_DFFSR_, $_DFFSRE_, $_ALDFF_, $_ALDFFE_, $_DLATCH_ (with a reset:
// $_DLATCH_???_; with set and clear: $_DLATCHSR_). Port bits named
// "name[i]", i = 0 .. n-1, become one port "name" of n bits; other names a
// one-bit port each. Net names are kept (hidden ones with hide_name 1).
#ifndef QPLACE_LOGIC_JSON_H
#define QPLACE_LOGIC_JSON_H

#include <string>

#include "qplace/logic_netlist.h"

namespace qplace {

// Throws std::invalid_argument for a register whose controls no yosys cell
// has (a synchronous reset beside an asynchronous control, an enable on a
// latch, two asynchronous kinds at once) and for a LUT of more than four
// inputs. Linear in the netlist's size.
std::string writeYosysJson(const LogicNetlist& ln);

}  // namespace qplace

#endif
