// The support object itself: binding to a design, copying, destruction.
#include "support/basapsupp.h"

AP_SUPP::AP_SUPP(UP_DESIGN* design) : design(design) {}

AP_SUPP::AP_SUPP(const AP_SUPP& other) = default;

AP_SUPP& AP_SUPP::operator=(const AP_SUPP& other) = default;

AP_SUPP::~AP_SUPP() = default;
