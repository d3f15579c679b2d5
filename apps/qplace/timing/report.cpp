// The timing report: domain lines, the critical path, the slack histogram.
#include "qplace/timing/report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "host/standin/gen/designgen.h"

namespace qplace {

namespace {

constexpr int kBins = 10;
constexpr int kBar = 40;
constexpr int kLoopsListed = 3;

std::string fmt(const char* format, double a) {
  char buf[64];
  std::snprintf(buf, sizeof buf, format, a);
  return buf;
}

std::string ns(double ps) { return fmt("%.3f", ps / 1000); }

std::string pinName(const standin::Comp* c, int pin) {
  if (c == nullptr || c->prim == nullptr || pin < 0 || static_cast<std::size_t>(pin) >= c->prim->ports.size())
    return "?";
  return c->prim->ports[static_cast<std::size_t>(pin)].name;
}

std::string location(const standin::Comp* c) {
  if (c == nullptr || c->site == nullptr) return "-";
  std::string where = c->site->name;
  static const char* const kSlots[] = {"L0", "L1", "R0", "R1"};
  for (int k = 0; k < 4 && c->site->hasSlots; ++k)
    if (c->site->slots[k] == c) where += std::string(".") + kSlots[k];
  return where;
}

// The output pin of a start or LUT node.
int outputPin(TimingNodeKind k) {
  return k == TN_LUT ? static_cast<int>(designgen::LUT_Z)
                     : k == TN_REG_Q ? static_cast<int>(designgen::REG_Q) : static_cast<int>(designgen::IO_O);
}

struct Histogram {
  double lo = 0, hi = 0, width = 0;
  int ends = 0;
  std::vector<int> counts;
};

Histogram slackHistogram(const TimingAnalysis& a) {
  Histogram h;
  const TimingGraph& g = a.graph();
  std::vector<double> slacks;
  for (int v = 0; v < g.numNodes(); ++v) {
    if (!g.isEnd(v)) continue;
    const double s = a.slack(v);
    if (s != TimingAnalysis::kNone) slacks.push_back(s);
  }
  h.ends = static_cast<int>(slacks.size());
  if (slacks.empty()) return h;
  h.lo = *std::min_element(slacks.begin(), slacks.end());
  h.hi = *std::max_element(slacks.begin(), slacks.end());
  const int bins = h.hi > h.lo ? kBins : 1;
  h.width = (h.hi - h.lo) / bins;
  h.counts.assign(static_cast<std::size_t>(bins), 0);
  for (double s : slacks) {
    int b = h.width > 0 ? static_cast<int>((s - h.lo) / h.width) : 0;
    ++h.counts[static_cast<std::size_t>(std::min(std::max(b, 0), bins - 1))];
  }
  return h;
}

}  // namespace

std::vector<PathStage> criticalPath(const TimingAnalysis& a, int domain) {
  std::vector<PathStage> stages;
  const TimingDomain& d = a.domain(domain);
  if (!d.timed()) return stages;
  const TimingGraph& g = a.graph();
  const int t = d.launch;
  int v = d.end;
  // Walks back from the end over the inputs whose arrival sets each node's.
  for (;;) {
    const std::size_t vi = static_cast<std::size_t>(v);
    if (g.isStart(v)) {
      stages.push_back({g.comp[vi], outputPin(g.kind[vi]), a.arrival(v, t), a.arrival(v, t)});
      break;
    }
    if (g.kind[vi] == TN_LUT)
      stages.push_back({g.comp[vi], designgen::LUT_Z, a.delays().lut, a.arrival(v, t)});
    int best = -1;
    double bestArrival = 0;
    for (int i = g.inStart[vi]; i < g.inStart[vi + 1]; ++i) {
      const int e = g.in[static_cast<std::size_t>(i)].edge;
      const double at = a.arrival(g.in[static_cast<std::size_t>(i)].node, t) + a.edgeDelay(e);
      if (best < 0 || at > bestArrival) {
        best = e;
        bestArrival = at;
      }
    }
    if (best < 0) break;  // not reached: cannot happen on a timed path
    stages.push_back({g.comp[vi], g.pin[static_cast<std::size_t>(best)], a.edgeDelay(best), bestArrival});
    v = g.from[static_cast<std::size_t>(best)];
  }
  std::reverse(stages.begin(), stages.end());
  stages.push_back({nullptr, -1, a.endMargin(d.end), d.delay});
  return stages;
}

std::string criticalPathLine(const TimingAnalysis& a) {
  const int k = a.worstDomain();
  if (k < 0) return "critical path: none";
  const TimingDomain& d = a.domain(k);
  return "critical path: " + ns(d.delay) + " ns (" + fmt("%.1f", d.mhz()) + " MHz)";
}

std::string criticalPathFigure(const TimingAnalysis& a) {
  const int k = a.worstDomain();
  return k < 0 ? "" : ", critical path " + ns(a.domain(k).delay) + " ns";
}

std::string timingReport(const TimingAnalysis& a) {
  std::string out = criticalPathLine(a) + "\n";
  for (int k = 0; k < a.numDomains(); ++k) {
    const TimingDomain& d = a.domain(k);
    out += "  " + a.domainName(k) + ": ";
    if (!d.timed()) {
      out += "no timed path\n";
      continue;
    }
    out += ns(d.delay) + " ns" + (d.halfPeriod ? ", half period" : "") + " (" + fmt("%.1f", d.mhz()) + " MHz)";
    if (d.periodGiven) out += ", period " + ns(d.period) + " ns, worst slack " + ns(d.worstSlack) + " ns";
    out += ", " + std::to_string(d.ends) + " ends\n";
  }

  const int worst = a.worstDomain();
  if (worst >= 0) {
    const std::vector<PathStage> path = criticalPath(a, worst);
    struct Row {
      std::string cell, pin, where, delay, arrival;
    };
    std::vector<Row> rows{{"cell", "pin", "location", "delay", "arrival"}};
    for (const PathStage& s : path) {
      const bool toRegister = a.graph().kind[static_cast<std::size_t>(a.domain(worst).end)] == TN_REG_IN;
      if (s.comp == nullptr)
        rows.push_back({toRegister ? "setup" : "io_out", "", "", ns(s.delay), ns(s.arrival)});
      else
        rows.push_back({s.comp->name, pinName(s.comp, s.pin), location(s.comp), ns(s.delay), ns(s.arrival)});
    }
    std::size_t wc = 0, wp = 0, wl = 0, wd = 0, wa = 0;
    for (const Row& r : rows) {
      wc = std::max(wc, r.cell.size());
      wp = std::max(wp, r.pin.size());
      wl = std::max(wl, r.where.size());
      wd = std::max(wd, r.delay.size());
      wa = std::max(wa, r.arrival.size());
    }
    auto pad = [](const std::string& s, std::size_t w, bool right) {
      const std::string fill(w > s.size() ? w - s.size() : 0, ' ');
      return right ? fill + s : s + fill;
    };
    out += "critical path of " + a.domainName(worst) + ":\n";
    for (const Row& r : rows)
      out += "  " + pad(r.cell, wc, false) + "  " + pad(r.pin, wp, false) + "  " + pad(r.where, wl, false) + "  " +
             pad(r.delay, wd, true) + "  " + pad(r.arrival, wa, true) + "\n";
  }

  const Histogram h = slackHistogram(a);
  if (h.ends > 0) {
    out += "slack histogram, " + std::to_string(h.ends) + " ends:\n";
    const int most = *std::max_element(h.counts.begin(), h.counts.end());
    const int bins = static_cast<int>(h.counts.size());
    std::vector<std::string> ranges;
    std::size_t wr = 0;
    for (int b = 0; b < bins; ++b) {
      const double from = h.lo + b * h.width, to = b + 1 == bins ? h.hi : h.lo + (b + 1) * h.width;
      ranges.push_back("[" + ns(from) + ", " + ns(to) + (b + 1 == bins ? "]" : ")") + " ns");
      wr = std::max(wr, ranges.back().size());
    }
    for (int b = 0; b < bins; ++b) {
      const int n = h.counts[static_cast<std::size_t>(b)];
      const int marks = n == 0 ? 0 : std::max(1, static_cast<int>(static_cast<long>(n) * kBar / most));
      char count[32];
      std::snprintf(count, sizeof count, "%8d", n);
      out += "  " + ranges[static_cast<std::size_t>(b)] + std::string(wr - ranges[static_cast<std::size_t>(b)].size(), ' ') +
             count + (marks > 0 ? "  " + std::string(static_cast<std::size_t>(marks), '#') : "") + "\n";
    }
  }

  const TimingGraph& g = a.graph();
  if (!g.cutEdges.empty()) {
    out += "combinational loops: " + std::to_string(g.cutEdges.size()) + " cut";
    for (std::size_t i = 0; i < g.cutEdges.size() && i < static_cast<std::size_t>(kLoopsListed); ++i) {
      const std::size_t e = static_cast<std::size_t>(g.cutEdges[i]);
      const standin::Comp* c = g.comp[static_cast<std::size_t>(g.to[e])];
      out += (i == 0 ? ", at " : ", ") + c->name + " input " + pinName(c, g.pin[e]);
    }
    out += g.cutEdges.size() > static_cast<std::size_t>(kLoopsListed) ? ", ...\n" : "\n";
  }
  if (a.unrelatedEnds() > 0)
    out += "ends reached from an unrelated clock, not timed from it: " + std::to_string(a.unrelatedEnds()) + "\n";
  return out;
}

nlohmann::json timingJson(const TimingAnalysis& a) {
  using nlohmann::json;
  json j;
  const int worst = a.worstDomain();
  j["critical_path_ns"] = worst >= 0 ? json(a.domain(worst).delay / 1000) : json(nullptr);
  j["fmax_mhz"] = worst >= 0 ? json(a.domain(worst).mhz()) : json(nullptr);
  json domains = json::array();
  for (int k = 0; k < a.numDomains(); ++k) {
    const TimingDomain& d = a.domain(k);
    json o;
    o["name"] = a.domainName(k);
    o["ends"] = d.ends;
    if (d.timed()) {
      o["critical_path_ns"] = d.delay / 1000;
      o["fmax_mhz"] = d.mhz();
      o["half_period"] = d.halfPeriod;
      if (d.periodGiven) {
        o["period_ns"] = d.period / 1000;
        o["worst_slack_ns"] = d.worstSlack / 1000;
      }
    }
    domains.push_back(o);
  }
  j["domains"] = domains;
  json path = json::array();
  if (worst >= 0) {
    for (const PathStage& s : criticalPath(a, worst)) {
      json o;
      o["cell"] = s.comp != nullptr ? s.comp->name : std::string();
      o["pin"] = s.comp != nullptr ? pinName(s.comp, s.pin) : std::string();
      o["location"] = s.comp != nullptr ? location(s.comp) : std::string();
      o["delay_ns"] = s.delay / 1000;
      o["arrival_ns"] = s.arrival / 1000;
      path.push_back(o);
    }
  }
  j["path"] = path;
  const Histogram h = slackHistogram(a);
  json bins = json::array();
  for (std::size_t b = 0; b < h.counts.size(); ++b) {
    const bool last = b + 1 == h.counts.size();
    bins.push_back({{"from_ns", (h.lo + static_cast<double>(b) * h.width) / 1000},
                    {"to_ns", (last ? h.hi : h.lo + static_cast<double>(b + 1) * h.width) / 1000},
                    {"ends", h.counts[b]}});
  }
  j["slack_histogram"] = bins;
  j["loops_cut"] = a.graph().cutEdges.size();
  j["unrelated_ends"] = a.unrelatedEnds();
  return j;
}

}  // namespace qplace
