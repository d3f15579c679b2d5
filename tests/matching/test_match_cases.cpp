// AP_MATCHING on hand-made cases: boundaries, preassignment, and the handling
// of input outside the documented limits.
#include <matching/basapmatch.h>

#include "literal_auction.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <tuple>
#include <vector>

namespace {

using V = std::vector<int>;
using Arcs = std::vector<std::tuple<int, int, int>>;  // row, column, weight

template <class Solver>
void add(Solver& s, const Arcs& arcs) {
  for (auto [row, col, w] : arcs) s.AddArc(row, col, w);
}

TEST(MatchingCases, EmptySidesAndNegativeSizes) {
  for (int rows : {0, -4}) {
    AP_MATCHING m(rows, 3);
    const Outcome r = solveOnce(m, 0, 3);
    EXPECT_EQ(r.unmatched, 0);
    EXPECT_EQ(r.total, 0);
    EXPECT_EQ(r.colMatch, V({-1, -1, -1}));
  }
  for (int realCols : {0, -1}) {
    AP_MATCHING m(3, realCols);
    int rowMatch[3] = {5, 5, 5}, canary = -7, total = -1;
    EXPECT_EQ(m.Solver(rowMatch, &canary, &total, 0), 3);
    EXPECT_EQ(V(rowMatch, rowMatch + 3), V({-1, -1, -1}));
    EXPECT_EQ(total, 0);
    EXPECT_EQ(canary, -7);  // no real column: colMatch is not written
  }
}

TEST(MatchingCases, TheLastWriteToAnEntryCounts) {
  // Row 0 writes row 1's dummy column twice; the arc is gone, so row 1 keeps
  // its dummy rather than fall back to its -20000 column.
  AP_MATCHING m(2, 1);
  add(m, {{0, 2, 100000}, {0, 2, 0}, {1, 0, -20000}});
  EXPECT_EQ(solveOnce(m, 2, 1).total, 0);

  // Bursts of up to 2999 rewrites in no order between solves, on a small
  // problem, so that the noted writes are folded in while they pile up, and
  // a solve may follow right after such a fold.
  AP_MATCHING many(2, 3);
  LiteralAuction lit(2, 3);
  std::mt19937 rng(5);
  for (int round = 0; round < 300; ++round) {
    for (int n = 0, writes = static_cast<int>(rng() % (round % 3 == 0 ? 3000 : 30)); n < writes; ++n) {
      const int row = rng() % 2, col = rng() % 5, w = static_cast<int>(rng() % 9) - 4;
      if (col == 3 + row && w == 0) continue;  // every row keeps its dummy
      many.AddArc(row, col, w);
      lit.AddArc(row, col, w);
    }
    ASSERT_TRUE(solveOnce(many, 2, 3) == solveOnce(lit, 2, 3)) << "round " << round;
  }
}

TEST(MatchingCases, OutOfRangeInputIsIgnored) {
  AP_MATCHING m(2, 2);
  m.AddArc(0, 1, 9);
  // numCols is 4: (0, 4) would land on (1, 0) in a row-major matrix, where
  // its 8 would make the later write of 8 to (1, 0) look like no change.
  add(m, {{0, 4, 8}, {0, -1, 1000}, {-1, 0, 1000}, {2, 0, 1000}, {INT_MIN, INT_MAX, 1000}});
  Outcome r = solveOnce(m, 2, 2);
  EXPECT_EQ(r.rowMatch, V({1, -1}));
  EXPECT_EQ(r.total, 9);
  // A pin outside [0, numCols) leaves the row free and its weights as they were.
  m.AddArc(1, 0, 8);
  r = solveOnce(m, 2, 2, 1, {4, INT_MIN});
  EXPECT_EQ(r.rowMatch, V({1, 0}));
  EXPECT_EQ(r.total, 17);
}

TEST(MatchingCases, RowsWithoutTheirDummy) {
  // Row 1 has no arc left at all: it does not bid and ends unmatched.
  AP_MATCHING m(3, 2);
  add(m, {{0, 0, 5}, {1, 3, 0}, {2, 0, 6}, {2, 1, 2}});
  Outcome r = solveOnce(m, 3, 2);
  EXPECT_EQ(r.rowMatch, V({0, -1, 1}));
  EXPECT_EQ(r.unmatched, 1);

  // Rows 0 and 1, with no dummy, want one column: the plain auction would
  // trade it back and forth forever. The lower row is admitted.
  AP_MATCHING war(3, 2);
  add(war, {{0, 0, 3}, {0, 2, 0}, {1, 0, 5}, {1, 3, 0}, {2, 1, 4}});
  r = solveOnce(war, 3, 2);
  EXPECT_EQ(r.rowMatch, V({0, -1, 1}));
  EXPECT_EQ(r.total, 7);

  // Where the dummyless rows can all be placed, nothing changes.
  const Arcs arcs = {{0, 0, 3}, {0, 1, 4}, {1, 0, 5}, {1, 1, 5}, {0, 2, 0}, {1, 3, 0}};
  AP_MATCHING fits(2, 2);
  LiteralAuction lit(2, 2);
  add(fits, arcs);
  add(lit, arcs);
  EXPECT_TRUE(solveOnce(fits, 2, 2) == solveOnce(lit, 2, 2));
}

TEST(MatchingCases, WeightsNearTheIntRangeEnd) {
  // Both rows value the column at 2^31 in float. Against the -10000 dummy,
  // row 1's bid rounds back to row 0's price, 2^31 + 9984, and without the
  // raise the two would take it from each other forever; raised to
  // 2^31 + 10240 it leaves row 0 better off on its dummy.
  const Arcs arcs = {{0, 0, INT_MAX}, {1, 0, INT_MAX - 1}};
  AP_MATCHING m(2, 1);
  LiteralAuction plain(2, 1);
  plain.raiseStalled = false;
  add(m, arcs);
  add(plain, arcs);
  const Outcome r = solveOnce(m, 2, 1);
  EXPECT_EQ(r.rowMatch, V({-1, 0}));
  EXPECT_EQ(r.total, INT_MAX - 1);
  solveOnce(plain, 2, 1);
  EXPECT_TRUE(plain.gaveUp);

  // 2147483600 and 2147483647 are the same float: the lower column wins,
  // whichever weight it has.
  for (int lower : {INT_MAX - 47, INT_MAX}) {
    AP_MATCHING one(1, 2);
    add(one, {{0, 0, lower}, {0, 1, lower == INT_MAX ? INT_MAX - 47 : INT_MAX}});
    EXPECT_EQ(solveOnce(one, 1, 2).total, lower);
  }
}

}  // namespace
