// Generating a whole design: sizes, device, plan, components, netlist,
// placement and faults.
#include <algorithm>
#include <cmath>
#include <exception>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>

#include "host/standin/gen/designgen.h"
#include "host/standin/gen/faults.h"
#include "host/standin/gen/netlist.h"
#include "host/standin/gen/plan.h"
#include "host/standin/gen/wires.h"

namespace designgen {

namespace {

int siteFaults(const Faults& f) {
  return f.slotPairs + f.plcRule + f.halfPlcRule + f.sharedSites + f.siteMismatches + f.emptySites;
}

// Runs a piece of work beside the caller's: on a thread of its own when
// `threads` (0: the machine's cores) allows two, else at once. join()
// waits for it and rethrows what it threw; the destructor waits too, so
// that an exception of the caller's work never leaves it running.
class Beside {
public:
  template <class Work>
  Beside(int threads, Work work) {
    if (threads <= 0) threads = static_cast<int>(std::thread::hardware_concurrency());
    if (threads < 2) {
      work();
      return;
    }
    thread_ = std::thread([this, work] {
      try {
        work();
      } catch (...) {
        failed_ = std::current_exception();
      }
    });
  }
  ~Beside() {
    if (thread_.joinable()) thread_.join();
  }
  Beside(const Beside&) = delete;
  Beside& operator=(const Beside&) = delete;

  void join() {
    if (thread_.joinable()) thread_.join();
    if (failed_) std::rethrow_exception(std::exchange(failed_, nullptr));
  }

private:
  std::thread thread_;
  std::exception_ptr failed_;
};

void checkParams(const Params& p) {
  const Faults& f = p.faults;
  if (p.components < 1 || !(p.fill > 0.0 && p.fill <= 1.0) ||
      !(p.regShare >= 0.0 && p.regShare <= 1.0) || p.ctrlGroupMin < 1 ||
      p.ctrlGroupMax < p.ctrlGroupMin || p.clocks < 0)
    throw std::invalid_argument("designgen::generate: parameters out of range");
  const int counts[] = {f.replicatedPins, f.slotPairs, f.plcRule, f.halfPlcRule,
                        f.sharedSites, f.siteMismatches, f.emptySites};
  for (int n : counts)
    if (n < 0) throw std::invalid_argument("designgen::generate: a negative fault count");
  if (siteFaults(f) > 0 && !p.place)
    throw std::invalid_argument("designgen::generate: site faults need a placed design");
}

// Clusters enough for `regs` registers in control groups of the asked
// sizes, with a tenth to spare, and for the faults: a group takes at most
// size / capacity + 1 clusters (or halves).
int plcsForGroups(const Params& p, int regs) {
  const bool half = p.device.halfPlcRule;
  const double groups = regs / (0.5 * (p.ctrlGroupMin + p.ctrlGroupMax));
  const double units = regs / (half ? 4.0 : 8.0) + groups;
  return static_cast<int>(std::ceil(1.1 * units / (half ? 2.0 : 1.0))) + siteFaults(p.faults);
}

void makeComponents(standin::Design& d, Generated& g, const detail::Plan& plan) {
  std::vector<UP_REGCTRL*> records;
  records.reserve(plan.groupSize.size());
  for (int size : plan.groupSize) records.push_back(d.addRegCtrl(size));

  g.luts.reserve(plan.lutSpots.size());
  g.regs.reserve(plan.regSpots.size());
  for (int plc : plan.walk) {
    const std::size_t p = static_cast<std::size_t>(plc);
    for (int i = plan.lutBegin[p]; i < plan.lutBegin[p] + plan.lutCount[p]; ++i)
      g.luts.push_back(addLut(d, g.prims, "lut" + std::to_string(i)));
    for (int i = plan.regBegin[p]; i < plan.regBegin[p] + plan.regCount[p]; ++i) {
      standin::Comp* reg = addReg(d, g.prims, "reg" + std::to_string(i));
      reg->regctrl = records[static_cast<std::size_t>(plan.regGroup[static_cast<std::size_t>(i)])];
      g.regs.push_back(reg);
    }
  }
  g.ios.reserve(plan.ioSite.size());
  for (std::size_t k = 0; k < plan.ioSite.size(); ++k)
    g.ios.push_back(addIo(d, g.prims, "io" + std::to_string(k)));
}

// Places every component where the plan has it: sites and slot tables; per
// site in slot order, so the first LUT of a site is its occupant.
void placeAll(standin::Design& d, Generated& g, const detail::Plan& plan) {
  std::vector<standin::Comp*> slots(g.device.plcs.size() * 16, nullptr);
  auto put = [&](const detail::Spot& s, standin::Comp* comp) {
    slots[static_cast<std::size_t>(s.plc) * 16 + s.pos * 4u + s.slot] = comp;
  };
  for (std::size_t i = 0; i < g.luts.size(); ++i) put(plan.lutSpots[i], g.luts[i]);
  for (std::size_t i = 0; i < g.regs.size(); ++i) put(plan.regSpots[i], g.regs[i]);
  for (std::size_t plc = 0; plc < g.device.plcs.size(); ++plc) {
    for (int pos = 0; pos < 4; ++pos) {
      auto* site = static_cast<standin::Site*>(g.device.plcs[plc]->sites[static_cast<std::size_t>(pos)]);
      for (int slot = standin::L0; slot <= standin::R1; ++slot) {
        standin::Comp* comp = slots[plc * 16 + static_cast<std::size_t>(pos * 4 + slot)];
        if (comp == nullptr) continue;
        d.place(comp, site);
        d.setSlot(site, static_cast<standin::Slot>(slot), comp);
      }
    }
  }
  for (std::size_t k = 0; k < g.ios.size(); ++k)
    d.place(g.ios[k], g.device.ioSites[static_cast<std::size_t>(plan.ioSite[k])]);
}

}  // namespace

Generated generate(standin::Design& d, const Params& params) {
  checkParams(params);
  const int n = params.components;
  DeviceParams dp = params.device;
  int ios = std::min(n, std::max(params.clocks, static_cast<int>(std::lround(2.0 * std::sqrt(n)))));
  const bool fitted = dp.plcRows == 0 || dp.plcCols == 0;
  if (!fitted) {
    const long long border = 2LL * (dp.plcRows + dp.plcCols) * std::max(dp.ioPerSide, 0);
    ios = static_cast<int>(std::min<long long>(ios, border));
    if (ios < params.clocks)
      throw std::invalid_argument("designgen::generate: the device's border holds fewer I/O than clocks");
  }
  const int logic = n - ios;
  const int regs = static_cast<int>(std::lround(logic * params.regShare));
  const int luts = logic - regs;
  if (fitted) {
    const DeviceParams fit = fitDevice(luts, regs, ios, params.fill);
    dp.plcRows = fit.plcRows;
    dp.plcCols = fit.plcCols;
    // Not the fitted ring's room: the generator spreads its ports evenly
    // around the ring it has and draws their nets from where they sit, so
    // more sites would change the design, not how well it places. Its ring
    // is the smallest that holds them.
    const int positions = 2 * (fit.plcRows + fit.plcCols);
    dp.ioPerSide = std::max(dp.ioPerSide, (ios + positions - 1) / positions);
    // Room for the control groups, which never share a cluster (or a half):
    // small groups need more clusters than the fill alone asks for.
    const int plcs = plcsForGroups(params, regs);
    if (plcs > dp.plcRows * dp.plcCols) {
      dp.plcRows = std::max(1, static_cast<int>(std::lround(std::sqrt(static_cast<double>(plcs)))));
      dp.plcCols = (plcs + dp.plcRows - 1) / dp.plcRows;
    }
  }

  Generated g;
  g.prims = addPrims(d);
  detail::checkDevice(dp);
  DeviceParams sites = dp;
  sites.routing = false;
  g.device = addDevice(d, sites);
  {
    // The routing graph is made beside the rest, on a second thread when
    // asked for: it touches only the graph and g.device.wires, which
    // nothing below reads. The design is the same either way.
    Beside wires(params.threads, [&] {
      if (dp.routing) detail::addWires(d, g.device, dp.tracks);
      if (dp.routing && dp.longTracks > 0) detail::addLongWires(d, g.device, dp.longTracks, dp.longSpan);
    });
    detail::Rng planRng(params.seed, 1);
    detail::Rng netRng(params.seed, 2);
    detail::Rng faultRng(params.seed, 3);
    const detail::Plan plan = detail::makePlan(params, g.device, luts, regs, ios, planRng);
    makeComponents(d, g, plan);
    detail::buildNetlist(d, g, plan, params, netRng);
    if (params.place) placeAll(d, g, plan);
    detail::plantFaults(d, g, plan, params.faults, faultRng);
    wires.join();
  }
  return g;
}

}  // namespace designgen
