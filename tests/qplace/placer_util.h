// Whole runs of the placer in tests, and the designs they start from: a
// generated design, or one packed onto the device sized for it with its I/O
// placed and, on request, its logic at random.
#ifndef BASAPLACE_TESTS_QPLACE_PLACER_UTIL_H
#define BASAPLACE_TESTS_QPLACE_PLACER_UTIL_H

#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "host/standin/gen/designgen.h"
#include "host/standin/standin_util.h"
#include "qplace/legalize.h"
#include "qplace/placement_rules.h"
#include "qplace/placer.h"
#include "rule_faults.h"

// The same values to the last bit (NaNs and signed zeros alike).
inline bool sameBits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

// A generated design of `components` without the generator's placement.
inline designgen::Generated generated(standin::Design& d, int components, std::uint64_t seed = 1) {
  designgen::Params gp;
  gp.components = components;
  gp.seed = seed;
  gp.place = false;
  return designgen::generate(d, gp);
}

// The design `build` makes, packed onto a device of fill 0.7, its I/O
// placed, and its logic placed at random with `seed` unless that is 0.
struct Packed {
  standin::Design d;
  qplace::Model m;
  qplace::Fabric f;
  qplace::Placement p;
  bool placed = false;

  Packed(const std::function<void(standin::Design&)>& build, std::uint64_t seed)
      : m(qplace::packDesign(built(d, build))), f(qplace::makeFabric(d, m, 0.7, 0, 0, false)), p(f, m) {
    placed = qplace::placeIos(m, f, p) && (seed == 0 || qplace::randomPlacement(p, seed));
  }

private:
  static standin::Design& built(standin::Design& d, const std::function<void(standin::Design&)>& build) {
    build(d);
    return d;
  }
};

// Rules binding to `region` the first `count` units, in unit order, that
// `pick` takes, and no other unit; `count` is lowered by those bound, so
// it is 0 when that many were found.
inline qplace::PlacementRules regionRules(const qplace::Model& m, const qplace::Fabric& f,
                                          const qplace::ClusterRect& region, const std::function<bool(int)>& pick,
                                          int& count) {
  qplace::PlacementRules rules;
  rules.cols = f.cols;
  rules.fixedAt.assign(static_cast<std::size_t>(m.numUnits()), -1);
  rules.regionOf.assign(static_cast<std::size_t>(m.numUnits()), -1);
  rules.regions.push_back(region);
  for (int u = 0; u < m.numUnits() && count > 0; ++u)
    if (pick(u)) rules.regionOf[static_cast<std::size_t>(u)] = 0, --count;
  return rules;
}

struct PlacerRun {
  bool ok = false;
  qplace::PlacerFigures fig;
  std::map<std::string, std::string> siteOf;  // component: its site, and ".<slot>" when asked for
  int unplaced = 0, ruleFaults = 0;
};

// Options for a run that prints nothing and skips what tests do not read:
// the random baseline and the routing estimate.
inline qplace::PlacerOptions quietOptions() {
  qplace::PlacerOptions opt;
  opt.verbosity = 0;
  opt.baseline = false;
  opt.routeSignals = 0;
  return opt;
}

// Places d with `opt`, its messages captured and dropped.
inline PlacerRun runPlacer(standin::Design& d, const qplace::PlacerOptions& opt, bool slots = false) {
  qplace::QuadraticPlacer placer(d, opt);
  standin::messages().capture();
  PlacerRun r;
  r.ok = placer.apMain();
  standin::messages().release();
  r.fig = placer.figures();
  for (const standin::Comp& c : d.comps) {
    if (c.site == nullptr) {
      ++r.unplaced;
      continue;
    }
    int slot = 0;
    while (slot < 4 && c.site->slots[slot] != &c) ++slot;
    r.siteOf[c.name] = slots ? c.site->name + "." + std::to_string(slot) : c.site->name;
  }
  r.ruleFaults = registerRuleFaults(d, opt.halfRule);
  return r;
}

#endif
