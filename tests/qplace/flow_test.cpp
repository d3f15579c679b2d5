// picorv32 in a flow: the placed netlist read back with its locations kept
// (whole, and with a tenth of them removed), and every port bit on a site
// of a scattered pin-out with a region and fixed cells besides.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <map>
#include <random>
#include <sstream>

#include <unistd.h>

#include "qplace/constraints.h"
#include "qplace/json_out.h"
#include "qplace/names.h"
#include "qplace/netlist_text.h"
#include "placer_util.h"
#include "reader_util.h"

namespace {

using ojson = nlohmann::ordered_json;

struct Flow : PlacerRun {
  std::string lct;     // placement.lct
  std::string placed;  // the placed netlist
  std::vector<std::string> ioSites;   // of the device
  std::vector<std::string> portBits;  // every port bit, connected or not
  std::vector<std::string> warnings;
};

// Places `netlist` as the program does with --write-json (and
// --keep-placement when `keep`), under the constraint file `pins`.
Flow place(const std::string& netlist, const std::string& pins, bool keep) {
  static int runs = 0;
  const std::string dir = testing::TempDir() + "qplace_flow_" + std::to_string(::getpid()) + "_" + std::to_string(++runs);
  Flow run;
  standin::Design d;
  const qplace::LogicNetlist ln = qplace::readLogicNetlistText(netlist, "picorv32.json");
  const qplace::Netlist nl = qplace::buildDesign(ln, d);
  qplace::Constraints c;
  for (std::size_t k = 0; k < ln.ports.size(); ++k) {
    run.portBits.push_back(qplace::escapeName(ln.ports[k].name));
    if (nl.portComps[k] == nullptr) c.portsWithoutIo.push_back(run.portBits.back());
  }
  std::string error;
  EXPECT_TRUE(qplace::readConstraints(pins, "pins.pcf", c, error)) << error;
  qplace::PlacerOptions opt;
  opt.verbosity = 0;
  opt.effort = 0.25;  // a short annealing: these runs check rules, not quality
  opt.baseline = false;
  opt.outDir = dir;
  if (keep) {
    c.keptSource = "placed.json";
    EXPECT_GT(qplace::addKeptLocations(ln, nl, c), 0);
    opt.rows = ln.placedRows;
    opt.cols = ln.placedCols;
  }
  if (!c.empty()) opt.constraints = &c;
  opt.placedFiles.push_back({dir + "/placed.json", [&](std::string& out, std::string& why) {
                               return qplace::placedNetlistJson(netlist, "picorv32.json", ln, nl, d, out, why);
                             }});
  testing::internal::CaptureStderr();
  static_cast<PlacerRun&>(run) = runPlacer(d, opt);
  std::istringstream err(testing::internal::GetCapturedStderr());
  for (std::string line; std::getline(err, line);) run.warnings.push_back(line);
  run.lct = fileText(dir + "/placement.lct");
  run.placed = fileText(dir + "/placed.json");
  for (const standin::Site& s : d.sites)
    if (s.plc == nullptr) run.ioSites.push_back(s.name);
  for (const char* f : {"placement.lct", "bbox.txt", "placement.svg", "placement.png", "names.json", "placed.json"})
    ::unlink((dir + "/" + f).c_str());
  ::rmdir(dir.c_str());
  return run;
}

const std::string& picorv32() {
  static const std::string text = qplace::readNetlistBytes(QPLACE_PICORV32, 0);
  return text;
}

const Flow& unconstrained() {
  static const Flow run = place(picorv32(), "", false);
  return run;
}

void expectLegal(const Flow& r, const char* what) {
  EXPECT_TRUE(r.ok) << what << ": " << r.fig.error;
  EXPECT_EQ(r.fig.checkErrors, 0) << what;
  EXPECT_EQ(r.ruleFaults, 0) << what;
  EXPECT_EQ(r.unplaced, 0) << what;
}

// The placement attributes of a placed netlist's cells and ports.
std::map<std::string, std::string> locations(const ojson& doc) {
  std::map<std::string, std::string> at;
  const ojson& mod = doc["modules"]["picorv32"];
  for (const auto& [name, cell] : mod["cells"].items())
    if (cell["attributes"].contains("qplace_site"))
      at["cell " + name] = cell["attributes"]["qplace_site"].get<std::string>() + "." +
                           cell["attributes"]["qplace_slot"].get<std::string>();
  for (const auto& [name, port] : mod["ports"].items()) {
    const ojson& sites = port["attributes"]["qplace_site"];
    for (std::size_t b = 0; b < sites.size(); ++b)
      if (!sites[b].is_null()) at["port " + name + "/" + std::to_string(b)] = sites[b].get<std::string>();
  }
  return at;
}

// Removes every placement attribute (the device's too).
ojson stripped(ojson doc) {
  for (auto& [name, mod] : doc["modules"].items()) {
    for (const char* key : {"qplace_rows", "qplace_cols", "qplace_half_rule"}) mod["attributes"].erase(key);
    for (auto& [n, cell] : mod["cells"].items())
      for (const char* key : {"qplace_site", "qplace_slot", "qplace_parts"}) cell["attributes"].erase(key);
    for (auto& [n, port] : mod["ports"].items()) port.erase("attributes");
  }
  return doc;
}

TEST(Flow, PlacedNetlistReadBackKeepsEveryLocation) {
  const Flow& a = unconstrained();
  expectLegal(a, "unconstrained");
  ASSERT_FALSE(a.placed.empty());
  // The netlist written is the one read, but for the placement attributes.
  const ojson placed = ojson::parse(a.placed);
  EXPECT_TRUE(stripped(placed) == ojson::parse(picorv32())) << "the rest of the netlist changed";
  EXPECT_EQ(placed["modules"]["picorv32"]["attributes"]["qplace_rows"], a.fig.rows);

  // Every location kept: the very same placement.
  const Flow b = place(a.placed, "", true);
  expectLegal(b, "kept whole");
  EXPECT_TRUE(b.lct == a.lct) << "the placement file differs";
  EXPECT_EQ(b.fig.finalHpwl, a.fig.finalHpwl);

  // A tenth of the locations removed: the rest stay, the run is legal.
  ojson tenth = placed;
  int removed = 0, k = 0;
  for (auto& [name, cell] : tenth["modules"]["picorv32"]["cells"].items())
    if (k++ % 10 == 3) {
      cell["attributes"].erase("qplace_site");
      cell["attributes"].erase("qplace_slot");
      ++removed;
    }
  for (auto& [name, port] : tenth["modules"]["picorv32"]["ports"].items())
    for (ojson& site : port["attributes"]["qplace_site"])
      if (!site.is_null() && k++ % 10 == 3) site = nullptr;
  ASSERT_GT(removed, 400);
  const Flow c = place(tenth.dump(), "", true);
  expectLegal(c, "a tenth removed");
  const std::map<std::string, std::string> kept = locations(tenth), now = locations(ojson::parse(c.placed));
  int same = 0;
  for (const auto& [what, at] : kept) {
    const auto it = now.find(what);
    ASSERT_TRUE(it != now.end()) << what;
    EXPECT_EQ(it->second, at) << what;
    same += it->second == at;
  }
  EXPECT_EQ(now.size(), locations(placed).size()) << "every cell and port bit placed";
  std::cout << "picorv32 with a tenth of its locations removed: " << same << " kept, final hpwl "
            << c.fig.finalHpwl << " (all placed anew: " << a.fig.finalHpwl << ")\n";
}

TEST(Flow, EveryPortBitOnAScatteredSiteWithARegionAndFixedCells) {
  const Flow& a = unconstrained();
  ASSERT_TRUE(a.ok);
  // Every port bit, in a shuffled order, on shuffled sites: the connected
  // ones on sites of their own, the others (which take none) anywhere.
  std::mt19937 rng(7);
  std::vector<std::string> sites = a.ioSites, bits = a.portBits;
  std::shuffle(sites.begin(), sites.end(), rng);
  std::shuffle(bits.begin(), bits.end(), rng);
  std::map<std::string, std::string> wanted;
  std::vector<std::string> lines;
  std::size_t next = 0;
  for (const std::string& bit : bits) {
    const bool connected = a.siteOf.count(bit) != 0;
    const std::string& site = sites[connected ? next++ : rng() % sites.size()];
    if (connected) wanted[bit] = site;
    lines.push_back("set_io " + bit + " " + site);
  }
  ASSERT_EQ(wanted.size(), 236u);
  const std::string pattern = "$abc$26383$auto$blifparse.cc:525:parse_blif$265??";
  lines.push_back("region " + pattern + " 3 3 8 8   # rows 3 to 8, columns 3 to 8");
  lines.push_back("fix $auto$ff.cc:266:slice$12112 R20C20B R1");
  lines.push_back("fix $abc$26383$auto$blifparse.cc:525:parse_blif$26384 R1C1A");
  std::string text = "# every port bit of picorv32\n";
  for (const std::string& l : lines) text += l + "\n";

  const Flow d = place(picorv32(), text, false);
  expectLegal(d, "constrained");
  ASSERT_EQ(d.warnings.size(), 1u);
  EXPECT_NE(d.warnings[0].find("set_io of 173 port bits that take no I/O site"), std::string::npos) << d.warnings[0];
  for (const auto& [bit, site] : wanted) EXPECT_EQ(d.siteOf.at(bit), site) << bit;
  int inside = 0, bound = 0;
  for (const auto& [name, site] : d.siteOf) {
    if (!qplace::globMatch(pattern, name)) continue;
    ++bound;
    int row = 0, col = 0;
    ASSERT_EQ(std::sscanf(site.c_str(), "R%dC%d", &row, &col), 2) << site;
    inside += row >= 3 && row <= 8 && col >= 3 && col <= 8;
  }
  EXPECT_EQ(bound, 100);
  EXPECT_EQ(inside, bound);
  EXPECT_EQ(d.siteOf.at("$auto$ff.cc:266:slice$12112"), "R20C20B");
  EXPECT_EQ(d.siteOf.at("$abc$26383$auto$blifparse.cc:525:parse_blif$26384"), "R1C1A");
  // What a scattered pin-out costs (printed, not a bound).
  std::cout << "picorv32 with every port bit on a scattered site: final hpwl " << d.fig.finalHpwl << " against "
            << a.fig.finalHpwl << " unconstrained (" << d.fig.finalHpwl / a.fig.finalHpwl << ")\n";
}

}  // namespace
