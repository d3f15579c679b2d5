// A set of routing nodes for graph searches, kept between searches: emptying
// it keeps its storage. Internal to the library; not installed.
#ifndef BASAPLACE_SUPPORT_BASAPSUPP_NODESET_H
#define BASAPLACE_SUPPORT_BASAPSUPP_NODESET_H

#include <cstddef>
#include <cstdint>
#include <vector>

class PhyNode;

namespace basapsupp {

// Open addressing over a power-of-two table of node pointers, null for a
// free slot, at most half full; the slots in use are listed so that
// emptying costs what filling did. Insertion is amortised constant time.
// The table never shrinks: it stays sized for the largest set so far, at
// 24 to 48 bytes per node of that set.
class NodeSet {
public:
  void clear() {
    for (std::size_t slot : used_) slots_[slot] = nullptr;
    used_.clear();
  }

  // Adds a node (not null); false when it was in already.
  bool insert(PhyNode* node) {
    if (2 * (used_.size() + 1) > slots_.size()) grow();
    std::size_t slot = home(node);
    while (slots_[slot] != nullptr) {
      if (slots_[slot] == node) return false;
      slot = (slot + 1) & mask_;
    }
    slots_[slot] = node;
    used_.push_back(slot);
    return true;
  }

  std::size_t size() const { return used_.size(); }

private:
  std::size_t home(PhyNode* node) const {
    // Fibonacci hashing: the high bits of the product mix every bit of the
    // address, whose low bits are mostly alignment.
    const std::uint64_t h = reinterpret_cast<std::uintptr_t>(node) * 0x9e3779b97f4a7c15ull;
    return static_cast<std::size_t>(h >> shift_) & mask_;
  }

  void grow() {
    std::vector<PhyNode*> old;
    old.reserve(used_.size());
    for (std::size_t slot : used_) old.push_back(slots_[slot]);
    const std::size_t size = slots_.empty() ? 1024 : 2 * slots_.size();
    slots_.assign(size, nullptr);
    mask_ = size - 1;
    shift_ = 64;
    for (std::size_t s = size; s > 1; s >>= 1) --shift_;
    used_.clear();
    for (PhyNode* node : old) insert(node);
  }

  std::vector<PhyNode*> slots_;
  std::vector<std::size_t> used_;
  std::size_t mask_ = 0;
  int shift_ = 64;
};

}  // namespace basapsupp

#endif
