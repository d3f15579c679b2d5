// SVG and PNG pictures of a placement.
#include "qplace/picture.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>
#include <numeric>
#include <set>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace qplace {

namespace {

// Net colours, none of them a component kind's.
const char* kNetColours[] = {"#d62728", "#111111", "#e377c2", "#17becf", "#8c564b", "#bcbd22"};

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

}  // namespace

int pictureGrain(int rows, int cols) {
  const int side = std::max(rows, cols) + 2;
  return std::max(1, (side + kPictureSquares - 1) / kPictureSquares);
}

std::string svgPicture(const Placement& p, int nets) {
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

  std::string out;
  appendf(out,
          "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%.0f\" height=\"%.0f\" "
          "viewBox=\"0 0 %.1f %.1f\">\n<rect width=\"100%%\" height=\"100%%\" fill=\"white\"/>\n",
          w, h, w, h);

  // Shading: BLEs used and clusters per square, then one path per shade.
  std::vector<int> used(static_cast<std::size_t>(gw) * gh, 0), clusters(used.size(), 0);
  for (int c = 0; c < f.numClusters(); ++c) {
    const std::size_t q = static_cast<std::size_t>(square(f.clusterY(c))) * gw + square(f.clusterX(c));
    for (int b = 0; b < kBles; ++b)
      used[q] += (p.lutAt[c * kBles + b] >= 0 || p.regAt[c * kBles + b] >= 0) ? 1 : 0;
    ++clusters[q];
  }
  std::map<int, std::string> byShade;
  for (std::size_t q = 0; q < used.size(); ++q) {
    if (clusters[q] == 0) continue;
    const int grey = 245 - static_cast<int>(std::lround(18.0 * used[q] / clusters[q]));
    appendf(byShade[grey], "M%.2f %.2fh%.2fv%.2fh%.2fz", (q % gw) * s, (q / gw) * s, s, s, -s);
  }
  for (const auto& [grey, d] : byShade) {
    appendf(out, "<path fill=\"rgb(%d,%d,%d)\" stroke=\"#bbb\" stroke-width=\"%.2f\" d=\"", grey, grey, grey,
            detail ? 0.5 : 0.0);
    out += d;
    out += "\"/>\n";
  }

  if (detail) {
    // A mark per BLE used, one path per colour: the renderer's cost is per
    // element, and a picture of a few thousand rectangles took it longer
    // than the placement.
    std::string pairs, luts, regs;
    const double bw = (s - 4) / 2, bh = (s - 4) / 4;
    auto mark = [](std::string& d, double x, double y, double mw, double mh) {
      appendf(d, "M%.2f %.2fh%.2fv%.2fh%.2fz", x, y, mw, mh, -mw);
    };
    for (int c = 0; c < f.numClusters(); ++c) {
      const double x0 = px(f.clusterX(c)), y0 = py(f.clusterY(c));
      for (int b = 0; b < kBles; ++b) {
        const int pos = c * kBles + b;
        const double bx = x0 + 2 + (b % 2) * bw, by = y0 + 2 + (b / 2) * bh;
        const int lu = p.lutAt[pos], ru = p.regAt[pos];
        if (lu >= 0 && lu == ru) {
          mark(pairs, bx + 0.5, by + 0.5, bw - 1, bh - 1);
          continue;
        }
        if (lu >= 0) mark(luts, bx + 0.5, by + 0.5, bw / 2 - 0.5, bh - 1);
        if (ru >= 0) mark(regs, bx + bw / 2, by + 0.5, bw / 2 - 0.5, bh - 1);
      }
    }
    for (const auto& [colour, d] : {std::pair<const char*, const std::string&>{"#8e44ad", pairs}, {"#2e86de", luts},
                                    {"#f39c12", regs}})
      if (!d.empty()) {
        appendf(out, "<path fill=\"%s\" d=\"", colour);
        out += d;
        out += "\"/>\n";
      }
  }

  // I/O: one mark per square holding I/O sites, green when one is used.
  std::map<std::size_t, bool> ioSquares;
  for (int i = 0; i < f.numIoSites(); ++i)
    ioSquares[static_cast<std::size_t>(square(f.ioY[i])) * gw + square(f.ioX[i])] |= p.ioAt[i] >= 0;
  for (const auto& [q, any] : ioSquares)
    appendf(out,
            "<rect x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\" fill=\"%s\" stroke=\"#999\" "
            "stroke-width=\"0.3\"/>\n",
            (q % gw) * s + s * 0.2, (q / gw) * s + s * 0.2, s * 0.6, s * 0.6, any ? "#27ae60" : "#eee");

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
    const double dx = px(p.x(drv)) + s / 2, dy = py(p.y(drv)) + s / 2;
    if (reached.size() <= static_cast<std::size_t>(kMostNetLines)) {
      appendf(out, "<path fill=\"none\" stroke=\"%s\" stroke-width=\"%.2f\" stroke-opacity=\"0.4\" d=\"", colour,
              std::max(0.3, s / 30));
      for (std::size_t q : reached)
        appendf(out, "M%.1f %.1fL%.1f %.1f", dx, dy, (q % gw) * s + s / 2, (q / gw) * s + s / 2);
    } else {
      // seen holds the driver's square too: the outline is of the whole net.
      std::size_t c0 = gw, c1 = 0, r0 = gh, r1 = 0;
      for (std::size_t q : seen) {
        c0 = std::min(c0, q % gw);
        c1 = std::max(c1, q % gw);
        r0 = std::min(r0, q / gw);
        r1 = std::max(r1, q / gw);
      }
      appendf(out,
              "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"none\" stroke=\"%s\" "
              "stroke-width=\"%.2f\" stroke-dasharray=\"%.1f\"/>\n",
              c0 * s + s / 4, r0 * s + s / 4, (c1 - c0) * s + s / 2, (r1 - r0) * s + s / 2, colour,
              std::max(1.0, s / 12), std::max(3.0, s / 2));
      // Each net its own place in a square (a 3 x 3 grid of them), so that
      // the nets' dots sit side by side where they share squares.
      const double dot = std::max(1.0, s / 5);
      const double ox = s * (0.2 + 0.3 * (k % 3)) - dot / 2, oy = s * (0.2 + 0.3 * (k / 3 % 3)) - dot / 2;
      appendf(out, "<path fill=\"%s\" stroke=\"white\" stroke-width=\"%.2f\" d=\"", colour, dot / 6);
      for (std::size_t q : reached)
        appendf(out, "M%.1f %.1fh%.1fv%.1fh%.1fz", (q % gw) * s + ox, (q / gw) * s + oy, dot, dot, -dot);
    }
    out += "\"/>\n";
    appendf(out, "<circle cx=\"%.2f\" cy=\"%.2f\" r=\"%.2f\" fill=\"%s\"/>\n", dx, dy, std::max(1.5, s / 5), colour);
  }

  appendf(out,
          "<g font-family=\"sans-serif\" font-size=\"13\">"
          "<rect x=\"8\" y=\"%.1f\" width=\"12\" height=\"12\" fill=\"#8e44ad\"/><text x=\"24\" y=\"%.1f\">LUT+register</text>"
          "<rect x=\"130\" y=\"%.1f\" width=\"12\" height=\"12\" fill=\"#2e86de\"/><text x=\"146\" y=\"%.1f\">LUT</text>"
          "<rect x=\"190\" y=\"%.1f\" width=\"12\" height=\"12\" fill=\"#f39c12\"/><text x=\"206\" y=\"%.1f\">register</text>"
          "<rect x=\"280\" y=\"%.1f\" width=\"12\" height=\"12\" fill=\"#27ae60\"/><text x=\"296\" y=\"%.1f\">I/O</text>"
          "<text x=\"%.0f\" y=\"%.1f\">%s</text></g>\n",
          gh * s + 14, gh * s + 25, gh * s + 14, gh * s + 25, gh * s + 14, gh * s + 25, gh * s + 14, gh * s + 25,
          oneLine ? keys : 8.0, gh * s + (oneLine ? 25 : 43), caption.c_str());
  out += "</svg>\n";
  return out;
}

bool renderPng(const std::string& svg, const std::string& png, std::string& error) {
  // rsvg-convert runs directly, not through a shell: any file name works.
  int errPipe[2];
  if (::pipe2(errPipe, O_CLOEXEC) != 0) {
    error = std::string("cannot run rsvg-convert: ") + std::strerror(errno);
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
  const char* argv[] = {"rsvg-convert", "-o", png.c_str(), svg.c_str(), nullptr};
  pid_t pid = -1;
  const int rc = ::posix_spawnp(&pid, "rsvg-convert", &actions, nullptr, const_cast<char* const*>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(errPipe[1]);
  if (rc != 0) {
    ::close(errPipe[0]);
    error = rc == ENOENT ? "rsvg-convert is not installed (Debian package librsvg2-bin)"
                         : std::string("cannot run rsvg-convert: ") + std::strerror(rc);
    return false;
  }
  // Its error output, the first 4 kB kept, read to the end so it never blocks.
  std::string said;
  char buf[4096];
  for (;;) {
    const ssize_t n = ::read(errPipe[0], buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    if (said.size() < 4096) said.append(buf, static_cast<std::size_t>(n));
  }
  ::close(errPipe[0]);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) {
      error = std::string("rsvg-convert: cannot wait for it: ") + std::strerror(errno);
      return false;
    }
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
  said = said.substr(0, said.find('\n'));
  if (WIFEXITED(status))
    error = "rsvg-convert failed with exit status " + std::to_string(WEXITSTATUS(status));
  else
    error = "rsvg-convert was ended by signal " + std::to_string(WTERMSIG(status));
  if (!said.empty()) error += ": " + said;
  return false;
}

}  // namespace qplace
