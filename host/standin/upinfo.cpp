// The stand-in's architecture information and component characteristics.
#include <cstddef>
#include <utility>

#include "host/standin/standin_design.h"
#include "host/ututil.h"

using standin::Info;

namespace {

Info& self(UP_INFO* p) { return *static_cast<Info*>(p); }

}  // namespace

bool UP_INFO::comp_is_pfu_pff(UP_COMP* comp) {
  return comp != nullptr && static_cast<standin::Comp*>(comp)->pfu;
}

bool UP_INFO::site_is_pfu_pff(UP_SITE* site) {
  return site != nullptr && static_cast<standin::Site*>(site)->pfu;
}

int UP_INFO::getnumcompchars() { return static_cast<int>(self(this).compChars.size()); }

UP_COMPCHAR* UP_INFO::getcompchar(int index) {
  auto& chars = self(this).compChars;
  return index >= 0 && static_cast<std::size_t>(index) < chars.size()
             ? &chars[static_cast<std::size_t>(index)]
             : nullptr;
}

void UP_INFO::dumpusage(int /*mode*/) {
  Info& info = self(this);
  if (!info.usage.empty()) {
    ut_msgman->print(info.usage.c_str());
    return;
  }
  int occupied = 0;
  for (const standin::Site& site : info.design->sites)
    if (site.comp != nullptr) ++occupied;
  ut_msgman->print(neoform("Device usage: %d of %d sites\n", occupied,
                           static_cast<int>(info.design->sites.size())));
}

int UP_INFO::getoption(const char* name, bool dflt) {
  const auto& options = self(this).options;
  auto it = name != nullptr ? options.find(name) : options.end();
  return it != options.end() ? it->second : (dflt ? 1 : 0);
}

int UP_INFO::getcomptype(UP_COMP* comp) {
  return comp != nullptr ? static_cast<standin::Comp*>(comp)->type : 0;
}

namespace {

bool clockBit(UP_SIGNAL* sig, unsigned bit) {
  return sig != nullptr && (static_cast<standin::Signal*>(sig)->clocks & bit) != 0;
}

}  // namespace

bool UP_INFO::isclk1(UP_SIGNAL* sig) { return clockBit(sig, standin::Signal::CLK1); }
bool UP_INFO::isclk2(UP_SIGNAL* sig) { return clockBit(sig, standin::Signal::CLK2); }
bool UP_INFO::isclk3(UP_SIGNAL* sig) { return clockBit(sig, standin::Signal::CLK3); }

namespace {

// The (row, column) that `info` gives pin `pin` on `site`.
std::pair<short, short> pinRowCol(Info& info, UP_SITE* site, unsigned short pin) {
  if (site == nullptr) return {0, 0};
  const auto it = info.pinRowCol.find({site, pin});
  if (it != info.pinRowCol.end()) return it->second;
  const auto* s = static_cast<standin::Site*>(site);
  return {s->row, s->col};
}

}  // namespace

short UP_INFO::getpinrow(UP_SITE* site, unsigned short pin) { return pinRowCol(self(this), site, pin).first; }

short UP_INFO::getpincol(UP_SITE* site, unsigned short pin) { return pinRowCol(self(this), site, pin).second; }

bool UP_INFO::nositedrc() { return self(this).noSiteDrc; }
bool UP_INFO::nositedrc2() { return self(this).noSiteDrc2; }
bool UP_INFO::plcregrule() { return self(this).plcRegRule; }
bool UP_INFO::halfplcregrule() { return self(this).halfPlcRegRule; }

void UP_COMPCHAR::dump(const char* prefix) {
  ut_msgman->print(prefix != nullptr ? prefix : "")
      .print(static_cast<standin::CompChar*>(this)->text.c_str())
      .print("\n");
}
