// The stand-in database view: iterators, constraint selection, primitive
// definitions, and the device and part lookups.
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
  d.addTopPort("clk");
  d.addTopPort("rst");
  udb::Iterator<udb::PhyPort>* it = d.getphyview()->getTopMod()->getPortIter();
  udb::PhyPort* port = nullptr;
  ASSERT_TRUE(it->next(port));
  EXPECT_EQ(port->getName(), "clk");
  ASSERT_TRUE(it->next(port));
  EXPECT_EQ(port->getName(), "rst");
  EXPECT_FALSE(it->next(port));
  EXPECT_EQ(port->getName(), "rst");
  EXPECT_FALSE(it->next(port));
  delete it;

  standin::Design empty;
  EXPECT_TRUE(names(empty.getphyview()->getTopMod()->getPortIter()).empty());
}

TEST(StandinUdb, PrimitiveDefinitionsComeFromDesignPrimitivesAndUnusedOnes) {
  standin::Design d;
  standin::Prim* ff = d.addPrim("FF", {{"D", udb::DIR_INPUT}, {"Q", udb::DIR_OUTPUT}});
  d.addPrimDef("PAD", {{"IO", udb::DIR_TRISTATE}});
  EXPECT_EQ(names(d.getphyview()->getPrimIter()), (std::vector<std::string>{"FF", "PAD"}));
  EXPECT_EQ(d.getnumprims(), 1);

  udb::PhyPrimitive* def = static_cast<UP_PRIM*>(ff)->getphyprim();
  ASSERT_NE(def, nullptr);
  EXPECT_EQ(def->getName(), "FF");
  udb::Iterator<udb::PhyPrimPort>* it = def->getPortIter();
  udb::PhyPrimPort* port = nullptr;
  ASSERT_TRUE(it->next(port));
  EXPECT_EQ(port->getDirection(), udb::DIR_INPUT);
  ASSERT_TRUE(it->next(port));
  EXPECT_EQ(port->getName(), "Q");
  EXPECT_EQ(port->getDirection(), udb::DIR_OUTPUT);
  EXPECT_FALSE(it->next(port));
  delete it;
}

TEST(StandinUdb, ConstraintTypeZeroSelectsEveryConstraint) {
  standin::Design d;
  d.addConstraint("LOCATE a");
  d.addConstraint("FREQUENCY 100")->type = 2;
  d.addConstraint("LOCATE b");
  auto texts = [&](udb::ConstraintType type) {
    std::vector<std::string> out;
    udb::Iterator<udb::Constraint>* it = d.getphyview()->getConstraintIter(type, 0);
    for (udb::Constraint* c; it->next(c);) out.push_back(c->toString());
    delete it;
    return out;
  };
  EXPECT_EQ(texts(udb::CONSTRAINT_ALL),
            (std::vector<std::string>{"LOCATE a", "FREQUENCY 100", "LOCATE b"}));
  EXPECT_EQ(texts(static_cast<udb::ConstraintType>(2)), (std::vector<std::string>{"FREQUENCY 100"}));
}

TEST(StandinUdb, InstanceGivesCellPrimitiveNamesByIndex) {
  standin::Design d;
  standin::Comp* c = d.addComp("u0", d.addPrim("LUT", {}));
  c->instance->primNames = {"u0_lut", ""};
  udb::PhyInstance* inst = static_cast<UP_COMP*>(c)->getinstance();
  EXPECT_EQ(inst->getPrimitiveName(0, udb::DesignObjectXRef::XREF_DBNAME), "u0_lut");
  EXPECT_EQ(inst->getPrimitiveName(1, udb::DesignObjectXRef::XREF_DBNAME), "");
  EXPECT_EQ(inst->getPrimitiveName(9, udb::DesignObjectXRef::XREF_DBNAME), "");
}

TEST(StandinDevice, SiteTypesByNameAndPinTypes) {
  standin::Design d;
  d.addSiteType("SLICE", {{"A", udb::DIR_INPUT}});
  d.addSiteType("PIO", {{"PAD", udb::DIR_INOUT}, {"T", udb::DIR_TRISTATE}});
  NP_DEVICE* device = d.getdevice();
  NP_SITEPARAM* pio = device->getsiteparambyname("PIO");
  ASSERT_NE(pio, nullptr);
  EXPECT_STREQ(pio->getname(), "PIO");
  EXPECT_EQ(pio->getnumpins(), 2);
  EXPECT_EQ(pio->getpintype(0).bytes[0], CM_PINTYPE::INPUT | CM_PINTYPE::OUTPUT);
  EXPECT_EQ(pio->getpintype(1).bytes[0], 0);  // no direction
  EXPECT_EQ(pio->getpintype(2).bytes[0], 0);  // past the last pin
  EXPECT_EQ(device->getsiteparambyname("DSP"), nullptr);
  EXPECT_EQ(device->getsiteparambyname(nullptr), nullptr);
}

TEST(StandinCell, ComponentsGetTheCellOfTheirPrimitive) {
  standin::Design d;
  standin::Comp* c = d.addComp("u0", d.addPrim("LUT", {}));
  CM_CELLCONTEXT* cell = static_cast<UP_COMP*>(c)->getlogic();
  ASSERT_NE(cell, nullptr);
  EXPECT_STREQ(cell->getname(), "LUT");
  EXPECT_EQ(cell->getprogramming_string(0, 0, 1).getstring(1), nullptr);
  c->logic->setProgramming("INIT=0x8 MODE=LOGIC");
  EXPECT_STREQ(cell->getprogramming_string(0, 0, 1).getstring(1), "INIT=0x8 MODE=LOGIC");
}

}  // namespace
