// Window-matching legalization.
#include "qplace/legalize.h"

#include <matching/basapmatch.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numeric>
#include <queue>
#include <random>

namespace qplace {

namespace {

// Free places of a cluster that an item may take, as place ids.
using Candidates = std::function<void(int item, int cluster, std::vector<int>& out)>;
using Assign = std::function<void(int item, int place)>;

// Matching benefit per cluster of distance, and its base: every arc of a
// window has a positive weight, far below the auction's exact range.
constexpr int kPerCluster = 16;
// Clusters around an item's (clamped) target that its arcs reach.
constexpr int kReach = 2;

struct WindowMatcher {
  const Fabric& f;
  int window;
  Candidates candidates;
  Assign assign;
  LegalizeResult& stats;

  // Assigns items 0 .. n-1 with targets (x, y); returns those no window
  // could take, after trying the nearest free place for each.
  bool run(const std::vector<double>& x, const std::vector<double>& y) {
    const int n = static_cast<int>(x.size());
    const int wc = (f.cols + window - 1) / window, wr = (f.rows + window - 1) / window;
    std::vector<std::vector<int>> bucket(static_cast<std::size_t>(wc) * wr);
    for (int i = 0; i < n; ++i) {
      const int c = f.clusterAt(x[i], y[i]);
      bucket[static_cast<std::size_t>((c / f.cols) / window) * wc + (c % f.cols) / window].push_back(i);
    }
    const int base = kPerCluster * (f.rows + f.cols + 4) + 1;
    std::vector<int> carry, left, items, rowMatch, colMatch, place;
    std::vector<int> cand;
    for (int r = 0; r < wr; ++r) {
      for (int k = 0; k < wc; ++k) {
        const int c = (r % 2 == 0) ? k : wc - 1 - k;
        items = carry;
        const auto& b = bucket[static_cast<std::size_t>(r) * wc + c];
        items.insert(items.end(), b.begin(), b.end());
        carry.clear();
        if (items.empty()) continue;
        const int c0 = std::max(0, c * window - 1), c1 = std::min(f.cols, (c + 1) * window + 1);
        const int r0 = std::max(0, r * window - 1), r1 = std::min(f.rows, (r + 1) * window + 1);
        // Arcs: each item to the free places of the clusters around its
        // target, the target clamped into the window.
        struct Arc { int row, place, weight; };
        std::vector<Arc> arcs;
        place.clear();
        for (std::size_t i = 0; i < items.size(); ++i) {
          const int it = items[i];
          const int tc = std::clamp(static_cast<int>(std::lround(x[it])) - 1, c0, c1 - 1);
          const int tr = std::clamp(static_cast<int>(std::lround(y[it])) - 1, r0, r1 - 1);
          for (int rr = std::max(r0, tr - kReach); rr < std::min(r1, tr + kReach + 1); ++rr)
            for (int cc = std::max(c0, tc - kReach); cc < std::min(c1, tc + kReach + 1); ++cc) {
              const int cl = rr * f.cols + cc;
              cand.clear();
              candidates(it, cl, cand);
              const double d = std::fabs(f.clusterX(cl) - x[it]) + std::fabs(f.clusterY(cl) - y[it]);
              const int w = std::max(1, base - static_cast<int>(std::lround(kPerCluster * d)));
              for (int pl : cand) arcs.push_back(Arc{static_cast<int>(i), pl, w});
            }
        }
        for (const Arc& a : arcs) place.push_back(a.place);
        std::sort(place.begin(), place.end());
        place.erase(std::unique(place.begin(), place.end()), place.end());
        if (!place.empty()) {
          AP_MATCHING match(static_cast<int>(items.size()), static_cast<int>(place.size()));
          for (const Arc& a : arcs) {
            const int col = static_cast<int>(std::lower_bound(place.begin(), place.end(), a.place) - place.begin());
            match.AddArc(a.row, col, a.weight);
          }
          rowMatch.assign(items.size(), -1);
          colMatch.assign(place.size(), -1);
          int total = 0;
          match.Solver(rowMatch.data(), colMatch.data(), &total, 0);
          ++stats.windows;
        } else {
          rowMatch.assign(items.size(), -1);
        }
        for (std::size_t i = 0; i < items.size(); ++i) {
          if (rowMatch[i] >= 0) assign(items[i], place[static_cast<std::size_t>(rowMatch[i])]);
          else carry.push_back(items[i]);
        }
        stats.carried += static_cast<int>(carry.size());
        // A carry larger than a window holds would only grow from window to
        // window: the excess goes straight to the nearest-place search.
        const std::size_t bound = 4 * static_cast<std::size_t>(place.size()) + 64;
        if (carry.size() > bound) {
          left.insert(left.end(), carry.begin() + static_cast<long>(bound), carry.end());
          carry.resize(bound);
        }
      }
    }
    // Whatever is left takes the nearest free place, searched ring by ring.
    left.insert(left.end(), carry.begin(), carry.end());
    for (int it : left) {
      const int tc = f.clusterAt(x[it], y[it]);
      const int tr0 = tc / f.cols, tc0 = tc % f.cols;
      bool done = false;
      auto tryCluster = [&](int rr, int cc) {
        if (done || rr < 0 || rr >= f.rows || cc < 0 || cc >= f.cols) return;
        cand.clear();
        candidates(it, rr * f.cols + cc, cand);
        if (!cand.empty()) {
          assign(it, cand[0]);
          done = true;
        }
      };
      tryCluster(tr0, tc0);
      // Ring `rad` around the target: its top and bottom rows, then the
      // rest of its left and right columns.
      for (int rad = 1; !done && rad <= std::max(f.rows, f.cols); ++rad) {
        for (int cc = tc0 - rad; cc <= tc0 + rad; ++cc) {
          tryCluster(tr0 - rad, cc);
          tryCluster(tr0 + rad, cc);
        }
        for (int rr = tr0 - rad + 1; rr < tr0 + rad; ++rr) {
          tryCluster(rr, tc0 - rad);
          tryCluster(rr, tc0 + rad);
        }
      }
      if (!done) return false;
      ++stats.fallback;
    }
    return true;
  }
};

// Cuts the register-bearing units of one control set into the fewest chunks
// of at most one group each, by recursive bisection across the wider side
// of their box; then, while groups are to spare, splits the most scattered
// chunks in two.
struct Chunker {
  const std::vector<double>& tx;
  const std::vector<double>& ty;
  int groupSize;
  std::vector<std::vector<int>> chunks;

  void cut(std::vector<int>& units, int b, int e) {
    const int n = e - b;
    if (n <= groupSize) {
      if (n > 0) chunks.emplace_back(units.begin() + b, units.begin() + e);
      return;
    }
    const int parts = (n + groupSize - 1) / groupSize;
    const int left = (parts + 1) / 2 * groupSize;  // below n, as parts >= 2
    halve(units, b, e, left);
    cut(units, b, b + left);
    cut(units, b + left, e);
  }

  // Puts the `left` units lowest along the wider side of the box first.
  void halve(std::vector<int>& units, int b, int e, int left) const {
    double x0 = 1e300, x1 = -1e300, y0 = 1e300, y1 = -1e300;
    for (int i = b; i < e; ++i) {
      x0 = std::min(x0, tx[units[i]]);
      x1 = std::max(x1, tx[units[i]]);
      y0 = std::min(y0, ty[units[i]]);
      y1 = std::max(y1, ty[units[i]]);
    }
    const auto& pos = x1 - x0 >= y1 - y0 ? tx : ty;
    std::nth_element(units.begin() + b, units.begin() + b + left, units.begin() + e,
                     [&](int u, int v) { return pos[u] < pos[v]; });
  }

  // Sum of the distances of a chunk's units to its centre.
  double scatter(const std::vector<int>& c) const {
    double x = 0, y = 0;
    for (int u : c) {
      x += tx[u];
      y += ty[u];
    }
    x /= static_cast<double>(c.size());
    y /= static_cast<double>(c.size());
    double d = 0;
    for (int u : c) d += std::fabs(tx[u] - x) + std::fabs(ty[u] - y);
    return d;
  }

  void split(std::size_t budget, double minScatter) {
    std::priority_queue<std::pair<double, std::size_t>> worst;
    for (std::size_t k = 0; k < chunks.size(); ++k) worst.emplace(scatter(chunks[k]), k);
    while (chunks.size() < budget && !worst.empty() && worst.top().first > minScatter) {
      const std::size_t k = worst.top().second;
      worst.pop();
      std::vector<int>& c = chunks[k];
      if (c.size() < 2) continue;
      const int n = static_cast<int>(c.size());
      halve(c, 0, n, n / 2);
      std::vector<int> upper(c.begin() + n / 2, c.end());
      c.resize(static_cast<std::size_t>(n / 2));
      chunks.push_back(std::move(upper));
      worst.emplace(scatter(chunks[k]), k);
      worst.emplace(scatter(chunks.back()), chunks.size() - 1);
    }
  }
};

}  // namespace

LegalizeResult legalize(Placement& p, const std::vector<double>& tx, const std::vector<double>& ty,
                        const LegalizeParams& params) {
  LegalizeResult res;
  const Model& m = *p.model;
  const Fabric& f = *p.fabric;
  const int G = f.groupBles();

  // Room first: a clear error rather than a partial placement.
  int luts = 0, regUnits = 0;
  std::vector<std::vector<int>> bySet(static_cast<std::size_t>(m.numCtrl));
  for (int u = 0; u < m.numUnits(); ++u) {
    if (m.isIo(u)) continue;
    luts += m.hasLut(u) ? 1 : 0;
    if (m.hasReg(u) && p.loc[u] < 0) {
      ++regUnits;
      bySet[static_cast<std::size_t>(m.ctrl[u])].push_back(u);
    }
  }
  int neededGroups = 0;
  for (const auto& s : bySet) neededGroups += (static_cast<int>(s.size()) + G - 1) / G;
  const long lutRoom = static_cast<long>(f.numClusters()) * kBles;
  if (luts > lutRoom || neededGroups > f.numGroups()) {
    res.error = "the device is too small: " + std::to_string(luts) + " LUTs for " +
                std::to_string(lutRoom) + " LUT places, " + std::to_string(neededGroups) +
                " register groups needed of " + std::to_string(f.numGroups());
    return res;
  }

  // 1. Chunks of one control set each.
  Chunker chunker{tx, ty, G, {}};
  for (auto& s : bySet) chunker.cut(s, 0, static_cast<int>(s.size()));
  int freeGroups = 0;
  for (int g = 0; g < f.numGroups(); ++g) freeGroups += p.groupRegs[g] == 0;
  chunker.split(static_cast<std::size_t>(params.chunkShare * freeGroups), params.minScatter);
  const auto& chunks = chunker.chunks;
  std::vector<double> cx(chunks.size()), cy(chunks.size());
  for (std::size_t k = 0; k < chunks.size(); ++k) {
    for (int u : chunks[k]) {
      cx[k] += tx[u];
      cy[k] += ty[u];
    }
    cx[k] /= static_cast<double>(chunks[k].size());
    cy[k] /= static_cast<double>(chunks[k].size());
  }

  // 2. Chunks onto free register groups; then their units onto its BLEs.
  std::vector<char> groupTaken(static_cast<std::size_t>(f.numGroups()), 0);
  for (int g = 0; g < f.numGroups(); ++g) groupTaken[g] = p.groupRegs[g] > 0;
  WindowMatcher groups{f, params.window,
                       [&](int, int cluster, std::vector<int>& out) {
                         for (int g = 0; g < f.groupsPerCluster(); ++g) {
                           const int id = cluster * f.groupsPerCluster() + g;
                           if (!groupTaken[id]) out.push_back(id);
                         }
                       },
                       [&](int chunk, int group) {
                         groupTaken[group] = 1;
                         const int cluster = group / f.groupsPerCluster();
                         int ble = (group % f.groupsPerCluster()) * G;
                         for (int u : chunks[static_cast<std::size_t>(chunk)]) p.put(u, cluster * kBles + ble++);
                       },
                       res};
  if (!groups.run(cx, cy)) {
    res.error = "the device is too small: no free register group left";
    return res;
  }

  // 3. Lone LUTs onto free LUT halves.
  std::vector<int> lone;
  std::vector<double> lx, ly;
  for (int u = 0; u < m.numUnits(); ++u)
    if (m.kind[u] == UNIT_LUT && p.loc[u] < 0) {
      lone.push_back(u);
      lx.push_back(tx[u]);
      ly.push_back(ty[u]);
    }
  WindowMatcher lutMatch{f, params.window,
                         [&](int, int cluster, std::vector<int>& out) {
                           for (int b = 0; b < kBles; ++b)
                             if (p.lutAt[cluster * kBles + b] < 0) out.push_back(cluster * kBles + b);
                         },
                         [&](int item, int pos) { p.put(lone[static_cast<std::size_t>(item)], pos); }, res};
  if (!lutMatch.run(lx, ly)) {
    res.error = "the device is too small: no free LUT place left";
    return res;
  }
  double disp = 0;
  int count = 0;
  for (int u = 0; u < m.numUnits(); ++u) {
    if (m.isIo(u)) continue;
    disp += std::fabs(p.x(u) - tx[u]) + std::fabs(p.y(u) - ty[u]);
    ++count;
  }
  res.displacement = count > 0 ? disp / count : 0.0;
  res.ok = p.unplaced() == 0;
  if (!res.ok) res.error = std::to_string(p.unplaced()) + " units left unplaced";
  return res;
}

bool randomPlacement(Placement& p, std::uint64_t seed) {
  const Model& m = *p.model;
  const Fabric& f = *p.fabric;
  std::mt19937_64 rng(seed);
  for (int u = 0; u < m.numUnits(); ++u)
    if (!m.isIo(u)) p.take(u);
  std::vector<int> groups(static_cast<std::size_t>(f.numGroups()));
  std::iota(groups.begin(), groups.end(), 0);
  std::shuffle(groups.begin(), groups.end(), rng);
  std::vector<std::vector<int>> bySet(static_cast<std::size_t>(m.numCtrl));
  std::vector<int> lone;
  for (int u = 0; u < m.numUnits(); ++u) {
    if (m.hasReg(u)) bySet[static_cast<std::size_t>(m.ctrl[u])].push_back(u);
    else if (m.kind[u] == UNIT_LUT) lone.push_back(u);
  }
  std::size_t next = 0;
  for (std::vector<int>& set : bySet) {
    std::shuffle(set.begin(), set.end(), rng);
    for (std::size_t i = 0; i < set.size(); ++i) {
      const int ble = static_cast<int>(i % static_cast<std::size_t>(f.groupBles()));
      if (ble == 0 && ++next > groups.size()) return false;
      const int g = groups[next - 1];
      p.put(set[i], (g / f.groupsPerCluster()) * kBles + (g % f.groupsPerCluster()) * f.groupBles() + ble);
    }
  }
  std::vector<int> free;
  for (int pos = 0; pos < static_cast<int>(p.lutAt.size()); ++pos)
    if (p.lutAt[pos] < 0) free.push_back(pos);
  if (free.size() < lone.size()) return false;
  std::shuffle(free.begin(), free.end(), rng);
  for (std::size_t i = 0; i < lone.size(); ++i) p.put(lone[i], free[i]);
  return true;
}

std::vector<std::vector<int>> registerGroups(const Placement& p) {
  const Fabric& f = *p.fabric;
  std::vector<std::vector<int>> groups;
  std::vector<int> units;
  for (int g = 0; g < f.numGroups(); ++g) {
    units.clear();
    const int cluster = g / f.groupsPerCluster(), first = (g % f.groupsPerCluster()) * f.groupBles();
    for (int b = first; b < first + f.groupBles(); ++b)
      if (p.regAt[cluster * kBles + b] >= 0) units.push_back(p.regAt[cluster * kBles + b]);
    if (units.size() >= 2) groups.push_back(units);
  }
  return groups;
}

}  // namespace qplace
