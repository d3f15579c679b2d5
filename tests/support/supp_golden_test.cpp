// The whole output of each report on one small design, compared byte for
// byte with the expected texts under tests/support/golden/. The design has
// every kind of element the reports show and one of each broken link they
// check; each internal error appears in the expected text as a line
// "@@ internal error <code>: <detail>" where it was reported.
//
// To rewrite the expected texts after a deliberate change of a report:
//   BASAPLACE_REGEN_GOLDEN=1 build/tests/support/test_support --gtest_filter='Golden*'
// then read `git diff tests/support/golden` line by line before committing.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "host/standin/standin_design.h"
#include "report_capture.h"
#include "support/basapsupp.h"

namespace {

using standin::Comp;
using standin::Design;
using standin::Signal;
using standin::Site;

constexpr udb::Direction I = udb::DIR_INPUT, O = udb::DIR_OUTPUT, B = udb::DIR_INOUT,
                         T = udb::DIR_TRISTATE;

// The design of the expected texts.
class GoldenDesign : public Design {
public:
  GoldenDesign() : Design("top") {
    device.part.family = "FAM5";
    device.part.device = "DEV-25";
    device.part.package = std::make_unique<UT_STROBJ>("CABGA256");  // no speed grade
    info.options["dumpLocateRCZ"] = 1;
    addCompChar("LUT4 depth=1");
    addCompChar("FF sync");
    addTopPort("clk");
    addTopPort("din");
    addTopPort("dout_long_name");
    addConstraint("FREQUENCY NET \"clk\" 100 MHz");
    addConstraint("BLOCK RESETPATHS")->type = 3;
    phy.grid.rows = 10;
    phy.grid.cols = 12;
    phy.grid.t1offset = 1;
    phy.grid.t2offset = -2;
    phy.tiles.rowPos = {0, 16, 40};
    phy.tiles.colPos = {8, 24};

    // Site types; "PIO" has a pin of no direction, "EBR" fewer pins than its
    // definition has ports, "DSP" more.
    auto* sliceType =
        addSiteType("SLICE", {{"A0", I}, {"B0", I}, {"CLK", I}, {"F0", O}, {"Q0", O}});
    auto* pioType = addSiteType("PIO", {{"PAD", B}, {"PADDI", O}, {"PADDO", I}, {"TS", T}});
    auto* ebrType = addSiteType("EBR", {{"DI0", I}, {"DO0", O}, {"CLK", I}});
    addSiteType("DSP", {{"A", I}, {"B", I}, {"P", O}, {"CE", I}});

    // Sites: a logic cluster, two I/O sites (one with a linked object of
    // another name, one of the same name), a memory site.
    standin::Plc* plc = addPlc("R2C2", sliceType, 2, 2);
    Site* slice0 = static_cast<Site*>(plc->sites[0]);
    Site* slice1 = static_cast<Site*>(plc->sites[1]);
    Site* pio1 = addSite("PIO1", pioType, 0, 3);
    Site* pio2 = addSite("PIO2", pioType, 5, 0);
    Site* ebr = addSite("EBR1", ebrType, 4, 4);
    device.sites[static_cast<std::size_t>(pio1->id)].altname = "P1";
    device.sites[static_cast<std::size_t>(pio2->id)].altname = "PIO2";

    // Geometry: spread values with a quadrant; a common value at the top of
    // the range and no quadrant; values above the range; no pins; a record
    // without arrays.
    geom(slice0, {10, 12, 10, 14, 11}, {3, 3, 3, 3, 3}, 1, 0);
    geom(slice1, {9999, 9999, 9999, 9999, 9999}, {-1, -2, -3, -1, -1}, -1, 1);
    geom(pio1, {10000, 10000, 10000, 10000}, {7, 7, 7, 7}, 0, 0);
    geom(addSite("DIV0", addSiteType("CLKDIV", {}), 6, 6), {}, {}, -1, 0);
    standin::Geom* g = addGeom(ebr, 4, 4);
    g->pinx = nullptr;
    g->piny = nullptr;

    // Primitives and definitions. "EBR" and "DSP" are definitions no
    // component uses; "GHOST" has no site type of its name.
    standin::Prim* slicePrim =
        addPrim("SLICE", {{"A0", I}, {"B0", I}, {"CLK", I}, {"F0", O}, {"Q0", O}});
    standin::Prim* pioPrim = addPrim("PIO", {{"PAD", B}, {"PADDI", O}, {"PADDO", I}, {"TS", T}});
    pioPrim->ports[3].id = 5;  // broken: the port's own index
    addPrimDef("EBR", {{"RST", B}, {"DI0", I}, {"DO0", O}, {"CLK", I}, {"EXTRA", O}});
    addPrimDef("GHOST", {{"X", I}});
    addPrimDef("DSP", {{"A", I}, {"P", O}});
    slicePrim->cell->setProgramming("  LUT0=0x8000   MODE=LOGIC\tREG0=ON ");
    slicePrim->cell->addPrim("LUT0");
    slicePrim->cell->addPrim("FF0");
    pioPrim->cell->setProgramming(" \t ");

    Comp* lut = addComp("lut_a", slicePrim);
    Comp* reg = addComp("reg_b", slicePrim);
    Comp* in = addComp("io_in", pioPrim);
    Comp* out = addComp("io_out", pioPrim);
    Comp* free1 = addComp("lut_free", slicePrim);
    Comp* brokenInst = addComp("bad_inst", slicePrim);
    Comp* free2 = addComp("lut_free2", slicePrim);
    lut->type = brokenInst->type = free1->type = free2->type = 5;
    reg->type = 3;
    in->type = out->type = 1;
    in->sname = "ioin";
    instances[static_cast<std::size_t>(lut->id)].setPrimNames({"lut_a/LUT0", "", "lut_a/FF0"});
    instances[static_cast<std::size_t>(reg->id)].setPrimNames({"", "reg_b/FF0"});
    instances[static_cast<std::size_t>(brokenInst->id)].setPrimNames({"bad/LUT0"});
    // broken: the instance carries another component
    brokenInst->instance->appData.set(UP_Access::m_PhyInstance_idx, static_cast<UP_COMP*>(lut));

    place(lut, slice0);
    place(reg, slice0);
    place(brokenInst, slice1);
    place(in, pio1);
    place(out, pio2);
    setSlot(slice0, standin::L0, lut);
    setSlot(slice0, standin::R1, reg);
    setSlot(slice1, standin::L1, brokenInst);

    net("clk", in, 1, {{lut, 2}, {reg, 2}})->clocks = Signal::CLK2;
    net("n_a", lut, 3, {{reg, 0}, {out, 2}, {brokenInst, 1}});
    net("n_b", free1, 3, {{lut, 1}});
    addSignal("n_float");
    net("n_unplaced", free1, 4, {{free2, 0}});
    Signal* brokenNet = net("n_broken_net", reg, 4, {{brokenInst, 0}});
    brokenNet->net = nullptr;        // broken: no database net
    brokenNet->pins[1]->pinid = -1;  // broken: the pin's own id

    // broken: a pin whose port is another port of the primitive, and a pin
    // whose type disagrees with its port
    reg->sigpins[0]->port = &slicePrim->ports[1];
    reg->sigpins[2]->type.bytes[0] = CM_PINTYPE::OUTPUT;
  }

private:
  // A signal driven by pin `pin` of `driver`, with the given loads in order.
  Signal* net(const char* name, Comp* driver, int pin, std::initializer_list<std::pair<Comp*, int>> loads) {
    Signal* s = addSignal(name);
    addDriver(s, driver, pin);
    for (const auto& [comp, load] : loads) addLoad(s, comp, load);
    return s;
  }

  // Gives a site a geometry record at its own row and column.
  void geom(Site* site, std::vector<int> xs, std::vector<int> ys, signed char quad,
            unsigned short sub) {
    standin::Geom* g = addGeom(site, static_cast<unsigned short>(site->row),
                               static_cast<unsigned short>(site->col));
    g->pinx = values_.emplace_back(std::move(xs)).data();
    g->piny = values_.emplace_back(std::move(ys)).data();
    g->quad = quad;
    g->sub = sub;
  }

  std::deque<std::vector<int>> values_;  // the geometries given values here
};

class Golden : public ReportCapture {
protected:
  // The captured text with each internal error put in as a line where it
  // was reported.
  static std::string transcript() {
    const std::string& out = log().text();
    const auto& fatals = log().fatals;
    EXPECT_EQ(log().errors.size(), fatals.size());
    std::string merged;
    std::size_t from = 0;
    for (std::size_t i = 0; i < fatals.size(); ++i) {
      merged.append(out, from, fatals[i].at - from);
      std::string detail = i < log().errors.size() ? log().errors[i] : "";
      if (!detail.empty() && detail.back() == '\n') detail.pop_back();
      merged += "@@ internal error " + std::to_string(fatals[i].code) + ": " + detail + "\n";
      from = fatals[i].at;
    }
    merged.append(out, from, std::string::npos);
    return merged;
  }

  // Compares `actual` with the expected text file `name`, or rewrites the
  // file when BASAPLACE_REGEN_GOLDEN is set.
  static void expectGolden(const std::string& name, const std::string& actual) {
    const std::string path = std::string(BASAPLACE_GOLDEN_DIR) + "/" + name;
    if (std::getenv("BASAPLACE_REGEN_GOLDEN") != nullptr) {
      std::ofstream(path, std::ios::binary) << actual;
      GTEST_SKIP() << "rewrote " << path << "; review the diff before committing";
    }
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in) << "missing expected text " << path;
    std::ostringstream expected;
    expected << in.rdbuf();
    EXPECT_EQ(actual, expected.str()) << "report differs from " << path;
  }

  GoldenDesign d;
  AP_SUPP supp{&d};
};

TEST_F(Golden, DesignSummary) {
  supp.dumpDesign("== dumpDesign ==\n", 0);
  expectGolden("design.txt", transcript());
}

TEST_F(Golden, BriefElementDumps) {
  supp.dumpAllComps("== dumpAllComps brief ==\n", 1);
  supp.dumpAllSignals("== dumpAllSignals brief ==\n", 1);
  expectGolden("brief.txt", transcript());
}

TEST_F(Golden, SiteDumps) {
  supp.dumpAllSites("== dumpAllSites ==\n", 0);
  supp.dumpAllSiteComps("== dumpAllSiteComps ==\n", 0);
  expectGolden("sites.txt", transcript());
}

TEST_F(Golden, PrimitiveDumps) {
  supp.dumpAllPrims("== dumpAllPrims ==\n");
  expectGolden("prims.txt", transcript());
}

TEST_F(Golden, PlacementReports) {
  supp.dumpLocate("== dumpLocate 0 ==\n", 0);
  supp.dumpLocate("== dumpLocate 0x03 ==\n", 0x03);
  supp.dumpGrid("== dumpGrid ==\n");
  supp.dumpTileGrid("== dumpTileGrid ==\n");
  expectGolden("placement.txt", transcript());
}

TEST_F(Golden, BoundingBoxes) {
  const std::string path = ::testing::TempDir() + "golden_bbox.txt";
  supp.dumpBBox("== dumpBBox ==\n", path.c_str());
  std::ifstream in(path, std::ios::binary);
  std::ostringstream file;
  file << in.rdbuf();
  std::remove(path.c_str());
  expectGolden("bbox.txt", transcript() + "== file ==\n" + file.str());
}

}  // namespace
