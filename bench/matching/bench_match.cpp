// The auction on placement-like windows, side by side with the same auction
// written out plainly (dense scan, bidder found by scanning from row 0) and
// with two exact assignment solvers: one on the arc lists (/exact), one on
// the full cost matrix with missing arcs forbidden (/exactdense). After the
// run, a table gives each solver's time as a ratio to the others measured in
// the same run.
//
// With BASAPLACE_DUMP_WINDOWS=<dir> in the environment, each case's window is
// also written to <dir>/<case>.txt (slashes in the name become '_'), so that
// other assignment solvers can be timed on the very same problems; see
// scipy_reference.py. Format: a line "rows realCols optimum", then one line
// per row: its number of real arcs, then column and weight of each. The
// dummy arcs are not listed; optimum counts -10000 per row on its dummy.
//
// Counters: bids (of the auction), unmatched (rows left on their dummy), gap
// (optimal total minus the auction's, both counting -10000 per row left on
// its dummy).
//
// The build/ cases time what a new window costs: construction, filling and
// the first solve of an AP_MATCHING, against the second solve of the same
// object, with the heap in use while the solved object lives; each is run
// five times and the summary takes the medians.
#include <matching/basapmatch.h>

#include "alloccount.h"
#include "threadclock.h"
#include "exact_assign.h"
#include "literal_auction.h"
#include "windows.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kDummy = -10000;

template <class Solver>
Outcome solveOnce(Solver& s, const Window& w) {
  return ::solveOnce(s, w.rows, w.realCols);
}

template <class Solver>
std::unique_ptr<Solver> load(const Window& w) {
  auto s = std::make_unique<Solver>(w.rows, w.realCols);
  for (int i = 0; i < w.rows; ++i)
    for (const WindowArc& a : w.arcs[i]) s->AddArc(i, a.col, a.weight);
  return s;
}

SparseProblem sparse(const Window& w) {
  SparseProblem p;
  p.rows = w.rows;
  p.cols = w.rows + w.realCols;
  for (int i = 0; i < w.rows; ++i) {
    for (const WindowArc& a : w.arcs[i]) {
      p.col.push_back(a.col);
      p.weight.push_back(a.weight);
    }
    p.col.push_back(w.realCols + i);
    p.weight.push_back(kDummy);
    p.start.push_back(static_cast<int>(p.col.size()));
  }
  return p;
}

// The window as a full cost matrix: cost = -weight on each arc (dummies
// included), forbidden elsewhere.
DenseProblem dense(const Window& w) {
  DenseProblem p;
  p.rows = w.rows;
  p.cols = w.rows + w.realCols;
  p.cost.assign(static_cast<std::size_t>(p.rows) * p.cols, DenseProblem::kForbidden);
  for (int i = 0; i < w.rows; ++i) {
    std::int32_t* row = p.cost.data() + static_cast<std::size_t>(i) * p.cols;
    for (const WindowArc& a : w.arcs[i]) row[a.col] = -a.weight;
    row[w.realCols + i] = -kDummy;
  }
  return p;
}

// A window with the facts every solver's counters report, worked out once.
struct Case {
  Window window;
  long long bids = 0;
  int unmatched = 0;
  std::int64_t optimum = 0;  // best total, counting -10000 per row on its dummy
  std::int64_t gap = 0;
};

Case makeCase(Window w) {
  Case c;
  c.window = std::move(w);
  LiteralAuction literal(c.window.rows, c.window.realCols);
  for (int i = 0; i < c.window.rows; ++i)
    for (const WindowArc& a : c.window.arcs[i]) literal.AddArc(i, a.col, a.weight);
  const Outcome plain = solveOnce(literal, c.window);
  auto ours = load<AP_MATCHING>(c.window);
  if (literal.gaveUp || !(solveOnce(*ours, c.window) == plain)) {
    std::fprintf(stderr, "AP_MATCHING and the plain auction disagree\n");
    std::exit(1);
  }
  std::vector<int> rowCol;
  ExactAssignment exact;
  const std::int64_t optimum = exact.solve(sparse(c.window), rowCol);
  DenseExactAssignment denseExact;
  const DenseProblem matrix = dense(c.window);
  const std::int64_t denseOptimum = -denseExact.solve(matrix, rowCol);
  std::vector<char> taken(matrix.cols, 0);
  for (int i = 0; i < matrix.rows; ++i) {
    const int j = rowCol[i];
    if (j < 0 || taken[j]++ ||
        matrix.cost[static_cast<std::size_t>(i) * matrix.cols + j] == DenseProblem::kForbidden) {
      std::fprintf(stderr, "the dense exact solver gave row %d a column it cannot have\n", i);
      std::exit(1);
    }
  }
  if (denseOptimum != optimum) {
    std::fprintf(stderr, "the exact solvers disagree: %lld on the arc lists, %lld on the matrix\n",
                 static_cast<long long>(optimum), static_cast<long long>(denseOptimum));
    std::exit(1);
  }
  c.optimum = optimum;
  c.bids = literal.bids;
  c.unmatched = plain.unmatched;
  c.gap = optimum - (static_cast<std::int64_t>(plain.total) +
                     static_cast<std::int64_t>(kDummy) * plain.unmatched);
  return c;
}

void setCounters(benchmark::State& state, const Case& c) {
  state.counters["bids"] = static_cast<double>(c.bids);
  state.counters["unmatched"] = c.unmatched;
  state.counters["gap"] = static_cast<double>(c.gap);
}

// Repeated solves of one window by one of the two auctions.
template <class Solver>
void registerAuction(const std::string& name, const std::shared_ptr<Case>& c) {
  benchmark::RegisterBenchmark(name.c_str(), [c](benchmark::State& state) {
    auto m = load<Solver>(c->window);
    std::vector<int> rowMatch(c->window.rows), colMatch(c->window.realCols);
    int total = 0;
    for (auto _ : state) {
      benchmark::DoNotOptimize(m->Solver(rowMatch.data(), colMatch.data(), &total, 0));
      benchmark::ClobberMemory();
    }
    setCounters(state, *c);
  })->Unit(benchmark::kMicrosecond);
}

void registerCase(const std::string& name, const std::shared_ptr<Case>& c) {
  registerAuction<AP_MATCHING>(name + "/auction", c);
  registerAuction<LiteralAuction>(name + "/literal", c);
  benchmark::RegisterBenchmark((name + "/exact").c_str(), [c](benchmark::State& state) {
    const SparseProblem p = sparse(c->window);
    ExactAssignment exact;
    std::vector<int> rowCol;
    for (auto _ : state) benchmark::DoNotOptimize(exact.solve(p, rowCol));
    setCounters(state, *c);
  })->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark((name + "/exactdense").c_str(), [c](benchmark::State& state) {
    const DenseProblem p = dense(c->window);
    DenseExactAssignment exact;
    std::vector<int> rowCol;
    for (auto _ : state) benchmark::DoNotOptimize(exact.solve(p, rowCol));
    setCounters(state, *c);
  })->Unit(benchmark::kMicrosecond);
}

// Writes the window of a case to dir, in the format described at the top.
void dumpCase(const std::string& dir, std::string name, const Case& c) {
  std::replace(name.begin(), name.end(), '/', '_');
  const std::string path = dir + "/" + name + ".txt";
  std::ofstream out(path);
  const Window& w = c.window;
  out << w.rows << ' ' << w.realCols << ' ' << c.optimum << '\n';
  for (int i = 0; i < w.rows; ++i) {
    out << w.arcs[i].size();
    for (const WindowArc& a : w.arcs[i]) out << ' ' << a.col << ' ' << a.weight;
    out << '\n';
  }
  if (!out) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    std::exit(1);
  }
}

// What one window costs from nothing: construction, filling and the first
// solve of a new object, against the second solve of the same object right
// after, both in processor time of this thread (so that other load on the
// machine counts in neither). The heap in use while the solved object lives
// is counted from just before its construction.
struct BuildFigures {
  std::vector<double> whole, second;  // seconds per window, one per repetition
  double heapBytes = 0;
};
std::map<std::string, BuildFigures> buildFigures;

double median(std::vector<double> v) {
  if (v.empty()) return -1;
  std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
  return v[v.size() / 2];
}

void registerBuild(int rows, int k) {
  const std::string name = "build/R" + std::to_string(rows) + "/k" + std::to_string(k);
  auto w = std::make_shared<Window>(legalizationWindow(rows, k, 1000, 10, false, 99u));
  benchmark::RegisterBenchmark(name.c_str(), [w, name](benchmark::State& state) {
    std::vector<int> rowMatch(w->rows), colMatch(w->realCols);
    int total = 0;
    double whole = 0, second = 0, heap = 0;
    for (auto _ : state) {
      const std::int64_t before = alloccount::Current();
      const double t0 = ThreadSeconds();
      auto m = load<AP_MATCHING>(*w);
      benchmark::DoNotOptimize(m->Solver(rowMatch.data(), colMatch.data(), &total, 0));
      const double t1 = ThreadSeconds();
      benchmark::DoNotOptimize(m->Solver(rowMatch.data(), colMatch.data(), &total, 0));
      const double t2 = ThreadSeconds();
      heap = static_cast<double>(alloccount::Current() - before);
      whole += t1 - t0;
      second += t2 - t1;
      state.SetIterationTime(t1 - t0);
    }
    const double n = static_cast<double>(state.iterations());
    BuildFigures& f = buildFigures[name];
    f.whole.push_back(whole / n);
    f.second.push_back(second / n);
    f.heapBytes = heap;
    state.counters["second_us"] = second / n * 1e6;
    state.counters["whole/second"] = whole / second;
    state.counters["heap_MB"] = heap / 1e6;
  })->UseManualTime()->Repetitions(5)->Unit(benchmark::kMicrosecond);
}

// Collects every run's processor time per iteration, to print ratios at the
// end (processor time, so that other load on the machine counts in neither).
class RatioReporter : public benchmark::ConsoleReporter {
public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs)
      if (r.run_type == Run::RT_Iteration && r.iterations > 0)
        seconds[r.run_name.function_name].push_back(r.cpu_accumulated_time / static_cast<double>(r.iterations));
    ConsoleReporter::ReportRuns(runs);
  }
  // Median over repetitions, or -1 when the benchmark did not run.
  double time(const std::string& name) const {
    auto it = seconds.find(name);
    return it == seconds.end() ? -1 : median(it->second);
  }
  std::map<std::string, std::vector<double>> seconds;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

  // Windows: cells uniform over the window (they crowd in places) with
  // benefits up to 1000 and up to 10000, and cells already spread out, one
  // near each of its own sites; then a few dense problems.
  std::vector<std::pair<std::string, std::shared_ptr<Case>>> cases;
  unsigned seed = 1;
  struct Kind {
    const char* name;
    int base;
    bool spread;
  };
  for (const Kind& kind : {Kind{"uniform", 1000, false}, Kind{"uniform", 10000, false},
                           Kind{"spread", 1000, true}})
    for (int rows : {64, 256, 1024, 4096})
      for (int k : {8, 16, 32}) {
        const int pitch = kind.base / 100;  // distances stay well under the base
        const std::string name = std::string(kind.name) + "/B" + std::to_string(kind.base) + "/R" +
                                 std::to_string(rows) + "/k" + std::to_string(k);
        cases.emplace_back(name, std::make_shared<Case>(makeCase(
                                     legalizationWindow(rows, k, kind.base, pitch, kind.spread, seed++))));
      }
  for (int rows : {16, 64}) {
    const std::string name = "dense/R" + std::to_string(rows);
    cases.emplace_back(name, std::make_shared<Case>(makeCase(denseWindow(rows, rows * 3 / 2, 1000, seed++))));
  }
  if (const char* dir = std::getenv("BASAPLACE_DUMP_WINDOWS"); dir && *dir)
    for (const auto& [name, c] : cases) dumpCase(dir, name, *c);
  for (const auto& [name, c] : cases) registerCase(name, c);
  registerBuild(1024, 8);
  registerBuild(4096, 8);

  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);

  std::printf("\n%-26s %12s %12s %12s %12s %10s %10s %10s %9s %6s %6s\n", "case", "auction_us",
              "literal_us", "exact_us", "dense_us", "lit/auct", "auct/exact", "auct/dense", "bids", "gap",
              "unmat");
  for (const auto& [name, c] : cases) {
    const double a = reporter.time(name + "/auction"), l = reporter.time(name + "/literal"),
                 e = reporter.time(name + "/exact"), d = reporter.time(name + "/exactdense");
    if (a < 0) continue;
    std::printf("%-26s %12.1f %12.1f %12.1f %12.1f %10.2f %10.3f %10.4f %9lld %6lld %6d\n", name.c_str(),
                a * 1e6, l * 1e6, e * 1e6, d * 1e6, l > 0 ? l / a : 0.0, e > 0 ? a / e : 0.0,
                d > 0 ? a / d : 0.0, c->bids, static_cast<long long>(c->gap), c->unmatched);
  }
  for (const auto& [name, f] : buildFigures) {
    const double whole = median(f.whole), second = median(f.second);
    std::printf("%-26s construct+fill+solve %.1f us, second solve %.1f us, whole/second %.2f, heap %.2f MB%s\n",
                name.c_str(), whole * 1e6, second * 1e6, whole / second, f.heapBytes / 1e6,
                alloccount::Available() ? "" : " (heap not counted in this build)");
  }
  benchmark::Shutdown();
  return 0;
}
