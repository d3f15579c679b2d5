// The design generator: legal placements under both register rules, honest
// control records, the netlist's shape and locality, determinism, and each
// kind of planted fault found exactly where and as often as asked.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>
#include <stdexcept>
#include <tuple>
#include <utility>
#include <vector>

#include "design_digest.h"
#include "host/standin/gen/designgen.h"

namespace {

using designgen::Generated;
using designgen::Params;
using standin::Comp;
using standin::Signal;
using standin::Site;

Site* siteAt(standin::Plc* plc, int pos) { return static_cast<Site*>(plc->sites[static_cast<std::size_t>(pos)]); }

// Distinct records of positive count among the registers placed on the
// cluster's sites of positions [from, to).
std::set<UP_REGCTRL*> records(standin::Plc* plc, int from, int to) {
  std::set<UP_REGCTRL*> found;
  for (int pos = from; pos < to; ++pos)
    for (Comp* comp : siteAt(plc, pos)->bels)
      if (comp->regctrl != nullptr && comp->regctrl->count > 0) found.insert(comp->regctrl);
  return found;
}

// The packing errors of a design, found from its records directly.
struct Audit {
  std::set<Signal*> replicated;  // signals with a component pin reached twice
  int replicatedPins = 0;        // pins beyond the first on each component pin
  std::set<Site*> slotPairs;
  std::set<standin::Plc*> wholeFails;  // clusters on more than one record
  std::set<standin::Plc*> halfFails;   // clusters with a half on more than one record
  std::set<Comp*> sharedSites;         // off its site's list, another occupant there
  std::set<Site*> mismatches;          // occupant points at another site
  std::set<Comp*> emptySites;          // its site has no occupant
};

Audit audit(standin::Design& d, const Generated& g) {
  Audit a;
  for (Signal& sig : d.signals) {
    std::map<std::pair<Comp*, int>, int> seen;
    for (standin::SigPin* pin : sig.pins)
      if (seen[{pin->comp, pin->pinid}]++ > 0) {
        ++a.replicatedPins;
        a.replicated.insert(&sig);
      }
  }
  for (standin::Plc* plc : g.device.plcs) {
    for (int pos = 0; pos < 4; ++pos) {
      Site* site = siteAt(plc, pos);
      auto* r0 = static_cast<Comp*>(site->slots[standin::R0]);
      auto* r1 = static_cast<Comp*>(site->slots[standin::R1]);
      if (r0 != nullptr && r1 != nullptr && r0->regctrl->count > 0 && r1->regctrl->count > 0 &&
          r0->regctrl != r1->regctrl)
        a.slotPairs.insert(site);
    }
    if (records(plc, 0, 4).size() > 1) a.wholeFails.insert(plc);
    if (records(plc, 0, 2).size() > 1 || records(plc, 2, 4).size() > 1) a.halfFails.insert(plc);
  }
  for (Comp& comp : d.comps) {
    Site* site = comp.site;
    if (site == nullptr) continue;
    if (site->comp == nullptr) a.emptySites.insert(&comp);
    const bool listed = std::find(site->bels.begin(), site->bels.end(), &comp) != site->bels.end();
    if (!listed && site->comp != nullptr && site->comp != &comp) a.sharedSites.insert(&comp);
  }
  for (Site& site : d.sites)
    if (site.comp != nullptr && static_cast<Comp*>(site.comp)->site != &site) a.mismatches.insert(&site);
  return a;
}

template <class T>
std::set<T*> asSet(const std::vector<T*>& v) {
  return std::set<T*>(v.begin(), v.end());
}

Params smallParams(int components, bool halfRule = false) {
  Params p;
  p.components = components;
  p.device.halfPlcRule = halfRule;
  return p;
}

class GenRules : public ::testing::TestWithParam<bool> {};

// Slots, basic elements and occupants of every site, the register rules of
// every cluster and site, and control records shared by groups of the asked
// sizes with one clock, set/reset and clock enable (their own); groups of one
// register each still fit. (The audit of a design with nothing planted is the
// next test's: each kind planted alone, nothing else is found.)
TEST_P(GenRules, PlacementIsLegalAndControlRecordsMatchTheirSignals) {
  const bool half = GetParam();
  for (const auto& [components, groupMin, groupMax] : {std::tuple{6000, 5, 20}, std::tuple{2000, 1, 1}}) {
    SCOPED_TRACE(components);
    standin::Design d;
    Params p = smallParams(components, half);
    p.ctrlGroupMin = groupMin;
    p.ctrlGroupMax = groupMax;
    const Generated g = designgen::generate(d, p);
    EXPECT_EQ(d.info.halfPlcRegRule, half);
    EXPECT_EQ(d.info.plcRegRule, !half);

    for (standin::Plc* plc : g.device.plcs) {
      for (int pos = 0; pos < 4; ++pos) {
        Site* site = siteAt(plc, pos);
        ASSERT_TRUE(site->hasSlots);
        std::vector<Comp*> slotted;
        for (int slot = standin::L0; slot <= standin::R1; ++slot) {
          auto* comp = static_cast<Comp*>(site->slots[slot]);
          if (comp == nullptr) continue;
          slotted.push_back(comp);
          EXPECT_EQ(comp->type, slot <= standin::L1 ? designgen::TYPE_LUT : designgen::TYPE_REG) << site->name;
          EXPECT_EQ(comp->site, site) << comp->name;
        }
        // The site lists exactly its slotted components; the first is its occupant.
        std::vector<Comp*> bels = site->bels;
        std::sort(bels.begin(), bels.end());
        std::sort(slotted.begin(), slotted.end());
        EXPECT_EQ(bels, slotted) << site->name;
        EXPECT_EQ(site->comp, site->bels.empty() ? nullptr : site->bels.front()) << site->name;
      }
    }
    for (const auto* list : {&g.luts, &g.regs, &g.ios})
      for (Comp* comp : *list) ASSERT_NE(comp->site, nullptr) << comp->name;
    EXPECT_EQ(designgen::siteRuleErrors(g, 0), 0);
    // Under the half rule the halves of a cluster may differ, so that groups
    // can break between them: a whole-cluster check would find some.
    if (half && groupMax > 1) {
      EXPECT_FALSE(audit(d, g).wholeFails.empty());
    }

    for (Comp* lut : g.luts) ASSERT_EQ(lut->regctrl, g.prims.lutCtrl);
    std::map<UP_REGCTRL*, std::vector<Comp*>> groups;
    for (Comp* reg : g.regs) groups[reg->regctrl].push_back(reg);
    std::set<Signal*> enables;
    for (const auto& [record, regs] : groups) {
      ASSERT_NE(record, nullptr);
      EXPECT_EQ(record->count, static_cast<int>(regs.size()));
      EXPECT_GE(static_cast<int>(regs.size()), groupMin);
      EXPECT_LE(static_cast<int>(regs.size()), groupMax);
      for (int pin : {designgen::REG_CK, designgen::REG_CE, designgen::REG_SR})
        for (Comp* reg : regs) EXPECT_EQ(reg->signals[pin], regs.front()->signals[pin]) << reg->name << " pin " << pin;
      Signal* ce = regs.front()->signals[designgen::REG_CE];
      ASSERT_NE(ce, nullptr);
      EXPECT_TRUE(enables.insert(ce).second) << "clock enable shared by two records";
    }
  }
}

// Each kind alone is found exactly as often as asked, exactly where
// planted, and nothing else is.
TEST_P(GenRules, EachKindOfFaultAloneIsFoundWhereAndAsOftenAsPlanted) {
  const bool half = GetParam();
  for (int kind = 0; kind < 7; ++kind) {
    SCOPED_TRACE(kind);
    Params p = smallParams(4000, half);
    p.seed = 10 + static_cast<std::uint64_t>(kind);
    int* counts[] = {&p.faults.replicatedPins, &p.faults.slotPairs,   &p.faults.plcRule,
                     &p.faults.halfPlcRule,    &p.faults.sharedSites, &p.faults.siteMismatches,
                     &p.faults.emptySites};
    *counts[kind] = 3;
    standin::Design d;
    const Generated g = designgen::generate(d, p);
    const Audit a = audit(d, g);
    const designgen::Planted& at = g.planted;

    EXPECT_EQ(a.replicatedPins, p.faults.replicatedPins);
    EXPECT_EQ(a.replicated, asSet(at.replicatedPins));
    EXPECT_EQ(a.slotPairs, asSet(at.slotPairs));
    EXPECT_EQ(a.sharedSites, asSet(at.sharedSites));
    EXPECT_EQ(a.mismatches, asSet(at.siteMismatches));
    EXPECT_EQ(a.emptySites, asSet(at.emptySites));
    EXPECT_EQ(at.slotPairs.size() + at.plcRule.size() + at.halfPlcRule.size() + at.sharedSites.size() +
                  at.siteMismatches.size() + at.emptySites.size() + at.replicatedPins.size(),
              3u);

    // The clusters failing the device's rule: slot pairs and half-cluster
    // faults always, whole-cluster faults under the whole rule only.
    std::set<standin::Plc*> failing;
    for (Site* site : at.slotPairs) failing.insert(site->plc);
    failing.insert(at.halfPlcRule.begin(), at.halfPlcRule.end());
    if (!half) failing.insert(at.plcRule.begin(), at.plcRule.end());
    EXPECT_EQ(half ? a.halfFails : a.wholeFails, failing);
    EXPECT_EQ(designgen::siteRuleErrors(g, 1), static_cast<int>(a.slotPairs.size()));
    EXPECT_EQ(designgen::siteRuleErrors(g, 2), static_cast<int>(failing.size()));
    EXPECT_EQ(designgen::siteRuleErrors(g, 3), static_cast<int>(a.slotPairs.size() + failing.size()));
  }
}

INSTANTIATE_TEST_SUITE_P(Rules, GenRules, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "HalfRule" : "WholeRule"; });

// A fingerprint of everything a check reads: pins of every net and, when
// asked, site and record of every component.
std::vector<long> fingerprint(standin::Design& d, bool placement = true) {
  std::map<UP_REGCTRL*, long> recordNo;
  for (UP_REGCTRL& r : d.regctrls) recordNo.emplace(&r, static_cast<long>(recordNo.size()));
  std::vector<long> f;
  for (Signal& sig : d.signals)
    for (standin::SigPin* pin : sig.pins) f.push_back(pin->comp->id * 8L + pin->pinid);
  for (Comp& comp : d.comps) {
    if (!placement) continue;
    f.push_back(comp.site != nullptr ? comp.site->id : -1);
    f.push_back(comp.regctrl != nullptr ? recordNo[comp.regctrl] : -1);
  }
  return f;
}

// The same seed gives the same design, another seed another; placing or
// not leaves the netlist as it is.
TEST(Gen, SameSeedSameDesignOtherSeedOtherDesign) {
  Params p = smallParams(3000);
  p.faults.slotPairs = 1;
  p.faults.replicatedPins = 2;
  standin::Design a, b, c, placed, unplaced;
  designgen::generate(a, p);
  designgen::generate(b, p);
  p.seed = 2;
  designgen::generate(c, p);
  EXPECT_EQ(fingerprint(a), fingerprint(b));
  EXPECT_NE(fingerprint(a), fingerprint(c));
  p = smallParams(3000);
  designgen::generate(placed, p);
  p.place = false;
  designgen::generate(unplaced, p);
  for (Comp& comp : unplaced.comps) ASSERT_EQ(comp.site, nullptr);
  EXPECT_EQ(fingerprint(unplaced, false), fingerprint(placed, false));
}

TEST(Gen, RefusesWhatItCannotMake) {
  for (auto bad : {+[](Params& q) { q.components = 0; }, +[](Params& q) { q.fill = 0.0; },
                   +[](Params& q) { q.ctrlGroupMin = 9, q.ctrlGroupMax = 8; },
                   +[](Params& q) { q.faults.plcRule = -1; },
                   +[](Params& q) { q.place = false, q.faults.sharedSites = 1; },
                   +[](Params& q) { q.faults.emptySites = 100000; },
                   +[](Params& q) { q.device.plcRows = q.device.plcCols = 2; },
                   +[](Params& q) { q.device.routing = true, q.device.tracks = 0; }}) {
    standin::Design d;
    Params p = smallParams(2000);
    bad(p);
    EXPECT_THROW(designgen::generate(d, p), std::invalid_argument);
  }
  // With the routing graph made on a second thread: faults that cannot be
  // planted are found while it may still be being made.
  for (int threads : {1, 2}) {
    standin::Design d;
    Params p = smallParams(2000);
    p.device.routing = true;
    p.threads = threads;
    p.faults.replicatedPins = 100000;
    EXPECT_THROW(designgen::generate(d, p), std::invalid_argument);
  }
}

// The routing graph, made beside the rest on a second thread or after it
// on one, comes out the same, and so does the design.
TEST(Gen, OneOrTwoThreadsMakeTheSameDesignAndGraph) {
  standin::Design one, two;
  Params p = smallParams(3000);
  p.device.routing = true;
  p.threads = 1;
  const Generated g1 = designgen::generate(one, p);
  p.threads = 2;
  const Generated g2 = designgen::generate(two, p);
  EXPECT_EQ(fingerprint(one), fingerprint(two));
  ASSERT_GT(one.phy.graph.nodes.size(), 1000u);
  EXPECT_EQ(digest::ofDesign(one).graph, digest::ofDesign(two).graph);
  EXPECT_EQ(g1.device.wires.firstNode, g2.device.wires.firstNode);
  EXPECT_EQ(g1.device.wires.firstArc, g2.device.wires.firstArc);
  EXPECT_EQ(g2.device.wires.tracks, 8);
}

// A fitted device holds what it is sized for with `fill` of the binding
// kind of slot used, and is no bigger: a cluster holds 8 LUTs and 8
// registers (85% of them usable), a border position ioPerSide I/O sites.
TEST(Gen, AFittedDeviceLeavesTheFillsRoomAndNoMore) {
  struct Ask {
    int luts, regs, ios;
    double fill;
  };
  const Ask asks[] = {{108, 0, 86, 0.7},   {124, 0, 16, 0.7},  {5035, 575, 309, 0.7}, {300, 2000, 40, 0.5},
                      {10, 10, 600, 0.9},  {4000, 0, 236, 0.7}, {50, 0, 86, 0.05},     {0, 0, 0, 0.7},
                      {60000, 40000, 400, 0.3}};
  for (const Ask& a : asks) {
    const designgen::DeviceParams p = designgen::fitDevice(a.luts, a.regs, a.ios, a.fill);
    const int clusters = p.plcRows * p.plcCols, positions = 2 * (p.plcRows + p.plcCols);
    const double lutRoom = 8.0 * a.fill, regRoom = 8.0 * a.fill * 0.85;
    // Room for every kind, and one row fewer would leave the binding kind short.
    EXPECT_GE(clusters * lutRoom + 1e-9, a.luts) << a.luts << " LUTs";
    EXPECT_GE(clusters * regRoom + 1e-9, a.regs) << a.regs << " registers";
    const int fewer = (p.plcRows - 1) * p.plcCols;
    if (fewer > 0) {
      EXPECT_TRUE(fewer * lutRoom < a.luts || fewer * regRoom < a.regs) << a.luts << " LUTs";
    }
    EXPECT_GE(positions * p.ioPerSide * a.fill + 1e-9, a.ios) << a.ios << " I/O";
    EXPECT_TRUE(p.ioPerSide == 2 || positions * (p.ioPerSide - 1) * a.fill < a.ios) << a.ios << " I/O";
  }
}

// A given device is used as it is, its border I/O sites taking what I/O
// they can hold.
TEST(Gen, AGivenDeviceIsUsedAsItIs) {
  standin::Design d;
  Params p = smallParams(2000);
  p.device.plcRows = 12;
  p.device.plcCols = 15;
  p.device.ioPerSide = 1;
  const Generated g = designgen::generate(d, p);
  EXPECT_EQ(g.device.plcs.size(), 180u);
  EXPECT_EQ(g.ios.size(), 54u);  // 2 * sqrt(2000) = 89 asked, the border holds 54
  for (Comp* io : g.ios) EXPECT_EQ(io->site->bels, std::vector<Comp*>{io});
  Site* site = siteAt(g.device.plcAt(2, 3), 1);
  EXPECT_EQ(site->name, "R3C4B");
  EXPECT_EQ(site->geom->row, 3);
  EXPECT_EQ(site->geom->col, 4);
}

}  // namespace
