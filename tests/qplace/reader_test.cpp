// The yosys netlist reader: what a good netlist becomes, and a clear error
// that leaves the design untouched for each kind of bad one.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "qplace/netlist_reader.h"
#include "reader_util.h"

namespace {

using qplace::Netlist;
using qplace::ReadError;
using qplace::ReadOptions;

// A small netlist: ports a (input), y[0..1] (output, bit 1 constant), io
// (both ways) and clk; two LUTs, and six registers of three control sets.
// Attributes and port directions of every shape, which the reader passes
// over, stand before members it reads.
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
        "l1": {"attributes": {"src": "x.v:1", "deep": {"a": [1, [2, {"b": 3}]], "c": null}},
               "port_directions": {"A": "input", "Y": "output"},
               "type": "$lut", "parameters": {"LUT": "0110", "WIDTH": "10"},
               "connections": {"A": [2, "1"], "Y": [5]}},
        "l2": {"type": "$lut", "parameters": {"LUT": "10000000", "WIDTH": "11"},
               "connections": {"A": [5, 6, 7], "Y": [8]}},
        "r1": {"type": "$_DFFE_PP_", "connections": {"C": [3], "D": [5], "E": [9], "Q": [6]}},
        "r2": {"type": "$_DFFE_PP_", "connections": {"C": [3], "D": [8], "E": [9], "Q": [7]}},
        "r3": {"type": "$_DFFE_PN_", "connections": {"C": [3], "D": [8], "E": [9], "Q": [4]}},
        "r4": {"type": "$_SDFFE_PP0P_", "connections": {"C": [3], "D": [8], "E": ["1"], "R": ["0"], "Q": [9]}},
        "r5": {"type": "$_DFF_P_", "connections": {"C": [3], "D": [6], "Q": [10]}},
        "r6": {"type": "$_DFFE_PP_", "connections": {"C": [3], "D": [6], "E": ["1"], "Q": [11]}}
      },
      "netnames": {
        "a": {"attributes": {"src": "x.v:2", "shapes": [[], {}, [[true]]]}, "hide_name": 0, "bits": [2]},
        "mid": {"hide_name": 0, "bits": [5]},
        "$auto$mid": {"hide_name": 1, "bits": [5, 6]},
        "zz$mid": {"hide_name": 1, "bits": [6]}
      }
    }
  }
})";

TEST(Reader, BuildsComponentsNetsAndControlSets) {
  standin::Design d;
  Netlist nl = qplace::readNetlistText(kGood, "good.json", d);
  ASSERT_EQ(nl.luts.size(), 2u);
  ASSERT_EQ(nl.regs.size(), 6u);
  // y[1] is tied to a constant: no I/O component.
  EXPECT_EQ(nl.ios.size(), 4u);
  EXPECT_EQ(nl.unplacedPortBits, 1);
  EXPECT_EQ(byName(d, "y[1]"), nullptr);

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

  // The clock is marked; ports connect as their direction says.
  ASSERT_EQ(nl.clocks.size(), 1u);
  EXPECT_EQ(nl.clocks[0], r1->signals[designgen::REG_CK]);
  EXPECT_NE(nl.clocks[0]->clocks & standin::Signal::CLK1, 0u);
  EXPECT_EQ(byName(d, "y[0]")->signals[designgen::IO_I], r3->signals[designgen::REG_Q]);
  EXPECT_EQ(byName(d, "a")->signals[designgen::IO_O], l1->signals[0]);
  EXPECT_EQ(byName(d, "io")->signals[designgen::IO_I], r5->signals[designgen::REG_Q]);
  EXPECT_EQ(byName(d, "io")->signals[designgen::IO_O], r5->signals[designgen::REG_Q]);
  EXPECT_EQ(nl.regLatch, std::vector<char>(6, 0));
  EXPECT_EQ(nl.regFalling, std::vector<char>(6, 0));
  EXPECT_TRUE(nl.renamed.empty());
}

// A plain file, and gzip files whole, cut short and damaged.
TEST(Reader, ReadsFilesPlainAndCompressed) {
  const std::string plain = testing::TempDir() + "qplace_reader.json";
  const std::string gz = testing::TempDir() + "qplace_reader.json.gz";
  writeFile(plain, kGood);
  const std::string packed = gzipped(kGood);
  writeFile(gz, packed);
  EXPECT_EQ(qplace::readLogicNetlistFile(plain).luts.size(), 2u);
  EXPECT_EQ(qplace::readLogicNetlistFile(gz).luts.size(), 2u);

  // Cut inside the deflate data, and just before the trailer's check sum.
  for (std::size_t keep : {packed.size() / 2, packed.size() - 6}) {
    writeFile(gz, packed.substr(0, keep));
    EXPECT_EQ(fileErrorOf(gz), gz + ": truncated gzip file") << keep;
  }
  // A flipped bit in the compressed data, or in the check sum.
  std::string bad = packed;
  bad[bad.size() - 6] ^= 0x10;
  writeFile(gz, bad);
  EXPECT_EQ(fileErrorOf(gz), gz + ": corrupt gzip file (incorrect data check)");
  bad = packed;
  bad[12] ^= 0x55;
  writeFile(gz, bad);
  EXPECT_EQ(fileErrorOf(gz).rfind(gz + ": corrupt gzip file (", 0), 0u) << fileErrorOf(gz);
  EXPECT_EQ(fileErrorOf("/nonexistent/x.json"), "/nonexistent/x.json: cannot open the file (No such file or directory)");
  EXPECT_EQ(fileErrorOf(testing::TempDir()).find("cannot read the file"), testing::TempDir().size() + 2);
  std::remove(plain.c_str());
  std::remove(gz.c_str());
}

// A net name whose hide_name is not a number, which yosys never writes, is
// taken as visible.
TEST(Reader, HideNameOfAnotherTypeShowsTheName) {
  standin::Design d;
  qplace::readNetlistText(R"({"modules": {"m": {"ports": {"a": {"direction": "input", "bits": [2]},
                                                          "b": {"direction": "output", "bits": [2]}},
                                             "netnames": {"x": {"hide_name": "1", "bits": [2]}}}}})",
                          "odd.json", d);
  ASSERT_EQ(d.signals.size(), 1u);
  EXPECT_EQ(d.signals[0].name, "x");
}

std::string withCells(const std::string& cells) {
  return R"({"modules": {"m": {"ports": {"a": {"direction": "input", "bits": [2]}}, "cells": {)" + cells +
         "}}}}";
}

TEST(Reader, BadInputGivesAClearErrorAndNoDesign) {
  EXPECT_EQ(errorOf("{\"modules\":\n  {\"m\": [1,, 2]}}"),
            "bad.json: malformed JSON: parse error at line 2, column 12: syntax error while parsing value - "
            "unexpected ','; expected '[', '{', or a literal");
  // Well-formed, but no double holds the number.
  EXPECT_EQ(errorOf(R"({"modules": {"m": {"ports": {"a": {"direction": "input", "bits": [1e400]}}}}})"),
            "bad.json: malformed JSON: number overflow parsing '1e400'");
  // Parts the reader passes over are parsed all the same.
  EXPECT_EQ(errorOf(R"({"modules": {"m": {"netnames": {"n": {"attributes": {"src": [1e400]}, "bits": [2]}}}}})"),
            "bad.json: malformed JSON: number overflow parsing '1e400'");
  EXPECT_EQ(errorOf("{\"modules\": {\"m\": {\"cells\": {\"c\": {\"port_directions\": {\"A\" \"input\"}}}}}}"),
            "bad.json: malformed JSON: parse error at line 1, column 66: syntax error while parsing object separator - "
            "unexpected string literal; expected ':'");
  EXPECT_EQ(errorOf("[1, 2]"), "bad.json: not a yosys netlist (no \"modules\" object)");
  EXPECT_EQ(errorOf(withCells(R"("r": {"type": "$_DFFE_PP_", "connections": {"C": [2], "D": [2], "Q": [3]}})")),
            "bad.json: cell r pin E has no net");
  EXPECT_EQ(errorOf(withCells(R"("r": {"type": "$_DFF_P_", "connections": {"C": [], "D": [2], "Q": [3]}})")),
            "bad.json: cell r pin C has no net");
  EXPECT_EQ(errorOf(withCells(R"("r": {"type": "$_DFF_PN0_", "connections": {"C": [2], "D": [2], "R": [2, 4], "Q": [3]}})")),
            "bad.json: cell r pin R has 2 bits, not 1");
  EXPECT_EQ(errorOf(withCells(R"("r": {"type": "$_DFF_P_", "connections": {"C": [2], "D": [2], "R": [2], "Q": [3]}})")),
            "bad.json: cell r: a $_DFF_P_ has no pin R");
  EXPECT_EQ(errorOf(withCells(R"("g": {"type": "$_AND_", "connections": {"A": [2], "Y": [3]}})")),
            "bad.json: cell g pin B has no net");
  EXPECT_EQ(errorOf(withCells(R"("l": {"type": "$lut", "connections": {"A": [2, 2, 2, 2, 2], "Y": [3]}})")),
            "bad.json: cell l: $lut of width 5 (at most 4)");
  EXPECT_EQ(errorOf(withCells(R"("l": {"type": "$lut", "connections": {"A": [2, {"b": 1}], "Y": [3]}})")),
            "bad.json: cell l pin A has a bit that is neither a net number nor a constant: an object");
  EXPECT_EQ(errorOf(withCells(R"("l": {"type": "$lut", "connections": {"A": [-2], "Y": [3]}})")),
            "bad.json: cell l pin A has a bit that is neither a net number nor a constant: -2");
  // The mask must fit the LUT's inputs.
  EXPECT_EQ(errorOf(withCells(R"("l": {"type": "$lut", "connections": {"A": [2, 2], "Y": [3]}})")),
            "bad.json: cell l has no LUT parameter");
  EXPECT_EQ(errorOf(withCells(R"("l": {"type": "$lut", "parameters": {"LUT": "01101"}, "connections": {"A": [2, 2], "Y": [3]}})")),
            "bad.json: cell l: LUT mask of 5 bits for 2 inputs (needs 4)");
  EXPECT_EQ(errorOf(withCells(R"("l": {"type": "$lut", "parameters": {"LUT": "01a1"}, "connections": {"A": [2, 2], "Y": [3]}})")),
            "bad.json: cell l: LUT mask \"01a1\" is not a bit string");
  EXPECT_EQ(errorOf(withCells(R"("l": {"type": "$lut", "parameters": {"LUT": 16}, "connections": {"A": [2, 2], "Y": [3]}})")),
            "bad.json: cell l: LUT mask 16 does not fit 2 inputs");
  EXPECT_EQ(errorOf(R"({"modules": {"m": {}, "n": {}}})"),
            "bad.json: several modules and none marked \"top\"; choose one with --top");
  // Modules and net names of the wrong JSON type.
  EXPECT_EQ(errorOf(R"({"modules": {"m": "x", "n": {}}})"),
            "bad.json: several modules and none marked \"top\"; choose one with --top");
  EXPECT_EQ(errorOf(R"({"modules": {"m": [1]}})"), "bad.json: module m is not an object");
  // Names in messages are printable.
  EXPECT_EQ(errorOf(withCells(R"("a\nb": {"type": "$_NOT_", "connections": {"A": [2], "Y": []}})")),
            "bad.json: cell a\\x0ab pin Y has no net");
}

// The LUT mask as a number, as a newer yosys may write it; "x" bits as 0.
TEST(Reader, LutMaskForms) {
  qplace::LogicNetlist ln = qplace::readLogicNetlistText(
      withCells(R"("l": {"type": "$lut", "parameters": {"LUT": 6}, "connections": {"A": [2, 2], "Y": [3]}},
                   "k": {"type": "$lut", "parameters": {"LUT": "1x01"}, "connections": {"A": [2, 2], "Y": [4]}})"),
      "mask.json");
  ASSERT_EQ(ln.luts.size(), 2u);
  EXPECT_EQ(ln.luts[0].name, "k");  // cells come in name order
  EXPECT_EQ(ln.luts[0].mask, 0b1001);
  EXPECT_EQ(ln.luts[1].mask, 6);
}

// Which module is read: the one marked top, the one --top names, an error
// listing them all when several are marked.
TEST(Reader, ChoosesTheTopModule) {
  const std::string two = R"({"modules": {
      "alpha": {"attributes": {"top": "00000000000000000000000000000001"},
                "ports": {"a": {"direction": "input", "bits": [2]}}},
      "beta": {"attributes": {"top": 1}, "ports": {"b": {"direction": "input", "bits": [2]}}},
      "gamma": {"ports": {"c": {"direction": "input", "bits": [2]}}}}})";
  EXPECT_EQ(errorOf(two), "bad.json: several modules marked top: alpha, beta; choose one with --top");
  for (const auto& [top, port] : {std::pair{"alpha", "a"}, {"beta", "b"}, {"gamma", "c"}}) {
    ReadOptions opt;
    opt.top = top;
    const qplace::LogicNetlist ln = qplace::readLogicNetlistText(two, "two.json", opt);
    EXPECT_EQ(ln.top, top);
    ASSERT_EQ(ln.ports.size(), 1u);
    EXPECT_EQ(ln.ports[0].name, port);
  }
  ReadOptions opt;
  opt.top = "delta";
  EXPECT_EQ(errorOf(two, opt), "bad.json: no module delta (the netlist has alpha, beta, gamma)");
}

// Two drivers on one net: an error naming the net and both drivers. A net
// driven by a constant, and an inout bit on a driven net, are fine.
TEST(Reader, TwoDriversOnANet) {
  EXPECT_EQ(errorOf(withCells(R"("g": {"type": "$_NOT_", "connections": {"A": [2], "Y": [3]}},
                                  "h": {"type": "$_BUF_", "connections": {"A": [2], "Y": [3]}})")),
            "bad.json: net n3 has two drivers: cell g (pin Y) and cell h (pin Y)");
  EXPECT_EQ(errorOf(withCells(R"("g": {"type": "$_DFF_P_", "connections": {"C": [2], "D": [2], "Q": [2]}})")),
            "bad.json: net n2 has two drivers: input port a and cell g (pin Q)");
  // yosys wrote these: inputs a and b shorted (assign y = a; assign y = b).
  EXPECT_EQ(errorOf(readData("drivers.json")), "bad.json: net a has two drivers: input port a and input port b");
  EXPECT_NO_THROW(qplace::readLogicNetlistText(
      R"({"modules": {"m": {"ports": {"io": {"direction": "inout", "bits": [3]}, "y": {"direction": "output", "bits": ["1"]}},
          "cells": {"g": {"type": "$_NOT_", "connections": {"A": ["0"], "Y": [3]}}}}}})",
      "ok.json"));
}

// No value may nest deeper than the bound, anywhere; a parsed document is
// never walked recursively beyond it.
TEST(Reader, NestingIsBounded) {
  const std::string deep = std::string(100000, '[') + std::string(100000, ']');
  const std::string inCells = withCells(R"("c": {"type": "$_NOT_", "connections": {"A": )" + deep + "}}");
  EXPECT_EQ(errorOf(inCells), "bad.json: nesting deeper than 64 levels at line 1, column 186");
  // Brackets inside strings do not count, escaped quotes do not end them.
  const std::string inString = withCells(R"("c": {"type": "$_NOT_\" [[[[)" + std::string(100, '[') +
                                         R"(", "connections": {}})");
  EXPECT_EQ(errorOf(inString).find("bad.json: cells that cannot be placed: $_NOT_\\\" [[[["), 0u);
  // At the bound, the value is read (and refused for what it is).
  const std::string at = std::string(64, '[') + std::string(64, ']');
  EXPECT_EQ(errorOf(at), "bad.json: not a yosys netlist (no \"modules\" object)");
  EXPECT_EQ(errorOf("[" + at + "]"), "bad.json: nesting deeper than 64 levels at line 1, column 65");
}

// A netlist too big for the memory allowed is refused with both figures:
// on its text before parsing, on its size before building.
TEST(Reader, RefusesWhatMemoryCannotHold) {
  ReadOptions opt;
  opt.memoryLimit = 1000;
  EXPECT_EQ(errorOf(kGood, opt),
            "bad.json: the netlist is too big: reading it needs about 12 kB of memory, the limit is 1.0 kB");
  const std::string path = testing::TempDir() + "qplace_big.json";
  writeFile(path, kGood);
  EXPECT_EQ(fileErrorOf(path, opt),
            path + ": the netlist is too big: reading it needs at least 12 kB of memory, the limit is 1.0 kB");
  const std::string gz = path + ".gz";
  writeFile(gz, gzipped(std::string(300000, ' ') + kGood));
  opt.memoryLimit = 1 << 20;  // the compressed file is small; its text is not
  EXPECT_EQ(fileErrorOf(gz, opt),
            gz + ": the netlist is too big: reading it needs at least 2.1 MB of memory, the limit is 1.0 MB");
  // Parsed, then refused for the 13 components and 36 pins it would build.
  opt.memoryLimit = 20000;
  EXPECT_EQ(errorOf(kGood, opt),
            "bad.json: the netlist is too big: placing it needs about 29 kB of memory, the limit is 20 kB");
  std::remove(path.c_str());
  std::remove(gz.c_str());
}

// Reading and building are separate: a LogicNetlist made by hand builds,
// and one no reader makes is refused before the design changes.
TEST(Reader, BuildsAHandMadeLogicNetlist) {
  qplace::LogicNetlist ln;
  const qplace::NetId clk = ln.addNet("clk", true), q = ln.addNet("q", true), s = ln.addNet("s", true);
  ln.ports.push_back({"clk", clk, true, false});
  ln.ports.push_back({"s", s, true, false});
  ln.ports.push_back({"q", q, false, true});
  qplace::LogicReg r;
  r.name = "r";
  r.d = q;
  r.q = q;
  r.clock = {clk, false};
  r.asyncSet = {s, true};
  r.asyncClear = {s, false};
  r.syncReset = {s, true};
  ln.regs.push_back(r);
  standin::Design d;
  EXPECT_THROW(qplace::buildDesign(ln, d), std::invalid_argument);
  EXPECT_TRUE(d.comps.empty() && d.prims.empty());
  ln.regs[0].syncReset = {};
  ln.luts.push_back({"l", {q, 7}, q, 1});
  EXPECT_THROW(qplace::buildDesign(ln, d), std::invalid_argument);
  ln.luts.clear();
  const Netlist nl = qplace::buildDesign(ln, d);
  ASSERT_EQ(nl.regs.size(), 1u);
  // Clear on SR, set on SR2; the clock falls.
  EXPECT_EQ(nl.regs[0]->signals[designgen::REG_SR]->name, "s");
  EXPECT_EQ(nl.regs[0]->signals[designgen::REG_SR2]->name, "s");
  EXPECT_EQ(nl.regFalling, std::vector<char>{1});
  EXPECT_EQ(nl.signals[static_cast<std::size_t>(clk)]->name, "clk");
}

}  // namespace
