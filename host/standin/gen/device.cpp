// Generated devices: logic clusters on a grid, I/O sites on its border,
// the grids, the register rule switch and the optional routing graph.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "host/standin/gen/designgen.h"
#include "host/standin/gen/wires.h"

namespace designgen {

namespace {

const udb::Direction kIn = udb::DIR_INPUT;
const udb::Direction kOut = udb::DIR_OUTPUT;

// Pins of a logic site: the inputs of its two LUTs and two registers, their
// outputs.
std::vector<standin::PortDecl> slicePins() {
  return {{"A0", kIn},  {"B0", kIn},  {"C0", kIn}, {"D0", kIn}, {"A1", kIn}, {"B1", kIn},
          {"C1", kIn},  {"D1", kIn},  {"DI0", kIn}, {"DI1", kIn}, {"CK", kIn}, {"CE", kIn},
          {"SR", kIn},  {"F0", kOut}, {"F1", kOut}, {"Q0", kOut}, {"Q1", kOut}};
}

std::string position(int row, int col) {
  char name[32];
  std::snprintf(name, sizeof name, "R%dC%d", row, col);
  return name;
}

// The k-th site at a border position: A, B, ... Z, then _26, _27, ...
std::string ioSiteName(int row, int col, int k) {
  std::string name = position(row, col);
  if (k < 26) return name + static_cast<char>('A' + k);
  return name + "_" + std::to_string(k);
}

void addIoSites(standin::Design& d, Device& dev, int ioPerSide) {
  const int lastRow = dev.plcRows + 1;
  const int lastCol = dev.plcCols + 1;
  auto addAt = [&](int row, int col) {
    for (int k = 0; k < ioPerSide; ++k) {
      standin::Site* site = d.addSite(ioSiteName(row, col, k), dev.ioType, row, col);
      d.addGeom(site, static_cast<unsigned short>(row), static_cast<unsigned short>(col))->sub =
          static_cast<unsigned short>(k);
      dev.ioSites.push_back(site);
    }
  };
  // Clockwise from the top-left corner; the corners hold none.
  for (int col = 1; col < lastCol; ++col) addAt(0, col);
  for (int row = 1; row < lastRow; ++row) addAt(row, lastCol);
  for (int col = lastCol - 1; col >= 1; --col) addAt(lastRow, col);
  for (int row = lastRow - 1; row >= 1; --row) addAt(row, 0);
}

}  // namespace

void detail::addWires(standin::Design& d, Device& dev, int tracks) {
  standin::RoutingGraph& graph = d.phy.graph;
  dev.wires.tracks = tracks;
  dev.wires.switches = (tracks + 1) / 2;
  dev.wires.firstNode = static_cast<int>(graph.nodes.size());
  dev.wires.firstArc = static_cast<int>(graph.arcs.size());
  const detail::WireLayout w(dev);

  // Nodes, with room for their wire arcs so that no arc list grows twice.
  char name[48];
  for (int r = 0; r < w.rows; ++r) {
    for (int c = 0; c < w.cols; ++c) {
      const std::string at = position(r + 1, c + 1);
      const std::size_t sideArcs = static_cast<std::size_t>(c > 0) + (c + 1 < w.cols);
      const std::size_t upDownArcs = static_cast<std::size_t>(r > 0) + (r + 1 < w.rows);
      for (int t = 0; t < tracks; ++t) {
        std::snprintf(name, sizeof name, "%s_H%d", at.c_str(), t);
        graph.reserveArcs(graph.addNode(name, detail::COST_HWIRE), 1 + sideArcs);
      }
      for (int t = 0; t < tracks; ++t) {
        std::snprintf(name, sizeof name, "%s_V%d", at.c_str(), t);
        graph.reserveArcs(graph.addNode(name, detail::COST_VWIRE), 1 + upDownArcs);
      }
      for (int k = 0; k < dev.wires.switches; ++k) {
        std::snprintf(name, sizeof name, "%s_S%d", at.c_str(), k);
        graph.reserveArcs(graph.addNode(name, detail::COST_SWITCH), std::min(4, 2 * (tracks - 2 * k)));
      }
    }
  }
  auto node = [&](int rel) { return &graph.nodes[static_cast<std::size_t>(w.firstNode + rel)]; };

  // The three runs of arcs, in the order WireLayout numbers them.
  for (int plc = 0; plc < w.plcs(); ++plc) {
    for (int t = 0; t < tracks; ++t) {
      standin::Node* sw = node(w.switchNode(plc, detail::WireLayout::switchOf(t)));
      graph.addArc(sw, node(w.hWire(plc, t)), false);
      graph.addArc(sw, node(w.vWire(plc, t)), false);
    }
  }
  for (int r = 0; r < w.rows; ++r)
    for (int c = 0; c + 1 < w.cols; ++c)
      for (int t = 0; t < tracks; ++t)
        graph.addArc(node(w.hWire(r * w.cols + c, t)), node(w.hWire(r * w.cols + c + 1, t)), false);
  for (int r = 0; r + 1 < w.rows; ++r)
    for (int c = 0; c < w.cols; ++c)
      for (int t = 0; t < tracks; ++t)
        graph.addArc(node(w.vWire(r * w.cols + c, t)), node(w.vWire((r + 1) * w.cols + c, t)), false);
}

// Long wires (see Wires in designgen.h): their nodes, then their arcs
// cluster by cluster.
void detail::addLongWires(standin::Design& d, Device& dev, int longTracks, int span) {
  standin::RoutingGraph& graph = d.phy.graph;
  const detail::WireLayout w(dev);
  dev.wires.longTracks = longTracks;
  dev.wires.longSpan = span;
  dev.wires.firstLongNode = static_cast<int>(graph.nodes.size());
  dev.wires.firstLongArc = static_cast<int>(graph.arcs.size());
  char name[48];
  for (int r = 0; r < w.rows; ++r) {
    for (int c = 0; c < w.cols; ++c) {
      const std::string at = position(r + 1, c + 1);
      for (int t = 0; t < longTracks; ++t) {
        std::snprintf(name, sizeof name, "%s_LH%d", at.c_str(), t);
        graph.reserveArcs(graph.addNode(name, detail::COST_LONGWIRE), 4);
      }
      for (int t = 0; t < longTracks; ++t) {
        std::snprintf(name, sizeof name, "%s_LV%d", at.c_str(), t);
        graph.reserveArcs(graph.addNode(name, detail::COST_LONGWIRE), 4);
      }
    }
  }
  auto node = [&](int abs) { return &graph.nodes[static_cast<std::size_t>(abs)]; };
  auto longWire = [&](int plc, int t, bool vertical) {
    return node(dev.wires.firstLongNode + plc * 2 * longTracks + (vertical ? longTracks : 0) + t);
  };
  auto switchOf = [&](int plc, int t) { return node(w.firstNode + w.switchNode(plc, t % w.switches)); };
  for (int r = 0; r < w.rows; ++r) {
    for (int c = 0; c < w.cols; ++c) {
      const int plc = r * w.cols + c;
      for (int vertical = 0; vertical < 2; ++vertical) {
        const bool fits = vertical != 0 ? r + span < w.rows : c + span < w.cols;
        const int far = vertical != 0 ? plc + span * w.cols : plc + span;
        for (int t = 0; t < longTracks; ++t) {
          standin::Node* wire = longWire(plc, t, vertical != 0);
          graph.addArc(switchOf(plc, t), wire, false);
          if (!fits) continue;
          graph.addArc(wire, switchOf(far, t), false);
          graph.addArc(wire, longWire(far, t, vertical != 0), false);
        }
      }
    }
  }
}


void detail::checkDevice(const DeviceParams& params) {
  // Rows and columns of the device must fit the sites' 16-bit positions.
  if (params.plcRows < 1 || params.plcCols < 1 || params.plcRows > 32000 || params.plcCols > 32000)
    throw std::invalid_argument("designgen::addDevice: clusters per row and column must be 1 to 32000");
  if (params.ioPerSide < 0 || (params.routing && params.tracks < 1))
    throw std::invalid_argument("designgen::addDevice: ioPerSide below 0 or tracks below 1");
  if (params.routing && (params.longTracks < 0 || (params.longTracks > 0 && params.longSpan < 2)))
    throw std::invalid_argument("designgen::addDevice: longTracks below 0 or longSpan below 2");
}

Device addDevice(standin::Design& d, const DeviceParams& params) {
  detail::checkDevice(params);

  Device dev;
  dev.plcRows = params.plcRows;
  dev.plcCols = params.plcCols;
  dev.halfPlcRule = params.halfPlcRule;
  dev.logicType = d.addSiteType("SLICE", slicePins());
  dev.logicType->uniqBels = 2;
  dev.logicType->pfu = true;
  dev.ioType = d.addSiteType("PIO", {{"I", kIn}, {"O", kOut}});
  dev.ioType->pfu = false;

  dev.plcs.reserve(static_cast<std::size_t>(dev.plcRows) * static_cast<std::size_t>(dev.plcCols));
  for (int r = 0; r < dev.plcRows; ++r) {
    for (int c = 0; c < dev.plcCols; ++c) {
      standin::Plc* plc = d.addPlc(position(r + 1, c + 1), dev.logicType, r + 1, c + 1);
      for (unsigned short pos = 0; pos < 4; ++pos) {
        auto* site = static_cast<standin::Site*>(plc->sites[pos]);
        site->hasSlots = true;
        d.addGeom(site, static_cast<unsigned short>(r + 1), static_cast<unsigned short>(c + 1))->sub = pos;
      }
      dev.plcs.push_back(plc);
    }
  }
  addIoSites(d, dev, params.ioPerSide);

  d.phy.grid.rows = static_cast<unsigned short>(dev.plcRows + 2);
  d.phy.grid.cols = static_cast<unsigned short>(dev.plcCols + 2);
  d.phy.tiles.rowPos.resize(static_cast<std::size_t>(dev.plcRows + 2));
  d.phy.tiles.colPos.resize(static_cast<std::size_t>(dev.plcCols + 2));
  for (std::size_t i = 0; i < d.phy.tiles.rowPos.size(); ++i) d.phy.tiles.rowPos[i] = static_cast<int>(i);
  for (std::size_t i = 0; i < d.phy.tiles.colPos.size(); ++i) d.phy.tiles.colPos[i] = static_cast<int>(i);

  d.info.plcRegRule = !params.halfPlcRule;
  d.info.halfPlcRegRule = params.halfPlcRule;
  if (params.routing) detail::addWires(d, dev, params.tracks);
  if (params.routing && params.longTracks > 0) detail::addLongWires(d, dev, params.longTracks, params.longSpan);
  return dev;
}

void remakeRouting(standin::Design& d, const Device& device) {
  const Wires& w = device.wires;
  if (w.tracks == 0) return;
  if (!d.phy.graph.nodes.empty() || !d.phy.graph.arcs.empty() || w.firstNode != 0 || w.firstArc != 0)
    throw std::logic_error("designgen::remakeRouting: the graph is not empty or did not start at node and arc 0");
  Device again;
  again.plcRows = device.plcRows;
  again.plcCols = device.plcCols;
  detail::addWires(d, again, w.tracks);
  if (w.longTracks > 0) detail::addLongWires(d, again, w.longTracks, w.longSpan);
  const Wires& m = again.wires;
  if (m.switches != w.switches || m.firstLongNode != w.firstLongNode || m.firstLongArc != w.firstLongArc)
    throw std::logic_error("designgen::remakeRouting: the graph made again differs from the device's");
}

namespace {

// Never plan more than this share of any kind's slots, whatever `fill` says:
// a placer needs some room to move.
double plannedShare(double fill) { return std::min(0.9, std::max(0.05, fill)); }

}  // namespace

int ioPerSideFor(int ios, int plcRows, int plcCols, double fill) {
  const double positions = 2.0 * (std::max(plcRows, 0) + std::max(plcCols, 0));
  if (ios <= 0 || positions <= 0) return 0;
  const double sites = std::ceil(ios / plannedShare(fill));
  return static_cast<int>(std::min(std::ceil(sites / positions), static_cast<double>(INT_MAX)));
}

DeviceParams fitDevice(int luts, int regs, int ios, double fill, int minClusters) {
  // Share of the register slots that registers can use: the registers of a
  // cluster share one control record, so where a control set ends its last
  // cluster keeps some register slots empty.
  const double kRegSlotUse = 0.85;
  fill = plannedShare(fill);
  // A logic site holds two LUTs and two registers; the kind in shorter
  // supply sets the size.
  const double sites = std::max({std::max(luts, 0) / (2.0 * fill),
                                 std::max(regs, 0) / (2.0 * fill * kRegSlotUse), 1.0});
  const int plcs = std::max(static_cast<int>(std::ceil(sites / 4.0)), minClusters);
  DeviceParams p;
  p.plcRows = std::max(1, static_cast<int>(std::lround(std::sqrt(static_cast<double>(plcs)))));
  p.plcCols = (plcs + p.plcRows - 1) / p.plcRows;
  p.ioPerSide = std::max(p.ioPerSide, ioPerSideFor(ios, p.plcRows, p.plcCols, fill));
  return p;
}

}  // namespace designgen
