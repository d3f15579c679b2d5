// The linear system A x = b of quadratic placement: filled entry by entry,
// solved by a Jacobi-preconditioned conjugate-gradient iteration, printed
// for diagnosis.
#ifndef BASAPLACE_LINSYS_BASAPLINSYS_H
#define BASAPLACE_LINSYS_BASAPLINSYS_H

#include <basaplace_export.h>
#include <linsys/basaplcmatrix.h>
#include <linsys/basaplctuple.h>

#include <cstdint>
#include <fstream>
#include <utility>
#include <vector>

namespace basAP {

// One double, passed by value to the setters of plQPLinearSystem.
class plFloat64 {
public:
  constexpr plFloat64(double v) noexcept : value_(v) {}  // NOLINT: converts implicitly by design
  constexpr double Value() const noexcept { return value_; }

private:
  double value_;
};

// A x = b with A sparse, symmetric and, for a meaningful solve, positive
// definite; x is the solution, b the right-hand side. n is fixed by the
// constructor.
//
// Use: construct (or ResetMatrix a system of the same size), set matrix and
// right-hand-side entries in any order, Solve, read GetSolution for every i.
// A system is reusable: ResetMatrix zeroes A but keeps its pattern of stored
// positions, so refilling the same positions inserts nothing, and each Solve
// starts from the solution the previous one left, or from the start vector
// given with SetSolution.
//
// Every index must be below n. A bad index or size ends the process through
// the C runtime's assertion handler, quoting "i < Size () && j < Size ()"
// (matrix positions), "i < Size ()" (vector positions) or
// "Size () == that.Size ()" (assignment between sizes) or
// "start.size () == Size ()" (a start vector of the wrong size).
//
// Memory: about 30 bytes a row (diagonal, right-hand side, solution, row
// index) plus 12 bytes an off-diagonal entry; Solve adds three vectors of n
// doubles while it runs. Not thread-safe; one object per thread.
class BASAPLACE_EXPORT plQPLinearSystem {
public:
  // n unknowns: A all 0 (n zero diagonal entries, nothing else stored),
  // b all 0, every x[i] equal to start, tolerance 0.1, pass bound
  // 10 n + 1000 (capped at the largest unsigned int). O(n).
  plQPLinearSystem(unsigned int n, int start);
  // Deep copy: A with its pattern, tolerance, pass bound, b and x. O(size).
  plQPLinearSystem(const plQPLinearSystem& that);
  // Copies A, tolerance, pass bound, b and x from a system of the same n.
  // Check "Size () == that.Size ()" on the vectors ends the process otherwise.
  plQPLinearSystem& operator=(const plQPLinearSystem& that);
  ~plQPLinearSystem();

  // A(i, i) := v. O(1).
  void SetMatrixDiagEntry(unsigned int i, plFloat64 v);
  // A(i, j) := A(j, i) := v (i == j sets the diagonal). A stored position is
  // overwritten whatever v is; an absent one gets an entry only when v is not
  // 0 or -0.0. O(row length), plus a shift of at most 16 rows' entries for a
  // new entry.
  void SetMatrixEntry(unsigned int i, unsigned int j, plFloat64 v);
  // SetMatrixEntry(i, j, v) for each (j, v) of entries, in vector order (a
  // later pair for the same j wins). The vector is not changed.
  void SetMatrixRow(unsigned int i, std::vector<std::pair<unsigned int, plFloat64>>& entries);
  // Replaces A, its pattern included, in one call: A(i, i) := diag[i], and
  // row i's entries above the diagonal are (cols[k], vals[k]) for
  // rowStart[i] <= k < rowStart[i + 1], columns strictly ascending within
  // a row; every entry given is stored, 0 included. The same matrix as a
  // fresh system filled with SetMatrixEntry would hold (it solves the same
  // bit for bit), built without searching or shifting rows and already
  // packed: O(n + entries). b, x and the tolerance are untouched.
  // Sizes: diag n, rowStart n + 1 with rowStart[0] == 0 and rowStart[n] ==
  // cols.size() == vals.size(); anything else ends the process through the
  // assertion handler before A changes, quoting
  // "diag.size () == Size () && rowStart.size () == Size () + 1u",
  // "rowStart.back () == cols.size () && cols.size () == vals.size ()" or a
  // row or column check of SparSymMat::AssignRows.
  void SetMatrixRows(const std::vector<double>& diag, const std::vector<std::uint32_t>& rowStart,
                     const std::vector<std::uint32_t>& cols, const std::vector<double>& vals);
  // b[i] := v. O(1).
  void SetRHSVectorEntry(unsigned int i, plFloat64 v);

  // A(i, i). O(1).
  double GetMatrixDiagEntry(unsigned int i);
  // A(i, j) = A(j, i); 0 where nothing is stored. O(row length).
  double GetMatrixEntry(unsigned int i, unsigned int j);
  // b[i]. O(1).
  double GetRHSVectorEntry(unsigned int i);
  // x[i]: the start value until a Solve or SetSolution changes it. O(1).
  double GetSolution(unsigned int i);
  // x[i] := v, any double as given (NaN and infinities included). The next
  // Solve starts from the x it finds, so this hands it a start vector: a
  // solve started here runs exactly as one whose earlier solves had left
  // the same x. A, b and the tolerance are untouched. O(1).
  // Check "i < Size ()" ends the process for i >= n.
  void SetSolution(unsigned int i, plFloat64 v);
  // x[i] := start[i] for every i, in one call. start must have exactly n
  // elements: any other size ends the process through the assertion handler
  // quoting "start.size () == Size ()", before anything changes (a system
  // is never resized). O(n).
  void SetSolution(const std::vector<double>& start);

  // Stopping threshold of Solve; only a value t > 0 is taken, anything else
  // (0, negative, NaN) is ignored. Default 0.1.
  void SetTolerance(double t);
  double GetTolerance();

  // Largest number of conjugate-gradient passes one Solve may run. The
  // default, 10 n + 1000, is far above what a positive definite placement
  // system needs; the bound exists so that Solve returns on a matrix that is
  // not positive definite or a tolerance below what double arithmetic
  // reaches. 0 lets Solve only evaluate the start.
  void SetMaxIterations(unsigned int passes);
  unsigned int GetMaxIterations();
  // Passes run by the last Solve (0 before any).
  unsigned int GetIterations();

  // Sets every stored entry of A to 0 and keeps the pattern; b, x and the
  // tolerance are untouched. O(stored entries).
  void ResetMatrix();

  // Runs the preconditioned conjugate gradient from the current x (see
  // SparSymMat::SolvePCG) until the measure sum r[i] * (r[i] / A(i, i)) of
  // the residual r = b - A x is not above the tolerance, an absolute test
  // (a NaN measure ends it at once, leaving x as it stands). Returns false
  // exactly when the pass bound stopped the iteration with the measure still
  // above the tolerance, true in every other case (n = 0 and NaN included).
  // Cost per pass: O(stored entries + n); memory: three vectors of n doubles
  // for the duration of the call. The first Solve after new positions were
  // stored also repacks the matrix's storage once, a chunk at a time (about
  // one chunk of memory beyond the storage); a lack of memory there stops
  // the repacking but leaves every entry and value as it was, and the next
  // Solve repacks the rest. Refilling a kept pattern never repacks.
  bool Solve();

  // Writes the whole system to os as text: every row of A in full, each
  // followed by x[i] and b[i] when mode is 0 (any other mode leaves them
  // out), then the diagonal, b and x, twenty values to a line. Numbers use
  // the stream's own formatting; the stream is flushed once a row and left
  // open. O(n^2 times the row length): for small systems and debugging.
  void Print(std::ofstream& os);  // PrintBase(0, os)
  void PrintBase(int mode, std::ofstream& os);

  // Sum over rows i of |sum_j A(i, j) * x[j] - b[i]|, each row summed over
  // all n columns in ascending order (zeros included), rows in ascending
  // order. 0 for n = 0. O(n^2 times the row length): for small systems.
  double CalcSolutionError();

private:
  // n, as the size checks quote it.
  std::uint32_t Size() const { return solution_.Size(); }

  SparSymMat<double> matrix_;
  Tuple<double> rhs_;
  Tuple<double> solution_;
  unsigned int maxIterations_;
  unsigned int iterations_ = 0;
};

}  // namespace basAP

#endif  // BASAPLACE_LINSYS_BASAPLINSYS_H
