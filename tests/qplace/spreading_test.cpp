// Spreading and the I/O on the border: I/O units fitted to their angles in
// both directions without favouring a side, and rough legalization that
// spreads a pile around where it lies and leaves the rest alone.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "qplace/global_place.h"
#include "qplace/netlist_reader.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// s sites evenly around the circle, site i at angle -pi + 2 pi i / s.
std::vector<double> evenSites(int s) {
  std::vector<double> a(static_cast<std::size_t>(s));
  for (int i = 0; i < s; ++i) a[i] = -kPi + 2 * kPi * i / s;
  return a;
}

// The sites given, in the order of the units' angles, must step forward
// around the circle without overtaking each other (one full turn at most).
void expectCircularOrder(const std::vector<int>& site, const std::vector<double>& ioAngle, int s) {
  std::vector<int> order(site.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return ioAngle[a] < ioAngle[b]; });
  int turns = 0;
  for (std::size_t i = 0; i < order.size(); ++i) {
    const int a = site[order[i]], b = site[order[(i + 1) % order.size()]];
    turns += (b - a + s) % s;
  }
  EXPECT_EQ(turns, order.size() > 1 ? s : 0);
  EXPECT_EQ(std::set<int>(site.begin(), site.end()).size(), site.size());
}

TEST(IoBorder, CrowdedUnitsSpreadBothWaysAroundTheirAngle) {
  const std::vector<double> sites = evenSites(16);
  // Five units wanting site 8, three wanting site 2.
  std::vector<double> io(5, sites[8]);
  io.insert(io.end(), 3, sites[2]);
  const std::vector<int> got = qplace::assignAlongBorder(sites, io);
  ASSERT_EQ(got.size(), io.size());
  EXPECT_EQ(std::set<int>(got.begin(), got.begin() + 5), (std::set<int>{6, 7, 8, 9, 10}));
  EXPECT_EQ(std::set<int>(got.begin() + 5, got.end()), (std::set<int>{1, 2, 3}));
  expectCircularOrder(got, io, 16);
}

TEST(IoBorder, UnitsOnFreeSitesStayAndTheWrapIsNoEdge) {
  const std::vector<double> sites = evenSites(12);
  // Every other site wanted exactly: each unit gets it.
  std::vector<double> io;
  for (int i = 0; i < 12; i += 2) io.push_back(sites[i]);
  std::vector<int> got = qplace::assignAlongBorder(sites, io);
  for (int k = 0; k < 6; ++k) EXPECT_EQ(got[k], 2 * k);
  // Four units just either side of the angle pi, where atan2 wraps: they
  // crowd around sites 11 and 0, not at the two ends of the walk.
  io = {kPi - 0.01, kPi - 0.02, -kPi + 0.01, -kPi + 0.02};
  got = qplace::assignAlongBorder(sites, io);
  EXPECT_EQ(std::set<int>(got.begin(), got.end()), (std::set<int>{10, 11, 0, 1}));
  expectCircularOrder(got, io, 12);
  // A full border: every site taken once, in order.
  io.clear();
  for (int i = 0; i < 12; ++i) io.push_back(0.3 + 0.01 * i);
  got = qplace::assignAlongBorder(sites, io);
  expectCircularOrder(got, io, 12);
  // More units than sites: none placed.
  io.push_back(0.5);
  EXPECT_TRUE(qplace::assignAlongBorder(sites, io).empty());
}

// picorv32 on a device with room to spare, every logic unit piled on the
// centre cluster of an odd-sized grid (the centre cluster lies on one side
// of the first cut).
TEST(Spreading, APileSpreadsEvenlyAroundItAndLoneUnitsStay) {
  standin::Design d;
  qplace::readNetlistFile(QPLACE_PICORV32, d);
  qplace::Model m = qplace::packDesign(d);
  qplace::Fabric f = qplace::makeFabric(d, m, 0.5, 25, 25, false);
  const double cx = 13, cy = 13;
  std::vector<double> x(static_cast<std::size_t>(m.numUnits())), y(x.size()), ax, ay;
  int far = -1;
  for (int u = 0; u < m.numUnits(); ++u) {
    x[u] = cx + 0.001 * (u % 97 - 48);
    y[u] = cy + 0.001 * (u % 89 - 44);
    if (!m.isIo(u) && far < 0) far = u;
  }
  x[far] = y[far] = 2.1;  // alone in a corner cluster
  qplace::roughLegalize(m, f, x, y, 1.0, ax, ay);
  EXPECT_EQ(ax[far], 2.1);
  EXPECT_EQ(ay[far], 2.1);
  // The pile's centre stays within a cluster of the device centre (the
  // whole-device bisection once moved it a quarter of the device away),
  // and it spreads as far left as right and as far up as down.
  double sx = 0, sy = 0;
  int n = 0;
  double x0 = 1e9, x1 = -1e9, y0 = 1e9, y1 = -1e9;
  for (int u = 0; u < m.numUnits(); ++u) {
    if (m.isIo(u) || u == far) continue;
    sx += ax[u];
    sy += ay[u];
    ++n;
    x0 = std::min(x0, ax[u]);
    x1 = std::max(x1, ax[u]);
    y0 = std::min(y0, ay[u]);
    y1 = std::max(y1, ay[u]);
  }
  EXPECT_NEAR(sx / n, cx, 1.0);
  EXPECT_NEAR(sy / n, cy, 1.0);
  EXPECT_NEAR(cx - x0, x1 - cx, 1.0);
  EXPECT_NEAR(cy - y0, y1 - cy, 1.0);
  // Every cluster within its room but for rounding: whole units in
  // clusters of fractional room.
  std::vector<double> use(static_cast<std::size_t>(f.numClusters()), 0.0);
  const std::vector<double> area = qplace::unitAreas(m);
  for (int u = 0; u < m.numUnits(); ++u)
    if (!m.isIo(u)) use[f.clusterAt(ax[u], ay[u])] += area[u];
  for (double a : use) ASSERT_LE(a, qplace::kBles + 1.5);
  EXPECT_LT(qplace::overflow(m, f, ax, ay, 1.0), 0.05);
}

}  // namespace
