// The placer's timing on picorv32 as the placer places it (argument 0) and
// on generated placed designs of 10,000 to 1,000,000 components (seed
// 2024, routing graph of 8 unit tracks and 2 long ones, at the generator's
// planned placement), size by size:
//  - Graph:    buildTimingGraph (nodes, edges, loops cut, order, indexes);
//  - Table:    DelayTable::fromDevice, the search over the routing graph;
//  - Analyse:  a full analysis (connection delays, arrival and required
//              times in every domain, periods, domain figures);
//  - Analyse2: the same analysis on two threads (TimingAnalysis::
//              setThreads): the calling thread's processor time, and
//              (Analyse2Wall) the elapsed time, which needs a free second
//              core to fall;
//  - Anchor:   a bare forward pass over the same graph: for each node in
//              topological order, the latest of its inputs' arrival plus
//              a stored delay, one domain; the least an analysis reads;
//  - MoveCost: TimingAnalysis::moveCost of a proposed annealing move (a
//              logic unit to a cluster within 3, or two logic units
//              swapped), connection weights criticality^8;
//  - BoxDelta: the wirelength change of the same proposals, by the
//              detail phase's incremental net boxes (a box with the count
//              of units on each edge, rescanned only when a moved unit
//              leaves an edge alone), written out here as detail.cpp does;
//  - Move:     every proposal made: TimingAnalysis::move (positions,
//              connection delays, the cost);
//  - MoveUpdate: likewise, then update(): the arrival and required times
//              brought up to date after every move;
//  - MoveBatch: likewise, update() after every 100 moves;
//  - BoxCommit: the same moves made on the net boxes.
// Times are processor time of the benchmark's thread; full passes are the
// best of the iterations, moves the mean over 200,000 proposals (the best
// of 3 runs through them). A table
// after the benchmarks gives, per size, each against its anchor.
#include "threadclock.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "qplace/net_box.h"
#include "qplace/netlist_reader.h"
#include "qplace/placer.h"
#include "qplace/timing/analysis.h"

namespace {

constexpr int kProposals = 200000;

// One generated design at a time, with everything built on it.
struct Input {
  int n = 0;
  std::unique_ptr<standin::Design> design;
  designgen::Generated gen;
  qplace::Model model;
  qplace::TimingGraph graph;
  qplace::DelayModel figures;
  qplace::DelayTable table;
  std::unique_ptr<qplace::TimingAnalysis> analysis;
  std::vector<double> x, y;  // planned unit positions
  std::vector<std::vector<qplace::UnitMove>> proposals;
};

// The input in use; released before the program ends, while the host's
// records that its design refers to still exist.
std::unique_ptr<Input> current;

// n = 0: picorv32, placed by the placer on its own device.
Input& InputOf(int n) {
  if (current != nullptr && current->n == n) return *current;
  current.reset();
  current = std::make_unique<Input>();
  Input& in = *current;
  in.design = std::make_unique<standin::Design>("bench");
  if (n == 0) {
    qplace::readNetlistFile(QPLACE_PICORV32, *in.design);
    in.model = qplace::packDesign(*in.design);
    const qplace::Fabric f = qplace::makeFabric(*in.design, in.model, 0.7, 0, 0, false);
    in.gen.device = f.dev;
    qplace::PlacerOptions opt;
    opt.verbosity = 0;
    opt.baseline = false;
    opt.routeSignals = 0;
    opt.timing = false;
    opt.device = &in.gen.device;
    qplace::QuadraticPlacer placer(*in.design, opt);
    if (!placer.apMain()) std::fprintf(stderr, "picorv32: %s\n", placer.figures().error.c_str());
  } else {
    designgen::Params p;
    p.components = n;
    p.seed = 2024;
    p.device.routing = true;
    p.device.longTracks = 2;
    in.gen = designgen::generate(*in.design, p);
  }
  in.model = qplace::packDesign(*in.design);
  in.graph = qplace::buildTimingGraph(*in.design, in.model, {});
  in.table = qplace::DelayTable::fromDevice(in.design->phy.graph, in.gen.device, in.figures);
  in.analysis = std::make_unique<qplace::TimingAnalysis>(in.graph, in.model, in.table, in.figures);
  const int units = in.model.numUnits();
  in.x.assign(static_cast<std::size_t>(units), 1);
  in.y.assign(static_cast<std::size_t>(units), 1);
  std::vector<int> logic;
  for (int u = 0; u < units; ++u) {
    const standin::Comp* c = in.model.lut[u] != nullptr ? in.model.lut[u] : in.model.reg[u] != nullptr ? in.model.reg[u] : in.model.io[u];
    in.x[static_cast<std::size_t>(u)] = c->site->col;
    in.y[static_cast<std::size_t>(u)] = c->site->row;
    if (!in.model.isIo(u)) logic.push_back(u);
  }
  in.analysis->setPositions(in.x, in.y);
  in.analysis->analyse();
  in.analysis->refreshCriticality(8);

  // The proposals: half moves within 3 clusters, half swaps of two logic
  // units within 3 clusters of each other, positions as they stand after
  // the proposals before (every proposal is made in the commit runs).
  std::mt19937_64 rng(11);
  std::vector<double> px = in.x, py = in.y;
  const int rows = in.gen.device.plcRows, cols = in.gen.device.plcCols;
  in.proposals.clear();
  for (int k = 0; k < kProposals; ++k) {
    const int u = logic[rng() % logic.size()];
    const double nx = std::clamp(px[static_cast<std::size_t>(u)] + static_cast<double>(rng() % 7) - 3, 1.0, 1.0 * cols);
    const double ny = std::clamp(py[static_cast<std::size_t>(u)] + static_cast<double>(rng() % 7) - 3, 1.0, 1.0 * rows);
    std::vector<qplace::UnitMove> p1{{u, nx, ny}};
    if (k % 2 == 1) {
      // A partner: a random logic unit within 3 clusters (64 tries), else
      // a plain move.
      for (int tries = 0; tries < 64; ++tries) {
        const int v = logic[rng() % logic.size()];
        if (v == u || std::fabs(px[static_cast<std::size_t>(v)] - px[static_cast<std::size_t>(u)]) > 3 ||
            std::fabs(py[static_cast<std::size_t>(v)] - py[static_cast<std::size_t>(u)]) > 3)
          continue;
        p1 = {{u, px[static_cast<std::size_t>(v)], py[static_cast<std::size_t>(v)]},
              {v, px[static_cast<std::size_t>(u)], py[static_cast<std::size_t>(u)]}};
        break;
      }
    }
    for (const qplace::UnitMove& m : p1) {
      px[static_cast<std::size_t>(m.unit)] = m.x;
      py[static_cast<std::size_t>(m.unit)] = m.y;
    }
    in.proposals.push_back(p1);
  }
  in.n = n;
  return in;
}

// The detail phase's net boxes (net_box.h): per net the box of its units'
// places with the count of units on each edge, so that a move that leaves
// an edge still held needs no rescan. Places are whole clusters and sites.
class NetBoxes {
public:
  NetBoxes(const qplace::Model& m, const std::vector<double>& x, const std::vector<double>& y)
      : m_(m), x_(x.size()), y_(y.size()), movedStamp_(x.size(), -1), movedX_(x.size()), movedY_(x.size()),
        stamp_(static_cast<std::size_t>(m.numNets()), 0), slot_(static_cast<std::size_t>(m.numNets()), 0),
        box_(static_cast<std::size_t>(m.numNets())) {
    for (std::size_t u = 0; u < x.size(); ++u) {
      x_[u] = at(x[u]);
      y_[u] = at(y[u]);
    }
    for (int n = 0; n < m_.numNets(); ++n) box_[static_cast<std::size_t>(n)] = scan(n);
  }

  double delta(const qplace::UnitMove* moved, int count) { return evaluate(moved, count); }

  void commit(const qplace::UnitMove* moved, int count) {
    evaluate(moved, count);
    for (int k = 0; k < count; ++k) {
      x_[static_cast<std::size_t>(moved[k].unit)] = at(moved[k].x);
      y_[static_cast<std::size_t>(moved[k].unit)] = at(moved[k].y);
    }
    for (std::size_t i = 0; i < nets_.size(); ++i) box_[static_cast<std::size_t>(nets_[i])] = after_[i];
  }

private:
  static int at(double v) { return static_cast<int>(std::lround(v)); }

  qplace::NetBox scan(int net) const {
    qplace::NetBox b;
    for (int i = m_.netStart[net]; i < m_.netStart[net + 1]; ++i) {
      const std::size_t u = static_cast<std::size_t>(m_.netUnits[static_cast<std::size_t>(i)]);
      if (movedStamp_[u] == movedEpoch_) b.add(movedX_[u], movedY_[u]);
      else b.add(x_[u], y_[u]);
    }
    return b;
  }

  double evaluate(const qplace::UnitMove* moved, int count) {
    nets_.clear();
    after_.clear();
    ++epoch_;
    ++movedEpoch_;
    for (int k = 0; k < count; ++k) {
      const std::size_t u = static_cast<std::size_t>(moved[k].unit);
      movedStamp_[u] = movedEpoch_;
      movedX_[u] = at(moved[k].x);
      movedY_[u] = at(moved[k].y);
    }
    for (int k = 0; k < count; ++k) {
      const int u = moved[k].unit;
      for (int i = m_.unitNetStart[static_cast<std::size_t>(u)]; i < m_.unitNetStart[static_cast<std::size_t>(u) + 1]; ++i) {
        const int n = m_.unitNets[static_cast<std::size_t>(i)];
        if (stamp_[static_cast<std::size_t>(n)] != epoch_) {
          stamp_[static_cast<std::size_t>(n)] = epoch_;
          slot_[static_cast<std::size_t>(n)] = static_cast<int>(nets_.size());
          nets_.push_back(n);
          after_.push_back(box_[static_cast<std::size_t>(n)]);
        }
        qplace::NetBox& b = after_[static_cast<std::size_t>(slot_[static_cast<std::size_t>(n)])];
        if (b.empty()) continue;
        if (b.drop(x_[static_cast<std::size_t>(u)], y_[static_cast<std::size_t>(u)])) b.add(at(moved[k].x), at(moved[k].y));
        else b = qplace::NetBox();
      }
    }
    double d = 0;
    for (std::size_t i = 0; i < nets_.size(); ++i) {
      if (after_[i].empty()) after_[i] = scan(nets_[i]);
      d += after_[i].cost() - box_[static_cast<std::size_t>(nets_[i])].cost();
    }
    return d;
  }

  const qplace::Model& m_;
  std::vector<int> x_, y_;
  std::vector<int> movedStamp_;
  std::vector<int> movedX_, movedY_;
  int movedEpoch_ = 0;
  std::vector<int> stamp_, slot_;
  int epoch_ = 0;
  std::vector<qplace::NetBox> box_;
  std::vector<int> nets_;
  std::vector<qplace::NetBox> after_;
};

// figures[metric][n]: seconds, per pass or per proposal.
std::map<std::string, std::map<int, double>> figures;
void Record(const std::string& metric, int n, double value) {
  auto& slot = figures[metric];
  const auto it = slot.find(n);
  if (it == slot.end() || value < it->second) slot[n] = value;
}

template <class Pass>
void MeasurePass(benchmark::State& state, const char* metric, Pass pass) {
  const int n = static_cast<int>(state.range(0));
  Input& in = InputOf(n);
  double best = 1e300;
  for (auto _ : state) {
    const double t0 = ThreadSeconds();
    pass(in);
    const double dt = ThreadSeconds() - t0;
    state.SetIterationTime(dt);
    best = std::min(best, dt);
  }
  state.counters["ns/comp"] = best * 1e9 / static_cast<double>(in.design->comps.size());
  state.counters["nodes"] = in.graph.numNodes();
  state.counters["edges"] = in.graph.numEdges();
  Record(metric, n, best);
}

void BM_Graph(benchmark::State& state) {
  MeasurePass(state, "graph", [](Input& in) {
    benchmark::DoNotOptimize(qplace::buildTimingGraph(*in.design, in.model, {}).numEdges());
  });
}

void BM_Table(benchmark::State& state) {
  MeasurePass(state, "table", [](Input& in) {
    benchmark::DoNotOptimize(qplace::DelayTable::fromDevice(in.design->phy.graph, in.gen.device, in.figures).at(0, 0));
  });
}

void BM_Analyse(benchmark::State& state) {
  MeasurePass(state, "analyse", [](Input& in) {
    in.analysis->setPositions(in.x, in.y);
    in.analysis->analyse();
    benchmark::DoNotOptimize(in.analysis->domain(0).delay);
  });
}

void BM_AnalyseTwo(benchmark::State& state) {
  double wall = 1e300;
  MeasurePass(state, "analyse, 2 threads", [&](Input& in) {
    const auto t0 = std::chrono::steady_clock::now();
    in.analysis->setThreads(2);
    in.analysis->setPositions(in.x, in.y);
    in.analysis->analyse();
    in.analysis->setThreads(1);
    wall = std::min(wall, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    benchmark::DoNotOptimize(in.analysis->domain(0).delay);
  });
  Record("analyse, 2 threads, elapsed", static_cast<int>(state.range(0)), wall);
}

void BM_Anchor(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Input& in = InputOf(n);
  const qplace::TimingGraph& g = in.graph;
  std::vector<double> delay(static_cast<std::size_t>(g.numEdges()));
  for (int e = 0; e < g.numEdges(); ++e) delay[static_cast<std::size_t>(e)] = in.analysis->edgeDelay(e);
  std::vector<double> arr(static_cast<std::size_t>(g.numNodes()));
  MeasurePass(state, "anchor", [&](Input&) {
    for (int v : g.order) {
      double a = g.isStart(v) ? 300.0 : -std::numeric_limits<double>::infinity();
      for (int i = g.inStart[static_cast<std::size_t>(v)]; i < g.inStart[static_cast<std::size_t>(v) + 1]; ++i) {
        const qplace::TimingGraph::Link& l = g.in[static_cast<std::size_t>(i)];
        a = std::max(a, arr[static_cast<std::size_t>(l.node)] + delay[static_cast<std::size_t>(l.edge)]);
      }
      arr[static_cast<std::size_t>(v)] = a;
    }
    benchmark::DoNotOptimize(arr.data());
  });
}

// Runs every proposal through `step` once per iteration; the time per
// proposal, the mean over them.
template <class Step>
void MeasureMoves(benchmark::State& state, const char* metric, Step step) {
  const int n = static_cast<int>(state.range(0));
  Input& in = InputOf(n);
  double total = 0, best = 1e300;
  for (auto _ : state) {
    state.PauseTiming();
    in.analysis->setPositions(in.x, in.y);
    in.analysis->analyse();
    in.analysis->refreshCriticality(8);
    NetBoxes boxes(in.model, in.x, in.y);
    state.ResumeTiming();
    const double t0 = ThreadSeconds();
    for (const std::vector<qplace::UnitMove>& p : in.proposals) total += step(in, boxes, p);
    const double dt = ThreadSeconds() - t0;
    state.SetIterationTime(dt);
    best = std::min(best, dt);
  }
  state.counters["ns/move"] = best * 1e9 / kProposals;
  state.counters["result/move"] = total / static_cast<double>(kProposals) / static_cast<double>(state.iterations());
  Record(metric, n, best / kProposals);
}

void BM_MoveCost(benchmark::State& state) {
  MeasureMoves(state, "move cost", [](Input& in, NetBoxes&, const std::vector<qplace::UnitMove>& p) {
    return in.analysis->moveCost(p.data(), static_cast<int>(p.size()));
  });
}

void BM_BoxDelta(benchmark::State& state) {
  MeasureMoves(state, "box delta", [](Input&, NetBoxes& b, const std::vector<qplace::UnitMove>& p) {
    return b.delta(p.data(), static_cast<int>(p.size()));
  });
}

void BM_Move(benchmark::State& state) {
  MeasureMoves(state, "move", [](Input& in, NetBoxes&, const std::vector<qplace::UnitMove>& p) {
    in.analysis->move(p.data(), static_cast<int>(p.size()));
    return 0.0;
  });
}

void BM_MoveUpdate(benchmark::State& state) {
  MeasureMoves(state, "move + update", [](Input& in, NetBoxes&, const std::vector<qplace::UnitMove>& p) {
    in.analysis->move(p.data(), static_cast<int>(p.size()));
    return static_cast<double>(in.analysis->update());
  });
}

// Every proposal made, the times brought up to date every 100 moves.
void BM_MoveBatch(benchmark::State& state) {
  long made = 0;
  MeasureMoves(state, "move + update/100", [&](Input& in, NetBoxes&, const std::vector<qplace::UnitMove>& p) {
    in.analysis->move(p.data(), static_cast<int>(p.size()));
    return ++made % 100 == 0 ? static_cast<double>(in.analysis->update()) : 0.0;
  });
}

void BM_BoxCommit(benchmark::State& state) {
  MeasureMoves(state, "box commit", [](Input&, NetBoxes& b, const std::vector<qplace::UnitMove>& p) {
    b.commit(p.data(), static_cast<int>(p.size()));
    return 0.0;
  });
}

void Register() {
  const std::pair<const char*, void (*)(benchmark::State&)> kinds[] = {
      {"Graph", BM_Graph},       {"Table", BM_Table},           {"Analyse", BM_Analyse},
      {"Analyse2", BM_AnalyseTwo},      {"Anchor", BM_Anchor},     {"MoveCost", BM_MoveCost},     {"BoxDelta", BM_BoxDelta},
      {"Move", BM_Move}, {"MoveUpdate", BM_MoveUpdate}, {"MoveBatch", BM_MoveBatch}, {"BoxCommit", BM_BoxCommit}};
  for (int n : {0, 10000, 100000, 1000000})
    for (const auto& [name, fn] : kinds) {
      auto* b = benchmark::RegisterBenchmark(name, fn)->Arg(n)->UseManualTime()->Unit(benchmark::kMillisecond);
      if (std::string(name).find("Move") != std::string::npos || std::string(name).find("Box") != std::string::npos)
        b->Iterations(3);
    }
}

void PrintSummary() {
  std::printf("\n%-26s %9s %12s %12s %9s\n", "measure", "n", "time", "anchor", "ratio");
  const struct {
    const char *metric, *anchor, *label, *unit;
    double scale;
  } rows[] = {{"analyse", "anchor", "full analysis", "ms", 1e3},
              {"analyse, 2 threads", "analyse", "2 threads / 1, this thread", "ms", 1e3},
              {"analyse, 2 threads, elapsed", "analyse", "2 threads / 1, elapsed", "ms", 1e3},
              {"graph", "anchor", "graph build", "ms", 1e3},
              {"table", "anchor", "delay table", "ms", 1e3},
              {"move cost", "box delta", "move cost / box delta", "ns", 1e9},
              {"move", "box commit", "move / box commit", "ns", 1e9},
              {"move + update", "box commit", "move+update / box commit", "ns", 1e9},
              {"move + update/100", "box commit", "update per 100 / commit", "ns", 1e9}};
  for (const auto& row : rows) {
    for (const auto& [n, t] : figures[row.metric]) {
      const auto a = figures[row.anchor].find(n);
      const double anchor = a != figures[row.anchor].end() ? a->second : 0;
      std::printf("%-26s %9s %9.3f %-2s %9.3f %-2s %9.2f\n", row.label, n == 0 ? "picorv32" : std::to_string(n).c_str(), t * row.scale, row.unit,
                  anchor * row.scale, row.unit, anchor > 0 ? t / anchor : 0.0);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  Register();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  current.reset();
  PrintSummary();
  return 0;
}
