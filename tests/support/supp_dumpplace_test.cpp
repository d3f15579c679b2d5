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

  standin::Design d{"top"};
  standin::SiteType* slice = d.addSiteType("SLICE", {});
  standin::Prim* lut = d.addPrim("LUT", {{"A", udb::DIR_INPUT}, {"Z", udb::DIR_OUTPUT}});
  AP_SUPP supp{&d};
};

TEST_F(PlaceReport, LocateSelectsByTypeListsEveryUnplacedComponentAndCommentsByTheSetting) {
  for (int t = 0; t <= 6; ++t) d.addGeom(comp(t, true, t, 9 - t)->site, 7, 9);
  comp(5, false);
  comp(1, false);
  comp(5);  // no geometry record
  // The names listed, "-" marking NOSITE lines and "#" a position comment.
  auto listed = [&](int mask) {
    take();
    supp.dumpLocate(nullptr, mask);
    std::string names;
    std::istringstream lines(text());
    for (std::string line; std::getline(lines, line);)
      names += line.substr(13, line.find('"', 13) - 13) + (line.find("NOSITE") != std::string::npos ? "-" : "") +
               (line.find('#') != std::string::npos ? "#" : "") + " ";
    return names;
  };
  EXPECT_EQ(listed(0), "c0 c1 c2 c3 c4 c5 c6 c7- c8- c9 ");
  EXPECT_EQ(listed(0x01), "c1 c2 c7- c8- ");
  EXPECT_EQ(listed(0x02), "c3 c4 c7- c8- ");
  EXPECT_EQ(listed(0x04), "c0 c5 c6 c7- c8- c9 ");
  EXPECT_EQ(listed(0x08), "c0 c3 c4 c5 c6 c7- c8- c9 ");
  EXPECT_EQ(listed(0x10), "c7- c8- ");  // the comment on by default, I/O excepted
  EXPECT_EQ(listed(0x19), "c0# c1 c2 c3# c4# c5# c6# c7- c8- c9 ");
  EXPECT_EQ(log().manips.back().name, "flush");
  EXPECT_EQ(log().manips.back().afterPrints, log().prints.size());
  d.info.options["dumpLocateRCZ"] = 0;
  EXPECT_EQ(listed(0x18), "c0 c3 c4 c5 c6 c7- c8- c9 ");
  d.info.options["dumpLocateRCZ"] = 1;
  EXPECT_EQ(listed(0x02), "c3# c4# c7- c8- ");
  const std::string line = "LOCATE COMP \"c3\" SITE \"Sc3\" ; # \"R7C9\" ;\n";
  EXPECT_EQ(text().substr(0, line.size()), line);
}

TEST_F(PlaceReport, BBoxFileIsReplacedAndOptional) {
  signal({comp(5, true, 1, 2), comp(5, true, 4, 0)});
  const std::string path = ::testing::TempDir() + "bbox_replaced.txt";
  std::ofstream(path) << "old content that must go\n";
  supp.dumpBBox(nullptr, path.c_str());
  std::ostringstream file;
  file << std::ifstream(path, std::ios::binary).rdbuf();
  EXPECT_EQ(file.str(), "\n[Design]\nComps=2\nSignals=1\nSignal0 fanout=1 BBOX=5 (R4-1, C2-0)\n");
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

TEST_F(PlaceReport, BBoxAveragesInSinglePrecisionAndTotalsBeyondThirtyTwoBits) {
  // 9 / 20 is 0.45: 0.449999988 in single precision, 0.450000000000000011
  // in double, so the two round apart.
  standin::Comp* a = comp(5, true, 0, 0);
  standin::Comp* b = comp(5, true, 0, 1);
  for (int i = 0; i < 20; ++i) signal({a, i < 9 ? b : a});
  supp.dumpBBox(nullptr, nullptr);
  EXPECT_EQ(take(),
            "\n[Design]\nComps=2\nSignals=20\n"
            "\nSIGBBOX num=20 total=9 average=0.4\n\t0-distance BOX num=11\n"
            "  Fanout range   1:1    num=20     total=9       average=0.4 \n"
            "\n[BBOX Details]\n"
            "  Fanout=1    num=20     total=9       average=0.4\n");

  // 16400 boxes of 131070 more make 2149548009, past the largest 32-bit int.
  standin::Comp* lo = comp(5, true, -32768, -32768);
  standin::Comp* hi = comp(5, true, 32767, 32767);
  for (int i = 0; i < 16400; ++i) signal({lo, hi});
  supp.dumpBBox(nullptr, nullptr);
  EXPECT_NE(text().find("SIGBBOX num=16420 total=2149548009 average=130910.4\n"), std::string::npos);
  EXPECT_NE(text().find("  Fanout=1    num=16420  total=2149548009 average=130910.4\n"), std::string::npos);
}

}  // namespace
