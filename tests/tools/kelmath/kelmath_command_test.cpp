// The `kelmath regress` command on R's data sets: its JSON result and its summary against
// lm, summary, confint, car::vif, hatvalues, rstudent, cooks.distance, logLik, AIC, BIC and
// lmtest::bptest (tests/reference/r/diagnostics.R), its report file, and each kind of bad
// input with its one-line message, exit status 2 and no result file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "../../linear_regression/linear_regression_test_data.h"
#include "kelmath_command_support.h"
#include "linear_regression/kel_linear_regression.h"

namespace {

using kelmath_test::KelmathCommand;
using lr_test::Reference;
using lr_test::RelativelyNear;

// Every number, the P values included (the library's t, F and chi-square tails agree with R's
// to about 1e-14 at these degrees of freedom).
constexpr double kTight = 1e-9;

struct Case {
  const char* name;       // diagnostics_<name>.txt
  const char* arguments;  // after "kelmath regress"
};
// Names the case in test listings and failure messages instead of a byte dump of the struct.
void PrintTo(const Case& value, std::ostream* os) {
  *os << value.name;
}

const Case kCases[] = {
    {"mtcars", "mtcars.csv --response mpg --columns wt,hp,qsec,am"},
    {"airquality", "airquality.csv --response Ozone --columns Solar.R,Wind,Temp"},
    {"swiss", "swiss.csv --response Fertility"},
    {"swiss_no_intercept", "swiss.csv --response Fertility --no-intercept"},
};

std::string Arguments(const Case& c) {
  const std::string text = c.arguments;
  const size_t blank = text.find(' ');
  return "regress '" + kel_test::ReferencePath("r/" + text.substr(0, blank)) + "'" +
         text.substr(blank);
}

class CommandAgainstR : public KelmathCommand, public ::testing::WithParamInterface<Case> {};

void ExpectNear(const nlohmann::json& value, double reference, double tolerance,
                const std::string& what) {
  ASSERT_TRUE(value.is_number()) << what << " is " << value.dump();
  EXPECT_TRUE(RelativelyNear(value.get<double>(), reference, tolerance)) << what;
}

TEST_P(CommandAgainstR, JsonCoefficientsAndModelStatisticsMatchR) {
  const Reference r("r/diagnostics_" + std::string(GetParam().name) + ".txt");
  const auto run = Run(Arguments(GetParam()) + " --json result.json");
  ASSERT_EQ(run.status, 0) << run.err;
  const auto j = nlohmann::json::parse(Read("result.json"));
  EXPECT_EQ(j["rows_used"].get<int>(), static_cast<int>(r("rows_used")));
  std::vector<int> dropped;
  for (int k = 1; k <= static_cast<int>(r("dropped_count")); ++k)
    dropped.push_back(static_cast<int>(r("dropped", k)));
  EXPECT_EQ(j["dropped_rows"].get<std::vector<int>>(), dropped);
  const int n = static_cast<int>(r("parameters"));
  ASSERT_EQ(j["coefficients"].size(), static_cast<size_t>(n));
  for (int i = 1; i <= n; ++i) {
    const auto& c = j["coefficients"][i - 1];
    const std::string at = "coefficient " + std::to_string(i);
    EXPECT_EQ(c["name"].get<std::string>(), r.Text("name[" + std::to_string(i) + "]"));
    ExpectNear(c["estimate"], r("estimate", i), kTight, at + " estimate");
    ExpectNear(c["std_error"], r("std_error", i), kTight, at + " std_error");
    ExpectNear(c["t_value"], r("t_value", i), kTight, at + " t_value");
    ExpectNear(c["p_value"], r("p_value", i), kTight, at + " p_value");
    ExpectNear(c["ci95"][0], r("ci95_low", i), kTight, at + " ci95 low");
    ExpectNear(c["ci95"][1], r("ci95_high", i), kTight, at + " ci95 high");
    if (r("vif", i) == 0.0)
      EXPECT_TRUE(c["vif"].is_null()) << at;
    else
      ExpectNear(c["vif"], r("vif", i), kTight, at + " vif");
  }
  ExpectNear(j["sigma"], r("sigma"), kTight, "sigma");
  ExpectNear(j["r_squared"], r("r_squared"), kTight, "r_squared");
  ExpectNear(j["adj_r_squared"], r("adj_r_squared"), kTight, "adj_r_squared");
  ExpectNear(j["f_statistic"], r("f_statistic"), kTight, "f_statistic");
  ExpectNear(j["f_p_value"], r("f_p_value"), kTight, "f_p_value");
  ExpectNear(j["aic"], r("aic"), kTight, "aic");
  ExpectNear(j["bic"], r("bic"), kTight, "bic");
  ExpectNear(j["breusch_pagan"]["statistic"], r("bp_statistic"), kTight, "BP");
  ExpectNear(j["breusch_pagan"]["p_value"], r("bp_p_value"), kTight, "BP p");
  EXPECT_FALSE(j.contains("robust"));
}

TEST_P(CommandAgainstR, JsonObservationsByDataRowMatchR) {
  const Reference r("r/diagnostics_" + std::string(GetParam().name) + ".txt");
  const auto run = Run(Arguments(GetParam()) + " --json result.json");
  ASSERT_EQ(run.status, 0) << run.err;
  const auto j = nlohmann::json::parse(Read("result.json"));
  const int m = static_cast<int>(r("rows_used"));
  ASSERT_EQ(j["observations"].size(), static_cast<size_t>(m));
  for (int i = 1; i <= m; ++i) {
    const auto& o = j["observations"][i - 1];
    const std::string at = "observation " + std::to_string(i);
    EXPECT_EQ(o["row"].get<int>(), static_cast<int>(r("row", i))) << at;
    ExpectNear(o["fitted"], r("fitted", i), kTight, at + " fitted");
    ExpectNear(o["residual"], r("residual", i), kTight, at + " residual");
    ExpectNear(o["leverage"], r("leverage", i), kTight, at + " leverage");
    ExpectNear(o["cooks_distance"], r("cooks_distance", i), kTight, at + " cooks_distance");
    ExpectNear(o["studentized_residual"], r("studentized_residual", i), kTight,
               at + " studentized_residual");
  }
}

// The summary prints R's numbers (to the digits shown) beside the column names, the dropped
// rows, and the observations the three rules of thumb flag, by data row.
TEST_P(CommandAgainstR, SummaryShowsRsNumbersNamesAndFlaggedRows) {
  const Reference r("r/diagnostics_" + std::string(GetParam().name) + ".txt");
  const auto run = Run(Arguments(GetParam()));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  const std::string& out = run.out;
  const auto printed = [](const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return std::string(text);
  };
  const int m = static_cast<int>(r("rows_used"));
  const int n = static_cast<int>(r("parameters"));
  for (int i = 1; i <= n; ++i) {
    const std::string name = r.Text("name[" + std::to_string(i) + "]");
    const size_t at = out.find("\n" + name + " ");
    ASSERT_NE(at, std::string::npos) << name;
    const std::string line = out.substr(at + 1, out.find('\n', at + 1) - at - 1);
    EXPECT_NE(line.find(printed("%13.6g", r("estimate", i))), std::string::npos) << line;
    EXPECT_NE(line.find(printed("%13.6g", r("std_error", i))), std::string::npos) << line;
    EXPECT_NE(line.find(printed("%13.6g", r("ci95_low", i))), std::string::npos) << line;
    if (r("vif", i) != 0.0) {
      EXPECT_NE(line.find(printed(" %9.4g", r("vif", i))), std::string::npos) << line;
    }
  }
  EXPECT_NE(out.find("Residual standard error: " + printed("%.4g", r("sigma")) + " on " +
                     std::to_string(m - n) + " degrees of freedom"),
            std::string::npos);
  EXPECT_NE(out.find("Multiple R-squared: " + printed("%.4g", r("r_squared")) +
                     ",  Adjusted R-squared: " + printed("%.4g", r("adj_r_squared"))),
            std::string::npos);
  EXPECT_NE(out.find("F-statistic: " + printed("%.4g", r("f_statistic")) + " on " +
                     std::to_string(static_cast<int>(r("f_numdf"))) + " and " +
                     std::to_string(m - n) + " DF"),
            std::string::npos);
  EXPECT_NE(out.find("AIC: " + printed("%.7g", r("aic")) + ",  BIC: " + printed("%.7g", r("bic"))),
            std::string::npos);
  EXPECT_NE(out.find("BP = " + printed("%.4g", r("bp_statistic")) +
                     ", df = " + std::to_string(static_cast<int>(r("bp_df")))),
            std::string::npos);
  // Flagged rows, from R's values and the documented thresholds.
  std::string expected;
  for (int i = 1; i <= m; ++i) {
    const bool cook = r("cooks_distance", i) > 4.0 / m;
    const bool studentized = std::fabs(r("studentized_residual", i)) > 3.0;
    const bool leverage = r("leverage", i) > 2.0 * n / m;
    if (!(cook || studentized || leverage)) continue;
    expected += printed("%6.0f", r("row", i)) + printed(" %12.4g", r("cooks_distance", i)) +
                printed(" %12.4g", r("studentized_residual", i)) +
                printed(" %12.4g", r("leverage", i)) + " " + (cook ? " Cook" : "") +
                (studentized ? " residual" : "") + (leverage ? " leverage" : "") + "\n";
  }
  const size_t table = out.find("Flagged by\n");
  ASSERT_EQ(table == std::string::npos, expected.empty()) << out;
  if (!expected.empty()) {
    const size_t start = table + 11;
    EXPECT_EQ(out.substr(start, expected.size()), expected);
  }
}

INSTANTIATE_TEST_SUITE_P(RDataSets, CommandAgainstR, ::testing::ValuesIn(kCases),
                         ::testing::PrintToStringParamName());

TEST_F(KelmathCommand, SummaryListsTheRowsDroppedForMissingValues) {
  const Reference r("r/diagnostics_airquality.txt");
  const auto run = Run(Arguments(kCases[1]));
  ASSERT_EQ(run.status, 0) << run.err;
  std::string rows;
  for (int k = 1; k <= static_cast<int>(r("dropped_count")); ++k)
    rows.append(k > 1 ? ", " : "").append(std::to_string(static_cast<int>(r("dropped", k))));
  EXPECT_NE(
      run.out.find(", 153 data rows, 111 used; 42 dropped for missing values: rows " + rows + "\n"),
      std::string::npos)
      << run.out;
  // The command leaves no empty output channel of the library behind.
  EXPECT_FALSE(Exists("KelFile.txt"));
}

// The robust fit's outliers are the library's, reported by data row (the rows used are not
// numbered consecutively in airquality).
TEST_F(KelmathCommand, RobustOutliersAreReportedByDataRow) {
  const Reference r("r/diagnostics_airquality.txt");
  const int m = static_cast<int>(r("rows_used"));
  const int n = static_cast<int>(r("parameters"));
  KelMatrix F(m, n);
  KelVector y(m);
  for (int i = 1; i <= m; ++i) {
    y(i) = r("y", i);
    for (int j = 1; j <= n; ++j) F(i, j) = r("F", i, j);
  }
  KelLinearRegression regression(F, y);
  const KelVectorInt& outliers = regression.RobustOutliers();
  ASSERT_GT(outliers.Size(), 0);
  std::vector<int> rows;
  for (int k = 1; k <= outliers.Size(); ++k)
    rows.push_back(static_cast<int>(r("row", outliers(k))));

  const auto run = Run(Arguments(kCases[1]) + " --reports robust --json result.json");
  ASSERT_EQ(run.status, 0) << run.err;
  const auto j = nlohmann::json::parse(Read("result.json"));
  ASSERT_TRUE(j.contains("robust"));
  EXPECT_EQ(j["robust"]["outlier_rows"].get<std::vector<int>>(), rows);
  EXPECT_TRUE(
      RelativelyNear(j["robust"]["lms"].get<double>(), regression.LeastMedianOfSquares(), 1e-15));
  ASSERT_EQ(j["robust"]["coefficients"].size(), static_cast<size_t>(n));
  std::string listed;
  for (size_t k = 0; k < rows.size(); ++k)
    listed.append(k > 0 ? ", " : "").append(std::to_string(rows[k]));
  EXPECT_NE(run.out.find("Robust outliers (|normalized robust residual| > 2.5): rows " + listed),
            std::string::npos)
      << run.out;
}

TEST_F(KelmathCommand, ReportFileMapsParametersToColumnsAndHoldsTheChosenReports) {
  const auto run = Run(Arguments(kCases[1]) + " --reports least-squares,svd --output report.txt");
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string report = Read("report.txt");
  EXPECT_NE(report.find("Parameters: b1 = (Intercept), b2 = Solar.R, b3 = Wind, b4 = Temp\n"),
            std::string::npos);
  // Experiment 5 of the reports is data row 7 (rows 5 and 6 have missing values).
  EXPECT_NE(report.find(" 4:4 5:7 6:8 "), std::string::npos);
  EXPECT_NE(report.find("\nLeast Squares Regression Analysis"), std::string::npos);
  EXPECT_NE(report.find("\nSingular Value Decomposition Analysis"), std::string::npos);
  EXPECT_EQ(report.find("\nRobust Regression Analysis"), std::string::npos);
  EXPECT_EQ(report.find("Stepwise"), std::string::npos);
  // The least-squares report's parameter table carries the fit's estimates.
  const Reference r("r/diagnostics_airquality.txt");
  char line[128];
  std::snprintf(line, sizeof line, "\n  3 %16.7e", r("estimate", 3));
  EXPECT_NE(report.find(line), std::string::npos) << line;
}

// Every kind of bad input: one line on standard error, status 2, and none of the result files.
TEST_F(KelmathCommand, BadInputIsOneLineWithStatusTwoAndNoResultFile) {
  Write("ragged.csv", "y,x\n1,2\n2,3,4\n3,5\n");
  Write("empty.csv", "");
  Write("few.csv", "y,x\n1,2\n2,NA\n");
  Write("text.csv", "y,x\n1,2\n2,3\n3,abc\n4,5\n");
  const std::string outputs = " --json r.json --output r.txt --plots plots";
  const struct {
    std::string arguments;
    std::string message;
  } cases[] = {
      {"regress " + Data("mtcars.csv") + " --response mpg --columns wt,weight",
       "kelmath: " + kel_test::ReferencePath("r/mtcars.csv") + ": no column named 'weight'\n"},
      {"regress text.csv --response y",
       "kelmath: text.csv: line 4, column 'x': 'abc' is not a number\n"},
      {"regress " + Data("mtcars.csv") + " --response mpg --columns wt,model",
       "kelmath: " + kel_test::ReferencePath("r/mtcars.csv") +
           ": line 2, column 'model': 'Mazda RX4' is not a number\n"},
      {"regress few.csv --response y",
       "kelmath: few.csv: 1 complete rows (1 dropped for missing values), but a model with 2 "
       "parameters needs at least 3\n"},
      {"regress ragged.csv --response y",
       "kelmath: ragged.csv: line 3: 3 fields where the header has 2\n"},
      {"regress empty.csv --response y", "kelmath: empty.csv: the file is empty (no header row)\n"},
      {"regress missing.csv --response y", "kelmath: missing.csv: cannot be read\n"},
  };
  for (const auto& c : cases) {
    const auto run = Run(c.arguments + outputs);
    EXPECT_EQ(run.status, 2) << c.arguments;
    EXPECT_EQ(run.err, c.message) << c.arguments;
    EXPECT_EQ(run.out, "") << c.arguments;
    EXPECT_FALSE(Exists("r.json") || Exists("r.txt") || Exists("plots")) << c.arguments;
  }
}

TEST_F(KelmathCommand, UsageErrorsAreOneLineWithStatusTwo) {
  const std::string data = "regress " + Data("swiss.csv") + " --response Fertility";
  for (const std::string& arguments :
       {std::string(""), std::string("regress"), data + " --reports least-squares,fancy",
        data + " --variance 0.5", data + " --dof 3", data + " --variance -1 --dof 3",
        data + " --unknown", std::string("fit ") + Data("swiss.csv")}) {
    const auto run = Run(arguments + " --json r.json");
    EXPECT_EQ(run.status, 2) << arguments;
    EXPECT_EQ(run.err.rfind("kelmath: ", 0), 0u) << arguments << ": " << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << arguments << ": " << run.err;
    EXPECT_FALSE(Exists("r.json")) << arguments;
  }
}

// A constant column beside the intercept and a column dependent on the earlier ones are dropped
// as R's lm drops them, with a note; a constant response leaves nothing to explain.
TEST_F(KelmathCommand, DependentColumnsAreDroppedAndAConstantResponseIsADataError) {
  Write("constant.csv", "y,x,c\n1,2,5\n2,3,5\n3,5,5\n4,4,5\n");
  Write("dependent.csv", "y,x,z\n1,2,4\n2,3,6\n3,5,10\n4,4,8\n");
  Write("flat.csv", "y,x\n3,2\n3,3\n3,5\n3,4\n");
  for (const char* file : {"constant.csv", "dependent.csv"}) {
    const auto run = Run(std::string("regress ") + file + " --response y --json r.json");
    EXPECT_EQ(run.status, 0) << file << ": " << run.err;
    const std::string name = file[0] == 'c' ? "c" : "z";
    EXPECT_NE(run.out.find("Column '" + name +
                           "' is dropped (NA): it is a linear combination of "
                           "the earlier columns, within 1e-07 of its length.\n"),
              std::string::npos)
        << run.out;
    // The leverage rule counts the estimated coefficients (the rank, 2 of 3), as it is applied.
    EXPECT_NE(run.out.find("leverage > 2n/m = 1):"), std::string::npos) << run.out;
    const auto j = nlohmann::json::parse(Read("r.json"));
    EXPECT_TRUE(j["coefficients"][2]["estimate"].is_null()) << file;
    // lm(y ~ x) on the four rows: slope 0.8 (the dropped column changes nothing).
    EXPECT_TRUE(RelativelyNear(j["coefficients"][1]["estimate"].get<double>(), 0.8, 1e-13));
  }
  const auto run = Run("regress flat.csv --response y --json r.json");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "kelmath: flat.csv: the response 'y' is constant in the rows used\n");
  EXPECT_FALSE(Exists("flat.json"));
}

// Every non-integral number of the JSON text is written as "%.17g" writes the double it reads
// back to: 17 significant digits, trailing zeros dropped; counts and row numbers are integers.
TEST_F(KelmathCommand, JsonNumbersAreWrittenWithSeventeenSignificantDigits) {
  const auto run = Run(Arguments(kCases[1]) + " --reports robust --json result.json");
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string text = Read("result.json");
  std::istringstream lines(text);
  std::string line;
  int reals = 0;
  int fullLength = 0;
  while (std::getline(lines, line)) {
    // The value at the end of a member line ("name": value) or an array element line.
    const size_t start = line.find_first_not_of(' ');
    if (start == std::string::npos) continue;
    std::string token = line.substr(start);
    if (const size_t colon = token.rfind("\": "); colon != std::string::npos)
      token = token.substr(colon + 3);
    if (!token.empty() && token.back() == ',') token.pop_back();
    if (token.empty() || token.find_first_not_of("-+.0123456789eE") != std::string::npos ||
        token.find_first_of("0123456789") == std::string::npos)
      continue;
    if (token.find_first_of(".eE") == std::string::npos) continue;  // an integer
    const double value = std::strtod(token.c_str(), nullptr);
    char expected[32];
    std::snprintf(expected, sizeof expected, "%.17g", value);
    EXPECT_EQ(token, expected) << line;
    ++reals;
    // The significand's digits, without sign, leading zeros and exponent.
    std::string digits = token.substr(0, token.find_first_of("eE"));
    digits.erase(
        std::remove_if(digits.begin(), digits.end(), [](char c) { return c < '0' || c > '9'; }),
        digits.end());
    digits.erase(0, digits.find_first_not_of('0'));
    if (digits.size() == 17) ++fullLength;
  }
  // airquality: 111 observations of 5 numbers each, and the model's numbers.
  EXPECT_GT(reals, 500);
  // Trailing zeros are dropped: the 17th digit is 0 for about one number in ten (rounding
  // noise decides which), so at least four in five keep 17 digits.
  EXPECT_GT(fullLength, reals * 4 / 5);
  const auto j = nlohmann::json::parse(text);
  EXPECT_NE(text.find("\"rows_used\": 111,"), std::string::npos);
  EXPECT_NE(text.find("\"vif\": null"), std::string::npos);
  char sigma[64];
  std::snprintf(sigma, sizeof sigma, "\"sigma\": %.17g,", j["sigma"].get<double>());
  EXPECT_NE(text.find(sigma), std::string::npos);
}

// An assigned variance replaces the residual mean square in the standard errors; t quantiles
// and P values stay on the residual degrees of freedom (as the library's least-squares report
// has them), and the F test of the model compares the residual mean square with the variance.
TEST_F(KelmathCommand, AssignedVarianceScalesTheStandardErrorsAndIsTested) {
  const Reference r("r/assigned_variance_swiss.txt");
  const auto run = Run(Arguments(kCases[2]) + " --variance 25 --dof 10 --json result.json");
  ASSERT_EQ(run.status, 0) << run.err;
  const auto j = nlohmann::json::parse(Read("result.json"));
  for (int i = 1; i <= static_cast<int>(r("parameters")); ++i) {
    const auto& c = j["coefficients"][i - 1];
    const std::string at = "coefficient " + std::to_string(i);
    ExpectNear(c["std_error"], r("std_error", i), kTight, at + " std_error");
    ExpectNear(c["t_value"], r("t_value", i), kTight, at + " t_value");
    ExpectNear(c["p_value"], r("p_value", i), kTight, at + " p_value");
    ExpectNear(c["ci95"][0], r("ci95_low", i), kTight, at + " ci95 low");
    ExpectNear(c["ci95"][1], r("ci95_high", i), kTight, at + " ci95 high");
  }
  const auto& assigned = j["assigned_variance"];
  EXPECT_EQ(assigned["variance"].get<double>(), 25.0);
  EXPECT_EQ(assigned["dof"].get<int>(), 10);
  ExpectNear(assigned["f_statistic"], r("f_experimental"), kTight, "F against the variance");
  ExpectNear(assigned["f_p_value"], r("f_p_value"), kTight, "its P value");
  EXPECT_NE(run.out.find("assigned response variance 25 (10 degrees of freedom),\n"
                         "with t on the 41 residual degrees of freedom.\n"
                         "F test of the residual mean square against it: 2.054 on 41 and 10 DF,"
                         "  p-value: 0.1112"),
            std::string::npos)
      << run.out;
}

}  // namespace
