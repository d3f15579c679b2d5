// Small logical netlists written by hand in tests.
#ifndef QPLACE_TESTS_LOGIC_BUILDER_H
#define QPLACE_TESTS_LOGIC_BUILDER_H

#include <string>
#include <vector>

#include "qplace/logic_netlist.h"

namespace qplace {

struct LogicBuilder {
  LogicNetlist ln;

  NetId input(const std::string& name) {
    const NetId n = ln.addNet(name, true);
    ln.ports.push_back(LogicPort{name, n, true, false});
    return n;
  }
  void output(const std::string& name, NetId n) { ln.ports.push_back(LogicPort{name, n, false, true}); }
  NetId net(const std::string& name) { return ln.addNet(name, true); }
  // A LUT over `in` with `mask`; returns its output net.
  NetId lut(const std::string& name, std::vector<NetId> in, unsigned mask) {
    LogicLut l;
    l.name = name;
    l.in = std::move(in);
    l.mask = static_cast<std::uint16_t>(mask);
    l.out = ln.addNet(name + ".o");
    ln.luts.push_back(l);
    return l.out;
  }
  // A rising-edge flip-flop; returns it for its controls to be set. Its Q
  // is a new net unless `q` is given.
  LogicReg& reg(const std::string& name, NetId d, NetId clk, NetId q = kNoNet) {
    LogicReg r;
    r.name = name;
    r.type = "$_DFF_P_";
    r.d = d;
    r.q = q != kNoNet ? q : ln.addNet(name + ".q", true);
    r.clock = Control{clk, true};
    ln.regs.push_back(r);
    return ln.regs.back();
  }
  int lastReg() const { return static_cast<int>(ln.regs.size()) - 1; }
};

}  // namespace qplace

#endif
