// Route lookups on a generated device with a routing graph of a few million
// nodes: signals of 2 to 1,000 loads, each routed as a tree from its driver
// (designgen::routeSignal), looked up from the driver to every load with
// AP_SUPP::getRoute. The generated nets are local, so signals of 2 and 10
// loads on new LUTs spread over the whole device add long routes; their
// lookups and those of the generated nets are grouped by the length of the
// route found, in arcs. The last group is apart: the lookups of one signal
// of 100 loads spread over the device, where the search from a load climbs
// the tree through the sibling branches it meets.
//
// The anchor is the same lookup with the search written as a plain
// recursion (no visited set, one call per node of the route), which on
// these routes (trees) finds the same route with the very same arc steps.
// Each iteration makes, with each search in turn, a pass over the group
// with every lookup made once, then a pass with every lookup made 4 times
// in a row: the lookups after the first find the graph in the caches as far
// as it fits, and the difference of the two passes is their time.
// Counters:
//   search_ns, plain_ns  processor time per arc step (an arc handed out by a
//                        visited node's iterator), of a lookup made once;
//   ratio                search time / plain time, of a lookup made once;
//   warm_search_ns, warm_plain_ns, warm_ratio
//                        the same of a lookup made again at once;
//   steps_per_arc        arc steps per arc of the routes found;
//   allocs               blocks allocated per lookup by the plain lookup:
//                        the path's elements and the node list;
//   extra_allocs         blocks the search allocates per lookup beyond that,
//                        in steady state;
//   lookups              per pass.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "alloccount.h"
#include "threadclock.h"
#include "host/standin/gen/designgen.h"
#include "support/basapsupp.h"
#include "tests/support/plain_route.h"

namespace {

// A route group: the lookups whose route has lo to hi arcs.
struct Group {
  int lo, hi;
};
const Group kGroups[] = {{1, 4}, {5, 16}, {17, 64}, {65, 256}, {257, 1 << 30}};
constexpr int kNumGroups = sizeof kGroups / sizeof kGroups[0];
constexpr int kWide = kNumGroups;  // the group of the wide signal

struct Lookup {
  UP_SIGPIN* from;
  UP_SIGPIN* to;
};

// getRoute with the plain recursion as its search.
int plainRoute(AP_SUPP& supp, const Lookup& l, UP_PATH* path, std::vector<PhyNode*>& nodes,
               std::int64_t* steps = nullptr) {
  UP_COMP* ca = l.from->getcomp();
  UP_COMP* cb = l.to->getcomp();
  if (ca == nullptr || cb == nullptr) return 0;
  UP_SIGNAL* sig = cb->getsignal(l.to->getpinid());
  if (sig == nullptr || sig != ca->getsignal(l.from->getpinid())) return 0;
  PhyArc_ID none;
  std::fill(std::begin(none.bytes), std::end(none.bytes), 0xff);
  const int found = plainFind(supp, l.from->getnode(), l.to->getnode(), none, path, nodes, steps);
  if (found != 0) nodes.push_back(l.to->getnode());
  return found;
}

// The generated design, its routed signals and the lookups by group.
struct Bench {
  Bench() {
    designgen::Params p;
    p.components = 400000;
    p.seed = 8;
    p.device.routing = true;
    p.device.plcRows = p.device.plcCols = 360;
    g = designgen::generate(d, p);

    // The generated nets are local. Of their signals of 2 to 1,000 loads:
    // one in 256 of those with up to 4 loads, one in 4 of the others.
    int small = 0, large = 0;
    for (standin::Signal& sig : d.signals) {
      const int loads = static_cast<int>(sig.pins.size()) - sig.numDrivers;
      if (sig.numDrivers != 1 || loads < 2 || loads > 1000) continue;
      if (loads <= 4 ? small++ % 256 == 0 : large++ % 4 == 0) route(&sig);
    }
    // Long routes: signals on new LUTs placed anywhere on the device.
    std::mt19937 rng(8);
    auto anySite = [&] {
      std::uniform_int_distribution<int> row(0, g.device.plcRows - 1), col(0, g.device.plcCols - 1),
          pos(0, 3);
      return static_cast<standin::Site*>(g.device.plcAt(row(rng), col(rng))->sites[pos(rng)]);
    };
    std::vector<int> spread(60, 2);
    spread.insert(spread.end(), 12, 10);
    spread.push_back(100);
    for (int loads : spread) {
      standin::Signal* sig = d.addSignal("spread" + std::to_string(d.signals.size()));
      for (int i = 0; i <= loads; ++i) {
        standin::Comp* c = designgen::addLut(d, g.prims, "spread" + std::to_string(d.comps.size()));
        d.place(c, anySite());
        if (i == 0)
          d.addDriver(sig, c, designgen::LUT_Z);
        else
          d.addLoad(sig, c, designgen::LUT_A);
      }
      route(sig, loads == 100);
    }
  }

  // Routes a signal and files a lookup from its driver to each load, in the
  // wide group or by length.
  void route(standin::Signal* sig, bool wide = false) {
    if (!designgen::routeSignal(d, g.device, sig)) return;
    ++routed;
    for (std::size_t i = 1; i < sig->pins.size(); ++i) add({sig->pins[0], sig->pins[i]}, wide);
  }

  // Files a lookup and counts its arc steps, after checking that the
  // search finds what the plain recursion finds.
  void add(const Lookup& l, bool wide) {
    UP_PATH path, again;
    std::vector<PhyNode*> nodes, same;
    std::int64_t s = 0;
    const int found = plainRoute(supp, l, &path, nodes, &s);
    if (supp.getRoute(l.from, l.to, &again, same) != found || same != nodes) {
      std::fprintf(stderr, "the search and the plain recursion disagree\n");
      std::abort();
    }
    if (found == 0) {
      ++notFound;
      return;
    }
    const int length = static_cast<int>(nodes.size()) - 1;
    int k = kWide;
    while (!wide && --k >= 0 && (length < kGroups[k].lo || length > kGroups[k].hi)) {
    }
    lookups[k].push_back(l);
    steps[k] += s;
    arcs[k] += length;
  }

  standin::Design d{"route"};
  designgen::Generated g;
  AP_SUPP supp{&d};
  int routed = 0, notFound = 0;
  std::vector<Lookup> lookups[kNumGroups + 1];
  std::int64_t steps[kNumGroups + 1] = {};
  std::int64_t arcs[kNumGroups + 1] = {};
};

Bench& bench() {
  static Bench* b = [] {
    auto* made = new Bench;
    std::fprintf(stderr, "routing graph: %zu nodes, %zu arcs; %d signals routed; %d lookups not found\n",
                 made->d.phy.graph.nodes.size(), made->d.phy.graph.arcs.size(), made->routed,
                 made->notFound);
    return made;
  }();
  return *b;
}

// One pass over a group's lookups, each made `repeat` times in a row, each
// time into a new path; adds its time and the blocks it allocated.
template <class LookupFn>
void pass(const std::vector<Lookup>& group, int repeat, std::vector<PhyNode*>& nodes,
          LookupFn lookup, double& seconds, std::int64_t& blocks) {
  const std::int64_t before = alloccount::Allocations();
  const double start = ThreadSeconds();
  for (const Lookup& l : group) {
    for (int r = 0; r < repeat; ++r) {
      UP_PATH path;
      nodes.clear();
      benchmark::DoNotOptimize(lookup(l, &path, nodes));
    }
  }
  seconds += ThreadSeconds() - start;
  blocks += alloccount::Allocations() - before;
}

void BM_Route(benchmark::State& state) {
  Bench& b = bench();
  const int k = static_cast<int>(state.range(0));
  const std::vector<Lookup>& group = b.lookups[k];
  std::vector<PhyNode*> nodes;
  auto search = [&](const Lookup& l, UP_PATH* path, std::vector<PhyNode*>& out) {
    return b.supp.getRoute(l.from, l.to, path, out);
  };
  auto plain = [&](const Lookup& l, UP_PATH* path, std::vector<PhyNode*>& out) {
    return plainRoute(b.supp, l, path, out);
  };
  // Seconds and blocks of [search, plain][once, kRepeat times].
  constexpr int kRepeat = 4;
  double seconds[2][2] = {}, unused = 0;
  std::int64_t blocks[2][2] = {}, ignored = 0;
  pass(group, 1, nodes, search, unused, ignored);  // steady state: storage grown, list sized
  for (auto _ : state) {
    for (int r : {0, 1}) {
      pass(group, r == 0 ? 1 : kRepeat, nodes, search, seconds[0][r], blocks[0][r]);
      pass(group, r == 0 ? 1 : kRepeat, nodes, plain, seconds[1][r], blocks[1][r]);
    }
  }
  const double passes = static_cast<double>(state.iterations());
  const double steps = static_cast<double>(b.steps[k]) * passes;
  const double lookups = static_cast<double>(group.size());
  const double once[2] = {seconds[0][0], seconds[1][0]};
  const double warm[2] = {(seconds[0][1] - once[0]) / (kRepeat - 1),
                          (seconds[1][1] - once[1]) / (kRepeat - 1)};
  state.counters["lookups"] = lookups;
  state.counters["steps_per_arc"] = static_cast<double>(b.steps[k]) / static_cast<double>(b.arcs[k]);
  state.counters["search_ns"] = once[0] / steps * 1e9;
  state.counters["plain_ns"] = once[1] / steps * 1e9;
  state.counters["ratio"] = once[0] / once[1];
  state.counters["warm_search_ns"] = warm[0] / steps * 1e9;
  state.counters["warm_plain_ns"] = warm[1] / steps * 1e9;
  state.counters["warm_ratio"] = warm[0] / warm[1];
  const double calls = (1 + kRepeat) * lookups * passes;
  state.counters["allocs"] = static_cast<double>(blocks[1][0] + blocks[1][1]) / calls;
  state.counters["extra_allocs"] =
      static_cast<double>(blocks[0][0] + blocks[0][1] - blocks[1][0] - blocks[1][1]) / calls;
}

}  // namespace

BENCHMARK(BM_Route)->DenseRange(0, kWide)->ArgName("group")->Unit(benchmark::kMillisecond)->MinTime(2.0);

BENCHMARK_MAIN();
