// Static timing analysis of a placed design, full and incremental, and the
// criticality of its connections.
//
// Domains. Every (clock, edge) of the registers is a clock domain; paths
// that start or end at a port form one more domain, "ports". Arrival and
// required times are kept per node for every launching domain (the launch
// is the domain's clock edge for its registers' Q, the port's own time for
// input ports), relative to that launch, so a node reached from two
// domains knows both. A path is timed by where it ends:
//   - register to register of the same clock and edge: one period;
//   - register to register of the two edges of one clock: half a period
//     (rising to falling, or falling to the next rising); such a path
//     needs twice its delay as the clock's period;
//   - register to register of two different clocks: not timed (the clocks
//     are taken as unrelated), counted in `unrelatedEnds`;
//   - from an input port, or to an output port: the ports domain, one
//     period of its own.
// A path's delay is its arrival at the end plus the register's setup (or
// the output port's io_out). A clock with a period given is checked
// against it; one without is timed at the period it can reach: the largest
// delay (twice it for half-period paths) over its domains, so that its
// critical path has zero slack. Likewise the ports domain.
//
// Positions are per unit (cluster column and row as Placement gives them,
// I/O sites on the border counting as the cluster beside them); they may
// be fractional, as in global placement, and the delay between them is
// then interpolated (DelayTable::between).
//
// Incremental use by an annealer: moveCost() prices a proposed move with
// the connection weights of the last refreshCriticality(), move() makes it
// (positions, connection delays, the cost), and update() brings arrival
// and required times up to date for everything moved since: forward from
// the connections whose delay changed, in topological order, each node
// recomputed once and propagation stopping where nothing changes, then
// likewise backward. Periods stay those of the last analyse() until the
// next one (the critical path may change meanwhile), and so do the
// domains' figures and the criticalities' scale; update() gives exactly
// the times a full analyse(true) would. moveCost() and move() read the
// connections of the moved units only; update() recomputes the nodes whose
// times change and their neighbours, each over all its inputs (forward) or
// loads (backward), so a driver of many loads costs them all (about 30
// nodes a move on picorv32 and on generated designs; see bench_timing).
//
// Times are in picoseconds. Memory: 16 bytes per node and domain, 24 per
// edge, 4 per level of the graph (its depth). A model of 2^29 units or
// more throws std::length_error.
#ifndef QPLACE_TIMING_ANALYSIS_H
#define QPLACE_TIMING_ANALYSIS_H

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "qplace/fabric.h"
#include "qplace/timing/clock_periods.h"
#include "qplace/timing/delay_table.h"
#include "qplace/timing/timing_graph.h"

namespace qplace {

struct UnitMove {
  int unit;
  double x, y;
};

// A domain and what the last analysis found in it.
struct TimingDomain {
  int clock = -1;         // number in the graph's clocks; -1 for the ports domain
  bool falling = false;
  bool periodGiven = false;
  double period = 0;      // of its clock (or of the ports domain), ps; 0 with no timed path
  // Its critical path: the timed path needing the longest period.
  double delay = 0;       // its delay, ps; 0 with no timed path
  double need = 0;        // the period it needs: delay, or twice it across edges
  bool halfPeriod = false;
  int end = -1, launch = -1;  // its end node and launching domain; -1 for none
  double worstSlack = std::numeric_limits<double>::infinity();
  int ends = 0;           // end nodes with a path timed in this domain

  bool isPorts() const { return clock < 0; }
  bool timed() const { return end >= 0; }
  // The frequency its critical path allows, MHz (0 with none).
  double mhz() const { return need > 0 ? 1e6 / need : 0; }
};

class TimingAnalysis {
public:
  static constexpr double kNone = std::numeric_limits<double>::infinity();

  // The graph, table and model must outlive the analysis. Positions start
  // at (1, 1) for every unit.
  TimingAnalysis(const TimingGraph& graph, const Model& model, const DelayTable& table, const DelayModel& delays);

  const TimingGraph& graph() const { return g_; }
  const DelayModel& delays() const { return dm_; }

  // Clock periods by clock net name (nanoseconds); a clock not named, and
  // the ports without a period, are timed at what they reach.
  void setPeriods(const ClockPeriods& periods);

  // Unit positions, one per unit of the model (x = column, y = row); a
  // Placement's unplaced units keep theirs.
  void setPositions(const std::vector<double>& x, const std::vector<double>& y);
  void setPositions(const Placement& p);

  // Threads of the full analyses (analyse, netCriticality,
  // refreshCriticality): 1 by default, 0 for the machine's cores, at most 2.
  // The figures are the same bit for bit for any number: a node's arrival
  // is a maximum over its inputs and its required time a minimum over its
  // loads, each worked out by one thread, and the nodes of one level of the
  // graph (no connection between them) are shared between the threads, one
  // level after the other. A graph of fewer than `least` nodes is analysed
  // on one thread whatever is asked (a thread costs more than it saves), and
  // a level of fewer than least / 16 nodes is worked out by one thread while
  // the other waits; a smaller `least` than the default is for tests.
  void setThreads(int threads, int least = 1 << 16);

  // With `loose` set, the analyses that follow leave the paths from and to
  // ports untimed (a port domain period of +infinity) when a clock domain
  // is timed and no period is given for the ports: what timing-driven
  // placement weighs when the critical path is a clock's. Off by default.
  void setLoosePorts(bool loose) { loosePorts_ = loose; }

  // Full analysis at the current positions: every connection delay, the
  // arrival times, the periods (given, else reached; with keepPeriods,
  // those of the last analysis), the required times and each domain's
  // figures. O(edges x domains).
  void analyse(bool keepPeriods = false);

  int numDomains() const { return static_cast<int>(domains_.size()); }
  const TimingDomain& domain(int k) const { return domains_[static_cast<std::size_t>(k)]; }
  // "clock clk, rising edge", "ports".
  std::string domainName(int k) const;
  // The clock domain with the longest needed period (or, with no clock
  // domain timed, the ports domain when timed); -1 when nothing is timed.
  int worstDomain() const;
  // The period the worst domain (as worstDomain() picks it) needs at the
  // times as they are now, after update() too, where the domains' figures
  // wait for the next analyse(); its critical path's end node and
  // launching domain in `end` and `launch` (-1 when nothing is timed).
  // With `excess`, also the sum over the ends (and launching domains) of
  // those domains of what their paths need beyond `above`. O(end nodes x
  // domains); the first call lists the timed ends, a record of 24 bytes
  // per end and launching domain kept from then on.
  double worstNeed(int& end, int& launch, double above = kNone, double* excess = nullptr);
  // End nodes reached from a domain whose paths there are not timed.
  long unrelatedEnds() const { return unrelatedEnds_; }

  // Times of the last analysis (or update), per node and launching domain:
  // arrival at the node's output (a LUT's Z, a register's Q, an input
  // port) or at an end node's inputs, -infinity when no path from the
  // domain reaches it; required time at the same point, +infinity when it
  // reaches no timed end.
  double arrival(int node, int domain) const { return arr_[idx(node, domain)]; }
  double required(int node, int domain) const { return req_[idx(node, domain)]; }
  // Least slack of a node, or of a connection (required at its load pin
  // less arrival there) over the domains; +infinity when untimed.
  double slack(int node) const;
  double edgeSlack(int edge) const;
  double edgeDelay(int edge) const { return edges_[static_cast<std::size_t>(edge)].delay; }
  // The delay connection `edge` would have with its driver's unit at
  // (ax, ay) and its load's at (bx, by).
  double edgeDelayAt(int edge, double ax, double ay, double bx, double by) const {
    return delayAt(edges_[static_cast<std::size_t>(edge)].kind, clamped(ax, ay), clamped(bx, by));
  }
  // The delay a node adds after its inputs (a LUT's; 0 for ends).
  double nodeDelay(int node) const;
  // Required time at an end node for a launching domain (+infinity when
  // that path is not timed), from the current periods.
  double endRequired(int node, int domain) const;
  // The delay an end adds after its arrival: setup, or io_out.
  double endMargin(int node) const;

  // Criticality of a connection in [0, 1]: the largest over launching
  // domains of 1 - slack / (the longest time any end of that domain is
  // given); 0 when untimed.
  double criticality(int edge) const;
  // Per net of the model: the largest criticality of its signal's
  // connections between two units (0 for nets without a signal).
  std::vector<double> netCriticality() const;

  // A connection's weight from its criticality c: c^exponent, taken as 0
  // when below `floor`. The power is skipped where it would fall under the
  // floor (most connections of a large design); the margin leaves the
  // decision near the bound to the exact test.
  class CriticalityWeight {
  public:
    CriticalityWeight(double exponent, double floor)
        : exponent_(exponent), floor_(floor), below_(floor > 0 ? std::pow(floor, 1 / exponent) * (1 - 1e-9) : 0.0) {}
    double operator()(double c) const {
      const double w = c > below_ && c > 0 ? std::pow(c, exponent_) : 0.0;
      return w < floor_ ? 0.0 : w;
    }

  private:
    double exponent_, floor_, below_;
  };

  // The annealer's timing cost, sum over connections of weight x delay,
  // with weights criticality^exponent taken now and kept until the next
  // call; a weight below `floor` is taken as 0. O(connections).
  void refreshCriticality(double exponent, double floor = 0);
  double timingCost() const { return cost_; }
  // The change of timingCost() if these units (distinct) moved; changes
  // nothing. O(connections of the moved units).
  double moveCost(const UnitMove* moves, int count) const;
  // A connection's weight as of the last refreshCriticality() (0 before).
  double weight(int edge) const { return edges_[static_cast<std::size_t>(edge)].weight; }
  // Moves them: positions, connection delays and the cost. Arrival and
  // required times wait for update().
  void move(const UnitMove* moves, int count);
  // Brings the times up to date for the moves since the last analysis or
  // update, at the periods of the last analysis. Returns the nodes
  // recomputed. With `required` false, the arrival times alone: the
  // required times wait for the next update that brings them (what reads
  // only arrivals, worstNeed(), may come between).
  long update(bool required = true);

  double x(int unit) const { return pos_[static_cast<std::size_t>(unit)].x; }
  double y(int unit) const { return pos_[static_cast<std::size_t>(unit)].y; }

private:
  // Kinds of connection: between clusters, within one, LUT to the
  // register of its own BLE.
  enum : std::uint8_t { kRouted = 0, kLocal = 1, kBle = 2 };
  // What a move reads of a connection, in one place: 24 bytes, the load's
  // unit sharing a word with the kind (units number fewer than 2^29).
  struct EdgeRec {
    EdgeRec() : unitB(0), kind(0) {}
    double delay = 0;
    double weight = 0;
    int unitA = 0;      // of its driver
    int unitB : 30;     // of its load
    unsigned kind : 2;  // kRouted, kLocal or kBle
  };
  static constexpr int kMostUnits = 1 << 29;
  struct Pos {
    double x, y;
  };
  std::size_t idx(int node, int domain) const {
    return static_cast<std::size_t>(node) * static_cast<std::size_t>(nd_) + static_cast<std::size_t>(domain);
  }
  double delayAt(std::uint8_t kind, Pos a, Pos b) const;
  Pos clamped(double x, double y) const;
  // Calls f(edge, its record, its delay after the move) for each
  // connection of the moved units (distinct), once each.
  template <class F>
  void forMoved(const UnitMove* moves, int count, F f) const;
  // The domain a path from `launch` to end node `v` is timed in (or -1),
  // and whether it gets half a period.
  int timedIn(int v, int launch, bool& half) const;
  void forwardNode(int v, double* out) const;
  void backwardNode(int v, double* out) const;
  double periodOfDomain(int k) const;
  void findPeriods(bool keep);
  void summarize();
  void queueForward(int v);
  void queueBackward(int v);
  // The threads a full pass over n items of the graph runs on.
  int threadsFor(std::size_t n) const;
  // The delays, arrival times, periods and required times of analyse(),
  // on two threads.
  void propagateOnTwo(bool keepPeriods);

  const TimingGraph& g_;
  const Model& m_;
  const DelayTable& table_;
  const DelayModel dm_;
  int nd_ = 0;  // domains
  std::vector<TimingDomain> domains_;
  std::vector<int> domainOf_;  // by clock * 2 + falling
  int portsDomain_ = -1;
  std::vector<double> givenPeriod_;  // by clock, ps; 0 for none
  double givenPorts_ = 0;
  bool loosePorts_ = false;
  std::vector<double> period_;       // by clock, ps, as used
  double portsPeriod_ = 0;
  std::vector<double> norm_;         // by launching domain
  long unrelatedEnds_ = 0;

  std::vector<Pos> pos_;             // per unit, clamped to the table
  // The timed paths' ends: per end node, each launching domain whose
  // paths there are timed, in node then domain order.
  struct EndPath {
    int node, launch;
    double margin;  // setup or io_out
    bool half;      // timed at half a period
    bool ports;     // in the ports domain
  };
  std::vector<EndPath> endPaths_;  // made by the first worstNeed()
  bool endsListed_ = false;
  std::vector<EdgeRec> edges_;
  std::vector<double> arr_, req_;
  double cost_ = 0;

  // Incremental updates.
  std::vector<std::uint64_t> fwdHeap_, bwdHeap_;  // rank << 32 | node
  bool updating_ = false;
  std::vector<char> inFwd_, inBwd_;
  std::vector<double> scratch_;

  // The levels of g_.order: levelStart_[l] .. levelStart_[l + 1] are
  // positions in the order none of whose nodes feeds another of the same
  // level (the order is made level by level, so they run back to back).
  std::vector<int> levelStart_;
  int threads_ = 1;
  int least_ = 1 << 16;
};

}  // namespace qplace

#endif
