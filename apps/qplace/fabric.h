// The device as the placer sees it, and a legal placement on it.
//
// Logic clusters sit on a grid of `rows` x `cols`; cluster c (row-major) is
// at x = c % cols + 1, y = c / cols + 1, the device column and row of its
// four sites (all four share them). Each cluster has eight basic elements
// (BLEs): BLE b is slot L(b%2) and slot R(b%2) of site b/2, so a BLE holds
// one LUT and one register. The registers of a register group must share a
// control set: the whole cluster (8 BLEs) under the whole-cluster rule, each
// half (sites 0-1 and 2-3, 4 BLEs each) under the half-cluster rule. I/O
// sites lie on the border at their own row and column.
#ifndef QPLACE_FABRIC_H
#define QPLACE_FABRIC_H

#include <string>
#include <vector>

#include "qplace/packing.h"
#include "host/standin/gen/designgen.h"

namespace qplace {

constexpr int kBles = 8;

class PlacementRules;

struct Fabric {
  designgen::Device dev;
  int rows = 0, cols = 0;
  bool halfRule = false;
  std::vector<int> ioX, ioY;  // per I/O site

  int numClusters() const { return rows * cols; }
  int groupBles() const { return halfRule ? 4 : 8; }
  int groupsPerCluster() const { return halfRule ? 2 : 1; }
  int numGroups() const { return numClusters() * groupsPerCluster(); }
  int groupOfBle(int cluster, int ble) const { return cluster * groupsPerCluster() + ble / groupBles(); }
  double clusterX(int c) const { return c % cols + 1; }
  double clusterY(int c) const { return c / cols + 1; }
  // The cluster nearest to a point (clamped to the grid).
  int clusterAt(double x, double y) const;
  int numIoSites() const { return static_cast<int>(ioX.size()); }
};

// Sizes a device for the model and adds it to the design, with its routing
// graph: the given size when rows and cols are positive, else the smallest
// square-ish grid on which about `fill` of the binding resource is used,
// that is of the LUT slots, of the register slots (designgen::fitDevice),
// or of the register groups that the control sets need under the rule
// (clustersForGroups). Either way the border has I/O sites enough at each
// position for the I/O units to use at most `fill` of them (at `fill`'s
// default with a given size: deviceFor).
Fabric makeFabric(standin::Design& d, const Model& m, double fill, int rows, int cols, bool halfRule);

// The size and ring of the device makeFabric makes for a design of these
// counts: designgen::fitDevice at `fill` with at least `minClusters`, or
// rows x cols when both are positive, its ring fitted to that border. O(1).
designgen::DeviceParams deviceFor(int luts, int regs, int ios, double fill, int rows, int cols, int minClusters);

// Register groups the model's control sets need under the rule: the sum
// over sets of ceil(registers / group size), a LUT+register pair counting
// as its register. O(units).
int registerGroupsNeeded(const Model& m, bool halfRule);

// "the device is too small: ..." with the figures when `luts` LUTs or
// `groups` register groups do not fit f's logic; empty when they do. O(1).
std::string logicRoomShortage(const Fabric& f, long luts, int groups);

// Clusters whose register groups hold `groups` with `fill` of them used
// (`fill` taken within [0.05, 0.9], as for the slots).
int clustersForGroups(int groups, double fill, bool halfRule);

// A legal placement: every unit on a free place of its kind, register groups
// of one control set each.
struct Placement {
  explicit Placement(const Fabric& f, const Model& m);

  // Per unit: cluster * kBles + ble for logic units, the I/O site for I/O
  // units; -1 while unplaced.
  std::vector<int> loc;
  std::vector<int> lutAt, regAt;  // per cluster * kBles + ble: the unit there, or -1
  std::vector<int> ioAt;          // per I/O site
  std::vector<int> groupCtrl;     // per register group: its control set, -1 when empty
  std::vector<int> groupRegs;     // per register group: registers in it

  const Fabric* fabric;
  const Model* model;
  // Where units may go (placement_rules.h): fixed units, rectangles; null
  // for no rule. Every phase that moves units asks it.
  const PlacementRules* rules = nullptr;

  double x(int u) const;
  double y(int u) const;
  // Whether unit u may go to BLE slot `pos` (cluster * kBles + ble) once
  // `leaving` (or -1) has left that group: the LUT half and the register half
  // free (or held by `leaving`), and the group's control set compatible.
  bool fits(int u, int pos, int leaving = -1) const;
  void put(int u, int pos);     // a logic unit onto a BLE (must fit)
  void take(int u);             // lifts a logic unit off its BLE
  void putIo(int u, int site);
  int unplaced() const;

  // Places the components on their sites, records the slots, and unplaces
  // components of unplaced units.
  void writeTo(standin::Design& d) const;
};

// Half-perimeter wirelength of the unit nets, in rows plus columns, with
// units at (x[u], y[u]).
double hpwl(const Model& m, const std::vector<double>& x, const std::vector<double>& y);
double hpwl(const Placement& p);

}  // namespace qplace

#endif
