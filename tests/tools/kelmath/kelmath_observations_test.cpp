// `kelmath regress --observations FILE` on 3000 generated rows against a long-double reference
// computed here from the normal equations (independent of the library's factorizations): every
// row's values and flags in the file, and the summary's count and most extreme rows. Then the
// robust columns against the library's robust fit on airquality.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "../../linear_regression/linear_regression_test_data.h"
#include "kelmath_command_support.h"
#include "linear_regression/kel_linear_regression.h"

namespace {

using kelmath_test::KelmathCommand;

constexpr int kRows = 3000;
constexpr int kParameters = 3;  // intercept, x1, x2

struct Reference {
  std::vector<std::array<double, 3>> x;  // 1, x1, x2
  std::vector<double> y, fitted, residual, leverage, cook, studentized;
};

// Normal deviates from a 64-bit linear congruential generator (Knuth's MMIX constants) by
// Box-Muller, the same on every platform.
class Deviates {
 public:
  double Next() {
    const double u1 = Uniform();
    const double u2 = Uniform();
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
  }

 private:
  double Uniform() {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return (static_cast<double>(state >> 11) + 0.5) / 9007199254740992.0;
  }
  std::uint64_t state = 27;
};

// The least-squares fit and its diagnostics in long double: (X'X)^-1 by Gauss-Jordan on the
// 3 x 3 normal equations of well-scaled columns, whose condition number is about 1.
void Fit(Reference& d) {
  long double a[3][6] = {};
  for (int i = 0; i < kRows; ++i)
    for (int j = 0; j < 3; ++j)
      for (int k = 0; k < 3; ++k) a[j][k] += static_cast<long double>(d.x[i][j]) * d.x[i][k];
  for (int j = 0; j < 3; ++j) a[j][3 + j] = 1;
  for (int p = 0; p < 3; ++p) {
    const long double pivot = a[p][p];
    for (int k = 0; k < 6; ++k) a[p][k] /= pivot;
    for (int j = 0; j < 3; ++j) {
      if (j == p) continue;
      const long double factor = a[j][p];
      for (int k = 0; k < 6; ++k) a[j][k] -= factor * a[p][k];
    }
  }
  long double xty[3] = {}, b[3] = {};
  for (int i = 0; i < kRows; ++i)
    for (int j = 0; j < 3; ++j) xty[j] += static_cast<long double>(d.x[i][j]) * d.y[i];
  for (int j = 0; j < 3; ++j)
    for (int k = 0; k < 3; ++k) b[j] += a[j][3 + k] * xty[k];
  long double ss = 0;
  std::vector<long double> r(kRows), h(kRows);
  for (int i = 0; i < kRows; ++i) {
    long double f = 0;
    for (int j = 0; j < 3; ++j) f += b[j] * d.x[i][j];
    r[i] = d.y[i] - f;
    ss += r[i] * r[i];
    for (int j = 0; j < 3; ++j)
      for (int k = 0; k < 3; ++k) h[i] += d.x[i][j] * a[j][3 + k] * d.x[i][k];
    d.fitted.push_back(static_cast<double>(f));
  }
  const long double s2 = ss / (kRows - kParameters);
  for (int i = 0; i < kRows; ++i) {
    const long double q = 1 - h[i];
    d.residual.push_back(static_cast<double>(r[i]));
    d.leverage.push_back(static_cast<double>(h[i]));
    d.cook.push_back(static_cast<double>(r[i] * r[i] * h[i] / (kParameters * s2 * q * q)));
    const long double without = (ss - r[i] * r[i] / q) / (kRows - kParameters - 1);
    d.studentized.push_back(static_cast<double>(r[i] / std::sqrt(without * q)));
  }
}

Reference MakeData(std::string* csv) {
  Reference d;
  Deviates deviates;
  *csv = "y,x1,x2\n";
  char line[128];
  for (int i = 0; i < kRows; ++i) {
    const double x1 = deviates.Next(), x2 = deviates.Next();
    const double y = 1.0 + 2.0 * x1 - x2 + deviates.Next();
    // "%.17g" reads back to the same doubles, so the reference fits what the command reads.
    std::snprintf(line, sizeof line, "%.17g,%.17g,%.17g\n", y, x1, x2);
    *csv += line;
    d.x.push_back({1.0, x1, x2});
    d.y.push_back(y);
  }
  Fit(d);
  return d;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::stringstream in(line);
  for (std::string field; std::getline(in, field, ',');) fields.push_back(field);
  return fields;
}

// Near the reference to 1e-9 of the reference or of the column's scale (a residual near zero
// is as accurate as the others in absolute terms).
::testing::AssertionResult Near(const std::string& text, double reference, double scale) {
  const double value = std::strtod(text.c_str(), nullptr);
  if (std::fabs(value - reference) <= 1e-9 * (std::fabs(reference) + scale))
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << text << " against " << reference;
}

double RootMeanSquare(const std::vector<double>& v) {
  double sum = 0.0;
  for (const double e : v) sum += e * e;
  return std::sqrt(sum / static_cast<double>(v.size()));
}

// The rows the three rules of thumb flag, by the reference values.
std::vector<int> FlaggedRows(const Reference& d) {
  std::vector<int> rows;
  for (int i = 0; i < kRows; ++i)
    if (d.cook[i] > 4.0 / kRows || std::fabs(d.studentized[i]) > 3.0 ||
        d.leverage[i] > 2.0 * kParameters / kRows)
      rows.push_back(i + 1);
  return rows;
}

TEST_F(KelmathCommand, ObservationsFileHoldsEveryRowAndItsFlags) {
  std::string csv;
  const Reference d = MakeData(&csv);
  Write("data.csv", csv);
  const auto run = Run("regress data.csv --response y --observations rows.csv");
  ASSERT_EQ(run.status, 0) << run.err;
  std::istringstream file(Read("rows.csv"));
  std::string line;
  std::getline(file, line);
  EXPECT_EQ(line,
            "row,fitted,residual,leverage,studentized_residual,cooks_distance,flag_cook,"
            "flag_residual,flag_leverage");
  const double scales[] = {RootMeanSquare(d.y), RootMeanSquare(d.residual), 0.0,
                           RootMeanSquare(d.studentized), 0.0};
  int rows = 0;
  while (std::getline(file, line)) {
    const std::vector<std::string> f = Fields(line);
    ASSERT_EQ(f.size(), 9u) << line;
    const size_t i = static_cast<size_t>(rows++);
    EXPECT_EQ(f[0], std::to_string(i + 1));
    const double values[] = {d.fitted[i], d.residual[i], d.leverage[i], d.studentized[i],
                             d.cook[i]};
    for (int k = 0; k < 5; ++k) EXPECT_TRUE(Near(f[k + 1], values[k], scales[k])) << line;
    const auto flag = [](bool on) { return std::string(on ? "TRUE" : "FALSE"); };
    EXPECT_EQ(f[6], flag(d.cook[i] > 4.0 / kRows)) << line;
    EXPECT_EQ(f[7], flag(std::fabs(d.studentized[i]) > 3.0)) << line;
    EXPECT_EQ(f[8], flag(d.leverage[i] > 2.0 * kParameters / kRows)) << line;
  }
  EXPECT_EQ(rows, kRows);
}

// The positions of the ten largest keys.
template <typename Key>
std::vector<int> TenLargest(const std::vector<int>& rows, Key key) {
  std::vector<int> sorted = rows;
  std::sort(sorted.begin(), sorted.end(), [&](int a, int b) { return key(a) > key(b); });
  sorted.resize(10);
  return sorted;
}

TEST_F(KelmathCommand, SummaryShowsTheCountAndTheMostExtremeFlaggedRows) {
  std::string csv;
  const Reference d = MakeData(&csv);
  Write("data.csv", csv);
  const auto run = Run("regress data.csv --response y");
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<int> flagged = FlaggedRows(d);
  ASSERT_GT(flagged.size(), 20u);
  std::vector<int> shown = TenLargest(flagged, [&](int row) { return d.cook[row - 1]; });
  for (const int row :
       TenLargest(flagged, [&](int row) { return std::fabs(d.studentized[row - 1]); }))
    shown.push_back(row);
  std::sort(shown.begin(), shown.end());
  shown.erase(std::unique(shown.begin(), shown.end()), shown.end());
  EXPECT_NE(run.out.find("): " + std::to_string(flagged.size()) + " rows\n"), std::string::npos)
      << run.out;
  char line[64];
  size_t at = run.out.find("Flagged by\n") + 11;
  for (const int row : shown) {
    std::snprintf(line, sizeof line, "%6d %12.4g %12.4g %12.4g ", row, d.cook[row - 1],
                  d.studentized[row - 1], d.leverage[row - 1]);
    EXPECT_EQ(run.out.compare(at, std::string(line).size(), line), 0) << line << "\n" << run.out;
    at = run.out.find('\n', at) + 1;
  }
  EXPECT_EQ(run.out.compare(at, std::string::npos,
                            "and " + std::to_string(flagged.size() - shown.size()) +
                                " more: see --observations FILE\n"),
            0)
      << run.out;
  EXPECT_LT(std::count(run.out.begin(), run.out.end(), '\n'), 60);
}

// The robust columns carry the library's normalized robust residuals and outliers, by row.
TEST_F(KelmathCommand, ObservationsFileCarriesTheRobustFit) {
  const lr_test::Reference r("r/diagnostics_airquality.txt");
  const int m = static_cast<int>(r("rows_used"));
  const int n = static_cast<int>(r("parameters"));
  KelMatrix F(m, n);
  KelVector y(m);
  for (int i = 1; i <= m; ++i) {
    y(i) = r("y", i);
    for (int j = 1; j <= n; ++j) F(i, j) = r("F", i, j);
  }
  KelLinearRegression regression(F, y);
  const KelVector& normalized = regression.NormalizedRobustResiduals();
  std::vector<bool> outlier(static_cast<size_t>(m) + 1, false);
  for (int k = 1; k <= regression.RobustOutliers().Size(); ++k)
    outlier[static_cast<size_t>(regression.RobustOutliers()(k))] = true;
  const auto run = Run("regress " + Data("airquality.csv") +
                       " --response Ozone --columns Solar.R,Wind,Temp --reports robust "
                       "--observations rows.csv");
  ASSERT_EQ(run.status, 0) << run.err;
  std::istringstream file(Read("rows.csv"));
  std::string line;
  std::getline(file, line);
  EXPECT_EQ(line.substr(line.size() - 42), ",robust_normalized_residual,robust_outlier");
  for (int i = 1; i <= m; ++i) {
    ASSERT_TRUE(std::getline(file, line));
    const std::vector<std::string> f = Fields(line);
    ASSERT_EQ(f.size(), 11u) << line;
    EXPECT_EQ(f[0], std::to_string(static_cast<int>(r("row", i))));
    EXPECT_TRUE(Near(f[9], normalized(i), 1e-6)) << line;
    EXPECT_EQ(f[10], outlier[static_cast<size_t>(i)] ? "TRUE" : "FALSE") << line;
  }
}

}  // namespace
