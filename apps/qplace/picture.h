// A picture of a legal placement: an SVG of the device grid with each
// cluster shaded by the share of its BLEs in use, the components coloured
// by kind (pairs purple, lone LUTs blue, lone registers orange, I/O green),
// and the highest-fanout nets drawn as stars from their driver; and a PNG
// rendered from it with rsvg-convert (Debian package librsvg2-bin).
#ifndef QPLACE_PICTURE_H
#define QPLACE_PICTURE_H

#include <string>

#include "qplace/fabric.h"

namespace qplace {

// Writes the SVG; false (with `error` set) when the file cannot be written.
// Up to `nets` nets are drawn. Components are drawn one by one while a
// cluster is at least 12 pixels wide; on larger devices only the shading.
bool writeSvg(const Placement& p, const std::string& path, int nets, std::string& error);

// Renders `svg` to `png`; false (with `error` set) when rsvg-convert is
// missing or fails.
bool renderPng(const std::string& svg, const std::string& png, std::string& error);

}  // namespace qplace

#endif
