// Detailed improvement by moves and swaps with exact wirelength changes.
#include "qplace/detail.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

namespace qplace {

namespace {

// Nets up to this size are rescanned for every change; the boxes of larger
// ones are updated from their cached box when the moved pins lie inside it.
constexpr int kScanLimit = 32;
// Nets larger than this do not steer the optimal region.
constexpr int kRegionLimit = 64;

class Improver {
public:
  Improver(Placement& p) : p_(p), m_(*p.model), f_(*p.fabric) {
    const int n = m_.numUnits();
    x_.resize(static_cast<std::size_t>(n));
    y_.resize(static_cast<std::size_t>(n));
    for (int u = 0; u < n; ++u) {
      x_[u] = p_.x(u);
      y_[u] = p_.y(u);
    }
    box_.resize(static_cast<std::size_t>(m_.numNets()));
    for (int k = 0; k < m_.numNets(); ++k) box_[k] = scan(k, nullptr, 0);
    stamp_.assign(static_cast<std::size_t>(m_.numNets()), 0);
  }

  double total() const {
    double t = 0;
    for (const Box& b : box_) t += b.cost();
    return t;
  }

  // One pass over the clusters: each traded whole with one around the
  // optimal region of its units, when that gains. Trading whole contents
  // (every BLE with the BLE of the same number) always keeps the register
  // rules. Returns the wirelength gained.
  double clusterPass(DetailResult& res) {
    double gain = 0;
    for (int a = 0; a < f_.numClusters(); ++a) gain += improveCluster(a, res);
    return gain;
  }

  // Low-temperature annealing: random moves and swaps of a logic unit into
  // a BLE of a cluster within `range` of its own cluster or, for a share of
  // the attempts, of its optimal region; each is kept when it gains or, with
  // probability exp(-loss / T), when it loses. T starts at startTemperature
  // times the mean loss of a sample of moves and falls geometrically to
  // 1/500 of that over `moves` attempts, the range shrinking from 4 to 1.
  // Illegal moves are not made. Returns the wirelength gained.
  double anneal(long moves, std::uint64_t seed, DetailResult& res) {
    std::vector<int> logic;
    for (int u = 0; u < m_.numUnits(); ++u)
      if (!m_.isIo(u)) logic.push_back(u);
    if (logic.empty() || moves <= 0) return 0;
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const double start = total();
    // Temperature: from a sample of losing moves.
    double lossSum = 0;
    int losses = 0;
    for (int k = 0; k < 200; ++k) {
      Attempt a;
      if (!propose(logic[rng() % logic.size()], 3, rng, a)) continue;
      if (a.delta > 0) {
        lossSum += a.delta;
        ++losses;
      }
    }
    double t = (losses > 0 ? lossSum / losses : 1.0) * startTemperature;
    const int steps = 40;
    const double cool = std::pow(0.002, 1.0 / steps);
    const long perStep = std::max(1L, moves / steps);
    for (int step = 0; step < steps; ++step, t *= cool) {
      const int range = std::max(1, static_cast<int>(std::lround(4.0 * (steps - step) / steps)));
      for (long k = 0; k < perStep; ++k) {
        Attempt a;
        if (!propose(logic[rng() % logic.size()], range, rng, a)) continue;
        if (a.delta < 0 || unit(rng) < std::exp(-a.delta / t)) apply(a, res);
      }
    }
    return start - total();
  }

  // One pass over the logic units; returns the wirelength gained.
  double pass(DetailResult& res) {
    double gain = 0;
    for (int u = 0; u < m_.numUnits(); ++u) {
      if (m_.isIo(u)) continue;
      gain += improveUnit(u, res);
    }
    return gain;
  }

private:
  struct Box {
    double x0, x1, y0, y1;
    double cost() const { return (x1 - x0) + (y1 - y0); }
  };
  struct Moved {
    int u;
    double x, y;
  };

  Box scan(int net, const Moved* moved, int numMoved) const {
    Box b{1e300, -1e300, 1e300, -1e300};
    for (int i = m_.netStart[net]; i < m_.netStart[net + 1]; ++i) {
      const int u = m_.netUnits[i];
      double x = x_[u], y = y_[u];
      for (int k = 0; k < numMoved; ++k)
        if (moved[k].u == u) {
          x = moved[k].x;
          y = moved[k].y;
        }
      b.x0 = std::min(b.x0, x);
      b.x1 = std::max(b.x1, x);
      b.y0 = std::min(b.y0, y);
      b.y1 = std::max(b.y1, y);
    }
    return b;
  }

  Box after(int net, const Moved* moved, int numMoved) const {
    if (m_.netSize(net) <= kScanLimit) return scan(net, moved, numMoved);
    Box b = box_[net];
    for (int k = 0; k < numMoved; ++k) {
      const double ox = x_[moved[k].u], oy = y_[moved[k].u];
      if (!(ox > b.x0 && ox < b.x1 && oy > b.y0 && oy < b.y1)) return scan(net, moved, numMoved);
    }
    for (int k = 0; k < numMoved; ++k) {
      b.x0 = std::min(b.x0, moved[k].x);
      b.x1 = std::max(b.x1, moved[k].x);
      b.y0 = std::min(b.y0, moved[k].y);
      b.y1 = std::max(b.y1, moved[k].y);
    }
    return b;
  }

  // The nets of the moved units, each once.
  void gatherNets(const Moved* moved, int numMoved) {
    nets_.clear();
    ++epoch_;
    for (int k = 0; k < numMoved; ++k) {
      const int u = moved[k].u;
      for (int i = m_.unitNetStart[u]; i < m_.unitNetStart[u + 1]; ++i) {
        const int n = m_.unitNets[i];
        if (stamp_[n] == epoch_) continue;
        stamp_[n] = epoch_;
        nets_.push_back(n);
      }
    }
  }

  double delta(const Moved* moved, int numMoved) {
    gatherNets(moved, numMoved);
    double d = 0;
    for (int n : nets_) d += after(n, moved, numMoved).cost() - box_[n].cost();
    return d;
  }

  void commit(const Moved* moved, int numMoved) {
    gatherNets(moved, numMoved);
    std::vector<Box> fresh;
    fresh.reserve(nets_.size());
    for (int n : nets_) fresh.push_back(after(n, moved, numMoved));
    for (int k = 0; k < numMoved; ++k) {
      x_[moved[k].u] = moved[k].x;
      y_[moved[k].u] = moved[k].y;
    }
    for (std::size_t i = 0; i < nets_.size(); ++i) box_[nets_[i]] = fresh[i];
  }

  // Median of the boxes of u's nets without u; false when u has none.
  bool optimalRegion(int u, double& tx, double& ty) {
    xs_.clear();
    ys_.clear();
    for (int i = m_.unitNetStart[u]; i < m_.unitNetStart[u + 1]; ++i) {
      const int n = m_.unitNets[i];
      if (m_.netSize(n) > kRegionLimit) continue;
      double x0 = 1e300, x1 = -1e300, y0 = 1e300, y1 = -1e300;
      for (int k = m_.netStart[n]; k < m_.netStart[n + 1]; ++k) {
        const int v = m_.netUnits[k];
        if (v == u) continue;
        x0 = std::min(x0, x_[v]);
        x1 = std::max(x1, x_[v]);
        y0 = std::min(y0, y_[v]);
        y1 = std::max(y1, y_[v]);
      }
      xs_.push_back(x0);
      xs_.push_back(x1);
      ys_.push_back(y0);
      ys_.push_back(y1);
    }
    if (xs_.empty()) return false;
    tx = median(xs_);
    ty = median(ys_);
    return true;
  }

  // Whether u and v may trade places.
  bool swappable(int u, int v) {
    const int pu = p_.loc[u], pv = p_.loc[v];
    p_.take(u);
    p_.take(v);
    const bool ok = p_.fits(u, pv) && p_.fits(v, pu);
    p_.put(v, pv);
    p_.put(u, pu);
    return ok;
  }

  // The units of a cluster, each once.
  void unitsOf(int cluster, std::vector<int>& out) const {
    out.clear();
    for (int b = 0; b < kBles; ++b)
      for (int v : {p_.lutAt[cluster * kBles + b], p_.regAt[cluster * kBles + b]})
        if (v >= 0 && std::find(out.begin(), out.end(), v) == out.end()) out.push_back(v);
  }

  double improveCluster(int a, DetailResult& res) {
    unitsOf(a, unitsA_);
    if (unitsA_.empty()) return 0;
    // Optimal region of the cluster: median of its units' net boxes
    // without the cluster's own units.
    xs_.clear();
    ys_.clear();
    ++epoch_;
    for (int u : unitsA_) {
      for (int i = m_.unitNetStart[u]; i < m_.unitNetStart[u + 1]; ++i) {
        const int n = m_.unitNets[i];
        if (m_.netSize(n) > kRegionLimit || stamp_[n] == epoch_) continue;
        stamp_[n] = epoch_;
        double x0 = 1e300, x1 = -1e300, y0 = 1e300, y1 = -1e300;
        for (int k = m_.netStart[n]; k < m_.netStart[n + 1]; ++k) {
          const int v = m_.netUnits[k];
          if (!m_.isIo(v) && p_.loc[v] / kBles == a) continue;
          x0 = std::min(x0, x_[v]);
          x1 = std::max(x1, x_[v]);
          y0 = std::min(y0, y_[v]);
          y1 = std::max(y1, y_[v]);
        }
        if (x0 > x1) continue;
        xs_.push_back(x0);
        xs_.push_back(x1);
        ys_.push_back(y0);
        ys_.push_back(y1);
      }
    }
    if (xs_.empty()) return 0;
    const double tx = median(xs_), ty = median(ys_);
    const int centre = f_.clusterAt(tx, ty);
    if (centre == a) return 0;
    const int cr = centre / f_.cols, cc = centre % f_.cols;
    double best = -1e-9;
    int bestB = -1;
    for (int r = std::max(0, cr - radius); r <= std::min(f_.rows - 1, cr + radius); ++r) {
      for (int c = std::max(0, cc - radius); c <= std::min(f_.cols - 1, cc + radius); ++c) {
        const int b = r * f_.cols + c;
        if (b == a) continue;
        unitsOf(b, unitsB_);
        moved_.clear();
        for (int u : unitsA_) moved_.push_back(Moved{u, f_.clusterX(b), f_.clusterY(b)});
        for (int u : unitsB_) moved_.push_back(Moved{u, f_.clusterX(a), f_.clusterY(a)});
        const double d = delta(moved_.data(), static_cast<int>(moved_.size()));
        if (d < best) {
          best = d;
          bestB = b;
        }
      }
    }
    if (bestB < 0) return 0;
    swapClusters(a, bestB, res);
    return -best;
  }

  // Wirelength change of trading the contents of clusters a and b.
  double clusterSwapDelta(int a, int b) {
    unitsOf(a, unitsA_);
    unitsOf(b, unitsB_);
    moved_.clear();
    for (int u : unitsA_) moved_.push_back(Moved{u, f_.clusterX(b), f_.clusterY(b)});
    for (int u : unitsB_) moved_.push_back(Moved{u, f_.clusterX(a), f_.clusterY(a)});
    return moved_.empty() ? 0.0 : delta(moved_.data(), static_cast<int>(moved_.size()));
  }

  void swapClusters(int a, int b, DetailResult& res) {
    unitsOf(a, unitsA_);
    unitsOf(b, unitsB_);
    moved_.clear();
    for (int u : unitsA_) moved_.push_back(Moved{u, f_.clusterX(b), f_.clusterY(b)});
    for (int u : unitsB_) moved_.push_back(Moved{u, f_.clusterX(a), f_.clusterY(a)});
    if (moved_.empty()) return;
    commit(moved_.data(), static_cast<int>(moved_.size()));
    posA_.clear();
    posB_.clear();
    for (int u : unitsA_) posA_.push_back(p_.loc[u]);
    for (int u : unitsB_) posB_.push_back(p_.loc[u]);
    for (int u : unitsA_) p_.take(u);
    for (int u : unitsB_) p_.take(u);
    for (std::size_t i = 0; i < unitsA_.size(); ++i) p_.put(unitsA_[i], b * kBles + posA_[i] % kBles);
    for (std::size_t i = 0; i < unitsB_.size(); ++i) p_.put(unitsB_[i], a * kBles + posB_[i] % kBles);
    ++res.clusterSwaps;
  }

  static double median(std::vector<double>& v) {
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    const double hi = v[v.size() / 2];
    const double lo = v.size() > 1 ? *std::max_element(v.begin(), v.begin() + v.size() / 2) : hi;
    return (lo + hi) / 2;
  }

  // A move of u to a free BLE, or a swap with a unit there, in a random
  // cluster within `range` of u's; false when none is legal.
  struct Attempt {
    int u = -1, v = -1, pos = -1;
    double delta = 0;
  };
  bool propose(int u, int range, std::mt19937_64& rng, Attempt& a) {
    const int here = p_.loc[u] / kBles;
    int around = here;
    double tx, ty;
    if (towardsOptimum > 0 && (rng() % 1000) < towardsOptimum * 1000 && optimalRegion(u, tx, ty))
      around = f_.clusterAt(tx, ty);
    const int r = around / f_.cols + static_cast<int>(rng() % (2 * range + 1)) - range;
    const int c = around % f_.cols + static_cast<int>(rng() % (2 * range + 1)) - range;
    if (r < 0 || r >= f_.rows || c < 0 || c >= f_.cols) return false;
    const int cl = r * f_.cols + c;
    if (cl == here) return false;
    const int pos = cl * kBles + static_cast<int>(rng() % kBles);
    a.u = u;
    a.pos = pos;
    if (p_.fits(u, pos)) {
      Moved mv{u, f_.clusterX(cl), f_.clusterY(cl)};
      a.v = -1;
      a.delta = delta(&mv, 1);
      return true;
    }
    const int v = m_.hasLut(u) && p_.lutAt[pos] >= 0 ? p_.lutAt[pos] : p_.regAt[pos];
    if (v < 0 || !swappable(u, v)) return false;
    Moved mv[2] = {{u, x_[v], y_[v]}, {v, x_[u], y_[u]}};
    a.v = v;
    a.delta = delta(mv, 2);
    return true;
  }

  void apply(const Attempt& a, DetailResult& res) {
    const int u = a.u;
    if (a.v < 0) {
      Moved mv{u, f_.clusterX(a.pos / kBles), f_.clusterY(a.pos / kBles)};
      commit(&mv, 1);
      p_.take(u);
      p_.put(u, a.pos);
      ++res.moves;
      return;
    }
    const int v = a.v, pu = p_.loc[u], pv = p_.loc[v];
    Moved mv[2] = {{u, x_[v], y_[v]}, {v, x_[u], y_[u]}};
    commit(mv, 2);
    p_.take(u);
    p_.take(v);
    p_.put(u, pv);
    p_.put(v, pu);
    ++res.swaps;
  }

  double improveUnit(int u, DetailResult& res) {
    double tx, ty;
    if (!optimalRegion(u, tx, ty)) return 0;
    const int here = p_.loc[u] / kBles;
    const int centre = f_.clusterAt(tx, ty);
    if (centre == here) return 0;
    const int cr = centre / f_.cols, cc = centre % f_.cols;
    double best = -1e-9;
    int bestPos = -1, bestSwap = -1;
    for (int r = std::max(0, cr - radius); r <= std::min(f_.rows - 1, cr + radius); ++r) {
      for (int c = std::max(0, cc - radius); c <= std::min(f_.cols - 1, cc + radius); ++c) {
        const int cl = r * f_.cols + c;
        if (cl == here) continue;
        const double nx = f_.clusterX(cl), ny = f_.clusterY(cl);
        bool moveTried = false;
        for (int b = 0; b < kBles; ++b) {
          const int pos = cl * kBles + b;
          if (!moveTried && p_.fits(u, pos)) {
            moveTried = true;
            Moved mv{u, nx, ny};
            const double d = delta(&mv, 1);
            if (d < best) {
              best = d;
              bestPos = pos;
              bestSwap = -1;
            }
          }
          // Swaps only in the cluster of the optimal region itself.
          if (cl != centre) continue;
          const int lu = p_.lutAt[pos], ru = p_.regAt[pos];
          for (int v : {lu, ru == lu ? -1 : ru}) {
            if (v < 0 || v == u) continue;
            Moved mv[2] = {{u, nx, ny}, {v, x_[u], y_[u]}};
            const double d = delta(mv, 2);
            if (d < best && swappable(u, v)) {
              best = d;
              bestPos = pos;
              bestSwap = v;
            }
          }
        }
      }
    }
    if (bestPos < 0) return 0;
    if (bestSwap < 0) {
      Moved mv{u, f_.clusterX(bestPos / kBles), f_.clusterY(bestPos / kBles)};
      commit(&mv, 1);
      p_.take(u);
      p_.put(u, bestPos);
      ++res.moves;
    } else {
      const int v = bestSwap, pu = p_.loc[u], pv = p_.loc[v];
      Moved mv[2] = {{u, x_[v], y_[v]}, {v, x_[u], y_[u]}};
      commit(mv, 2);
      p_.take(u);
      p_.take(v);
      p_.put(u, pv);
      p_.put(v, pu);
      ++res.swaps;
    }
    return -best;
  }

public:
  int radius = 1;
  double towardsOptimum = 0;     // share of annealing moves aimed at the optimal region
  double startTemperature = 0;   // in mean losses of sampled moves

private:
  Placement& p_;
  const Model& m_;
  const Fabric& f_;
  std::vector<double> x_, y_;
  std::vector<Box> box_;
  std::vector<int> stamp_;
  int epoch_ = 0;
  std::vector<int> nets_;
  std::vector<double> xs_, ys_;
  std::vector<int> unitsA_, unitsB_, posA_, posB_;
  std::vector<Moved> moved_;
};

}  // namespace

DetailResult improve(Placement& p, const DetailParams& params, const Progress& progress) {
  DetailResult res;
  Improver imp(p);
  imp.radius = params.radius;
  imp.towardsOptimum = params.towardsOptimum;
  imp.startTemperature = params.startTemperature;
  res.before = res.after = imp.total();
  for (int k = 0; k < params.maxPasses; ++k) {
    const double gain = imp.clusterPass(res) + imp.pass(res);
    res.passes = k + 1;
    res.after = imp.total();
    if (progress) {
      char line[160];
      std::snprintf(line, sizeof line, "  improvement pass %d: hpwl %.0f (%ld moves, %ld swaps, %ld cluster swaps)",
                    k + 1, res.after, res.moves, res.swaps, res.clusterSwaps);
      progress(line);
    }
    if (gain < params.minGain * res.after) break;
  }
  if (params.annealMoves > 0) {
    const double moves = std::min(params.annealMoves * p.model->numUnits(), params.annealCap);
    imp.anneal(static_cast<long>(moves), params.seed, res);
    if (params.finalPass) {
      imp.clusterPass(res);
      imp.pass(res);
    }
    res.after = imp.total();
    if (progress) {
      char line[160];
      std::snprintf(line, sizeof line, "  annealing: hpwl %.0f (%ld moves, %ld swaps in all)", res.after, res.moves,
                    res.swaps);
      progress(line);
    }
  }
  return res;
}

}  // namespace qplace
