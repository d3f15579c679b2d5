// The slot check of a placed design, read from the design itself (sites and
// slot tables), not from the placer's own bookkeeping: every LUT and
// register on a logic site and in exactly one slot of its kind there, no
// slot naming a component placed elsewhere, at most four components per
// logic site, and I/O components alone on I/O sites. The register rules are
// the library's site checks (AP_SUPP::drcAllSite); this check covers what
// they take for granted.
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
