// qpsolve: one quadratic-placement step on a generated netlist.
//
// Builds a placement-like system (placegen.h) of N movable cells, N from the
// first argument (default 200000), solves it for the x and for the y
// coordinates with two plQPLinearSystem objects that share the matrix and
// differ in their right-hand sides, and reports the size, the passes, the
// times and the residual of each solve.
//
// The residual is sum_i |(A x - b)_i|, computed here with a sparse product
// over the generated entries (CalcSolutionError gives the same measure but
// walks all n^2 positions, far too slow at this size).
//
// Usage: qpsolve [cells [tolerance]]
#include "placegen.h"

#include <linsys/basaplinsys.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

// sum_i |(A x - b)_i| with A given by its stored upper-triangle entries.
double ResidualOneNorm(const placegen::System& sys, const std::vector<double>& x, const std::vector<double>& b) {
  std::vector<double> ax(sys.n, 0.0);
  for (const placegen::Entry& e : sys.entries) {
    ax[e.row] += e.value * x[e.col];
    if (e.row != e.col) ax[e.col] += e.value * x[e.row];
  }
  double total = 0;
  for (std::uint32_t i = 0; i < sys.n; ++i) total += std::fabs(ax[i] - b[i]);
  return total;
}

bool ParseArgs(int argc, char** argv, std::uint32_t* cells, double* tolerance) {
  if (argc > 3) return false;
  if (argc > 1) {
    char* end = nullptr;
    const unsigned long v = std::strtoul(argv[1], &end, 10);
    if (*end != '\0' || v < 1 || v > 50000000ul) return false;
    *cells = static_cast<std::uint32_t>(v);
  }
  if (argc > 2) {
    char* end = nullptr;
    *tolerance = std::strtod(argv[2], &end);
    if (*end != '\0' || !(*tolerance > 0)) return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::uint32_t cells = 200000;
  double tolerance = 1e-6;
  if (!ParseArgs(argc, argv, &cells, &tolerance)) {
    std::fprintf(stderr, "usage: %s [cells (1..50000000, default 200000) [tolerance > 0, default 1e-6]]\n", argv[0]);
    return 2;
  }

  auto t = Clock::now();
  const placegen::System sys = placegen::Generate(cells, 1);
  const double generated = Seconds(t);
  const std::uint64_t upper = sys.entries.size() - sys.n;
  std::printf("netlist    %u cells, %llu nets, %llu pins, %u cells tied to pads (generated in %.2f s)\n", sys.n,
              static_cast<unsigned long long>(sys.nets), static_cast<unsigned long long>(sys.pins), sys.pads,
              generated);
  std::printf("matrix     %u x %u, %llu stored entries (%u diagonal + %llu upper), %.2f per row\n", sys.n, sys.n,
              static_cast<unsigned long long>(sys.entries.size()), sys.n, static_cast<unsigned long long>(upper),
              static_cast<double>(sys.entries.size()) / sys.n);

  const int start = static_cast<int>(sys.gridWidth / 2);  // every cell starts at the centre
  const char* axes[] = {"x", "y"};
  const std::vector<double>* rhs[] = {&sys.bx, &sys.by};
  bool allEnded = true;
  for (int axis = 0; axis < 2; ++axis) {
    t = Clock::now();
    basAP::plQPLinearSystem system(sys.n, start);
    for (const placegen::Entry& e : sys.entries) system.SetMatrixEntry(e.row, e.col, e.value);
    for (std::uint32_t i = 0; i < sys.n; ++i) system.SetRHSVectorEntry(i, (*rhs[axis])[i]);
    system.SetTolerance(tolerance);
    const double filled = Seconds(t);

    t = Clock::now();
    const bool ended = system.Solve();
    const double solved = Seconds(t);
    allEnded = allEnded && ended;

    std::vector<double> x(sys.n);
    double lo = 1e300, hi = -1e300;
    for (std::uint32_t i = 0; i < sys.n; ++i) {
      x[i] = system.GetSolution(i);
      lo = std::min(lo, x[i]);
      hi = std::max(hi, x[i]);
    }
    const unsigned passes = system.GetIterations();
    std::printf("solve %s    fill %.3f s, %u passes in %.3f s (%.3f ms a pass)%s, tolerance %g\n", axes[axis], filled,
                passes, solved, passes ? solved * 1e3 / passes : 0.0, ended ? "" : " STOPPED BY THE PASS BOUND",
                tolerance);
    std::printf("           residual |Ax - b|_1 = %.6g (sparse product over the stored entries)\n",
                ResidualOneNorm(sys, x, *rhs[axis]));
    std::printf("           coordinates in [%.2f, %.2f] on a %u-wide grid\n", lo, hi, sys.gridWidth);
  }
  return allEnded ? 0 : 1;
}
