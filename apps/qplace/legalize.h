// Legalization: every logic unit onto a BLE of a cluster, with the register
// rules kept, by assignment in windows with AP_MATCHING.
//
// 1. Register-bearing units (pairs and lone registers) are cut, per control
//    set, into the fewest spatial chunks of at most one register group's
//    BLEs each; then, while free groups are to spare, the most scattered
//    chunks are cut in two, so that registers far apart in the global
//    placement need not travel to one group. The largest set, when it
//    fills more than a group, is not cut: its units go in step 3.
// 2. Chunks are assigned to register groups window by window, with the
//    benefit falling with the distance between a chunk's centre and the
//    group. The windows are coloured like a 2 x 2 checkerboard; windows of
//    one colour share no cluster and are matched at the same time (on up to
//    `threads` threads), their results applied in window order, so the
//    placement is the same for any thread count. A window's unassigned
//    chunks move on to the neighbouring window with the most room left;
//    after three rounds of the four colours, what is left takes the
//    nearest free group.
// 3. The largest set's units are assigned one by one to the BLEs they fit
//    (a group free or of their set), the same way, once every other set
//    has its groups: on a netlist of one control set, the usual case, no
//    register is moved away from its target to fill a group.
// 4. Lone LUTs are assigned to the free LUT halves of BLEs the same way.
// Fails only when the device lacks room: then `error` says what is short.
#ifndef QPLACE_LEGALIZE_H
#define QPLACE_LEGALIZE_H

#include <string>
#include <vector>

#include "qplace/fabric.h"

namespace qplace {

struct LegalizeParams {
  int window = 6;  // window side, in clusters (2 at least)
  // Chunks may number up to this share of the free register groups; a
  // chunk is cut further only while the sum of its units' distances to its
  // centre (in clusters) exceeds minScatter.
  double chunkShare = 0.5;
  double minScatter = 8;
  // Threads matching windows at the same time; the placement is the same
  // for any count.
  int threads = 2;
};

struct LegalizeResult {
  bool ok = false;
  std::string error;
  int windows = 0;     // matchings solved
  int carried = 0;     // units that moved on past their window
  int fallback = 0;    // units placed by the nearest-free search
  double displacement = 0;  // mean distance to the target, in clusters
};

// Places every unplaced logic unit of `p` (whose I/O units are placed
// already) near its target (tx[u], ty[u]); units already placed stay, and
// register groups holding registers take no new chunk. A unit bound to a
// region by p.rules is offered the clusters inside it only (its chunk
// holds units of that region alone).
LegalizeResult legalize(Placement& p, const std::vector<double>& tx, const std::vector<double>& ty,
                        const LegalizeParams& params);

// A random legal placement of the logic units of `p` (its I/O units stay):
// the registers of each control set, in random order, fill random free
// register groups one after another; lone LUTs take random free LUT places.
// False, with the logic unplaced, when the device lacks room. Linear in the
// units and places.
bool randomPlacement(Placement& p, std::uint64_t seed);

// The register-bearing units of each register group that holds two or
// more, group by group.
std::vector<std::vector<int>> registerGroups(const Placement& p);

}  // namespace qplace

#endif
