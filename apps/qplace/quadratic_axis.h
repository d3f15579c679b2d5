// One axis of quadratic placement: the bound-to-bound model of the nets at
// the current positions, with fixed units, anchors and a weak pull to the
// centre, solved with plQPLinearSystem from a start vector.
#ifndef QPLACE_QUADRATIC_AXIS_H
#define QPLACE_QUADRATIC_AXIS_H

#include <cstdint>
#include <memory>
#include <vector>

#include "qplace/packing.h"

namespace basAP {
class plQPLinearSystem;
}

namespace qplace {

// Where a solve starts.
enum class AxisStart {
  POSITIONS,  // the positions given (a re-weighting solve goes on from there)
  CENTRE,     // every variable at the centre, rounded down to a whole cluster
};

// What one solve did.
struct AxisRun {
  unsigned passes = 0;  // conjugate-gradient passes
};

// The system of one axis over the movable units, kept from one solve to the
// next. Both axes use this one class; an axis shares nothing with the other
// but what it reads, so the two can solve at the same time, each on a
// thread of its own, with the same result.
//
// The linear system is kept from one solve to the next, its matrix replaced
// whole at each, so that it holds exactly the connections of that solve
// rather than every connection it ever had (the bound-to-bound model moves
// a few percent of them at every solve).
//
// Memory: the linear system (about 14 bytes a variable and 12 an entry) is
// kept between solves, with 28 bytes a variable of work vectors, and so
// are the arrays of the bound-to-bound model (about 28 bytes a variable,
// 12 a connection and 8 a net), reused by the next solve.
class AxisSystem {
public:
  explicit AxisSystem(int numVars);
  ~AxisSystem();
  AxisSystem(const AxisSystem&) = delete;
  AxisSystem& operator=(const AxisSystem&) = delete;

  // Builds the system from the nets of m at positions pos (the coordinate
  // of every unit on this axis), solves it and writes the solution to the
  // movable units' pos. var[u]: variable of unit u, or -1 for a unit fixed
  // where pos has it; anchor / anchorW: per variable, weight 0 for none.
  // The solve stops when the measure of plQPLinearSystem::Solve is at most
  // tolerance times the sum of the diagonal, or after maxPasses passes.
  // The numbering of the units' variables in the system is made at the
  // first call, from that call's var and nets: later calls must give the
  // same var (their nets may differ).
  // Cost: O(pins + connections log(row length)) to build, plus the passes,
  // each O(variables + connections).
  AxisRun solve(const Model& m, const std::vector<int>& var, std::vector<double>& pos,
                const std::vector<double>& anchor, const std::vector<double>& anchorW, double centre,
                unsigned maxPasses, double tolerance, AxisStart start);

private:
  int n_;
  std::unique_ptr<basAP::plQPLinearSystem> sys_;
  // The model's arrays, kept for the next solve.
  struct ModelArrays;
  std::unique_ptr<ModelArrays> model_;
  // at_[v]: row of variable v in sys_, numbered so that connected units lie
  // close together (made at the first solve); empty before it.
  std::vector<int> at_;
  // slotOf_[u]: the row of unit u's variable, or for a fixed unit a slot of
  // its own from n_ on; slots_ in all. Made with at_.
  std::vector<int> slotOf_;
  int slots_ = 0;
};

}  // namespace qplace

#endif
