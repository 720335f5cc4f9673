// The summary's lists of flagged rows and robust outliers, and the observations file, on
// results built by hand: the summary's length does not grow with the number of rows, its most
// extreme rows are the ones the hand-chosen values make extreme, and every row reaches the file.
#include "regression_summary.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "observations_csv.h"
#include "regression_result.h"

namespace {

using kelmath_cli::FormatSummary;
using kelmath_cli::RegressionResult;

// m rows with data row numbers 1..m, three coefficients, every row flagged by Cook's rule.
// Cook's distance grows with the row (the last rows are the largest) and |studentized
// residual| falls with it, signs alternating (the first rows are the largest), except row 1,
// whose studentized residual is undefined and so never among the largest.
RegressionResult AllFlagged(int m) {
  RegressionResult r;
  r.dataRows = m;
  r.coefficients.resize(3);
  r.rank = 3;
  for (int i = 1; i <= m; ++i) {
    kelmath_cli::ObservationRow o;
    o.row = i;
    o.leverage = 0.5 / m;
    o.cooksDistance = static_cast<double>(i) / m;
    o.studentizedResidual = i == 1 ? std::nan("") : (i % 2 == 0 ? 1.0 : -1.0) * (m - i) / 1000.0;
    r.observations.push_back(o);
    r.influential.push_back({i, i - 1, true, false, false});
  }
  return r;
}

int Lines(const std::string& text) {
  int lines = 0;
  for (const char c : text) lines += c == '\n';
  return lines;
}

// The data rows of the influential table, in the order printed.
std::vector<int> TableRows(const std::string& summary) {
  std::vector<int> rows;
  size_t at = summary.find("Flagged by\n");
  if (at == std::string::npos) return rows;
  at += 11;
  int row = 0;
  while (at < summary.size() && std::sscanf(summary.c_str() + at, "%d", &row) == 1 &&
         summary.compare(at, 3, "and") != 0) {
    rows.push_back(row);
    at = summary.find('\n', at) + 1;
  }
  return rows;
}

TEST(RegressionSummary, ManyFlaggedRowsShowTheMostExtremeAndTheCount) {
  const RegressionResult r = AllFlagged(50000);
  const std::string summary = FormatSummary(r, "kelmath regress big.csv", "big.csv");
  // Largest |studentized|: rows 2..11 (row 1 is undefined); largest Cook's: rows 49991..50000.
  std::vector<int> expected;
  for (int i = 2; i <= 11; ++i) expected.push_back(i);
  for (int i = 49991; i <= 50000; ++i) expected.push_back(i);
  EXPECT_EQ(TableRows(summary), expected) << summary;
  EXPECT_NE(summary.find("leverage > 2n/m = 0.00012): 50,000 rows\n"
                         "The 10 largest Cook's distances and the 10 largest |studentized "
                         "residuals|:\n"),
            std::string::npos)
      << summary;
  EXPECT_NE(summary.find("\nand 49,980 more: see --observations FILE\n"), std::string::npos);
  EXPECT_LT(Lines(summary), 60);
  const std::string named = FormatSummary(r, "kelmath", "big.csv", "rows.csv");
  EXPECT_NE(named.find("\nand 49,980 more: see rows.csv\n"), std::string::npos);
}

// When the same rows are the most extreme by both measures they are shown once.
TEST(RegressionSummary, RowsExtremeByBothMeasuresAreShownOnce) {
  RegressionResult r = AllFlagged(12);
  for (kelmath_cli::ObservationRow& o : r.observations) o.studentizedResidual = o.cooksDistance;
  const std::string summary = FormatSummary(r, "kelmath", "d.csv");
  EXPECT_EQ(TableRows(summary), (std::vector<int>{3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
  EXPECT_NE(summary.find("\nand 2 more: see --observations FILE\n"), std::string::npos);
}

// Up to ten flagged rows are all listed, in data row order, with no count and no pointer.
TEST(RegressionSummary, TenFlaggedRowsAreAllListed) {
  const std::string summary = FormatSummary(AllFlagged(10), "kelmath", "d.csv");
  EXPECT_EQ(TableRows(summary), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  EXPECT_NE(summary.find("leverage > 2n/m = 0.6):\n   Row "), std::string::npos) << summary;
  EXPECT_EQ(summary.find("more: see"), std::string::npos);
}

// 15 robust outliers among 40 rows: the count, the ten largest |normalized residual| by data
// row, and the pointer; up to ten are listed as they come.
TEST(RegressionSummary, ManyRobustOutliersShowTheMostExtremeAndTheCount) {
  RegressionResult r = AllFlagged(40);
  r.hasRobust = true;
  r.robust.normalizedResiduals.assign(40, 0.5);
  // Outliers are the rows 11..25 (positions 10..24); row 11 + k has |residual| 3 + k, signs
  // alternating, so the ten largest are rows 25, 24, ..., 16.
  for (int k = 0; k < 15; ++k) {
    r.robust.outlierRows.push_back(11 + k);
    r.robust.outlierObservations.push_back(10 + k);
    r.robust.normalizedResiduals[static_cast<size_t>(10 + k)] = (k % 2 ? -1.0 : 1.0) * (3.0 + k);
  }
  const std::string summary = FormatSummary(r, "kelmath", "d.csv", "rows.csv");
  EXPECT_NE(summary.find("Robust outliers (|normalized robust residual| > 2.5): 15 rows; the 10 "
                         "most extreme: rows 25, 24, 23, 22, 21, 20, 19, 18, 17, 16\n"
                         "and 5 more: see rows.csv\n"),
            std::string::npos)
      << summary;
  r.robust.outlierRows.resize(10);
  r.robust.outlierObservations.resize(10);
  EXPECT_NE(FormatSummary(r, "kelmath", "d.csv")
                .find("Robust outliers (|normalized robust residual| > 2.5): rows 11, 12, 13, 14, "
                      "15, 16, 17, 18, 19, 20\n"),
            std::string::npos);
}

std::string CsvOf(const RegressionResult& r) {
  char* buffer = nullptr;
  size_t size = 0;
  std::FILE* file = open_memstream(&buffer, &size);
  EXPECT_TRUE(kelmath_cli::WriteObservationsCsv(r, file));
  std::fclose(file);
  std::string text(buffer, size);
  std::free(buffer);
  return text;
}

// Hand-written lines: 17 significant digits, NA for NaN, the flags of each rule, and the robust
// columns only with the robust fit.
TEST(ObservationsCsv, EveryRowWithSeventeenDigitsNaAndFlags) {
  RegressionResult r;
  // row, fitted, residual, leverage, Cook's distance, studentized residual, standardized
  r.observations = {{3, 0.1, -2.5, 0.25, 1e-300, 1.0 / 3.0, 0.0},
                    {5, 2.0, 0.0, 1.0, std::nan(""), std::nan(""), 0.0}};
  r.influential = {{5, 1, false, false, true}};
  const std::string header =
      "row,fitted,residual,leverage,studentized_residual,cooks_distance,flag_cook,"
      "flag_residual,flag_leverage";
  EXPECT_EQ(CsvOf(r), header +
                          "\n3,0.10000000000000001,-2.5,0.25,0.33333333333333331,1e-300,"
                          "FALSE,FALSE,FALSE\n"
                          "5,2,0,1,NA,NA,FALSE,FALSE,TRUE\n");
  r.hasRobust = true;
  r.robust.normalizedResiduals = {-0.75, 4.0};
  r.robust.outlierRows = {5};
  r.robust.outlierObservations = {1};
  r.influential = {{3, 0, true, true, false}};
  EXPECT_EQ(CsvOf(r), header +
                          ",robust_normalized_residual,robust_outlier\n"
                          "3,0.10000000000000001,-2.5,0.25,0.33333333333333331,1e-300,"
                          "TRUE,TRUE,FALSE,-0.75,FALSE\n"
                          "5,2,0,1,NA,NA,FALSE,FALSE,FALSE,4,TRUE\n");
}

}  // namespace
