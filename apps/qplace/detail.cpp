// Detailed improvement by moves and swaps with exact wirelength changes.
#include "qplace/detail.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

#include "qplace/placement_rules.h"

namespace qplace {

namespace {

// Annealing attempts per logic unit from which the annealing starts at its
// full temperature.
constexpr double kFullSchedule = 250;
// Nets larger than this do not steer the optimal region.
constexpr int kRegionLimit = 64;

class Improver {
public:
  Improver(Placement& p, Progress& progress) : p_(p), m_(*p.model), f_(*p.fabric), progress_(progress) {
    const int n = m_.numUnits();
    x_.resize(static_cast<std::size_t>(n));
    y_.resize(static_cast<std::size_t>(n));
    for (int u = 0; u < n; ++u) {
      x_[u] = p_.x(u);
      y_[u] = p_.y(u);
    }
    movedStamp_.assign(static_cast<std::size_t>(n), -1);
    exclStamp_.assign(static_cast<std::size_t>(n), -1);
    movedX_.resize(static_cast<std::size_t>(n));
    movedY_.resize(static_cast<std::size_t>(n));
    box_.resize(static_cast<std::size_t>(m_.numNets()));
    for (int k = 0; k < m_.numNets(); ++k) box_[k] = scan(k);
    stamp_.assign(static_cast<std::size_t>(m_.numNets()), 0);
    slot_.assign(static_cast<std::size_t>(m_.numNets()), 0);
    setGroups_.resize(static_cast<std::size_t>(m_.numCtrl));
    listedAs_.assign(static_cast<std::size_t>(f_.numGroups()), -1);
    listPos_.assign(static_cast<std::size_t>(f_.numGroups()), -1);
    for (int g = 0; g < f_.numGroups(); ++g) relist(g);
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
    for (int a = 0; a < f_.numClusters(); ++a) {
      gain += improveCluster(a, res);
      if (a % 4096 == 4095) alive("cluster trades", a + 1, f_.numClusters());
    }
    return gain;
  }

  // A heartbeat line from within a long loop.
  void alive(const char* what, long done, long all) {
    if (!progress_.pulseDue()) return;
    char line[160];
    std::snprintf(line, sizeof line, "  %s: %ld of %ld done, hpwl %.0f", what, done, all, total());
    progress_.pulse(line);
  }

  // Low-temperature annealing: random moves and swaps of a logic unit into
  // a BLE of a cluster within `range` of its own cluster or, for a share of
  // the attempts, of its optimal region (as it was at the start of the
  // temperature step). A share of a register's attempts aim at a group of
  // its own control set instead of a random cluster, since most clusters'
  // groups hold another set and refuse it. Each is kept when it gains or, with
  // probability exp(-loss / T), when it loses. T starts at startTemperature
  // times the mean loss of a sample of moves (times attempts per unit / 250
  // when there are fewer) and falls geometrically to 1/500 of that over
  // `moves` attempts, the range shrinking from 4 to 1. A schedule `length`
  // times the full one of 250 attempts per unit (of all units) ends warmer
  // and starts narrower when longer, down to 1/10 and a range of 2 from
  // twice the full length on: with time to spare, most of the gain comes
  // from staying in the band of temperatures where moves near a unit's
  // place still pay, not from cooling to a freeze or reaching far.
  // Illegal moves are not made. Returns the wirelength gained.
  double anneal(long moves, double length, std::uint64_t seed, DetailResult& res) {
    std::vector<int> logic;
    for (int u = 0; u < m_.numUnits(); ++u)
      if (!m_.isIo(u) && !fixed(u)) logic.push_back(u);
    if (logic.empty() || moves <= 0) return 0;
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const double start = total();
    // Temperature: from a sample of losing moves.
    newOptima();
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
    // A short schedule (few attempts per unit) cannot cool back down from a
    // hot start: it starts proportionally cooler.
    const double perUnit = static_cast<double>(moves) / static_cast<double>(logic.size());
    double t = (losses > 0 ? lossSum / losses : 1.0) * startTemperature * std::min(1.0, perUnit / kFullSchedule);
    const double longer = std::min(1.0, std::max(0.0, std::log2(length)));
    const double lastShare = 0.002 * std::pow(50.0, longer);
    const double firstRange = 4.0 - 2.0 * longer;
    const int steps = 40;
    const double cool = std::pow(lastShare, 1.0 / steps);
    const long perStep = std::max(1L, moves / steps);
    for (int step = 0; step < steps; ++step, t *= cool) {
      alive("annealing steps", step, steps);
      newOptima();
      const int range = std::max(1, static_cast<int>(std::lround(firstRange * (steps - step) / steps)));
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
      if (u % 8192 == 8191) alive("unit moves", u + 1, m_.numUnits());
      if (m_.isIo(u)) continue;
      gain += improveUnit(u, res);
    }
    return gain;
  }

private:
  // A net's box with the number of its units on each edge, so that a unit
  // leaving an edge that others hold needs no rescan.
  struct Box {
    double x0 = 1e300, x1 = -1e300, y0 = 1e300, y1 = -1e300;
    int nx0 = 0, nx1 = 0, ny0 = 0, ny1 = 0;
    double cost() const { return (x1 - x0) + (y1 - y0); }
    bool empty() const { return x0 > x1; }
    void add(double x, double y) {
      addTo(x, x0, nx0, x1, nx1);
      addTo(y, y0, ny0, y1, ny1);
    }
    // Takes `count` units at (x, y) out; false when that empties an edge,
    // and then the box must be rescanned.
    bool drop(double x, double y, int count = 1) {
      return dropFrom(x, x0, nx0, x1, nx1, count) && dropFrom(y, y0, ny0, y1, ny1, count);
    }

  private:
    static void addTo(double v, double& lo, int& nlo, double& hi, int& nhi) {
      if (v < lo) {
        lo = v;
        nlo = 1;
      } else if (v == lo) {
        ++nlo;
      }
      if (v > hi) {
        hi = v;
        nhi = 1;
      } else if (v == hi) {
        ++nhi;
      }
    }
    static bool dropFrom(double v, double lo, int& nlo, double hi, int& nhi, int count) {
      if (v == lo && (nlo -= count) <= 0) return false;
      if (v == hi && (nhi -= count) <= 0) return false;
      return true;
    }
  };
  struct Moved {
    int u;
    double x, y;
  };

  // Box of a net with the moved units at their new places (marked by
  // markMoved).
  Box scan(int net) const {
    Box b;
    for (int i = m_.netStart[net]; i < m_.netStart[net + 1]; ++i) {
      const int u = m_.netUnits[i];
      if (movedStamp_[u] == movedEpoch_) b.add(movedX_[u], movedY_[u]);
      else b.add(x_[u], y_[u]);
    }
    return b;
  }
  // Box of a net without the units marked by regionOf.
  Box scanExcluding(int net) const {
    Box b;
    for (int i = m_.netStart[net]; i < m_.netStart[net + 1]; ++i) {
      const int u = m_.netUnits[i];
      if (exclStamp_[u] != exclEpoch_) b.add(x_[u], y_[u]);
    }
    return b;
  }

  void markMoved(const Moved* moved, int numMoved) {
    ++movedEpoch_;
    for (int k = 0; k < numMoved; ++k) {
      movedStamp_[moved[k].u] = movedEpoch_;
      movedX_[moved[k].u] = moved[k].x;
      movedY_[moved[k].u] = moved[k].y;
    }
  }

  // The nets of the moved units, each once, with their boxes after the move
  // in after_; returns the change of wirelength.
  double evaluate(const Moved* moved, int numMoved) {
    nets_.clear();
    after_.clear();
    ++epoch_;
    markMoved(moved, numMoved);
    for (int k = 0; k < numMoved; ++k) {
      const int u = moved[k].u;
      for (int i = m_.unitNetStart[u]; i < m_.unitNetStart[u + 1]; ++i) {
        const int n = m_.unitNets[i];
        if (stamp_[n] != epoch_) {
          stamp_[n] = epoch_;
          slot_[n] = static_cast<int>(nets_.size());
          nets_.push_back(n);
          after_.push_back(box_[n]);
        }
        Box& b = after_[static_cast<std::size_t>(slot_[n])];
        if (b.empty()) continue;  // to be rescanned
        if (b.drop(x_[u], y_[u])) b.add(moved[k].x, moved[k].y);
        else b = Box();
      }
    }
    double d = 0;
    for (std::size_t i = 0; i < nets_.size(); ++i) {
      if (after_[i].empty()) after_[i] = scan(nets_[i]);
      d += after_[i].cost() - box_[nets_[i]].cost();
    }
    return d;
  }

  double delta(const Moved* moved, int numMoved) { return evaluate(moved, numMoved); }

  void commit(const Moved* moved, int numMoved) {
    evaluate(moved, numMoved);
    for (int k = 0; k < numMoved; ++k) {
      x_[moved[k].u] = moved[k].x;
      y_[moved[k].u] = moved[k].y;
    }
    for (std::size_t i = 0; i < nets_.size(); ++i) box_[nets_[i]] = after_[i];
  }

  // Optimal region of `units`, which share one place: the median of the
  // boxes of their nets (of at most kRegionLimit units) without them; false
  // when they have no such net.
  bool regionOf(const int* units, int count, double& tx, double& ty) {
    nets_.clear();
    ++epoch_;
    ++exclEpoch_;
    for (int k = 0; k < count; ++k) {
      const int u = units[k];
      exclStamp_[u] = exclEpoch_;
      for (int i = m_.unitNetStart[u]; i < m_.unitNetStart[u + 1]; ++i) {
        const int n = m_.unitNets[i];
        if (m_.netSize(n) > kRegionLimit) continue;
        if (stamp_[n] != epoch_) {
          stamp_[n] = epoch_;
          slot_[n] = 0;
          nets_.push_back(n);
        }
        ++slot_[n];
      }
    }
    xs_.clear();
    ys_.clear();
    const double ux = x_[units[0]], uy = y_[units[0]];
    for (int n : nets_) {
      Box b = box_[n];
      if (!b.drop(ux, uy, slot_[n])) b = scanExcluding(n);
      if (b.empty()) continue;
      xs_.push_back(b.x0);
      xs_.push_back(b.x1);
      ys_.push_back(b.y0);
      ys_.push_back(b.y1);
    }
    if (xs_.empty()) return false;
    tx = median(xs_);
    ty = median(ys_);
    return true;
  }
  bool optimalRegion(int u, double& tx, double& ty) { return regionOf(&u, 1, tx, ty); }

  // The cluster of a unit's optimal region (-1 for none), as the annealing
  // aims at it: taken once a temperature step, which moves few units,
  // rather than at every attempt. newOptima() starts a step.
  void newOptima() {
    if (optimumStep_.empty()) {
      optimumStep_.assign(static_cast<std::size_t>(m_.numUnits()), -1);
      optimum_.assign(static_cast<std::size_t>(m_.numUnits()), -1);
    }
    ++step_;
  }
  int optimum(int u) {
    if (optimumStep_[u] != step_) {
      optimumStep_[u] = step_;
      double tx, ty;
      optimum_[u] = optimalRegion(u, tx, ty) ? f_.clusterAt(tx, ty) : -1;
    }
    return optimum_[u];
  }

  // Whether the placement's rules (fixed units, regions) let unit u go to
  // the BLE place pos.
  bool mayGo(int u, int pos) const { return p_.rules == nullptr || p_.rules->allowedAt(u, pos); }
  bool fixed(int u) const { return p_.rules != nullptr && p_.rules->fixed(u); }
  // Whether every unit of clusters a and b may trade clusters, each keeping
  // its BLE (unitsA_ and unitsB_ hold their units).
  bool mayTrade(int a, int b) const {
    for (int u : unitsA_)
      if (!mayGo(u, b * kBles + p_.loc[u] % kBles)) return false;
    for (int u : unitsB_)
      if (!mayGo(u, a * kBles + p_.loc[u] % kBles)) return false;
    return true;
  }

  // Whether u and v may trade places.
  bool swappable(int u, int v) {
    const int pu = p_.loc[u], pv = p_.loc[v];
    if (!mayGo(u, pv) || !mayGo(v, pu)) return false;
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
    double tx, ty;
    if (!regionOf(unitsA_.data(), static_cast<int>(unitsA_.size()), tx, ty)) return 0;
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
        if (!mayTrade(a, b)) continue;
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
    for (int k = 0; k < f_.groupsPerCluster(); ++k) {
      relist(a * f_.groupsPerCluster() + k);
      relist(b * f_.groupsPerCluster() + k);
    }
    ++res.clusterSwaps;
  }

  // Keeps setGroups_ in step with group g after a change.
  void relist(int g) {
    const int want = p_.groupRegs[g] > 0 ? p_.groupCtrl[g] : -1;
    if (listedAs_[g] == want) return;
    if (listedAs_[g] >= 0) {
      std::vector<int>& l = setGroups_[static_cast<std::size_t>(listedAs_[g])];
      const int last = l.back();
      l[static_cast<std::size_t>(listPos_[g])] = last;
      listPos_[last] = listPos_[g];
      l.pop_back();
    }
    if (want >= 0) {
      listPos_[g] = static_cast<int>(setGroups_[static_cast<std::size_t>(want)].size());
      setGroups_[static_cast<std::size_t>(want)].push_back(g);
    }
    listedAs_[g] = want;
  }
  int groupAt(int pos) const { return f_.groupOfBle(pos / kBles, pos % kBles); }

  // Moves u to the free place pos, or swaps it with v; the wirelength
  // bookkeeping must be committed already.
  void moveUnit(int u, int pos) {
    const int from = p_.loc[u];
    p_.take(u);
    p_.put(u, pos);
    relist(groupAt(from));
    relist(groupAt(pos));
  }
  void swapUnits(int u, int v) {
    const int pu = p_.loc[u], pv = p_.loc[v];
    p_.take(u);
    p_.take(v);
    p_.put(u, pv);
    p_.put(v, pu);
    relist(groupAt(pu));
    relist(groupAt(pv));
  }

  // The register-bearing units of group g.
  void regsOf(int g, std::vector<int>& out) const {
    out.clear();
    const int first = (g / f_.groupsPerCluster()) * kBles + (g % f_.groupsPerCluster()) * f_.groupBles();
    for (int pos = first; pos < first + f_.groupBles(); ++pos)
      if (p_.regAt[pos] >= 0) out.push_back(p_.regAt[pos]);
  }

  // BLEs of group `to` for the register-bearing units `units` once the
  // register-bearing units of `to` have left: LUT+register pairs on BLEs
  // whose LUT half is then free, lone registers on the rest. False when the
  // pairs do not fit (the LUT halves hold lone LUTs, which stay).
  bool planInto(const std::vector<int>& units, int to, std::vector<int>& pos) const {
    pos.assign(units.size(), -1);
    const int first = (to / f_.groupsPerCluster()) * kBles + (to % f_.groupsPerCluster()) * f_.groupBles();
    const int last = first + f_.groupBles();
    int freeLut = first, any = first;
    std::vector<char> used(static_cast<std::size_t>(f_.groupBles()), 0);
    for (std::size_t i = 0; i < units.size(); ++i) {
      if (!m_.hasLut(units[i])) continue;
      while (freeLut < last && p_.lutAt[freeLut] >= 0 && !m_.hasReg(p_.lutAt[freeLut])) ++freeLut;
      if (freeLut == last) return false;
      used[static_cast<std::size_t>(freeLut - first)] = 1;
      pos[i] = freeLut++;
    }
    for (std::size_t i = 0; i < units.size(); ++i) {
      if (pos[i] >= 0) continue;
      while (used[static_cast<std::size_t>(any - first)]) ++any;
      used[static_cast<std::size_t>(any - first)] = 1;
      pos[i] = any;
    }
    return true;
  }

  // Plans the trade of the register-bearing units of groups ga and gb (in
  // other clusters): unitsA_/posA_ into gb, unitsB_/posB_ into ga, moved_
  // with their new places. The register rules hold after it, since each
  // group takes the other's registers whole.
  bool planGroupTrade(int ga, int gb) {
    const int a = ga / f_.groupsPerCluster(), b = gb / f_.groupsPerCluster();
    if (a == b) return false;
    regsOf(ga, unitsA_);
    regsOf(gb, unitsB_);
    if (unitsA_.empty() || !planInto(unitsA_, gb, posA_) || !planInto(unitsB_, ga, posB_)) return false;
    for (std::size_t i = 0; i < unitsA_.size(); ++i)
      if (!mayGo(unitsA_[i], posA_[i])) return false;
    for (std::size_t i = 0; i < unitsB_.size(); ++i)
      if (!mayGo(unitsB_[i], posB_[i])) return false;
    moved_.clear();
    for (int u : unitsA_) moved_.push_back(Moved{u, f_.clusterX(b), f_.clusterY(b)});
    for (int u : unitsB_) moved_.push_back(Moved{u, f_.clusterX(a), f_.clusterY(a)});
    return true;
  }

  // Carries out the trade planned last.
  void tradeGroups(int ga, int gb, DetailResult& res) {
    commit(moved_.data(), static_cast<int>(moved_.size()));
    for (int u : unitsA_) p_.take(u);
    for (int u : unitsB_) p_.take(u);
    for (std::size_t i = 0; i < unitsA_.size(); ++i) p_.put(unitsA_[i], posA_[i]);
    for (std::size_t i = 0; i < unitsB_.size(); ++i) p_.put(unitsB_[i], posB_[i]);
    relist(ga);
    relist(gb);
    ++res.groupTrades;
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
    int ga = -1, gb = -1;  // a trade of the registers of two groups
    double delta = 0;
  };
  bool propose(int u, int range, std::mt19937_64& rng, Attempt& a) {
    const int here = p_.loc[u] / kBles;
    int around = here;
    if (towardsOptimum > 0 && (rng() % 1000) < towardsOptimum * 1000 && optimum(u) >= 0) around = optimum_[u];
    if (m_.hasReg(u) && (rng() % 1000) < groupTrades * 1000) {
      // u's whole group trades its registers with a group around `around`.
      const int r = around / f_.cols + static_cast<int>(rng() % (2 * range + 1)) - range;
      const int c = around % f_.cols + static_cast<int>(rng() % (2 * range + 1)) - range;
      if (r < 0 || r >= f_.rows || c < 0 || c >= f_.cols) return false;
      a.ga = groupAt(p_.loc[u]);
      a.gb = (r * f_.cols + c) * f_.groupsPerCluster() + static_cast<int>(rng() % f_.groupsPerCluster());
      if (!planGroupTrade(a.ga, a.gb)) return false;
      a.delta = delta(moved_.data(), static_cast<int>(moved_.size()));
      return true;
    }
    int cl = -1, pos = -1;
    if (m_.hasReg(u) && (rng() % 1000) < setAim * 1000) {
      // One of the groups of u's own set near `around`.
      const std::vector<int>& l = setGroups_[static_cast<std::size_t>(m_.ctrl[u])];
      const int ar = around / f_.cols, ac = around % f_.cols;
      for (int tries = 0; tries < 4 && cl < 0; ++tries) {
        const int g = l[rng() % l.size()];
        const int gc = g / f_.groupsPerCluster();
        if (std::abs(gc / f_.cols - ar) > range + 1 || std::abs(gc % f_.cols - ac) > range + 1) continue;
        cl = gc;
        pos = cl * kBles + (g % f_.groupsPerCluster()) * f_.groupBles() + static_cast<int>(rng() % f_.groupBles());
      }
      if (cl < 0 || cl == here) return false;
    } else {
      const int r = around / f_.cols + static_cast<int>(rng() % (2 * range + 1)) - range;
      const int c = around % f_.cols + static_cast<int>(rng() % (2 * range + 1)) - range;
      if (r < 0 || r >= f_.rows || c < 0 || c >= f_.cols) return false;
      cl = r * f_.cols + c;
      if (cl == here) return false;
      pos = cl * kBles + static_cast<int>(rng() % kBles);
    }
    a.u = u;
    a.pos = pos;
    if (p_.fits(u, pos)) {
      if (!mayGo(u, pos)) return false;
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
    if (a.ga >= 0) {
      tradeGroups(a.ga, a.gb, res);
      return;
    }
    const int u = a.u;
    if (a.v < 0) {
      Moved mv{u, f_.clusterX(a.pos / kBles), f_.clusterY(a.pos / kBles)};
      commit(&mv, 1);
      moveUnit(u, a.pos);
      ++res.moves;
      return;
    }
    const int v = a.v;
    Moved mv[2] = {{u, x_[v], y_[v]}, {v, x_[u], y_[u]}};
    commit(mv, 2);
    swapUnits(u, v);
    ++res.swaps;
  }

  double improveUnit(int u, DetailResult& res) {
    if (fixed(u)) return 0;
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
          if (!moveTried && p_.fits(u, pos) && mayGo(u, pos)) {
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
      moveUnit(u, bestPos);
      ++res.moves;
    } else {
      const int v = bestSwap;
      Moved mv[2] = {{u, x_[v], y_[v]}, {v, x_[u], y_[u]}};
      commit(mv, 2);
      swapUnits(u, v);
      ++res.swaps;
    }
    return -best;
  }

public:
  int radius = 1;
  double towardsOptimum = 0;     // share of annealing moves aimed at the optimal region
  double setAim = 0;             // share of a register's moves aimed at its set's groups
  double groupTrades = 0;        // share of a register's attempts that trade its whole group
  double startTemperature = 0;   // in mean losses of sampled moves

private:
  Placement& p_;
  const Model& m_;
  const Fabric& f_;
  Progress& progress_;
  std::vector<double> x_, y_;
  std::vector<Box> box_;
  std::vector<int> stamp_, slot_;  // per net: epoch last gathered, and its place in nets_
  int epoch_ = 0;
  std::vector<int> nets_;
  std::vector<Box> after_;  // per gathered net: its box after the move
  std::vector<int> exclStamp_;  // per unit: exclEpoch_ while regionOf leaves it out
  int exclEpoch_ = 0;
  std::vector<int> movedStamp_;  // per unit: movedEpoch_ while it is being moved
  std::vector<double> movedX_, movedY_;
  int movedEpoch_ = 0;
  std::vector<double> xs_, ys_;
  std::vector<int> optimum_, optimumStep_;  // per unit, for the annealing: cluster, and step taken
  int step_ = 0;
  std::vector<int> unitsA_, unitsB_, posA_, posB_;
  std::vector<Moved> moved_;
  std::vector<std::vector<int>> setGroups_;  // per control set: its groups
  std::vector<int> listedAs_, listPos_;      // per group: set it is listed under, and where
};

}  // namespace

DetailResult improve(Placement& p, const DetailParams& params, Progress& progress) {
  DetailResult res;
  Improver imp(p, progress);
  imp.radius = params.radius;
  imp.towardsOptimum = params.towardsOptimum;
  imp.startTemperature = params.startTemperature;
  imp.setAim = params.setAim;
  imp.groupTrades = params.groupTrades;
  res.before = res.after = imp.total();
  for (int k = 0; k < params.maxPasses; ++k) {
    const double gain = imp.clusterPass(res) + imp.pass(res);
    res.passes = k + 1;
    res.after = imp.total();
    if (progress.due()) {
      char line[160];
      std::snprintf(line, sizeof line, "  improvement pass %d: hpwl %.0f (%ld moves, %ld swaps, %ld cluster swaps)",
                    k + 1, res.after, res.moves, res.swaps, res.clusterSwaps);
      progress.step(line);
    }
    if (gain < params.minGain * res.after) break;
  }
  if (params.annealMoves > 0) {
    // Attempts in all; at most 1e15, so that the count fits a long whatever
    // the parameters.
    const double moves = std::min({params.annealMoves * p.model->numUnits(), params.annealCap, 1e15});
    imp.anneal(static_cast<long>(moves), moves / (kFullSchedule * p.model->numUnits()), params.seed, res);
    if (params.finalPass) {
      imp.clusterPass(res);
      imp.pass(res);
    }
    res.after = imp.total();
    if (progress.due()) {
      char line[160];
      std::snprintf(line, sizeof line, "  annealing and last pass: hpwl %.0f (%ld moves, %ld swaps, %ld group trades in all)",
                    res.after, res.moves, res.swaps, res.groupTrades);
      progress.step(line);
    }
  }
  return res;
}

}  // namespace qplace
