// The placer's phases, timers and figures.
#include "qplace/placer.h"

#include <stats/basaptst.h>
#include <support/basapsupp.h>

#include <cmath>
#include <cstdio>
#include <ostream>
#include <random>
#include <sys/stat.h>

#include "qplace/checks.h"
#include "qplace/picture.h"
#include "host/standin/standin_util.h"
#include "host/ututil.h"

namespace qplace {

namespace {

enum Phase { PACK, GLOBAL, LEGALIZE, DETAIL, CHECK, REPORT, PHASES };
const char* const kTimerNames[PHASES] = {"qplace_pack",  "qplace_global", "qplace_legalize",
                                         "qplace_detail", "qplace_check", "qplace_report"};

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

bool writeFile(const std::string& path, const std::string& text) {
  FILE* f = std::fopen(path.c_str(), "w");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  return std::fclose(f) == 0 && ok;
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
      if (supp.getRoute("  ", s->pins[k], nullptr) == 0) say(0, "qplace: warning: no route found to " + s->pins[k]->name);
  }
}

void QuadraticPlacer::say(int level, const std::string& text) {
  if (opt_.verbosity < level) return;
  // Each line flushed, so that a log written to a file or a pipe follows
  // the run.
  ut_msgman->print(text.c_str()).manip(std::endl);
  progress_.printed();
}

bool QuadraticPlacer::apMain() {
  AP_TST tst;
  tst.load(nullptr, PHASES, kTimerNames);
  auto fail = [&](const std::string& why) {
    figures_.error = why;
    ut_msgman->print(neoform("qplace: error: %s", why.c_str())).manip(std::endl);
    return false;
  };

  if (!(opt_.effort > 0 && opt_.effort <= 1000))
    return fail(neoform("the effort must be a number in (0, 1000], not %g", opt_.effort));

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
  figures_.seconds[PACK] = tst.report(PACK);
  say(1, neoform("pack      %7.3f s  %d units (%d LUT+register pairs, %d LUTs, %d registers, %d I/O), %d nets, %d control sets; device %d x %d clusters, %d I/O sites",
                 tst.report(PACK), m.numUnits(), m.numOf(UNIT_PAIR), m.numOf(UNIT_LUT), m.numOf(UNIT_REG),
                 m.numOf(UNIT_IO), m.numNets(), m.numCtrl, f.rows, f.cols, f.numIoSites()));
  if (m.numOf(UNIT_IO) > f.numIoSites())
    return fail(neoform("the device is too small: %d I/O components for %d I/O sites", m.numOf(UNIT_IO),
                        f.numIoSites()));

  if (m.numUnits() > opt_.largeDesign) {
    opt_.global.anchorGrowth = std::max(opt_.global.anchorGrowth, 1.5);
    opt_.groupStartShare = std::max(opt_.groupStartShare, 0.2);
    opt_.detail.maxPasses = std::min(opt_.detail.maxPasses, 1);
    opt_.detail.finalPass = false;
    opt_.detail.annealCap = std::min(opt_.detail.annealCap, 5e6);
  }
  opt_.detail.annealMoves *= opt_.effort;
  opt_.detail.annealCap *= opt_.effort;
  Progress& progress = progress_;

  // ---- global
  tst.start(GLOBAL);
  Placement p(f, m);
  if (!placeIos(m, f, p)) return fail("the device is too small: no room for the I/O components");
  GlobalPlacer gp(m, f, p, opt_.global);
  gp.run(m, opt_.global.anchorStart, 0.0, progress);
  figures_.firstHpwl = gp.result().hpwl;
  int rounds = 0;
  for (; rounds < opt_.groupRounds; ++rounds) {
    Placement trial = p;
    if (!legalize(trial, gp.result().x, gp.result().y, opt_.legal).ok) break;  // reported below
    Model grouped = m;
    addNets(grouped, registerGroups(trial), opt_.groupNetWeight);
    const double last = gp.result().weight;
    gp.run(grouped, std::max(opt_.global.anchorStart, opt_.groupStartShare * last), last, progress);
  }
  GlobalResult g = gp.result();
  tst.sleep(GLOBAL);
  figures_.globalHpwl = g.hpwl = hpwl(m, g.x, g.y);
  figures_.spreadHpwl = g.spreadHpwl = hpwl(m, g.ax, g.ay);
  figures_.overflow = g.overflow;
  figures_.seconds[GLOBAL] = tst.report(GLOBAL);
  say(1, neoform("global    %7.3f s  hpwl %.0f (%.0f before %d register-group round%s), overflow %.3f (target %.2f), %d spreading iterations, %d solves, %ld CG passes",
                 tst.report(GLOBAL), g.hpwl, figures_.firstHpwl, rounds, rounds == 1 ? "" : "s", g.overflow, opt_.global.targetOverflow,
                 g.iterations, g.solves, g.cgPasses));

  // ---- legalize
  tst.start(LEGALIZE);
  LegalizeResult lr = legalize(p, g.x, g.y, opt_.legal);
  tst.sleep(LEGALIZE);
  figures_.seconds[LEGALIZE] = tst.report(LEGALIZE);
  if (!lr.ok) return fail(lr.error);
  figures_.legalHpwl = hpwl(p);
  say(1, neoform("legalize  %7.3f s  hpwl %.0f, %d windows, %d units carried on, %d placed by nearest search, mean displacement %.2f",
                 tst.report(LEGALIZE), figures_.legalHpwl, lr.windows, lr.carried, lr.fallback, lr.displacement));

  // ---- detail
  tst.start(DETAIL);
  DetailResult dr = improve(p, opt_.detail, progress);
  tst.sleep(DETAIL);
  figures_.finalHpwl = hpwl(p);
  figures_.seconds[DETAIL] = tst.report(DETAIL);
  say(1, neoform("detail    %7.3f s  hpwl %.0f, %d passes, %d annealing rounds, %ld moves, %ld swaps, %ld cluster swaps, %ld group trades, %ld I/O moves%s",
                 tst.report(DETAIL), figures_.finalHpwl, dr.passes, dr.rounds, dr.moves, dr.swaps, dr.clusterSwaps,
                 dr.groupTrades, dr.ioMoves, dr.restored ? " (best placement seen restored)" : ""));

  // ---- check: the library's packing rules, then the slots
  tst.start(CHECK);
  p.writeTo(d_);
  AP_SUPP supp(&d_);
  const int drc = supp.drcAllSite(0, 1);
  CheckResult cr = checkPlacement(d_);
  tst.sleep(CHECK);
  figures_.checkErrors = drc + cr.errors;
  figures_.seconds[CHECK] = tst.report(CHECK);
  say(1, neoform("check     %7.3f s  drcAllSite: %d errors; slots: %d errors", tst.report(CHECK), drc, cr.errors));
  for (const std::string& s : cr.first) say(0, "  " + s);
  if (drc + cr.errors != 0)
    return fail(neoform("the placement fails its checks with %d errors", drc + cr.errors));

  // ---- report
  tst.start(REPORT);
  routeSome(f, supp);
  if (!opt_.outDir.empty()) {
    ::mkdir(opt_.outDir.c_str(), 0777);
    std::string err;
    // The placement file: dumpLocate's lines, taken from the message manager.
    const std::string locate = opt_.outDir + "/placement.lct", boxes = opt_.outDir + "/bbox.txt";
    standin::messages().capture();
    supp.dumpLocate(nullptr, 0);
    const std::string lines = standin::messages().take();
    standin::messages().release();
    if (!writeFile(locate, lines)) return fail("cannot write " + locate);
    // The boxes to their file, their statistics to the log: by fanout range,
    // and with -v also per fanout.
    standin::messages().capture();
    supp.dumpBBox("bounding boxes:", boxes.c_str());
    std::string stats = standin::messages().take();
    standin::messages().release();
    if (opt_.verbosity < 2) stats = stats.substr(0, stats.find("\n[BBOX Details]"));
    while (!stats.empty() && stats.back() == '\n') stats.pop_back();
    say(1, stats);
    say(1, "files     " + locate + ", " + boxes);
    const std::string svg = opt_.outDir + "/placement.svg", png = opt_.outDir + "/placement.png";
    if (!writeSvg(p, svg, opt_.pictureNets, err)) return fail(err);
    if (!renderPng(svg, png, err)) say(0, "qplace: warning: no PNG: " + err);
    say(1, "picture   " + svg + (err.empty() ? ", " + png : ""));
  }
  tst.sleep(REPORT);
  figures_.seconds[REPORT] = tst.report(REPORT);

  // ---- figures
  if (opt_.baseline) {
    Placement q = p;
    if (randomPlacement(q, opt_.seed)) figures_.randomHpwl = hpwl(q);
  }
  int hist[7];
  boxHistogram(p, hist);
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
