// The site packing checks on generated legal designs of 10,000, 100,000 and
// 1,000,000 components (host/standin/gen), in one run:
//  - Sig:     drcSig (report 0) over every signal of the design;
//  - AllSite: drcAllSite (checks 0, level 0): the component and site scans
//             and drcSite on every site;
//  - anchors: a bare pass over the host data that each check reads at least
//             once: every pin's component and pin id, and the host's order
//             (basup_cmpcomp) of each pin's component against the previous
//             pin's, the least a sort in that order asks (SigAnchor); every
//             component's site and that site's occupant, every site's
//             occupant and the occupant's site, and the components of every
//             cluster (AllSiteAnchor).
// Times are processor time of the benchmark's thread, per pass, the best of
// the iterations; figures are per component. After the benchmarks a table
// gives, per size, each check against its anchor and against itself at the
// smallest size, the whole-design time, and the allocations made by one
// whole-design pass once the scratch lists have grown (counted by the
// allocator wrappers of alloccount.h).
#include "alloccount.h"
#include "threadclock.h"

#include "host/standin/gen/designgen.h"
#include "support/basapsupp.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

// One generated design at a time: the benchmarks run size by size, and a
// new size replaces the previous design.
struct Input {
  int components = 0;
  std::unique_ptr<standin::Design> design;
};

UP_DESIGN* DesignOf(int n) {
  static Input input;
  if (input.components != n) {
    input.design.reset();
    input.design = std::make_unique<standin::Design>("bench");
    designgen::Params p;
    p.components = n;
    p.seed = 2024;
    designgen::generate(*input.design, p);
    input.components = n;
  }
  input.design->makeCurrent();
  return input.design.get();
}

// figures[metric][n]: seconds per component, the lowest over repetitions;
// allocs[metric][n]: allocations of one pass after the first.
std::map<std::string, std::map<int, double>> figures;
std::map<std::string, std::map<int, long long>> allocs;

void Record(const std::string& metric, int n, double value) {
  auto& slot = figures[metric];
  const auto it = slot.find(n);
  if (it == slot.end() || value < it->second) slot[n] = value;
}

// ---------------------------------------------------------------- passes

long long SigPass(UP_DESIGN* d) {
  AP_SUPP supp(d);
  long long total = 0;
  const int numSignals = d->getnumsignals();
  for (int i = 0; i < numSignals; ++i) total += supp.drcSig(d->getsignal(i), 0);
  return total;
}

long long AllSitePass(UP_DESIGN* d) { return AP_SUPP(d).drcAllSite(0, 0); }

long long SigAnchor(UP_DESIGN* d) {
  long long sum = 0;
  const int numSignals = d->getnumsignals();
  for (int i = 0; i < numSignals; ++i) {
    UP_SIGNAL* sig = d->getsignal(i);
    const int numPins = sig->getnumpins();
    UP_COMP* previous = nullptr;
    for (int k = 0; k < numPins; ++k) {
      UP_SIGPIN* pin = sig->getsigpin(k);
      UP_COMP* comp = pin->getcomp();
      sum += pin->getpinid();
      if (previous != nullptr) sum += basup_cmpcomp(previous, comp);
      previous = comp;
    }
  }
  return sum;
}

long long AllSiteAnchor(UP_DESIGN* d) {
  static std::vector<UP_COMP*> comps;
  long long sum = 0;
  const int numComps = d->getnumcomps();
  for (int i = 0; i < numComps; ++i) {
    UP_SITE* site = d->getcomp(i)->getsite();
    if (site != nullptr) sum += site->getcomp() != nullptr;
  }
  const int numSites = d->getnumsites();
  for (int i = 0; i < numSites; ++i) {
    UP_SITE* site = d->getsite(i);
    UP_COMP* occupant = site->getcomp();
    if (occupant != nullptr) sum += occupant->getsite() == site;
    UP_PLCSITE* plc = site->getplcsite();
    if (plc != nullptr && plc->getsite(0) == site) {
      comps.clear();
      for (UP_SITE* s : plc->getsites()) s->getnumaccbels(comps);
      sum += static_cast<long long>(comps.size());
    }
  }
  return sum;
}

// Times whole passes of `pass` over the design of state.range(0)
// components. One untimed pass first grows any scratch storage; the
// allocations of one more pass are counted after the timed ones.
void Measure(benchmark::State& state, const char* metric, long long (*pass)(UP_DESIGN*)) {
  const int n = static_cast<int>(state.range(0));
  UP_DESIGN* d = DesignOf(n);
  const long long result = pass(d);
  double best = 1e300;
  for (auto _ : state) {
    const double t0 = ThreadSeconds();
    benchmark::DoNotOptimize(pass(d));
    const double dt = ThreadSeconds() - t0;
    state.SetIterationTime(dt);
    best = std::min(best, dt);
  }
  const std::int64_t before = alloccount::Allocations();
  benchmark::DoNotOptimize(pass(d));
  allocs[metric][n] = alloccount::Allocations() - before;
  state.counters["result"] = static_cast<double>(result);
  state.counters["ns/comp"] = best * 1e9 / n;
  state.counters["allocs/pass"] = static_cast<double>(allocs[metric][n]);
  Record(metric, n, best / n);
}

void BM_Sig(benchmark::State& state) { Measure(state, "sig", SigPass); }
void BM_SigAnchor(benchmark::State& state) { Measure(state, "sig anchor", SigAnchor); }
void BM_AllSite(benchmark::State& state) { Measure(state, "allsite", AllSitePass); }
void BM_AllSiteAnchor(benchmark::State& state) { Measure(state, "allsite anchor", AllSiteAnchor); }

// Size by size, so that each design is generated once.
void Register() {
  const std::pair<const char*, void (*)(benchmark::State&)> kinds[] = {
      {"Sig", BM_Sig}, {"SigAnchor", BM_SigAnchor}, {"AllSite", BM_AllSite}, {"AllSiteAnchor", BM_AllSiteAnchor}};
  for (int n : {10000, 100000, 1000000})
    for (const auto& [name, fn] : kinds)
      benchmark::RegisterBenchmark(name, fn)->Arg(n)->UseManualTime()->Unit(benchmark::kMillisecond);
}

void PrintSummary() {
  const struct {
    const char* metric;
    const char* anchor;
    const char* label;
  } rows[] = {{"sig", "sig anchor", "drcSig, every signal"}, {"allsite", "allsite anchor", "drcAllSite(0, 0)"}};
  std::printf("\n%-22s %9s %9s %9s %9s %11s %7s\n", "check", "n", "ns/comp", "/anchor", "/at 10k",
              "whole (ms)", "allocs");
  for (const auto& row : rows) {
    const auto& mine = figures[row.metric];
    const auto& anchor = figures[row.anchor];
    if (mine.empty()) continue;
    const double first = mine.begin()->second;
    for (const auto& [n, perComp] : mine) {
      const auto a = anchor.find(n);
      std::printf("%-22s %9d %9.1f %9.2f %9.2f %11.1f %7lld\n", row.label, n, perComp * 1e9,
                  a != anchor.end() ? perComp / a->second : 0.0, perComp / first, perComp * n * 1e3,
                  allocs[row.metric][n]);
    }
  }
  if (!alloccount::Available()) std::printf("(allocation counting unavailable in this build)\n");
}

}  // namespace

int main(int argc, char** argv) {
  Register();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  PrintSummary();
  return 0;
}
