// How large a run may be: the device against the design, the estimate
// against the memory, and the generator's split the estimate assumes.
#include <gtest/gtest.h>

#include "qplace/limits.h"
#include "host/standin/gen/designgen.h"

namespace {

using qplace::RunSize;

// The split and the device the estimate assumes for a generated design
// are the generator's own: a change there must show here.
TEST(Limits, GeneratedSizeIsTheGeneratorsSplit) {
  for (double fill : {0.7, 0.2}) {
    standin::Design d;
    designgen::Params gp;
    gp.components = 3000;
    gp.fill = fill;
    gp.place = false;
    const designgen::Generated g = designgen::generate(d, gp);
    const RunSize s = qplace::generatedRunSize(gp.components, 0, 0, fill);
    EXPECT_EQ(s.luts, static_cast<std::int64_t>(g.luts.size())) << fill;
    EXPECT_EQ(s.regs, static_cast<std::int64_t>(g.regs.size())) << fill;
    EXPECT_EQ(s.ios, static_cast<std::int64_t>(g.ios.size())) << fill;
    EXPECT_EQ(s.clusters, static_cast<std::int64_t>(g.device.plcRows) * g.device.plcCols) << fill;
  }
}

TEST(Limits, DeviceAtMostAHundredTimesTheNeedOrTenThousandClusters) {
  // One LUT: any device up to 10,000 clusters; the 1000 x 1000 is refused.
  const RunSize one = qplace::netlistRunSize(1, 0, 2, 100, 100, 0.7);
  EXPECT_EQ(qplace::deviceRefusal(one, 100, 100), "");
  const RunSize huge = qplace::netlistRunSize(1, 0, 2, 1000, 1000, 0.7);
  EXPECT_EQ(qplace::deviceRefusal(huge, 1000, 1000),
            "the device of 1000 x 1000 clusters is far larger than the design needs (1 cluster at the densest); "
            "at most 10000 clusters (100 times the need, or 10000)");
  // 7,200 LUTs need 32 x 32 clusters at the densest sizing: 320 x 320 is
  // the largest device, one column more is refused.
  EXPECT_EQ(qplace::clustersNeeded(qplace::netlistRunSize(7200, 0, 0, 0, 0, 0.7)), 1024);
  EXPECT_EQ(qplace::deviceRefusal(qplace::netlistRunSize(7200, 0, 0, 320, 320, 0.7), 320, 320), "");
  EXPECT_NE(qplace::deviceRefusal(qplace::netlistRunSize(7200, 0, 0, 320, 321, 0.7), 320, 321), "");
  // A device the placer sizes itself is never refused, at the lowest fill too.
  EXPECT_EQ(qplace::deviceRefusal(qplace::generatedRunSize(100000, 0, 0, 0.05), 0, 0), "");
  EXPECT_LE(qplace::generatedRunSize(100000, 0, 0, 0.05).clusters,
            qplace::clustersAllowed(qplace::generatedRunSize(100000, 0, 0, 0.05)));
}

TEST(Limits, MemoryEstimateRefusesWithTheFigures) {
  const RunSize big = qplace::generatedRunSize(20000000, 0, 0, 0.7);
  const std::uint64_t gb = 1000000000;
  EXPECT_EQ(qplace::memoryRefusal(big, 24 * gb),
            "not enough memory: the run needs about 50 GB (20000000 components on 2143296 clusters), and 24 GB is "
            "available");
  EXPECT_EQ(qplace::memoryRefusal(big, 0), "");  // unknown: not refused
  EXPECT_EQ(qplace::memoryRefusal(big, qplace::runBytes(big)), "");
  EXPECT_NE(qplace::memoryRefusal(big, qplace::runBytes(big) - 1), "");
  // The 1000 x 1000 device needs about the 5 GB it took.
  RunSize device;
  device.clusters = 1000000;
  EXPECT_EQ(qplace::byteText(qplace::runBytes(device)), "5.4 GB");
  EXPECT_EQ(qplace::memoryRefusal(device, 4 * gb),
            "not enough memory: the run needs about 5.4 GB (a device of 1000000 clusters), and 4.0 GB is available");
  // This machine's figure is read.
  EXPECT_GT(qplace::availableMemory(), 0u);

  EXPECT_EQ(qplace::byteText(999), "999 bytes");
  EXPECT_EQ(qplace::byteText(999499), "999 kB");
  EXPECT_EQ(qplace::byteText(999500), "1.0 MB");
  EXPECT_EQ(qplace::byteText(24600000000ull), "25 GB");
}

}  // namespace
