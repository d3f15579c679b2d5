// Routing a signal of a generated device: one breadth-first search over the
// free wires of a window around the signal's pins, then pin nodes for its
// pins and the tree of arcs recorded as the signal's route.
#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "host/standin/gen/designgen.h"
#include "host/standin/gen/wires.h"

namespace designgen {

namespace {

using detail::WireLayout;

// The cluster of a logic site of the device, or the one beside an I/O site
// of it; -1 for any other site.
int plcOfSite(const Device& dev, const standin::Site* site) {
  if (site == nullptr) return -1;
  const int r = std::min(std::max(site->row - 1, 0), dev.plcRows - 1);
  const int c = std::min(std::max(site->col - 1, 0), dev.plcCols - 1);
  if (site->plc != nullptr) return dev.plcAt(r, c) == site->plc ? r * dev.plcCols + c : -1;
  const bool border = site->row == 0 || site->row == dev.plcRows + 1 || site->col == 0 ||
                      site->col == dev.plcCols + 1;
  const auto* dsite = static_cast<const standin::DeviceSite*>(site->dsite);
  return border && dsite != nullptr && dsite->type == dev.ioType ? r * dev.plcCols + c : -1;
}

struct Box {
  int r0, r1, c0, c1;  // clusters, both ends included
};

// A tree of free wires from the wires of one cluster to a wire of each of
// other clusters, found by one breadth-first search within a box.
class TreeSearch {
public:
  TreeSearch(const standin::RoutingGraph& graph, const WireLayout& w, const Box& box)
      : graph_(graph), w_(w), box_(box), width_(box.c1 - box.c0 + 1), per_(w.perPlc()) {}

  // Searches from the free wires of `source` until every cluster of
  // `targets` has a wire reached. On success, `arcs` receives the wire and
  // switch arcs of the tree, `roots` the source wires it starts from, and
  // `reached` the wire of each target (in the order of `targets`), all as
  // node numbers relative to the first wire node.
  bool run(int source, const std::vector<int>& targets, std::vector<int>& arcs, std::vector<int>& roots,
           std::vector<int>& reached) {
    const std::size_t plcs = static_cast<std::size_t>(width_) * static_cast<std::size_t>(box_.r1 - box_.r0 + 1);
    parent_.assign(plcs * static_cast<std::size_t>(per_), kUnseen);
    via_.assign(parent_.size(), -1);
    std::vector<int> wire(plcs, kNotWanted);
    int pending = 0;
    for (int plc : targets) {
      int& want = wire[static_cast<std::size_t>(localPlc(plc))];
      if (want == kNotWanted) ++pending;
      want = kWanted;
    }
    queue_.clear();
    for (int k = 0; k < 2 * w_.tracks; ++k) visit(source / w_.cols, source % w_.cols, k, kRoot, -1);

    for (std::size_t head = 0; head < queue_.size() && pending > 0; ++head) {
      const int u = queue_[head];
      const int lp = u / per_;
      const int k = u % per_;
      if (k < 2 * w_.tracks && wire[static_cast<std::size_t>(lp)] == kWanted) {
        wire[static_cast<std::size_t>(lp)] = u;
        --pending;
      }
      expand(u, box_.r0 + lp / width_, box_.c0 + lp % width_, k);
    }
    if (pending > 0) return false;

    std::vector<char> inTree(parent_.size(), 0);
    for (int plc : targets) {
      int u = wire[static_cast<std::size_t>(localPlc(plc))];
      reached.push_back(relative(u));
      for (; !inTree[static_cast<std::size_t>(u)]; u = parent_[static_cast<std::size_t>(u)]) {
        inTree[static_cast<std::size_t>(u)] = 1;
        if (parent_[static_cast<std::size_t>(u)] == kRoot) {
          roots.push_back(relative(u));
          break;
        }
        arcs.push_back(via_[static_cast<std::size_t>(u)]);
      }
    }
    return true;
  }

private:
  static constexpr int kUnseen = -1;
  static constexpr int kRoot = -2;
  static constexpr int kNotWanted = -1;
  static constexpr int kWanted = -2;

  int localPlc(int plc) const { return (plc / w_.cols - box_.r0) * width_ + (plc % w_.cols - box_.c0); }
  int relative(int u) const {
    const int lp = u / per_;
    return ((box_.r0 + lp / width_) * w_.cols + box_.c0 + lp % width_) * per_ + u % per_;
  }

  // Enters node k of cluster (r, c) from `from` over `arc` when it lies in
  // the box, is not yet reached and no route uses it.
  void visit(int r, int c, int k, int from, int arc) {
    if (r < box_.r0 || r > box_.r1 || c < box_.c0 || c > box_.c1) return;
    const int v = ((r - box_.r0) * width_ + (c - box_.c0)) * per_ + k;
    if (parent_[static_cast<std::size_t>(v)] != kUnseen) return;
    const std::size_t node = static_cast<std::size_t>(w_.firstNode + (r * w_.cols + c) * per_ + k);
    if ((graph_.nodes[node].flags & PhyNode::ON_ROUTE) != 0) return;
    parent_[static_cast<std::size_t>(v)] = from;
    via_[static_cast<std::size_t>(v)] = arc;
    queue_.push_back(v);
  }

  void expand(int u, int r, int c, int k) {
    const int plc = r * w_.cols + c;
    const int tracks = w_.tracks;
    if (k < tracks) {
      visit(r, c, 2 * tracks + WireLayout::switchOf(k), u, w_.switchArc(plc, k, false));
      if (c > 0) visit(r, c - 1, k, u, w_.eastArc(r, c - 1, k));
      if (c + 1 < w_.cols) visit(r, c + 1, k, u, w_.eastArc(r, c, k));
    } else if (k < 2 * tracks) {
      const int t = k - tracks;
      visit(r, c, 2 * tracks + WireLayout::switchOf(t), u, w_.switchArc(plc, t, true));
      if (r > 0) visit(r - 1, c, k, u, w_.southArc(r - 1, c, t));
      if (r + 1 < w_.rows) visit(r + 1, c, k, u, w_.southArc(r, c, t));
    } else {
      const int s = k - 2 * tracks;
      for (int t = 2 * s; t < std::min(2 * s + 2, tracks); ++t) {
        visit(r, c, t, u, w_.switchArc(plc, t, false));
        visit(r, c, tracks + t, u, w_.switchArc(plc, t, true));
      }
    }
  }

  const standin::RoutingGraph& graph_;
  const WireLayout& w_;
  const Box box_;
  const int width_;
  const int per_;
  std::vector<int> parent_;  // per node of the box: the node it was reached from
  std::vector<int> via_;     // per node of the box: the arc it was reached by
  std::vector<int> queue_;
};

const char* const kSlotNames[] = {"L0", "L1", "R0", "R1"};

// A new pin node for a signal pin, joined to every wire of its cluster:
// from the pin node for an output, to it for an input. Returns the index of
// its first arc; the arc of wire k (0 .. 2 * tracks - 1) follows at k.
int addPinNode(standin::Design& d, const WireLayout& w, standin::SigPin* pin, int plc, bool output,
               standin::Node*& node) {
  const standin::Site* site = pin->comp->site;
  std::string name = site->name + ".";
  for (int slot = 0; slot < 4 && site->hasSlots; ++slot)
    if (site->slots[slot] == pin->comp) name += std::string(kSlotNames[slot]) + ".";
  node = d.addNode(name + pin->name(), output ? detail::COST_OUTPIN : detail::COST_INPIN);
  d.phy.graph.reserveArcs(node, static_cast<std::size_t>(2 * w.tracks));
  const int first = static_cast<int>(d.phy.graph.arcs.size());
  for (int k = 0; k < 2 * w.tracks; ++k) {
    standin::Node* wire = &d.phy.graph.nodes[static_cast<std::size_t>(w.firstNode + plc * w.perPlc() + k)];
    if (output)
      d.addArc(node, wire, true);
    else
      d.addArc(wire, node, true);
  }
  return first;
}

}  // namespace

bool routeSignal(standin::Design& d, const Device& device, standin::Signal* sig) {
  if (sig == nullptr || device.wires.tracks == 0 || sig->routed != 0 || sig->numDrivers != 1 ||
      sig->pins.size() < 2)
    return false;
  const WireLayout w(device);
  std::vector<int> pinPlc;
  Box box{w.rows, -1, w.cols, -1};
  for (const standin::SigPin* pin : sig->pins) {
    const int plc = pin->comp != nullptr ? plcOfSite(device, pin->comp->site) : -1;
    if (plc < 0) return false;
    pinPlc.push_back(plc);
    box = Box{std::min(box.r0, plc / w.cols), std::max(box.r1, plc / w.cols),
              std::min(box.c0, plc % w.cols), std::max(box.c1, plc % w.cols)};
  }
  std::vector<int> targets(pinPlc.begin() + 1, pinPlc.end());
  std::sort(targets.begin(), targets.end());
  targets.erase(std::unique(targets.begin(), targets.end()), targets.end());

  // The bounding box and a margin, the margin doubled until a tree is found
  // or the box is the whole device.
  std::vector<int> arcs, roots, reached;
  for (int margin = 1;; margin *= 2) {
    const Box around{std::max(0, box.r0 - margin), std::min(w.rows - 1, box.r1 + margin),
                     std::max(0, box.c0 - margin), std::min(w.cols - 1, box.c1 + margin)};
    arcs.clear();
    roots.clear();
    reached.clear();
    if (TreeSearch(d.phy.graph, w, around).run(pinPlc[0], targets, arcs, roots, reached)) break;
    if (around.r0 == 0 && around.c0 == 0 && around.r1 == w.rows - 1 && around.c1 == w.cols - 1) return false;
  }

  // Pin nodes: one per component pin, the driver's joined to the tree's
  // roots, each load's to the wire reached in its cluster.
  std::map<std::pair<standin::Comp*, int>, standin::Node*> made;
  standin::Node* node = nullptr;
  const int driverArcs = addPinNode(d, w, sig->pins[0], pinPlc[0], true, node);
  sig->pins[0]->node = node;
  made[{sig->pins[0]->comp, sig->pins[0]->pinid}] = node;
  for (int root : roots) arcs.push_back(driverArcs + root - pinPlc[0] * w.perPlc());
  for (std::size_t i = 1; i < sig->pins.size(); ++i) {
    standin::SigPin* pin = sig->pins[i];
    standin::Node*& known = made[{pin->comp, pin->pinid}];
    if (known == nullptr) {
      const int plc = pinPlc[i];
      const int first = addPinNode(d, w, pin, plc, false, known);
      const std::size_t t = static_cast<std::size_t>(
          std::lower_bound(targets.begin(), targets.end(), plc) - targets.begin());
      arcs.push_back(first + reached[t] - plc * w.perPlc());
    }
    pin->node = known;
  }
  d.route(sig, arcs);
  return true;
}

}  // namespace designgen
