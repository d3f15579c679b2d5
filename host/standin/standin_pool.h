// Compact storage for the stand-in's many small per-record lists: the pins
// of a component and the arcs of a routing node. A design of a million
// components has millions of such lists; as vectors of their own each
// would cost a 24-byte header and a heap block with its allocator
// overhead, about as much again as the entries. Here the entries of all
// lists of one kind lie in large blocks of one pool and a list is a
// pointer and a length.
//
//   standin::Pool<int> pool;
//   standin::Row<int> row = pool.take(3);   // three zeros, stable address
//   standin::List<int> list;
//   pool.push(list, 7);                     // grows through the pool
#ifndef BASAPLACE_STANDIN_POOL_H
#define BASAPLACE_STANDIN_POOL_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <stdexcept>
#include <type_traits>
#include <vector>

namespace standin {

// A fixed-length run of entries held by a pool (or of no entries). Reads
// and writes like an array; its length never changes.
template <class T>
class Row {
public:
  Row() = default;
  Row(T* data, std::uint32_t size) : data_(data), size_(size) {}

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  T& operator[](std::size_t i) const { return data_[i]; }
  T* begin() const { return data_; }
  T* end() const { return data_ + size_; }
  T* data() const { return data_; }

private:
  T* data_ = nullptr;
  std::uint32_t size_ = 0;
};

// A list that grows through a pool (Pool::push, Pool::reserve), in the
// order its entries were added. Reading is as for a Row.
template <class T>
class List {
public:
  std::size_t size() const { return size_; }
  std::size_t capacity() const { return capacity_; }
  bool empty() const { return size_ == 0; }
  const T& operator[](std::size_t i) const { return data_[i]; }
  const T* begin() const { return data_; }
  const T* end() const { return data_ + size_; }
  bool operator==(const List& o) const { return std::equal(begin(), end(), o.begin(), o.end()); }
  bool operator!=(const List& o) const { return !(*this == o); }

private:
  template <class>
  friend class Pool;
  T* data_ = nullptr;
  std::uint32_t size_ = 0;
  std::uint32_t capacity_ = 0;
};

// Blocks of entries handed out in runs. A run keeps its address until the
// pool is destroyed. Runs left behind by a growing List are kept by their
// capacity (a power of two) and handed out again to lists that grow to it.
// take and push are amortised constant time; a run longer than 2^31
// entries throws std::length_error.
//
// Entries of a trivial type come zeroed from calloc, so a block large
// enough for the allocator to map it on its own stays out of the resident
// memory until its pages are written. With `growBlocks`, each block is
// twice the last, up to 2^23 entries: a pool of entries that mostly stay
// zero (the stand-in's geometry values) then costs address space, not
// memory.
template <class T>
class Pool {
public:
  explicit Pool(std::size_t blockEntries = 16384, bool growBlocks = false)
      : blockEntries_(blockEntries), growBlocks_(growBlocks) {}
  Pool(const Pool&) = delete;
  Pool& operator=(const Pool&) = delete;

  // A run of n value-initialised entries.
  Row<T> take(std::size_t n) { return Row<T>(carve(n), static_cast<std::uint32_t>(n)); }

  // Makes room for `n` entries in all, moving the list to a larger run if
  // needed (to exactly n: callers that know a list's length reserve it).
  void reserve(List<T>& list, std::size_t n) {
    if (n > list.capacity_) moveTo(list, n);
  }
  // Appends to the list, doubling its run when full.
  void push(List<T>& list, const T& value) {
    if (list.size_ == list.capacity_) moveTo(list, list.capacity_ == 0 ? 2 : 2 * std::size_t{list.capacity_});
    list.data_[list.size_++] = value;
  }

  // Entries held in blocks, for memory reports.
  std::size_t entriesHeld() const { return held_; }

  // Gives every block back: every run and list of this pool dangles from
  // now on (lists must be reset by their owners). The pool starts afresh.
  void clear() {
    blocks_.clear();
    blocks_.shrink_to_fit();
    spare_.clear();
    spare_.shrink_to_fit();
    next_ = nullptr;
    left_ = 0;
    held_ = 0;
  }

private:
  T* carve(std::size_t n) {
    if (n > (std::size_t{1} << 31)) throw std::length_error("standin::Pool: run too long");
    if (n == 0) return nullptr;
    if (n > left_) {
      // A run longer than a block gets a block of its own; the current
      // block keeps its room.
      if (n > blockEntries_ / 4) {
        blocks_.push_back(makeBlock(n));
        held_ += n;
        return blocks_.back().get();
      }
      if (growBlocks_ && !blocks_.empty()) blockEntries_ = std::min(2 * blockEntries_, kLargestGrownBlock);
      blocks_.push_back(makeBlock(blockEntries_));
      held_ += blockEntries_;
      next_ = blocks_.back().get();
      left_ = blockEntries_;
    }
    T* run = next_;
    next_ += n;
    left_ -= n;
    return run;
  }

  static int classOf(std::size_t capacity) {
    int c = 0;
    while ((std::size_t{1} << c) < capacity) ++c;
    return (std::size_t{1} << c) == capacity ? c : -1;
  }

  void moveTo(List<T>& list, std::size_t capacity) {
    T* run = nullptr;
    const int want = classOf(capacity);
    if (want >= 0 && static_cast<std::size_t>(want) < spare_.size() && !spare_[static_cast<std::size_t>(want)].empty()) {
      run = spare_[static_cast<std::size_t>(want)].back();
      spare_[static_cast<std::size_t>(want)].pop_back();
    } else {
      run = carve(capacity);
    }
    std::copy(list.begin(), list.end(), run);
    const int had = classOf(list.capacity_);
    if (list.capacity_ > 0 && had >= 0) {
      if (spare_.size() <= static_cast<std::size_t>(had)) spare_.resize(static_cast<std::size_t>(had) + 1);
      spare_[static_cast<std::size_t>(had)].push_back(list.data_);
    }
    list.data_ = run;
    list.capacity_ = static_cast<std::uint32_t>(capacity);
  }

  static constexpr std::size_t kLargestGrownBlock = std::size_t{1} << 23;
  static constexpr bool kZeroed = std::is_trivial<T>::value;

  // calloc'd for a trivial type (freed by free), else new[]'d.
  struct BlockDeleter {
    void operator()(T* block) const {
      if (kZeroed) std::free(block);
      else delete[] block;
    }
  };
  using Block = std::unique_ptr<T, BlockDeleter>;

  static Block makeBlock(std::size_t n) {
    if (!kZeroed) return Block(new T[n]());
    void* block = std::calloc(n, sizeof(T));
    if (block == nullptr) throw std::bad_alloc();
    return Block(static_cast<T*>(block));
  }

  std::size_t blockEntries_;
  bool growBlocks_;
  std::vector<Block> blocks_;
  T* next_ = nullptr;
  std::size_t left_ = 0;
  std::size_t held_ = 0;
  std::vector<std::vector<T*>> spare_;  // left-behind runs by log2 capacity
};

}  // namespace standin

#endif
