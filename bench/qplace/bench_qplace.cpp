// The whole placer run: picorv32 read from its netlist, and generated
// designs of 10,000 to 4,000,000 components (unplaced, on the generator's
// device with its routing graph, as the main job makes them). One iteration
// each: a run is long and deterministic.
//
// Counters, per phase (pack, global, legalize, detail, check, report):
//   <phase>_s     seconds of processor time of the process (both threads
//                 where global placement solves x and y side by side);
//   <phase>_sort  the same divided by the time of sorting as many random
//                 64-bit keys as the design has units, measured in the same
//                 run: a machine-independent figure that stays flat from 10k
//                 to 1M components exactly when the phase grows as n log n.
// and for the whole run:
//   global_path_s  global_s less the processor time the second thread spent
//              beside the first: the longest thread's share, which is what
//              global placement takes of an otherwise idle 2-core machine;
//   generate_s processor seconds of the generator, both its threads
//              (generated designs);
//   wl_random  final wirelength / that of a random legal placement of the
//              same design on the same device;
//   wl_global  final wirelength / that of the last global iteration (the
//              spread quadratic solution before legalization);
//   wl_legal   wirelength after legalization / final;
//   wl_planned final wirelength / that of the legal placement the generator
//              planned for the design (generated designs only; the design is
//              generated placed, its wirelength taken, then unplaced);
//   peak_MB    peak resident memory of the process so far, in MiB (run one
//              size per process to read it for that size:
//              --benchmark_filter='Generated/components:1000000/').
// picorv32 also writes its picture, so its report phase includes the SVG
// and the PNG rendering; generated designs write none.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "qplace/netlist_reader.h"
#include "qplace/placer.h"
#include "host/ututil.h"

namespace {

const char* const kPhases[] = {"pack", "global", "legalize", "detail", "check", "report"};

// Processor seconds to sort n random 64-bit keys: the anchor.
double sortSeconds(std::size_t n) {
  std::mt19937_64 rng(7);
  std::vector<std::uint64_t> keys(n);
  for (auto& k : keys) k = rng();
  const std::clock_t t0 = std::clock();
  std::sort(keys.begin(), keys.end());
  benchmark::DoNotOptimize(keys.data());
  return static_cast<double>(std::clock() - t0) / CLOCKS_PER_SEC;
}

// Peak resident memory of the process, in MiB (the kernel's high-water
// mark, as /usr/bin/time reports it).
double peakMiB() {
  std::FILE* f = std::fopen("/proc/self/status", "r");
  if (f == nullptr) return static_cast<double>(UT_MEM_USAGE::getPeakMemoryUsage()) / 1048576.0;
  char line[256];
  long kib = 0;
  while (std::fgets(line, sizeof line, f) != nullptr)
    if (std::sscanf(line, "VmHWM: %ld", &kib) == 1) break;
  std::fclose(f);
  return static_cast<double>(kib) / 1024.0;
}

void report(benchmark::State& state, const qplace::PlacerFigures& fig) {
  const double anchor = sortSeconds(static_cast<std::size_t>(fig.units));
  for (int k = 0; k < 6; ++k) {
    state.counters[std::string(kPhases[k]) + "_s"] = fig.seconds[k];
    state.counters[std::string(kPhases[k]) + "_sort"] = fig.seconds[k] / anchor;
  }
  state.counters["global_path_s"] = fig.seconds[1] - fig.globalSideBySide;
  state.counters["units"] = fig.units;
  if (fig.randomHpwl > 0) state.counters["wl_random"] = fig.finalHpwl / fig.randomHpwl;
  state.counters["wl_global"] = fig.finalHpwl / fig.globalHpwl;
  state.counters["wl_legal"] = fig.legalHpwl / fig.finalHpwl;
  state.counters["peak_MB"] = peakMiB();
}

void BM_Picorv32(benchmark::State& state) {
  for (auto _ : state) {
    standin::Design d("picorv32");
    qplace::readNetlistFile(QPLACE_PICORV32, d);
    qplace::PlacerOptions opt;
    opt.verbosity = 0;
    opt.halfRule = state.range(0) != 0;
    opt.outDir = "bench-qplace-out";
    qplace::QuadraticPlacer placer(d, opt);
    if (!placer.apMain()) state.SkipWithError(placer.figures().error.c_str());
    report(state, placer.figures());
  }
}
BENCHMARK(BM_Picorv32)->ArgName("half")->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

// Half-perimeter wirelength of the placed design over its non-clock signals,
// from the rows and columns of the pins' sites: the placer's measure.
double designHpwl(standin::Design& d) {
  double total = 0;
  for (standin::Signal& s : d.signals) {
    if (s.clocks != 0) continue;
    int r0 = 1 << 30, r1 = -1, c0 = 1 << 30, c1 = -1;
    for (standin::SigPin* p : s.pins) {
      const standin::Site* site = p->comp->site;
      if (site == nullptr) continue;
      r0 = std::min<int>(r0, site->row);
      r1 = std::max<int>(r1, site->row);
      c0 = std::min<int>(c0, site->col);
      c1 = std::max<int>(c1, site->col);
    }
    if (r1 >= 0) total += (r1 - r0) + (c1 - c0);
  }
  return total;
}

void BM_Generated(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    standin::Design d("generated");
    designgen::Params gp;
    gp.components = static_cast<int>(state.range(0));
    gp.device.routing = true;
    const std::clock_t start = std::clock();
    designgen::Generated g = designgen::generate(d, gp);
    const double generated = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    const double planned = designHpwl(d);
    for (standin::Comp& c : d.comps) d.unplace(&c);
    state.ResumeTiming();
    qplace::PlacerOptions opt;
    opt.verbosity = 0;
    opt.device = &g.device;
    qplace::QuadraticPlacer placer(d, opt);
    if (!placer.apMain()) state.SkipWithError(placer.figures().error.c_str());
    report(state, placer.figures());
    state.counters["wl_planned"] = designHpwl(d) / planned;
    state.counters["generate_s"] = generated;
  }
}
BENCHMARK(BM_Generated)->ArgName("components")->Arg(10000)->Arg(100000)->Arg(1000000)->Arg(4000000)
    ->Iterations(1)->Unit(benchmark::kMillisecond);

// Numbers first, first + 1, ... of n bits, as a JSON list's items.
std::string bitList(int first, int n) {
  std::string b;
  for (int i = 0; i < n; ++i) b += (i ? ", " : "") + std::to_string(first + i);
  return b;
}

// Places the netlist `text` with the defaults and reports it.
void placeText(benchmark::State& state, const std::string& text) {
  for (auto _ : state) {
    standin::Design d("ports");
    qplace::readNetlistText(text, "ports.json", d);
    qplace::PlacerOptions opt;
    opt.verbosity = 0;
    qplace::QuadraticPlacer placer(d, opt);
    if (!placer.apMain()) state.SkipWithError(placer.figures().error.c_str());
    report(state, placer.figures());
  }
}

// A design bound by its ports: n registers, each loading an input port
// bit or its own output inverted (a LUT of three inputs: d, the register's
// output, a shared select) and driving an output port bit. The device is
// sized for its 2n + 2 I/O, with dozens of I/O sites at each border
// position (70 at n = 4,096), where the I/O matching and the greedy I/O
// moves see many more sites than on a logic-bound design.
void BM_PortBound(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  // Nets: clk 2, s 3, d 4.., q 4+n.., LUT outputs 4+2n..
  std::string t = "{\"modules\": {\"ports\": {\"ports\": {"
                  "\"clk\": {\"direction\": \"input\", \"bits\": [2]}, "
                  "\"s\": {\"direction\": \"input\", \"bits\": [3]}, "
                  "\"d\": {\"direction\": \"input\", \"bits\": [" + bitList(4, n) + "]}, "
                  "\"q\": {\"direction\": \"output\", \"bits\": [" + bitList(4 + n, n) + "]}}, \"cells\": {";
  for (int i = 0; i < n; ++i) {
    const std::string d = std::to_string(4 + i), q = std::to_string(4 + n + i), y = std::to_string(4 + 2 * n + i);
    t += (i ? ", " : "") + std::string("\"l") + std::to_string(i) +
         "\": {\"type\": \"$lut\", \"parameters\": {\"LUT\": \"10110001\"}, \"connections\": {\"A\": [" + d + ", " +
         q + ", 3], \"Y\": [" + y + "]}}, \"r" + std::to_string(i) +
         "\": {\"type\": \"$_DFF_P_\", \"connections\": {\"C\": [2], \"D\": [" + y + "], \"Q\": [" + q + "]}}";
  }
  placeText(state, t + "}}}}");
}
BENCHMARK(BM_PortBound)->ArgName("registers")->Arg(1024)->Arg(4096)->Iterations(1)->Unit(benchmark::kMillisecond);

// Ports alone: input bit k wired to output bit k, no cell. The device is
// one cluster with every site on its four border positions (2,500 a
// position at 5,000 bits), the extreme of a design sized by its ports.
void BM_PortsOnly(benchmark::State& state) {
  const std::string bits = bitList(2, static_cast<int>(state.range(0)));
  placeText(state, "{\"modules\": {\"ports\": {\"ports\": {\"a\": {\"direction\": \"input\", \"bits\": [" + bits +
                       "]}, \"y\": {\"direction\": \"output\", \"bits\": [" + bits + "]}}, \"cells\": {}}}}");
}
BENCHMARK(BM_PortsOnly)->ArgName("bits")->Arg(1000)->Arg(5000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
