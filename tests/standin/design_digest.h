// A digest of a whole stand-in design as the library sees it: every
// component with its pins, signals and instance, every signal with its pins
// in order, every site with its geometry, and every routing node with the
// arcs a node iterator walks. It reads through the host declarations
// (host/*.h) alone, but for the node table, which the host offers no walk
// of; the same text compiles against any layout of the stand-in's records,
// which is what lets it compare a design made now with one made by an
// earlier build of the stand-in.
#ifndef BASAPLACE_TESTS_DESIGN_DIGEST_H
#define BASAPLACE_TESTS_DESIGN_DIGEST_H

#include <cstdint>
#include <cstring>

#include "host/phydevice.h"
#include "host/standin/standin_design.h"
#include "host/udb.h"
#include "host/updesign.h"

namespace digest {

// FNV-1a over 64 bits, fed field by field.
struct Hash {
  std::uint64_t h = 1469598103934665603ull;
  void bytes(const void* p, std::size_t n) {
    const unsigned char* c = static_cast<const unsigned char*>(p);
    for (std::size_t i = 0; i < n; ++i) h = (h ^ c[i]) * 1099511628211ull;
  }
  void num(std::int64_t v) { bytes(&v, sizeof v); }
  void text(const char* s) {
    if (s == nullptr) {
      num(-1);
      return;
    }
    bytes(s, std::strlen(s) + 1);
  }
};

// The parts separately, so that a difference says where it is.
struct Digest {
  std::uint64_t comps = 0, signals = 0, sites = 0, graph = 0;
};

inline Digest ofDesign(standin::Design& d) {
  UP_DESIGN* up = &d;
  Digest out;
  Hash h;
  h.num(up->getnumcomps());
  for (int i = 0; i < up->getnumcomps(); ++i) {
    UP_COMP* c = up->getcomp(i);
    h.num(c->getid());
    h.text(c->getname(false));
    h.text(c->getsname());
    h.text(c->getprim() != nullptr ? c->getprim()->getname() : nullptr);
    h.num(c->getsite() != nullptr ? c->getsite()->getid() : -1);
    h.num(c->getregctrl() != nullptr ? c->getregctrl()->count : -99);
    h.num(up->getinfo()->getcomptype(c));
    h.num(up->getinfo()->comp_is_pfu_pff(c));
    udb::PhyInstance* inst = c->getinstance();
    h.num(inst != nullptr && inst->getAppData(UP_Access::m_PhyInstance_idx) == static_cast<void*>(c));
    h.num(c->getnumpins());
    for (int p = 0; p < c->getnumpins(); ++p) {
      UP_SIGPIN* sp = c->getsigpin(p);
      UP_SIGNAL* s = c->getsignal(p);
      h.num(s != nullptr ? s->getid() : -1);
      if (sp == nullptr) {
        h.num(-2);
        continue;
      }
      h.num(sp->getpinid());
      h.text(sp->getname());
      h.num(sp->getcomp() == c);
      h.num(sp->getport() != nullptr ? sp->getport()->getid() : -1);
      const CM_PINTYPE t = sp->getpintype();
      h.bytes(&t, sizeof t);
    }
  }
  out.comps = h.h;

  h = Hash();
  h.num(up->getnumsignals());
  for (int i = 0; i < up->getnumsignals(); ++i) {
    UP_SIGNAL* s = up->getsignal(i);
    h.num(s->getid());
    h.text(s->getname());
    h.num(s->getnumdrivers());
    h.num(up->getinfo()->isclk1(s));
    h.num(s->getnet() != nullptr && s->getnet()->getAppData(UP_Access::m_PhyNet_idx) == static_cast<void*>(s));
    h.num(s->getnumpins());
    for (int p = 0; p < s->getnumpins(); ++p) {
      h.num(s->getcomp(p) != nullptr ? s->getcomp(p)->getid() : -1);
      h.num(s->getsigpin(p) != nullptr ? s->getsigpin(p)->getpinid() : -1);
    }
  }
  out.signals = h.h;

  h = Hash();
  h.num(up->getnumsites());
  for (int i = 0; i < up->getnumsites(); ++i) {
    UP_SITE* s = up->getsite(i);
    h.text(s->getname());
    h.num(s->getplcpos());
    h.num(s->getnumuniqbels());
    h.num(s->getphysite() != nullptr ? s->getphysite()->getnumpins() : -1);
    UP_SITEGEOM* g = s->getgeom();
    if (g == nullptr) {
      h.num(-1);
      continue;
    }
    h.num(g->row);
    h.num(g->col);
    h.num(g->sub);
    h.num(g->quad);
    for (int p = 0; s->getphysite() != nullptr && p < s->getphysite()->getnumpins(); ++p) {
      h.num(g->pinx[p]);
      h.num(g->piny[p]);
    }
  }
  out.sites = h.h;

  h = Hash();
  h.num(static_cast<std::int64_t>(d.phy.graph.nodes.size()));
  for (standin::Node& n : d.phy.graph.nodes) {
    h.text(n.getname());
    h.num(n.getcostcode());
    h.num(n.getflags());
    PhyNode_ITERATOR it(&n, PhyNode_ITERATOR::ARC_ALL);
    while (it.getnext()) {
      const PhyArc_ID id = it.getcurarcid();
      h.bytes(id.bytes, 4);  // the index; the graph number depends on the process
      PhyNode* other = it.getcurnode();
      h.text(other != nullptr ? other->getname() : nullptr);
      h.num(id.isdirectional());
      h.num(id.isused());
    }
  }
  out.graph = h.h;
  return out;
}

}  // namespace digest

#endif
