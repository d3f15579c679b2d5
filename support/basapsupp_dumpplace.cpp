// Placement and geometry reports of the support object: the LOCATE lines of
// the placement, the bounding boxes of the signals with their statistics by
// fanout, and the device's grid and tile grid.
#include <cstdio>
#include <iterator>
#include <vector>

#include "host/npdevice.h"
#include "host/phydevice.h"
#include "host/updesign.h"
#include "support/basapsupp.h"
#include "support/basapsupp_dump.h"
#include "support/basapsupp_pinbox.h"

using basapdump::printTitle;

namespace {

// Whether dumpLocate's `mask` selects a component of type code t.
bool selected(int mask, int t) {
  if (mask == 0) return true;
  const bool io = t == 1 || t == 2;
  return ((mask & 0x01) != 0 && io) || ((mask & 0x02) != 0 && (t == 3 || t == 4)) ||
         ((mask & 0x04) != 0 && (t == 5 || t == 6 || t == 0)) || ((mask & 0x08) != 0 && !io);
}

// Fanout classes of the bounding-box statistics: class k holds fanout k,
// the last class every fanout from kLastClass on.
constexpr int kLastClass = 1000;
// Range r of the statistics runs over classes kBounds[r] to kBounds[r+1]-1.
constexpr int kBounds[] = {1, 2, 3, 4, 5, 10, 30, 100, 300, kLastClass + 1};

// Sums are kept in 64 bits so that large designs cannot overflow them.
struct FanoutClass {
  int count = 0;
  long long boxes = 0;
};

// t / n in single precision, widened for printing; 0 when n is 0.
double average(long long t, int n) {
  return n != 0 ? static_cast<double>(static_cast<float>(t) / static_cast<float>(n)) : 0.0;
}

}  // namespace

void AP_SUPP::dumpLocate(const char* title, int mask) {
  printTitle(title);
  UP_INFO* info = design->getinfo();
  const int rcz = info->getoption("dumpLocateRCZ", (mask & 0x10) != 0);
  for (int i = 0; i < design->getnumcomps(); ++i) {
    UP_COMP* comp = design->getcomp(i);
    const int t = info->getcomptype(comp);
    const char* name = comp->getname(false);
    UP_SITE* site = comp->getsite();
    if (site == nullptr) {
      ut_msgman->print(neoform("LOCATE COMP \"%s\" NOSITE ; \n", name));
      continue;
    }
    if (!selected(mask, t)) continue;
    ut_msgman->print(neoform("LOCATE COMP \"%s\" ", name));
    ut_msgman->print(neoform("SITE \"%s\" ", site->getdsite()->getname()));
    const UP_SITEGEOM* geom = site->getgeom();
    if (rcz != 0 && geom != nullptr && t != 1 && t != 2)
      ut_msgman->print(neoform("; # \"%s\" ", neoform("R%dC%d", geom->row, geom->col)));
    ut_msgman->print(";\n");
  }
  basapdump::flush();
}

void AP_SUPP::dumpBBox(const char* title, const char* fileName) {
  const int numSignals = design->getnumsignals();
  const int numComps = design->getnumcomps();
  UP_INFO* info = design->getinfo();
  std::vector<FanoutClass> classes(kLastClass + 1);
  int counted = 0, zeroBoxes = 0;
  long long boxes = 0;

  std::FILE* file = fileName != nullptr ? std::fopen(fileName, "w") : nullptr;
  if (file != nullptr) {
    if (title != nullptr) std::fputs(title, file);
    std::fprintf(file, "\n[Design]\nComps=%d\nSignals=%d\n", numComps, numSignals);
  }

  for (int s = 0; s < numSignals; ++s) {
    UP_SIGNAL* sig = design->getsignal(s);
    if (sigIsClk(sig, nullptr) != 0) continue;
    // Pin positions come from this design, whichever is the host's current
    // one. Starting from an empty range tells a signal with no placed pin
    // (or none at all), which has no box and is left out.
    int rowMax = -1, rowMin = 0, colMax = -1, colMin = 0;
    const int box = basapPinBox(info, sig, rowMax, rowMin, colMax, colMin);
    if (rowMax < rowMin) continue;
    const int fanout = sig->getnumpins() - 1;
    if (file != nullptr)
      std::fprintf(file, "Signal%d fanout=%d BBOX=%d (R%d-%d, C%d-%d)\n", s, fanout, box, rowMax,
                   rowMin, colMax, colMin);
    boxes += box;
    ++counted;
    if (box == 0) ++zeroBoxes;
    FanoutClass& c = classes[fanout < kLastClass ? fanout : kLastClass];
    ++c.count;
    c.boxes += box;
  }
  if (file != nullptr) std::fclose(file);

  printTitle(title);
  ut_msgman->print(neoform("\n[Design]\nComps=%d\nSignals=%d\n", numComps, numSignals));
  ut_msgman->print(neoform("\nSIGBBOX num=%d total=%lld average=%.1f\n", counted, boxes,
                           average(boxes, counted)));
  ut_msgman->print(neoform("\t0-distance BOX num=%d\n", zeroBoxes));
  for (std::size_t r = 0; r + 1 < std::size(kBounds); ++r) {
    int n = 0;
    long long t = 0;
    for (int k = kBounds[r]; k < kBounds[r + 1]; ++k) {
      n += classes[k].count;
      t += classes[k].boxes;
    }
    if (n != 0)
      ut_msgman->print(neoform("  Fanout range%4d:%-4d num=%-6d total=%-7lld average=%-4.1f\n",
                               kBounds[r], kBounds[r + 1] - 1, n, t, average(t, n)));
  }
  ut_msgman->print("\n[BBOX Details]\n");
  for (int k = 1; k <= kLastClass; ++k) {
    const FanoutClass& c = classes[k];
    if (c.count == 0) continue;
    ut_msgman->print(k < kLastClass ? neoform("  Fanout=%-4d ", k)
                                    : neoform("  Fanout>%-4d ", kLastClass - 1));
    ut_msgman->print(neoform("num=%-6d total=%-7lld average=%3.1f\n", c.count, c.boxes,
                             average(c.boxes, c.count)));
  }
}

void AP_SUPP::dumpGrid(const char* title) {
  printTitle(title);
  PhyGrid* grid = design->getphydevice()->getgrid();
  ut_msgman->print(neoform("Grid row=%d col=%d\n", grid->getnumrows(), grid->getnumcols()));
  ut_msgman->print(
      neoform("Grid t1offset=%d t2offset=%d\n", grid->gett1offset(), grid->gett2offset()));
  for (int i = 0; i < design->getnumsites(); ++i) {
    UP_SITE* site = design->getsite(i);
    UT_POINT p{0, 0};
    grid->getgridpt(site->getphysite(), p);
    NP_DSITE* dsite = site->getdsite();
    const UT_POINT l = dsite->getloc();
    ut_msgman->print(neoform("site%d %s grid x/y=%d/%d site locx/y=%d/%d r/c=%d/%d\n", i,
                             dsite->getname(), p.x, p.y, l.x, l.y, l.x, l.y));
  }
}

void AP_SUPP::dumpTileGrid(const char* title) {
  printTitle(title);
  PhyTileGrid* tiles = design->getphydevice()->gettilegrid();
  const int rows = tiles->getnumrows();
  const int* rowPos = tiles->getrowpos();
  ut_msgman->print(neoform("\nY-grid rows = %d\n", rows));
  for (int r = 0; r < rows; ++r) ut_msgman->print(neoform("R%d %d\n", r, rowPos[r]));
  const int cols = tiles->getnumcols();
  const int* colPos = tiles->getcolpos();
  ut_msgman->print(neoform("\nX-grid cols = %d\n", cols));
  for (int c = 0; c < cols; ++c) ut_msgman->print(neoform("C%d %d\n", c, colPos[c]));
}
