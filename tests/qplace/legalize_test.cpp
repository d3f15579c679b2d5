// Legalization and detailed improvement on small made-up designs: the
// register rules hold in every site and cluster, the bookkeeping agrees with
// a recount, register groups trade, and a device too small is refused.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <tuple>

#include "qplace/detail.h"
#include "qplace/legalize.h"
#include "qplace/placement_rules.h"
#include "qplace/placer.h"
#include "detail_cases.h"
#include "placer_util.h"
#include "rule_faults.h"

namespace {

using qplace::Placement;

// `sets` control sets of `perSet` registers: even ones fed by a LUT of
// their own (a pair, unless a random net takes the LUT's output too), odd
// ones by the previous register (a lone register); `extraLuts` lone LUTs;
// then two random inputs per LUT from LUT or register outputs.
struct Small {
  standin::Design d;
  qplace::Model m;
  qplace::Fabric f;

  // seed 0: no random nets. The first set has firstSet registers when
  // that is positive.
  Small(int sets, int perSet, int extraLuts, int rows, int cols, bool half, unsigned seed, int firstSet = 0) {
    designgen::Prims pr = designgen::addPrims(d);
    std::mt19937 rng(seed);
    std::vector<standin::Comp*> luts;
    standin::Signal* clk = d.addSignal("clk");
    clk->clocks = standin::Signal::CLK1;
    d.addDriver(clk, designgen::addIo(d, pr, "clkpad"), designgen::IO_O);
    standin::Comp* prev = nullptr;
    for (int s = 0; s < sets; ++s) {
      const int n = s == 0 && firstSet > 0 ? firstSet : perSet;
      UP_REGCTRL* rc = d.addRegCtrl(n);
      for (int k = 0; k < n; ++k) {
        const std::string id = std::to_string(s) + "_" + std::to_string(k);
        standin::Comp* r = designgen::addReg(d, pr, "r" + id);
        r->regctrl = rc;
        d.addLoad(clk, r, designgen::REG_CK);
        standin::Signal* dn = d.addSignal("d" + id);
        if (k % 2 == 0 || prev == nullptr) {
          standin::Comp* l = designgen::addLut(d, pr, "l" + id);
          luts.push_back(l);
          d.addDriver(dn, l, designgen::LUT_Z);
        } else {
          d.addDriver(dn, prev, designgen::REG_Q);
        }
        d.addLoad(dn, r, designgen::REG_D);
        prev = r;
      }
    }
    for (int k = 0; k < extraLuts; ++k) luts.push_back(designgen::addLut(d, pr, "x" + std::to_string(k)));
    // Each LUT input from a random register output or LUT output.
    for (standin::Comp* l : luts)
      for (int pin = 0; pin < 2 && seed != 0; ++pin) {
        standin::Comp* src = &d.comps[rng() % d.comps.size()];
        if (src->prim == pr.io || src == l) continue;
        const int out = src->prim == pr.lut ? static_cast<int>(designgen::LUT_Z) : designgen::REG_Q;
        standin::Signal* sig = src->signals[out];
        if (sig == nullptr) {
          sig = d.addSignal("o" + src->name);
          d.addDriver(sig, src, out);
        }
        d.addLoad(sig, l, pin);
      }
    m = qplace::packDesign(d);
    f = qplace::makeFabric(d, m, 0.7, rows, cols, half);
  }
};

// Recounts the bookkeeping of a placement from its units' places.
void expectConsistent(const Placement& p) {
  const qplace::Model& m = *p.model;
  const qplace::Fabric& f = *p.fabric;
  std::vector<int> lutAt(p.lutAt.size(), -1), regAt(p.regAt.size(), -1), regs(p.groupRegs.size(), 0);
  for (int u = 0; u < m.numUnits(); ++u) {
    if (m.isIo(u)) continue;
    const int pos = p.loc[u];
    ASSERT_GE(pos, 0);
    if (m.hasLut(u)) {
      ASSERT_EQ(lutAt[pos], -1);
      lutAt[pos] = u;
    }
    if (m.hasReg(u)) {
      ASSERT_EQ(regAt[pos], -1);
      regAt[pos] = u;
      const int g = f.groupOfBle(pos / qplace::kBles, pos % qplace::kBles);
      ++regs[g];
      EXPECT_EQ(p.groupCtrl[g], m.ctrl[u]);
    }
  }
  EXPECT_EQ(lutAt, p.lutAt);
  EXPECT_EQ(regAt, p.regAt);
  EXPECT_EQ(regs, p.groupRegs);
}

// The bookkeeping recounted, and the register rules after writing the
// placement, with the whole-design check.
void expectLegal(Small& s, const Placement& p) {
  expectConsistent(p);
  p.writeTo(s.d);
  EXPECT_EQ(registerRuleFaults(s.d, s.f.halfRule) + AP_SUPP(&s.d).drcAllSite(0, 0), 0);
}

TEST(Legalize, TightDevicesKeepTheRegisterRules) {
  // 9 clusters: 7 sets of 6 registers take 7 whole clusters, or 4 of them
  // with half clusters; the LUTs fill what is left.
  for (bool half : {false, true}) {
    for (unsigned seed = 1; seed <= 3; ++seed) {
      SCOPED_TRACE("half " + std::to_string(half) + " seed " + std::to_string(seed));
      Small s(7, 6, 20, 3, 3, half, seed);
      Placement p(s.f, s.m);
      ASSERT_TRUE(qplace::placeIos(s.m, s.f, p));
      std::mt19937 rng(seed);
      std::vector<double> x(static_cast<std::size_t>(s.m.numUnits())), y(x.size());
      for (std::size_t u = 0; u < x.size(); ++u) {  // everything piled in one corner
        x[u] = 1 + (rng() % 100) / 200.0;
        y[u] = 1 + (rng() % 100) / 200.0;
      }
      qplace::LegalizeResult r = qplace::legalize(p, x, y, qplace::LegalizeParams{});
      ASSERT_TRUE(r.ok) << r.error;
      expectLegal(s, p);
      // The improvement keeps it so on a device this tight.
      qplace::DetailParams dp;
      dp.annealMoves = 200;
      qplace::Progress none;
      qplace::improve(p, dp, none);
      expectLegal(s, p);
      // A random placement is as legal.
      Placement q(s.f, s.m);
      ASSERT_TRUE(qplace::placeIos(s.m, s.f, q));
      ASSERT_TRUE(qplace::randomPlacement(q, 5));
      expectLegal(s, q);
    }
  }
}

TEST(Legalize, ScatteredSetsTakeMoreGroupsWhileGroupsAreToSpare) {
  // One set of 8 registers, half of them wanted in each far corner of a
  // 6 x 6 device: one group would leave 4 of them 10 clusters away.
  Small s(1, 8, 0, 6, 6, false, 0);
  auto legalized = [&](double share, int& groups) {
    Placement p(s.f, s.m);
    EXPECT_TRUE(qplace::placeIos(s.m, s.f, p));
    std::vector<double> x(static_cast<std::size_t>(s.m.numUnits()), 1.0), y = x;
    int k = 0;
    for (int u = 0; u < s.m.numUnits(); ++u)
      if (s.m.hasReg(u) && k++ % 2 == 1) x[u] = y[u] = 6.0;
    qplace::LegalizeParams lp;
    lp.chunkShare = share;
    const qplace::LegalizeResult r = qplace::legalize(p, x, y, lp);
    EXPECT_TRUE(r.ok) << r.error;
    expectLegal(s, p);
    groups = 0;
    for (int g : p.groupRegs) groups += g > 0;
    return r.displacement;
  };
  int groups = 0;
  EXPECT_NEAR(legalized(0.0, groups), 5.0, 1e-9);  // (0 + 10) / 2 per unit
  EXPECT_EQ(groups, 1);
  EXPECT_NEAR(legalized(0.5, groups), 0.0, 1e-9);
  EXPECT_EQ(groups, 2);
  // 1/36 of the free groups is one: no room to cut.
  EXPECT_NEAR(legalized(1.0 / 36, groups), 5.0, 1e-9);
  EXPECT_EQ(groups, 1);
}

// The register-bearing units, in unit order, of the control sets that
// hold `n` registers.
std::vector<int> registersOfSetsSized(const qplace::Model& m, int n) {
  std::map<int, int> sizes;  // control set: registers
  for (int u = 0; u < m.numUnits(); ++u)
    if (m.hasReg(u)) ++sizes[m.ctrl[u]];
  std::vector<int> units;
  for (int u = 0; u < m.numUnits(); ++u)
    if (m.hasReg(u) && sizes[m.ctrl[u]] == n) units.push_back(u);
  return units;
}

TEST(Legalize, TheLargestSetGoesUnitByUnit) {
  // On 5 x 5 clusters: a set of 12 registers, each wanted in a cluster of
  // its own along the top rows, and a set of 10 wanted in the far corner.
  // The large set's units each reach their own cluster; the small set is
  // packed into the fewest groups.
  for (bool half : {false, true}) {
    SCOPED_TRACE(half ? "half clusters" : "whole clusters");
    Small s(2, 10, 0, 5, 5, half, 0, 12);
    Placement p(s.f, s.m);
    ASSERT_TRUE(qplace::placeIos(s.m, s.f, p));
    std::vector<double> x(static_cast<std::size_t>(s.m.numUnits()), 5.0), y = x;
    std::vector<int> wanted(x.size(), -1);
    const std::vector<int> large = registersOfSetsSized(s.m, 12);
    ASSERT_EQ(large.size(), 12u);
    for (int k = 0; k < 12; ++k) {
      const int u = large[static_cast<std::size_t>(k)];
      wanted[u] = k;
      x[u] = s.f.clusterX(k);
      y[u] = s.f.clusterY(k);
    }
    const qplace::LegalizeResult r = qplace::legalize(p, x, y, qplace::LegalizeParams{});
    ASSERT_TRUE(r.ok) << r.error;
    expectLegal(s, p);
    std::set<int> smallGroups;
    for (int u = 0; u < s.m.numUnits(); ++u) {
      if (!s.m.hasReg(u)) continue;
      if (wanted[u] >= 0) EXPECT_EQ(p.loc[u] / qplace::kBles, wanted[u]) << "unit " << u;
      else smallGroups.insert(s.f.groupOfBle(p.loc[u] / qplace::kBles, p.loc[u] % qplace::kBles));
    }
    EXPECT_EQ(static_cast<int>(smallGroups.size()), (10 + s.f.groupBles() - 1) / s.f.groupBles());
  }
}

TEST(Legalize, ASmallScatteredSetLeavesTheLargestItsGroups) {
  // 9 clusters, every register group needed: 64 registers of one set (8
  // groups) and 8 of another wanted in the four corners. Cutting the
  // small set for its corners would take groups the large set needs.
  Small s(2, 8, 0, 3, 3, false, 0, 64);
  Placement p(s.f, s.m);
  ASSERT_TRUE(qplace::placeIos(s.m, s.f, p));
  std::vector<double> x(static_cast<std::size_t>(s.m.numUnits()), 2.0), y = x;
  const std::vector<int> small = registersOfSetsSized(s.m, 8);
  ASSERT_EQ(small.size(), 8u);
  for (int k = 0; k < 8; ++k) {
    const int u = small[static_cast<std::size_t>(k)];
    x[u] = k % 2 == 0 ? 1.0 : 3.0;
    y[u] = k / 2 % 2 == 0 ? 1.0 : 3.0;
  }
  const qplace::LegalizeResult r = qplace::legalize(p, x, y, qplace::LegalizeParams{});
  ASSERT_TRUE(r.ok) << r.error;
  expectLegal(s, p);
}

TEST(Improve, TradesWholeRegisterGroupsThatCannotMoveOneByOne) {
  // Two clusters side by side. Each holds four registers of one control set
  // and four lone LUTs; every component drives an I/O of its own. The
  // registers of set A drive I/O on the left but sit in the right cluster,
  // those of set B the other way round. No register can move or swap
  // alone (the other cluster's group holds the other set), and trading the
  // whole clusters gains nothing, as the LUTs would move away from their
  // I/O: only trading the two groups' registers gains.
  standin::Design d;
  designgen::Prims pr = designgen::addPrims(d);
  std::vector<standin::Comp*> regsA, regsB, lutsL, lutsR;
  auto driveIo = [&](standin::Comp* c, int pin, const std::string& name) {
    standin::Signal* s = d.addSignal("n" + name);
    d.addDriver(s, c, pin);
    d.addLoad(s, designgen::addIo(d, pr, "io" + name), designgen::IO_I);
  };
  UP_REGCTRL* ra = d.addRegCtrl(4);
  UP_REGCTRL* rb = d.addRegCtrl(4);
  for (int k = 0; k < 4; ++k) {
    const std::string id = std::to_string(k);
    for (auto [list, rc, side] : {std::make_tuple(&regsA, ra, "L"), std::make_tuple(&regsB, rb, "R")}) {
      standin::Comp* r = designgen::addReg(d, pr, std::string("r") + side + id);
      r->regctrl = rc;
      driveIo(r, designgen::REG_Q, std::string("r") + side + id);
      list->push_back(r);
    }
    for (auto [list, side] : {std::make_pair(&lutsL, "L"), std::make_pair(&lutsR, "R")}) {
      standin::Comp* l = designgen::addLut(d, pr, std::string("l") + side + id);
      driveIo(l, designgen::LUT_Z, std::string("l") + side + id);
      list->push_back(l);
    }
  }
  qplace::Model m = qplace::packDesign(d);
  qplace::Fabric f = qplace::makeFabric(d, m, 0.7, 1, 2, false);
  auto startPlacement = [&](Placement& p) {
    // I/O of left-hand components on sites of columns 0 and 1, the others on
    // columns 2 and 3 (the clusters are at columns 1 and 2).
    std::vector<char> used(static_cast<std::size_t>(f.numIoSites()), 0);
    for (int u = 0; u < m.numUnits(); ++u) {
      if (!m.isIo(u)) continue;
      const bool left = m.io[u]->name[3] == 'L';
      int site = 0;
      while (used[site] || (f.ioX[site] <= 1) != left) ++site;
      used[site] = 1;
      p.putIo(u, site);
    }
    auto put = [&](const std::vector<standin::Comp*>& comps, int cluster) {
      for (std::size_t k = 0; k < comps.size(); ++k)
        p.put(m.unitOfComp[static_cast<std::size_t>(comps[k]->id)], cluster * qplace::kBles + static_cast<int>(k));
    };
    put(regsA, 1);
    put(regsB, 0);
    put(lutsL, 0);
    put(lutsR, 1);
  };
  auto clusterOf = [&](const Placement& p, standin::Comp* c) {
    return p.loc[m.unitOfComp[static_cast<std::size_t>(c->id)]] / qplace::kBles;
  };
  for (double trades : {0.0, 0.1}) {
    Placement p(f, m);
    startPlacement(p);
    const double before = qplace::hpwl(p);
    qplace::DetailParams dp;
    dp.groupTrades = trades;
    dp.moveIo = false;  // I/O swapping sides would gain too
    qplace::Progress none;
    const qplace::DetailResult r = qplace::improve(p, dp, none);
    expectConsistent(p);
    if (trades == 0) {
      EXPECT_EQ(r.after, before);
      EXPECT_EQ(clusterOf(p, regsA[0]), 1);
      continue;
    }
    EXPECT_EQ(r.after, before - 8);  // each register one column nearer its I/O
    EXPECT_GE(r.groupTrades, 1);
    for (int k = 0; k < 4; ++k) {
      EXPECT_EQ(clusterOf(p, regsA[k]), 0);
      EXPECT_EQ(clusterOf(p, regsB[k]), 1);
      EXPECT_EQ(clusterOf(p, lutsL[k]), 0);
      EXPECT_EQ(clusterOf(p, lutsR[k]), 1);
    }
  }
}

TEST(Legalize, SamePlacementForAnyThreadCount) {
  // 24 control sets on an 8 x 9 device, the targets crowded into its
  // left third: windows run out of room, and their leftovers travel.
  Small s(24, 12, 150, 8, 9, false, 4);
  std::mt19937 rng(9);
  std::vector<double> x(static_cast<std::size_t>(s.m.numUnits())), y(x.size());
  for (std::size_t u = 0; u < x.size(); ++u) {
    x[u] = 1 + (rng() % 300) / 100.0;
    y[u] = 1 + (rng() % 800) / 100.0;
  }
  std::vector<int> first;
  for (int threads : {1, 2, 3}) {
    Placement p(s.f, s.m);
    ASSERT_TRUE(qplace::placeIos(s.m, s.f, p));
    qplace::LegalizeParams lp;
    lp.window = 3;
    lp.threads = threads;
    const qplace::LegalizeResult r = qplace::legalize(p, x, y, lp);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_GT(r.carried, 0);
    expectLegal(s, p);
    if (first.empty()) first = p.loc;
    else EXPECT_EQ(p.loc, first) << threads << " threads";
  }
}

// Units bound to a region nearly full with them, among units of their kind
// that may go anywhere, all aiming at random places: a register chain's
// registers (29 groups in a region of 30), and lone LUTs (100 in a region
// of 112 places). The bound ones keep their chunks whole (splitting the
// scattered ones took more groups than the region has) and take the
// region's room before the free ones can.
void legalizeBound(standin::Design& d, const qplace::Model& m, const qplace::Fabric& f,
                   const qplace::ClusterRect& region, bool (*kind)(const qplace::Model&, int), int bound) {
  Placement p(f, m);
  ASSERT_TRUE(qplace::placeIos(m, f, p));
  qplace::PlacementRules rules = regionRules(m, f, region, [&](int u) { return kind(m, u); }, bound);
  ASSERT_EQ(bound, 0);
  p.rules = &rules;
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> across(1.0, f.cols), down(1.0, f.rows);
  std::vector<double> x(static_cast<std::size_t>(m.numUnits())), y(x.size());
  for (std::size_t u = 0; u < x.size(); ++u) x[u] = across(rng), y[u] = down(rng);
  const qplace::LegalizeResult r = qplace::legalize(p, x, y, qplace::LegalizeParams{});
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(p.unplaced(), 0);
  for (int u = 0; u < m.numUnits(); ++u) {
    if (m.isIo(u)) continue;
    EXPECT_TRUE(rules.allowedAt(u, p.loc[u])) << "unit " << u;
  }
  p.writeTo(d);
  EXPECT_EQ(registerRuleFaults(d, f.halfRule) + AP_SUPP(&d).drcAllSite(0, 0), 0);
}

TEST(Legalize, ARegionNearlyFullOfItsUnitsIsLegalized) {
  {
    Packed chain([](standin::Design& d) { cases::registerChain(d, 512); }, 0);
    ASSERT_GE(chain.f.rows, 7);
    ASSERT_GE(chain.f.cols, 8);
    ASSERT_EQ(chain.f.groupsPerCluster(), 1);
    legalizeBound(chain.d, chain.m, chain.f, qplace::ClusterRect{2, 2, 6, 7},
                  [](const qplace::Model& mm, int u) { return mm.hasReg(u); }, 29 * chain.f.groupBles());
  }
  {
    Small s(1, 8, 240, 0, 0, false, 1);
    ASSERT_GE(s.f.cols, 7);
    legalizeBound(s.d, s.m, s.f, qplace::ClusterRect{0, 0, 1, 6},
                  [](const qplace::Model& mm, int u) { return mm.kind[u] == qplace::UNIT_LUT; }, 100);
  }
}

// 10 control sets need 10 register groups; 9 clusters have 9. Neither
// placement makes a start.
TEST(Legalize, RefusesADeviceWithTooFewRegisterGroups) {
  Small s(10, 2, 0, 3, 3, false, 1);
  Placement p(s.f, s.m);
  ASSERT_TRUE(qplace::placeIos(s.m, s.f, p));
  std::vector<double> x(static_cast<std::size_t>(s.m.numUnits()), 2.0), y = x;
  qplace::LegalizeResult r = qplace::legalize(p, x, y, qplace::LegalizeParams{});
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error, "the device is too small: 10 LUTs for 72 LUT places, 10 register groups needed of 9");
  EXPECT_EQ(p.unplaced(), s.m.numUnits() - s.m.numOf(qplace::UNIT_IO));  // nothing half done
  EXPECT_FALSE(qplace::randomPlacement(p, 5));
}

TEST(Placement, FitsFollowsTheGroupsControlSet) {
  Small s(2, 2, 1, 2, 2, true, 0);  // half rule: groups of 4 BLEs
  Placement p(s.f, s.m);
  // Units: set 0 (a pair, a lone register), set 1 (the same), a lone LUT.
  int pair0 = -1, lone0 = -1, pair1 = -1, lut = -1;
  for (int u = 0; u < s.m.numUnits(); ++u) {
    if (s.m.kind[u] == qplace::UNIT_PAIR) (s.m.ctrl[u] == 0 ? pair0 : pair1) = u;
    if (s.m.kind[u] == qplace::UNIT_REG && s.m.ctrl[u] == 0) lone0 = u;
    if (s.m.kind[u] == qplace::UNIT_LUT) lut = u;
  }
  ASSERT_TRUE(pair0 >= 0 && lone0 >= 0 && pair1 >= 0 && lut >= 0);
  p.put(pair0, 0);                  // cluster 0, BLE 0: lower group takes set 0
  EXPECT_TRUE(p.fits(lone0, 1));    // same set, same group
  EXPECT_FALSE(p.fits(pair1, 1));   // other set, same group
  EXPECT_TRUE(p.fits(pair1, 4));    // other set, upper group
  EXPECT_FALSE(p.fits(lut, 0));     // the LUT half is taken
  EXPECT_TRUE(p.fits(pair1, 0, pair0));  // once pair0 leaves, its group is free
  p.put(lone0, 1);
  EXPECT_FALSE(p.fits(pair1, 2, pair0));  // lone0 still holds the group
  EXPECT_TRUE(p.fits(lut, 1));      // a lone register leaves its LUT half free
  p.take(pair0);
  p.take(lone0);
  EXPECT_EQ(p.groupCtrl[0], -1);
  EXPECT_TRUE(p.fits(pair1, 1));
}

}  // namespace
