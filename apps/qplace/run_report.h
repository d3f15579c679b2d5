// The run report for scripts and dashboards (--report-json FILE): one JSON
// object with the program's version, the options, the design's and the
// device's counts, the constraints, the time and wirelength of each phase,
// the final figures, the checks, the peak memory and the timing report.
//
// Its key names are stable: a key is never renamed or given another
// meaning, only added. docs/run-report.schema.json is its JSON Schema
// (draft 2020-12) and documents every key; `format_version` changes only
// when a key must go or change. Figures that a run does not measure are
// null (the random baseline under --no-baseline, the timing under
// --no-timing), never left out.
#ifndef QPLACE_RUN_REPORT_H
#define QPLACE_RUN_REPORT_H

#include <string>

#include <nlohmann/json.hpp>

#include "qplace/options.h"
#include "qplace/placer.h"

namespace qplace {

class PlacementRules;
class TimingAnalysis;

constexpr int kRunReportFormatVersion = 1;

// What the caller knows of the run beyond the placer's figures.
struct RunInfo {
  std::string version;            // the program's (the project's version)
  nlohmann::ordered_json options; // the options in force, as the caller names them
  // Control sets of the netlist as read, before any reduction; -1 when not
  // known (a generated design: then the placed count stands for both).
  int controlSetsRead = -1;
  int portBitsWithoutIo = 0;      // port bits tied to a constant or connected to nothing
};

// The options as the report states them: the command line's `cli` (its
// device size, fill, seed, ... as given), with the clock periods in force
// in `effective` (the constraint file's, with --clock's on top).
nlohmann::ordered_json reportOptions(const CliOptions& cli, const PlacerOptions& effective);

// The report as a JSON document. `rules` (null for none) gives the
// constraint counts, `timing` (null without timing) the timing report.
// Linear in the timing report's size.
nlohmann::ordered_json runReport(const RunInfo& info, const PlacerFigures& figures, const PlacementRules* rules,
                                 const TimingAnalysis* timing);

// Its text: two-space indents, non-ASCII bytes kept (invalid UTF-8
// replaced), a final newline.
std::string runReportText(const nlohmann::ordered_json& report);

}  // namespace qplace

#endif
