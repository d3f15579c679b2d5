// An exact maximum-weight assignment by shortest augmenting paths, the anchor
// against which the auction's speed and optimality are measured.
#ifndef BASAPLACE_BENCH_MATCHING_EXACT_ASSIGN_H
#define BASAPLACE_BENCH_MATCHING_EXACT_ASSIGN_H

#include <cstdint>
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

#endif
