#include "placer/basapplacer.h"

AP_PLACER::AP_PLACER(UP_DESIGN* design_, void* context_, int option_)
    : design(design_), context(context_), option(option_) {}

bool AP_PLACER::apMain() { return false; }

AP_PLACER::~AP_PLACER() = default;
