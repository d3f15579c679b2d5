// The control-set benchmark's own reading of a yosys JSON netlist into a
// LogicNetlist, LUT masks included: "$lut" cells and the fine-grained
// flip-flops and latches ($_DFF_, $_DFFE_, $_SDFF_, $_SDFFE_, $_SDFFCE_,
// with asynchronous reset $_DFF_???_ and $_DFFE_????_, $_DFFSR_,
// $_DFFSRE_, $_DLATCH_), one port bit per LogicPort. Controls stuck at
// their inactive level are dropped, as logic_netlist.h says.
#ifndef QPLACE_BENCH_LOGIC_READ_H
#define QPLACE_BENCH_LOGIC_READ_H

#include <string>

#include "qplace/logic_netlist.h"

namespace qplace {

// Reads a plain or gzip-compressed file; throws std::runtime_error naming
// the file on any fault (unknown cell types included).
LogicNetlist readLogicJson(const std::string& path);

}  // namespace qplace

#endif
