// `kelmath robust`: the least-median-of-squares fit of R's data sets against MASS::lqs (the
// command's criterion, the median of the squared residuals, no higher than that of lqs's fit:
// tests/reference/r/lms_datasets.R), its outliers consistent with its residuals, and the
// reweighted least squares equal to `kelmath regress` on the rows that are not outliers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "../../linear_regression/linear_regression_test_data.h"
#include "kelmath_command_support.h"

namespace {

using kelmath_test::KelmathCommand;
using lr_test::Reference;

struct RobustCase {
  const char* name;  // lms_data_<name>.txt
};
void PrintTo(const RobustCase& value, std::ostream* os) {
  *os << value.name;
}

const RobustCase kCases[] = {{"leverage"},  {"cars"},    {"trees"}, {"hills"},
                             {"stackloss"}, {"savings"}, {"swiss"}};

// The data set as a CSV file: y, then the columns of F after the intercept as x2, x3, ...
std::string CsvOf(const Reference& r, const std::vector<int>& leftOut = {}) {
  const int m = static_cast<int>(r("m")), n = static_cast<int>(r("n"));
  std::string text = "y";
  for (int j = 2; j <= n; ++j) (text += ",x") += std::to_string(j);
  text += "\n";
  for (int i = 1; i <= m; ++i) {
    if (std::find(leftOut.begin(), leftOut.end(), i) != leftOut.end()) continue;
    text += r.Text("y[" + std::to_string(i) + "]");
    for (int j = 2; j <= n; ++j)
      (text += ',') += r.Text("F[" + std::to_string(i) + "," + std::to_string(j) + "]");
    text += "\n";
  }
  return text;
}

std::vector<std::vector<std::string>> CsvRows(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    std::vector<std::string> fields;
    std::istringstream cells(line);
    std::string cell;
    while (std::getline(cells, cell, ',')) fields.push_back(cell);
    rows.push_back(fields);
  }
  return rows;
}

class RobustAgainstLqs : public KelmathCommand, public ::testing::WithParamInterface<RobustCase> {};

TEST_P(RobustAgainstLqs, CriterionNoHigherOutliersAndReweightedFitConsistent) {
  const Reference r("r/lms_data_" + std::string(GetParam().name) + ".txt");
  Write("d.csv", CsvOf(r));
  const auto run = Run("robust d.csv --response y --json r.json --observations o.csv");
  ASSERT_EQ(run.status, 0) << run.err;
  const auto j = nlohmann::json::parse(Read("r.json"));
  const double lms = j["lms"].get<double>();
  EXPECT_LE(lms, r("lqs.lib_median_sq") * (1.0 + 1e-9));
  // The criterion is the median of the squared residuals of the printed coefficients.
  const int m = static_cast<int>(r("m")), n = static_cast<int>(r("n"));
  std::vector<double> squares;
  for (int i = 1; i <= m; ++i) {
    double fitted = 0.0;
    for (int k = 1; k <= n; ++k)
      fitted += r("F", i, k) * j["coefficients"][k - 1]["estimate"].get<double>();
    squares.push_back((r("y", i) - fitted) * (r("y", i) - fitted));
  }
  std::sort(squares.begin(), squares.end());
  const double median = m % 2 == 1 ? squares[m / 2] : (squares[m / 2 - 1] + squares[m / 2]) / 2.0;
  EXPECT_NEAR(median, lms, 1e-9 * (1.0 + lms));
  // The outliers are the rows beyond 2.5 robust scales, highly probable beyond 10.
  std::vector<int> outliers, highly;
  const auto rows = CsvRows(Read("o.csv"));
  ASSERT_EQ(rows.size(), static_cast<size_t>(m) + 1);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"row", "fitted", "residual", "normalized_residual",
                                               "outlier"}));
  for (int i = 1; i <= m; ++i) {
    const double normalized = std::stod(rows[i][3]);
    EXPECT_EQ(rows[i][4], std::fabs(normalized) > 2.5 ? "TRUE" : "FALSE") << i;
    if (std::fabs(normalized) > 2.5) outliers.push_back(i);
    if (std::fabs(normalized) > 10.0) highly.push_back(i);
  }
  EXPECT_EQ(j["outliers"]["highly_probable"].get<std::vector<int>>(), highly);
  EXPECT_EQ(j["outliers"]["highly_probable"].size() + j["outliers"]["possible"].size(),
            outliers.size());
  // The reweighted least squares are those of the rows that are not outliers.
  Write("inliers.csv", CsvOf(r, outliers));
  ASSERT_EQ(Run("regress inliers.csv --response y --json w.json").status, 0);
  const auto w = nlohmann::json::parse(Read("w.json"));
  EXPECT_EQ(j["reweighted"]["rows_used"], m - static_cast<int>(outliers.size()));
  EXPECT_EQ(j["reweighted"]["coefficients"], w["coefficients"]);
  EXPECT_EQ(j["reweighted"]["sigma"], w["sigma"]);
}

INSTANTIATE_TEST_SUITE_P(DataSetsShippedWithR, RobustAgainstLqs, ::testing::ValuesIn(kCases),
                         ::testing::PrintToStringParamName());

// The summary names the outliers by data row, counting the rows dropped for missing values, and
// the files asked for are written; a bad model is one line with status 2 and no file.
TEST_F(KelmathCommand, RobustSummaryNamesOutliersByDataRow) {
  Write("d.csv",
        "y,x\n1.1,1\n2.0,2\n,3\n3.9,4\n5.1,5\n6.0,6\n30,7\n8.1,8\n8.9,9\n10.2,10\n11.0,11\n");
  const auto run = Run("robust d.csv --response y --plots p --output r.txt");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(
      run.out.find("Data: d.csv, 11 data rows, 10 used; 1 dropped for missing values: rows 3"),
      std::string::npos);
  EXPECT_NE(run.out.find("Outliers (|normalized robust residual| > 2.5): rows 7\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("Reweighted least squares (the 9 rows that are not outliers):"),
            std::string::npos);
  EXPECT_TRUE(Exists("p/robust_residuals.svg"));
  EXPECT_NE(Read("r.txt").find("7:8"), std::string::npos);  // experiment 7 is data row 8
  const auto bad = Run("robust d.csv --formula 'y ~ z' --json j.json");
  EXPECT_EQ(bad.status, 2);
  EXPECT_EQ(bad.err, "kelmath: d.csv: the formula \"y ~ z\" at position 5: no column named 'z'\n");
  EXPECT_FALSE(Exists("j.json"));
}

}  // namespace
