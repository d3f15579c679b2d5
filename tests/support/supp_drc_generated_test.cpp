// The packing checks on generated designs: a legal design passes every
// check, and each planted packing error is found as often as it was planted,
// under the whole-cluster (false) and the half-cluster (true) register rule.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "host/standin/gen/designgen.h"
#include "host/standin/standin_util.h"
#include "support/basapsupp.h"

namespace {

class GeneratedDrc : public ::testing::TestWithParam<bool> {
protected:
  GeneratedDrc() {
    standin::messages().capture();
    standin::clearRecords();
  }
  ~GeneratedDrc() override { standin::messages().release(); }

  designgen::Generated make(const designgen::Faults& faults) {
    designgen::Params p;
    p.components = 6000;
    p.seed = 11;
    p.device.halfPlcRule = GetParam();
    p.faults = faults;
    return designgen::generate(d, p);
  }

  int replicatedPins() {
    int total = 0;
    for (int i = 0; i < d.getnumsignals(); ++i) total += supp.drcSig(d.getsignal(i), 0);
    return total;
  }

  standin::Design d{"gen"};
  AP_SUPP supp{&d};
};

TEST_P(GeneratedDrc, ALegalDesignPassesEveryCheck) {
  make({});
  EXPECT_EQ(supp.drcAllSite(0, 2), 0);  // reporting: a failing cluster would end the run
  EXPECT_EQ(replicatedPins(), 0);
  EXPECT_TRUE(standin::postedMessages().empty());
  EXPECT_TRUE(standin::internalErrors().empty());
  EXPECT_TRUE(standin::messages().fatals.empty());
  EXPECT_EQ(standin::messages().text(), "");
}

TEST_P(GeneratedDrc, EachPlantedFaultIsFoundAsOftenAsPlanted) {
  designgen::Faults f;
  f.replicatedPins = 3;
  f.slotPairs = 2;
  f.plcRule = 3;
  f.halfPlcRule = 4;
  f.sharedSites = 5;
  f.siteMismatches = 2;
  const designgen::Generated g = make(f);
  const bool half = GetParam();
  EXPECT_EQ(replicatedPins(), 3);
  EXPECT_EQ(supp.drcAllSite(1, 0), 2);
  // A slot pair also breaks its cluster's rule; a whole-cluster fault is
  // legal under the half-cluster rule.
  EXPECT_EQ(supp.drcAllSite(2, 0), half ? 2 + 4 : 2 + 3 + 4);

  standin::clearRecords();
  standin::messages().capture();
  EXPECT_EQ(supp.drcAllSite(0, 1), half ? 8 : 11);
  EXPECT_EQ(standin::messages().fatals.size(), 1u);  // the summary

  std::set<std::string> shared, planted;
  for (const auto& m : standin::postedMessages()) {
    EXPECT_EQ(m.id, "1003");
    shared.insert(m.args.at(0));
  }
  for (standin::Comp* c : g.planted.sharedSites) planted.insert(c->name);
  EXPECT_EQ(standin::postedMessages().size(), 5u);
  EXPECT_EQ(shared, planted);

  std::set<std::string> mismatched, mismatchPlanted;
  for (const auto& e : standin::internalErrors()) mismatched.insert(e.args.at(1));
  for (standin::Site* s : g.planted.siteMismatches) mismatchPlanted.insert(s->name);
  EXPECT_EQ(standin::internalErrors().size(), 2u);
  EXPECT_EQ(mismatched, mismatchPlanted);
}

TEST_P(GeneratedDrc, AComponentOnAnEmptySiteEndsTheCheckAtTheFirst) {
  designgen::Faults f;
  f.emptySites = 2;
  const designgen::Generated g = make(f);
  EXPECT_THROW(supp.drcAllSite(0, 0), UT_EXCEPTION_EXIT);
  ASSERT_EQ(standin::postedMessages().size(), 1u);
  const auto& m = standin::postedMessages()[0];
  EXPECT_EQ(m.id, "1002");
  EXPECT_TRUE(m.args.at(0) == g.planted.emptySites[0]->name || m.args.at(0) == g.planted.emptySites[1]->name);
}

INSTANTIATE_TEST_SUITE_P(Rules, GeneratedDrc, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "HalfCluster" : "WholeCluster"; });

}  // namespace
