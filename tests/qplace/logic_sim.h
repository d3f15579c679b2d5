// A simulator of a LogicNetlist at the level of its cells, for equivalence
// tests: two netlists fed the same input values must show the same outputs
// and register states after every step.
//
// Nets have the values 0 and 1. A net is driven by an input port bit (set
// with setInput), a LUT or a register's Q; a net driven by nothing, and the
// constants "x" and "z", read as 0. settle() brings the netlist to rest
// after inputs changed: LUTs are evaluated in topological order; every
// flip-flop whose clock net went to its active level since the last settle
// takes its next state (all of them from the values before any changes,
// as on a common edge); a latch follows its next state while its gate is
// active; asynchronous controls act whenever active, by the priority of
// logic_netlist.h. The clock values of the first settle are no edges. This repeats until nothing changes, so clocks and
// asynchronous controls made by the logic itself work too.
#ifndef QPLACE_TESTS_LOGIC_SIM_H
#define QPLACE_TESTS_LOGIC_SIM_H

#include <vector>

#include "qplace/logic_netlist.h"

namespace qplace {

class LogicSim {
public:
  // Throws std::invalid_argument when the LUTs form a loop, or when a net
  // has more than one driver among LUTs and registers.
  explicit LogicSim(const LogicNetlist& ln);

  void setInput(NetId n, bool v);   // n must be a net (>= 0)
  void setQ(int reg, bool v);       // a register's state, as at power-up
  // Settles the netlist; throws std::runtime_error when it oscillates.
  void settle();

  bool value(NetId n) const;        // a net's value, or a constant's
  bool q(int reg) const { return q_[static_cast<std::size_t>(reg)] != 0; }

private:
  void evaluate();

  const LogicNetlist& ln_;
  std::vector<int> order_;          // LUTs in topological order
  std::vector<char> val_;           // per net
  std::vector<char> input_;         // per net: its value when it is an input
  std::vector<char> isInput_;
  std::vector<char> q_, lastClock_; // per register
  bool started_ = false;
};

}  // namespace qplace

#endif
