// Control-set reduction: choosing the sets, and folding a register's
// synchronous controls into the LUT in front of it.
#include "qplace/ctrl_reduce.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <unordered_set>
#include <vector>

namespace qplace {

namespace {

// A signal of the folded function: one of its variables, or a constant.
struct Sig {
  int var = -1;  // index into the variables, or -1 for the constant `value`
  bool value = false;
};

// A truth table over its variables (nets): bit a is the value when variable
// i has bit i of a. The function in front of a folded register has at most
// seven: the driving LUT's four inputs, enable, reset and Q.
struct Table {
  std::vector<NetId> vars;
  std::vector<char> bits;

  Sig sig(NetId n) {
    if (!isNet(n)) return Sig{-1, n == kNet1};
    for (std::size_t i = 0; i < vars.size(); ++i)
      if (vars[i] == n) return Sig{static_cast<int>(i), false};
    vars.push_back(n);
    return Sig{static_cast<int>(vars.size()) - 1, false};
  }
  static bool value(const Sig& s, unsigned a) { return s.var < 0 ? s.value : ((a >> s.var) & 1u) != 0; }

  bool dependsOn(int v) const {
    for (std::size_t a = 0; a < bits.size(); ++a)
      if (bits[a] != bits[a ^ (std::size_t{1} << v)]) return true;
    return false;
  }
  // Drops variable v, on which the table must not depend.
  void drop(int v) {
    std::vector<char> out(bits.size() / 2);
    const std::size_t low = (std::size_t{1} << v) - 1;
    for (std::size_t a = 0; a < out.size(); ++a) out[a] = bits[(a & low) | ((a & ~low) << 1)];
    bits.swap(out);
    vars.erase(vars.begin() + v);
  }
  std::uint16_t mask() const {
    std::uint16_t m = 0;
    for (std::size_t a = 0; a < bits.size(); ++a)
      if (bits[a]) m = static_cast<std::uint16_t>(m | (1u << a));
    return m;
  }
};

bool constantOk(NetId n) { return isNet(n) || n == kNet0 || n == kNet1; }

// Whether a register's synchronous controls can be folded: an edge-triggered
// flip-flop on a clock net, an enable or a sync reset, and no "x", "z" or
// missing connection where the folded function would read it.
bool foldable(const LogicReg& r) {
  if (r.latch || !isNet(r.clock.net)) return false;
  if (!r.enable.present() && !r.syncReset.present()) return false;
  if (r.enable.present() && !constantOk(r.enable.net)) return false;
  if (r.syncReset.present() && !constantOk(r.syncReset.net)) return false;
  return constantOk(r.d);
}

ControlKey plainKey(const LogicReg& r) {
  LogicReg p = r;
  p.enable = Control{};
  p.syncReset = Control{};
  p.syncValue = p.enableOverSync = false;
  return controlKey(p);
}

// The cell type of a flip-flop with only its clock and asynchronous controls.
std::string plainType(const LogicReg& r) {
  auto pol = [](const Control& c) { return c.activeHigh ? "P" : "N"; };
  const std::string c = pol(r.clock);
  if (r.asyncLoad.present()) return "$_ALDFF_" + c + pol(r.asyncLoad) + "_";
  if (r.asyncSet.present() || r.asyncClear.present())
    return "$_DFFSR_" + c + pol(r.asyncSet) + pol(r.asyncClear) + "_";
  if (r.asyncReset.present()) return "$_DFF_" + c + pol(r.asyncReset) + (r.asyncValue ? "1" : "0") + "_";
  return "$_DFF_" + c + "_";
}

// The next state at the clock edge, from the register's data and controls.
bool nextState(const LogicReg& r, bool d, bool en, bool sr, bool q) {
  const bool enabled = !r.enable.present() || en == r.enable.activeHigh;
  const bool reset = r.syncReset.present() && sr == r.syncReset.activeHigh;
  if (reset && (!r.enableOverSync || enabled)) return r.syncValue;
  return enabled ? d : q;
}

class Folder {
public:
  explicit Folder(LogicNetlist& ln) : ln_(ln) {
    loads_.assign(static_cast<std::size_t>(ln.numNets()), 0);
    driverLut_.assign(static_cast<std::size_t>(ln.numNets()), -1);
    auto load = [&](NetId n) {
      if (isNet(n)) ++loads_[static_cast<std::size_t>(n)];
    };
    for (std::size_t l = 0; l < ln.luts.size(); ++l) {
      for (NetId n : ln.luts[l].in) load(n);
      if (isNet(ln.luts[l].out)) driverLut_[static_cast<std::size_t>(ln.luts[l].out)] = static_cast<int>(l);
    }
    for (const LogicReg& r : ln.regs)
      for (NetId n : {r.d, r.clock.net, r.enable.net, r.syncReset.net, r.asyncReset.net, r.asyncSet.net,
                      r.asyncClear.net, r.asyncLoad.net, r.asyncData})
        load(n);
    for (const LogicPort& p : ln.ports)
      if (p.output) load(p.net);
    for (const LogicLut& l : ln.luts) names_.insert(l.name);
    for (const LogicReg& r : ln.regs) names_.insert(r.name);
  }

  // Whether register r's folded function fits in the LUT driving its D.
  bool extends(const LogicReg& r) const {
    Table t;
    return extension(r, isNet(r.q) ? r.q : ln_.numNets(), t) >= 0;  // a stand-in for a Q still to make
  }

  void fold(LogicReg& r, ReduceResult& res) {
    if (!isNet(r.q)) r.q = ln_.addNet(r.name + "$q");
    Table t;
    const int l = extension(r, r.q, t);
    if (l >= 0) {
      LogicLut& lut = ln_.luts[static_cast<std::size_t>(l)];
      lut.in = t.vars;
      lut.mask = t.mask();
      ++res.lutsExtended;
      plain(r);
      return;
    }
    // A new LUT between D and the register.
    t = Table{};
    const Sig d = t.sig(r.d);
    build(t, r, r.q, [&](unsigned a) { return Table::value(d, a); }, 0);
    LogicLut lut;
    lut.name = uniqueName(r.name + "$fold");
    lut.added = true;
    lut.in = t.vars;
    lut.mask = t.mask();
    lut.out = ln_.addNet(lut.name + "$d");
    r.d = lut.out;
    ln_.luts.push_back(std::move(lut));
    ++res.lutsAdded;
    plain(r);
  }

private:
  // The LUT driving D when D goes nowhere else and the folded function
  // (left in t) fits in its four inputs; else -1.
  int extension(const LogicReg& r, NetId q, Table& t) const {
    if (!isNet(r.d) || r.d >= static_cast<NetId>(loads_.size()) || loads_[static_cast<std::size_t>(r.d)] != 1) return -1;
    const int l = driverLut_[static_cast<std::size_t>(r.d)];
    if (l < 0) return -1;
    std::vector<Sig> in;
    for (NetId n : ln_.luts[static_cast<std::size_t>(l)].in) in.push_back(t.sig(n));
    const std::size_t own = t.vars.size();
    const std::uint16_t old = ln_.luts[static_cast<std::size_t>(l)].mask;
    build(t, r, q, [&](unsigned a) {
      unsigned k = 0;
      for (std::size_t i = 0; i < in.size(); ++i) k |= (Table::value(in[i], a) ? 1u : 0u) << i;
      return ((old >> k) & 1u) != 0;
    }, own);
    return t.vars.size() <= 4 ? l : -1;
  }

  // Fills t with the register's next state over its variables (those
  // already in t, whose data function is `data`, plus enable, reset and Q
  // on qNet),
  // then drops the added variables, and from `keep` on any other, that the
  // next state does not depend on.
  template <class Data>
  static void build(Table& t, const LogicReg& r, NetId qNet, Data data, std::size_t keep) {
    const Sig en = r.enable.present() ? t.sig(r.enable.net) : Sig{};
    const Sig sr = r.syncReset.present() ? t.sig(r.syncReset.net) : Sig{};
    const Sig q = t.sig(qNet);
    const std::size_t n = t.vars.size();  // at most 7
    t.bits.assign(std::size_t{1} << n, 0);
    for (unsigned a = 0; a < t.bits.size(); ++a)
      t.bits[a] = nextState(r, data(a), Table::value(en, a), Table::value(sr, a), Table::value(q, a)) ? 1 : 0;
    for (int v = static_cast<int>(t.vars.size()) - 1; v >= static_cast<int>(keep); --v)
      if (!t.dependsOn(v)) t.drop(v);
  }

  void plain(LogicReg& r) {
    r.enable = Control{};
    r.syncReset = Control{};
    r.syncValue = r.enableOverSync = false;
    r.type = plainType(r);
  }

  std::string uniqueName(const std::string& base) {
    std::string name = base;
    for (int k = 2; names_.count(name) != 0; ++k) name = base + "$" + std::to_string(k);
    names_.insert(name);
    return name;
  }

  LogicNetlist& ln_;
  std::vector<int> loads_;      // per net of the input: pins it reaches
  std::vector<int> driverLut_;  // per net of the input: the LUT driving it, or -1
  std::unordered_set<std::string> names_;
};

int ceilDiv(int a, int b) { return (a + b - 1) / b; }

}  // namespace

int countControlSets(const LogicNetlist& ln) {
  std::map<ControlKey, int> sets;
  for (const LogicReg& r : ln.regs) sets.emplace(controlKey(r), 0);
  return static_cast<int>(sets.size());
}

int registerGroupsNeeded(const LogicNetlist& ln, int groupSize) {
  std::map<ControlKey, int> sets;
  for (const LogicReg& r : ln.regs) ++sets[controlKey(r)];
  int groups = 0;
  for (const auto& [key, count] : sets) groups += ceilDiv(count, std::max(1, groupSize));
  return groups;
}

ReduceResult reduceControlSets(LogicNetlist& ln, const ReduceParams& p) {
  ReduceResult res;
  const int G = std::max(1, p.groupSize);
  res.setsBefore = res.setsAfter = countControlSets(ln);
  res.groupsBefore = res.groupsAfter = registerGroupsNeeded(ln, G);
  if (!p.enabled || p.maxRegs <= 0) return res;

  // Sets in order of first use.
  std::map<ControlKey, int> setOf;
  std::vector<std::vector<int>> regsOf;
  for (std::size_t i = 0; i < ln.regs.size(); ++i) {
    auto [it, fresh] = setOf.emplace(controlKey(ln.regs[i]), static_cast<int>(regsOf.size()));
    if (fresh) regsOf.emplace_back();
    regsOf[static_cast<std::size_t>(it->second)].push_back(static_cast<int>(i));
  }

  // Candidates by the plain set they would join, in order of first use.
  std::map<ControlKey, int> targetOf;
  std::vector<std::vector<int>> candidatesOf;  // per target: candidate sets
  std::vector<int> targetRegs;                 // per target: registers already in it
  for (std::size_t s = 0; s < regsOf.size(); ++s) {
    const std::vector<int>& regs = regsOf[s];
    if (static_cast<int>(regs.size()) > p.maxRegs) continue;
    if (!std::all_of(regs.begin(), regs.end(), [&](int r) { return foldable(ln.regs[static_cast<std::size_t>(r)]); }))
      continue;
    const ControlKey key = plainKey(ln.regs[static_cast<std::size_t>(regs[0])]);
    auto [it, fresh] = targetOf.emplace(key, static_cast<int>(candidatesOf.size()));
    if (fresh) {
      candidatesOf.emplace_back();
      auto plainSet = setOf.find(key);
      targetRegs.push_back(plainSet == setOf.end() ? 0 : static_cast<int>(regsOf[static_cast<std::size_t>(plainSet->second)].size()));
    }
    candidatesOf[static_cast<std::size_t>(it->second)].push_back(static_cast<int>(s));
  }

  // Per target, smallest sets first: fold the shortest run that frees the
  // most groups, if any.
  std::vector<char> foldReg(ln.regs.size(), 0);
  for (std::size_t t = 0; t < candidatesOf.size(); ++t) {
    std::vector<int>& cands = candidatesOf[t];
    std::stable_sort(cands.begin(), cands.end(), [&](int a, int b) {
      return regsOf[static_cast<std::size_t>(a)].size() < regsOf[static_cast<std::size_t>(b)].size();
    });
    const int base = targetRegs[t];
    int own = 0, joined = base, best = 0, bestLen = p.freeingOnly ? 0 : static_cast<int>(cands.size());
    for (std::size_t j = 0; j < cands.size(); ++j) {
      const int k = static_cast<int>(regsOf[static_cast<std::size_t>(cands[j])].size());
      own += ceilDiv(k, G);
      joined += k;
      const int saved = own + ceilDiv(base, G) - ceilDiv(joined, G);
      if (saved > best && p.freeingOnly) {
        best = saved;
        bestLen = static_cast<int>(j) + 1;
      }
    }
    cands.resize(static_cast<std::size_t>(bestLen));
  }

  // Sets whose registers all fold into their driving LUTs fold as chosen;
  // the others cost LUTs, and fold, cheapest per group freed first, only
  // while the register groups bind harder than the slots do.
  Folder folder(ln);
  std::vector<int> pool(targetRegs);  // per target: registers in it so far
  int groups = res.groupsBefore;
  auto take = [&](int set, int target) {
    const std::vector<int>& regs = regsOf[static_cast<std::size_t>(set)];
    const int k = static_cast<int>(regs.size());
    int& in = pool[static_cast<std::size_t>(target)];
    groups += ceilDiv(in + k, G) - ceilDiv(in, G) - ceilDiv(k, G);
    in += k;
    for (int r : regs) foldReg[static_cast<std::size_t>(r)] = 1;
  };
  struct Costly {
    double perGroup;  // new LUTs per register group the set wastes
    int set, target, luts;
  };
  std::vector<Costly> costly;
  for (std::size_t t = 0; t < candidatesOf.size(); ++t)
    for (int set : candidatesOf[t]) {
      const std::vector<int>& regs = regsOf[static_cast<std::size_t>(set)];
      int added = 0;
      if (p.groupShare > 0)
        for (int r : regs) added += folder.extends(ln.regs[static_cast<std::size_t>(r)]) ? 0 : 1;
      if (added == 0) {
        take(set, static_cast<int>(t));
        continue;
      }
      const int k = static_cast<int>(regs.size());
      const double waste = ceilDiv(k, G) - static_cast<double>(k) / G;
      costly.push_back(Costly{waste > 0 ? added / waste : 1e300, set, static_cast<int>(t), added});
    }
  std::stable_sort(costly.begin(), costly.end(), [](const Costly& a, const Costly& b) { return a.perGroup < b.perGroup; });
  // The BLEs that the slots ask for (as designgen::fitDevice counts them:
  // 85% of the register slots usable), against those the groups take.
  double luts = static_cast<double>(ln.luts.size());
  const double regs = ln.regs.size() / 0.85;
  for (const Costly& c : costly) {
    if (static_cast<double>(groups) * G <= p.groupShare * std::max(luts, regs)) break;
    take(c.set, c.target);
    luts += c.luts;
  }

  // More registers than LUTs: the foldable sets left fold, smallest first,
  // while the LUTs fit the BLEs that the registers ask for.
  const double regCount = static_cast<double>(ln.regs.size());
  if (p.spareLuts && regCount > luts) {
    std::vector<int> spare;
    for (std::size_t s = 0; s < regsOf.size(); ++s) {
      const std::vector<int>& rs = regsOf[s];
      if (foldReg[static_cast<std::size_t>(rs[0])] || static_cast<int>(rs.size()) > p.spareMaxRegs) continue;
      if (std::all_of(rs.begin(), rs.end(), [&](int r) { return foldable(ln.regs[static_cast<std::size_t>(r)]); }))
        spare.push_back(static_cast<int>(s));
    }
    std::stable_sort(spare.begin(), spare.end(), [&](int a, int b) {
      return regsOf[static_cast<std::size_t>(a)].size() < regsOf[static_cast<std::size_t>(b)].size();
    });
    for (int s : spare) {
      const std::vector<int>& rs = regsOf[static_cast<std::size_t>(s)];
      int added = 0;
      for (int r : rs) added += folder.extends(ln.regs[static_cast<std::size_t>(r)]) ? 0 : 1;
      if (luts + added > regs) break;
      luts += added;
      for (int r : rs) foldReg[static_cast<std::size_t>(r)] = 1;
    }
  }

  for (std::size_t r = 0; r < ln.regs.size(); ++r) {
    if (!foldReg[r]) continue;
    folder.fold(ln.regs[r], res);
    ++res.foldedRegs;
  }
  res.setsAfter = countControlSets(ln);
  res.groupsAfter = registerGroupsNeeded(ln, G);
  return res;
}

std::string describe(const ReduceResult& r) {
  char buf[256];
  if (r.foldedRegs == 0)
    std::snprintf(buf, sizeof buf, "control sets: %d, none folded; register groups needed: %d", r.setsBefore,
                  r.groupsBefore);
  else
    std::snprintf(buf, sizeof buf,
                  "control sets: %d, %d after reduction (%d registers folded: %d LUTs extended, %d added); "
                  "register groups needed: %d, %d after",
                  r.setsBefore, r.setsAfter, r.foldedRegs, r.lutsExtended, r.lutsAdded, r.groupsBefore,
                  r.groupsAfter);
  return buf;
}

}  // namespace qplace
