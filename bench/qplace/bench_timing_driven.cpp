// Timing-driven placement against the wirelength-only placement: the whole
// placer on real designs, read as qplace reads them (control sets reduced),
// seeds 1 and 2, three kinds of run each:
//   off     without timing (the runtime anchor);
//   wl      timing analysed, trade-off 0: the same placement as `off`,
//           whose critical path it measures;
//   on      the defaults (timing-driven).
// Designs: picorv32 from the repository, and <top>/<top>.json of the nets
// folder (the QPLACE_NETS environment variable, default QPLACE_NETS_DIR)
// for nerv, aes, des, attosoc, C7552_lev2, alu4_lev2 and eth_mac_10g, each
// skipped when missing; and a generated design of 10,000 components.
//
// Counters, means over the seeds:
//   cp_wl, cp_on        critical path, ns (the worst clock domain's);
//   cp_ratio            cp_on / cp_wl, seed by seed: below 0.85 meets the
//                       15% target;
//   wl_ratio            final wirelength on / off;
//   cpu_ratio           processor seconds of the run on / off (all phases,
//                       both threads), in the same benchmark: off and on
//                       run kTimeRuns times in turn, the least time of
//                       each counting, as one run's time varies by 10%.
// A markdown table of the same figures follows the benchmarks.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "qplace/ctrl_reduce.h"
#include "qplace/netlist_reader.h"
#include "qplace/placer.h"

namespace {

constexpr int kSeeds = 2;
constexpr int kTimeRuns = 3;

struct Row {
  std::string design;
  double cpWl = 0, cpOn = 0, wlOff = 0, wlOn = 0, cpuOff = 0, cpuOn = 0;
};
std::vector<Row>& rows() {
  static std::vector<Row> r;
  return r;
}

std::string netsDir() {
  const char* env = std::getenv("QPLACE_NETS");
  return env != nullptr && *env != '\0' ? env : QPLACE_NETS_DIR;
}

bool exists(const std::string& path) { return std::ifstream(path).good(); }

// One run of the placer; false when the design cannot be had or placed.
bool placeOnce(const std::string& path, int generated, std::uint64_t seed, bool timing, double tradeoff,
               qplace::PlacerFigures& fig) {
  standin::Design d;
  qplace::PlacerOptions opt;
  designgen::Generated gen;
  if (generated > 0) {
    designgen::Params gp;
    gp.components = generated;
    gp.place = false;
    gp.seed = seed;
    gen = designgen::generate(d, gp);
    opt.device = &gen.device;
  } else {
    qplace::LogicNetlist ln = qplace::readLogicNetlistFile(path);
    qplace::reduceControlSets(ln, qplace::ReduceParams{});
    const qplace::Netlist nl = qplace::buildDesign(ln, d);
    opt.timingSettings.regFlags.assign(d.comps.size(), 0);
    for (std::size_t i = 0; i < nl.regs.size(); ++i)
      opt.timingSettings.regFlags[static_cast<std::size_t>(nl.regs[i]->id)] = static_cast<std::uint8_t>(
          (nl.regFalling[i] ? qplace::REG_FALLING : 0) | (nl.regLatch[i] ? qplace::REG_LATCH : 0));
  }
  opt.seed = seed;
  opt.minAnnealTries = qplace::kCommandLineAnnealTries;  // as the command line has it
  opt.verbosity = 0;
  opt.baseline = false;
  opt.routeSignals = 0;
  opt.timing = timing;
  opt.timingDriven.tradeoff = tradeoff;
  qplace::QuadraticPlacer placer(d, opt);
  if (!placer.apMain()) return false;
  fig = placer.figures();
  return true;
}

double cpu(const qplace::PlacerFigures& f) {
  double s = 0;
  for (double t : f.seconds) s += t;
  return s;
}

void measure(benchmark::State& state, const std::string& name, const std::string& path, int generated) {
  const double defaultTradeoff = qplace::TimingDrivenParams().tradeoff;
  for (auto _ : state) {
    Row row;
    row.design = name;
    double cpRatio = 0;
    for (int seed = 1; seed <= kSeeds; ++seed) {
      const auto s = static_cast<std::uint64_t>(seed);
      qplace::PlacerFigures off, wl, on;
      if (!placeOnce(path, generated, s, true, 0, wl)) {
        state.SkipWithError("the placer failed");
        return;
      }
      // The placements are the same run after run; their times are not.
      double cpuOff = 1e300, cpuOn = 1e300;
      for (int run = 0; run < kTimeRuns; ++run) {
        if (!placeOnce(path, generated, s, false, 0, off) || !placeOnce(path, generated, s, true, defaultTradeoff, on)) {
          state.SkipWithError("the placer failed");
          return;
        }
        cpuOff = std::min(cpuOff, cpu(off));
        cpuOn = std::min(cpuOn, cpu(on));
      }
      row.cpWl += wl.criticalNs[2] / kSeeds;
      row.cpOn += on.criticalNs[2] / kSeeds;
      cpRatio += on.criticalNs[2] / wl.criticalNs[2] / kSeeds;
      row.wlOff += off.finalHpwl / kSeeds;
      row.wlOn += on.finalHpwl / kSeeds;
      row.cpuOff += cpuOff / kSeeds;
      row.cpuOn += cpuOn / kSeeds;
    }
    state.counters["cp_wl"] = row.cpWl;
    state.counters["cp_on"] = row.cpOn;
    state.counters["cp_ratio"] = cpRatio;
    state.counters["wl_ratio"] = row.wlOn / row.wlOff;
    state.counters["cpu_ratio"] = row.cpuOn / row.cpuOff;
    rows().push_back(row);
  }
}

void realDesign(benchmark::State& state, const std::string& top) {
  std::string path = netsDir() + "/" + top + "/" + top + ".json";
  if (!exists(path) && top == "picorv32") path = QPLACE_PICORV32;
  if (!exists(path)) {
    state.SkipWithError(("no " + path).c_str());
    return;
  }
  try {
    measure(state, top, path, 0);
  } catch (const std::exception& e) {
    state.SkipWithError(e.what());
  }
}

#define REAL_DESIGN(fn, top)                                         \
  void fn(benchmark::State& state) { realDesign(state, top); }       \
  BENCHMARK(fn)->Iterations(1)->Unit(benchmark::kSecond);
REAL_DESIGN(BM_Picorv32, "picorv32")
REAL_DESIGN(BM_Nerv, "nerv")
REAL_DESIGN(BM_Aes, "aes")
REAL_DESIGN(BM_Des, "des")
REAL_DESIGN(BM_Attosoc, "attosoc")
REAL_DESIGN(BM_C7552, "C7552_lev2")
REAL_DESIGN(BM_Alu4, "alu4_lev2")
REAL_DESIGN(BM_EthMac10g, "eth_mac_10g")

void BM_Generated10k(benchmark::State& state) { measure(state, "generated 10k", "", 10000); }
BENCHMARK(BM_Generated10k)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::printf("\n| design | critical path, wirelength only (ns) | timing-driven (ns) | change | HPWL without timing | "
              "timing-driven | change | processor time ratio |\n|---|---|---|---|---|---|---|---|\n");
  for (const Row& r : rows())
    std::printf("| %s | %.2f | %.2f | %+.1f%% | %.0f | %.0f | %+.1f%% | %.2f |\n", r.design.c_str(), r.cpWl, r.cpOn,
                100 * (r.cpOn / r.cpWl - 1), r.wlOff, r.wlOn, 100 * (r.wlOn / r.wlOff - 1), r.cpuOn / r.cpuOff);
  return 0;
}
