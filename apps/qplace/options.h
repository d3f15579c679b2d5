// qplace's command line: the arguments to the run's options, or to the
// usage error that refuses them.
//
// Numbers are read strictly, whole text or nothing:
//   - counts (--generate, --rows, --cols, --seed, --ctrl-reduce-max) are
//     decimal digits only: no sign, no blank, no fraction, no exponent, no
//     hex; leading zeros are decimal ("010" is ten). A count outside the
//     option's range (seeds: 0 to 2^64-1) is refused, never wrapped.
//   - reals (--fill, --effort, --timing-tradeoff) are decimal numbers, digits with an optional
//     fraction and exponent ("0.5", ".5", "5e-1"): no sign, no blank, no
//     hex, no inf or nan. A value that is not finite or lies outside the
//     option's range is refused with the range.
// An option's value follows as the next argument or after '=' in the same
// one ("--seed=3"). When an option is given twice the last one counts.
// "--" ends the options: what follows is a netlist name even when it
// starts with '-'. What follows --help or --version is not read.
//
// Combinations that would silently drop something are refused too: two
// netlists, a netlist with --generate, --rows without --cols, --fill with
// an explicit device size (the size wins, the fill would do nothing),
// --top or the control-set options with --generate (they apply to a read
// netlist), --ctrl-reduce-max with --no-ctrl-reduce, --write-json or
// --keep-placement with --generate (they need a netlist),
// --timing-tradeoff with --no-timing, --write-json
// and --report-json naming one file. File names may not be empty nor end
// in '/'.
#ifndef QPLACE_OPTIONS_H
#define QPLACE_OPTIONS_H

#include <cstdint>
#include <string>

#include "qplace/placer.h"

namespace qplace {

// Bounds stated by --help; a value outside is a usage error.
constexpr std::uint64_t kMaxGenerate = 100000000;  // components
constexpr std::uint64_t kMaxSide = 10000;          // rows or columns, clusters
constexpr double kMinFill = 0.05, kMaxFill = 0.9;  // the sizing's share of the binding slots
constexpr double kMaxEffort = 1000;                // effort in (0, kMaxEffort]

struct CliOptions {
  PlacerOptions placer;       // outDir defaults to "qplace-out", minAnnealTries to 1.25 million
  std::string input;          // the netlist; empty: the default one (or --generate)
  int generate = 0;           // components of a generated design; 0: read a netlist
  std::string top;            // module to place; empty: the one marked top
  bool ctrlReduce = true;     // fold small control sets of the netlist
  int ctrlReduceMax = -1;     // largest set folded; -1: the reduction's default
  std::string delaysFile;     // --delays: the delay model's figures; empty: the defaults
  std::string constraintsFile;  // --constraints: pins, fixed cells, regions, clocks; empty: none
  std::string writeJson;      // --write-json: the placed netlist; empty: none
  bool keepPlacement = false; // --keep-placement: place the netlist's located cells where it says
  // (--report-json goes to placer.reportJson)
  bool help = false;          // --help: print usageText and stop
  bool version = false;       // --version: print "qplace <version>" and stop
};

struct ParsedArgs {
  CliOptions options;
  std::string error;  // the usage error, without the "qplace: " prefix; empty when fine
  bool ok() const { return error.empty(); }
};

// Reads argv[1..argc-1]. Never throws on any input; O(total length).
ParsedArgs parseArgs(int argc, const char* const* argv);

// The --help text, naming `defaultInput` as the netlist read when none is given.
std::string usageText(const std::string& defaultInput);

// A count in [min, max]: decimal digits only. False (out untouched) otherwise.
bool parseCount(const std::string& text, std::uint64_t min, std::uint64_t max, std::uint64_t& out);

// A finite decimal number (see above); the range is the caller's. False
// (out untouched) for anything else, 1e400 included.
bool parseReal(const std::string& text, double& out);

}  // namespace qplace

#endif
