// Building the timing graph: nodes, edges by signal, loops cut, the
// topological order and the indexes.
#include "qplace/timing/timing_graph.h"

#include <algorithm>

#include "host/standin/gen/designgen.h"

namespace qplace {

namespace {

// Counting sort of `items` (0 .. n-1) by key into start/list.
template <class Key>
void bucket(int n, int buckets, Key key, std::vector<int>& start, std::vector<int>& list) {
  start.assign(static_cast<std::size_t>(buckets) + 1, 0);
  for (int i = 0; i < n; ++i) {
    const int k = key(i);
    if (k >= 0) ++start[static_cast<std::size_t>(k) + 1];
  }
  for (int b = 0; b < buckets; ++b) start[static_cast<std::size_t>(b) + 1] += start[static_cast<std::size_t>(b)];
  list.assign(static_cast<std::size_t>(start[static_cast<std::size_t>(buckets)]), 0);
  std::vector<int> fill(start.begin(), start.end() - 1);
  for (int i = 0; i < n; ++i) {
    const int k = key(i);
    if (k >= 0) list[static_cast<std::size_t>(fill[static_cast<std::size_t>(k)]++)] = i;
  }
}

// Orders the nodes (Kahn's method, in node order at each step); where
// loops stop it, cuts back edges of a depth-first search over what is left
// and carries on.
void orderAndCut(TimingGraph& g) {
  const int n = g.numNodes();
  const int m = g.numEdges();
  std::vector<int> outStart, outAll;
  bucket(m, n, [&](int e) { return g.from[static_cast<std::size_t>(e)]; }, outStart, outAll);
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
  TimingGraph g;
  const std::size_t comps = d.comps.size();
  g.outNode.assign(comps, -1);
  g.inNode.assign(comps, -1);
  std::vector<int> clockOfSignal(d.signals.size(), -1);
  auto addNode = [&](TimingNodeKind k, standin::Comp* c, int u) {
    g.kind.push_back(k);
    g.comp.push_back(c);
    g.unit.push_back(u);
    g.clock.push_back(-1);
    g.falling.push_back(0);
    return g.numNodes() - 1;
  };

  // Nodes, in component order.
  for (standin::Comp& c : d.comps) {
    const std::size_t id = static_cast<std::size_t>(c.id);
    const int u = id < m.unitOfComp.size() ? m.unitOfComp[id] : -1;
    if (u < 0) continue;
    if (m.lut[u] == &c) {
      g.outNode[id] = g.inNode[id] = addNode(TN_LUT, &c, u);
    } else if (m.reg[u] == &c) {
      const int q = addNode(TN_REG_Q, &c, u);
      const int in = addNode(TN_REG_IN, &c, u);
      g.outNode[id] = q;
      g.inNode[id] = in;
      standin::Signal* ck = c.signals.size() > designgen::REG_CK ? c.signals[designgen::REG_CK] : nullptr;
      if (ck != nullptr) {
        int& number = clockOfSignal[static_cast<std::size_t>(ck->id)];
        if (number < 0) {
          number = static_cast<int>(g.clocks.size());
          g.clocks.push_back(ck);
        }
        const std::uint8_t fall = id < regFlags.size() && (regFlags[id] & REG_FALLING) != 0 ? 1 : 0;
        for (int v : {q, in}) {
          g.clock[static_cast<std::size_t>(v)] = number;
          g.falling[static_cast<std::size_t>(v)] = fall;
        }
      }
    } else if (m.io[u] == &c) {
      // A port on a clock net (a clock's pad) is no path's start or end.
      auto data = [&](int pin) {
        return c.signals.size() > static_cast<std::size_t>(pin) && c.signals[static_cast<std::size_t>(pin)] != nullptr &&
               c.signals[static_cast<std::size_t>(pin)]->clocks == 0;
      };
      if (data(designgen::IO_O)) g.outNode[id] = addNode(TN_PORT_IN, &c, u);
      if (data(designgen::IO_I)) g.inNode[id] = addNode(TN_PORT_OUT, &c, u);
    }
  }

  // The node arrays grew by doubling; they live as long as the placement,
  // so they keep only what they hold (about 13 bytes a node at a million
  // components).
  g.kind.shrink_to_fit();
  g.comp.shrink_to_fit();
  g.unit.shrink_to_fit();
  g.clock.shrink_to_fit();
  g.falling.shrink_to_fit();

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

  // Edges, signal by signal.
  g.signalStart.assign(d.signals.size() + 1, 0);
  for (standin::Signal& s : d.signals) {
    if (s.clocks == 0) {
      const std::size_t drivers = static_cast<std::size_t>(std::max<short>(s.numDrivers, 0));
      for (std::size_t i = 0; i < drivers && i < s.pins.size(); ++i) {
        const int dn = driverNode(s.pins[i]);
        if (dn < 0) continue;
        for (std::size_t j = drivers; j < s.pins.size(); ++j) {
          const int ln = loadNode(s.pins[j]);
          if (ln < 0) continue;
          g.from.push_back(dn);
          g.to.push_back(ln);
          g.pin.push_back(s.pins[j]->pinid);
        }
      }
    }
    g.signalStart[static_cast<std::size_t>(s.id) + 1] = g.numEdges();
  }
  // Renumbered by the unit of the load (every node has a unit); edge k in
  // signal order becomes signalEdges[k].
  {
    std::vector<int> start, byUnit;
    bucket(g.numEdges(), m.numUnits(),
           [&](int e) { return g.unit[static_cast<std::size_t>(g.to[static_cast<std::size_t>(e)])]; }, start, byUnit);
    std::vector<int> from(byUnit.size()), to(byUnit.size()), pin(byUnit.size());
    g.signalEdges.assign(byUnit.size(), 0);
    for (std::size_t i = 0; i < byUnit.size(); ++i) {
      const std::size_t old = static_cast<std::size_t>(byUnit[i]);
      from[i] = g.from[old];
      to[i] = g.to[old];
      pin[i] = g.pin[old];
      g.signalEdges[old] = static_cast<int>(i);
    }
    g.from.swap(from);
    g.to.swap(to);
    g.pin.swap(pin);
  }
  g.cut.assign(g.from.size(), 0);

  orderAndCut(g);
  const int n = g.numNodes();
  g.rank.assign(static_cast<std::size_t>(n), 0);
  for (int i = 0; i < n; ++i) g.rank[static_cast<std::size_t>(g.order[static_cast<std::size_t>(i)])] = i;
  auto open = [&](int e, int end) { return g.cut[static_cast<std::size_t>(e)] ? -1 : end; };
  std::vector<int> list;
  bucket(g.numEdges(), n, [&](int e) { return open(e, g.to[static_cast<std::size_t>(e)]); }, g.inStart, list);
  g.in.resize(list.size());
  for (std::size_t i = 0; i < list.size(); ++i) g.in[i] = {list[i], g.from[static_cast<std::size_t>(list[i])]};
  bucket(g.numEdges(), n, [&](int e) { return open(e, g.from[static_cast<std::size_t>(e)]); }, g.outStart, list);
  g.out.resize(list.size());
  for (std::size_t i = 0; i < list.size(); ++i) g.out[i] = {list[i], g.to[static_cast<std::size_t>(list[i])]};

  // Edges between units, under both (two sorts: under the driver's unit,
  // then under the load's, merged by unit).
  const int units = m.numUnits();
  auto unitOf = [&](int v) { return g.unit[static_cast<std::size_t>(v)]; };
  auto between = [&](int e) {
    return unitOf(g.from[static_cast<std::size_t>(e)]) != unitOf(g.to[static_cast<std::size_t>(e)]);
  };
  std::vector<int> fromStart, fromList, toStart, toList;
  bucket(g.numEdges(), units, [&](int e) { return between(e) ? unitOf(g.from[static_cast<std::size_t>(e)]) : -1; },
         fromStart, fromList);
  bucket(g.numEdges(), units, [&](int e) { return between(e) ? unitOf(g.to[static_cast<std::size_t>(e)]) : -1; },
         toStart, toList);
  g.unitStart.assign(static_cast<std::size_t>(units) + 1, 0);
  g.unitEdges.clear();
  g.unitEdges.reserve(fromList.size() + toList.size());
  for (int u = 0; u < units; ++u) {
    const std::size_t k = static_cast<std::size_t>(u);
    g.unitEdges.insert(g.unitEdges.end(), fromList.begin() + fromStart[k], fromList.begin() + fromStart[k + 1]);
    g.unitEdges.insert(g.unitEdges.end(), toList.begin() + toStart[k], toList.begin() + toStart[k + 1]);
    g.unitStart[k + 1] = static_cast<int>(g.unitEdges.size());
  }
  return g;
}

}  // namespace qplace
