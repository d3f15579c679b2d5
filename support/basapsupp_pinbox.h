// The bounding box of a signal's placed pins, shared by the static
// AP_SUPP::calcBBox and the bounding-box report. Internal to the library;
// not installed.
#ifndef BASAPLACE_SUPPORT_BASAPSUPP_PINBOX_H
#define BASAPLACE_SUPPORT_BASAPSUPP_PINBOX_H

class UP_INFO;
class UP_SIGNAL;

// As AP_SUPP::calcBBox, with the pin rows and columns read from `info`, or,
// when it is null, from the host's current design (asked only once a placed
// pin is met, so a signal without one needs no current design).
int basapPinBox(UP_INFO* info, UP_SIGNAL* sig, int& rowMax, int& rowMin, int& colMax,
                int& colMin);

#endif
