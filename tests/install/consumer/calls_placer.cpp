#include <placer/basapplacer.h>

#include "calls.h"

namespace {

struct Placer : AP_PLACER {
  using AP_PLACER::AP_PLACER;
  bool apMain() override { return true; }
};

}  // namespace

int callPlacer() {
  int wrong = 0;
  UP_DESIGN* design = nullptr;
  int value = 0;
  void* context = &value;
  const int option = 3;
  AP_PLACER base(design, context, option);
  AP_PLACER copy(base);
  AP_PLACER assigned(design, nullptr, 0);
  assigned = copy;
  wrong += CALL(bool, assigned.apMain());
  Placer derived(design, context, option);
  AP_PLACER& asBase = derived;
  wrong += !CALL(bool, asBase.apMain());
  return wrong;
}
