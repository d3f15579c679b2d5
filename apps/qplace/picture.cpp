// SVG and PNG pictures of a placement.
#include "qplace/picture.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <numeric>

namespace qplace {

namespace {

// Net colours, none of them a component kind's.
const char* kNetColours[] = {"#d62728", "#111111", "#e377c2", "#17becf", "#8c564b", "#bcbd22"};

}  // namespace

bool writeSvg(const Placement& p, const std::string& path, int nets, std::string& error) {
  const Fabric& f = *p.fabric;
  const Model& m = *p.model;
  FILE* out = std::fopen(path.c_str(), "w");
  if (out == nullptr) {
    error = "cannot write " + path;
    return false;
  }
  const int gw = f.cols + 2, gh = f.rows + 2;
  const double s = std::clamp(1100.0 / std::max(gw, gh), 1.0, 40.0);
  const double legend = 40;
  const double w = gw * s, h = gh * s + legend;
  std::fprintf(out,
               "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%.0f\" height=\"%.0f\" "
               "viewBox=\"0 0 %.1f %.1f\">\n<rect width=\"100%%\" height=\"100%%\" fill=\"white\"/>\n",
               w, h, w, h);
  // Device position (row, col) to the top-left corner of its square; row 0 on top.
  auto px = [&](double col) { return col * s; };
  auto py = [&](double row) { return row * s; };
  const bool detail = s >= 12;
  for (int c = 0; c < f.numClusters(); ++c) {
    int used = 0;
    for (int b = 0; b < kBles; ++b)
      used += (p.lutAt[c * kBles + b] >= 0 || p.regAt[c * kBles + b] >= 0) ? 1 : 0;
    const int grey = 245 - used * 18;
    const double x0 = px(f.clusterX(c)), y0 = py(f.clusterY(c));
    std::fprintf(out, "<rect x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\" fill=\"rgb(%d,%d,%d)\" stroke=\"#bbb\" stroke-width=\"%.2f\"/>\n",
                 x0, y0, s, s, grey, grey, grey, detail ? 0.5 : 0.0);
    if (!detail) continue;
    const double bw = (s - 4) / 2, bh = (s - 4) / 4;
    for (int b = 0; b < kBles; ++b) {
      const int pos = c * kBles + b;
      const double bx = x0 + 2 + (b % 2) * bw, by = y0 + 2 + (b / 2) * bh;
      const int lu = p.lutAt[pos], ru = p.regAt[pos];
      if (lu >= 0 && lu == ru) {
        std::fprintf(out, "<rect x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\" fill=\"#8e44ad\"/>\n",
                     bx + 0.5, by + 0.5, bw - 1, bh - 1);
        continue;
      }
      if (lu >= 0)
        std::fprintf(out, "<rect x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\" fill=\"#2e86de\"/>\n",
                     bx + 0.5, by + 0.5, bw / 2 - 0.5, bh - 1);
      if (ru >= 0)
        std::fprintf(out, "<rect x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\" fill=\"#f39c12\"/>\n",
                     bx + bw / 2, by + 0.5, bw / 2 - 0.5, bh - 1);
    }
  }
  for (int i = 0; i < f.numIoSites(); ++i) {
    const bool used = p.ioAt[i] >= 0;
    std::fprintf(out, "<rect x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\" fill=\"%s\" stroke=\"#999\" stroke-width=\"0.3\"/>\n",
                 px(f.ioX[i]) + s * 0.2, py(f.ioY[i]) + s * 0.2, s * 0.6, s * 0.6, used ? "#27ae60" : "#eee");
  }
  // The largest nets, each as a star from its first unit (the driver when it
  // has one: drivers come first).
  std::vector<int> order(static_cast<std::size_t>(m.numNets()));
  std::iota(order.begin(), order.end(), 0);
  const int shown = std::min(nets, m.numNets());
  std::partial_sort(order.begin(), order.begin() + shown, order.end(), [&](int a, int b) {
    return m.netSize(a) != m.netSize(b) ? m.netSize(a) > m.netSize(b) : a < b;
  });
  for (int k = 0; k < shown; ++k) {
    const int n = order[k];
    const int drv = m.netUnits[m.netStart[n]];
    const char* colour = kNetColours[k % 6];
    std::fprintf(out, "<path fill=\"none\" stroke=\"%s\" stroke-width=\"%.2f\" stroke-opacity=\"0.4\" d=\"",
                 colour, std::max(0.3, s / 30));
    const double dx = px(p.x(drv)) + s / 2, dy = py(p.y(drv)) + s / 2;
    for (int i = m.netStart[n] + 1; i < m.netStart[n + 1]; ++i) {
      const int u = m.netUnits[i];
      std::fprintf(out, "M%.1f %.1fL%.1f %.1f", dx, dy, px(p.x(u)) + s / 2, py(p.y(u)) + s / 2);
    }
    std::fprintf(out, "\"/>\n");
    std::fprintf(out, "<circle cx=\"%.2f\" cy=\"%.2f\" r=\"%.2f\" fill=\"%s\"/>\n", dx, dy, std::max(1.5, s / 5),
                 colour);
  }
  std::fprintf(out,
               "<g font-family=\"sans-serif\" font-size=\"13\">"
               "<rect x=\"8\" y=\"%.1f\" width=\"12\" height=\"12\" fill=\"#8e44ad\"/><text x=\"24\" y=\"%.1f\">LUT+register</text>"
               "<rect x=\"130\" y=\"%.1f\" width=\"12\" height=\"12\" fill=\"#2e86de\"/><text x=\"146\" y=\"%.1f\">LUT</text>"
               "<rect x=\"190\" y=\"%.1f\" width=\"12\" height=\"12\" fill=\"#f39c12\"/><text x=\"206\" y=\"%.1f\">register</text>"
               "<rect x=\"280\" y=\"%.1f\" width=\"12\" height=\"12\" fill=\"#27ae60\"/><text x=\"296\" y=\"%.1f\">I/O</text>"
               "<text x=\"340\" y=\"%.1f\">%d x %d clusters, shade = BLEs used; lines: the %d largest nets</text></g>\n",
               gh * s + 14, gh * s + 25, gh * s + 14, gh * s + 25, gh * s + 14, gh * s + 25, gh * s + 14,
               gh * s + 25, gh * s + 25, f.rows, f.cols, shown);
  std::fprintf(out, "</svg>\n");
  const bool ok = std::fclose(out) == 0;
  if (!ok) error = "cannot write " + path;
  return ok;
}

bool renderPng(const std::string& svg, const std::string& png, std::string& error) {
  const std::string cmd = "rsvg-convert -o '" + png + "' '" + svg + "' 2>/dev/null";
  if (svg.find('\'') != std::string::npos || png.find('\'') != std::string::npos) {
    error = "a file name with a quote";
    return false;
  }
  const int rc = std::system(cmd.c_str());
  if (rc != 0) {
    error = "rsvg-convert failed or is missing (Debian package librsvg2-bin)";
    return false;
  }
  return true;
}

}  // namespace qplace
