// The register-group round of global placement runs for designs of two
// control sets or more, counted after the control-set reduction; a design
// of one set or none skips it (and spreads more slowly). Either way the
// placement is legal and the improvement never ends longer than it began.
#include <gtest/gtest.h>

#include "qplace/ctrl_reduce.h"
#include "qplace/netlist_reader.h"
#include "placer_util.h"

namespace {

PlacerRun place(const char* file, bool fold, bool halfRule) {
  qplace::LogicNetlist ln = qplace::readLogicNetlistFile(std::string(QPLACE_TEST_DATA "/") + file);
  if (fold) {
    qplace::ReduceParams rp;
    rp.groupSize = halfRule ? 4 : 8;
    qplace::reduceControlSets(ln, rp);
  }
  standin::Design d;
  qplace::buildDesign(ln, d);
  qplace::PlacerOptions opt = quietOptions();
  opt.timing = false;
  opt.halfRule = halfRule;
  opt.detail.annealMoves = 20;
  return runPlacer(d, opt);
}

TEST(GroupRounds, RunOnlyForSeveralControlSetsAfterReduction) {
  struct Case {
    const char* file;
    bool fold, halfRule;
    int sets, rounds;
  };
  // ctrlsets_small: six sets as read; folded, one under the whole-cluster
  // rule and two under the half rule (see ctrl_reduce_test.cpp). alu_lut
  // has no register.
  const Case cases[] = {
      {"ctrlsets_small.json", false, false, 6, 1},
      {"ctrlsets_small.json", true, false, 1, 0},
      {"ctrlsets_small.json", true, true, 2, 1},
      {"alu_lut.json", false, false, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.file) + (c.fold ? " folded" : " as read") + (c.halfRule ? ", half rule" : ""));
    const PlacerRun r = place(c.file, c.fold, c.halfRule);
    ASSERT_TRUE(r.ok) << r.fig.error;
    EXPECT_EQ(r.fig.controlSets, c.sets);
    EXPECT_EQ(r.fig.groupRounds, c.rounds);
    EXPECT_EQ(r.fig.checkErrors, 0);
    EXPECT_LE(r.fig.finalHpwl, r.fig.legalHpwl);
  }
}

}  // namespace
