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

// Scale of the prices in the matching's weights: the auction may fall
// short of the best total by about half a weight unit per unit matched, so
// with prices scaled by 32 it is exact for sets of up to 64 units and
// within a fraction of a price per unit beyond.
constexpr long kScale = 32;

// Marks a site a unit may not take.
constexpr int kBarred = 1 << 30;

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
  const int ringSize = static_cast<int>(s_.ring.size());
  auto ringDistance = [&](int a, int b) {
    const int d = std::abs(s_.ringPos[a] - s_.ringPos[b]);
    return std::min(d, ringSize - d);
  };
  // Prices of each unit at each site in its reach; its own costs nothing.
  price_.assign(static_cast<std::size_t>(n) * s, kBarred);
  int worst = 0;
  for (int i = 0; i < n; ++i) {
    const int u = set_[i];
    const int aim = optimumNow(u);
    for (int k = 0; k < s; ++k) {
      int& pr = price_[static_cast<std::size_t>(i) * s + k];
      if (k == i) {
        pr = 0;
        continue;
      }
      const int site = sites_[k];
      if (ringDistance(site, sites_[i]) > reach && (aim < 0 || ringDistance(site, aim) > reach)) continue;
      if (!allowed(u, site)) continue;
      pr = priceMove(u, f_.ioX[site], f_.ioY[site]);
      worst = std::max(worst, pr);
    }
  }
  // Weights: positive, higher for lower prices; a barred site has none. A
  // price too large for the weights' range is left out too (the unit's own
  // site, of price 0, always stays in).
  const long base = kScale * worst + 1;
  AP_MATCHING match(n, s);
  for (int i = 0; i < n; ++i)
    for (int k = 0; k < s; ++k) {
      const int pr = price_[static_cast<std::size_t>(i) * s + k];
      if (pr == kBarred) continue;
      const long w = base - kScale * pr;
      if (w > 0 && w < (1L << 23)) match.AddArc(i, k, static_cast<int>(w));
    }
  rowMatch_.assign(static_cast<std::size_t>(n), -1);
  colMatch_.assign(static_cast<std::size_t>(s), -1);
  int total = 0;
  match.Solver(rowMatch_.data(), colMatch_.data(), &total, 0);
  long sum = 0;
  moved_list_.clear();
  to_.clear();
  from_.clear();
  for (int i = 0; i < n; ++i) {
    const int k = rowMatch_[static_cast<std::size_t>(i)];
    if (k < 0) return;  // not expected: every unit may keep its site
    sum += price_[static_cast<std::size_t>(i) * s + k];
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
