// The placer's phases, timers and figures.
#include "qplace/placer.h"

#include <stats/basaptst.h>
#include <support/basapsupp.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <ostream>
#include <random>
#include <sstream>

#include <unistd.h>

#include "qplace/checks.h"
#include "qplace/detail_timing.h"
#include "qplace/memory_budget.h"
#include "qplace/output_files.h"
#include "qplace/picture.h"
#include "qplace/placement_rules.h"
#include "qplace/run_report.h"
#include "qplace/timing/net_weights.h"
#include "qplace/timing/report.h"
#include "host/standin/standin_util.h"
#include "host/ututil.h"

namespace qplace {

namespace {

enum Phase { PACK, GLOBAL, LEGALIZE, DETAIL, CHECK, REPORT, TIMING, PHASES };
const char* const kTimerNames[PHASES] = {"qplace_pack",  "qplace_global", "qplace_legalize", "qplace_detail",
                                         "qplace_check", "qplace_report", "qplace_timing"};

Fabric fabricOf(const designgen::Device& dev, bool halfRule) {
  Fabric f;
  f.dev = dev;
  f.rows = dev.plcRows;
  f.cols = dev.plcCols;
  f.halfRule = halfRule;
  for (standin::Site* s : dev.ioSites) {
    f.ioX.push_back(s->col);
    f.ioY.push_back(s->row);
  }
  return f;
}

}  // namespace

void boxHistogram(const Placement& p, int counts[7]) {
  const Model& m = *p.model;
  for (int k = 0; k < 7; ++k) counts[k] = 0;
  for (int n = 0; n < m.numNets(); ++n) {
    double x0 = 1e300, x1 = -1e300, y0 = 1e300, y1 = -1e300;
    for (int i = m.netStart[n]; i < m.netStart[n + 1]; ++i) {
      const int u = m.netUnits[i];
      x0 = std::min(x0, p.x(u));
      x1 = std::max(x1, p.x(u));
      y0 = std::min(y0, p.y(u));
      y1 = std::max(y1, p.y(u));
    }
    const int box = static_cast<int>((x1 - x0) + (y1 - y0));
    int k = 0;
    while (k < 6 && box >= (1 << k)) ++k;
    ++counts[k];
  }
}

QuadraticPlacer::QuadraticPlacer(standin::Design& d, const PlacerOptions& options)
    : AP_PLACER(&d, nullptr, options.verbosity), d_(d), opt_(options) {
  if (opt_.verbosity >= 1)
    progress_ = Progress([this](const std::string& line) { say(0, line); }, opt_.verbosity >= 2, opt_.heartbeat);
  opt_.detail.seed = opt_.seed;
  opt_.global.seed = opt_.seed;
}

namespace {

// The detailed improvement of `one` run again and again, each run from
// where the one before ended with random streams of its own (the first
// run's those of `one`): `effort` runs in all, whole ones and then one of
// the fraction left's tries; the counts summed. No run returns a longer
// placement than it was given, so a longer series never ends longer than
// a shorter one at the same seed.
DetailResult improveInRuns(Placement& p, const DetailParams& one, double effort, Progress& progress,
                           DetailTiming* timing) {
  DetailResult r;
  for (int k = 0; k < effort; ++k) {
    DetailParams run = one;
    run.seed = one.seed + 0x9e3779b97f4a7c15ULL * static_cast<std::uint64_t>(k);
    const double share = std::min(1.0, effort - k);
    run.annealMoves *= share;
    run.annealCap *= share;
    const DetailResult s = improve(p, run, progress, timing);
    if (k == 0) r.before = s.before;
    r.passes += s.passes;
    r.rounds += s.rounds;
    r.moves += s.moves;
    r.swaps += s.swaps;
    r.clusterSwaps += s.clusterSwaps;
    r.groupTrades += s.groupTrades;
    r.ioMoves += s.ioMoves;
    r.straightened += s.straightened;
    r.restored = r.restored || s.restored;
    r.after = s.after;
  }
  return r;
}

// Lines for standard error, after what standard output holds so far, so
// that a log of both keeps the order.
void toStderr(const std::string& text) {
  std::cout.flush();
  std::fputs(text.c_str(), stderr);
  if (!text.empty() && text.back() != '\n') std::fputc('\n', stderr);
  std::fflush(stderr);
}

// Whether the box file that dumpBBox wrote is whole: the statistics it
// printed count the signals ("SIGBBOX num=N"), the file has a line
// "Signal<number> ..." for each (its header's "Signals=" is no such line),
// and ends with a newline.
bool boxesComplete(const std::string& file, const std::string& stats) {
  const std::string key = "SIGBBOX num=";
  const std::size_t at = stats.find(key);
  if (at == std::string::npos || file.empty() || file.back() != '\n') return false;
  const long expected = std::strtol(stats.c_str() + at + key.size(), nullptr, 10);
  long lines = 0;
  for (std::size_t i = 0; i < file.size(); i = file.find('\n', i) + 1)  // the last byte is a newline
    if (file.compare(i, 6, "Signal") == 0 && i + 6 < file.size() && std::isdigit(static_cast<unsigned char>(file[i + 6])))
      ++lines;
  return lines == expected;
}

// The host's message manager while a report goes to a file: prints and
// manipulators go to the file, errors and fatal reports on to the manager
// it stands in for, which it puts back when it ends.
class FileMessages : public UT_MSGMAN {
public:
  explicit FileMessages(FILE* file) : file_(file), saved_(ut_msgman) { ut_msgman = this; }
  ~FileMessages() override { ut_msgman = saved_; }
  FileMessages(const FileMessages&) = delete;
  FileMessages& operator=(const FileMessages&) = delete;

  void errtext(const char* text, int flag) override { saved_->errtext(text, flag); }
  void fatal(const char* text, const char* tag, const char* source, unsigned short line, const char* version,
             int code, int flag) override {
    saved_->fatal(text, tag, source, line, version, code, flag);
  }
  UT_MSGMAN& manip(std::ostream& (*m)(std::ostream&)) override {
    std::ostringstream os;
    m(os);
    write(os.str().c_str());
    return *this;
  }
  UT_MSGMAN& print(const char* text) override {
    write(text);
    return *this;
  }
  bool ok() const { return ok_; }

private:
  void write(const char* text) {
    if (std::fputs(text, file_) < 0) ok_ = false;
  }
  FILE* file_;
  UT_MSGMAN* saved_;
  bool ok_ = true;
};

// Runs `report` with its prints going to the file at path; false when the
// file cannot be written.
template <class Report>
bool writeReport(const std::string& path, Report report) {
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "w"), &std::fclose);
  if (f == nullptr) return false;
  bool ok;
  {
    FileMessages to(f.get());
    report();
    ok = to.ok();
  }
  return std::fclose(f.release()) == 0 && ok;
}

}  // namespace

void QuadraticPlacer::routeSome(const Fabric& f, AP_SUPP& supp) {
  if (opt_.routeSignals <= 0 || f.dev.wires.tracks == 0) return;
  // Signals with one driver on a component of the device and 1 to 8 loads,
  // the first of each fanout from the largest down, in design order.
  std::vector<standin::Signal*> picked;
  for (int fanout = 8; fanout >= 1 && static_cast<int>(picked.size()) < opt_.routeSignals; fanout /= 2) {
    for (standin::Signal& s : d_.signals) {
      if (s.clocks != 0 || s.routed || s.numDrivers != 1 || static_cast<int>(s.pins.size()) != fanout + 1) continue;
      if (designgen::routeSignal(d_, f.dev, &s)) {
        picked.push_back(&s);
        break;
      }
    }
  }
  // Each one's route from its driver to its last load (to every load with
  // -v), as the library finds it on the routing graph.
  for (standin::Signal* s : picked) {
    const std::vector<PhyPathArc*>* arcs = s->path != nullptr ? s->path->getarcs() : nullptr;
    say(1, neoform("route     signal %s: %zu loads, %zu arcs", s->name.c_str(), s->pins.size() - 1,
                   arcs != nullptr ? arcs->size() : 0));
    if (opt_.verbosity == 0) continue;
    const std::size_t first = opt_.verbosity >= 2 ? 1 : s->pins.size() - 1;
    for (std::size_t k = first; k < s->pins.size(); ++k)
      if (supp.getRoute("  ", s->pins[k], nullptr) == 0) warn(std::string("no route found to ") + s->pins[k]->name());
  }
}

void QuadraticPlacer::say(int level, const std::string& text) {
  if (opt_.verbosity < level) return;
  // Each line flushed, so that a log written to a file or a pipe follows
  // the run.
  ut_msgman->print(text.c_str()).manip(std::endl);
  progress_.printed();
}

void QuadraticPlacer::warn(const std::string& text) { toStderr("qplace: warning: " + text); }

bool QuadraticPlacer::writeFiles(const Placement& p, AP_SUPP& supp, const FileTexts& flowFiles, std::string& error) {
  auto listed = [](const OutputPaths& flow) {
    std::string text;
    for (const std::string& path : flow.paths()) text += ", " + path;
    return text;
  };
  if (opt_.outDir.empty()) {  // the flow's files alone
    OutputPaths flow(nullptr);
    for (const auto& [path, text] : flowFiles)
      if (!flow.write(path, text, error)) return false;
    if (!flow.commit(error)) return false;
    say(1, "files     " + listed(flow).substr(2));
    return true;
  }
  if (!prepareFolder(opt_.outDir, error)) return false;
  OutputFiles out(opt_.outDir);
  const std::string locate = "placement.lct", boxes = "bbox.txt", svg = "placement.svg", png = "placement.png";
  // The placement file: dumpLocate's lines, written into its temporary as
  // they come (a million components make 40 MB of them).
  const std::string locateTemp = out.reserve(locate, error);
  if (locateTemp.empty()) return false;
  if (!writeReport(locateTemp, [&] { supp.dumpLocate(nullptr, 0); })) {
    error = out.path(locate) + ": cannot write: " + std::strerror(errno);
    out.drop(locate);
    return false;
  }
  // A design of nothing to place (every port bit tied to a constant) has
  // no line to list.
  if (!out.adopt(locate, error, p.model->numUnits() == 0)) return false;
  // The boxes: dumpBBox opens its file itself and reports no failure, so it
  // writes into memory and the text is checked whole before it is written
  // out. Their statistics go to the log: by fanout range, and with -v also
  // per fanout.
  std::string boxText;
  standin::messages().capture();
  const bool captured =
      captureFile([&](const std::string& path) { supp.dumpBBox("bounding boxes:", path.c_str()); }, boxText, error);
  std::string stats = standin::messages().take();
  standin::messages().release();
  if (!captured) {
    error = out.path(boxes) + ": " + error;
    return false;
  }
  if (!boxesComplete(boxText, stats)) {
    error = out.path(boxes) + ": the box report came out incomplete";
    return false;
  }
  if (!out.write(boxes, boxText, error)) return false;
  for (const auto& [name, text] : opt_.extraFiles)
    if (!out.write(name, text, error)) return false;
  if (opt_.verbosity < 2) stats = stats.substr(0, stats.find("\n[BBOX Details]"));
  while (!stats.empty() && stats.back() == '\n') stats.pop_back();
  say(1, stats);
  // The picture, and its PNG: a PNG that cannot be written costs the run
  // only a warning.
  if (!out.write(svg, svgPicture(p, opt_.pictureNets), error)) return false;
  std::string pngError;
  const std::string pngTemp = out.reserve(png, pngError);
  const bool pngMade = !pngTemp.empty() && pngPicture(p, opt_.pictureNets, pngTemp, pngError) &&
                       out.adopt(png, pngError);
  if (!pngMade) out.drop(png);
  OutputPaths flow(&out);
  for (const auto& [path, text] : flowFiles)
    if (!flow.write(path, text, error)) return false;
  if (!flow.commit(error)) return false;
  if (!out.commit(error)) {
    flow.removeCommitted();
    return false;
  }
  std::string files = out.path(locate) + ", " + out.path(boxes);
  for (const auto& extra : opt_.extraFiles) files += ", " + out.path(extra.first);
  say(1, "files     " + files + listed(flow));
  say(1, "picture   " + out.path(svg) + (pngMade ? ", " + out.path(png) : ""));
  if (!pngMade) {
    // An earlier run's picture would pass for this run's.
    const bool stale = ::unlink(out.path(png).c_str()) == 0;
    warn("no PNG: " + pngError + (stale ? " (the earlier " + out.path(png) + " removed)" : ""));
  }
  return true;
}

bool QuadraticPlacer::apMain() {
  AP_TST tst;
  tst.load(nullptr, PHASES, kTimerNames);
  auto fail = [&](const std::string& why) {
    figures_.error = why;
    toStderr("qplace: error: " + why);
    return false;
  };

  if (!(opt_.effort > 0 && opt_.effort <= 1000))
    return fail(neoform("the effort must be a number in (0, 1000], not %g", opt_.effort));
  const TimingDrivenParams& td = opt_.timingDriven;
  if (!(td.tradeoff >= 0 && td.tradeoff <= 1))
    return fail(neoform("the timing trade-off must be a number in [0, 1], not %g", td.tradeoff));

  // ---- pack
  tst.start(PACK);
  Model m = packDesign(d_);
  Fabric f = opt_.device != nullptr ? fabricOf(*opt_.device, d_.info.halfPlcRegRule)
                                    : makeFabric(d_, m, opt_.fill, opt_.rows, opt_.cols, opt_.halfRule);
  tst.sleep(PACK);
  figures_.units = m.numUnits();
  figures_.nets = m.numNets();
  figures_.pairs = m.numOf(UNIT_PAIR);
  figures_.controlSets = m.numCtrl;
  figures_.rows = f.rows;
  figures_.cols = f.cols;
  figures_.luts = m.numOf(UNIT_PAIR) + m.numOf(UNIT_LUT);
  figures_.registers = m.numOf(UNIT_PAIR) + m.numOf(UNIT_REG);
  figures_.ios = m.numOf(UNIT_IO);
  figures_.ioSites = f.numIoSites();
  figures_.halfRule = f.halfRule;
  figures_.seconds[PACK] = tst.report(PACK);
  say(1, neoform("pack      %7.3f s  %d units (%d LUT+register pairs, %d LUTs, %d registers, %d I/O), %d nets, %d control sets; device %d x %d clusters, %d I/O sites; register groups: %d needed of %d",
                 tst.report(PACK), m.numUnits(), m.numOf(UNIT_PAIR), m.numOf(UNIT_LUT), m.numOf(UNIT_REG),
                 m.numOf(UNIT_IO), m.numNets(), m.numCtrl, f.rows, f.cols, f.numIoSites(),
                 registerGroupsNeeded(m, f.halfRule), f.numGroups()));
  if (m.numOf(UNIT_IO) > f.numIoSites())
    return fail(neoform("the device is too small: %d I/O components for %d I/O sites", m.numOf(UNIT_IO),
                        f.numIoSites()));
  // The logic's room too, before global placement spends its time (a
  // device given by its size; legalization checks it again).
  const std::string shortage = logicRoomShortage(f, figures_.luts, registerGroupsNeeded(m, f.halfRule));
  if (!shortage.empty()) return fail(shortage);

  // The constraints and kept locations, against the device just made.
  PlacementRules rules;
  if (opt_.constraints != nullptr && !opt_.constraints->empty()) {
    std::string why;
    std::vector<std::string> warnings;
    const bool resolved = resolveRules(*opt_.constraints, m, f, rules, why, warnings);
    for (const std::string& w : warnings) warn(w);
    if (!resolved) return fail(why);
    std::string line;
    auto part = [&](int n, const char* what) {
      if (n > 0) line += neoform("%s%d %s", line.empty() ? "" : ", ", n, what);
    };
    part(rules.setIo, "port bits on their sites");
    part(rules.fixedCells, "cells fixed");
    if (rules.regionCells > 0)
      line += neoform("%s%d cells in %zu region%s", line.empty() ? "" : ", ", rules.regionCells, rules.regions.size(),
                      rules.regions.size() == 1 ? "" : "s");
    part(rules.kept, "cells and port bits kept where the netlist places them");
    if (!line.empty()) say(1, "rules     " + line);
  }

  // One control set or none: no register-group rounds, slower spreading
  // (see PlacerOptions::oneSetAnchorGrowth).
  if (m.numCtrl <= 1 && m.numUnits() <= opt_.largeDesign) {
    opt_.groupRounds = 0;
    opt_.global.anchorGrowth = std::min(opt_.global.anchorGrowth, opt_.oneSetAnchorGrowth);
  }
  if (m.numUnits() > opt_.largeDesign) {
    opt_.global.anchorGrowth = std::max(opt_.global.anchorGrowth, 1.5);
    // The spreading solves stopped ten times sooner: each starts from the
    // positions before it and is held by its anchors (1e6 seeds 1 and 2:
    // 15% fewer conjugate-gradient passes, final wirelength -0.06% and
    // -0.16%; 4e6 +0.18%). The plain passes before spreading keep their
    // measure: stopped sooner, they leave 4e6 too far from converged for
    // its spreading.
    if (opt_.global.initialTolerance <= 0) opt_.global.initialTolerance = opt_.global.cgTolerance;
    opt_.global.cgTolerance = std::max(opt_.global.cgTolerance, 1e-5);
    opt_.groupStartShare = std::max(opt_.groupStartShare, 0.2);
    opt_.detail.maxPasses = std::min(opt_.detail.maxPasses, 1);
    // One greedy pass after the annealing, on both threads: its short
    // schedule ends far from where the pass takes the placement (1e6 seed
    // 1: 2,114,165 without, 2,052,883 with one, 2,030,333 with up to three
    // for three times the phase's added time).
    opt_.detail.finalPasses = std::min(opt_.detail.finalPasses, 1);
    // A measure between the renewals costs a whole analysis, more than a
    // round of this short annealing.
    opt_.detail.timingMeasures = 0;
    // Each straightening move looks at every end of the design several
    // times: a cost that grows with the design, not with its path.
    opt_.detail.straightenMoves = 0;
    opt_.detail.annealCap = std::min(opt_.detail.annealCap, 5e6);
    opt_.timingDriven.reweighEvery = std::max(opt_.timingDriven.reweighEvery, 8);
  }
  // A design the floor lengthens spends its effort as runs of the
  // schedule of effort 1 (see PlacerOptions::minAnnealTries).
  bool onFloor = false;
  if (m.numUnits() > 0 && opt_.minAnnealTries / m.numUnits() > opt_.detail.annealMoves) {
    onFloor = true;
    opt_.detail.annealMoves = opt_.minAnnealTries / m.numUnits();
  }
  const DetailParams effortOne = opt_.detail;
  opt_.detail.annealMoves *= opt_.effort;
  opt_.detail.annealCap *= opt_.effort;
  Progress& progress = progress_;

  // Timing: the graph and the device's delay table, once; then an analysis
  // after each phase, its critical path on the phase's line.
  std::unique_ptr<DesignTiming> timing;
  if (opt_.timing) {
    tst.start(TIMING);
    timing = std::make_unique<DesignTiming>(d_, m, f.dev, opt_.timingSettings, opt_.global.threads);
    timing->analysis.setThreads(opt_.global.threads);
    tst.sleep(TIMING);
    // A period for a clock the design does not have is most likely a
    // misspelt name: said, as the run goes on without it.
    const std::vector<standin::Signal*>& clocks = timing->graph.clocks;
    std::string listed;
    for (std::size_t k = 0; k < clocks.size() && k < 10; ++k) listed += (k == 0 ? "" : ", ") + clocks[k]->name;
    if (clocks.size() > 10) listed += ", ...";
    for (const auto& entry : opt_.timingSettings.periods.byClock)
      if (std::none_of(clocks.begin(), clocks.end(), [&](const standin::Signal* c) { return c->name == entry.first; }))
        warn("no clock net " + entry.first + " in the design, its period is not used (" +
             (listed.empty() ? std::string("the design has no clock") : "its clocks: " + listed) + ")");
  }
  const bool graphDropped = opt_.dropRoutingGraph && opt_.device != nullptr && opt_.device->wires.tracks > 0;
  if (graphDropped) {
    d_.dropRoutingGraph();
    releaseFreeMemory();
  }
  auto analysed = [&](int phase, auto&& setPositions) {
    if (!timing) return std::string();
    tst.start(TIMING);
    setPositions(timing->analysis);
    timing->analysis.analyse();
    tst.sleep(TIMING);
    const int k = timing->analysis.worstDomain();
    figures_.criticalNs[phase] = k >= 0 ? timing->analysis.domain(k).delay / 1000 : 0;
    figures_.fmaxMhz = k >= 0 ? timing->analysis.domain(k).mhz() : 0;
    return criticalPathFigure(timing->analysis);
  };

  // Timing-driven placement: the nets' weights and the critical
  // connections' pairs taken afresh from an analysis of the current
  // positions a few times during spreading, on the model that spreading
  // reads (the register-group rounds' has more nets).
  const bool timingDriven = timing != nullptr && td.tradeoff > 0;
  Model* weighted = &m;
  GlobalPlacer::Reweigh reweigh;
  if (timingDriven)
    reweigh = [&](const GlobalResult& r) {
      timing->analysis.setPositions(r.x, r.y);
      timing->analysis.setLoosePorts(true);
      timing->analysis.analyse();
      timing->analysis.setLoosePorts(false);
      const double boost = 2 * td.tradeoff * globalTimingShare(timing->analysis, td.portsGlobalShare);
      setTimingWeights(timing->analysis, *weighted, boost * td.netBoost, td.netExponent, weighted->netWeight);
      setCriticalPairs(timing->analysis, boost * td.pairBoost, td.pairExponent, td.pairFloor, weighted->pairUnits,
                       weighted->pairWeight);
    };

  // ---- global
  tst.start(GLOBAL);
  Placement p(f, m);
  if (rules.any()) {
    p.rules = &rules;
    placeFixed(rules, p);
  }
  double ioSideBySide = 0;
  // A large design places its I/O from a placement of clusters of its
  // units.
  IoPlacement io;
  io.threads = opt_.global.threads;
  io.sideBySide = &ioSideBySide;
  io.coarseAbove = opt_.largeDesign;
  if (!placeIos(m, f, p, io)) return fail("the device is too small: no room for the I/O components");
  GlobalResult g;
  int rounds = 0;
  {
    // The global placer and its systems live for this phase only.
    GlobalPlacer gp(m, f, p, opt_.global);
    // Spreading's nets: the design's and, for a memory array, a light net
    // over each word.
    Model withWords;
    Model* spreadOn = &m;
    if (opt_.arrayWordWeight > 0) {
      const std::vector<std::vector<int>> words = arrayWords(m, opt_.arrayWords);
      if (!words.empty()) {
        std::size_t units = 0;
        for (const std::vector<int>& w : words) units += w.size();
        say(1, neoform("arrays    %zu words of memory arrays (%zu units) held together in global placement",
                       words.size(), units));
        withWords = netsOf(m);
        addNets(withWords, words, opt_.arrayWordWeight);
        spreadOn = weighted = &withWords;
      }
    }
    gp.run(*spreadOn, opt_.global.anchorStart, 0.0, progress, reweigh, td.reweighEvery);
    figures_.firstHpwl = hpwl(m, gp.result().x, gp.result().y);
    for (; rounds < opt_.groupRounds; ++rounds) {
      std::vector<std::vector<int>> groups;
      {
        Placement trial = p;
        if (!legalize(trial, gp.result().x, gp.result().y, opt_.legal).ok) break;  // reported below
        groups = registerGroups(trial);
      }
      // Spreading reads the nets alone: no copy of the units.
      // The round's model takes the net weights as they stand; its pairs
      // come with its first renewal (measured a little better than taking
      // the last pairs along, within the seeds' spread).
      Model grouped = netsOf(*spreadOn);
      addNets(grouped, groups, opt_.groupNetWeight);
      const double last = gp.result().weight;
      weighted = &grouped;
      gp.run(grouped, std::max(opt_.global.anchorStart, opt_.groupStartShare * last), last, progress, reweigh,
             td.reweighEvery);
      weighted = spreadOn;
    }
    g = gp.result();
    weighted = &m;
  }
  m.netWeight.clear();  // the nets weigh alike from here on, and the pairs go
  m.pairUnits.clear();
  m.pairWeight.clear();
  tst.sleep(GLOBAL);
  figures_.groupRounds = rounds;
  figures_.globalHpwl = g.hpwl = hpwl(m, g.x, g.y);
  figures_.spreadHpwl = g.spreadHpwl = hpwl(m, g.ax, g.ay);
  figures_.overflow = g.overflow;
  figures_.globalSideBySide = ioSideBySide + g.sideBySide;
  figures_.seconds[GLOBAL] = tst.report(GLOBAL);
  const std::string globalTiming = analysed(0, [&](TimingAnalysis& a) { a.setPositions(g.x, g.y); });
  say(1, neoform("global    %7.3f s  hpwl %.0f (%.0f before %d register-group round%s), overflow %.3f (target %.2f), %d spreading iterations, %d solves, %ld CG passes",
                 tst.report(GLOBAL), g.hpwl, figures_.firstHpwl, rounds, rounds == 1 ? "" : "s", g.overflow, opt_.global.targetOverflow,
                 g.iterations, g.solves, g.cgPasses) + globalTiming);

  // ---- legalize
  tst.start(LEGALIZE);
  LegalizeResult lr = legalize(p, g.x, g.y, opt_.legal);
  tst.sleep(LEGALIZE);
  figures_.seconds[LEGALIZE] = tst.report(LEGALIZE);
  if (!lr.ok) return fail(lr.error);
  figures_.legalHpwl = hpwl(p);
  const std::string legalTiming = analysed(1, [&](TimingAnalysis& a) { a.setPositions(p); });
  say(1, neoform("legalize  %7.3f s  hpwl %.0f, %d windows, %d units carried on, %d placed by nearest search, mean displacement %.2f",
                 tst.report(LEGALIZE), figures_.legalHpwl, lr.windows, lr.carried, lr.fallback, lr.displacement) + legalTiming);

  // ---- detail
  tst.start(DETAIL);
  std::unique_ptr<DetailTiming> detailCost;
  if (timingDriven)
    detailCost = std::make_unique<DetailTiming>(timing->analysis, timing->table, td.annealShare * td.tradeoff, td.annealExponent);
  const DetailResult dr = onFloor && opt_.effort > 1
                             ? improveInRuns(p, effortOne, opt_.effort, progress, detailCost.get())
                             : improve(p, opt_.detail, progress, detailCost.get());
  tst.sleep(DETAIL);
  figures_.finalHpwl = hpwl(p);
  figures_.seconds[DETAIL] = tst.report(DETAIL);
  const std::string detailTiming = analysed(2, [&](TimingAnalysis& a) { a.setPositions(p); });
  // neoform's text lasts until its next call: the part copied out first.
  const std::string straightened =
      dr.straightened > 0 ? std::string(neoform(", %d kept of the critical path's straightening", dr.straightened)) : "";
  say(1, neoform("detail    %7.3f s  hpwl %.0f, %d passes, %d annealing rounds, %ld moves, %ld swaps, %ld cluster swaps, %ld group trades, %ld I/O moves%s%s",
                 tst.report(DETAIL), figures_.finalHpwl, dr.passes, dr.rounds, dr.moves, dr.swaps, dr.clusterSwaps,
                 dr.groupTrades, dr.ioMoves,
                 straightened.c_str(),
                 dr.restored ? " (best placement seen restored)" : "") + detailTiming);

  // ---- check: the library's packing rules, then the slots
  tst.start(CHECK);
  p.writeTo(d_);
  AP_SUPP supp(&d_);
  const int drc = supp.drcAllSite(0, 1);
  CheckResult cr = checkPlacement(d_);
  std::vector<std::string> ruleFaults;
  const int ruleErrors = rules.any() ? checkRules(rules, *opt_.constraints, ruleFaults) : 0;
  tst.sleep(CHECK);
  figures_.checkErrors = drc + cr.errors + ruleErrors;
  figures_.drcErrors = drc;
  figures_.slotErrors = cr.errors;
  figures_.ruleErrors = ruleErrors;
  figures_.seconds[CHECK] = tst.report(CHECK);
  say(1, neoform("check     %7.3f s  drcAllSite: %d errors; slots: %d errors", tst.report(CHECK), drc, cr.errors) +
             (rules.any() ? neoform("; constraints: %d errors", ruleErrors) : std::string()));
  for (const std::string& s : cr.first) toStderr("  " + s);
  for (const std::string& s : ruleFaults) toStderr("  " + s);
  if (figures_.checkErrors != 0)
    return fail(neoform("the placement fails its checks with %d errors", figures_.checkErrors));

  // ---- timing: the report of the final placement, analysed after detail
  if (timing) {
    tst.start(TIMING);
    std::string report = timingReport(timing->analysis);
    tst.sleep(TIMING);
    figures_.seconds[TIMING] = tst.report(TIMING);
    const TimingGraph& tg = timing->graph;
    const int domains = timing->analysis.numDomains();
    say(1, neoform("timing    %7.3f s  %d domain%s, %d timing nodes, %d connections, %zu loops cut",
                   tst.report(TIMING), domains, domains == 1 ? "" : "s", tg.numNodes(), tg.numEdges(),
                   tg.cutEdges.size()));
    while (!report.empty() && report.back() == '\n') report.pop_back();
    say(1, report);
  }
  // Timing is done unless the run report wants it: its memory goes before
  // the files are made (and the routing graph made again).
  if (opt_.reportJson.empty()) {
    detailCost.reset();
    timing.reset();
  }

  // The figures the files report.
  if (opt_.baseline) {
    Placement q = p;
    if (randomPlacement(q, opt_.seed)) figures_.randomHpwl = hpwl(q);
  }
  int* const hist = figures_.boxes;
  boxHistogram(p, hist);

  // ---- report
  tst.start(REPORT);
  if (graphDropped && opt_.routeSignals > 0) {
    releaseFreeMemory();  // what the placement phases freed, before the graph takes its room again
    designgen::remakeRouting(d_, *opt_.device);
  }
  routeSome(f, supp);
  std::vector<std::pair<std::string, std::string>> flowFiles;  // path, text
  std::string err;
  for (const PlacedFile& pf : opt_.placedFiles) {
    flowFiles.emplace_back(pf.path, std::string());
    if (!pf.make(flowFiles.back().second, err)) {
      tst.sleep(REPORT);
      return fail(err + "; no file of this run was kept");
    }
  }
  if (!opt_.reportJson.empty()) {
    tst.sleep(REPORT);  // the time so far
    figures_.seconds[REPORT] = tst.report(REPORT);
    tst.start(REPORT);
    figures_.peakBytes = UT_MEM_USAGE::getPeakMemoryUsage();
    const RunInfo none;
    flowFiles.emplace_back(opt_.reportJson, runReportText(runReport(opt_.runInfo != nullptr ? *opt_.runInfo : none,
                                                                    figures_, rules.any() ? &rules : nullptr,
                                                                    timing ? &timing->analysis : nullptr)));
  }
  if ((!opt_.outDir.empty() || !flowFiles.empty()) && !writeFiles(p, supp, flowFiles, err)) {
    tst.sleep(REPORT);
    return fail(err + "; no file of this run was kept");
  }
  tst.sleep(REPORT);
  figures_.seconds[REPORT] = tst.report(REPORT);

  // ---- figures
  const double nets = std::max(1, m.numNets());
  say(1, neoform("wirelength: global %.0f, spread %.0f, legalized %.0f, final %.0f (final/global %.3f)",
                 figures_.globalHpwl, figures_.spreadHpwl, figures_.legalHpwl, figures_.finalHpwl,
                 figures_.finalHpwl / std::max(1.0, figures_.globalHpwl)));
  if (figures_.randomHpwl > 0)
    say(1, neoform("random legal placement: %.0f (final/random %.3f)", figures_.randomHpwl,
                   figures_.finalHpwl / figures_.randomHpwl));
  say(1, neoform("nets by box size: 0: %.1f%%, 1: %.1f%%, 2-3: %.1f%%, 4-7: %.1f%%, 8-15: %.1f%%, 16-31: %.1f%%, 32+: %.1f%%",
                 100 * hist[0] / nets, 100 * hist[1] / nets, 100 * hist[2] / nets, 100 * hist[3] / nets,
                 100 * hist[4] / nets, 100 * hist[5] / nets, 100 * hist[6] / nets));
  if (opt_.verbosity >= 1) tst.print(-10, 3, "time:", true);
  return true;
}

}  // namespace qplace
