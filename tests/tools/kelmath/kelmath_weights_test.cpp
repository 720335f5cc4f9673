// `kelmath regress --weights`: weighted least squares against R's lm(weights =) on R's data sets
// (tests/reference/r/formulas.R): every number of the JSON, each row's residual, weighted
// residual, leverage, Cook's distance and studentized residual, and the HC3 standard errors of
// sandwich::vcovHC; the same fit by --columns; and the faults of a weights column, each one line
// with exit status 2 and no result file.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <ostream>
#include <string>

#include "../../linear_regression/linear_regression_test_data.h"
#include "kelmath_command_support.h"

namespace {

using kelmath_test::KelmathCommand;
using lr_test::Reference;
using lr_test::RelativelyNear;

constexpr double kTight = 1e-9;

struct WeightedCase {
  const char* name;  // formula_<name>.txt
};
void PrintTo(const WeightedCase& value, std::ostream* os) {
  *os << value.name;
}

const WeightedCase kCases[] = {
    {"mtcars_weighted"}, {"cars93_weighted"}, {"iris_weighted"}, {"airquality_weighted"}};

class WeightedAgainstR : public KelmathCommand, public ::testing::WithParamInterface<WeightedCase> {
 protected:
  std::string Command(const Reference& r) const {
    std::string command = "regress " + Data("formula_" + r.Text("data") + ".csv") + " --formula '" +
                          r.Text("formula") + "' --weights " + r.Text("weights");
    if (!r.Text("reference").empty()) command += " --reference " + r.Text("reference");
    return command;
  }
};

TEST_P(WeightedAgainstR, EveryNumberIsLmsWithWeights) {
  const Reference r("r/formula_" + std::string(GetParam().name) + ".txt");
  const auto run = Run(Command(r) + " --json r.json");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("\nWeighted Residuals:\n"), std::string::npos);
  EXPECT_NE(run.out.find("Studentized Breusch-Pagan test: NA (a weighted fit)"), std::string::npos);
  const auto j = nlohmann::json::parse(Read("r.json"));
  EXPECT_EQ(j["weights"], r.Text("weights"));
  const int m = static_cast<int>(r("rows_used"));
  ASSERT_EQ(j["rows_used"].get<int>(), m);
  const int n = static_cast<int>(r("parameters"));
  ASSERT_EQ(j["coefficients"].size(), static_cast<size_t>(n));
  for (int i = 1; i <= n; ++i) {
    const auto& k = j["coefficients"][i - 1];
    EXPECT_EQ(k["name"], r.Text("name[" + std::to_string(i) + "]"));
    SCOPED_TRACE(k["name"].get<std::string>());
    EXPECT_TRUE(RelativelyNear(k["estimate"].get<double>(), r("estimate", i), kTight));
    EXPECT_TRUE(RelativelyNear(k["std_error"].get<double>(), r("se", i), kTight));
    EXPECT_TRUE(RelativelyNear(k["t_value"].get<double>(), r("t", i), kTight));
    EXPECT_TRUE(RelativelyNear(k["p_value"].get<double>(), r("p", i), kTight));
  }
  for (const char* key :
       {"sigma", "r_squared", "adj_r_squared", "f_statistic", "f_p_value", "aic", "bic"}) {
    const std::string name = key;
    const std::string reference = name == "r_squared"       ? "r2"
                                  : name == "adj_r_squared" ? "adj_r2"
                                  : name == "f_statistic"   ? "f"
                                  : name == "f_p_value"     ? "f_p"
                                                            : name;
    EXPECT_TRUE(RelativelyNear(j[name].get<double>(), r(reference), kTight)) << name;
  }
  const auto& rows = j["observations"];
  ASSERT_EQ(rows.size(), static_cast<size_t>(m));
  for (int i = 1; i <= m; ++i) {
    const auto& o = rows[i - 1];
    SCOPED_TRACE("row " + std::to_string(i));
    EXPECT_EQ(o["row"].get<double>(), r("row", i));
    // Residuals are compared on the scale of the response's spread: some are near zero.
    const double scale = j["sigma"].get<double>();
    EXPECT_NEAR(o["residual"].get<double>(), r("residual", i), kTight * scale * 100);
    EXPECT_NEAR(o["weighted_residual"].get<double>(), r("weighted_residual", i),
                kTight * scale * 100);
    EXPECT_TRUE(RelativelyNear(o["leverage"].get<double>(), r("leverage", i), kTight));
    EXPECT_NEAR(o["cooks_distance"].get<double>(), r("cooks", i), kTight);
    EXPECT_NEAR(o["studentized_residual"].get<double>(), r("rstudent", i), kTight);
  }
  // Heteroskedasticity-consistent standard errors of the weighted fit, as sandwich's.
  const auto hc3 = Run(Command(r) + " --se hc3 --json h.json");
  ASSERT_EQ(hc3.status, 0) << hc3.err;
  const auto h = nlohmann::json::parse(Read("h.json"));
  for (int i = 1; i <= n; ++i)
    EXPECT_TRUE(
        RelativelyNear(h["coefficients"][i - 1]["std_error"].get<double>(), r("se_hc3", i), kTight))
        << i;
}

INSTANTIATE_TEST_SUITE_P(RDataSets, WeightedAgainstR, ::testing::ValuesIn(kCases),
                         ::testing::PrintToStringParamName());

// The weights column is neither a regressor nor the response of --columns by default, and
// --columns with weights fits what the formula fits.
TEST_F(KelmathCommand, WeightsByColumnsAreTheFormulasWeights) {
  const std::string data = Data("formula_mtcars.csv");
  ASSERT_EQ(
      Run("regress " + data + " --formula 'mpg ~ wt + qsec' --weights hp --json f.json").status, 0);
  ASSERT_EQ(Run("regress " + data + " --response mpg --columns wt,qsec --weights hp --json c.json")
                .status,
            0);
  EXPECT_EQ(Read("f.json"), Read("c.json"));
  Write("d.csv", "y,x,w\n1,1,1\n2,2.5,2\n2.5,3,1\n4.5,4,3\n4,5,1\n6.5,6,2\n");
  ASSERT_EQ(Run("regress d.csv --response y --weights w --json d.json").status, 0);
  const auto j = nlohmann::json::parse(Read("d.json"));
  ASSERT_EQ(j["coefficients"].size(), 2u);
  EXPECT_EQ(j["coefficients"][1]["name"], "x");
}

// A row without a weight is dropped; a weight that is zero, negative, infinite or not a number
// is one line naming its line and column, with status 2 and no result file; the library's
// reports, which are of unweighted fits, are refused with weights.
TEST_F(KelmathCommand, WeightFaultsAreOneClearLine) {
  Write("d.csv",
        "y,x,w,z,n,t,i\n1,1,1,1,1,1,1\n2,2.5,2,0,2,a,2\n2.5,3,,1,-1,1,1e999\n"
        "4.5,4,3,1,1,1,1\n4,5,1,1,1,1,1\n6.5,6,2,1,1,1,1\n");
  const auto dropped = Run("regress d.csv --formula 'y ~ x' --weights w --json r.json");
  ASSERT_EQ(dropped.status, 0) << dropped.err;
  EXPECT_EQ(nlohmann::json::parse(Read("r.json"))["dropped_rows"], nlohmann::json::array({3}));
  const struct {
    const char* arguments;
    const char* message;
  } cases[] = {
      {"--formula 'y ~ x' --weights z",
       "line 3, column 'z': the weight '0' is not a positive number"},
      {"--response y --columns x --weights n",
       "line 4, column 'n': the weight '-1' is not a positive number"},
      {"--formula 'y ~ x' --weights i", "line 4, column 'i': '1e999' is not a number"},
      {"--formula 'y ~ x' --weights t", "line 3, column 't': 'a' is not a number"},
      {"--formula 'y ~ x' --weights v", "--weights: no column named 'v'"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    const auto run = Run(std::string("regress d.csv ") + c.arguments + " --json f.json");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, std::string("kelmath: d.csv: ") + c.message + "\n");
    EXPECT_FALSE(Exists("f.json"));
  }
  const auto reports = Run("regress d.csv --formula 'y ~ x' --weights w --output r.txt");
  EXPECT_EQ(reports.status, 2);
  EXPECT_FALSE(Exists("r.txt"));
}

}  // namespace
