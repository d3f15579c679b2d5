#include <linsys/basaplinsys.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include <unistd.h>

namespace {

using basAP::plQPLinearSystem;

// What PrintBase(mode, ...) writes on a fresh file stream (Print for mode -1).
// The file is the process's own: CTest runs this file's tests side by side.
std::string Printed(plQPLinearSystem& s, int mode) {
  const std::string path = ::testing::TempDir() + "linsys_print_" + std::to_string(::getpid()) + ".txt";
  {
    std::ofstream os(path);
    mode < 0 ? s.Print(os) : s.PrintBase(mode, os);
  }
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  std::remove(path.c_str());
  return text.str();
}

std::string Frame(unsigned n, const std::string& diag, const std::string& rhs, const std::string& sol) {
  const std::string d62(62, '-'), d63(63, '-');
  return "\n" + d62 + "\nDiagnol n = " + std::to_string(n) + " : \n" + diag + "\n" + d62 + "\nRHS : \n" + rhs + "\n" +
         d63 + "\nSolution :\n" + sol + "\n" + d63 + "\n";
}

TEST(Print, TwoByTwoSampleAndItsResidual) {
  plQPLinearSystem s(2, 0);
  s.SetMatrixDiagEntry(0, 2.0);
  s.SetMatrixDiagEntry(1, 2.0);
  s.SetMatrixEntry(0, 1, -1.0);
  s.SetRHSVectorEntry(0, 1.0);
  s.SetRHSVectorEntry(1, 1.0);
  EXPECT_EQ(s.CalcSolutionError(), 2.0);  // at x = (0, 0)
  ASSERT_TRUE(s.Solve());                 // x = (1, 1) exactly
  EXPECT_EQ(s.CalcSolutionError(), 0.0);

  const std::string tail = Frame(2, " 2 2", " 1 1", " 1 1");
  EXPECT_EQ(Printed(s, -1), "\n| 2 -1  |        | 1 |        | 1 |\n| -1 2  |        | 1 |        | 1 |" + tail);
  EXPECT_EQ(Printed(s, 0), Printed(s, -1));
  EXPECT_EQ(Printed(s, 1), "\n| 2 -1  |\n| -1 2  |" + tail);
  EXPECT_EQ(Printed(s, 5), Printed(s, 1));
}

TEST(Print, EmptyAndTwentyOneRowSystems) {
  plQPLinearSystem none(0, 0);
  EXPECT_EQ(Printed(none, 0), Frame(0, "", "", ""));
  EXPECT_EQ(none.CalcSolutionError(), 0.0);

  plQPLinearSystem s(21, 0);
  std::string diag, rhs, sol, first = "\n| 1 ";
  for (unsigned i = 0; i < 21; ++i) {
    s.SetMatrixDiagEntry(i, i + 1);
    s.SetRHSVectorEntry(i, 0.5 * i);
    const std::string sep = i == 20 ? "\n " : " ";  // twenty values to a line
    std::ostringstream d, r;
    d << sep << i + 1.0;
    r << sep << 0.5 * i;
    diag += d.str();
    rhs += r.str();
    sol += sep + "0";
    if (i > 0) first += "0 ";
  }
  const std::string text = Printed(s, 1);
  const std::string tail = Frame(21, diag, rhs, sol);
  ASSERT_GT(text.size(), tail.size());
  EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
  first += " |\n| 0 2 ";  // 21 numbers a row
  EXPECT_EQ(text.substr(0, first.size()), first);
}

}  // namespace
