// A matrix given whole in row form: the same matrix, and the same solve bit
// for bit, as one filled entry by entry; a replaced pattern leaves nothing
// of the old one; a failed allocation leaves an empty matrix and nothing
// held. (Bad rows: check_death_test.cpp.)
#include <linsys/basaplinsys.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "allocfail.h"

namespace {

using basAP::plQPLinearSystem;
using basAP::SparSymMat;

// A system in row form: the upper entries of each row, columns ascending.
struct Rows {
  std::vector<double> diag;
  std::vector<std::uint32_t> start{0}, cols;
  std::vector<double> vals;
};

// n rows, each joined to a few later ones (the stride varies, so that rows
// differ in length and some are empty), diagonally dominant; entries
// cross the 16-row pages, and enough of them to take several chunks.
Rows Banded(std::uint32_t n, std::uint32_t salt) {
  Rows r;
  for (std::uint32_t i = 0; i < n; ++i) {
    double sum = 0;
    const std::uint32_t len = (i * 7 + salt) % 5;
    for (std::uint32_t t = 1; t <= len; ++t) {
      const std::uint32_t j = i + t * (1 + (i + salt) % 23);
      if (j >= n) break;
      const double v = -0.25 - 0.01 * ((i * 31 + j + salt) % 17);
      r.cols.push_back(j);
      r.vals.push_back(v);
      sum -= v;
    }
    r.start.push_back(static_cast<std::uint32_t>(r.cols.size()));
    r.diag.push_back(2.0 + sum + 4.0);
  }
  return r;
}

// The same rows, filled entry by entry into a fresh system.
void FillOneByOne(plQPLinearSystem& s, const Rows& r) {
  for (std::uint32_t i = 0; i + 1 < r.start.size(); ++i) {
    s.SetMatrixDiagEntry(i, r.diag[i]);
    for (std::uint32_t k = r.start[i]; k < r.start[i + 1]; ++k) s.SetMatrixEntry(i, r.cols[k], r.vals[k]);
  }
}

void SameBits(double a, double b, const std::string& what) {
  EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0) << what << ": " << a << " against " << b;
}

TEST(AssignRows, SolvesAsTheMatrixFilledEntryByEntry) {
  const std::uint32_t n = 20000;  // about 40,000 entries: several chunks
  const Rows r = Banded(n, 3);
  plQPLinearSystem bulk(n, 0), single(n, 0);
  bulk.SetMatrixRows(r.diag, r.start, r.cols, r.vals);
  FillOneByOne(single, r);
  for (std::uint32_t i = 0; i < n; ++i) {
    const double b = (i % 13) * 0.5 - 3.0;
    bulk.SetRHSVectorEntry(i, b);
    single.SetRHSVectorEntry(i, b);
  }
  for (std::uint32_t i = 0; i < n; i += 997)
    for (std::uint32_t j = i; j < n && j < i + 60; ++j)
      SameBits(bulk.GetMatrixEntry(i, j), single.GetMatrixEntry(i, j), "entry");
  bulk.SetTolerance(1e-20);
  single.SetTolerance(1e-20);
  EXPECT_TRUE(bulk.Solve());
  EXPECT_TRUE(single.Solve());
  EXPECT_GT(bulk.GetIterations(), 3u);
  EXPECT_EQ(bulk.GetIterations(), single.GetIterations());
  for (std::uint32_t i = 0; i < n; ++i) SameBits(bulk.GetSolution(i), single.GetSolution(i), "x");
}

TEST(AssignRows, ReplacesThePatternWhole) {
  const std::uint32_t n = 300;
  const Rows first = Banded(n, 1), second = Banded(n, 8);
  SparSymMat<double> m(n, 0.0);
  m.AssignRows(first.diag.data(), first.start.data(), first.cols.data(), first.vals.data());
  m.SetEntry(5, 250, 9.0);  // one more, by hand: gone with the next assignment
  m.AssignRows(second.diag.data(), second.start.data(), second.cols.data(), second.vals.data());
  EXPECT_EQ(m.StoredEntries(), n + second.cols.size());
  std::uint64_t seen = 0;
  for (std::uint32_t i = 0; i < n; ++i) {
    EXPECT_EQ(m.GetEntry(i, i), second.diag[i]);
    for (std::uint32_t j = i + 1; j < n; ++j) {
      double want = 0;
      for (std::uint32_t k = second.start[i]; k < second.start[i + 1]; ++k)
        if (second.cols[k] == j) want = second.vals[k];
      if (want != 0) ++seen;
      ASSERT_EQ(m.GetEntry(j, i), want) << i << ", " << j;
    }
  }
  EXPECT_EQ(seen, second.cols.size());

  // Set one by one afterwards, an assigned matrix grows as any other.
  m.SetEntry(0, n - 1, 2.5);
  EXPECT_EQ(m.GetEntry(n - 1, 0), 2.5);
  EXPECT_EQ(m.StoredEntries(), n + second.cols.size() + 1);

  // Zeros given are stored; no rows at all leaves the diagonal only.
  const std::vector<double> diag(n, 1.0);
  std::vector<std::uint32_t> start(n + 1, 0), cols;
  std::vector<double> vals;
  m.AssignRows(diag.data(), start.data(), cols.data(), vals.data());
  EXPECT_EQ(m.StoredEntries(), n);
  std::fill(start.begin() + 2, start.end(), 1u);
  cols = {7};
  vals = {0.0};
  m.AssignRows(diag.data(), start.data(), cols.data(), vals.data());
  EXPECT_EQ(m.StoredEntries(), n + 1);
  EXPECT_EQ(m.GetEntry(1, 7), 0.0);
}

TEST(AssignRows, FailedAllocationLeavesAnEmptyMatrix) {
  const std::uint32_t n = 20000;
  const Rows r = Banded(n, 5);
  SparSymMat<double> m(n, 1.0);
  m.SetEntry(0, 1, -1.0);
  const std::int64_t before = allocfail::Live();
  {
    // The first chunk is let through, a later one fails.
    allocfail::Failing failing(4096, 1);
    EXPECT_THROW(m.AssignRows(r.diag.data(), r.start.data(), r.cols.data(), r.vals.data()), std::bad_alloc);
  }
  EXPECT_LE(allocfail::Live(), before);
  EXPECT_EQ(m.StoredEntries(), n);
  EXPECT_EQ(m.GetEntry(0, 1), 0.0);
  EXPECT_EQ(m.GetEntry(3, 3), 0.0);
  // And it takes the rows on the next try.
  m.AssignRows(r.diag.data(), r.start.data(), r.cols.data(), r.vals.data());
  EXPECT_EQ(m.StoredEntries(), n + r.cols.size());
}

}  // namespace
