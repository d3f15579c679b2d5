// LUT-register pairing, control sets and the unit netlist.
#include "qplace/packing.h"

#include <algorithm>
#include <limits>
#include <string>
#include <unordered_map>

#include "host/standin/gen/designgen.h"

namespace qplace {

int Model::numOf(UnitKind k) const {
  return static_cast<int>(std::count(kind.begin(), kind.end(), k));
}

Model packDesign(standin::Design& d) {
  Model m;
  const int numComps = static_cast<int>(d.comps.size());
  m.unitOfComp.assign(static_cast<std::size_t>(numComps), -1);
  auto addUnit = [&](UnitKind k, standin::Comp* lut, standin::Comp* reg, standin::Comp* io) {
    const int u = static_cast<int>(m.kind.size());
    m.kind.push_back(k);
    m.lut.push_back(lut);
    m.reg.push_back(reg);
    m.io.push_back(io);
    for (standin::Comp* c : {lut, reg, io})
      if (c != nullptr) m.unitOfComp[static_cast<std::size_t>(c->id)] = u;
  };
  auto primIs = [](const standin::Comp& c, const char* name) {
    return c.prim != nullptr && c.prim->name == name;
  };

  // Pairs first: each register with the LUT driving its D, if still free.
  std::vector<char> lutTaken(static_cast<std::size_t>(numComps), 0);
  for (standin::Comp& c : d.comps) {
    if (!primIs(c, "FF")) continue;
    standin::Signal* dNet = c.signals[designgen::REG_D];
    standin::Comp* driver = nullptr;
    if (dNet != nullptr && dNet->numDrivers == 1 && dNet->pins.size() == 2) driver = dNet->pins[0]->comp;
    if (driver != nullptr && primIs(*driver, "LUT4") && driver->sigpins[designgen::LUT_Z] != nullptr &&
        driver->sigpins[designgen::LUT_Z]->signal == dNet && !lutTaken[static_cast<std::size_t>(driver->id)]) {
      lutTaken[static_cast<std::size_t>(driver->id)] = 1;
      addUnit(UNIT_PAIR, driver, &c, nullptr);
    }
  }
  for (standin::Comp& c : d.comps) {
    if (m.unitOfComp[static_cast<std::size_t>(c.id)] >= 0) continue;
    if (primIs(c, "LUT4")) addUnit(UNIT_LUT, &c, nullptr, nullptr);
    else if (primIs(c, "FF")) addUnit(UNIT_REG, nullptr, &c, nullptr);
    else if (primIs(c, "IO")) addUnit(UNIT_IO, nullptr, nullptr, &c);
  }

  // Control sets, numbered in order of first use.
  std::unordered_map<const UP_REGCTRL*, int> setOf;
  m.ctrl.assign(m.kind.size(), -1);
  for (std::size_t u = 0; u < m.kind.size(); ++u) {
    if (m.reg[u] == nullptr) continue;
    const UP_REGCTRL* rc = m.reg[u]->regctrl;
    auto [it, fresh] = setOf.emplace(rc, static_cast<int>(setOf.size()));
    m.ctrl[u] = it->second;
  }
  m.numCtrl = static_cast<int>(setOf.size());

  // Unit nets.
  std::vector<int> lastNet(m.kind.size(), -1);
  for (standin::Signal& s : d.signals) {
    if (s.clocks != 0) continue;
    const std::size_t start = m.netUnits.size();
    const int n = static_cast<int>(m.netSignal.size());
    for (standin::SigPin* p : s.pins) {
      const int u = p->comp != nullptr ? m.unitOfComp[static_cast<std::size_t>(p->comp->id)] : -1;
      if (u < 0 || lastNet[static_cast<std::size_t>(u)] == n) continue;
      lastNet[static_cast<std::size_t>(u)] = n;
      m.netUnits.push_back(u);
    }
    if (m.netUnits.size() - start < 2) {
      for (std::size_t i = start; i < m.netUnits.size(); ++i) lastNet[static_cast<std::size_t>(m.netUnits[i])] = -1;
      m.netUnits.resize(start);
      continue;
    }
    m.netSignal.push_back(&s);
    m.netStart.push_back(static_cast<int>(m.netUnits.size()));
  }
  indexUnitNets(m, m.numUnits(), std::numeric_limits<int>::max(), m.unitNetStart, m.unitNets);
  return m;
}

void indexUnitNets(const Model& m, int units, int maxUnits, std::vector<int>& start, std::vector<int>& nets) {
  start.assign(static_cast<std::size_t>(units) + 1, 0);
  for (int n = 0; n < m.numNets(); ++n) {
    if (m.netSize(n) > maxUnits) continue;
    for (int i = m.netStart[n]; i < m.netStart[n + 1]; ++i) ++start[static_cast<std::size_t>(m.netUnits[i]) + 1];
  }
  for (int u = 0; u < units; ++u) start[u + 1] += start[u];
  nets.resize(static_cast<std::size_t>(start[units]));
  std::vector<int> fill(start.begin(), start.end() - 1);
  for (int n = 0; n < m.numNets(); ++n) {
    if (m.netSize(n) > maxUnits) continue;
    for (int i = m.netStart[n]; i < m.netStart[n + 1]; ++i)
      nets[static_cast<std::size_t>(fill[static_cast<std::size_t>(m.netUnits[i])]++)] = n;
  }
}

void addNets(Model& m, const std::vector<std::vector<int>>& nets, double weight) {
  if (m.netWeight.empty()) m.netWeight.assign(m.netSignal.size(), 1.0);
  for (const std::vector<int>& net : nets) {
    m.netUnits.insert(m.netUnits.end(), net.begin(), net.end());
    m.netStart.push_back(static_cast<int>(m.netUnits.size()));
    m.netSignal.push_back(nullptr);
    m.netWeight.push_back(weight);
  }
  if (!m.kind.empty()) indexUnitNets(m, m.numUnits(), std::numeric_limits<int>::max(), m.unitNetStart, m.unitNets);
}

Model netsOf(const Model& m) {
  Model nets;
  nets.netStart = m.netStart;
  nets.netUnits = m.netUnits;
  nets.netSignal = m.netSignal;
  nets.netWeight = m.netWeight;
  return nets;
}

}  // namespace qplace
