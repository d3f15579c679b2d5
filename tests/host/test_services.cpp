// The stand-in host's utility services, where they have logic of their own.
#include <gtest/gtest.h>

#include "host/standin/standin_util.h"
#include "host/ututil.h"

namespace {

TEST(StandinServices, ManipulatorsWriteIntoTheCaptureAndAreRecorded) {
  standin::MessageLog& log = standin::messages();
  log.capture();
  ut_msgman->print("a").print("b").manip(std::endl).print("c").manip(std::flush);
  EXPECT_EQ(log.take(), "ab\nc");
  ASSERT_EQ(log.manips.size(), 2u);
  EXPECT_EQ(log.manips[0].name, "endl");
  EXPECT_EQ(log.manips[0].afterPrints, 2u);
  EXPECT_EQ(log.manips[1].name, "flush");
  EXPECT_EQ(log.manips[1].afterPrints, 3u);

  // Discarding drops prints and manipulators but still records reports.
  log.discard();
  ut_msgman->print("lost").manip(std::endl);
  ut_msgman->fatal("f", "t", "s", 1, "1.0", 19, 0);
  EXPECT_EQ(log.fatals.size(), 1u);
  log.capture();
  ut_msgman->print("kept");
  EXPECT_EQ(log.text(), "kept");
  EXPECT_TRUE(log.manips.empty());
  log.release();
}

}  // namespace
