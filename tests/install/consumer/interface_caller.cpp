#include <cstdio>

#include "calls.h"

int main() {
  const int wrong = callLinsys() + callMatching() + callSupport() + callStats() + callPlacer();
  std::printf("interface caller: %d wrong results\n", wrong);
  return wrong == 0 ? 0 : 1;
}
