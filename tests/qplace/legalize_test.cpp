// Legalization and detailed improvement on small made-up designs: the
// register rules hold in every site and cluster, the bookkeeping agrees with
// a recount, improvement never loses, and a device too small is refused.
#include <gtest/gtest.h>

#include <random>

#include "qplace/detail.h"
#include "qplace/legalize.h"
#include "qplace/placer.h"
#include "support/basapsupp.h"

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

  // seed 0: no random nets.
  Small(int sets, int perSet, int extraLuts, int rows, int cols, bool half, unsigned seed) {
    designgen::Prims pr = designgen::addPrims(d);
    std::mt19937 rng(seed);
    std::vector<standin::Comp*> luts;
    standin::Signal* clk = d.addSignal("clk");
    clk->clocks = standin::Signal::CLK1;
    d.addDriver(clk, designgen::addIo(d, pr, "clkpad"), designgen::IO_O);
    standin::Comp* prev = nullptr;
    for (int s = 0; s < sets; ++s) {
      UP_REGCTRL* rc = d.addRegCtrl(perSet);
      for (int k = 0; k < perSet; ++k) {
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

// The register rules through the library, after writing the placement.
int ruleFaults(Small& s, const Placement& p) {
  p.writeTo(s.d);
  int faults = 0;
  for (standin::Plc* plc : s.f.dev.plcs) {
    for (UP_SITE* site : plc->sites) {
      UP_COMP** slots = site->getslotcomps();
      faults += !AP_SUPP::regCompatible(slots[standin::R0], slots[standin::R1]);
    }
    faults += !(s.f.halfRule ? AP_SUPP::regCompatibleUA(plc) : AP_SUPP::regCompatible(plc));
  }
  return faults + AP_SUPP(&s.d).drcAllSite(0, 0);
}

TEST(Legalize, TightDevicesKeepTheRegisterRules) {
  // 9 clusters: 7 sets of 6 registers take 7 whole clusters, or 4 of them
  // with half clusters; the LUTs fill what is left.
  for (bool half : {false, true}) {
    for (unsigned seed = 1; seed <= 3; ++seed) {
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
      expectConsistent(p);
      EXPECT_EQ(ruleFaults(s, p), 0) << "half " << half << " seed " << seed;

      // Improvement keeps it legal and never loses.
      const double before = qplace::hpwl(p);
      qplace::DetailParams dp;
      dp.annealMoves = 200;
      qplace::DetailResult dr = qplace::improve(p, dp, nullptr);
      expectConsistent(p);
      EXPECT_EQ(ruleFaults(s, p), 0);
      EXPECT_DOUBLE_EQ(dr.after, qplace::hpwl(p));
      EXPECT_LE(dr.after, before);
    }
  }
}

TEST(Legalize, RandomPlacementIsLegal) {
  for (bool half : {false, true}) {
    Small s(7, 6, 20, 3, 3, half, 2);
    Placement p(s.f, s.m);
    ASSERT_TRUE(qplace::placeIos(s.m, s.f, p));
    ASSERT_TRUE(qplace::randomPlacement(p, 5));
    expectConsistent(p);
    EXPECT_EQ(ruleFaults(s, p), 0);
  }
  Small tight(10, 2, 0, 3, 3, false, 1);  // 10 sets, 9 clusters
  Placement p(tight.f, tight.m);
  EXPECT_FALSE(qplace::randomPlacement(p, 5));
}

TEST(Legalize, RefusesADeviceWithTooFewRegisterGroups) {
  Small s(10, 2, 0, 3, 3, false, 1);  // 10 sets, 9 clusters
  Placement p(s.f, s.m);
  ASSERT_TRUE(qplace::placeIos(s.m, s.f, p));
  std::vector<double> x(static_cast<std::size_t>(s.m.numUnits()), 2.0), y = x;
  qplace::LegalizeResult r = qplace::legalize(p, x, y, qplace::LegalizeParams{});
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error, "the device is too small: 10 LUTs for 72 LUT places, 10 register groups needed of 9");
  EXPECT_EQ(p.unplaced(), s.m.numUnits() - s.m.numOf(qplace::UNIT_IO));  // nothing half done
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
