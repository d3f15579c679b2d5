// Control sets: what the reduction does to the device and the wirelength.
//
// Each design is placed three ways with default options (device sized for
// it): as read ("off", no reduction), reduced ("on", reduceControlSets
// with the default parameters and the rule's group size), and the same
// design synthesized to plain D flip-flops ("plain": for the real designs
// the peer's flow, synth_plain.tcl; for generated ones every foldable set
// folded, whether it frees groups or not). One iteration each, seed 1.
//
// Designs: generated logical netlists of many small enable sets (logic_gen.h:
// 1,800 LUTs and 1,340 registers in words of 2.2 on average, and one three
// times that size), and the real designs of the nets folder (the
// QPLACE_NETS environment variable, default QPLACE_NETS_DIR): <top>/<top>.json
// (yosys's generic flow) beside <top>/<top>_plain.json, for picorv32 (the
// shipped netlist when the folder lacks it), nerv, serial_bank (from
// bench/qplace/data when the folder lacks it: 1,152 registers in 480 sets),
// delay_line (from bench/qplace/data likewise: 7,184 registers and 836 LUTs,
// a register-dominated design), attosoc, aes and eth_mac_10g. A design whose files are missing, or that
// the placer's reader refuses, is skipped with the reason.
//
// Counters (half: 0 whole-cluster rule, 1 half-cluster rule):
//   sets, sets_red          control sets before and after the reduction
//   groups, groups_red      register groups they need under the rule
//   luts_ext, luts_add      folds into the driving LUT, and new LUTs
//   dev_slots               device clusters (reduced design) / clusters that
//                           the design's LUT and register slots alone need at
//                           the default fill (designgen::fitDevice)
//   dev_slots_off           the same without reduction
//   used_lut                clusters holding anything (reduced design) / the
//                           fewest that hold its LUTs (LUTs / 8)
//   wl_on_plain             final wirelength reduced / plain
//   wl_off_plain            final wirelength without reduction / plain
//   fin_glob_on, fin_glob_off   final / global wirelength of those runs
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>

#include "qplace/ctrl_reduce.h"
#include "qplace/logic_gen.h"
#include "qplace/netlist_reader.h"
#include "qplace/placer.h"

namespace {

using qplace::LogicNetlist;

struct Run {
  bool ok = false;
  std::string error;
  qplace::PlacerFigures fig;
  int clusters = 0, used = 0;
};

// Places a logical netlist with default options.
Run place(const LogicNetlist& ln, bool half) {
  Run run;
  standin::Design d("bench");
  try {
    qplace::buildDesign(ln, d);
  } catch (const std::exception& e) {
    run.error = e.what();
    return run;
  }
  qplace::PlacerOptions opt;
  opt.verbosity = 0;
  opt.halfRule = half;
  opt.baseline = false;
  opt.routeSignals = 0;
  qplace::QuadraticPlacer placer(d, opt);
  run.ok = placer.apMain();
  run.fig = placer.figures();
  run.error = run.fig.error;
  run.clusters = run.fig.rows * run.fig.cols;
  std::set<const standin::Plc*> used;
  for (const standin::Comp& c : d.comps)
    if (c.site != nullptr && c.site->plc != nullptr) used.insert(c.site->plc);
  run.used = static_cast<int>(used.size());
  return run;
}

int slotClusters(const LogicNetlist& ln) {
  int ios = 0;
  for (const qplace::LogicPort& p : ln.ports) ios += qplace::isNet(p.net) ? 1 : 0;
  const designgen::DeviceParams p =
      designgen::fitDevice(static_cast<int>(ln.luts.size()), static_cast<int>(ln.regs.size()), ios, 0.7);
  return p.plcRows * p.plcCols;
}

void measure(benchmark::State& state, const LogicNetlist& in, const LogicNetlist& plain) {
  const bool half = state.range(0) != 0;
  LogicNetlist reduced = in;
  qplace::ReduceParams rp;
  rp.groupSize = half ? 4 : 8;
  const qplace::ReduceResult res = qplace::reduceControlSets(reduced, rp);
  const Run off = place(in, half), on = place(reduced, half), ref = place(plain, half);
  for (const Run* r : {&off, &on, &ref})
    if (!r->ok) {
      state.SkipWithError(r->error.c_str());
      return;
    }
  const double slots = slotClusters(in);
  state.counters["sets"] = res.setsBefore;
  state.counters["sets_red"] = res.setsAfter;
  state.counters["groups"] = res.groupsBefore;
  state.counters["groups_red"] = res.groupsAfter;
  state.counters["luts_ext"] = res.lutsExtended;
  state.counters["luts_add"] = res.lutsAdded;
  state.counters["dev_slots"] = on.clusters / slots;
  state.counters["dev_slots_off"] = off.clusters / slots;
  state.counters["used_lut"] = on.used / std::ceil(reduced.luts.size() / 8.0);
  state.counters["wl_on_plain"] = on.fig.finalHpwl / ref.fig.finalHpwl;
  state.counters["wl_off_plain"] = off.fig.finalHpwl / ref.fig.finalHpwl;
  state.counters["fin_glob_on"] = on.fig.finalHpwl / on.fig.globalHpwl;
  state.counters["fin_glob_off"] = off.fig.finalHpwl / off.fig.globalHpwl;
}

void BM_GeneratedSets(benchmark::State& state) {
  for (auto _ : state) {
    qplace::LogicGenParams gp;
    gp.luts = 1800 * static_cast<int>(state.range(1));
    gp.regs = 1340 * static_cast<int>(state.range(1));
    const LogicNetlist in = qplace::generateLogic(gp);
    LogicNetlist plain = in;
    qplace::ReduceParams all;
    all.maxRegs = 1 << 30;
    all.freeingOnly = false;
    all.groupShare = 0;
    qplace::reduceControlSets(plain, all);
    measure(state, in, plain);
  }
}
BENCHMARK(BM_GeneratedSets)->ArgNames({"half", "scale"})->Args({0, 1})->Args({1, 1})->Args({0, 3})->Args({1, 3})
    ->Iterations(1)->Unit(benchmark::kMillisecond);

std::string netsDir() {
  const char* env = std::getenv("QPLACE_NETS");
  return env != nullptr && *env != '\0' ? env : QPLACE_NETS_DIR;
}

bool exists(const std::string& path) { return std::ifstream(path).good(); }

void realDesign(benchmark::State& state, const std::string& top) {
  for (auto _ : state) {
    const std::string dir = netsDir() + "/" + top + "/";
    std::string generic = dir + top + ".json", plain = dir + top + "_plain.json";
    if (!exists(generic) && top == "picorv32") generic = QPLACE_PICORV32;
    if (!exists(generic) && (top == "serial_bank" || top == "delay_line")) {
      generic = std::string(QPLACE_BENCH_DATA "/") + top + ".json.gz";
      plain = std::string(QPLACE_BENCH_DATA "/") + top + "_plain.json.gz";
    }
    for (const std::string& f : {generic, plain})
      if (!exists(f)) {
        state.SkipWithError(("no " + f).c_str());
        return;
      }
    try {
      measure(state, qplace::readLogicNetlistFile(generic), qplace::readLogicNetlistFile(plain));
    } catch (const std::exception& e) {
      state.SkipWithError(e.what());
    }
  }
}

void BM_Picorv32(benchmark::State& state) { realDesign(state, "picorv32"); }
void BM_Nerv(benchmark::State& state) { realDesign(state, "nerv"); }
void BM_SerialBank(benchmark::State& state) { realDesign(state, "serial_bank"); }
void BM_DelayLine(benchmark::State& state) { realDesign(state, "delay_line"); }
void BM_Attosoc(benchmark::State& state) { realDesign(state, "attosoc"); }
void BM_Aes(benchmark::State& state) { realDesign(state, "aes"); }
void BM_EthMac10g(benchmark::State& state) { realDesign(state, "eth_mac_10g"); }
BENCHMARK(BM_Picorv32)->ArgName("half")->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Nerv)->ArgName("half")->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SerialBank)->ArgName("half")->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DelayLine)->ArgName("half")->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Attosoc)->ArgName("half")->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Aes)->ArgName("half")->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EthMac10g)->ArgName("half")->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
