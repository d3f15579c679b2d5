// The JSON run report.
#include "qplace/run_report.h"

#include "qplace/placement_rules.h"
#include "qplace/timing/report.h"

namespace qplace {

namespace {

using ojson = nlohmann::ordered_json;

// A figure, or null when the run did not measure it (0 stands for that in
// the placer's figures).
ojson measured(double v) { return v > 0 ? ojson(v) : ojson(nullptr); }

}  // namespace

nlohmann::ordered_json reportOptions(const CliOptions& cli, const PlacerOptions& opt) {
  using oj = nlohmann::ordered_json;
  auto fileOrNull = [](const std::string& f) { return f.empty() ? oj(nullptr) : oj(f); };
  oj clocks = oj::object();
  for (const auto& [clock, ns] : opt.timingSettings.periods.byClock) clocks[clock] = ns;
  const ClockPeriods& pp = opt.timingSettings.periods;
  return oj{{"netlist", cli.generate > 0 ? oj(nullptr) : oj(cli.input)},
            {"generate", cli.generate},
            {"top", fileOrNull(cli.top)},
            {"rows", cli.placer.rows},
            {"cols", cli.placer.cols},
            {"fill", cli.placer.fill},
            {"half_rule", cli.placer.halfRule},
            {"seed", cli.placer.seed},
            {"effort", cli.placer.effort},
            {"baseline", cli.placer.baseline},
            {"timing", cli.placer.timing},
            {"timing_tradeoff", cli.placer.timing ? oj(cli.placer.timingDriven.tradeoff) : oj(nullptr)},
            {"clock_periods", oj{{"clocks", clocks},
                                 {"every_clock", pp.everyClock > 0 ? oj(pp.everyClock) : oj(nullptr)},
                                 {"ports", pp.ports > 0 ? oj(pp.ports) : oj(nullptr)}}},
            {"delays", fileOrNull(cli.delaysFile)},
            {"constraints", fileOrNull(cli.constraintsFile)},
            {"keep_placement", cli.keepPlacement},
            {"out", fileOrNull(cli.placer.outDir)},
            {"write_json", fileOrNull(cli.writeJson)},
            {"report_json", fileOrNull(cli.placer.reportJson)},
            {"verbosity", cli.placer.verbosity}};
}

ojson runReport(const RunInfo& info, const PlacerFigures& fig, const PlacementRules* rules,
                const TimingAnalysis* timing) {
  ojson r;
  r["format"] = "qplace-run-report";
  r["format_version"] = kRunReportFormatVersion;
  r["program"] = "qplace";
  r["version"] = info.version;
  r["options"] = info.options.is_object() ? info.options : ojson::object();

  ojson& design = r["design"];
  design["luts"] = fig.luts;
  design["registers"] = fig.registers;
  design["io"] = fig.ios;
  design["nets"] = fig.nets;
  design["units"] = fig.units;
  design["pairs"] = fig.pairs;
  design["control_sets"] = {{"before_reduction", info.controlSetsRead >= 0 ? info.controlSetsRead : fig.controlSets},
                            {"after_reduction", fig.controlSets}};
  design["port_bits_without_io"] = info.portBitsWithoutIo;

  ojson& device = r["device"];
  device["rows"] = fig.rows;
  device["cols"] = fig.cols;
  device["clusters"] = fig.rows * fig.cols;
  device["io_sites"] = fig.ioSites;
  device["register_rule"] = fig.halfRule ? "half-cluster" : "whole-cluster";

  ojson& c = r["constraints"];
  c["port_bits"] = rules != nullptr ? rules->setIo : 0;
  c["fixed_cells"] = rules != nullptr ? rules->fixedCells : 0;
  c["region_cells"] = rules != nullptr ? rules->regionCells : 0;
  c["regions"] = rules != nullptr ? static_cast<int>(rules->regions.size()) : 0;
  c["kept_cells"] = rules != nullptr ? rules->kept : 0;
  c["kept_given_up"] = rules != nullptr ? rules->keptDropped : 0;

  enum { PACK, GLOBAL, LEGALIZE, DETAIL, CHECK, REPORT, TIMING };
  const bool timed = timing != nullptr;
  auto critical = [&](int k) { return timed ? measured(fig.criticalNs[k]) : ojson(nullptr); };
  ojson& ph = r["phases"];
  ph["pack"] = {{"seconds", fig.seconds[PACK]}};
  ph["global"] = {{"seconds", fig.seconds[GLOBAL]},
                  {"hpwl", fig.globalHpwl},
                  {"hpwl_before_groups", fig.firstHpwl},
                  {"spread_hpwl", fig.spreadHpwl},
                  {"overflow", fig.overflow},
                  {"critical_path_ns", critical(0)}};
  ph["legalize"] = {{"seconds", fig.seconds[LEGALIZE]}, {"hpwl", fig.legalHpwl}, {"critical_path_ns", critical(1)}};
  ph["detail"] = {{"seconds", fig.seconds[DETAIL]}, {"hpwl", fig.finalHpwl}, {"critical_path_ns", critical(2)}};
  ph["check"] = {{"seconds", fig.seconds[CHECK]}};
  ph["timing"] = {{"seconds", fig.seconds[TIMING]}};
  ph["report"] = {{"seconds", fig.seconds[REPORT]}};
  double total = 0;
  for (double s : fig.seconds) total += s;

  ojson& fin = r["final"];
  fin["hpwl"] = fig.finalHpwl;
  fin["random_hpwl"] = measured(fig.randomHpwl);
  fin["critical_path_ns"] = critical(2);
  fin["fmax_mhz"] = timed ? measured(fig.fmaxMhz) : ojson(nullptr);
  fin["seconds"] = total;
  static const char* const kBoxes[7] = {"0", "1", "2-3", "4-7", "8-15", "16-31", "32+"};
  ojson& boxes = fin["nets_by_box"];
  boxes = ojson::object();
  for (int k = 0; k < 7; ++k) boxes[kBoxes[k]] = fig.boxes[k];

  r["checks"] = {{"drc_errors", fig.drcErrors},
                 {"slot_errors", fig.slotErrors},
                 {"constraint_errors", fig.ruleErrors},
                 {"passed", fig.drcErrors + fig.slotErrors + fig.ruleErrors == 0}};
  r["memory"] = {{"peak_bytes", fig.peakBytes}};
  // The timing report's own keys (timing/report.h), in its order.
  r["timing"] = timed ? ojson::parse(timingJson(*timing).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace))
                      : ojson(nullptr);
  return r;
}

std::string runReportText(const ojson& report) {
  return report.dump(2, ' ', false, ojson::error_handler_t::replace) + "\n";
}

}  // namespace qplace
