// The design generator at 10k, 100k and 1M components, in one run:
//  - Generate: a placed design without routing graph (plan, components,
//              records, netlist, placement), design destruction not timed;
//  - Builder:  the anchor, the same numbers of LUTs, registers and I/O made
//              by plain builder calls (addLut, addReg, addIo), with no nets,
//              records or placement; Generate / Builder is the generator's
//              own cost over the bare components;
//  - Graph:    the routing graph of the fitted device (8 tracks), heap per
//              node (its arcs included), counted as the difference between
//              the device with and without it;
//  - Route:    on the 1M design with its routing graph, every net of 300 to
//              3,000 loads routed in turn; against recording the same tree
//              with Design::route alone (the floor of any router here).
// Times are processor time of the benchmark's thread. Heap figures come
// from the allocator wrappers of alloccount.h: peak heap during the call,
// per component. After the benchmarks a table of the figures and ratios per
// size is printed.
#include "alloccount.h"
#include "threadclock.h"

#include "host/standin/gen/designgen.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

// figures[metric][n]; with --benchmark_repetitions the lowest is kept, which
// filters out interference from other work on the machine.
std::map<std::string, std::map<int, double>> figures;

void Record(const std::string& metric, int n, double value) {
  auto& slot = figures[metric];
  const auto it = slot.find(n);
  if (it == slot.end() || value < it->second) slot[n] = value;
}

designgen::Params ParamsFor(int n) {
  designgen::Params p;
  p.components = n;
  p.seed = 2024;
  return p;
}

// Times `make` (given a fresh design, processor time of the thread) and
// counts its peak heap; the
// design is destroyed outside the timing. One untimed call first, so that
// neither side pays for the process's first touch of its memory.
template <class Make>
void Measure(benchmark::State& state, const char* metric, Make make) {
  const int n = static_cast<int>(state.range(0));
  {
    standin::Design warm("warm");
    make(warm, n);
  }
  double seconds = 0;
  std::int64_t peak = 0;
  for (auto _ : state) {
    auto d = std::make_unique<standin::Design>("bench");
    const std::int64_t base = alloccount::Current();
    alloccount::ResetPeak();
    const double t0 = ThreadSeconds();
    make(*d, n);
    const double dt = ThreadSeconds() - t0;
    peak = std::max(peak, alloccount::Peak() - base);
    state.SetIterationTime(dt);
    seconds += dt;
    d.reset();
  }
  const double perComp = seconds / static_cast<double>(state.iterations()) / n;
  state.counters["ns/comp"] = perComp * 1e9;
  state.counters["B/comp"] = static_cast<double>(peak) / n;
  Record(std::string(metric) + " time", n, perComp);
  Record(std::string(metric) + " heap", n, static_cast<double>(peak) / n);
}

void BM_Generate(benchmark::State& state) {
  Measure(state, "generate", [](standin::Design& d, int n) {
    benchmark::DoNotOptimize(designgen::generate(d, ParamsFor(n)));
  });
}

void BM_Builder(benchmark::State& state) {
  // The counts generate() arrives at for the same parameters.
  Measure(state, "builder", [](standin::Design& d, int n) {
    const int ios = static_cast<int>(std::lround(2.0 * std::sqrt(n)));
    const int regs = static_cast<int>(std::lround((n - ios) * 0.4));
    const designgen::Prims prims = designgen::addPrims(d);
    for (int i = 0; i < n - ios - regs; ++i) designgen::addLut(d, prims, "lut" + std::to_string(i));
    for (int i = 0; i < regs; ++i) designgen::addReg(d, prims, "reg" + std::to_string(i));
    for (int i = 0; i < ios; ++i) designgen::addIo(d, prims, "io" + std::to_string(i));
  });
}

void BM_Graph(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const designgen::DeviceParams fit = designgen::fitDevice(n * 6 / 10, n * 4 / 10, 0);
  double perNode = 0;
  std::size_t nodes = 0;
  for (auto _ : state) {
    std::int64_t heap[2];
    for (int routing = 0; routing < 2; ++routing) {
      standin::Design d("graph");
      designgen::DeviceParams p = fit;
      p.routing = routing != 0;
      const std::int64_t base = alloccount::Current();
      designgen::addDevice(d, p);
      heap[routing] = alloccount::Current() - base;
      nodes = d.phy.graph.nodes.size();
    }
    perNode = static_cast<double>(heap[1] - heap[0]) / static_cast<double>(nodes);
  }
  state.counters["nodes"] = static_cast<double>(nodes);
  state.counters["B/node"] = perNode;
  Record("graph nodes per comp", n, static_cast<double>(nodes) / n);
  Record("graph heap per node", n, perNode);
}

// The stand-in's arc ids hold the arc's index in their first four bytes,
// little-endian.
int ArcIndex(const PhyArc_ID& id) {
  return static_cast<int>(id.bytes[0] | id.bytes[1] << 8 | id.bytes[2] << 16 | id.bytes[3] << 24);
}

void BM_Route(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  double routeSeconds = 0, recordSeconds = 0;
  long loads = 0, nets = 0;
  for (auto _ : state) {
    standin::Design d("route");
    designgen::Params p = ParamsFor(n);
    p.device.routing = true;
    const designgen::Generated g = designgen::generate(d, p);
    standin::Signal* scratch = d.addSignal("scratch");
    for (standin::Signal& sig : d.signals) {
      const long pins = static_cast<long>(sig.pins.size());
      if (sig.clocks != 0 || pins < 301 || pins > 3001) continue;
      double t0 = ThreadSeconds();
      if (!designgen::routeSignal(d, g.device, &sig)) {
        state.SkipWithError("a net did not route");
        return;
      }
      routeSeconds += ThreadSeconds() - t0;
      // The floor: recording a tree of the same arcs.
      std::vector<int> arcs;
      for (PhyPathArc* arc : *sig.path->getarcs()) arcs.push_back(ArcIndex(arc->getarcid()));
      t0 = ThreadSeconds();
      d.route(scratch, arcs);
      recordSeconds += ThreadSeconds() - t0;
      loads += pins - 1;
      ++nets;
    }
  }
  if (nets == 0) return;
  state.counters["nets"] = static_cast<double>(nets);
  state.counters["loads/net"] = static_cast<double>(loads) / static_cast<double>(nets);
  state.counters["ms/net"] = routeSeconds / static_cast<double>(nets) * 1e3;
  state.counters["us/load"] = routeSeconds / static_cast<double>(loads) * 1e6;
  Record("route ms per net", n, routeSeconds / static_cast<double>(nets) * 1e3);
  Record("route loads per net", n, static_cast<double>(loads) / static_cast<double>(nets));
  Record("record ms per net", n, recordSeconds / static_cast<double>(nets) * 1e3);
}

void Sizes(benchmark::internal::Benchmark* b) { b->Arg(10000)->Arg(100000)->Arg(1000000); }

BENCHMARK(BM_Generate)->Apply(Sizes)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Builder)->Apply(Sizes)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Graph)->Apply(Sizes)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Route)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);

double Figure(const std::string& metric, int n) {
  const auto it = figures.find(metric);
  if (it == figures.end()) return 0;
  const auto at = it->second.find(n);
  return at == it->second.end() ? 0 : at->second;
}

void PrintSummary() {
  std::printf("\n%9s %14s %14s %7s %12s %12s %11s %11s\n", "n", "generate ns/c", "builder ns/c", "ratio",
              "gen B/comp", "builder B/c", "nodes/comp", "B/node");
  for (const auto& [n, unused] : figures["generate time"]) {
    (void)unused;
    const double gen = Figure("generate time", n);
    const double anchor = Figure("builder time", n);
    std::printf("%9d %14.0f %14.0f %7.2f %12.0f %12.0f %11.2f %11.0f\n", n, gen * 1e9, anchor * 1e9,
                anchor > 0 ? gen / anchor : 0.0, Figure("generate heap", n), Figure("builder heap", n),
                Figure("graph nodes per comp", n), Figure("graph heap per node", n));
  }
  for (const auto& [n, ms] : figures["route ms per net"]) {
    const double record = Figure("record ms per net", n);
    std::printf("route at %d components: %.0f loads per net, %.2f ms per net, %.2fx recording the tree alone\n",
                n, Figure("route loads per net", n), ms, record > 0 ? ms / record : 0.0);
  }
  if (!alloccount::Available()) std::printf("(heap counting unavailable in this build)\n");
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  PrintSummary();
  return 0;
}
