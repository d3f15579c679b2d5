// The constraint file: its text, its patterns, and its rules resolved
// against a small design on a 3 x 3 device (every fault named with its
// line, kept locations yielding to the file), then honoured by
// legalization and the detailed improvement.
#include <gtest/gtest.h>

#include "qplace/constraints.h"
#include "qplace/detail.h"
#include "qplace/legalize.h"
#include "qplace/placement_rules.h"
#include "reader_util.h"

namespace {

using qplace::Constraints;
using qplace::PlacementRules;

TEST(ConstraintFile, ReadsEveryKindAndNamesTheLineOfEachFault) {
  Constraints c;
  std::string error;
  ASSERT_TRUE(qplace::readConstraints("# board pins\n"
                                      "set_io data[3] R0C5A   # a comment\n"
                                      "\n"
                                      "fix u#2 R3C7B L1\n"
                                      "fix  ctl_*\tR3C7B\n"
                                      "region alu_? 2 3 6 9 #comment\n"
                                      "clock clk 10\nclock * 12.5\nports 20\n",
                                      "c.pcf", c, error))
      << error;
  ASSERT_EQ(c.items.size(), 4u);
  EXPECT_EQ(c.items[0].kind, qplace::ConstraintKind::SetIo);
  EXPECT_EQ(c.items[0].name, "data[3]");
  EXPECT_EQ(c.items[0].site, "R0C5A");
  EXPECT_EQ(c.items[0].where, "c.pcf:2");
  EXPECT_EQ(c.items[1].name, "u#2");  // '#' inside a word is part of it
  EXPECT_EQ(c.items[1].slot, "L1");
  EXPECT_EQ(c.items[2].slot, "");
  EXPECT_EQ(c.items[2].where, "c.pcf:5");
  EXPECT_EQ(c.items[3].kind, qplace::ConstraintKind::Region);
  EXPECT_EQ(c.items[3].col1, 9);
  EXPECT_EQ(c.items[3].row1, 6);
  EXPECT_EQ(c.periods.of("clk"), 10);
  EXPECT_EQ(c.periods.of("other"), 12.5);
  EXPECT_EQ(c.periods.ports, 20);

  const std::pair<const char*, const char*> faults[] = {
      {"set_io a R0C1A\nset_iox b R0C1A\n", "f:2: unknown constraint 'set_iox' (set_io, fix, region, clock or ports)"},
      {"set_io a\n", "f:1: set_io needs a port bit and an I/O site"},
      {"set_io a R0C1A R0C1B\n", "f:1: 'R0C1B' after set_io's a port bit and an I/O site"},
      {"fix a R1C1A L2\n", "f:1: 'L2' is no slot (L0, L1, R0 or R1)"},
      {"fix a R1C1A L0 x\n", "f:1: 'x' after fix's cells, site and slot"},
      {"fix a\n", "f:1: fix needs cells and a site, and maybe a slot"},
      {"region a 1 1 2\n", "f:1: region needs cells and a rectangle: row0 col0 row1 col1"},
      {"region a 1 -1 2 2\n", "f:1: '-1' is no row or column (a whole number)"},
      {"region a 3 1 2 2\n", "f:1: the region's first row 3 lies past its last, 2"},
      {"region a 1 4 2 2\n", "f:1: the region's first column 4 lies past its last, 2"},
      {"clock clk 0\n", "f:1: '0' is not a period (a positive number of nanoseconds)"},
      {"clock clk 5\n\nclock clk 6\n", "f:3: clock clk given twice (line 1)"},
      {"ports 5\nports 6\n", "f:2: ports given twice"},
  };
  for (const auto& [text, fault] : faults) {
    Constraints kept = c;
    EXPECT_FALSE(qplace::readConstraints(text, "f", kept, error)) << text;
    EXPECT_EQ(error, fault);
    EXPECT_EQ(kept.items.size(), c.items.size()) << "unchanged on a fault";
  }
  EXPECT_FALSE(qplace::loadConstraints("/nonexistent/c.pcf", c, error));
  EXPECT_EQ(error, "/nonexistent/c.pcf: cannot open the file (No such file or directory)");
}

TEST(ConstraintFile, PatternsMatchRunsAndSingleCharacters) {
  using qplace::globMatch;
  EXPECT_TRUE(globMatch("*", ""));
  EXPECT_TRUE(globMatch("a*", "a"));
  EXPECT_TRUE(globMatch("*c", "abc"));
  EXPECT_TRUE(globMatch("a*b*c", "aXbYbZc"));  // the first b is not the one
  EXPECT_FALSE(globMatch("a*b*c", "aXbYc!"));
  EXPECT_TRUE(globMatch("d[?]", "d[7]"));      // brackets are plain characters
  EXPECT_FALSE(globMatch("d[?]", "d[10]"));
  EXPECT_FALSE(globMatch("?", ""));
  EXPECT_FALSE(globMatch("abc", "ab"));
  EXPECT_TRUE(globMatch("**a**", "xxa"));
  EXPECT_TRUE(globMatch("$abc$*$1?3", "$abc$9$auto$123"));
  EXPECT_FALSE(qplace::isPattern("data[3]"));
  EXPECT_TRUE(qplace::isPattern("data[?]"));
}

// regs.json (12 registers of 12 control sets, 5 LUTs, 31 connected port
// bits) on a device of 3 x 3 clusters.
struct Small {
  standin::Design d;
  qplace::LogicNetlist ln;
  qplace::Netlist nl;
  qplace::Model m;
  qplace::Fabric f;
  Constraints c;         // before the file: kept locations, port bits without sites
  Constraints resolved;  // with the file, as the rules were resolved from it
  PlacementRules rules;
  std::vector<std::string> warnings;
  std::string lut, reg;  // a LUT and the register it alone feeds (one unit)
  std::string lone;      // a LUT that feeds more than a register
  std::vector<std::string> regs;  // the other registers (of distinct control sets), some paired

  explicit Small(const char* file = "regs.json", int side = 3) {
    ln = readDataNetlist(file);
    nl = qplace::buildDesign(ln, d);
    m = qplace::packDesign(d);
    f = qplace::makeFabric(d, m, 0.7, side, side, false);
    for (int u = 0; u < m.numUnits(); ++u) {
      if (m.kind[u] == qplace::UNIT_PAIR && lut.empty()) {
        lut = m.lut[u]->name;
        reg = m.reg[u]->name;
      }
      if (m.kind[u] == qplace::UNIT_LUT && lone.empty()) lone = m.lut[u]->name;
    }
    for (int u = 0; u < m.numUnits(); ++u)
      if (m.hasReg(u) && m.reg[u]->name != reg) regs.push_back(m.reg[u]->name);
    for (std::size_t k = 0; k < ln.ports.size(); ++k)
      if (nl.portComps[k] == nullptr) c.portsWithoutIo.push_back(ln.ports[k].name);
  }

  // Places the fixed units and the I/O of p under the resolved rules, then
  // legalizes the rest towards (tx, ty); a unit placed already aims where
  // it is.
  qplace::LegalizeResult legalizeUnderRules(qplace::Placement& p, std::vector<double> tx, std::vector<double> ty) {
    p.rules = &rules;
    qplace::placeFixed(rules, p);
    if (!qplace::placeIos(m, f, p)) {
      qplace::LegalizeResult none;
      none.error = "no room for the I/O";
      return none;
    }
    for (int u = 0; u < m.numUnits(); ++u)
      if (p.loc[u] >= 0) {
        tx[u] = p.x(u);
        ty[u] = p.y(u);
      }
    return qplace::legalize(p, tx, ty, qplace::LegalizeParams{});
  }

  // Resolves `text` (read as "c.pcf", after any kept locations in c):
  // the error, empty when it resolves.
  std::string resolve(const std::string& text) {
    std::string error;
    resolved = c;
    if (!qplace::readConstraints(text, "c.pcf", resolved, error)) return "syntax: " + error;
    warnings.clear();
    return qplace::resolveRules(resolved, m, f, rules, error, warnings) ? std::string() : error;
  }
  int unitOf(const std::string& name) {
    return m.unitOfComp[static_cast<std::size_t>(byName(d, name)->id)];
  }
};

TEST(PlacementRules, EachFaultNamesItsLineAndReason) {
  Small s;
  ASSERT_FALSE(s.lut.empty());
  ASSERT_FALSE(s.lone.empty());
  ASSERT_GE(s.regs.size(), 3u);
  const std::string r0 = s.regs[0], r1 = s.regs[1];
  const std::pair<std::string, std::string> cases[] = {
      {"set_io nosuch R0C1A", "c.pcf:1: no port bit nosuch in the design"},
      {"set_io clk R9C9Z", "c.pcf:1: no site R9C9Z on this device (3 x 3 clusters: logic sites R1C1A to R3C3D, I/O sites on rows 0 and 4 and columns 0 and 4)"},
      {"set_io clk R1C1A", "c.pcf:1: R1C1A is a logic site; port bit clk needs an I/O site"},
      {"set_io clk R1C1", "c.pcf:1: no site R1C1 on this device"},
      {"set_io " + s.lone + " R0C1A", "c.pcf:1: " + s.lone + " is a cell, not a port bit (cells take fix)"},
      {"set_io d[0] R0C1A\n# d[1] too\nset_io d[1] R0C1A", "c.pcf:3: I/O site R0C1A is taken by c.pcf:1"},
      {"set_io d[0] R0C1A\nset_io d[0] R0C1B", "c.pcf:2: d[0] is constrained already, by c.pcf:1"},
      {"fix nosuch R1C1A", "c.pcf:1: no cell nosuch in the design"},
      {"fix clk R1C1A", "c.pcf:1: clk is a port bit, not a cell (port bits take set_io)"},
      {"fix " + r0 + " R0C1A", "c.pcf:1: R0C1A is an I/O site; cells are fixed at logic sites"},
      {"fix " + s.lone + " R1C1A R0", "c.pcf:1: " + s.lone + " is a LUT; slot R0 holds a register"},
      {"fix " + r0 + " R1C1A L1", "c.pcf:1: " + r0 + " is a register; slot L1 holds a LUT"},
      {"fix " + r0 + " R1C1A R1\nfix " + r1 + " R1C1A R1", "c.pcf:2: slot R1C1A.R1 is taken by " + r0 + " (c.pcf:1)"},
      // Registers of two control sets in the two sites of one cluster.
      {"fix " + r0 + " R1C1A\nfix " + r1 + " R1C1D",
       "c.pcf:2: " + r1 + " and " + r0 + " (c.pcf:1) are registers of different control sets in one register group (the whole of cluster R1C1)"},
      // Five LUTs on a site of two LUT slots.
      {"fix $abc$* R2C2B", "c.pcf:1: slot R2C2B.L"},
      {"fix " + s.lut + " R1C1A L0\nfix " + s.reg + " R1C1A R1",
       "c.pcf:2: " + s.reg + " and " + s.lut + " (c.pcf:1) are a LUT and the register it alone feeds, placed in one BLE: fix them at one site, in L0 and R0 or in L1 and R1"},
      {"fix " + s.lut + " R1C1A\nfix " + s.reg + " R2C1A", "c.pcf:2: " + s.reg + " and " + s.lut},
      {"region * 1 1 3 4", "c.pcf:1: the region (rows 1 to 3, columns 1 to 4) reaches past the device's clusters (rows 1 to 3, columns 1 to 3)"},
      {"region * 1 1 1 1",
       "c.pcf:1: the region (rows 1 to 1, columns 1 to 1, 1 cluster) is too small: 5 LUTs for 8 free LUT places, 12 registers of 12 control sets needing 12 register groups of 1 free"},
      // One register fixed in the region's only cluster leaves it no group.
      {"fix " + r0 + " R2C2A\nregion " + r1 + " 2 2 2 2", "c.pcf:2: the region (rows 2 to 2, columns 2 to 2, 1 cluster) is too small: "},
      {"region " + s.lut + " 1 1 1 1\nregion " + s.reg + " 3 3 3 3", "c.pcf:2: " + s.reg + " and " + s.lut + " (c.pcf:1) are a LUT and the register it alone feeds, placed in one BLE, and their regions do not meet"},
      {"region " + s.reg + " 2 2 3 3\nfix " + s.lut + " R1C1A", "c.pcf:2: " + s.lut + " is fixed outside its region (c.pcf:1)"},
      {"fix " + r0 + " R1C1A\nregion $auto$* 1 1 3 3", "c.pcf:2: " + r0 + " is constrained already, by c.pcf:1"},
  };
  ASSERT_EQ(s.regs.size(), 11u) << "regs.json: 12 registers, one of them paired";
  for (const auto& [text, fault] : cases) {
    Small t;
    const std::string error = t.resolve(text);
    EXPECT_EQ(error.substr(0, fault.size()), fault) << text;
    EXPECT_FALSE(t.rules.any()) << "a failed resolution leaves no rule: " << text;
  }
}

TEST(PlacementRules, WarningsForPatternsOfNothingAndPortsWithoutSites) {
  Small s("ports.json");
  EXPECT_EQ(s.resolve("fix nothing* R1C1A\nfix cl? R1C1A\nset_io unused R0C1A\nset_io nc R0C1A\n"), "");
  ASSERT_EQ(s.warnings.size(), 3u);
  EXPECT_EQ(s.warnings[0], "c.pcf:1: 'nothing*' matches no cell");
  EXPECT_EQ(s.warnings[1], "c.pcf:2: 'cl?' matches no cell (port bits are placed with set_io)");
  EXPECT_EQ(s.warnings[2],
            "c.pcf:3: set_io of 2 port bits that take no I/O site (tied to a constant or connected to nothing), ignored: unused, nc");
  EXPECT_FALSE(s.rules.any());
  // Their sites are still checked.
  EXPECT_EQ(s.resolve("set_io unused R0C9A").substr(0, 30), "c.pcf:1: no site R0C9A on this");
}

TEST(PlacementRules, FixedUnitsTakeTheirSlotsAndRegionsTheirRectangles) {
  Small s;
  const std::string r0 = s.regs[0];
  ASSERT_EQ(s.resolve("set_io clk R0C2B\n"
                      "fix " + s.lut + " R2C3C\n"       // its register comes along
                      "fix " + s.lone + " R2C3C\n"      // the BLE left in that site
                      "fix " + r0 + " R1C1D\n"
                      "region $auto$ff.cc:266:slice$18? 1 2 3 3\n"),
            "");
  ASSERT_TRUE(s.rules.any());
  const int io = s.unitOf("clk"), pair = s.unitOf(s.lut), lone = s.unitOf(s.lone), reg = s.unitOf(r0);
  EXPECT_EQ(s.unitOf(s.reg), pair);
  EXPECT_EQ(s.f.dev.ioSites[static_cast<std::size_t>(s.rules.fixedAt[io])]->name, "R0C2B");
  const int cluster = 1 * 3 + 2;  // R2C3
  EXPECT_EQ(s.rules.fixedAt[pair], cluster * qplace::kBles + 4);  // site C, BLE 0
  EXPECT_EQ(s.rules.fixedAt[lone], cluster * qplace::kBles + 5);
  EXPECT_EQ(s.rules.fixedAt[reg], 0 * qplace::kBles + 6);         // R1C1D, BLE 0
  EXPECT_TRUE(s.rules.allowedIn(pair, cluster));
  EXPECT_FALSE(s.rules.allowedIn(pair, cluster + 1));
  EXPECT_FALSE(s.rules.allowedAt(pair, cluster * qplace::kBles + 5));
  EXPECT_EQ(s.rules.fixedCells, 3);
  EXPECT_EQ(s.rules.setIo, 1);
  EXPECT_EQ(s.rules.regionCells, 5);  // slice$180 to $184
  const int bound = s.unitOf("$auto$ff.cc:266:slice$181");
  EXPECT_TRUE(s.rules.allowedIn(bound, 0 * 3 + 1));
  EXPECT_FALSE(s.rules.allowedIn(bound, 0 * 3 + 0));
  EXPECT_FALSE(s.rules.allowedIn(bound, 2 * 3 + 0));
  std::vector<double> x(static_cast<std::size_t>(s.m.numUnits()), 0.0), y(x.size(), 9.0);
  s.rules.clamp(x, y);
  EXPECT_EQ(s.f.clusterAt(x[bound], y[bound]), 2 * 3 + 1);  // R3C2, the nearest corner inside
  EXPECT_EQ(x[pair], 0.0) << "fixed units are not clamped";
}

// Kept locations (from a placed netlist) give way to the file's rules.
TEST(PlacementRules, KeptLocationsYieldToTheFile) {
  Small s;
  const std::string r0 = s.regs[0], r1 = s.regs[1], r2 = s.regs[2];
  // A location kept from placed.json: an exact fix.
  auto keep = [](Small& on, const std::string& name, const std::string& site, const std::string& slot) {
    on.c.keptSource = "placed.json";
    qplace::Constraint k;
    k.kept = k.exact = true;
    k.comp = byName(on.d, name);
    k.site = site;
    k.slot = slot;
    on.c.items.push_back(k);
  };
  keep(s, r0, "R1C1A", "R0");  // the file fixes it elsewhere: the file wins
  keep(s, r1, "R3C3A", "R0");  // outside the file's region: not used
  keep(s, r2, "R2C2A", "R0");  // inside the file's region: kept
  keep(s, s.lone, "R3C1B", "L0");
  keep(s, s.lut, "R3C1B", "L0");  // clashes with the kept LUT before: given up, with a warning
  ASSERT_EQ(s.resolve("fix " + r0 + " R2C3A R1\nregion " + r1 + " 1 1 2 2\nregion " + r2 + " 1 1 2 2\n"), "");
  EXPECT_EQ(s.rules.fixedAt[s.unitOf(r0)], (1 * 3 + 2) * qplace::kBles + 1);
  EXPECT_EQ(s.rules.fixedAt[s.unitOf(r1)], -1);
  EXPECT_EQ(s.rules.fixedAt[s.unitOf(r2)], (1 * 3 + 1) * qplace::kBles + 0);
  EXPECT_EQ(s.rules.fixedAt[s.unitOf(s.lone)], (2 * 3 + 0) * qplace::kBles + 2);
  EXPECT_EQ(s.rules.fixedAt[s.unitOf(s.lut)], -1);
  EXPECT_EQ(s.rules.kept, 2);
  EXPECT_EQ(s.rules.keptDropped, 1);
  ASSERT_EQ(s.warnings.size(), 1u);
  // The netlist named once: the cells of its kept locations by name alone.
  const std::string given = "placed.json: 1 kept location given up, placed anew (first: cell " + s.lut +
                            ": slot R3C1B.L0 is taken by cell " + s.lone + ")";
  EXPECT_EQ(s.warnings[0], given);
  // A kept pair, named by its LUT, whose register meets a kept register of
  // another control set in its group: both registers named.
  Small g;
  keep(g, g.regs[0], "R1C1A", "R0");
  keep(g, g.lut, "R1C1B", "L0");
  ASSERT_EQ(g.resolve(""), "");
  ASSERT_EQ(g.warnings.size(), 1u);
  EXPECT_EQ(g.warnings[0], "placed.json: 1 kept location given up, placed anew (first: cell " + g.lut +
                               ": its register " + g.reg + " and cell " + g.regs[0] +
                               " are registers of different control sets in one register group (the whole of "
                               "cluster R1C1))");
  // A kept site the device lacks is an error, naming the netlist and cell.
  Small t;
  keep(t, r0, "R7C7A", "");
  const std::string unknown = "placed.json: cell " + r0 + ": no site R7C7A on this device";
  EXPECT_EQ(t.resolve("").substr(0, unknown.size()), unknown);
  // A kept port bit on what is a logic site of this device (a placed
  // netlist placed again on another size): named in the reason too.
  Small v;
  v.c.keptSource = "placed.json";
  qplace::Constraint io;
  io.kind = qplace::ConstraintKind::SetIo;
  io.kept = io.exact = true;
  io.comp = byName(v.d, "clk");
  io.site = "R1C1A";
  v.c.items.push_back(io);
  EXPECT_EQ(v.resolve(""), "placed.json: port bit clk: R1C1A is a logic site; port bit clk needs an I/O site");
}

// Legalization and the detailed improvement honour the rules whatever the
// global positions say: every target lies at the device's far corner.
TEST(PlacementRules, LegalizationAndDetailKeepFixedAndBoundUnits) {
  Small s("regs.json", 4);  // 16 register groups for 12 control sets
  std::string r0;  // a lone register outside the regions
  for (const std::string& r : s.regs)
    if (s.m.kind[s.unitOf(r)] == qplace::UNIT_REG && !qplace::globMatch("$auto$ff.cc:266:slice$18?", r)) r0 = r;
  ASSERT_FALSE(r0.empty());
  ASSERT_EQ(s.resolve("fix " + r0 + " R4C4B R1\nregion $auto$ff.cc:266:slice$18? 1 1 3 2\nregion $abc$* 1 1 1 4\n"), "");
  ASSERT_TRUE(s.warnings.empty()) << s.warnings[0];
  qplace::Placement p(s.f, s.m);
  const std::vector<double> far(static_cast<std::size_t>(s.m.numUnits()), 3.0);
  const qplace::LegalizeResult lr = s.legalizeUnderRules(p, far, far);
  ASSERT_TRUE(lr.ok) << lr.error;
  auto obeys = [&](const char* phase) {
    for (int u = 0; u < s.m.numUnits(); ++u) {
      if (s.m.isIo(u)) continue;
      EXPECT_TRUE(s.rules.allowedAt(u, p.loc[u])) << phase << ": unit " << u << " at " << p.loc[u];
    }
    EXPECT_EQ(p.loc[s.unitOf(r0)], 15 * qplace::kBles + 3) << phase;
  };
  obeys("legalize");
  qplace::DetailParams dp;
  dp.annealMoves = 2000;  // many attempts a unit on a small design
  qplace::Progress quiet;
  const qplace::DetailResult dr = qplace::improve(p, dp, quiet);
  EXPECT_GT(dr.moves + dr.swaps, 0) << "the free units still move";
  obeys("detail");
  // The LUTs' region is the first row: every LUT lies in it.
  int inRow = 0;
  for (int u = 0; u < s.m.numUnits(); ++u)
    if (s.m.hasLut(u)) inRow += p.loc[u] / qplace::kBles < 4;
  EXPECT_EQ(inRow, 5);
}

// A register group free of registers can still hold fixed lone LUTs: a
// LUT+register pair legalized into it takes a BLE whose LUT half is free,
// not the fixed LUT's.
TEST(PlacementRules, PairsAvoidTheLutHalvesOfFixedLuts) {
  Small s("regs.json", 4);
  ASSERT_EQ(s.resolve("fix " + s.lone + " R1C1A L0\n"), "");
  qplace::Placement p(s.f, s.m);
  // The pair aims at the fixed LUT's cluster, everything else far from it.
  std::vector<double> target(static_cast<std::size_t>(s.m.numUnits()), 4.0);
  target[static_cast<std::size_t>(s.unitOf(s.lut))] = 1.0;
  const qplace::LegalizeResult lr = s.legalizeUnderRules(p, target, target);
  ASSERT_TRUE(lr.ok) << lr.error;
  EXPECT_EQ(p.loc[s.unitOf(s.lone)], 0);
  EXPECT_EQ(p.loc[s.unitOf(s.lut)] / qplace::kBles, 0) << "the pair in the cluster it aims at";
  for (int u = 0; u < s.m.numUnits(); ++u) {
    if (s.m.isIo(u)) continue;
    if (s.m.hasLut(u)) {
      EXPECT_EQ(p.lutAt[static_cast<std::size_t>(p.loc[u])], u) << "unit " << u;
    }
    if (s.m.hasReg(u)) {
      EXPECT_EQ(p.regAt[static_cast<std::size_t>(p.loc[u])], u) << "unit " << u;
    }
  }
}

}  // namespace
