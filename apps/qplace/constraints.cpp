// The constraint file's lines, read and checked as text.
#include "qplace/constraints.h"

#include <map>

#include "qplace/netlist_reader.h"
#include "qplace/options.h"
#include "host/standin/standin_design.h"
#include "qplace/timing/settings_text.h"

namespace qplace {

namespace {

// The words of each line, a comment (a word starting with '#') and what
// follows it removed.
struct Line {
  int number = 0;
  std::vector<std::string> words;
};

std::vector<Line> lines(const std::string& text) {
  std::vector<Line> out;
  std::size_t pos = 0;
  for (int number = 1; pos <= text.size(); ++number) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    Line l;
    l.number = number;
    std::size_t i = pos;
    while (i < end) {
      while (i < end && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r')) ++i;
      if (i == end || text[i] == '#') break;
      const std::size_t start = i;
      while (i < end && text[i] != ' ' && text[i] != '\t' && text[i] != '\r') ++i;
      l.words.push_back(text.substr(start, i - start));
    }
    if (!l.words.empty()) out.push_back(std::move(l));
    pos = end + 1;
  }
  return out;
}

bool isSlot(const std::string& s) { return s == "L0" || s == "L1" || s == "R0" || s == "R1"; }

}  // namespace

std::string Constraints::whereOf(int k) const {
  const Constraint& c = items[static_cast<std::size_t>(k)];
  if (!c.kept || c.comp == nullptr) return c.where;
  return keptSource + ": " + whatOf(k);
}

std::string Constraints::whatOf(int k) const {
  const Constraint& c = items[static_cast<std::size_t>(k)];
  if (!c.kept || c.comp == nullptr) return c.where;
  return (c.kind == ConstraintKind::SetIo ? "port bit " : "cell ") + c.comp->name;
}

bool isPattern(const std::string& pattern) { return pattern.find_first_of("*?") != std::string::npos; }

bool globMatch(const std::string& pattern, const std::string& name) {
  // Greedy with one backtrack point: the last '*' seen and where in the
  // name its run would end next.
  std::size_t p = 0, n = 0, star = std::string::npos, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n]) && pattern[p] != '*') {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = n;
    } else if (star != std::string::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool readConstraints(const std::string& text, const std::string& source, Constraints& out, std::string& error) {
  Constraints read = out;
  bool everySeen = false, portsSeen = false;
  std::map<std::string, int> clockLine;
  for (const Line& line : lines(text)) {
    const std::string where = source + ":" + std::to_string(line.number);
    auto fail = [&](const std::string& why) {
      error = where + ": " + why;
      return false;
    };
    const std::vector<std::string>& w = line.words;
    auto count = [&](std::size_t n, const char* usage) {
      if (w.size() < n) return fail(w[0] + " needs " + usage);
      if (w.size() > n) return fail("'" + w[n] + "' after " + w[0] + "'s " + usage);
      return true;
    };
    Constraint c;
    c.where = where;
    if (w[0] == "set_io") {
      if (!count(3, "a port bit and an I/O site")) return false;
      c.kind = ConstraintKind::SetIo;
      c.name = w[1];
      c.exact = true;  // one port bit to one site: never a pattern
      c.site = w[2];
    } else if (w[0] == "fix") {
      if (w.size() < 3) return fail("fix needs cells and a site, and maybe a slot");
      if (w.size() > 4) return fail("'" + w[4] + "' after fix's cells, site and slot");
      if (w.size() == 4) {
        if (!isSlot(w[3])) return fail("'" + w[3] + "' is no slot (L0, L1, R0 or R1)");
        c.slot = w[3];
      }
      c.kind = ConstraintKind::Fix;
      c.name = w[1];
      c.site = w[2];
    } else if (w[0] == "region") {
      if (!count(6, "cells and a rectangle: row0 col0 row1 col1")) return false;
      c.kind = ConstraintKind::Region;
      c.name = w[1];
      int* corner[4] = {&c.row0, &c.col0, &c.row1, &c.col1};
      for (int k = 0; k < 4; ++k) {
        std::uint64_t v = 0;
        if (!parseCount(w[2 + k], 0, 1000000, v))
          return fail("'" + w[2 + k] + "' is no row or column (a whole number)");
        *corner[k] = static_cast<int>(v);
      }
      if (c.row0 > c.row1) return fail("the region's first row " + w[2] + " lies past its last, " + w[4]);
      if (c.col0 > c.col1) return fail("the region's first column " + w[3] + " lies past its last, " + w[5]);
    } else if (w[0] == "clock" || w[0] == "ports") {
      const bool clock = w[0] == "clock";
      if (!count(clock ? 3 : 2, clock ? "a clock net (or *) and a period in ns" : "a period in ns")) return false;
      const std::string& number = w[clock ? 2 : 1];
      double ns = 0;
      if (!settings_text::parseNumber(number, ns) || !(ns > 0))
        return fail("'" + number + "' is not a period (a positive number of nanoseconds)");
      if (!clock) {
        if (portsSeen) return fail("ports given twice");
        portsSeen = true;
        read.periods.ports = ns;
      } else if (w[1] == "*") {
        if (everySeen) return fail("clock * given twice");
        everySeen = true;
        read.periods.everyClock = ns;
      } else {
        auto [it, fresh] = clockLine.emplace(w[1], line.number);
        if (!fresh) return fail("clock " + w[1] + " given twice (line " + std::to_string(it->second) + ")");
        read.periods.byClock[w[1]] = ns;
      }
      continue;
    } else {
      return fail("unknown constraint '" + w[0] + "' (set_io, fix, region, clock or ports)");
    }
    read.items.push_back(std::move(c));
  }
  out = std::move(read);
  return true;
}

int addKeptLocations(const LogicNetlist& ln, const Netlist& nl, Constraints& c) {
  const std::size_t before = c.items.size();
  auto add = [&](ConstraintKind kind, const standin::Comp* comp, const std::string& at) {
    Constraint k;
    k.kind = kind;
    k.kept = true;
    k.exact = true;
    k.comp = comp;
    const std::size_t dot = kind == ConstraintKind::Fix ? at.rfind('.') : std::string::npos;
    k.site = at.substr(0, dot);
    if (dot != std::string::npos) k.slot = at.substr(dot + 1);
    c.items.push_back(std::move(k));
  };
  for (std::size_t i = 0; i < ln.luts.size() && i < nl.luts.size(); ++i)
    if (!ln.luts[i].placedAt.empty()) add(ConstraintKind::Fix, nl.luts[i], ln.luts[i].placedAt);
  for (std::size_t i = 0; i < ln.regs.size() && i < nl.regs.size(); ++i)
    if (!ln.regs[i].placedAt.empty()) add(ConstraintKind::Fix, nl.regs[i], ln.regs[i].placedAt);
  for (std::size_t i = 0; i < ln.ports.size() && i < nl.portComps.size(); ++i)
    if (!ln.ports[i].placedAt.empty() && nl.portComps[i] != nullptr)
      add(ConstraintKind::SetIo, nl.portComps[i], ln.ports[i].placedAt);
  return static_cast<int>(c.items.size() - before);
}

bool loadConstraints(const std::string& path, Constraints& out, std::string& error) {
  std::string text;
  if (!settings_text::readFile(path, text, error)) return false;
  return readConstraints(text, path, out, error);
}

}  // namespace qplace
