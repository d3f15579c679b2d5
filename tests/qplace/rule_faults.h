// The register rules of a placed design, counted through the library's own
// checks: per site the R0/R1 pair, per cluster the whole- or half-cluster
// rule.
#ifndef BASAPLACE_TESTS_QPLACE_RULE_FAULTS_H
#define BASAPLACE_TESTS_QPLACE_RULE_FAULTS_H

#include "host/standin/standin_design.h"
#include "support/basapsupp.h"

inline int registerRuleFaults(standin::Design& d, bool halfRule) {
  int faults = 0;
  for (standin::Plc& plc : d.plcs) {
    for (UP_SITE* s : plc.sites) {
      UP_COMP** slots = s->getslotcomps();
      if (slots != nullptr) faults += !AP_SUPP::regCompatible(slots[standin::R0], slots[standin::R1]);
    }
    faults += !(halfRule ? AP_SUPP::regCompatibleUA(&plc) : AP_SUPP::regCompatible(&plc));
  }
  return faults;
}

#endif
