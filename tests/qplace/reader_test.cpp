// The yosys netlist reader: what a good netlist becomes, and a clear error
// that leaves the design untouched for each kind of bad one.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "qplace/netlist_reader.h"

namespace {

using qplace::Netlist;
using qplace::ReadError;

// A small netlist: ports a (input), y[0..1] (output, bit 1 constant), io
// (both ways) and clk; two LUTs, and six registers of three control sets.
const char* kGood = R"({
  "creator": "test",
  "modules": {
    "other": {"attributes": {}, "ports": {}, "cells": {}, "netnames": {}},
    "top": {
      "attributes": {"top": "00000000000000000000000000000001"},
      "ports": {
        "a":   {"direction": "input",  "bits": [2]},
        "clk": {"direction": "input",  "bits": [3]},
        "y":   {"direction": "output", "bits": [4, "0"]},
        "io":  {"direction": "inout",  "bits": [10]}
      },
      "cells": {
        "l1": {"type": "$lut", "parameters": {"LUT": "0110", "WIDTH": "10"},
               "connections": {"A": [2, "1"], "Y": [5]}},
        "l2": {"type": "$lut", "parameters": {"LUT": "1000", "WIDTH": "11"},
               "connections": {"A": [5, 6, 7], "Y": [8]}},
        "r1": {"type": "$_DFFE_PP_", "connections": {"C": [3], "D": [5], "E": [9], "Q": [6]}},
        "r2": {"type": "$_DFFE_PP_", "connections": {"C": [3], "D": [8], "E": [9], "Q": [7]}},
        "r3": {"type": "$_DFFE_PN_", "connections": {"C": [3], "D": [8], "E": [9], "Q": [4]}},
        "r4": {"type": "$_SDFFE_PP0P_", "connections": {"C": [3], "D": [8], "E": ["1"], "R": ["0"], "Q": [9]}},
        "r5": {"type": "$_DFF_P_", "connections": {"C": [3], "D": [6], "Q": [10]}},
        "r6": {"type": "$_DFFE_PP_", "connections": {"C": [3], "D": [6], "E": ["1"], "Q": [11]}}
      },
      "netnames": {
        "a": {"hide_name": 0, "bits": [2]},
        "mid": {"hide_name": 0, "bits": [5]},
        "$auto$mid": {"hide_name": 1, "bits": [5, 6]},
        "zz$mid": {"hide_name": 1, "bits": [6]}
      }
    }
  }
})";

standin::Comp* byName(standin::Design& d, const std::string& name) {
  for (standin::Comp& c : d.comps)
    if (c.name == name) return &c;
  return nullptr;
}

TEST(Reader, BuildsComponentsNetsAndControlSets) {
  standin::Design d;
  Netlist nl = qplace::readNetlistText(kGood, "good.json", d);
  ASSERT_EQ(nl.luts.size(), 2u);
  ASSERT_EQ(nl.regs.size(), 6u);
  ASSERT_NE(byName(d, "y[1]"), nullptr);

  // LUT inputs in order; a constant input is left unconnected.
  standin::Comp* l1 = byName(d, "l1");
  standin::Comp* l2 = byName(d, "l2");
  EXPECT_EQ(l1->signals[0]->name, "a");
  EXPECT_EQ(l1->signals[1], nullptr);
  EXPECT_EQ(l1->signals[designgen::LUT_Z]->name, "mid");  // the visible name wins
  EXPECT_EQ(l2->signals[1]->name, "$auto$mid[1]");        // of hidden ones, the first
  EXPECT_EQ(l2->signals[0], l1->signals[designgen::LUT_Z]);
  EXPECT_EQ(l1->signals[designgen::LUT_Z]->numDrivers, 1);

  // r1 and r2 share a record; the enable polarity separates r3; r4's and
  // r6's enables stuck active and r4's reset stuck idle make them plain
  // registers like r5.
  standin::Comp *r1 = byName(d, "r1"), *r2 = byName(d, "r2"), *r3 = byName(d, "r3"),
                *r4 = byName(d, "r4"), *r5 = byName(d, "r5");
  EXPECT_EQ(r1->regctrl, r2->regctrl);
  EXPECT_NE(r1->regctrl, r3->regctrl);
  EXPECT_EQ(r4->regctrl, r5->regctrl);
  EXPECT_EQ(byName(d, "r6")->regctrl, r5->regctrl);
  EXPECT_NE(r1->regctrl, r5->regctrl);
  EXPECT_EQ(r1->regctrl->count, 2);
  EXPECT_EQ(r3->regctrl->count, 1);
  EXPECT_EQ(r5->regctrl->count, 3);
  EXPECT_EQ(nl.controlSets, 3);
  EXPECT_EQ(r4->signals[designgen::REG_CE], nullptr);
  EXPECT_EQ(r4->signals[designgen::REG_SR], nullptr);
  EXPECT_EQ(r1->signals[designgen::REG_CE], r2->signals[designgen::REG_CE]);

  // The clock is marked; the constant output bit has an unconnected I/O.
  ASSERT_EQ(nl.clocks.size(), 1u);
  EXPECT_EQ(nl.clocks[0], r1->signals[designgen::REG_CK]);
  EXPECT_NE(nl.clocks[0]->clocks & standin::Signal::CLK1, 0u);
  EXPECT_EQ(byName(d, "y[1]")->signals[designgen::IO_I], nullptr);
  EXPECT_EQ(byName(d, "y[0]")->signals[designgen::IO_I], r3->signals[designgen::REG_Q]);
  EXPECT_EQ(byName(d, "a")->signals[designgen::IO_O], l1->signals[0]);
  EXPECT_EQ(byName(d, "io")->signals[designgen::IO_I], r5->signals[designgen::REG_Q]);
}

// Compressed files are read by every test of the picorv32 netlist.
TEST(Reader, ReadsAPlainFile) {
  const std::string path = testing::TempDir() + "qplace_reader.json";
  FILE* f = std::fopen(path.c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fputs(kGood, f);
  std::fclose(f);
  standin::Design d;
  EXPECT_EQ(qplace::readNetlistFile(path, d).luts.size(), 2u);
  std::remove(path.c_str());
}

// Each bad input: the error names the source and says what is wrong, and
// nothing was added to the design.
std::string errorOf(const std::string& text) {
  standin::Design d;
  try {
    qplace::readNetlistText(text, "bad.json", d);
  } catch (const ReadError& e) {
    EXPECT_TRUE(d.comps.empty() && d.signals.empty() && d.prims.empty()) << e.what();
    return e.what();
  }
  return "no error";
}

std::string withCells(const std::string& cells) {
  return R"({"modules": {"m": {"ports": {"a": {"direction": "input", "bits": [2]}}, "cells": {)" + cells +
         "}}}}";
}

// A net name whose hide_name is not a number, which yosys never writes, is
// taken as visible.
TEST(Reader, HideNameOfAnotherTypeShowsTheName) {
  standin::Design d;
  qplace::readNetlistText(R"({"modules": {"m": {"ports": {"a": {"direction": "input", "bits": [2]}},
                                             "netnames": {"x": {"hide_name": "1", "bits": [2]}}}}})",
                          "odd.json", d);
  ASSERT_EQ(d.signals.size(), 1u);
  EXPECT_EQ(d.signals[0].name, "x");
}

TEST(Reader, BadInputGivesAClearErrorAndNoDesign) {
  EXPECT_EQ(errorOf("{\"modules\":\n  {\"m\": [1,, 2]}}"),
            "bad.json: malformed JSON: parse error at line 2, column 12: syntax error while parsing value - "
            "unexpected ','; expected '[', '{', or a literal");
  // Well-formed, but no double holds the number.
  EXPECT_EQ(errorOf(R"({"modules": {"m": {"ports": {"a": {"direction": "input", "bits": [1e400]}}}}})"),
            "bad.json: malformed JSON: number overflow parsing '1e400'");
  EXPECT_EQ(errorOf("[1, 2]"), "bad.json: not a yosys netlist (no \"modules\" object)");
  EXPECT_EQ(errorOf(withCells(R"("u": {"type": "$mux", "connections": {}},
                                  "v": {"type": "$_DFF_PN0_", "connections": {}},
                                  "w": {"type": "$mux", "connections": {}})")),
            "bad.json: unknown cell types: $_DFF_PN0_ (1), $mux (2)");
  EXPECT_EQ(errorOf(withCells(R"("r": {"type": "$_DFFE_PP_", "connections": {"C": [2], "D": [2], "Q": [3]}})")),
            "bad.json: cell r pin E has no net");
  EXPECT_EQ(errorOf(withCells(R"("r": {"type": "$_DFF_P_", "connections": {"C": [], "D": [2], "Q": [3]}})")),
            "bad.json: cell r pin C has no net");
  EXPECT_EQ(errorOf(withCells(R"("l": {"type": "$lut", "connections": {"A": [2, 2, 2, 2, 2], "Y": [3]}})")),
            "bad.json: cell l: $lut of width 5 (at most 4)");
  EXPECT_EQ(errorOf(withCells(R"("l": {"type": "$lut", "connections": {"A": [2, {"b": 1}], "Y": [3]}})")),
            "bad.json: cell l pin A has a bit that is neither a net number nor a constant: {\"b\":1}");
  EXPECT_EQ(errorOf(withCells(R"("l": {"type": "$lut", "connections": {"A": [-2], "Y": [3]}})")),
            "bad.json: cell l pin A has a bit that is neither a net number nor a constant: -2");
  EXPECT_EQ(errorOf(R"({"modules": {"m": {}, "n": {}}})"), "bad.json: several modules and none marked \"top\"");
  // Modules and net names of the wrong JSON type.
  EXPECT_EQ(errorOf(R"({"modules": {"m": "x", "n": {}}})"), "bad.json: several modules and none marked \"top\"");
  EXPECT_EQ(errorOf(R"({"modules": {"m": [1]}})"), "bad.json: module m is not an object");

  standin::Design d;
  EXPECT_THROW(
      {
        try {
          qplace::readNetlistFile("/nonexistent/x.json", d);
        } catch (const ReadError& e) {
          EXPECT_STREQ(e.what(), "/nonexistent/x.json: cannot open the file");
          throw;
        }
      },
      ReadError);
}

}  // namespace
