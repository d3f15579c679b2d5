// Device sizing, legal placement bookkeeping and wirelength.
#include "qplace/fabric.h"

#include <algorithm>
#include <cmath>

namespace qplace {

int Fabric::clusterAt(double x, double y) const {
  const int c = std::clamp(static_cast<int>(std::lround(x)) - 1, 0, cols - 1);
  const int r = std::clamp(static_cast<int>(std::lround(y)) - 1, 0, rows - 1);
  return r * cols + c;
}

int registerGroupsNeeded(const Model& m, bool halfRule) {
  const int G = halfRule ? 4 : 8;
  std::vector<int> perSet(static_cast<std::size_t>(m.numCtrl), 0);
  for (int u = 0; u < m.numUnits(); ++u)
    if (m.hasReg(u)) ++perSet[static_cast<std::size_t>(m.ctrl[u])];
  int groups = 0;
  for (int k : perSet) groups += (k + G - 1) / G;
  return groups;
}

std::string logicRoomShortage(const Fabric& f, long luts, int groups) {
  const long lutRoom = static_cast<long>(f.numClusters()) * kBles;
  if (luts <= lutRoom && groups <= f.numGroups()) return std::string();
  return "the device is too small: " + std::to_string(luts) + " LUTs for " + std::to_string(lutRoom) +
         " LUT places, " + std::to_string(groups) + " register groups needed of " + std::to_string(f.numGroups());
}

int clustersForGroups(int groups, double fill, bool halfRule) {
  const double share = std::clamp(fill, 0.05, 0.9);
  return static_cast<int>(std::ceil(groups / (share * (halfRule ? 2 : 1))));
}

designgen::DeviceParams deviceFor(int luts, int regs, int ios, double fill, int rows, int cols, int minClusters) {
  designgen::DeviceParams p = designgen::fitDevice(luts, regs, ios, fill, minClusters);
  if (rows > 0 && cols > 0) {
    // The size given is the logic's; the border gives the I/O the room a
    // fitted device's would.
    p.plcRows = rows;
    p.plcCols = cols;
    p.ioPerSide = std::max(designgen::DeviceParams().ioPerSide, designgen::ioPerSideFor(ios, rows, cols, fill));
  }
  return p;
}

Fabric makeFabric(standin::Design& d, const Model& m, double fill, int rows, int cols, bool halfRule) {
  int luts = 0, regs = 0, ios = 0;
  for (int u = 0; u < m.numUnits(); ++u) {
    luts += m.hasLut(u) ? 1 : 0;
    regs += m.hasReg(u) ? 1 : 0;
    ios += m.isIo(u) ? 1 : 0;
  }
  const int minClusters = clustersForGroups(registerGroupsNeeded(m, halfRule), fill, halfRule);
  designgen::DeviceParams p = deviceFor(luts, regs, ios, fill, rows, cols, minClusters);
  p.halfPlcRule = halfRule;
  p.routing = true;
  p.longTracks = 2;  // long wires, for the delay model's long-wire figure
  Fabric f;
  f.dev = designgen::addDevice(d, p);
  f.rows = f.dev.plcRows;
  f.cols = f.dev.plcCols;
  f.halfRule = halfRule;
  for (standin::Site* s : f.dev.ioSites) {
    f.ioX.push_back(s->col);
    f.ioY.push_back(s->row);
  }
  return f;
}

Placement::Placement(const Fabric& f, const Model& m)
    : loc(static_cast<std::size_t>(m.numUnits()), -1),
      lutAt(static_cast<std::size_t>(f.numClusters()) * kBles, -1),
      regAt(static_cast<std::size_t>(f.numClusters()) * kBles, -1),
      ioAt(static_cast<std::size_t>(f.numIoSites()), -1),
      groupCtrl(static_cast<std::size_t>(f.numGroups()), -1),
      groupRegs(static_cast<std::size_t>(f.numGroups()), 0),
      fabric(&f),
      model(&m) {}

double Placement::x(int u) const {
  const int l = loc[u];
  if (model->isIo(u)) return fabric->ioX[l];
  return fabric->clusterX(l / kBles);
}

double Placement::y(int u) const {
  const int l = loc[u];
  if (model->isIo(u)) return fabric->ioY[l];
  return fabric->clusterY(l / kBles);
}

bool Placement::fits(int u, int pos, int leaving) const {
  if (model->hasLut(u) && lutAt[pos] >= 0 && lutAt[pos] != leaving) return false;
  if (!model->hasReg(u)) return true;
  if (regAt[pos] >= 0 && regAt[pos] != leaving) return false;
  const int g = fabric->groupOfBle(pos / kBles, pos % kBles);
  if (groupCtrl[g] < 0 || groupCtrl[g] == model->ctrl[u]) return true;
  // The group's set differs: fine only when its one register is the one leaving.
  return leaving >= 0 && groupRegs[g] == 1 && model->hasReg(leaving) && loc[leaving] >= 0 &&
         fabric->groupOfBle(loc[leaving] / kBles, loc[leaving] % kBles) == g;
}

void Placement::put(int u, int pos) {
  loc[u] = pos;
  if (model->hasLut(u)) lutAt[pos] = u;
  if (model->hasReg(u)) {
    regAt[pos] = u;
    const int g = fabric->groupOfBle(pos / kBles, pos % kBles);
    groupCtrl[g] = model->ctrl[u];
    ++groupRegs[g];
  }
}

void Placement::take(int u) {
  const int pos = loc[u];
  if (pos < 0) return;
  if (model->hasLut(u)) lutAt[pos] = -1;
  if (model->hasReg(u)) {
    regAt[pos] = -1;
    const int g = fabric->groupOfBle(pos / kBles, pos % kBles);
    if (--groupRegs[g] == 0) groupCtrl[g] = -1;
  }
  loc[u] = -1;
}

void Placement::putIo(int u, int site) {
  loc[u] = site;
  ioAt[site] = u;
}

int Placement::unplaced() const {
  return static_cast<int>(std::count(loc.begin(), loc.end(), -1));
}

void Placement::writeTo(standin::Design& d) const {
  for (const standin::Plc* plc : fabric->dev.plcs)
    for (UP_SITE* s : plc->sites)
      for (int k = 0; k < 4; ++k) d.setSlot(static_cast<standin::Site*>(s), static_cast<standin::Slot>(k), nullptr);
  for (int u = 0; u < model->numUnits(); ++u) {
    const int l = loc[u];
    if (model->isIo(u)) {
      if (l < 0) d.unplace(model->io[u]);
      else d.place(model->io[u], fabric->dev.ioSites[l]);
      continue;
    }
    for (standin::Comp* c : {model->lut[u], model->reg[u]}) {
      if (c == nullptr) continue;
      if (l < 0) {
        d.unplace(c);
        continue;
      }
      const int ble = l % kBles;
      auto* site = static_cast<standin::Site*>(fabric->dev.plcs[l / kBles]->sites[ble / 2]);
      d.place(c, site);
      const bool isLut = c == model->lut[u];
      d.setSlot(site, static_cast<standin::Slot>((isLut ? standin::L0 : standin::R0) + ble % 2), c);
    }
  }
}

double hpwl(const Model& m, const std::vector<double>& x, const std::vector<double>& y) {
  double total = 0;
  for (int n = 0; n < m.numNets(); ++n) {
    double x0 = 1e300, x1 = -1e300, y0 = 1e300, y1 = -1e300;
    for (int i = m.netStart[n]; i < m.netStart[n + 1]; ++i) {
      const int u = m.netUnits[i];
      x0 = std::min(x0, x[u]);
      x1 = std::max(x1, x[u]);
      y0 = std::min(y0, y[u]);
      y1 = std::max(y1, y[u]);
    }
    total += (x1 - x0) + (y1 - y0);
  }
  return total;
}

double hpwl(const Placement& p) {
  std::vector<double> x(p.loc.size()), y(p.loc.size());
  for (std::size_t u = 0; u < p.loc.size(); ++u) {
    x[u] = p.x(static_cast<int>(u));
    y[u] = p.y(static_cast<int>(u));
  }
  return hpwl(*p.model, x, y);
}

}  // namespace qplace
