// Maximum-weight assignment of rows to columns by a forward auction.
#ifndef BASAPLACE_MATCHING_BASAPMATCH_H
#define BASAPLACE_MATCHING_BASAPMATCH_H

#include <basaplace_export.h>

#include <vector>

// Assigns rows to columns so as to make the total weight large, given an
// integer weight for every (row, column). A weight is a benefit; 0 means
// "no arc".
//
// Columns 0 .. numRealCols-1 are the caller's. Each row i also owns a private
// dummy column numRealCols+i, of weight -10000 from the constructor on, so
// that every row can always be placed; a row that ends on a dummy column
// counts as unmatched. Use: construct, AddArc any number of times, Solver;
// AddArc and Solver may then alternate freely.
//
// Solver runs a forward auction: the lowest-numbered free row bids for the
// column of best value float(weight) - price, with ties going to the lower
// column; the price rises to float(weight) - secondBest + 0.5 (secondBest is
// -100000 for a row with a single arc), and the previous holder is freed.
// Values and prices are single-precision and 0.5 is fixed (no scaling): the
// auction is quick but not exact. While weights and prices are exact in
// single precision (magnitudes well below 2^24), its total (counting -10000
// for each row left on its dummy) falls short of the best possible by at
// most about 0.5 per row. Larger weights are rounded to the nearest float,
// and then the shortfall has no such bound: weights 2147483600 and
// 2147483647 on one row are the same float, so the row takes whichever of
// the two is in the lower column.
//
// Storage follows what was written, not the size of the matrix: per row,
// the entries that differ from the row's default value (0; -10000 once the
// row was pinned by preassignment) and its own dummy entry, plus the writes
// that did not come in row-major order since they were last sorted in.
// Memory is O(numRows + numRealCols + arcs). While no row is pinned and no
// row with arcs lacks its dummy, the solve bids on the stored entries
// themselves; otherwise it spells the rows out once per solve. A copy
// duplicates everything (no storage is shared). Not thread-safe.
class BASAPLACE_EXPORT AP_MATCHING {
public:
  // Makes numRows rows and numRealCols real columns: every entry 0 except
  // each row's dummy entry, -10000. A negative size is taken as 0.
  // O(numRows). Throws std::length_error when numRows + numRealCols exceeds
  // the int range, and std::bad_alloc when the per-row tables do not fit in
  // memory.
  AP_MATCHING(int numRows, int numRealCols);
  ~AP_MATCHING();
  AP_MATCHING(const AP_MATCHING&);
  AP_MATCHING& operator=(const AP_MATCHING&);

  // Stores weight at (row, col), replacing what stood there; 0 removes the
  // arc. col may be a dummy column. A row outside [0, numRows) or a column
  // outside [0, numRows + numRealCols) writes nothing. Amortised O(1): a
  // write to a row's own dummy, or behind every stored entry in row-major
  // order (the usual fill: row by row, by ascending column), goes straight
  // in place; any other is noted and folded in by the next Solver (or
  // earlier, once the noted writes outnumber the stored entries).
  void AddArc(int row, int col, int weight);

  // Solves and returns the number of rows left unmatched.
  //
  // rowMatch has room for numRows ints, colMatch for numRealCols ints;
  // totalWeight must not be null. When usePreassignment is not 0, rowMatch is
  // read first: a row whose entry is a column c in [0, numRows + numRealCols)
  // is pinned to it by rewriting the row, for good: every entry of the row
  // becomes -10000 and entry c becomes 10000, so the row has an arc to every
  // column. An entry of -1, or any other value outside that range, leaves the
  // row free and untouched.
  //
  // On return rowMatch[i] is the real column of row i, or -1; colMatch[j] is
  // the row holding real column j, or -1; *totalWeight is the sum of the
  // matched rows' weights as they stand after pinning, wrapping around on int
  // overflow.
  //
  // Every call starts afresh from the weights as they then stand. A row with
  // no arc at all (its dummy entry set to 0 and nothing else) does not bid
  // and ends unmatched. Rows whose dummy entry was set to 0 can leave more
  // rows than columns to share out; then rows are admitted in ascending order
  // as long as all admitted rows can hold a column at once, and the rest end
  // unmatched without bidding. With every dummy entry non-zero, all rows with
  // an arc take part.
  //
  // When a bid would not raise its column's price (with weights of 2^24 and
  // more the single-precision sum can round back to the old price), the
  // price rises by 0.5 instead, or to the next float above where that rounds
  // back too, so the auction always ends. Bids that do raise a price are
  // never changed.
  //
  // Cost: O(arcs + numRows + numRealCols + writes since the last call) to
  // sort the writes in and gather the arcs (a pinned row has
  // numRows + numRealCols arcs), then O(arcs of the bidder) per bid. The
  // number of bids grows with the weight range when rows compete for the
  // same columns. Throws std::bad_alloc when the working arrays (a few ints
  // a row and a column) do not fit in memory.
  int Solver(int* rowMatch, int* colMatch, int* totalWeight, int usePreassignment);

private:
  // A stored entry, and an arc of the solve.
  struct Entry {
    int col;
    int weight;
  };
  // One write of AddArc, not yet folded into the entries.
  struct Write {
    int row;
    int col;
    int weight;
  };
  // The arcs of one solve: row i's are arc[start[i] .. start[i+1]), by
  // ascending column, and, where ownDummy is given and ownDummy[i] is not 0,
  // one more to row i's own dummy column of that weight.
  struct Arcs {
    const int* start;
    const Entry* arc;
    const int* ownDummy;
  };

  // Makes entryStart valid for the rows after tailRow.
  void closeRows();
  // Folds the noted writes into the entries and, when pins is given, pins
  // the rows whose pins entry is a column.
  void settle(const int* pins);
  // Gives the arcs of the solve and resets mates and prices.
  Arcs setInternalData();
  // Bids until every admitted row holds a column.
  void auction(const Arcs& arcs);

  int numRows = 0;
  int numCols = 0;  // real columns + one dummy per row

  // The weights. Row i's entries are entry[entryStart[i] .. entryStart[i+1]),
  // in ascending column, none equal to the row's default (0, or -10000 where
  // pinned[i]); every other column holds the default, but for the own dummy
  // column of a row that is not pinned, whose weight is ownDummy[i]. Rows
  // after tailRow have no entries, and their entryStart waits for
  // closeRows. Writes that could not go in place wait in `pending`, in order.
  std::vector<int> entryStart;
  std::vector<Entry> entry;
  std::vector<int> ownDummy;
  std::vector<char> pinned;
  int pinnedRows = 0;
  int tailRow = -1;
  std::vector<Write> pending;
  bool pendingByRow = true;  // pending is in ascending row order

  // Where a row is pinned or a row with arcs has no arc to its own dummy,
  // the solve spells every row's arcs out here, own dummy included.
  std::vector<int> spelledStart;
  std::vector<Entry> spelled;
  bool dummyLost = false;  // some row with arcs has none to its own dummy

  std::vector<int> rowMate;     // column held by each row, -1 = none
  std::vector<int> colMate;     // row holding each column, -1 = none
  std::vector<int> mateWeight;  // weight of the arc each row holds
  float epsilon = 0.0f;         // bid increment, 0.5 once solved
  std::vector<float> price;     // price of each column
};

#endif
