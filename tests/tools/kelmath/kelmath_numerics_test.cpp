// The `kelmath regress` command at the edges of double precision, one case per kind of data
// that used to give a wrong answer with exit 0: every value against lm on the same data
// (tests/reference/r/numerics.R, which rescales exactly where lm cannot work), or against the
// exact answer.
#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>

#include "../../linear_regression/linear_regression_test_data.h"
#include "kelmath_command_support.h"

namespace {

using kelmath_test::KelmathCommand;
using lr_test::Reference;
using lr_test::RelativelyNear;

// The reference fits are well conditioned: both sides agree to rounding of their own.
constexpr double kTight = 1e-9;

struct NumericsCase {
  const char* name;       // numerics_<name>.csv and .txt
  const char* arguments;  // after the data file
};
// Names the case in test listings and failure messages instead of a byte dump of the struct.
void PrintTo(const NumericsCase& value, std::ostream* os) {
  *os << value.name;
}

const NumericsCase kNumericsCases[] = {
    {"big_column", "--response y"},          {"big_response", "--response y"},
    {"tiny_response", "--response y"},       {"scales", "--response y"},
    {"ones", "--response y --no-intercept"}, {"tiny_variance", "--response y"},
    {"zero_column", "--response y"},         {"near_copy", "--response y"},
    {"offset_response", "--response y"},
};

class NumericsAgainstR : public KelmathCommand, public ::testing::WithParamInterface<NumericsCase> {
 protected:
  nlohmann::json RunJson(const std::string& extra, std::string* summary = nullptr) {
    const auto run = Run("regress " + Data("numerics_" + std::string(GetParam().name) + ".csv") +
                         " " + GetParam().arguments + extra + " --json r.json");
    EXPECT_EQ(run.status, 0) << run.err;
    if (summary != nullptr) *summary = run.out;
    return nlohmann::json::parse(Read("r.json"));
  }
};

void ExpectNear(const nlohmann::json& value, double reference, double tolerance,
                const std::string& what) {
  ASSERT_TRUE(value.is_number()) << what << " is " << value.dump();
  EXPECT_TRUE(RelativelyNear(value.get<double>(), reference, tolerance)) << what;
}

TEST_P(NumericsAgainstR, EveryStatisticMatchesROrIsDroppedAsRDropsIt) {
  const Reference r("r/numerics_" + std::string(GetParam().name) + ".txt");
  std::string summary;
  const auto j = RunJson("", &summary);
  const int n = static_cast<int>(r("parameters"));
  ASSERT_EQ(j["coefficients"].size(), static_cast<size_t>(n));
  for (int i = 1; i <= n; ++i) {
    const auto& c = j["coefficients"][i - 1];
    const std::string at = "coefficient " + std::to_string(i);
    if (r("aliased", i) == 1.0) {
      EXPECT_TRUE(c["estimate"].is_null()) << at;
      EXPECT_TRUE(c["aliased"].get<bool>()) << at;
      EXPECT_NE(summary.find("Column '" + c["name"].get<std::string>() + "' is dropped (NA)"),
                std::string::npos)
          << summary;
      continue;
    }
    ExpectNear(c["estimate"], r("estimate", i), kTight, at + " estimate");
    ExpectNear(c["std_error"], r("std_error", i), kTight, at + " std_error");
    ExpectNear(c["t_value"], r("t_value", i), kTight, at + " t_value");
  }
  ExpectNear(j["sigma"], r("sigma"), kTight, "sigma");
  ExpectNear(j["r_squared"], r("r_squared"), kTight, "r_squared");
  ExpectNear(j["adj_r_squared"], r("adj_r_squared"), kTight, "adj_r_squared");
  ExpectNear(j["f_statistic"], r("f_statistic"), kTight, "f_statistic");
  ExpectNear(j["breusch_pagan"]["statistic"], r("bp_statistic"), kTight, "BP");
  EXPECT_TRUE(j["condition_number"].is_number());
  const double sigma = r("sigma");
  for (size_t i = 1; i <= j["observations"].size(); ++i) {
    const auto& o = j["observations"][i - 1];
    const std::string at = "observation " + std::to_string(i);
    ExpectNear(o["leverage"], r("leverage", i), kTight, at + " leverage");
    ExpectNear(o["cooks_distance"], r("cooks_distance", i), 1e-8, at + " cooks_distance");
    ExpectNear(o["studentized_residual"], r("studentized_residual", i), 1e-8, at + " rstudent");
    // Residuals near zero: their error is measured against sigma.
    EXPECT_LE(std::fabs(o["residual"].get<double>() - r("residual", i)), kTight * sigma) << at;
  }
}

INSTANTIATE_TEST_SUITE_P(EdgesOfDoublePrecision, NumericsAgainstR,
                         ::testing::ValuesIn(kNumericsCases), ::testing::PrintToStringParamName());

// --variance 1e-300: the standard errors are sqrt(V diag((X'X)^-1)), about 1e-151 here, with no
// floor under them.
TEST_F(KelmathCommand, TinyAssignedVarianceGivesTheTrueStandardErrors) {
  const Reference r("r/numerics_tiny_variance.txt");
  const auto run =
      Run("regress " + Data("numerics_tiny_variance.csv") + " --response y --variance " +
          r.Text("variance") + " --dof 10 --json r.json");
  ASSERT_EQ(run.status, 0) << run.err;
  const auto j = nlohmann::json::parse(Read("r.json"));
  for (int i = 1; i <= 2; ++i)
    ExpectNear(j["coefficients"][i - 1]["std_error"], r("assigned_std_error", i), kTight,
               "std_error " + std::to_string(i));
}

// An exact fit: the exact coefficients, standard errors 0, no t or F, and R's warning.
TEST_F(KelmathCommand, ExactFitGivesZeroStandardErrorsAndAWarning) {
  const auto run = Run("regress " + Data("numerics_exact.csv") + " --response y --json r.json");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("Warning: essentially perfect fit"), std::string::npos) << run.out;
  // The statistics that are not defined say why: not for a model of the intercept alone.
  EXPECT_NE(run.out.find("F-statistic: NA (an exact fit)\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Breusch-Pagan test: NA (an exact fit)\n"), std::string::npos);
  const auto j = nlohmann::json::parse(Read("r.json"));
  const double exact[] = {1.0, 2.0, 0.5};  // y = 1 + 2 x + z / 2
  for (int i = 0; i < 3; ++i) {
    const auto& c = j["coefficients"][i];
    ExpectNear(c["estimate"], exact[i], 1e-13, "estimate " + std::to_string(i + 1));
    EXPECT_EQ(c["std_error"].get<double>(), 0.0) << i;
    EXPECT_TRUE(c["t_value"].is_null()) << i;
  }
  EXPECT_TRUE(j["exact_fit"].get<bool>());
  EXPECT_EQ(j["sigma"].get<double>(), 0.0);
  EXPECT_EQ(j["r_squared"].get<double>(), 1.0);
  EXPECT_TRUE(j["f_statistic"].is_null());
}

}  // namespace
