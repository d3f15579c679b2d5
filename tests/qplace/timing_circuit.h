// Circuits for the timing tests: small hand-made ones, components at
// chosen unit positions, nets, a clock, and the analysis over them with
// round delay figures on the plain grid's table; and a generated one on a
// device with routing.
#ifndef QPLACE_TESTS_TIMING_CIRCUIT_H
#define QPLACE_TESTS_TIMING_CIRCUIT_H

#include <map>
#include <random>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host/standin/gen/designgen.h"
#include "qplace/timing/analysis.h"

namespace timing_test {

// Figures that make hand sums easy: routing is 10 a wire crossed (the
// plain grid, no pin or switch delay), so (dx, dy) costs 10 (dx + 1), plus
// 10 (dy + 1) when both are non-zero; dy alone costs 10 (dy + 1).
inline qplace::DelayModel roundFigures() {
  qplace::DelayModel m;
  m.lut = 100;
  m.clockToQ = 50;
  m.setup = 20;
  m.ble = 5;
  m.local = 7;
  m.ioIn = 30;
  m.ioOut = 40;
  m.outPin = 0;
  m.inPin = 0;
  m.wireH = 10;
  m.wireV = 10;
  m.wireLong = 10;
  m.switchBox = 0;
  return m;
}

struct Circuit {
  standin::Design d;
  designgen::Prims prims = designgen::addPrims(d);
  std::map<standin::Comp*, std::pair<double, double>> at;
  std::vector<std::uint8_t> flags;  // by component id

  standin::Comp* lut(const std::string& name, double x, double y) { return put(designgen::addLut(d, prims, name), x, y); }
  standin::Comp* reg(const std::string& name, double x, double y, std::uint8_t f = 0) {
    standin::Comp* c = put(designgen::addReg(d, prims, name), x, y);
    flags.resize(d.comps.size(), 0);
    flags[static_cast<std::size_t>(c->id)] = f;
    return c;
  }
  standin::Comp* io(const std::string& name, double x, double y) { return put(designgen::addIo(d, prims, name), x, y); }

  // A net from one driver pin to loads (component, pin).
  standin::Signal* net(const std::string& name, standin::Comp* driver, int pin,
                       const std::vector<std::pair<standin::Comp*, int>>& loads) {
    standin::Signal* s = d.addSignal(name);
    d.addDriver(s, driver, pin);
    for (const auto& [c, p] : loads) d.addLoad(s, c, p);
    return s;
  }
  // A clock net from an I/O pad to registers' CK pins.
  standin::Signal* clock(const std::string& name, const std::vector<standin::Comp*>& regs) {
    standin::Signal* s = d.addSignal(name);
    s->clocks = standin::Signal::CLK1;
    d.addDriver(s, designgen::addIo(d, prims, name + "_pad"), designgen::IO_O);
    for (standin::Comp* r : regs) d.addLoad(s, r, designgen::REG_CK);
    return s;
  }

  // Packs, builds the graph and an analysis on a rows x cols plain grid,
  // and places every unit at its component's position (I/O pads of clocks
  // at (1, 1)).
  void build(int rows = 8, int cols = 8, qplace::DelayModel figures = roundFigures()) {
    model = std::make_unique<qplace::Model>(qplace::packDesign(d));
    flags.resize(d.comps.size(), 0);
    graph = std::make_unique<qplace::TimingGraph>(qplace::buildTimingGraph(d, *model, flags));
    table = std::make_unique<qplace::DelayTable>(qplace::DelayTable::plainGrid(rows, cols, figures));
    analysis = std::make_unique<qplace::TimingAnalysis>(*graph, *model, *table, figures);
    std::vector<double> x(static_cast<std::size_t>(model->numUnits()), 1), y = x;
    for (const auto& [c, pos] : at) {
      const int u = unit(c);
      x[static_cast<std::size_t>(u)] = pos.first;
      y[static_cast<std::size_t>(u)] = pos.second;
    }
    analysis->setPositions(x, y);
  }

  int unit(const standin::Comp* c) const { return model->unitOfComp[static_cast<std::size_t>(c->id)]; }
  int out(const standin::Comp* c) const { return graph->outNode[static_cast<std::size_t>(c->id)]; }
  int in(const standin::Comp* c) const { return graph->inNode[static_cast<std::size_t>(c->id)]; }
  // The edge into `load`'s pin.
  int edgeInto(const standin::Comp* load, int pin) const {
    for (int e = 0; e < graph->numEdges(); ++e)
      if (graph->comp[static_cast<std::size_t>(graph->to[static_cast<std::size_t>(e)])] == load &&
          graph->pin[static_cast<std::size_t>(e)] == pin)
        return e;
    return -1;
  }

  std::unique_ptr<qplace::Model> model;
  std::unique_ptr<qplace::TimingGraph> graph;
  std::unique_ptr<qplace::DelayTable> table;
  std::unique_ptr<qplace::TimingAnalysis> analysis;

private:
  standin::Comp* put(standin::Comp* c, double x, double y) {
    at[c] = {x, y};
    return c;
  }
};

// A generated design of 3000 components on a device with routing (four
// tracks, two of them long), a third of its registers falling (drawn with
// `seed`), its timing graph and table, and each unit at the position of
// the generator's placement.
struct Generated {
  standin::Design d;
  designgen::Generated gen;
  qplace::Model m;
  qplace::TimingGraph g;
  qplace::DelayModel dm;
  qplace::DelayTable table;
  std::vector<double> x, y;
  std::mt19937_64 rng;  // drawn from for the registers' edges, to go on with

  explicit Generated(std::uint64_t seed) : rng(seed) {
    designgen::Params p;
    p.components = 3000;
    p.device.routing = true;
    p.device.tracks = 4;
    p.device.longTracks = 2;
    gen = designgen::generate(d, p);
    m = qplace::packDesign(d);
    std::vector<std::uint8_t> flags(d.comps.size(), 0);
    for (standin::Comp* r : gen.regs) flags[static_cast<std::size_t>(r->id)] = rng() % 3 == 0 ? qplace::REG_FALLING : 0;
    g = qplace::buildTimingGraph(d, m, flags);
    table = qplace::DelayTable::fromDevice(d.phy.graph, gen.device, dm);
    for (int u = 0; u < m.numUnits(); ++u) {
      const standin::Comp* comp = m.lut[u] != nullptr ? m.lut[u] : m.reg[u] != nullptr ? m.reg[u] : m.io[u];
      x.push_back(comp->site->col);
      y.push_back(comp->site->row);
    }
  }
};

}  // namespace timing_test

#endif
