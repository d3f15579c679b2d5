// The constraint file: where the board puts the design's pins, cells fixed
// at a site or kept in a rectangle of clusters, and the clocks' periods.
//
// One constraint a line; words are separated by blanks; a `#` at the start
// of a word starts a comment (inside a word it is part of it, as in the
// name `u#2`):
//
//   set_io <port bit> <I/O site>                  # e.g. set_io data[3] R0C5A
//   fix <cells> <logic site> [<slot>]             # fix u_ctrl* R3C7B
//   region <cells> <row0> <col0> <row1> <col1>    # region alu_* 2 2 6 9
//   clock <clock net | *> <ns>                    # clock clk 10
//   ports <ns>                                    # paths from or to a port
//
// Names are the component names as the placement file prints them (port
// bits as "name" or "name[i]"). <cells> is a pattern: `*` matches any run
// of characters, `?` any one; every other character stands for itself.
// Sites are the device's: logic sites R<row>C<col><A-D>, I/O sites on the
// border R<row>C<col><A...>; slots are L0, L1 (LUTs) and R0, R1
// (registers). A region is the rectangle of clusters from device row
// row0 to row1 and column col0 to col1, both ends included (clusters sit
// at rows and columns 1 to the device's size).
//
// This reader checks the text alone (keywords, word counts, numbers,
// slots, rectangles); names and sites are checked against the design and
// its device by resolveRules (placement_rules.h).
#ifndef QPLACE_CONSTRAINTS_H
#define QPLACE_CONSTRAINTS_H

#include <string>
#include <vector>

#include "qplace/timing/clock_periods.h"

namespace standin {
struct Comp;
}

namespace qplace {

enum class ConstraintKind { SetIo, Fix, Region };

struct Constraint {
  ConstraintKind kind = ConstraintKind::Fix;
  std::string where;    // "<file>:<line>", or the netlist and cell of a kept location
  std::string name;     // the port bit (set_io), or the cells' pattern
  bool exact = false;   // `name` is a name, not a pattern
  bool kept = false;    // a location read back from a placed netlist (--keep-placement)
  std::string site;     // set_io, fix
  std::string slot;     // fix: L0, L1, R0, R1, or empty for any
  int row0 = 0, col0 = 0, row1 = 0, col1 = 0;  // region, device rows and columns
  const standin::Comp* comp = nullptr;  // a kept location's component (no name, no `where`)
};

struct Constraints {
  std::vector<Constraint> items;
  ClockPeriods periods;  // the file's clock and ports lines
  // Port bits that take no I/O site (tied to a constant or connected to
  // nothing) by the names they would have: a set_io of one of them is
  // ignored with a warning rather than refused as unknown.
  std::vector<std::string> portsWithoutIo;
  std::string keptSource;  // the placed netlist the kept locations come from

  // Where item k comes from, for a message: "<file>:<line>", or "<netlist>:
  // cell <name>" (a port bit's I/O component: "port bit <name>").
  std::string whereOf(int k) const;
  // The same without the netlist's name for a kept location ("cell
  // <name>", "port bit <name>"): for a message about the netlist already.
  std::string whatOf(int k) const;

  bool empty() const { return items.empty(); }
};

// Reads a constraint file's text; `source` names it in messages. False,
// with "<source>:<line>: <reason>" in `error` and `out` unchanged, for an
// unknown keyword, a missing or extra word, an unknown slot, a region
// whose corners are no whole numbers or whose first row or column lies past
// its last, a period that is no positive number, a clock or the ports
// given twice. Linear in the text.
bool readConstraints(const std::string& text, const std::string& source, Constraints& out, std::string& error);
// The same, from a file (settings_text::readFile's error when unreadable).
bool loadConstraints(const std::string& path, Constraints& out, std::string& error);

struct LogicNetlist;
struct Netlist;

// Appends the locations a placed netlist gives its cells and port bits
// (LogicLut/LogicReg/LogicPort::placedAt) to `c` as kept locations of the
// components `nl` built from `ln`; returns how many. Sets nothing else
// (keptSource is the caller's). Linear in the netlist.
int addKeptLocations(const LogicNetlist& ln, const Netlist& nl, Constraints& c);

// Whether `name` matches `pattern` (`*` any run, `?` any one character).
// O(|name| * |pattern|) at worst, linear for a pattern of one `*`.
bool globMatch(const std::string& pattern, const std::string& name);

// Whether `pattern` holds a `*` or `?`.
bool isPattern(const std::string& pattern);

}  // namespace qplace

#endif
