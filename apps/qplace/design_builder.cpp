// The second step of reading: a LogicNetlist becomes components, signals
// and register control records of a stand-in design.
#include <algorithm>
#include <map>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "qplace/names.h"
#include "qplace/netlist_reader.h"

namespace qplace {

namespace {

// Pin counts of one net, by who is on it.
struct NetUse {
  int cellDrivers = 0, cellLoads = 0;
  int inPorts = 0, outPorts = 0, ioPorts = 0;
  int compPins = 0;  // component pins of the design
};

// The set/reset controls of a register in the order they take SR and SR2.
std::vector<const Control*> setResets(const LogicReg& r) {
  std::vector<const Control*> out;
  for (const Control* c : {&r.asyncReset, &r.asyncClear, &r.asyncSet, &r.syncReset})
    if (c->present()) out.push_back(c);
  return out;
}

void validate(const LogicNetlist& ln) {
  const int n = ln.numNets();
  auto check = [&](NetId net, const std::string& what) {
    if (net >= n || net < kNoNet)
      throw std::invalid_argument("buildDesign: " + what + " has net " + std::to_string(net) + " of " +
                                  std::to_string(n));
  };
  for (const LogicLut& l : ln.luts) {
    if (l.in.size() > 4) throw std::invalid_argument("buildDesign: LUT " + l.name + " has more than 4 inputs");
    for (NetId net : l.in) check(net, "LUT " + l.name);
    check(l.out, "LUT " + l.name);
  }
  for (const LogicReg& r : ln.regs) {
    for (NetId net : {r.d, r.q, r.asyncData, r.clock.net, r.enable.net, r.syncReset.net, r.asyncReset.net,
                      r.asyncSet.net, r.asyncClear.net, r.asyncLoad.net})
      check(net, "register " + r.name);
    if (setResets(r).size() > 2)
      throw std::invalid_argument("buildDesign: register " + r.name + " has more than two set/reset controls");
  }
  for (const LogicPort& p : ln.ports) check(p.net, "port " + p.name);
}

// Whether a port bit gets an I/O component: bound to a net that something
// else is on (an input: something that reads it; an output: something that
// drives it).
bool portPlaced(const LogicPort& p, const NetUse& u) {
  if (!isNet(p.net)) return false;
  if (p.input && p.output)
    return u.cellDrivers + u.cellLoads + u.inPorts + u.outPorts + u.ioPorts > 1;
  if (p.input) return u.cellLoads + u.outPorts + u.ioPorts > 0;
  return u.cellDrivers + u.inPorts + u.ioPorts > 0;
}

}  // namespace

Netlist buildDesign(const LogicNetlist& ln, standin::Design& d) {
  validate(ln);
  const std::size_t numNets = ln.nets.size();
  std::vector<NetUse> use(numNets);
  auto at = [&](NetId net) -> NetUse* { return isNet(net) ? &use[static_cast<std::size_t>(net)] : nullptr; };
  for (const LogicPort& p : ln.ports)
    if (NetUse* u = at(p.net)) ++(p.input && p.output ? u->ioPorts : p.input ? u->inPorts : u->outPorts);
  for (const LogicLut& l : ln.luts) {
    if (NetUse* u = at(l.out)) ++u->cellDrivers;
    for (NetId net : l.in)
      if (NetUse* u = at(net)) ++u->cellLoads;
  }
  for (const LogicReg& r : ln.regs) {
    if (NetUse* u = at(r.q)) ++u->cellDrivers;
    for (NetId net : {r.d, r.asyncData, r.clock.net, r.enable.net, r.syncReset.net, r.asyncReset.net, r.asyncSet.net,
                      r.asyncClear.net, r.asyncLoad.net})
      if (NetUse* u = at(net)) ++u->cellLoads;
  }

  Netlist out;
  std::vector<char> placed(ln.ports.size());
  for (std::size_t k = 0; k < ln.ports.size(); ++k) {
    const LogicPort& p = ln.ports[k];
    placed[k] = portPlaced(p, isNet(p.net) ? use[static_cast<std::size_t>(p.net)] : NetUse{});
    if (!placed[k]) {
      ++out.unplacedPortBits;
      continue;
    }
    NetUse& u = use[static_cast<std::size_t>(p.net)];
    u.compPins += p.input && p.output ? 2 : 1;
  }
  for (std::size_t k = 0; k < numNets; ++k) use[k].compPins += use[k].cellDrivers + use[k].cellLoads;

  // ---- nothing below throws but for running out of memory
  out.prims = designgen::addPrims(d);
  UniqueNames signalNames, compNames;
  out.signals.assign(numNets, nullptr);
  for (std::size_t k = 0; k < numNets; ++k) {
    if (use[k].compPins == 0) continue;
    bool changed = false;
    const std::string name = signalNames.give(ln.nets[k].name, changed);
    if (changed) out.renamedSignals.emplace_back(name, ln.nets[k].name);
    out.signals[k] = d.addSignal(name);
  }
  auto named = [&](const std::string& raw) {
    bool changed = false;
    std::string name = compNames.give(raw, changed);
    if (changed) out.renamed.emplace_back(name, raw);
    return name;
  };
  out.portComps.assign(ln.ports.size(), nullptr);
  for (std::size_t k = 0; k < ln.ports.size(); ++k)
    if (placed[k]) out.ios.push_back(out.portComps[k] = designgen::addIo(d, out.prims, named(ln.ports[k].name)));
  for (const LogicLut& l : ln.luts) out.luts.push_back(designgen::addLut(d, out.prims, named(l.name)));
  for (const LogicReg& r : ln.regs) out.regs.push_back(designgen::addReg(d, out.prims, named(r.name)));

  // Drivers first: a driver added after loads moves them all.
  auto drive = [&](NetId net, standin::Comp* c, int pin) {
    if (isNet(net)) d.addDriver(out.signals[static_cast<std::size_t>(net)], c, pin);
  };
  auto load = [&](NetId net, standin::Comp* c, int pin) {
    if (isNet(net)) d.addLoad(out.signals[static_cast<std::size_t>(net)], c, pin);
  };
  std::size_t io = 0;
  for (std::size_t k = 0; k < ln.ports.size(); ++k)
    if (placed[k] && ln.ports[k].input) drive(ln.ports[k].net, out.ios[io++], designgen::IO_O);
    else if (placed[k]) ++io;
  for (std::size_t k = 0; k < ln.luts.size(); ++k) drive(ln.luts[k].out, out.luts[k], designgen::LUT_Z);
  for (std::size_t k = 0; k < ln.regs.size(); ++k) drive(ln.regs[k].q, out.regs[k], designgen::REG_Q);
  io = 0;
  for (std::size_t k = 0; k < ln.ports.size(); ++k) {
    if (!placed[k]) continue;
    if (ln.ports[k].output) load(ln.ports[k].net, out.ios[io], designgen::IO_I);
    ++io;
  }
  for (std::size_t k = 0; k < ln.luts.size(); ++k)
    for (std::size_t i = 0; i < ln.luts[k].in.size(); ++i) load(ln.luts[k].in[i], out.luts[k], static_cast<int>(i));

  std::map<ControlKey, std::vector<standin::Comp*>> ctrlSets;
  std::vector<char> isClock(numNets);
  for (std::size_t k = 0; k < ln.regs.size(); ++k) {
    const LogicReg& r = ln.regs[k];
    standin::Comp* reg = out.regs[k];
    load(r.d, reg, designgen::REG_D);
    load(r.clock.net, reg, designgen::REG_CK);
    load(r.enable.net, reg, designgen::REG_CE);
    const std::vector<const Control*> sr = setResets(r);
    if (!sr.empty()) load(sr[0]->net, reg, designgen::REG_SR);
    if (sr.size() > 1) load(sr[1]->net, reg, designgen::REG_SR2);
    load(r.asyncLoad.net, reg, designgen::REG_AL);
    load(r.asyncData, reg, designgen::REG_AD);
    if (isNet(r.clock.net)) isClock[static_cast<std::size_t>(r.clock.net)] = 1;
    ctrlSets[controlKey(r)].push_back(reg);
    out.regLatch.push_back(r.latch ? 1 : 0);
    out.regFalling.push_back(r.clock.present() && !r.clock.activeHigh ? 1 : 0);
  }
  for (auto& [key, regs] : ctrlSets) {
    UP_REGCTRL* rc = d.addRegCtrl(static_cast<int>(regs.size()));
    for (standin::Comp* reg : regs) reg->regctrl = rc;
  }
  out.controlSets = static_cast<int>(ctrlSets.size());
  for (std::size_t k = 0; k < numNets; ++k)
    if (isClock[k]) {
      out.signals[k]->clocks |= standin::Signal::CLK1;
      out.clocks.push_back(out.signals[k]);
    }
  return out;
}

Netlist readNetlistFile(const std::string& path, standin::Design& d, const ReadOptions& opt) {
  return buildDesign(readLogicNetlistFile(path, opt), d);
}

Netlist readNetlistFile(const std::string& path, standin::Design& d) { return readNetlistFile(path, d, ReadOptions{}); }

Netlist readNetlistText(const std::string& text, const std::string& source, standin::Design& d,
                        const ReadOptions& opt) {
  return buildDesign(readLogicNetlistText(text, source, opt), d);
}

Netlist readNetlistText(const std::string& text, const std::string& source, standin::Design& d) {
  return readNetlistText(text, source, d, ReadOptions{});
}

std::string nameMapJson(const Netlist& nl) {
  nlohmann::ordered_json doc;
  doc["components"] = nlohmann::ordered_json::object();
  doc["signals"] = nlohmann::ordered_json::object();
  for (const auto& [given, original] : nl.renamed) doc["components"][given] = original;
  for (const auto& [given, original] : nl.renamedSignals) doc["signals"][given] = original;
  return doc.dump(1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace qplace
