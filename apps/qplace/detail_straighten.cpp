// Straightening of the critical path: a greedy step of the detailed
// improvement that moves the units of the worst path themselves.
//
// The annealing prices a unit's connections by their criticality, which
// draws a critical unit towards all its critical neighbours at once; a
// path that zigzags between units that their other nets hold apart stays
// long. Here the worst path is taken as it is: each of its units is
// offered the places around the nearest point to it between the path's
// previous unit and its next one (where the path's two connections of the
// unit are shortest), a free BLE or a swap with the unit there. An offer is
// first priced from the analysis's times: the new arrival times of the
// moved units' nodes and the slack of every path through them, exact for
// a unit moved alone and for a swap of two units that do not feed each
// other. The best offers of a few units, by a figure like the one the
// improvement keeps (wirelength and critical path against the placement
// given, the critical path weighed at half), are then made in the
// analysis and measured from its updated arrival times; the best is made
// when it lengthens no path past the critical one and lowers the figure
// plus a small weight on what the paths near the critical one need beyond
// it (several paths of about the same delay: shortening one shortens none
// of the critical path, but readies the move that does).
// Then the next worst path, until no offer passes or the moves allowed are
// spent; the placement of lowest figure passed, of no longer critical path
// than the one given, is kept.
//
// Cost per step: the offers' pricing reads the moved units' connections
// (a window of clusters per unit of the path, the clusters where the
// path's connections cannot shorten skipped), and each measure an update
// of the arrival times and a look at the ends of the timed paths.
#include <algorithm>
#include <cmath>
#include <limits>

#include "qplace/detail_worker.h"

namespace qplace {
namespace improvement {

namespace {

// Less than this (ps) is no gain.
constexpr double kLeast = 0.5;
// Offers measured exactly per step.
constexpr int kMeasured = 4;
// The weight of the critical path against the wirelength here, as a share
// of the improvement's: over seeds 1 to 32 of aes, half of it gave 0.45
// points less of critical path than the whole for 0.14 less of
// wirelength.
constexpr double kShare = 0.5;
// The paths that count beside the worst: those within this share of it,
// by what they need beyond that, at this weight against the critical path.
constexpr double kNear = 0.05;
constexpr double kNearWeight = 0.1;
// Less than this is no gain of the figure.
constexpr double kLeastFigure = 1e-9;
// Clusters around the place between the path's neighbours that a unit is
// offered, each way.
constexpr int kWindow = 2;

constexpr double kNever = -std::numeric_limits<double>::infinity();
constexpr double kNone = std::numeric_limits<double>::infinity();

}  // namespace

void Worker::listUnitNodes(const TimingGraph& g) {
  const int units = m_.numUnits();
  unitNodeStart_.assign(static_cast<std::size_t>(units) + 1, 0);
  for (int v = 0; v < g.numNodes(); ++v) ++unitNodeStart_[static_cast<std::size_t>(g.unit[static_cast<std::size_t>(v)]) + 1];
  for (int u = 0; u < units; ++u) unitNodeStart_[static_cast<std::size_t>(u) + 1] += unitNodeStart_[static_cast<std::size_t>(u)];
  unitNodes_.assign(static_cast<std::size_t>(g.numNodes()), 0);
  std::vector<int> at(unitNodeStart_.begin(), unitNodeStart_.end() - 1);
  // In topological order, so that a unit's nodes follow their inputs.
  for (int v : g.order) unitNodes_[static_cast<std::size_t>(at[static_cast<std::size_t>(g.unit[static_cast<std::size_t>(v)])]++)] = v;
  nodeStamp_.assign(static_cast<std::size_t>(g.numNodes()), 0);
  nodeSlot_.assign(static_cast<std::size_t>(g.numNodes()), 0);
}

double Worker::slackThrough(const TimingAnalysis& a, const Moved* moved, int count) {
  const TimingGraph& g = a.graph();
  const int nd = a.numDomains();
  ++nodeEpoch_;
  newArr_.clear();
  auto placeOf = [&](int unit, double& x, double& y) {
    for (int k = 0; k < count; ++k)
      if (moved[k].u == unit) {
        x = moved[k].x;
        y = moved[k].y;
        return;
      }
    x = s_.x[unit];
    y = s_.y[unit];
  };
  auto delay = [&](int e) {
    const int ua = g.unit[static_cast<std::size_t>(g.from[static_cast<std::size_t>(e)])];
    const int ub = g.unit[static_cast<std::size_t>(g.to[static_cast<std::size_t>(e)])];
    if (ua == ub) return a.edgeDelay(e);  // within a unit: wherever it goes
    double ax, ay, bx, by;
    placeOf(ua, ax, ay);
    placeOf(ub, bx, by);
    return a.edgeDelayAt(e, ax, ay, bx, by);
  };
  double least = kNone;
  for (int k = 0; k < count; ++k) {
    const int u = moved[k].u;
    for (int i = unitNodeStart_[static_cast<std::size_t>(u)]; i < unitNodeStart_[static_cast<std::size_t>(u) + 1]; ++i) {
      const int w = unitNodes_[static_cast<std::size_t>(i)];
      const std::size_t wi = static_cast<std::size_t>(w);
      nodeStamp_[wi] = nodeEpoch_;
      nodeSlot_[wi] = static_cast<int>(newArr_.size());
      newArr_.resize(newArr_.size() + static_cast<std::size_t>(nd), kNever);
      double* na = &newArr_[static_cast<std::size_t>(nodeSlot_[wi])];
      if (g.isStart(w)) {
        for (int t = 0; t < nd; ++t) na[t] = a.arrival(w, t);
      } else {
        for (int j = g.inStart[wi]; j < g.inStart[wi + 1]; ++j) {
          const TimingGraph::Link& l = g.in[static_cast<std::size_t>(j)];
          const std::size_t si = static_cast<std::size_t>(l.node);
          const double* sa = nodeStamp_[si] == nodeEpoch_ ? &newArr_[static_cast<std::size_t>(nodeSlot_[si])] : nullptr;
          const double d = delay(l.edge);
          for (int t = 0; t < nd; ++t) na[t] = std::max(na[t], (sa != nullptr ? sa[t] : a.arrival(l.node, t)) + d);
        }
        const double own = a.nodeDelay(w);
        for (int t = 0; t < nd; ++t) na[t] += own;
      }
      if (g.isEnd(w))
        for (int t = 0; t < nd; ++t)
          if (na[t] != kNever) least = std::min(least, a.required(w, t) - na[t]);
      for (int j = g.outStart[wi]; j < g.outStart[wi + 1]; ++j) {
        const TimingGraph::Link& o = g.out[static_cast<std::size_t>(j)];
        // A load of the unit itself comes next, with this arrival.
        if (g.unit[static_cast<std::size_t>(o.node)] == u) continue;
        const double d = delay(o.edge) + a.nodeDelay(o.node);
        for (int t = 0; t < nd; ++t)
          if (na[t] != kNever) least = std::min(least, a.required(o.node, t) - (na[t] + d));
      }
    }
  }
  return least;
}

int Worker::straighten(TimingAnalysis& a, long long wl0, double cp0, int most) {
  const DetailTiming* timing = s_.timing;
  if (timing == nullptr || most <= 0) return 0;
  const TimingGraph& g = a.graph();
  listUnitNodes(g);
  struct Offer {
    double figure;
    int u, v, pos, wl;
  };
  std::vector<Offer> offers;
  std::vector<int> path;   // nodes, from the end back to the start
  std::vector<int> ins;    // per unit of the path: the path's connection into it (-1 at the start)
  std::vector<int> units;  // the path's units, from its start
  // The improvement's figure with the critical path at kShare of its
  // weight: a placement this lowers, its critical path no longer, the
  // improvement's own figure lowers too.
  const double share = kShare * timing->tradeoff();
  auto figure = [share](long long w, double c, long long w0, double c0) {
    return DetailTiming::figure(share, w, c, w0, c0);
  };
  int end = -1, launch = -1;
  double cp = a.worstNeed(end, launch);
  // The paths within `near` of the worst count a little too, by what they
  // need beyond it: a move that shortens one of several paths of about
  // the same delay shortens none of the critical path, but prepares the
  // move that does.
  const double near = kNear * cp;
  const double nearWeight = kNearWeight * share / (cp0 > 0 ? cp0 : 1);
  double excess = 0;
  a.worstNeed(end, launch, cp - near, &excess);
  done_.clear();
  const double start = cp;
  double best = figure(s_.total - gain_, cp, wl0, cp0);
  int kept = 0;
  while (static_cast<int>(done_.size()) < most && end >= 0) {
    // The worst path, back from its end over the inputs that set each
    // node's arrival.
    path.clear();
    for (int v = end;;) {
      path.push_back(v);
      if (g.isStart(v)) break;
      const std::size_t vi = static_cast<std::size_t>(v);
      int latestIn = -1;
      double latest = kNever;
      for (int i = g.inStart[vi]; i < g.inStart[vi + 1]; ++i) {
        const TimingGraph::Link& l = g.in[static_cast<std::size_t>(i)];
        const double at = a.arrival(l.node, launch) + a.edgeDelay(l.edge);
        if (latestIn < 0 || at > latest) {
          latestIn = i;
          latest = at;
        }
      }
      if (latestIn < 0 || latest == kNever) break;
      v = g.in[static_cast<std::size_t>(latestIn)].node;
      path.push_back(-1 - g.in[static_cast<std::size_t>(latestIn)].edge);  // the connection, marked
    }
    units.clear();
    ins.clear();
    int lastEdge = -1;
    for (auto it = path.rbegin(); it != path.rend(); ++it) {
      if (*it < 0) {
        lastEdge = -1 - *it;
        continue;
      }
      const int u = g.unit[static_cast<std::size_t>(*it)];
      if (!units.empty() && units.back() == u) continue;
      units.push_back(u);
      ins.push_back(lastEdge);
    }
    const long long wl = s_.total - gain_;
    const double now0 = figure(wl, cp, wl0, cp0);
    offers.clear();
    for (std::size_t i = 0; i < units.size(); ++i) {
      const int u = units[i];
      if (!owned(u) || m_.isIo(u)) continue;
      const int ein = ins[i], eout = i + 1 < units.size() ? ins[i + 1] : -1;
      const int ux = s_.x[u], uy = s_.y[u];
      // Where the path's two connections of u are shortest: the box of its
      // neighbours on the path, the nearest place of it to u.
      int x0 = ux, x1 = ux, y0 = uy, y1 = uy;
      bool first = true;
      for (int e : {ein, eout}) {
        if (e < 0) continue;
        const int other = g.unit[static_cast<std::size_t>(e == ein ? g.from[static_cast<std::size_t>(e)] : g.to[static_cast<std::size_t>(e)])];
        const int ox = s_.x[other], oy = s_.y[other];
        x0 = first ? ox : std::min(x0, ox), x1 = first ? ox : std::max(x1, ox);
        y0 = first ? oy : std::min(y0, oy), y1 = first ? oy : std::max(y1, oy);
        first = false;
      }
      if (first) continue;  // a path of one unit
      const int tx = std::clamp(ux, x0, x1), ty = std::clamp(uy, y0, y1);
      const double now = (ein >= 0 ? a.edgeDelay(ein) : 0) + (eout >= 0 ? a.edgeDelay(eout) : 0);
      auto pathDelay = [&](int nx, int ny) {
        double d = 0;
        if (ein >= 0) {
          const int o = g.unit[static_cast<std::size_t>(g.from[static_cast<std::size_t>(ein)])];
          d += a.edgeDelayAt(ein, s_.x[o], s_.y[o], nx, ny);
        }
        if (eout >= 0) {
          const int o = g.unit[static_cast<std::size_t>(g.to[static_cast<std::size_t>(eout)])];
          d += a.edgeDelayAt(eout, nx, ny, s_.x[o], s_.y[o]);
        }
        return d;
      };
      Moved stay{u, ux, uy};
      double before = 0;
      bool priced = false;
      const int here = p_.loc[u] / kBles;
      for (int r = std::max(0, ty - 1 - kWindow); r <= std::min(f_.rows - 1, ty - 1 + kWindow); ++r)
        for (int c = std::max(0, tx - 1 - kWindow); c <= std::min(f_.cols - 1, tx - 1 + kWindow); ++c) {
          const int cl = r * f_.cols + c;
          if (cl == here || !mine(cl)) continue;
          const int nx = clusterX(cl), ny = clusterY(cl);
          if (pathDelay(nx, ny) > now - kLeast) continue;
          if (!priced) {
            before = slackThrough(a, &stay, 1);
            priced = true;
          }
          auto offer = [&](int v, int pos) {
            Moved mv[2] = {{u, nx, ny}, {v, ux, uy}};
            const double after = slackThrough(a, mv, v >= 0 ? 2 : 1);
            const double guess = cp - (after - before);
            if (!(guess < cp - kLeast)) return;
            const int dwl = v >= 0 ? swap(u, v, false) : move(u, nx, ny, false);
            if (wl + dwl > wl0) return;
            const double fig = figure(wl + dwl, guess, wl0, cp0);
            if (fig < now0) offers.push_back(Offer{fig, u, v, pos, dwl});
          };
          bool moveOffered = false;
          for (int b = 0; b < kBles; ++b) {
            const int pos = cl * kBles + b;
            if (!moveOffered && p_.fits(u, pos) && allowed(u, pos)) {
              moveOffered = true;
              offer(-1, pos);
            }
            const int lu = p_.lutAt[pos], ru = p_.regAt[pos];
            for (int v : {lu, ru == lu ? -1 : ru})
              if (v >= 0 && v != u && owned(v) && swappable(u, v)) offer(v, pos);
          }
        }
    }
    if (offers.empty()) break;
    std::sort(offers.begin(), offers.end(), [](const Offer& x, const Offer& y) {
      if (x.figure != y.figure) return x.figure < y.figure;
      if (x.u != y.u) return x.u < y.u;
      if (x.pos != y.pos) return x.pos < y.pos;
      return x.v < y.v;
    });
    // The best offer of each of the best few units measured exactly.
    const double soft = now0 + nearWeight * excess;
    int pick = -1;
    double pickSoft = soft - kLeastFigure, pickNeed = cp;
    int measured = 0;
    taken_.clear();
    for (std::size_t k = 0; k < offers.size() && measured < kMeasured; ++k) {
      const Offer& o = offers[k];
      if (std::find(taken_.begin(), taken_.end(), o.u) != taken_.end()) continue;
      taken_.push_back(o.u);
      ++measured;
      const int cl = o.pos / kBles;
      UnitMove there[2] = {{o.u, static_cast<double>(clusterX(cl)), static_cast<double>(clusterY(cl))},
                           {o.v, static_cast<double>(s_.x[o.u]), static_cast<double>(s_.y[o.u])}};
      UnitMove back[2] = {{o.u, static_cast<double>(s_.x[o.u]), static_cast<double>(s_.y[o.u])},
                          {o.v, static_cast<double>(o.v >= 0 ? s_.x[o.v] : 0), static_cast<double>(o.v >= 0 ? s_.y[o.v] : 0)}};
      const int n = o.v >= 0 ? 2 : 1;
      // Arrivals alone: the move back is brought up to date with the next
      // offer's move.
      a.move(there, n);
      a.update(false);
      int e2, l2;
      double over = 0;
      const double after = a.worstNeed(e2, l2, cp - near, &over);
      a.move(back, n);
      const double v = figure(wl + o.wl, after, wl0, cp0) + nearWeight * over;
      if (after < cp + kLeast && v < pickSoft) {
        pick = static_cast<int>(k);
        pickSoft = v;
        pickNeed = after;
      }
    }
    if (pick < 0) {
      a.update();
      break;
    }
    const Offer& o = offers[static_cast<std::size_t>(pick)];
    const int cl = o.pos / kBles;
    UnitMove there[2] = {{o.u, static_cast<double>(clusterX(cl)), static_cast<double>(clusterY(cl))},
                         {o.v, static_cast<double>(s_.x[o.u]), static_cast<double>(s_.y[o.u])}};
    a.move(there, o.v >= 0 ? 2 : 1);
    a.update();
    done_.push_back(Attempt{o.u, o.v, p_.loc[o.u]});
    apply(Attempt{o.u, o.v, o.pos});
    // The critical path is the one measured for the offer.
    cp = a.worstNeed(end, launch, pickNeed - near, &excess);
    const double now = figure(s_.total - gain_, cp, wl0, cp0);
    if (now < best && cp <= start) {
      best = now;
      kept = static_cast<int>(done_.size());
    }
  }
  // Back to the best of the placements passed (none of a longer critical
  // path than the placement given): the moves after it, undone
  // in reverse order, each place then free again.
  while (static_cast<int>(done_.size()) > kept) {
    const Attempt o = done_.back();
    done_.pop_back();
    const int to = o.v >= 0 ? p_.loc[o.v] : o.pos;
    const int cl = to / kBles;
    UnitMove back[2] = {{o.u, static_cast<double>(clusterX(cl)), static_cast<double>(clusterY(cl))},
                        {o.v, static_cast<double>(s_.x[o.u]), static_cast<double>(s_.y[o.u])}};
    a.move(back, o.v >= 0 ? 2 : 1);
    apply(Attempt{o.u, o.v, to});
  }
  a.update();
  return kept;
}

}  // namespace improvement
}  // namespace qplace
