// The constraint file on any text, resolved against a small fixed design on
// a 3 x 3 device. A refusal must name the file and a line of the text; a
// file that resolves must give rules a placement can take: fixed units on
// places that fit (no two on one slot, one control set a register group,
// one port bit a site), each allowed where it is fixed, region-bound units
// allowed somewhere in their rectangle. Each pair of lines is also matched
// as a pattern and a name, against a plain model of the glob.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "qplace/constraints.h"
#include "qplace/fabric.h"
#include "qplace/netlist_reader.h"
#include "qplace/placement_rules.h"
#include "text_input.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

// Cells l0..l5 (l5 feeds r3 alone: a pair), registers r0..r3 of two
// control sets, port bits a, b[0], b[1] (b[1] tied to a constant: no site), y.
const char* const kNetlist = R"({"modules": {"m": {
  "ports": {"a": {"direction": "input", "bits": [2]}, "b": {"direction": "input", "bits": [3, "0"]},
            "clk": {"direction": "input", "bits": [4]}, "en": {"direction": "input", "bits": [5]},
            "y": {"direction": "output", "bits": [20]}},
  "cells": {
    "l0": {"type": "$lut", "parameters": {"LUT": "10"}, "connections": {"A": [2], "Y": [10]}},
    "l1": {"type": "$lut", "parameters": {"LUT": "10"}, "connections": {"A": [3], "Y": [11]}},
    "l2": {"type": "$lut", "parameters": {"LUT": "0110"}, "connections": {"A": [10, 11], "Y": [12]}},
    "l3": {"type": "$lut", "parameters": {"LUT": "0110"}, "connections": {"A": [12, 30], "Y": [13]}},
    "l4": {"type": "$lut", "parameters": {"LUT": "0110"}, "connections": {"A": [31, 32], "Y": [20]}},
    "l5": {"type": "$lut", "parameters": {"LUT": "10"}, "connections": {"A": [13], "Y": [14]}},
    "r0": {"type": "$_DFF_P_", "connections": {"C": [4], "D": [12], "Q": [30]}},
    "r1": {"type": "$_DFF_P_", "connections": {"C": [4], "D": [13], "Q": [31]}},
    "r2": {"type": "$_DFFE_PP_", "connections": {"C": [4], "E": [5], "D": [10], "Q": [32]}},
    "r3": {"type": "$_DFFE_PP_", "connections": {"C": [4], "E": [5], "D": [14], "Q": [33]}}
  }}}})";

struct Fixed {
  standin::Design d;
  qplace::Netlist nl;
  qplace::Model m;
  qplace::Fabric f;
  std::vector<std::string> withoutIo;
  Fixed() {
    const qplace::LogicNetlist ln = qplace::readLogicNetlistText(kNetlist, "m.json");
    nl = qplace::buildDesign(ln, d);
    m = qplace::packDesign(d);
    f = qplace::makeFabric(d, m, 0.7, 3, 3, false);
    for (std::size_t k = 0; k < ln.ports.size(); ++k)
      if (nl.portComps[k] == nullptr) withoutIo.push_back(ln.ports[k].name);
  }
};

// Whether `name` matches `pattern`: the table of which prefixes match.
bool modelGlob(const std::string& p, const std::string& n) {
  std::vector<std::vector<char>> t(p.size() + 1, std::vector<char>(n.size() + 1, 0));
  t[0][0] = 1;
  for (std::size_t i = 1; i <= p.size(); ++i)
    for (std::size_t j = 0; j <= n.size(); ++j) {
      if (p[i - 1] == '*') t[i][j] = t[i - 1][j] || (j > 0 && t[i][j - 1]);
      else if (j > 0) t[i][j] = t[i - 1][j - 1] && (p[i - 1] == '?' || p[i - 1] == n[j - 1]);
    }
  return t[p.size()][n.size()] != 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 4096) return 0;
  static Fixed fx;
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> split = fuzz::textLines(text);
  const int lines = static_cast<int>(split.size());
  for (std::size_t i = 0; i + 1 < split.size(); i += 2)
    if (split[i].size() <= 64 && split[i + 1].size() <= 64)
      check(qplace::globMatch(split[i], split[i + 1]) == modelGlob(split[i], split[i + 1]));

  qplace::Constraints c;
  c.portsWithoutIo = fx.withoutIo;
  std::string error;
  if (!qplace::readConstraints(text, "f", c, error)) {
    check(fuzz::namesALine(error, "f", lines));
    check(c.items.empty());
    return 0;
  }
  qplace::PlacementRules rules;
  std::vector<std::string> warnings;
  if (!qplace::resolveRules(c, fx.m, fx.f, rules, error, warnings)) {
    check(fuzz::namesALine(error, "f", lines));
    check(!rules.any());
    return 0;
  }
  for (const std::string& w : warnings) check(fuzz::namesALine(w, "f", lines));
  if (!rules.any()) return 0;
  // The fixed units go onto an empty placement one by one: each must fit.
  qplace::Placement p(fx.f, fx.m);
  for (int u = 0; u < fx.m.numUnits(); ++u) {
    const int at = rules.fixedAt[static_cast<std::size_t>(u)];
    const int rg = rules.region(u);
    if (rg >= 0) {
      const qplace::ClusterRect& r = rules.regions[static_cast<std::size_t>(rg)];
      check(r.r0 >= 0 && r.c0 >= 0 && r.r1 < fx.f.rows && r.c1 < fx.f.cols && r.r0 <= r.r1 && r.c0 <= r.c1);
      check(rules.allowedIn(u, r.r0 * fx.f.cols + r.c0) || at >= 0);
    }
    if (at < 0) continue;
    if (fx.m.isIo(u)) {
      check(at < fx.f.numIoSites() && p.ioAt[static_cast<std::size_t>(at)] < 0);
      p.putIo(u, at);
      continue;
    }
    check(at < fx.f.numClusters() * qplace::kBles && p.fits(u, at) && rules.allowedAt(u, at));
    check(rg < 0 || rules.regions[static_cast<std::size_t>(rg)].holds(at / qplace::kBles, fx.f.cols));
    p.put(u, at);
  }
  return 0;
}
