// KelStreamingLeastSquares and KelStreamingDiagnostics against the in-memory fit
// (KelFitScaledLeastSquares, KelHeteroskedasticityConsistentCovariance) on R's data sets and
// NIST's certified linear problems, with the rows in blocks of 1, 7 and all and merged in
// different trees (directly and through their flat states): every statistic, the rows' values,
// the Breusch-Pagan test and the sandwich covariances; NIST's certified digits for the
// ill-conditioned problems; a dependent column, an exact fit, data at 2^+-498 and offset by 1e15;
// the refusals.
#include "linear_regression/kel_streaming_least_squares.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "kel_nist_linear.h"
#include "kel_test_support.h"
#include "kelmath.h"

namespace {

// Rows of F (the intercept's column of ones first when there is one) followed by y.
struct Data {
  std::string name;
  int rows = 0, columns = 0;
  bool intercept = true;
  std::vector<double> values;
  double Value(int i, int j) const { return values[static_cast<size_t>(i) * (columns + 1) + j]; }
};

Data ReadNist(const std::string& name) {
  std::ifstream in = kel_test::OpenReference("nist/linear/" + name + ".lrg");
  Data d;
  d.name = name;
  in >> d.rows >> d.columns;
  const int width = d.columns + 1;
  d.values.assign(static_cast<size_t>(d.rows) * width, 0.0);
  for (int i = 0; i < d.rows; ++i)
    for (int j = 0; j < d.columns; ++j) in >> d.values[static_cast<size_t>(i) * width + j];
  int count = 0;
  in >> count;
  for (int i = 0; i < count; ++i) in >> d.values[static_cast<size_t>(i) * width + d.columns];
  d.intercept = true;
  for (int i = 0; i < d.rows; ++i) d.intercept = d.intercept && d.Value(i, 0) == 1.0;
  return d;
}

// y on an intercept and the named predictors of one of R's data sets (a CSV whose quoted first
// field, when there is one, names the row).
Data ReadCsv(const std::string& file, const std::string& response,
             const std::vector<std::string>& predictors) {
  std::ifstream in = kel_test::OpenReference("r/" + file);
  std::string line;
  std::getline(in, line);
  std::vector<std::string> header;
  std::stringstream names(line);
  for (std::string field; std::getline(names, field, ',');)
    header.push_back(field.substr(1, field.size() - 2));
  auto position = [&](const std::string& name) {
    for (size_t k = 0; k < header.size(); ++k)
      if (header[k] == name) return k;
    ADD_FAILURE() << name << " is not a column of " << file;
    return size_t{0};
  };
  std::vector<size_t> wanted;
  for (const std::string& p : predictors) wanted.push_back(position(p));
  wanted.push_back(position(response));
  Data d;
  d.name = file;
  d.columns = static_cast<int>(predictors.size()) + 1;
  while (std::getline(in, line)) {
    std::vector<std::string> fields;
    std::stringstream row(line);
    for (std::string field; std::getline(row, field, ',');) fields.push_back(field);
    d.values.push_back(1.0);
    for (const size_t k : wanted) d.values.push_back(std::stod(fields[k]));
    ++d.rows;
  }
  return d;
}

// The same regression through the origin: the intercept's column dropped.
Data WithoutIntercept(const Data& d) {
  Data w;
  w.name = d.name + " without intercept";
  w.rows = d.rows;
  w.columns = d.columns - 1;
  w.intercept = false;
  for (int i = 0; i < d.rows; ++i)
    for (int j = 1; j <= d.columns; ++j) w.values.push_back(d.Value(i, j));
  return w;
}

std::vector<Data> RDataSets() {
  const Data swiss =
      ReadCsv("swiss.csv", "Fertility",
              {"Agriculture", "Examination", "Education", "Catholic", "Infant.Mortality"});
  return {ReadCsv("mtcars.csv", "mpg", {"cyl", "disp", "hp", "drat", "wt", "qsec"}), swiss,
          WithoutIntercept(swiss),
          ReadCsv("stackloss.csv", "stack.loss", {"Air.Flow", "Water.Temp", "Acid.Conc."}),
          ReadCsv("savings.csv", "sr", {"pop15", "pop75", "dpi", "ddpi"})};
}

std::vector<double> FirstRow(const Data& d) {
  return std::vector<double>(d.values.begin(), d.values.begin() + d.columns + 1);
}

const double* Row(const Data& d, long long i) {
  return d.values.data() + static_cast<size_t>(i) * (d.columns + 1);
}

KelScaledLeastSquaresResult InMemoryFit(const Data& d, KelMatrix* F = nullptr) {
  KelMatrix design(d.rows, d.columns);
  KelVector y(d.rows);
  for (int i = 0; i < d.rows; ++i) {
    for (int j = 0; j < d.columns; ++j) design(i + 1, j + 1) = d.Value(i, j);
    y(i + 1) = d.Value(i, d.columns);
  }
  KelScaledLeastSquaresOptions options;
  options.intercept = d.intercept;
  if (F != nullptr) *F = design;
  return KelFitScaledLeastSquares(design, y, options);
}

// The ways the rows reach one accumulator: pieces of blockRows rows, each in an accumulator of
// its own, then merged one after the other, pairwise up a balanced tree, or sent as states and
// merged in reverse order.
enum class Tree { kInOrder, kBalanced, kStatesReversed };

template <typename Accumulator, typename Make, typename Add>
Accumulator Gather(const Data& d, long long blockRows, Tree tree, Make make, Add add) {
  std::vector<Accumulator> parts;
  for (long long first = 0; first < d.rows; first += blockRows) {
    parts.push_back(make());
    add(parts.back(), first, std::min<long long>(blockRows, d.rows - first));
  }
  if (tree == Tree::kInOrder) {
    for (size_t k = 1; k < parts.size(); ++k) parts[0].Merge(parts[k]);
  } else if (tree == Tree::kBalanced) {
    for (size_t step = 1; step < parts.size(); step *= 2)
      for (size_t k = 0; k + step < parts.size(); k += 2 * step) parts[k].Merge(parts[k + step]);
  } else {
    Accumulator total = make();
    for (size_t k = parts.size(); k-- > 0;) total.MergeState(parts[k].State());
    return total;
  }
  return parts[0];
}

KelStreamingLeastSquares StreamFit(const Data& d, long long blockRows, Tree tree) {
  return Gather<KelStreamingLeastSquares>(
      d, blockRows, tree,
      [&] { return KelStreamingLeastSquares(d.columns, d.intercept, FirstRow(d)); },
      [&](KelStreamingLeastSquares& a, long long first, long long count) {
        a.AddRows(count, Row(d, first));
      });
}

KelStreamingDiagnostics StreamDiagnostics(const Data& d, const KelScaledLeastSquaresResult& fit,
                                          KelCovarianceType type, double largestLeverage,
                                          long long blockRows, Tree tree,
                                          std::vector<KelStreamingRow>* rows) {
  rows->assign(static_cast<size_t>(d.rows), KelStreamingRow{});
  return Gather<KelStreamingDiagnostics>(
      d, blockRows, tree,
      [&] { return KelStreamingDiagnostics(fit, d.rows, type, largestLeverage); },
      [&](KelStreamingDiagnostics& a, long long first, long long count) {
        a.AddRows(count, Row(d, first), rows->data() + first);
      });
}

// Equal to tolerance relative to the larger, or to tolerance times scale when that is larger;
// NaN only where the other is NaN.
void ExpectNear(double actual, double expected, double tolerance, const std::string& what,
                double scale = 0.0) {
  if (std::isnan(expected) || std::isnan(actual)) {
    EXPECT_EQ(std::isnan(actual), std::isnan(expected))
        << what << ": " << actual << " vs " << expected;
    return;
  }
  const double bound =
      tolerance * std::max({std::fabs(actual), std::fabs(expected), std::fabs(scale)});
  EXPECT_LE(std::fabs(actual - expected), bound) << what << ": " << actual << " vs " << expected;
}

// A P value far in a tail has the relative accuracy of its statistic times d ln P / d ln t,
// which grows with t: P values are compared by their logarithms.
void ExpectPNear(double actual, double expected, double tolerance, const std::string& what) {
  if (actual == expected) return;
  ExpectNear(std::log(actual), std::log(expected), tolerance, what, 1.0);
}

void ExpectVectorNear(const KelVector& actual, const KelVector& expected, double tolerance,
                      const std::string& what, bool pValues = false) {
  ASSERT_EQ(actual.Size(), expected.Size()) << what;
  for (int j = 1; j <= expected.Size(); ++j) {
    const std::string which = what + " " + std::to_string(j);
    if (pValues)
      ExpectPNear(actual(j), expected(j), tolerance, which);
    else
      ExpectNear(actual(j), expected(j), tolerance, which);
  }
}

void ExpectFitsAgree(const KelScaledLeastSquaresResult& s, const KelScaledLeastSquaresResult& m,
                     double tolerance, const std::string& what) {
  EXPECT_EQ(s.aliasedColumns, m.aliasedColumns) << what;
  EXPECT_EQ(s.rank, m.rank) << what;
  EXPECT_EQ(s.residualDegreesOfFreedom, m.residualDegreesOfFreedom) << what;
  EXPECT_EQ(s.exactFit, m.exactFit) << what;
  EXPECT_EQ(s.fNumeratorDegreesOfFreedom, m.fNumeratorDegreesOfFreedom) << what;
  EXPECT_EQ(s.breuschPaganDegreesOfFreedom, m.breuschPaganDegreesOfFreedom) << what;
  ExpectNear(s.conditionNumber, m.conditionNumber, tolerance, what + " condition");
  ExpectVectorNear(s.estimates, m.estimates, tolerance, what + " estimate");
  ExpectVectorNear(s.standardErrors, m.standardErrors, tolerance, what + " standard error");
  ExpectVectorNear(s.tValues, m.tValues, tolerance, what + " t");
  ExpectVectorNear(s.pValues, m.pValues, tolerance, what + " P", true);
  ExpectVectorNear(s.ciLow, m.ciLow, tolerance, what + " lower bound");
  ExpectVectorNear(s.ciHigh, m.ciHigh, tolerance, what + " upper bound");
  ExpectVectorNear(s.varianceInflation, m.varianceInflation, tolerance, what + " VIF");
  const std::vector<std::pair<double, double>> model = {{s.sigma, m.sigma},
                                                        {s.rSquared, m.rSquared},
                                                        {s.adjustedRSquared, m.adjustedRSquared},
                                                        {s.fStatistic, m.fStatistic},
                                                        {s.logLikelihood, m.logLikelihood},
                                                        {s.aic, m.aic},
                                                        {s.bic, m.bic}};
  for (size_t k = 0; k < model.size(); ++k)
    ExpectNear(model[k].first, model[k].second, tolerance, what + " model " + std::to_string(k));
  ExpectPNear(s.fPValue, m.fPValue, tolerance, what + " F's P");
  EXPECT_EQ(s.fitted.Size(), 0) << what;
}

// The predictor: KelPredictScaled of the data's first rows as the in-memory fit predicts them.
void ExpectPredictionsAgree(const Data& d, const KelScaledLeastSquaresResult& s,
                            const KelScaledLeastSquaresResult& m, double tolerance) {
  for (int i = 0; i < std::min(d.rows, 3); ++i) {
    const std::vector<double> x(Row(d, i), Row(d, i) + d.columns);
    const KelScaledPrediction a = KelPredictScaled(s, x), b = KelPredictScaled(m, x);
    ExpectNear(a.fit, b.fit, tolerance, d.name + " prediction");
    ExpectNear(a.standardError, b.standardError, tolerance, d.name + " prediction error");
  }
}

constexpr KelCovarianceType kSandwiches[] = {
    KelCovarianceType::kClassical, KelCovarianceType::kHC0, KelCovarianceType::kHC1,
    KelCovarianceType::kHC2,       KelCovarianceType::kHC3, KelCovarianceType::kHC4,
    KelCovarianceType::kHC4m,      KelCovarianceType::kHC5};

// Rows' values, the Breusch-Pagan test and every sandwich of the streaming passes against the
// in-memory fit's and KelHeteroskedasticityConsistentCovariance's. A residual is the difference
// of nearly equal numbers when R^2 is near 1: residuals and fitted values are compared relative
// to the centred response's spread, and what is a ratio to the residuals (the influence, the
// sandwiches) to the tolerance times |y - mean| / |e| = 1 / sqrt(1 - R^2), the factor by which
// any backward-stable fit's residuals lose relative accuracy (both fits' errors are of that
// size: Pontius, R^2 = 1 - 1e-7, loses 3 digits).
void ExpectDiagnosticsAgree(const Data& d, const KelScaledLeastSquaresResult& streamed,
                            double baseTolerance, long long blockRows, Tree tree,
                            bool sandwiches = true) {
  KelMatrix F;
  const KelScaledLeastSquaresResult m = InMemoryFit(d, &F);
  const double residualShare = std::sqrt(1.0 - m.rSquared);
  const double tolerance = baseTolerance / (residualShare > 0.0 ? residualShare : 1.0);
  const double spread = m.sigma > 0.0 ? m.sigma / residualShare : 1.0;
  std::vector<KelStreamingRow> rows;
  const KelStreamingDiagnostics first =
      StreamDiagnostics(d, streamed, KelCovarianceType::kHC0, std::nan(""), blockRows, tree, &rows);
  for (int i = 0; i < d.rows; ++i) {
    const std::string what = d.name + " row " + std::to_string(i + 1);
    ExpectNear(rows[i].fitted, m.fitted(i + 1), baseTolerance, what + " fitted", spread);
    ExpectNear(rows[i].residual, m.residuals(i + 1), baseTolerance, what + " residual", spread);
    ExpectNear(rows[i].leverage, m.leverages(i + 1), tolerance, what + " leverage");
    ExpectNear(rows[i].cooksDistance, m.cooksDistances(i + 1), tolerance, what + " Cook", 1e-3);
    ExpectNear(rows[i].studentizedResidual, m.studentizedResiduals(i + 1), tolerance,
               what + " studentized", 1.0);
    ExpectNear(rows[i].standardizedResidual, m.standardizedResiduals(i + 1), tolerance,
               what + " standardized", 1.0);
  }
  const KelStreamingBreuschPagan bp = first.BreuschPagan();
  ExpectNear(bp.statistic, m.breuschPagan, tolerance, d.name + " Breusch-Pagan");
  ExpectPNear(bp.pValue, m.breuschPaganPValue, tolerance, d.name + " Breusch-Pagan P");
  EXPECT_EQ(bp.degreesOfFreedom, m.breuschPaganDegreesOfFreedom);
  for (const KelCovarianceType type : kSandwiches) {
    if (!sandwiches) break;
    const KelStreamingDiagnostics pass =
        StreamDiagnostics(d, streamed, type, first.LargestLeverage(), blockRows, tree, &rows);
    const KelSandwichCovariance a = pass.Covariance();
    const KelSandwichCovariance b = KelHeteroskedasticityConsistentCovariance(F, m, type);
    const std::string what = d.name + " " + KelCovarianceName(type);
    EXPECT_EQ(a.defined, b.defined) << what;
    EXPECT_EQ(a.rank, b.rank) << what;
    EXPECT_EQ(a.aliasedColumns, b.aliasedColumns) << what;
    // In the scaled form, which stays in range at any scale of the data, brought to b's powers
    // of two; an off-diagonal entry is compared relative to its two variances.
    for (int j = 1; j <= d.columns; ++j)
      for (int k = 1; k <= d.columns; ++k) {
        const int shift =
            a.exponents[j - 1] + a.exponents[k - 1] - b.exponents[j - 1] - b.exponents[k - 1];
        const double scale = std::sqrt(std::fabs(b.scaled(j, j) * b.scaled(k, k)));
        ExpectNear(std::ldexp(a.scaled(j, k), shift), b.scaled(j, k), tolerance,
                   what + " (" + std::to_string(j) + ", " + std::to_string(k) + ")", scale);
        if (std::isfinite(b.covariance(j, k)))
          ExpectNear(a.covariance(j, k), b.covariance(j, k), tolerance, what + " covariance",
                     std::sqrt(std::fabs(b.covariance(j, j) * b.covariance(k, k))));
      }
    const KelVector se = KelStandardErrors(a), expected = KelStandardErrors(b);
    ExpectVectorNear(se, expected, tolerance, what + " standard error");
  }
}

struct Split {
  long long blockRows;  // 0: all rows
  Tree tree;
};
constexpr Split kSplits[] = {{1, Tree::kBalanced}, {7, Tree::kStatesReversed}, {0, Tree::kInOrder}};

TEST(StreamingLeastSquares, RDataSetsAsTheInMemoryFitWhateverTheBlocksAndMergeTree) {
  for (const Data& d : RDataSets()) {
    const KelScaledLeastSquaresResult m = InMemoryFit(d);
    ASSERT_LT(m.conditionNumber, 1e4) << d.name;
    for (const Split split : kSplits) {
      const long long block = split.blockRows > 0 ? split.blockRows : d.rows;
      const KelStreamingLeastSquares accumulator = StreamFit(d, block, split.tree);
      EXPECT_EQ(accumulator.Rows(), d.rows);
      const KelScaledLeastSquaresResult s = accumulator.Fit();
      const std::string what = d.name + " in blocks of " + std::to_string(block);
      ExpectFitsAgree(s, m, 1e-12, what);
      ExpectPredictionsAgree(d, s, m, 1e-12);
      ExpectDiagnosticsAgree(d, s, 1e-12, block, split.tree);
    }
  }
}

using kel_nist_linear::Certified;
using kel_nist_linear::NistProblem;

class StreamingLeastSquaresNist : public ::testing::TestWithParam<NistProblem> {};

// Well-conditioned problems agree with the in-memory fit to 1e-12 in everything (Longley's
// centred unit columns have a condition number of 110). Wampler's polynomials (1.6e3, with
// unit coefficients that cancel) agree with NIST to the certified digits the in-memory fit
// reaches, less one, and all reach the digits NIST's difficulty rating asks.
TEST_P(StreamingLeastSquaresNist, CertifiedDigitsAndTheInMemoryFit) {
  const NistProblem problem = GetParam();
  const Data d = ReadNist(problem.name);
  const Certified certified = kel_nist_linear::ReadCertified(problem.name);
  const KelScaledLeastSquaresResult m = InMemoryFit(d);
  const bool wellConditioned = m.conditionNumber < 1e3;
  for (const Split split : kSplits) {
    const long long block = split.blockRows > 0 ? split.blockRows : d.rows;
    const KelScaledLeastSquaresResult s = StreamFit(d, block, split.tree).Fit();
    const std::string what = d.name + " in blocks of " + std::to_string(block);
    EXPECT_EQ(s.aliasedColumns, m.aliasedColumns) << what;
    EXPECT_EQ(s.exactFit, m.exactFit) << what;
    auto expectDigits = [&](double streamed, double inMemory, double value, const std::string& v) {
      const double digits = kel_test::LogRelativeError(streamed, value);
      EXPECT_GE(digits, problem.minimumLre) << what << " " << v;
      // Beyond 12 digits the certified values' own rounding shows.
      const double inMemoryDigits = kel_test::LogRelativeError(inMemory, value);
      EXPECT_GE(digits, std::min(inMemoryDigits, 12.0) - 1.0) << what << " " << v;
    };
    for (int j = 1; j <= d.columns; ++j) {
      expectDigits(s.estimates(j), m.estimates(j), certified.parameters[j - 1],
                   "parameter " + std::to_string(j));
      expectDigits(s.standardErrors(j), m.standardErrors(j), certified.standardErrors[j - 1],
                   "standard error " + std::to_string(j));
    }
    expectDigits(s.sigma, m.sigma, certified.residualSd, "residual sd");
    expectDigits(s.rSquared, m.rSquared, certified.r2, "R^2");
    EXPECT_EQ(s.residualDegreesOfFreedom, certified.dof) << what;
    if (!wellConditioned) continue;
    // With R^2 near 1 the residuals, and everything formed from them and from the intercept
    // (the difference of the means' terms), keep 1 / sqrt(1 - R^2) times fewer digits in any
    // backward-stable fit: Pontius (R^2 = 1 - 1e-7) 3.5 digits fewer, Norris 2.6.
    const double residualShare = std::sqrt(1.0 - m.rSquared);
    ExpectFitsAgree(s, m, 1e-12 / std::min(1.0, residualShare), what);
    ExpectDiagnosticsAgree(d, s, 1e-12, block, split.tree);
  }
}

INSTANTIATE_TEST_SUITE_P(LinearProblems, StreamingLeastSquaresNist,
                         ::testing::ValuesIn(kel_nist_linear::kProblems),
                         [](const ::testing::TestParamInfo<NistProblem>& info) {
                           return std::string(info.param.name);
                         });

// mtcars with a column that is 2 wt - hp / 100 (a dependent one) before qsec: aliased as in
// memory, the rest as there.
TEST(StreamingLeastSquares, DependentColumnAliasedAsInMemory) {
  const Data base = ReadCsv("mtcars.csv", "mpg", {"disp", "hp", "wt", "qsec"});
  Data d = base;
  d.name = "mtcars with a dependent column";
  d.columns = base.columns + 1;
  d.values.clear();
  for (int i = 0; i < base.rows; ++i) {
    for (int j = 0; j <= 3; ++j) d.values.push_back(base.Value(i, j));
    d.values.push_back(2.0 * base.Value(i, 3) - base.Value(i, 2) / 100.0);
    for (int j = 4; j <= base.columns; ++j) d.values.push_back(base.Value(i, j));
  }
  const KelScaledLeastSquaresResult m = InMemoryFit(d);
  ASSERT_EQ(m.aliasedColumns, std::vector<int>{5});
  for (const Split split : kSplits) {
    const long long block = split.blockRows > 0 ? split.blockRows : d.rows;
    const KelScaledLeastSquaresResult s = StreamFit(d, block, split.tree).Fit();
    ExpectFitsAgree(s, m, 1e-12, d.name);
    ExpectDiagnosticsAgree(d, s, 1e-12, block, split.tree);
  }
}

// y = 3 + 2 x1 - x2 in small integers: exact in memory and streamed, standard errors 0, t and
// the influence NaN, the residuals 0.
TEST(StreamingLeastSquares, ExactFitAsInMemory) {
  Data d;
  d.name = "exact";
  d.columns = 3;
  for (int i = 0; i < 12; ++i) {
    const double x1 = i % 5, x2 = (i * i) % 7;
    d.values.insert(d.values.end(), {1.0, x1, x2, 3.0 + 2.0 * x1 - x2});
    ++d.rows;
  }
  const KelScaledLeastSquaresResult m = InMemoryFit(d);
  ASSERT_TRUE(m.exactFit);
  const KelScaledLeastSquaresResult s = StreamFit(d, 5, Tree::kBalanced).Fit();
  ExpectFitsAgree(s, m, 1e-12, d.name);
  ExpectDiagnosticsAgree(d, s, 1e-12, 5, Tree::kBalanced);
}

// The slopes' block of every sandwich does not depend on an offset of the columns: that of the
// in-memory covariance of the plain data, its columns scaled by 2^exponent and its response by
// 2^-exponent (the block scales by 2^(-4 exponent), compared in the scaled form).
void ExpectSlopeSandwichesAsPlain(const Data& d, const KelScaledLeastSquaresResult& s,
                                  const Data& plain, int exponent) {
  KelMatrix F;
  const KelScaledLeastSquaresResult m = InMemoryFit(plain, &F);
  std::vector<KelStreamingRow> rows;
  const double largest =
      StreamDiagnostics(d, s, KelCovarianceType::kHC0, std::nan(""), d.rows, Tree::kInOrder, &rows)
          .LargestLeverage();
  for (const KelCovarianceType type : kSandwiches) {
    const KelSandwichCovariance a =
        StreamDiagnostics(d, s, type, largest, 7, Tree::kBalanced, &rows).Covariance();
    const KelSandwichCovariance b = KelHeteroskedasticityConsistentCovariance(F, m, type);
    for (int j = 2; j <= d.columns; ++j)
      for (int k = 2; k <= d.columns; ++k) {
        const int shift = a.exponents[j - 1] + a.exponents[k - 1] - b.exponents[j - 1] -
                          b.exponents[k - 1] + 4 * exponent;
        ExpectNear(std::ldexp(a.scaled(j, k), shift), b.scaled(j, k), 1e-12,
                   d.name + " " + KelCovarianceName(type),
                   std::sqrt(std::fabs(b.scaled(j, j) * b.scaled(k, k))));
      }
  }
}

// Powers of two scale every statistic exactly; an offset of 1e15 on the columns (the spread of
// the data about 1) costs no digits: the streamed fit and rows as the in-memory fit of the same
// data, its slopes and their sandwiches as those of the plain data. (The in-memory sandwich,
// which factors the uncentred columns, is not the reference at an offset: it loses digits.)
TEST(StreamingLeastSquares, ScaledBy2ToThePlusMinus498AndOffsetBy1e15) {
  const Data base =
      ReadCsv("stackloss.csv", "stack.loss", {"Air.Flow", "Water.Temp", "Acid.Conc."});
  for (const int exponent : {498, -498}) {
    for (const double offset : {0.0, 1e15}) {
      Data d = base;
      d.name = "stackloss at 2^" + std::to_string(exponent) + " + " + std::to_string(offset);
      for (int i = 0; i < d.rows; ++i)
        for (int j = 1; j <= d.columns; ++j) {
          double& v = d.values[static_cast<size_t>(i) * (d.columns + 1) + j];
          v = std::ldexp(v + offset, j == d.columns ? -exponent : exponent);
        }
      const KelScaledLeastSquaresResult m = InMemoryFit(d);
      const KelScaledLeastSquaresResult s = StreamFit(d, 7, Tree::kStatesReversed).Fit();
      ExpectFitsAgree(s, m, 1e-12, d.name);
      // The slopes do not depend on the offset: those of the plain data, scaled.
      const KelScaledLeastSquaresResult plain = InMemoryFit(base);
      for (int j = 2; j <= d.columns; ++j)
        ExpectNear(s.estimates(j), std::ldexp(plain.estimates(j), -2 * exponent), 1e-12,
                   d.name + " slope");
      ExpectDiagnosticsAgree(d, s, 1e-12, 7, Tree::kStatesReversed, offset == 0.0);
      ExpectSlopeSandwichesAsPlain(d, s, base, exponent);
    }
  }
}

TEST(StreamingLeastSquares, Refusals) {
  const Data d = ReadCsv("stackloss.csv", "stack.loss", {"Air.Flow", "Water.Temp", "Acid.Conc."});
  EXPECT_KEL_FATAL(KelStreamingLeastSquares(0, false, {0.0}),
                   "KelStreamingLeastSquares class\n\nDimension check failure\n\nConstructor: "
                   "KelStreamingLeastSquares\n0 columns");
  EXPECT_KEL_FATAL(KelStreamingLeastSquares(4, true, {1.0, 2.0}),
                   "KelStreamingLeastSquares class\n\nDimension check failure\n\nConstructor: "
                   "KelStreamingLeastSquares\n2 origin values for 4 columns and the response");
  KelStreamingLeastSquares fit(4, true, FirstRow(d));
  fit.AddRows(4, Row(d, 0));
  EXPECT_KEL_FATAL(fit.Fit(),
                   "KelStreamingLeastSquares class\n\nDimension check failure\n\nFunction: "
                   "Fit\n4 rows for 4 columns: more rows than columns (and at most 2147483647) "
                   "are needed");
  std::vector<double> bad(Row(d, 4), Row(d, 6));
  bad[7] = std::nan("");
  EXPECT_KEL_FATAL(fit.AddRows(2, bad.data()),
                   "KelStreamingLeastSquares class\nNon-finite data\nrow 6, column 3 = nan");
  std::vector<double> shiftedOrigin = FirstRow(d);
  shiftedOrigin[1] += 1.0;
  EXPECT_KEL_FATAL(fit.Merge(KelStreamingLeastSquares(4, true, shiftedOrigin)),
                   "KelStreamingLeastSquares class\n\nDimension check failure\n\nFunction: "
                   "Merge\nthe origins differ");
  EXPECT_KEL_FATAL(fit.Merge(KelStreamingLeastSquares(4, false, FirstRow(d))),
                   "KelStreamingLeastSquares class\n\nDimension check failure\n\nFunction: "
                   "Merge\none fit has an intercept, the other none");
  EXPECT_KEL_FATAL(fit.MergeState(KelStreamingLeastSquares(3, true, {0, 0, 0, 0}).State()),
                   "KelStreamingLeastSquares class\n\nDimension check failure\n\nFunction: "
                   "MergeState\na state of 23 values, 33 expected for 4 columns");
}

TEST(StreamingDiagnostics, Refusals) {
  const Data d = ReadCsv("stackloss.csv", "stack.loss", {"Air.Flow", "Water.Temp", "Acid.Conc."});
  const KelScaledLeastSquaresResult fit = InMemoryFit(d);
  EXPECT_KEL_FATAL(
      KelStreamingDiagnostics(fit, d.rows, KelCovarianceType::kHC5),
      "KelStreamingDiagnostics class\n\nDimension check failure\n\nConstructor: "
      "KelStreamingDiagnostics\nHC5 needs the largest leverage of the rows, in (0, 1]");
  EXPECT_KEL_FATAL(KelStreamingDiagnostics(fit, d.rows, KelCovarianceType::kCluster),
                   "KelStreamingDiagnostics class\n\nDimension check failure\n\nConstructor: "
                   "KelStreamingDiagnostics\nthe cluster-robust covariance is not accumulated by "
                   "rows");
  EXPECT_KEL_FATAL(KelStreamingDiagnostics(fit, d.rows - 1, KelCovarianceType::kHC0),
                   "KelStreamingDiagnostics class\n\nDimension check failure\n\nConstructor: "
                   "KelStreamingDiagnostics\nthe fit is weighted, or not of 20 rows");
  KelStreamingDiagnostics pass(fit, d.rows, KelCovarianceType::kHC3);
  pass.AddRows(5, Row(d, 0), nullptr);
  EXPECT_KEL_FATAL(pass.Covariance(),
                   "KelStreamingDiagnostics class\n\nDimension check failure\n\nFunction: "
                   "Covariance\n5 rows seen of the fit's 21");
  std::vector<double> bad(Row(d, 5), Row(d, 6));
  bad[4] = INFINITY;
  EXPECT_KEL_FATAL(pass.AddRows(1, bad.data(), nullptr),
                   "KelStreamingDiagnostics class\nNon-finite data\nrow 6, column 5 = inf");
  EXPECT_KEL_FATAL(pass.Merge(KelStreamingDiagnostics(fit, d.rows, KelCovarianceType::kHC0)),
                   "KelStreamingDiagnostics class\n\nDimension check failure\n\nFunction: "
                   "Merge\nthe accumulators are of different fits or covariance types");
}

// A row whose leverage is 1 (its only nonzero value in a column of its own) makes HC2 to HC5
// undefined and leaves HC0 defined, as in memory; KelIsUnitLeverage names it.
TEST(StreamingDiagnostics, UnitLeverageRowUndefinesTheTypesThatDivideByOneLessIt) {
  Data d = ReadCsv("stackloss.csv", "stack.loss", {"Air.Flow", "Water.Temp"});
  Data u = d;
  u.columns = d.columns + 1;
  u.values.clear();
  for (int i = 0; i < d.rows; ++i) {
    for (int j = 0; j < d.columns; ++j) u.values.push_back(d.Value(i, j));
    u.values.push_back(i == 4 ? 1.0 : 0.0);
    u.values.push_back(d.Value(i, d.columns));
  }
  const KelScaledLeastSquaresResult s = StreamFit(u, 6, Tree::kBalanced).Fit();
  std::vector<KelStreamingRow> rows;
  const KelStreamingDiagnostics hc3 =
      StreamDiagnostics(u, s, KelCovarianceType::kHC3, std::nan(""), 6, Tree::kBalanced, &rows);
  EXPECT_EQ(hc3.UnitLeverageRows(), 1);
  for (int i = 0; i < u.rows; ++i) EXPECT_EQ(KelIsUnitLeverage(rows[i].leverage, s.rank), i == 4);
  EXPECT_FALSE(hc3.Covariance().defined);
  ExpectDiagnosticsAgree(u, s, 1e-12, 6, Tree::kBalanced);
}

}  // namespace
