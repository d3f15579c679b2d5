// The effort curve: the detailed improvement at efforts 1, 2, 4, 8 and 16
// (its annealing tries and their cap scaled as qplace's --effort scales
// them), from the same legal placements: picorv32 and a generated design of
// 10,000 components, each globally placed and legalized with seeds 1 to 3
// once, before the first benchmark that needs it.
//
// Counters, means over the seeds:
//   final        wirelength after the improvement;
//   vs_effort1   final / final at effort 1, seed by seed (effort 1 is run
//                once per design and kept): below 1 is a gain;
//   vs_legal     final / the legal placement's;
//   cpu_s        processor seconds of the improvement, both threads;
//   wall_s       its elapsed seconds (two threads; a busy machine inflates
//                them);
//   cpu_sort     cpu_s over the processor time of sorting as many random
//                64-bit keys as the design has units, in the same run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <map>
#include <memory>
#include <random>
#include <vector>

#include "qplace/detail.h"
#include "qplace/legalize.h"
#include "qplace/netlist_reader.h"

namespace {

constexpr int kSeeds = 3;

double processSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

double sortSeconds(std::size_t n) {
  std::mt19937_64 rng(7);
  std::vector<std::uint64_t> keys(n);
  for (auto& k : keys) k = rng();
  const double t0 = processSeconds();
  std::sort(keys.begin(), keys.end());
  benchmark::DoNotOptimize(keys.data());
  return processSeconds() - t0;
}

// A design placed legally, as the placer leaves it before its detail phase.
struct Start {
  standin::Design d;
  qplace::Model m;
  qplace::Fabric f;
  std::unique_ptr<qplace::Placement> p;
  double finalAtOne = 0;  // after the improvement at effort 1

  Start(int design, std::uint64_t seed) {
    if (design == 0) {
      qplace::readNetlistFile(QPLACE_PICORV32, d);
    } else {
      designgen::Params gp;
      gp.components = 10000;
      gp.place = false;
      designgen::generate(d, gp);
    }
    m = qplace::packDesign(d);
    f = qplace::makeFabric(d, m, 0.7, 0, 0, false);
    p = std::make_unique<qplace::Placement>(f, m);
    qplace::placeIos(m, f, *p);
    qplace::GlobalParams gp;
    gp.seed = seed;
    qplace::GlobalPlacer global(m, f, *p, gp);
    qplace::Progress none;
    global.run(m, gp.anchorStart, 0.0, none);
    // The register-group round, as the placer runs it.
    qplace::Placement trial = *p;
    if (qplace::legalize(trial, global.result().x, global.result().y, qplace::LegalizeParams{}).ok) {
      qplace::Model grouped = m;
      qplace::addNets(grouped, qplace::registerGroups(trial), 1.0);
      const double last = global.result().weight;
      global.run(grouped, gp.anchorStart, last, none);
    }
    qplace::legalize(*p, global.result().x, global.result().y, qplace::LegalizeParams{});
  }
};

Start& start(int design, int seed) {
  static std::map<std::pair<int, int>, std::unique_ptr<Start>> starts;
  std::unique_ptr<Start>& s = starts[{design, seed}];
  if (!s) s = std::make_unique<Start>(design, static_cast<std::uint64_t>(seed));
  return *s;
}

struct Run {
  double final = 0, cpu = 0, wall = 0;
};

Run improveAt(Start& s, double effort, std::uint64_t seed) {
  qplace::Placement p = *s.p;
  qplace::DetailParams dp;
  dp.seed = seed;
  dp.annealMoves *= effort;
  dp.annealCap *= effort;
  qplace::Progress none;
  const double c0 = processSeconds();
  const auto w0 = std::chrono::steady_clock::now();
  const qplace::DetailResult r = qplace::improve(p, dp, none);
  Run run;
  run.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - w0).count();
  run.cpu = processSeconds() - c0;
  run.final = r.after;
  return run;
}

void BM_Effort(benchmark::State& state) {
  const int design = static_cast<int>(state.range(1));
  const double effort = static_cast<double>(state.range(0));
  for (int seed = 1; seed <= kSeeds; ++seed) {  // outside the timing
    Start& s = start(design, seed);
    if (s.finalAtOne == 0) s.finalAtOne = improveAt(s, 1, static_cast<std::uint64_t>(seed)).final;
  }
  for (auto _ : state) {
    double final = 0, ratio = 0, legal = 0, cpu = 0, wall = 0;
    for (int seed = 1; seed <= kSeeds; ++seed) {
      Start& s = start(design, seed);
      const Run r = improveAt(s, effort, static_cast<std::uint64_t>(seed));
      final += r.final / kSeeds;
      ratio += r.final / s.finalAtOne / kSeeds;
      legal += r.final / qplace::hpwl(*s.p) / kSeeds;
      cpu += r.cpu / kSeeds;
      wall += r.wall / kSeeds;
    }
    state.counters["final"] = final;
    state.counters["vs_effort1"] = ratio;
    state.counters["vs_legal"] = legal;
    state.counters["cpu_s"] = cpu;
    state.counters["wall_s"] = wall;
    state.counters["cpu_sort"] = cpu / sortSeconds(static_cast<std::size_t>(start(design, 1).m.numUnits()));
  }
}
BENCHMARK(BM_Effort)
    ->ArgNames({"effort", "design"})
    ->ArgsProduct({{1, 2, 4, 8, 16}, {0, 1}})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
