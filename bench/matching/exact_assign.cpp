// Shortest augmenting paths with column potentials.
#include "exact_assign.h"

#include <algorithm>
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
