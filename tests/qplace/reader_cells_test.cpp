// Every cell a generic synthesis leaves, on netlists yosys wrote from the
// Verilog of tests/qplace/data: registers and latches with their controls,
// gates checked against yosys's own LUT mapping of the same logic, and the
// cells that cannot be placed, refused with what to run instead.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>

#include "logic_sim.h"
#include "qplace/netlist_reader.h"
#include "reader_util.h"

namespace {

using qplace::LogicNetlist;
using qplace::LogicReg;
using qplace::NetId;

// A net as a test reads it: its name if visible, else what drives it
// ("lut(a,b)" for a LUT on nets a and b), else its name.
std::string label(const LogicNetlist& ln, NetId net) {
  if (net == qplace::kNet0) return "0";
  if (net == qplace::kNet1) return "1";
  if (!qplace::isNet(net)) return "?";
  const qplace::LogicNet& n = ln.nets[static_cast<std::size_t>(net)];
  if (n.visible) return n.name;
  for (const qplace::LogicLut& l : ln.luts)
    if (l.out == net) {
      std::string s = "lut(";
      for (std::size_t i = 0; i < l.in.size(); ++i) s += (i ? "," : "") + label(ln, l.in[i]);
      return s + ")";
    }
  return n.name;
}

// A register's behaviour in one line: kind and clock, then each control
// present with its net and level (+ high, - low) and value.
std::string summary(const LogicNetlist& ln, const LogicReg& r) {
  auto ctl = [&](const char* what, const qplace::Control& c) {
    return c.present() ? std::string(" ") + what + "=" + label(ln, c.net) + (c.activeHigh ? "+" : "-") : "";
  };
  std::string s = std::string(r.latch ? "latch" : "ff") + ctl(r.latch ? "gate" : "clk", r.clock);
  s += ctl("en", r.enable);
  if (r.syncReset.present()) s += ctl("srst", r.syncReset) + ":" + (r.syncValue ? "1" : "0");
  if (r.enableOverSync) s += " en>srst";
  if (r.asyncReset.present()) s += ctl("arst", r.asyncReset) + ":" + (r.asyncValue ? "1" : "0");
  s += ctl("set", r.asyncSet) + ctl("clr", r.asyncClear) + ctl("load", r.asyncLoad);
  if (r.asyncData != qplace::kNoNet) s += " ad=" + label(ln, r.asyncData);
  s += " d=" + (r.d == qplace::kNoNet ? std::string("-") : label(ln, r.d));
  return s;
}

// The register driving each output port bit.
std::map<std::string, std::string> registersByOutput(const LogicNetlist& ln) {
  std::map<std::string, std::string> out;
  for (const qplace::LogicPort& p : ln.ports)
    for (const LogicReg& r : ln.regs)
      if (p.output && r.q == p.net) out[p.name] = r.type + " " + summary(ln, r);
  return out;
}

TEST(ReaderCells, FlipFlopsOfEveryFamily) {
  const LogicNetlist ln = readDataNetlist("regs.json");
  const std::map<std::string, std::string> expected = {
      {"q[0]", "$_DFF_PN0_ ff clk=clk+ arst=rst_n-:0 d=d[0]"},
      {"q[1]", "$_DFF_PP1_ ff clk=clk+ arst=rst+:1 d=d[1]"},
      {"q[2]", "$_DFFE_NP0P_ ff clk=clk- en=en+ arst=rst+:0 d=d[2]"},
      {"q[3]", "$_DFFE_PN1N_ ff clk=clk+ en=en- arst=rst_n-:1 d=d[3]"},
      // the set yields to the clear through a LUT: set & !clr
      {"q[4]", "$_DFFSR_PPP_ ff clk=clk+ set=lut(clr,set)+ clr=clr+ d=d[4]"},
      {"q[5]", "$_DFFSRE_NPPP_ ff clk=clk- en=en+ set=lut(set,clr)+ clr=clr+ d=d[5]"},
      {"q[6]", "$_ALDFF_PP_ ff clk=clk+ load=ld+ ad=ad[0] d=d[6]"},
      {"q[7]", "$_ALDFFE_PNP_ ff clk=clk+ en=en+ load=ld- ad=ad[1] d=d[7]"},
      {"q[8]", "$_SDFF_PP1_ ff clk=clk+ srst=rst+:1 d=lut(d[1],d[0])"},
      {"q[9]", "$_SDFFE_PN0P_ ff clk=clk+ en=en+ srst=rst_n-:0 d=lut(d[3],d[2])"},
      {"q[10]", "$_SDFFCE_PP0P_ ff clk=clk+ en=en+ srst=rst+:0 en>srst d=d[4]"},
      {"q[11]", "$_DFF_P_ ff clk=clk+ d=lut(d[6],d[5])"},
  };
  EXPECT_EQ(registersByOutput(ln), expected);

  // Control sets: the key tells every difference in kind, net, level or
  // value; the data inputs are no part of it.
  std::map<qplace::ControlKey, int> sets;
  for (const LogicReg& r : ln.regs) ++sets[qplace::controlKey(r)];
  EXPECT_EQ(sets.size(), ln.regs.size());

  standin::Design d;
  const qplace::Netlist nl = qplace::buildDesign(ln, d);
  EXPECT_EQ(nl.controlSets, 12);
  EXPECT_EQ(nl.unplacedPortBits, 4);  // q[15:12]
  ASSERT_EQ(nl.clocks.size(), 1u);
  EXPECT_EQ(nl.clocks[0]->name, "clk");
  // Pins of the one-line controls, the second set/reset and the load.
  auto pin = [&](const char* q, int p) {
    for (std::size_t k = 0; k < ln.regs.size(); ++k)
      for (const qplace::LogicPort& port : ln.ports)
        if (port.name == q && ln.regs[k].q == port.net) {
          const standin::Signal* s = nl.regs[k]->signals[static_cast<std::size_t>(p)];
          return s == nullptr ? std::string("-") : s->name;
        }
    return std::string("no register");
  };
  EXPECT_EQ(pin("q[0]", designgen::REG_SR), "rst_n");
  EXPECT_EQ(pin("q[3]", designgen::REG_CE), "en");
  EXPECT_EQ(pin("q[4]", designgen::REG_SR), "clr");
  EXPECT_NE(pin("q[4]", designgen::REG_SR2), "-");
  EXPECT_EQ(pin("q[7]", designgen::REG_AL), "ld");
  EXPECT_EQ(pin("q[7]", designgen::REG_AD), "ad[1]");
  EXPECT_EQ(pin("q[7]", designgen::REG_SR), "-");
  EXPECT_EQ(pin("q[9]", designgen::REG_SR), "rst_n");
  EXPECT_EQ(pin("q[11]", designgen::REG_SR), "-");
  int falling = 0;
  for (char f : nl.regFalling) falling += f;
  EXPECT_EQ(falling, 2);  // q[2], q[5]
}

TEST(ReaderCells, LatchesOfEveryFamily) {
  const LogicNetlist ln = readDataNetlist("latches.json");
  const std::map<std::string, std::string> expected = {
      {"q[0]", "$_DLATCH_P_ latch gate=g+ d=d[0]"},
      {"q[1]", "$_DLATCH_N_ latch gate=gn- d=d[1]"},
      {"q[2]", "$_DLATCH_PP0_ latch gate=g+ arst=rst+:0 d=d[2]"},
      {"q[3]", "$_DLATCH_NN1_ latch gate=gn- arst=rst-:1 d=d[3]"},
      {"q[4]", "$_DLATCHSR_PPN_ latch gate=g+ set=set+ clr=clr- d=d[4]"},
      // no gate: stuck closed, set and clear only
      {"q[5]", "$_SR_PN_ latch gate=0+ set=set+ clr=clr- d=-"},
      // a set tied off: yosys made it a latch with reset
      {"q[6]", "$_DLATCH_NP0_ latch gate=gn- arst=clr+:0 d=d[5]"},
  };
  EXPECT_EQ(registersByOutput(ln), expected);
  standin::Design d;
  const qplace::Netlist nl = qplace::buildDesign(ln, d);
  EXPECT_EQ(nl.regLatch, std::vector<char>(7, 1));
  int low = 0;
  for (char f : nl.regFalling) low += f;
  EXPECT_EQ(low, 3);
  // Both gates are clocks; the stuck gate of $_SR_ connects nothing.
  ASSERT_EQ(nl.clocks.size(), 2u);
  EXPECT_EQ(nl.clocks[0]->name, "g");
  EXPECT_EQ(nl.clocks[1]->name, "gn");
}

// Controls stuck where they do nothing are dropped; a set or clear alone,
// and a load of a constant, become an asynchronous reset.
TEST(ReaderCells, StuckControlsAndOneSidedSetClear) {
  const std::string json = R"({"modules": {"m": {
    "ports": {"c": {"direction": "input", "bits": [2]}, "s": {"direction": "input", "bits": [3]},
              "d": {"direction": "input", "bits": [4]}},
    "netnames": {"c": {"bits": [2]}, "s": {"bits": [3]}, "d": {"bits": [4]}},
    "cells": {
      "a": {"type": "$_DFFSR_PPN_", "connections": {"C": [2], "S": ["0"], "R": [3], "D": [4], "Q": [10]}},
      "b": {"type": "$_DFFSRE_PNPN_", "connections": {"C": [2], "S": [3], "R": ["0"], "E": ["1"], "D": [4], "Q": [11]}},
      "c": {"type": "$_ALDFF_PN_", "connections": {"C": [2], "L": [3], "AD": ["1"], "D": [4], "Q": [12]}},
      "e": {"type": "$_ALDFFE_PPP_", "connections": {"C": [2], "L": ["0"], "AD": [3], "E": ["1"], "D": [4], "Q": [13]}},
      "f": {"type": "$_DFFSR_PPP_", "connections": {"C": [2], "S": ["1"], "R": [3], "D": [4], "Q": [14]}},
      "g": {"type": "$_SDFFCE_PP1P_", "connections": {"C": [2], "R": [3], "E": ["1"], "D": [4], "Q": [15]}}
    }}}})";
  const LogicNetlist ln = qplace::readLogicNetlistText(json, "stuck.json");
  ASSERT_EQ(ln.regs.size(), 6u);
  EXPECT_EQ(summary(ln, ln.regs[0]), "ff clk=c+ arst=s-:0 d=d");
  // an enable stuck inactive stays: the register holds
  EXPECT_EQ(summary(ln, ln.regs[1]), "ff clk=c+ en=1- arst=s-:1 d=d");
  EXPECT_EQ(summary(ln, ln.regs[2]), "ff clk=c+ arst=s-:1 d=d");
  EXPECT_EQ(summary(ln, ln.regs[3]), "ff clk=c+ d=d");
  // a set stuck active stays beside the clear
  EXPECT_EQ(summary(ln, ln.regs[4]), "ff clk=c+ set=1+ clr=s+ d=d");
  EXPECT_EQ(summary(ln, ln.regs[5]), "ff clk=c+ srst=s+:1 d=d");
  EXPECT_EQ(ln.regs[3].type, "$_ALDFFE_PPP_");
  // Equal behaviour, one control set: a ($_DFFSR_ with the set tied off)
  // and a $_DFF_PN0_ on the same nets.
  std::string same = json;
  same.replace(same.find("$_DFFSR_PPN_"), 12, "$_DFF_PN0_");
  same.replace(same.find("\"S\": [\"0\"], "), 12, "");
  const LogicReg r = qplace::readLogicNetlistText(same, "plain.json").regs[0];
  EXPECT_EQ(r.type, "$_DFF_PN0_");
  EXPECT_EQ(qplace::controlKey(r), qplace::controlKey(ln.regs[0]));
}

// Both netlists give the same outputs on every input vector (`vectors`
// random ones when there are more).
void expectSameLogic(const LogicNetlist& a, const LogicNetlist& b, int vectors) {
  std::vector<std::string> in;
  for (const qplace::LogicPort& p : a.ports)
    if (p.input) in.push_back(p.name);
  const bool all = in.size() < 31 && (1 << in.size()) <= vectors;
  const long n = all ? 1L << in.size() : vectors;
  std::mt19937 rng(7);
  qplace::LogicSim sa(a), sb(b);
  // Each netlist's port bits by name, inputs set and outputs read alike.
  auto apply = [](qplace::LogicSim& s, const LogicNetlist& ln, const std::map<std::string, bool>& vals) {
    for (const qplace::LogicPort& p : ln.ports)
      if (p.input && qplace::isNet(p.net)) s.setInput(p.net, vals.at(p.name));
    s.settle();
    std::map<std::string, bool> out;
    for (const qplace::LogicPort& p : ln.ports)
      if (p.output) out[p.name] = s.value(p.net);
    return out;
  };
  for (long k = 0; k < n; ++k) {
    std::map<std::string, bool> vals;
    const std::uint32_t bits = all ? static_cast<std::uint32_t>(k) : rng();
    for (std::size_t i = 0; i < in.size(); ++i) vals[in[i]] = ((bits >> (i % 32)) & 1u) != 0;
    ASSERT_EQ(apply(sa, a, vals), apply(sb, b, vals)) << "input vector " << bits;
  }
}

TEST(ReaderCells, GatesComputeWhatYosysMapsThemTo) {
  const LogicNetlist gates = readDataNetlist("gates.json");
  // 16 simple gates, trees of 3, 7 and 15 multiplexers.
  EXPECT_EQ(gates.luts.size(), 16u + 3 + 7 + 15);
  EXPECT_TRUE(gates.regs.empty());
  expectSameLogic(gates, readDataNetlist("gates_lut.json"), 3000);
  // The tree's root keeps the cell's name.
  int named = 0;
  for (const qplace::LogicLut& l : gates.luts) named += l.name == "g18";
  EXPECT_EQ(named, 1);

  const LogicNetlist alu = readDataNetlist("alu_gates.json");
  expectSameLogic(alu, readDataNetlist("alu_lut.json"), 1 << 9);
}

// What cannot be placed: every type with its count and what to run.
TEST(ReaderCells, RefusedCellsSayWhatToRun) {
  EXPECT_EQ(errorOf(readData("memory.json")),
            "bad.json: cells that cannot be placed: $alu (1), $dff (1), $mux (3): word-level cells; map them with "
            "\"synth -flatten; abc -lut 4\" (what synth leaves, as some powers, write otherwise in the source); "
            "$mem_v2 (1): memories; map them to registers and logic with "
            "\"memory_map\" before \"abc -lut 4\"");
  EXPECT_EQ(errorOf(readData("tribuf.json")),
            "bad.json: cells that cannot be placed: $_TBUF_ (1): tristate buffers; turn them into logic with "
            "\"tribuf -logic\", those that drive a port with \"tribuf -formal\"");
  EXPECT_EQ(errorOf(readData("hier.json")),
            "bad.json: cells that cannot be placed: sub (2): instances of other modules of the netlist; flatten "
            "them with \"synth -flatten\"");
  EXPECT_EQ(errorOf(R"({"modules": {"m": {"cells": {
      "a": {"type": "bb", "connections": {}}, "b": {"type": "ext", "connections": {}},
      "c": {"type": "$_FF_", "connections": {}}, "d": {"type": "$_DFF_Q_", "connections": {}},
      "e": {"type": "$scopeinfo", "connections": {}}}},
    "bb": {"attributes": {"blackbox": "00000000000000000000000000000001"}}}})",
                    [] {
                      qplace::ReadOptions o;
                      o.top = "m";
                      return o;
                    }()),
            "bad.json: cells that cannot be placed: bb (1): black boxes, modules without logic; give yosys their "
            "logic and run \"synth -flatten\"; ext (1): instances of modules the netlist does not hold; give yosys "
            "their logic and run \"synth -flatten\"; $_FF_ (1): registers on the implicit global clock; give them "
            "a clock signal (a latch that async2sync made one of: leave latches to qplace, without async2sync); "
            "$_DFF_Q_ (1): unknown gate-level cells");
}

}  // namespace
