// The main job's netlist reader on any bytes: arbitrary text, mutated yosys
// netlists, and gzip streams (an input that starts with the gzip magic bytes
// is read from a file, as the placer reads its netlists). Each input must
// give a netlist or a ReadError that names its source, never a crash, a
// hang, a leak or any other exception. On an error the design is left as it
// was; on success every component read is in the design, and every pin that
// a component has on a signal is listed by that signal.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
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

void CheckNetlist(const qplace::Netlist& nl, standin::Design& d) {
  Expect(nl.luts.size() + nl.regs.size() + nl.ios.size() == d.comps.size(), "components read");
  Expect(nl.controlSets >= 0 && static_cast<std::size_t>(nl.controlSets) <= nl.regs.size(),
         "more control sets than registers");
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
  try {
    if (gzip) {
      TempFile file(data, size);
      source = file.path();
      CheckNetlist(qplace::readNetlistFile(file.path(), d), d);
    } else {
      CheckNetlist(qplace::readNetlistText(std::string(reinterpret_cast<const char*>(data), size), source, d), d);
    }
  } catch (const qplace::ReadError& e) {
    Expect(std::string(e.what()).compare(0, source.size() + 2, source + ": ") == 0, "an error that does not name its source");
    Expect(d.comps.empty() && d.signals.empty() && d.prims.empty(), "a failed read changed the design");
  }
  return 0;
}
