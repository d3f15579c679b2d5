// Device building of the generator interface, for builds in which the
// generator library is not there yet: the primitives, the three component
// kinds, fitDevice and addDevice (without routing graph), as designgen.h
// describes them. The generator library replaces this file once it exists.
#include <algorithm>
#include <cmath>
#include <string>

#include "host/standin/gen/designgen.h"

namespace designgen {

Prims addPrims(standin::Design& d) {
  Prims p;
  p.lut = d.addPrim("LUT4", {{"A", udb::DIR_INPUT}, {"B", udb::DIR_INPUT}, {"C", udb::DIR_INPUT},
                             {"D", udb::DIR_INPUT}, {"Z", udb::DIR_OUTPUT}});
  for (int i = 0; i < 4; ++i) p.lut->logicPins[static_cast<std::size_t>(i)] = i;
  p.lut->logicPins[7] = LUT_D;
  p.reg = d.addPrim("FF", {{"D", udb::DIR_INPUT}, {"CK", udb::DIR_INPUT}, {"CE", udb::DIR_INPUT},
                           {"SR", udb::DIR_INPUT}, {"Q", udb::DIR_OUTPUT}});
  p.reg->logicPins[17] = REG_CK;
  p.reg->logicPins[14] = REG_CE;
  p.reg->logicPins[16] = REG_SR;
  p.io = d.addPrim("IO", {{"I", udb::DIR_INPUT}, {"O", udb::DIR_OUTPUT}});
  return p;
}

namespace {

standin::Comp* addKind(standin::Design& d, standin::Prim* prim, const std::string& name, int type,
                       bool pfu) {
  standin::Comp* c = d.addComp(name, prim);
  c->type = type;
  c->pfu = pfu;
  return c;
}

}  // namespace

standin::Comp* addLut(standin::Design& d, const Prims& prims, const std::string& name) {
  return addKind(d, prims.lut, name, TYPE_LUT, true);
}
standin::Comp* addReg(standin::Design& d, const Prims& prims, const std::string& name) {
  return addKind(d, prims.reg, name, TYPE_REG, true);
}
standin::Comp* addIo(standin::Design& d, const Prims& prims, const std::string& name) {
  return addKind(d, prims.io, name, TYPE_IO, false);
}

Device addDevice(standin::Design& d, const DeviceParams& params) {
  Device dev;
  dev.plcRows = params.plcRows;
  dev.plcCols = params.plcCols;
  dev.logicType = d.addSiteType("SLICE", {{"A0", udb::DIR_INPUT}, {"B0", udb::DIR_INPUT},
                                          {"C0", udb::DIR_INPUT}, {"D0", udb::DIR_INPUT},
                                          {"F0", udb::DIR_OUTPUT}, {"Q0", udb::DIR_OUTPUT}});
  dev.logicType->uniqBels = 2;
  dev.logicType->pfu = true;
  dev.ioType = d.addSiteType("PIO", {{"PADDI", udb::DIR_OUTPUT}, {"PADDO", udb::DIR_INPUT}});
  dev.ioType->pfu = false;
  const int rows = params.plcRows, cols = params.plcCols;
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) {
      dev.plcs.push_back(d.addPlc("R" + std::to_string(r + 1) + "C" + std::to_string(c + 1),
                                  dev.logicType, r + 1, c + 1));
      for (UP_SITE* s : dev.plcs.back()->sites) static_cast<standin::Site*>(s)->hasSlots = true;
    }
  auto io = [&](int r, int c) {
    for (int k = 0; k < params.ioPerSide; ++k)
      dev.ioSites.push_back(d.addSite("IO_R" + std::to_string(r) + "C" + std::to_string(c) +
                                          static_cast<char>('A' + k),
                                      dev.ioType, r, c));
  };
  for (int c = 1; c <= cols; ++c) io(0, c);
  for (int r = 1; r <= rows; ++r) io(r, cols + 1);
  for (int c = cols; c >= 1; --c) io(rows + 1, c);
  for (int r = rows; r >= 1; --r) io(r, 0);
  d.phy.grid.rows = static_cast<unsigned short>(rows + 2);
  d.phy.grid.cols = static_cast<unsigned short>(cols + 2);
  d.info.plcRegRule = !params.halfPlcRule;
  d.info.halfPlcRegRule = params.halfPlcRule;
  return dev;
}

DeviceParams fitDevice(int luts, int regs, int ios, double fill) {
  const double kMostOfAKind = 0.9;
  fill = std::min(1.0, std::max(0.05, fill));
  const double sites = std::max({(std::max(luts, 0) + std::max(regs, 0)) / (4.0 * fill),
                                 std::max(luts, 0) / (2.0 * kMostOfAKind),
                                 std::max(regs, 0) / (2.0 * kMostOfAKind), 1.0});
  const int plcs = static_cast<int>(std::ceil(sites / 4.0));
  DeviceParams p;
  p.plcRows = std::max(1, static_cast<int>(std::lround(std::sqrt(static_cast<double>(plcs)))));
  p.plcCols = (plcs + p.plcRows - 1) / p.plcRows;
  const int positions = 2 * (p.plcRows + p.plcCols);
  p.ioPerSide = std::max(p.ioPerSide, (std::max(ios, 0) + positions - 1) / positions);
  return p;
}

}  // namespace designgen
