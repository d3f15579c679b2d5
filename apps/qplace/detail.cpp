// Detailed improvement: greedy passes over the whole device, then an
// annealing by regions on several threads (the workers of
// detail_worker.h), keeping the best placement seen.
#include "qplace/detail.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <system_error>
#include <thread>

#include "qplace/detail_worker.h"
#include "qplace/placement_rules.h"

namespace qplace {

namespace {

using improvement::Counts;
using improvement::Rng;
using improvement::Shared;
using improvement::Worker;
using improvement::streamSeed;

// Annealing rounds between renewals of the units' optimal regions.
constexpr int kAimRounds = 4;
// The cuts of the greedy passes: those of rounds from this one on, which
// no annealing reaches.
constexpr int kGreedyCuts = 1 << 20;
// Tries per unit of the annealing whose first acceptance is the one given.
constexpr double kPlainTries = 200;
// The first round's acceptance, at most: a warmer start undoes more of
// the placement than even a long annealing rebuilds.
constexpr double kWarmest = 0.2;
// Attempts of the annealing between renewals of the timing weights, per
// connection of the timing graph. A renewal analyses the whole design
// (nerv: 6.7 million instructions each, 58 renewals after as many
// attempts as connections, 6% of the run's instructions); after twice as
// many the critical path stayed the same within the seeds' spread (over
// seeds 1 to 16 of nerv and aes: -16.3% and -14.2% against -16.9% and
// -13.7%).
constexpr double kAttemptsPerConnection = 2;
// Renewals of the timing weights in an annealing, at most. A small design
// anneals many more tries than it has connections (qplace asks for 1.25
// million at least, PlacerOptions::minAnnealTries): renewing after so few
// tries would analyse it hundreds of times.
constexpr double kMostRefreshes = 50;

// Runs the workers over the regions and keeps the shared state exact and
// the best placement seen.
class Driver {
public:
  Driver(Placement& p, const DetailParams& params, Progress& progress, DetailTiming* timing)
      : s_(p), params_(params), timing_(timing) {
    const int threads = std::max(1, params.threads);
    for (int k = 0; k < threads; ++k)
      workers_.push_back(std::make_unique<Worker>(s_, params_, k == 0 ? &progress : nullptr));
    bestLoc_ = p.loc;
    bestTotal_ = s_.total;
    dirty_.assign(static_cast<std::size_t>(s_.m.numUnits()), 0);
    if (timing_ != nullptr) {
      s_.timing = timing_;
      startCritical_ = timing_->refresh(p, s_.total);
      bestFigure_ = timing_->figure(s_.total, startCritical_, bestTotal_, startCritical_);
      fresh_ = true;
    }
  }

  long long total() const { return s_.total; }
  // The annealing to come makes about `attempts` attempts in all over
  // `rounds` rounds.
  void planAnnealing(double attempts, int rounds) {
    if (timing_ == nullptr) return;
    refreshAttempts_ = static_cast<long>(
        std::max(kAttemptsPerConnection * timing_->analysis().graph().numEdges(), attempts / kMostRefreshes));
    // The measures between the renewals (DetailParams::timingMeasures),
    // evenly spaced over the annealing's second half.
    const int most = params_.timingMeasures;
    if (most <= 0) return;
    measureFrom_ = rounds / 2;
    measureEvery_ = std::max(1, (rounds - measureFrom_ + most - 1) / most);
  }
  const Counts& counts() const { return counts_; }

  // One greedy pass, by regions on the threads (one region of everything
  // when the regions are off); returns the wirelength gained. A pass of
  // the units alone, within the annealing, neither renews the timing
  // weights nor measures the placement: the rounds around it do.
  long long greedyPass(bool unitsOnly = false) {
    if (!unitsOnly) checkpoint();
    const long long before = s_.total;
    // A cut of its own, that of no annealing round.
    overRegions(kGreedyCuts + greedyPasses_++, [&](Worker& w, int) {
      if (!unitsOnly) w.clusterPass();
      w.unitPass();
    });
    return before - s_.total;
  }

  // The I/O units matched to the sites of the whole device; returns the
  // wirelength gained.
  long long matchIo(int reach) {
    checkpoint();
    const long long before = s_.total;
    whole();
    Worker& w = *workers_[0];
    w.open(0);
    w.matchIo(reach);
    finish();
    return before - s_.total;
  }

  // With timing: the critical path's units moved to shorten it, on the
  // placement as it is (the best seen, when called after restoreBest());
  // returns the moves made.
  int straighten(int most) {
    if (timing_ == nullptr || most <= 0) return 0;
    // The analysis at the placement as it is.
    checkpoint();
    whole();
    Worker& w = *workers_[0];
    w.open(0);
    const int made = w.straighten(timing_->analysis(), startTotal(), startCritical_, most);
    finish();
    return made;
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
    // The timing weights are renewed when the attempts since the last
    // renewal have outnumbered the connections twice (and a share of the
    // whole annealing, see kMostRefreshes): an analysis then costs a small
    // share of the annealing, whatever the design's size.
    if (timing_ != nullptr && attemptsSinceRefresh_ >= refreshAttempts_) {
      checkpoint();
      attemptsSinceRefresh_ = 0;
    } else if (timing_ != nullptr && round >= measureFrom_ && (round - measureFrom_) % measureEvery_ == 0) {
      measure();
    }
    // The optimal regions move slowly: renewed every few rounds.
    if (round % kAimRounds == 0) ++s_.aims;
    const Counts all = overRegions(round, [&](Worker& w, int r) {
      Rng rng(streamSeed(params_.seed, round, r));
      const long tries = std::lround(perUnit * static_cast<double>(s_.units[static_cast<std::size_t>(r)].size()));
      w.anneal(tries, t, range, rng);
    });
    attemptsSinceRefresh_ += all.attempts;
    return all;
  }

  // Back to the best placement seen when the current one is longer.
  bool restoreBest() {
    if (timing_ != nullptr) {
      checkpoint();
      if (dirtyList_.empty()) return false;  // the placement is the best seen
    } else if (s_.total <= bestTotal_) {
      return false;
    }
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
    fresh_ = false;
    return true;
  }

private:
  // Runs work(worker, region) over the regions of the cut for `round`, on
  // the threads, each region on a worker opened on it; then makes the
  // shared state exact. Returns the counts of the regions, summed in
  // region order, so nothing depends on which thread took which region.
  template <class Work>
  Counts overRegions(int round, const Work& work) {
    s_.regions = makeRegions(s_.f, params_.regionSide, round);
    assignUnits();
    const int regions = s_.regions.count;
    std::atomic<int> next{0};
    std::vector<Counts> counts(static_cast<std::size_t>(regions));
    moved_.assign(static_cast<std::size_t>(regions), {});
    std::vector<long long> gains(static_cast<std::size_t>(regions), 0);
    // The largest regions first, so that the threads end the round
    // together rather than one waiting on the other's last large region.
    std::vector<int> order(static_cast<std::size_t>(regions));
    for (int r = 0; r < regions; ++r) order[static_cast<std::size_t>(r)] = r;
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
      return s_.units[static_cast<std::size_t>(a)].size() > s_.units[static_cast<std::size_t>(b)].size();
    });
    auto run = [&](Worker& w) {
      for (int k = next++; k < regions; k = next++) {
        const int r = order[static_cast<std::size_t>(k)];
        w.open(r);
        work(w, r);
        counts[static_cast<std::size_t>(r)] = w.counts();
        moved_[static_cast<std::size_t>(r)] = w.moved();
        gains[static_cast<std::size_t>(r)] = w.gain();
      }
    };
    const int threads = std::min(static_cast<int>(workers_.size()), regions);
    std::vector<std::thread> pool;
    try {
      for (int k = 1; k < threads; ++k) pool.emplace_back(run, std::ref(*workers_[static_cast<std::size_t>(k)]));
    } catch (const std::system_error&) {
      // No thread to be had: the threads there are (this one at least)
      // take every region, with the same result.
    }
    run(*workers_[0]);
    for (std::thread& th : pool) th.join();
    Counts all;
    for (const Counts& c : counts) all.merge(c);
    const long long before = s_.total;
    merge();
    // One region sees everything as it is: its prices were exact.
    assert(regions > 1 || before - s_.total == gains[0]);
    (void)before;
    counts_.merge(all);
    return all;
  }

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
      if (s_.p.rules != nullptr && s_.p.rules->fixed(u)) continue;
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
    if (!all.empty()) fresh_ = false;
    // With timing the best is taken where the placement is measured.
    if (timing_ == nullptr && s_.total < bestTotal_) {
      for (int u : dirtyList_) {
        bestLoc_[u] = s_.p.loc[u];
        dirty_[u] = 0;
      }
      dirtyList_.clear();
      bestTotal_ = s_.total;
    }
  }
  // With timing: analyses the placement unless nothing moved since the
  // last analysis, renewing the weights of the prices, and takes it as the
  // best when it is no longer than the placement given and its figure
  // (wirelength and critical path against the given one's) is lower.
  void checkpoint() {
    if (timing_ == nullptr || fresh_) return;
    const double cp = timing_->refresh(s_.p, s_.total);
    fresh_ = true;
    consider(cp);
  }
  // With timing: measures the placement, the weights of the prices left as
  // they are (the next checkpoint still renews them), and takes it as the
  // best when it is.
  void measure() {
    if (timing_ == nullptr || fresh_) return;
    consider(timing_->measure(s_.p));
  }
  // Takes the placement, of critical path cp, as the best when it is.
  void consider(double cp) {
    const double figure = timing_->figure(s_.total, cp, startTotal(), startCritical_);
    if (s_.total <= startTotal() && figure < bestFigure_) {
      for (int u : dirtyList_) {
        bestLoc_[u] = s_.p.loc[u];
        dirty_[u] = 0;
      }
      dirtyList_.clear();
      bestFigure_ = figure;
      bestTotal_ = s_.total;
    }
  }
  long long startTotal() const { return startTotal_; }

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
  std::vector<std::unique_ptr<Worker>> workers_;
  std::vector<std::vector<int>> moved_;  // per region: units moved in the round
  Counts counts_;
  std::vector<int> bestLoc_;
  long long bestTotal_ = 0;
  std::vector<char> dirty_;  // per unit: moved since the best was taken
  std::vector<int> dirtyList_;
  std::vector<char> netSeen_;
  // With timing: the figures of the placement given, of the best seen,
  // and whether the analysis is of the placement as it is.
  DetailTiming* timing_;
  long long startTotal_ = s_.total;
  double startCritical_ = 0;
  double bestFigure_ = 0;
  bool fresh_ = false;
  long attemptsSinceRefresh_ = 0;
  int greedyPasses_ = 0;
  long refreshAttempts_ = 0;
  // The rounds measured between renewals: from measureFrom_ on, every
  // measureEvery_-th (none before planAnnealing()).
  int measureFrom_ = std::numeric_limits<int>::max();
  int measureEvery_ = 1;
};

}  // namespace

double firstAcceptanceFor(const DetailParams& params, double triesPerUnit, double wirePerUnit) {
  const double share = params.unitWirelength > 0 ? wirePerUnit / params.unitWirelength : 1.0;
  const double cooler = share >= 1 ? 1.0 : share > 0 ? share : 0.0;  // NaN as 0
  const double first = cooler * params.firstAcceptance * std::pow(triesPerUnit / kPlainTries, 0.75);
  const double lo = params.lastAcceptance, hi = std::max(lo, kWarmest);
  return first > lo ? std::min(first, hi) : lo;  // NaN as lo
}

DetailResult improve(Placement& p, const DetailParams& params, Progress& progress, DetailTiming* timing) {
  DetailResult res;
  Driver drv(p, params, progress, timing);
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
  const double growth = params.annealGrowFrom > 0 && movable > params.annealGrowFrom
                            ? std::sqrt(movable / params.annealGrowFrom)
                            : 1.0;
  const double budget = std::min({params.annealMoves * growth * movable, params.annealCap, 1e15});
  if (budget >= 1 && movable > 0) {
    // At least one try per unit in a round.
    const int rounds = static_cast<int>(std::min(1e6, std::max(budget / movable / std::max(1.0, params.roundTries),
                                                               static_cast<double>(std::max(1, params.minRounds)))));
    const LossCounts sample = drv.sample(std::clamp(2 * movable, 200, 20000), static_cast<int>(params.startRange));
    const double first =
        firstAcceptanceFor(params, budget / movable, static_cast<double>(drv.total()) / movable);
    AnnealSchedule sched(sample, rounds, first, params.lastAcceptance, params.startRange, params.maxRange);
    const double perUnit = budget / rounds / movable;
    // Rounds between the greedy passes of the units; 0 for none.
    const int passEvery =
        params.passTries > 0 ? static_cast<int>(std::clamp(std::round(params.passTries / perUnit), 1.0, rounds + 1.0)) : 0;
    drv.planAnnealing(budget, rounds);
    while (!sched.done()) {
      const Counts c = drv.anneal(sched.round(), perUnit, sched.temperature(), sched.range());
      if (progress.due()) {
        char text[200];
        std::snprintf(text, sizeof text, "  annealing round %d: temperature %.3g, range %d, %ld of %ld accepted, hpwl %lld",
                      sched.round() + 1, sched.temperature(), sched.range(), c.accepted, c.attempts, drv.total());
        progress.step(text);
      }
      sched.next(c.attempts, c.accepted, c.losses);
      // Every few rounds, each unit to the best place around its optimal
      // region: the annealing's random tries rarely find it once cold.
      if (passEvery > 0 && sched.round() % passEvery == 0 && !sched.done()) drv.greedyPass(true);
    }
    res.rounds = rounds;
    res.restored = drv.restoreBest();
    // The I/O units where the logic ended: matched afresh, in chains of
    // moves the annealing's single ones rarely make.
    if (params.moveIo && params.ioMatchReach > 0) drv.matchIo(params.ioMatchReach);
    // Greedy passes while they gain: the annealing ends before a freeze.
    for (int k = 0; k < params.finalPasses; ++k)
      if (drv.greedyPass() < params.minGain * static_cast<double>(drv.total())) break;
    line("annealing and last pass");
  }
  // A greedy pass by regions may lengthen the wirelength where the moves
  // of neighbouring regions meet, and with timing one may lengthen it for
  // a shorter critical path: the best placement seen is measured at the
  // end too.
  if (drv.restoreBest()) res.restored = true;
  // The critical path's own units moved between their neighbours on it,
  // which the prices' pull on all critical connections at once does not
  // do; the placement it keeps has a lower figure than the best seen (the
  // check after it restores the best otherwise).
  if (timing != nullptr && params.straightenMoves > 0) {
    res.straightened = drv.straighten(params.straightenMoves);
    if (res.straightened > 0 && drv.restoreBest()) {
      res.restored = true;
      res.straightened = 0;  // the best seen was better after all: the moves are undone
    }
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
