// Device sizing for the register groups that control sets need: designs of
// many small sets place with default options under both rules, with and
// without the reduction, and picorv32 keeps its device. (The 13-line design
// of data/ctrlsets_small.v is sized in the command line's tests.) And how
// large a run may be: the device against the design, the estimate against
// the memory, and the generator's split the estimate assumes.
#include <gtest/gtest.h>

#include "qplace/ctrl_reduce.h"
#include "qplace/fabric.h"
#include "qplace/limits.h"
#include "qplace/logic_gen.h"
#include "qplace/logic_json.h"
#include "qplace/netlist_reader.h"
#include "placer_util.h"

namespace {

struct Sized {
  int clusters = 0, groups = 0, needed = 0, slotClusters = 0;
};

// The device makeFabric gives a read design, and what it needed.
Sized size(standin::Design& d, bool half) {
  qplace::Model m = qplace::packDesign(d);
  const qplace::Fabric f = qplace::makeFabric(d, m, 0.7, 0, 0, half);
  Sized s;
  s.clusters = f.numClusters();
  s.groups = f.numGroups();
  s.needed = qplace::registerGroupsNeeded(m, half);
  int luts = 0, regs = 0;
  for (int u = 0; u < m.numUnits(); ++u) {
    luts += m.hasLut(u);
    regs += m.hasReg(u);
  }
  const designgen::DeviceParams p = designgen::fitDevice(luts, regs, 0, 0.7);
  s.slotClusters = p.plcRows * p.plcCols;
  return s;
}

// `ln` written as yosys JSON, read back and placed.
qplace::PlacerFigures placeDefault(const qplace::LogicNetlist& ln, bool half) {
  standin::Design d;
  qplace::readNetlistText(qplace::writeYosysJson(ln), "placed", d);
  qplace::PlacerOptions opt = quietOptions();
  opt.halfRule = half;
  const PlacerRun r = runPlacer(d, opt);
  EXPECT_TRUE(r.ok) << r.fig.error;
  return r.fig;
}

TEST(Sizing, Picorv32KeepsItsDevice) {
  standin::Design d;
  qplace::readNetlistFile(QPLACE_PICORV32, d);
  const Sized s = size(d, false);
  EXPECT_EQ(s.clusters, 24 * 25);
  EXPECT_EQ(s.clusters, s.slotClusters);  // bound by its LUTs, not its groups
  const qplace::Model m = qplace::packDesign(d);
  EXPECT_LT(qplace::clustersForGroups(qplace::registerGroupsNeeded(m, true), 0.7, true), s.clusters);
}

// A generated design of 1.5 registers a control set on average, written as
// yosys JSON and read back: as read it needs a device sized for its groups;
// reduced, one within 1.3 times what its slots need. Both place.
TEST(Sizing, ManySmallSetsPlaceWithAndWithoutReduction) {
  qplace::LogicGenParams gp;
  gp.luts = 160;
  gp.regs = 120;
  gp.regsPerSet = 1.5;
  const qplace::LogicNetlist in = qplace::generateLogic(gp);
  for (bool half : {false, true}) {
    standin::Design d;
    const qplace::Netlist read = qplace::readNetlistText(qplace::writeYosysJson(in), "generated", d);
    EXPECT_EQ(read.luts.size(), in.luts.size());
    EXPECT_EQ(read.regs.size(), in.regs.size());
    EXPECT_EQ(read.controlSets, qplace::countControlSets(in));
    const Sized off = size(d, half);
    EXPECT_EQ(off.needed, qplace::registerGroupsNeeded(in, half ? 4 : 8));
    EXPECT_GE(0.7 * off.groups, off.needed);
    EXPECT_GT(off.clusters, off.slotClusters);
    EXPECT_EQ(placeDefault(in, half).checkErrors, 0);

    qplace::LogicNetlist reduced = in;
    qplace::ReduceParams p;
    p.groupSize = half ? 4 : 8;
    qplace::reduceControlSets(reduced, p);
    standin::Design rd;
    qplace::readNetlistText(qplace::writeYosysJson(reduced), "reduced", rd);
    const Sized on = size(rd, half);
    EXPECT_LE(on.clusters, 1.3 * off.slotClusters) << "half " << half;
    EXPECT_EQ(placeDefault(reduced, half).checkErrors, 0);
  }
}

// A design of many ports and little logic gets a ring with the fill's room
// for its I/O, on a fitted device and on one of a given size alike, and
// the memory estimate counts the sites the device has. It places legally.
TEST(Sizing, PortsHaveTheFillsRoomOnTheRing) {
  qplace::LogicGenParams gp;
  gp.luts = 110;
  gp.regs = 20;
  gp.inputs = 50;
  gp.outputs = 40;
  const qplace::LogicNetlist ln = qplace::generateLogic(gp);
  const struct {
    int rows, cols;
    double fill;
  } asks[] = {{0, 0, 0.7}, {0, 0, 0.3}, {6, 9, 0.7}, {2, 2, 0.7}};
  for (const auto& a : asks) {
    standin::Design d;
    qplace::readNetlistText(qplace::writeYosysJson(ln), "ports", d);
    const qplace::Model m = qplace::packDesign(d);
    int ios = 0;
    for (int u = 0; u < m.numUnits(); ++u) ios += m.isIo(u) ? 1 : 0;
    ASSERT_GE(ios, 70);
    const qplace::Fabric f = qplace::makeFabric(d, m, a.fill, a.rows, a.cols, false);
    const int positions = 2 * (f.rows + f.cols);
    EXPECT_GE(a.fill * f.numIoSites(), ios) << a.rows << " x " << a.cols << " at " << a.fill;
    EXPECT_LT(a.fill * (f.numIoSites() - positions), ios) << a.rows << " x " << a.cols << " at " << a.fill;
    const qplace::RunSize s = qplace::netlistRunSize(110, 20, ios, a.rows, a.cols, a.fill);
    EXPECT_EQ(s.ioSites, f.numIoSites()) << a.rows << " x " << a.cols << " at " << a.fill;
  }
  EXPECT_EQ(placeDefault(ln, false).checkErrors, 0);
}

// ---- the limits of a run

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
    const qplace::RunSize s = qplace::generatedRunSize(gp.components, 0, 0, fill);
    EXPECT_EQ(s.luts, static_cast<std::int64_t>(g.luts.size())) << fill;
    EXPECT_EQ(s.regs, static_cast<std::int64_t>(g.regs.size())) << fill;
    EXPECT_EQ(s.ios, static_cast<std::int64_t>(g.ios.size())) << fill;
    EXPECT_EQ(s.clusters, static_cast<std::int64_t>(g.device.plcRows) * g.device.plcCols) << fill;
  }
}

TEST(Limits, DeviceAtMostAHundredTimesTheNeedOrTenThousandClusters) {
  // One LUT: any device up to 10,000 clusters; the 1000 x 1000 is refused.
  const qplace::RunSize one = qplace::netlistRunSize(1, 0, 2, 100, 100, 0.7);
  EXPECT_EQ(qplace::deviceRefusal(one, 100, 100), "");
  const qplace::RunSize huge = qplace::netlistRunSize(1, 0, 2, 1000, 1000, 0.7);
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
  const qplace::RunSize big = qplace::generatedRunSize(20000000, 0, 0, 0.7);
  const std::uint64_t gb = 1000000000;
  EXPECT_EQ(qplace::memoryRefusal(big, 24 * gb),
            "not enough memory: the run needs about 50 GB (20000000 components on 2143296 clusters), and 24 GB is "
            "available");
  EXPECT_EQ(qplace::memoryRefusal(big, 0), "");  // unknown: not refused
  EXPECT_EQ(qplace::memoryRefusal(big, qplace::runBytes(big)), "");
  EXPECT_NE(qplace::memoryRefusal(big, qplace::runBytes(big) - 1), "");
  // The 1000 x 1000 device needs about the 5 GB it took.
  qplace::RunSize device;
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
