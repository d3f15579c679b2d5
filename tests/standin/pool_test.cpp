// The pools behind the stand-in's per-record lists: runs keep their address
// and contents while others are taken, lists keep their entries in order
// through growth, and runs given up by a growing list are handed out again
// without disturbing the lists that hold them now.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "host/standin/standin_pool.h"

namespace {

using standin::List;
using standin::Pool;
using standin::Row;

// Runs of mixed lengths, across block boundaries and longer than a block:
// each starts zeroed, and what is written into one stays there.
// Likewise with blocks that double (calloc'd, as for every trivial type),
// and after clear() the pool serves zeroed runs again.
TEST(Pool, RunsAreZeroedDisjointAndStable) {
  for (bool grow : {false, true}) {
  Pool<std::uint32_t> pool(64, grow);
  std::vector<Row<std::uint32_t>> rows;
  const std::size_t lengths[] = {0, 1, 5, 16, 17, 63, 64, 65, 200, 3, 40};
  for (int round = 0; round < 5; ++round)
    for (std::size_t n : lengths) {
      Row<std::uint32_t> r = pool.take(n);
      ASSERT_EQ(r.size(), n);
      for (std::uint32_t v : r) ASSERT_EQ(v, 0u);
      for (std::size_t i = 0; i < n; ++i) r[i] = static_cast<std::uint32_t>(rows.size() * 1000 + i);
      rows.push_back(r);
    }
  for (std::size_t k = 0; k < rows.size(); ++k)
    for (std::size_t i = 0; i < rows[k].size(); ++i) ASSERT_EQ(rows[k][i], k * 1000 + i) << "run " << k;
  EXPECT_TRUE(pool.take(0).empty());
  // 2,370 entries in 55 runs: doubling blocks waste at most the unused end
  // of each block, less than the entries plus the first block.
  if (grow) {
    EXPECT_LT(pool.entriesHeld(), 2 * 2370u + 64);
  }
  pool.clear();
  EXPECT_EQ(pool.entriesHeld(), 0u);
  Row<std::uint32_t> again = pool.take(300);
  for (std::uint32_t v : again) ASSERT_EQ(v, 0u);
  }
}

// Many lists grown in an interleaved, random order (some reserved ahead,
// exactly or short) read back as vectors fed the same values would.
TEST(Pool, ListsGrowInOrderAndRecycledRunsStayTheirs) {
  Pool<int> pool(256);
  std::mt19937 rng(5);
  const int kLists = 300;
  std::vector<List<int>> lists(kLists);
  std::vector<std::vector<int>> expected(kLists);
  for (int k = 0; k < kLists; k += 3) pool.reserve(lists[static_cast<std::size_t>(k)], static_cast<std::size_t>(k % 7));
  for (int step = 0; step < 20000; ++step) {
    // skewed: a few lists grow long, most stay short
    const std::size_t k = static_cast<std::size_t>(rng() % (rng() % 4 == 0 ? 10 : kLists));
    pool.push(lists[k], step);
    expected[k].push_back(step);
  }
  for (std::size_t k = 0; k < lists.size(); ++k) {
    ASSERT_EQ(lists[k].size(), expected[k].size()) << "list " << k;
    ASSERT_GE(lists[k].capacity(), lists[k].size());
    ASSERT_TRUE(std::equal(lists[k].begin(), lists[k].end(), expected[k].begin())) << "list " << k;
  }
  // Equality compares contents, not storage.
  List<int> a, b;
  for (int v : {3, 1, 4}) pool.push(a, v);
  pool.reserve(b, 10);
  for (int v : {3, 1, 4}) pool.push(b, v);
  EXPECT_EQ(a, b);
  pool.push(b, 1);
  EXPECT_NE(a, b);
}

}  // namespace
