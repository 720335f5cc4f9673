// `kelmath regress --se` and `--cluster`: the coefficients' standard errors, t and P values,
// intervals and the F test follow the covariance asked for, against R's sandwich and lmtest-style
// inference on the same data (tests/reference/r/sandwich.R); the default stays the classical
// one; a covariance the data leave undefined is said, never printed as numbers.
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

// Both sides compute in double precision from the same data; the printed JSON keeps 17 digits.
constexpr double kTight = 1e-9;

struct CovarianceCase {
  const char* name;       // test name
  const char* data;       // <data>.csv and sandwich_<reference>.txt
  const char* reference;  // the case in sandwich.R
  const char* model;      // response and columns
  const char* option;     // --se or --cluster
  const char* label;      // the covariance's label in the reference file
  const char* type;       // its covariance_type in the JSON
};
// Names the case in test listings and failure messages instead of a byte dump of the struct.
void PrintTo(const CovarianceCase& value, std::ostream* os) {
  *os << value.name;
}

const CovarianceCase kCases[] = {
    {"Hc0", "chickweight", "chickweight", "--response weight --columns Time,Diet", "--se hc0",
     "hc0", "hc0"},
    {"Hc1", "chickweight", "chickweight", "--response weight --columns Time,Diet", "--se hc1",
     "hc1", "hc1"},
    {"Hc2", "savings", "savings", "--response sr --columns pop15,pop75,dpi,ddpi", "--se hc2", "hc2",
     "hc2"},
    {"Hc3", "savings", "savings", "--response sr --columns pop15,pop75,dpi,ddpi", "--se hc3", "hc3",
     "hc3"},
    {"Hc4", "stackloss", "stackloss", "--response stack.loss", "--se hc4", "hc4", "hc4"},
    {"OneCluster", "orange", "orange", "--response circumference --columns age", "--cluster Tree",
     "cluster1", "cluster"},
    {"TwoClusters", "chickweight", "chickweight", "--response weight --columns Time,Diet",
     "--cluster Chick,Time", "cluster2", "cluster"},
    {"ClusterBesideUnitLeverage", "mtcars_leverage", "mtcars_leverage",
     "--response mpg --columns wt,hp,first_only", "--cluster cyl", "cluster1", "cluster"},
};

class CovarianceAgainstR : public KelmathCommand,
                           public ::testing::WithParamInterface<CovarianceCase> {};

TEST_P(CovarianceAgainstR, CoefficientsAndFTestFollowTheCovariance) {
  const CovarianceCase& c = GetParam();
  const Reference r("r/sandwich_" + std::string(c.reference) + ".txt");
  const auto run = Run("regress " + Data(std::string(c.data) + ".csv") + " " + c.model + " " +
                       c.option + " --json r.json");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("Standard errors: "), std::string::npos) << run.out;
  const auto j = nlohmann::json::parse(Read("r.json"));
  EXPECT_EQ(j["covariance_type"], c.type);
  const std::string label = c.label;
  const int n = static_cast<int>(r("parameters"));
  ASSERT_EQ(j["coefficients"].size(), static_cast<size_t>(n));
  for (int i = 1; i <= n; ++i) {
    const auto& k = j["coefficients"][i - 1];
    SCOPED_TRACE(k["name"].get<std::string>());
    EXPECT_TRUE(RelativelyNear(k["std_error"].get<double>(), r("se_" + label, i), kTight));
    EXPECT_TRUE(RelativelyNear(k["t_value"].get<double>(), r("t_" + label, i), kTight));
    EXPECT_TRUE(RelativelyNear(k["p_value"].get<double>(), r("p_" + label, i), kTight));
    EXPECT_TRUE(RelativelyNear(k["ci95"][0].get<double>(), r("ci95_low_" + label, i), kTight));
    EXPECT_TRUE(RelativelyNear(k["ci95"][1].get<double>(), r("ci95_high_" + label, i), kTight));
  }
  // Hypothesis 1 of the reference is that every slope is 0.
  const double f = r("wald1_f_" + label);
  if (std::isnan(f)) {
    EXPECT_TRUE(j["f_statistic"].is_null());
    EXPECT_NE(run.out.find(": NA (its covariance of the slopes is singular)"), std::string::npos);
  } else {
    EXPECT_TRUE(RelativelyNear(j["f_statistic"].get<double>(), f, kTight));
    EXPECT_TRUE(RelativelyNear(j["f_p_value"].get<double>(), r("wald1_p_" + label), kTight));
  }
}

INSTANTIATE_TEST_SUITE_P(SandwichCases, CovarianceAgainstR, ::testing::ValuesIn(kCases),
                         ::testing::PrintToStringParamName());

TEST_F(KelmathCommand, DefaultCovarianceIsTheClassicalOneAndNamedSo) {
  const auto run = Run("regress " + Data("orange.csv") + " --response circumference --json r.json");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.find("Standard errors: "), std::string::npos);
  const auto j = nlohmann::json::parse(Read("r.json"));
  EXPECT_EQ(j["covariance_type"], "classical");
  // The clustering column is no regressor unless named: by default here it is one.
  EXPECT_EQ(j["coefficients"].size(), 3u);
  const auto clustered = Run("regress " + Data("orange.csv") +
                             " --response circumference --cluster Tree --json c.json");
  ASSERT_EQ(clustered.status, 0) << clustered.err;
  EXPECT_EQ(nlohmann::json::parse(Read("c.json"))["coefficients"].size(), 2u);
}

// A dummy column of one row fits that row exactly: HC3 divides by 1 - h = 0 there. The summary
// says so, the numbers are NA (null in the JSON), and the exit status is 0: the fit is fine.
TEST_F(KelmathCommand, UnitLeverageLeavesHc3UndefinedAndSaysWhy) {
  const auto run = Run("regress " + Data("mtcars_leverage.csv") +
                       " --response mpg --columns wt,hp,first_only --se hc3 --json r.json");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("Standard errors: HC3 is not defined for these data: row 1 has leverage "
                         "1 (fitted exactly by the model whatever its response), and HC3 divides "
                         "by 1 - leverage. HC0, HC1 and --cluster are defined.\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("F-statistic (Wald, HC3): NA (the covariance is not defined)\n"),
            std::string::npos);
  const auto j = nlohmann::json::parse(Read("r.json"));
  for (const auto& k : j["coefficients"]) {
    EXPECT_TRUE(k["std_error"].is_null());
    EXPECT_TRUE(k["p_value"].is_null());
  }
  EXPECT_EQ(j["unit_leverage_rows"], nlohmann::json::array({1}));
}

// Data at the edges of double precision, where lm's own residuals lose digits: R's vcovHC values
// on the same data rescaled exactly (Rscript, sandwich 3.0.2): for the offset response
// lm(I(y - 1e15) ~ x), for the column near 1e308 lm(y ~ I(x * 2^-1000)) with the slope's
// standard error times 2^-1000.
TEST_F(KelmathCommand, RobustStandardErrorsHoldAtTheEdgesOfThePrecision) {
  const struct {
    const char* data;
    double intercept, slope;
  } cases[] = {{"numerics_offset_response.csv", 0.9317698447, 0.4418798750},
               {"numerics_big_column.csv", 1.589530185e-01, 1.590621220e-309}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.data);
    const auto run = Run("regress " + Data(c.data) + " --response y --se hc0 --json r.json");
    ASSERT_EQ(run.status, 0) << run.err;
    const auto j = nlohmann::json::parse(Read("r.json"));
    EXPECT_TRUE(RelativelyNear(j["coefficients"][0]["std_error"].get<double>(), c.intercept, 1e-9));
    EXPECT_TRUE(RelativelyNear(j["coefficients"][1]["std_error"].get<double>(), c.slope, 1e-9));
  }
}

TEST_F(KelmathCommand, CovarianceOptionsThatCannotBeMetAreUsageErrors) {
  const std::string orange = "regress " + Data("orange.csv") + " --response circumference ";
  const struct {
    const char* arguments;
    const char* error;
  } cases[] = {
      {"--se hc3 --cluster Tree", "--se excludes --cluster"},
      {"--se hc3 --variance 2 --dof 5", "--variance excludes --se"},
      {"--se hc6", "--se: hc6 not in {classical,hc0,hc1,hc2,hc3,hc4,hc4m,hc5}"},
      {"--cluster Tree,age,Tree", "--cluster takes one or two columns"},
      {"--cluster Nope", "no column named 'Nope'"},
      {"--cluster Tree,Tree", "column 'Tree' is a cluster twice"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    const auto run = Run(orange + c.arguments + " --json r.json");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find(c.error), std::string::npos) << run.err;
    EXPECT_FALSE(Exists("r.json"));
  }
  Write("one_group.csv", "y,x,g\n1,1,a\n2,3,a\n4,4,a\n3,7,a\n");
  const auto single = Run("regress one_group.csv --response y --cluster g");
  EXPECT_EQ(single.status, 2);
  EXPECT_EQ(single.err,
            "kelmath: one_group.csv: the cluster column 'g' has a single group in the rows used\n");
}

}  // namespace
