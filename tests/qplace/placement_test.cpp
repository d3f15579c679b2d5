// Placement of picorv32: legal and far below random, its output files, the
// legality check; the effort.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <set>

#include "qplace/checks.h"
#include "qplace/netlist_reader.h"
#include "placer_util.h"
#include "reader_util.h"

namespace {

using qplace::PlacerOptions;

// picorv32 placed into `d`.
PlacerRun placePicorv32(const PlacerOptions& opt, standin::Design& d) {
  qplace::readNetlistFile(QPLACE_PICORV32, d);
  return runPlacer(d, opt);
}

// A short run (a legal placement, not the best one, quick under the
// sanitizers): legal, far below random and measured as the library does;
// the placement file and picture, and the legality check, which passes the
// result and finds a LUT moved into a register slot, a register on its
// site but in no slot, and one taken off its site.
TEST(Placer, ShortRunOfPicorv32IsLegalWritesItsFilesAndPassesTheCheck) {
  PlacerOptions opt;
  opt.detail.annealMoves = 20;
  opt.verbosity = 0;
  opt.outDir = testing::TempDir() + "qplace_out";
  standin::Design d;
  const PlacerRun r = placePicorv32(opt, d);
  ASSERT_TRUE(r.ok) << r.fig.error;
  EXPECT_EQ(r.fig.checkErrors, 0);
  EXPECT_EQ(r.ruleFaults, 0);
  EXPECT_EQ(r.unplaced, 0);
  // Detailed improvement never loses; the result is far below random.
  EXPECT_LE(r.fig.finalHpwl, r.fig.legalHpwl);
  ASSERT_GT(r.fig.randomHpwl, 0);
  EXPECT_LT(r.fig.finalHpwl, 0.25 * r.fig.randomHpwl);
  // The placer's wirelength is the library's bounding-box total.
  standin::messages().capture();
  AP_SUPP(&d).dumpBBox(nullptr, nullptr);
  const std::string stats = standin::messages().take();
  standin::messages().release();
  ASSERT_NE(stats.find("total="), std::string::npos) << stats;
  EXPECT_EQ(r.fig.finalHpwl, std::stod(stats.substr(stats.find("total=") + 6)));
  auto lines = [](const std::string& path, const std::string& prefix) {
    std::ifstream in(path);
    int n = 0;
    for (std::string line; std::getline(in, line);) n += line.rfind(prefix, 0) == 0;
    return n;
  };
  // One LOCATE line per component, none of them NOSITE: 3,299 LUTs, 1,597
  // registers and 236 I/O (173 port bits are constant or unconnected).
  EXPECT_EQ(lines(opt.outDir + "/placement.lct", "LOCATE COMP "), 5132);
  EXPECT_EQ(fileText(opt.outDir + "/placement.lct").find("NOSITE"), std::string::npos);
  std::ifstream svg(opt.outDir + "/placement.svg");
  std::string head;
  std::getline(svg, head);
  EXPECT_EQ(head.rfind("<svg ", 0), 0u) << head;

  ASSERT_EQ(qplace::checkPlacement(d).errors, 0);
  standin::Comp* lut = nullptr;
  standin::Site* site = nullptr;
  std::vector<standin::Comp*> regs;  // taken out of their R0 slots
  for (standin::Site& s : d.sites) {
    if (s.plc == nullptr) continue;
    if (lut == nullptr && s.slots[standin::L0] != nullptr && s.slots[standin::R1] == nullptr) {
      site = &s;
      lut = static_cast<standin::Comp*>(s.slots[standin::L0]);
    } else if (regs.size() < 2 && s.slots[standin::R0] != nullptr) {
      regs.push_back(static_cast<standin::Comp*>(s.slots[standin::R0]));
      d.setSlot(&s, standin::R0, nullptr);
    }
  }
  ASSERT_TRUE(lut != nullptr && regs.size() == 2);
  d.unplace(regs[1]);
  d.setSlot(site, standin::L0, nullptr);
  d.setSlot(site, standin::R1, lut);
  const qplace::CheckResult bad = qplace::checkPlacement(d);
  EXPECT_EQ(bad.errors, 3);
  EXPECT_EQ(std::set<std::string>(bad.first.begin(), bad.first.end()),
            (std::set<std::string>{"component " + lut->name + " in a slot of the wrong kind on " + site->name,
                                   "component " + regs[0]->name + " is in 0 slots of " + regs[0]->site->name,
                                   "component " + regs[1]->name + " is not placed"}));
}

TEST(Placer, MoreEffortPlacesNoWorseAndBadEffortIsAnError) {
  // A small generated design, placed at efforts 1 and 4 with one seed: the
  // longer annealing ends legal and shorter (a run that ignored the effort
  // would end at the same wirelength). On wirelength alone: timing-driven,
  // the annealing trades some wirelength for the critical path.
  auto place = [](double effort, qplace::PlacerFigures& fig) {
    standin::Design d;
    designgen::Generated gen = generated(d, 1200, 3);
    PlacerOptions opt;
    opt.verbosity = 0;
    opt.baseline = false;
    opt.device = &gen.device;
    opt.effort = effort;
    opt.timingDriven.tradeoff = 0;
    const PlacerRun r = runPlacer(d, opt);
    fig = r.fig;
    return r.ok && r.ruleFaults == 0;
  };
  qplace::PlacerFigures one, four;
  ASSERT_TRUE(place(1, one)) << one.error;
  ASSERT_TRUE(place(4, four)) << four.error;
  EXPECT_EQ(four.checkErrors, 0);
  EXPECT_EQ(four.legalHpwl, one.legalHpwl);  // the effort acts on the improvement only
  EXPECT_LT(four.finalHpwl, one.finalHpwl);
  // A design the small-design floor lengthens spends its effort as runs
  // of the schedule of effort 1, each from where the last ended: at no
  // seed does a whole effort end longer than a smaller one, timing-driven
  // or not, and over the seeds the later runs find something.
  for (const double tradeoff : {0.0, 0.3}) {
    double sumOne = 0, sumThree = 0;
    for (std::uint64_t seed = 1; seed <= 3; ++seed) {
      auto small = [&](double effort) {
        standin::Design d;
        designgen::Generated gen = generated(d, 150, seed);
        PlacerOptions opt;
        opt.verbosity = 0;
        opt.baseline = false;
        opt.device = &gen.device;
        opt.seed = seed;
        opt.effort = effort;
        opt.minAnnealTries = 2e5;  // 1,000 tries a unit and more: on the floor
        opt.timingDriven.tradeoff = tradeoff;
        const PlacerRun r = runPlacer(d, opt);
        EXPECT_TRUE(r.ok && r.ruleFaults == 0 && r.fig.checkErrors == 0) << r.fig.error;
        return r.fig.finalHpwl;
      };
      const double at1 = small(1), at2 = small(2), at3 = small(3);
      EXPECT_LE(at2, at1) << "seed " << seed << " trade-off " << tradeoff;
      EXPECT_LE(at3, at2) << "seed " << seed << " trade-off " << tradeoff;
      sumOne += at1;
      sumThree += at3;
    }
    EXPECT_LT(sumThree, sumOne) << "trade-off " << tradeoff;
  }
  // Out of range: refused before any work, whatever the caller passes.
  for (double bad : {0.0, -1.0, std::nan(""), 1e9}) {
    qplace::PlacerFigures fig;
    EXPECT_FALSE(place(bad, fig)) << bad;
    EXPECT_EQ(fig.error.rfind("the effort must be a number in (0, 1000], not ", 0), 0u) << fig.error;
    EXPECT_EQ(fig.units, 0);
  }
}

}  // namespace
