// Placement: legality against the register rules, the whole run on
// picorv32, its determinism, spreading capacity and failure reporting.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <map>
#include <set>

#include "qplace/checks.h"
#include "qplace/netlist_reader.h"
#include "qplace/placer.h"
#include "host/standin/standin_util.h"
#include "support/basapsupp.h"

namespace {

using qplace::PlacerOptions;
using qplace::QuadraticPlacer;

// The register rules through the library: per site R0 and R1, per
// cluster the whole or the half rule. Returns the faults.
int registerRuleFaults(standin::Design& d, bool halfRule) {
  int faults = 0;
  for (standin::Plc& plc : d.plcs) {
    for (UP_SITE* s : plc.sites) {
      UP_COMP** slots = s->getslotcomps();
      if (slots != nullptr) faults += !AP_SUPP::regCompatible(slots[standin::R0], slots[standin::R1]);
    }
    faults += !(halfRule ? AP_SUPP::regCompatibleUA(&plc) : AP_SUPP::regCompatible(&plc));
  }
  return faults;
}

struct Placed {
  qplace::PlacerFigures figures;
  double libraryTotal = -1;  // the SIGBBOX total of AP_SUPP::dumpBBox
  std::map<std::string, std::string> siteOf;  // component -> site
  int ruleFaults = 0;
  int unplaced = 0;
  bool ok = false;
};

Placed placePicorv32(PlacerOptions opt) {
  Placed run;
  standin::Design d;
  qplace::readNetlistFile(QPLACE_PICORV32, d);
  opt.verbosity = 0;
  QuadraticPlacer placer(d, opt);
  run.ok = placer.apMain();
  run.figures = placer.figures();
  for (standin::Comp& c : d.comps) {
    if (c.site == nullptr) ++run.unplaced;
    else run.siteOf[c.name] = c.site->name;
  }
  run.ruleFaults = registerRuleFaults(d, opt.halfRule);
  standin::messages().capture();
  AP_SUPP(&d).dumpBBox(nullptr, nullptr);
  const std::string stats = standin::messages().take();
  standin::messages().release();
  const std::size_t at = stats.find("total=");
  if (at != std::string::npos) run.libraryTotal = std::stod(stats.substr(at + 6));
  return run;
}

TEST(Placer, Picorv32IsPlacedLegallyAndBeatsRandomPlacement) {
  for (bool half : {false, true}) {
    PlacerOptions opt;
    opt.halfRule = half;
    Placed r = placePicorv32(opt);
    ASSERT_TRUE(r.ok) << r.figures.error;
    EXPECT_EQ(r.figures.checkErrors, 0);
    EXPECT_EQ(r.ruleFaults, 0);
    EXPECT_EQ(r.unplaced, 0);
    // Detailed improvement never loses; the result is far below random.
    EXPECT_LE(r.figures.finalHpwl, r.figures.legalHpwl);
    ASSERT_GT(r.figures.randomHpwl, 0);
    EXPECT_LT(r.figures.finalHpwl, 0.25 * r.figures.randomHpwl) << "half rule " << half;
    // The placer's wirelength is the library's bounding-box total.
    EXPECT_EQ(r.figures.finalHpwl, r.libraryTotal);
  }
}

// The tests below need a legal placement, not the best one: a short
// annealing keeps them quick under the sanitizers.
PlacerOptions quick() {
  PlacerOptions opt;
  opt.baseline = false;
  opt.detail.annealMoves = 20;
  return opt;
}

TEST(Placer, WritesThePlacementFileBoxesAndPicture) {
  PlacerOptions opt = quick();
  opt.outDir = testing::TempDir() + "qplace_out";
  Placed r = placePicorv32(opt);
  ASSERT_TRUE(r.ok) << r.figures.error;
  auto lines = [](const std::string& path, const std::string& prefix) {
    std::ifstream in(path);
    int n = 0;
    for (std::string line; std::getline(in, line);) n += line.rfind(prefix, 0) == 0;
    return n;
  };
  // One LOCATE line per component, none of them NOSITE; one box per signal
  // but the clock.
  EXPECT_EQ(lines(opt.outDir + "/placement.lct", "LOCATE COMP "), 5305);
  std::ifstream lct(opt.outDir + "/placement.lct");
  std::string all((std::istreambuf_iterator<char>(lct)), std::istreambuf_iterator<char>());
  EXPECT_EQ(all.find("NOSITE"), std::string::npos);
  EXPECT_EQ(lines(opt.outDir + "/bbox.txt", "Signal") - lines(opt.outDir + "/bbox.txt", "Signals="), 4997);
  std::ifstream svg(opt.outDir + "/placement.svg");
  std::string head;
  std::getline(svg, head);
  EXPECT_EQ(head.rfind("<svg ", 0), 0u) << head;
}

TEST(Placer, SameSeedSamePlacement) {
  PlacerOptions opt = quick();
  Placed a = placePicorv32(opt), b = placePicorv32(opt);
  ASSERT_TRUE(a.ok && b.ok);
  EXPECT_EQ(a.figures.finalHpwl, b.figures.finalHpwl);
  EXPECT_EQ(a.siteOf, b.siteOf);
}

TEST(Placer, MoreEffortPlacesNoWorseAndBadEffortIsAnError) {
  // A small generated design, placed at efforts 1 and 4 with one seed: the
  // longer annealing ends legal and shorter (a run that ignored the effort
  // would end at the same wirelength).
  auto place = [](double effort, qplace::PlacerFigures& fig) {
    standin::Design d;
    designgen::Params gp;
    gp.components = 1200;
    gp.seed = 3;
    gp.place = false;
    designgen::Generated gen = designgen::generate(d, gp);
    PlacerOptions opt;
    opt.device = &gen.device;
    opt.baseline = false;
    opt.verbosity = 0;
    opt.effort = effort;
    QuadraticPlacer placer(d, opt);
    const bool ok = placer.apMain();
    fig = placer.figures();
    return ok && registerRuleFaults(d, false) == 0;
  };
  qplace::PlacerFigures one, four;
  ASSERT_TRUE(place(1, one)) << one.error;
  ASSERT_TRUE(place(4, four)) << four.error;
  EXPECT_EQ(four.checkErrors, 0);
  EXPECT_EQ(four.legalHpwl, one.legalHpwl);  // the effort acts on the improvement only
  EXPECT_LT(four.finalHpwl, one.finalHpwl);
  // Out of range: refused before any work, whatever the caller passes.
  for (double bad : {0.0, -1.0, std::nan(""), 1e9}) {
    qplace::PlacerFigures fig;
    EXPECT_FALSE(place(bad, fig)) << bad;
    EXPECT_EQ(fig.error.rfind("the effort must be a number in (0, 1000], not ", 0), 0u) << fig.error;
    EXPECT_EQ(fig.units, 0);
  }
}

TEST(Placer, ADeviceTooSmallIsAnError) {
  PlacerOptions opt;
  opt.rows = 20;  // 400 clusters hold 3,200 LUTs: 99 short
  opt.cols = 20;
  Placed r = placePicorv32(opt);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.figures.error, "the device is too small: 3299 LUTs for 3200 LUT places, 218 register groups needed of 400");
}

TEST(Checks, FindPlantedFaults) {
  standin::Design d;
  qplace::readNetlistFile(QPLACE_PICORV32, d);
  PlacerOptions opt = quick();
  opt.verbosity = 0;
  QuadraticPlacer placer(d, opt);
  ASSERT_TRUE(placer.apMain());
  ASSERT_EQ(qplace::checkPlacement(d).errors, 0);

  // A register moved into the R1 slot of a site whose R0 holds a register
  // of another record breaks the site and the cluster rule.
  standin::Comp* moved = nullptr;
  standin::Site* target = nullptr;
  for (standin::Site& s : d.sites) {
    auto* r0 = static_cast<standin::Comp*>(s.slots[standin::R0]);
    if (s.plc == nullptr || r0 == nullptr || s.slots[standin::R1] != nullptr) continue;
    for (standin::Comp& c : d.comps)
      if (c.prim->name == "FF" && c.regctrl != r0->regctrl) {
        moved = &c;
        target = &s;
        break;
      }
    if (moved != nullptr) break;
  }
  ASSERT_NE(moved, nullptr);
  standin::Site* from = moved->site;
  for (int k = 0; k < 4; ++k)
    if (from->slots[k] == moved) d.setSlot(from, static_cast<standin::Slot>(k), nullptr);
  d.place(moved, target);
  d.setSlot(target, standin::R1, moved);
  EXPECT_EQ(qplace::checkPlacement(d).errors, 0);  // the slots themselves are fine
  EXPECT_EQ(registerRuleFaults(d, false), 2);
  AP_SUPP supp(&d);
  EXPECT_EQ(supp.drcAllSite(0, 0), 2);  // the site's pair and its cluster

  // A LUT in a register slot, and an unplaced component.
  d.unplace(moved);
  d.setSlot(target, standin::R1, nullptr);
  standin::Comp* lut = nullptr;
  standin::Site* site = nullptr;
  for (standin::Site& s : d.sites)
    if (s.plc != nullptr && s.slots[standin::L0] != nullptr && s.slots[standin::R1] == nullptr) {
      site = &s;
      lut = static_cast<standin::Comp*>(s.slots[standin::L0]);
      break;
    }
  ASSERT_NE(lut, nullptr);
  d.setSlot(site, standin::L0, nullptr);
  d.setSlot(site, standin::R1, lut);
  qplace::CheckResult bad = qplace::checkPlacement(d);
  ASSERT_EQ(bad.errors, 2);  // the LUT in a register slot, the register unplaced
  const std::string wrongSlot = "component " + lut->name + " in a slot of the wrong kind on " + site->name;
  const std::string unplaced = "component " + moved->name + " is not placed";
  EXPECT_TRUE((bad.first[0] == wrongSlot && bad.first[1] == unplaced) ||
              (bad.first[0] == unplaced && bad.first[1] == wrongSlot))
      << bad.first[0] << "\n" << bad.first[1];
}

TEST(Spreading, RoughLegalizationRespectsClusterCapacity) {
  standin::Design d;
  qplace::readNetlistFile(QPLACE_PICORV32, d);
  qplace::Model m = qplace::packDesign(d);
  qplace::Fabric f = qplace::makeFabric(d, m, 0.5, 0, 0, false);  // room to spare at both densities
  // Every unit piled near one corner.
  std::vector<double> x(static_cast<std::size_t>(m.numUnits())), y(x.size()), ax, ay;
  for (int u = 0; u < m.numUnits(); ++u) {
    x[u] = 2 + 0.001 * (u % 97);
    y[u] = 3 + 0.001 * (u % 89);
  }
  for (double density : {1.0, 0.8}) {
    ASSERT_GT(qplace::overflow(m, f, x, y, density), 0.9);
    qplace::roughLegalize(m, f, x, y, density, ax, ay);
    std::vector<double> use(static_cast<std::size_t>(f.numClusters()), 0.0);
    for (int u = 0; u < m.numUnits(); ++u)
      if (!m.isIo(u)) use[f.clusterAt(ax[u], ay[u])] += qplace::unitArea(m, u);
    for (double a : use) ASSERT_LE(a, qplace::kBles * density + 1.5);
    // What is left is rounding: whole units in clusters of fractional room.
    EXPECT_LT(qplace::overflow(m, f, ax, ay, density), 0.05);
  }
}

}  // namespace
