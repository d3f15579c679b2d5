// Generated logical netlists of many small control sets.
#include "qplace/logic_gen.h"

#include <algorithm>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace qplace {

namespace {

class Gen {
public:
  explicit Gen(const LogicGenParams& p) : p_(p), rng_(p.seed) {}

  LogicNetlist run() {
    ln_.top = "generated";
    for (int c = 0; c < p_.clocks; ++c) clocks_.push_back(input(p_.clocks == 1 ? "clk" : "clk" + std::to_string(c)));
    rst_ = input("rst");
    arstN_ = input("arst_n");
    for (int i = 0; i < p_.inputs; ++i) pool_.push_back(input("in[" + std::to_string(i) + "]"));
    if (pool_.empty()) pool_.push_back(rst_);

    const int plainRegs = static_cast<int>(p_.plainShare * p_.regs + 0.5);
    int made = 0, plainMade = 0, word = 0;
    std::geometric_distribution<int> extra(1.0 / std::max(1.0, p_.regsPerSet));
    while (made < p_.regs) {
      // LUTs between the words, keeping pace with the registers.
      const long due = static_cast<long>(p_.luts) * made / std::max(1, p_.regs);
      while (static_cast<long>(ln_.luts.size()) < due) pool_.push_back(lut(inputsWanted()));
      const bool plain = plainMade < plainRegs && chance(p_.plainShare);
      int k = std::min({1 + extra(rng_), 64, p_.regs - made});
      if (plain) k = std::min(k, plainRegs - plainMade);
      makeWord(word++, k, plain);
      made += k;
      if (plain) plainMade += k;
    }
    while (static_cast<int>(ln_.luts.size()) < p_.luts) pool_.push_back(lut(inputsWanted()));
    std::uniform_int_distribution<std::size_t> any(0, pool_.size() - 1);
    for (int i = 0; i < p_.outputs; ++i) {
      LogicPort port;
      port.name = "out[" + std::to_string(i) + "]";
      port.net = pool_[any(rng_)];
      port.output = true;
      ln_.ports.push_back(port);
    }
    return std::move(ln_);
  }

private:
  bool chance(double share) { return std::uniform_real_distribution<double>(0, 1)(rng_) < share; }

  NetId input(const std::string& name) {
    LogicPort port;
    port.name = name;
    port.net = ln_.addNet(name, true);
    port.input = true;
    ln_.ports.push_back(port);
    return port.net;
  }

  // A signal made recently (now and then one from anywhere).
  NetId pick() {
    const std::size_t n = pool_.size();
    const std::size_t lo = chance(0.05) ? 0 : n - std::min<std::size_t>(n, static_cast<std::size_t>(std::max(1, p_.window)));
    return pool_[std::uniform_int_distribution<std::size_t>(lo, n - 1)(rng_)];
  }

  int inputsWanted() {
    const double u = std::uniform_real_distribution<double>(0, 1)(rng_);
    return u < 0.4 ? 4 : u < 0.7 ? 3 : u < 0.9 ? 2 : 1;
  }

  // A LUT of n distinct inputs (fewer when the pool is short of signals),
  // the first one `first` when given; returns its output net.
  NetId lut(int n, NetId first = kNoNet) {
    LogicLut l;
    l.name = "lut" + std::to_string(ln_.luts.size());
    if (first != kNoNet) l.in.push_back(first);
    for (int tries = 0; static_cast<int>(l.in.size()) < n && tries < 4 * n; ++tries) {
      const NetId s = pick();
      if (std::find(l.in.begin(), l.in.end(), s) == l.in.end()) l.in.push_back(s);
    }
    const unsigned bits = 1u << l.in.size();
    l.mask = static_cast<std::uint16_t>(rng_() & (bits >= 16 ? 0xffffu : (1u << bits) - 1u));
    l.out = ln_.addNet("$" + l.name);
    ln_.luts.push_back(l);
    return l.out;
  }

  void makeWord(int w, int k, bool plain) {
    const std::string name = "w" + std::to_string(w);
    LogicReg proto;
    proto.clock = Control{clocks_[static_cast<std::size_t>(w) % clocks_.size()], true};
    if (!plain) {
      proto.enable = Control{chance(0.9) ? lut(inputsWanted()) : pick(), chance(0.75)};
      if (chance(p_.syncResetShare)) {
        proto.syncReset = Control{chance(0.5) ? rst_ : lut(2), chance(0.75)};
        proto.syncValue = chance(0.3);
        proto.enableOverSync = chance(0.3);
      }
      if (chance(p_.asyncResetShare)) {
        proto.asyncReset = Control{arstN_, false};
        proto.asyncValue = false;
      }
    }
    NetId previous = kNoNet;
    for (int i = 0; i < k; ++i) {
      LogicReg r = proto;
      r.name = name + ".r" + std::to_string(i);
      r.q = ln_.addNet(name + ".q[" + std::to_string(i) + "]", true);
      if (chance(p_.dLutShare)) {
        r.d = lut(inputsWanted(), chance(p_.feedbackShare) ? r.q : kNoNet);
        if (chance(0.2)) pool_.push_back(r.d);  // a LUT that also feeds other logic
      } else {
        r.d = previous != kNoNet && chance(0.7) ? previous : pick();  // a shift register, or a plain copy
      }
      r.type = "generated";
      ln_.regs.push_back(r);
      pool_.push_back(r.q);
      previous = r.q;
    }
  }

  const LogicGenParams& p_;
  std::mt19937_64 rng_;
  LogicNetlist ln_;
  std::vector<NetId> clocks_, pool_;
  NetId rst_ = kNoNet, arstN_ = kNoNet;
};

}  // namespace

LogicNetlist generateLogic(const LogicGenParams& p) {
  if (p.luts < 0 || p.regs < 0 || p.inputs < 0 || p.outputs < 0)
    throw std::invalid_argument("generateLogic: negative count");
  if (p.clocks < 1) throw std::invalid_argument("generateLogic: no clock");
  if (!(p.regsPerSet >= 1)) throw std::invalid_argument("generateLogic: mean word size below 1");
  return Gen(p).run();
}

}  // namespace qplace
