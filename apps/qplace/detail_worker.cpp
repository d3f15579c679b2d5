// The workers of the detailed improvement: prices of moves and swaps, the
// greedy passes, the annealing tries.
#include "qplace/detail_worker.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace qplace {
namespace improvement {

namespace {

// Nets larger than this do not steer a unit's optimal region.
constexpr int kRegionLimit = 64;

// Sites on either side of an I/O unit's target that a greedy pass tries,
// at most.
constexpr int kMostIoTries = 256;

}  // namespace

Shared::Shared(Placement& pl) : p(pl), m(*pl.model), f(*pl.fabric) {
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

void Shared::placeOf(int u, int& ux, int& uy) const {
  const int l = p.loc[u];
  if (m.isIo(u)) {
    ux = f.ioX[l];
    uy = f.ioY[l];
  } else {
    ux = (l / kBles) % f.cols + 1;
    uy = (l / kBles) / f.cols + 1;
  }
}

NetBox Shared::scan(int net) const {
  NetBox b;
  for (int i = m.netStart[net]; i < m.netStart[net + 1]; ++i) b.add(x[m.netUnits[i]], y[m.netUnits[i]]);
  return b;
}

void Shared::relistGroups() {
  setGroups.assign(static_cast<std::size_t>(m.numCtrl), {});
  for (int g = 0; g < f.numGroups(); ++g)
    if (p.groupRegs[g] > 0) setGroups[static_cast<std::size_t>(p.groupCtrl[g])].push_back(g);
}

void Shared::buildRing() {
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
  ioStride = std::max(1, ioSpread / kSitesPerPosition);
}

int Shared::nearestIoSite(double px, double py) const {
  const int s = static_cast<int>(ring.size());
  if (s == 0) return -1;
  const double a = std::atan2(py - cy, px - cx);
  const int at = static_cast<int>(std::lower_bound(ringAngle.begin(), ringAngle.end(), a) - ringAngle.begin());
  int best = -1;
  double bestD = 1e300;
  const int w = std::min(s, 2 * ioSpread + 2);
  for (int k = -w; k <= w; k += ioStride) {
    const int site = ring[static_cast<std::size_t>(((at + k) % s + s) % s)];
    const double d = std::abs(f.ioX[site] - px) + std::abs(f.ioY[site] - py);
    if (d < bestD) {
      bestD = d;
      best = site;
    }
  }
  return best;
}

Worker::Worker(Shared& s, const DetailParams& params, Progress* progress)
    : s_(s), p_(s.p), m_(s.m), f_(s.f), params_(params), progress_(progress) {
  lidx_.assign(static_cast<std::size_t>(m_.numNets()), -1);
  lstamp_.assign(static_cast<std::size_t>(m_.numNets()), -1);
  movedStamp_.assign(static_cast<std::size_t>(m_.numUnits()), -1);
  movedX_.resize(static_cast<std::size_t>(m_.numUnits()));
  movedY_.resize(static_cast<std::size_t>(m_.numUnits()));
  exclStamp_.assign(static_cast<std::size_t>(m_.numUnits()), -1);
  pins_.resize(m_.unitNets.size());
}

void Worker::open(int r) {
  region_ = r;
  ++openEpoch_;
  lbox_.clear();
  moved_.clear();
  counts_ = Counts();
  gain_ = 0;
  for (int u : s_.units[static_cast<std::size_t>(r)])
    for (int i = m_.unitNetStart[u]; i < m_.unitNetStart[u + 1]; ++i) {
      const int n = m_.unitNets[i];
      const int first = m_.netStart[n];
      pins_[i].other = m_.netStart[n + 1] - first != 2 ? -1
                       : m_.netUnits[first] == u ? m_.netUnits[first + 1]
                                                 : m_.netUnits[first];
      if (lstamp_[n] != openEpoch_) {
        lstamp_[n] = openEpoch_;
        lidx_[n] = static_cast<int>(lbox_.size());
        lbox_.push_back(s_.box[n]);
      }
      pins_[i].local = lidx_[n];
    }
  nstamp_.assign(lbox_.size(), -1);
  nslot_.assign(lbox_.size(), 0);
}

void Worker::clusterPass() {
  // The region's rectangle (the I/O region's is the whole grid, none of
  // whose clusters is its own).
  const Regions& rg = s_.regions;
  const int r0 = rg.row0[region_], r1 = rg.row1[region_], c0 = rg.col0[region_], c1 = rg.col1[region_];
  const long all = static_cast<long>(r1 - r0 + 1) * (c1 - c0 + 1);
  long done = 0;
  for (int r = r0; r <= r1; ++r)
    for (int c = c0; c <= c1; ++c) {
      const int a = r * f_.cols + c;
      if (mine(a)) improveCluster(a);
      if (++done % 4096 == 0) alive("cluster trades", done, all);
    }
}

void Worker::unitPass() {
  const std::vector<int>& units = s_.units[static_cast<std::size_t>(region_)];
  for (std::size_t k = 0; k < units.size(); ++k) {
    const int u = units[k];
    if (m_.isIo(u)) improveIo(u);
    else improveUnit(u);
    if (k % 8192 == 8191) alive("unit moves", static_cast<long>(k + 1), static_cast<long>(units.size()));
  }
}

void Worker::sample(int count, int range, Rng& rng) {
  const std::vector<int>& units = s_.units[static_cast<std::size_t>(region_)];
  if (units.empty()) return;
  for (int k = 0; k < count; ++k) {
    Attempt a;
    if (propose(units[static_cast<std::size_t>(rng.below(static_cast<int>(units.size())))], range, rng, a) &&
        a.delta > 0)
      counts_.losses.add(a.delta);
  }
}

void Worker::anneal(long tries, double t, int range, Rng& rng) {
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

void Worker::alive(const char* what, long done, long all) {
  if (progress_ == nullptr || !progress_->pulseDue()) return;
  char line[160];
  std::snprintf(line, sizeof line, "  %s: %ld of %ld done, hpwl %lld", what, done, all, s_.total - gain_);
  progress_->pulse(line);
}

NetBox Worker::scan(int net) const {
  NetBox b;
  for (int i = m_.netStart[net]; i < m_.netStart[net + 1]; ++i) {
    const int u = m_.netUnits[i];
    if (movedStamp_[u] == movedEpoch_) b.add(movedX_[u], movedY_[u]);
    else b.add(px(u), py(u));
  }
  return b;
}

NetBox Worker::scanExcluding(int net) const {
  NetBox b;
  for (int i = m_.netStart[net]; i < m_.netStart[net + 1]; ++i) {
    const int u = m_.netUnits[i];
    if (exclStamp_[u] != exclEpoch_) b.add(px(u), py(u));
  }
  return b;
}

void Worker::markMoved(const Moved* moved, int numMoved) {
  ++movedEpoch_;
  for (int k = 0; k < numMoved; ++k) {
    movedStamp_[moved[k].u] = movedEpoch_;
    movedX_[moved[k].u] = moved[k].x;
    movedY_[moved[k].u] = moved[k].y;
  }
}

int Worker::evaluate(const Moved* moved, int numMoved) {
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

void Worker::commit(const Moved* moved, int numMoved) {
  const int d = evaluate(moved, numMoved);
  for (std::size_t i = 0; i < nets_.size(); ++i) lbox_[lidx_[nets_[i]]] = after_[i];
  for (int k = 0; k < numMoved; ++k) place(moved[k].u, moved[k].x, moved[k].y, k == 0 ? d : 0);
}

// Where this region sees the units, read through plain pointers (the
// timing term's loops then keep them in registers).
struct Worker::Places {
  const int *owner, *x, *y, *sx, *sy;
  int region;
  explicit Places(const Worker& w)
      : owner(w.s_.owner.data()), x(w.s_.x.data()), y(w.s_.y.data()), sx(w.s_.sx.data()), sy(w.s_.sy.data()),
        region(w.region_) {}
  void operator()(int v, int& vx, int& vy) const {
    const bool mine = owner[v] == region;
    vx = mine ? x[v] : sx[v];
    vy = mine ? y[v] : sy[v];
  }
};

int Worker::priced(int wl, const Moved* moved, int numMoved) {
  if (s_.timing == nullptr) return wl;
  unitMoves_.clear();
  for (int k = 0; k < numMoved; ++k)
    unitMoves_.push_back(DetailTiming::Move{moved[k].u, moved[k].x, moved[k].y});
  return s_.timing->price(wl, s_.timing->movesCost(unitMoves_.data(), numMoved, Places(*this)));
}

int Worker::priceMove(int u, int nx, int ny) {
  const int d = move(u, nx, ny, false);
  const DetailTiming* t = s_.timing;
  if (t == nullptr) return d;
  if (!t->hot(u)) return t->price(d, 0.0);
  return t->price(d, t->moveCost(u, nx, ny, Places(*this)));
}

int Worker::priceSwap(int u, int v) {
  const int d = swap(u, v, false);
  const DetailTiming* t = s_.timing;
  if (t == nullptr) return d;
  if (!t->hot(u) && !t->hot(v)) return t->price(d, 0.0);
  // v is this region's too (a swap partner always is): its place is
  // s_.x, s_.y, as u's.
  return t->price(d, t->swapCost(u, v, Places(*this)));
}

NetBox Worker::scanWith(int net, int u, int ux, int uy) const {
  NetBox b;
  for (int i = m_.netStart[net]; i < m_.netStart[net + 1]; ++i) {
    const int v = m_.netUnits[i];
    if (v == u) b.add(ux, uy);
    else b.add(px(v), py(v));
  }
  return b;
}

int Worker::moveNet(int i, int u, int ox, int oy, int nx, int ny, NetBox& b) const {
  const Pin& pin = pins_[i];
  if (pin.other >= 0) {
    // Most nets: the other unit alone makes the box.
    const int vx = px(pin.other), vy = py(pin.other);
    b = NetBox();
    b.add(nx, ny);
    b.add(vx, vy);
    return std::abs(nx - vx) + std::abs(ny - vy) - std::abs(ox - vx) - std::abs(oy - vy);
  }
  const NetBox& now = lbox_[pin.local];
  b = now;
  if (!b.move(ox, oy, nx, ny)) b = scanWith(m_.unitNets[i], u, nx, ny);
  return b.cost() - now.cost();
}

namespace {

// The change of a box's extent along one axis when a unit goes from o to
// n; false when the unit alone held an edge that it leaves inwards (the
// new edge is then unknown without a rescan).
inline bool extentChange(int o, int n, int lo, int nlo, int hi, int nhi, int& d) {
  if ((o == lo && nlo == 1 && n > lo) || (o == hi && nhi == 1 && n < hi)) return false;
  d = std::max(hi, n) - std::min(lo, n) - (hi - lo);
  return true;
}

}  // namespace

int Worker::rescanDelta(int i, int u, int nx, int ny) const {
  const int net = m_.unitNets[i];
  const int* units = m_.netUnits.data();
  int x0 = nx, x1 = nx, y0 = ny, y1 = ny;
  for (int k = m_.netStart[net]; k < m_.netStart[net + 1]; ++k) {
    const int v = units[k];
    if (v == u) continue;
    const int vx = px(v), vy = py(v);
    x0 = std::min(x0, vx);
    x1 = std::max(x1, vx);
    y0 = std::min(y0, vy);
    y1 = std::max(y1, vy);
  }
  return (x1 - x0) + (y1 - y0) - lbox_[pins_[i].local].cost();
}

// The prices of the tries, read through plain pointers held for the whole
// try (the stamps written meanwhile alias nothing that they read).
struct Worker::Pricer {
  const Worker& w;
  const Pin* pins;
  const NetBox* boxes;
  const int *owner, *x, *y, *sx, *sy;
  int region;

  explicit Pricer(const Worker& wk)
      : w(wk),
        pins(wk.pins_.data()),
        boxes(wk.lbox_.data()),
        owner(wk.s_.owner.data()),
        x(wk.s_.x.data()),
        y(wk.s_.y.data()),
        sx(wk.s_.sx.data()),
        sy(wk.s_.sy.data()),
        region(wk.region_) {}

  // u's net i with u going from (ox, oy) to (nx, ny).
  int delta(int i, int u, int ox, int oy, int nx, int ny) const {
    const Pin pin = pins[i];
    if (pin.other >= 0) {
      const int v = pin.other;
      const bool mine = owner[v] == region;
      const int vx = mine ? x[v] : sx[v], vy = mine ? y[v] : sy[v];
      return std::abs(nx - vx) + std::abs(ny - vy) - std::abs(ox - vx) - std::abs(oy - vy);
    }
    const NetBox& b = boxes[pin.local];
    int dx = 0, dy = 0;
    if ((ox == nx || extentChange(ox, nx, b.x0, b.nx0, b.x1, b.nx1, dx)) &&
        (oy == ny || extentChange(oy, ny, b.y0, b.ny0, b.y1, b.ny1, dy)))
      return dx + dy;
    return w.rescanDelta(i, u, nx, ny);
  }
};

int Worker::move(int u, int nx, int ny, bool make) {
  const int ox = s_.x[u], oy = s_.y[u];
  int d = 0;
  const int end = m_.unitNetStart[u + 1];
  if (!make) {
    const Pricer pr(*this);
    for (int i = m_.unitNetStart[u]; i < end; ++i) d += pr.delta(i, u, ox, oy, nx, ny);
    return d;
  }
  NetBox b;
  for (int i = m_.unitNetStart[u]; i < end; ++i) {
    d += moveNet(i, u, ox, oy, nx, ny, b);
    lbox_[pins_[i].local] = b;
  }
  place(u, nx, ny, d);
  return d;
}

int Worker::swap(int u, int v, bool make) {
  const int ux = s_.x[u], uy = s_.y[u], vx = s_.x[v], vy = s_.y[v];
  const int u0 = m_.unitNetStart[u], u1 = m_.unitNetStart[u + 1];
  const int v0 = m_.unitNetStart[v], v1 = m_.unitNetStart[v + 1];
  // A net of both keeps its box: a two-unit one is known from its other
  // unit, a larger one by its stamp.
  const int mark = ++epoch_, both = ++epoch_;
  int* stamp = nstamp_.data();
  const Pin* pins = pins_.data();
  for (int i = v0; i < v1; ++i)
    if (pins[i].other < 0) stamp[pins[i].local] = mark;
  int d = 0;
  if (!make) {
    const Pricer pr(*this);
    for (int i = u0; i < u1; ++i) {
      const Pin pin = pins[i];
      if (pin.other == v) continue;
      if (pin.other < 0 && stamp[pin.local] == mark) {
        stamp[pin.local] = both;
        continue;
      }
      d += pr.delta(i, u, ux, uy, vx, vy);
    }
    for (int i = v0; i < v1; ++i) {
      const Pin pin = pins[i];
      if (pin.other == u || (pin.other < 0 && stamp[pin.local] == both)) continue;
      d += pr.delta(i, v, vx, vy, ux, uy);
    }
    return d;
  }
  NetBox b;
  for (int i = u0; i < u1; ++i) {
    const Pin& pin = pins_[i];
    if (pin.other == v) continue;
    if (pin.other < 0) {
      int& st = nstamp_[pin.local];
      if (st == mark) {
        st = both;
        continue;
      }
    }
    d += moveNet(i, u, ux, uy, vx, vy, b);
    lbox_[pin.local] = b;
  }
  for (int i = v0; i < v1; ++i) {
    const Pin& pin = pins_[i];
    if (pin.other == u || (pin.other < 0 && nstamp_[pin.local] == both)) continue;
    d += moveNet(i, v, vx, vy, ux, uy, b);
    lbox_[pin.local] = b;
  }
  place(u, vx, vy, 0);
  place(v, ux, uy, d);
  return d;
}

void Worker::place(int u, int nx, int ny, int delta) {
  gain_ -= delta;
  s_.x[u] = nx;
  s_.y[u] = ny;
  if (!s_.touched[u]) {
    s_.touched[u] = 1;
    moved_.push_back(u);
  }
}

bool Worker::regionOf(const int* units, int count, double& tx, double& ty) {
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

double Worker::median(std::vector<int>& v) {
  std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
  const int hi = v[v.size() / 2];
  const int lo = v.size() > 1 ? *std::max_element(v.begin(), v.begin() + v.size() / 2) : hi;
  return (lo + hi) / 2.0;
}

int Worker::optimum(int u) {
  if (s_.optimumRound[u] != s_.aims) {
    s_.optimumRound[u] = s_.aims;
    double tx, ty;
    int& o = s_.optimum[u];
    if (!regionOf(&u, 1, tx, ty)) o = -1;
    else o = m_.isIo(u) ? s_.nearestIoSite(tx, ty) : f_.clusterAt(tx, ty);
  }
  return s_.optimum[u];
}

bool Worker::fitsInstead(int u, int pos, int v) const {
  if (m_.hasLut(u) && p_.lutAt[pos] >= 0 && p_.lutAt[pos] != v) return false;
  if (!m_.hasReg(u)) return true;
  if (p_.regAt[pos] >= 0 && p_.regAt[pos] != v) return false;
  // The group's set stays only while registers other than v's hold it.
  const int g = groupAt(pos);
  return p_.groupRegs[g] == (m_.hasReg(v) ? 1 : 0) || p_.groupCtrl[g] < 0 || p_.groupCtrl[g] == m_.ctrl[u];
}

bool Worker::swappable(int u, int v) {
  const int pu = p_.loc[u], pv = p_.loc[v];
  if (!allowed(u, pv) || !allowed(v, pu)) return false;
  // Units of one kind and one control set (or none): every BLE half and
  // every group keeps what it holds.
  if (m_.kind[u] == m_.kind[v] && m_.ctrl[u] == m_.ctrl[v]) return true;
  // In two clusters, each unit's leaving touches only its own group.
  if (pu / kBles != pv / kBles) return fitsInstead(u, pv, v) && fitsInstead(v, pu, u);
  p_.take(u);
  p_.take(v);
  const bool ok = p_.fits(u, pv) && p_.fits(v, pu);
  p_.put(v, pv);
  p_.put(u, pu);
  return ok;
}

void Worker::unitsOf(int cluster, std::vector<int>& out) const {
  out.clear();
  for (int b = 0; b < kBles; ++b)
    for (int v : {p_.lutAt[cluster * kBles + b], p_.regAt[cluster * kBles + b]})
      if (v >= 0 && std::find(out.begin(), out.end(), v) == out.end()) out.push_back(v);
}

bool Worker::mayTrade(int a, int b) const {
  if (p_.rules == nullptr) return true;
  for (int u : unitsA_)
    if (!allowed(u, b * kBles + p_.loc[u] % kBles)) return false;
  for (int u : unitsB_)
    if (!allowed(u, a * kBles + p_.loc[u] % kBles)) return false;
  return true;
}

void Worker::planClusterTrade(int a, int b) {
  moved_list_.clear();
  for (int u : unitsA_) moved_list_.push_back(Moved{u, clusterX(b), clusterY(b)});
  for (int u : unitsB_) moved_list_.push_back(Moved{u, clusterX(a), clusterY(a)});
}

void Worker::improveCluster(int a) {
  unitsOf(a, unitsA_);
  if (unitsA_.empty()) return;
  for (int u : unitsA_)
    if (!owned(u)) return;  // a fixed unit holds the cluster
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
      if (!mayTrade(a, b)) continue;
      planClusterTrade(a, b);
      const int d = priced(evaluate(moved_list_.data(), static_cast<int>(moved_list_.size())), moved_list_.data(),
                           static_cast<int>(moved_list_.size()));
      if (d < best) {
        best = d;
        bestB = b;
      }
    }
  }
  if (bestB >= 0) tradeClusters(a, bestB);
}

void Worker::tradeClusters(int a, int b) {
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

void Worker::improveUnit(int u) {
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
        if (!moveTried && p_.fits(u, pos) && allowed(u, pos)) {
          moveTried = true;
          const int d = priceMove(u, nx, ny);
          if (d < best) {
            best = d;
            pick = Attempt{u, -1, pos};
          }
        }
        // Swaps only in the cluster of the optimal region itself.
        if (cl != centre) continue;
        const int lu = p_.lutAt[pos], ru = p_.regAt[pos];
        for (int v : {lu, ru == lu ? -1 : ru}) {
          if (v < 0 || v == u || !owned(v)) continue;
          const int d = priceSwap(u, v);
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

void Worker::improveIo(int u) {
  const int target = optimumNow(u);
  if (target < 0 || target == p_.loc[u]) return;
  const int n = static_cast<int>(s_.ring.size());
  // Every site within reach: the sites of one position lie alike for u but
  // not for the unit it would swap with. Where positions hold many sites,
  // the nearest kMostIoTries on either side, most of them at the target's
  // own position (a device of 40,004 sites on 4 positions looked at 20,003
  // sites an I/O unit a pass: 9 minutes for its 40,002 ports, 12 s now).
  const int at = s_.ringPos[target], reach = std::min(params_.radius * s_.ioSpread, kMostIoTries);
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

bool Worker::planIo(int u, int site, Attempt& a) {
  a.u = u;
  a.pos = site;
  a.v = p_.ioAt[site];
  if (!allowed(u, site) || (a.v >= 0 && !allowed(a.v, p_.loc[u]))) return false;
  a.delta = a.v >= 0 ? priceSwap(u, a.v) : priceMove(u, f_.ioX[site], f_.ioY[site]);
  return true;
}

void Worker::regsOf(int g, std::vector<int>& out) const {
  out.clear();
  const int first = (g / f_.groupsPerCluster()) * kBles + (g % f_.groupsPerCluster()) * f_.groupBles();
  for (int pos = first; pos < first + f_.groupBles(); ++pos)
    if (p_.regAt[pos] >= 0) out.push_back(p_.regAt[pos]);
}

bool Worker::planInto(const std::vector<int>& units, int to, std::vector<int>& pos) {
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

bool Worker::planGroupTrade(int ga, int gb) {
  const int a = ga / f_.groupsPerCluster(), b = gb / f_.groupsPerCluster();
  if (a == b) return false;
  regsOf(ga, unitsA_);
  regsOf(gb, unitsB_);
  if (unitsA_.empty() || !planInto(unitsA_, gb, posA_) || !planInto(unitsB_, ga, posB_)) return false;
  for (std::size_t i = 0; i < unitsA_.size(); ++i)
    if (!allowed(unitsA_[i], posA_[i])) return false;
  for (std::size_t i = 0; i < unitsB_.size(); ++i)
    if (!allowed(unitsB_[i], posB_[i])) return false;
  moved_list_.clear();
  for (int u : unitsA_) moved_list_.push_back(Moved{u, clusterX(b), clusterY(b)});
  for (int u : unitsB_) moved_list_.push_back(Moved{u, clusterX(a), clusterY(a)});
  return true;
}

bool Worker::propose(int u, int range, Rng& rng, Attempt& a) {
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
    a.delta = priced(evaluate(moved_list_.data(), static_cast<int>(moved_list_.size())), moved_list_.data(),
                     static_cast<int>(moved_list_.size()));
    return true;
  }
  int cl = -1, pos = -1;
  // Aimed at the set's groups in proportion to the groups that hold
  // another set: a random cluster will do when most hold u's. (A design
  // without registers has no set.)
  static const std::vector<int> kNoGroups;
  const std::vector<int>& l = m_.hasReg(u) ? s_.setGroups[static_cast<std::size_t>(m_.ctrl[u])] : kNoGroups;
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
    if (!allowed(u, pos)) return false;
    a.v = -1;
    a.delta = priceMove(u, clusterX(cl), clusterY(cl));
    return true;
  }
  const int v = m_.hasLut(u) && p_.lutAt[pos] >= 0 ? p_.lutAt[pos] : p_.regAt[pos];
  if (v < 0 || !owned(v) || !swappable(u, v)) return false;
  a.v = v;
  a.delta = priceSwap(u, v);
  return true;
}

void Worker::apply(const Attempt& a) {
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

}  // namespace improvement
}  // namespace qplace
