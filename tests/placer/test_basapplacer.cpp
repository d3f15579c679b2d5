#include <placer/basapplacer.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

namespace {

// A design handle is only carried, never dereferenced, by the base class.
UP_DESIGN* const kDesign = reinterpret_cast<UP_DESIGN*>(std::uintptr_t{0x1000});

struct CountingPlacer : AP_PLACER {
  CountingPlacer(int* destroyed) : AP_PLACER(kDesign, destroyed, 7), destroyed_(destroyed) {}
  ~CountingPlacer() override { ++*destroyed_; }
  bool apMain() override { return getOption() == 7; }
  int* destroyed_;
};

TEST(PlacerBase, ThePlainBasePlacesNothingAndADerivedPlacerRunsAndGoesThroughTheBase) {
  int context = 0;
  AP_PLACER placer(kDesign, &context, -3), copy(nullptr, nullptr, 0);
  copy = placer;
  EXPECT_FALSE(copy.apMain());
  EXPECT_EQ(copy.getDesign(), kDesign);
  EXPECT_EQ(copy.getContext(), &context);
  EXPECT_EQ(copy.getOption(), -3);

  int destroyed = 0;
  std::unique_ptr<AP_PLACER> derived = std::make_unique<CountingPlacer>(&destroyed);
  EXPECT_TRUE(derived->apMain());
  derived.reset();
  EXPECT_EQ(destroyed, 1);
}

}  // namespace
