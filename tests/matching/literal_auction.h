// The auction written out step by step, as plainly as possible: the dense
// matrix scanned element by element, the bidder found by scanning the rows
// from 0. It is the yardstick that AP_MATCHING must agree with bit for bit, in
// the tests and in the benchmarks. It assumes well-formed input: indices in
// range and every row's own dummy entry non-zero. solveOnce runs either
// solver and gathers what it returns, for comparing the two.
#ifndef BASAPLACE_TESTS_MATCHING_LITERAL_AUCTION_H
#define BASAPLACE_TESTS_MATCHING_LITERAL_AUCTION_H

#include <cmath>
#include <limits>
#include <vector>

struct LiteralAuction {
  int numRows, numCols;
  std::vector<std::vector<int>> weight;
  // With raiseStalled, a bid that does not raise its column's price raises it
  // by epsilon instead, or to the next float where that rounds back too (the
  // library's rule). Without it the auction is the plain one, and it gives up
  // at the first such bid: the rule changes nothing wherever that run ends.
  bool raiseStalled = true;
  long long maxBids = 100000000;  // gives up past this many bids
  long long bids = 0;
  bool gaveUp = false;  // the last Solver gave up; its outputs are not written

  LiteralAuction(int rows, int realCols)
      : numRows(rows), numCols(rows + realCols),
        weight(rows, std::vector<int>(rows + realCols, 0)) {
    for (int i = 0; i < rows; ++i) weight[i][realCols + i] = -10000;
  }
  void AddArc(int row, int col, int w) { weight[row][col] = w; }

  int Solver(int* rowMatch, int* colMatch, int* totalWeight, int usePreassignment) {
    bids = 0;
    gaveUp = false;
    if (usePreassignment && numRows >= 1)
      for (int i = 0; i < numRows; ++i)
        if (rowMatch[i] != -1) {
          for (int j = 0; j < numCols; ++j) weight[i][j] = -10000;
          weight[i][rowMatch[i]] = 10000;
        }
    std::vector<int> arcWeight, arcCol, rowStart;
    for (int i = 0; i < numRows; ++i)
      for (int j = 0; j < numCols; ++j)
        if (weight[i][j] != 0) {
          if ((int)rowStart.size() == i) rowStart.push_back((int)arcCol.size());
          arcCol.push_back(j);
          arcWeight.push_back(weight[i][j]);
        }
    rowStart.push_back((int)arcCol.size());
    std::vector<int> rowMate(numRows, -1), colMate(numCols, -1);
    std::vector<float> price(numCols, 0.0f);
    const float epsilon = 0.5f;
    for (;;) {
      int i = 0;
      while (i < numRows && rowMate[i] != -1) ++i;
      if (i == numRows) break;
      if (++bids > maxBids) return gaveUp = true, -1;
      int a = rowStart[i], best;
      float bestV, secondV;
      if (rowStart[i + 1] - a == 1) {
        best = a;
        secondV = -100000.0f;
      } else {
        float v0 = (float)arcWeight[a] - price[arcCol[a]];
        float v1 = (float)arcWeight[a + 1] - price[arcCol[a + 1]];
        if (v0 >= v1) { best = a; bestV = v0; secondV = v1; }
        else { best = a + 1; bestV = v1; secondV = v0; }
        for (int b = a + 2; b < rowStart[i + 1]; ++b) {
          float v = (float)arcWeight[b] - price[arcCol[b]];
          if (v > secondV) {
            if (v > bestV) { secondV = bestV; bestV = v; best = b; }
            else secondV = v;
          }
        }
      }
      int j = arcCol[best];
      float p = ((float)arcWeight[best] - secondV) + epsilon;
      if (!(p > price[j])) {
        if (!raiseStalled) return gaveUp = true, -1;
        p = price[j] + epsilon;
        if (!(p > price[j])) p = std::nextafter(price[j], std::numeric_limits<float>::infinity());
      }
      price[j] = p;
      if (colMate[j] >= 0) rowMate[colMate[j]] = -1;
      colMate[j] = i;
      rowMate[i] = j;
    }
    unsigned total = 0;  // int arithmetic, wrapping instead of overflowing
    int unmatched = 0;
    for (int i = 0; i < numRows; ++i) {
      if (rowMate[i] < numCols - numRows) total += (unsigned)weight[i][rowMate[i]];
      else { rowMate[i] = -1; ++unmatched; }
      rowMatch[i] = rowMate[i];
    }
    for (int j = 0; j < numCols - numRows; ++j) colMatch[j] = colMate[j];
    *totalWeight = (int)total;
    return unmatched;
  }
};

// Everything one Solver call gives back.
struct Outcome {
  std::vector<int> rowMatch, colMatch;
  int total = -123, unmatched = -123;
  bool operator==(const Outcome& o) const {
    return rowMatch == o.rowMatch && colMatch == o.colMatch && total == o.total &&
           unmatched == o.unmatched;
  }
};

// One Solver call with rowMatch preset to `rowMatchIn` (all -1 when empty)
// and colMatch to -7, so that an output left unwritten shows.
template <class Solver>
Outcome solveOnce(Solver& s, int rows, int realCols, int usePre = 0, std::vector<int> rowMatchIn = {}) {
  Outcome o;
  o.rowMatch = rowMatchIn.empty() ? std::vector<int>(rows, -1) : rowMatchIn;
  o.colMatch.assign(realCols, -7);
  o.unmatched = s.Solver(o.rowMatch.data(), o.colMatch.data(), &o.total, usePre);
  return o;
}

#endif
