// An independent legality check of a placed design, read from the design
// itself (sites, slot tables, register control records), not from the
// placer's own bookkeeping: every LUT and register on a logic site and in
// one slot of its kind there, at most two of each per site, I/O components
// alone on I/O sites, and the register rules (a site's R0 and R1 on one
// control record; each cluster, or each half of it under the half-cluster
// rule, on one record).
#ifndef QPLACE_CHECKS_H
#define QPLACE_CHECKS_H

#include <string>
#include <vector>

#include "host/standin/standin_design.h"

namespace qplace {

struct CheckResult {
  int errors = 0;
  std::vector<std::string> first;  // the first few faults, described
};

CheckResult checkPlacement(standin::Design& d);

}  // namespace qplace

#endif
