// The vector and matrix templates: IEEE details of the vector, and the
// matrix against the literal model of reference.h.
#include <linsys/basaplcmatrix.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <utility>

#include "allocfail.h"
#include "reference.h"

namespace {

using basAP::SparSymMat;
using basAP::Tuple;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(Tuple, ArithmeticBuildsNewVectorsAndDotSumsInAscendingOrder) {
  Tuple<double> a(3, 1.0);
  a[1] = 1e16;
  a[2] = -1e16;
  const Tuple<double> b(a);
  a[0] = 9.0;  // the copy is deep
  const Tuple<double> sum = a + b, diff = a - b, scaled = b * -2.0;
  EXPECT_EQ(sum[0], 10.0);
  EXPECT_EQ(diff[0], 8.0);
  EXPECT_EQ(scaled[1], -2e16);
  // ((0 + 1) + 1e16) - 1e16 is 0 because 1e16 + 1 rounds to 1e16; summed
  // from the other end it would be 1.
  EXPECT_EQ(b.Dot(Tuple<double>(3, 1.0)), 0.0);
  EXPECT_FALSE(std::signbit(Tuple<double>(2, -0.0).Dot(Tuple<double>(2, 1.0))));
}

TEST(Tuple, AssignmentCopiesOnlyWhatDoesNotCompareEqual) {
  EXPECT_FALSE(Tuple<double>(1, kNaN) == Tuple<double>(1, kNaN));
  Tuple<double> a(2, 1.0);
  a = Tuple<double>(2, 7.0);
  EXPECT_EQ(a[1], 7.0);
  // +0.0 and -0.0 compare equal, so nothing is copied and the sign stays;
  // a NaN never compares equal, so it is copied.
  Tuple<double> zero(1, 0.0);
  zero = Tuple<double>(1, -0.0);
  EXPECT_FALSE(std::signbit(zero[0]));
  zero = Tuple<double>(1, kNaN);
  EXPECT_TRUE(std::isnan(zero[0]));
}

TEST(Tuple, AMovedFromTupleKeepsItsSizeAndTakesAssignments) {
  Tuple<double> a(3, 1.0);
  const Tuple<double> b(std::move(a));
  ASSERT_EQ(a.Size(), 3u);  // NOLINT(bugprone-use-after-move): what is left behind is the point
  Tuple<double> c(3, 0.0);
  c = std::move(a);
  ASSERT_EQ(a.Size(), 3u);  // NOLINT(bugprone-use-after-move)
  a = Tuple<double>(3, 2.0);
  EXPECT_EQ(a[2], 2.0);
  EXPECT_EQ(b[2], 1.0);
  EXPECT_EQ(c[2], 1.0);
}

// Every position, the stored count and the bits of a product agree.
void ExpectSame(const SparSymMat<double>& m, const ref::Matrix& r, const ref::Vec& x) {
  ASSERT_EQ(m.StoredEntries(), r.Stored());
  for (std::uint32_t i = 0; i < m.Size(); ++i)
    for (std::uint32_t j = 0; j < m.Size(); ++j) ASSERT_EQ(ref::Bits(m.GetEntry(i, j)), ref::Bits(r.Get(i, j)));
  Tuple<double> in(m.Size(), 0.0), out(m.Size(), 1.0);
  for (std::uint32_t i = 0; i < m.Size(); ++i) in[i] = x[i];
  m.Multiply(in, out);
  const ref::Vec want = r.Multiply(x);
  for (std::uint32_t i = 0; i < m.Size(); ++i) ASSERT_EQ(ref::Bits(out[i]), ref::Bits(want[i])) << "row " << i;
}

// Random writes in random order (new, rewritten, set to 0 and -0.0, absent
// zeros), rows dense enough for one page to outgrow a chunk, checked against
// the model before and after a solve packs the storage, after growing it
// again, through copies and after clearing the values.
TEST(SparSymMat, MatchesTheModelThroughGrowthPackingAndCopies) {
  const std::uint32_t n = 700;
  std::mt19937_64 rng(11);
  std::uniform_int_distribution<std::uint32_t> any(0, n - 1), near(0, 12);
  std::uniform_real_distribution<double> val(-2.0, 2.0);
  SparSymMat<double> m(n, 0.0);
  ref::Matrix r(n);
  auto set = [&](std::uint32_t i, std::uint32_t j, double v) {
    m.SetEntry(i, j, v);
    r.Set(i, j, v);
  };
  for (std::uint32_t i = 2; i < 9; ++i)
    for (std::uint32_t j = n - 1; j >= i; --j) set(i, j, val(rng));  // descending columns
  auto scatter = [&](int count) {
    for (int k = 0; k < count; ++k) {
      const std::uint32_t i = any(rng), j = k % 5 == 0 ? any(rng) : std::min(n - 1, i + near(rng));
      set(i, j, k % 11 == 0 ? 0.0 : k % 11 == 1 ? -0.0 : val(rng));
    }
  };
  scatter(3000);
  ref::Vec x(n);
  for (double& v : x) v = val(rng);
  ExpectSame(m, r, x);

  Tuple<double> sol(n, 0.0), b(n, 1.0);
  m.SolvePCG(sol, b, 3);
  ExpectSame(m, r, x);
  scatter(800);
  ExpectSame(m, r, x);

  SparSymMat<double> copy(m), assigned(3, 0.0);
  assigned = m;
  const double before = r.Get(0, 650);
  set(0, 650, 123.0);
  ExpectSame(m, r, x);
  EXPECT_EQ(copy.GetEntry(650, 0), before);
  EXPECT_EQ(assigned.GetEntry(650, 0), before);
  assigned.SetEntry(0, 650, 123.0);
  ExpectSame(assigned, r, x);

  m.ZeroValues();
  r.Zero();
  ExpectSame(m, r, x);
  scatter(200);  // values again, on positions mostly stored already
  ExpectSame(m, r, x);
}

// A solve first packs a matrix that has grown, which needs memory for the
// whole packed copy. When a chunk of it cannot be had, the solve goes on
// with the matrix as it was: the same memory in use after any number of such
// solves, the same entries, and the same iterates as a packed copy gives.
TEST(SparSymMat, AFailedPackingLeavesTheMatrixAsItWas) {
  const std::uint32_t n = 2000;
  std::mt19937_64 rng(5);
  std::uniform_int_distribution<std::uint32_t> any(0, n - 1), near(1, 40);
  SparSymMat<double> m(n, 0.0);
  ref::Matrix r(n);
  for (std::uint32_t i = 0; i < n; ++i) {
    m.SetEntry(i, i, 50.0);
    r.Set(i, i, 50.0);
  }
  for (int k = 0; k < 16000; ++k) {  // in random order, so the pages have grown apart
    const std::uint32_t i = any(rng), j = std::min(n - 1, i + near(rng));
    m.SetEntry(i, j, -0.5);
    r.Set(i, j, -0.5);
  }
  const SparSymMat<double> packed(m);  // a copy is packed as it is made
  const Tuple<double> b(n, 1.0);
  // Chunks hold 4096 entries (12 bytes each) here, and the matrix needs four.
  const std::size_t chunkBytes = 4096 * (sizeof(double) + sizeof(std::uint32_t));

  Tuple<double> x(n, 0.0);
  const std::int64_t live = allocfail::Live();
  for (int attempt = 0; attempt < 3; ++attempt) {
    allocfail::Failing failing(chunkBytes, 1);  // the first chunk is had, the second not
    m.SolvePCG(x, b, 1);
  }
  EXPECT_EQ(allocfail::Live(), live);

  Tuple<double> y(n, 0.0);
  SparSymMat<double> copy(packed);
  for (int attempt = 0; attempt < 3; ++attempt) copy.SolvePCG(y, b, 1);
  for (std::uint32_t i = 0; i < n; ++i) ASSERT_EQ(ref::Bits(x[i]), ref::Bits(y[i])) << i;
  ref::Vec v(n);
  for (std::uint32_t i = 0; i < n; ++i) v[i] = y[i];
  ExpectSame(m, r, v);
}

TEST(SparSymMat, NonFiniteValuesAreStoredAndPropagate) {
  SparSymMat<double> m(3, 1.0);
  m.SetEntry(2, 0, kNaN);  // NaN is not 0: stored
  EXPECT_EQ(m.StoredEntries(), 4u);
  EXPECT_TRUE(std::isnan(m.GetEntry(0, 2)));

  // Multiply into its own input: result is cleared first, so x reads as 0;
  // the infinite entry makes result[0] NaN, which reaches row 2 only because
  // its update reads result[0] as it stands by then.
  SparSymMat<double> self(3, 1.0);
  self.SetEntry(0, 1, std::numeric_limits<double>::infinity());
  self.SetEntry(0, 2, 1.0);
  Tuple<double> v(3, 5.0);
  self.Multiply(v, v);
  for (std::uint32_t i = 0; i < 3; ++i) EXPECT_TRUE(std::isnan(v[i])) << i;
}

// The indefinite matrix [[2, 0, 1], [0, 3, 2], [1, 2, 1]] with b = (-2, -1,
// 1) never brings the measure down to 0.1: the two-argument solve stops
// after exactly 10 n + 1000 = 1030 passes, where the bounded form given that
// bound stops, and not where one pass fewer or more would.
TEST(SparSymMat, TwoArgumentSolveRunsToTheDefaultBound) {
  SparSymMat<double> m(3, 0.0);
  m.SetEntry(0, 0, 2.0);
  m.SetEntry(1, 1, 3.0);
  m.SetEntry(2, 2, 1.0);
  m.SetEntry(0, 2, 1.0);
  m.SetEntry(1, 2, 2.0);
  Tuple<double> b(3, 1.0);
  b[0] = -2.0;
  b[1] = -1.0;
  EXPECT_EQ(SparSymMat<double>::DefaultMaxPasses(3), 1030u);
  EXPECT_EQ(SparSymMat<double>::DefaultMaxPasses(0xffffffffu), 0xffffffffu);

  Tuple<double> x(3, 0.0);
  m.SolvePCG(x, b);
  for (std::uint32_t passes : {1029u, 1030u, 1031u}) {
    Tuple<double> y(3, 0.0);
    EXPECT_TRUE(m.SolvePCG(y, b, passes).stoppedByBound);
    bool same = true;
    for (std::uint32_t i = 0; i < 3; ++i) same = same && ref::Bits(x[i]) == ref::Bits(y[i]);
    EXPECT_EQ(same, passes == 1030u) << passes;
  }
}

}  // namespace
