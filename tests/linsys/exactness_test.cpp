// The system's results against the literal model of reference.h, bit for
// bit: random symmetric positive definite systems filled in random order,
// with entries set again, set to 0 and to -0.0, reused through ResetMatrix,
// solved from the previous solution or from a start vector handed over with
// SetSolution, and stopped by the pass bound.
#include <linsys/basaplinsys.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "reference.h"

namespace {

struct Write {
  unsigned i, j;
  double v;
};

// A diagonally dominant symmetric matrix (so positive definite), as writes in
// random order: some positions first get a value, 0 or -0.0 that a later
// write replaces, some absent positions get 0, and a few stored ones end at
// 0 or -0.0.
std::vector<Write> RandomSystem(unsigned n, std::mt19937_64& rng) {
  std::uniform_real_distribution<double> weight(0.05, 1.0);
  std::uniform_int_distribution<unsigned> any(0, n - 1), near(1, 9);
  std::vector<Write> early, late;
  std::vector<double> diag(n, 0.0);
  for (unsigned i = 0; i < n; ++i) {
    for (unsigned k = 0, links = 1 + any(rng) % 4; k < links; ++k) {
      const unsigned j = k == 0 && any(rng) % 6 == 0 ? any(rng) : std::min(n - 1, i + near(rng));
      if (j == i) continue;
      const double w = weight(rng);
      late.push_back({i, j, -w});
      diag[i] += w;
      diag[j] += w;
      const unsigned pick = any(rng) % 8;
      if (pick < 3) early.push_back({j, i, pick == 0 ? 0.0 : pick == 1 ? -0.0 : w});
    }
    early.push_back({i, any(rng), 0.0});
  }
  for (unsigned i = 0; i < n; ++i) late.push_back({i, i, diag[i] + (i % 4 == 0 ? weight(rng) : 0.0)});
  std::shuffle(early.begin(), early.end(), rng);
  std::shuffle(late.begin(), late.end(), rng);
  early.insert(early.end(), late.begin(), late.end());
  for (unsigned k = 0; k < n / 10; ++k) {
    const Write& w = late[any(rng) % late.size()];
    if (w.i != w.j) early.push_back({w.i, w.j, k % 2 ? -0.0 : 0.0});
  }
  return early;
}

TEST(Exactness, SolveMatchesTheLiteralIterationBitForBit) {
  for (unsigned seed = 1; seed <= 3; ++seed) {
    std::mt19937_64 rng(seed);
    const unsigned n = 60 + 170 * seed;
    basAP::plQPLinearSystem s(n, 2);
    ref::Matrix m(n);
    ref::Vec x(n, 2.0), b(n);
    std::uniform_real_distribution<double> pull(-50.0, 50.0);
    for (unsigned i = 0; i < n; ++i) s.SetRHSVectorEntry(i, b[i] = pull(rng));
    auto fill = [&] {
      for (const Write& w : RandomSystem(n, rng)) {
        s.SetMatrixEntry(w.i, w.j, w.v);
        m.Set(w.i, w.j, w.v);
      }
    };
    auto expectSame = [&](double tol, unsigned bound, bool ends) {
      s.SetTolerance(tol);
      s.SetMaxIterations(bound);
      bool bounded = false;
      const unsigned passes = m.Solve(x, b, tol, bound, &bounded);
      EXPECT_EQ(s.Solve(), ends);
      EXPECT_EQ(bounded, !ends);
      EXPECT_EQ(s.GetIterations(), passes);
      for (unsigned i = 0; i < n; ++i) ASSERT_EQ(ref::Bits(s.GetSolution(i)), ref::Bits(x[i])) << "x[" << i << "]";
    };
    fill();
    expectSame(seed % 2 ? 1e-18 : 0.1, 100000, true);
    EXPECT_GT(s.GetIterations(), 10u);
    EXPECT_EQ(ref::Bits(s.CalcSolutionError()), ref::Bits(m.SolutionError(x, b)));

    // Reuse: new values on the kept pattern plus new positions, solved from
    // the previous solution; then a run cut short by the bound.
    s.ResetMatrix();
    m.Zero();
    fill();
    expectSame(1e-12, 100000, true);
    s.SetMatrixEntry(0, n - 1, -0.5);
    m.Set(0, n - 1, -0.5);
    expectSame(1e-300, 25, false);
  }
}

// A solve started from a vector given with SetSolution runs exactly as the
// solve that would have started from the same x left by earlier solves: a
// system stopped part way by the pass bound and solved on, against a second
// system built alike from another start value and handed the first one's
// iterate (as a whole vector, then element by element), against the model.
TEST(Exactness, StartVectorContinuesExactlyLikeTheSystemItCameFrom) {
  for (unsigned seed = 11; seed <= 13; ++seed) {
    std::mt19937_64 rng(seed);
    const unsigned n = 300 + 50 * seed;
    const std::vector<Write> writes = RandomSystem(n, rng);
    std::uniform_real_distribution<double> pull(-50.0, 50.0);
    ref::Vec b(n);
    for (double& v : b) v = pull(rng);
    auto build = [&](int start) {
      basAP::plQPLinearSystem s(n, start);
      for (const Write& w : writes) s.SetMatrixEntry(w.i, w.j, w.v);
      for (unsigned i = 0; i < n; ++i) s.SetRHSVectorEntry(i, b[i]);
      s.SetTolerance(1e-14);
      return s;
    };
    ref::Matrix m(n);
    for (const Write& w : writes) m.Set(w.i, w.j, w.v);

    basAP::plQPLinearSystem first = build(1);
    first.SetMaxIterations(4 + seed);
    EXPECT_FALSE(first.Solve());
    ref::Vec mid(n);
    for (unsigned i = 0; i < n; ++i) mid[i] = first.GetSolution(i);

    basAP::plQPLinearSystem whole = build(-9), single = build(5);
    whole.SetSolution(mid);
    for (unsigned i = 0; i < n; ++i) single.SetSolution(i, mid[i]);
    for (unsigned i = 0; i < n; ++i) ASSERT_EQ(ref::Bits(whole.GetSolution(i)), ref::Bits(mid[i]));

    ref::Vec x = mid;
    bool bounded = true;
    const unsigned passes = m.Solve(x, b, 1e-14, 100000, &bounded);
    ASSERT_FALSE(bounded);
    EXPECT_GT(passes, 10u);
    first.SetMaxIterations(100000);
    for (basAP::plQPLinearSystem* s : {&first, &whole, &single}) {
      EXPECT_TRUE(s->Solve());
      EXPECT_EQ(s->GetIterations(), passes);
      for (unsigned i = 0; i < n; ++i) ASSERT_EQ(ref::Bits(s->GetSolution(i)), ref::Bits(x[i])) << "x[" << i << "]";
    }
  }
}

}  // namespace
