// Cell-level simulation of a LogicNetlist.
#include "logic_sim.h"

#include <stdexcept>
#include <string>

namespace qplace {

LogicSim::LogicSim(const LogicNetlist& ln) : ln_(ln) {
  const std::size_t nets = static_cast<std::size_t>(ln.numNets());
  val_.assign(nets, 0);
  input_.assign(nets, 0);
  isInput_.assign(nets, 0);
  q_.assign(ln.regs.size(), 0);
  lastClock_.assign(ln.regs.size(), 0);

  // Drivers, and the LUTs in topological order (Kahn).
  std::vector<int> lutOf(nets, -1);
  std::vector<char> driven(nets, 0);
  auto drive = [&](NetId n, const std::string& who) {
    if (!isNet(n)) return;
    if (driven[static_cast<std::size_t>(n)]) throw std::invalid_argument("net " + std::to_string(n) + " has two drivers (" + who + ")");
    driven[static_cast<std::size_t>(n)] = 1;
  };
  for (std::size_t l = 0; l < ln.luts.size(); ++l) {
    drive(ln.luts[l].out, ln.luts[l].name);
    if (isNet(ln.luts[l].out)) lutOf[static_cast<std::size_t>(ln.luts[l].out)] = static_cast<int>(l);
  }
  for (const LogicReg& r : ln.regs) drive(r.q, r.name);
  std::vector<int> waiting(ln.luts.size(), 0);
  std::vector<std::vector<int>> users(ln.luts.size());
  for (std::size_t l = 0; l < ln.luts.size(); ++l)
    for (NetId n : ln.luts[l].in)
      if (isNet(n) && lutOf[static_cast<std::size_t>(n)] >= 0) {
        ++waiting[l];
        users[static_cast<std::size_t>(lutOf[static_cast<std::size_t>(n)])].push_back(static_cast<int>(l));
      }
  for (std::size_t l = 0; l < ln.luts.size(); ++l)
    if (waiting[l] == 0) order_.push_back(static_cast<int>(l));
  for (std::size_t i = 0; i < order_.size(); ++i)
    for (int u : users[static_cast<std::size_t>(order_[i])])
      if (--waiting[static_cast<std::size_t>(u)] == 0) order_.push_back(u);
  if (order_.size() != ln.luts.size()) throw std::invalid_argument("the LUTs form a combinational loop");
}

void LogicSim::setInput(NetId n, bool v) {
  isInput_[static_cast<std::size_t>(n)] = 1;
  input_[static_cast<std::size_t>(n)] = v ? 1 : 0;
}

void LogicSim::setQ(int reg, bool v) { q_[static_cast<std::size_t>(reg)] = v ? 1 : 0; }

bool LogicSim::value(NetId n) const {
  if (isNet(n)) return val_[static_cast<std::size_t>(n)] != 0;
  return n == kNet1;
}

void LogicSim::evaluate() {
  for (std::size_t n = 0; n < val_.size(); ++n) val_[n] = isInput_[n] ? input_[n] : 0;
  for (std::size_t r = 0; r < ln_.regs.size(); ++r)
    if (isNet(ln_.regs[r].q)) val_[static_cast<std::size_t>(ln_.regs[r].q)] = q_[r];
  for (int l : order_) {
    const LogicLut& lut = ln_.luts[static_cast<std::size_t>(l)];
    unsigned k = 0;
    for (std::size_t i = 0; i < lut.in.size(); ++i) k |= (value(lut.in[i]) ? 1u : 0u) << i;
    if (isNet(lut.out)) val_[static_cast<std::size_t>(lut.out)] = (lut.mask >> k) & 1u;
  }
}

void LogicSim::settle() {
  auto active = [&](const Control& c) { return c.present() && value(c.net) == c.activeHigh; };
  std::vector<char> next(q_.size()), clock(q_.size());
  if (!started_) {
    // Power-up: the clocks' first values are no edges.
    started_ = true;
    evaluate();
    for (std::size_t i = 0; i < ln_.regs.size(); ++i) lastClock_[i] = value(ln_.regs[i].clock.net) ? 1 : 0;
  }
  for (int pass = 0; pass < 1000; ++pass) {
    evaluate();
    for (std::size_t i = 0; i < ln_.regs.size(); ++i) {
      const LogicReg& r = ln_.regs[i];
      const bool clk = value(r.clock.net);
      clock[i] = clk ? 1 : 0;
      bool nq = q_[i] != 0;
      const bool fires = r.latch ? active(r.clock) : (clk != (lastClock_[i] != 0) && clk == r.clock.activeHigh);
      if (active(r.asyncClear)) {
        nq = false;
      } else if (active(r.asyncSet)) {
        nq = true;
      } else if (active(r.asyncReset)) {
        nq = r.asyncValue;
      } else if (active(r.asyncLoad)) {
        nq = value(r.asyncData);
      } else if (fires) {
        const bool enabled = !r.enable.present() || active(r.enable);
        if (active(r.syncReset) && (!r.enableOverSync || enabled)) nq = r.syncValue;
        else if (enabled) nq = value(r.d);
      }
      next[i] = nq ? 1 : 0;
    }
    const bool changed = next != q_ || clock != lastClock_;
    q_ = next;
    lastClock_ = clock;
    if (!changed) return;
  }
  throw std::runtime_error("the netlist does not settle");
}

}  // namespace qplace
