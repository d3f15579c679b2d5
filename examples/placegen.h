// Generator of placement-like linear systems, shared by the qpsolve example
// and the linear-system benchmark.
//
// A random netlist over n movable cells is turned into the quadratic
// wirelength system A x = b of one coordinate: A is the weighted graph
// Laplacian of the nets plus the weights that tie some cells to fixed pads,
// b holds the pads' pulls. The netlist is shaped like a placed design:
//  - cells are numbered row by row on a square grid, and most pins of a net
//    lie within a few grid steps of its driver, so the numbering has
//    locality; one pin in ten goes anywhere (long connections);
//  - nets are mostly 2- and 3-pin; nets of up to 5 pins become cliques of
//    weight 1 / (k - 1), larger ones (up to a few hundred pins) a chain
//    through their pins in cell order, so no row grows long;
//  - 2 % of the cells, plus one cell of every connected group that has none,
//    are tied to a pad on the grid's border, which makes A symmetric
//    positive definite.
// The result is deterministic for a given (n, seed).
#ifndef BASAPLACE_EXAMPLES_PLACEGEN_H
#define BASAPLACE_EXAMPLES_PLACEGEN_H

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <vector>

namespace placegen {

// One stored entry of A: row <= col (col == row is the diagonal).
struct Entry {
  std::uint32_t row;
  std::uint32_t col;
  double value;
};

struct System {
  std::uint32_t n = 0;
  std::uint32_t gridWidth = 0;  // cells per grid row; coordinates lie in [0, gridWidth]
  std::uint64_t nets = 0;
  std::uint64_t pins = 0;
  std::uint32_t pads = 0;       // cells tied to a pad
  std::vector<Entry> entries;   // every distinct position, diagonal included, in random order
  std::vector<double> bx;       // right-hand side of the x coordinate
  std::vector<double> by;       // right-hand side of the y coordinate
};

// Small, fast, reproducible random numbers (splitmix64).
class Random {
public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Uniform in [0, bound), bound > 0.
  std::uint64_t Below(std::uint64_t bound) {
    return static_cast<std::uint64_t>((static_cast<unsigned __int128>(Next()) * bound) >> 64);
  }
  // Uniform in [0, 1).
  double Unit() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }

private:
  std::uint64_t state_;
};

// Shuffles v in place (Fisher-Yates).
template <class Item>
void Shuffle(std::vector<Item>& v, Random& rng) {
  for (std::size_t i = v.size(); i > 1; --i) std::swap(v[i - 1], v[rng.Below(i)]);
}

namespace detail {

inline std::uint32_t Find(std::vector<std::uint32_t>& parent, std::uint32_t v) {
  while (parent[v] != v) v = parent[v] = parent[parent[v]];
  return v;
}

// Pin count of one net: 2 (60 %), 3 (20 %), 4 (8 %), 5 (5 %), 6-15 (5.5 %),
// 16-200 (1.5 %).
inline std::uint32_t PinCount(Random& rng) {
  const std::uint64_t u = rng.Below(1000);
  if (u < 600) return 2;
  if (u < 800) return 3;
  if (u < 880) return 4;
  if (u < 930) return 5;
  if (u < 985) return 6 + static_cast<std::uint32_t>(rng.Below(10));
  return 16 + static_cast<std::uint32_t>(rng.Below(185));
}

}  // namespace detail

// Builds the system of n cells (n >= 1). O(pins log pins).
inline System Generate(std::uint32_t n, std::uint64_t seed = 1) {
  System sys;
  sys.n = n;
  Random rng(seed);
  const std::uint32_t width = std::max<std::uint32_t>(1, static_cast<std::uint32_t>(std::ceil(std::sqrt(double(n)))));
  sys.gridWidth = width;
  const std::int64_t reach = 4;  // local pins lie within this many grid steps of the driver

  struct Edge {
    std::uint64_t key;  // row << 32 | col, row < col
    double weight;
  };
  std::vector<Edge> edges;
  edges.reserve(static_cast<std::size_t>(n) * 4);
  std::vector<std::uint32_t> pins;
  const std::uint64_t netCount = n;
  for (std::uint64_t net = 0; net < netCount; ++net) {
    const std::uint32_t driver = static_cast<std::uint32_t>(rng.Below(n));
    const std::uint32_t want = std::min<std::uint32_t>(detail::PinCount(rng), n);
    pins.assign(1, driver);
    for (std::uint32_t tries = 0; pins.size() < want && tries < 4 * want; ++tries) {
      std::uint32_t cell;
      if (rng.Below(10) == 0) {
        cell = static_cast<std::uint32_t>(rng.Below(n));
      } else {
        const std::int64_t x = driver % width + static_cast<std::int64_t>(rng.Below(2 * reach + 1)) - reach;
        const std::int64_t y = driver / width + static_cast<std::int64_t>(rng.Below(2 * reach + 1)) - reach;
        const std::int64_t c = y * width + x;
        if (x < 0 || x >= width || c < 0 || c >= n) continue;
        cell = static_cast<std::uint32_t>(c);
      }
      if (std::find(pins.begin(), pins.end(), cell) == pins.end()) pins.push_back(cell);
    }
    if (pins.size() < 2) continue;
    ++sys.nets;
    sys.pins += pins.size();
    const double w = 1.0 / static_cast<double>(pins.size() - 1);
    auto add = [&edges, w](std::uint32_t a, std::uint32_t b) {
      if (a > b) std::swap(a, b);
      edges.push_back({(static_cast<std::uint64_t>(a) << 32) | b, w});
    };
    if (pins.size() <= 5) {
      for (std::size_t a = 0; a < pins.size(); ++a)
        for (std::size_t b = a + 1; b < pins.size(); ++b) add(pins[a], pins[b]);
    } else {
      std::sort(pins.begin(), pins.end());
      for (std::size_t a = 0; a + 1 < pins.size(); ++a) add(pins[a], pins[a + 1]);
    }
  }

  // Merge parallel edges, summing their weights.
  std::sort(edges.begin(), edges.end(), [](const Edge& a, const Edge& b) { return a.key < b.key; });
  std::size_t kept = 0;
  for (std::size_t e = 0; e < edges.size(); ++e) {
    if (kept > 0 && edges[kept - 1].key == edges[e].key) {
      edges[kept - 1].weight += edges[e].weight;
    } else {
      edges[kept++] = edges[e];
    }
  }
  edges.resize(kept);

  std::vector<double> diag(n, 0.0);
  sys.bx.assign(n, 0.0);
  sys.by.assign(n, 0.0);
  std::vector<std::uint32_t> parent(n);
  std::iota(parent.begin(), parent.end(), 0u);
  for (const Edge& e : edges) {
    const std::uint32_t a = static_cast<std::uint32_t>(e.key >> 32);
    const std::uint32_t b = static_cast<std::uint32_t>(e.key);
    diag[a] += e.weight;
    diag[b] += e.weight;
    parent[detail::Find(parent, a)] = detail::Find(parent, b);
  }

  // Pads on the border of the grid, at a pull of weight 1.
  std::vector<char> anchored(n, 0);
  auto tie = [&](std::uint32_t cell) {
    const double side = static_cast<double>(width);
    const double t = rng.Unit() * side;
    double px = 0, py = 0;
    switch (rng.Below(4)) {
      case 0: px = t; py = 0; break;
      case 1: px = t; py = side; break;
      case 2: px = 0; py = t; break;
      default: px = side; py = t; break;
    }
    diag[cell] += 1.0;
    sys.bx[cell] += px;
    sys.by[cell] += py;
    ++sys.pads;
  };
  for (std::uint32_t c = 0; c < n; ++c) {
    if (rng.Below(50) == 0) {
      tie(c);
      anchored[detail::Find(parent, c)] = 1;
    }
  }
  for (std::uint32_t c = 0; c < n; ++c) {
    const std::uint32_t root = detail::Find(parent, c);
    if (!anchored[root]) {
      tie(c);
      anchored[root] = 1;
    }
  }

  sys.entries.reserve(edges.size() + n);
  for (std::uint32_t c = 0; c < n; ++c) sys.entries.push_back({c, c, diag[c]});
  for (const Edge& e : edges) {
    sys.entries.push_back({static_cast<std::uint32_t>(e.key >> 32), static_cast<std::uint32_t>(e.key), -e.weight});
  }
  Shuffle(sys.entries, rng);
  return sys;
}

}  // namespace placegen

#endif  // BASAPLACE_EXAMPLES_PLACEGEN_H
