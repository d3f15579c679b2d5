// A caller built against an installed copy of the library.
#include <linsys/basaplinsys.h>
#include <stats/basaptst.h>

#include <cstdio>

int main() {
  basAP::plQPLinearSystem sys(2, 0);
  sys.SetMatrixDiagEntry(0, 2.0);
  sys.SetMatrixDiagEntry(1, 4.0);
  sys.SetRHSVectorEntry(0, 2.0);
  sys.SetRHSVectorEntry(1, 8.0);
  if (!sys.Solve()) return 1;
  std::printf("x[0] = %g\nx[1] = %g\n", sys.GetSolution(0), sys.GetSolution(1));

  AP_TST timers;
  const char* names[] = {"demo_run"};
  timers.load(nullptr, 1, names);
  timers.start(0);
  timers.sleep(0);
  return timers.report(0) >= 0.0 ? 0 : 1;
}
