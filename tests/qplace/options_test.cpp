// The command line: every value the options refuse, the bounds --help
// states, and combinations that would drop an input.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "qplace/options.h"

namespace {

using qplace::parseArgs;
using qplace::ParsedArgs;

ParsedArgs parse(std::vector<std::string> args) {
  args.insert(args.begin(), "qplace");
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  return parseArgs(static_cast<int>(argv.size()), argv.data());
}

std::string errorOf(const std::vector<std::string>& args) { return parse(args).error; }

TEST(Options, CountsTakeDecimalDigitsInRangeAndNothingElse) {
  const std::string seedRange = "--seed needs a whole number from 0 to 18446744073709551615, not ";
  for (const char* bad : {"nan", "inf", "-inf", "1e30", "1e3", "99999999999999999999999",
                          "-1", "-0", "+1", "1.5", "1.", "0x10", " 5", "5 ", "", "5x", "٣"})
    EXPECT_EQ(errorOf({"--seed", bad}), seedRange + "'" + bad + "'") << bad;
  EXPECT_EQ(parse({"--seed", "0"}).options.placer.seed, 0u);
  EXPECT_EQ(parse({"--seed", "010"}).options.placer.seed, 10u);  // decimal, not octal

  EXPECT_EQ(errorOf({"--generate", "0"}), "--generate needs a whole number from 1 to 100000000, not '0'");
  // Past int and past uint64 alike: refused, never wrapped.
  EXPECT_NE(errorOf({"--generate", "4294967297"}), "");
  EXPECT_NE(errorOf({"--generate", "18446744073709551617"}), "");
  EXPECT_EQ(errorOf({"--rows", "nan", "--cols", "nan"}), "--rows needs a whole number from 1 to 10000, not 'nan'");
  ParsedArgs size = parse({"--rows", "10000", "--cols", "1"});
  ASSERT_TRUE(size.ok()) << size.error;
  EXPECT_EQ(size.options.placer.rows, 10000);
  EXPECT_EQ(size.options.placer.cols, 1);

  EXPECT_EQ(errorOf({"--ctrl-reduce-max", "2147483648"}),
            "--ctrl-reduce-max needs a whole number from 0 to 2147483647, not '2147483648'");
  EXPECT_EQ(parse({"--ctrl-reduce-max", "0"}).options.ctrlReduceMax, 0);
}

TEST(Options, RealsAreFiniteAndWithinTheStatedRange) {
  const std::string fill = "--fill needs a number in [0.05, 0.9], not ";
  for (const char* bad : {"1", "0", "-0", "nan", "inf", "1e400", "0x0.8p0", " 0.5", "0.5 ", "",
                          ".", "e1", "5e", "0.5.1", "+0.5", "0,5"})
    EXPECT_EQ(errorOf({"--fill", bad}), fill + "'" + bad + "'") << bad;
  for (const auto& [text, value] : std::vector<std::pair<const char*, double>>{
           {"0.05", 0.05}, {"0.9", 0.9}, {".5", 0.5}, {"5e-1", 0.5}, {"0.7", 0.7}, {"9E-1", 0.9}}) {
    ParsedArgs r = parse({"--fill", text});
    ASSERT_TRUE(r.ok()) << text << ": " << r.error;
    EXPECT_EQ(r.options.placer.fill, value) << text;
  }
  const std::string effort = "--effort needs a number in (0, 1000], not ";
  for (const char* bad : {"0", "-0", "1e-400", "1e4", "fast"})
    EXPECT_EQ(errorOf({"--effort", bad}), effort + "'" + bad + "'") << bad;
  EXPECT_EQ(parse({"--effort", "1e-3"}).options.placer.effort, 0.001);
}

// What --help promises is what is accepted: each bound it prints is taken,
// the next value past it refused (the other values refused are above).
TEST(Options, HelpStatesTheBoundsThatAreAccepted) {
  const std::string help = qplace::usageText("x.json");
  struct Bound {
    const char* option;
    const char* helpText;
    const char* last;
    const char* past;
  };
  for (const Bound& b : {Bound{"--generate", "(1 to 100000000)", "100000000", "100000001"},
                         Bound{"--rows", "each 1 to 10000", "10000", "10001"},
                         Bound{"--fill", "[0.05, 0.9]", "0.9", "0.9000001"},
                         Bound{"--fill", "[0.05, 0.9]", "0.05", "0.0499999"},
                         Bound{"--effort", "(0, 1000]", "1000", "1000.0000001"},
                         Bound{"--seed", "0 to 18446744073709551615", "18446744073709551615", "18446744073709551616"}}) {
    EXPECT_NE(help.find(b.helpText), std::string::npos) << b.helpText;
    std::vector<std::string> args = {b.option, b.last};
    if (std::string(b.option) == "--rows") args.insert(args.end(), {"--cols", "1"});
    EXPECT_TRUE(parse(args).ok()) << b.option << " " << b.last;
    args[1] = b.past;
    EXPECT_FALSE(parse(args).ok()) << b.option << " " << b.past;
  }
}

TEST(Options, InputsAndCombinations) {
  // Defaults, and both spellings of a value.
  ParsedArgs r = parse({});
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.options.input, "");
  EXPECT_EQ(r.options.placer.outDir, "qplace-out");
  r = parse({"--seed=7", "--out=", "--top=cpu", "a.json"});
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.options.placer.seed, 7u);
  EXPECT_EQ(r.options.placer.outDir, "");
  EXPECT_EQ(r.options.top, "cpu");
  EXPECT_EQ(r.options.input, "a.json");
  // "--" lets a netlist's name start with '-'; the last of a repeated option counts.
  r = parse({"--seed", "1", "--seed", "2", "--", "-odd.json"});
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.options.input, "-odd.json");
  EXPECT_EQ(r.options.placer.seed, 2u);
  // "-" is standard input, before or after "--".
  for (const std::vector<std::string>& args : {std::vector<std::string>{"-", "-q"}, {"--", "-"}}) {
    r = parse(args);
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.options.input, "/dev/stdin");
  }

  // Combinations that would drop an input, and words that are no option.
  const std::pair<std::vector<std::string>, const char*> refused[] = {
      {{"a.json", "b.json"}, "two netlists given (a.json and b.json); place one at a time"},
      {{"a.json", "--generate", "5"}, "a netlist (a.json) and --generate given; place one or the other"},
      {{"--generate", "5", "--", "a.json"}, "a netlist (a.json) and --generate given; place one or the other"},
      {{""}, "an empty netlist name"},
      {{"--rows", "5"}, "--rows and --cols go together"},
      {{"--fill", "0.5", "--rows", "5", "--cols", "5"},
       "--fill sizes the device; it does nothing with --rows and --cols"},
      {{"--generate", "5", "--top", "m"}, "--top chooses a module of a netlist; not with --generate"},
      {{"--generate", "5", "--no-ctrl-reduce"}, "the control-set reduction applies to a netlist; not with --generate"},
      {{"--no-ctrl-reduce", "--ctrl-reduce-max", "4"}, "--ctrl-reduce-max does nothing with --no-ctrl-reduce"},
      {{"--top", ""}, "--top needs a module name, not an empty one"},
      {{"--bogus"}, "unknown option --bogus"},
      {{"-", "a.json"}, "two netlists given (/dev/stdin and a.json); place one at a time"},
      {{"--quiet=1"}, "--quiet takes no value"},
      {{"--seed"}, "--seed needs a whole number from 0 to 18446744073709551615"},
      {{"--out"}, "--out needs a folder"},
      {{"--effort"}, "--effort needs a number in (0, 1000]"},
  };
  for (const auto& [args, error] : refused) EXPECT_EQ(errorOf(args), error);
  // --help and --version win over anything after them, bad values included.
  EXPECT_TRUE(parse({"--help", "a.json", "b.json"}).options.help);
  EXPECT_TRUE(parse({"--version", "--seed", "x", "a.json", "b.json"}).options.version);
  EXPECT_EQ(errorOf({"--version=1"}), "--version takes no value");
}

}  // namespace

namespace {

// Timing options: periods read by the clock-period grammar, each refusal
// with its reason; --no-timing and --delays stored for the run.
TEST(Options, TimingOptions) {
  ParsedArgs t = parse({"--clock", "10", "--clock", "clk=4.5", "--delays", "d.txt"});
  ASSERT_TRUE(t.ok()) << t.error;
  EXPECT_EQ(t.options.placer.timingSettings.periods.of("clk"), 4.5);
  EXPECT_EQ(t.options.placer.timingSettings.periods.of("other"), 10);
  EXPECT_EQ(t.options.delaysFile, "d.txt");
  EXPECT_TRUE(t.options.placer.timing);
  EXPECT_FALSE(parse({"--no-timing"}).options.placer.timing);
  for (const char* bad : {"0", "-1", "nan", "clk=", "=3", "clk=inf"})
    EXPECT_EQ(errorOf({"--clock", bad}).rfind("--clock: ", 0), 0u) << bad;
  EXPECT_EQ(errorOf({"--delays", ""}), "--delays needs a file, not an empty name");
  EXPECT_EQ(errorOf({"--no-timing=1"}), "--no-timing takes no value");
}

// The trade-off: [0, 1] both ends included, refused outside or without a
// value, and refused with --no-timing (in either order), which it would
// not change.
TEST(Options, TimingTradeoff) {
  EXPECT_EQ(parse({}).options.placer.timingDriven.tradeoff, qplace::TimingDrivenParams().tradeoff);
  EXPECT_EQ(parse({"--timing-tradeoff", "0"}).options.placer.timingDriven.tradeoff, 0.0);
  EXPECT_EQ(parse({"--timing-tradeoff=1"}).options.placer.timingDriven.tradeoff, 1.0);
  EXPECT_EQ(parse({"--timing-tradeoff", ".25"}).options.placer.timingDriven.tradeoff, 0.25);
  const std::string range = "--timing-tradeoff needs a number in [0, 1], not ";
  for (const char* bad : {"1.0000001", "-0", "-0.5", "2", "nan", "inf", "", "0.5x"})
    EXPECT_EQ(errorOf({"--timing-tradeoff", bad}), range + "'" + bad + "'") << bad;
  EXPECT_EQ(errorOf({"--timing-tradeoff"}), "--timing-tradeoff needs a number in [0, 1]");
  EXPECT_EQ(errorOf({"--no-timing", "--timing-tradeoff", "0.5"}), "--timing-tradeoff does nothing with --no-timing");
  EXPECT_EQ(errorOf({"--timing-tradeoff", "0.5", "--no-timing"}), "--timing-tradeoff does nothing with --no-timing");
  // --help states the default the placer has.
  char stated[64];
  std::snprintf(stated, sizeof stated, "(default %g)", qplace::TimingDrivenParams().tradeoff);
  const std::string help = qplace::usageText("x.json");
  const std::size_t at = help.find("--timing-tradeoff F");
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(help.find(stated, at), help.find("(default", at));
}

TEST(Options, FlowOptions) {
  ParsedArgs f = parse({"in.json", "--constraints", "pins.pcf", "--write-json=out/placed.json", "--keep-placement",
                        "--report-json", "r.json"});
  ASSERT_TRUE(f.ok()) << f.error;
  EXPECT_EQ(f.options.constraintsFile, "pins.pcf");
  EXPECT_EQ(f.options.writeJson, "out/placed.json");
  EXPECT_TRUE(f.options.keepPlacement);
  EXPECT_EQ(f.options.placer.reportJson, "r.json");
  EXPECT_FALSE(parse({}).options.keepPlacement);
  // Constraints and the report apply to a generated design too.
  EXPECT_TRUE(parse({"--generate", "10", "--constraints", "c", "--report-json", "r"}).ok());
  for (const char* option : {"--constraints", "--write-json", "--report-json"}) {
    const std::string name = option;
    EXPECT_EQ(errorOf({option, ""}), name + " needs a file, not an empty name");
    EXPECT_EQ(errorOf({option, "out/"}), name + " needs a file, not a folder (out/)");
    EXPECT_EQ(errorOf({option}), name + " needs a file");
  }
  EXPECT_EQ(errorOf({"--keep-placement=yes"}), "--keep-placement takes no value");
  EXPECT_EQ(errorOf({"--generate", "10", "--write-json", "p.json"}),
            "--write-json writes a netlist read; not with --generate");
  EXPECT_EQ(errorOf({"--keep-placement", "--generate", "10"}),
            "--keep-placement reads a placed netlist; not with --generate");
  EXPECT_EQ(errorOf({"--write-json", "a.json", "--report-json", "a.json"}),
            "--write-json and --report-json name one file (a.json)");
}

}  // namespace
