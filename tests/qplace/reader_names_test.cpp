// Names in the placement file: printable, unique, and read back to the
// netlist's own through the mapping; port bits that take no I/O site.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "host/standin/standin_util.h"
#include "qplace/names.h"
#include "qplace/netlist_reader.h"
#include "reader_util.h"
#include "support/basapsupp.h"

namespace {

TEST(ReaderNames, EscapeIsPrintableAndOneToOne) {
  const std::string nul("a\0b", 3);
  const std::map<std::string, std::string> cases = {
      {"plain[3]", "plain[3]"},
      {"a\"b", "a\\\"b"},
      {"back\\slash\\", "back\\\\slash\\\\"},
      {"line\nbreak\r\t", "line\\x0abreak\\x0d\\x09"},
      {nul, "a\\x00b"},
      {"del\x7f", "del\\x7f"},
      {"caf\xc3\xa9", "caf\xc3\xa9"},              // UTF-8 stays
      {"nel\xc2\x85x", "nel\\u0085x"},             // U+0085 breaks lines for some readers
      {"ls\xe2\x80\xa8ps\xe2\x80\xa9", "ls\\u2028ps\\u2029"},
      {"\\x41", "\\\\x41"},                        // looks like an escape, is not one
  };
  std::set<std::string> escapes;
  for (const auto& [raw, escaped] : cases) {
    EXPECT_EQ(qplace::escapeName(raw), escaped);
    EXPECT_EQ(qplace::unescapeName(escaped), raw);
    escapes.insert(escaped);
    for (char c : escaped) {
      EXPECT_GE(static_cast<unsigned char>(c), 0x20u) << escaped;
      EXPECT_NE(c, 0x7f) << escaped;
    }
    // A quote in the escape is always preceded by an odd run of backslashes.
    for (std::size_t i = 0; i < escaped.size(); ++i)
      if (escaped[i] == '"') {
        std::size_t run = 0;
        while (run < i && escaped[i - 1 - run] == '\\') ++run;
        EXPECT_EQ(run % 2, 1u) << escaped;
      }
  }
  EXPECT_EQ(escapes.size(), cases.size());
}

TEST(ReaderNames, UniqueNamesSuffixInOrder) {
  qplace::UniqueNames u;
  bool changed = false;
  EXPECT_EQ(u.give("x", changed), "x");
  EXPECT_FALSE(changed);
  EXPECT_EQ(u.give("x#3", changed), "x#3");
  EXPECT_EQ(u.give("x", changed), "x#2");
  EXPECT_TRUE(changed);
  EXPECT_EQ(u.give("x", changed), "x#4");  // x#3 was taken
  EXPECT_EQ(u.give("", changed), "$empty");
  EXPECT_TRUE(changed);
  EXPECT_EQ(u.give("", changed), "$empty#2");
  EXPECT_EQ(u.give("$empty", changed), "$empty#3");
  EXPECT_EQ(u.give("a\"", changed), "a\\\"");
  EXPECT_TRUE(changed);
}

// A netlist of awkward names: quotes, a newline, a NUL, an empty name, a
// port and a cell of one name, a cell named as another's suffixed name, a
// net named as a bit of another.
const char* kNames = R"({"modules": {"m": {
  "ports": {"x": {"direction": "input", "bits": [2]}, "p": {"direction": "output", "bits": [3, 4]},
            "a\"b": {"direction": "output", "bits": [5]}},
  "cells": {
    "x": {"type": "$_NOT_", "connections": {"A": [2], "Y": [3]}},
    "x#2": {"type": "$_NOT_", "connections": {"A": [2], "Y": [4]}},
    "p[0]": {"type": "$_BUF_", "connections": {"A": [3], "Y": [5]}},
    "": {"type": "$_DFF_P_", "connections": {"C": [2], "D": [3], "Q": [6]}},
    "line\nbreak": {"type": "$_DFF_P_", "connections": {"C": [2], "D": [6], "Q": [7]}},
    "nul\u0000x\\": {"type": "$_DFF_P_", "connections": {"C": [2], "D": [7], "Q": [8]}},
    "q\"": {"type": "$_XOR_", "connections": {"A": [8], "B": [6], "Y": [9]}}
  },
  "netnames": {"": {"bits": [6]}, "n\"et": {"bits": [7]}, "w": {"bits": [8, 9]}, "w[1]": {"bits": [3]}}}}})";

// The quoted field of a LOCATE line, read as any reader would: up to the
// first quote that no backslash escapes.
std::string quotedName(const std::string& line) {
  const std::size_t start = line.find('"') + 1;
  std::string out;
  for (std::size_t i = start; i < line.size() && line[i] != '"'; ++i) {
    if (line[i] == '\\') out += line[i++];
    out += line[i];
  }
  return out;
}

TEST(ReaderNames, PlacementFileReadsBackThroughTheMapping) {
  const qplace::LogicNetlist ln = qplace::readLogicNetlistText(kNames, "names.json");
  std::multiset<std::string> originals;
  for (const qplace::LogicPort& p : ln.ports) originals.insert(p.name);
  for (const qplace::LogicLut& l : ln.luts) originals.insert(l.name);
  for (const qplace::LogicReg& r : ln.regs) originals.insert(r.name);

  standin::Design d;
  const qplace::Netlist nl = qplace::buildDesign(ln, d);
  ASSERT_EQ(d.comps.size(), originals.size());
  // In the design's order: I/O, then LUTs and registers, each in name order.
  const std::vector<std::pair<std::string, std::string>> renamed = {
      {"a\\\"b", "a\"b"},    {"p[0]#2", "p[0]"}, {"q\\\"", "q\""},
      {"x#2", "x"},          {"x#2#2", "x#2"},   {"$empty", ""},
      {"line\\x0abreak", "line\nbreak"}, {"nul\\x00x\\\\", std::string("nul\0x\\", 6)}};
  EXPECT_EQ(nl.renamed, renamed);
  const std::vector<std::pair<std::string, std::string>> renamedSignals = {
      {"$empty", ""}, {"n\\\"et", "n\"et"}, {"w[1]#2", "w[1]"}};
  EXPECT_EQ(nl.renamedSignals, renamedSignals);

  // Place every component on a site of its own and print the placement.
  standin::SiteType* slice = d.addSiteType("SLICE", {});
  for (standin::Comp& c : d.comps) d.place(&c, d.addSite("S" + std::to_string(c.id), slice, 1, 1));
  standin::messages().capture();
  AP_SUPP(&d).dumpLocate(nullptr, 0);
  const std::string text = standin::messages().take();
  standin::messages().release();

  // Every line is one record; its name leads back to the original.
  const nlohmann::json map = nlohmann::json::parse(qplace::nameMapJson(nl));
  std::multiset<std::string> read;
  std::istringstream lines(text);
  int count = 0;
  for (std::string line; std::getline(lines, line); ++count) {
    ASSERT_EQ(line.rfind("LOCATE COMP \"", 0), 0u) << line;
    const std::string given = quotedName(line);
    EXPECT_EQ(line.substr(13 + given.size(), 8), "\" SITE \"") << line;
    read.insert(map["components"].contains(given) ? map["components"][given].get<std::string>() : given);
  }
  EXPECT_EQ(count, static_cast<int>(originals.size()));
  EXPECT_EQ(read, originals);
  EXPECT_EQ(map["signals"]["$empty"], "");
}

TEST(ReaderNames, PortBitsWithoutASite) {
  const qplace::LogicNetlist ln = readDataNetlist("ports.json");
  standin::Design d;
  const qplace::Netlist nl = qplace::buildDesign(ln, d);
  // y[3:2] are constants, nc is undriven (yosys made it "x"), unused,
  // hi[4] and up[1] are read by nothing.
  EXPECT_EQ(nl.unplacedPortBits, 6);
  std::set<std::string> ios;
  for (standin::Comp* c : nl.ios) ios.insert(c->name);
  EXPECT_EQ(ios, (std::set<std::string>{"clk", "a", "bus[0]", "bus[1]", "p\\\"q", "y[0]", "y[1]", "thru", "r",
                                        "hi[5]", "up[0]", "o[0]", "o[1]"}));
  // Bits are named by their declared range: o = {hi[5], up[0]} with hi
  // declared [5:4] and up [0:1].
  EXPECT_EQ(byName(d, "o[1]")->signals[designgen::IO_I], byName(d, "hi[5]")->signals[designgen::IO_O]);
  EXPECT_EQ(byName(d, "o[0]")->signals[designgen::IO_I], byName(d, "up[0]")->signals[designgen::IO_O]);
  // a passes straight through to thru: one signal, driven by a's I/O.
  standin::Signal* a = byName(d, "a")->signals[designgen::IO_O];
  EXPECT_EQ(byName(d, "thru")->signals[designgen::IO_I], a);
  EXPECT_EQ(a->numDrivers, 1);
  EXPECT_EQ(nl.renamed, (std::vector<std::pair<std::string, std::string>>{{"p\\\"q", "p\"q"}}));

  // An inout bit alone on its net, and an output bit on an input's net.
  const qplace::Netlist two = [] {
    standin::Design e;
    return qplace::buildDesign(qplace::readLogicNetlistText(
                                   R"({"modules": {"m": {"ports": {
                                       "io": {"direction": "inout", "bits": [2]},
                                       "i": {"direction": "input", "bits": [3]},
                                       "o": {"direction": "output", "bits": [3]}}}}})",
                                   "io.json"),
                               e);
  }();
  EXPECT_EQ(two.unplacedPortBits, 1);
  EXPECT_EQ(two.ios.size(), 2u);
}

}  // namespace
