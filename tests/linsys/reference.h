// A plain, literal model of the linear system for the tests to compare
// against: entries in an ordered map, vectors rebuilt by every operation,
// sums in the documented order. Slow and obvious on purpose.
#ifndef BASAPLACE_TESTS_LINSYS_REFERENCE_H
#define BASAPLACE_TESTS_LINSYS_REFERENCE_H

#include <cstdint>
#include <cstring>
#include <map>
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
  // A(i, j) under the key (min(i, j), max(i, j)), so that key order is row
  // order and, within a row, the diagonal and then the upper entries by
  // column: the order of the product.
  std::map<std::pair<std::uint32_t, std::uint32_t>, double> entries;
  std::uint32_t n;

  explicit Matrix(std::uint32_t size) : n(size) {
    for (std::uint32_t i = 0; i < n; ++i) entries[{i, i}] = 0.0;
  }
  static std::pair<std::uint32_t, std::uint32_t> Key(std::uint32_t i, std::uint32_t j) {
    return {i < j ? i : j, i < j ? j : i};
  }
  double Get(std::uint32_t i, std::uint32_t j) const {
    const auto e = entries.find(Key(i, j));
    return e == entries.end() ? 0.0 : e->second;
  }
  // A stored entry takes any value; an absent one only a value other than 0.
  void Set(std::uint32_t i, std::uint32_t j, double v) {
    const auto e = entries.find(Key(i, j));
    if (e != entries.end()) e->second = v;
    else if (!(v == 0.0)) entries[Key(i, j)] = v;
  }
  void Zero() {
    for (auto& e : entries) e.second = 0.0;
  }
  std::size_t Stored() const { return entries.size(); }
  Vec Multiply(const Vec& x) const {
    Vec y(x.size(), 0.0);
    for (const auto& [key, a] : entries) {
      const auto [i, j] = key;
      y[i] = y[i] + a * x[j];
      if (j != i) y[j] = y[j] + a * x[i];
    }
    return y;
  }
  Vec DiagSolve(const Vec& r) const {
    Vec z(r.size());
    for (std::uint32_t i = 0; i < r.size(); ++i) z[i] = r[i] / entries.at({i, i});
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
    for (std::uint32_t i = 0; i < n; ++i) {
      double s = 0;
      for (std::uint32_t j = 0; j < n; ++j) s = s + Get(i, j) * x[j];
      const double d = s - b[i];
      total = total + (d < 0 ? -d : d);
    }
    return total;
  }
};

}  // namespace ref

#endif  // BASAPLACE_TESTS_LINSYS_REFERENCE_H
