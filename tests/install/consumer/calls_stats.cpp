#include <host/ututil.h>
#include <stats/basaptst.h>

#include <type_traits>

#include "calls.h"

static_assert(std::has_virtual_destructor<AP_TST>::value, "AP_TST's destructor is virtual");

int callStats() {
  int wrong = 0;
  AP_TST tst;
  UT_TIMER* timer = nullptr;
  const int numTimers = 2, id = 0, other = 1;
  const char* names[] = {"qp_solve", "qp_spread"};
  CALL(void, tst.load(timer, numTimers, names));
  CALL(void, tst.enableAll(true));
  CALL(void, tst.disable(other));
  CALL(void, tst.enable(other));
  CALL(void, tst.useRealTime(true));
  const double started = CALL(double, tst.start(id));
  wrong += CALL(double, tst.wake(id)) < started;
  wrong += !CALL(bool, tst.iswake(id));
  wrong += CALL(double, tst.sleep(id)) < started;
  wrong += CALL(double, tst.report(id)) < 0.0 || tst.iswake(id);
  wrong += CALL(double, tst.getCurTime()) < started;
  const int which = -10, format = 3;
  const char* label = "caller";
  const bool withMemory = false;
  CALL(void, tst.print(which, format, label, withMemory));
  return wrong;
}
