// qplace: places a design read from a yosys JSON netlist (picorv32 by
// default) or generated, on a device sized for it, and reports the result.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <ostream>
#include <string>

#include "qplace/netlist_reader.h"
#include "qplace/placer.h"
#include "host/ututil.h"

namespace {

const char* kUsage =
    "usage: qplace [options] [netlist.json | netlist.json.gz]\n"
    "\n"
    "Places a design on a device of four-site logic clusters and reports the\n"
    "result. The input is a yosys JSON netlist after a generic LUT-4 mapping\n"
    "(default: " QPLACE_DEFAULT_INPUT ").\n"
    "\n"
    "options:\n"
    "  --generate N      place a generated design of N components instead\n"
    "  --rows R --cols C device size in clusters (default: sized for the design)\n"
    "  --fill F          share of the logic used when sizing the device (default 0.7)\n"
    "  --half-rule       registers share a control set per half cluster, not per cluster\n"
    "  --seed S          seed of the generated design, the placement and the random baseline (default 1)\n"
    "  --out DIR         folder for the picture (default qplace-out; \"\" for none)\n"
    "  --effort E        time for quality: the detailed improvement takes about E times as\n"
    "                    long, for a shorter wirelength; a number in (0, 1000] (default 1)\n"
    "  --no-baseline     skip the random legal placement used for comparison\n"
    "  -q, --quiet       print errors only\n"
    "  -v, --verbose     print every step\n"
    "  -h, --help        this text\n"
    "\n"
    "Exit status: 0 when the design is placed legally, 1 on any error, 2 on bad usage.\n";

int usageError(const std::string& what) {
  std::fprintf(stderr, "qplace: %s\n(see qplace --help)\n", what.c_str());
  return 2;
}

bool toNumber(const char* s, double& out) {
  char* end = nullptr;
  out = std::strtod(s, &end);
  return end != s && *end == '\0';
}

}  // namespace

int main(int argc, char** argv) {
  qplace::PlacerOptions opt;
  opt.outDir = "qplace-out";
  std::string input = QPLACE_DEFAULT_INPUT;
  long generate = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&](double& v) {
      if (i + 1 >= argc || !toNumber(argv[i + 1], v)) return false;
      ++i;
      return true;
    };
    double v = 0;
    if (a == "-h" || a == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (a == "-q" || a == "--quiet") {
      opt.verbosity = 0;
    } else if (a == "-v" || a == "--verbose") {
      opt.verbosity = 2;
    } else if (a == "--half-rule") {
      opt.halfRule = true;
    } else if (a == "--no-baseline") {
      opt.baseline = false;
    } else if (a == "--out") {
      if (i + 1 >= argc) return usageError("--out needs a folder");
      opt.outDir = argv[++i];
    } else if (a == "--generate") {
      if (!value(v) || v < 1 || v > 2e7) return usageError("--generate needs a count from 1 to 20000000");
      generate = static_cast<long>(v);
    } else if (a == "--rows" || a == "--cols") {
      if (!value(v) || v < 1 || v > 30000) return usageError(a + " needs a count from 1 to 30000");
      (a == "--rows" ? opt.rows : opt.cols) = static_cast<int>(v);
    } else if (a == "--fill") {
      if (!value(v) || !(v > 0 && v <= 1)) return usageError("--fill needs a share in (0, 1]");
      opt.fill = v;
    } else if (a == "--effort") {
      if (!value(v) || !(v > 0 && v <= 1000)) return usageError("--effort needs a number in (0, 1000]");
      opt.effort = v;
    } else if (a == "--seed") {
      if (!value(v) || v < 0) return usageError("--seed needs a non-negative number");
      opt.seed = static_cast<std::uint64_t>(v);
    } else if (!a.empty() && a[0] == '-') {
      return usageError("unknown option " + a);
    } else {
      input = a;
    }
  }
  if ((opt.rows > 0) != (opt.cols > 0)) return usageError("--rows and --cols go together");

  try {
    standin::Design d("qplace");
    designgen::Generated gen;
    const std::clock_t start = std::clock();
    auto seconds = [&] { return static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC; };
    if (generate > 0) {
      designgen::Params gp;
      gp.components = static_cast<int>(generate);
      gp.seed = opt.seed;
      gp.place = false;
      gp.fill = opt.fill;
      gp.device.plcRows = opt.rows;
      gp.device.plcCols = opt.cols;
      gp.device.halfPlcRule = opt.halfRule;
      gp.device.routing = true;
      gen = designgen::generate(d, gp);
      opt.device = &gen.device;
      if (opt.verbosity >= 1)
        ut_msgman->print(neoform("generated %ld components in %.3f s: %zu LUTs, %zu registers, %zu I/O, %zu signals",
                                 generate, seconds(), gen.luts.size(), gen.regs.size(), gen.ios.size(),
                                 d.signals.size())).manip(std::endl);
    } else {
      qplace::Netlist nl = qplace::readNetlistFile(input, d);
      if (opt.verbosity >= 1)
        ut_msgman->print(neoform("read %s in %.3f s: %zu LUTs, %zu registers, %zu I/O, %zu signals, %d control sets",
                                 input.c_str(), seconds(), nl.luts.size(), nl.regs.size(), nl.ios.size(),
                                 d.signals.size(), nl.controlSets)).manip(std::endl);
    }
    qplace::QuadraticPlacer placer(d, opt);
    return placer.apMain() ? 0 : 1;
  } catch (const qplace::ReadError& e) {
    std::fprintf(stderr, "qplace: error: %s\n", e.what());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "qplace: error: %s\n", e.what());
  }
  return 1;
}
