// The placer's netlist reader on any bytes: arbitrary text, mutated yosys
// netlists, and gzip streams (an input that starts with the gzip magic bytes
// is read from a file, as the placer reads its netlists). Each input must
// give a logical netlist or a ReadError that names its source, never a
// crash, a hang, a leak or any other exception. A logical netlist read must
// build: every component read is in the design, under a printable name no
// other has; every renamed one maps back to a name of the netlist; every
// pin that a component has on a signal is listed by that signal; port bits
// are placed or counted as unplaced.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <set>
#include <string>

#include "bytestream.h"
#include "qplace/netlist_reader.h"

namespace {

void Expect(bool ok, const char* what) {
  if (!ok) fuzz::Fail("%s", what);
}

// A file holding the input, removed again when done.
class TempFile {
public:
  TempFile(const std::uint8_t* data, std::size_t size) {
    char name[] = "/tmp/fuzz_netlist_XXXXXX";
    const int fd = mkstemp(name);
    Expect(fd >= 0, "no temporary file");
    path_ = name;
    for (std::size_t done = 0; done < size;) {
      const ssize_t n = write(fd, data + done, size - done);
      Expect(n > 0, "cannot write the temporary file");
      done += static_cast<std::size_t>(n);
    }
    close(fd);
  }
  ~TempFile() { unlink(path_.c_str()); }
  const std::string& path() const { return path_; }

private:
  std::string path_;
};

bool Printable(const std::string& name) {
  for (char c : name)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return false;
  return !name.empty();
}

void CheckNetlist(const qplace::LogicNetlist& ln, const qplace::Netlist& nl, standin::Design& d) {
  Expect(nl.luts.size() == ln.luts.size() && nl.regs.size() == ln.regs.size(), "components built");
  Expect(nl.ios.size() + static_cast<std::size_t>(nl.unplacedPortBits) == ln.ports.size(), "port bits built");
  Expect(nl.luts.size() + nl.regs.size() + nl.ios.size() == d.comps.size(), "components read");
  Expect(nl.regLatch.size() == nl.regs.size() && nl.regFalling.size() == nl.regs.size(), "per-register flags");
  Expect(nl.controlSets >= 0 && static_cast<std::size_t>(nl.controlSets) <= nl.regs.size(),
         "more control sets than registers");
  std::set<std::string> names, originals;
  for (const qplace::LogicPort& p : ln.ports) originals.insert(p.name);
  for (const qplace::LogicLut& l : ln.luts) originals.insert(l.name);
  for (const qplace::LogicReg& r : ln.regs) originals.insert(r.name);
  for (standin::Comp& c : d.comps) {
    Expect(Printable(c.name), "a component name that is not printable");
    Expect(names.insert(c.name).second, "two components of one name");
    // Read as the quoted field of a placement line, the name runs to its end.
    std::size_t i = 0;
    while (i < c.name.size() && c.name[i] != '"') i += c.name[i] == '\\' ? 2 : 1;
    Expect(i == c.name.size(), "a name that ends a quoted field early, or escapes its closing quote");
  }
  for (const auto& [given, original] : nl.renamed)
    Expect(names.count(given) == 1 && originals.count(original) == 1, "a renamed component that is not one");
  for (standin::Comp& c : d.comps)
    for (std::size_t k = 0; k < c.signals.size(); ++k) {
      standin::Signal* sig = c.signals[k];
      if (sig == nullptr) continue;
      bool listed = false;
      for (standin::SigPin* p : sig->pins) listed |= p->comp == &c && p->pinid == static_cast<int>(k);
      Expect(listed, "a component's pin is missing from its signal");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const bool gzip = size >= 2 && data[0] == 0x1f && data[1] == 0x8b;
  standin::Design d;
  std::string source = "fuzz.json";
  qplace::ReadOptions opt;
  opt.memoryLimit = std::size_t{1} << 30;  // a fixed limit: the machine's memory does not decide
  try {
    qplace::LogicNetlist ln;
    if (gzip) {
      TempFile file(data, size);
      source = file.path();
      ln = qplace::readLogicNetlistFile(file.path(), opt);
    } else {
      ln = qplace::readLogicNetlistText(std::string(reinterpret_cast<const char*>(data), size), source, opt);
    }
    const qplace::Netlist nl = qplace::buildDesign(ln, d);
    CheckNetlist(ln, nl, d);
  } catch (const qplace::ReadError& e) {
    Expect(std::string(e.what()).compare(0, source.size() + 2, source + ": ") == 0, "an error that does not name its source");
    Expect(d.comps.empty() && d.signals.empty() && d.prims.empty(), "a failed read changed the design");
  }
  return 0;
}
