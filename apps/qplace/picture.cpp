// SVG and PNG pictures of a placement: one drawing, two pens.
#include "qplace/picture.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <numeric>
#include <set>
#include <string>
#include <vector>

namespace qplace {

namespace {

// Net colours, none of them a component kind's.
const char* kNetColours[] = {"#d62728", "#111111", "#e377c2", "#17becf", "#8c564b", "#bcbd22"};
// The component kinds' colours, in the legend's order: pairs, lone LUTs,
// lone registers, I/O.
const char* kKindColours[] = {"#8e44ad", "#2e86de", "#f39c12", "#27ae60"};
const char* kKindNames[] = {"LUT+register", "LUT", "register", "I/O"};
// The squares' edges, a free I/O square and its edge.
const char* kEdgeColour = "#bbb";
const char* kFreeIoColour = "#eee";
const char* kIoEdgeColour = "#999";
// Where the legend's keys start, left to right.
const double kKeyX[] = {8, 130, 190, 280};

// Width of a character of the legend's 13-pixel sans-serif text, on the
// generous side (its digits and lower case letters are narrower).
constexpr double kCaptionCharWidth = 7.5;

void appendf(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void appendf(std::string& out, const char* format, ...) {
  char buf[512];
  va_list ap;
  va_start(ap, format);
  const int n = std::vsnprintf(buf, sizeof buf, format, ap);
  va_end(ap);
  if (n < 0) return;
  if (static_cast<std::size_t>(n) < sizeof buf) {
    out.append(buf, static_cast<std::size_t>(n));
    return;
  }
  std::vector<char> big(static_cast<std::size_t>(n) + 1);
  va_start(ap, format);
  std::vsnprintf(big.data(), big.size(), format, ap);
  va_end(ap);
  out.append(big.data(), static_cast<std::size_t>(n));
}

struct Box {
  double x, y, w, h;
};
struct Point {
  double x, y;
};

// What the picture is drawn with. The drawing gives both pens the same
// figures, so the PNG shows what the SVG says.
class Pen {
public:
  virtual ~Pen() = default;
  // The whole picture, white.
  virtual void page(double w, double h) = 0;
  // Squares of one grey (0-255), edged in light grey `edge` wide (none at 0).
  virtual void shade(int grey, const std::vector<Box>& squares, double edge) = 0;
  // Rectangles of one colour: the marks of the BLEs used.
  virtual void marks(const char* colour, const std::vector<Box>& boxes) = 0;
  // A square of I/O sites, green when one of them is used.
  virtual void ioSquare(const Box& b, bool used) = 0;
  // A net as lines from its driver, 40% opaque.
  virtual void netLines(const char* colour, double width, const Point& from, const std::vector<Point>& to) = 0;
  // A net as the dashed outline of its box and a dot, edged in white, in
  // each square it reaches.
  virtual void netDots(const char* colour, const Box& outline, double width, double dash, double edge,
                       const std::vector<Box>& dots) = 0;
  // The disc on a net's driver.
  virtual void driver(const Point& at, double r, const char* colour) = 0;
  // The legend: the keys' squares at keysY, their names' baselines at
  // textY, and the caption's baseline at (x, y).
  virtual void legend(double keysY, double textY, double x, double y, const std::string& caption) = 0;
};

// The SVG text, built in memory.
class SvgPen : public Pen {
public:
  std::string text;

  void page(double w, double h) override {
    appendf(text,
            "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%.0f\" height=\"%.0f\" "
            "viewBox=\"0 0 %.1f %.1f\">\n<rect width=\"100%%\" height=\"100%%\" fill=\"white\"/>\n",
            w, h, w, h);
  }
  void shade(int grey, const std::vector<Box>& squares, double edge) override {
    appendf(text, "<path fill=\"rgb(%d,%d,%d)\" stroke=\"%s\" stroke-width=\"%.2f\" d=\"", grey, grey, grey,
            kEdgeColour, edge);
    boxes(squares, "M%.2f %.2fh%.2fv%.2fh%.2fz");
    text += "\"/>\n";
  }
  void marks(const char* colour, const std::vector<Box>& b) override {
    appendf(text, "<path fill=\"%s\" d=\"", colour);
    boxes(b, "M%.2f %.2fh%.2fv%.2fh%.2fz");
    text += "\"/>\n";
  }
  void ioSquare(const Box& b, bool used) override {
    appendf(text,
            "<rect x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\" fill=\"%s\" stroke=\"%s\" "
            "stroke-width=\"0.3\"/>\n",
            b.x, b.y, b.w, b.h, used ? kKindColours[3] : kFreeIoColour, kIoEdgeColour);
  }
  void netLines(const char* colour, double width, const Point& from, const std::vector<Point>& to) override {
    appendf(text, "<path fill=\"none\" stroke=\"%s\" stroke-width=\"%.2f\" stroke-opacity=\"0.4\" d=\"", colour, width);
    for (const Point& q : to) appendf(text, "M%.1f %.1fL%.1f %.1f", from.x, from.y, q.x, q.y);
    text += "\"/>\n";
  }
  void netDots(const char* colour, const Box& o, double width, double dash, double edge,
               const std::vector<Box>& dots) override {
    appendf(text,
            "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"none\" stroke=\"%s\" "
            "stroke-width=\"%.2f\" stroke-dasharray=\"%.1f\"/>\n",
            o.x, o.y, o.w, o.h, colour, width, dash);
    appendf(text, "<path fill=\"%s\" stroke=\"white\" stroke-width=\"%.2f\" d=\"", colour, edge);
    boxes(dots, "M%.1f %.1fh%.1fv%.1fh%.1fz");
    text += "\"/>\n";
  }
  void driver(const Point& at, double r, const char* colour) override {
    appendf(text, "<circle cx=\"%.2f\" cy=\"%.2f\" r=\"%.2f\" fill=\"%s\"/>\n", at.x, at.y, r, colour);
  }
  void legend(double keysY, double textY, double x, double y, const std::string& caption) override {
    text += "<g font-family=\"sans-serif\" font-size=\"13\">";
    for (int k = 0; k < 4; ++k)
      appendf(text, "<rect x=\"%.0f\" y=\"%.1f\" width=\"12\" height=\"12\" fill=\"%s\"/><text x=\"%.0f\" y=\"%.1f\">%s</text>",
              kKeyX[k], keysY, kKindColours[k], kKeyX[k] + 16, textY, kKindNames[k]);
    appendf(text, "<text x=\"%.0f\" y=\"%.1f\">%s</text></g>\n", x, y, caption.c_str());
  }

private:
  void boxes(const std::vector<Box>& b, const char* format) {
    for (const Box& q : b) appendf(text, format, q.x, q.y, q.w, q.h, -q.w);
  }
};

// The PNG, drawn on a cairo image in memory.
class PngPen : public Pen {
public:
  PngPen() = default;
  PngPen(const PngPen&) = delete;
  PngPen& operator=(const PngPen&) = delete;
  ~PngPen() override {
    if (cr_ != nullptr) cairo_destroy(cr_);
    if (surface_ != nullptr) cairo_surface_destroy(surface_);
  }

  // Writes the image to `path`; false, with `error` set, when it cannot.
  bool write(const std::string& path, std::string& error) const {
    cairo_status_t st = surface_ != nullptr ? cairo_surface_status(surface_) : CAIRO_STATUS_NO_MEMORY;
    if (st == CAIRO_STATUS_SUCCESS) st = cairo_status(cr_);
    if (st == CAIRO_STATUS_SUCCESS) {
      cairo_surface_flush(surface_);
      st = cairo_surface_write_to_png(surface_, path.c_str());
    }
    if (st == CAIRO_STATUS_SUCCESS) return true;
    error = std::string("cannot draw or write the PNG: ") + cairo_status_to_string(st);
    return false;
  }

  void page(double w, double h) override {
    surface_ = cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(std::lround(w)),
                                          static_cast<int>(std::lround(h)));
    cr_ = cairo_create(surface_);
    cairo_set_source_rgb(cr_, 1, 1, 1);
    cairo_paint(cr_);
  }
  void shade(int grey, const std::vector<Box>& squares, double edge) override {
    boxes(squares);
    cairo_set_source_rgb(cr_, grey / 255.0, grey / 255.0, grey / 255.0);
    if (edge > 0) {
      cairo_fill_preserve(cr_);
      colour(kEdgeColour);
      cairo_set_line_width(cr_, edge);
      cairo_stroke(cr_);
    } else {
      cairo_fill(cr_);
    }
  }
  void marks(const char* c, const std::vector<Box>& b) override {
    boxes(b);
    colour(c);
    cairo_fill(cr_);
  }
  void ioSquare(const Box& b, bool used) override {
    boxes({b});
    colour(used ? kKindColours[3] : kFreeIoColour);
    cairo_fill_preserve(cr_);
    colour(kIoEdgeColour);
    cairo_set_line_width(cr_, 0.3);
    cairo_stroke(cr_);
  }
  void netLines(const char* c, double width, const Point& from, const std::vector<Point>& to) override {
    for (const Point& q : to) {
      cairo_move_to(cr_, from.x, from.y);
      cairo_line_to(cr_, q.x, q.y);
    }
    colour(c, 0.4);
    cairo_set_line_width(cr_, width);
    cairo_stroke(cr_);
  }
  void netDots(const char* c, const Box& o, double width, double dash, double edge,
               const std::vector<Box>& dots) override {
    boxes({o});
    colour(c);
    cairo_set_line_width(cr_, width);
    cairo_set_dash(cr_, &dash, 1, 0);
    cairo_stroke(cr_);
    cairo_set_dash(cr_, nullptr, 0, 0);
    boxes(dots);
    cairo_fill_preserve(cr_);
    cairo_set_source_rgb(cr_, 1, 1, 1);
    cairo_set_line_width(cr_, edge);
    cairo_stroke(cr_);
  }
  void driver(const Point& at, double r, const char* c) override {
    cairo_new_sub_path(cr_);
    cairo_arc(cr_, at.x, at.y, r, 0, 2 * 3.14159265358979323846);
    colour(c);
    cairo_fill(cr_);
  }
  void legend(double keysY, double textY, double x, double y, const std::string& caption) override {
    cairo_select_font_face(cr_, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr_, 13);
    for (int k = 0; k < 4; ++k) {
      boxes({{kKeyX[k], keysY, 12, 12}});
      colour(kKindColours[k]);
      cairo_fill(cr_);
      text(kKeyX[k] + 16, textY, kKindNames[k]);
    }
    text(x, y, caption.c_str());
  }

private:
  void boxes(const std::vector<Box>& b) {
    for (const Box& q : b) cairo_rectangle(cr_, q.x, q.y, q.w, q.h);
  }
  // "#rrggbb" or "#rgb".
  void colour(const char* hex, double alpha = 1) {
    unsigned long v = std::strtoul(hex + 1, nullptr, 16);
    if (std::strlen(hex) == 4) v = (v >> 8 & 15) * 0x110000 + (v >> 4 & 15) * 0x1100 + (v & 15) * 0x11;
    cairo_set_source_rgba(cr_, (v >> 16 & 255) / 255.0, (v >> 8 & 255) / 255.0, (v & 255) / 255.0, alpha);
  }
  void text(double x, double y, const char* s) {
    cairo_set_source_rgb(cr_, 0, 0, 0);
    cairo_move_to(cr_, x, y);
    cairo_show_text(cr_, s);
  }

  cairo_surface_t* surface_ = nullptr;
  cairo_t* cr_ = nullptr;
};

// Draws the picture of p with `pen`.
void draw(const Placement& p, int nets, Pen& pen) {
  const Fabric& f = *p.fabric;
  const Model& m = *p.model;
  // The grid of device positions (the border's I/O rows and columns
  // included), in squares of g x g positions.
  const int g = pictureGrain(f.rows, f.cols);
  const int gw = (f.cols + 2 + g - 1) / g, gh = (f.rows + 2 + g - 1) / g;
  const double s = std::clamp(1100.0 / std::max(gw, gh), 1.0, 40.0);
  // The legend: the colours' keys, then the caption beside them, or on a
  // line of its own below them when the picture is too narrow for both
  // (a small device); the picture is made as wide as its legend.
  const int shown = std::max(0, std::min(nets, m.numNets()));
  std::string caption;
  appendf(caption, "%d x %d clusters, shade = BLEs used", f.rows, f.cols);
  if (g > 1) appendf(caption, "; a square: %d x %d clusters", g, g);
  appendf(caption, "; lines or dots: the %d largest nets", shown);
  const double keys = 340, captionWidth = kCaptionCharWidth * static_cast<double>(caption.size()) + 8;
  const bool oneLine = gw * s >= keys + captionWidth;
  const double legend = oneLine ? 40 : 58;
  const double w = std::max(gw * s, oneLine ? 0.0 : std::max(keys, 8 + captionWidth)), h = gh * s + legend;
  auto square = [&](double pos) { return static_cast<int>(pos) / g; };
  // Device position (row, col) to the top-left corner of its square; row 0 on top.
  auto px = [&](double col) { return square(col) * s; };
  auto py = [&](double row) { return square(row) * s; };
  const bool detail = g == 1 && s >= 12;
  pen.page(w, h);

  // Shading: BLEs used and clusters per square, then the squares of each shade.
  std::vector<int> used(static_cast<std::size_t>(gw) * gh, 0), clusters(used.size(), 0);
  for (int c = 0; c < f.numClusters(); ++c) {
    const std::size_t q = static_cast<std::size_t>(square(f.clusterY(c))) * gw + square(f.clusterX(c));
    for (int b = 0; b < kBles; ++b)
      used[q] += (p.lutAt[c * kBles + b] >= 0 || p.regAt[c * kBles + b] >= 0) ? 1 : 0;
    ++clusters[q];
  }
  std::map<int, std::vector<Box>> byShade;
  for (std::size_t q = 0; q < used.size(); ++q) {
    if (clusters[q] == 0) continue;
    const int grey = 245 - static_cast<int>(std::lround(18.0 * used[q] / clusters[q]));
    byShade[grey].push_back({static_cast<double>(q % gw) * s, static_cast<double>(q / gw) * s, s, s});
  }
  for (const auto& [grey, squares] : byShade) pen.shade(grey, squares, detail ? 0.5 : 0.0);

  if (detail) {
    // A mark per BLE used, one path per colour: the SVG renderer's cost is
    // per element, and a picture of a few thousand rectangles took it
    // longer than the placement.
    std::vector<Box> pairs, luts, regs;
    const double bw = (s - 4) / 2, bh = (s - 4) / 4;
    for (int c = 0; c < f.numClusters(); ++c) {
      const double x0 = px(f.clusterX(c)), y0 = py(f.clusterY(c));
      for (int b = 0; b < kBles; ++b) {
        const int pos = c * kBles + b;
        const double bx = x0 + 2 + (b % 2) * bw, by = y0 + 2 + (b / 2) * bh;
        const int lu = p.lutAt[pos], ru = p.regAt[pos];
        if (lu >= 0 && lu == ru) {
          pairs.push_back({bx + 0.5, by + 0.5, bw - 1, bh - 1});
          continue;
        }
        if (lu >= 0) luts.push_back({bx + 0.5, by + 0.5, bw / 2 - 0.5, bh - 1});
        if (ru >= 0) regs.push_back({bx + bw / 2, by + 0.5, bw / 2 - 0.5, bh - 1});
      }
    }
    const std::vector<Box>* kinds[] = {&pairs, &luts, &regs};
    for (int k = 0; k < 3; ++k)
      if (!kinds[k]->empty()) pen.marks(kKindColours[k], *kinds[k]);
  }

  // I/O: one mark per square holding I/O sites, green when one is used.
  std::map<std::size_t, bool> ioSquares;
  for (int i = 0; i < f.numIoSites(); ++i)
    ioSquares[static_cast<std::size_t>(square(f.ioY[i])) * gw + square(f.ioX[i])] |= p.ioAt[i] >= 0;
  for (const auto& [q, any] : ioSquares)
    pen.ioSquare({static_cast<double>(q % gw) * s + s * 0.2, static_cast<double>(q / gw) * s + s * 0.2, s * 0.6, s * 0.6},
                 any);

  // The largest nets, each as a star from its first unit (the driver when it
  // has one: drivers come first) to the squares of the others. A net that
  // reaches more than kMostNetLines squares would cover the picture in
  // lines: its squares get a dot each instead, inside the outline of its box.
  std::vector<int> order(static_cast<std::size_t>(m.numNets()));
  std::iota(order.begin(), order.end(), 0);
  std::partial_sort(order.begin(), order.begin() + shown, order.end(), [&](int a, int b) {
    return m.netSize(a) != m.netSize(b) ? m.netSize(a) > m.netSize(b) : a < b;
  });
  for (int k = 0; k < shown; ++k) {
    const int n = order[k];
    const int drv = m.netUnits[m.netStart[n]];
    const char* colour = kNetColours[k % 6];
    const std::size_t own = static_cast<std::size_t>(square(p.y(drv))) * gw + square(p.x(drv));
    // The squares of the other units, in the order first reached; a load in
    // the driver's own square would be a line of no length.
    std::set<std::size_t> seen = {own};
    std::vector<std::size_t> reached;
    for (int i = m.netStart[n] + 1; i < m.netStart[n + 1]; ++i) {
      const int u = m.netUnits[i];
      const std::size_t q = static_cast<std::size_t>(square(p.y(u))) * gw + square(p.x(u));
      if (seen.insert(q).second) reached.push_back(q);
    }
    const Point from{px(p.x(drv)) + s / 2, py(p.y(drv)) + s / 2};
    if (reached.size() <= static_cast<std::size_t>(kMostNetLines)) {
      std::vector<Point> to;
      for (std::size_t q : reached) to.push_back({static_cast<double>(q % gw) * s + s / 2, static_cast<double>(q / gw) * s + s / 2});
      pen.netLines(colour, std::max(0.3, s / 30), from, to);
    } else {
      // seen holds the driver's square too: the outline is of the whole net.
      std::size_t c0 = gw, c1 = 0, r0 = gh, r1 = 0;
      for (std::size_t q : seen) {
        c0 = std::min(c0, q % gw);
        c1 = std::max(c1, q % gw);
        r0 = std::min(r0, q / gw);
        r1 = std::max(r1, q / gw);
      }
      const Box outline{static_cast<double>(c0) * s + s / 4, static_cast<double>(r0) * s + s / 4,
                        static_cast<double>(c1 - c0) * s + s / 2, static_cast<double>(r1 - r0) * s + s / 2};
      // Each net its own place in a square (a 3 x 3 grid of them), so that
      // the nets' dots sit side by side where they share squares.
      const double dot = std::max(1.0, s / 5);
      const double ox = s * (0.2 + 0.3 * (k % 3)) - dot / 2, oy = s * (0.2 + 0.3 * (k / 3 % 3)) - dot / 2;
      std::vector<Box> dots;
      for (std::size_t q : reached) dots.push_back({static_cast<double>(q % gw) * s + ox, static_cast<double>(q / gw) * s + oy, dot, dot});
      pen.netDots(colour, outline, std::max(1.0, s / 12), std::max(3.0, s / 2), dot / 6, dots);
    }
    pen.driver(from, std::max(1.5, s / 5), colour);
  }

  pen.legend(gh * s + 14, gh * s + 25, oneLine ? keys : 8.0, gh * s + (oneLine ? 25 : 43), caption);
}

}  // namespace

int pictureGrain(int rows, int cols) {
  const int side = std::max(rows, cols) + 2;
  return std::max(1, (side + kPictureSquares - 1) / kPictureSquares);
}

std::string svgPicture(const Placement& p, int nets) {
  SvgPen pen;
  draw(p, nets, pen);
  pen.text += "</svg>\n";
  return std::move(pen.text);
}

bool pngPicture(const Placement& p, int nets, const std::string& png, std::string& error) {
  PngPen pen;
  draw(p, nets, pen);
  return pen.write(png, error);
}

}  // namespace qplace
