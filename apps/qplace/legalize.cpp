// Window-matching legalization.
#include "qplace/legalize.h"

#include <matching/basapmatch.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numeric>
#include <queue>
#include <random>
#include <thread>

#include "qplace/placement_rules.h"

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

// Runs body(i) for i in [0, n) on up to `threads` threads (the calling one
// among them), each taking every threads-th index.
template <class Body>
void parallelFor(int n, int threads, const Body& body) {
  const int t = std::max(1, std::min(threads, n));
  std::vector<std::thread> pool;
  for (int k = 1; k < t; ++k)
    pool.emplace_back([&, k] {
      for (int i = k; i < n; i += t) body(i);
    });
  for (int i = 0; i < n; i += t) body(i);
  for (std::thread& th : pool) th.join();
}

struct WindowMatcher {
  const Fabric& f;
  int window;
  int threads;
  Candidates candidates;  // called from several threads at once: reads only
  Assign assign;          // called from one thread
  LegalizeResult& stats;

  // Rounds of the four window colours; what is still unplaced after them
  // takes the nearest free place.
  static constexpr int kRounds = 3;

  struct Solved {
    std::vector<std::pair<int, int>> taken;  // item, place
    std::vector<int> left;
    bool matched = false;
  };

  int wc = 0, wr = 0;

  // Window w's clusters, with a margin of one cluster on every side.
  void range(int w, int& c0, int& c1, int& r0, int& r1) const {
    const int r = w / wc, c = w % wc;
    c0 = std::max(0, c * window - 1);
    c1 = std::min(f.cols, (c + 1) * window + 1);
    r0 = std::max(0, r * window - 1);
    r1 = std::min(f.rows, (r + 1) * window + 1);
  }

  // Matches the items of one window to the free places of its clusters.
  // Touches no state: the places it takes are returned.
  void solve(int w, const std::vector<int>& items, const std::vector<double>& x, const std::vector<double>& y,
             Solved& out) const {
    int c0, c1, r0, r1;
    range(w, c0, c1, r0, r1);
    const int base = kPerCluster * (f.rows + f.cols + 4) + 1;
    // Arcs: each item to the free places of the clusters around its
    // target, the target clamped into the window.
    struct Arc { int row, place, weight; };
    std::vector<Arc> arcs;
    std::vector<int> cand, place;
    // The places each cluster of the window offers, each once: many items
    // see the same few places of a cluster, so the columns are gathered
    // here rather than sorted out of every arc.
    const int spanC = c1 - c0;
    std::vector<std::vector<int>> offered(static_cast<std::size_t>(spanC * (r1 - r0)));
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
          const int wgt = std::max(1, base - static_cast<int>(std::lround(kPerCluster * d)));
          std::vector<int>& seen = offered[static_cast<std::size_t>((rr - r0) * spanC + (cc - c0))];
          for (int pl : cand) {
            arcs.push_back(Arc{static_cast<int>(i), pl, wgt});
            if (std::find(seen.begin(), seen.end(), pl) == seen.end()) seen.push_back(pl);
          }
        }
    }
    // The columns: the places in ascending order.
    for (const std::vector<int>& seen : offered) place.insert(place.end(), seen.begin(), seen.end());
    std::sort(place.begin(), place.end());
    place.erase(std::unique(place.begin(), place.end()), place.end());
    // The auction slows down sharply (by a factor of 30 on a crowded window)
    // when items outnumber places: the items beyond the places' count (the
    // last ones, carried in) wait for a later window.
    const std::size_t room = place.size();
    if (items.size() > room) {
      std::size_t keep = 0;
      for (const Arc& a : arcs)
        if (static_cast<std::size_t>(a.row) < room) arcs[keep++] = a;
      arcs.resize(keep);
    }
    std::vector<int> rowMatch(items.size(), -1);
    if (!place.empty()) {
      AP_MATCHING match(static_cast<int>(std::min(items.size(), room)), static_cast<int>(place.size()));
      for (const Arc& a : arcs) {
        const int col = static_cast<int>(std::lower_bound(place.begin(), place.end(), a.place) - place.begin());
        match.AddArc(a.row, col, a.weight);
      }
      std::vector<int> colMatch(place.size(), -1);
      int total = 0;
      match.Solver(rowMatch.data(), colMatch.data(), &total, 0);
      out.matched = true;
    }
    for (std::size_t i = 0; i < items.size(); ++i) {
      if (i < room && rowMatch[i] >= 0) out.taken.emplace_back(items[i], place[static_cast<std::size_t>(rowMatch[i])]);
      else out.left.push_back(items[i]);
    }
  }

  // Free places in window w's own clusters (no margin), as the candidates
  // of `item` see them.
  int freeIn(int w, int item) const {
    const int r = w / wc, c = w % wc;
    int n = 0;
    std::vector<int> cand;
    for (int rr = r * window; rr < std::min(f.rows, (r + 1) * window); ++rr)
      for (int cc = c * window; cc < std::min(f.cols, (c + 1) * window); ++cc) {
        cand.clear();
        candidates(item, rr * f.cols + cc, cand);
        n += static_cast<int>(cand.size());
      }
    return n;
  }

  // Assigns items 0 .. n-1 with targets (x, y). The windows are coloured
  // like a 2 x 2 checkerboard; windows of one colour share no cluster, so
  // they are matched at the same time, and their places taken in window
  // order afterwards. A window's leftovers move on to the neighbouring
  // window with the most room left, to be matched with that window's
  // items in its turn. The result is the same for any thread count.
  // False when an item finds no free place at all.
  bool run(const std::vector<double>& x, const std::vector<double>& y) {
    const int n = static_cast<int>(x.size());
    // Windows of one colour are two apart; with their margins they share
    // no cluster from a side of two on.
    window = std::max(2, window);
    wc = (f.cols + window - 1) / window;
    wr = (f.rows + window - 1) / window;
    const int nw = wc * wr;
    std::vector<std::vector<int>> bucket(static_cast<std::size_t>(nw));
    for (int i = 0; i < n; ++i) {
      const int c = f.clusterAt(x[i], y[i]);
      bucket[static_cast<std::size_t>((c / f.cols) / window) * wc + (c % f.cols) / window].push_back(i);
    }
    std::vector<int> left, wins, room(static_cast<std::size_t>(nw), -1);
    std::vector<Solved> solved;
    std::vector<std::vector<int>> items;
    for (int round = 0; round < kRounds; ++round) {
      for (int colour = 0; colour < 4; ++colour) {
        wins.clear();
        for (int w = 0; w < nw; ++w)
          if ((w / wc) % 2 * 2 + (w % wc) % 2 == colour && !bucket[w].empty()) wins.push_back(w);
        const int k = static_cast<int>(wins.size());
        if (k == 0) continue;
        solved.assign(static_cast<std::size_t>(k), Solved{});
        items.assign(static_cast<std::size_t>(k), {});
        for (int i = 0; i < k; ++i) items[i].swap(bucket[wins[i]]);
        parallelFor(k, threads, [&](int i) { solve(wins[i], items[i], x, y, solved[i]); });
        for (int i = 0; i < k; ++i) {
          for (const auto& [item, pl] : solved[i].taken) assign(item, pl);
          stats.windows += solved[i].matched ? 1 : 0;
        }
        // Leftovers, window by window, to the neighbours with room.
        std::fill(room.begin(), room.end(), -1);
        for (int i = 0; i < k; ++i) {
          std::vector<int>& rest = solved[i].left;
          if (rest.empty()) continue;
          stats.carried += static_cast<int>(rest.size());
          if (round == kRounds - 1) {
            left.insert(left.end(), rest.begin(), rest.end());
            continue;
          }
          const int w = wins[i], r = w / wc, c = w % wc;
          std::vector<std::pair<int, int>> next;  // (-room, window)
          for (int dr = -1; dr <= 1; ++dr)
            for (int dc = -1; dc <= 1; ++dc) {
              const int rr = r + dr, cc = c + dc;
              if ((dr == 0 && dc == 0) || rr < 0 || rr >= wr || cc < 0 || cc >= wc) continue;
              const int v = rr * wc + cc;
              if (room[v] < 0) room[v] = freeIn(v, rest[0]);
              const int free = room[v] - static_cast<int>(bucket[v].size());
              if (free > 0) next.emplace_back(-free, v);
            }
          std::sort(next.begin(), next.end());
          std::size_t at = 0;
          for (const auto& [negFree, v] : next) {
            const std::size_t take = std::min(rest.size() - at, static_cast<std::size_t>(-negFree));
            bucket[v].insert(bucket[v].end(), rest.begin() + static_cast<long>(at), rest.begin() + static_cast<long>(at + take));
            at += take;
          }
          left.insert(left.end(), rest.begin() + static_cast<long>(at), rest.end());
        }
      }
    }
    for (const std::vector<int>& b : bucket) left.insert(left.end(), b.begin(), b.end());
    // Whatever is left takes the nearest free place, searched ring by ring.
    std::vector<int> cand;
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

// Runs `all` over items 0 .. n-1 aiming at (x, y); with `staged`, the items
// `bound` to a region first and then the others, so that a region nearly
// full is not filled by items that may go anywhere.
bool boundFirst(WindowMatcher& all, const std::vector<double>& x, const std::vector<double>& y, bool staged,
                const std::function<bool(int)>& bound) {
  if (!staged) return all.run(x, y);
  std::vector<int> order[2];
  for (int k = 0; k < static_cast<int>(x.size()); ++k) order[bound(k) ? 0 : 1].push_back(k);
  for (const std::vector<int>& stage : order) {
    std::vector<double> sx, sy;
    for (int k : stage) sx.push_back(x[static_cast<std::size_t>(k)]), sy.push_back(y[static_cast<std::size_t>(k)]);
    WindowMatcher part{all.f, all.window, all.threads,
                       [&](int item, int place, std::vector<int>& out) {
                         all.candidates(stage[static_cast<std::size_t>(item)], place, out);
                       },
                       [&](int item, int place) { all.assign(stage[static_cast<std::size_t>(item)], place); }, all.stats};
    if (!part.run(sx, sy)) return false;
  }
  return true;
}

// Cuts the register-bearing units of one control set into the fewest chunks
// of at most one group each, by recursive bisection across the wider side
// of their box; then, while groups are to spare, splits the most scattered
// chunks in two, but not those bound to a region, whose spare groups may
// be few.
struct Chunker {
  const std::vector<double>& tx;
  const std::vector<double>& ty;
  int groupSize;
  const PlacementRules* rules;
  std::vector<std::vector<int>> chunks;

  bool bound(const std::vector<int>& c) const { return rules != nullptr && rules->region(c[0]) >= 0; }

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
    for (std::size_t k = 0; k < chunks.size(); ++k)
      if (!bound(chunks[k])) worst.emplace(scatter(chunks[k]), k);
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
  // The largest control set, when it fills more than a group, goes last
  // and unit by unit (step 3): no other set competes for its groups then,
  // so packing it would only move its units away from their targets.
  std::vector<int> direct;
  if (!bySet.empty()) {
    auto largest = std::max_element(bySet.begin(), bySet.end(),
                                    [](const auto& a, const auto& b) { return a.size() < b.size(); });
    if (static_cast<int>(largest->size()) > G) direct.swap(*largest);
  }
  res.error = logicRoomShortage(f, luts, neededGroups);
  if (!res.error.empty()) return res;

  // 1. Chunks of one control set each (and of one region, when units
  // are bound to regions).
  const PlacementRules* rules = p.rules;
  if (rules != nullptr && rules->any()) {
    std::vector<std::vector<int>> split;
    for (auto& s : bySet) {
      std::stable_sort(s.begin(), s.end(), [&](int a, int b) { return rules->region(a) < rules->region(b); });
      for (std::size_t i = 0; i < s.size();) {
        std::size_t j = i;
        while (j < s.size() && rules->region(s[j]) == rules->region(s[i])) ++j;
        split.emplace_back(s.begin() + static_cast<long>(i), s.begin() + static_cast<long>(j));
        i = j;
      }
    }
    bySet.swap(split);
  }
  Chunker chunker{tx, ty, G, rules, {}};
  for (auto& s : bySet) chunker.cut(s, 0, static_cast<int>(s.size()));
  int freeGroups = 0;
  for (int g = 0; g < f.numGroups(); ++g) freeGroups += p.groupRegs[g] == 0;
  // The cutting leaves the largest set the groups it needs (step 3).
  const int directGroups = (static_cast<int>(direct.size()) + G - 1) / G;
  const double budget =
      std::max(0.0, std::min(params.chunkShare * freeGroups, static_cast<double>(freeGroups - directGroups)));
  chunker.split(static_cast<std::size_t>(budget), params.minScatter);
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
  // A group free of registers may still hold fixed lone LUTs: it takes a
  // chunk only when its free LUT halves hold the chunk's pairs, which then
  // go there, the lone registers on the BLEs left.
  std::vector<char> groupTaken(static_cast<std::size_t>(f.numGroups()), 0);
  for (int g = 0; g < f.numGroups(); ++g) groupTaken[g] = p.groupRegs[g] > 0;
  auto firstBle = [&](int group) {
    return (group / f.groupsPerCluster()) * kBles + (group % f.groupsPerCluster()) * G;
  };
  auto freeLutHalves = [&](int group) {
    int n = 0;
    for (int b = firstBle(group); b < firstBle(group) + G; ++b) n += p.lutAt[b] < 0;
    return n;
  };
  std::vector<int> chunkPairs(chunks.size(), 0);
  for (std::size_t k = 0; k < chunks.size(); ++k)
    for (int u : chunks[k]) chunkPairs[k] += m.hasLut(u) ? 1 : 0;
  WindowMatcher groups{f, params.window, params.threads,
                       [&](int chunk, int cluster, std::vector<int>& out) {
                         if (rules != nullptr && !rules->allowedIn(chunks[static_cast<std::size_t>(chunk)][0], cluster))
                           return;
                         for (int g = 0; g < f.groupsPerCluster(); ++g) {
                           const int id = cluster * f.groupsPerCluster() + g;
                           if (!groupTaken[id] && freeLutHalves(id) >= chunkPairs[static_cast<std::size_t>(chunk)])
                             out.push_back(id);
                         }
                       },
                       [&](int chunk, int group) {
                         groupTaken[group] = 1;
                         const std::vector<int>& units = chunks[static_cast<std::size_t>(chunk)];
                         const int first = firstBle(group);
                         if (freeLutHalves(group) == G) {
                           int ble = first;
                           for (int u : units) p.put(u, ble++);
                           return;
                         }
                         std::vector<char> used(static_cast<std::size_t>(G), 0);
                         int b = 0;
                         for (int u : units) {
                           if (!m.hasLut(u)) continue;
                           while (p.lutAt[first + b] >= 0) ++b;
                           used[static_cast<std::size_t>(b)] = 1;
                           p.put(u, first + b);
                         }
                         b = 0;
                         for (int u : units) {
                           if (m.hasLut(u)) continue;
                           while (used[static_cast<std::size_t>(b)]) ++b;
                           used[static_cast<std::size_t>(b)] = 1;
                           p.put(u, first + b);
                         }
                       },
                       res};
  const bool regions = rules != nullptr && !rules->regions.empty();
  if (!boundFirst(groups, cx, cy, regions, [&](int k) { return chunker.bound(chunks[static_cast<std::size_t>(k)]); })) {
    res.error = regions ? "no free register group left within a region (regions that overlap share their room)"
                        : "the device is too small: no free register group left";
    return res;
  }

  // 3. The largest control set's units onto the BLEs they fit, one by one;
  // 4. lone LUTs onto free LUT halves.
  // The pairs before the lone registers: a BLE whose LUT half is held by
  // a fixed LUT takes a lone register only.
  const auto firstLone = std::stable_partition(direct.begin(), direct.end(), [&](int u) { return m.hasLut(u); });
  std::vector<int> directPairs(direct.begin(), firstLone), directRegs(firstLone, direct.end());
  std::vector<int> lone;
  for (int u = 0; u < m.numUnits(); ++u)
    if (m.kind[u] == UNIT_LUT && p.loc[u] < 0) lone.push_back(u);
  for (const std::vector<int>* units : {&directPairs, &directRegs, &lone}) {
    std::vector<double> ux, uy;
    for (int u : *units) ux.push_back(tx[u]), uy.push_back(ty[u]);
    WindowMatcher unitMatch{f, params.window, params.threads,
                            [&](int item, int cluster, std::vector<int>& out) {
                              const int u = (*units)[static_cast<std::size_t>(item)];
                              if (rules != nullptr && !rules->allowedIn(u, cluster)) return;
                              for (int b = cluster * kBles; b < (cluster + 1) * kBles; ++b)
                                if (p.fits(u, b)) out.push_back(b);
                            },
                            [&](int item, int pos) { p.put((*units)[static_cast<std::size_t>(item)], pos); }, res};
    if (!boundFirst(unitMatch, ux, uy, regions,
                    [&](int k) { return rules->region((*units)[static_cast<std::size_t>(k)]) >= 0; })) {
      const char* what = units == &lone ? "LUT" : "register";
      res.error = regions ? std::string("no free ") + what + " place left within a region (regions that overlap share their room)"
                          : std::string("the device is too small: no free ") + what + " place left";
      return res;
    }
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
