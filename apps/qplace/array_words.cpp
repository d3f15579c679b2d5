// Words of memory arrays: the crossings of row and column select nets.
#include "qplace/array_words.h"

#include <algorithm>
#include <utility>

namespace qplace {

namespace {

// A unit on more large nets than this is left out: its pairs of nets grow
// with the square of their number, and a memory's bit is on three or four.
constexpr int kMostLargeNets = 8;

struct Crossing {
  int a, b;  // the two nets, a < b
  int unit;
  bool operator<(const Crossing& o) const {
    if (a != o.a) return a < o.a;
    if (b != o.b) return b < o.b;
    return unit < o.unit;
  }
};

}  // namespace

std::vector<std::vector<int>> arrayWords(const Model& m, const ArrayWordParams& params) {
  std::vector<std::vector<int>> words;
  const int minPins = std::max(2, params.minSelectPins);
  std::vector<Crossing> all;
  std::vector<int> large;
  for (int u = 0; u < m.numUnits(); ++u) {
    large.clear();
    for (int i = m.unitNetStart[u]; i < m.unitNetStart[u + 1]; ++i)
      if (m.netSize(m.unitNets[i]) >= minPins) large.push_back(m.unitNets[i]);
    std::sort(large.begin(), large.end());
    large.erase(std::unique(large.begin(), large.end()), large.end());
    if (large.size() < 2 || large.size() > static_cast<std::size_t>(kMostLargeNets)) continue;
    for (std::size_t i = 0; i < large.size(); ++i)
      for (std::size_t j = i + 1; j < large.size(); ++j) all.push_back(Crossing{large[i], large[j], u});
  }
  if (all.empty()) return words;
  std::sort(all.begin(), all.end());

  // The crossings of 2 to mostWordUnits units: all[first .. last).
  struct Run {
    std::size_t first, last;
  };
  std::vector<Run> runs;
  for (std::size_t i = 0; i < all.size();) {
    std::size_t j = i + 1;
    while (j < all.size() && all[j].a == all[i].a && all[j].b == all[i].b) ++j;
    if (j - i >= 2 && j - i <= static_cast<std::size_t>(std::max(2, params.mostWordUnits))) runs.push_back(Run{i, j});
    i = j;
  }

  // Per net: the units at its crossings (a unit at two of them spoils the
  // net) and the crossings; a select net has all its units but one there.
  std::vector<std::pair<int, int>> netUnit;  // (net, unit) of every crossing
  std::vector<int> partners(static_cast<std::size_t>(m.numNets()), 0);
  for (const Run& r : runs) {
    ++partners[static_cast<std::size_t>(all[r.first].a)];
    ++partners[static_cast<std::size_t>(all[r.first].b)];
    for (std::size_t j = r.first; j < r.last; ++j) {
      netUnit.emplace_back(all[j].a, all[j].unit);
      netUnit.emplace_back(all[j].b, all[j].unit);
    }
  }
  std::sort(netUnit.begin(), netUnit.end());
  std::vector<int> covered(static_cast<std::size_t>(m.numNets()), 0);
  std::vector<char> twice(static_cast<std::size_t>(m.numNets()), 0);
  for (std::size_t i = 0; i < netUnit.size(); ++i) {
    const std::size_t k = static_cast<std::size_t>(netUnit[i].first);
    if (i > 0 && netUnit[i] == netUnit[i - 1]) twice[k] = 1;
    else ++covered[k];
  }
  auto isSelect = [&](int n) {
    const std::size_t k = static_cast<std::size_t>(n);
    return !twice[k] && partners[k] >= params.minPartners && covered[k] >= m.netSize(n) - 1;
  };
  for (const Run& r : runs) {
    if (!isSelect(all[r.first].a) || !isSelect(all[r.first].b)) continue;
    std::vector<int> word;
    for (std::size_t j = r.first; j < r.last; ++j) word.push_back(all[j].unit);
    words.push_back(std::move(word));
  }
  return words;
}

}  // namespace qplace
