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
// nets of m: each net's two extreme units joined to each other and every
// other unit joined to both, with weight 2 / (p - 1) (times the net's
// weight) over the distance, the distance at least kMinDist. Units are
// named by their slots: slot[i] is that of the unit of pin i (m.netUnits[i]),
// distinct for distinct units, and pos[s] the position of the unit of slot
// s. Nets in order, and within a net the same order every time; then the
// model's pairs (m.pairUnits), weight 2 x theirs over the distance, whose
// slots follow the pins' in slot.
//
// With kWeighed false the weight is not worked out, f is called with 0 for
// it (for counting), and each net's extreme units are found and written to
// ends (2 a net: the lowest, then the highest); with kWeighed true they are
// read from there, as a call with kWeighed false at the same positions
// left them.
template <bool kWeighed, class F>
void forEachConnection(const Model& m, const int* slot, const double* pos, int* ends, F f) {
  for (int n = 0; n < m.numNets(); ++n) {
    const int b = m.netStart[n], e = m.netStart[n + 1];
    const int p = e - b;
    int lo, hi;
    if (!kWeighed) {
      // The extremes' positions held aside: each comparison then waits on
      // no load of the one before.
      lo = hi = slot[b];
      double atLo = pos[lo], atHi = atLo;
      for (int i = b + 1; i < e; ++i) {
        const int u = slot[i];
        const double at = pos[u];
        if (at < atLo) lo = u, atLo = at;
        if (at > atHi) hi = u, atHi = at;
      }
      if (lo == hi) hi = slot[b + 1];
      ends[2 * n] = lo;
      ends[2 * n + 1] = hi;
      f(lo, hi, 0.0);
      for (int i = b; i < e; ++i) {
        const int u = slot[i];
        if (u == lo || u == hi) continue;
        f(u, lo, 0.0);
        f(u, hi, 0.0);
      }
      continue;
    }
    lo = ends[2 * n];
    hi = ends[2 * n + 1];
    const double atLo = pos[lo], atHi = pos[hi];
    const double scale = 2.0 / (p - 1) * (m.netWeight.empty() ? 1.0 : m.netWeight[n]);
    f(lo, hi, scale / std::max(std::fabs(atHi - atLo), kMinDist));
    for (int i = b; i < e; ++i) {
      const int u = slot[i];
      if (u == lo || u == hi) continue;
      const double at = pos[u];
      f(u, lo, scale / std::max(std::fabs(at - atLo), kMinDist));
      f(u, hi, scale / std::max(std::fabs(at - atHi), kMinDist));
    }
  }
  const int* pair = slot + m.netUnits.size();
  for (std::size_t k = 0; k < m.pairWeight.size(); ++k) {
    const int a = pair[2 * k], b = pair[2 * k + 1];
    if (a != b) f(a, b, kWeighed ? 2 * m.pairWeight[k] / std::max(std::fabs(pos[a] - pos[b]), kMinDist) : 0.0);
  }
}

// A system in connection form: the matrix has diag on its diagonal and
// -weight at (v, cols[k]) for each connection k of row v (rowStart[v] <= k <
// rowStart[v + 1]); every connection joins v to a higher variable. Filled
// unsorted, then merged: sorted by column, one connection per column, each
// merged weight stored negated, as the matrix's entry.
struct Level {
  int n = 0;
  std::vector<std::uint32_t> rowStart;
  std::vector<std::uint32_t> cols;
  std::vector<double> weights, diag, rhs;

  // Room for the connections counted in rowStart[v + 1] (v's count):
  // rowStart[v + 1] becomes the start of row v, where v's connections are
  // then written at rowStart[v + 1]++, so that once all are written it is
  // the end of row v, the start of row v + 1 (no array of cursors).
  void openRows() {
    std::uint32_t at = 0;
    for (int v = 0; v < n; ++v) {
      const std::uint32_t count = rowStart[v + 1];
      rowStart[v + 1] = at;
      at += count;
    }
    cols.resize(static_cast<std::size_t>(at));
    weights.resize(cols.size());
  }

  // Sorts each row's connections by column and sums those of one column,
  // in the order they were made, into one, negated; rows move down to stay
  // back to back.
  void mergeRows() {
    struct Link {
      std::uint32_t col;
      double w;
    };
    std::vector<Link> order;
    std::uint32_t out = 0;
    for (int v = 0; v < n; ++v) {
      const std::uint32_t b = rowStart[v], e = rowStart[v + 1];
      rowStart[v] = out;
      // A stable sort, so that equal columns keep their order: insertion
      // for the short rows nearly all are, merging for the long ones.
      if (e - b <= 32) {
        for (std::uint32_t i = b + 1; i < e; ++i) {
          const std::uint32_t c = cols[i];
          const double w = weights[i];
          std::uint32_t j = i;
          for (; j > b && cols[j - 1] > c; --j) {
            cols[j] = cols[j - 1];
            weights[j] = weights[j - 1];
          }
          cols[j] = c;
          weights[j] = w;
        }
      } else {
        order.resize(static_cast<std::size_t>(e - b));
        for (std::uint32_t i = b; i < e; ++i) order[i - b] = {cols[i], weights[i]};
        std::stable_sort(order.begin(), order.end(), [](const Link& x, const Link& y) { return x.col < y.col; });
        for (std::uint32_t i = b; i < e; ++i) {
          cols[i] = order[i - b].col;
          weights[i] = order[i - b].w;
        }
      }
      for (std::uint32_t i = b; i < e;) {
        const std::uint32_t c = cols[i];
        double w = 0;
        for (; i < e && cols[i] == c; ++i) w += weights[i];
        cols[out] = c;
        weights[out] = -w;
        ++out;
      }
    }
    rowStart[n] = out;
    cols.resize(static_cast<std::size_t>(out));
    weights.resize(static_cast<std::size_t>(out));
  }
};

// Makes sys the level's system: its matrix replaced in one call, its
// right-hand side written. Returns the sum of the diagonal.
double fillSystem(basAP::plQPLinearSystem& sys, const Level& l) {
  sys.SetMatrixRows(l.diag, l.rowStart, l.cols, l.weights);
  double diagSum = 0;
  for (int v = 0; v < l.n; ++v) {
    sys.SetRHSVectorEntry(static_cast<unsigned>(v), l.rhs[v]);
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

// Systems of fewer variables keep the units' order: their vectors sit in
// the caches whichever order they have.
constexpr int kOrderLeast = 1 << 16;
// Nets of more units than this do not lead the numbering of localOrder:
// their units lie anywhere and would pull far units together.
constexpr int kOrderMaxNet = 16;

// A numbering of the variables in which the units of a net come close
// together, so that a product of the system reads neighbouring values from
// the same or nearby cache lines rather than from anywhere in the vector:
// breadth first over the nets of at most kOrderMaxNet units, from the lowest
// variable not numbered yet, each unit's nets and each net's units taken in
// order; below kOrderLeast variables the order stays. Returns at[v], the
// place of variable v. O(pins).
std::vector<int> localOrder(const Model& m, const std::vector<int>& var, int n) {
  std::vector<int> at(static_cast<std::size_t>(n));
  if (n < kOrderLeast) {
    for (int v = 0; v < n; ++v) at[v] = v;
    return at;
  }
  const int units = static_cast<int>(var.size());
  std::vector<int> start, nets;
  indexUnitNets(m, units, kOrderMaxNet, start, nets);
  std::vector<int> unitOf(static_cast<std::size_t>(n), -1);
  for (int u = 0; u < units; ++u)
    if (var[u] >= 0) unitOf[var[u]] = u;
  std::fill(at.begin(), at.end(), -1);
  std::vector<int> queue;
  queue.reserve(static_cast<std::size_t>(n));
  int next = 0;
  for (int root = 0; root < n; ++root) {
    if (at[root] >= 0) continue;
    at[root] = next++;
    queue.assign(1, unitOf[root]);
    for (std::size_t q = 0; q < queue.size(); ++q) {
      const int u = queue[q];
      for (int j = start[u]; j < start[u + 1]; ++j) {
        const int k = nets[j];
        for (int i = m.netStart[k]; i < m.netStart[k + 1]; ++i) {
          const int w = m.netUnits[i];
          const int vw = var[w];
          if (vw < 0 || at[vw] >= 0) continue;
          at[vw] = next++;
          queue.push_back(w);
        }
      }
    }
  }
  return at;
}

}  // namespace

// The model of the last solve, its arrays reused by the next.
struct AxisSystem::ModelArrays : Level {
  std::vector<int> ends;  // each net's extreme units, as the counting pass found them
};

AxisSystem::AxisSystem(int numVars) : n_(numVars) {}

AxisSystem::~AxisSystem() = default;

AxisRun AxisSystem::solve(const Model& m, const std::vector<int>& var, std::vector<double>& pos,
                          const std::vector<double>& anchor, const std::vector<double>& anchorW, double centre,
                          unsigned maxPasses, double tolerance, AxisStart start) {
  const auto n = static_cast<std::size_t>(n_);
  if (at_.empty()) {
    at_ = localOrder(m, var, n_);
    // Fixed units take the slots after the variables', in unit order.
    slotOf_.resize(var.size());
    int fixed = n_;
    for (std::size_t u = 0; u < var.size(); ++u)
      slotOf_[u] = var[u] < 0 ? fixed++ : at_[static_cast<std::size_t>(var[u])];
    slots_ = fixed;
  }
  // The model's arrays are kept from one solve to the next: made afresh,
  // their pages would be faulted in and zeroed at every solve, which at a
  // million units cost more than filling them.
  if (model_ == nullptr) model_ = std::make_unique<ModelArrays>();
  Level& l = *model_;
  l.n = n_;
  l.diag.assign(n, kCentrePull);
  l.rhs.assign(n, kCentrePull * centre);
  l.rowStart.assign(n + 1, 0);
  {
    // The nets read through slots, and the positions gathered by slot:
    // a net's variables lie close together in the numbering, so that the
    // model reads and writes nearby places rather than all over the units.
    std::vector<int> pinSlot(m.netUnits.size() + 2 * m.pairWeight.size());
    for (std::size_t i = 0; i < m.netUnits.size(); ++i) pinSlot[i] = slotOf_[static_cast<std::size_t>(m.netUnits[i])];
    for (std::size_t i = 0; i < 2 * m.pairWeight.size(); ++i)
      pinSlot[m.netUnits.size() + i] = slotOf_[static_cast<std::size_t>(m.pairUnits[i])];
    std::vector<double> at(static_cast<std::size_t>(slots_));
    for (std::size_t u = 0; u < var.size(); ++u) at[static_cast<std::size_t>(slotOf_[u])] = pos[u];
    // Connections between two variables, bucketed by row (the smaller
    // variable): counted first (their weights are not needed for that),
    // then weighed and written in the same order, the diagonal and the
    // right-hand side summed as they come.
    model_->ends.resize(2 * static_cast<std::size_t>(m.numNets()));
    forEachConnection<false>(m, pinSlot.data(), at.data(), model_->ends.data(), [&](int a, int b, double) {
      if (a < n_ && b < n_) ++l.rowStart[std::min(a, b) + 1];
    });
    l.openRows();
    forEachConnection<true>(m, pinSlot.data(), at.data(), model_->ends.data(), [&](int a, int b, double w) {
      const bool va = a < n_, vb = b < n_;
      if (va) l.diag[a] += w;
      if (vb) l.diag[b] += w;
      if (va && vb) {
        const std::uint32_t k = l.rowStart[std::min(a, b) + 1]++;
        l.cols[k] = static_cast<std::uint32_t>(std::max(a, b));
        l.weights[k] = w;
      } else if (va) {
        l.rhs[a] += w * at[b];
      } else if (vb) {
        l.rhs[b] += w * at[a];
      }
    });
  }
  for (std::size_t v = 0; v < n; ++v) {
    const auto i = static_cast<std::size_t>(at_[v]);
    l.diag[i] += anchorW[v];
    l.rhs[i] += anchorW[v] * anchor[v];
  }
  l.mergeRows();

  std::vector<double> x(n);
  for (std::size_t u = 0; u < var.size(); ++u)
    if (var[u] >= 0) x[static_cast<std::size_t>(slotOf_[u])] = start == AxisStart::CENTRE ? std::floor(centre) : pos[u];

  // The matrix is replaced whole at every solve, so that it holds exactly
  // the connections of this one (the bound-to-bound model moves a few
  // percent of them at every solve); the old one is given back before the
  // new one is made.
  if (sys_ == nullptr) sys_ = std::make_unique<basAP::plQPLinearSystem>(static_cast<unsigned>(n_), 0);
  const double diagSum = fillSystem(*sys_, l);
  AxisRun run;
  run.passes = solveFrom(*sys_, diagSum, x, maxPasses, tolerance);
  for (std::size_t u = 0; u < var.size(); ++u)
    if (var[u] >= 0) pos[u] = x[static_cast<std::size_t>(slotOf_[u])];
  return run;
}

}  // namespace qplace
