// qplace: places a design read from a yosys JSON netlist (picorv32 by
// default) or generated, on a device sized for it, and reports the result.
//
// Before any work: the options (options.h; a usage error exits 2), the
// size of the run as far as the options tell it (limits.h: a device far
// larger than the design, or a run larger than the free memory, is an
// error with the figures), and the output folder (created and proven
// writable). A netlist's own size is weighed once it is read. Then the design is read
// or generated and placed; the placer writes its files (output_files.h).
//
// Standard output carries the progress and the figures, standard error the
// errors and warnings. A reader of standard output that goes away
// (`qplace | head -1`) does not end the run: SIGPIPE is ignored, the rest
// of the log is dropped, and the files are still written; the exit status
// is the run's. Output lost for another reason (a full disk) is the same,
// with a warning naming the reason.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <exception>
#include <iostream>
#include <new>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include <unistd.h>

#include "qplace/constraints.h"
#include "qplace/ctrl_reduce.h"
#include "qplace/json_out.h"
#include "qplace/limits.h"
#include "qplace/names.h"
#include "qplace/netlist_reader.h"
#include "qplace/netlist_text.h"
#include "qplace/options.h"
#include "qplace/output_files.h"
#include "qplace/placer.h"
#include "qplace/run_report.h"
#include "host/ututil.h"

namespace {

int usageError(const std::string& what) {
  std::fprintf(stderr, "qplace: %s\n(see qplace --help)\n", what.c_str());
  return 2;
}

int error(const std::string& what) {
  std::cout.flush();
  std::fprintf(stderr, "qplace: error: %s\n", what.c_str());
  return 1;
}

// Standard output written with write(2), a line or 8 kB at a time (the
// message manager flushes every line), keeping the reason of the first
// failure; after one, the rest of the log is dropped.
class StdoutBuf : public std::streambuf {
public:
  int error() const { return error_; }

protected:
  int_type overflow(int_type c) override {
    if (c != traits_type::eof()) buf_.push_back(traits_type::to_char_type(c));
    if (buf_.size() >= 8192) emit();
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    buf_.append(s, static_cast<std::size_t>(n));
    if (buf_.size() >= 8192) emit();
    return n;
  }
  int sync() override {
    emit();
    return 0;
  }

private:
  void emit() {
    for (std::size_t done = 0; error_ == 0 && done < buf_.size();) {
      const ssize_t n = ::write(1, buf_.data() + done, buf_.size() - done);
      if (n >= 0) done += static_cast<std::size_t>(n);
      else if (errno != EINTR) error_ = errno;
    }
    buf_.clear();
  }
  std::string buf_;
  int error_ = 0;
};

void warning(const std::string& what) {
  std::cout.flush();
  std::fprintf(stderr, "qplace: warning: %s\n", what.c_str());
}

// The folder a file goes to.
std::string folderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// The clock periods of the constraint file, with the command line's on top.
qplace::ClockPeriods mergedPeriods(const qplace::ClockPeriods& file, const qplace::ClockPeriods& cli) {
  qplace::ClockPeriods p = file;
  for (const auto& [clock, ns] : cli.byClock) p.byClock[clock] = ns;
  if (cli.everyClock > 0) p.everyClock = cli.everyClock;
  if (cli.ports > 0) p.ports = cli.ports;
  return p;
}

int run(const qplace::CliOptions& cli) {
  qplace::PlacerOptions opt = cli.placer;
  int rows = opt.rows, cols = opt.cols;
  std::string refusal;
  if (cli.generate > 0) {
    const qplace::RunSize size = qplace::generatedRunSize(cli.generate, rows, cols, opt.fill);
    refusal = qplace::deviceRefusal(size, rows, cols);
    if (refusal.empty()) refusal = qplace::memoryRefusal(size, qplace::availableMemory());
  } else if (rows > 0) {
    // The device alone, before the netlist is read; the design is weighed
    // once read.
    qplace::RunSize device;
    device.clusters = static_cast<std::int64_t>(rows) * cols;
    refusal = qplace::memoryRefusal(device, qplace::availableMemory());
  }
  if (!refusal.empty()) return error(refusal);
  if (!cli.delaysFile.empty()) {
    std::string why;
    if (!qplace::loadDelayModel(cli.delaysFile, opt.timingSettings.delays, why)) return error(why);
  }
  // The folders this run creates go again when it ends with nothing in
  // them: a failed run leaves none of its own (a run that succeeds has
  // written into each).
  struct MadeFolders {
    std::vector<std::string> made;
    ~MadeFolders() { qplace::removeEmptyFolders(made); }
  } folders;
  if (!opt.outDir.empty()) {
    std::string why;
    if (!qplace::prepareFolder(opt.outDir, why, &folders.made)) return error(why);
  }
  // The flow's files: their folders made and proven writable now, not at
  // the end of the run.
  for (const std::string& file : {cli.writeJson, opt.reportJson}) {
    std::string why;
    if (!file.empty() && !qplace::prepareFolder(folderOf(file), why, &folders.made)) return error(why);
  }
  qplace::Constraints constraints;
  if (!cli.constraintsFile.empty()) {
    std::string why;
    if (!qplace::loadConstraints(cli.constraintsFile, constraints, why)) return error(why);
    opt.timingSettings.periods = mergedPeriods(constraints.periods, opt.timingSettings.periods);
  }
  qplace::RunInfo info;
  info.version = QPLACE_VERSION;

  standin::Design d("qplace");
  designgen::Generated gen;
  std::string text;  // the netlist's, for --write-json
  qplace::LogicNetlist ln;
  qplace::Netlist nl;
  const std::clock_t start = std::clock();
  auto seconds = [&] { return static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC; };
  if (cli.generate > 0) {
    designgen::Params gp;
    gp.components = cli.generate;
    gp.seed = opt.seed;
    gp.place = false;
    gp.fill = opt.fill;
    gp.device.plcRows = rows;
    gp.device.plcCols = cols;
    gp.device.halfPlcRule = opt.halfRule;
    gp.device.routing = true;
    gen = designgen::generate(d, gp);
    opt.device = &gen.device;
    opt.dropRoutingGraph = true;  // the design is ours; its graph is wanted only at the end
    if (opt.verbosity >= 1)
      ut_msgman->print(neoform("generated %d components in %.3f s: %zu LUTs, %zu registers, %zu I/O, %zu signals",
                               cli.generate, seconds(), gen.luts.size(), gen.regs.size(), gen.ios.size(),
                               d.signals.size())).manip(std::endl);
  } else {
    qplace::ReadOptions ro;
    ro.top = cli.top;
    if (cli.writeJson.empty()) {
      ln = qplace::readLogicNetlistFile(cli.input, ro);
    } else {
      text = qplace::readNetlistBytes(cli.input, ro.memoryLimit);
      ln = qplace::readLogicNetlistText(text, cli.input, ro);
    }
    const std::size_t lutsRead = ln.luts.size();
    // A placed netlist placed again keeps its register rule (the control
    // sets fold for its group size).
    if (cli.keepPlacement) opt.halfRule = opt.halfRule || ln.placedHalfRule;
    // Small control sets folded into the logic in front of their registers,
    // where that frees register groups.
    qplace::ReduceParams rp;
    rp.enabled = cli.ctrlReduce;
    if (cli.ctrlReduceMax >= 0) rp.maxRegs = rp.spareMaxRegs = cli.ctrlReduceMax;
    rp.groupSize = opt.halfRule ? 4 : 8;
    const qplace::ReduceResult rr = qplace::reduceControlSets(ln, rp);
    nl = qplace::buildDesign(ln, d);
    if (opt.verbosity >= 1)
      ut_msgman->print(neoform("read %s in %.3f s: %zu LUTs, %zu registers, %zu I/O, %zu signals; %d port bits tied to a constant or unconnected take no I/O site",
                               cli.input.c_str(), seconds(), lutsRead, nl.regs.size(), nl.ios.size(),
                               d.signals.size(), nl.unplacedPortBits)).manip(std::endl);
    if (opt.verbosity >= 1) ut_msgman->print(qplace::describe(rr).c_str()).manip(std::endl);
    // What timing needs to know of the registers: falling edges and latches.
    opt.timingSettings.regFlags.assign(d.comps.size(), 0);
    for (std::size_t i = 0; i < nl.regs.size(); ++i)
      opt.timingSettings.regFlags[static_cast<std::size_t>(nl.regs[i]->id)] =
          static_cast<std::uint8_t>((nl.regFalling[i] ? qplace::REG_FALLING : 0) | (nl.regLatch[i] ? qplace::REG_LATCH : 0));
    // Names that had to change (escaped, made unique) are mapped back to
    // the netlist's own beside the placement.
    if (!nl.renamed.empty() || !nl.renamedSignals.empty())
      opt.extraFiles.emplace_back("names.json", qplace::nameMapJson(nl));
    info.controlSetsRead = rr.setsBefore;
    info.portBitsWithoutIo = nl.unplacedPortBits;
    for (std::size_t k = 0; k < ln.ports.size(); ++k)
      if (nl.portComps[k] == nullptr) constraints.portsWithoutIo.push_back(qplace::escapeName(ln.ports[k].name));
    if (cli.keepPlacement) {
      // The cells placed where the netlist says, on the device it was
      // placed on (unless --rows and --cols say otherwise).
      constraints.keptSource = cli.input;
      if (qplace::addKeptLocations(ln, nl, constraints) == 0)
        warning("--keep-placement: " + cli.input + " names no site for any cell or port bit");
      if (rows == 0 && ln.placedRows > 0 && ln.placedCols > 0) {
        opt.rows = rows = ln.placedRows;
        opt.cols = cols = ln.placedCols;
      }
    }
    if (!cli.writeJson.empty()) {
      opt.placedFiles.push_back({cli.writeJson, [&](std::string& out, std::string& why) {
                                   const bool made = qplace::placedNetlistJson(text, cli.input, ln, nl, d, out, why);
                                   std::string().swap(text);  // not needed any more
                                   return made;
                                 }});
    }
    const qplace::RunSize size = qplace::netlistRunSize(static_cast<std::int64_t>(nl.luts.size()),
                                                        static_cast<std::int64_t>(nl.regs.size()),
                                                        static_cast<std::int64_t>(nl.ios.size()), rows, cols, opt.fill);
    refusal = qplace::deviceRefusal(size, rows, cols);
    if (refusal.empty()) refusal = qplace::memoryRefusal(size, qplace::availableMemory());
    if (!refusal.empty()) return error(refusal);
  }
  if (!constraints.empty()) opt.constraints = &constraints;
  info.options = qplace::reportOptions(cli, opt);
  opt.runInfo = &info;
  qplace::QuadraticPlacer placer(d, opt);
  return placer.apMain() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::signal(SIGPIPE, SIG_IGN);
  qplace::removeTemporariesOnSignal();

  const qplace::ParsedArgs args = qplace::parseArgs(argc, argv);
  if (!args.ok()) return usageError(args.error);
  if (args.options.help) {
    std::fputs(qplace::usageText(QPLACE_DEFAULT_INPUT).c_str(), stdout);
    return 0;
  }
  if (args.options.version) {
    std::puts("qplace " QPLACE_VERSION);
    return 0;
  }
  qplace::CliOptions cli = args.options;
  if (cli.generate == 0 && cli.input.empty()) cli.input = QPLACE_DEFAULT_INPUT;

  StdoutBuf out;
  std::streambuf* const stdoutBuf = std::cout.rdbuf(&out);

  int status = 1;
  try {
    status = run(cli);
  } catch (const std::bad_alloc&) {
    status = error("out of memory (" + qplace::byteText(qplace::availableMemory()) + " available now)");
  } catch (const std::exception& e) {
    status = error(e.what());
  }
  std::cout.flush();
  std::cout.rdbuf(stdoutBuf);
  // A reader that went away (| head) is no fault; any other lost output is
  // worth a warning, the run's status unchanged.
  if (out.error() != 0 && out.error() != EPIPE)
    std::fprintf(stderr, "qplace: warning: standard output: %s; the log there is incomplete\n",
                 std::strerror(out.error()));
  return status;
}
