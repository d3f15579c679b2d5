// Rough legalization on two threads: the rectangles of a large design, and
// the halves of the cuts of a large one, are shared between the threads as
// they come free, and the positions must come out bit for bit those of one
// thread, whichever thread takes which piece.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "qplace/global_place.h"
#include "qplace/packing.h"
#include "placer_util.h"

namespace {

// A design big enough for the rectangles to be shared between two
// threads (some 30,000 logic units), with its device.
struct Large {
  standin::Design d;
  qplace::Model m;
  qplace::Fabric f;
  Large() {
    generated(d, 40000);
    m = qplace::packDesign(d);
    f = qplace::makeFabric(d, m, 0.7, 0, 0, false);
  }
};

const Large& large() {
  static const Large l;
  return l;
}

// Units piled on `spots` points spread over the device (unit u on spot
// u % spots, jittered within its cluster), so that rough legalization grows
// many rectangles, some meeting and swallowing others.
void piles(const qplace::Model& m, const qplace::Fabric& f, int spots, std::vector<double>& x,
           std::vector<double>& y) {
  x.assign(static_cast<std::size_t>(m.numUnits()), 0.0);
  y.assign(x.size(), 0.0);
  for (int u = 0; u < m.numUnits(); ++u) {
    const int s = u % spots;
    x[u] = 1 + (s * 7919 % f.cols) + 0.002 * (u % 101 - 50);
    y[u] = 1 + (s * 104729 % f.rows) + 0.002 * (u % 103 - 51);
  }
}

// Rough legalization of the units at (x, y) on one thread, then `runs`
// times on two: the same bits each time, and the overflow gone.
void expectTheBitsOfOneThread(const std::vector<double>& x, const std::vector<double>& y, const std::string& what,
                              int runs = 1) {
  const Large& l = large();
  const std::vector<double> area = qplace::unitAreas(l.m);
  std::vector<double> ax1, ay1;
  qplace::roughLegalize(l.m, area, l.f, x, y, 1.0, ax1, ay1, 1);
  for (int run = 0; run < runs; ++run) {
    std::vector<double> ax2, ay2;
    qplace::roughLegalize(l.m, area, l.f, x, y, 1.0, ax2, ay2, 2);
    EXPECT_TRUE(sameBits(ax1, ax2)) << what << ", run " << run;
    EXPECT_TRUE(sameBits(ay1, ay2)) << what << ", run " << run;
  }
  EXPECT_LT(qplace::overflow(l.m, l.f, ax1, ay1, 1.0), 0.05) << what;
}

TEST(RoughLegalizeThreads, TwoThreadsGiveTheBitsOfOne) {
  const Large& l = large();
  ASSERT_GT(l.m.numUnits(), 25000);
  // Few piles: a handful of large rectangles, the split falling inside
  // the list of rectangles unevenly. Many piles: many small ones.
  for (int spots : {3, 40, 997}) {
    std::vector<double> x, y;
    piles(l.m, l.f, spots, x, y);
    // The piles are spread (so that the rectangles have units to share).
    EXPECT_GT(qplace::overflow(l.m, l.f, x, y, 1.0), 0.5) << spots << " piles";
    expectTheBitsOfOneThread(x, y, std::to_string(spots) + " piles");
  }
}

TEST(RoughLegalizeThreads, AFullDeviceRectangleIsSharedByItsCuts) {
  // Every unit on one cluster: one rectangle, grown to the whole device,
  // whose cuts the two threads share; the units tie on every cut.
  const std::vector<double> at(static_cast<std::size_t>(large().m.numUnits()), 2.0);
  expectTheBitsOfOneThread(at, at, "one cluster");
}

TEST(RoughLegalizeThreads, EveryTwoThreadRunGivesTheSameBits) {
  // One heavy pile beside many light ones: the threads take the pieces in
  // an order that varies from run to run, the positions must not.
  const Large& l = large();
  std::vector<double> x, y;
  piles(l.m, l.f, 61, x, y);
  for (int u = 0; u < l.m.numUnits(); u += 3) {
    x[u] = l.f.cols / 3.0 + 0.001 * (u % 7);
    y[u] = l.f.rows / 2.0 - 0.001 * (u % 5);
  }
  expectTheBitsOfOneThread(x, y, "a heavy pile", 4);
}

}  // namespace
