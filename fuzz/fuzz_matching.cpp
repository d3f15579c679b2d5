// The assignment solver driven by a byte stream of calls. Every solve must
// end and give a consistent matching whose total is the weight of its pairs;
// wherever the step-by-step auction of tests/matching/literal_auction.h
// applies (every row keeps its own dummy entry) and ends, the two must agree
// exactly.
//
// Input: a size byte (0xFF tries sizes past the int range, which must throw),
// rows (byte % 17) and real columns (byte % 17), each negative when its byte
// has the top bit set, a mode byte, then calls, one opcode byte each (see
// Run). Indices reach two places past either end of the matrix; weights run
// from small numbers with many ties to the ends of the int range.
//
// The mode (bit 0) chooses between weights near the int range and rows that
// lose their own dummy entry (set to 0), never both: a row without its
// dummy must hold a column, and when its only columns are other rows' dummies
// it fights over them, a bid of 0.5 at a time, until their prices pass the
// price of a column that a weight near 2^31 set, some 10^8 bids in 13 rows
// (a second in a release build). Such runs end; they are just too slow to
// fuzz.
#include <matching/basapmatch.h>

#include <climits>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

#include "bytestream.h"
#include "matching/literal_auction.h"

namespace {

// A weight for (row, col). Weights near the int range make the float prices
// lose their fractions; they go on one real column per row only, since two
// such columns wanted by the same rows start price wars of up to about 10^8
// bids, which are slow but not wrong.
int Weight(fuzz::ByteStream& in, int col, int& bigCol, bool big) {
  static const int kSpecial[] = {0, -10000, 10000, 1, -1, 9999, -9999, 100000, -100000, 20000};
  static const int kBig[] = {INT_MAX, INT_MAX - 1, INT_MAX - 300, INT_MAX - 100000, 1 << 30,
                             (1 << 24) + 1, (1 << 24) - 1, INT_MIN, INT_MIN + 1, -(1 << 25) - 3};
  const std::uint8_t sel = in.Byte();
  if (sel < 0x80) return static_cast<int>(sel % 32) - 8;
  if (sel < 0xC0) return static_cast<std::int16_t>(in.U16());
  if (sel < 0xE0 || col < 0) return kSpecial[sel % (sizeof kSpecial / sizeof kSpecial[0])];
  if (!big) return static_cast<std::int16_t>(in.U16());
  if (bigCol < 0) bigCol = col;
  if (col != bigCol) return static_cast<std::int16_t>(in.U16());
  return kBig[sel % (sizeof kBig / sizeof kBig[0])];
}

// An index from lo - 2 to hi + 1: mostly inside [lo, hi), sometimes just
// outside either end.
int Index(fuzz::ByteStream& in, int lo, int hi) {
  const int span = hi - lo + 4;
  return lo - 2 + static_cast<int>(in.U16() % span);
}

struct Problem {
  int rows, realCols;
  bool dummiesMayGo;  // else weights near the int range come in
  std::unique_ptr<AP_MATCHING> lib;
  LiteralAuction shadow;  // the same matrix, written in range only
  std::vector<int> bigCol;
};

void Expect(bool ok, const char* what, int at = 0) {
  if (!ok) fuzz::Fail("%s (at %d)", what, at);
}

void Solve(Problem& p, fuzz::ByteStream& in) {
  const int rows = p.rows, realCols = p.realCols, numCols = rows + realCols;
  const int usePre = in.Byte() % 3;  // 0 ignores rowMatch; 1 and 2 both read it
  std::vector<int> rowMatch(rows), pins(rows, -1);
  for (int i = 0; i < rows; ++i) {
    const std::uint8_t sel = in.Byte();
    rowMatch[i] = sel < 0x80 ? -1 : sel < 0xF0 ? Index(in, 0, numCols) : (sel & 1 ? INT_MIN : INT_MAX);
    if (usePre && rowMatch[i] >= 0 && rowMatch[i] < numCols) pins[i] = rowMatch[i];
  }
  // Exact sizes, so that a write past either array is an AddressSanitizer report.
  std::vector<int> colMatch(realCols, -7);
  int total = -7;
  const int unmatched = p.lib->Solver(rowMatch.data(), colMatch.data(), &total, usePre);

  // Pinning rewrites the matrix for good, in the shadow too.
  LiteralAuction& m = p.shadow;
  for (int i = 0; i < rows; ++i)
    if (pins[i] >= 0) {
      for (int j = 0; j < numCols; ++j) m.weight[i][j] = -10000;
      m.weight[i][pins[i]] = 10000;
    }

  // A consistent matching of the arcs, and its total.
  int free = 0;
  unsigned sum = 0;  // int arithmetic that wraps
  for (int i = 0; i < rows; ++i) {
    const int j = rowMatch[i];
    Expect(j >= -1 && j < realCols, "rowMatch entry", i);
    if (j == -1) {
      ++free;
      continue;
    }
    Expect(colMatch[j] == i, "colMatch disagrees with rowMatch", j);
    Expect(m.weight[i][j] != 0, "matched without an arc", i);
    sum += static_cast<unsigned>(m.weight[i][j]);
  }
  for (int j = 0; j < realCols; ++j) {
    Expect(colMatch[j] >= -1 && colMatch[j] < rows, "colMatch entry", j);
    if (colMatch[j] >= 0) Expect(rowMatch[colMatch[j]] == j, "rowMatch disagrees with colMatch", j);
  }
  Expect(unmatched == free, "unmatched count", unmatched);
  Expect(total == static_cast<int>(sum), "total weight", total);

  // The step-by-step auction assumes every row keeps its own dummy entry.
  for (int i = 0; i < rows; ++i)
    if (m.weight[i][realCols + i] == 0) return;
  LiteralAuction literal = m;
  literal.maxBids = 20000000;
  std::vector<int> wantRow(rows, -1), wantCol(realCols, -7);
  int wantTotal = -7;
  const int wantUnmatched = literal.Solver(wantRow.data(), wantCol.data(), &wantTotal, 0);
  if (literal.gaveUp) return;
  Expect(unmatched == wantUnmatched, "unmatched count against the literal auction", wantUnmatched);
  Expect(total == wantTotal, "total against the literal auction", wantTotal);
  Expect(rowMatch == wantRow, "rowMatch against the literal auction");
  Expect(colMatch == wantCol, "colMatch against the literal auction");
}

void Run(fuzz::ByteStream& in) {
  if (in.Byte() == 0xFF) {
    // Sizes whose column count passes the int range.
    const int sizes[][2] = {{INT_MAX, 1}, {1, INT_MAX}, {INT_MAX, INT_MAX}};
    const auto& s = sizes[in.Byte() % 3];
    try {
      AP_MATCHING huge(s[0], s[1]);
      fuzz::Fail("no length_error for %d rows and %d columns", s[0], s[1]);
    } catch (const std::length_error&) {
    }
    return;
  }
  const std::uint8_t r = in.Byte(), c = in.Byte();
  const int rowsAsked = (r & 0x80 ? -1 : 1) * (r % 17), colsAsked = (c & 0x80 ? -1 : 1) * (c % 17);
  // A negative size is taken as 0.
  const int rows = rowsAsked < 0 ? 0 : rowsAsked, realCols = colsAsked < 0 ? 0 : colsAsked;
  const bool dummiesMayGo = in.Byte() & 1;
  Problem p{rows, realCols, dummiesMayGo, std::make_unique<AP_MATCHING>(rowsAsked, colsAsked),
            LiteralAuction(rows, realCols), std::vector<int>(rows, -1)};
  const int numCols = rows + realCols;

  for (int calls = 0, solves = 0; calls < 300 && solves < 6 && !in.Empty(); ++calls) {
    switch (in.Byte() % 6) {
      case 0:
      case 1: {
        const int row = Index(in, 0, rows), col = Index(in, 0, numCols);
        int none = -1;
        int w = Weight(in, col < realCols ? col : -1, row >= 0 && row < rows ? p.bigCol[row] : none,
                       !dummiesMayGo);
        if (!dummiesMayGo && row >= 0 && col == realCols + row && w == 0) w = -10000;
        p.lib->AddArc(row, col, w);
        if (row >= 0 && row < rows && col >= 0 && col < numCols) p.shadow.AddArc(row, col, w);
        break;
      }
      case 2: {
        // A row's own dummy entry, 0 included.
        if (rows == 0) break;
        const int row = static_cast<int>(in.Below(rows));
        int none = -1;
        int w = Weight(in, -1, none, false);
        if (!dummiesMayGo && w == 0) w = -10000;
        p.lib->AddArc(row, realCols + row, w);
        p.shadow.AddArc(row, realCols + row, w);
        break;
      }
      case 3:
        Solve(p, in);
        ++solves;
        break;
      case 4:
        // The copy must own everything: the original is gone before it is used.
        p.lib = std::make_unique<AP_MATCHING>(*p.lib);
        break;
      case 5: {
        auto other = std::make_unique<AP_MATCHING>(in.Byte() % 5, in.Byte() % 5);
        *other = *p.lib;
        p.lib = std::move(other);
        break;
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::ByteStream in(data, size);
  Run(in);
  return 0;
}
