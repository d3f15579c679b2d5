// The placed netlist: the input document with placement attributes.
#include "qplace/json_out.h"

#include <string_view>
#include <unordered_map>

namespace qplace {

namespace {

using ojson = nlohmann::ordered_json;

const char* const kSlotNames[4] = {"L0", "L1", "R0", "R1"};

void layout(const ojson& v, int depth, std::string& out) {
  auto indent = [&](int d) { out.append(static_cast<std::size_t>(2 * d), ' '); };
  if (v.is_object()) {
    if (v.empty()) {
      out += "{}";
      return;
    }
    out += "{\n";
    bool first = true;
    for (auto it = v.begin(); it != v.end(); ++it) {
      if (!first) out += ",\n";
      first = false;
      indent(depth + 1);
      out += ojson(it.key()).dump(-1, ' ', false, ojson::error_handler_t::replace);
      out += ": ";
      layout(it.value(), depth + 1, out);
    }
    out += "\n";
    indent(depth);
    out += "}";
    return;
  }
  if (v.is_array()) {
    bool plain = true;
    for (const ojson& e : v) plain = plain && !e.is_structured();
    if (plain) {
      out += v.dump(-1, ' ', false, ojson::error_handler_t::replace);
      return;
    }
    out += "[\n";
    for (std::size_t i = 0; i < v.size(); ++i) {
      if (i > 0) out += ",\n";
      indent(depth + 1);
      layout(v[i], depth + 1, out);
    }
    out += "\n";
    indent(depth);
    out += "]";
    return;
  }
  out += v.dump(-1, ' ', false, ojson::error_handler_t::replace);
}

// "<site>.<slot>" of a placed LUT or register, "<site>" of an I/O; empty
// when unplaced.
std::string where(const standin::Comp* c, bool withSlot) {
  if (c == nullptr || c->site == nullptr) return std::string();
  if (!withSlot) return c->site->name;
  for (int k = 0; k < 4; ++k)
    if (c->site->hasSlots && c->site->slots[k] == c) return c->site->name + "." + kSlotNames[k];
  return std::string();
}

// The object member `key` of `holder`, made when absent; null when it is
// there but no object.
ojson* attributes(ojson& holder) {
  auto it = holder.find("attributes");
  if (it == holder.end()) return &(holder["attributes"] = ojson::object());
  return it->is_object() ? &*it : nullptr;
}

}  // namespace

std::string layoutJson(const ojson& value) {
  std::string out;
  layout(value, 0, out);
  return out;
}

bool placedNetlistJson(const std::string& input, const std::string& source, const LogicNetlist& ln,
                       const Netlist& nl, const standin::Design& d, std::string& out, std::string& error) {
  auto fail = [&](const std::string& why) {
    error = source + ": " + why;
    return false;
  };
  ojson doc;
  try {
    doc = ojson::parse(input);
  } catch (const std::exception& e) {
    return fail(std::string("no longer the netlist read: ") + e.what());
  }
  auto modules = doc.find("modules");
  if (modules == doc.end() || !modules->is_object() || modules->find(ln.top) == modules->end() ||
      !(*modules)[ln.top].is_object())
    return fail("no longer the netlist read (no module " + ln.top + ")");
  ojson& mod = (*modules)[ln.top];

  // Cells: a register or a LUT by its cell's name; a wide multiplexer's
  // inner LUTs by their own.
  // The LUTs a control-set fold added are no cell: not written.
  std::unordered_map<std::string_view, const standin::Comp*> cellComp, innerComp;
  std::size_t added = 0;
  for (std::size_t k = 0; k < ln.luts.size(); ++k) {
    if (ln.luts[k].added) ++added;
    else (ln.luts[k].inner ? innerComp : cellComp).emplace(ln.luts[k].name, nl.luts[k]);
  }
  for (std::size_t k = 0; k < ln.regs.size(); ++k) cellComp.emplace(ln.regs[k].name, nl.regs[k]);
  std::size_t written = 0;
  auto cells = mod.find("cells");
  if (cells != mod.end() && cells->is_object()) {
    for (auto it = cells->begin(); it != cells->end(); ++it) {
      const auto found = cellComp.find(it.key());
      if (found == cellComp.end()) continue;  // no component ($scopeinfo)
      const std::string at = where(found->second, true);
      if (at.empty()) return fail("cell " + found->second->name + " is not placed");
      ojson* attrs = it.value().is_object() ? attributes(it.value()) : nullptr;
      if (attrs == nullptr) return fail("cell " + found->second->name + ": \"attributes\" is no object");
      const std::size_t dot = at.rfind('.');
      (*attrs)[kSiteAttribute] = at.substr(0, dot);
      (*attrs)[kSlotAttribute] = at.substr(dot + 1);
      std::string parts;
      for (int k = 0;; ++k) {
        const auto part = innerComp.find(it.key() + "$mux" + std::to_string(k));
        if (part == innerComp.end()) break;
        const std::string partAt = where(part->second, true);
        if (partAt.empty()) return fail("cell " + part->second->name + " is not placed");
        parts += (k > 0 ? " " : "") + partAt;
        ++written;
      }
      if (!parts.empty()) (*attrs)[kPartsAttribute] = parts;
      ++written;
    }
  }
  if (written + added != ln.luts.size() + ln.regs.size())
    return fail("no longer the netlist read (" + std::to_string(ln.luts.size() + ln.regs.size() - added - written) +
                " of its LUTs and registers have no cell)");

  // Ports: the I/O site of each bit.
  std::unordered_map<std::string_view, std::size_t> firstBit;
  for (std::size_t k = 0; k < ln.ports.size(); ++k)
    if (ln.ports[k].bit == 0) firstBit.emplace(ln.ports[k].port, k);
  auto ports = mod.find("ports");
  if (ports != mod.end() && ports->is_object()) {
    for (auto it = ports->begin(); it != ports->end(); ++it) {
      const auto first = firstBit.find(it.key());
      if (first == firstBit.end() || !it.value().is_object()) continue;  // a port of no bits
      const ojson* bits = it.value().contains("bits") ? &it.value()["bits"] : nullptr;
      const std::size_t width = bits != nullptr && bits->is_array() ? bits->size() : 0;
      ojson sites = ojson::array();
      for (std::size_t b = 0; b < width; ++b) {
        const std::size_t k = first->second + b;
        if (k >= ln.ports.size() || ln.ports[k].port != it.key() || ln.ports[k].bit != b)
          return fail("no longer the netlist read (port " + it.key() + ")");
        const standin::Comp* io = nl.portComps.empty() ? nullptr : nl.portComps[k];
        const std::string at = where(io, false);
        if (io != nullptr && at.empty()) return fail("port bit " + io->name + " is not placed");
        // "" rather than null for a bit without a site: yosys's JSON reader
        // takes no null, and the file must go back into it.
        sites.push_back(ojson(at));
      }
      ojson* attrs = attributes(it.value());
      if (attrs == nullptr) return fail("port " + it.key() + ": \"attributes\" is no object");
      (*attrs)[kSiteAttribute] = std::move(sites);
    }
  }

  // The device, for a later run to place on the same one.
  ojson* attrs = attributes(mod);
  if (attrs == nullptr) return fail("module " + ln.top + ": \"attributes\" is no object");
  (*attrs)[kRowsAttribute] = static_cast<int>(d.phy.grid.rows) - 2;
  (*attrs)[kColsAttribute] = static_cast<int>(d.phy.grid.cols) - 2;
  (*attrs)[kHalfRuleAttribute] = d.info.halfPlcRegRule ? 1 : 0;
  out = layoutJson(doc) + "\n";
  return true;
}

}  // namespace qplace
