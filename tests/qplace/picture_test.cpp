// The picture: bounded on any device, and its PNG the same picture.
#include <cairo.h>
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include <unistd.h>

#include "qplace/picture.h"

namespace {

using qplace::Fabric;
using qplace::Model;
using qplace::Placement;

// A device of rows x cols clusters with one I/O site per border position,
// and a model of `ios` I/O units on one net, unit k on site sites[k].
struct Scene {
  Fabric f;
  Model m;
  Scene(int rows, int cols, const std::vector<int>& sites) {
    f.rows = rows;
    f.cols = cols;
    for (int c = 1; c <= cols; ++c) {
      f.ioX.insert(f.ioX.end(), {c, c});
      f.ioY.insert(f.ioY.end(), {0, rows + 1});
    }
    for (int r = 1; r <= rows; ++r) {
      f.ioX.insert(f.ioX.end(), {0, cols + 1});
      f.ioY.insert(f.ioY.end(), {r, r});
    }
    for (std::size_t k = 0; k < sites.size(); ++k) {
      m.kind.push_back(qplace::UNIT_IO);
      m.lut.push_back(nullptr);
      m.reg.push_back(nullptr);
      m.io.push_back(nullptr);
      m.ctrl.push_back(-1);
      m.netUnits.push_back(static_cast<int>(k));
    }
    m.netStart.push_back(static_cast<int>(sites.size()));
    m.netSignal.push_back(nullptr);
  }
};

int count(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// The picture's width, and where its caption (the legend's text of the
// device's size) starts and how long it is.
struct Legend {
  double width = 0, x = 0, y = 0, keysY = 0;
  std::size_t chars = 0;
};
Legend legendOf(const std::string& svg) {
  Legend l;
  l.width = std::atof(svg.c_str() + svg.find("width=\"") + 7);
  const std::size_t io = svg.find(">I/O</text>");
  l.keysY = std::atof(svg.c_str() + svg.rfind("y=\"", io) + 3);
  const std::size_t text = svg.find("<text x=\"", io);
  l.x = std::atof(svg.c_str() + text + 9);
  l.y = std::atof(svg.c_str() + svg.find("y=\"", text) + 3);
  const std::size_t from = svg.find('>', text) + 1;
  l.chars = svg.find("</text>", from) - from;
  return l;
}

// Lines drawn for the nets: "L<x> <y>" in their paths.
int netLines(const std::string& svg) {
  int n = 0;
  for (std::size_t i = 0; i + 1 < svg.size(); ++i) n += svg[i] == 'L' && std::isdigit(static_cast<unsigned char>(svg[i + 1]));
  return n;
}

TEST(Picture, ALargeDeviceIsDrawnAtACoarserGrainWithinAFewMegabytes) {
  EXPECT_EQ(qplace::pictureGrain(24, 25), 1);
  EXPECT_EQ(qplace::pictureGrain(198, 100), 1);  // 200 positions with the border
  EXPECT_EQ(qplace::pictureGrain(199, 100), 2);
  EXPECT_EQ(qplace::pictureGrain(1000, 1000), 6);

  // 600 x 600 clusters: every I/O site holds a unit of one net, so the net
  // reaches every border square.
  std::vector<int> sites(2400);
  for (int k = 0; k < 2400; ++k) sites[k] = k;
  Scene big(600, 600, sites);
  Placement p(big.f, big.m);
  for (int k = 0; k < 2400; ++k) p.putIo(k, k);
  const std::string svg = qplace::svgPicture(p, 3);
  EXPECT_LT(svg.size(), 2000000u);
  EXPECT_EQ(svg.rfind("<svg ", 0), 0u);
  EXPECT_EQ(svg.substr(svg.size() - 7), "</svg>\n");
  EXPECT_NE(svg.find("600 x 600 clusters, shade = BLEs used; a square: 4 x 4 clusters"), std::string::npos);
  // A square per border square reached, not per unit: 151 squares a side
  // (602 positions in fours), less the driver's own square; so many that
  // the net is drawn as dots within the outline of its box, the whole grid.
  EXPECT_EQ(netLines(svg), 0);
  const std::size_t dots = svg.find("stroke=\"white\"");
  ASSERT_NE(dots, std::string::npos);
  EXPECT_EQ(count(svg.substr(dots, svg.find('>', dots) - dots), "z"), 4 * 150 - 1);
  EXPECT_EQ(count(svg, "stroke-dasharray"), 1);
  EXPECT_NE(svg.find("<rect x=\"1.8\" y=\"1.8\" width=\"1096.4\" height=\"1096.4\" fill=\"none\""), std::string::npos);
  // Room for the caption beside the colours' keys.
  const Legend l = legendOf(svg);
  EXPECT_EQ(l.x, 340);
  EXPECT_EQ(l.y, l.keysY);
  EXPECT_GE(l.width, l.x + 7 * l.chars);
}

TEST(Picture, ASmallDeviceIsDrawnClusterByCluster) {
  // Units 1 and 2 on two sites of one border position.
  Scene small(4, 4, {0, 1, 16});
  small.f.ioX.push_back(small.f.ioX[1]);
  small.f.ioY.push_back(small.f.ioY[1]);
  Placement p(small.f, small.m);
  for (int k = 0; k < 3; ++k) p.putIo(k, k == 2 ? 16 : k);
  // BLEs by hand (the picture reads only who is where): two LUT+register
  // pairs, a lone LUT and, in the same BLE as another unit's LUT, a register.
  p.lutAt[0] = p.regAt[0] = 7;
  p.lutAt[qplace::kBles + 3] = p.regAt[qplace::kBles + 3] = 8;
  p.lutAt[1] = 9;
  p.lutAt[2] = 10;
  p.regAt[2] = 11;
  const std::string svg = qplace::svgPicture(p, 3);
  EXPECT_EQ(svg.find("a square:"), std::string::npos);
  EXPECT_EQ(netLines(svg), 1);
  EXPECT_EQ(count(svg, "fill=\"#27ae60\""), 2 + 1);  // two used I/O squares, and the legend
  // One path per kind of mark, a rectangle per unit drawn; each colour
  // once more in the legend.
  auto marks = [&](const std::string& colour) {
    const std::size_t at = svg.find("<path fill=\"" + colour + "\" d=\"");
    if (at == std::string::npos) return -1;
    return count(svg.substr(at, svg.find('>', at) - at), "z");
  };
  EXPECT_EQ(marks("#8e44ad"), 2);
  EXPECT_EQ(marks("#2e86de"), 2);
  EXPECT_EQ(marks("#f39c12"), 1);
  for (const char* colour : {"#8e44ad", "#2e86de", "#f39c12"})
    EXPECT_EQ(count(svg, std::string("fill=\"") + colour + "\""), 2) << colour;
  // Six positions of 40 pixels have no room for the legend on one line:
  // the caption goes below the keys, and the picture is widened for it
  // (at 7 pixels a character, the text's average at its size) rather than
  // cut off.
  const Legend l = legendOf(svg);
  EXPECT_EQ(l.x, 8);
  EXPECT_GT(l.y, l.keysY);
  EXPECT_GE(l.width, l.x + 7 * l.chars);
  EXPECT_GE(l.width, 340);
}

// The PNG is the SVG's picture: its size, and its colours where the SVG
// puts them; and a file that cannot be written is a failure that says so.
TEST(Picture, ThePngDrawsWhatTheSvgSays) {
  Scene small(4, 4, {0, 1, 16});
  Placement p(small.f, small.m);
  for (int k = 0; k < 3; ++k) p.putIo(k, k);
  p.lutAt[0] = p.regAt[0] = 7;
  const std::string svg = qplace::svgPicture(p, 3);
  const std::string png = testing::TempDir() + "qplace_picture_test.png";
  std::string error;
  ASSERT_TRUE(qplace::pngPicture(p, 3, png, error)) << error;
  cairo_surface_t* image = cairo_image_surface_create_from_png(png.c_str());
  ASSERT_EQ(cairo_surface_status(image), CAIRO_STATUS_SUCCESS);
  const int width = cairo_image_surface_get_width(image), height = cairo_image_surface_get_height(image);
  EXPECT_EQ(width, std::atoi(svg.c_str() + svg.find("width=\"") + 7));
  EXPECT_EQ(height, std::atoi(svg.c_str() + svg.find("height=\"") + 8));
  // The colour at a point, as 0xrrggbb.
  auto at = [&](double x, double y) {
    cairo_surface_flush(image);
    const unsigned char* row = cairo_image_surface_get_data(image) + static_cast<int>(y) * cairo_image_surface_get_stride(image);
    std::uint32_t v;
    std::memcpy(&v, row + 4 * static_cast<int>(x), 4);
    return v & 0xffffffu;
  };
  // Each I/O square the SVG draws: green where it is used, light grey
  // where not.
  int green = 0, grey = 0;
  for (std::size_t i = svg.find("<rect x="); i != std::string::npos; i = svg.find("<rect x=", i + 1)) {
    const std::size_t fill = svg.find("fill=\"", i) + 6;
    const std::string colour = svg.substr(fill, svg.find('"', fill) - fill);
    const double x = std::atof(svg.c_str() + i + 9), y = std::atof(svg.c_str() + svg.find("y=\"", i) + 3);
    const double w = std::atof(svg.c_str() + svg.find("width=\"", i) + 7);
    if (w == 12 || (colour != "#eee" && colour != "#27ae60")) continue;  // the legend's keys, the net's outline
    const bool used = colour == "#27ae60";
    // Near its corner: its middle may hold a net's driver disc.
    EXPECT_EQ(at(x + 3, y + 3), used ? 0x27ae60u : 0xeeeeeeu) << x << "," << y;
    ++(used ? green : grey);
  }
  EXPECT_EQ(green, 3);
  EXPECT_EQ(grey, 13);
  // The pair's mark in cluster 0 (row 1, column 1), and the page's corner.
  EXPECT_EQ(at(40 + 8, 40 + 6), 0x8e44adu);
  EXPECT_EQ(at(1, 1), 0xffffffu);
  cairo_surface_destroy(image);

  EXPECT_FALSE(qplace::pngPicture(p, 3, testing::TempDir() + "qplace-no-such-folder/x.png", error));
  EXPECT_EQ(error, "cannot draw or write the PNG: error while writing to output stream");
}

}  // namespace
