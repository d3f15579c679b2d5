// The vector and matrix templates: IEEE details of the vector, and the
// matrix against the literal model of reference.h.
#include <linsys/basaplcmatrix.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <memory>
#include <random>
#include <utility>

#include "allocfail.h"
#include "reference.h"

namespace {

using basAP::SparSymMat;
using basAP::Tuple;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

// Arithmetic builds new vectors and Dot sums in ascending order; assignment
// copies only what does not compare equal; a Tuple given as an rvalue is
// copied, never emptied.
TEST(Tuple, ArithmeticAssignmentAndCopies) {
  Tuple<double> a(3, 1.0);
  a[1] = 1e16;
  a[2] = -1e16;
  const Tuple<double> b(a);
  a[0] = 9.0;  // the copy is deep
  EXPECT_EQ((a + b)[0], 10.0);
  EXPECT_EQ((a - b)[0], 8.0);
  EXPECT_EQ((b * -2.0)[1], -2e16);
  // ((0 + 1) + 1e16) - 1e16 is 0 because 1e16 + 1 rounds to 1e16; summed
  // from the other end it would be 1.
  EXPECT_EQ(b.Dot(Tuple<double>(3, 1.0)), 0.0);
  EXPECT_FALSE(std::signbit(Tuple<double>(2, -0.0).Dot(Tuple<double>(2, 1.0))));

  // +0.0 and -0.0 compare equal, so nothing is copied and the sign stays;
  // a NaN never compares equal, so it is copied.
  EXPECT_FALSE(Tuple<double>(1, kNaN) == Tuple<double>(1, kNaN));
  Tuple<double> zero(1, 0.0);
  zero = Tuple<double>(1, -0.0);
  EXPECT_FALSE(std::signbit(zero[0]));
  zero = Tuple<double>(1, kNaN);
  EXPECT_TRUE(std::isnan(zero[0]));

  Tuple<double> c(std::move(a)), e(3, 0.0);
  e = std::move(c);
  ASSERT_EQ(a.Size(), 3u);  // NOLINT(bugprone-use-after-move): what is left behind is the point
  ASSERT_EQ(c.Size(), 3u);  // NOLINT(bugprone-use-after-move)
  EXPECT_EQ(e[0], 9.0);
  c = Tuple<double>(3, 2.0);
  EXPECT_EQ(c[2], 2.0);
}

// The stored count, every stored entry and the bits of a product agree.
void ExpectEntries(const SparSymMat<double>& m, const ref::Matrix& r, const ref::Vec& x) {
  ASSERT_EQ(m.StoredEntries(), r.Stored());
  for (const auto& [key, v] : r.entries) ASSERT_EQ(ref::Bits(m.GetEntry(key.second, key.first)), ref::Bits(v));
  Tuple<double> in(m.Size(), 0.0), out(m.Size(), 1.0);
  for (std::uint32_t i = 0; i < m.Size(); ++i) in[i] = x[i];
  m.Multiply(in, out);
  const ref::Vec want = r.Multiply(x);
  for (std::uint32_t i = 0; i < m.Size(); ++i) ASSERT_EQ(ref::Bits(out[i]), ref::Bits(want[i])) << "row " << i;
}

// The same, and every position, absent ones included.
void ExpectSame(const SparSymMat<double>& m, const ref::Matrix& r, const ref::Vec& x) {
  ExpectEntries(m, r, x);
  for (std::uint32_t i = 0; i < m.Size(); ++i)
    for (std::uint32_t j = 0; j < m.Size(); ++j) ASSERT_EQ(ref::Bits(m.GetEntry(i, j)), ref::Bits(r.Get(i, j)));
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

// Packing under memory shortage. Below 65536 upper entries a chunk holds
// 4096 of them, 12 bytes each; failing every request from that size up
// fails exactly the chunk allocations (the other blocks stay smaller here).
const std::size_t kChunkBytes = 4096 * (sizeof(double) + sizeof(std::uint32_t));

// Diagonal 50 and `count` entries of -0.5, each within 40 columns of the
// diagonal in a random row from `from` on, in random order so that the
// pages grow apart; set on every matrix of ms and on the model alike.
void Grow(std::initializer_list<SparSymMat<double>*> ms, ref::Matrix& r, std::mt19937_64& rng, int count,
          std::uint32_t from = 0) {
  const std::uint32_t n = r.n;
  std::uniform_int_distribution<std::uint32_t> row(from, n - 1), near(1, 40);
  auto set = [&](std::uint32_t i, std::uint32_t j, double v) {
    for (SparSymMat<double>* m : ms) m->SetEntry(i, j, v);
    r.Set(i, j, v);
  };
  for (std::uint32_t i = 0; i < n; ++i) set(i, i, 50.0);
  for (int k = 0; k < count; ++k) {
    const std::uint32_t i = row(rng);
    set(i, std::min(n - 1, i + near(rng)), -0.5);
  }
}

void ExpectSameBits(const Tuple<double>& x, const Tuple<double>& y) {
  for (std::uint32_t i = 0; i < x.Size(); ++i) ASSERT_EQ(ref::Bits(x[i]), ref::Bits(y[i])) << i;
}

ref::Vec Values(const Tuple<double>& x) {
  ref::Vec v(x.Size());
  for (std::uint32_t i = 0; i < x.Size(); ++i) v[i] = x[i];
  return v;
}

// A packing that runs short of memory, on a matrix never packed (failing
// at its second chunk) or on a packed one that grew in its second half (of
// the six chunks planned the first two are still in place and kept, the
// last is smaller than the failing size, so k = 0, 1, 2 stop before the
// third, fourth and fifth). Whatever the case, the store stays sound: the
// entries and iterates are those of a twin given the same calls with memory
// enough, a retry that runs short at the same chunk holds no more memory,
// new entries afterwards in the packed case (which move pages out of the
// chunks the failure left, renumbered) land right, and the next solve with
// memory enough packs fully, resuming the packing by itself when nothing
// grew: the matrix then holds exactly the memory of a packed copy, checked
// by copying it and then destroying it. A copy that runs short is not made
// and leaves nothing behind.
TEST(SparSymMat, APackingCutShortLeavesASoundStoreThatPacksFullyLater) {
  const std::uint32_t n = 3000;
  for (const auto& [packedFirst, k] : {std::pair{false, 1}, std::pair{true, 0}, std::pair{true, 1},
                                       std::pair{true, 2}}) {
    SCOPED_TRACE(testing::Message() << packedFirst << " " << k);
    std::mt19937_64 rng(17);
    auto m = std::make_unique<SparSymMat<double>>(n, 0.0);
    SparSymMat<double> twin(n, 0.0);
    ref::Matrix r(n);
    const Tuple<double> b(n, 1.0);
    Tuple<double> x(n, 0.0), y(n, 0.0);
    Grow({m.get(), &twin}, r, rng, 18000);
    if (packedFirst) {
      m->SolvePCG(x, b, 1);
      twin.SolvePCG(y, b, 1);
      Grow({m.get(), &twin}, r, rng, 8000, n / 2);
    }
    {
      const std::int64_t live = allocfail::Live();
      allocfail::Failing failing(kChunkBytes, 1);
      EXPECT_THROW(SparSymMat<double>{*m}, std::bad_alloc);
      EXPECT_EQ(allocfail::Live(), live);
    }

    {
      allocfail::Failing failing(kChunkBytes, k);
      m->SolvePCG(x, b, 1);
    }
    const std::int64_t live = allocfail::Live();
    {
      allocfail::Failing failing(kChunkBytes);
      m->SolvePCG(x, b, 1);
    }
    EXPECT_EQ(allocfail::Live(), live);
    for (int solve = 0; solve < 2; ++solve) twin.SolvePCG(y, b, 1);
    ExpectSameBits(x, y);
    ExpectEntries(*m, r, Values(x));

    if (packedFirst) {
      Grow({m.get(), &twin}, r, rng, 3000);
      ExpectEntries(*m, r, Values(x));
    }
    m->SolvePCG(x, b, 1);
    twin.SolvePCG(y, b, 1);
    ExpectSameBits(x, y);
    ExpectEntries(*m, r, Values(x));

    const std::int64_t before = allocfail::Live();
    const auto copy = std::make_unique<SparSymMat<double>>(*m);
    const std::int64_t copyBytes = allocfail::Live() - before;
    m.reset();
    EXPECT_EQ(before + copyBytes - allocfail::Live(), copyBytes);
  }
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

}  // namespace
