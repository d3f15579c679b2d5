// The text of a netlist file, and its JSON document: read plain or through
// gzip, bounded in memory, checked for nesting depth before it is parsed.
//
// Every failure throws ReadError (netlist_reader.h) naming the source.
#ifndef QPLACE_NETLIST_TEXT_H
#define QPLACE_NETLIST_TEXT_H

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

namespace qplace {

// The deepest nesting of arrays and objects a netlist may have. A yosys
// netlist nests 7 deep (the document, its modules, a module, its cells, a
// cell, its connections, a pin's bits); the bound leaves ample room and
// keeps everything that walks a parsed value (copies, comparisons, dump)
// far from the stack's limits.
constexpr int kMaxNesting = 64;

// The whole text of a file, decompressed when it is gzip (a file that is
// not is read as it stands). Refuses, before reading more, a text whose
// parsing would take more than `memoryLimit` bytes (parseBytes).
// Errors: "cannot open the file (reason)", "cannot read the file (reason)",
// "truncated gzip file", "corrupt gzip file (zlib's reason)", and the
// memory refusal.
std::string readNetlistBytes(const std::string& path, std::uint64_t memoryLimit);

// Checks that no array or object of `text` nests deeper than kMaxNesting,
// then parses it. The document leaves out what the netlist reader never
// looks at: in a module's "netnames" each net's "attributes", in its
// "cells" each cell's "port_directions" and every attribute whose name
// does not begin with "qplace_" (aes: a fifth less time to read it, and
// 53 MB of memory at the peak of a short run rather than 61). Those parts
// are parsed all the same, so an error in them is an error. Errors:
// "nesting deeper than 64 levels at line L, column C" and "malformed JSON:
// <the parser's message>". Linear in the text; no recursion on the input's
// depth.
nlohmann::json parseNetlistJson(const std::string& text, const std::string& source);

// The memory limit to apply: `given`, or when 0 the available memory (no
// limit when that is unknown).
std::uint64_t effectiveMemoryLimit(std::uint64_t given);

// The refusal for a netlist that needs `needed` bytes (`atLeast`: or more)
// beyond `limit`, which the caller `given` or the machine's available
// memory set: "the netlist is too big: <what> needs about 2.1 GB of
// memory, only 1.5 GB available".
[[noreturn]] void refuseMemory(const std::string& source, std::uint64_t needed, std::uint64_t limit,
                               bool given, const char* what, bool atLeast);

}  // namespace qplace

#endif
