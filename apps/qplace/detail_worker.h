// The workers of the detailed improvement (detail.h) and the state they
// share. A worker improves one region: greedy passes when the region is the
// whole device, annealing tries in any region. It changes only the region's
// units and places, prices its moves on its own copy of the boxes of its
// units' nets, and reads the other regions' units where they were when the
// round began; so regions are improved at the same time, one worker per
// thread, with a result that does not depend on which thread took which.
#ifndef QPLACE_DETAIL_WORKER_H
#define QPLACE_DETAIL_WORKER_H

#include <vector>

#include "qplace/anneal_schedule.h"
#include "qplace/detail.h"
#include "qplace/detail_regions.h"
#include "qplace/detail_rng.h"
#include "qplace/detail_timing.h"
#include "qplace/net_box.h"
#include "qplace/placement_rules.h"

namespace qplace {
namespace improvement {

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
  // Takes the placement as it is: its places, boxes and total; the I/O
  // ring; the groups of each set. O(pins + clusters + I/O sites log).
  explicit Shared(Placement& pl);

  // Unit u's place in whole cluster coordinates (an I/O unit's site's).
  void placeOf(int u, int& ux, int& uy) const;
  // Box of a net with every unit at x, y.
  NetBox scan(int net) const;

  // The groups of each control set that hold its registers.
  void relistGroups();

  // The I/O sites in order around the device's centre.
  void buildRing();

  // The I/O site nearest to (px, py), or -1 without I/O sites: among the
  // sites near the point's direction from the centre (every ioStride-th).
  // O(ioSpread / ioStride + log sites).
  int nearestIoSite(double px, double py) const;

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
  std::vector<double> ringAngle;             // per place in the ring: its angle around (cx, cy)
  double cx = 0, cy = 0;                    // the device's centre
  int ioSpread = 1;                         // I/O sites per border position, on average
  // Ring steps between the sites looked at where a position holds many (a
  // device sized for its I/O: 70 sites a position for 8,194 ports): the
  // sites of a position lie alike for the wirelength, and about
  // kSitesPerPosition of them are looked at (1 below 2 * kSitesPerPosition).
  static constexpr int kSitesPerPosition = 4;
  int ioStride = 1;
  // The timing term of the prices, or null for wirelength alone; its
  // weights stay fixed during a pass or round.
  const DetailTiming* timing = nullptr;
};

// Improves one region of the shared state. One worker per thread; its
// scratch space (a few integers per unit and per net) is reused from
// region to region.
class Worker {
public:
  // `progress` (or null) is pulsed from the long loops of greedy passes.
  Worker(Shared& s, const DetailParams& params, Progress* progress);

  // Takes region r: copies the boxes of its units' nets. O(pins of its units).
  void open(int r);
  // Since open(): the units moved, what was done, and the wirelength gained
  // as the region sees it (exactly, when the region is everything).
  const std::vector<int>& moved() const { return moved_; }
  const Counts& counts() const { return counts_; }
  long long gain() const { return gain_; }

  // One greedy pass over the clusters: each traded whole with one around
  // the optimal region of its units, when that gains.
  void clusterPass();
  // One greedy pass over the units: each moved to, or swapped into, the
  // place around its optimal region that gains most.
  void unitPass();

  // Matches the region's I/O units to its sites (detail_matching.cpp): in
  // sets sharing no net, each unit offered the sites within `reach` border
  // positions of its own or its optimal region's, the assignment of least
  // total price made when it gains. Costs the pins of the I/O units' nets
  // per site offered, and a solve per set; nothing when reach <= 0.
  void matchIo(int reach);

  // Shortens the critical path (detail_straighten.cpp): moves of the worst
  // path's units, each to a free BLE or swapped with a unit, between the
  // path's neighbours, at most `most`; the placement kept is the one of
  // lowest figure (DetailTiming::figure against wl0 and cp0) passed, of no
  // longer critical path than the one given and no longer than wl0. The
  // region must be the whole device, the prices timed (Shared::timing) and
  // `a` at the placement as it is; it is left so. Returns the moves kept.
  int straighten(TimingAnalysis& a, long long wl0, double cp0, int most);

  // Losses of `count` attempts at `range`, none made.
  void sample(int count, int range, Rng& rng);

  // `tries` annealing tries at temperature t: a random unit of the region
  // proposes a move or swap (see propose); a legal one is made when it
  // gains nothing or loses, with probability exp(-loss / t), when it loses.
  void anneal(long tries, double t, int range, Rng& rng);

private:
  struct Attempt {
    int u = -1, v = -1, pos = -1;  // u to logic place or I/O site pos, swapping with v (-1: none)
    int ga = -1, gb = -1;          // or a trade of the registers of two groups
    int delta = 0;
  };

  int px(int v) const { return s_.owner[v] == region_ ? s_.x[v] : s_.sx[v]; }
  int py(int v) const { return s_.owner[v] == region_ ? s_.y[v] : s_.sy[v]; }
  bool mine(int cluster) const { return s_.regions.ofCluster[cluster] == region_; }
  // Whether this region moves unit v this round (a fixed unit is no
  // region's).
  bool owned(int v) const { return s_.owner[v] == region_; }
  // Whether the placement's rules (fixed units, regions) let unit u lie
  // on the BLE place or I/O site pos.
  bool allowed(int u, int pos) const { return p_.rules == nullptr || p_.rules->allowedAt(u, pos); }
  // Whether every unit of clusters a (unitsA_) and b (unitsB_) may take
  // the other cluster, each keeping its BLE.
  bool mayTrade(int a, int b) const;
  int clusterX(int c) const { return c % f_.cols + 1; }
  int clusterY(int c) const { return c / f_.cols + 1; }

  // A heartbeat line from within a long loop.
  void alive(const char* what, long done, long all);

  // Box of a net with the moved units (marked by markMoved) at their new
  // places.
  NetBox scan(int net) const;
  // Box of a net without the units marked by regionOf.
  NetBox scanExcluding(int net) const;

  void markMoved(const Moved* moved, int numMoved);

  // Any number of units moved at once (a cluster or group trade): the nets
  // of the moved units, each once, with their boxes after the move in
  // after_; returns the change of wirelength.
  int evaluate(const Moved* moved, int numMoved);
  // Makes such a move (of the bookkeeping here; the placement is the
  // caller's).
  void commit(const Moved* moved, int numMoved);

  // The price of moving these units, whose wirelength change is `wl`: wl
  // itself without timing, else with the timing term (detail_timing.h),
  // the other units where this region sees them.
  int priced(int wl, const Moved* moved, int numMoved);
  // Prices of u alone going to (nx, ny), and of u and v trading places.
  int priceMove(int u, int nx, int ny);
  struct Places;
  int priceSwap(int u, int v);

  // Box of a net with unit u at (ux, uy).
  NetBox scanWith(int net, int u, int ux, int uy) const;
  // u's net i (an index into unitNets) with u moved from (ox, oy) to
  // (nx, ny): the change of its half perimeter, and its box after in b.
  int moveNet(int i, int u, int ox, int oy, int nx, int ny, NetBox& b) const;
  // The same change without the box, as a try is priced (Pricer, in
  // detail_worker.cpp): from the other unit of a two-unit net, else from
  // the net's box and its edge counts, the net rescanned (rescanDelta)
  // only when u alone held an edge that it leaves inwards.
  struct Pricer;
  [[gnu::noinline]] int rescanDelta(int i, int u, int nx, int ny) const;

  // The change of wirelength when unit u alone goes to (nx, ny); with
  // `make`, makes the move. The unit's nets are visited once and no box is
  // kept: the common case, priced without the bookkeeping of evaluate().
  int move(int u, int nx, int ny, bool make);
  // The same for u and v trading places. A net of both keeps its box.
  int swap(int u, int v, bool make);
  // Records u at its new place; `delta` is the move's change of wirelength.
  void place(int u, int nx, int ny, int delta);

  // Optimal region of `units`, which share one place: the median of the
  // boxes of their nets (of at most kRegionLimit units) without them;
  // false when they have no such net.
  bool regionOf(const int* units, int count, double& tx, double& ty);

  // The median of v (the mean of the middle two when even); reorders v.
  static double median(std::vector<int>& v);

  // The cluster (for an I/O unit, the site) of a unit's optimal region, -1
  // for none; renewed when Shared::aims changes (every few rounds: the
  // optima move slowly).
  int optimum(int u);

  // Whether u and v may trade places.
  bool swappable(int u, int v);
  // Whether u may take BLE pos once v, the unit there, has left it (u's
  // own BLE being in another cluster).
  bool fitsInstead(int u, int pos, int v) const;

  // The units of a cluster, each once.
  void unitsOf(int cluster, std::vector<int>& out) const;

  // moved_list_: the units of clusters a (in unitsA_) and b (unitsB_)
  // at each other's place.
  void planClusterTrade(int a, int b);

  // Trades cluster a with the cluster around the optimal region of its
  // units that gains most, if any gains.
  void improveCluster(int a);

  // Trades the whole contents of clusters a and b: every BLE with the BLE
  // of the same number, which always keeps the register rules.
  void tradeClusters(int a, int b);

  // Moves logic unit u to a free BLE, or swaps it with a unit of a BLE,
  // in the clusters around its optimal region (swaps only in the cluster
  // of the region itself): the best that gains, if any.
  void improveUnit(int u);

  // An I/O unit to a free site, or swapped with the I/O unit of a site,
  // around its optimal region, when that gains.
  void improveIo(int u);
  // The optimum taken afresh (the greedy passes follow every move).
  int optimumNow(int u) {
    s_.optimumRound[u] = -1;
    return optimum(u);
  }

  // Prices I/O unit u going to `site`, swapping with the unit there;
  // false when a rule keeps either where it is.
  bool planIo(int u, int site, Attempt& a);

  // The register-bearing units of group g.
  void regsOf(int g, std::vector<int>& out) const;

  // BLEs of group `to` for the register-bearing units `units` once the
  // register-bearing units of `to` have left: LUT+register pairs on BLEs
  // whose LUT half is then free, lone registers on the rest. False when the
  // pairs do not fit (the LUT halves hold lone LUTs, which stay).
  bool planInto(const std::vector<int>& units, int to, std::vector<int>& pos);

  // Plans the trade of the register-bearing units of groups ga and gb (in
  // other clusters): unitsA_/posA_ into gb, unitsB_/posB_ into ga,
  // moved_list_ with their new places. The register rules hold after it,
  // since each group takes the other's registers whole.
  bool planGroupTrade(int ga, int gb);

  int groupAt(int pos) const { return f_.groupOfBle(pos / kBles, pos % kBles); }

  // A random legal move of u within `range` of its place or, for a share
  // of the attempts, of its optimal region: a logic unit to a BLE of a
  // cluster of the region (swapping with a unit there when the BLE is
  // taken), the registers of its whole group traded with those of another
  // group, or an I/O unit to a site along the border. A share of a
  // register's attempts aim at a group of its own control set instead of a
  // random cluster, since most clusters' groups hold another set and
  // refuse it. False when the move is illegal or leaves the region.
  bool propose(int u, int range, Rng& rng, Attempt& a);

  // Each unit's timing nodes, in topological order: unitNodes_[unitNodeStart_[u]
  // .. unitNodeStart_[u + 1]).
  void listUnitNodes(const TimingGraph& g);
  // The least slack, at the analysis's times and periods, of the paths
  // through the moved units once at their new places (the other units
  // where they are): exact for one unit, for two when they do not feed
  // each other. O(connections of the moved units x domains).
  double slackThrough(const TimingAnalysis& a, const Moved* moved, int count);

  // One set of the I/O matching: set_ with the sites sites_ (theirs first,
  // in order, then the free ones).
  void matchIoSet(int reach);

  // Makes the move priced last by propose or planIo (for a group trade,
  // planned last).
  void apply(const Attempt& a);

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
  // Per entry of unitNets, for the region's units (set by open()): the
  // net's index into lbox_ and, for a net of two units, the other one (-1
  // for any other net). A try reads its unit's nets from here, in a row,
  // and prices a two-unit net from the other unit alone.
  struct Pin {
    int local;
    int other;
  };
  std::vector<Pin> pins_;
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
  std::vector<DetailTiming::Move> unitMoves_;
  // The straightening's scratch space.
  std::vector<int> unitNodeStart_, unitNodes_;
  std::vector<int> nodeStamp_, nodeSlot_;  // per node: nodeEpoch_ while its new arrival is at newArr_[slot]
  int nodeEpoch_ = 0;
  std::vector<double> newArr_;
  std::vector<int> taken_;
  std::vector<Attempt> done_;  // the moves made, each with its unit's place before
  // The I/O matching's scratch space.
  struct Arc {
    int row, col, price;
  };
  std::vector<Arc> arcs_;
  std::vector<int> set_, sites_, rowMatch_, colMatch_, to_, from_;
  std::vector<int> colOf_;    // per I/O site: its column in the set being matched, or -1
  std::vector<int> offeredTo_;  // per column: the last row offered it
  std::vector<int> netMark_;  // per net: netEpoch_ while a unit of the set being built is on it
  int netEpoch_ = 0;
};

}  // namespace improvement
}  // namespace qplace

#endif
