// Placement reports: which components dumpLocate lists and comments, and
// dumpBBox's file, classes, averages and totals.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "host/standin/standin_design.h"
#include "report_capture.h"
#include "support/basapsupp.h"

namespace {

class PlaceReport : public ReportCapture {
protected:
  PlaceReport() {
    slice = d.addSiteType("SLICE", {});
    lut = d.addPrim("LUT", {{"A", udb::DIR_INPUT}, {"Z", udb::DIR_OUTPUT}});
  }

  // A component of type code `type`, placed on a new site at (row, col)
  // unless `placed` is false.
  standin::Comp* comp(int type, bool placed = true, int row = 0, int col = 0) {
    const std::string name = "c" + std::to_string(d.comps.size());
    standin::Comp* c = d.addComp(name, lut);
    c->type = type;
    if (placed) d.place(c, d.addSite("S" + name, slice, row, col));
    return c;
  }

  // A signal with one pin on each of the components.
  standin::Signal* signal(std::initializer_list<standin::Comp*> comps) {
    standin::Signal* s = d.addSignal("n" + std::to_string(d.signals.size()));
    for (standin::Comp* c : comps) d.addLoad(s, c, 0);
    return s;
  }

  static std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
  }

  standin::Design d{"top"};
  standin::SiteType* slice;
  standin::Prim* lut;
  AP_SUPP supp{&d};
};

TEST_F(PlaceReport, LocateSelectsByTypeAndListsEveryUnplacedComponent) {
  for (int t = 0; t <= 6; ++t) comp(t);
  comp(5, false);
  comp(1, false);
  auto listed = [&](int mask) {
    take();
    supp.dumpLocate(nullptr, mask);
    std::string names;
    std::istringstream lines(text());
    for (std::string line; std::getline(lines, line);)
      names += line.substr(13, line.find('"', 13) - 13) +
               (line.find("NOSITE") != std::string::npos ? "- " : " ");
    return names;
  };
  const std::string unplaced = "c7- c8- ";
  EXPECT_EQ(listed(0), "c0 c1 c2 c3 c4 c5 c6 " + unplaced);
  EXPECT_EQ(listed(0x01), "c1 c2 " + unplaced);
  EXPECT_EQ(listed(0x02), "c3 c4 " + unplaced);
  EXPECT_EQ(listed(0x04), "c0 c5 c6 " + unplaced);
  EXPECT_EQ(listed(0x08), "c0 c3 c4 c5 c6 " + unplaced);
  EXPECT_EQ(listed(0x10), unplaced);
  EXPECT_EQ(log().manips.back().name, "flush");
  EXPECT_EQ(log().manips.back().afterPrints, log().prints.size());
}

TEST_F(PlaceReport, LocatePositionCommentFollowsTheSettingOrItsDefault) {
  standin::Comp* lutComp = comp(5, true, 7, 9);
  d.addGeom(lutComp->site, 7, 9);
  standin::Comp* io = comp(2);
  d.addGeom(io->site, 1, 1);
  comp(5);  // no geometry record
  const std::string withComment =
      "LOCATE COMP \"c0\" SITE \"Sc0\" ; # \"R7C9\" ;\n"
      "LOCATE COMP \"c1\" SITE \"Sc1\" ;\n"
      "LOCATE COMP \"c2\" SITE \"Sc2\" ;\n";
  supp.dumpLocate("", 0x19);  // every type, comment on by default
  EXPECT_EQ(take(), withComment);
  d.info.options["dumpLocateRCZ"] = 0;
  supp.dumpLocate("", 0x19);
  EXPECT_EQ(take().find('#'), std::string::npos);
  d.info.options["dumpLocateRCZ"] = 1;
  supp.dumpLocate("", 0);
  EXPECT_EQ(take(), withComment);
}

TEST_F(PlaceReport, BBoxFileIsReplacedAndOptional) {
  signal({comp(5, true, 1, 2), comp(5, true, 4, 0)});
  const std::string path = ::testing::TempDir() + "bbox_replaced.txt";
  std::ofstream(path) << "old content that must go\n";
  supp.dumpBBox(nullptr, path.c_str());
  EXPECT_EQ(readFile(path),
            "\n[Design]\nComps=2\nSignals=1\nSignal0 fanout=1 BBOX=5 (R4-1, C2-0)\n");
  std::remove(path.c_str());
  const std::string printed = take();

  // Without a file, or with one that cannot be opened, the statistics are
  // the same; so they are while another design, or none, is current.
  supp.dumpBBox(nullptr, nullptr);
  EXPECT_EQ(take(), printed);
  supp.dumpBBox(nullptr, (::testing::TempDir() + "no/such/dir/bbox.txt").c_str());
  EXPECT_EQ(take(), printed);
  { standin::Design other; }
  supp.dumpBBox(nullptr, nullptr);
  EXPECT_EQ(take(), printed);
}

TEST_F(PlaceReport, BBoxClassesAndSkippedSignals) {
  standin::Comp* a = comp(5, true, 0, 0);
  signal({a});                               // fanout 0: counted, in no range
  signal({comp(5, false), comp(5, false)});  // no placed pin: left out
  d.addSignal("nopins");                     // left out
  signal({a, comp(5, true, 2, 3)})->clocks = standin::Signal::CLK3;  // a clock: left out
  standin::Signal* wide = signal({a});
  standin::Comp* far = comp(5, true, 10, 10);
  for (int i = 1; i < 1500; ++i) d.addLoad(wide, i == 1 ? far : a, 0);
  supp.dumpBBox("T\n", nullptr);
  EXPECT_EQ(text(),
            "T\n\n[Design]\nComps=5\nSignals=5\n"
            "\nSIGBBOX num=2 total=20 average=10.0\n\t0-distance BOX num=1\n"
            "  Fanout range 300:1000 num=1      total=20      average=20.0\n"
            "\n[BBOX Details]\n"
            "  Fanout>999  num=1      total=20      average=20.0\n");
}

TEST_F(PlaceReport, BBoxAveragesInSinglePrecision) {
  // 9 / 20 is 0.45: 0.449999988 in single precision, 0.450000000000000011
  // in double, so the two round apart.
  standin::Comp* a = comp(5, true, 0, 0);
  standin::Comp* b = comp(5, true, 0, 1);
  for (int i = 0; i < 20; ++i) signal({a, i < 9 ? b : a});
  supp.dumpBBox(nullptr, nullptr);
  EXPECT_EQ(text(),
            "\n[Design]\nComps=2\nSignals=20\n"
            "\nSIGBBOX num=20 total=9 average=0.4\n\t0-distance BOX num=11\n"
            "  Fanout range   1:1    num=20     total=9       average=0.4 \n"
            "\n[BBOX Details]\n"
            "  Fanout=1    num=20     total=9       average=0.4\n");
}

TEST_F(PlaceReport, BBoxTotalsBeyondThirtyTwoBits) {
  // 16400 boxes of 131070 make 2149548000, past the largest 32-bit int.
  standin::Comp* lo = comp(5, true, -32768, -32768);
  standin::Comp* hi = comp(5, true, 32767, 32767);
  for (int i = 0; i < 16400; ++i) signal({lo, hi});
  supp.dumpBBox(nullptr, nullptr);
  EXPECT_NE(text().find("SIGBBOX num=16400 total=2149548000 average=131070.0\n"),
            std::string::npos);
  EXPECT_NE(text().find("  Fanout=1    num=16400  total=2149548000 average=131070.0\n"),
            std::string::npos);
}

}  // namespace
