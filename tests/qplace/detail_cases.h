// Small made-up designs on which a detailed improvement is easily led
// astray: a long register chain, one net with thousands of loads, and
// pieces that share nothing. Every register has one control set, clocked
// from a port of its own.
#ifndef QPLACE_TESTS_DETAIL_CASES_H
#define QPLACE_TESTS_DETAIL_CASES_H

#include <string>

#include "host/standin/gen/designgen.h"

namespace cases {

struct Builder {
  standin::Design& d;
  designgen::Prims pr;
  standin::Signal* clk;
  UP_REGCTRL* ctrl;
  int names = 0;

  Builder(standin::Design& design, int regs) : d(design), pr(designgen::addPrims(design)) {
    clk = d.addSignal("clk");
    clk->clocks = standin::Signal::CLK1;
    d.addDriver(clk, designgen::addIo(d, pr, "clkpad"), designgen::IO_O);
    ctrl = d.addRegCtrl(regs);
  }
  std::string name(const char* prefix) { return prefix + std::to_string(names++); }
  // A net from `from`'s pin `pin` (a new net when it has none).
  standin::Signal* out(standin::Comp* from, int pin) {
    standin::Signal* s = from->signals[pin];
    if (s != nullptr) return s;
    s = d.addSignal(name("n"));
    d.addDriver(s, from, pin);
    return s;
  }
  standin::Comp* input() { return designgen::addIo(d, pr, name("in")); }
  void output(standin::Comp* from, int pin) { d.addLoad(out(from, pin), designgen::addIo(d, pr, name("out")), designgen::IO_I); }
  // A register whose D input is `from`'s pin `pin`.
  standin::Comp* reg(standin::Comp* from, int pin) {
    standin::Comp* r = designgen::addReg(d, pr, name("r"));
    r->regctrl = ctrl;
    d.addLoad(clk, r, designgen::REG_CK);
    d.addLoad(out(from, pin), r, designgen::REG_D);
    return r;
  }
  // A LUT reading the given outputs.
  standin::Comp* lut(std::initializer_list<std::pair<standin::Comp*, int>> ins) {
    standin::Comp* l = designgen::addLut(d, pr, name("l"));
    int k = 0;
    for (auto [from, pin] : ins) d.addLoad(out(from, pin), l, k++);
    return l;
  }
};

// An input port, `stages` registers in a row, an output port.
inline void registerChain(standin::Design& d, int stages) {
  Builder b(d, stages);
  standin::Comp* at = b.input();
  int pin = designgen::IO_O;
  for (int k = 0; k < stages; ++k) {
    at = b.reg(at, pin);
    pin = designgen::REG_Q;
  }
  b.output(at, pin);
}

// One input port driving `loads` LUTs, each of which also reads the
// register of the LUT before it and drives a register of its own (a chain
// of LUT+register pairs); the last register drives an output port.
inline void wideFanout(standin::Design& d, int loads) {
  Builder b(d, loads);
  standin::Comp* wide = b.input();
  standin::Comp* prev = b.input();
  int pin = designgen::IO_O;
  for (int k = 0; k < loads; ++k) {
    standin::Comp* l = b.lut({{wide, designgen::IO_O}, {prev, pin}});
    prev = b.reg(l, designgen::LUT_Z);
    pin = designgen::REG_Q;
  }
  b.output(prev, pin);
}

// `pieces` copies of a short pipeline that share only the clock: an input
// port, a LUT, a register, a LUT reading both, a register, an output port.
inline void disjointPieces(standin::Design& d, int pieces) {
  Builder b(d, 2 * pieces);
  for (int k = 0; k < pieces; ++k) {
    standin::Comp* in = b.input();
    standin::Comp* l0 = b.lut({{in, designgen::IO_O}});
    standin::Comp* r0 = b.reg(l0, designgen::LUT_Z);
    standin::Comp* l1 = b.lut({{r0, designgen::REG_Q}, {in, designgen::IO_O}});
    standin::Comp* r1 = b.reg(l1, designgen::LUT_Z);
    b.output(r1, designgen::REG_Q);
  }
}

}  // namespace cases

#endif
