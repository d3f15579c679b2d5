// qplace's command line, read strictly.
#include "qplace/options.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace qplace {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// "a number in (0, 1000]", "a number in [0.05, 0.9]"
std::string rangeText(double lo, bool loOpen, double hi) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "a number in %c%g, %g]", loOpen ? '(' : '[', lo, hi);
  return buf;
}

// The value as the user typed it, quoted, for the refusal.
std::string quoted(const std::string& v) { return "'" + v + "'"; }

}  // namespace

bool parseCount(const std::string& text, std::uint64_t min, std::uint64_t max, std::uint64_t& out) {
  if (text.empty()) return false;
  std::uint64_t v = 0;
  for (char c : text) {
    if (!isDigit(c)) return false;
    const std::uint64_t d = static_cast<std::uint64_t>(c - '0');
    if (v > (UINT64_MAX - d) / 10) return false;  // past 2^64-1
    v = v * 10 + d;
  }
  if (v < min || v > max) return false;
  out = v;
  return true;
}

bool parseReal(const std::string& text, double& out) {
  // digits [. digits] | . digits, then [e|E [+|-] digits]
  std::size_t i = 0, n = text.size(), mantissa = 0;
  while (i < n && isDigit(text[i])) ++i, ++mantissa;
  if (i < n && text[i] == '.') {
    ++i;
    while (i < n && isDigit(text[i])) ++i, ++mantissa;
  }
  if (mantissa == 0) return false;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    const std::size_t digits = i;
    while (i < n && isDigit(text[i])) ++i;
    if (i == digits) return false;
  }
  if (i != n) return false;
  // The text is now one strtod reads whole, in the C locale's format (the
  // program never sets another).
  const double v = std::strtod(text.c_str(), nullptr);
  if (!std::isfinite(v)) return false;
  out = v;
  return true;
}

std::string usageText(const std::string& defaultInput) {
  return "usage: qplace [options] [netlist.json | netlist.json.gz | -]\n"
         "\n"
         "Places a design on a device of four-site logic clusters and reports the\n"
         "result. The input is a yosys JSON netlist after a generic LUT-4 mapping\n"
         "(default: " + defaultInput + "; - reads it from standard input).\n"
         "\n"
         "options (a value follows as the next argument or after '='):\n"
         "  --generate N      place a generated design of N components (1 to 100000000) instead\n"
         "  --rows R --cols C device size in clusters, each 1 to 10000 (default: sized for the design);\n"
         "                    at most 100 times the clusters the design needs, or 10000 clusters\n"
         "  --fill F          share of the binding kind of slot (LUT or register), and of the I/O\n"
         "                    sites, used when sizing the device, a number in [0.05, 0.9]\n"
         "                    (default 0.7); not with --rows\n"
         "  --half-rule       registers share a control set per half cluster, not per cluster\n"
         "  --seed S          seed of the generated design, the placement and the random baseline,\n"
         "                    0 to 18446744073709551615 (default 1)\n"
         "  --top NAME        the netlist's module to place (default: the one marked top)\n"
         "  --no-ctrl-reduce  keep every control set of the netlist as it is\n"
         "  --ctrl-reduce-max N  fold control sets of at most N registers (0 to 2147483647; default\n"
         "                    16, and any size where the registers size the device)\n"
         "  --out DIR         folder for the placement, the boxes and the picture, created with its\n"
         "                    parents (default qplace-out; \"\" for none)\n"
         "  --effort E        time for quality: the detailed improvement takes about E times as\n"
         "                    long, for a shorter wirelength; a number in (0, 1000] (default 1)\n"
         "  --no-baseline     skip the random legal placement used for comparison\n"
         "  --no-timing       no timing analysis and no timing-driven placement\n"
         "  --timing-tradeoff F  timing against wirelength in the placement, a number in [0, 1]:\n"
         "                    0 places on wirelength alone, higher values weigh the critical\n"
         "                    connections more (default 0.3)\n"
         "  --clock P         a clock period in ns: \"<ns>\" for every clock, \"<clock>=<ns>\" for one;\n"
         "                    repeatable (default: each clock timed at the period it reaches)\n"
         "  --delays FILE     the device's delays from FILE (\"name value\" lines; see the README)\n"
         "  --constraints FILE  port bits on given I/O sites, cells fixed or kept in a rectangle,\n"
         "                    clock periods (set_io, fix, region, clock lines; see the README)\n"
         "  --write-json FILE the netlist read, with each cell's and port bit's site added\n"
         "  --keep-placement  place the netlist's cells that name a site (written by --write-json)\n"
         "                    where it says, and the rest around them\n"
         "  --report-json FILE  a JSON report of the run (options, counts, phases, checks, timing)\n"
         "  -q, --quiet       print errors and warnings only\n"
         "  -v, --verbose     print every step\n"
         "  -h, --help        this text\n"
         "  --version         the version of qplace\n"
         "  --                the next argument is the netlist, even if it starts with '-'\n"
         "\n"
         "Numbers: counts in decimal digits only; other numbers in decimal, with an optional\n"
         "fraction and exponent. Progress and figures go to standard output, errors and\n"
         "warnings to standard error. The files of the output folder are replaced only when\n"
         "the whole run succeeds; a failed run leaves none of its own.\n"
         "\n"
         "Exit status: 0 when the design is placed legally and its files are written,\n"
         "1 on any error (input, device size, memory, check, output files), 2 on bad usage.\n";
}

ParsedArgs parseArgs(int argc, const char* const* argv) {
  ParsedArgs r;
  CliOptions& o = r.options;
  o.placer.outDir = "qplace-out";
  o.placer.minAnnealTries = kCommandLineAnnealTries;  // small designs anneal a little longer (placer.h)
  bool fillGiven = false, generateGiven = false, ctrlMaxGiven = false, topGiven = false, tradeoffGiven = false;
  // A file name: not empty, and naming no folder.
  auto file = [&](const std::string& name, const std::string& value, std::string& out) {
    if (value.empty()) r.error = name + " needs a file, not an empty name";
    else if (value.back() == '/') r.error = name + " needs a file, not a folder (" + value + ")";
    else out = value;
    return r.error.empty();
  };
  bool inputGiven = false, noMoreOptions = false;
  auto refuse = [&](const std::string& why) {
    r.error = why;
    return r;
  };

  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i] != nullptr ? argv[i] : "";
    if (noMoreOptions || arg.empty() || arg[0] != '-' || arg == "-") {
      if (arg.empty()) return refuse("an empty netlist name");
      // "-" is standard input, read (plain or gzip) through its device file,
      // which the messages then name.
      const std::string input = arg == "-" ? "/dev/stdin" : arg;
      if (inputGiven) return refuse("two netlists given (" + o.input + " and " + input + "); place one at a time");
      o.input = input;
      inputGiven = true;
      continue;
    }
    if (arg == "--") {
      noMoreOptions = true;
      continue;
    }
    // "--name=value" or "--name value"
    std::string name = arg, inlineValue;
    bool hasInline = false;
    const std::size_t eq = arg.find('=');
    if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      name = arg.substr(0, eq);
      inlineValue = arg.substr(eq + 1);
      hasInline = true;
    }
    auto flag = [&]() {
      if (hasInline) r.error = name + " takes no value";
      return !hasInline;
    };
    // The value of the option, or false (with the refusal set) when none follows.
    std::string value;
    auto takeValue = [&](const std::string& what) {
      if (hasInline) {
        value = inlineValue;
        return true;
      }
      if (i + 1 >= argc || argv[i + 1] == nullptr) {
        r.error = name + " needs " + what;
        return false;
      }
      value = argv[++i];
      return true;
    };
    auto count = [&](std::uint64_t min, std::uint64_t max, std::uint64_t& out) {
      const std::string what =
          "a whole number from " + std::to_string(min) + " to " + std::to_string(max);
      if (!takeValue(what)) return false;
      if (parseCount(value, min, max, out)) return true;
      r.error = name + " needs " + what + ", not " + quoted(value);
      return false;
    };
    auto real = [&](double lo, bool loOpen, double hi, double& out) {
      const std::string what = rangeText(lo, loOpen, hi);
      if (!takeValue(what)) return false;
      double v = 0;
      if (parseReal(value, v) && (loOpen ? v > lo : v >= lo) && v <= hi) {
        out = v;
        return true;
      }
      r.error = name + " needs " + what + ", not " + quoted(value);
      return false;
    };

    std::uint64_t n = 0;
    if (name == "-h" || name == "--help") {
      if (!flag()) return r;
      o.help = true;  // the rest is not read, as it would not be used
      return r;
    } else if (name == "--version") {
      if (!flag()) return r;
      o.version = true;  // as --help, the rest is not read
      return r;
    } else if (name == "-q" || name == "--quiet") {
      if (!flag()) return r;
      o.placer.verbosity = 0;
    } else if (name == "-v" || name == "--verbose") {
      if (!flag()) return r;
      o.placer.verbosity = 2;
    } else if (name == "--half-rule") {
      if (!flag()) return r;
      o.placer.halfRule = true;
    } else if (name == "--no-baseline") {
      if (!flag()) return r;
      o.placer.baseline = false;
    } else if (name == "--no-timing") {
      if (!flag()) return r;
      o.placer.timing = false;
    } else if (name == "--clock") {
      if (!takeValue("a period in ns, <ns> or <clock>=<ns>")) return r;
      std::string why;
      if (!addPeriodOption(value, o.placer.timingSettings.periods, why)) return refuse("--clock: " + why);
    } else if (name == "--delays") {
      if (!takeValue("a file")) return r;
      if (value.empty()) return refuse("--delays needs a file, not an empty name");
      o.delaysFile = value;
    } else if (name == "--constraints" || name == "--write-json" || name == "--report-json") {
      if (!takeValue("a file")) return r;
      std::string& to = name == "--constraints" ? o.constraintsFile
                        : name == "--write-json" ? o.writeJson
                                                 : o.placer.reportJson;
      if (!file(name, value, to)) return r;
    } else if (name == "--keep-placement") {
      if (!flag()) return r;
      o.keepPlacement = true;
    } else if (name == "--no-ctrl-reduce") {
      if (!flag()) return r;
      o.ctrlReduce = false;
    } else if (name == "--out") {
      if (!takeValue("a folder")) return r;
      o.placer.outDir = value;
    } else if (name == "--top") {
      if (!takeValue("a module name")) return r;
      if (value.empty()) return refuse("--top needs a module name, not an empty one");
      o.top = value;
      topGiven = true;
    } else if (name == "--generate") {
      if (!count(1, kMaxGenerate, n)) return r;
      o.generate = static_cast<int>(n);
      generateGiven = true;
    } else if (name == "--rows" || name == "--cols") {
      if (!count(1, kMaxSide, n)) return r;
      (name == "--rows" ? o.placer.rows : o.placer.cols) = static_cast<int>(n);
    } else if (name == "--seed") {
      if (!count(0, UINT64_MAX, n)) return r;
      o.placer.seed = n;
    } else if (name == "--ctrl-reduce-max") {
      if (!count(0, INT_MAX, n)) return r;
      o.ctrlReduceMax = static_cast<int>(n);
      ctrlMaxGiven = true;
    } else if (name == "--fill") {
      if (!real(kMinFill, false, kMaxFill, o.placer.fill)) return r;
      fillGiven = true;
    } else if (name == "--effort") {
      if (!real(0, true, kMaxEffort, o.placer.effort)) return r;
    } else if (name == "--timing-tradeoff") {
      if (!real(0, false, 1, o.placer.timingDriven.tradeoff)) return r;
      tradeoffGiven = true;
    } else {
      return refuse("unknown option " + name);
    }
  }
  if ((o.placer.rows > 0) != (o.placer.cols > 0)) return refuse("--rows and --cols go together");
  if (tradeoffGiven && !o.placer.timing) return refuse("--timing-tradeoff does nothing with --no-timing");
  if (fillGiven && o.placer.rows > 0) return refuse("--fill sizes the device; it does nothing with --rows and --cols");
  if (generateGiven && inputGiven) return refuse("a netlist (" + o.input + ") and --generate given; place one or the other");
  if (generateGiven && topGiven) return refuse("--top chooses a module of a netlist; not with --generate");
  if (generateGiven && (!o.ctrlReduce || ctrlMaxGiven))
    return refuse("the control-set reduction applies to a netlist; not with --generate");
  if (!o.ctrlReduce && ctrlMaxGiven) return refuse("--ctrl-reduce-max does nothing with --no-ctrl-reduce");
  if (generateGiven && !o.writeJson.empty()) return refuse("--write-json writes a netlist read; not with --generate");
  if (generateGiven && o.keepPlacement) return refuse("--keep-placement reads a placed netlist; not with --generate");
  if (!o.writeJson.empty() && o.writeJson == o.placer.reportJson)
    return refuse("--write-json and --report-json name one file (" + o.writeJson + ")");
  return r;
}

}  // namespace qplace
