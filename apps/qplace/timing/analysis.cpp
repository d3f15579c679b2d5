// Arrival and required times over the timing graph, the domains' periods
// and critical paths, criticalities, and the incremental updates.
#include "qplace/timing/analysis.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace qplace {

namespace {

constexpr double kNever = -std::numeric_limits<double>::infinity();

// Queue keys: rank in the high half, node in the low one, so that the
// heaps compare keys alone. The forward heap pops the lowest rank first,
// the backward one the highest.
std::uint64_t key(int rank, int node) {
  return static_cast<std::uint64_t>(static_cast<std::uint32_t>(rank)) << 32 | static_cast<std::uint32_t>(node);
}
int nodeOf(std::uint64_t key) { return static_cast<int>(key & 0xffffffffu); }

// Where two threads wait for each other.
class Meeting {
public:
  void wait() {
    std::unique_lock<std::mutex> lock(m_);
    const unsigned round = round_;
    if (++waiting_ == 2) {
      waiting_ = 0;
      ++round_;
      lock.unlock();
      met_.notify_one();
      return;
    }
    met_.wait(lock, [&] { return round_ != round; });
  }

private:
  std::mutex m_;
  std::condition_variable met_;
  int waiting_ = 0;
  unsigned round_ = 0;
};

// Runs f(0, n) here, or with `two` f(0, half) here and f(half, n) on a
// second thread.
template <class F>
void inHalves(bool two, std::size_t n, F f) {
  if (!two) {
    f(0, n);
    return;
  }
  const std::size_t half = n / 2;
  std::thread other([&] { f(half, n); });
  f(0, half);
  other.join();
}

}  // namespace

TimingAnalysis::TimingAnalysis(const TimingGraph& graph, const Model& model, const DelayTable& table,
                               const DelayModel& delays)
    : g_(graph), m_(model), table_(table), dm_(delays) {
  // Domains: each clock's rising then falling edge as its registers use
  // them, then the ports.
  const int clocks = static_cast<int>(g_.clocks.size());
  std::vector<char> used(static_cast<std::size_t>(2 * clocks), 0);
  bool ports = false;
  for (int v = 0; v < g_.numNodes(); ++v) {
    const TimingNodeKind k = g_.kind[static_cast<std::size_t>(v)];
    if ((k == TN_REG_Q || k == TN_REG_IN) && g_.clock[static_cast<std::size_t>(v)] >= 0)
      used[static_cast<std::size_t>(2 * g_.clock[static_cast<std::size_t>(v)] + g_.falling[static_cast<std::size_t>(v)])] = 1;
    ports = ports || k == TN_PORT_IN || k == TN_PORT_OUT;
  }
  domainOf_.assign(used.size(), -1);
  for (std::size_t i = 0; i < used.size(); ++i) {
    if (!used[i]) continue;
    domainOf_[i] = static_cast<int>(domains_.size());
    TimingDomain d;
    d.clock = static_cast<int>(i / 2);
    d.falling = i % 2 != 0;
    domains_.push_back(d);
  }
  if (ports) {
    portsDomain_ = static_cast<int>(domains_.size());
    domains_.push_back(TimingDomain{});
  }
  nd_ = static_cast<int>(domains_.size());
  givenPeriod_.assign(static_cast<std::size_t>(clocks), 0);
  period_.assign(static_cast<std::size_t>(clocks), 0);
  norm_.assign(static_cast<std::size_t>(nd_), 0);

  static_assert(sizeof(EdgeRec) == 24, "a connection's record is three words");
  if (m_.numUnits() >= kMostUnits) throw std::length_error("timing analysis: too many units");
  pos_.assign(static_cast<std::size_t>(m_.numUnits()), Pos{1, 1});
  const int edges = g_.numEdges();
  edges_.resize(static_cast<std::size_t>(edges));
  for (int e = 0; e < edges; ++e) {
    EdgeRec& r = edges_[static_cast<std::size_t>(e)];
    const int a = g_.from[static_cast<std::size_t>(e)], b = g_.to[static_cast<std::size_t>(e)];
    r.unitA = g_.unit[static_cast<std::size_t>(a)];
    r.unitB = g_.unit[static_cast<std::size_t>(b)];
    if (r.unitA == r.unitB && g_.kind[static_cast<std::size_t>(a)] == TN_LUT && g_.kind[static_cast<std::size_t>(b)] == TN_REG_IN)
      r.kind = kBle;
    else if (!m_.isIo(r.unitA) && !m_.isIo(r.unitB))
      r.kind = kLocal;
  }
  const std::size_t times = static_cast<std::size_t>(g_.numNodes()) * static_cast<std::size_t>(nd_);
  arr_.assign(times, kNever);
  req_.assign(times, kNone);
  inFwd_.assign(static_cast<std::size_t>(g_.numNodes()), 0);
  inBwd_.assign(static_cast<std::size_t>(g_.numNodes()), 0);
  scratch_.resize(static_cast<std::size_t>(nd_));

  // The levels: a new one starts at the first node fed by a node of the
  // level being gathered. Any topological order cuts into such levels; the
  // graph's, made level by level, into as few as the graph is deep.
  levelStart_.assign(1, 0);
  const int n = g_.numNodes();
  for (int i = 0; i < n; ++i) {
    const std::size_t v = static_cast<std::size_t>(g_.order[static_cast<std::size_t>(i)]);
    for (int j = g_.inStart[v]; j < g_.inStart[v + 1]; ++j)
      if (g_.rank[static_cast<std::size_t>(g_.in[static_cast<std::size_t>(j)].node)] >= levelStart_.back()) {
        levelStart_.push_back(i);
        break;
      }
  }
  if (n > 0) levelStart_.push_back(n);
  levelStart_.shrink_to_fit();
}

void TimingAnalysis::setThreads(int threads, int least) {
  if (threads <= 0) threads = static_cast<int>(std::thread::hardware_concurrency());
  threads_ = std::clamp(threads, 1, 2);
  least_ = std::max(least, 0);
}

int TimingAnalysis::threadsFor(std::size_t n) const {
  const auto least = static_cast<std::size_t>(least_);
  return threads_ >= 2 && static_cast<std::size_t>(g_.numNodes()) >= least && n >= least ? 2 : 1;
}

void TimingAnalysis::propagateOnTwo(bool keepPeriods) {
  Meeting meet;
  // Levels of fewer nodes are worked out by one thread while the other
  // waits: shared, they would cost more in waits than they save.
  const int shared = least_ / 16;
  const int levels = static_cast<int>(levelStart_.size()) - 1;
  // The levels one after the other, forward or backward: a large one cut
  // in two halves, one a thread; a run of small ones worked out by the
  // first thread alone. Both threads go through the same steps and meet
  // after each.
  auto byLevels = [&](int part, bool forward) {
    auto work = [&](int b, int e) {
      for (int i = b; i < e; ++i) {
        const int v = g_.order[static_cast<std::size_t>(i)];
        if (forward)
          forwardNode(v, &arr_[idx(v, 0)]);
        else
          backwardNode(v, &req_[idx(v, 0)]);
      }
    };
    auto level = [&](int step) { return forward ? step : levels - 1 - step; };
    auto size = [&](int l) { return levelStart_[static_cast<std::size_t>(l) + 1] - levelStart_[static_cast<std::size_t>(l)]; };
    for (int step = 0; step < levels;) {
      const int l = level(step);
      const int b = levelStart_[static_cast<std::size_t>(l)], e = levelStart_[static_cast<std::size_t>(l) + 1];
      if (size(l) >= shared) {
        const int mid = b + (e - b) / 2;
        if (part == 0)
          work(b, mid);
        else
          work(mid, e);
        ++step;
      } else {
        for (; step < levels && size(level(step)) < shared; ++step) {
          const int s = level(step);
          if (part == 0) work(levelStart_[static_cast<std::size_t>(s)], levelStart_[static_cast<std::size_t>(s) + 1]);
        }
      }
      meet.wait();
    }
  };
  auto run = [&](int part) {
    const std::size_t edges = edges_.size(), half = edges / 2;
    for (std::size_t e = part == 0 ? 0 : half; e < (part == 0 ? half : edges); ++e) {
      EdgeRec& r = edges_[e];
      r.delay = delayAt(r.kind, pos_[static_cast<std::size_t>(r.unitA)], pos_[static_cast<std::size_t>(r.unitB)]);
    }
    meet.wait();
    byLevels(part, true);
    if (part == 0) findPeriods(keepPeriods);
    meet.wait();
    byLevels(part, false);
  };
  std::thread other(run, 1);
  run(0);
  other.join();
}

void TimingAnalysis::setPeriods(const ClockPeriods& periods) {
  for (std::size_t c = 0; c < g_.clocks.size(); ++c) givenPeriod_[c] = 1000 * periods.of(g_.clocks[c]->name);
  givenPorts_ = 1000 * periods.ports;
}

TimingAnalysis::Pos TimingAnalysis::clamped(double x, double y) const {
  return Pos{std::min(std::max(x, 1.0), static_cast<double>(table_.cols())),
             std::min(std::max(y, 1.0), static_cast<double>(table_.rows()))};
}

void TimingAnalysis::setPositions(const std::vector<double>& x, const std::vector<double>& y) {
  for (std::size_t u = 0; u < pos_.size(); ++u) pos_[u] = clamped(x[u], y[u]);
}

void TimingAnalysis::setPositions(const Placement& p) {
  for (std::size_t u = 0; u < pos_.size(); ++u)
    if (p.loc[u] >= 0) pos_[u] = clamped(p.x(static_cast<int>(u)), p.y(static_cast<int>(u)));
}

double TimingAnalysis::delayAt(std::uint8_t kind, Pos a, Pos b) const {
  if (kind == kBle) return dm_.ble;
  return table_.between(std::fabs(a.x - b.x), std::fabs(a.y - b.y), kind == kLocal ? dm_.local : table_.at(0, 0));
}

double TimingAnalysis::nodeDelay(int node) const {
  return g_.kind[static_cast<std::size_t>(node)] == TN_LUT ? dm_.lut : 0.0;
}

double TimingAnalysis::endMargin(int node) const {
  return g_.kind[static_cast<std::size_t>(node)] == TN_REG_IN ? dm_.setup : dm_.ioOut;
}

int TimingAnalysis::timedIn(int v, int launch, bool& half) const {
  half = false;
  if (g_.kind[static_cast<std::size_t>(v)] == TN_PORT_OUT) return portsDomain_;
  const int c = g_.clock[static_cast<std::size_t>(v)];
  if (c < 0) return -1;  // a register without a clock ends no path
  if (launch == portsDomain_) return portsDomain_;
  const TimingDomain& from = domains_[static_cast<std::size_t>(launch)];
  if (from.clock != c) return -1;
  const bool falling = g_.falling[static_cast<std::size_t>(v)] != 0;
  half = from.falling != falling;
  return domainOf_[static_cast<std::size_t>(2 * c + (falling ? 1 : 0))];
}

double TimingAnalysis::periodOfDomain(int k) const {
  return k == portsDomain_ ? portsPeriod_ : period_[static_cast<std::size_t>(domains_[static_cast<std::size_t>(k)].clock)];
}

double TimingAnalysis::endRequired(int node, int domain) const {
  bool half = false;
  const int k = timedIn(node, domain, half);
  if (k < 0) return kNone;
  const double p = periodOfDomain(k);
  return (half ? p / 2 : p) - endMargin(node);
}

void TimingAnalysis::forwardNode(int v, double* out) const {
  std::fill(out, out + nd_, kNever);
  const std::size_t vi = static_cast<std::size_t>(v);
  switch (g_.kind[vi]) {
    case TN_REG_Q:
      if (g_.clock[vi] >= 0) out[domainOf_[static_cast<std::size_t>(2 * g_.clock[vi] + g_.falling[vi])]] = dm_.clockToQ;
      return;
    case TN_PORT_IN:
      out[portsDomain_] = dm_.ioIn;
      return;
    default:
      break;
  }
  for (int i = g_.inStart[vi]; i < g_.inStart[vi + 1]; ++i) {
    const TimingGraph::Link& l = g_.in[static_cast<std::size_t>(i)];
    const double d = edges_[static_cast<std::size_t>(l.edge)].delay;
    const double* a = &arr_[idx(l.node, 0)];
    for (int t = 0; t < nd_; ++t) out[t] = std::max(out[t], a[t] + d);
  }
  if (g_.kind[vi] == TN_LUT)
    for (int t = 0; t < nd_; ++t) out[t] += dm_.lut;
}

void TimingAnalysis::backwardNode(int v, double* out) const {
  const std::size_t vi = static_cast<std::size_t>(v);
  if (g_.isEnd(v)) {
    for (int t = 0; t < nd_; ++t) out[t] = endRequired(v, t);
    return;
  }
  std::fill(out, out + nd_, kNone);
  for (int i = g_.outStart[vi]; i < g_.outStart[vi + 1]; ++i) {
    const TimingGraph::Link& l = g_.out[static_cast<std::size_t>(i)];
    const int w = l.node;
    const double d = edges_[static_cast<std::size_t>(l.edge)].delay + nodeDelay(w);
    const double* r = &req_[idx(w, 0)];
    for (int t = 0; t < nd_; ++t) out[t] = std::min(out[t], r[t] - d);
  }
}

void TimingAnalysis::findPeriods(bool keep) {
  for (TimingDomain& d : domains_) {
    d.delay = d.need = 0;
    d.halfPeriod = false;
    d.end = d.launch = -1;
  }
  unrelatedEnds_ = 0;
  for (int v = 0; v < g_.numNodes(); ++v) {
    if (!g_.isEnd(v) || (g_.kind[static_cast<std::size_t>(v)] == TN_REG_IN && g_.clock[static_cast<std::size_t>(v)] < 0))
      continue;
    bool unrelated = false;
    for (int t = 0; t < nd_; ++t) {
      const double a = arrival(v, t);
      if (a == kNever) continue;
      bool half = false;
      const int k = timedIn(v, t, half);
      if (k < 0) {
        unrelated = true;
        continue;
      }
      const double delay = a + endMargin(v);
      const double need = half ? 2 * delay : delay;
      TimingDomain& d = domains_[static_cast<std::size_t>(k)];
      if (d.end < 0 || need > d.need) {
        d.delay = delay;
        d.need = need;
        d.halfPeriod = half;
        d.end = v;
        d.launch = t;
      }
    }
    if (unrelated) ++unrelatedEnds_;
  }
  if (keep) return;
  std::fill(period_.begin(), period_.end(), 0.0);
  portsPeriod_ = givenPorts_;
  bool clockTimed = false;
  for (const TimingDomain& d : domains_) {
    if (d.isPorts()) {
      if (givenPorts_ <= 0) portsPeriod_ = d.need;
    } else {
      double& p = period_[static_cast<std::size_t>(d.clock)];
      const double given = givenPeriod_[static_cast<std::size_t>(d.clock)];
      p = given > 0 ? given : std::max(p, d.need);
      clockTimed = clockTimed || d.timed();
    }
  }
  if (loosePorts_ && clockTimed && givenPorts_ <= 0) portsPeriod_ = kNone;
}

void TimingAnalysis::summarize() {
  std::fill(norm_.begin(), norm_.end(), 0.0);
  std::vector<int> counted(static_cast<std::size_t>(nd_), -1);
  for (TimingDomain& d : domains_) {
    d.worstSlack = kNone;
    d.ends = 0;
  }
  for (int k = 0; k < nd_; ++k) {
    TimingDomain& d = domains_[static_cast<std::size_t>(k)];
    d.period = periodOfDomain(k);
    d.periodGiven = d.isPorts() ? givenPorts_ > 0 : givenPeriod_[static_cast<std::size_t>(d.clock)] > 0;
  }
  for (int v = 0; v < g_.numNodes(); ++v) {
    if (!g_.isEnd(v)) continue;
    for (int t = 0; t < nd_; ++t) {
      const double a = arrival(v, t);
      if (a == kNever) continue;
      bool half = false;
      const int k = timedIn(v, t, half);
      if (k < 0) continue;
      const double p = periodOfDomain(k);
      if (p == kNone) continue;  // ports left untimed (setLoosePorts)
      norm_[static_cast<std::size_t>(t)] = std::max(norm_[static_cast<std::size_t>(t)], half ? p / 2 : p);
      TimingDomain& d = domains_[static_cast<std::size_t>(k)];
      d.worstSlack = std::min(d.worstSlack, required(v, t) - a);
      if (counted[static_cast<std::size_t>(k)] != v) {
        counted[static_cast<std::size_t>(k)] = v;
        ++d.ends;
      }
    }
  }
}

void TimingAnalysis::analyse(bool keepPeriods) {
  if (threadsFor(edges_.size()) == 2) {
    propagateOnTwo(keepPeriods);
  } else {
    for (EdgeRec& r : edges_)
      r.delay = delayAt(r.kind, pos_[static_cast<std::size_t>(r.unitA)], pos_[static_cast<std::size_t>(r.unitB)]);
    for (int v : g_.order) forwardNode(v, &arr_[idx(v, 0)]);
    findPeriods(keepPeriods);
    for (auto it = g_.order.rbegin(); it != g_.order.rend(); ++it) backwardNode(*it, &req_[idx(*it, 0)]);
  }
  summarize();
  // Nothing is left to update.
  for (std::uint64_t k : fwdHeap_) inFwd_[static_cast<std::size_t>(nodeOf(k))] = 0;
  for (std::uint64_t k : bwdHeap_) inBwd_[static_cast<std::size_t>(nodeOf(k))] = 0;
  fwdHeap_.clear();
  bwdHeap_.clear();
  cost_ = 0;
  for (const EdgeRec& r : edges_) cost_ += r.weight * r.delay;
}

std::string TimingAnalysis::domainName(int k) const {
  const TimingDomain& d = domains_[static_cast<std::size_t>(k)];
  if (d.isPorts()) return "ports";
  return "clock " + g_.clocks[static_cast<std::size_t>(d.clock)]->name + (d.falling ? ", falling edge" : ", rising edge");
}

int TimingAnalysis::worstDomain() const {
  int worst = -1;
  for (int k = 0; k < nd_; ++k) {
    const TimingDomain& d = domains_[static_cast<std::size_t>(k)];
    if (d.isPorts() || !d.timed()) continue;
    if (worst < 0 || d.need > domains_[static_cast<std::size_t>(worst)].need) worst = k;
  }
  if (worst < 0 && portsDomain_ >= 0 && domains_[static_cast<std::size_t>(portsDomain_)].timed()) worst = portsDomain_;
  return worst;
}

double TimingAnalysis::worstNeed(int& end, int& launch, double above, double* excess) {
  // The list of the timed paths' ends, made at the first call: a design
  // placed without the straightening (all those of more than 300,000
  // units) never holds it (30 MB at a million components).
  if (!endsListed_) {
    endsListed_ = true;
    for (int v = 0; v < g_.numNodes(); ++v) {
      if (!g_.isEnd(v)) continue;  // (timedIn() turns down a register without a clock)
      for (int t = 0; t < nd_; ++t) {
        bool half = false;
        const int k = timedIn(v, t, half);
        if (k >= 0) endPaths_.push_back(EndPath{v, t, endMargin(v), half, k == portsDomain_});
      }
    }
  }
  // The clock domains' worst, else the ports' (worstDomain()).
  double clockNeed = 0, portsNeed = 0, clockExcess = 0, portsExcess = 0;
  int clockEnd = -1, clockLaunch = -1, portsEnd = -1, portsLaunch = -1;
  for (const EndPath& e : endPaths_) {
    const double a = arrival(e.node, e.launch);
    if (a == kNever) continue;
    const double delay = a + e.margin;
    const double need = e.half ? 2 * delay : delay;
    if (e.ports) {
      if (need > above) portsExcess += need - above;
      if (portsEnd < 0 || need > portsNeed) portsNeed = need, portsEnd = e.node, portsLaunch = e.launch;
    } else {
      if (need > above) clockExcess += need - above;
      if (clockEnd < 0 || need > clockNeed) clockNeed = need, clockEnd = e.node, clockLaunch = e.launch;
    }
  }
  if (clockEnd >= 0) {
    end = clockEnd;
    launch = clockLaunch;
    if (excess != nullptr) *excess = clockExcess;
    return clockNeed;
  }
  if (excess != nullptr) *excess = portsExcess;
  end = portsEnd;
  launch = portsLaunch;
  return portsNeed;
}

double TimingAnalysis::slack(int node) const {
  double s = kNone;
  for (int t = 0; t < nd_; ++t) {
    const double a = arrival(node, t);
    if (a != kNever) s = std::min(s, required(node, t) - a);
  }
  return s;
}

double TimingAnalysis::edgeSlack(int edge) const {
  const int u = g_.from[static_cast<std::size_t>(edge)], w = g_.to[static_cast<std::size_t>(edge)];
  if (g_.cut[static_cast<std::size_t>(edge)]) return kNone;
  const double d = edges_[static_cast<std::size_t>(edge)].delay + nodeDelay(w);
  double s = kNone;
  for (int t = 0; t < nd_; ++t) {
    const double a = arrival(u, t);
    if (a != kNever) s = std::min(s, required(w, t) - d - a);
  }
  return s;
}

double TimingAnalysis::criticality(int edge) const {
  if (g_.cut[static_cast<std::size_t>(edge)]) return 0;
  const int u = g_.from[static_cast<std::size_t>(edge)], w = g_.to[static_cast<std::size_t>(edge)];
  const double d = edges_[static_cast<std::size_t>(edge)].delay + nodeDelay(w);
  double best = 0;
  for (int t = 0; t < nd_; ++t) {
    const double a = arrival(u, t), r = required(w, t), norm = norm_[static_cast<std::size_t>(t)];
    if (a == kNever || r == kNone || norm <= 0) continue;
    best = std::max(best, std::min(1.0, 1 - (r - d - a) / norm));
  }
  return best;
}

std::vector<double> TimingAnalysis::netCriticality() const {
  std::vector<double> crit(static_cast<std::size_t>(m_.numNets()), 0.0);
  // Each net's figure is its own: the nets may be shared between threads.
  auto nets = [&](std::size_t b, std::size_t e) {
    for (std::size_t n = b; n < e; ++n) {
      const standin::Signal* s = m_.netSignal[n];
      if (s == nullptr || static_cast<std::size_t>(s->id) + 1 >= g_.signalStart.size()) continue;
      double c = 0;
      for (int i = g_.signalStart[static_cast<std::size_t>(s->id)]; i < g_.signalStart[static_cast<std::size_t>(s->id) + 1]; ++i) {
        const int e = g_.signalEdges[static_cast<std::size_t>(i)];
        if (g_.unit[static_cast<std::size_t>(g_.from[static_cast<std::size_t>(e)])] ==
            g_.unit[static_cast<std::size_t>(g_.to[static_cast<std::size_t>(e)])])
          continue;
        c = std::max(c, criticality(e));
      }
      crit[n] = c;
    }
  };
  inHalves(threadsFor(crit.size()) == 2, crit.size(), nets);
  return crit;
}

void TimingAnalysis::refreshCriticality(double exponent, double floor) {
  cost_ = 0;
  const CriticalityWeight weigh(exponent, floor);
  // The weights, on two threads for a large graph; the cost summed after
  // them, in the same order whatever the threads.
  inHalves(threadsFor(edges_.size()) == 2, edges_.size(), [&](std::size_t b, std::size_t e) {
    for (std::size_t k = b; k < e; ++k) edges_[k].weight = weigh(criticality(static_cast<int>(k)));
  });
  for (const EdgeRec& r : edges_) cost_ += r.weight * r.delay;
}

template <class F>
void TimingAnalysis::forMoved(const UnitMove* moves, int count, F f) const {
  // The connections' records and the other ends' positions are scattered
  // over memory on a large design: ask for all of them before using any.
  for (int k = 0; k < count; ++k) {
    const std::size_t u = static_cast<std::size_t>(moves[k].unit);
    for (int i = g_.unitStart[u]; i < g_.unitStart[u + 1]; ++i)
      __builtin_prefetch(&edges_[static_cast<std::size_t>(g_.unitEdges[static_cast<std::size_t>(i)])]);
  }
  for (int k = 0; k < count; ++k) {
    const int u = moves[k].unit;
    for (int i = g_.unitStart[static_cast<std::size_t>(u)]; i < g_.unitStart[static_cast<std::size_t>(u) + 1]; ++i) {
      const EdgeRec& r = edges_[static_cast<std::size_t>(g_.unitEdges[static_cast<std::size_t>(i)])];
      __builtin_prefetch(&pos_[static_cast<std::size_t>(r.unitA == u ? r.unitB : r.unitA)]);
    }
  }
  for (int k = 0; k < count; ++k) {
    const int u = moves[k].unit;
    const Pos here = clamped(moves[k].x, moves[k].y);
    for (int i = g_.unitStart[static_cast<std::size_t>(u)]; i < g_.unitStart[static_cast<std::size_t>(u) + 1]; ++i) {
      const int e = g_.unitEdges[static_cast<std::size_t>(i)];
      const EdgeRec& r = edges_[static_cast<std::size_t>(e)];
      const int other = r.unitA == u ? r.unitB : r.unitA;
      int j = 0;
      while (j < count && moves[j].unit != other) ++j;
      if (j < k) continue;  // both ends moved: done from the other end
      const Pos there = j < count ? clamped(moves[j].x, moves[j].y) : pos_[static_cast<std::size_t>(other)];
      f(e, r, delayAt(r.kind, here, there));
    }
  }
}

double TimingAnalysis::moveCost(const UnitMove* moves, int count) const {
  double change = 0;
  forMoved(moves, count, [&](int, const EdgeRec& r, double d) { change += r.weight * (d - r.delay); });
  return change;
}

// Between updates the queues are plain lists; update() makes them heaps.
void TimingAnalysis::queueForward(int v) {
  if (inFwd_[static_cast<std::size_t>(v)]) return;
  inFwd_[static_cast<std::size_t>(v)] = 1;
  fwdHeap_.push_back(key(g_.rank[static_cast<std::size_t>(v)], v));
  if (updating_) std::push_heap(fwdHeap_.begin(), fwdHeap_.end(), std::greater<std::uint64_t>());
}

void TimingAnalysis::queueBackward(int v) {
  if (inBwd_[static_cast<std::size_t>(v)]) return;
  inBwd_[static_cast<std::size_t>(v)] = 1;
  bwdHeap_.push_back(key(g_.rank[static_cast<std::size_t>(v)], v));
  if (updating_) std::push_heap(bwdHeap_.begin(), bwdHeap_.end());
}

void TimingAnalysis::move(const UnitMove* moves, int count) {
  forMoved(moves, count, [&](int e, const EdgeRec& r, double d) {
    if (d == r.delay) return;
    EdgeRec& w = edges_[static_cast<std::size_t>(e)];
    cost_ += w.weight * (d - w.delay);
    w.delay = d;
    if (g_.cut[static_cast<std::size_t>(e)]) return;
    queueForward(g_.to[static_cast<std::size_t>(e)]);
    queueBackward(g_.from[static_cast<std::size_t>(e)]);
  });
  for (int k = 0; k < count; ++k) pos_[static_cast<std::size_t>(moves[k].unit)] = clamped(moves[k].x, moves[k].y);
}

long TimingAnalysis::update(bool required) {
  long recomputed = 0;
  updating_ = true;
  std::make_heap(fwdHeap_.begin(), fwdHeap_.end(), std::greater<std::uint64_t>());
  std::make_heap(bwdHeap_.begin(), bwdHeap_.end());
  while (!fwdHeap_.empty()) {
    std::pop_heap(fwdHeap_.begin(), fwdHeap_.end(), std::greater<std::uint64_t>());
    const int v = nodeOf(fwdHeap_.back());
    fwdHeap_.pop_back();
    inFwd_[static_cast<std::size_t>(v)] = 0;
    ++recomputed;
    forwardNode(v, scratch_.data());
    double* a = &arr_[idx(v, 0)];
    if (std::equal(scratch_.begin(), scratch_.end(), a)) continue;
    std::copy(scratch_.begin(), scratch_.end(), a);
    const std::size_t vi = static_cast<std::size_t>(v);
    for (int i = g_.outStart[vi]; i < g_.outStart[vi + 1]; ++i) queueForward(g_.out[static_cast<std::size_t>(i)].node);
  }
  while (required && !bwdHeap_.empty()) {
    std::pop_heap(bwdHeap_.begin(), bwdHeap_.end());
    const int v = nodeOf(bwdHeap_.back());
    bwdHeap_.pop_back();
    inBwd_[static_cast<std::size_t>(v)] = 0;
    ++recomputed;
    backwardNode(v, scratch_.data());
    double* r = &req_[idx(v, 0)];
    if (std::equal(scratch_.begin(), scratch_.end(), r)) continue;
    std::copy(scratch_.begin(), scratch_.end(), r);
    const std::size_t vi = static_cast<std::size_t>(v);
    for (int i = g_.inStart[vi]; i < g_.inStart[vi + 1]; ++i) queueBackward(g_.in[static_cast<std::size_t>(i)].node);
  }
  updating_ = false;
  return recomputed;
}

}  // namespace qplace
