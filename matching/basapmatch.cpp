// The assignment solver: upkeep of the weights, arc gathering and the auction.
#include <matching/basapmatch.h>

#include "basapadmit.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>

namespace {

constexpr int kDummyWeight = -10000;       // a row's own dummy column; a pinned row's default
constexpr int kPinnedWeight = 10000;       // the column a row is pinned to
constexpr float kLoneSecond = -100000.0f;  // second-best value of a single-arc row
// AddArc folds its noted writes in once they number twice the entries and
// rows, plus this many, so that memory follows the entries while a small
// problem still waits for its solve.
constexpr size_t kPendingSlack = 1024;

// Sorts one row's writes by column, keeping their order within a column,
// and keeps the last write of each column.
template <class Entry>
void lastWriteByColumn(std::vector<Entry>& writes) {
  if (writes.size() <= 32) {
    // Insertion sort: stable and quick on a row's handful of writes, which
    // mostly come in column order already.
    for (size_t k = 1; k < writes.size(); ++k) {
      const Entry e = writes[k];
      size_t m = k;
      for (; m > 0 && e.col < writes[m - 1].col; --m) writes[m] = writes[m - 1];
      writes[m] = e;
    }
  } else {
    std::stable_sort(writes.begin(), writes.end(),
                     [](const Entry& a, const Entry& b) { return a.col < b.col; });
  }
  size_t kept = 0;
  for (size_t k = 0; k < writes.size(); ++k)
    if (k + 1 == writes.size() || writes[k + 1].col != writes[k].col) writes[kept++] = writes[k];
  writes.resize(kept);
}

}  // namespace

AP_MATCHING::AP_MATCHING(int rows, int realCols) {
  rows = std::max(rows, 0);
  realCols = std::max(realCols, 0);
  if (static_cast<long long>(rows) + realCols > INT_MAX)
    throw std::length_error("AP_MATCHING: more columns than an int can number");
  numRows = rows;
  numCols = rows + realCols;
  entryStart.assign(static_cast<size_t>(numRows) + 1, 0);
  ownDummy.assign(numRows, kDummyWeight);
  pinned.assign(numRows, 0);
}

AP_MATCHING::~AP_MATCHING() = default;
AP_MATCHING::AP_MATCHING(const AP_MATCHING&) = default;
AP_MATCHING& AP_MATCHING::operator=(const AP_MATCHING&) = default;

void AP_MATCHING::AddArc(int row, int col, int w) {
  if (row < 0 || row >= numRows || col < 0 || col >= numCols) return;
  if (!pinned[row]) {
    if (col == numCols - numRows + row) {
      ownDummy[row] = w;
      return;
    }
    // Behind every entry in row-major order: the place is free (it holds the
    // default 0) and the write can go there at once.
    if (pending.empty() && (row > tailRow || (row == tailRow && col > entry.back().col))) {
      if (w == 0) return;
      const int at = static_cast<int>(entry.size());
      Entry& e = entry.emplace_back();  // then set in place: quicker than copying an Entry in
      e.col = col;
      e.weight = w;
      for (int r = tailRow + 1; r <= row; ++r) entryStart[r] = at;
      tailRow = std::max(tailRow, row);
      return;
    }
  }
  if (!pending.empty() && row < pending.back().row) pendingByRow = false;
  pending.push_back(Write{row, col, w});
  if (pending.size() >= 2 * (entry.size() + static_cast<size_t>(numRows)) + kPendingSlack) settle(nullptr);
}

void AP_MATCHING::closeRows() {
  const int end = static_cast<int>(entry.size());
  for (int r = tailRow + 1; r <= numRows; ++r) entryStart[r] = end;
}

void AP_MATCHING::settle(const int* pins) {
  closeRows();
  // The noted writes by row, in their order within a row: as they are when
  // they came row by row, else by a counting sort on the row.
  std::vector<Write> grouped;
  const Write* byRow = pending.data();
  if (!pendingByRow) {
    std::vector<size_t> next(static_cast<size_t>(numRows) + 1, 0);
    for (const Write& w : pending) ++next[w.row + 1];
    for (int i = 0; i < numRows; ++i) next[i + 1] += next[i];
    grouped.resize(pending.size());
    for (const Write& w : pending) grouped[next[w.row]++] = w;
    byRow = grouped.data();
  }

  std::vector<int> start(static_cast<size_t>(numRows) + 1);
  std::vector<Entry> merged;
  merged.reserve(entry.size() + pending.size());
  std::vector<Entry> writes;
  size_t w = 0;
  tailRow = -1;
  for (int i = 0; i < numRows; ++i) {
    start[i] = static_cast<int>(merged.size());
    const size_t firstWrite = w;
    while (w < pending.size() && byRow[w].row == i) ++w;
    const Entry* old = entry.data() + entryStart[i];
    const int oldCount = entryStart[i + 1] - entryStart[i];

    if (pins != nullptr && pins[i] >= 0 && pins[i] < numCols) {
      // Every entry of the row becomes -10000, the default from now on (the
      // row is marked below, once nothing can fail), and the pinned column
      // 10000; earlier writes are overwritten.
      merged.push_back(Entry{pins[i], kPinnedWeight});
    } else if (firstWrite == w) {
      merged.insert(merged.end(), old, old + oldCount);
    } else {
      writes.clear();
      for (size_t k = firstWrite; k < w; ++k) writes.push_back(Entry{byRow[k].col, byRow[k].weight});
      lastWriteByColumn(writes);
      // Merge the entries with the writes, which win on a common column;
      // what equals the default is left out.
      const int dflt = pinned[i] ? kDummyWeight : 0;
      auto keep = [&](const Entry& e) {
        if (e.weight != dflt) merged.push_back(e);
      };
      int e = 0;
      for (const Entry& write : writes) {
        for (; e < oldCount && old[e].col < write.col; ++e) keep(old[e]);
        if (e < oldCount && old[e].col == write.col) ++e;
        keep(write);
      }
      for (; e < oldCount; ++e) keep(old[e]);
    }
    if (static_cast<int>(merged.size()) > start[i]) tailRow = i;
  }
  start[numRows] = static_cast<int>(merged.size());
  entryStart.swap(start);
  entry.swap(merged);
  pending.clear();
  pendingByRow = true;
  for (int i = 0; pins != nullptr && i < numRows; ++i) {
    if (pins[i] >= 0 && pins[i] < numCols && !pinned[i]) {
      pinned[i] = 1;
      ++pinnedRows;
    }
  }
}

AP_MATCHING::Arcs AP_MATCHING::setInternalData() {
  closeRows();
  rowMate.assign(numRows, -1);
  mateWeight.assign(numRows, 0);
  colMate.assign(numCols, -1);
  price.assign(numCols, 0.0f);
  epsilon = 0.5f;

  dummyLost = false;
  for (int i = 0; i < numRows && !dummyLost; ++i)
    dummyLost = !pinned[i] && ownDummy[i] == 0 && entryStart[i] < entryStart[i + 1];
  if (pinnedRows == 0 && !dummyLost) return Arcs{entryStart.data(), entry.data(), ownDummy.data()};

  // Every row spelled out with its own dummy in its place: a pinned row has
  // an arc to every column but those written 0.
  const int realCols = numCols - numRows;
  spelledStart.resize(static_cast<size_t>(numRows) + 1);
  spelled.clear();
  for (int i = 0; i < numRows; ++i) {
    spelledStart[i] = static_cast<int>(spelled.size());
    const int dummy = realCols + i;
    int k = entryStart[i];
    const int end = entryStart[i + 1];
    int dummyWeight;
    if (!pinned[i]) {
      dummyWeight = ownDummy[i];
      for (; k < end && entry[k].col < dummy; ++k) spelled.push_back(entry[k]);
      if (dummyWeight != 0) spelled.push_back(Entry{dummy, dummyWeight});
      spelled.insert(spelled.end(), entry.begin() + k, entry.begin() + end);
    } else {
      dummyWeight = kDummyWeight;
      for (int j = 0; j < numCols; ++j) {
        int v = kDummyWeight;
        if (k < end && entry[k].col == j) v = entry[k++].weight;
        if (j == dummy) dummyWeight = v;
        if (v != 0) spelled.push_back(Entry{j, v});
      }
    }
    dummyLost |= dummyWeight == 0 && static_cast<int>(spelled.size()) > spelledStart[i];
  }
  spelledStart[numRows] = static_cast<int>(spelled.size());
  return Arcs{spelledStart.data(), spelled.data(), nullptr};
}

void AP_MATCHING::auction(const Arcs& arcs) {
  // A row whose own dummy entry is 0 may leave its group with fewer columns
  // than rows, and then the bidding would never end: only in that case is it
  // worth checking which rows can take part. (The arcs are then spelled out,
  // own dummies included.)
  std::vector<char> admitted;
  if (dummyLost)
    admitted = apmatch::admitRows(numRows, numCols, arcs.start, &arcs.arc[0].col,
                                  static_cast<int>(sizeof(Entry) / sizeof(int)));
  const int realCols = numCols - numRows;
  auto dummyWeight = [&](int i) { return arcs.ownDummy != nullptr ? arcs.ownDummy[i] : 0; };
  auto bids = [&](int i) {
    return dummyLost ? admitted[i] != 0 : arcs.start[i] < arcs.start[i + 1] || dummyWeight(i) != 0;
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

    // The best arc is the first of greatest value in column order, so ties
    // keep the lower column; the second-best value is the greatest among the
    // other arcs, or -100000 for a row with a single arc. The usual update
    // "if v > second: if v > best, best moves down to second and v becomes
    // best, else v becomes second" is written here without branches, as
    // best = max(best, v) and second = max(second, min(v, best)). The own
    // dummy, kept apart from the stored arcs, is weighed last, with the tie
    // going to it only where its column is the lower.
    const int first = arcs.start[i];
    const int end = arcs.start[i + 1];
    const int ownWeight = dummyWeight(i);
    const int ownCol = realCols + i;
    Entry best;
    float bestValue;
    float second = end - first + (ownWeight != 0) == 1 ? kLoneSecond : -inf;
    if (first < end) {
      best = arcs.arc[first];
      bestValue = static_cast<float>(best.weight) - price[best.col];
      for (int a = first + 1; a < end; ++a) {
        const Entry arc = arcs.arc[a];
        const float v = static_cast<float>(arc.weight) - price[arc.col];
        const float lower = v < bestValue ? v : bestValue;
        second = second < lower ? lower : second;
        best = v > bestValue ? arc : best;
        bestValue = v > bestValue ? v : bestValue;
      }
      if (ownWeight != 0) {
        const float v = static_cast<float>(ownWeight) - price[ownCol];
        if (v > bestValue || (v == bestValue && ownCol < best.col)) {
          second = second < bestValue ? bestValue : second;
          best = Entry{ownCol, ownWeight};
          bestValue = v;
        } else {
          second = second < v ? v : second;
        }
      }
    } else {
      best = Entry{ownCol, ownWeight};
    }

    const int j = best.col;
    float bid = (static_cast<float>(best.weight) - second) + epsilon;
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
    mateWeight[i] = best.weight;
  }
}

int AP_MATCHING::Solver(int* rowMatch, int* colMatch, int* totalWeight, int usePreassignment) {
  const bool pin = usePreassignment != 0 && numRows >= 1;
  if (pin || !pending.empty()) settle(pin ? rowMatch : nullptr);
  auction(setInternalData());

  const int realCols = numCols - numRows;
  std::uint32_t total = 0;  // wraps like int arithmetic without the overflow
  int unmatched = 0;
  for (int i = 0; i < numRows; ++i) {
    const int j = rowMate[i];
    if (j >= 0 && j < realCols) {
      total += static_cast<std::uint32_t>(mateWeight[i]);
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
