// Generators of benchmark windows.
#include "windows.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>

Window legalizationWindow(int rows, int k, int base, int pitch, bool spread, unsigned seed) {
  std::mt19937 rng(seed);
  Window w;
  w.rows = rows;
  w.realCols = rows * 3 / 2;
  const int width = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(w.realCols))));
  const int height = (w.realCols + width - 1) / width;
  auto siteX = [&](int s) { return (s % width) * pitch + pitch / 2; };
  auto siteY = [&](int s) { return (s / width) * pitch + pitch / 2; };

  std::vector<int> homes(w.realCols);
  for (int s = 0; s < w.realCols; ++s) homes[s] = s;
  std::shuffle(homes.begin(), homes.end(), rng);
  std::uniform_int_distribution<int> jitter(-pitch / 2, pitch / 2);
  std::uniform_int_distribution<int> anyX(0, width * pitch - 1), anyY(0, height * pitch - 1);

  std::vector<std::pair<int, int>> byDistance(w.realCols);  // (distance, site)
  w.arcs.resize(rows);
  for (int i = 0; i < rows; ++i) {
    int x, y;
    if (spread) {
      x = siteX(homes[i]) + jitter(rng);
      y = siteY(homes[i]) + jitter(rng);
    } else {
      x = anyX(rng);
      y = anyY(rng);
    }
    for (int s = 0; s < w.realCols; ++s)
      byDistance[s] = {std::abs(siteX(s) - x) + std::abs(siteY(s) - y), s};
    const int kk = std::min(k, w.realCols);
    std::partial_sort(byDistance.begin(), byDistance.begin() + kk, byDistance.end());
    for (int t = 0; t < kk; ++t) w.arcs[i].push_back({byDistance[t].second, base - byDistance[t].first});
    std::sort(w.arcs[i].begin(), w.arcs[i].end(),
              [](const WindowArc& a, const WindowArc& b) { return a.col < b.col; });
  }
  return w;
}

Window denseWindow(int rows, int realCols, int maxWeight, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> weight(1, maxWeight);
  Window w;
  w.rows = rows;
  w.realCols = realCols;
  w.arcs.resize(rows);
  for (auto& row : w.arcs)
    for (int c = 0; c < realCols; ++c) row.push_back({c, weight(rng)});
  return w;
}
