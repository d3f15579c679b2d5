// The netlist of a generated design. Nets are made from the planned
// placement so that their locality is real: loads are drawn from the
// driver's cluster and its neighbours, high-fanout nets from a window sized
// to their fanout.
#include "host/standin/gen/netlist.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace designgen {
namespace detail {

namespace {

enum class IoRole : unsigned char { Clock, Input, Output };

class Netlist {
public:
  Netlist(standin::Design& d, Generated& g, const Plan& plan, Rng& rng)
      : d_(d), g_(g), plan_(plan), rng_(rng), rows_(g.device.plcRows), cols_(g.device.plcCols),
        nextD_(static_cast<std::size_t>(rows_) * static_cast<std::size_t>(cols_), 0),
        inputsUsed_(g.luts.size(), 0) {}

  void build(const Params& params) {
    // No more clocks than control groups to clock: each gets one at least.
    const int clocks = std::min({params.clocks, static_cast<int>(g_.ios.size()),
                                 static_cast<int>(plan_.groupSize.size())});
    for (std::size_t k = 0; k < g_.ios.size(); ++k) {
      const int i = static_cast<int>(k) - clocks;
      roles_.push_back(i < 0 ? IoRole::Clock : i % 2 == 0 ? IoRole::Input : IoRole::Output);
    }
    clockAndControlNets(clocks);
    highFanoutNets(params.components);
    localNets();
    finishInputs();
  }

private:
  standin::Signal* newSignal(const char* prefix, int number) {
    return d_.addSignal(prefix + std::to_string(number));
  }

  // A new net from `driver`'s pin to the loads chosen so far, which it
  // takes; none when no load was chosen, so that no net is left without one.
  void connectChosen(const char* prefix, int number, standin::Comp* driver, int pin) {
    if (chosen_.empty()) return;
    standin::Signal* sig = newSignal(prefix, number);
    d_.reservePins(sig, 1 + chosen_.size());
    d_.addDriver(sig, driver, pin);
    for (const auto& [comp, load] : chosen_) d_.addLoad(sig, comp, load);
    chosen_.clear();
  }

  int row(int plc) const { return plc / cols_; }
  int col(int plc) const { return plc % cols_; }

  // A cluster drawn evenly from the window of `radius` around `plc`,
  // clipped to the device.
  int near(int plc, int radius) {
    const int r = rng_.between(std::max(0, row(plc) - radius), std::min(rows_ - 1, row(plc) + radius));
    const int c = rng_.between(std::max(0, col(plc) - radius), std::min(cols_ - 1, col(plc) + radius));
    return r * cols_ + c;
  }

  // Visits the clusters around `plc` ring by ring, nearest first, until
  // `visit` returns true; false when none did.
  template <class Visit>
  bool rings(int plc, Visit visit) {
    const int r0 = row(plc), c0 = col(plc);
    const int maxRadius = std::max(rows_, cols_);
    for (int rad = 0; rad <= maxRadius; ++rad) {
      for (int r = r0 - rad; r <= r0 + rad; ++r) {
        if (r < 0 || r >= rows_) continue;
        const bool edge = r == r0 - rad || r == r0 + rad;
        for (int c = c0 - rad; c <= c0 + rad; c += edge || rad == 0 ? 1 : 2 * rad) {
          if (c >= 0 && c < cols_ && visit(r * cols_ + c)) return true;
        }
      }
    }
    return false;
  }

  standin::Comp* lut(int plc, int k) const {
    return g_.luts[static_cast<std::size_t>(plan_.lutBegin[static_cast<std::size_t>(plc)] + k)];
  }
  int luts(int plc) const { return plan_.lutCount[static_cast<std::size_t>(plc)]; }

  // A LUT of the cluster whose output drives nothing yet, or null.
  standin::Comp* freeLutOutput(int plc) {
    const int n = luts(plc);
    if (n == 0) return nullptr;
    const int start = static_cast<int>(rng_.below(static_cast<std::uint32_t>(n)));
    for (int k = 0; k < n; ++k) {
      standin::Comp* comp = lut(plc, (start + k) % n);
      if (comp->signals[LUT_Z] == nullptr) return comp;
    }
    return nullptr;
  }

  // Once no LUT output is left anywhere, later calls give up at once.
  standin::Comp* freeLutOutputNear(int plc) {
    standin::Comp* found = nullptr;
    if (!outputsExhausted_) outputsExhausted_ = !rings(plc, [&](int c) { return (found = freeLutOutput(c)) != nullptr; });
    return found;
  }

  // Chooses input `pin` of LUT `i` when it is free and the LUT is not
  // `driver`.
  bool loadLut(std::size_t i, int pin, const standin::Comp* driver) {
    const unsigned char bit = static_cast<unsigned char>(1u << pin);
    if ((inputsUsed_[i] & bit) != 0 || g_.luts[i] == driver) return false;
    inputsUsed_[i] |= bit;
    chosen_.emplace_back(g_.luts[i], pin);
    return true;
  }

  // One try at a free input of a random LUT of the cluster other than
  // `driver`.
  bool loadLutInput(int plc, const standin::Comp* driver) {
    const int n = luts(plc);
    if (n == 0) return false;
    const int k = static_cast<int>(rng_.below(static_cast<std::uint32_t>(n)));
    const int pin = static_cast<int>(rng_.below(4));
    return loadLut(static_cast<std::size_t>(plan_.lutBegin[static_cast<std::size_t>(plc)] + k), pin, driver);
  }

  // The next register D pin of the cluster that is still free.
  bool loadFreeD(int plc) {
    const std::size_t p = static_cast<std::size_t>(plc);
    while (nextD_[p] < plan_.regCount[p]) {
      standin::Comp* reg = g_.regs[static_cast<std::size_t>(plan_.regBegin[p] + nextD_[p]++)];
      if (reg->signals[REG_D] == nullptr) {
        chosen_.emplace_back(reg, REG_D);
        return true;
      }
    }
    return false;
  }

  // Any free LUT input or register D pin, nearest first; once none is left
  // anywhere, later calls give up at once.
  bool loadAnyInputNear(int plc, const standin::Comp* driver) {
    if (inputsExhausted_) return false;
    const bool found = rings(plc, [&](int c) {
      const std::size_t first = static_cast<std::size_t>(plan_.lutBegin[static_cast<std::size_t>(c)]);
      for (std::size_t i = first; i < first + static_cast<std::size_t>(luts(c)); ++i)
        for (int pin = LUT_A; pin <= LUT_D; ++pin)
          if (loadLut(i, pin, driver)) return true;
      return loadFreeD(c);
    });
    inputsExhausted_ = !found;
    return found;
  }

  // Loads of a local net: mostly 1 to 3 (nets of 2 to 4 pins), some up to 12.
  int localLoads() {
    const double u = rng_.unit();
    if (u < 0.55) return 1;
    if (u < 0.82) return 2;
    if (u < 0.95) return 3;
    return rng_.between(4, 12);
  }

  // Mostly the cluster itself or a neighbour, sometimes a few clusters away.
  int localCluster(int plc) {
    const double u = rng_.unit();
    if (u < 0.5) return plc;
    return near(plc, u < 0.85 ? 1 : 3);
  }

  void localNet(standin::Comp* driver, int pin, int plc, bool feedRegisters) {
    const int want = localLoads();
    int got = 0;
    if (feedRegisters && rng_.chance(0.85) && loadFreeD(plc)) ++got;
    for (int tries = 0; got < want && tries < 8 * want; ++tries)
      if (loadLutInput(localCluster(plc), driver)) ++got;
    if (got == 0) loadAnyInputNear(plc, driver);
    connectChosen("n", nets_++, driver, pin);
  }

  // The clock nets, driven by the first I/O; every control group gets a
  // clock, a clock enable net of its own and, for some, a set/reset net,
  // each driven by a LUT near the group (when there is one to drive it).
  void clockAndControlNets(int clocks) {
    for (int k = 0; k < clocks; ++k) {
      standin::Signal* clk = newSignal("clk", k);
      clk->clocks |= standin::Signal::CLK1;
      d_.addDriver(clk, g_.ios[static_cast<std::size_t>(k)], IO_O);
      g_.clocks.push_back(clk);
    }
    // The registers of each group, gathered by a counting sort.
    const std::size_t groups = plan_.groupSize.size();
    std::vector<int> start(groups + 1, 0);
    for (int group : plan_.regGroup) ++start[static_cast<std::size_t>(group) + 1];
    for (std::size_t i = 0; i < groups; ++i) start[i + 1] += start[i];
    std::vector<int> members(plan_.regGroup.size());
    std::vector<int> fill(start.begin(), start.end() - 1);
    for (std::size_t r = 0; r < plan_.regGroup.size(); ++r)
      members[static_cast<std::size_t>(fill[static_cast<std::size_t>(plan_.regGroup[r])]++)] = static_cast<int>(r);

    for (std::size_t group = 0; group < groups; ++group) {
      const int home = plan_.groupPlc[group];
      if (home < 0) continue;  // no register
      // The first groups take one clock each, the others mostly the first.
      standin::Signal* clk = nullptr;
      if (group < static_cast<std::size_t>(clocks))
        clk = g_.clocks[group];
      else if (clocks > 0)
        clk = g_.clocks[clocks == 1 || rng_.chance(0.75) ? 0 : 1 + rng_.below(static_cast<std::uint32_t>(clocks - 1))];
      standin::Signal* ce = nullptr;
      standin::Signal* sr = nullptr;
      if (standin::Comp* driver = freeLutOutputNear(home)) {
        ce = newSignal("ce", static_cast<int>(group));
        d_.addDriver(ce, driver, LUT_Z);
      }
      if (rng_.chance(0.4)) {
        if (standin::Comp* driver = freeLutOutputNear(home)) {
          sr = newSignal("sr", static_cast<int>(group));
          d_.addDriver(sr, driver, LUT_Z);
        }
      }
      for (int m = start[group]; m < start[group + 1]; ++m) {
        standin::Comp* reg = g_.regs[static_cast<std::size_t>(members[static_cast<std::size_t>(m)])];
        if (clk != nullptr) d_.addLoad(clk, reg, REG_CK);
        if (ce != nullptr) d_.addLoad(ce, reg, REG_CE);
        if (sr != nullptr) d_.addLoad(sr, reg, REG_SR);
      }
    }
  }

  // About one net per 20,000 components (at least one in a design of 40 or
  // more LUTs), of fanout drawn log-evenly from [100, 10,000], scaled down
  // to 1/20 .. 1/10 of the LUTs in small designs. Loads are LUT inputs in a
  // window around the driver that holds several times the fanout, widened
  // when it runs short.
  void highFanoutNets(int components) {
    const int nLuts = static_cast<int>(g_.luts.size());
    if (nLuts < 40) return;
    const int lo = std::min(100, std::max(4, nLuts / 20));
    const int hi = std::min(10000, std::max(lo, nLuts / 10));
    const int count = std::max(1, components / 20000);
    for (int h = 0; h < count; ++h) {
      const double logF = std::log(lo) + rng_.unit() * (std::log(hi) - std::log(lo));
      const int fanout = static_cast<int>(std::lround(std::exp(logF)));
      standin::Comp* driver = nullptr;
      int pin = LUT_Z;
      int plc = 0;
      if (!g_.ios.empty() && rng_.chance(0.25)) {
        const std::size_t k = rng_.below(static_cast<std::uint32_t>(g_.ios.size()));
        if (roles_[k] == IoRole::Input && g_.ios[k]->signals[IO_O] == nullptr) {
          driver = g_.ios[k];
          pin = IO_O;
          plc = plan_.ioPlc[k];
        }
      }
      for (int tries = 0; driver == nullptr && tries < 32; ++tries) {
        const std::size_t i = rng_.below(static_cast<std::uint32_t>(nLuts));
        if (g_.luts[i]->signals[LUT_Z] == nullptr) {
          driver = g_.luts[i];
          plc = plan_.lutSpots[i].plc;
        }
      }
      if (driver == nullptr) continue;
      int radius = static_cast<int>(std::ceil(std::sqrt(fanout / 6.0) / 2.0)) + 1;
      int got = 0;
      for (int tries = 0; got < fanout && tries < 8 * fanout; ++tries) {
        if (tries == 4 * fanout) radius *= 2;
        if (loadLutInput(near(plc, radius), driver)) ++got;
      }
      connectChosen("hf", h, driver, pin);
    }
  }

  // A local net on every LUT output still free, on most register outputs
  // and on every input I/O still free.
  void localNets() {
    for (std::size_t i = 0; i < g_.luts.size(); ++i)
      if (g_.luts[i]->signals[LUT_Z] == nullptr) localNet(g_.luts[i], LUT_Z, plan_.lutSpots[i].plc, true);
    for (std::size_t i = 0; i < g_.regs.size(); ++i)
      if (rng_.chance(0.85)) localNet(g_.regs[i], REG_Q, plan_.regSpots[i].plc, false);
    for (std::size_t k = 0; k < g_.ios.size(); ++k)
      if (roles_[k] == IoRole::Input && g_.ios[k]->signals[IO_O] == nullptr)
        localNet(g_.ios[k], IO_O, plan_.ioPlc[k], false);
  }

  // Adds `comp`'s pin to the output net of a LUT in the nearest cluster that
  // has LUTs; false when the design has none.
  bool loadOnNearbyLut(standin::Comp* comp, int pin, int plc) {
    return rings(plc, [&](int c) {
      if (luts(c) == 0) return false;
      standin::Signal* sig = lut(c, static_cast<int>(rng_.below(static_cast<std::uint32_t>(luts(c)))))->signals[LUT_Z];
      if (sig == nullptr) return false;
      d_.addLoad(sig, comp, pin);
      return true;
    });
  }

  // Register D pins that no local net reached, and output I/O.
  void finishInputs() {
    for (std::size_t i = 0; i < g_.regs.size(); ++i)
      if (g_.regs[i]->signals[REG_D] == nullptr) loadOnNearbyLut(g_.regs[i], REG_D, plan_.regSpots[i].plc);
    for (std::size_t k = 0; k < g_.ios.size(); ++k)
      if (roles_[k] == IoRole::Output) loadOnNearbyLut(g_.ios[k], IO_I, plan_.ioPlc[k]);
  }

  standin::Design& d_;
  Generated& g_;
  const Plan& plan_;
  Rng& rng_;
  const int rows_;
  const int cols_;
  std::vector<int> nextD_;  // per cluster: registers whose D pin was offered already
  // Per LUT: bit p set when input p is connected. Kept here, beside the
  // components, so that the many tries at a free input stay in cache.
  std::vector<unsigned char> inputsUsed_;
  std::vector<IoRole> roles_;
  std::vector<std::pair<standin::Comp*, int>> chosen_;  // loads of the next net
  int nets_ = 0;
  bool inputsExhausted_ = false;
  bool outputsExhausted_ = false;
};

}  // namespace

void buildNetlist(standin::Design& d, Generated& g, const Plan& plan, const Params& params, Rng& rng) {
  Netlist(d, g, plan, rng).build(params);
}

}  // namespace detail
}  // namespace designgen
