// Maximum-weight assignment of rows to columns by a forward auction.
#ifndef BASAPLACE_MATCHING_BASAPMATCH_H
#define BASAPLACE_MATCHING_BASAPMATCH_H

#include <basaplace_export.h>

#include <vector>

// Assigns rows to columns so as to make the total weight large, on a dense
// integer weight matrix. A weight is a benefit; 0 means "no arc".
//
// Columns 0 .. numRealCols-1 are the caller's. Each row i also owns a private
// dummy column numRealCols+i, set to -10000 by the constructor, so that every
// row can always be placed; a row that ends on a dummy column counts as
// unmatched. Use: construct, AddArc any number of times, Solver; AddArc and
// Solver may then alternate freely.
//
// Solver runs a forward auction: the lowest-numbered free row bids for the
// column of best value float(weight) - price, with ties going to the lower
// column; the price rises to float(weight) - secondBest + 0.5 (secondBest is
// -100000 for a row with a single arc), and the previous holder is freed.
// Values and prices are single-precision and 0.5 is fixed (no scaling): the
// auction is quick but not exact, and its total (counting -10000 for each
// row left on its dummy) can fall short of the best possible by up to about
// 0.5 per row.
//
// Storage is numRows x (numRows + numRealCols) ints for the matrix, plus the
// non-zero entries and the writes since the last solve (at most twice
// numRows + numRealCols per row). A copy duplicates everything (no storage is
// shared). Not thread-safe.
class BASAPLACE_EXPORT AP_MATCHING {
public:
  // Makes numRows rows and numRealCols real columns: every entry 0 except
  // each row's dummy entry, -10000. A negative size is taken as 0. O(size of
  // the matrix). Throws std::length_error when numRows + numRealCols exceeds
  // the int range and std::bad_alloc when the matrix does not fit in memory.
  AP_MATCHING(int numRows, int numRealCols);
  ~AP_MATCHING();
  AP_MATCHING(const AP_MATCHING&);
  AP_MATCHING& operator=(const AP_MATCHING&);

  // Stores weight at (row, col), replacing what stood there; 0 removes the
  // arc. col may be a dummy column. A row outside [0, numRows) or a column
  // outside [0, numRows + numRealCols) writes nothing. Amortised O(1), or
  // O(log numCols) for a row written out of column order.
  void AddArc(int row, int col, int weight);

  // Solves and returns the number of rows left unmatched.
  //
  // rowMatch has room for numRows ints, colMatch for numRealCols ints;
  // totalWeight must not be null. When usePreassignment is not 0, rowMatch is
  // read first: a row whose entry is a column c in [0, numRows + numRealCols)
  // is pinned to it by rewriting the row in the matrix, for good: every entry
  // of the row becomes -10000 and entry c becomes 10000. An entry of -1, or
  // any other value outside that range, leaves the row free and untouched.
  //
  // On return rowMatch[i] is the real column of row i, or -1; colMatch[j] is
  // the row holding real column j, or -1; *totalWeight is the sum of the
  // matched rows' weights as they stand after pinning, wrapping around on int
  // overflow.
  //
  // Every call starts afresh from the matrix as it then stands. A row with no
  // arc at all (its dummy entry set to 0 and nothing else) does not bid and
  // ends unmatched. Rows whose dummy entry was set to 0 can leave more rows
  // than columns to share out; then rows are admitted in ascending order as
  // long as all admitted rows can hold a column at once, and the rest end
  // unmatched without bidding. With every dummy entry non-zero, all rows
  // with an arc take part.
  //
  // When a bid would not raise its column's price (with weights of 2^24 and
  // more the single-precision sum can round back to the old price), the
  // price rises by 0.5 instead, or to the next float above where that rounds
  // back too, so the auction always ends. Bids that do raise a price are
  // never changed.
  //
  // Cost: O(arcs + numRows + numRealCols) to gather the non-zero entries
  // (a row pinned by preassignment has numRows + numRealCols arcs; a row
  // written out of column order since the last call is sorted first), then
  // O(arcs of the bidder) per bid. The number of bids grows with the weight
  // range when rows compete for the same columns.
  int Solver(int* rowMatch, int* colMatch, int* totalWeight, int usePreassignment);

private:
  // One write of AddArc or preassignment.
  struct Written {
    int col;
    int weight;
  };

  // Rewrites the rows that rowMatch pins to a column.
  void preassign(const int* rowMatch);
  // Gathers the non-zero entries into the arc lists, row-major by ascending
  // column, and resets mates and prices.
  void setInternalData();
  // Sorts a row's write list by column and keeps the last write of each.
  void settleWrites(int row);
  // Bids until every admitted row holds a column.
  void auction();

  int numRows = 0;
  int numCols = 0;                 // real columns + one dummy per row
  std::vector<int> weight;         // numRows x numCols, row-major
  std::vector<int> rowMate;        // column held by each row, -1 = none
  std::vector<int> colMate;        // row holding each column, -1 = none
  std::vector<int> mateArc;        // arc held by each row
  std::vector<int> arcWeight;      // the arcs: row-major, ascending column
  std::vector<int> arcCol;
  std::vector<int> rowStart;       // first arc of each row, then the arc count
  float epsilon = 0.0f;            // bid increment, 0.5 once solved
  std::vector<float> price;        // price of each column

  // The solver never reads the matrix sparsely: at this size each such read
  // misses the caches. Instead each row keeps what was written to it: its
  // non-zero entries as of the last solve, then every write since (in
  // `written`, its own dummy entry apart in `ownDummy`). A row pinned by
  // preassignment is dense and is read from the matrix in one sweep.
  std::vector<std::vector<Written>> written;
  std::vector<char> writtenInOrder;  // written[i] ascending, each column once
  std::vector<int> ownDummy;         // entry of each row at its own dummy
  std::vector<char> pinned;          // row rewritten by preassignment
  bool dummyLost = false;            // a row with arcs has none to its dummy
};

#endif
