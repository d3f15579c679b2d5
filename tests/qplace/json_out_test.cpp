// The placed netlist: every cell and port bit gets its site, wide
// multiplexers their inner LUTs' too, nothing else changes, and the reader
// gives the locations back.
#include <gtest/gtest.h>

#include "qplace/ctrl_reduce.h"
#include "qplace/json_out.h"
#include "qplace/placer.h"
#include "host/standin/standin_util.h"
#include "reader_util.h"

namespace {

using ojson = nlohmann::ordered_json;

std::string where(const standin::Comp* c, bool slot) {
  if (c == nullptr || c->site == nullptr) return "";
  if (!slot) return c->site->name;
  static const char* const kSlots[4] = {"L0", "L1", "R0", "R1"};
  for (int k = 0; k < 4; ++k)
    if (c->site->slots[k] == c) return c->site->name + "." + kSlots[k];
  return c->site->name + ".?";
}

// A netlist of tests/qplace/data (or its text), placed.
struct Placed {
  std::string text;
  standin::Design d;
  qplace::LogicNetlist ln;
  qplace::Netlist nl;
  qplace::ReduceResult folded;
  // fold: the small control sets folded first (ctrl_reduce.h).
  explicit Placed(const std::string& netlist, bool fold = false) : text(netlist) {
    ln = qplace::readLogicNetlistText(text, "in.json");
    if (fold) folded = qplace::reduceControlSets(ln, qplace::ReduceParams{});
    nl = qplace::buildDesign(ln, d);
    qplace::PlacerOptions opt;
    opt.verbosity = 0;
    opt.timing = false;
    opt.rows = opt.cols = 4;  // room for regs.json's 12 control sets
    qplace::QuadraticPlacer placer(d, opt);
    EXPECT_TRUE(placer.apMain()) << placer.figures().error;
  }
  std::string json() {
    std::string out, error;
    EXPECT_TRUE(qplace::placedNetlistJson(text, "in.json", ln, nl, d, out, error)) << error;
    return out;
  }
};

TEST(PlacedNetlist, EveryCellAndPortBitNamesItsSiteAndTheReaderGivesThemBack) {
  for (const char* file : {"gates.json", "ports.json", "regs.json"}) {
    Placed p(readData(file));
    const ojson out = ojson::parse(p.json());
    const ojson& mod = out["modules"][p.ln.top];
    // Read back, every LUT, register and port bit has the location it was given.
    const qplace::LogicNetlist back = qplace::readLogicNetlistText(p.json(), "placed.json");
    ASSERT_EQ(back.luts.size(), p.nl.luts.size());
    for (std::size_t k = 0; k < back.luts.size(); ++k) EXPECT_EQ(back.luts[k].placedAt, where(p.nl.luts[k], true)) << file;
    for (std::size_t k = 0; k < back.regs.size(); ++k) EXPECT_EQ(back.regs[k].placedAt, where(p.nl.regs[k], true)) << file;
    int withoutSite = 0;
    for (std::size_t k = 0; k < back.ports.size(); ++k) {
      EXPECT_EQ(back.ports[k].placedAt, where(p.nl.portComps[k], false)) << file << " " << back.ports[k].name;
      withoutSite += back.ports[k].placedAt.empty();
    }
    EXPECT_EQ(withoutSite, p.nl.unplacedPortBits) << file;
    EXPECT_EQ(back.placedRows, static_cast<int>(p.d.phy.grid.rows) - 2);
    // A port bit without a site is "" in its port's list: no null, which
    // yosys cannot read back.
    if (std::string(file) == "ports.json") {
      EXPECT_EQ(mod["ports"]["unused"]["attributes"]["qplace_site"], ojson::parse("[\"\"]"));
      EXPECT_EQ(p.json().find("null"), std::string::npos);
      // An earlier version's null there reads back as no site all the same.
      ojson old = out;
      old["modules"][p.ln.top]["ports"]["unused"]["attributes"]["qplace_site"] = ojson::parse("[null]");
      const qplace::LogicNetlist fromOld = qplace::readLogicNetlistText(old.dump(), "old.json");
      ASSERT_EQ(fromOld.ports.size(), back.ports.size());
      for (std::size_t k = 0; k < back.ports.size(); ++k) EXPECT_EQ(fromOld.ports[k].placedAt, back.ports[k].placedAt);
      EXPECT_TRUE(mod["ports"]["p\"q"]["attributes"]["qplace_site"][0].is_string());
    }
    // Wide multiplexers: the root's site on the cell, the inner LUTs' in order.
    if (std::string(file) == "gates.json") {
      for (const auto& [cell, inner] : {std::pair<const char*, int>{"g16", 2}, {"g17", 6}, {"g18", 14}}) {
        const ojson& attrs = mod["cells"][cell]["attributes"];
        std::istringstream words(attrs["qplace_parts"].get<std::string>());
        std::vector<std::string> parts{std::istream_iterator<std::string>(words), std::istream_iterator<std::string>()};
        ASSERT_EQ(parts.size(), static_cast<std::size_t>(inner)) << cell;
        for (int k = 0; k < inner; ++k)
          EXPECT_EQ(parts[k], where(byName(p.d, std::string(cell) + "$mux" + std::to_string(k)), true));
        EXPECT_EQ(attrs["qplace_site"].get<std::string>() + "." + attrs["qplace_slot"].get<std::string>(),
                  where(byName(p.d, cell), true));
      }
      EXPECT_FALSE(mod["cells"]["g2"]["attributes"].contains("qplace_parts"));
    }
  }
}

TEST(PlacedNetlist, OldLocationsAreReplacedInPlaceAndOtherCellsLeftAlone) {
  // An input placed before: its cell has a location among other attributes.
  ojson in = ojson::parse(readData("alu_lut.json"));
  ojson& cell = in["modules"]["alu"]["cells"].begin().value();
  cell["attributes"] = ojson::parse(R"({"keep": "1", "qplace_site": "R99C99A", "src": "alu.v:3"})");
  in["modules"]["alu"]["cells"]["odd one"] = ojson::parse(R"({"type": "$scopeinfo", "connections": {}})");
  Placed p(in.dump(1));
  const ojson out = ojson::parse(p.json());
  const ojson& attrs = out["modules"]["alu"]["cells"].begin().value()["attributes"];
  std::vector<std::string> keys;
  for (const auto& [key, value] : attrs.items()) keys.push_back(key);
  EXPECT_EQ(keys, (std::vector<std::string>{"keep", "qplace_site", "src", "qplace_slot"}));
  EXPECT_NE(attrs["qplace_site"], "R99C99A");
  EXPECT_FALSE(out["modules"]["alu"]["cells"]["odd one"].contains("attributes")) << "a cell of no component is left";
  // (That nothing else changes is the flow test's, on picorv32.) A text
  // that is no longer the netlist placed is refused.
  in["modules"]["alu"]["cells"].erase(in["modules"]["alu"]["cells"].begin().key());
  std::string error, placed;
  EXPECT_FALSE(qplace::placedNetlistJson(in.dump(), "in.json", p.ln, p.nl, p.d, placed, error));
  EXPECT_EQ(error, "in.json: no longer the netlist read (1 of its LUTs and registers have no cell)");
}

TEST(PlacedNetlist, LayoutPutsObjectsOneKeyALineAndPlainArraysOnOne) {
  const ojson v = ojson::parse(R"({"a": [1, "x\u0001", null], "b": {}, "c": [{"d": []}, [2]], "e": "\u00e9"})");
  EXPECT_EQ(qplace::layoutJson(v),
            "{\n"
            "  \"a\": [1,\"x\\u0001\",null],\n"
            "  \"b\": {},\n"
            "  \"c\": [\n"
            "    {\n"
            "      \"d\": []\n"
            "    },\n"
            "    [2]\n"
            "  ],\n"
            "  \"e\": \"\xc3\xa9\"\n"
            "}");
  EXPECT_EQ(ojson::parse(qplace::layoutJson(v)), v);
}

// The LUTs a control-set fold adds are no cell of the netlist: the cells
// there are keep their sites, the added ones are not written.
TEST(PlacedNetlist, LutsAddedByAControlSetFoldAreNotWritten) {
  Placed p(readData("ctrlsets_small.json"), true);
  ASSERT_GT(p.folded.lutsAdded, 0);
  const ojson out = ojson::parse(p.json());
  const ojson& cells = out["modules"][p.ln.top]["cells"];
  int added = 0;
  for (std::size_t k = 0; k < p.ln.luts.size(); ++k) {
    const qplace::LogicLut& l = p.ln.luts[k];
    if (l.added) {
      ++added;
      EXPECT_FALSE(cells.contains(l.name)) << l.name;
    } else if (!l.inner) {
      ASSERT_TRUE(cells.contains(l.name)) << l.name;
      EXPECT_EQ(cells[l.name]["attributes"]["qplace_site"].get<std::string>() + "." +
                    cells[l.name]["attributes"]["qplace_slot"].get<std::string>(),
                where(p.nl.luts[k], true))
          << l.name;
    }
  }
  EXPECT_EQ(added, p.folded.lutsAdded);
  const qplace::LogicNetlist back = qplace::readLogicNetlistText(p.json(), "placed.json");
  for (std::size_t k = 0; k < back.regs.size(); ++k) EXPECT_EQ(back.regs[k].placedAt, where(p.nl.regs[k], true));
}

}  // namespace
