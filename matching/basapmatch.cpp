// The assignment solver: matrix upkeep, arc gathering and the auction.
#include <matching/basapmatch.h>

#include "basapadmit.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>

namespace {

constexpr int kDummyWeight = -10000;   // a row's own dummy column
constexpr int kPinnedWeight = 10000;   // the column a row is pinned to
constexpr float kLoneSecond = -100000.0f;  // second-best value of a single-arc row

}  // namespace

AP_MATCHING::AP_MATCHING(int rows, int realCols) {
  rows = std::max(rows, 0);
  realCols = std::max(realCols, 0);
  if (static_cast<long long>(rows) + realCols > INT_MAX)
    throw std::length_error("AP_MATCHING: more columns than an int can number");
  numRows = rows;
  numCols = rows + realCols;
  weight.assign(static_cast<size_t>(numRows) * static_cast<size_t>(numCols), 0);
  written.assign(numRows, std::vector<Written>());
  writtenInOrder.assign(numRows, 1);
  ownDummy.assign(numRows, 0);
  pinned.assign(numRows, 0);
  for (int i = 0; i < numRows; ++i) AddArc(i, realCols + i, kDummyWeight);
}

AP_MATCHING::~AP_MATCHING() = default;
AP_MATCHING::AP_MATCHING(const AP_MATCHING&) = default;
AP_MATCHING& AP_MATCHING::operator=(const AP_MATCHING&) = default;

void AP_MATCHING::AddArc(int row, int col, int w) {
  if (row < 0 || row >= numRows || col < 0 || col >= numCols) return;
  int& cell = weight[static_cast<size_t>(row) * numCols + col];
  if (cell == w) return;
  cell = w;
  if (pinned[row]) return;  // read from the matrix
  if (col == numCols - numRows + row) {
    ownDummy[row] = w;
    return;
  }
  std::vector<Written>& list = written[row];
  if (!list.empty() && col <= list.back().col) {
    // Rewrites out of order pile up until the next solve; settle them here
    // now and then so that a row's list stays within twice its width.
    if (list.size() >= 2 * static_cast<size_t>(numCols)) settleWrites(row);
    writtenInOrder[row] = 0;  // the write appended below is out of order
  }
  list.push_back(Written{col, w});
}

void AP_MATCHING::settleWrites(int row) {
  std::vector<Written>& list = written[row];
  auto byCol = [](const Written& a, const Written& b) { return a.col < b.col; };
  if (list.size() <= 32) {
    // Insertion sort: stable and quick on a row's handful of entries.
    for (size_t k = 1; k < list.size(); ++k) {
      const Written e = list[k];
      size_t m = k;
      for (; m > 0 && e.col < list[m - 1].col; --m) list[m] = list[m - 1];
      list[m] = e;
    }
  } else {
    std::stable_sort(list.begin(), list.end(), byCol);
  }
  // The last write of each column is the one that stands.
  size_t kept = 0;
  for (size_t k = 0; k < list.size(); ++k)
    if (k + 1 == list.size() || list[k + 1].col != list[k].col) list[kept++] = list[k];
  list.resize(kept);
  writtenInOrder[row] = 1;
}

void AP_MATCHING::preassign(const int* rowMatch) {
  for (int i = 0; i < numRows; ++i) {
    const int c = rowMatch[i];
    if (c < 0 || c >= numCols) continue;
    int* row = &weight[static_cast<size_t>(i) * numCols];
    std::fill(row, row + numCols, kDummyWeight);
    row[c] = kPinnedWeight;
    pinned[i] = 1;
    std::vector<Written>().swap(written[i]);
    writtenInOrder[i] = 1;
  }
}

void AP_MATCHING::setInternalData() {
  const int realCols = numCols - numRows;
  size_t entries = 0;
  for (int i = 0; i < numRows; ++i) {
    if (pinned[i]) {
      entries += numCols;
      continue;
    }
    if (!writtenInOrder[i]) settleWrites(i);
    entries += written[i].size() + 1;
  }

  // The non-zero entries, row by row, are the arcs.
  arcWeight.resize(entries);
  arcCol.resize(entries);
  rowStart.resize(static_cast<size_t>(numRows) + 1);
  dummyLost = false;
  int arcs = 0;
  auto emit = [&](int col, int w) {
    arcCol[arcs] = col;
    arcWeight[arcs] = w;
    arcs += w != 0;
  };
  for (int i = 0; i < numRows; ++i) {
    rowStart[i] = arcs;
    const int dummy = realCols + i;
    if (pinned[i]) {
      const int* row = &weight[static_cast<size_t>(i) * numCols];
      for (int j = 0; j < numCols; ++j) emit(j, row[j]);
      dummyLost |= arcs > rowStart[i] && row[dummy] == 0;
      continue;
    }
    // The list in column order, with the row's own dummy entry in its place.
    std::vector<Written>& list = written[i];
    const size_t below = static_cast<size_t>(
        std::lower_bound(list.begin(), list.end(), dummy,
                         [](const Written& e, int col) { return e.col < col; }) -
        list.begin());
    for (size_t k = 0; k < below; ++k) emit(list[k].col, list[k].weight);
    emit(dummy, ownDummy[i]);
    for (size_t k = below; k < list.size(); ++k) emit(list[k].col, list[k].weight);
    if (arcs - rowStart[i] != static_cast<int>(list.size()) + (ownDummy[i] != 0)) {
      // Entries set back to 0 leave the list too.
      list.erase(std::remove_if(list.begin(), list.end(), [](const Written& e) { return e.weight == 0; }),
                 list.end());
    }
    dummyLost |= arcs > rowStart[i] && ownDummy[i] == 0;
  }
  rowStart[numRows] = arcs;
  arcWeight.resize(arcs);
  arcCol.resize(arcs);
  rowMate.assign(numRows, -1);
  mateArc.assign(numRows, -1);
  colMate.assign(numCols, -1);
  price.assign(numCols, 0.0f);
  epsilon = 0.5f;
}

void AP_MATCHING::auction() {
  // A row whose own dummy entry is 0 may leave its group with fewer columns
  // than rows, and then the bidding would never end: only in that case is it
  // worth checking which rows can take part.
  std::vector<char> admitted;
  if (dummyLost) admitted = apmatch::admitRows(numRows, numCols, rowStart.data(), arcCol.data());
  auto bids = [&](int i) {
    return dummyLost ? admitted[i] != 0 : rowStart[i] < rowStart[i + 1];
  };

  // The bidder is always the lowest free row, found in O(1): a bid frees at
  // most one row, the one it displaces, and that row bids next. So at any
  // time the free rows are at most one displaced row (`pending`, which has
  // bid before and so lies below `next`) and the rows from `next` on, which
  // have not bid yet.
  int pending = -1;
  int next = 0;
  const float inf = std::numeric_limits<float>::infinity();
  for (;;) {
    int i = pending;
    if (i >= 0) {
      pending = -1;
    } else {
      while (next < numRows && !bids(next)) ++next;
      if (next == numRows) break;
      i = next++;
    }

    // The best arc is the first of greatest value, so ties keep the lower
    // column; the second-best value is the greatest among the other arcs, or
    // -100000 for a row with a single arc. The usual update "if v > second:
    // if v > best, best moves down to second and v becomes best, else v
    // becomes second" is written here without branches, as best = max(best,
    // v) and second = max(second, min(v, best)).
    const int first = rowStart[i];
    const int end = rowStart[i + 1];
    int best = first;
    float bestValue = static_cast<float>(arcWeight[first]) - price[arcCol[first]];
    float second = end - first == 1 ? kLoneSecond : -inf;
    for (int a = first + 1; a < end; ++a) {
      const float v = static_cast<float>(arcWeight[a]) - price[arcCol[a]];
      const float lower = v < bestValue ? v : bestValue;
      second = second < lower ? lower : second;
      best = v > bestValue ? a : best;
      bestValue = v > bestValue ? v : bestValue;
    }

    const int j = arcCol[best];
    float bid = (static_cast<float>(arcWeight[best]) - second) + epsilon;
    // With large weights the bid can round back to the old price (prices of
    // 2^24 and more have no halves), and two rows could then take the column
    // from each other forever. Such a bid raises the price by epsilon, or,
    // where that rounds back too, to the next float up: every bid strictly
    // raises a price, so the bidding ends. Bids that do raise the price are
    // left alone.
    if (!(bid > price[j])) {
      bid = price[j] + epsilon;
      if (!(bid > price[j])) bid = std::nextafter(price[j], inf);
    }
    price[j] = bid;
    const int loser = colMate[j];
    if (loser >= 0) {
      rowMate[loser] = -1;
      pending = loser;
    }
    colMate[j] = i;
    rowMate[i] = j;
    mateArc[i] = best;
  }
}

int AP_MATCHING::Solver(int* rowMatch, int* colMatch, int* totalWeight, int usePreassignment) {
  if (usePreassignment != 0 && numRows >= 1) preassign(rowMatch);
  setInternalData();
  auction();

  const int realCols = numCols - numRows;
  std::uint32_t total = 0;  // wraps like int arithmetic without the overflow
  int unmatched = 0;
  for (int i = 0; i < numRows; ++i) {
    const int j = rowMate[i];
    if (j >= 0 && j < realCols) {
      total += static_cast<std::uint32_t>(arcWeight[mateArc[i]]);
    } else {
      rowMate[i] = -1;
      ++unmatched;
    }
    rowMatch[i] = rowMate[i];
  }
  std::copy(colMate.begin(), colMate.begin() + realCols, colMatch);
  *totalWeight = static_cast<int>(total);
  return unmatched;
}
