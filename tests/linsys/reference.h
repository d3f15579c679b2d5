// A plain, literal model of the linear system for the tests to compare
// against: rows as sorted lists led by the diagonal, vectors rebuilt by every
// operation, sums in the documented order. Slow and obvious on purpose.
#ifndef BASAPLACE_TESTS_LINSYS_REFERENCE_H
#define BASAPLACE_TESTS_LINSYS_REFERENCE_H

#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace ref {

using Vec = std::vector<double>;

inline std::uint64_t Bits(double v) {
  std::uint64_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

// a + b * s elementwise (s = 1 for a plain sum), as a new vector.
inline Vec AddScaled(const Vec& a, const Vec& b, double s, bool subtract = false) {
  Vec c(a.size());
  for (std::size_t i = 0; i < a.size(); ++i) c[i] = subtract ? a[i] - b[i] * s : a[i] + b[i] * s;
  return c;
}
inline double Dot(const Vec& a, const Vec& b) {
  double s = 0;
  for (std::size_t i = 0; i < a.size(); ++i) s = s + a[i] * b[i];
  return s;
}

struct Matrix {
  // rows[i][0] is (i, A(i, i)); then (j, A(i, j)) for j > i, ascending.
  std::vector<std::vector<std::pair<std::uint32_t, double>>> rows;

  explicit Matrix(std::uint32_t n) : rows(n) {
    for (std::uint32_t i = 0; i < n; ++i) rows[i].push_back({i, 0.0});
  }
  double Get(std::uint32_t i, std::uint32_t j) const {
    for (const auto& e : rows[i < j ? i : j])
      if (e.first == (i < j ? j : i)) return e.second;
    return 0.0;
  }
  void Set(std::uint32_t i, std::uint32_t j, double v) {
    auto& row = rows[i < j ? i : j];
    const std::uint32_t c = i < j ? j : i;
    std::size_t p = 0;  // advance while the next element's column is at most c
    while (p + 1 < row.size() && row[p + 1].first <= c) ++p;
    if (row[p].first == c) {
      row[p].second = v;
    } else if (!(v == 0.0)) {
      row.insert(row.begin() + static_cast<std::ptrdiff_t>(p) + 1, {c, v});
    }
  }
  void Zero() {
    for (auto& row : rows)
      for (auto& e : row) e.second = 0.0;
  }
  std::size_t Stored() const {
    std::size_t s = 0;
    for (const auto& row : rows) s += row.size();
    return s;
  }
  Vec Multiply(const Vec& x) const {
    Vec y(x.size(), 0.0);
    for (std::uint32_t i = 0; i < rows.size(); ++i) {
      for (const auto& [j, a] : rows[i]) {
        y[i] = y[i] + a * x[j];
        if (j != i) y[j] = y[j] + a * x[i];
      }
    }
    return y;
  }
  Vec DiagSolve(const Vec& r) const {
    Vec z(r.size());
    for (std::size_t i = 0; i < r.size(); ++i) z[i] = r[i] / rows[i][0].second;
    return z;
  }
  // The conjugate-gradient loop step by step; returns the passes run and
  // sets *bounded when maxPasses stopped it.
  unsigned Solve(Vec& x, const Vec& b, double tolerance, unsigned maxPasses, bool* bounded) const {
    Vec r = AddScaled(b, Multiply(x), 1.0, true);
    Vec p = DiagSolve(r);
    double rho = Dot(r, p);
    unsigned passes = 0;
    *bounded = false;
    while (rho > tolerance) {
      if (passes == maxPasses) return *bounded = true, passes;
      const Vec q = Multiply(p);
      const double alpha = rho / Dot(p, q);
      x = AddScaled(x, p, alpha);
      r = AddScaled(r, q, alpha, true);
      const Vec z = DiagSolve(r);
      const double rho2 = Dot(r, z);
      p = AddScaled(z, p, rho2 / rho);
      rho = rho2;
      ++passes;
    }
    return passes;
  }
  double SolutionError(const Vec& x, const Vec& b) const {
    double total = 0;
    for (std::uint32_t i = 0; i < rows.size(); ++i) {
      double s = 0;
      for (std::uint32_t j = 0; j < rows.size(); ++j) s = s + Get(i, j) * x[j];
      const double d = s - b[i];
      total = total + (d < 0 ? -d : d);
    }
    return total;
  }
};

}  // namespace ref

#endif  // BASAPLACE_TESTS_LINSYS_REFERENCE_H
