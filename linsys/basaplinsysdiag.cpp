// Text dump and residual of the placement linear system, for diagnosis.
#include <linsys/basaplinsys.h>

#include <ostream>

namespace basAP {

namespace {

// " v0 v1 ... v19\n v20 ...": twenty values to a line, each after one blank.
template <class Value>
void WriteListing(std::ofstream& os, unsigned int n, Value value) {
  for (unsigned int i = 0; i < n; ++i) {
    if (i > 0 && i % 20 == 0) os << "\n";
    os << " " << value(i);
  }
}

}  // namespace

void plQPLinearSystem::Print(std::ofstream& os) { PrintBase(0, os); }

void plQPLinearSystem::PrintBase(int mode, std::ofstream& os) {
  const unsigned int n = matrix_.Size();
  for (unsigned int i = 0; i < n; ++i) {
    os << std::endl << "| ";
    for (unsigned int j = 0; j < n; ++j) os << matrix_.GetEntry(i, j) << " ";
    os << " |";
    if (mode == 0) {
      os << "        | " << solution_[i] << " |";
      os << "        | " << rhs_[i] << " |";
    }
  }
  os << "\n--------------------------------------------------------------\nDiagnol n = " << n << " : \n";
  WriteListing(os, n, [this](unsigned int i) { return matrix_.GetEntry(i, i); });
  os << "\n--------------------------------------------------------------\nRHS : \n";
  WriteListing(os, n, [this](unsigned int i) { return rhs_[i]; });
  os << "\n---------------------------------------------------------------\nSolution :\n";
  WriteListing(os, n, [this](unsigned int i) { return solution_[i]; });
  os << "\n---------------------------------------------------------------\n";
}

double plQPLinearSystem::CalcSolutionError() {
  const unsigned int n = matrix_.Size();
  double total = 0.0;
  for (unsigned int i = 0; i < n; ++i) {
    double s = 0.0;
    for (unsigned int j = 0; j < n; ++j) s = s + matrix_.GetEntry(i, j) * solution_[j];
    const double d = s - rhs_[i];
    total = total + (d < 0 ? -d : d);
  }
  return total;
}

}  // namespace basAP
