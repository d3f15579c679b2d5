// The placement linear system against Eigen's sparse conjugate gradient, on
// the same placement-like matrices (examples/placegen.h), in one run:
//  - Fill:   a fresh system filled with SetMatrixEntry in random order, against
//            Eigen's setFromTriplets on the same entries, both triangles
//            (construction and destruction included on both sides);
//  - Refill: ResetMatrix and the same SetMatrixEntry calls again (pattern
//            kept; no Eigen counterpart);
//  - Pass:   time of one conjugate-gradient pass: a fixed number of passes from
//            x = 0 (tolerance out of reach, pass bound set), time divided by
//            the passes run, against ConjugateGradient<SparseMatrix<double>,
//            Lower|Upper, DiagonalPreconditioner<double>>; the two solves
//            alternate and each keeps its best time;
//  - Memory: peak heap of construct + fill + solve (a few passes), counted by
//            the allocator wrappers of alloccount.h, per stored entry of the
//            matrix (n diagonal + distinct upper-triangle positions); the input
//            entry list is not counted, on either side.
// After the benchmarks, a table of ratios (ours / Eigen) per size is printed.
#include "alloccount.h"

#include <placegen.h>

#include <linsys/basaplinsys.h>

#include <Eigen/IterativeLinearSolvers>
#include <Eigen/SparseCore>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;
using EigenMatrix = Eigen::SparseMatrix<double>;
using EigenCG = Eigen::ConjugateGradient<EigenMatrix, Eigen::Lower | Eigen::Upper,
                                         Eigen::DiagonalPreconditioner<double>>;

// Inputs of one size, built once and shared by every benchmark of that size.
struct Input {
  placegen::System sys;
  std::vector<Eigen::Triplet<double>> triplets;  // both triangles, random order
};

const Input& InputOf(std::uint32_t n) {
  static std::map<std::uint32_t, std::unique_ptr<Input>> cache;
  auto& slot = cache[n];
  if (!slot) {
    slot = std::make_unique<Input>();
    slot->sys = placegen::Generate(n, 2024);
    auto& t = slot->triplets;
    t.reserve(2 * slot->sys.entries.size());
    for (const auto& e : slot->sys.entries) {
      t.emplace_back(e.row, e.col, e.value);
      if (e.row != e.col) t.emplace_back(e.col, e.row, e.value);
    }
    placegen::Random rng(7);
    placegen::Shuffle(t, rng);
  }
  return *slot;
}

void Fill(basAP::plQPLinearSystem& s, const placegen::System& sys) {
  for (const auto& e : sys.entries) s.SetMatrixEntry(e.row, e.col, e.value);
}

void FillSystem(basAP::plQPLinearSystem& s, const placegen::System& sys) {
  Fill(s, sys);
  for (std::uint32_t i = 0; i < sys.n; ++i) s.SetRHSVectorEntry(i, sys.bx[i]);
}

Eigen::VectorXd EigenRhs(const placegen::System& sys) {
  return Eigen::Map<const Eigen::VectorXd>(sys.bx.data(), sys.n);
}

// Results kept for the closing table: figure[metric][n][side]. With
// --benchmark_repetitions the best (lowest) figure of the repetitions is kept,
// which filters out interference from other work on the machine.
std::map<std::string, std::map<std::uint32_t, std::map<std::string, double>>> figures;

void Record(const std::string& metric, std::uint32_t n, const std::string& side, double value) {
  auto& sides = figures[metric][n];
  const auto it = sides.find(side);
  if (it == sides.end() || value < it->second) sides[side] = value;
}

std::uint32_t PassesFor(std::uint32_t n) { return n >= 1000000 ? 60 : 100; }

// ---------------------------------------------------------------- fill

void BM_Fill_Ours(benchmark::State& state) {
  const auto n = static_cast<std::uint32_t>(state.range(0));
  const Input& in = InputOf(n);
  double seconds = 0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    {
      basAP::plQPLinearSystem s(n, 0);
      Fill(s, in.sys);
      benchmark::DoNotOptimize(s);
    }
    const double dt = std::chrono::duration<double>(Clock::now() - t0).count();
    state.SetIterationTime(dt);
    seconds += dt;
  }
  const double perFill = seconds / static_cast<double>(state.iterations());
  state.counters["entries"] = static_cast<double>(in.sys.entries.size());
  state.counters["ns/entry"] = perFill * 1e9 / static_cast<double>(in.sys.entries.size());
  Record("fill", n, "ours", perFill);
}

void BM_Fill_Eigen(benchmark::State& state) {
  const auto n = static_cast<std::uint32_t>(state.range(0));
  const Input& in = InputOf(n);
  double seconds = 0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    {
      EigenMatrix a(n, n);
      a.setFromTriplets(in.triplets.begin(), in.triplets.end());
      benchmark::DoNotOptimize(a.valuePtr());
    }
    const double dt = std::chrono::duration<double>(Clock::now() - t0).count();
    state.SetIterationTime(dt);
    seconds += dt;
  }
  const double perFill = seconds / static_cast<double>(state.iterations());
  state.counters["triplets"] = static_cast<double>(in.triplets.size());
  state.counters["ns/entry"] = perFill * 1e9 / static_cast<double>(in.sys.entries.size());
  Record("fill", n, "eigen", perFill);
}

void BM_Refill_Ours(benchmark::State& state) {
  const auto n = static_cast<std::uint32_t>(state.range(0));
  const Input& in = InputOf(n);
  basAP::plQPLinearSystem s(n, 0);
  Fill(s, in.sys);
  for (auto _ : state) {
    s.ResetMatrix();
    Fill(s, in.sys);
    benchmark::DoNotOptimize(s);
  }
}

// ---------------------------------------------------------------- CG pass

// Ours and Eigen's solve take turns within every iteration, so that
// interference from other work on the machine falls on both alike; each
// side's figure is its best pass time over the iterations.
void BM_Pass(benchmark::State& state) {
  const auto n = static_cast<std::uint32_t>(state.range(0));
  const Input& in = InputOf(n);
  const std::uint32_t passes = PassesFor(n);
  basAP::plQPLinearSystem pristine(n, 0);
  FillSystem(pristine, in.sys);
  pristine.SetTolerance(1e-300);
  pristine.SetMaxIterations(passes);

  EigenMatrix a(n, n);
  a.setFromTriplets(in.triplets.begin(), in.triplets.end());
  const Eigen::VectorXd b = EigenRhs(in.sys);
  EigenCG cg;
  cg.setTolerance(1e-300);
  cg.setMaxIterations(passes);
  cg.compute(a);

  double ours = 1e300, eigen = 1e300;
  for (auto _ : state) {
    basAP::plQPLinearSystem s(pristine);  // the same start every time: x = 0
    const auto t0 = Clock::now();
    benchmark::DoNotOptimize(s.Solve());
    const auto t1 = Clock::now();
    Eigen::VectorXd x = cg.solve(b);  // from x = 0
    const auto t2 = Clock::now();
    benchmark::DoNotOptimize(x.data());
    state.SetIterationTime(std::chrono::duration<double>(t2 - t0).count());
    ours = std::min(ours, std::chrono::duration<double>(t1 - t0).count() / s.GetIterations());
    eigen = std::min(eigen, std::chrono::duration<double>(t2 - t1).count() / static_cast<double>(cg.iterations()));
  }
  state.counters["passes"] = passes;
  state.counters["ours_us/pass"] = ours * 1e6;
  state.counters["eigen_us/pass"] = eigen * 1e6;
  state.counters["ratio"] = ours / eigen;
  Record("pass", n, "ours", ours);
  Record("pass", n, "eigen", eigen);
}

// ---------------------------------------------------------------- memory

// Peak heap of one construct + fill + short solve, per stored entry.
template <class Build>
void MeasurePeak(benchmark::State& state, const char* side, Build build) {
  const auto n = static_cast<std::uint32_t>(state.range(0));
  const Input& in = InputOf(n);
  double perEntry = 0;
  for (auto _ : state) {
    const std::int64_t base = alloccount::Current();
    alloccount::ResetPeak();
    build(n, in);
    perEntry = static_cast<double>(alloccount::Peak() - base) / static_cast<double>(in.sys.entries.size());
  }
  state.counters["B/entry"] = perEntry;
  Record("memory", n, side, perEntry);
}

void BM_Memory_Ours(benchmark::State& state) {
  MeasurePeak(state, "ours", [](std::uint32_t n, const Input& in) {
    basAP::plQPLinearSystem s(n, 0);
    FillSystem(s, in.sys);
    s.SetTolerance(1e-300);
    s.SetMaxIterations(5);
    benchmark::DoNotOptimize(s.Solve());
  });
}

void BM_Memory_Eigen(benchmark::State& state) {
  MeasurePeak(state, "eigen", [](std::uint32_t n, const Input& in) {
    EigenMatrix a(n, n);
    a.setFromTriplets(in.triplets.begin(), in.triplets.end());
    const Eigen::VectorXd b = EigenRhs(in.sys);
    EigenCG cg;
    cg.setTolerance(1e-300);
    cg.setMaxIterations(5);
    cg.compute(a);
    Eigen::VectorXd x = cg.solve(b);
    benchmark::DoNotOptimize(x.data());
  });
}

void Sizes(benchmark::internal::Benchmark* b) { b->Arg(10000)->Arg(100000)->Arg(1000000); }

BENCHMARK(BM_Fill_Ours)->Apply(Sizes)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Fill_Eigen)->Apply(Sizes)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Refill_Ours)->Apply(Sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pass)->Apply(Sizes)->UseManualTime()->MinTime(4.0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Memory_Ours)->Apply(Sizes)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Memory_Eigen)->Apply(Sizes)->Iterations(1)->Unit(benchmark::kMillisecond);

// Ratios ours / Eigen of the figures measured in this run.
void PrintSummary() {
  struct Row {
    const char* metric;
    const char* label;
    double scale;
    const char* unit;
  };
  const Row rows[] = {{"pass", "CG pass", 1e3, "ms"},
                      {"fill", "fill", 1e3, "ms"},
                      {"memory", "peak heap per stored entry", 1, "B"}};
  std::printf("\n%-28s %9s %12s %12s %8s\n", "ours vs Eigen", "n", "ours", "Eigen", "ratio");
  for (const Row& row : rows) {
    if (std::string(row.metric) == "memory" && !alloccount::Available()) continue;
    const auto it = figures.find(row.metric);
    if (it == figures.end()) continue;
    for (const auto& [n, sides] : it->second) {
      const auto ours = sides.find("ours");
      const auto eigen = sides.find("eigen");
      if (ours == sides.end() || eigen == sides.end()) continue;
      std::printf("%-28s %9u %9.3f %-2s %9.3f %-2s %8.3f\n", row.label, n, ours->second * row.scale, row.unit,
                  eigen->second * row.scale, row.unit, ours->second / eigen->second);
    }
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
