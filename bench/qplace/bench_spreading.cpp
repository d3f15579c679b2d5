// Global placement's rough legalization (roughLegalize) on generated designs
// of 100,000 and 1,000,000 components (seed 1, the placer's device at fill
// 0.7), on one thread (the anchor) and on two, from two starts:
//  - Centre: every logic unit within half a cluster of the device's centre,
//            as after the first solves: one rectangle grows to the whole
//            device and its bisection is all the work;
//  - Piles:  the units piled on 500 spots over the device: many rectangles
//            of every size.
// Times are elapsed (the second thread's work counts only by what it takes
// off the elapsed time), the best of the iterations; "main_s" is the
// processor time of the calling thread, which a busy machine inflates less.
// A table after the benchmarks gives each two-thread time against its
// one-thread anchor of the same start and size.
#include "threadclock.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host/standin/gen/designgen.h"
#include "qplace/global_place.h"
#include "qplace/packing.h"

namespace {

struct Input {
  int n = 0;
  std::unique_ptr<standin::Design> design;
  qplace::Model model;
  qplace::Fabric fabric;
  std::vector<double> area;
};

Input& input(int n) {
  static Input in;
  if (in.n == n) return in;
  in = Input{};
  in.design = std::make_unique<standin::Design>();
  designgen::Params p;
  p.components = n;
  p.place = false;
  designgen::generate(*in.design, p);
  in.model = qplace::packDesign(*in.design);
  in.fabric = qplace::makeFabric(*in.design, in.model, 0.7, 0, 0, false);
  in.area = qplace::unitAreas(in.model);
  in.n = n;
  return in;
}

// Positions of the start `piles` (0: the centre).
void start(const Input& in, int piles, std::vector<double>& x, std::vector<double>& y) {
  const qplace::Fabric& f = in.fabric;
  const int units = in.model.numUnits();
  x.assign(static_cast<std::size_t>(units), 0.0);
  y.assign(x.size(), 0.0);
  for (int u = 0; u < units; ++u) {
    const double jx = (u * 2654435761u % 1000) / 1000.0 - 0.5, jy = (u * 40503u % 997) / 997.0 - 0.5;
    if (piles == 0) {
      x[u] = (f.cols + 1) / 2.0 + jx;
      y[u] = (f.rows + 1) / 2.0 + jy;
    } else {
      const int s = u % piles;
      x[u] = 1 + (s * 7919 % f.cols) + 0.4 * jx;
      y[u] = 1 + (s * 104729 % f.rows) + 0.4 * jy;
    }
  }
}

std::map<std::string, double> best;  // "start size threads" -> seconds

void BM_RoughLegalize(benchmark::State& state, int piles, const char* name) {
  const int n = static_cast<int>(state.range(0));
  const int threads = static_cast<int>(state.range(1));
  const Input& in = input(n);
  std::vector<double> x, y, ax, ay;
  start(in, piles, x, y);
  double fastest = 1e30, mainSeconds = 1e30;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    const double c0 = ThreadSeconds();
    qplace::roughLegalize(in.model, in.area, in.fabric, x, y, 1.0, ax, ay, threads);
    const double c1 = ThreadSeconds();
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    state.SetIterationTime(s);
    fastest = std::min(fastest, s);
    mainSeconds = std::min(mainSeconds, c1 - c0);
    benchmark::DoNotOptimize(ax.data());
  }
  state.counters["main_s"] = mainSeconds;
  state.counters["units"] = in.model.numUnits();
  best[std::string(name) + " " + std::to_string(n) + " " + std::to_string(threads)] = fastest;
}

void Sizes(benchmark::internal::Benchmark* b) {
  for (int n : {100000, 1000000})
    for (int t : {1, 2}) b->Args({n, t});
  b->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);
}

BENCHMARK_CAPTURE(BM_RoughLegalize, Centre, 0, "Centre")->Apply(Sizes);
BENCHMARK_CAPTURE(BM_RoughLegalize, Piles, 500, "Piles")->Apply(Sizes);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  std::printf("\nroughLegalize, best elapsed time, two threads against one:\n");
  for (const char* s : {"Centre", "Piles"})
    for (int n : {100000, 1000000}) {
      const std::string key = std::string(s) + " " + std::to_string(n);
      const auto one = best.find(key + " 1"), two = best.find(key + " 2");
      if (one == best.end() || two == best.end()) continue;
      std::printf("  %-6s %8d components: %8.1f ms, %8.1f ms on two threads, ratio %.2f\n", s, n,
                  1e3 * one->second, 1e3 * two->second, two->second / one->second);
    }
  benchmark::Shutdown();
  return 0;
}
