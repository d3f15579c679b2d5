// A picture of a legal placement: an SVG of the device grid with each
// cluster shaded by the share of its BLEs in use, the components coloured
// by kind (pairs purple, lone LUTs blue, lone registers orange, I/O green),
// and the highest-fanout nets drawn as stars from their driver (or, when
// they spread too wide for lines, as dots in their box); and the same
// picture as a PNG, drawn in memory with cairo.
#ifndef QPLACE_PICTURE_H
#define QPLACE_PICTURE_H

#include <string>

#include "qplace/fabric.h"

namespace qplace {

// At most this many squares are drawn along a side of the grid (border
// included): a larger device is drawn at a coarser grain, each square a
// block of g x g clusters shaded by their mean use, so the SVG stays within
// a few MB (about 1.2 MB of shading at most, plus the nets) whatever the
// device.
constexpr int kPictureSquares = 200;

// The grain of the picture of a rows x cols device: clusters per side of a
// square, 1 up to kPictureSquares positions along the longer side.
int pictureGrain(int rows, int cols);

// Lines drawn for a net at most: a net whose units are in more squares is
// drawn as a dot in each, within the dashed outline of its box.
constexpr int kMostNetLines = 100;

// The SVG text. Up to `nets` nets are drawn, each as lines from its driver
// to the other squares its units are in (one line per square; dots above
// kMostNetLines squares), and a disc on its driver. Components are
// drawn one by one while a cluster is at least 12 pixels wide; otherwise
// only the shading. O(clusters + pins of the nets drawn).
std::string svgPicture(const Placement& p, int nets);

// The picture svgPicture draws, as a PNG of the same size written to the
// file `png`: the same shapes and colours, the legend's text in the
// system's sans-serif font. False, with `error` set, when it cannot be
// drawn or written ("cannot draw or write the PNG: <cairo's reason>").
// O(clusters + pins of the nets drawn) to draw, and an image of at most
// about 1200 x 1260 pixels in memory (5 MB).
bool pngPicture(const Placement& p, int nets, const std::string& png, std::string& error);

}  // namespace qplace

#endif
