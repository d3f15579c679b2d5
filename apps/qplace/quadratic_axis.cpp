// One axis of quadratic placement: the bound-to-bound model, its linear
// system and its solve from a start vector.
#include "qplace/quadratic_axis.h"

#include <linsys/basaplinsys.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace qplace {

namespace {

// Smallest distance the bound-to-bound model divides by, in clusters.
constexpr double kMinDist = 0.5;
// Weight of the pull of every movable unit to the device centre; it keeps
// units without a path to a fixed one in place and the matrix definite.
constexpr double kCentrePull = 1e-4;
// Calls f(a, b, w) for every connection of the bound-to-bound model of the
// nets of m at positions pos: each net's two extreme units joined to each
// other and every other unit joined to both, with weight 2 / (p - 1) (times
// the net's weight) over the distance, the distance at least kMinDist.
// Nets in order, and within a net the same order every time.
template <class F>
void forEachConnection(const Model& m, const std::vector<double>& pos, F f) {
  for (int n = 0; n < m.numNets(); ++n) {
    const int b = m.netStart[n], e = m.netStart[n + 1];
    const int p = e - b;
    int lo = m.netUnits[b], hi = lo;
    for (int i = b + 1; i < e; ++i) {
      const int u = m.netUnits[i];
      if (pos[u] < pos[lo]) lo = u;
      if (pos[u] > pos[hi]) hi = u;
    }
    if (lo == hi) hi = m.netUnits[b + 1];
    const double scale = 2.0 / (p - 1) * (m.netWeight.empty() ? 1.0 : m.netWeight[n]);
    f(lo, hi, scale / std::max(std::fabs(pos[hi] - pos[lo]), kMinDist));
    for (int i = b; i < e; ++i) {
      const int u = m.netUnits[i];
      if (u == lo || u == hi) continue;
      f(u, lo, scale / std::max(std::fabs(pos[u] - pos[lo]), kMinDist));
      f(u, hi, scale / std::max(std::fabs(pos[u] - pos[hi]), kMinDist));
    }
  }
}

// A system in connection form: the matrix has diag on its diagonal and
// -weight at (v, cols[k]) for each connection k of row v (rowStart[v] <= k <
// rowStart[v + 1]); every connection joins v to a higher variable. Filled
// unsorted, then merged: sorted by column, one connection per column.
struct Level {
  int n = 0;
  std::vector<int> rowStart;
  std::vector<std::uint32_t> cols;
  std::vector<double> weights, diag, rhs;

  // Room for the connections counted in rowStart[v + 1] (v's count);
  // turns the counts into starts and returns each row's first free place.
  std::vector<int> openRows() {
    for (int v = 0; v < n; ++v) rowStart[v + 1] += rowStart[v];
    cols.resize(static_cast<std::size_t>(rowStart[n]));
    weights.resize(cols.size());
    return std::vector<int>(rowStart.begin(), rowStart.end() - 1);
  }

  // Sorts each row's connections by column and sums those of one column,
  // in the order they were made, into one; rows move down to stay back to
  // back.
  void mergeRows() {
    struct Link {
      std::uint32_t col;
      double w;
    };
    std::vector<Link> order;
    int out = 0;
    for (int v = 0; v < n; ++v) {
      const int b = rowStart[v], e = rowStart[v + 1];
      rowStart[v] = out;
      // A stable sort, so that equal columns keep their order: insertion
      // for the short rows nearly all are, merging for the long ones.
      if (e - b <= 32) {
        for (int i = b + 1; i < e; ++i) {
          const std::uint32_t c = cols[i];
          const double w = weights[i];
          int j = i;
          for (; j > b && cols[j - 1] > c; --j) {
            cols[j] = cols[j - 1];
            weights[j] = weights[j - 1];
          }
          cols[j] = c;
          weights[j] = w;
        }
      } else {
        order.resize(static_cast<std::size_t>(e - b));
        for (int i = b; i < e; ++i) order[i - b] = {cols[i], weights[i]};
        std::stable_sort(order.begin(), order.end(), [](const Link& x, const Link& y) { return x.col < y.col; });
        for (int i = b; i < e; ++i) {
          cols[i] = order[i - b].col;
          weights[i] = order[i - b].w;
        }
      }
      for (int i = b; i < e;) {
        const std::uint32_t c = cols[i];
        double w = 0;
        for (; i < e && cols[i] == c; ++i) w += weights[i];
        cols[out] = c;
        weights[out] = w;
        ++out;
      }
    }
    rowStart[n] = out;
    cols.resize(static_cast<std::size_t>(out));
    weights.resize(static_cast<std::size_t>(out));
  }

  // A hash of the pattern: every row's length and columns.
  std::uint64_t patternHash() const {
    std::uint64_t h = 0x9e3779b97f4a7c15ull;
    auto mix = [&h](std::uint64_t v) {
      h ^= v + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2);
      h *= 0xbf58476d1ce4e5b9ull;
    };
    for (int v = 0; v < n; ++v) {
      mix(static_cast<std::uint64_t>(rowStart[v + 1] - rowStart[v]));
      for (int k = rowStart[v]; k < rowStart[v + 1]; ++k) mix(cols[k]);
    }
    return h;
  }
};

// Writes the level into sys (of its size, fresh or of the same pattern) row
// by row in ascending columns, so that every new entry goes at the end of
// its row. Returns the sum of the diagonal.
double fillSystem(basAP::plQPLinearSystem& sys, const Level& l) {
  double diagSum = 0;
  for (int v = 0; v < l.n; ++v) {
    const auto row = static_cast<unsigned>(v);
    for (int k = l.rowStart[v]; k < l.rowStart[v + 1]; ++k) sys.SetMatrixEntry(row, l.cols[k], -l.weights[k]);
    sys.SetMatrixDiagEntry(row, l.diag[v]);
    sys.SetRHSVectorEntry(row, l.rhs[v]);
    diagSum += l.diag[v];
  }
  return diagSum;
}

// Solves sys from x and leaves the solution in x; returns the passes.
unsigned solveFrom(basAP::plQPLinearSystem& sys, double diagSum, std::vector<double>& x, unsigned maxPasses,
                   double tolerance) {
  sys.SetSolution(x);
  // An absolute stopping measure: sum of A(i,i) e(i)^2 for a position error
  // e of about sqrt(tolerance) clusters.
  sys.SetTolerance(std::max(tolerance * diagSum, 1e-12));
  sys.SetMaxIterations(maxPasses);
  sys.Solve();
  for (std::size_t v = 0; v < x.size(); ++v) x[v] = sys.GetSolution(static_cast<unsigned>(v));
  return sys.GetIterations();
}

}  // namespace

AxisSystem::AxisSystem(int numVars) : n_(numVars) {}

AxisSystem::~AxisSystem() = default;

AxisRun AxisSystem::solve(const Model& m, const std::vector<int>& var, std::vector<double>& pos,
                          const std::vector<double>& anchor, const std::vector<double>& anchorW, double centre,
                          unsigned maxPasses, double tolerance, AxisStart start) {
  const auto n = static_cast<std::size_t>(n_);
  auto model = std::make_unique<Level>();
  Level& l = *model;
  l.n = n_;
  l.diag.assign(n, kCentrePull);
  l.rhs.assign(n, kCentrePull * centre);
  // Connections between two variables, bucketed by row (the smaller
  // variable): counted first, then written in the same order.
  l.rowStart.assign(n + 1, 0);
  forEachConnection(m, pos, [&](int a, int b, double w) {
    const int va = var[a], vb = var[b];
    if (va >= 0) l.diag[va] += w;
    if (vb >= 0) l.diag[vb] += w;
    if (va >= 0 && vb >= 0) {
      ++l.rowStart[std::min(va, vb) + 1];
    } else if (va >= 0) {
      l.rhs[va] += w * pos[b];
    } else if (vb >= 0) {
      l.rhs[vb] += w * pos[a];
    }
  });
  {
    std::vector<int> at = l.openRows();
    forEachConnection(m, pos, [&](int a, int b, double w) {
      const int va = var[a], vb = var[b];
      if (va < 0 || vb < 0) return;
      const int k = at[std::min(va, vb)]++;
      l.cols[k] = static_cast<std::uint32_t>(std::max(va, vb));
      l.weights[k] = w;
    });
  }
  for (std::size_t v = 0; v < n; ++v) {
    l.diag[v] += anchorW[v];
    l.rhs[v] += anchorW[v] * anchor[v];
  }
  l.mergeRows();

  std::vector<double> x(n);
  for (std::size_t u = 0; u < var.size(); ++u)
    if (var[u] >= 0) x[static_cast<std::size_t>(var[u])] = start == AxisStart::CENTRE ? std::floor(centre) : pos[u];

  const std::uint64_t pattern = l.patternHash();
  if (sys_ == nullptr || pattern != pattern_) {
    sys_.reset();  // before the new one, to hold one system at a time
    sys_ = std::make_unique<basAP::plQPLinearSystem>(static_cast<unsigned>(n_), 0);
    pattern_ = pattern;
  } else {
    // The same connections (or, by a hash collision, others: then the
    // positions this solve does not write stay stored at 0, which changes
    // nothing but the work of a product).
    sys_->ResetMatrix();
  }
  const double diagSum = fillSystem(*sys_, l);
  // The model is large and rebuilt at every solve: given back before the
  // solve's own work vectors are made.
  model.reset();
  AxisRun run;
  run.passes = solveFrom(*sys_, diagSum, x, maxPasses, tolerance);
  for (std::size_t u = 0; u < var.size(); ++u)
    if (var[u] >= 0) pos[u] = x[static_cast<std::size_t>(var[u])];
  return run;
}

}  // namespace qplace
