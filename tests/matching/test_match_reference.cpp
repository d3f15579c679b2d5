// AP_MATCHING against the step-by-step auction on thousands of random
// problems (the fuzz target goes on where these stop).
#include <matching/basapmatch.h>

#include "literal_auction.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>
#include <vector>

namespace {

enum class Range { Small, Moderate, Huge };

// Small: many ties, and 0 removes arcs. Moderate: on both sides of the
// dummy weight. Huge: big weights come from drawBig, on one column per row.
int drawWeight(std::mt19937& rng, Range range) {
  const int hi = range == Range::Small ? 12 : range == Range::Moderate ? 15000 : 5;
  const int lo = range == Range::Small ? -3 : range == Range::Moderate ? -15000 : -20;
  return std::uniform_int_distribution<int>(lo, hi)(rng);
}

// Values near the int range, where float prices lose their halves and a bid
// can fail to raise a price. A row gets them on one real column only: rows
// that want several such columns, or another row's dummy, can fight price
// wars of tens of millions of bids.
int drawBig(std::mt19937& rng) {
  static const int big[] = {INT_MAX, INT_MAX - 1, INT_MAX - 300, INT_MAX - 100000, 1 << 30,
                            (1 << 24) + 1, (1 << 24) - 1, INT_MIN, -(1 << 25) - 3};
  return big[std::uniform_int_distribution<int>(0, 8)(rng)];
}

struct Tally {
  int solves = 0, plain = 0, raised = 0;
};

// One random problem, solved a few times with AddArc calls in between, in the
// library and in the transcription. The transcription first runs without the
// stalled-price rule; when no bid stalled, the library must match the plain
// auction. Otherwise it must match the auction with the rule.
void checkProblem(std::mt19937& rng, Range range, int maxSide, Tally& tally) {
  auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  int rows = uniform(0, maxSide), realCols = uniform(0, maxSide);
  switch (uniform(0, 5)) {
    case 0: realCols = 0; break;
    case 1: rows = 0; break;
    default: break;
  }
  const int numCols = rows + realCols;
  AP_MATCHING lib(rows, realCols);
  LiteralAuction lit(rows, realCols);
  lit.maxBids = 2000000;

  std::vector<int> bigCol(rows, -1);
  if (range == Range::Huge && realCols > 0)
    for (int& c : bigCol) c = uniform(0, std::min(realCols, 3) - 1);  // shared often
  const int solves = uniform(1, 3);
  for (int s = 0; s < solves; ++s) {
    if (rows > 0) {
      struct Write {
        int row, col, weight;
      };
      std::vector<Write> writes;
      const int arcs = uniform(0, rows * numCols * 2 / 3 + 1);
      if (range == Range::Huge && realCols > 0)
        for (int r = 0; r < rows; ++r)
          if (uniform(0, 3)) writes.push_back({r, bigCol[r], drawBig(rng)});
      for (int a = 0; a < arcs; ++a) {
        const int r = uniform(0, rows - 1);
        // Mostly real columns, some dummies (the row's own or another's).
        const int c = realCols > 0 && uniform(0, 4) ? uniform(0, realCols - 1) : uniform(0, numCols - 1);
        int w = c == bigCol[r] ? drawBig(rng) : drawWeight(rng, range);
        if (c == realCols + r && w == 0) w = -10000;  // keep every row's dummy
        writes.push_back({r, c, w});
      }
      // A third of the rounds come in row-major order, as a window is
      // usually filled (the last write of a position still standing), some
      // followed by a few writes out of order.
      if (uniform(0, 2) == 0) {
        std::stable_sort(writes.begin(), writes.end(), [](const Write& a, const Write& b) {
          return a.row != b.row ? a.row < b.row : a.col < b.col;
        });
        for (int k = writes.empty() ? 0 : uniform(-2, 2); k > 0; --k)
          writes.push_back(writes[uniform(0, static_cast<int>(writes.size()) - 1)]);
      }
      for (const Write& w : writes) {
        lib.AddArc(w.row, w.col, w.weight);
        lit.AddArc(w.row, w.col, w.weight);
      }
    }
    const int usePre = uniform(0, 2) == 0 ? uniform(1, 3) : 0;
    std::vector<int> rowMatchIn(rows);
    for (int& v : rowMatchIn)
      v = usePre ? (uniform(0, 2) ? -1 : uniform(0, numCols - 1)) : uniform(-5, 5);

    const Outcome got = solveOnce(lib, rows, realCols, usePre, rowMatchIn);
    LiteralAuction trial = lit;
    trial.raiseStalled = false;
    Outcome want = solveOnce(trial, rows, realCols, usePre, rowMatchIn);
    if (!trial.gaveUp) {
      lit = trial;
      lit.raiseStalled = true;
      ++tally.plain;
    } else {
      want = solveOnce(lit, rows, realCols, usePre, rowMatchIn);
      ASSERT_FALSE(lit.gaveUp);
      ++tally.raised;
    }
    ++tally.solves;
    ASSERT_TRUE(got == want) << "rows " << rows << " realCols " << realCols << " solve " << s
                             << " preassignment " << usePre;
  }
}

// Small weights (many ties) never stall a bid; moderate ones on larger
// problems rarely do; weights near the int range must take both kinds of
// solve, or the comparison would not have been made.
TEST(MatchingReference, MatchesTheAuctionWithAndWithoutStalledPrices) {
  const struct {
    Range range;
    int maxSide, problems;
    unsigned seed;
  } runs[] = {{Range::Small, 9, 800, 11}, {Range::Moderate, 24, 300, 22}, {Range::Huge, 8, 2500, 33}};
  for (const auto& run : runs) {
    SCOPED_TRACE(static_cast<int>(run.range));
    std::mt19937 rng(run.seed);
    Tally tally;
    for (int p = 0; p < run.problems && !HasFatalFailure(); ++p) checkProblem(rng, run.range, run.maxSide, tally);
    if (run.range == Range::Small) {
      EXPECT_EQ(tally.plain, tally.solves);
    } else if (run.range == Range::Moderate) {
      EXPECT_GT(tally.plain, tally.solves * 9 / 10);
    } else {
      EXPECT_GT(tally.raised, tally.solves / 25);
      EXPECT_GT(tally.plain, tally.solves / 5);
    }
  }
}

}  // namespace
