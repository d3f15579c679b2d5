// The three primitives of generated and read designs and their components.
#include "host/standin/gen/designgen.h"

namespace designgen {

Prims addPrims(standin::Design& d) {
  const udb::Direction in = udb::DIR_INPUT;
  const udb::Direction out = udb::DIR_OUTPUT;
  Prims prims;
  prims.lut = d.addPrim("LUT4", {{"A", in}, {"B", in}, {"C", in}, {"D", in}, {"Z", out}});
  for (int pin = LUT_A; pin <= LUT_D; ++pin) prims.lut->logicPins[static_cast<std::size_t>(pin)] = pin;
  prims.lut->logicPins[7] = LUT_D;

  prims.reg = d.addPrim("FF", {{"D", in}, {"CK", in}, {"CE", in}, {"SR", in}, {"Q", out},
                                  {"SR2", in}, {"AL", in}, {"AD", in}});
  prims.reg->logicPins[17] = REG_CK;
  prims.reg->logicPins[14] = REG_CE;
  prims.reg->logicPins[16] = REG_SR;

  prims.io = d.addPrim("IO", {{"I", in}, {"O", out}});
  prims.lutCtrl = d.addRegCtrl(0);
  return prims;
}

namespace {

standin::Comp* addOfKind(standin::Design& d, standin::Prim* prim, const std::string& name,
                         CompType type, bool pfu) {
  standin::Comp* comp = d.addComp(name, prim);
  comp->type = type;
  comp->pfu = pfu;
  return comp;
}

}  // namespace

standin::Comp* addLut(standin::Design& d, const Prims& prims, const std::string& name) {
  standin::Comp* comp = addOfKind(d, prims.lut, name, TYPE_LUT, true);
  comp->regctrl = prims.lutCtrl;
  return comp;
}

standin::Comp* addReg(standin::Design& d, const Prims& prims, const std::string& name) {
  return addOfKind(d, prims.reg, name, TYPE_REG, true);
}

standin::Comp* addIo(standin::Design& d, const Prims& prims, const std::string& name) {
  return addOfKind(d, prims.io, name, TYPE_IO, false);
}

}  // namespace designgen
