// Assignment problems shaped like the legalization windows of a placer.
#ifndef BASAPLACE_BENCH_MATCHING_WINDOWS_H
#define BASAPLACE_BENCH_MATCHING_WINDOWS_H

#include <vector>

struct WindowArc {
  int col;
  int weight;
};

// rows cells to place on realCols sites; arcs[i] lists the real columns of
// row i in ascending order (each row also has its dummy, not listed here).
struct Window {
  int rows = 0;
  int realCols = 0;
  std::vector<std::vector<WindowArc>> arcs;
};

// rows cells and 1.5 x rows sites on a square-ish grid, the sites `pitch`
// units apart. Each cell wants a point of the window and may take one of its
// k nearest sites, with benefit base - (Manhattan distance in units).
// `spread` puts each cell within half a pitch of a site of its own (cells
// already spread out by global placement); otherwise cells are uniform over
// the window and crowd in places. Deterministic in seed.
Window legalizationWindow(int rows, int k, int base, int pitch, bool spread, unsigned seed);

// rows x realCols with every real column an arc, weights uniform in [1, maxWeight].
Window denseWindow(int rows, int realCols, int maxWeight, unsigned seed);

#endif
