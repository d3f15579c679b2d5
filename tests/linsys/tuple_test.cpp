#include <linsys/basaplctuple.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using basAP::Tuple;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(Tuple, ArithmeticBuildsNewVectors) {
  Tuple<double> a(3, 1.5);
  a[1] = 4.0;
  const Tuple<double> b(a);
  a[0] = 9.0;  // the copy is deep
  const Tuple<double> sum = a + b, diff = a - b, scaled = b * -2.0;
  EXPECT_EQ(sum[0], 10.5);
  EXPECT_EQ(diff[0], 7.5);
  EXPECT_EQ(scaled[1], -8.0);
  EXPECT_EQ(a[1], 4.0);
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

TEST(Tuple, DotSumsFromZeroInAscendingOrder) {
  Tuple<double> a(3, 1.0);
  a[1] = 1e16;
  a[2] = -1e16;
  // ((0 + 1) + 1e16) - 1e16 is 0 because 1e16 + 1 rounds to 1e16; summed
  // from the other end it would be 1.
  EXPECT_EQ(a.Dot(Tuple<double>(3, 1.0)), 0.0);
  EXPECT_FALSE(std::signbit(Tuple<double>(2, -0.0).Dot(Tuple<double>(2, 1.0))));
  EXPECT_EQ(Tuple<double>(0, 0.0).Dot(Tuple<double>(0, 0.0)), 0.0);
}

}  // namespace
