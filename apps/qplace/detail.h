// Detailed improvement of a legal placement on the half-perimeter
// wirelength.
//
// Greedy passes first: each cluster, in turn, trades its whole contents
// with a cluster around its optimal region, and each unit is moved to a
// free place or swapped with a unit of a BLE in the clusters around its
// optimal region (the median of the boxes of its nets without it), an I/O
// unit to a free site or another I/O unit's site along the border, when
// that lowers the wirelength.
//
// Then an annealing of unit moves and swaps, I/O moves along the border and
// trades of the registers of two whole register groups (which moves a
// control set's group where single registers may not go), in rounds. Each
// round cuts the device into square regions (detail_regions.h) that are
// annealed at the same time on `threads` threads: a region moves only its
// own units within its own clusters and sites, and sees the other regions'
// units where they were when the round began; after the round the
// wirelength is recounted exactly. The cut and every region's random
// stream depend on the seed and the round only, so the result is the same
// for any number of threads. The schedule (anneal_schedule.h) sets each
// round's temperature from the losses met and its range from the share of
// attempts accepted. Every few rounds (passTries) a greedy pass of the
// units, by regions as the rounds are, moves each unit to the best place
// around its optimal region, which the random tries rarely find once the
// annealing is cold. Every greedy pass, before, within or after the
// annealing, runs by regions on the threads, each with a cut of its own.
//
// The best placement seen at the end of a pass or round is kept and
// restored when the annealing ends longer. Then the I/O units are matched
// to the border's sites (detail_worker.h, matchIo): in sets sharing no
// net, each set reassigned at once at the least total price, which makes
// the chains of moves, one unit making room for the next, that single
// moves and swaps rarely do; then greedy passes while they gain. So the
// result is never longer than the placement given. Every change is checked
// against the register rules before it is made, so the placement stays
// legal throughout, and against the placement's rules (fixed units never
// move, region-bound ones only within their rectangles).
//
// Timing-driven (a DetailTiming given): every price, of the greedy passes
// and of the annealing, adds the timing term of detail_timing.h, with
// weights renewed before each greedy pass and, in the annealing, before
// the first round that follows as many attempts as the design has timing
// connections (every round on small designs, every few on large ones).
// Each renewal analyses the placement, and the best placement seen is then
// the one of lowest figure (1 - F) * wl / wl0 + F * cp / cp0 (wl the
// wirelength, cp the critical path, wl0 and cp0 the placement given's)
// among those no longer than the placement given; it is restored at the
// end of the annealing and again after the last greedy passes when the
// placement then is not it. So the result is still never longer than the
// placement given, and its figure never higher, though its critical path
// alone may be longer when the wirelength gained outweighs it. Last, the
// critical path's own units are moved between their neighbours on it
// (detail_straighten.cpp), a move at a time, each measured by the
// analysis, while one lowers the figure or the paths near the critical
// one; the placement of lowest figure passed is kept, its critical path
// no longer than before.
//
// Cost: each attempt and greedy trial costs the pins of the nets of the
// units it moves (a net is rescanned only when a unit leaves an edge of its
// box that no other unit holds, for a place inside the box); each round
// costs the pins of the units moved and of every unit once, to copy the
// regions' boxes. Memory: a few integers per unit and per net, and as many
// again per thread. Parameters out of their range are taken at the
// nearest sensible value (fewer than one thread as one, a region side
// below 1 as the whole device).
#ifndef QPLACE_DETAIL_H
#define QPLACE_DETAIL_H

#include <cstdint>

#include "qplace/global_place.h"

namespace qplace {
class DetailTiming;
}

namespace qplace {

struct DetailParams {
  int maxPasses = 1;
  double minGain = 0.002;  // stop when a pass gains less than this share
  int radius = 1;          // clusters around the optimal region that are tried
  // Annealing after the greedy passes: tries per unit (I/O included), at
  // most annealCap in all (so designs of up to about 35,700 units make
  // their tries, annealGrowFrom's growth included); 0 for none.
  double annealMoves = 525;
  double annealCap = 5e7;
  // Above this many units the tries per unit grow as the square root of
  // the units over it (four times the units, twice the tries a unit),
  // until annealCap binds: a larger placement needs more tries a unit to
  // settle, and its run has the time (aes's 12,273 units: 1.57 times,
  // 0.9% shorter over seeds 1 to 9, 2.4 s end to end). Designs up to it,
  // picorv32's 4,943 units among them, keep annealMoves. 0 for none.
  double annealGrowFrom = 5000;
  // Tries per unit in a round: a longer annealing has more rounds, so its
  // temperature falls more slowly; at least minRounds.
  double roundTries = 5;
  int minRounds = 10;
  // Tries per unit between the annealing's greedy passes of the units
  // (each unit to the best place around its optimal region, as in the
  // passes before); 0 for none.
  double passTries = 15;
  // Share of the losing attempts accepted in the first round and in the
  // last (geometrically in between). The first is that of an annealing of
  // 200 tries per unit; a longer one starts warmer, by the power 0.75 of
  // its length (at most 0.2): with time to spare, it pays to undo more of
  // the placement it was given. A design whose units carry less wirelength
  // than unitWirelength each (clusters, after the greedy passes) starts
  // colder, in proportion: its moves cost little, and the same share of
  // losing attempts accepted scrambles more of its wirelength (a memory
  // built of registers, whose bits sit beside their write logic, carries
  // about 1 a unit; logic designs 2.2 to 3). 0 for no such cooling.
  double firstAcceptance = 0.01;
  double unitWirelength = 2.5;
  double lastAcceptance = 0.0005;
  // Range limit in clusters (for an I/O unit, border positions): at the
  // start, and at most.
  double startRange = 3;
  double maxRange = 6;
  int regionSide = 8;             // clusters; 0 anneals the whole device as one region
  int threads = 2;                // the result does not depend on it
  double towardsOptimum = 0.6;    // share of attempts aimed at the unit's optimal region
  double setAim = 0.6;            // share of a register's attempts aimed at a group of its set
  double groupTrades = 0.1;       // share of a register's attempts that trade its whole group
  bool moveIo = true;             // false: the I/O units keep their sites
  // I/O matching after the annealing: border positions each way around an
  // I/O unit's site (and its optimal region's) that it is offered; 0 for
  // none.
  int ioMatchReach = 16;
  int finalPasses = 3;            // greedy passes after the annealing, at most, while they gain
  // With timing, the placement is measured (an analysis, the prices' weights
  // left as they are) before a round of the annealing's second half, at most
  // this many times, evenly spaced, and the best placement seen is taken
  // among these measures too: the critical path wanders by a few percent
  // from one renewal of the weights to the next while the wirelength barely
  // moves. A measure costs a full analysis (about 1% of nerv's
  // instructions for its 30; half a second each at a million components,
  // where qplace turns them off). 0 for none.
  int timingMeasures = 30;
  // With timing, moves of the critical path's units at the end
  // (detail_straighten.cpp), at most this many; 0 for none.
  int straightenMoves = 400;
  std::uint64_t seed = 1;
};

struct DetailResult {
  int passes = 0;  // greedy passes before the annealing
  int rounds = 0;  // annealing rounds
  long moves = 0;
  long swaps = 0;
  long clusterSwaps = 0;
  long groupTrades = 0;
  long ioMoves = 0;       // I/O units moved or swapped
  int straightened = 0;   // moves of the critical path's units kept at the end (counted in moves and swaps too)
  bool restored = false;  // the annealing ended longer than the best seen, which was restored
  double before = 0, after = 0;  // wirelength
};

// The share of losing attempts accepted in the annealing's first round, for
// an annealing of `triesPerUnit` tries a unit starting from `wirePerUnit`
// clusters of wirelength a unit (firstAcceptance, warmer for a longer
// annealing, cooler for a design of short wires: see DetailParams), within
// [lastAcceptance, 0.2], never below lastAcceptance. O(1).
double firstAcceptanceFor(const DetailParams& params, double triesPerUnit, double wirePerUnit);

// Improves p in place; never returns it longer. Each greedy pass and
// annealing round is a step of `progress`; the long loops of a greedy
// pass pulse it. With `timing`, timing-driven as above: its analysis must
// be of p's design and model, and is left at some placement of the run.
DetailResult improve(Placement& p, const DetailParams& params, Progress& progress, DetailTiming* timing = nullptr);

}  // namespace qplace

#endif
