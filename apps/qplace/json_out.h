// The placed netlist (--write-json FILE): the yosys JSON netlist that was
// read, unchanged but for attributes that say where each cell and port bit
// went, so that the next tool, or a script with any JSON library, reads the
// placement from it, and qplace --keep-placement places it again.
//
// Added (names in logic_netlist.h):
//   each placed cell:  "qplace_site": "R3C7B", "qplace_slot": "L0"
//                      (and for a wide multiplexer, read as a tree of
//                      LUTs: "qplace_parts": "R3C7B.L1 R3C8A.L0", the
//                      inner LUTs <cell>$mux0, $mux1, ... in order; the
//                      cell's own site and slot are its root LUT's);
//   each port:         "attributes": {"qplace_site": ["R0C5A", null, ...]},
//                      one entry per bit, null for a bit that takes no I/O
//                      site (tied to a constant or connected to nothing);
//   the module:        "qplace_rows", "qplace_cols": the device's size in
//                      clusters; "qplace_half_rule": 1 under the
//                      half-cluster register rule, else 0.
// An attribute of these names already there (a placed netlist placed
// again) takes the new value in its place. Every other key, value and the
// order of keys stay as read; the text is laid out afresh (objects one
// key a line, arrays of plain values on one line) and is plain JSON even
// when the input was gzip. The LUTs that a control-set fold added
// (ctrl_reduce.h) are no cell of the netlist and are not written: a later
// --keep-placement run, folding the same sets, places them anew. A folded
// register's cell and its driving LUT's keep their types and parameters;
// their sites are those of the folded logic.
#ifndef QPLACE_JSON_OUT_H
#define QPLACE_JSON_OUT_H

#include <string>

#include <nlohmann/json.hpp>

#include "qplace/logic_netlist.h"
#include "qplace/netlist_reader.h"

namespace qplace {

// The placed netlist's text: `input` is the netlist's text (named `source`
// in errors) from which `ln` was read and `nl` built into `d`, which is
// now placed. False, with `error`, when a component is not placed or the
// text is no longer the netlist `ln` came from. Linear in the text; the
// parsed document takes about 4.4 times the text's size while it is made.
bool placedNetlistJson(const std::string& input, const std::string& source, const LogicNetlist& ln,
                       const Netlist& nl, const standin::Design& d, std::string& out, std::string& error);

// A JSON value laid out as above: objects one key a line, indented by two
// spaces a level, arrays of plain values (and empty ones) on one line,
// arrays holding objects or arrays one element a line. Invalid UTF-8 in a
// string is replaced (a parsed document holds none). Ends without a newline.
std::string layoutJson(const nlohmann::ordered_json& value);

}  // namespace qplace

#endif
