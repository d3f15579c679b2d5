// The plan of a generated design: where every component goes and which
// control group each register joins, decided before anything is built, so
// that the netlist can follow the placement and the faults can be laid out
// with it.
#ifndef BASAPLACE_STANDIN_GEN_PLAN_H
#define BASAPLACE_STANDIN_GEN_PLAN_H

#include <vector>

#include "host/standin/gen/designgen.h"
#include "host/standin/gen/rng.h"

namespace designgen {
namespace detail {

enum class Fault : unsigned char {
  None,
  SlotPair,
  PlcRule,
  HalfPlcRule,
  SharedSite,
  SiteMismatch,
  EmptySite
};

// A slot of a cluster: the cluster (row-major index), the site's position
// in it and the slot (standin::Slot).
struct Spot {
  int plc;
  unsigned char pos;
  unsigned char slot;
};

// A cluster laid out for a fault. `pos` is the site of a slot pair or the
// half (0 lower, 1 upper) of a half-cluster fault.
struct FaultPlc {
  int plc;
  Fault kind;
  int pos;
};

struct Plan {
  std::vector<int> walk;        // the clusters in the order components are made
  std::vector<Spot> lutSpots;   // per LUT, in the order they are made
  std::vector<Spot> regSpots;   // per register
  std::vector<int> regGroup;    // per register: its control group
  std::vector<int> groupSize;   // per control group
  std::vector<int> groupPlc;    // per control group: the cluster of its first register
  std::vector<int> lutBegin;    // per cluster: its first LUT
  std::vector<int> lutCount;    // per cluster: its number of LUTs
  std::vector<int> regBegin;
  std::vector<int> regCount;
  std::vector<int> ioSite;      // per I/O component: its site in Device::ioSites
  std::vector<int> ioPlc;       // per I/O component: the cluster beside that site
  std::vector<FaultPlc> faults;
};

// Lays out `luts` LUTs, `regs` registers and `ios` I/O components on the
// device: I/O spread evenly along the border; the fault clusters of
// params.faults (chosen at random) filled after their templates; the LUTs
// evenly over the other clusters; the registers in control groups of
// ctrlGroupMin..ctrlGroupMax, each group over consecutive clusters (or
// cluster halves under the half rule) of the walk, never two groups in one.
// Throws std::invalid_argument when the device cannot hold them.
Plan makePlan(const Params& params, const Device& dev, int luts, int regs, int ios, Rng& rng);

}  // namespace detail
}  // namespace designgen

#endif
