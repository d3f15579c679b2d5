// Shortest augmenting paths with potentials, on arc lists and on a dense matrix.
#include "exact_assign.h"

#include <algorithm>
#include <cstddef>
#include <functional>
#include <limits>

std::int64_t ExactAssignment::solve(const SparseProblem& p, std::vector<int>& rowCol) {
  constexpr std::int64_t kInf = std::numeric_limits<std::int64_t>::max();
  // Costs are negated weights. For a matched row r with column m(r), the
  // invariant is cost(r, m(r)) - potential[m(r)] <= cost(r, j) - potential[j]
  // for each of its arcs, which keeps every step of the search non-negative.
  potential.assign(p.cols, 0);
  dist.assign(p.cols, kInf);
  pred.assign(p.cols, -1);
  predArc.assign(p.cols, -1);
  done.assign(p.cols, 0);
  colRow.assign(p.cols, -1);
  matchedCost.assign(p.rows, 0);
  rowCol.assign(p.rows, -1);
  std::greater<std::pair<std::int64_t, int>> later;

  for (int s = 0; s < p.rows; ++s) {
    heap.clear();
    scanned.clear();
    touched.clear();
    auto relax = [&](int j, std::int64_t d, int row, int arc) {
      if (d >= dist[j]) return;
      if (dist[j] == kInf) touched.push_back(j);
      dist[j] = d;
      pred[j] = row;
      predArc[j] = arc;
      heap.push_back({d, j});
      std::push_heap(heap.begin(), heap.end(), later);
    };
    for (int a = p.start[s]; a < p.start[s + 1]; ++a) relax(p.col[a], -p.weight[a] - potential[p.col[a]], s, a);

    int target = -1;
    while (!heap.empty()) {
      std::pop_heap(heap.begin(), heap.end(), later);
      const auto [d, j] = heap.back();
      heap.pop_back();
      if (done[j] || d > dist[j]) continue;
      done[j] = 1;
      scanned.push_back(j);
      const int r = colRow[j];
      if (r < 0) {
        target = j;
        break;
      }
      const std::int64_t base = d - (matchedCost[r] - potential[j]);
      for (int a = p.start[r]; a < p.start[r + 1]; ++a) {
        const int c = p.col[a];
        if (!done[c]) relax(c, base + (-p.weight[a] - potential[c]), r, a);
      }
    }
    if (target < 0) {  // row s cannot be placed
      for (int j : touched) {
        dist[j] = kInf;
        done[j] = 0;
      }
      continue;
    }

    const std::int64_t reach = dist[target];
    for (int j : scanned) potential[j] += dist[j] - reach;
    // Flip the path back from the free column to row s.
    for (int j = target;;) {
      const int r = pred[j];
      const int previous = rowCol[r];
      rowCol[r] = j;
      colRow[j] = r;
      matchedCost[r] = -p.weight[predArc[j]];
      if (r == s) break;
      j = previous;
    }
    for (int j : touched) {
      dist[j] = kInf;
      done[j] = 0;
    }
  }
  std::int64_t total = 0;
  for (int r = 0; r < p.rows; ++r) total -= matchedCost[r];
  return total;
}

std::int64_t DenseExactAssignment::solve(const DenseProblem& p, std::vector<int>& rowCol) {
  constexpr std::int64_t kInf = std::numeric_limits<std::int64_t>::max();
  const int cols = p.cols;
  // Invariants: cost(i, j) - rowPot[i] - colPot[j] >= 0 for every allowed
  // entry, with equality on each matched pair.
  rowPot.assign(p.rows, 0);
  colPot.assign(cols, 0);
  dist.assign(cols, kInf);
  colRow.assign(cols, -1);
  pred.assign(cols, -1);
  order.resize(cols);
  rowCol.assign(p.rows, -1);

  for (int s = 0; s < p.rows; ++s) {
    // order[0 .. unscanned-1] are the columns not yet scanned; each scanned
    // column is swapped to the back, so order[unscanned ..] lists them.
    for (int j = 0; j < cols; ++j) {
      order[j] = j;
      dist[j] = kInf;
    }
    int unscanned = cols;
    reached.clear();
    std::int64_t reach = 0;  // distance of the column scanned last
    int row = s, sink = -1;
    while (sink < 0) {
      reached.push_back(row);
      const std::int32_t* c = p.cost.data() + static_cast<std::size_t>(row) * cols;
      const std::int64_t base = reach - rowPot[row];
      std::int64_t lowest = kInf;
      int at = -1;
      for (int t = 0; t < unscanned; ++t) {
        const int j = order[t];
        if (c[j] != DenseProblem::kForbidden) {
          const std::int64_t d = base + c[j] - colPot[j];
          if (d < dist[j]) {
            dist[j] = d;
            pred[j] = row;
          }
        }
        if (dist[j] < lowest || (dist[j] == lowest && lowest != kInf && colRow[j] < 0)) {
          lowest = dist[j];
          at = t;
        }
      }
      if (at < 0) break;  // no column left within reach: row s stays out
      reach = lowest;
      const int j = order[at];
      std::swap(order[at], order[--unscanned]);
      if (colRow[j] < 0)
        sink = j;
      else
        row = colRow[j];
    }
    if (sink < 0) continue;

    // Potentials: every reached row and scanned column moves by how much
    // closer than the sink it was, which keeps all reduced costs non-negative
    // and makes the path's entries tight.
    rowPot[s] += reach;
    for (std::size_t k = 1; k < reached.size(); ++k) {
      const int r = reached[k];
      rowPot[r] += reach - dist[rowCol[r]];
    }
    for (int t = unscanned; t < cols; ++t) {
      const int j = order[t];
      colPot[j] -= reach - dist[j];
    }
    for (int j = sink;;) {
      const int r = pred[j];
      colRow[j] = r;
      std::swap(rowCol[r], j);
      if (r == s) break;
    }
  }
  std::int64_t total = 0;
  for (int r = 0; r < p.rows; ++r)
    if (rowCol[r] >= 0) total += p.cost[static_cast<std::size_t>(r) * cols + rowCol[r]];
  return total;
}
