// Sparse symmetric matrix of the placement linear system, with its
// Jacobi-preconditioned conjugate-gradient solve.
//
// These templates compile in the caller's own code, so their results are
// bit for bit the library's only under -ffp-contract=off: the exported
// CMake target and basaplace.pc pass it on; a build that sets its flags by
// hand must add it, as GCC otherwise fuses a multiply and an add where the
// target has the instruction, and the last bits of a result change.
#ifndef BASAPLACE_LINSYS_BASAPLCMATRIX_H
#define BASAPLACE_LINSYS_BASAPLCMATRIX_H

#include <linsys/basaplccheck.h>
#include <linsys/basaplctuple.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <stdexcept>
#include <type_traits>
#include <utility>
#include <vector>

namespace basAP {

// What one conjugate-gradient run did.
struct PCGRun {
  std::uint32_t passes = 0;     // iterations performed
  bool stoppedByBound = false;  // true when the pass bound ended the run, not the measure
};

// A square symmetric matrix of T (the library uses T = double) that stores
// its diagonal and its upper triangle only.
//
// Entry A(i, j), i != j, is stored once, in row min(i, j) under column
// max(i, j), and serves as both A(i, j) and A(j, i). A position with nothing
// stored reads as 0. Entries are never removed: setting a stored entry to 0
// keeps it with value 0, so the set of stored positions (the pattern) only
// grows, and rewriting the same positions later inserts nothing. Within a
// row the upper entries are kept in ascending column order.
//
// Storage. The diagonal is a dense array. Rows are grouped in pages of 16
// consecutive rows; a page holds its rows' upper entries back to back in row
// order, values in one array and columns in a parallel one, and per row only
// the end of the row within its page is kept. A new entry shifts the rest of
// its page by one place; a full page moves to a block of its own half as
// large again. A solve first packs the pages, in page order and without
// spare room, into a few large chunks, which it does only when the pattern
// has grown since the last packing (never after ZeroValues and rewrites of
// the same positions); the product then reads the matrix as two long
// sequential streams. Memory: about 14 bytes a row and 12 bytes an upper
// entry for T = double, plus the spare room of pages that grew since the
// last solve. Packing fills one chunk at a time and frees each page's old
// place as the page moves, so it needs about one chunk beside the storage in
// use.
//
// Packing is allowed to fail for lack of memory. It then stops where it
// is: every entry keeps its place in the matrix and its value (results are
// the same bit for bit), the pages moved so far stay in their new chunks and
// the others where they were, nothing is held but the blocks the pages live
// in, and the next solve packs again, keeping the chunks already filled. A
// failed packing thus leaves the same matrix, possibly partly packed.
//
// Indices and sizes are checked in every build; a failed check ends the
// process through the C runtime's assertion handler (basaplccheck.h) with
// the expression quoted below. Not thread-safe; one object per thread.
template <class T>
class SparSymMat {
  static_assert(std::is_trivially_copyable<T>::value, "entries are moved as raw bytes");
  static_assert(sizeof(T) % alignof(std::uint32_t) == 0, "columns follow the values in a block");

public:
  // n rows; every diagonal entry equal to init, nothing else stored;
  // tolerance 0.1. O(n); throws std::bad_alloc when out of memory.
  SparSymMat(std::uint32_t n, T init)
      : n_(n),
        tolerance_(T(0.1)),
        diag_(new T[n]),
        end_(new std::uint32_t[static_cast<std::size_t>(PageCount(n)) << kPageShift]()),
        pages_(new Page[PageCount(n)]()) {
    for (std::uint32_t i = 0; i < n; ++i) diag_[i] = init;
  }

  // Same size, entries, pattern and tolerance. O(stored entries).
  SparSymMat(const SparSymMat& that)
      : n_(that.n_),
        tolerance_(that.tolerance_),
        diag_(new T[that.n_]),
        end_(new std::uint32_t[static_cast<std::size_t>(PageCount(that.n_)) << kPageShift]),
        pages_(new Page[PageCount(that.n_)]()) {
    std::memcpy(diag_.get(), that.diag_.get(), sizeof(T) * n_);
    std::memcpy(end_.get(), that.end_.get(),
                sizeof(std::uint32_t) * (static_cast<std::size_t>(PageCount(n_)) << kPageShift));
    try {
      Pack(that);
    } catch (...) {
      Release();
      throw;
    }
  }

  // Becomes a copy of that, its size included. O(stored entries).
  SparSymMat& operator=(const SparSymMat& that) {
    if (this != &that) {
      SparSymMat copy(that);
      Swap(copy);
    }
    return *this;
  }

  virtual ~SparSymMat() { Release(); }

  // Number of rows (and of columns). O(1).
  std::uint32_t Size() const { return n_; }

  // Stopping threshold of SolvePCG; 0.1 from the constructor. SetTolerance
  // stores any value as given.
  T GetTolerance() const { return tolerance_; }
  void SetTolerance(T t) { tolerance_ = t; }

  // Stored entries: the n diagonal entries plus every upper entry ever set
  // to a non-zero value. O(n / kPageRows).
  std::uint64_t StoredEntries() const {
    std::uint64_t count = n_;
    for (std::uint32_t pg = 0; pg < PageCount(n_); ++pg) count += PageUsed(pg);
    return count;
  }

  // A(i, j), which equals A(j, i); 0 where nothing is stored. O(length of
  // row min(i, j)). Check "i < Size () && j < Size ()".
  T GetEntry(std::uint32_t i, std::uint32_t j) const {
    BASAP_CHECK(i < Size () && j < Size (), BASAP_MATRIX_SOURCE);
    if (i == j) return diag_[i];
    const std::uint32_t row = i < j ? i : j;
    const std::uint32_t col = i < j ? j : i;
    const Page& page = pages_[row >> kPageShift];
    const std::uint32_t e = end_[row];
    for (std::uint32_t k = RowBegin(row); k < e; ++k) {
      if (page.cols[k] == col) return page.vals[k];
      if (page.cols[k] > col) break;
    }
    return T(0);
  }

  // Sets A(i, j) and A(j, i) to v; i == j sets the diagonal. A stored entry
  // is overwritten whatever v is (0 and NaN included). An absent position is
  // left absent when v compares equal to 0 (0.0 and -0.0), and otherwise
  // gets a new entry. Cost: O(length of row min(i, j)) to find the place,
  // plus, for a new entry, a shift of the rest of the row's page (the
  // entries of at most kPageRows rows). Throws std::bad_alloc when a page
  // cannot grow, and std::length_error when one page would exceed 2^32 - 1
  // entries, leaving the matrix unchanged.
  // Check "i < Size () && j < Size ()".
  void SetEntry(std::uint32_t i, std::uint32_t j, T v) {
    BASAP_CHECK(i < Size () && j < Size (), BASAP_MATRIX_SOURCE);
    if (i == j) {
      diag_[i] = v;
      return;
    }
    const std::uint32_t row = i < j ? i : j;
    const std::uint32_t col = i < j ? j : i;
    const Page& page = pages_[row >> kPageShift];
    const std::uint32_t e = end_[row];
    std::uint32_t k = RowBegin(row);
    while (k < e && page.cols[k] < col) ++k;
    if (k < e && page.cols[k] == col) {
      page.vals[k] = v;
      return;
    }
    if (v == T(0)) return;
    Insert(row, k, col, v);
  }

  // Replaces the whole matrix, pattern included, by the one given in row
  // form: diagonal diag[i], and the upper entries of row i at places
  // rowStart[i] <= k < rowStart[i + 1] of cols and vals (rowStart has n + 1
  // elements, rowStart[0] == 0), each row's columns strictly ascending and
  // above the row. Every given entry is stored, 0 included. The storage
  // comes out packed, as a solve would leave it, without building the pages
  // one entry at a time: O(n + entries) and, beside the given arrays, about
  // the memory of the new storage (the old one is given back first).
  // Throws std::bad_alloc when out of memory, leaving an empty matrix of
  // the same size (zero diagonal, nothing stored). Checks
  // "rowStart[i] <= rowStart[i + 1]" and "cols[k] > i && cols[k] < Size ()"
  // on every row and entry, before anything changes, and
  // "cols[k - 1] < cols[k]" within each row.
  void AssignRows(const T* diag, const std::uint32_t* rowStart, const std::uint32_t* cols, const T* vals) {
    BASAP_CHECK(rowStart[0] == 0, BASAP_MATRIX_SOURCE);
    for (std::uint32_t i = 0; i < n_; ++i) {
      BASAP_CHECK(rowStart[i] <= rowStart[i + 1], BASAP_MATRIX_SOURCE);
      for (std::uint32_t k = rowStart[i]; k < rowStart[i + 1]; ++k) {
        BASAP_CHECK(cols[k] > i && cols[k] < Size (), BASAP_MATRIX_SOURCE);
        if (k > rowStart[i]) BASAP_CHECK(cols[k - 1] < cols[k], BASAP_MATRIX_SOURCE);
      }
    }
    Release();
    const std::uint32_t pages = PageCount(n_);
    for (std::uint32_t pg = 0; pg < pages; ++pg) pages_[pg] = Page{nullptr, nullptr, 0, 0};
    const std::size_t padded = static_cast<std::size_t>(pages) << kPageShift;
    for (std::size_t i = 0; i < padded; ++i) {
      // A page's row ends count from the page's first row; the padding
      // rows past n end where the last row does.
      const std::size_t row = i < n_ ? i : n_ - 1;
      end_[i] = rowStart[row + 1] - rowStart[(row >> kPageShift) << kPageShift];
    }
    for (std::uint32_t i = 0; i < n_; ++i) diag_[i] = T(0);
    loose_ = false;
    // Laid out in the chunks a packing would make: the layout, and with it
    // every product's order of operations, is that of the same entries set
    // one by one and packed.
    const std::vector<Planned> plan = PlanChunks(*this);
    chunks_.reserve(plan.size());
    try {
      for (std::size_t c = 0; c < plan.size(); ++c)
        LayOutChunk(
            plan, c, [&](std::uint32_t pg) { return PageUsed(pg); },
            [&](std::uint32_t pg, const Page& to) {
              const std::uint32_t from = rowStart[pg << kPageShift];
              std::memcpy(to.vals, vals + from, sizeof(T) * to.cap);
              std::memcpy(to.cols, cols + from, sizeof(std::uint32_t) * to.cap);
            });
    } catch (...) {
      Release();
      for (std::uint32_t pg = 0; pg < pages; ++pg) pages_[pg] = Page{nullptr, nullptr, 0, 0};
      for (std::size_t i = 0; i < padded; ++i) end_[i] = 0;
      throw;
    }
    for (std::uint32_t i = 0; i < n_; ++i) diag_[i] = diag[i];
  }

  // Sets every stored value, diagonal included, to 0; the pattern stays, so
  // rewriting the same positions inserts nothing. O(stored entries).
  void ZeroValues() {
    for (std::uint32_t i = 0; i < n_; ++i) diag_[i] = T(0);
    for (std::uint32_t pg = 0; pg < PageCount(n_); ++pg) {
      T* vals = pages_[pg].vals;
      const std::uint32_t used = PageUsed(pg);
      for (std::uint32_t k = 0; k < used; ++k) vals[k] = T(0);
    }
  }

  // result := A x. result starts at 0; rows are taken from 0 upward and, in
  // each, the diagonal and then the upper entries in ascending column, each
  // entry (i, j, a) adding a * x[j] to result[i] and, off the diagonal,
  // a * x[i] to result[j]. Every product and sum is one IEEE operation, so
  // the result is fixed bit for bit. O(stored entries).
  // Check "Size () == x.Size () && Size () == result.Size ()".
  void Multiply(const Tuple<T>& x, Tuple<T>& result) const {
    BASAP_CHECK(Size () == x.Size () && Size () == result.Size (), BASAP_MATRIX_SOURCE);
    T* out = result.Data();
    for (std::uint32_t i = 0; i < n_; ++i) out[i] = T(0);
    if (static_cast<const void*>(&x) == static_cast<const void*>(&result)) {
      MultiplyInPlace(out);
    } else {
      ProductPass<1, false>(x.Data(), out);
    }
  }

  // z[i] := r[i] / A(i, i) for i from 0 to r.Size() - 1. A zero diagonal
  // entry gives an infinity, or NaN where r[i] is 0. O(n). Checks
  // "i < Size ()" on r and z, "i < Size () && j < Size ()" on the diagonal.
  void DiagSolve(const Tuple<T>& r, Tuple<T>& z) const {
    for (std::uint32_t i = 0; i < r.Size(); ++i) {
      const T ri = r[i];
      const T d = GetEntry(i, i);
      z[i] = ri / d;
    }
  }

  // The default pass bound of a solve of n unknowns: 10 n + 1000, capped at
  // the largest 32-bit value. Far above what a positive definite placement
  // system needs; it only makes a solve return on a matrix that is not
  // positive definite or a tolerance below what the arithmetic reaches.
  static std::uint32_t DefaultMaxPasses(std::uint32_t n) {
    const std::uint64_t bound = 10ull * n + 1000ull;
    const std::uint64_t cap = std::numeric_limits<std::uint32_t>::max();
    return static_cast<std::uint32_t>(bound < cap ? bound : cap);
  }

  // SolvePCG(x, b, DefaultMaxPasses(Size())), without its run record.
  void SolvePCG(Tuple<T>& x, const Tuple<T>& b) { SolvePCG(x, b, DefaultMaxPasses(n_)); }

  // Jacobi-preconditioned conjugate gradient for A x = b, starting from x
  // and updating x in place.
  //
  // With the Tuple arithmetic of basaplctuple.h, A v = Multiply and v / diag
  // = DiagSolve:
  //   q := A x; r := b - q; z := r / diag; p := z; rho := r.Dot(z);
  //   while rho > tolerance:
  //     q := A p; alpha := rho / p.Dot(q);
  //     x := x + p * alpha; r := r - q * alpha; z := r / diag;
  //     rho' := r.Dot(z); beta := rho' / rho; p := z + p * beta; rho := rho'
  // The test is a strict IEEE greater-than, so a NaN measure stops at once
  // and x keeps its last iterate. Values are those of this sequence bit for
  // bit; the passes are merged (p.Dot(q) is summed while the product runs,
  // x, r, z and rho' are updated in one sweep) without changing any
  // operation or its order. At most maxPasses iterations are run; when the
  // measure is still above the tolerance after the last one, the run stops
  // with stoppedByBound set.
  //
  // Cost per iteration: O(stored entries + n). Memory: three work vectors of
  // n values while it runs. When the pattern grew since the last solve (or
  // the last packing stopped part way), the pages are first packed
  // (O(stored entries), about one chunk of memory beyond the storage); when
  // memory runs short there, the packing stops, the matrix keeps every entry
  // and value, possibly partly packed, and the solve runs on it as it is.
  // Checks: those of Multiply for x and of Tuple subtraction for b.
  PCGRun SolvePCG(Tuple<T>& x, const Tuple<T>& b, std::uint32_t maxPasses) {
    if (loose_) {
      try {
        Pack(*this);
      } catch (const std::bad_alloc&) {
        // Packing only speeds the solve up; the pages not moved yet stay
        // where they are, and the next solve tries again.
      }
    }
    Tuple<T> r = Residual(x, b);
    // p and q side by side (p[i] at 2 i, q[i] at 2 i + 1): the product reads
    // p[j] and updates q[j] of the same column j, one cache line for both.
    const std::unique_ptr<T[]> work(new T[2 * static_cast<std::size_t>(n_)]);
    T* pq = work.get();
    T* px = x.Data();
    T* pr = r.Data();

    T rho = T(0);
    for (std::uint32_t i = 0; i < n_; ++i) {
      const T ri = pr[i];
      const T zi = ri / diag_[i];
      pq[2 * std::size_t(i)] = zi;
      pq[2 * std::size_t(i) + 1] = T(0);
      rho = rho + ri * zi;
    }

    PCGRun run;
    if (!(rho > tolerance_)) return run;
    for (;;) {
      if (run.passes == maxPasses) {
        run.stoppedByBound = true;
        return run;
      }
      const T alpha = rho / ProductPass<2, true>(pq, pq + 1);
      const T rhoNew = UpdatePass(alpha, px, pq, pr);
      ++run.passes;
      if (!(rhoNew > tolerance_)) return run;
      DirectionPass(rhoNew / rho, pq, n_);
      rho = rhoNew;
    }
  }

private:
  static constexpr unsigned kPageShift = 4;
  static constexpr std::uint32_t kPageRows = 1u << kPageShift;
  static constexpr std::uint32_t kPageMask = kPageRows - 1;
  // Room a page gets when it first needs a block of its own.
  static constexpr std::uint32_t kFirstRoom = 4 * kPageRows;
  // Entries of one chunk of packed pages: a sixteenth of the matrix, at
  // least 4096 and at most 2^18 (3 MiB for T = double).
  static constexpr std::uint64_t kChunkParts = 16;
  static constexpr std::uint64_t kChunkLeast = 1u << 12;
  static constexpr std::uint64_t kChunkMost = 1u << 18;
  static constexpr std::uint32_t kOwnBlock = std::numeric_limits<std::uint32_t>::max();

  // Where a page's entries live: cap places at vals and cols, either in a
  // block of the page's own (home == kOwnBlock, the block starts at vals)
  // or in chunk number home. An empty page has no place (cap 0).
  struct Page {
    T* vals;
    std::uint32_t* cols;
    std::uint32_t cap;
    std::uint32_t home;
  };

  // A block of packed pages: cap values, then cap columns.
  struct Chunk {
    unsigned char* mem;   // null once freed
    std::uint32_t cap;
    std::uint32_t pages;  // pages living in it; freed when none is left
  };

  static std::uint32_t PageCount(std::uint32_t n) { return (n >> kPageShift) + ((n & kPageMask) != 0 ? 1 : 0); }

  // One block of cap values followed by cap columns.
  static unsigned char* AllocateBlock(std::uint32_t cap) {
    return static_cast<unsigned char*>(
        ::operator new(static_cast<std::size_t>(cap) * (sizeof(T) + sizeof(std::uint32_t))));
  }
  static std::uint32_t* ColumnsOf(unsigned char* block, std::uint32_t cap) {
    return reinterpret_cast<std::uint32_t*>(block + static_cast<std::size_t>(cap) * sizeof(T));
  }

  std::uint32_t PageLastRow(std::uint32_t pg) const {
    const std::uint32_t last = (pg << kPageShift) + kPageMask;
    return last < n_ ? last : n_ - 1;
  }
  std::uint32_t PageUsed(std::uint32_t pg) const { return end_[PageLastRow(pg)]; }
  std::uint32_t RowBegin(std::uint32_t row) const { return (row & kPageMask) != 0 ? end_[row - 1] : 0; }

  // Gives up the place of one page.
  void Vacate(Page& page) {
    if (page.cap == 0) return;
    if (page.home == kOwnBlock) {
      ::operator delete(static_cast<void*>(page.vals));
    } else {
      Chunk& chunk = chunks_[page.home];
      if (--chunk.pages == 0) {
        ::operator delete(chunk.mem);
        chunk.mem = nullptr;
      }
    }
    page = Page{nullptr, nullptr, 0, 0};
  }

  void Release() {
    if (pages_) {
      for (std::uint32_t pg = 0; pg < PageCount(n_); ++pg) {
        const Page& page = pages_[pg];
        if (page.cap != 0 && page.home == kOwnBlock) ::operator delete(static_cast<void*>(page.vals));
      }
    }
    for (Chunk& chunk : chunks_) ::operator delete(chunk.mem);
    chunks_.clear();
  }

  void Swap(SparSymMat& that) noexcept {
    std::swap(n_, that.n_);
    std::swap(tolerance_, that.tolerance_);
    std::swap(diag_, that.diag_);
    std::swap(end_, that.end_);
    std::swap(pages_, that.pages_);
    chunks_.swap(that.chunks_);
    std::swap(loose_, that.loose_);
  }

  // Puts (col, v) at place k of row's page, behind the row's entries with
  // smaller columns. A full page first moves to a larger block of its own;
  // the block is made before anything changes, so a failed allocation
  // leaves the matrix as it was.
  void Insert(std::uint32_t row, std::uint32_t k, std::uint32_t col, T v) {
    const std::uint32_t pg = row >> kPageShift;
    Page& page = pages_[pg];
    const std::uint32_t last = PageLastRow(pg);
    const std::uint32_t used = end_[last];
    if (used == page.cap) {
      constexpr std::uint32_t kMost = std::numeric_limits<std::uint32_t>::max();
      if (used == kMost) throw std::length_error("basAP::SparSymMat: too many entries in one page of rows");
      const std::uint32_t room = used / 2 > kFirstRoom ? used / 2 : kFirstRoom;
      const std::uint32_t cap = used < kMost - room ? used + room : kMost;
      unsigned char* block = AllocateBlock(cap);
      Page grown{reinterpret_cast<T*>(block), ColumnsOf(block, cap), cap, kOwnBlock};
      if (used != 0) {
        std::memcpy(grown.vals, page.vals, sizeof(T) * k);
        std::memcpy(grown.vals + k + 1, page.vals + k, sizeof(T) * (used - k));
        std::memcpy(grown.cols, page.cols, sizeof(std::uint32_t) * k);
        std::memcpy(grown.cols + k + 1, page.cols + k, sizeof(std::uint32_t) * (used - k));
      }
      Vacate(page);
      page = grown;
      loose_ = true;
    } else {
      std::memmove(page.vals + k + 1, page.vals + k, sizeof(T) * (used - k));
      std::memmove(page.cols + k + 1, page.cols + k, sizeof(std::uint32_t) * (used - k));
    }
    page.vals[k] = v;
    page.cols[k] = col;
    // Every row of the page from row on ends one place later. A fixed-length
    // loop over the whole page (end_ is padded to whole pages) has no
    // data-dependent exit and vectorises.
    std::uint32_t* ends = end_.get() + (static_cast<std::size_t>(pg) << kPageShift);
    const std::uint32_t from = row & kPageMask;
    for (std::uint32_t r = 0; r < kPageRows; ++r) ends[r] += r >= from ? 1u : 0u;
  }

  // One chunk of a packing plan: the pages from first up to the next chunk's
  // first page (the empty ones have no place), laid out back to back in a
  // block of cap entries. inPlace: they already are, so the chunk is kept.
  struct Planned {
    std::uint32_t first;
    std::uint32_t cap;
    bool inPlace;
  };

  // The chunks that pack the pages of src in page order without spare room:
  // a chunk takes the next pages while they fit, and is sized a sixteenth of
  // the entries (within kChunkLeast and kChunkMost), fewer for the last one,
  // or one page alone where that page is larger. Depends only on the number
  // of entries of every page.
  static std::vector<Planned> PlanChunks(const SparSymMat& src) {
    const std::uint32_t pages = PageCount(src.n_);
    std::uint64_t left = 0;
    for (std::uint32_t pg = 0; pg < pages; ++pg) left += src.PageUsed(pg);
    const std::uint64_t chunk = left / kChunkParts < kChunkLeast ? kChunkLeast
                                : left / kChunkParts > kChunkMost ? kChunkMost
                                                                  : left / kChunkParts;
    std::vector<Planned> plan;
    std::uint32_t room = 0;
    for (std::uint32_t pg = 0; pg < pages; ++pg) {
      const std::uint32_t used = src.PageUsed(pg);
      if (used == 0) continue;
      if (used > room) {
        const std::uint64_t want = left < chunk ? left : chunk;
        plan.push_back(Planned{pg, static_cast<std::uint32_t>(want > used ? want : used), false});
        room = plan.back().cap;
      }
      room -= used;
      left -= used;
    }
    return plan;
  }

  // One past the last page of chunk c of plan.
  std::uint32_t PlannedEnd(const std::vector<Planned>& plan, std::size_t c) const {
    return c + 1 < plan.size() ? plan[c + 1].first : PageCount(n_);
  }

  // True when the pages of planned chunk c already fill a chunk of this
  // matrix exactly as the plan lays them out, and nothing else lives there.
  bool InPlace(const std::vector<Planned>& plan, std::size_t c) const {
    const Page& head = pages_[plan[c].first];
    if (head.cap == 0 || head.home == kOwnBlock) return false;
    const Chunk& chunk = chunks_[head.home];
    if (chunk.cap != plan[c].cap) return false;
    std::uint32_t at = 0, count = 0;
    for (std::uint32_t pg = plan[c].first; pg < PlannedEnd(plan, c); ++pg) {
      const std::uint32_t used = PageUsed(pg);
      if (used == 0) continue;
      const Page& page = pages_[pg];
      if (page.home != head.home || page.cap != used || page.vals != reinterpret_cast<T*>(chunk.mem) + at ||
          page.cols != ColumnsOf(chunk.mem, chunk.cap) + at)
        return false;
      at += used;
      ++count;
    }
    return count == chunk.pages;
  }

  // Lays the pages of src (this matrix itself, or one being copied) out in
  // the chunks of PlanChunks. A packed page has no room (cap == used), so its
  // next new entry moves it to a block of its own.
  //
  // Chunks are made one at a time, each filled before the next is asked
  // for; when src is this matrix, each page's old place is given up as soon
  // as the page has moved, so beside the storage in use packing needs about
  // one chunk. Chunks of this matrix that already hold their planned pages
  // as planned are kept as they are: after a packing that stopped part way,
  // or after growth in later pages that left the chunk size as it was (it is
  // held at kChunkLeast or kChunkMost), only the rest is laid out again.
  //
  // A failed allocation stops the packing and is rethrown: the pages moved
  // so far stay in their new chunks, the others where they were, chunks left
  // without pages are dropped from the list, and loose_ stays set so that
  // the next solve packs again. Every entry keeps its value throughout.
  void Pack(const SparSymMat& src) {
    const bool self = &src == this;
    std::vector<Planned> plan = PlanChunks(src);
    std::size_t toMake = 0;
    for (std::size_t c = 0; c < plan.size(); ++c) {
      plan[c].inPlace = self && InPlace(plan, c);
      if (!plan[c].inPlace) ++toMake;
    }
    // Room in the list for every new chunk beside the present ones, so that
    // the only allocations once pages move are the chunks themselves.
    chunks_.reserve(chunks_.size() + toMake);
    try {
      for (std::size_t c = 0; c < plan.size(); ++c) {
        if (plan[c].inPlace) continue;
        LayOutChunk(
            plan, c, [&](std::uint32_t pg) { return src.PageUsed(pg); },
            [&](std::uint32_t pg, const Page& to) {
              const Page& from = src.pages_[pg];
              std::memcpy(to.vals, from.vals, sizeof(T) * to.cap);
              std::memcpy(to.cols, from.cols, sizeof(std::uint32_t) * to.cap);
              if (self) Vacate(pages_[pg]);
            });
      }
    } catch (...) {
      DropEmptyChunks();
      throw;
    }
    DropEmptyChunks();
    loose_ = false;
    // Now every chunk of the list is one of the plan. Giving back the list's
    // spare room is only a nicety and may fail.
    try {
      chunks_.shrink_to_fit();
    } catch (const std::bad_alloc&) {
    }
  }

  // Makes chunk c of the plan and lays its pages out in it back to back:
  // page pg takes used(pg) places (none when 0), fill(pg, to) copies its
  // entries into them (to.cap of each, and may give up the page's old
  // place), then the page lives there. The list of chunks must have room
  // for the new one, so that only the chunk's own allocation can throw.
  template <class Used, class Fill>
  void LayOutChunk(const std::vector<Planned>& plan, std::size_t c, Used used, Fill fill) {
    const std::uint32_t cap = plan[c].cap;
    unsigned char* mem = AllocateBlock(cap);
    const auto home = static_cast<std::uint32_t>(chunks_.size());
    chunks_.push_back(Chunk{mem, cap, 0});
    std::uint32_t at = 0;
    for (std::uint32_t pg = plan[c].first; pg < PlannedEnd(plan, c); ++pg) {
      const std::uint32_t n = used(pg);
      if (n == 0) continue;
      const Page to{reinterpret_cast<T*>(mem) + at, ColumnsOf(mem, cap) + at, n, home};
      fill(pg, to);
      pages_[pg] = to;
      ++chunks_[home].pages;
      at += n;
    }
  }

  // Removes the chunks that no page lives in any more (already freed by
  // Vacate) from the list and renumbers the homes of the pages that live in
  // chunks. Allocates nothing.
  void DropEmptyChunks() noexcept {
    // The pages count of a live chunk holds its new number for a while.
    std::uint32_t kept = 0;
    for (Chunk& chunk : chunks_) {
      if (chunk.mem != nullptr) chunk.pages = kept++;
    }
    for (std::uint32_t pg = 0; pg < PageCount(n_); ++pg) {
      Page& page = pages_[pg];
      if (page.cap != 0 && page.home != kOwnBlock) page.home = chunks_[page.home].pages;
    }
    chunks_.erase(std::remove_if(chunks_.begin(), chunks_.end(), [](const Chunk& c) { return c.mem == nullptr; }),
                  chunks_.end());
    // Then the counts again.
    for (Chunk& chunk : chunks_) chunk.pages = 0;
    for (std::uint32_t pg = 0; pg < PageCount(n_); ++pg) {
      const Page& page = pages_[pg];
      if (page.cap != 0 && page.home != kOwnBlock) ++chunks_[page.home].pages;
    }
  }

  // r := b - A x, as b - q with q := A x from Multiply.
  Tuple<T> Residual(const Tuple<T>& x, const Tuple<T>& b) const {
    Tuple<T> q(Size(), T(0));
    Multiply(x, q);
    return b - q;
  }

  // q := q + A p, in the order of Multiply, with p[i] at p[S i] and q[i] at
  // q[S i]; with kDot also returns p.Dot(q) of the finished q. Row i's
  // result is complete once row i is done (later rows add nothing to it), so
  // the dot product is summed in ascending order inside the same sweep.
  template <std::size_t S, bool kDot>
  T ProductPass(const T* p, T* q) const {
    T dot = T(0);
    const std::uint32_t pages = PageCount(n_);
    for (std::uint32_t pg = 0; pg < pages; ++pg) {
      const T* vals = pages_[pg].vals;
      const std::uint32_t* cols = pages_[pg].cols;
      const std::uint32_t last = PageLastRow(pg);
      std::uint32_t k = 0;
      for (std::uint32_t i = pg << kPageShift; i <= last; ++i) {
        const std::uint32_t e = end_[i];
        const T pi = p[S * i];
        T s = q[S * i];
        s = s + diag_[i] * pi;
        for (; k < e; ++k) {
          const std::size_t j = cols[k];
          const T a = vals[k];
          s = s + a * p[S * j];
          q[S * j] = q[S * j] + a * pi;
        }
        q[S * i] = s;
        if (kDot) dot = dot + pi * s;
      }
    }
    return dot;
  }

  // Multiply with x and result the same vector (zeroed by the caller):
  // every read sees the writes made before it.
  void MultiplyInPlace(T* v) const {
    for (std::uint32_t pg = 0; pg < PageCount(n_); ++pg) {
      const Page& page = pages_[pg];
      const std::uint32_t last = PageLastRow(pg);
      std::uint32_t k = 0;
      for (std::uint32_t i = pg << kPageShift; i <= last; ++i) {
        v[i] = v[i] + diag_[i] * v[i];
        for (const std::uint32_t e = end_[i]; k < e; ++k) {
          const std::uint32_t j = page.cols[k];
          v[i] = v[i] + page.vals[k] * v[j];
          v[j] = v[j] + page.vals[k] * v[i];
        }
      }
    }
  }

  // x := x + p * alpha; r := r - q * alpha; z := r / diag; returns
  // r.Dot(z). p[i] is pq[2 i]; q[i] is pq[2 i + 1], where z[i] is left
  // (q is spent once r is updated).
  T UpdatePass(T alpha, T* x, T* pq, T* r) const {
    T rho = T(0);
    for (std::uint32_t i = 0; i < n_; ++i) {
      x[i] = x[i] + pq[2 * std::size_t(i)] * alpha;
      const T ri = r[i] - pq[2 * std::size_t(i) + 1] * alpha;
      r[i] = ri;
      const T zi = ri / diag_[i];
      pq[2 * std::size_t(i) + 1] = zi;
      rho = rho + ri * zi;
    }
    return rho;
  }

  // p := z + p * beta, with z where UpdatePass left it, and clears q for the
  // next product.
  static void DirectionPass(T beta, T* pq, std::uint32_t n) {
    for (std::uint32_t i = 0; i < n; ++i) {
      pq[2 * std::size_t(i)] = pq[2 * std::size_t(i) + 1] + pq[2 * std::size_t(i)] * beta;
      pq[2 * std::size_t(i) + 1] = T(0);
    }
  }

  std::uint32_t n_;
  T tolerance_;
  std::unique_ptr<T[]> diag_;             // A(i, i)
  std::unique_ptr<std::uint32_t[]> end_;  // one past row i's last entry, within its page; padded to whole pages
  std::unique_ptr<Page[]> pages_;         // PageCount(n_) pages of upper entries
  std::vector<Chunk> chunks_;             // blocks of packed pages; a freed one stays listed until the next packing
  bool loose_ = false;                    // pages are not all packed: some grew, or a packing stopped part way
};

}  // namespace basAP

#endif  // BASAPLACE_LINSYS_BASAPLCMATRIX_H
