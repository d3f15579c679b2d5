// The annealing schedule of the detailed improvement, adapted to the design
// as it goes rather than fixed in advance.
//
// Temperature: set, round by round, so that a given share of the losing
// attempts would be accepted. The share falls geometrically from `first`
// in the first round to `last` in the last one; the temperature that gives
// it is solved for on the losses actually met (counted by their size), so
// a design of long nets and one of short ones, a fresh placement and a
// nearly frozen one, all anneal over the same range of acceptance. The
// first round's temperature comes from the losses of a sample of attempts
// made before any move.
//
// Range limit (how far, in clusters, a unit may be sent): multiplied after
// each round by (1 - 0.44 + acceptance), so that the share of accepted
// attempts stays near 0.44 while it can, between 1 and `maxRange`.
#ifndef QPLACE_ANNEAL_SCHEDULE_H
#define QPLACE_ANNEAL_SCHEDULE_H

#include <cstdint>
#include <vector>

namespace qplace {

// Losses of attempts, counted by size (a wirelength loss is a whole
// number): index d counts losses of d, the last index those of that size
// and more. Merging counts in any order gives the same counts.
struct LossCounts {
  static constexpr int kSizes = 128;
  std::int64_t count[kSizes] = {};
  void add(long loss) { ++count[loss < kSizes - 1 ? loss : kSizes - 1]; }
  void merge(const LossCounts& o) {
    for (int d = 0; d < kSizes; ++d) count[d] += o.count[d];
  }
  std::int64_t total() const;
  // Mean of exp(-loss / t) over the losses counted; 0 with none.
  double acceptance(double t) const;
  // The temperature at which that mean is `share` (0 < share < 1), to a
  // relative precision of 1e-6; 0 when no loss is counted.
  double temperatureFor(double share) const;
};

class AnnealSchedule {
public:
  // rounds >= 1; 0 < last <= first < 1; 1 <= startRange <= maxRange (a
  // range outside is taken at the nearest bound).
  AnnealSchedule(const LossCounts& sample, int rounds, double first, double last, double startRange,
                 double maxRange);

  int round() const { return round_; }
  int rounds() const { return rounds_; }
  bool done() const { return round_ >= rounds_; }
  double temperature() const { return t_; }
  int range() const;
  // The acceptance of losing attempts aimed at in the current round.
  double targetShare() const;

  // Ends the round: `attempts` legal attempts of which `accepted` were
  // made, and the losses met.
  void next(long attempts, long accepted, const LossCounts& losses);

private:
  int rounds_;
  int round_ = 0;
  double first_, last_, maxRange_;
  double range_;
  double t_;
};

}  // namespace qplace

#endif
