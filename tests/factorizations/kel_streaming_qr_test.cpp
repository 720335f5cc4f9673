// KelStreamingQR against NIST's certified linear regressions (estimates, standard errors and
// residual standard deviation from T alone, solved in long double), against a QR of all the rows
// at once, under every split of the rows into blocks and every order of merging, at scales of
// 10^+-150, and its refusals.
#include "factorizations/kel_streaming_qr.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "factorizations/kel_tall_qr.h"
#include "kel_nist_linear.h"
#include "kel_test_support.h"
#include "kelmath.h"

namespace {

// A regression data file: "m n", m rows of F, then "m" and the m responses. Rows are returned as
// the accumulator takes them: F's row followed by its y.
struct Problem {
  int rows = 0;
  int columns = 0;
  std::vector<double> values;  // rows x (columns + 1)
};

Problem ReadProblem(const std::string& name) {
  std::ifstream in = kel_test::OpenReference("nist/linear/" + name + ".lrg");
  Problem p;
  in >> p.rows >> p.columns;
  const size_t width = static_cast<size_t>(p.columns) + 1;
  p.values.assign(static_cast<size_t>(p.rows) * width, 0.0);
  for (int i = 0; i < p.rows; ++i)
    for (int j = 0; j < p.columns; ++j) in >> p.values[i * width + j];
  int count = 0;
  in >> count;
  for (int i = 0; i < count; ++i) in >> p.values[i * width + p.columns];
  return p;
}

using kel_nist_linear::Certified;
using kel_nist_linear::ReadCertified;

struct Fit {
  std::vector<double> estimates, standardErrors;
  double residualSd = 0.0;
};

// b = R^-1 Q^T y and se_j = s |row j of R^-1| with s^2 = |r|^2 / (m - n), in long double.
Fit SolveTriangle(const KelStreamingQR& qr) {
  const int n = qr.Columns();
  const KelMatrix R = qr.R();
  const KelVector c = qr.TransformedResponse();
  std::vector<std::vector<long double>> inverse(n, std::vector<long double>(n, 0.0L));
  for (int j = n - 1; j >= 0; --j) {
    inverse[j][j] = 1.0L / R(j + 1, j + 1);
    for (int i = j - 1; i >= 0; --i) {
      long double s = 0.0L;
      for (int k = i + 1; k <= j; ++k)
        s += static_cast<long double>(R(i + 1, k + 1)) * inverse[k][j];
      inverse[i][j] = -s / R(i + 1, i + 1);
    }
  }
  Fit fit;
  const long double s = qr.ResidualNorm() / std::sqrt(static_cast<long double>(qr.Rows() - n));
  fit.residualSd = static_cast<double>(s);
  for (int i = 0; i < n; ++i) {
    long double b = 0.0L, length = 0.0L;
    for (int k = i; k < n; ++k) {
      b += inverse[i][k] * c(k + 1);
      length += inverse[i][k] * inverse[i][k];
    }
    fit.estimates.push_back(static_cast<double>(b));
    fit.standardErrors.push_back(static_cast<double>(s * std::sqrt(length)));
  }
  return fit;
}

KelStreamingQR Accumulate(const Problem& p, long long blockRows) {
  KelStreamingQR qr(p.columns);
  const size_t width = static_cast<size_t>(p.columns) + 1;
  for (long long first = 0; first < p.rows; first += blockRows)
    qr.AddRows(std::min<long long>(blockRows, p.rows - first), p.values.data() + first * width);
  return qr;
}

// The largest difference between two triangles, relative to the largest element of the first.
double TriangleDifference(const KelMatrix& a, const KelMatrix& b) {
  double largest = 0.0, difference = 0.0;
  for (int i = 1; i <= a.Rows(); ++i)
    for (int j = 1; j <= a.Columns(); ++j) {
      largest = std::max(largest, std::fabs(a(i, j)));
      difference = std::max(difference, std::fabs(a(i, j) - b(i, j)));
    }
  return difference / largest;
}

using kel_nist_linear::kProblems;
using kel_nist_linear::NistProblem;

// The targets are those of the in-memory fit of the same files.
class StreamingNist : public ::testing::TestWithParam<NistProblem> {};

TEST_P(StreamingNist, CertifiedValuesFromBlocksOfEverySize) {
  const NistProblem problem = GetParam();
  const Problem p = ReadProblem(problem.name);
  const Certified certified = ReadCertified(problem.name);
  ASSERT_EQ(static_cast<size_t>(p.columns), certified.parameters.size());
  for (long long blockRows : {1LL, 3LL, 7LL, static_cast<long long>(p.rows)}) {
    const KelStreamingQR qr = Accumulate(p, blockRows);
    EXPECT_EQ(qr.Rows(), p.rows);
    const Fit fit = SolveTriangle(qr);
    for (int j = 0; j < p.columns; ++j) {
      EXPECT_GE(kel_test::LogRelativeError(fit.estimates[j], certified.parameters[j]),
                problem.minimumLre)
          << problem.name << " blocks of " << blockRows << ", parameter " << j + 1;
      EXPECT_GE(kel_test::LogRelativeError(fit.standardErrors[j], certified.standardErrors[j]),
                problem.minimumLre)
          << problem.name << " blocks of " << blockRows << ", standard error " << j + 1;
    }
    EXPECT_GE(kel_test::LogRelativeError(fit.residualSd, certified.residualSd), problem.minimumLre)
        << problem.name << " blocks of " << blockRows;
  }
}

INSTANTIATE_TEST_SUITE_P(LinearProblems, StreamingNist, ::testing::ValuesIn(kProblems),
                         [](const ::testing::TestParamInfo<NistProblem>& info) {
                           return std::string(info.param.name);
                         });

// Rows of a well-conditioned random design with an offset column, and its response.
Problem RandomProblem(int rows, int columns, unsigned seed) {
  std::mt19937_64 engine(seed);
  std::normal_distribution<double> normal;
  Problem p;
  p.rows = rows;
  p.columns = columns;
  const size_t width = static_cast<size_t>(columns) + 1;
  p.values.resize(static_cast<size_t>(rows) * width);
  for (int i = 0; i < rows; ++i) {
    double y = 0.0;
    for (int j = 0; j < columns; ++j) {
      const double x = j == 0 ? 1.0 : 100.0 + normal(engine);
      p.values[i * width + j] = x;
      y += (j + 1) * x;
    }
    p.values[i * width + columns] = y + normal(engine);
  }
  return p;
}

TEST(StreamingQR, TriangleOfAllRowsAtOnceWhateverTheSplitOrMergeOrder) {
  const Problem p = RandomProblem(1000, 6, 7);
  // The reference: the library's Householder QR of [F y] held whole.
  KelMatrix whole(p.rows, p.columns + 1);
  std::copy(p.values.begin(), p.values.end(), whole.Data());
  KelTallQR reference(&whole);
  KelMatrix expected = reference.R();
  for (int i = 1; i <= expected.Rows(); ++i)
    if (expected(i, i) < 0.0)
      for (int j = i; j <= expected.Columns(); ++j) expected(i, j) = -expected(i, j);

  const KelStreamingQR single = Accumulate(p, p.rows);
  EXPECT_LT(TriangleDifference(expected, single.Triangle()), 1e-13);
  for (long long blockRows : {1LL, 13LL, 999LL})
    EXPECT_LT(TriangleDifference(expected, Accumulate(p, blockRows).Triangle()), 1e-13)
        << "blocks of " << blockRows;

  // Four parts (one empty) merged as a balanced tree and as a chain from the other end.
  const size_t width = static_cast<size_t>(p.columns) + 1;
  const long long bounds[] = {0, 250, 250, 731, 1000};
  std::vector<KelStreamingQR> parts;
  for (int k = 0; k < 4; ++k) {
    parts.emplace_back(p.columns);
    parts.back().AddRows(bounds[k + 1] - bounds[k], p.values.data() + bounds[k] * width);
  }
  KelStreamingQR left = parts[0], right = parts[2];
  left.Merge(parts[1]);
  right.Merge(parts[3]);
  left.Merge(right);
  EXPECT_EQ(left.Rows(), p.rows);
  EXPECT_LT(TriangleDifference(expected, left.Triangle()), 1e-13);
  KelStreamingQR chain = parts[3];
  for (int k = 2; k >= 0; --k) chain.Merge(parts[k]);
  EXPECT_LT(TriangleDifference(expected, chain.Triangle()), 1e-13);
  // Merging an accumulator with itself counts its rows twice: T scales by sqrt(2).
  KelStreamingQR doubled = single;
  doubled.Merge(doubled);
  EXPECT_EQ(doubled.Rows(), 2 * p.rows);
  KelMatrix scaledOnce = single.Triangle();
  for (int i = 1; i <= scaledOnce.Rows(); ++i)
    for (int j = 1; j <= scaledOnce.Columns(); ++j) scaledOnce(i, j) *= std::sqrt(2.0);
  EXPECT_LT(TriangleDifference(scaledOnce, doubled.Triangle()), 1e-13);
}

// Scales of about 10^150 and 10^-150, by powers of two so that the data scaled are exactly the
// data: the results must be the unit ones scaled, to a few units of rounding.
TEST(StreamingQR, ScaleFreeAt10ToThePlusAndMinus150) {
  const Problem p = RandomProblem(200, 4, 11);
  const Fit unit = SolveTriangle(Accumulate(p, 17));
  for (int exponent : {498, -498}) {
    // The odd columns of F and y multiplied by 2^exponent, the even ones divided by it: b_j then
    // scales by y's factor over x_j's.
    Problem scaled = p;
    const size_t width = static_cast<size_t>(p.columns) + 1;
    std::vector<double> factor(width);
    for (size_t j = 0; j < width; ++j)
      factor[j] = std::ldexp(1.0, j == width - 1 || j % 2 == 0 ? exponent : -exponent);
    for (int i = 0; i < p.rows; ++i)
      for (size_t j = 0; j < width; ++j) scaled.values[i * width + j] *= factor[j];
    const Fit fit = SolveTriangle(Accumulate(scaled, 17));
    for (int j = 0; j < p.columns; ++j) {
      const double expected = unit.estimates[j] * factor[width - 1] / factor[j];
      EXPECT_NEAR(fit.estimates[j], expected, 1e-14 * std::fabs(expected)) << exponent << " " << j;
      const double se = unit.standardErrors[j] * factor[width - 1] / factor[j];
      EXPECT_NEAR(fit.standardErrors[j], se, 1e-14 * se) << exponent << " " << j;
    }
    const double sd = unit.residualSd * factor[width - 1];
    EXPECT_NEAR(fit.residualSd, sd, 1e-14 * sd);
  }
}

TEST(StreamingQR, ADependentColumnLeavesADiagonalAtRoundingLevel) {
  Problem p = RandomProblem(300, 4, 5);
  const size_t width = 5;
  for (int i = 0; i < p.rows; ++i) p.values[i * width + 3] = 2.0 * p.values[i * width + 1];
  const KelMatrix R = Accumulate(p, 64).R();
  EXPECT_LT(R(4, 4), 64 * kelMachEps * R(2, 2));
  EXPECT_GT(R(3, 3), 1e-3 * R(2, 2));
}

TEST(StreamingQR, RefusesNonFiniteRowsBadWidthsAndNoColumns) {
  const Problem p = RandomProblem(10, 2, 3);
  KelStreamingQR qr(2);
  qr.AddRows(4, p.values.data());
  std::vector<double> bad(p.values.begin() + 12, p.values.end());
  bad[5] = std::nan("");
  EXPECT_KEL_FATAL(qr.AddRows(6, bad.data()),
                   "KelStreamingQR class\nNon-finite data\nrow 6, column 3 = nan");
  EXPECT_KEL_FATAL(KelStreamingQR(0),
                   "KelStreamingQR class\n\nDimension check failure\n\nConstructor: "
                   "KelStreamingQR\n0 columns");
  KelStreamingQR other(3);
  EXPECT_KEL_FATAL(qr.Merge(other),
                   "KelStreamingQR class\n\nDimension check failure\n\nFunction: Merge\n2 and 3 "
                   "columns");
}

}  // namespace
