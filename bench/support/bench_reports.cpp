// The support object's reports on generated placed designs of 100,000 and
// 1,000,000 components, with the message manager discarding its output, so
// that a report costs what its reading and formatting cost and no terminal
// or buffer is timed.
//
// Each report's time is given per element (component, signal or site, as it
// lists them) and as a ratio against an anchor measured in the same run: one
// formatted print per component of the same design, the least any listing
// of the components can cost. After the run a table gives, per report, the
// processor time per element at both sizes (median over repetitions), their
// ratio (1.0 is perfectly linear), the ratio to the anchor and the total.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/standin/gen/designgen.h"
#include "host/standin/standin_util.h"
#include "support/basapsupp.h"

namespace {

constexpr int kSizes[] = {100000, 1000000};

// One generated design at a time: the one of the size last asked for.
standin::Design& designOf(int components) {
  static std::unique_ptr<standin::Design> design;
  static int made = 0;
  if (made != components) {
    design.reset();
    design = std::make_unique<standin::Design>("bench");
    designgen::Params params;
    params.components = components;
    designgen::generate(*design, params);
    made = components;
  }
  design->makeCurrent();
  return *design;
}

// What a report lists, and so what its time is divided by.
enum Elements { COMPS, SIGNALS, SITES, COMPS_AND_SIGNALS };

int count(standin::Design& d, Elements what) {
  switch (what) {
    case COMPS:
      return d.getnumcomps();
    case SIGNALS:
      return d.getnumsignals();
    case SITES:
      return d.getnumsites();
    case COMPS_AND_SIGNALS:
      return d.getnumcomps() + d.getnumsignals();
  }
  return 0;
}

struct Report {
  const char* name;
  Elements elements;
  void (*run)(AP_SUPP& supp);
};

const Report kReports[] = {
    {"anchor", COMPS,
     [](AP_SUPP& supp) {
       UP_DESIGN* d = supp.getDesign();
       for (int i = 0; i < d->getnumcomps(); ++i)
         ut_msgman->print(neoform("LOCATE COMP \"%s\" ;\n", d->getcomp(i)->getname(false)));
     }},
    {"dumpLocate", COMPS, [](AP_SUPP& supp) { supp.dumpLocate(nullptr, 0); }},
    {"dumpDesign", COMPS_AND_SIGNALS, [](AP_SUPP& supp) { supp.dumpDesign(nullptr, 0); }},
    {"dumpBBox", SIGNALS, [](AP_SUPP& supp) { supp.dumpBBox(nullptr, nullptr); }},
    {"dumpAllSites", SITES, [](AP_SUPP& supp) { supp.dumpAllSites(nullptr, 0); }},
};

std::string runName(const Report& report, int components) {
  return std::string(report.name) + "/" + std::to_string(components);
}

// Collects each run's processor time per iteration, to print the table at
// the end. The reports run on one thread and write nowhere, so processor
// time is their cost, and it holds steady on a machine shared with others.
class TableReporter : public benchmark::ConsoleReporter {
public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs)
      if (r.run_type == Run::RT_Iteration && r.iterations > 0)
        seconds[r.run_name.function_name].push_back(r.cpu_accumulated_time /
                                                    static_cast<double>(r.iterations));
    ConsoleReporter::ReportRuns(runs);
  }
  // Median over the repetitions, or -1 when the benchmark did not run.
  double time(const std::string& name) const {
    auto it = seconds.find(name);
    if (it == seconds.end()) return -1;
    std::vector<double> v = it->second;
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return v[v.size() / 2];
  }
  std::map<std::string, std::vector<double>> seconds;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

  // Registered size by size, so that each design is generated once.
  std::map<std::string, int> elements;
  for (int components : kSizes)
    for (const Report& report : kReports)
      benchmark::RegisterBenchmark(runName(report, components).c_str(),
                                   [&report, components, &elements](benchmark::State& state) {
                                     standin::Design& d = designOf(components);
                                     AP_SUPP supp(&d);
                                     const int n = count(d, report.elements);
                                     elements[runName(report, components)] = n;
                                     standin::messages().discard();
                                     for (auto _ : state) report.run(supp);
                                     standin::messages().release();
                                     state.SetItemsProcessed(state.iterations() * n);
                                   })
          ->Unit(benchmark::kMillisecond)
          ->Iterations(3);

  TableReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);

  auto perElement = [&](const Report& report, int components) {
    const std::string name = runName(report, components);
    const double t = reporter.time(name);
    const int n = elements[name];
    return t >= 0 && n > 0 ? t / n * 1e9 : -1.0;
  };
  std::printf("\n%-14s %12s %12s %10s %12s %12s %12s\n", "report", "ns/elem 100k", "ns/elem 1M",
              "1M/100k", "/anchor 1M", "elements 1M", "total 1M ms");
  const double anchor = perElement(kReports[0], kSizes[1]);
  for (const Report& report : kReports) {
    const double small = perElement(report, kSizes[0]), large = perElement(report, kSizes[1]);
    if (small < 0 || large < 0) continue;
    const int n = elements[runName(report, kSizes[1])];
    std::printf("%-14s %12.1f %12.1f %10.2f %12.2f %12d %12.1f\n", report.name, small, large,
                large / small, anchor > 0 ? large / anchor : 0.0, n, large * n * 1e-6);
  }
  benchmark::Shutdown();
  return 0;
}
