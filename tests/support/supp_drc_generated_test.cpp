// The packing checks on a generated design: each planted packing error is
// found as often as it was planted, and nothing else is, under the
// whole-cluster (false) and the half-cluster (true) register rule.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "host/standin/gen/designgen.h"
#include "host/standin/standin_util.h"
#include "support/basapsupp.h"

namespace {

class GeneratedDrc : public ::testing::TestWithParam<bool> {
protected:
  ~GeneratedDrc() override { standin::messages().release(); }
};

TEST_P(GeneratedDrc, EachPlantedFaultIsFoundAsOftenAsPlanted) {
  const bool half = GetParam();
  designgen::Params p;
  p.components = 6000;
  p.seed = 11;
  p.device.halfPlcRule = half;
  p.faults = designgen::Faults{3, 2, 3, 4, 5, 2, 0};
  standin::Design d{"gen"};
  const designgen::Generated g = designgen::generate(d, p);
  AP_SUPP supp(&d);
  standin::messages().capture();
  standin::clearRecords();

  int replicated = 0;
  for (int i = 0; i < d.getnumsignals(); ++i) replicated += supp.drcSig(d.getsignal(i), 0);
  EXPECT_EQ(replicated, 3);
  EXPECT_EQ(supp.drcAllSite(1, 0), 2);
  // A slot pair also breaks its cluster's rule; a whole-cluster fault is
  // legal under the half-cluster rule.
  EXPECT_EQ(supp.drcAllSite(2, 0), half ? 2 + 4 : 2 + 3 + 4);
  standin::clearRecords();
  standin::messages().capture();
  EXPECT_EQ(supp.drcAllSite(0, 1), half ? 8 : 11);
  EXPECT_EQ(standin::messages().fatals.size(), 1u);  // the summary

  std::set<std::string> shared, sharedPlanted, mismatched, mismatchPlanted;
  for (const auto& m : standin::postedMessages()) shared.insert(m.id + " " + m.args.at(0));
  for (standin::Comp* c : g.planted.sharedSites) sharedPlanted.insert("1003 " + c->name);
  EXPECT_EQ(standin::postedMessages().size(), 5u);
  EXPECT_EQ(shared, sharedPlanted);
  for (const auto& e : standin::internalErrors()) mismatched.insert(e.args.at(1));
  for (standin::Site* s : g.planted.siteMismatches) mismatchPlanted.insert(s->name);
  EXPECT_EQ(standin::internalErrors().size(), 2u);
  EXPECT_EQ(mismatched, mismatchPlanted);
}

INSTANTIATE_TEST_SUITE_P(Rules, GeneratedDrc, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "HalfCluster" : "WholeCluster"; });

}  // namespace
