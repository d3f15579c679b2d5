// The stand-in database view: its iterators over top ports and primitive
// definitions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/standin/standin_design.h"

namespace {

// Drains an iterator into a list of names and deletes it.
template <class T>
std::vector<std::string> names(udb::Iterator<T>* it) {
  std::vector<std::string> out;
  for (T* item; it->next(item);) out.push_back(item->getName());
  delete it;
  return out;
}

TEST(StandinUdb, IteratorYieldsInOrderThenStopsLeavingTheItem) {
  standin::Design d;
  EXPECT_TRUE(names(d.getphyview()->getTopMod()->getPortIter()).empty());
  d.addTopPort("clk");
  d.addTopPort("rst");
  EXPECT_EQ(names(d.getphyview()->getTopMod()->getPortIter()), (std::vector<std::string>{"clk", "rst"}));
  udb::Iterator<udb::PhyPort>* it = d.getphyview()->getTopMod()->getPortIter();
  udb::PhyPort* port = nullptr;
  while (it->next(port)) {
  }
  EXPECT_FALSE(it->next(port));
  EXPECT_EQ(port->getName(), "rst");
  delete it;
}

TEST(StandinUdb, PrimitiveDefinitionsComeFromDesignPrimitivesAndUnusedOnes) {
  standin::Design d;
  standin::Prim* ff = d.addPrim("FF", {{"D", udb::DIR_INPUT}, {"Q", udb::DIR_OUTPUT}});
  d.addPrimDef("PAD", {{"IO", udb::DIR_TRISTATE}});
  EXPECT_EQ(names(d.getphyview()->getPrimIter()), (std::vector<std::string>{"FF", "PAD"}));

  udb::PhyPrimitive* def = static_cast<UP_PRIM*>(ff)->getphyprim();
  ASSERT_NE(def, nullptr);
  EXPECT_EQ(names(def->getPortIter()), (std::vector<std::string>{"D", "Q"}));
}

}  // namespace
