// Detailed improvement: greedy passes over the whole device, then an
// annealing by regions on several threads, with exact wirelength changes,
// keeping the best placement seen.
#include "qplace/detail.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <thread>

#include "qplace/anneal_schedule.h"
#include "qplace/detail_regions.h"
#include "qplace/net_box.h"

namespace qplace {

namespace {

// Nets larger than this do not steer a unit's optimal region.
constexpr int kRegionLimit = 64;
// Annealing rounds between renewals of the units' optimal regions.
constexpr int kAimRounds = 4;
// Tries per unit of the annealing whose first acceptance is the one given.
constexpr double kPlainTries = 200;
// Greedy passes after the annealing, at most.
constexpr int kFinalPasses = 3;

// xoshiro256** seeded through splitmix64: small, fast, and the same stream
// on every platform and standard library.
class Rng {
public:
  explicit Rng(std::uint64_t seed) {
    for (std::uint64_t& w : s_) w = splitmix(seed);
  }
  std::uint64_t operator()() {
    const std::uint64_t r = rotl(s_[1] * 5, 7) * 9;
    const std::uint64_t t = s_[1] << 17;
    s_[2] ^= s_[0];
    s_[3] ^= s_[1];
    s_[1] ^= s_[2];
    s_[0] ^= s_[3];
    s_[2] ^= t;
    s_[3] = rotl(s_[3], 45);
    return r;
  }
  // In [0, n), n > 0: the high half of a 64 x 64-bit product.
  int below(int n) {
    return static_cast<int>((static_cast<unsigned __int128>((*this)()) * static_cast<std::uint64_t>(n)) >> 64);
  }
  // In [-r, r].
  int within(int r) { return below(2 * r + 1) - r; }
  double uniform() { return static_cast<double>((*this)() >> 11) * 0x1.0p-53; }
  bool chance(double share) { return share > 0 && uniform() < share; }
  static std::uint64_t splitmix(std::uint64_t& x) {
    std::uint64_t z = (x += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }

private:
  static std::uint64_t rotl(std::uint64_t v, int k) { return (v << k) | (v >> (64 - k)); }
  std::uint64_t s_[4];
};

// The seed of one region's stream in one round.
std::uint64_t streamSeed(std::uint64_t seed, int round, int region) {
  std::uint64_t x = seed;
  const std::uint64_t a = Rng::splitmix(x);
  x = a ^ (static_cast<std::uint64_t>(round) << 32 | static_cast<std::uint32_t>(region));
  return Rng::splitmix(x);
}

struct Moved {
  int u;
  int x, y;  // the place it goes to
};

// What a worker did, summed over the workers of a round.
struct Counts {
  long moves = 0, swaps = 0, clusterSwaps = 0, groupTrades = 0, ioMoves = 0;
  long attempts = 0, accepted = 0;
  LossCounts losses;
  void merge(const Counts& o) {
    moves += o.moves;
    swaps += o.swaps;
    clusterSwaps += o.clusterSwaps;
    groupTrades += o.groupTrades;
    ioMoves += o.ioMoves;
    attempts += o.attempts;
    accepted += o.accepted;
    losses.merge(o.losses);
  }
};

// The state that the workers share. Between rounds it is exact: positions,
// net boxes and the total. During a round each worker changes only its own
// region's units and places, and reads the others' units as they were when
// the round began (sx, sy).
struct Shared {
  explicit Shared(Placement& pl) : p(pl), m(*pl.model), f(*pl.fabric) {
    const int n = m.numUnits();
    x.resize(static_cast<std::size_t>(n));
    y.resize(static_cast<std::size_t>(n));
    for (int u = 0; u < n; ++u) placeOf(u, x[u], y[u]);
    sx = x;
    sy = y;
    box.resize(static_cast<std::size_t>(m.numNets()));
    for (int k = 0; k < m.numNets(); ++k) {
      box[k] = scan(k);
      total += box[k].cost();
    }
    owner.assign(static_cast<std::size_t>(n), 0);
    touched.assign(static_cast<std::size_t>(n), 0);
    optimum.assign(static_cast<std::size_t>(n), -1);
    optimumRound.assign(static_cast<std::size_t>(n), -1);
    buildRing();
    relistGroups();
  }

  void placeOf(int u, int& ux, int& uy) const {
    const int l = p.loc[u];
    if (m.isIo(u)) {
      ux = f.ioX[l];
      uy = f.ioY[l];
    } else {
      ux = (l / kBles) % f.cols + 1;
      uy = (l / kBles) / f.cols + 1;
    }
  }
  NetBox scan(int net) const {
    NetBox b;
    for (int i = m.netStart[net]; i < m.netStart[net + 1]; ++i) b.add(x[m.netUnits[i]], y[m.netUnits[i]]);
    return b;
  }

  // The groups of each control set that hold its registers.
  void relistGroups() {
    setGroups.assign(static_cast<std::size_t>(m.numCtrl), {});
    for (int g = 0; g < f.numGroups(); ++g)
      if (p.groupRegs[g] > 0) setGroups[static_cast<std::size_t>(p.groupCtrl[g])].push_back(g);
  }

  // The I/O sites in order around the device's centre.
  void buildRing() {
    const int s = f.numIoSites();
    cx = (f.cols + 1) / 2.0;
    cy = (f.rows + 1) / 2.0;
    std::vector<double> angle(static_cast<std::size_t>(s));
    for (int i = 0; i < s; ++i) angle[i] = std::atan2(f.ioY[i] - cy, f.ioX[i] - cx);
    ring.resize(static_cast<std::size_t>(s));
    for (int i = 0; i < s; ++i) ring[i] = i;
    std::stable_sort(ring.begin(), ring.end(), [&](int a, int b) { return angle[a] < angle[b]; });
    ringPos.assign(static_cast<std::size_t>(s), 0);
    ringAngle.resize(static_cast<std::size_t>(s));
    for (int i = 0; i < s; ++i) {
      ringPos[ring[i]] = i;
      ringAngle[i] = angle[ring[i]];
    }
    // Sites per border position, on average: how far along the ring one
    // step of the range goes.
    int positions = 0;
    for (int i = 0; i < s; ++i)
      positions += i == 0 || f.ioX[ring[i]] != f.ioX[ring[i - 1]] || f.ioY[ring[i]] != f.ioY[ring[i - 1]];
    ioSpread = positions > 0 ? std::max(1, s / positions) : 1;
  }

  // The I/O site nearest to (px, py), or -1 without I/O sites: among the
  // sites near the point's direction from the centre.
  int nearestIoSite(double px, double py) const {
    const int s = static_cast<int>(ring.size());
    if (s == 0) return -1;
    const double a = std::atan2(py - cy, px - cx);
    const int at = static_cast<int>(std::lower_bound(ringAngle.begin(), ringAngle.end(), a) - ringAngle.begin());
    int best = -1;
    double bestD = 1e300;
    const int w = std::min(s, 2 * ioSpread + 2);
    for (int k = -w; k <= w; ++k) {
      const int site = ring[static_cast<std::size_t>(((at + k) % s + s) % s)];
      const double d = std::abs(f.ioX[site] - px) + std::abs(f.ioY[site] - py);
      if (d < bestD) {
        bestD = d;
        best = site;
      }
    }
    return best;
  }

  Placement& p;
  const Model& m;
  const Fabric& f;
  std::vector<int> x, y;    // current places; a unit's written by its region's worker only
  std::vector<int> sx, sy;  // places when the round began
  std::vector<NetBox> box;  // exact between rounds
  long long total = 0;      // exact between rounds
  Regions regions;
  std::vector<int> owner;               // per unit: its region this round, -1 for a fixed unit
  std::vector<std::vector<int>> units;  // per region: its units this round
  std::vector<std::vector<int>> setGroups;  // per control set: its groups when the round began
  std::vector<int> optimum, optimumRound;   // per unit: the place aimed at, and `aims` when it was taken
  int aims = 0;                             // counts the times the optima were renewed
  std::vector<char> touched;                // per unit: moved this round
  std::vector<int> ring, ringPos;           // I/O sites around the border; each site's place in it
  std::vector<double> ringAngle;
  double cx = 0, cy = 0;
  int ioSpread = 1;
};

// Improves one region of the shared state: greedy passes when the region
// is the whole device, annealing attempts in any region. Changes only the
// region's units and places; prices its moves on its own copy of the boxes
// of its units' nets. One worker per thread; its scratch space is reused
// from region to region.
class Worker {
public:
  Worker(Shared& s, const DetailParams& params, Progress* progress)
      : s_(s), p_(s.p), m_(s.m), f_(s.f), params_(params), progress_(progress) {
    lidx_.assign(static_cast<std::size_t>(m_.numNets()), -1);
    lstamp_.assign(static_cast<std::size_t>(m_.numNets()), -1);
    movedStamp_.assign(static_cast<std::size_t>(m_.numUnits()), -1);
    movedX_.resize(static_cast<std::size_t>(m_.numUnits()));
    movedY_.resize(static_cast<std::size_t>(m_.numUnits()));
    exclStamp_.assign(static_cast<std::size_t>(m_.numUnits()), -1);
  }

  // Takes region r: copies the boxes of its units' nets. O(pins of its units).
  void open(int r) {
    region_ = r;
    ++openEpoch_;
    lbox_.clear();
    moved_.clear();
    counts_ = Counts();
    gain_ = 0;
    for (int u : s_.units[static_cast<std::size_t>(r)])
      for (int i = m_.unitNetStart[u]; i < m_.unitNetStart[u + 1]; ++i) {
        const int n = m_.unitNets[i];
        if (lstamp_[n] == openEpoch_) continue;
        lstamp_[n] = openEpoch_;
        lidx_[n] = static_cast<int>(lbox_.size());
        lbox_.push_back(s_.box[n]);
      }
    nstamp_.assign(lbox_.size(), -1);
    nslot_.assign(lbox_.size(), 0);
  }
  const std::vector<int>& moved() const { return moved_; }
  const Counts& counts() const { return counts_; }
  long long gain() const { return gain_; }

  // One greedy pass over the clusters: each traded whole with one around
  // the optimal region of its units, when that gains.
  void clusterPass() {
    for (int a = 0; a < f_.numClusters(); ++a) {
      if (s_.regions.ofCluster[a] == region_) improveCluster(a);
      if (a % 4096 == 4095) alive("cluster trades", a + 1, f_.numClusters());
    }
  }
  // One greedy pass over the units: each moved to, or swapped into, the
  // place around its optimal region that gains most.
  void unitPass() {
    const std::vector<int>& units = s_.units[static_cast<std::size_t>(region_)];
    for (std::size_t k = 0; k < units.size(); ++k) {
      const int u = units[k];
      if (m_.isIo(u)) improveIo(u);
      else improveUnit(u);
      if (k % 8192 == 8191) alive("unit moves", static_cast<long>(k + 1), static_cast<long>(units.size()));
    }
  }

  // Losses of `count` attempts at `range`, none made.
  void sample(int count, int range, Rng& rng) {
    const std::vector<int>& units = s_.units[static_cast<std::size_t>(region_)];
    if (units.empty()) return;
    for (int k = 0; k < count; ++k) {
      Attempt a;
      if (propose(units[static_cast<std::size_t>(rng.below(static_cast<int>(units.size())))], range, rng, a) &&
          a.delta > 0)
        counts_.losses.add(a.delta);
    }
  }

  // `tries` annealing tries at temperature t: a random unit of the region
  // proposes a move or swap (see propose); a legal one is made when it
  // gains nothing or loses, with probability exp(-loss / t), when it loses.
  void anneal(long tries, double t, int range, Rng& rng) {
    const std::vector<int>& units = s_.units[static_cast<std::size_t>(region_)];
    if (units.empty()) return;
    double accept[LossCounts::kSizes];
    for (int d = 0; d < LossCounts::kSizes; ++d) accept[d] = t > 0 ? std::exp(-d / t) : 0.0;
    const int n = static_cast<int>(units.size());
    for (long k = 0; k < tries; ++k) {
      Attempt a;
      if (!propose(units[static_cast<std::size_t>(rng.below(n))], range, rng, a)) continue;
      ++counts_.attempts;
      if (a.delta > 0) {
        counts_.losses.add(a.delta);
        const double pr = a.delta < LossCounts::kSizes ? accept[a.delta] : (t > 0 ? std::exp(-a.delta / t) : 0.0);
        if (!(rng.uniform() < pr)) continue;
      }
      ++counts_.accepted;
      apply(a);
    }
  }

private:
  struct Attempt {
    int u = -1, v = -1, pos = -1;  // u to logic place or I/O site pos, swapping with v (-1: none)
    int ga = -1, gb = -1;          // or a trade of the registers of two groups
    int delta = 0;
  };

  int px(int v) const { return s_.owner[v] == region_ ? s_.x[v] : s_.sx[v]; }
  int py(int v) const { return s_.owner[v] == region_ ? s_.y[v] : s_.sy[v]; }
  bool mine(int cluster) const { return s_.regions.ofCluster[cluster] == region_; }
  int clusterX(int c) const { return c % f_.cols + 1; }
  int clusterY(int c) const { return c / f_.cols + 1; }

  void alive(const char* what, long done, long all) {
    if (progress_ == nullptr || !progress_->pulseDue()) return;
    char line[160];
    std::snprintf(line, sizeof line, "  %s: %ld of %ld done, hpwl %lld", what, done, all, s_.total - gain_);
    progress_->pulse(line);
  }

  // Box of a net with the moved units (marked by markMoved) at their new
  // places.
  NetBox scan(int net) const {
    NetBox b;
    for (int i = m_.netStart[net]; i < m_.netStart[net + 1]; ++i) {
      const int u = m_.netUnits[i];
      if (movedStamp_[u] == movedEpoch_) b.add(movedX_[u], movedY_[u]);
      else b.add(px(u), py(u));
    }
    return b;
  }
  // Box of a net without the units marked by regionOf.
  NetBox scanExcluding(int net) const {
    NetBox b;
    for (int i = m_.netStart[net]; i < m_.netStart[net + 1]; ++i) {
      const int u = m_.netUnits[i];
      if (exclStamp_[u] != exclEpoch_) b.add(px(u), py(u));
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

  // The nets of the moved units, each once, with their boxes after the
  // move in after_; returns the change of wirelength.
  int evaluate(const Moved* moved, int numMoved) {
    nets_.clear();
    after_.clear();
    ++epoch_;
    markMoved(moved, numMoved);
    for (int k = 0; k < numMoved; ++k) {
      const int u = moved[k].u;
      const int ox = s_.x[u], oy = s_.y[u];
      for (int i = m_.unitNetStart[u]; i < m_.unitNetStart[u + 1]; ++i) {
        const int n = lidx_[m_.unitNets[i]];
        if (nstamp_[n] != epoch_) {
          nstamp_[n] = epoch_;
          nslot_[n] = static_cast<int>(nets_.size());
          nets_.push_back(m_.unitNets[i]);
          after_.push_back(lbox_[n]);
        }
        NetBox& b = after_[static_cast<std::size_t>(nslot_[n])];
        if (b.empty()) continue;  // to be rescanned
        if (!b.move(ox, oy, moved[k].x, moved[k].y)) b = NetBox();
      }
    }
    int d = 0;
    for (std::size_t i = 0; i < nets_.size(); ++i) {
      if (after_[i].empty()) after_[i] = scan(nets_[i]);
      d += after_[i].cost() - lbox_[lidx_[nets_[i]]].cost();
    }
    return d;
  }

  void commit(const Moved* moved, int numMoved) {
    const int d = evaluate(moved, numMoved);
    for (std::size_t i = 0; i < nets_.size(); ++i) lbox_[lidx_[nets_[i]]] = after_[i];
    for (int k = 0; k < numMoved; ++k) place(moved[k].u, moved[k].x, moved[k].y, k == 0 ? d : 0);
  }

  // Box of a net with unit u at (ux, uy).
  NetBox scanWith(int net, int u, int ux, int uy) const {
    NetBox b;
    for (int i = m_.netStart[net]; i < m_.netStart[net + 1]; ++i) {
      const int v = m_.netUnits[i];
      if (v == u) b.add(ux, uy);
      else b.add(px(v), py(v));
    }
    return b;
  }
  // u's net i (an index into unitNets) with u moved from (ox, oy) to
  // (nx, ny): the change of its half perimeter, and with `make` its box.
  int moveNet(int i, int u, int ox, int oy, int nx, int ny, bool make, NetBox& b) const {
    const int net = m_.unitNets[i];
    const int first = m_.netStart[net];
    if (m_.netStart[net + 1] - first == 2) {
      // Most nets: the other unit alone makes the box.
      const int v = m_.netUnits[first] == u ? m_.netUnits[first + 1] : m_.netUnits[first];
      const int vx = px(v), vy = py(v);
      if (make) {
        b = NetBox();
        b.add(nx, ny);
        b.add(vx, vy);
      }
      return std::abs(nx - vx) + std::abs(ny - vy) - std::abs(ox - vx) - std::abs(oy - vy);
    }
    const NetBox& now = lbox_[lidx_[net]];
    b = now;
    if (!b.move(ox, oy, nx, ny)) b = scanWith(net, u, nx, ny);
    return b.cost() - now.cost();
  }

  // The change of wirelength when unit u alone goes to (nx, ny); with
  // `make`, makes the move. The unit's nets are visited once and no box is
  // kept: the common case, priced without the bookkeeping of evaluate().
  int move(int u, int nx, int ny, bool make) {
    const int ox = s_.x[u], oy = s_.y[u];
    int d = 0;
    NetBox b;
    for (int i = m_.unitNetStart[u]; i < m_.unitNetStart[u + 1]; ++i) {
      d += moveNet(i, u, ox, oy, nx, ny, make, b);
      if (make) lbox_[lidx_[m_.unitNets[i]]] = b;
    }
    if (make) place(u, nx, ny, d);
    return d;
  }
  // The same for u and v trading places. A net of both keeps its box.
  int swap(int u, int v, bool make) {
    const int ux = s_.x[u], uy = s_.y[u], vx = s_.x[v], vy = s_.y[v];
    const int mark = ++epoch_, both = ++epoch_;
    for (int i = m_.unitNetStart[v]; i < m_.unitNetStart[v + 1]; ++i) nstamp_[lidx_[m_.unitNets[i]]] = mark;
    int d = 0;
    NetBox b;
    for (int i = m_.unitNetStart[u]; i < m_.unitNetStart[u + 1]; ++i) {
      int& st = nstamp_[lidx_[m_.unitNets[i]]];
      if (st == mark) {
        st = both;
        continue;
      }
      d += moveNet(i, u, ux, uy, vx, vy, make, b);
      if (make) lbox_[lidx_[m_.unitNets[i]]] = b;
    }
    for (int i = m_.unitNetStart[v]; i < m_.unitNetStart[v + 1]; ++i) {
      if (nstamp_[lidx_[m_.unitNets[i]]] == both) continue;
      d += moveNet(i, v, vx, vy, ux, uy, make, b);
      if (make) lbox_[lidx_[m_.unitNets[i]]] = b;
    }
    if (make) {
      place(u, vx, vy, 0);
      place(v, ux, uy, d);
    }
    return d;
  }
  void place(int u, int nx, int ny, int delta) {
    gain_ -= delta;
    s_.x[u] = nx;
    s_.y[u] = ny;
    if (!s_.touched[u]) {
      s_.touched[u] = 1;
      moved_.push_back(u);
    }
  }

  // Optimal region of `units`, which share one place: the median of the
  // boxes of their nets (of at most kRegionLimit units) without them;
  // false when they have no such net.
  bool regionOf(const int* units, int count, double& tx, double& ty) {
    nets_.clear();
    ++epoch_;
    ++exclEpoch_;
    for (int k = 0; k < count; ++k) {
      const int u = units[k];
      exclStamp_[u] = exclEpoch_;
      for (int i = m_.unitNetStart[u]; i < m_.unitNetStart[u + 1]; ++i) {
        const int net = m_.unitNets[i];
        if (m_.netSize(net) > kRegionLimit) continue;
        const int n = lidx_[net];
        if (nstamp_[n] != epoch_) {
          nstamp_[n] = epoch_;
          nslot_[n] = 0;
          nets_.push_back(net);
        }
        ++nslot_[n];
      }
    }
    xs_.clear();
    ys_.clear();
    const int ux = s_.x[units[0]], uy = s_.y[units[0]];
    for (int net : nets_) {
      NetBox b = lbox_[lidx_[net]];
      if (!b.drop(ux, uy, nslot_[lidx_[net]])) b = scanExcluding(net);
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

  static double median(std::vector<int>& v) {
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    const int hi = v[v.size() / 2];
    const int lo = v.size() > 1 ? *std::max_element(v.begin(), v.begin() + v.size() / 2) : hi;
    return (lo + hi) / 2.0;
  }

  // The cluster (for an I/O unit, the site) of a unit's optimal region, -1
  // for none; taken once a round, in which few units move.
  int optimum(int u) {
    if (s_.optimumRound[u] != s_.aims) {
      s_.optimumRound[u] = s_.aims;
      double tx, ty;
      int& o = s_.optimum[u];
      if (!regionOf(&u, 1, tx, ty)) o = -1;
      else o = m_.isIo(u) ? s_.nearestIoSite(tx, ty) : f_.clusterAt(tx, ty);
    }
    return s_.optimum[u];
  }

  // Whether u and v may trade places.
  bool swappable(int u, int v) {
    // Units of one kind and one control set (or none): every BLE half and
    // every group keeps what it holds.
    if (m_.kind[u] == m_.kind[v] && m_.ctrl[u] == m_.ctrl[v]) return true;
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

  void planClusterTrade(int a, int b) {
    moved_list_.clear();
    for (int u : unitsA_) moved_list_.push_back(Moved{u, clusterX(b), clusterY(b)});
    for (int u : unitsB_) moved_list_.push_back(Moved{u, clusterX(a), clusterY(a)});
  }

  void improveCluster(int a) {
    unitsOf(a, unitsA_);
    if (unitsA_.empty()) return;
    double tx, ty;
    if (!regionOf(unitsA_.data(), static_cast<int>(unitsA_.size()), tx, ty)) return;
    const int centre = f_.clusterAt(tx, ty);
    if (centre == a) return;
    const int cr = centre / f_.cols, cc = centre % f_.cols, radius = params_.radius;
    int best = 0, bestB = -1;
    for (int r = std::max(0, cr - radius); r <= std::min(f_.rows - 1, cr + radius); ++r) {
      for (int c = std::max(0, cc - radius); c <= std::min(f_.cols - 1, cc + radius); ++c) {
        const int b = r * f_.cols + c;
        if (b == a || !mine(b)) continue;
        unitsOf(b, unitsB_);
        planClusterTrade(a, b);
        const int d = evaluate(moved_list_.data(), static_cast<int>(moved_list_.size()));
        if (d < best) {
          best = d;
          bestB = b;
        }
      }
    }
    if (bestB >= 0) tradeClusters(a, bestB);
  }

  // Trades the whole contents of clusters a and b: every BLE with the BLE
  // of the same number, which always keeps the register rules.
  void tradeClusters(int a, int b) {
    unitsOf(a, unitsA_);
    unitsOf(b, unitsB_);
    planClusterTrade(a, b);
    commit(moved_list_.data(), static_cast<int>(moved_list_.size()));
    posA_.clear();
    posB_.clear();
    for (int u : unitsA_) posA_.push_back(p_.loc[u]);
    for (int u : unitsB_) posB_.push_back(p_.loc[u]);
    for (int u : unitsA_) p_.take(u);
    for (int u : unitsB_) p_.take(u);
    for (std::size_t i = 0; i < unitsA_.size(); ++i) p_.put(unitsA_[i], b * kBles + posA_[i] % kBles);
    for (std::size_t i = 0; i < unitsB_.size(); ++i) p_.put(unitsB_[i], a * kBles + posB_[i] % kBles);
    ++counts_.clusterSwaps;
  }

  void improveUnit(int u) {
    double tx, ty;
    if (!regionOf(&u, 1, tx, ty)) return;
    const int here = p_.loc[u] / kBles;
    const int centre = f_.clusterAt(tx, ty);
    if (centre == here) return;
    const int cr = centre / f_.cols, cc = centre % f_.cols, radius = params_.radius;
    int best = 0;
    Attempt pick;
    for (int r = std::max(0, cr - radius); r <= std::min(f_.rows - 1, cr + radius); ++r) {
      for (int c = std::max(0, cc - radius); c <= std::min(f_.cols - 1, cc + radius); ++c) {
        const int cl = r * f_.cols + c;
        if (cl == here || !mine(cl)) continue;
        const int nx = clusterX(cl), ny = clusterY(cl);
        bool moveTried = false;
        for (int b = 0; b < kBles; ++b) {
          const int pos = cl * kBles + b;
          if (!moveTried && p_.fits(u, pos)) {
            moveTried = true;
            const int d = move(u, nx, ny, false);
            if (d < best) {
              best = d;
              pick = Attempt{u, -1, pos};
            }
          }
          // Swaps only in the cluster of the optimal region itself.
          if (cl != centre) continue;
          const int lu = p_.lutAt[pos], ru = p_.regAt[pos];
          for (int v : {lu, ru == lu ? -1 : ru}) {
            if (v < 0 || v == u) continue;
            const int d = swap(u, v, false);
            if (d < best && swappable(u, v)) {
              best = d;
              pick = Attempt{u, v, pos};
            }
          }
        }
      }
    }
    if (pick.u >= 0) apply(pick);
  }

  // An I/O unit to a free site, or swapped with the I/O unit of a site,
  // around its optimal region, when that gains.
  void improveIo(int u) {
    const int target = optimumNow(u);
    if (target < 0 || target == p_.loc[u]) return;
    const int n = static_cast<int>(s_.ring.size());
    const int at = s_.ringPos[target], reach = params_.radius * s_.ioSpread;
    int best = 0;
    Attempt pick;
    for (int k = -reach; k <= reach; ++k) {
      const int site = s_.ring[static_cast<std::size_t>(((at + k) % n + n) % n)];
      Attempt a;
      if (site == p_.loc[u] || s_.regions.ofIoSite[site] != region_ || !planIo(u, site, a)) continue;
      if (a.delta < best) {
        best = a.delta;
        pick = a;
      }
    }
    if (pick.u >= 0) apply(pick);
  }
  // The optimum taken afresh (the greedy passes follow every move).
  int optimumNow(int u) {
    s_.optimumRound[u] = -1;
    return optimum(u);
  }

  // Prices I/O unit u going to `site`, swapping with the unit there.
  bool planIo(int u, int site, Attempt& a) {
    a.u = u;
    a.pos = site;
    a.v = p_.ioAt[site];
    a.delta = a.v >= 0 ? swap(u, a.v, false) : move(u, f_.ioX[site], f_.ioY[site], false);
    return true;
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
  bool planInto(const std::vector<int>& units, int to, std::vector<int>& pos) {
    pos.assign(units.size(), -1);
    const int first = (to / f_.groupsPerCluster()) * kBles + (to % f_.groupsPerCluster()) * f_.groupBles();
    const int last = first + f_.groupBles();
    int freeLut = first, any = first;
    used_.assign(static_cast<std::size_t>(f_.groupBles()), 0);
    for (std::size_t i = 0; i < units.size(); ++i) {
      if (!m_.hasLut(units[i])) continue;
      while (freeLut < last && p_.lutAt[freeLut] >= 0 && !m_.hasReg(p_.lutAt[freeLut])) ++freeLut;
      if (freeLut == last) return false;
      used_[static_cast<std::size_t>(freeLut - first)] = 1;
      pos[i] = freeLut++;
    }
    for (std::size_t i = 0; i < units.size(); ++i) {
      if (pos[i] >= 0) continue;
      while (used_[static_cast<std::size_t>(any - first)]) ++any;
      used_[static_cast<std::size_t>(any - first)] = 1;
      pos[i] = any;
    }
    return true;
  }

  // Plans the trade of the register-bearing units of groups ga and gb (in
  // other clusters): unitsA_/posA_ into gb, unitsB_/posB_ into ga,
  // moved_list_ with their new places. The register rules hold after it,
  // since each group takes the other's registers whole.
  bool planGroupTrade(int ga, int gb) {
    const int a = ga / f_.groupsPerCluster(), b = gb / f_.groupsPerCluster();
    if (a == b) return false;
    regsOf(ga, unitsA_);
    regsOf(gb, unitsB_);
    if (unitsA_.empty() || !planInto(unitsA_, gb, posA_) || !planInto(unitsB_, ga, posB_)) return false;
    moved_list_.clear();
    for (int u : unitsA_) moved_list_.push_back(Moved{u, clusterX(b), clusterY(b)});
    for (int u : unitsB_) moved_list_.push_back(Moved{u, clusterX(a), clusterY(a)});
    return true;
  }

  int groupAt(int pos) const { return f_.groupOfBle(pos / kBles, pos % kBles); }

  // A random legal move of u within `range` of its place or, for a share
  // of the attempts, of its optimal region: a logic unit to a BLE of a
  // cluster of the region (swapping with a unit there when the BLE is
  // taken), the registers of its whole group traded with those of another
  // group, or an I/O unit to a site along the border. A share of a
  // register's attempts aim at a group of its own control set instead of a
  // random cluster, since most clusters' groups hold another set and
  // refuse it. False when the move is illegal or leaves the region.
  bool propose(int u, int range, Rng& rng, Attempt& a) {
    const bool aim = rng.chance(params_.towardsOptimum);
    if (m_.isIo(u)) {
      const int n = static_cast<int>(s_.ring.size());
      int at = s_.ringPos[p_.loc[u]];
      if (aim && optimum(u) >= 0 && s_.regions.ofIoSite[s_.optimum[u]] == region_) at = s_.ringPos[s_.optimum[u]];
      const int site = s_.ring[static_cast<std::size_t>(((at + rng.within(range * s_.ioSpread)) % n + n) % n)];
      if (site == p_.loc[u] || s_.regions.ofIoSite[site] != region_) return false;
      return planIo(u, site, a);
    }
    const int here = p_.loc[u] / kBles;
    const Regions& rg = s_.regions;
    const int r0 = rg.row0[region_], r1 = rg.row1[region_], c0 = rg.col0[region_], c1 = rg.col1[region_];
    // Around the optimum, or the nearest cluster of the region to it.
    int ar = here / f_.cols, ac = here % f_.cols;
    if (aim && optimum(u) >= 0) {
      ar = std::clamp(s_.optimum[u] / f_.cols, r0, r1);
      ac = std::clamp(s_.optimum[u] % f_.cols, c0, c1);
    }
    // A cluster of the region within `range` of (ar, ac).
    auto pick = [&](int& r, int& c) {
      const int lo = std::max(r0, ar - range), hi = std::min(r1, ar + range);
      const int left = std::max(c0, ac - range), right = std::min(c1, ac + range);
      r = lo + rng.below(hi - lo + 1);
      c = left + rng.below(right - left + 1);
    };
    if (m_.hasReg(u) && rng.chance(params_.groupTrades)) {
      // u's whole group trades its registers with a group around (ar, ac).
      int r, c;
      pick(r, c);
      a.ga = groupAt(p_.loc[u]);
      a.gb = (r * f_.cols + c) * f_.groupsPerCluster() + rng.below(f_.groupsPerCluster());
      if (!planGroupTrade(a.ga, a.gb)) return false;
      a.delta = evaluate(moved_list_.data(), static_cast<int>(moved_list_.size()));
      return true;
    }
    int cl = -1, pos = -1;
    const std::vector<int>& l = m_.hasReg(u) ? s_.setGroups[static_cast<std::size_t>(m_.ctrl[u])] : s_.setGroups[0];
    // Aimed at the set's groups in proportion to the groups that hold
    // another set: a random cluster will do when most hold u's.
    if (m_.hasReg(u) && rng.chance(params_.setAim * (1 - static_cast<double>(l.size()) / f_.numGroups()))) {
      // One of the groups of u's own set near (ar, ac).
      for (int tries = 0; tries < 4 && cl < 0 && !l.empty(); ++tries) {
        const int g = l[static_cast<std::size_t>(rng.below(static_cast<int>(l.size())))];
        const int gc = g / f_.groupsPerCluster();
        if (std::abs(gc / f_.cols - ar) > range + 1 || std::abs(gc % f_.cols - ac) > range + 1) continue;
        cl = gc;
        pos = cl * kBles + (g % f_.groupsPerCluster()) * f_.groupBles() + rng.below(f_.groupBles());
      }
      if (cl < 0 || cl == here || !mine(cl)) return false;
    } else {
      int r, c;
      pick(r, c);
      cl = r * f_.cols + c;
      if (cl == here) return false;
      pos = cl * kBles + rng.below(kBles);
    }
    a.u = u;
    a.pos = pos;
    if (p_.fits(u, pos)) {
      a.v = -1;
      a.delta = move(u, clusterX(cl), clusterY(cl), false);
      return true;
    }
    const int v = m_.hasLut(u) && p_.lutAt[pos] >= 0 ? p_.lutAt[pos] : p_.regAt[pos];
    if (v < 0 || !swappable(u, v)) return false;
    a.v = v;
    a.delta = swap(u, v, false);
    return true;
  }

  // Makes the move priced last by propose or planIo (for a group trade,
  // planned last).
  void apply(const Attempt& a) {
    if (a.ga >= 0) {
      commit(moved_list_.data(), static_cast<int>(moved_list_.size()));
      for (int u : unitsA_) p_.take(u);
      for (int u : unitsB_) p_.take(u);
      for (std::size_t i = 0; i < unitsA_.size(); ++i) p_.put(unitsA_[i], posA_[i]);
      for (std::size_t i = 0; i < unitsB_.size(); ++i) p_.put(unitsB_[i], posB_[i]);
      ++counts_.groupTrades;
      return;
    }
    const int u = a.u, v = a.v;
    if (m_.isIo(u)) {
      const int from = p_.loc[u];
      if (v >= 0) swap(u, v, true);
      else move(u, f_.ioX[a.pos], f_.ioY[a.pos], true);
      p_.ioAt[from] = -1;
      if (v >= 0) p_.putIo(v, from);
      p_.putIo(u, a.pos);
      ++counts_.ioMoves;
      return;
    }
    const int cl = a.pos / kBles;
    if (v < 0) {
      move(u, clusterX(cl), clusterY(cl), true);
      p_.take(u);
      p_.put(u, a.pos);
      ++counts_.moves;
      return;
    }
    swap(u, v, true);
    const int pu = p_.loc[u], pv = p_.loc[v];
    p_.take(u);
    p_.take(v);
    p_.put(u, pv);
    p_.put(v, pu);
    ++counts_.swaps;
  }

  Shared& s_;
  Placement& p_;
  const Model& m_;
  const Fabric& f_;
  const DetailParams& params_;
  Progress* progress_;
  int region_ = 0;
  Counts counts_;
  long long gain_ = 0;  // wirelength gained since open(), as the region sees it
  // Boxes of the region's nets: net n's is lbox_[lidx_[n]] while lstamp_[n]
  // is openEpoch_.
  std::vector<NetBox> lbox_;
  std::vector<int> lidx_, lstamp_;
  int openEpoch_ = 0;
  std::vector<int> nstamp_, nslot_;  // per region net: epoch last gathered, and its place in nets_
  int epoch_ = 0;
  std::vector<int> nets_;
  std::vector<NetBox> after_;  // per gathered net: its box after the move
  std::vector<int> exclStamp_;  // per unit: exclEpoch_ while regionOf leaves it out
  int exclEpoch_ = 0;
  std::vector<int> movedStamp_;  // per unit: movedEpoch_ while it is being moved
  std::vector<int> movedX_, movedY_;
  int movedEpoch_ = 0;
  std::vector<int> xs_, ys_;
  std::vector<int> unitsA_, unitsB_, posA_, posB_;
  std::vector<char> used_;
  std::vector<Moved> moved_list_;
  std::vector<int> moved_;  // units moved since open()
};

// Runs the workers over the regions and keeps the shared state exact and
// the best placement seen.
class Driver {
public:
  Driver(Placement& p, const DetailParams& params, Progress& progress)
      : s_(p), params_(params), progress_(progress) {
    const int threads = std::max(1, params.threads);
    for (int k = 0; k < threads; ++k)
      workers_.emplace_back(new Worker(s_, params_, k == 0 ? &progress : nullptr));
    bestLoc_ = p.loc;
    bestTotal_ = s_.total;
    dirty_.assign(static_cast<std::size_t>(s_.m.numUnits()), 0);
  }

  long long total() const { return s_.total; }
  long long best() const { return bestTotal_; }
  const Counts& counts() const { return counts_; }

  // One greedy pass over the whole device; returns the wirelength gained.
  long long greedyPass() {
    const long long before = s_.total;
    whole();
    Worker& w = *workers_[0];
    w.open(0);
    w.clusterPass();
    w.unitPass();
    finish();
    return before - s_.total;
  }

  // The losses of a sample of attempts over the whole device, none made.
  LossCounts sample(int count, int range) {
    whole();
    ++s_.aims;
    Worker& w = *workers_[0];
    w.open(0);
    Rng rng(streamSeed(params_.seed, -1, 0));
    w.sample(count, range, rng);
    return w.counts().losses;
  }

  // One annealing round: `perUnit` tries per unit of each region, the
  // regions cut for round `round`. Returns the counts of the round.
  Counts anneal(int round, double perUnit, double t, int range) {
    s_.regions = makeRegions(s_.f, params_.regionSide, round);
    assignUnits();
    // The optimal regions move slowly: renewed every few rounds.
    if (round % kAimRounds == 0) ++s_.aims;
    const int regions = s_.regions.count;
    Counts all;
    std::atomic<int> next{0};
    std::vector<Counts> counts(static_cast<std::size_t>(regions));
    moved_.assign(static_cast<std::size_t>(regions), {});
    auto work = [&](Worker& w) {
      for (int r = next++; r < regions; r = next++) {
        w.open(r);
        Rng rng(streamSeed(params_.seed, round, r));
        const long tries = std::lround(perUnit * static_cast<double>(s_.units[static_cast<std::size_t>(r)].size()));
        w.anneal(tries, t, range, rng);
        counts[static_cast<std::size_t>(r)] = w.counts();
        moved_[static_cast<std::size_t>(r)] = w.moved();
      }
    };
    const int threads = std::min(static_cast<int>(workers_.size()), regions);
    std::vector<std::thread> pool;
    for (int k = 1; k < threads; ++k) pool.emplace_back(work, std::ref(*workers_[static_cast<std::size_t>(k)]));
    work(*workers_[0]);
    for (std::thread& th : pool) th.join();
    for (const Counts& c : counts) all.merge(c);
    const long long before = s_.total;
    merge();
    // One region sees everything as it is: its prices were exact.
    assert(regions > 1 || before - s_.total == workers_[0]->gain());
    (void)before;
    counts_.merge(all);
    return all;
  }

  // Back to the best placement seen when the current one is longer.
  bool restoreBest() {
    if (s_.total <= bestTotal_) return false;
    Placement& p = s_.p;
    for (int u : dirtyList_) {
      if (s_.m.isIo(u)) p.ioAt[p.loc[u]] = -1, p.loc[u] = -1;
      else p.take(u);
    }
    for (int u : dirtyList_) {
      if (s_.m.isIo(u)) p.putIo(u, bestLoc_[u]);
      else p.put(u, bestLoc_[u]);
      s_.placeOf(u, s_.x[u], s_.y[u]);
      s_.sx[u] = s_.x[u];
      s_.sy[u] = s_.y[u];
    }
    rescan(dirtyList_);
    for (int u : dirtyList_) dirty_[u] = 0;
    dirtyList_.clear();
    s_.relistGroups();
    return true;
  }

private:
  void whole() {
    s_.regions = makeRegions(s_.f, 0, 0);
    assignUnits();
  }
  // Owners and unit lists of the regions.
  void assignUnits() {
    const Regions& r = s_.regions;
    s_.units.assign(static_cast<std::size_t>(r.count), {});
    for (int u = 0; u < s_.m.numUnits(); ++u) {
      s_.owner[u] = -1;
      if (s_.m.isIo(u) && !params_.moveIo) continue;  // fixed
      const int l = s_.p.loc[u];
      const int o = s_.m.isIo(u) ? r.ofIoSite[l] : r.ofCluster[l / kBles];
      s_.owner[u] = o;
      s_.units[static_cast<std::size_t>(o)].push_back(u);
    }
  }
  void finish() {
    moved_.assign(1, workers_[0]->moved());
    counts_.merge(workers_[0]->counts());
    const long long before = s_.total;
    merge();
    assert(before - s_.total == workers_[0]->gain());
    (void)before;
  }
  // Makes the shared state exact after a round: the boxes of the nets of
  // the units moved, the total, the snapshot places, the groups of each
  // set; and takes the placement as the best when it is.
  void merge() {
    std::vector<int> all;
    for (const std::vector<int>& l : moved_) all.insert(all.end(), l.begin(), l.end());
    for (int u : all) {
      s_.touched[u] = 0;
      s_.sx[u] = s_.x[u];
      s_.sy[u] = s_.y[u];
      if (!dirty_[u]) {
        dirty_[u] = 1;
        dirtyList_.push_back(u);
      }
    }
    rescan(all);
    s_.relistGroups();
    if (s_.total < bestTotal_) {
      for (int u : dirtyList_) {
        bestLoc_[u] = s_.p.loc[u];
        dirty_[u] = 0;
      }
      dirtyList_.clear();
      bestTotal_ = s_.total;
    }
  }
  // Rescans the nets of `units` and updates the total.
  void rescan(const std::vector<int>& units) {
    if (netSeen_.empty()) netSeen_.assign(static_cast<std::size_t>(s_.m.numNets()), 0);
    std::vector<int> nets;
    for (int u : units)
      for (int i = s_.m.unitNetStart[u]; i < s_.m.unitNetStart[u + 1]; ++i) {
        const int n = s_.m.unitNets[i];
        if (netSeen_[n]) continue;
        netSeen_[n] = 1;
        nets.push_back(n);
      }
    for (int n : nets) {
      netSeen_[n] = 0;
      s_.total -= s_.box[n].cost();
      s_.box[n] = s_.scan(n);
      s_.total += s_.box[n].cost();
    }
  }

  Shared s_;
  const DetailParams& params_;
  Progress& progress_;
  std::vector<std::unique_ptr<Worker>> workers_;
  std::vector<std::vector<int>> moved_;  // per region: units moved in the round
  Counts counts_;
  std::vector<int> bestLoc_;
  long long bestTotal_ = 0;
  std::vector<char> dirty_;  // per unit: moved since the best was taken
  std::vector<int> dirtyList_;
  std::vector<char> netSeen_;
};

}  // namespace

DetailResult improve(Placement& p, const DetailParams& params, Progress& progress) {
  DetailResult res;
  Driver drv(p, params, progress);
  res.before = res.after = static_cast<double>(drv.total());
  auto line = [&](const char* what) {
    if (!progress.due()) return;
    const Counts& c = drv.counts();
    char text[200];
    std::snprintf(text, sizeof text, "  %s: hpwl %lld (%ld moves, %ld swaps, %ld cluster swaps, %ld group trades, %ld I/O moves)",
                  what, drv.total(), c.moves, c.swaps, c.clusterSwaps, c.groupTrades, c.ioMoves);
    progress.step(text);
  };
  for (int k = 0; k < params.maxPasses; ++k) {
    const long long gain = drv.greedyPass();
    res.passes = k + 1;
    char what[40];
    std::snprintf(what, sizeof what, "improvement pass %d", k + 1);
    line(what);
    if (gain < params.minGain * static_cast<double>(drv.total())) break;
  }
  const int movable = p.model->numUnits();
  const double budget = std::min({params.annealMoves * movable, params.annealCap, 1e15});
  if (budget >= 1 && movable > 0) {
    const int rounds = static_cast<int>(std::clamp(budget / movable / std::max(1e-9, params.roundTries),
                                                   static_cast<double>(std::max(1, params.minRounds)), 1e6));
    const LossCounts sample = drv.sample(std::clamp(2 * movable, 200, 20000), static_cast<int>(params.startRange));
    const double first = std::clamp(params.firstAcceptance * std::pow(budget / movable / kPlainTries, 0.75),
                                    params.lastAcceptance, std::max(params.lastAcceptance, 0.5));
    AnnealSchedule sched(sample, rounds, first, params.lastAcceptance, params.startRange, params.maxRange);
    const double perUnit = budget / rounds / movable;
    while (!sched.done()) {
      const Counts c = drv.anneal(sched.round(), perUnit, sched.temperature(), sched.range());
      if (progress.due()) {
        char text[200];
        std::snprintf(text, sizeof text, "  annealing round %d: temperature %.3g, range %d, %ld of %ld accepted, hpwl %lld",
                      sched.round() + 1, sched.temperature(), sched.range(), c.accepted, c.attempts, drv.total());
        progress.step(text);
      }
      sched.next(c.attempts, c.accepted, c.losses);
    }
    res.rounds = rounds;
    res.restored = drv.restoreBest();
    // Greedy passes while they gain: the annealing ends before a freeze.
    if (params.finalPass)
      for (int k = 0; k < kFinalPasses; ++k)
        if (drv.greedyPass() < params.minGain * static_cast<double>(drv.total())) break;
    line("annealing and last pass");
  }
  const Counts& c = drv.counts();
  res.moves = c.moves;
  res.swaps = c.swaps;
  res.clusterSwaps = c.clusterSwaps;
  res.groupTrades = c.groupTrades;
  res.ioMoves = c.ioMoves;
  res.after = static_cast<double>(drv.total());
  return res;
}

}  // namespace qplace
