// The JSON run report against its schema (docs/run-report.schema.json),
// and the schema check itself against documents that break the schema.
#include <gtest/gtest.h>

#include <unistd.h>

#include "qplace/options.h"
#include "qplace/placer.h"
#include "qplace/run_report.h"
#include "host/standin/standin_util.h"
#include "reader_util.h"
#include "schema_check.h"

namespace {

using json = nlohmann::ordered_json;

json readJson(const std::string& path) { return json::parse(fileText(path)); }

const json& schema() {
  static const json s = readJson(QPLACE_SCHEMA);
  return s;
}

// The report of a run of a generated design, placed with `args` (after
// "qplace --generate 600"), as the program writes it.
json reportOf(std::vector<const char*> args, qplace::PlacerFigures* figures = nullptr) {
  const std::string file = testing::TempDir() + "qplace_report_" + std::to_string(::getpid()) + ".json";
  std::vector<const char*> argv = {"qplace", "--generate", "600", "--out", "", "--report-json", file.c_str(), "-q"};
  argv.insert(argv.end(), args.begin(), args.end());
  const qplace::ParsedArgs parsed = qplace::parseArgs(static_cast<int>(argv.size()), argv.data());
  EXPECT_TRUE(parsed.ok()) << parsed.error;
  standin::Design d("gen");
  designgen::Params gp;
  gp.components = 600;
  gp.place = false;
  gp.device.routing = true;
  const designgen::Generated gen = designgen::generate(d, gp);
  qplace::PlacerOptions opt = parsed.options.placer;
  opt.device = &gen.device;
  qplace::RunInfo info;
  info.version = "9.8.7";
  info.options = qplace::reportOptions(parsed.options, opt);
  opt.runInfo = &info;
  qplace::QuadraticPlacer placer(d, opt);
  standin::messages().capture();
  const bool ok = placer.apMain();
  standin::messages().release();
  EXPECT_TRUE(ok) << placer.figures().error;
  if (figures != nullptr) *figures = placer.figures();
  json report = readJson(file);
  ::unlink(file.c_str());
  return report;
}

TEST(RunReport, ValidatesStatesTheRunsFiguresAndFaultsPlantedInItAreFound) {
  qplace::PlacerFigures fig;
  const json r = reportOf({"--clock", "clk=7.5"}, &fig);
  const std::vector<std::string> faults = schema_check::validate(schema(), r);
  ASSERT_TRUE(faults.empty()) << faults.front();
  EXPECT_EQ(r["version"], "9.8.7");
  EXPECT_EQ(r["options"]["generate"], 600);
  EXPECT_EQ(r["options"]["clock_periods"]["clocks"]["clk"], 7.5);
  EXPECT_EQ(r["options"]["netlist"], nullptr);
  EXPECT_EQ(r["design"]["units"], fig.units);
  EXPECT_EQ(r["design"]["luts"].get<int>() + r["design"]["registers"].get<int>() - r["design"]["pairs"].get<int>() +
                r["design"]["io"].get<int>(),
            fig.units);
  EXPECT_EQ(r["device"]["clusters"], fig.rows * fig.cols);
  EXPECT_EQ(r["phases"]["legalize"]["hpwl"], fig.legalHpwl);
  EXPECT_EQ(r["final"]["hpwl"], fig.finalHpwl);
  EXPECT_EQ(r["final"]["random_hpwl"], fig.randomHpwl);
  EXPECT_EQ(r["checks"]["passed"], true);
  EXPECT_GT(r["memory"]["peak_bytes"].get<std::uint64_t>(), 0u);
  int nets = 0;
  for (const auto& [box, count] : r["final"]["nets_by_box"].items()) nets += count.get<int>();
  EXPECT_EQ(nets, fig.nets);
  ASSERT_TRUE(r["timing"].is_object());
  EXPECT_EQ(r["timing"]["critical_path_ns"], r["final"]["critical_path_ns"]);

  // Each fault planted in the report is found, at its place.
  struct Case {
    const char* what;
    void (*plant)(json&);
    const char* fault;
  };
  const Case cases[] = {
      {"a required key gone", [](json& r) { r.erase("checks"); }, "/: lacks checks"},
      {"a count as text", [](json& r) { r["design"]["luts"] = "12"; }, "/design/luts: is string, not of type \"integer\""},
      {"a fraction for a count", [](json& r) { r["design"]["nets"] = 1.5; }, "/design/nets: is number"},
      {"a key the schema lacks", [](json& r) { r["extra"] = 1; }, "/: has no key extra in the schema"},
      {"a value outside its enum", [](json& r) { r["device"]["register_rule"] = "quarter"; }, "/device/register_rule: \"quarter\" is none of"},
      {"a number below its minimum", [](json& r) { r["final"]["hpwl"] = -1; }, "/final/hpwl: -1 is below 0"},
      {"a number above its maximum", [](json& r) { r["options"]["timing_tradeoff"] = 1.5; }, "/options/timing_tradeoff: 1.5 is above 1"},
      {"an array item of the wrong type", [](json& r) { r["timing"]["path"][0]["delay_ns"] = "x"; }, "/timing/path/0/delay_ns: is string"},
      {"a fault behind a $ref", [](json& r) { r["phases"]["pack"] = json::object(); }, "/phases/pack: lacks seconds"},
      {"a clock period as text", [](json& r) { r["options"]["clock_periods"]["clocks"]["clk"] = "10"; }, "/options/clock_periods/clocks/clk: is string"},
      {"a null where none may be", [](json& r) { r["final"]["hpwl"] = nullptr; }, "/final/hpwl: is null"},
  };
  for (const Case& c : cases) {
    json planted = r;
    c.plant(planted);
    const std::vector<std::string> faults = schema_check::validate(schema(), planted);
    ASSERT_EQ(faults.size(), 1u) << c.what;
    EXPECT_EQ(faults[0].rfind(c.fault, 0), 0u) << c.what << ": " << faults[0];
  }
  // A keyword the check does not know is reported, not passed over.
  EXPECT_EQ(schema_check::validate(json::parse(R"({"pattern": "^a"})"), json("b")),
            std::vector<std::string>{"/: the schema keyword pattern is not supported here"});
}

TEST(RunReport, WhatARunDoesNotMeasureIsNull) {
  const json r = reportOf({"--no-timing", "--no-baseline"});
  const std::vector<std::string> faults = schema_check::validate(schema(), r);
  EXPECT_TRUE(faults.empty()) << faults.front();
  EXPECT_EQ(r["timing"], nullptr);
  EXPECT_EQ(r["final"]["random_hpwl"], nullptr);
  EXPECT_EQ(r["final"]["critical_path_ns"], nullptr);
  EXPECT_EQ(r["phases"]["detail"]["critical_path_ns"], nullptr);
  EXPECT_EQ(r["options"]["timing"], false);
  EXPECT_EQ(r["options"]["timing_tradeoff"], nullptr);
}

}  // namespace
