// The timing report of an analysed placement: the critical path of every
// domain, the worst one's path stage by stage, a slack histogram, the
// loops cut; as text and as JSON.
//
// The text, times in nanoseconds (3 decimals), frequencies in MHz (1):
//
//   critical path: 7.412 ns (134.9 MHz)
//     clock clk, rising edge: 7.412 ns (134.9 MHz), 1597 ends
//     ports: 5.120 ns (195.3 MHz), 310 ends
//   critical path of clock clk, rising edge:
//     cell      pin  location   delay  arrival
//     state_q   Q    R3C7B.R0   0.300    0.300
//     n_1234    A    R3C8A.L0   0.600    0.900
//     n_1234    Z    R3C8A.L0   0.280    1.180
//     ...
//     out_q     D    R10C2C.R1  0.800    7.262
//     setup                     0.150    7.412
//   slack histogram, 1907 ends:
//     [0.000, 0.741) ns      12  ###
//     ...
//
// The first line is the worst clock domain's (the ports domain's when no
// clock domain has a timed path; "critical path: none" when nothing is
// timed), then one line per domain: its critical path's delay and the
// frequency that path allows ("half period" when it runs between the two
// edges of its clock, and needs twice its delay as the period), the period
// and worst slack when a period was given, and its ends with a timed path
// ("no timed path" for none). The worst domain's path follows: the start
// (clock to Q, or io_in), each connection into a cell's input and each
// LUT, the end's input, and the setup (or io_out) whose arrival is the
// path's delay; locations are site and slot of the placed component. The
// histogram has up to 10 equal bins from the least to the largest slack
// of an end (the last one closed), each with its count and a bar of up to
// 40 marks. Then, when there are any, "combinational loops: N cut, at
// <cell> input <pin>, ..." (the first 3) and "ends reached from an
// unrelated clock, not timed from it: N".
#ifndef QPLACE_TIMING_REPORT_H
#define QPLACE_TIMING_REPORT_H

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "qplace/timing/analysis.h"

namespace qplace {

struct PathStage {
  const standin::Comp* comp = nullptr;  // null for the closing setup or io_out
  int pin = -1;                         // component pin
  double delay = 0, arrival = 0;        // ps
};

// The critical path of a timed domain, stage by stage as in the report.
std::vector<PathStage> criticalPath(const TimingAnalysis& a, int domain);

// "critical path: 7.412 ns (134.9 MHz)", or "critical path: none".
std::string criticalPathLine(const TimingAnalysis& a);
// For the placer's progress lines: ", critical path 7.412 ns", or "" when
// nothing is timed.
std::string criticalPathFigure(const TimingAnalysis& a);

// The whole report, lines ending in '\n'. O(nodes x domains).
std::string timingReport(const TimingAnalysis& a);

// The same figures for a JSON run report: critical_path_ns, fmax_mhz,
// domains (name, critical_path_ns, fmax_mhz, half_period, period_ns and
// worst_slack_ns when given, ends), path (cell, pin, location, delay_ns,
// arrival_ns), slack_histogram (from_ns, to_ns, ends), loops_cut,
// unrelated_ends.
nlohmann::json timingJson(const TimingAnalysis& a);

}  // namespace qplace

#endif
