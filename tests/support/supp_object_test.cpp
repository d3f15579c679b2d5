// The support object: binding, copying and destroying leave the design alone.
#include <gtest/gtest.h>

#include <memory>

#include "host/standin/standin_design.h"
#include "support/basapsupp.h"

namespace {

TEST(SuppObject, CopiesShareTheDesignAndOutliveEachOther) {
  standin::Design d;
  standin::Signal* s = d.addSignal("clk");
  s->clocks = standin::Signal::CLK2;
  standin::Design other;

  AP_SUPP first(&d);
  {
    auto copy = std::make_unique<AP_SUPP>(first);
    EXPECT_EQ(copy->getDesign(), &d);
    AP_SUPP assigned(&other);
    assigned = *copy;
    EXPECT_EQ(assigned.getDesign(), &d);
  }
  // The copies are gone; the first object and the design are intact.
  EXPECT_EQ(first.getDesign(), &d);
  EXPECT_EQ(first.sigIsClk(s, nullptr), 2);
  EXPECT_EQ(d.getnumsignals(), 1);
}

}  // namespace
