// Global placement: bound-to-bound quadratic placement with rough
// legalization anchors.
#include "qplace/global_place.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <condition_variable>
#include <ctime>
#include <exception>
#include <mutex>
#include <numeric>
#include <queue>
#include <thread>

#include "qplace/coarsen.h"
#include "qplace/quadratic_axis.h"

#include "qplace/placement_rules.h"

namespace qplace {

std::vector<double> unitAreas(const Model& m) {
  const int n = m.numUnits();
  const bool registerBound = m.numOf(UNIT_REG) > m.numOf(UNIT_LUT);
  std::vector<double> area(static_cast<std::size_t>(n), 0.0);
  for (int u = 0; u < n; ++u) {
    if (m.isIo(u)) continue;
    // A lone LUT and a lone register share a BLE: the lone units of the
    // kind in excess need BLEs of their own, those of the other kind fit
    // beside them. A lone register of a register-bound design counts 7/8
    // of a BLE: at half a BLE a long chain of them was spread into half
    // the room it needs and the legalization pulled it apart (a shift
    // register of 2,048 stages: spread 188, legalized 933, final 799;
    // 4,472 against 6,183 over seeds 1 to 8 at 7/8, 4,062 at a whole
    // BLE), while a whole BLE spread short pipelines wider than the
    // annealing brings back together (six-stage pipelines of 448
    // registers: +22% at a whole BLE, +3% at 7/8).
    if (m.kind[u] == UNIT_PAIR) area[u] = 1.0;
    else if (m.hasLut(u)) area[u] = registerBound ? 0.5 : 1.0;
    else area[u] = registerBound ? 0.875 : 0.5;
  }
  return area;
}

namespace {

// A small deterministic offset in [-0.5, 0.5] for unit u: starts spread a
// little around the centre, so that the first bound-to-bound pass sees
// distinct positions.
double jitter(int u, std::uint64_t salt) {
  // splitmix64 of the unit and the salt
  std::uint64_t h = static_cast<std::uint64_t>(static_cast<std::uint32_t>(u)) + (salt << 32) + 0x9e3779b97f4a7c15ull;
  h = (h ^ (h >> 30)) * 0xbf58476d1ce4e5b9ull;
  h = (h ^ (h >> 27)) * 0x94d049bb133111ebull;
  h ^= h >> 31;
  return static_cast<double>(h >> 11) / 9007199254740992.0 - 0.5;
}

// The number of threads to use when `asked` were asked for: 0 is the
// machine's cores; at most 2 (there are two axes), at least 1.
int solveThreads(int asked) {
  if (asked <= 0) asked = static_cast<int>(std::thread::hardware_concurrency());
  return std::clamp(asked, 1, 2);
}

// Processor time of the calling thread.
double threadSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Solves x then y, or both at once on two threads (x on a new one): the
// same result either way, since the axes share only what they read.
// Exceptions of the x thread are rethrown here after it ends. Returns the
// processor time the two threads spent side by side (the lesser of their
// times; 0 on one thread): what a second core takes off the elapsed time.
template <class SolveX, class SolveY>
double solveAxes(int threads, SolveX solveX, SolveY solveY) {
  if (threads < 2) {
    solveX();
    solveY();
    return 0.0;
  }
  std::exception_ptr failed;
  double secondsX = 0;
  std::thread tx([&] {
    const double start = threadSeconds();
    try {
      solveX();
    } catch (...) {
      failed = std::current_exception();
    }
    secondsX = threadSeconds() - start;
  });
  const double start = threadSeconds();
  try {
    solveY();
  } catch (...) {
    tx.join();
    throw;
  }
  const double secondsY = threadSeconds() - start;
  tx.join();
  if (failed) std::rethrow_exception(failed);
  return std::min(secondsX, secondsY);
}

}  // namespace

// Spreading iterations before the I/O units are placed, and their anchor
// weights (8 placed picorv32 as well as 15).
constexpr int kIoSpreadIterations = 8;
constexpr double kIoAnchorStart = 0.02;
constexpr double kIoAnchorGrowth = 2.0;

namespace {

// The solves and the short spreading of placeIos on the units of m, whose
// areas are `area`: units with var[u] < 0 hold at (x[u], y[u]), the others
// start there (the first solve from the centre); the I/O units follow their
// nets alone.
void spreadForIos(const Model& m, const std::vector<double>& area, const Fabric& f, const std::vector<int>& var,
                  std::vector<double>& x, std::vector<double>& y, const PlacementRules* rules, int threads,
                  double* sideBySide) {
  const int n = m.numUnits();
  const double cx = (f.cols + 1) / 2.0, cy = (f.rows + 1) / 2.0;
  std::vector<double> ax(static_cast<std::size_t>(n), cx), ay(static_cast<std::size_t>(n), cy),
      w(static_cast<std::size_t>(n), 1e-3);
  AxisSystem sx(n), sy(n);
  // The first solve starts from the centre (rounded down to a whole
  // cluster), the later ones from the solution before.
  for (int pass = 0; pass < 3; ++pass) {
    const AxisStart from = pass == 0 ? AxisStart::CENTRE : AxisStart::POSITIONS;
    const double both = solveAxes(solveThreads(threads), [&] { sx.solve(m, var, x, ax, w, cx, 100, 1e-4, from); },
                                  [&] { sy.solve(m, var, y, ay, w, cy, 100, 1e-4, from); });
    if (sideBySide != nullptr) *sideBySide += both;
  }
  // With nothing fixed, that solution is a point at the centre, and the
  // I/O units' angles around it are rounding noise. A short spreading of
  // the logic over the device, the I/O units following their nets alone,
  // gives each I/O unit the side where its logic lies.
  double weight = kIoAnchorStart;
  for (int it = 0; it < kIoSpreadIterations; ++it, weight *= kIoAnchorGrowth) {
    roughLegalize(m, area, f, x, y, 1.0, ax, ay, solveThreads(threads));
    for (int u = 0; u < n; ++u) w[u] = m.isIo(u) ? 0.0 : weight;
    const double both = solveAxes(solveThreads(threads),
                                  [&] { sx.solve(m, var, x, ax, w, cx, 100, 1e-4, AxisStart::POSITIONS); },
                                  [&] { sy.solve(m, var, y, ay, w, cy, 100, 1e-4, AxisStart::POSITIONS); });
    if (sideBySide != nullptr) *sideBySide += both;
    if (rules != nullptr) rules->clamp(x, y);
  }
}

}  // namespace

bool placeIos(const Model& m, const Fabric& f, Placement& p, const IoPlacement& how) {
  const int n = m.numUnits();
  // The I/O units placed already (fixed ones) keep their sites; the rest
  // take free ones.
  std::vector<int> ios, freeSites;
  for (int u = 0; u < n; ++u)
    if (m.isIo(u) && p.loc[u] < 0) ios.push_back(u);
  for (int i = 0; i < f.numIoSites(); ++i)
    if (p.ioAt[i] < 0) freeSites.push_back(i);
  if (ios.empty()) return true;
  if (ios.size() > freeSites.size()) return false;
  const double cx = (f.cols + 1) / 2.0, cy = (f.rows + 1) / 2.0;
  // Positions of the I/O units to take their angles from.
  std::vector<double> ioX(ios.size()), ioY(ios.size());
  if (n > how.coarseAbove && p.rules == nullptr) {
    // A large design spreads its clusters instead of its units: the I/O
    // units (and the placed ones) each a cluster of their own.
    std::vector<char> alone(static_cast<std::size_t>(n), 0);
    for (int u = 0; u < n; ++u) alone[u] = m.isIo(u) || p.loc[u] >= 0;
    const Coarsening c = coarsen(m, unitAreas(m), alone, how.clusterSize);
    const int k = c.model.numUnits();
    std::vector<int> var(static_cast<std::size_t>(k));
    std::vector<double> x(static_cast<std::size_t>(k)), y(static_cast<std::size_t>(k));
    int vars = 0;
    for (int g = 0; g < k; ++g) {
      const int u = c.first[g];
      if (p.loc[u] >= 0) {
        var[g] = -1;
        x[g] = p.x(u);
        y[g] = p.y(u);
      } else {
        var[g] = vars++;
        x[g] = cx + jitter(g, 1);
        y[g] = cy + jitter(g, 2);
      }
    }
    spreadForIos(c.model, c.area, f, var, x, y, nullptr, how.threads, how.sideBySide);
    for (std::size_t i = 0; i < ios.size(); ++i) {
      ioX[i] = x[c.clusterOf[ios[i]]];
      ioY[i] = y[c.clusterOf[ios[i]]];
    }
  } else {
    std::vector<int> var(static_cast<std::size_t>(n));
    std::iota(var.begin(), var.end(), 0);
    std::vector<double> x(static_cast<std::size_t>(n), cx), y(static_cast<std::size_t>(n), cy);
    for (int u = 0; u < n; ++u) {
      x[u] += jitter(u, 1);
      y[u] += jitter(u, 2);
      if (p.loc[u] >= 0) {  // a placed unit holds where it is (its variable stays unused)
        var[u] = -1;
        x[u] = p.x(u);
        y[u] = p.y(u);
      }
    }
    spreadForIos(m, unitAreas(m), f, var, x, y, p.rules, how.threads, how.sideBySide);
    for (std::size_t i = 0; i < ios.size(); ++i) {
      ioX[i] = x[ios[i]];
      ioY[i] = y[ios[i]];
    }
  }
  // Each I/O unit's angle around the centre, and each free site's.
  const std::size_t s = freeSites.size();
  std::vector<double> siteAngle(s), ioAngle(ios.size());
  for (std::size_t i = 0; i < s; ++i) siteAngle[i] = std::atan2(f.ioY[freeSites[i]] - cy, f.ioX[freeSites[i]] - cx);
  for (std::size_t k = 0; k < ios.size(); ++k) ioAngle[k] = std::atan2(ioY[k] - cy, ioX[k] - cx);
  const std::vector<int> site = assignAlongBorder(siteAngle, ioAngle);
  for (std::size_t k = 0; k < ios.size(); ++k) p.putIo(ios[k], freeSites[site[k]]);
  return true;
}

std::vector<int> assignAlongBorder(const std::vector<double>& siteAngle, const std::vector<double>& ioAngle) {
  const int s = static_cast<int>(siteAngle.size()), k = static_cast<int>(ioAngle.size());
  if (k == 0 || k > s) return {};
  std::vector<int> result(static_cast<std::size_t>(k), -1);
  constexpr double kTurn = 6.283185307179586;
  std::vector<int> order(static_cast<std::size_t>(k));
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return ioAngle[a] < ioAngle[b]; });
  // Cut the circle in the middle of the widest gap between two I/O units:
  // the walk then starts and ends where no I/O unit wants to be, and no
  // place of the circle is favoured over another.
  int first = 0;
  double widest = -1;
  for (int i = 0; i < k; ++i) {
    const double a = ioAngle[order[i]];
    const double prev = i > 0 ? ioAngle[order[i - 1]] : ioAngle[order[k - 1]] - kTurn;
    if (a - prev > widest) {
      widest = a - prev;
      first = i;
    }
  }
  const double cut = ioAngle[order[first]] - widest / 2;
  auto unwrap = [&](double a) {
    double d = std::fmod(a - cut, kTurn);
    return d < 0 ? d + kTurn : d;
  };
  std::vector<int> sites(static_cast<std::size_t>(s));
  std::iota(sites.begin(), sites.end(), 0);
  std::vector<double> at(static_cast<std::size_t>(s));
  for (int i = 0; i < s; ++i) at[i] = unwrap(siteAngle[i]);
  std::stable_sort(sites.begin(), sites.end(), [&](int a, int b) { return at[a] < at[b]; });
  std::vector<double> sorted(static_cast<std::size_t>(s));
  for (int i = 0; i < s; ++i) sorted[i] = at[sites[i]];
  // The i-th unit of the walk wants the site nearest its angle, t(i); it
  // gets index i + q(i) with q non-decreasing in [0, s - k] (so that every
  // unit has a site of its own, in order), q fitted to t(i) - i in the
  // least absolute deviation. The fit (a heap of the slopes' break points,
  // then a backward pass) moves crowded units both ways, so that the
  // sites left free fall where the units are fewest.
  std::vector<long> opt(static_cast<std::size_t>(k));
  std::priority_queue<long> heap;
  for (int i = 0; i < k; ++i) {
    const double a = unwrap(ioAngle[order[(first + i) % k]]);
    long t = std::lower_bound(sorted.begin(), sorted.end(), a) - sorted.begin();
    if (t == s || (t > 0 && a - sorted[t - 1] < sorted[t] - a)) --t;
    const long want = t - i;
    heap.push(want);
    if (heap.top() > want) {
      heap.pop();
      heap.push(want);
    }
    opt[i] = heap.top();
  }
  long q = opt[k - 1];
  for (int i = k - 1; i >= 0; --i) {
    q = std::min(q, opt[i]);
    const long slot = i + std::clamp(q, 0L, static_cast<long>(s - k));
    result[order[(first + i) % k]] = sites[slot];
  }
  return result;
}

namespace {

// overflow() with the units' areas given.
double overflowOf(const Model& m, const std::vector<double>& area, const Fabric& f, const std::vector<double>& x,
                  const std::vector<double>& y, double density) {
  std::vector<double> use(static_cast<std::size_t>(f.numClusters()), 0.0);
  double total = 0;
  for (int u = 0; u < m.numUnits(); ++u) {
    if (m.isIo(u)) continue;
    const double a = area[u];
    use[f.clusterAt(x[u], y[u])] += a;
    total += a;
  }
  const double cap = kBles * density;
  double over = 0;
  for (double a : use) over += std::max(0.0, a - cap);
  return total > 0 ? over / total : 0.0;
}

}  // namespace

double overflow(const Model& m, const Fabric& f, const std::vector<double>& x,
                const std::vector<double>& y, double density) {
  return overflowOf(m, unitAreas(m), f, x, y, density);
}

namespace {

// Units in overfull rectangles below which rough legalization spreads them
// on one thread: a thread costs more than it saves there.
constexpr std::size_t kBisectShareLeast = 20000;
// Pieces of at most this many units are spread whole by one thread.
constexpr std::size_t kBisectGrainLeast = 4096;

// Half the side of the box, around a cluster's centre, into which rough
// legalization puts its units: well inside the cluster, so that a solve
// that lands near its anchors counts in the same cluster.
constexpr double kLeafHalf = 0.3;

// A rectangle of clusters and the units in it, cells[b, e) of its
// region's list: what one bisection step works on.
struct Piece {
  int c0, c1, r0, r1;
  int* cells;
  int b, e;
};

struct Bisect {
  const Model& m;
  const Fabric& f;
  double cap;
  const std::vector<double>& area;  // per unit
  std::vector<double>& ax;
  std::vector<double>& ay;

  // Spreads the piece's units within it, cutting recursively down to
  // single clusters.
  void run(const Piece& q) {
    if (q.b >= q.e) return;
    Piece lo, hi;
    if (!cut(q, lo, hi)) return;
    run(lo);
    run(hi);
  }

  // One step: a piece of one cluster pulls its units into the cluster's
  // middle and returns false; a larger one is cut in two halves (the
  // columns when it is at least as wide as high, else the rows), moving
  // across the cut only what exceeds a side's room, and the halves go to
  // lo and hi. Touches only the piece's units and its part of the list,
  // so that pieces that share neither can be cut at the same time.
  bool cut(const Piece& q, Piece& lo, Piece& hi) {
    const int b = q.b, e = q.e;
    int* cells = q.cells;
    if (q.c1 - q.c0 == 1 && q.r1 - q.r0 == 1) {
      const double cx = q.c0 + 1, cy = q.r0 + 1;
      for (int i = b; i < e; ++i) {
        const int u = cells[i];
        ax[u] = std::clamp(ax[u], cx - kLeafHalf, cx + kLeafHalf);
        ay[u] = std::clamp(ay[u], cy - kLeafHalf, cy + kLeafHalf);
      }
      return false;
    }
    const bool vertical = (q.c1 - q.c0) >= (q.r1 - q.r0);  // cut between columns
    std::vector<double>& pos = vertical ? ax : ay;
    const int from = vertical ? q.c0 : q.r0, to = vertical ? q.c1 : q.r1;
    const int mid = (from + to) / 2;
    const double cut = mid + 0.5;  // between grid index mid-1 and mid (coordinates index+1)
    const double span = vertical ? (q.r1 - q.r0) : (q.c1 - q.c0);
    const double cap1 = (mid - from) * span * cap, cap2 = (to - mid) * span * cap;
    int* midIt = std::partition(cells + b, cells + e, [&](int u) { return pos[u] < cut; });
    int k = static_cast<int>(midIt - cells);
    double a1 = 0, a2 = 0;
    for (int i = b; i < k; ++i) a1 += area[cells[i]];
    for (int i = k; i < e; ++i) a2 += area[cells[i]];
    const double a = a1 + a2;
    double t1 = a1;
    if (a > cap1 + cap2) t1 = a * cap1 / (cap1 + cap2);
    else if (a1 > cap1) t1 = cap1;
    else if (a2 > cap2) t1 = a - cap2;
    if (t1 != a1 && a > 0) {
      // Count of units on the low side whose area comes closest to t1: a
      // guess from the mean area, corrected a few times.
      int want = std::clamp(static_cast<int>(std::lround((e - b) * t1 / a)), 0, e - b);
      auto byPos = [&](int u, int v) { return pos[u] < pos[v]; };
      for (int round = 0; round < 4; ++round) {
        std::nth_element(cells + b, cells + b + want, cells + e, byPos);
        double low = 0;
        for (int i = b; i < b + want; ++i) low += area[cells[i]];
        const int fix = static_cast<int>(std::lround((t1 - low) * (e - b) / a));
        if (fix == 0) break;
        want = std::clamp(want + fix, 0, e - b);
      }
      k = b + want;
      // Moved units sit just inside their new side, keeping their order.
      for (int i = b; i < k; ++i) pos[cells[i]] = std::min(pos[cells[i]], cut - 1e-3);
      for (int i = k; i < e; ++i) pos[cells[i]] = std::max(pos[cells[i]], cut + 1e-3);
    }
    lo = q;
    hi = q;
    lo.e = hi.b = k;
    if (vertical) lo.c1 = hi.c0 = mid;
    else lo.r1 = hi.r0 = mid;
    return true;
  }
};

// Spreads the pieces on `threads` threads (at most 2). Each thread takes
// the next piece from a shared list; a piece of more than `grain` units is
// cut once, its upper half put back on the list for either thread, and
// the thread goes on with the lower half; a smaller one is spread whole.
// The pieces share no unit and no part of a list, so the positions are
// the same whichever thread spreads which piece, and in whatever order.
void spreadPieces(Bisect& bis, std::vector<Piece> pieces, std::size_t grain, int threads) {
  if (threads < 2) {
    for (const Piece& q : pieces) bis.run(q);
    return;
  }
  std::reverse(pieces.begin(), pieces.end());  // taken from the back, in the given order
  std::mutex lock;
  std::condition_variable changed;
  int busy = 0;  // threads holding a piece they may still cut
  auto work = [&](Bisect& b) {
    std::unique_lock<std::mutex> hold(lock);
    for (;;) {
      changed.wait(hold, [&] { return !pieces.empty() || busy == 0; });
      if (pieces.empty()) return;
      Piece q = pieces.back();
      pieces.pop_back();
      ++busy;
      hold.unlock();
      try {
        Piece lo, hi;
        while (static_cast<std::size_t>(q.e - q.b) > grain && b.cut(q, lo, hi)) {
          {
            const std::lock_guard<std::mutex> put(lock);
            pieces.push_back(hi);
          }
          changed.notify_one();
          q = lo;
        }
        b.run(q);
      } catch (...) {
        // The other thread must not wait for this one's pieces.
        hold.lock();
        --busy;
        pieces.clear();
        changed.notify_all();
        throw;
      }
      hold.lock();
      --busy;
      changed.notify_all();
    }
  };
  Bisect other = bis;
  std::exception_ptr failed;
  std::thread t([&] {
    try {
      work(other);
    } catch (...) {
      failed = std::current_exception();
    }
  });
  try {
    work(bis);
  } catch (...) {
    t.join();
    throw;
  }
  t.join();
  if (failed) std::rethrow_exception(failed);
}

// Spreads each region's bound units over its own rectangle as rough
// legalization spreads an overfull rectangle (recursive bisection, each
// cut moving only what exceeds a side's room): rough legalization of the
// whole device does not know the rectangles, and its anchors, clamped
// back into them, would pile up along their borders.
void spreadWithinRegions(const Model& m, const std::vector<double>& area, const Fabric& f,
                         const PlacementRules& rules, double density, std::vector<double>& ax,
                         std::vector<double>& ay) {
  if (rules.regions.empty()) return;
  std::vector<std::vector<int>> cells(rules.regions.size());
  for (int u = 0; u < m.numUnits(); ++u)
    if (!m.isIo(u) && !rules.fixed(u) && rules.region(u) >= 0) cells[static_cast<std::size_t>(rules.region(u))].push_back(u);
  Bisect bis{m, f, kBles * density, area, ax, ay};
  for (std::size_t r = 0; r < cells.size(); ++r) {
    const ClusterRect& q = rules.regions[r];
    bis.run(Piece{q.c0, q.c1 + 1, q.r0, q.r1 + 1, cells[r].data(), 0, static_cast<int>(cells[r].size())});
  }
}

}  // namespace

void roughLegalize(const Model& m, const Fabric& f, const std::vector<double>& x,
                   const std::vector<double>& y, double density, std::vector<double>& ax,
                   std::vector<double>& ay) {
  roughLegalize(m, unitAreas(m), f, x, y, density, ax, ay);
}

void roughLegalize(const Model& m, const std::vector<double>& area, const Fabric& f, const std::vector<double>& x,
                   const std::vector<double>& y, double density, std::vector<double>& ax,
                   std::vector<double>& ay, int threads) {
  ax = x;
  ay = y;
  const double cap = kBles * density;
  Bisect bis{m, f, cap, area, ax, ay};
  const int rows = f.rows, cols = f.cols;
  // Use of each cluster, and its prefix sums over rectangles.
  std::vector<double> use(static_cast<std::size_t>(f.numClusters()), 0.0);
  std::vector<int> clusterOf(static_cast<std::size_t>(m.numUnits()), -1);
  for (int u = 0; u < m.numUnits(); ++u) {
    if (m.isIo(u)) continue;
    clusterOf[u] = f.clusterAt(x[u], y[u]);
    use[clusterOf[u]] += bis.area[u];
  }
  std::vector<double> sum(static_cast<std::size_t>(rows + 1) * (cols + 1), 0.0);
  auto at = [&](int r, int c) -> double& { return sum[static_cast<std::size_t>(r) * (cols + 1) + c]; };
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) at(r + 1, c + 1) = use[r * cols + c] + at(r, c + 1) + at(r + 1, c) - at(r, c);
  struct Rect { int c0, c1, r0, r1; };
  auto areaOf = [&](const Rect& q) { return at(q.r1, q.c1) - at(q.r0, q.c1) - at(q.r1, q.c0) + at(q.r0, q.c0); };
  auto capOf = [&](const Rect& q) { return cap * (q.c1 - q.c0) * (q.r1 - q.r0); };
  // Each overfull cluster, most overfull first, grows a rectangle around it
  // (one cluster each way at a time) until the rectangle holds its units;
  // a rectangle that meets another swallows it.
  std::vector<int> over;
  for (int c = 0; c < f.numClusters(); ++c)
    if (use[c] > cap) over.push_back(c);
  std::stable_sort(over.begin(), over.end(), [&](int a, int b) { return use[a] > use[b]; });
  std::vector<int> owner(static_cast<std::size_t>(f.numClusters()), -1);
  std::vector<Rect> regions;
  std::vector<char> alive;
  for (int c : over) {
    if (owner[c] >= 0) continue;
    Rect q{c % cols, c % cols + 1, c / cols, c / cols + 1};
    for (;;) {
      bool merged = false;
      for (int r = q.r0; r < q.r1; ++r)
        for (int cc = q.c0; cc < q.c1; ++cc) {
          const int o = owner[r * cols + cc];
          if (o < 0 || !alive[o]) continue;
          const Rect& g = regions[o];
          q = Rect{std::min(q.c0, g.c0), std::max(q.c1, g.c1), std::min(q.r0, g.r0), std::max(q.r1, g.r1)};
          alive[o] = 0;
          merged = true;
        }
      if (merged) continue;
      if (areaOf(q) <= capOf(q) || (q.c0 == 0 && q.r0 == 0 && q.c1 == cols && q.r1 == rows)) break;
      q = Rect{std::max(0, q.c0 - 1), std::min(cols, q.c1 + 1), std::max(0, q.r0 - 1), std::min(rows, q.r1 + 1)};
    }
    const int id = static_cast<int>(regions.size());
    regions.push_back(q);
    alive.push_back(1);
    for (int r = q.r0; r < q.r1; ++r)
      for (int cc = q.c0; cc < q.c1; ++cc) owner[r * cols + cc] = id;
  }
  // Each rectangle's units spread within it: each cut moves across only
  // what exceeds a side's room. The rectangles share no unit, and the
  // halves of a cut neither, so that two threads can share the work.
  std::vector<std::vector<int>> members(regions.size());
  for (int u = 0; u < m.numUnits(); ++u)
    if (clusterOf[u] >= 0 && owner[clusterOf[u]] >= 0) members[owner[clusterOf[u]]].push_back(u);
  std::vector<Piece> pieces;
  std::size_t total = 0;
  for (std::size_t k = 0; k < regions.size(); ++k) {
    if (!alive[k] || members[k].empty()) continue;
    const Rect& q = regions[k];
    pieces.push_back(Piece{q.c0, q.c1, q.r0, q.r1, members[k].data(), 0, static_cast<int>(members[k].size())});
    total += members[k].size();
  }
  // Pieces of more than an eighth of the units are cut before they are
  // spread, so that the threads end close together.
  spreadPieces(bis, std::move(pieces), std::max(total / 8, kBisectGrainLeast),
               total < kBisectShareLeast ? 1 : threads);
}

struct GlobalPlacer::Impl {
  Impl(const Model& m, const Fabric& f, const Placement& p, const GlobalParams& params)
      : m(m), f(f), params(params), threads(solveThreads(params.threads)), cx((f.cols + 1) / 2.0),
        cy((f.rows + 1) / 2.0), var(static_cast<std::size_t>(m.numUnits()), -1), area(unitAreas(m)),
        rules(p.rules) {
    // Placed units (the I/O, fixed logic) hold where they are.
    for (int u = 0; u < m.numUnits(); ++u)
      if (!m.isIo(u) && p.loc[u] < 0) var[u] = numVars++;
    sx = std::make_unique<AxisSystem>(numVars);
    sy = std::make_unique<AxisSystem>(numVars);
    anchorX.assign(static_cast<std::size_t>(numVars), 0.0);
    anchorY.assign(static_cast<std::size_t>(numVars), 0.0);
    weight.assign(static_cast<std::size_t>(numVars), 0.0);
  }

  // One solve of each axis. The very first starts from the centre (the
  // units' jitter only sets its connections); every later one, a
  // re-weighting, starts from the positions the one before reached.
  void solve(const Model& nets, GlobalResult& r, double tolerance) {
    AxisRun runX, runY;
    const AxisStart from = r.solves == 0 ? AxisStart::CENTRE : AxisStart::POSITIONS;
    r.sideBySide += solveAxes(
        threads, [&] { runX = sx->solve(nets, var, r.x, anchorX, weight, cx, params.cgPasses, tolerance, from); },
        [&] { runY = sy->solve(nets, var, r.y, anchorY, weight, cy, params.cgPasses, tolerance, from); });
    r.solves += 2;
    r.cgPasses += static_cast<long>(runX.passes) + static_cast<long>(runY.passes);
    if (rules != nullptr) rules->clamp(r.x, r.y);  // region-bound units stay in their rectangles
  }

  const Model& m;
  const Fabric& f;
  GlobalParams params;
  int threads;
  double cx, cy;
  std::vector<int> var;
  int numVars = 0;
  std::unique_ptr<AxisSystem> sx, sy;
  std::vector<double> anchorX, anchorY, weight;
  std::vector<double> area;  // of each unit, for spreading (unitAreas)
  const PlacementRules* rules;

  // The wirelength and overflow of the solution, and the wirelength of its
  // rough legalization (when `spread` is given), side by side on two
  // threads: each is summed in its own order whatever the thread.
  void measure(const Model& nets, GlobalResult& r, double* spread) const {
    solveAxes(
        spread != nullptr ? threads : 1, [&] { if (spread != nullptr) *spread = hpwl(nets, r.ax, r.ay); },
        [&] {
          r.hpwl = hpwl(nets, r.x, r.y);
          r.overflow = overflowOf(m, area, f, r.x, r.y, params.density);
        });
  }
};

GlobalPlacer::GlobalPlacer(const Model& m, const Fabric& f, const Placement& p, const GlobalParams& params)
    : impl_(std::make_unique<Impl>(m, f, p, params)) {
  const int n = m.numUnits();
  r_.x.assign(static_cast<std::size_t>(n), impl_->cx);
  r_.y.assign(static_cast<std::size_t>(n), impl_->cy);
  for (int u = 0; u < n; ++u) {
    if (m.isIo(u) || p.loc[u] >= 0) {
      if (p.loc[u] >= 0) {
        r_.x[u] = p.x(u);
        r_.y[u] = p.y(u);
      }
      continue;
    }
    r_.x[u] += jitter(u, 2 * params.seed + 1);
    r_.y[u] += jitter(u, 2 * params.seed + 2);
  }
}

GlobalPlacer::~GlobalPlacer() = default;

const GlobalResult& GlobalPlacer::run(const Model& nets, double startWeight, double minWeight,
                                      Progress& progress, const Reweigh& reweigh, int reweighEvery) {
  Impl& s = *impl_;
  const GlobalParams& params = s.params;
  const int n = s.m.numUnits();
  if (s.numVars == 0) {  // every unit placed already: nothing to solve
    r_.ax = r_.x;
    r_.ay = r_.y;
    r_.hpwl = r_.spreadHpwl = hpwl(nets, r_.x, r_.y);
    r_.overflow = overflow(s.m, s.f, r_.x, r_.y, params.density);
    return r_;
  }
  // The first run starts with plain bound-to-bound passes; a later one
  // goes on spreading from where the last one stopped.
  char line[200];
  if (r_.solves == 0) {
    const double plain = params.initialTolerance > 0 ? params.initialTolerance : params.cgTolerance;
    for (int pass = 0; pass < params.initialPasses; ++pass) {
      s.solve(nets, r_, plain);
      if (progress.due()) {
        std::snprintf(line, sizeof line, "  quadratic: %d solves", r_.solves);
        progress.step(line);
      }
    }
    // No re-weighting here: the plain solution has every unit near the
    // centre, where delays tell nothing and the deepest logic all looks
    // critical (on a 60,000-LUT design with a RAM built of registers a
    // third of the nets at criticality 0.9 or more, three quarters at 0.8
    // or more). Weights taken from it shaped the spreading's first
    // iterations around paths that were not the critical ones.
  }
  s.measure(nets, r_, nullptr);
  std::snprintf(line, sizeof line, "  quadratic: %d solves, hpwl %.0f, overflow %.3f", r_.solves, r_.hpwl,
                r_.overflow);
  progress.step(line);
  // The rough legalization of the solution: the anchors (ax, ay), the
  // region-bound units spread within their rectangles.
  auto anchors = [&] {
    roughLegalize(s.m, s.area, s.f, r_.x, r_.y, params.density, r_.ax, r_.ay, s.threads);
    if (s.rules == nullptr) return;
    s.rules->clamp(r_.ax, r_.ay);
    spreadWithinRegions(s.m, s.area, s.f, *s.rules, params.density, r_.ax, r_.ay);
  };
  double w = startWeight;
  double gap = 1.0;
  for (int it = 0; it < params.maxSpreadIterations &&
                   (w < minWeight || (r_.overflow > params.targetOverflow && gap > params.gapTarget));
       ++it) {
    anchors();
    for (int u = 0; u < n; ++u) {
      if (s.var[u] < 0) continue;
      s.anchorX[s.var[u]] = r_.ax[u];
      s.anchorY[s.var[u]] = r_.ay[u];
      s.weight[s.var[u]] = w;
    }
    s.solve(nets, r_, params.cgTolerance);
    double spread = 0;
    s.measure(nets, r_, &spread);
    gap = std::fabs(spread - r_.hpwl) / std::max(spread, 1.0);
    ++r_.iterations;
    r_.weight = w;
    if (progress.due()) {
      std::snprintf(line, sizeof line, "  spreading %d: hpwl %.0f, overflow %.3f, anchor weight %.3g",
                    r_.iterations, r_.hpwl, r_.overflow, w);
      progress.step(line);
    }
    w *= params.anchorGrowth;
    if (reweigh && reweighEvery > 0 && (it + 1) % reweighEvery == 0) reweigh(r_);
  }
  anchors();
  r_.spreadHpwl = hpwl(nets, r_.ax, r_.ay);
  return r_;
}

}  // namespace qplace
