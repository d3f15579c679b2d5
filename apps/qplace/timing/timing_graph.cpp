// Building the timing graph: nodes, edges by signal, loops cut, the
// topological order and the indexes.
#include "qplace/timing/timing_graph.h"

#include <algorithm>

#include "host/standin/gen/designgen.h"

namespace qplace {

namespace {

// Counting sort of the items 0 .. n-1 by key (-1: left out), stable:
// afterwards key k's items are put, in their order, at the positions
// start[k] .. start[k + 1] - 1 (put(position, item)).
template <class Key, class Put>
void bucket(int n, int buckets, Key key, std::vector<int>& start, Put put) {
  start.assign(static_cast<std::size_t>(buckets) + 1, 0);
  for (int i = 0; i < n; ++i) {
    const int k = key(i);
    if (k >= 0) ++start[static_cast<std::size_t>(k) + 1];
  }
  for (int b = 0; b < buckets; ++b) start[static_cast<std::size_t>(b) + 1] += start[static_cast<std::size_t>(b)];
  // Each bucket's start serves as its cursor, which leaves it at the next
  // bucket's start; moved back up one place after.
  for (int i = 0; i < n; ++i) {
    const int k = key(i);
    if (k >= 0) put(start[static_cast<std::size_t>(k)]++, i);
  }
  for (int b = buckets; b > 0; --b) start[static_cast<std::size_t>(b)] = start[static_cast<std::size_t>(b) - 1];
  start[0] = 0;
}

// Orders the nodes (Kahn's method, in node order at each step); where
// loops stop it, cuts back edges of a depth-first search over what is left
// and carries on.
void orderAndCut(TimingGraph& g) {
  const int n = g.numNodes();
  const int m = g.numEdges();
  std::vector<int> outStart, outAll(static_cast<std::size_t>(m));
  bucket(m, n, [&](int e) { return g.from[static_cast<std::size_t>(e)]; }, outStart,
         [&](int at, int e) { outAll[static_cast<std::size_t>(at)] = e; });
  std::vector<int> indegree(static_cast<std::size_t>(n), 0);
  for (int e = 0; e < m; ++e) ++indegree[static_cast<std::size_t>(g.to[static_cast<std::size_t>(e)])];

  g.order.clear();
  g.order.reserve(static_cast<std::size_t>(n));
  auto drain = [&](std::size_t head) {
    for (; head < g.order.size(); ++head) {
      const int v = g.order[head];
      for (int i = outStart[static_cast<std::size_t>(v)]; i < outStart[static_cast<std::size_t>(v) + 1]; ++i) {
        const int e = outAll[static_cast<std::size_t>(i)];
        if (g.cut[static_cast<std::size_t>(e)]) continue;
        const int w = g.to[static_cast<std::size_t>(e)];
        if (--indegree[static_cast<std::size_t>(w)] == 0) g.order.push_back(w);
      }
    }
  };
  for (int v = 0; v < n; ++v)
    if (indegree[static_cast<std::size_t>(v)] == 0) g.order.push_back(v);
  drain(0);
  if (static_cast<int>(g.order.size()) == n) return;

  // What is left lies on loops or after them. A depth-first search over it
  // (an explicit stack of node and next out-edge) cuts every edge back to a
  // node on the search's path; what remains has no loop.
  enum : unsigned char { kLeft = 0, kOnPath = 1, kDone = 2, kOrdered = 3 };
  std::vector<unsigned char> state(static_cast<std::size_t>(n), kLeft);
  for (int v : g.order) state[static_cast<std::size_t>(v)] = kOrdered;
  std::vector<std::pair<int, int>> stack;
  for (int root = 0; root < n; ++root) {
    if (state[static_cast<std::size_t>(root)] != kLeft) continue;
    state[static_cast<std::size_t>(root)] = kOnPath;
    stack.emplace_back(root, outStart[static_cast<std::size_t>(root)]);
    while (!stack.empty()) {
      auto& [v, next] = stack.back();
      if (next == outStart[static_cast<std::size_t>(v) + 1]) {
        state[static_cast<std::size_t>(v)] = kDone;
        stack.pop_back();
        continue;
      }
      const int e = outAll[static_cast<std::size_t>(next++)];
      const int w = g.to[static_cast<std::size_t>(e)];
      if (state[static_cast<std::size_t>(w)] == kOnPath) {
        g.cut[static_cast<std::size_t>(e)] = 1;
        g.cutEdges.push_back(e);
        --indegree[static_cast<std::size_t>(w)];
      } else if (state[static_cast<std::size_t>(w)] == kLeft) {
        state[static_cast<std::size_t>(w)] = kOnPath;
        stack.emplace_back(w, outStart[static_cast<std::size_t>(w)]);
      }
    }
  }
  const std::size_t head = g.order.size();
  for (int v = 0; v < n; ++v)
    if (state[static_cast<std::size_t>(v)] != kOrdered && indegree[static_cast<std::size_t>(v)] == 0)
      g.order.push_back(v);
  drain(head);
}

}  // namespace

TimingGraph buildTimingGraph(standin::Design& d, const Model& m, const std::vector<std::uint8_t>& regFlags) {
  // Every array is sized once, from a count made first: at millions of
  // components growing them by doubling, and copying them into order
  // afterwards, faulted in several times the memory the graph keeps.
  TimingGraph g;
  const std::size_t comps = d.comps.size();
  g.outNode.assign(comps, -1);
  g.inNode.assign(comps, -1);

  // The nodes of a component, at most two, by kind in node order; none for
  // a component in no unit. A port on a clock net (a clock's pad) is no
  // path's start or end.
  auto nodesOf = [&](standin::Comp& c, TimingNodeKind* kinds) {
    const std::size_t id = static_cast<std::size_t>(c.id);
    const int u = id < m.unitOfComp.size() ? m.unitOfComp[id] : -1;
    if (u < 0) return 0;
    if (m.lut[u] == &c) {
      kinds[0] = TN_LUT;
      return 1;
    }
    if (m.reg[u] == &c) {
      kinds[0] = TN_REG_Q;
      kinds[1] = TN_REG_IN;
      return 2;
    }
    if (m.io[u] != &c) return 0;
    auto data = [&](int pin) {
      return c.signals.size() > static_cast<std::size_t>(pin) && c.signals[static_cast<std::size_t>(pin)] != nullptr &&
             c.signals[static_cast<std::size_t>(pin)]->clocks == 0;
    };
    int k = 0;
    if (data(designgen::IO_O)) kinds[k++] = TN_PORT_IN;
    if (data(designgen::IO_I)) kinds[k++] = TN_PORT_OUT;
    return k;
  };

  // Nodes, in component order.
  {
    std::size_t nodes = 0;
    TimingNodeKind kinds[2];
    for (standin::Comp& c : d.comps) nodes += static_cast<std::size_t>(nodesOf(c, kinds));
    g.kind.reserve(nodes);
    g.comp.reserve(nodes);
    g.unit.reserve(nodes);
    g.clock.assign(nodes, -1);
    g.falling.assign(nodes, 0);
    std::vector<int> clockOfSignal(d.signals.size(), -1);
    for (standin::Comp& c : d.comps) {
      const int count = nodesOf(c, kinds);
      const std::size_t id = static_cast<std::size_t>(c.id);
      for (int k = 0; k < count; ++k) {
        const int v = g.numNodes();
        g.kind.push_back(kinds[k]);
        g.comp.push_back(&c);
        g.unit.push_back(m.unitOfComp[id]);
        switch (kinds[k]) {
          case TN_LUT: g.outNode[id] = g.inNode[id] = v; break;
          case TN_REG_Q:
          case TN_PORT_IN: g.outNode[id] = v; break;
          default: g.inNode[id] = v; break;
        }
      }
      if (count == 2 && kinds[0] == TN_REG_Q) {
        standin::Signal* ck = c.signals.size() > designgen::REG_CK ? c.signals[designgen::REG_CK] : nullptr;
        if (ck == nullptr) continue;
        int& number = clockOfSignal[static_cast<std::size_t>(ck->id)];
        if (number < 0) {
          number = static_cast<int>(g.clocks.size());
          g.clocks.push_back(ck);
        }
        const std::uint8_t fall = id < regFlags.size() && (regFlags[id] & REG_FALLING) != 0 ? 1 : 0;
        for (int v : {g.numNodes() - 2, g.numNodes() - 1}) {
          g.clock[static_cast<std::size_t>(v)] = number;
          g.falling[static_cast<std::size_t>(v)] = fall;
        }
      }
    }
  }

  // The node a pin drives from, or loads into; -1 for a pin of no arc.
  auto driverNode = [&](const standin::SigPin* p) {
    if (p->comp == nullptr) return -1;
    const std::size_t id = static_cast<std::size_t>(p->comp->id);
    const TimingNodeKind k = g.outNode[id] >= 0 ? g.kind[static_cast<std::size_t>(g.outNode[id])] : TN_LUT;
    const int want = k == TN_LUT ? static_cast<int>(designgen::LUT_Z)
                     : k == TN_REG_Q ? static_cast<int>(designgen::REG_Q) : static_cast<int>(designgen::IO_O);
    return g.outNode[id] >= 0 && p->pinid == want ? g.outNode[id] : -1;
  };
  auto loadNode = [&](const standin::SigPin* p) {
    if (p->comp == nullptr) return -1;
    const std::size_t id = static_cast<std::size_t>(p->comp->id);
    const int v = g.inNode[id];
    if (v < 0) return -1;
    switch (g.kind[static_cast<std::size_t>(v)]) {
      case TN_LUT: return p->pinid >= designgen::LUT_A && p->pinid <= designgen::LUT_D ? v : -1;
      case TN_REG_IN:
        return p->pinid == designgen::REG_D || p->pinid == designgen::REG_CE || p->pinid == designgen::REG_SR ? v
                                                                                                             : -1;
      default: return p->pinid == designgen::IO_I ? v : -1;
    }
  };

  // Edges, signal by signal (as many as a signal's drivers times its
  // loads at most), then renumbered by the unit of the load (every node
  // has a unit), in signal order within a unit: edge k in signal order
  // becomes signalEdges[k].
  {
    // A signal lists its drivers first, then its loads.
    auto driversOf = [](const standin::Signal& s) {
      return std::min(static_cast<std::size_t>(std::max<short>(s.numDrivers, 0)), s.pins.size());
    };
    std::size_t most = 0;
    for (const standin::Signal& s : d.signals)
      if (s.clocks == 0) most += driversOf(s) * (s.pins.size() - driversOf(s));
    std::vector<int> from, to, pin;
    from.reserve(most);
    to.reserve(most);
    pin.reserve(most);
    g.signalStart.assign(d.signals.size() + 1, 0);
    for (standin::Signal& s : d.signals) {
      if (s.clocks == 0) {
        const std::size_t drivers = driversOf(s);
        for (std::size_t i = 0; i < drivers; ++i) {
          const int dn = driverNode(s.pins[i]);
          if (dn < 0) continue;
          for (std::size_t j = drivers; j < s.pins.size(); ++j) {
            const int ln = loadNode(s.pins[j]);
            if (ln < 0) continue;
            from.push_back(dn);
            to.push_back(ln);
            pin.push_back(s.pins[j]->pinid);
          }
        }
      }
      g.signalStart[static_cast<std::size_t>(s.id) + 1] = static_cast<int>(from.size());
    }
    const std::size_t edges = from.size();
    g.from.resize(edges);
    g.to.resize(edges);
    g.pin.resize(edges);
    g.signalEdges.resize(edges);
    std::vector<int> start;
    bucket(static_cast<int>(edges), m.numUnits(),
           [&](int k) { return g.unit[static_cast<std::size_t>(to[static_cast<std::size_t>(k)])]; }, start,
           [&](int at, int k) {
             const std::size_t i = static_cast<std::size_t>(at), old = static_cast<std::size_t>(k);
             g.from[i] = from[old];
             g.to[i] = to[old];
             g.pin[i] = pin[old];
             g.signalEdges[old] = at;
           });
  }
  g.cut.assign(g.from.size(), 0);

  orderAndCut(g);
  const int n = g.numNodes();
  g.rank.assign(static_cast<std::size_t>(n), 0);
  for (int i = 0; i < n; ++i) g.rank[static_cast<std::size_t>(g.order[static_cast<std::size_t>(i)])] = i;
  auto open = [&](int e, int end) { return g.cut[static_cast<std::size_t>(e)] ? -1 : end; };
  const int edges = g.numEdges();
  const std::size_t kept = g.from.size() - g.cutEdges.size();
  g.in.resize(kept);
  bucket(edges, n, [&](int e) { return open(e, g.to[static_cast<std::size_t>(e)]); }, g.inStart,
         [&](int at, int e) { g.in[static_cast<std::size_t>(at)] = {e, g.from[static_cast<std::size_t>(e)]}; });
  g.out.resize(kept);
  bucket(edges, n, [&](int e) { return open(e, g.from[static_cast<std::size_t>(e)]); }, g.outStart,
         [&](int at, int e) { g.out[static_cast<std::size_t>(at)] = {e, g.to[static_cast<std::size_t>(e)]}; });

  // Edges between units, under both: under each unit, those it drives
  // then those it loads, each in edge order.
  const int units = m.numUnits();
  auto unitOf = [&](int v) { return g.unit[static_cast<std::size_t>(v)]; };
  auto fromUnit = [&](int e) { return unitOf(g.from[static_cast<std::size_t>(e)]); };
  auto toUnit = [&](int e) { return unitOf(g.to[static_cast<std::size_t>(e)]); };
  g.unitStart.assign(static_cast<std::size_t>(units) + 1, 0);
  for (int e = 0; e < edges; ++e)
    if (fromUnit(e) != toUnit(e)) {
      ++g.unitStart[static_cast<std::size_t>(fromUnit(e)) + 1];
      ++g.unitStart[static_cast<std::size_t>(toUnit(e)) + 1];
    }
  for (int u = 0; u < units; ++u)
    g.unitStart[static_cast<std::size_t>(u) + 1] += g.unitStart[static_cast<std::size_t>(u)];
  g.unitEdges.resize(static_cast<std::size_t>(g.unitStart[static_cast<std::size_t>(units)]));
  std::vector<int> next(g.unitStart.begin(), g.unitStart.end() - 1);
  for (int e = 0; e < edges; ++e)
    if (fromUnit(e) != toUnit(e)) g.unitEdges[static_cast<std::size_t>(next[static_cast<std::size_t>(fromUnit(e))]++)] = e;
  for (int e = 0; e < edges; ++e)
    if (fromUnit(e) != toUnit(e)) g.unitEdges[static_cast<std::size_t>(next[static_cast<std::size_t>(toUnit(e))]++)] = e;
  return g;
}

}  // namespace qplace
