#include <linsys/basaplcmatrix.h>
#include <linsys/basaplctuple.h>
#include <linsys/basaplinsys.h>

#include <cstdint>
#include <fstream>
#include <type_traits>
#include <utility>
#include <vector>

#include "calls.h"

using basAP::plFloat64;
using basAP::plQPLinearSystem;
using basAP::SparSymMat;
using basAP::Tuple;

static_assert(!std::is_polymorphic<Tuple<double>>::value, "Tuple has no virtual member");
static_assert(std::has_virtual_destructor<SparSymMat<double>>::value, "SparSymMat's destructor is virtual");
static_assert(!std::is_polymorphic<plQPLinearSystem>::value, "plQPLinearSystem has no virtual member");

namespace {

int callTuple() {
  int wrong = 0;
  const std::uint32_t n = 2, i0 = 0, i1 = 1;
  const double init = 1.0;
  Tuple<double> t(n, init);
  Tuple<double> u(t);
  const Tuple<double>& view = t;
  wrong += CALL(std::uint32_t, t.Size()) != 2;
  double& first = CALL(double&, t[i0]);
  first = 3.0;
  wrong += CALL(double, view[i0]) != 3.0;
  Tuple<double>& assigned = CALL(Tuple<double>&, u = t);
  wrong += &assigned != &u;
  wrong += !CALL(bool, t == u);
  const Tuple<double> sum = CALL(Tuple<double>, t + u);
  const Tuple<double> diff = CALL(Tuple<double>, t - u);
  const Tuple<double> scaled = CALL(Tuple<double>, t * init);
  wrong += sum[i0] != 6.0 || diff[i1] != 0.0 || scaled[i0] != 3.0;
  wrong += CALL(double, t.Dot(u)) != 10.0;
  return wrong;
}

int callMatrix() {
  int wrong = 0;
  const std::uint32_t n = 2, i0 = 0, i1 = 1;
  SparSymMat<double> m(n, 0.0);
  CALL(void, m.SetEntry(i0, i0, 2.0));
  CALL(void, m.SetEntry(i1, i1, 4.0));
  CALL(void, m.SetEntry(i1, i0, 0.0));
  SparSymMat<double> copy(m);
  SparSymMat<double> assigned(i1, 0.0);
  assigned = m;
  wrong += CALL(std::uint32_t, m.Size()) != 2 || copy.Size() != 2 || assigned.Size() != 2;

  const SparSymMat<double>& view = m;
  wrong += CALL(double, view.GetEntry(i0, i1)) != 0.0 || view.GetEntry(i1, i1) != 4.0;
  Tuple<double> x(n, 1.0), result(n, 0.0), z(n, 0.0), b(n, 2.0);
  b[i1] = 8.0;
  const Tuple<double>& cx = x;
  CALL(void, view.Multiply(cx, result));
  CALL(void, view.DiagSolve(cx, z));
  wrong += result[i1] != 4.0 || z[i0] != 0.5;
  x[i0] = 0.0;
  x[i1] = 0.0;
  const Tuple<double>& cb = b;
  CALL(void, m.SolvePCG(x, cb));
  wrong += x[i0] != 1.0 || x[i1] != 2.0;
  return wrong;
}

int callSystem() {
  int wrong = 0;
  const unsigned int n = 2, i0 = 0, i1 = 1;
  const int start = 0;
  plQPLinearSystem sys(n, start);
  CALL(void, sys.SetMatrixDiagEntry(i0, plFloat64(2.0)));
  std::vector<std::pair<unsigned int, plFloat64>> row{{i1, plFloat64(4.0)}};
  CALL(void, sys.SetMatrixRow(i1, row));
  CALL(void, sys.SetMatrixEntry(i0, i1, plFloat64(0.0)));
  CALL(void, sys.SetRHSVectorEntry(i0, plFloat64(2.0)));
  CALL(void, sys.SetRHSVectorEntry(i1, plFloat64(8.0)));
  CALL(void, sys.SetTolerance(0.05));
  wrong += CALL(double, sys.GetTolerance()) != 0.05;
  wrong += CALL(double, sys.GetMatrixDiagEntry(i1)) != 4.0;
  wrong += CALL(double, sys.GetMatrixEntry(i1, i0)) != 0.0;
  wrong += CALL(double, sys.GetRHSVectorEntry(i1)) != 8.0;

  plQPLinearSystem copy(sys);
  plQPLinearSystem& assigned = CALL(plQPLinearSystem&, copy = sys);
  wrong += &assigned != &copy;
  wrong += !CALL(bool, sys.Solve());
  wrong += CALL(double, sys.GetSolution(i0)) != 1.0 || sys.GetSolution(i1) != 2.0;
  wrong += CALL(double, sys.CalcSolutionError()) != 0.0;

  std::ofstream os("interface_caller_system.txt");
  CALL(void, sys.Print(os));
  const int mode = 1;
  CALL(void, sys.PrintBase(mode, os));
  wrong += !os;

  CALL(void, copy.ResetMatrix());
  wrong += copy.GetMatrixDiagEntry(i0) != 0.0 || copy.GetRHSVectorEntry(i0) != 2.0;

  // A start vector: the exact solution handed over, so the next solve runs no pass.
  CALL(void, sys.SetSolution(i0, plFloat64(0.0)));
  wrong += sys.GetSolution(i0) != 0.0;
  const std::vector<double> exact{1.0, 2.0};
  CALL(void, sys.SetSolution(exact));
  wrong += !sys.Solve() || sys.GetIterations() != 0u || sys.GetSolution(i0) != 1.0;
  return wrong;
}

}  // namespace

int callLinsys() { return callTuple() + callMatrix() + callSystem(); }
