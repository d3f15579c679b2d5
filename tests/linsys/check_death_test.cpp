// Every index and size check ends the process through the runtime's
// assertion handler, quoting its expression and its source name.
#include <linsys/basaplinsys.h>

#include <gtest/gtest.h>

#include <cstring>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using basAP::SparSymMat;
using basAP::Tuple;

// The handler's line: "<source>:<line>: <function>: Assertion `<expr>' failed."
std::string Failure(const std::string& source, const std::string& expr) {
  std::string escaped;
  for (char c : expr) {
    if (std::strchr("()[]+.*?|{}^$\\", c) != nullptr) escaped += '\\';
    escaped += c;
  }
  return "env/fpga/base/place/basaplace/i/" + source + ":[0-9]+: .*Assertion `" + escaped + "' failed";
}

const std::string kElement = Failure("basaplctuple", "i < Size ()");
const std::string kTupleSizes = Failure("basaplctuple", "Size () == that.Size ()");
const std::string kDotSizes = Failure("basaplctuple", "that.Size () == Size ()");
const std::string kPosition = Failure("basaplcmatrix", "i < Size () && j < Size ()");
const std::string kStartSize = Failure("basaplctuple", "start.size () == Size ()");
const std::string kProductSizes = Failure("basaplcmatrix", "Size () == x.Size () && Size () == result.Size ()");

using CheckDeathTest = ::testing::Test;

// One call for each check: elements and sizes of vectors, positions and
// sizes of the matrix, reached directly and from inside the solves, the
// system's own calls, which pass their indices on, and rows given whole,
// refused before anything changes.
TEST_F(CheckDeathTest, TupleChecks) {
  Tuple<double> three(3, 1.0), two(2, 1.0);
  EXPECT_DEATH(three[3] = 0.0, kElement);
  EXPECT_DEATH((void)(three + two), kTupleSizes);
  EXPECT_DEATH((void)three.Dot(two), kDotSizes);
}

TEST_F(CheckDeathTest, MatrixChecks) {
  SparSymMat<double> m(3, 1.0);
  Tuple<double> three(3, 1.0), two(2, 1.0), four(4, 1.0);
  EXPECT_DEATH((void)m.GetEntry(0, 3), kPosition);
  EXPECT_DEATH(m.SetEntry(9, 9, 1.0), kPosition);
  EXPECT_DEATH(m.Multiply(three, two), kProductSizes);
  EXPECT_DEATH(m.DiagSolve(four, four), kPosition);  // the diagonal read of row 3
  EXPECT_DEATH(m.DiagSolve(three, two), kElement);   // z[2]
  EXPECT_DEATH(m.SolvePCG(two, three, 10), kProductSizes);
  EXPECT_DEATH(m.SolvePCG(three, two, 10), kTupleSizes);
}

TEST_F(CheckDeathTest, SystemChecks) {
  basAP::plQPLinearSystem s(4, 0), other(5, 0);
  std::vector<std::pair<unsigned int, basAP::plFloat64>> row = {{1, 1.0}, {4, 1.0}};
  EXPECT_DEATH(s.SetMatrixDiagEntry(4, 1.0), kPosition);
  EXPECT_DEATH(s.SetMatrixRow(0, row), kPosition);
  EXPECT_DEATH(s.SetRHSVectorEntry(4, 1.0), kElement);
  EXPECT_DEATH((void)s.GetSolution(4), kElement);
  EXPECT_DEATH(s.SetSolution(std::vector<double>(5, 1.0)), kStartSize);
  EXPECT_DEATH(s = other, kTupleSizes);
}

TEST_F(CheckDeathTest, RowChecks) {
  basAP::plQPLinearSystem s(4, 0);
  const std::vector<double> diag(4, 1.0);
  const std::vector<std::uint32_t> start{0, 1, 1, 1, 1};
  auto matrix = [](const std::string& expr) { return Failure("basaplcmatrix", expr); };
  EXPECT_DEATH(s.SetMatrixRows(std::vector<double>(3, 1.0), start, {2}, {1.0}),
               matrix("diag.size () == Size () && rowStart.size () == Size () + 1u"));
  EXPECT_DEATH(s.SetMatrixRows(diag, start, {2, 3}, {1.0, 1.0}),
               matrix("rowStart.back () == cols.size () && cols.size () == vals.size ()"));
  const std::string column = matrix("cols[k] > i && cols[k] < Size ()");
  EXPECT_DEATH(s.SetMatrixRows(diag, start, {0}, {1.0}), column);            // on the diagonal
  EXPECT_DEATH(s.SetMatrixRows(diag, {0, 0, 1, 1, 1}, {0}, {1.0}), column);  // below the diagonal
  EXPECT_DEATH(s.SetMatrixRows(diag, {0, 2, 2, 2, 2}, {3, 2}, {1.0, 1.0}), matrix("cols[k - 1] < cols[k]"));
  EXPECT_DEATH(s.SetMatrixRows(diag, {0, 2, 1, 2, 2}, {1, 2}, {1.0, 1.0}), matrix("rowStart[i] <= rowStart[i + 1]"));
  EXPECT_DEATH(s.SetMatrixRows(diag, {1, 1, 1, 1, 1}, {2}, {1.0}), matrix("rowStart[0] == 0"));
}

}  // namespace
