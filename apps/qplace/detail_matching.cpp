// Matching of the I/O units to the border's sites: a greedy step of the
// detailed improvement that reassigns many I/O units at once.
//
// The I/O units are taken in sets that share no net (a net of many pins,
// a clock or a reset, does not count: it would keep every set tiny, and
// one unit more or less hardly moves its box), so that the change of
// wirelength of each unit's move does not depend on where the others go.
// Each unit of a set is priced at each site of the set (the units' own
// and every free one) within `reach` border positions of its site or of
// its optimal region's, and the assignment of least total price is solved
// with AP_MATCHING. That finds the chains and cycles of moves that single
// moves and swaps cannot climb to, one unit making room for the next. The
// assignment is priced again as one move of all its units (exactly,
// whatever the nets) and made only when that gains.
#include <matching/basapmatch.h>

#include <algorithm>
#include <cstdlib>

#include "qplace/detail_worker.h"

namespace qplace {
namespace improvement {

namespace {

// Nets of more pins than this do not keep their units out of one set.
constexpr int kSharedNetLimit = 16;

// Scale of the prices in the matching's weights. The auction may fall
// short of the best total by about half a weight unit per unit matched,
// but its bids grow in number with the weights' range: at scale 1 it is
// within half a price per unit of the best, and as good as exact over the
// peer comparison's designs (the assignment is priced exactly again before
// it is made), where a scale of 32 cost picorv32's matching six times the
// instructions (223 million against 35) for the same wirelengths.
constexpr long kScale = 1;

}  // namespace

void Worker::matchIo(int reach) {
  if (reach <= 0 || s_.ring.empty()) return;
  if (netMark_.size() != static_cast<std::size_t>(m_.numNets())) netMark_.assign(static_cast<std::size_t>(m_.numNets()), 0);
  reach *= s_.ioSpread;
  std::vector<int> pending;
  for (int u : s_.units[static_cast<std::size_t>(region_)])
    if (m_.isIo(u)) pending.push_back(u);
  while (!pending.empty()) {
    // The next set: the units left that share no small net with the set.
    ++netEpoch_;
    set_.clear();
    std::size_t keep = 0;
    for (int u : pending) {
      bool alone = true;
      for (int k = m_.unitNetStart[u]; alone && k < m_.unitNetStart[u + 1]; ++k) {
        const int n = m_.unitNets[k];
        alone = m_.netSize(n) > kSharedNetLimit || netMark_[n] != netEpoch_;
      }
      if (!alone) {
        pending[keep++] = u;
        continue;
      }
      set_.push_back(u);
      for (int k = m_.unitNetStart[u]; k < m_.unitNetStart[u + 1]; ++k) netMark_[m_.unitNets[k]] = netEpoch_;
    }
    pending.resize(keep);
    sites_.clear();
    for (int u : set_) sites_.push_back(p_.loc[u]);
    for (int site = 0; site < f_.numIoSites(); ++site)
      if (p_.ioAt[site] < 0 && s_.regions.ofIoSite[site] == region_) sites_.push_back(site);
    matchIoSet(reach);
  }
}

void Worker::matchIoSet(int reach) {
  const int n = static_cast<int>(set_.size());
  const int s = static_cast<int>(sites_.size());
  if (s < 2) return;
  // Each site's column, -1 for a site outside the set.
  if (colOf_.size() != static_cast<std::size_t>(f_.numIoSites())) colOf_.assign(static_cast<std::size_t>(f_.numIoSites()), -1);
  for (int k = 0; k < s; ++k) colOf_[sites_[k]] = k;
  // Arcs: each unit to its own site (price 0) and to the set's sites within
  // reach of its site or of its optimal region's, each once (a few a
  // position where a position holds many: offering each of 70 sites a
  // position, a design of 8,194 ports had thousands of arcs a unit).
  const int ringSize = static_cast<int>(s_.ring.size());
  const int span = std::min(ringSize, 2 * reach + 1);
  const int stride = s_.ioStride;
  offeredTo_.assign(static_cast<std::size_t>(s), -1);
  arcs_.clear();
  int worst = 0;
  for (int i = 0; i < n; ++i) {
    const int u = set_[i];
    arcs_.push_back(Arc{i, i, 0});
    const int aim = optimumNow(u);
    for (int centre : {sites_[i], aim}) {
      if (centre < 0) continue;
      for (int d = 0; d < span; d += stride) {
        const int site = s_.ring[static_cast<std::size_t>(((s_.ringPos[centre] - reach + d) % ringSize + ringSize) % ringSize)];
        const int k = colOf_[site];
        if (k < 0 || k == i || !allowed(u, site) || offeredTo_[static_cast<std::size_t>(k)] == i) continue;
        offeredTo_[static_cast<std::size_t>(k)] = i;
        const int pr = priceMove(u, f_.ioX[site], f_.ioY[site]);
        arcs_.push_back(Arc{i, k, pr});
        worst = std::max(worst, pr);
      }
    }
  }
  for (int k = 0; k < s; ++k) colOf_[sites_[k]] = -1;
  // Weights: positive, higher for lower prices. A price too large for the
  // weights' range is left out (the unit's own site, of price 0, stays in
  // while any does).
  const long base = kScale * worst + 1;
  AP_MATCHING match(n, s);
  for (const Arc& a : arcs_) {
    const long w = base - kScale * a.price;
    if (w > 0 && w < (1L << 23)) match.AddArc(a.row, a.col, static_cast<int>(w));
  }
  rowMatch_.assign(static_cast<std::size_t>(n), -1);
  colMatch_.assign(static_cast<std::size_t>(s), -1);
  int total = 0;
  match.Solver(rowMatch_.data(), colMatch_.data(), &total, 0);
  // The price of the assignment, from the arcs taken.
  long sum = 0;
  for (const Arc& a : arcs_)
    if (rowMatch_[static_cast<std::size_t>(a.row)] == a.col) sum += a.price;
  moved_list_.clear();
  to_.clear();
  from_.clear();
  for (int i = 0; i < n; ++i) {
    const int k = rowMatch_[static_cast<std::size_t>(i)];
    if (k < 0) return;  // not expected: every unit may keep its site
    if (k == i) continue;
    moved_list_.push_back(Moved{set_[i], f_.ioX[sites_[k]], f_.ioY[sites_[k]]});
    to_.push_back(sites_[k]);
    from_.push_back(sites_[i]);
  }
  if (sum >= 0 || moved_list_.empty()) return;
  const int nm = static_cast<int>(moved_list_.size());
  if (priced(evaluate(moved_list_.data(), nm), moved_list_.data(), nm) >= 0) return;
  commit(moved_list_.data(), nm);
  for (int k = 0; k < nm; ++k) p_.ioAt[from_[k]] = -1;
  for (int k = 0; k < nm; ++k) p_.putIo(moved_list_[k].u, to_[k]);
  counts_.ioMoves += nm;
}

}  // namespace improvement
}  // namespace qplace
