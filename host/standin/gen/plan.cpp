// Planning a generated design's placement and control groups.
#include "host/standin/gen/plan.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace designgen {
namespace detail {

namespace {

// Clusters row by row, every other row backwards, so that clusters next in
// the walk are next to each other on the device.
std::vector<int> serpentine(int rows, int cols) {
  std::vector<int> walk;
  walk.reserve(static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols));
  for (int r = 0; r < rows; ++r)
    for (int i = 0; i < cols; ++i) walk.push_back(r * cols + (r % 2 == 0 ? i : cols - 1 - i));
  return walk;
}

// Fault clusters: every slot of the four sites used, or of the first three
// for the faults that need an empty site.
int sitesUsed(Fault kind) {
  return kind == Fault::SiteMismatch || kind == Fault::EmptySite ? 3 : 4;
}

// Chooses a distinct cluster for every fault asked.
std::vector<FaultPlc> chooseFaultPlcs(const Faults& f, int plcs, Rng& rng) {
  const std::pair<int, Fault> asked[] = {
      {f.slotPairs, Fault::SlotPair},       {f.plcRule, Fault::PlcRule},
      {f.halfPlcRule, Fault::HalfPlcRule},  {f.sharedSites, Fault::SharedSite},
      {f.siteMismatches, Fault::SiteMismatch}, {f.emptySites, Fault::EmptySite}};
  long total = 0;
  for (const auto& a : asked) total += a.first;
  if (total > plcs)
    throw std::invalid_argument("designgen: " + std::to_string(total) +
                                " site faults asked of a device of " + std::to_string(plcs) +
                                " clusters");
  std::vector<char> taken(static_cast<std::size_t>(plcs), 0);
  std::vector<FaultPlc> chosen;
  for (const auto& a : asked) {
    for (int i = 0; i < a.first; ++i) {
      int plc;
      do plc = static_cast<int>(rng.below(static_cast<std::uint32_t>(plcs)));
      while (taken[static_cast<std::size_t>(plc)]);
      taken[static_cast<std::size_t>(plc)] = 1;
      int pos = 0;
      if (a.second == Fault::SlotPair) pos = static_cast<int>(rng.below(4));
      if (a.second == Fault::HalfPlcRule) pos = static_cast<int>(rng.below(2));
      chosen.push_back(FaultPlc{plc, a.second, pos});
    }
  }
  return chosen;
}

// Control group sizes in [lo, hi] summing to `regs`; a short last group is
// spread over the others where they have room.
std::vector<int> groupSizes(int regs, int lo, int hi, Rng& rng) {
  std::vector<int> sizes;
  for (int left = regs; left > 0;) {
    const int size = std::min(left, rng.between(lo, hi));
    sizes.push_back(size);
    left -= size;
  }
  if (sizes.size() > 1 && sizes.back() < lo) {
    int tail = sizes.back();
    sizes.pop_back();
    for (std::size_t i = sizes.size(); i-- > 0 && tail > 0;) {
      const int add = std::min(hi - sizes[i], tail);
      sizes[i] += add;
      tail -= add;
    }
    if (tail > 0) sizes.push_back(tail);
  }
  return sizes;
}

// Registers per unit (a cluster, or a cluster half under the half rule) and
// the group of each unit: groups take consecutive units, about `density`
// registers each (dithered), and a unit never holds two groups. False when
// the units run out.
bool packGroups(const std::vector<int>& sizes, int cap, double density, std::vector<int>& unitRegs,
                std::vector<int>& unitGroup) {
  std::fill(unitRegs.begin(), unitRegs.end(), 0);
  std::fill(unitGroup.begin(), unitGroup.end(), -1);
  const std::size_t units = unitRegs.size();
  std::size_t u = 0;
  double carry = 0.0;
  for (std::size_t g = 0; g < sizes.size(); ++g) {
    for (int left = sizes[g]; left > 0; ++u) {
      if (u == units) return false;
      carry += density;
      const int target = std::min(cap, static_cast<int>(carry));
      carry -= static_cast<int>(carry);
      if (target == 0) continue;  // this unit stays without registers
      unitRegs[u] = std::min(target, left);
      unitGroup[u] = static_cast<int>(g);
      left -= unitRegs[u];
    }
  }
  return true;
}

}  // namespace

Plan makePlan(const Params& params, const Device& dev, int luts, int regs, int ios, Rng& rng) {
  const int rows = dev.plcRows;
  const int cols = dev.plcCols;
  const int plcs = rows * cols;
  const bool half = dev.halfPlcRule;
  Plan plan;
  plan.walk = serpentine(rows, cols);
  plan.faults = chooseFaultPlcs(params.faults, plcs, rng);

  std::vector<const FaultPlc*> faultAt(static_cast<std::size_t>(plcs), nullptr);
  int faultSlots = 0;
  for (const FaultPlc& f : plan.faults) {
    faultAt[static_cast<std::size_t>(f.plc)] = &f;
    faultSlots += 2 * sitesUsed(f.kind);
  }
  if (faultSlots > luts || faultSlots > regs)
    throw std::invalid_argument("designgen: too few LUTs or registers for the site faults asked");
  const int normalPlcs = plcs - static_cast<int>(plan.faults.size());
  const int normalLuts = luts - faultSlots;
  const int normalRegs = regs - faultSlots;
  if (normalLuts > 8 * normalPlcs || normalRegs > 8 * normalPlcs)
    throw std::invalid_argument("designgen: the device's " + std::to_string(plcs) +
                                " clusters do not hold " + std::to_string(luts) + " LUTs and " +
                                std::to_string(regs) + " registers");

  // Registers of the ordinary clusters, by unit.
  const int unitsPerPlc = half ? 2 : 1;
  const int cap = half ? 4 : 8;
  std::vector<int> sizes = groupSizes(normalRegs, params.ctrlGroupMin, params.ctrlGroupMax, rng);
  std::vector<int> unitRegs(static_cast<std::size_t>(normalPlcs) * unitsPerPlc);
  std::vector<int> unitGroup(unitRegs.size());
  if (normalRegs > 0) {
    double density = static_cast<double>(normalRegs) / static_cast<double>(unitRegs.size());
    while (!packGroups(sizes, cap, density, unitRegs, unitGroup)) {
      if (density >= cap)
        throw std::invalid_argument("designgen: the registers' control groups do not fit the device");
      density = std::min(static_cast<double>(cap), density * 1.02 + 0.01);
    }
  }
  plan.groupSize = sizes;
  plan.groupPlc.assign(sizes.size(), -1);

  plan.lutBegin.assign(static_cast<std::size_t>(plcs), 0);
  plan.lutCount.assign(static_cast<std::size_t>(plcs), 0);
  plan.regBegin.assign(static_cast<std::size_t>(plcs), 0);
  plan.regCount.assign(static_cast<std::size_t>(plcs), 0);
  plan.lutSpots.reserve(static_cast<std::size_t>(luts));
  plan.regSpots.reserve(static_cast<std::size_t>(regs));
  plan.regGroup.reserve(static_cast<std::size_t>(regs));

  auto addReg = [&](int plc, int pos, int slot, int group) {
    plan.regSpots.push_back(Spot{plc, static_cast<unsigned char>(pos), static_cast<unsigned char>(slot)});
    plan.regGroup.push_back(group);
    if (plan.groupPlc[static_cast<std::size_t>(group)] < 0) plan.groupPlc[static_cast<std::size_t>(group)] = plc;
  };
  auto newGroup = [&](int size) {
    plan.groupSize.push_back(size);
    plan.groupPlc.push_back(-1);
    return static_cast<int>(plan.groupSize.size()) - 1;
  };

  int normal = 0;  // ordinary clusters met so far
  for (int plc : plan.walk) {
    const std::size_t p = static_cast<std::size_t>(plc);
    plan.lutBegin[p] = static_cast<int>(plan.lutSpots.size());
    plan.regBegin[p] = static_cast<int>(plan.regSpots.size());
    if (const FaultPlc* f = faultAt[p]) {
      // Every slot of the sites used; the registers of the fault's odd
      // place on a control group of their own.
      const int used = sitesUsed(f->kind);
      for (int i = 0; i < 2 * used; ++i)
        plan.lutSpots.push_back(Spot{plc, static_cast<unsigned char>(i % used),
                                     static_cast<unsigned char>(standin::L0 + i / used)});
      auto odd = [&](int pos, int slot) {
        switch (f->kind) {
          case Fault::SlotPair: return pos == f->pos && slot == standin::R1;
          case Fault::HalfPlcRule: return pos == 2 * f->pos + 1;
          case Fault::PlcRule: return pos >= 2;
          default: return false;
        }
      };
      int oddCount = 0;
      for (int pos = 0; pos < used; ++pos)
        for (int slot = standin::R0; slot <= standin::R1; ++slot) oddCount += odd(pos, slot);
      const int mainGroup = newGroup(2 * used - oddCount);
      const int other = oddCount > 0 ? newGroup(oddCount) : -1;
      for (int pos = 0; pos < used; ++pos)
        for (int slot = standin::R0; slot <= standin::R1; ++slot)
          addReg(plc, pos, slot, odd(pos, slot) ? other : mainGroup);
    } else {
      // LUTs spread evenly over the ordinary clusters, L0 of every site first.
      const long long n = normalPlcs;
      const int count = static_cast<int>((normalLuts * (normal + 1LL)) / n - (normalLuts * static_cast<long long>(normal)) / n);
      for (int i = 0; i < count; ++i)
        plan.lutSpots.push_back(Spot{plc, static_cast<unsigned char>(i % 4),
                                     static_cast<unsigned char>(standin::L0 + i / 4)});
      // Registers of the cluster's units, R0 of every site of the unit first.
      for (int k = 0; k < unitsPerPlc; ++k) {
        const std::size_t u = static_cast<std::size_t>(normal * unitsPerPlc + k);
        const int sites = half ? 2 : 4;
        for (int i = 0; i < unitRegs[u]; ++i)
          addReg(plc, (half ? 2 * k : 0) + i % sites, standin::R0 + i / sites, unitGroup[u]);
      }
      ++normal;
    }
    plan.lutCount[p] = static_cast<int>(plan.lutSpots.size()) - plan.lutBegin[p];
    plan.regCount[p] = static_cast<int>(plan.regSpots.size()) - plan.regBegin[p];
  }

  // I/O components spread along the border, each beside a cluster.
  const int ioSites = static_cast<int>(dev.ioSites.size());
  for (int k = 0; k < ios; ++k) {
    const int at = static_cast<int>(((2LL * k + 1) * ioSites) / (2LL * ios));
    const standin::Site* site = dev.ioSites[static_cast<std::size_t>(at)];
    const int r = std::min(std::max(site->row - 1, 0), rows - 1);
    const int c = std::min(std::max(site->col - 1, 0), cols - 1);
    plan.ioSite.push_back(at);
    plan.ioPlc.push_back(r * cols + c);
  }
  return plan;
}

}  // namespace detail
}  // namespace designgen
