// Building and solving the placement linear system.
#include <linsys/basaplinsys.h>

namespace basAP {

plQPLinearSystem::plQPLinearSystem(unsigned int n, int start)
    : matrix_(n, 0.0), rhs_(n, 0.0), solution_(n, static_cast<double>(start)),
      maxIterations_(SparSymMat<double>::DefaultMaxPasses(n)) {}

plQPLinearSystem::plQPLinearSystem(const plQPLinearSystem& that) = default;

plQPLinearSystem& plQPLinearSystem::operator=(const plQPLinearSystem& that) {
  matrix_ = that.matrix_;
  rhs_ = that.rhs_;
  solution_ = that.solution_;
  maxIterations_ = that.maxIterations_;
  iterations_ = that.iterations_;
  return *this;
}

plQPLinearSystem::~plQPLinearSystem() = default;

void plQPLinearSystem::SetMatrixDiagEntry(unsigned int i, plFloat64 v) { matrix_.SetEntry(i, i, v.Value()); }

void plQPLinearSystem::SetMatrixEntry(unsigned int i, unsigned int j, plFloat64 v) {
  matrix_.SetEntry(i, j, v.Value());
}

void plQPLinearSystem::SetMatrixRow(unsigned int i, std::vector<std::pair<unsigned int, plFloat64>>& entries) {
  for (const auto& entry : entries) matrix_.SetEntry(i, entry.first, entry.second.Value());
}

void plQPLinearSystem::SetMatrixRows(const std::vector<double>& diag, const std::vector<std::uint32_t>& rowStart,
                                     const std::vector<std::uint32_t>& cols, const std::vector<double>& vals) {
  BASAP_CHECK(diag.size () == Size () && rowStart.size () == Size () + 1u, BASAP_MATRIX_SOURCE);
  BASAP_CHECK(rowStart.back () == cols.size () && cols.size () == vals.size (), BASAP_MATRIX_SOURCE);
  matrix_.AssignRows(diag.data(), rowStart.data(), cols.data(), vals.data());
}

void plQPLinearSystem::SetRHSVectorEntry(unsigned int i, plFloat64 v) { rhs_[i] = v.Value(); }

double plQPLinearSystem::GetMatrixDiagEntry(unsigned int i) { return matrix_.GetEntry(i, i); }

double plQPLinearSystem::GetMatrixEntry(unsigned int i, unsigned int j) { return matrix_.GetEntry(i, j); }

double plQPLinearSystem::GetRHSVectorEntry(unsigned int i) { return rhs_[i]; }

double plQPLinearSystem::GetSolution(unsigned int i) { return solution_[i]; }

void plQPLinearSystem::SetSolution(unsigned int i, plFloat64 v) { solution_[i] = v.Value(); }

void plQPLinearSystem::SetSolution(const std::vector<double>& start) {
  // Checked once for the whole vector; the copy then needs no index checks.
  BASAP_CHECK(start.size () == Size (), BASAP_TUPLE_SOURCE);
  double* x = solution_.Data();
  for (std::size_t i = 0; i < start.size(); ++i) x[i] = start[i];
}

void plQPLinearSystem::SetTolerance(double t) {
  if (t > 0) matrix_.SetTolerance(t);
}

double plQPLinearSystem::GetTolerance() { return matrix_.GetTolerance(); }

void plQPLinearSystem::SetMaxIterations(unsigned int passes) { maxIterations_ = passes; }

unsigned int plQPLinearSystem::GetMaxIterations() { return maxIterations_; }

unsigned int plQPLinearSystem::GetIterations() { return iterations_; }

void plQPLinearSystem::ResetMatrix() { matrix_.ZeroValues(); }

bool plQPLinearSystem::Solve() {
  iterations_ = 0;
  const PCGRun run = matrix_.SolvePCG(solution_, rhs_, maxIterations_);
  iterations_ = run.passes;
  return !run.stoppedByBound;
}

}  // namespace basAP
