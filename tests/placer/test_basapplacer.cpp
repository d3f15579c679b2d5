#include <placer/basapplacer.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

namespace {

// A design handle is only carried, never dereferenced, by the base class.
UP_DESIGN* fakeDesign(int n) { return reinterpret_cast<UP_DESIGN*>(static_cast<std::uintptr_t>(0x1000 * n)); }

struct CountingPlacer : AP_PLACER {
  CountingPlacer(UP_DESIGN* d, int* destroyed) : AP_PLACER(d, destroyed, 7), destroyed_(destroyed) {}
  ~CountingPlacer() override { ++*destroyed_; }
  bool apMain() override { return getOption() == 7; }
  int* destroyed_;
};

TEST(PlacerBase, PlacesNothingAndKeepsTheCallersValues) {
  int context = 0;
  AP_PLACER placer(fakeDesign(1), &context, -3);
  EXPECT_FALSE(placer.apMain());
  EXPECT_EQ(placer.getDesign(), fakeDesign(1));
  EXPECT_EQ(placer.getContext(), &context);
  EXPECT_EQ(placer.getOption(), -3);

  AP_PLACER copy(placer);
  EXPECT_EQ(copy.getDesign(), placer.getDesign());
  EXPECT_EQ(copy.getContext(), &context);
  AP_PLACER other(fakeDesign(2), nullptr, 0);
  other = placer;
  EXPECT_EQ(other.getDesign(), fakeDesign(1));
  EXPECT_EQ(other.getOption(), -3);
}

TEST(PlacerBase, DerivedPlacerRunsAndIsDestroyedThroughTheBase) {
  int destroyed = 0;
  {
    std::unique_ptr<AP_PLACER> placer = std::make_unique<CountingPlacer>(fakeDesign(1), &destroyed);
    EXPECT_TRUE(placer->apMain());
  }
  EXPECT_EQ(destroyed, 1);
}

}  // namespace
