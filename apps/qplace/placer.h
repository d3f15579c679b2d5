// QuadraticPlacer: the placer of the main job, built on the library.
//
// apMain runs, each phase timed with AP_TST (processor time of the process,
// which a busy machine does not inflate):
//   pack     units and unit nets (packing.h), the device when none is given
//   global   I/O on the border, bound-to-bound quadratic placement, spreading;
//            then again with the register groups of a trial legalization
//            drawn together by nets of their own
//   legalize window matching with the register rules (legalize.h)
//   detail   moves and swaps on the wirelength, on detail.threads threads
//            (detail.h)
//   check    the library's packing rules (AP_SUPP::drcAllSite) and the
//            slot check (checks.h)
//   timing   (unless turned off) static timing analysis of the placement
//            and its report (timing/report.h); the analyses after global
//            placement, legalization and detail, whose critical path each
//            phase's line shows, count here too
//   report   a few signals routed on the routing graph and their routes
//            printed (AP_SUPP::getRoute); when an
//            output folder is given, the placement file (AP_SUPP::dumpLocate),
//            the bounding boxes (AP_SUPP::dumpBBox, whose statistics are
//            printed) and the picture, written under temporary names and
//            renamed into place together once all are complete
//            (output_files.h)
// and prints one progress line per phase, the wirelength figures and the
// timer statistics with the peak memory through the host's message manager,
// each line flushed. Errors and warnings go to standard error ("qplace:
// error: ...", "qplace: warning: ..."), after a flush of standard output so
// that a log of both keeps their order. A long phase prints a line every `heartbeat` seconds;
// with verbosity 2 every spreading iteration and improvement pass too.
#ifndef QPLACE_PLACER_H
#define QPLACE_PLACER_H

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <placer/basapplacer.h>
#include <support/basapsupp.h>

#include "qplace/array_words.h"
#include "qplace/detail.h"
#include "qplace/legalize.h"
#include "qplace/timing/design_timing.h"

namespace qplace {

struct Constraints;
struct RunInfo;

// A file made from the placed design (the placed netlist, for one): its
// path, anywhere, and the maker of its text, called once the placement has
// passed its checks; false (with the reason) fails the run.
struct PlacedFile {
  std::string path;
  std::function<bool(std::string& text, std::string& error)> make;
};

// Timing-driven placement, with timing on: the slacks of an analysis of the
// placement as it goes weigh the nets of global placement and add pairs
// for its critical connections (timing/net_weights.h), and enter the
// detailed improvement's prices (detail_timing.h).
struct TimingDrivenParams {
  // F in [0, 1]: the share of timing against wirelength. 0 places on
  // wirelength alone, the placement of a run without timing; the net
  // weights' and the pairs' boosts grow as 2F, the detailed improvement's
  // prices weigh timing by annealShare x F against the wirelength's
  // 1 - annealShare x F. apMain fails outside [0, 1]. 0.3 shortened the
  // critical path of the designs measured by 14 to 30% for at most 5% more
  // wirelength (README).
  double tradeoff = 0.3;
  // Sharp net weights in global placement (only the nets near the critical
  // path weigh much more), a pair for each connection very near the
  // critical path (it draws the critical load to its driver, not the
  // whole net), and in the improvement a lighter timing share on sharper
  // connection weights. Against the net weights alone (boost 8), share 5/6
  // and exponent 12, the designs that gained least, nerv and aes, went
  // from -12.8% and -11.4% to -15.9% and -14.5% over seeds 1 to 8, for
  // a point more wirelength on each (docs/design-notes.md).
  double netBoost = 5.6;        // at F = 0.5, a net of criticality 1 weighs 1 + netBoost
  double netExponent = 8;       // of the criticality, for the net weights
  double pairBoost = 4;         // at F = 0.5, a connection of criticality 1 pairs with weight pairBoost
  double pairExponent = 24;     // of the criticality, for the pairs' weights
  double pairFloor = 0.05;      // pairs of a lighter weight are left out
  // Of the two boosts, when no clock domain is timed and the critical path
  // runs between ports (timing/net_weights.h: globalTimingShare). Over seeds
  // 1 to 12 of C7552_lev2 and 1 to 16 of alu4_lev2, the two designs without
  // registers, the full boosts gave -20.2% and -15.6% critical path for
  // +5.1% and +3.3% wirelength, half of them -18.9% and -16.2% for +4.1% and
  // +2.7%, none -17.1% and -15.2% for +3.2% and +2.0% (docs/design-notes.md).
  double portsGlobalShare = 0.5;
  int reweighEvery = 4;         // spreading iterations between re-weightings
  double annealExponent = 16;   // of the criticality, for the prices' connection weights
  // Of F, for the prices and the best placement kept: 7/8 against 3/4
  // took nerv, aes and alu4_lev2 from -15.5%, -15.4% and -13.6% to -17.1%,
  // -15.5% and -15.9% over seeds 1 to 8, for 0.2 to 0.5 points more
  // wirelength (docs/design-notes.md).
  double annealShare = 0.875;
};

// The least number of annealing tries that the qplace command line asks
// for (PlacerOptions::minAnnealTries).
constexpr double kCommandLineAnnealTries = 1.25e6;

struct PlacerOptions {
  // Device: sized for the design at `fill` unless rows and cols are given;
  // ignored when `device` is set (a device already in the design).
  int rows = 0, cols = 0;
  double fill = 0.7;
  bool halfRule = false;
  const designgen::Device* device = nullptr;

  std::uint64_t seed = 1;        // of the global start, the annealing and the random baseline placement
  bool baseline = true;          // measure a random legal placement too
  std::string outDir;            // picture and reports; empty for none
  // More files for the output folder, written and committed with the
  // placement's own (name in the folder, text): the names map of a netlist
  // whose names had to change, for one.
  std::vector<std::pair<std::string, std::string>> extraFiles;
  // Files of the flow, at paths of their own (a path in the output folder
  // joins the folder's files), written and committed with the placement's:
  // those made from the placed design, and the JSON run report
  // (run_report.h) when `reportJson` names it, with `runInfo`.
  std::vector<PlacedFile> placedFiles;
  std::string reportJson;
  const RunInfo* runInfo = nullptr;
  // Port bits on given sites, cells fixed or kept in rectangles, kept
  // locations (constraints.h, placement_rules.h); null for none. Resolved
  // once the device is made: a bad constraint fails the run before global
  // placement; every one is checked after placement.
  const Constraints* constraints = nullptr;
  int verbosity = 1;             // 0 quiet, 1 phases and figures, 2 every step
  double heartbeat = 5;          // seconds between the progress lines of a long phase
  int pictureNets = 3;
  int routeSignals = 3;          // signals routed on the device's routing graph and printed
  // With `device` set, its routing graph is dropped from the design once
  // timing has its delay table (Design::dropRoutingGraph) and made again
  // (designgen::remakeRouting) only to route the signals above: nothing
  // reads it in between, and it is about a quarter of a generated design's
  // memory. Pointers into the graph dangle from the start of apMain.
  bool dropRoutingGraph = false;

  // Time for quality: scales the detailed improvement's annealing (attempts
  // per unit and the cap on attempts, the large-design cap included), so the
  // detail phase takes about `effort` times as long; a long schedule has
  // more rounds and starts warmer (detail.h). 1 gives the default
  // schedule; apMain fails, before any work, outside (0, 1000].
  double effort = 1;
  // A small design anneals at least this many tries in all (times the
  // effort), however few its units; designs of more than minAnnealTries /
  // DetailParams::annealMoves units (2,380 at qplace's) are not affected.
  // qplace asks for kCommandLineAnnealTries (about 0.4 s; a design of 300
  // units gains 4% to 5%); 0, the default here, for none.
  //
  // Such a design's effort above 1 is spent as runs of the detailed
  // improvement of effort 1, each from where the one before ended (the
  // last run of the fraction left, if any). Its annealing is long already
  // (thousands of tries a unit) and a longer one gained no more than the
  // seeds' spread (C880, seeds 1 to 9: 249.7 at effort 1, 255.2 at 2,
  // 250.1 at 8); the runs gain (248.7 at 2, 245.4 at 8), and at a seed no
  // effort ends longer than a smaller whole one.
  double minAnnealTries = 0;

  // Designs of more units than this get a shorter schedule, to keep the run
  // within minutes at a million components: anchors growing by 1.5 a
  // spreading iteration, spreading solves stopped at a measure of 1e-5
  // (GlobalParams::cgTolerance; the plain passes before it keep theirs),
  // the register-group round starting at a fifth of
  // the last anchor weight, one greedy improvement pass before the
  // annealing and none after it, at most 5 million annealing attempts, and
  // timing-driven net weights renewed every 8 spreading iterations at most;
  // their I/O placed from a placement of clusters of their units (see
  // IoPlacement).
  int largeDesign = 300000;

  GlobalParams global;
  // Rounds of register-group-aware global placement: a trial legalization
  // of the last solution groups the registers; each group becomes a net of
  // this weight, and spreading runs again with those nets, from the first
  // anchor weight up to at least the last one.
  int groupRounds = 1;
  double groupNetWeight = 1.0;
  // A round starts at the first anchor weight, or at this share of the
  // last one when that is higher.
  double groupStartShare = 0.0;
  // A design of at most largeDesign units whose registers are all of one
  // control set (or that has none) skips the register-group rounds: any
  // group takes any of its registers, so the trial groups would only tie
  // registers that legalization groups however they lie. It spends their
  // time on slower spreading instead, its anchors growing by this factor
  // an iteration (when it is below global.anchorGrowth).
  double oneSetAnchorGrowth = 1.2;
  // The words of memory arrays (array_words.h) held together in global
  // placement, each by a net over its units of this weight; 0 for none.
  double arrayWordWeight = 0.04;
  ArrayWordParams arrayWords;
  LegalizeParams legal;
  DetailParams detail;

  // Static timing: the critical path on the phase lines and the report
  // after the check; the delay figures, clock periods and register edges.
  bool timing = true;
  TimingSettings timingSettings;
  TimingDrivenParams timingDriven;
};

// What a run measured. Wirelengths are half perimeters in rows plus columns
// over the unit nets (clock nets excluded).
struct PlacerFigures {
  int units = 0, nets = 0, pairs = 0, controlSets = 0;
  int rows = 0, cols = 0;
  double firstHpwl = 0;    // quadratic solution before the register-group rounds
  int groupRounds = 0;     // register-group rounds run
  double globalHpwl = 0;   // last quadratic solution
  double spreadHpwl = 0;   // its rough legalization
  double overflow = 0;
  double legalHpwl = 0;
  double finalHpwl = 0;
  double randomHpwl = 0;   // random legal placement, 0 when not measured
  int checkErrors = -1;
  int drcErrors = 0, slotErrors = 0, ruleErrors = 0;  // the checks by kind
  // Design and device counts: LUT and register components, I/O units, I/O sites.
  int luts = 0, registers = 0, ios = 0, ioSites = 0;
  bool halfRule = false;
  int boxes[7] = {0, 0, 0, 0, 0, 0, 0};  // nets by box size (boxHistogram)
  std::uint64_t peakBytes = 0;           // of the process, when the files are made
  double seconds[7] = {0, 0, 0, 0, 0, 0, 0};  // per phase: pack, global, legalize, detail, check, report, timing
  // Critical path (worst clock domain) after global placement,
  // legalization and detail, ns, and the frequency of the last; 0 without
  // timing or a timed path.
  double criticalNs[3] = {0, 0, 0};
  double fmaxMhz = 0;
  double globalSideBySide = 0;  // of seconds[1], spent on a second thread beside the first (GlobalResult)
  std::string error;       // why apMain failed
};

class QuadraticPlacer : public AP_PLACER {
public:
  QuadraticPlacer(standin::Design& d, const PlacerOptions& options);

  // Places the design; false (with figures().error set and reported) when
  // the device is too small, the result fails its check, or the output
  // files cannot be written (then none of this run's is left).
  bool apMain() override;

  const PlacerFigures& figures() const { return figures_; }

private:
  void say(int level, const std::string& text);
  void warn(const std::string& text);
  using FileTexts = std::vector<std::pair<std::string, std::string>>;  // path, text
  bool writeFiles(const Placement& p, AP_SUPP& supp, const FileTexts& flowFiles, std::string& error);
  void routeSome(const Fabric& f, AP_SUPP& supp);

  standin::Design& d_;
  PlacerOptions opt_;
  PlacerFigures figures_;
  Progress progress_;
};

// Net share by box size of a placement: counts of nets whose half perimeter
// is 0, 1, 2-3, 4-7, 8-15, 16-31, 32 and more.
void boxHistogram(const Placement& p, int counts[7]);

}  // namespace qplace

#endif
