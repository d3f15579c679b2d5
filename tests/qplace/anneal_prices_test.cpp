// The annealing's prices, try by try: each try made is priced as the
// wirelength it changes, a loss as the loss it is, and the worker's own
// boxes and gain follow the placement exactly, on placements where units
// alone on their nets' box edges move inwards (the rescans), units of
// different kinds and control sets swap, and whole groups trade.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>

#include "qplace/detail_worker.h"
#include "placer_util.h"

namespace {

using qplace::LossCounts;
using qplace::improvement::Rng;
using qplace::improvement::Shared;
using qplace::improvement::Worker;

struct Annealed : Packed {
  std::unique_ptr<Shared> s;
  qplace::DetailParams dp;
  std::unique_ptr<Worker> w;

  // A generated design with control sets of its own, placed at random, the
  // whole device one region as the greedy passes see it.
  explicit Annealed(std::uint64_t seed)
      : Packed([seed](standin::Design& d) { generated(d, 600, seed); }, seed) {
    EXPECT_TRUE(placed);
    s = std::make_unique<Shared>(p);
    s->regions = qplace::makeRegions(f, 0, 0);
    s->units.assign(1, {});
    for (int u = 0; u < m.numUnits(); ++u) s->units[0].push_back(u);  // owner 0 for all, as Shared starts
    ++s->aims;
    w = std::make_unique<Worker>(*s, dp, nullptr);
    w->open(0);
  }

  // Losses of size d counted so far (the last size counts the larger).
  std::int64_t losses(long d) const {
    return w->counts().losses.count[d < LossCounts::kSizes - 1 ? d : LossCounts::kSizes - 1];
  }
};

TEST(AnnealPrices, EachTryMadeIsPricedAsTheWirelengthItChanges) {
  for (std::uint64_t seed : {1, 2}) {
    Annealed a(seed);
    const double start = qplace::hpwl(a.p);
    EXPECT_EQ(start, static_cast<double>(a.s->total));
    Rng rng(seed);
    long made = 0, lost = 0;
    // Hot: nearly every legal try is made, so each one's price can be
    // checked against the placement.
    for (int k = 0; k < 600; ++k) {
      const double before = qplace::hpwl(a.p);
      const long accepted = a.w->counts().accepted;
      std::int64_t counted[LossCounts::kSizes];
      for (int d = 0; d < LossCounts::kSizes; ++d) counted[d] = a.w->counts().losses.count[d];
      a.w->anneal(1, 1e9, 6, rng);
      const long delta = std::lround(qplace::hpwl(a.p) - before);
      if (a.w->counts().accepted == accepted) continue;
      ++made;
      // A loss is counted at its size; a gain or no change is not.
      std::int64_t more = 0;
      for (int d = 0; d < LossCounts::kSizes; ++d) more += a.w->counts().losses.count[d] - counted[d];
      if (delta > 0) {
        ++lost;
        ASSERT_EQ(more, 1) << "seed " << seed << " try " << k;
        ASSERT_EQ(a.losses(delta), counted[delta < LossCounts::kSizes - 1 ? delta : LossCounts::kSizes - 1] + 1)
            << "seed " << seed << " try " << k << ": a loss of " << delta << " priced otherwise";
      } else {
        ASSERT_EQ(more, 0) << "seed " << seed << " try " << k << ": a change of " << delta << " priced as a loss";
      }
      // The worker's running gain is the placement's.
      ASSERT_EQ(a.w->gain(), std::lround(start - qplace::hpwl(a.p))) << "seed " << seed << " try " << k;
    }
    EXPECT_GT(made, 300);
    EXPECT_GT(lost, 50);
    EXPECT_GT(a.w->counts().swaps, 50);
    EXPECT_GT(a.w->counts().moves + a.w->counts().ioMoves, 20);
    // Cold: only tries that gain or cost nothing are made.
    for (int k = 0; k < 400; ++k) {
      const double before = qplace::hpwl(a.p);
      a.w->anneal(1, 0, 6, rng);
      ASSERT_LE(qplace::hpwl(a.p), before) << "seed " << seed << " try " << k;
    }
    EXPECT_EQ(a.w->gain(), std::lround(start - qplace::hpwl(a.p)));
    a.p.writeTo(a.d);
    EXPECT_EQ(registerRuleFaults(a.d, a.f.halfRule), 0);
  }
}

}  // namespace
