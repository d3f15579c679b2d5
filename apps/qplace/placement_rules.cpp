// Constraints and kept locations resolved to per-unit rules, and the check
// of a placed design against them.
#include "qplace/placement_rules.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "host/standin/standin_design.h"

namespace qplace {

void PlacementRules::clamp(std::vector<double>& x, std::vector<double>& y) const {
  if (!any()) return;
  constexpr double kInside = 0.45;
  for (std::size_t u = 0; u < regionOf.size(); ++u) {
    if (regionOf[u] < 0 || fixedAt[u] >= 0) continue;
    const ClusterRect& r = regions[static_cast<std::size_t>(regionOf[u])];
    x[u] = std::clamp(x[u], r.c0 + 1 - kInside, r.c1 + 1 + kInside);
    y[u] = std::clamp(y[u], r.r0 + 1 - kInside, r.r1 + 1 + kInside);
  }
}

namespace {

const char* const kSlotNames[4] = {"L0", "L1", "R0", "R1"};

int slotIndex(const std::string& s) {
  for (int k = 0; k < 4; ++k)
    if (s == kSlotNames[k]) return k;
  return -1;
}

// A site of the device: a logic site (cluster * 4 + position) or an I/O
// site (its index), or none.
struct SiteRef {
  bool io = false;
  int index = -1;
};

// A unit's fixed site, before its slot (its BLE's parity) is chosen.
struct Want {
  int unit = -1;
  int cluster = -1, sitePos = -1;
  int parity = -1;  // the BLE within the site: 0 or 1, -1 for either
  int item = -1;    // the first constraint that asked for it
  const standin::Comp* by = nullptr;  // the cell it named
};

class Resolver {
public:
  Resolver(const Constraints& c, const Model& m, const Fabric& f, PlacementRules& r, std::vector<std::string>& w)
      : c_(c), m_(m), f_(f), r_(r), warnings_(w) {}

  bool run(std::string& error) {
    const int units = m_.numUnits();
    r_ = PlacementRules();
    r_.cols = f_.cols;
    r_.fixedAt.assign(static_cast<std::size_t>(units), -1);
    r_.regionOf.assign(static_cast<std::size_t>(units), -1);
    wantOf_.assign(static_cast<std::size_t>(units), -1);
    claim_.assign(m_.unitOfComp.size(), -1);
    ioTaken_.assign(static_cast<std::size_t>(f_.numIoSites()), -1);
    try {
      // The file's lines first, so that kept locations yield to them.
      for (int pass = 0; pass < 2; ++pass)
        for (int k = 0; k < static_cast<int>(c_.items.size()); ++k)
          if (c_.items[static_cast<std::size_t>(k)].kept == (pass == 1)) item(k);
      assignSlots();
      checkRegions();
      expectations();
    } catch (const std::string& why) {
      error = why;
      r_ = PlacementRules();
      return false;
    }
    if (!ignoredPorts_.empty()) {
      const std::size_t n = ignoredPorts_.size();
      std::string list;
      for (std::size_t i = 0; i < n && i < 5; ++i) list += (i ? ", " : "") + ignoredPorts_[i].second;
      if (n > 5) list += ", ...";
      warnings_.push_back(c_.whereOf(ignoredPorts_[0].first) + ": " +
                          (n == 1 ? "port bit " + list + " takes"
                                  : "set_io of " + std::to_string(n) + " port bits that take") +
                          " no I/O site (tied to a constant or connected to nothing), ignored" +
                          (n == 1 ? "" : ": " + list));
    }
    if (r_.keptDropped > 0)
      warnings_.push_back(c_.keptSource + ": " + std::to_string(r_.keptDropped) + " kept location" +
                          (r_.keptDropped == 1 ? "" : "s") + " given up, placed anew (first: " + firstDrop_ + ")");
    if (r_.setIo + r_.fixedCells + r_.regionCells + r_.kept == 0) r_ = PlacementRules();
    return true;
  }

private:
  [[noreturn]] void fail(int item, const std::string& why) const { throw c_.whereOf(item) + ": " + why; }

  // A clash of a kept location: given up (counted, the first described)
  // rather than refused.
  void drop(int item, const std::string& why) {
    if (r_.keptDropped++ == 0) firstDrop_ = c_.whatOf(item) + ": " + why;
  }

  std::string siteName(const SiteRef& s) const {
    if (s.io) return f_.dev.ioSites[static_cast<std::size_t>(s.index)]->name;
    return logicSite(s.index / 4, s.index % 4)->name;
  }
  const standin::Site* logicSite(int cluster, int pos) const {
    return static_cast<const standin::Site*>(f_.dev.plcs[static_cast<std::size_t>(cluster)]->sites[static_cast<std::size_t>(pos)]);
  }

  // A site by name: a logic site R<row>C<col><A-D> read from the name and
  // checked against the device's own, else one of the I/O sites.
  SiteRef findSite(const std::string& name) {
    std::size_t i = 0;
    auto number = [&](long& v) {
      const std::size_t start = i;
      v = 0;
      while (i < name.size() && name[i] >= '0' && name[i] <= '9' && i - start < 9) v = v * 10 + (name[i++] - '0');
      return i > start;
    };
    long row = 0, col = 0;
    if (name.size() > 4 && name[i++] == 'R' && number(row) && i < name.size() && name[i++] == 'C' && number(col) &&
        i + 1 == name.size() && name[i] >= 'A' && name[i] <= 'D' && row >= 1 && row <= f_.rows && col >= 1 &&
        col <= f_.cols) {
      const int cluster = static_cast<int>((row - 1) * f_.cols + (col - 1)), pos = name[i] - 'A';
      if (logicSite(cluster, pos)->name == name) return SiteRef{false, cluster * 4 + pos};
    }
    if (ioByName_.empty())
      for (std::size_t k = 0; k < f_.dev.ioSites.size(); ++k) ioByName_.emplace(f_.dev.ioSites[k]->name, static_cast<int>(k));
    const auto it = ioByName_.find(name);
    return it != ioByName_.end() ? SiteRef{true, it->second} : SiteRef{};
  }

  [[noreturn]] void unknownSite(int item, const std::string& site) const {
    fail(item, "no site " + site + " on this device (" + std::to_string(f_.rows) + " x " + std::to_string(f_.cols) +
                   " clusters: logic sites R1C1A to R" + std::to_string(f_.rows) + "C" + std::to_string(f_.cols) +
                   "D, I/O sites on rows 0 and " + std::to_string(f_.rows + 1) + " and columns 0 and " +
                   std::to_string(f_.cols + 1) + ")");
  }

  const standin::Comp* byName(const std::string& name) {
    if (names_.empty())
      for (int u = 0; u < m_.numUnits(); ++u)
        for (const standin::Comp* c : {m_.lut[u], m_.reg[u], m_.io[u]})
          if (c != nullptr) names_.emplace(std::string_view(c->name), c);
    const auto it = names_.find(name);
    return it != names_.end() ? it->second : nullptr;
  }

  int unitOf(const standin::Comp* c) const { return m_.unitOfComp[static_cast<std::size_t>(c->id)]; }

  // The logic cells a fix or region line names: a name must be a cell's;
  // a pattern that matches none is worth a warning, the line then void.
  std::vector<const standin::Comp*> cells(int k, const Constraint& c) {
    std::vector<const standin::Comp*> out;
    if (c.exact || !isPattern(c.name)) {
      const standin::Comp* comp = byName(c.name);
      if (comp == nullptr) fail(k, "no cell " + c.name + " in the design");
      if (m_.isIo(unitOf(comp))) fail(k, c.name + " is a port bit, not a cell (port bits take set_io)");
      out.push_back(comp);
      return out;
    }
    bool ports = false;
    for (int u = 0; u < m_.numUnits(); ++u) {
      if (m_.isIo(u)) {
        ports = ports || globMatch(c.name, m_.io[u]->name);
        continue;
      }
      for (const standin::Comp* comp : {m_.lut[u], m_.reg[u]})
        if (comp != nullptr && globMatch(c.name, comp->name)) out.push_back(comp);
    }
    if (out.empty())
      warnings_.push_back(c.where + ": '" + c.name + "' matches no cell" +
                          (ports ? " (port bits are placed with set_io)" : ""));
    return out;
  }

  // Claims a component for one of the file's constraints: each component
  // takes one.
  void claim(int k, const standin::Comp* comp) {
    int& owner = claim_[static_cast<std::size_t>(comp->id)];
    if (owner >= 0) fail(k, comp->name + " is constrained already, by " + c_.whereOf(owner));
    owner = k;
    claims_.push_back({comp, k});
  }

  void item(int k) {
    const Constraint& c = c_.items[static_cast<std::size_t>(k)];
    switch (c.kind) {
      case ConstraintKind::SetIo: setIo(k, c); break;
      case ConstraintKind::Fix: fix(k, c); break;
      case ConstraintKind::Region: region(k, c); break;
    }
  }

  void setIo(int k, const Constraint& c) {
    const standin::Comp* comp = c.comp != nullptr ? c.comp : byName(c.name);
    const SiteRef s = findSite(c.site);
    if (s.index < 0) unknownSite(k, c.site);
    // A kept location has its component and no name of its own.
    const std::string& bit = comp != nullptr ? comp->name : c.name;
    if (comp != nullptr && !m_.isIo(unitOf(comp))) fail(k, bit + " is a cell, not a port bit (cells take fix)");
    if (!s.io) fail(k, c.site + " is a logic site; port bit " + bit + " needs an I/O site");
    if (comp == nullptr) {
      if (noIo_.empty())
        for (const std::string& name : c_.portsWithoutIo) noIo_.insert(std::string_view(name));
      if (noIo_.count(c.name) == 0) fail(k, "no port bit " + c.name + " in the design");
      ignoredPorts_.emplace_back(k, c.name);
      return;
    }
    const int u = unitOf(comp);
    if (c.kept && claim_[static_cast<std::size_t>(comp->id)] >= 0) return;
    const int other = ioTaken_[static_cast<std::size_t>(s.index)];
    if (other >= 0) {
      const std::string why = "I/O site " + c.site + " is taken by " + c_.whereOf(other);
      if (c.kept) return drop(k, why);
      fail(k, why);
    }
    claim(k, comp);
    ioTaken_[static_cast<std::size_t>(s.index)] = k;
    r_.fixedAt[static_cast<std::size_t>(u)] = s.index;
  }

  void fix(int k, const Constraint& c) {
    std::vector<const standin::Comp*> comps;
    if (c.comp != nullptr) {
      comps.push_back(c.comp);
    } else {
      comps = cells(k, c);
      if (comps.empty()) return;
    }
    const SiteRef s = findSite(c.site);
    if (s.index < 0) unknownSite(k, c.site);
    if (s.io) fail(k, c.site + " is an I/O site; cells are fixed at logic sites");
    const int slot = c.slot.empty() ? -1 : slotIndex(c.slot);
    if (!c.slot.empty() && slot < 0) fail(k, "no slot " + c.slot + " (L0, L1, R0 or R1)");
    for (const standin::Comp* comp : comps) {
      const int u = unitOf(comp);
      const bool isLut = comp == m_.lut[u];
      if (slot >= 0 && (slot < 2) != isLut)
        fail(k, comp->name + " is a " + (isLut ? "LUT" : "register") + "; slot " + c.slot + " holds " +
                    (isLut ? "a register" : "a LUT"));
      int& owner = claim_[static_cast<std::size_t>(comp->id)];
      if (c.kept) {
        // The file's fix wins; within the file's region a kept place holds.
        if (owner >= 0 && c_.items[static_cast<std::size_t>(owner)].kind != ConstraintKind::Region) continue;
        const int rg = r_.regionOf[static_cast<std::size_t>(u)];
        if (rg >= 0 && !r_.regions[static_cast<std::size_t>(rg)].holds(s.index / 4, f_.cols)) continue;
        const int w = wantOf_[static_cast<std::size_t>(u)];
        if (w >= 0 && !c_.items[static_cast<std::size_t>(wants_[static_cast<std::size_t>(w)].item)].kept) continue;
        claims_.push_back({comp, k});
        if (owner < 0) owner = k;
      } else {
        claim(k, comp);
      }
      if (!want(k, u, comp, s.index / 4, s.index % 4, slot < 0 ? -1 : slot % 2)) {
        claims_.pop_back();
        if (owner == k) owner = -1;
      }
    }
  }

  // Unit u wants site (cluster, pos), BLE parity `parity` (-1: either).
  // False when a kept location clashes with the other cell of its pair.
  bool want(int k, int u, const standin::Comp* comp, int cluster, int pos, int parity) {
    int& w = wantOf_[static_cast<std::size_t>(u)];
    if (w < 0) {
      w = static_cast<int>(wants_.size());
      wants_.push_back(Want{u, cluster, pos, parity, k, comp});
      return true;
    }
    // The other cell of a pair: one site, one BLE.
    Want& had = wants_[static_cast<std::size_t>(w)];
    if (had.cluster == cluster && had.sitePos == pos && (had.parity < 0 || parity < 0 || had.parity == parity)) {
      if (had.parity < 0) had.parity = parity;
      return true;
    }
    const standin::Comp* other = comp == m_.lut[u] ? m_.reg[u] : m_.lut[u];
    const std::string why = comp->name + " and " + other->name + " (" + c_.whereOf(had.item) +
                            ") are a LUT and the register it alone feeds, placed in one BLE: fix them at one " +
                            "site, in L0 and R0 or in L1 and R1";
    if (!c_.items[static_cast<std::size_t>(k)].kept) fail(k, why);
    drop(k, why);
    return false;
  }

  void region(int k, const Constraint& c) {
    const std::vector<const standin::Comp*> comps = cells(k, c);
    if (comps.empty()) return;
    if (c.row0 < 1 || c.row1 > f_.rows || c.col0 < 1 || c.col1 > f_.cols)
      fail(k, "the region (rows " + std::to_string(c.row0) + " to " + std::to_string(c.row1) + ", columns " +
                  std::to_string(c.col0) + " to " + std::to_string(c.col1) + ") reaches past the device's clusters (rows 1 to " +
                  std::to_string(f_.rows) + ", columns 1 to " + std::to_string(f_.cols) + ")");
    const ClusterRect rect{c.row0 - 1, c.col0 - 1, c.row1 - 1, c.col1 - 1};
    const int id = rectId(rect, k);
    for (const standin::Comp* comp : comps) {
      claim(k, comp);
      const int u = unitOf(comp);
      int& rg = r_.regionOf[static_cast<std::size_t>(u)];
      if (rg < 0 || rg == id) {
        rg = id;
      } else {
        // The other cell of a pair in a rectangle of its own: where they meet.
        const ClusterRect& a = r_.regions[static_cast<std::size_t>(rg)];
        const ClusterRect both{std::max(a.r0, rect.r0), std::max(a.c0, rect.c0), std::min(a.r1, rect.r1),
                               std::min(a.c1, rect.c1)};
        const standin::Comp* other = comp == m_.lut[u] ? m_.reg[u] : m_.lut[u];
        if (both.r0 > both.r1 || both.c0 > both.c1)
          fail(k, comp->name + " and " + other->name + " (" + c_.whereOf(rectItem_[static_cast<std::size_t>(rg)]) +
                      ") are a LUT and the register it alone feeds, placed in one BLE, and their regions do not meet");
        rg = rectId(both, k);
      }
    }
  }

  int rectId(const ClusterRect& q, int k) {
    for (std::size_t i = 0; i < r_.regions.size(); ++i) {
      const ClusterRect& a = r_.regions[i];
      if (a.r0 == q.r0 && a.c0 == q.c0 && a.r1 == q.r1 && a.c1 == q.c1) return static_cast<int>(i);
    }
    r_.regions.push_back(q);
    rectItem_.push_back(k);
    return static_cast<int>(r_.regions.size() - 1);
  }

  // Each wanted site gets its BLE: the file's before the kept ones, those
  // asked for by slot before the rest, each on the first BLE of its site
  // whose halves are free and whose register group takes its control set.
  void assignSlots() {
    if (wants_.empty()) return;
    const std::size_t places = static_cast<std::size_t>(f_.numClusters()) * kBles;
    lutBy_.assign(places, -1);
    regBy_.assign(places, -1);
    groupBy_.assign(static_cast<std::size_t>(f_.numGroups()), -1);
    for (int round = 0; round < 4; ++round)
      for (Want& w : wants_)
        if (c_.items[static_cast<std::size_t>(w.item)].kept == (round >= 2) && (w.parity >= 0) == (round % 2 == 0))
          place(w);
  }

  void place(Want& w) {
    const int u = w.unit;
    const bool kept = c_.items[static_cast<std::size_t>(w.item)].kept;
    // Another claim, as this one's message names it: a kept one of the same
    // netlist by its cell alone, as the message names the netlist already.
    auto claimOf = [&](const Want& o) {
      if (kept && c_.items[static_cast<std::size_t>(o.item)].kept) return c_.whatOf(o.item);
      return o.by->name + " (" + c_.whereOf(o.item) + ")";
    };
    std::string why;
    for (int parity = 0; parity < 2; ++parity) {
      if (w.parity >= 0 && parity != w.parity) continue;
      const int pos = w.cluster * kBles + w.sitePos * 2 + parity;
      const int lutHolder = m_.hasLut(u) ? lutBy_[static_cast<std::size_t>(pos)] : -1;
      const int regHolder = m_.hasReg(u) ? regBy_[static_cast<std::size_t>(pos)] : -1;
      const standin::Site* site = logicSite(w.cluster, w.sitePos);
      if (lutHolder >= 0 || regHolder >= 0) {
        // The slot of the cell named, when taken; else its pair's.
        const bool reg = regHolder >= 0 && (lutHolder < 0 || w.by == m_.reg[u]);
        const Want& other = wantOfUnit(reg ? regHolder : lutHolder);
        if (why.empty())
          why = "slot " + site->name + "." + kSlotNames[(reg ? 2 : 0) + parity] + " is taken by " + claimOf(other);
        continue;
      }
      const int g = f_.groupOfBle(w.cluster, w.sitePos * 2 + parity);
      const int groupHolder = m_.hasReg(u) ? groupBy_[static_cast<std::size_t>(g)] : -1;
      if (groupHolder >= 0 && m_.ctrl[static_cast<std::size_t>(groupHolder)] != m_.ctrl[static_cast<std::size_t>(u)]) {
        if (why.empty()) {
          // The registers by name, each with the cell its claim names when
          // that is its pair's LUT.
          const standin::Comp* mine = m_.reg[static_cast<std::size_t>(u)];
          const standin::Comp* theirs = m_.reg[static_cast<std::size_t>(groupHolder)];
          const Want& other = wantOfUnit(groupHolder);
          why = (w.by == mine ? mine->name : "its register " + mine->name) + " and " +
                (other.by == theirs ? claimOf(other) : "register " + theirs->name + " of " + claimOf(other)) +
                " are registers of different control sets in one register group (" +
                (f_.halfRule ? "a half" : "the whole") + " of cluster " +
                f_.dev.plcs[static_cast<std::size_t>(w.cluster)]->name + ")";
        }
        continue;
      }
      if (m_.hasLut(u)) lutBy_[static_cast<std::size_t>(pos)] = u;
      if (m_.hasReg(u)) {
        regBy_[static_cast<std::size_t>(pos)] = u;
        if (groupHolder < 0) groupBy_[static_cast<std::size_t>(g)] = u;
      }
      w.parity = parity;
      r_.fixedAt[static_cast<std::size_t>(u)] = pos;
      return;
    }
    if (!kept) fail(w.item, why);
    // A kept place given up: its claims go, and the unit is placed anew.
    for (auto& [comp, k] : claims_)
      if (k == w.item || (unitOf(comp) == u && c_.items[static_cast<std::size_t>(k)].kept)) k = -1;
    drop(w.item, why);
  }

  const Want& wantOfUnit(int u) const {
    return wants_[static_cast<std::size_t>(wantOf_[static_cast<std::size_t>(u)])];
  }

  std::string cellOf(int u) const {
    return m_.lut[static_cast<std::size_t>(u)] != nullptr ? m_.lut[static_cast<std::size_t>(u)]->name
                                                          : m_.reg[static_cast<std::size_t>(u)]->name;
  }

  // Fixed units inside their regions, and each region's room for the
  // units it must take besides the fixed ones inside it.
  void checkRegions() {
    if (r_.regions.empty()) return;
    const int units = m_.numUnits();
    for (int u = 0; u < units; ++u) {
      const int rg = r_.regionOf[static_cast<std::size_t>(u)], at = r_.fixedAt[static_cast<std::size_t>(u)];
      if (rg >= 0 && at >= 0 && !m_.isIo(u) && !r_.regions[static_cast<std::size_t>(rg)].holds(at / kBles, f_.cols))
        fail(wants_[static_cast<std::size_t>(wantOf_[static_cast<std::size_t>(u)])].item,
             cellOf(u) + " is fixed outside its region (" + c_.whereOf(rectItem_[static_cast<std::size_t>(rg)]) + ")");
    }
    for (std::size_t i = 0; i < r_.regions.size(); ++i) {
      const ClusterRect& q = r_.regions[i];
      long luts = 0, lutRoom = 0;
      std::unordered_map<int, int> regsOfSet;
      for (int u = 0; u < units; ++u) {
        if (r_.regionOf[static_cast<std::size_t>(u)] != static_cast<int>(i) || r_.fixedAt[static_cast<std::size_t>(u)] >= 0) continue;
        luts += m_.hasLut(u) ? 1 : 0;
        if (m_.hasReg(u)) ++regsOfSet[m_.ctrl[static_cast<std::size_t>(u)]];
      }
      if (luts == 0 && regsOfSet.empty()) continue;
      long groupsNeeded = 0, groupsFree = 0;
      for (const auto& [set, n] : regsOfSet) groupsNeeded += (n + f_.groupBles() - 1) / f_.groupBles();
      for (int r = q.r0; r <= q.r1; ++r)
        for (int col = q.c0; col <= q.c1; ++col) {
          const int cl = r * f_.cols + col;
          for (int b = 0; b < kBles; ++b)
            lutRoom += lutBy_.empty() || lutBy_[static_cast<std::size_t>(cl * kBles + b)] < 0 ? 1 : 0;
          for (int g = 0; g < f_.groupsPerCluster(); ++g)
            groupsFree += groupBy_.empty() || groupBy_[static_cast<std::size_t>(cl * f_.groupsPerCluster() + g)] < 0 ? 1 : 0;
        }
      if (luts <= lutRoom && groupsNeeded <= groupsFree) continue;
      long regs = 0;
      for (const auto& [set, n] : regsOfSet) regs += n;
      auto count = [](long n, const char* what) { return std::to_string(n) + " " + what + (n == 1 ? "" : "s"); };
      fail(rectItem_[i], "the region (rows " + std::to_string(q.r0 + 1) + " to " + std::to_string(q.r1 + 1) + ", columns " +
                             std::to_string(q.c0 + 1) + " to " + std::to_string(q.c1 + 1) + ", " +
                             count(q.clusters(), "cluster") + ") is too small: " + count(luts, "LUT") + " for " +
                             count(lutRoom, "free LUT place") + ", " + count(regs, "register") + " of " +
                             count(static_cast<long>(regsOfSet.size()), "control set") + " needing " +
                             count(groupsNeeded, "register group") + " of " + std::to_string(groupsFree) + " free");
    }
  }

  void expectations() {
    for (const auto& [comp, k] : claims_) {
      if (k < 0) continue;
      const Constraint& c = c_.items[static_cast<std::size_t>(k)];
      const int u = unitOf(comp);
      PlacementRules::Expect e;
      e.comp = comp;
      e.item = k;
      if (c.kind == ConstraintKind::SetIo) {
        e.site = f_.dev.ioSites[static_cast<std::size_t>(r_.fixedAt[static_cast<std::size_t>(u)])];
      } else if (c.kind == ConstraintKind::Fix) {
        const int pos = r_.fixedAt[static_cast<std::size_t>(u)];
        if (pos < 0) continue;
        e.site = logicSite(pos / kBles, (pos % kBles) / 2);
        e.slot = (comp == m_.lut[u] ? 0 : 2) + pos % 2;
      }
      r_.expects.push_back(e);
      ++(c.kept ? r_.kept : c.kind == ConstraintKind::SetIo ? r_.setIo : c.kind == ConstraintKind::Fix ? r_.fixedCells : r_.regionCells);
    }
  }

  const Constraints& c_;
  const Model& m_;
  const Fabric& f_;
  PlacementRules& r_;
  std::vector<std::string>& warnings_;
  std::unordered_map<std::string, int> ioByName_;
  std::unordered_map<std::string_view, const standin::Comp*> names_;
  std::unordered_set<std::string_view> noIo_;
  std::vector<int> claim_;    // per component id: the constraint that claimed it, -1 for none
  std::vector<std::pair<const standin::Comp*, int>> claims_;  // in order; -1 once given up
  std::vector<int> ioTaken_;  // per I/O site: its constraint
  std::vector<Want> wants_;
  std::vector<int> wantOf_;   // per unit
  std::vector<int> rectItem_;  // per region: the line that made it
  std::vector<int> lutBy_, regBy_, groupBy_;  // per BLE place and register group: the fixed unit there
  std::vector<std::pair<int, std::string>> ignoredPorts_;
  std::string firstDrop_;
};

}  // namespace

bool resolveRules(const Constraints& c, const Model& m, const Fabric& f, PlacementRules& rules,
                  std::string& error, std::vector<std::string>& warnings) {
  return Resolver(c, m, f, rules, warnings).run(error);
}

void placeFixed(const PlacementRules& rules, Placement& p) {
  if (!rules.any()) return;
  const Model& m = *p.model;
  for (int u = 0; u < m.numUnits(); ++u) {
    const int at = rules.fixedAt[static_cast<std::size_t>(u)];
    if (at < 0) continue;
    if (m.isIo(u)) p.putIo(u, at);
    else p.put(u, at);
  }
}

int checkRules(const PlacementRules& rules, const Constraints& c, std::vector<std::string>& faults) {
  int errors = 0;
  auto fault = [&](const std::string& text) {
    if (++errors <= 10) faults.push_back(text);
  };
  for (const PlacementRules::Expect& e : rules.expects) {
    const Constraint& k = c.items[static_cast<std::size_t>(e.item)];
    const standin::Site* at = e.comp->site;
    const std::string where = c.whereOf(e.item) + ": " + e.comp->name;
    if (at == nullptr) {
      fault(where + " is not placed");
      continue;
    }
    if (k.kind == ConstraintKind::Region) {
      // Clusters sit at device rows and columns 1 to the grid's size.
      if (at->row < k.row0 || at->row > k.row1 || at->col < k.col0 || at->col > k.col1 || at->plc == nullptr)
        fault(where + " lies on " + at->name + ", outside its region");
      continue;
    }
    if (at != e.site) {
      fault(where + " lies on " + at->name + ", not " + e.site->name);
      continue;
    }
    if (e.slot >= 0 && (!at->hasSlots || at->slots[e.slot] != e.comp))
      fault(where + " is not in slot " + e.site->name + "." + kSlotNames[e.slot]);
  }
  return errors;
}

}  // namespace qplace
