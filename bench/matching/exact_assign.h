// Exact assignment by shortest augmenting paths, the anchors against which the
// auction's speed and optimality are measured: one on the arc lists, one on
// the full cost matrix.
#ifndef BASAPLACE_BENCH_MATCHING_EXACT_ASSIGN_H
#define BASAPLACE_BENCH_MATCHING_EXACT_ASSIGN_H

#include <cstdint>
#include <limits>
#include <vector>

// A sparse assignment problem in compressed row form: the arcs of row i are
// col[start[i] .. start[i+1]-1] with weights weight[...].
struct SparseProblem {
  int rows = 0;
  int cols = 0;
  std::vector<int> start{0};
  std::vector<int> col;
  std::vector<std::int64_t> weight;
};

// Assigns every row to a distinct column, maximising the total weight, and
// returns that total; rowCol receives each row's column. Every row must be
// assignable (for instance, through a column of its own); a row that cannot
// be is left at -1 and adds nothing.
//
// Jonker-Volgenant style: rows are added one at a time, each by a Dijkstra
// search (binary heap) for the cheapest augmenting path in reduced costs kept
// non-negative by column potentials. Integer arithmetic throughout, so the
// result is exactly optimal. O(rows x arcs x log cols) at worst; on local
// windows each search stays near its row.
class ExactAssignment {
public:
  std::int64_t solve(const SparseProblem& p, std::vector<int>& rowCol);

private:
  std::vector<std::int64_t> potential, dist, matchedCost;
  std::vector<int> colRow, pred, predArc, done;
  std::vector<int> scanned, touched;
  std::vector<std::pair<std::int64_t, int>> heap;
};

// A dense assignment problem: cost[i * cols + j] is the cost of giving row i
// column j, or kForbidden when row i may not take column j. rows <= cols.
struct DenseProblem {
  static constexpr std::int32_t kForbidden = std::numeric_limits<std::int32_t>::max();
  int rows = 0;
  int cols = 0;
  std::vector<std::int32_t> cost;
};

// Assigns every row to a distinct column, minimising the total cost, and
// returns that total; rowCol receives each row's column. A row that cannot
// be assigned at all is left at -1 and adds nothing.
//
// The textbook dense shortest augmenting path method: rows are added one at
// a time; each addition is a Dijkstra search over the columns held in plain
// arrays (no heap): every step relaxes all unscanned columns from the row
// last reached, through its cost row, and scans the unscanned column of least
// distance, preferring a free one on ties. Row and column potentials keep
// reduced costs non-negative. Integer arithmetic, so the result is exactly
// optimal. O(rows^2 x cols) at worst, and at least O(cols) per row reached.
class DenseExactAssignment {
public:
  std::int64_t solve(const DenseProblem& p, std::vector<int>& rowCol);

private:
  std::vector<std::int64_t> rowPot, colPot, dist;
  std::vector<int> colRow, pred, order, reached;
};

#endif
