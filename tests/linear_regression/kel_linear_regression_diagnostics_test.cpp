// The diagnostic accessors (leverages, studentized residuals, Cook's distances, centred VIF,
// confidence intervals, F test, log-likelihood, AIC, BIC, Breusch-Pagan) against R's lm,
// summary, confint, car::vif, hatvalues, rstudent, cooks.distance, logLik, AIC, BIC and
// lmtest::bptest on three data sets (tests/reference/r/diagnostics.R), plus hand-worked cases.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "linear_regression/kel_linear_regression.h"
#include "linear_regression_test_data.h"

namespace {

using lr_test::Reference;
using lr_test::RelativelyNear;

// Agreement with R of quantities computed in closed form from the fit, and of the probabilities
// (the t, F and chi-square tails agree with R's to about 1e-14 at these degrees of freedom).
constexpr double kTight = 1e-9;

struct Fitted {
  explicit Fitted(const std::string& name) : r("r/diagnostics_" + name + ".txt") {
    const int m = static_cast<int>(r("rows_used"));
    const int n = static_cast<int>(r("parameters"));
    KelMatrix F(m, n);
    KelVector y(m);
    for (int i = 1; i <= m; ++i) {
      y(i) = r("y", i);
      for (int j = 1; j <= n; ++j) F(i, j) = r("F", i, j);
    }
    regression.Initialize(F, y);
  }
  Reference r;
  KelLinearRegression regression;
};

class InfluenceAndTestsAgainstR : public ::testing::TestWithParam<const char*> {};

TEST_P(InfluenceAndTestsAgainstR, PerObservationInfluenceMatchesR) {
  Fitted f(GetParam());
  const KelVector& h = f.regression.Leverages();
  const KelVector studentized = f.regression.StudentizedResiduals();
  const KelVector cook = f.regression.CooksDistances();
  ASSERT_EQ(h.Size(), static_cast<int>(f.r("rows_used")));
  for (int i = 1; i <= h.Size(); ++i) {
    EXPECT_TRUE(RelativelyNear(h(i), f.r("leverage", i), kTight)) << "row " << i;
    EXPECT_TRUE(RelativelyNear(studentized(i), f.r("studentized_residual", i), kTight))
        << "row " << i;
    EXPECT_TRUE(RelativelyNear(cook(i), f.r("cooks_distance", i), kTight)) << "row " << i;
  }
}

TEST_P(InfluenceAndTestsAgainstR, CoefficientIntervalsAndCentredVifMatchR) {
  Fitted f(GetParam());
  const int n = static_cast<int>(f.r("parameters"));
  const KelMatrix ci95 = f.regression.ConfidenceIntervals(0.95);
  const KelMatrix ci99 = f.regression.ConfidenceIntervals(0.99);
  const KelVector vif = f.regression.CenteredVarianceInflationFactors();
  for (int i = 1; i <= n; ++i) {
    EXPECT_TRUE(RelativelyNear(ci95(i, 1), f.r("ci95_low", i), kTight)) << i;
    EXPECT_TRUE(RelativelyNear(ci95(i, 2), f.r("ci95_high", i), kTight)) << i;
    EXPECT_TRUE(RelativelyNear(ci99(i, 1), f.r("ci99_low", i), kTight)) << i;
    EXPECT_TRUE(RelativelyNear(ci99(i, 2), f.r("ci99_high", i), kTight)) << i;
    if (f.r("vif", i) == 0.0)
      EXPECT_EQ(vif(i), 0.0) << i;
    else
      EXPECT_TRUE(RelativelyNear(vif(i), f.r("vif", i), kTight)) << i;
  }
}

TEST_P(InfluenceAndTestsAgainstR, ModelTestsAndCriteriaMatchR) {
  Fitted f(GetParam());
  EXPECT_TRUE(RelativelyNear(f.regression.FStatistic(), f.r("f_statistic"), kTight));
  EXPECT_TRUE(RelativelyNear(f.regression.FStatisticPValue(), f.r("f_p_value"), kTight));
  EXPECT_TRUE(RelativelyNear(f.regression.LogLikelihood(), f.r("log_likelihood"), kTight));
  EXPECT_TRUE(RelativelyNear(f.regression.AIC(), f.r("aic"), kTight));
  EXPECT_TRUE(RelativelyNear(f.regression.BIC(), f.r("bic"), kTight));
  EXPECT_TRUE(RelativelyNear(f.regression.BreuschPaganStatistic(), f.r("bp_statistic"), kTight));
  EXPECT_TRUE(RelativelyNear(f.regression.BreuschPaganPValue(), f.r("bp_p_value"), kTight));
}

INSTANTIATE_TEST_SUITE_P(RDataSets, InfluenceAndTestsAgainstR,
                         ::testing::Values("mtcars", "airquality", "swiss", "swiss_no_intercept"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           return std::string(info.param);
                         });

// y = 1, 2, 4 at x = 0, 1, 2 with intercept: b = (5/6, 3/2), residuals (1/6, -1/3, 1/6),
// h = (5/6, 1/3, 5/6), SS = 1/6, s^2 = 1/6 (one degree of freedom).
TEST(InfluenceAndTestsByHand, ThreePointLineGivesHandWorkedInfluence) {
  KelLinearRegression regression(KelMatrix(3, 2, 1., 0., 1., 1., 1., 2.), KelVector(3, 1., 2., 4.));
  const KelVector& h = regression.Leverages();
  EXPECT_NEAR(h(1), 5.0 / 6.0, 1e-14);
  EXPECT_NEAR(h(2), 1.0 / 3.0, 1e-14);
  EXPECT_NEAR(h(3), 5.0 / 6.0, 1e-14);
  // Cook: r^2 h / (n s^2 (1 - h)^2): (1/36)(5/6) / (2 (1/6)(1/36)) = 5/2 at the ends.
  const KelVector cook = regression.CooksDistances();
  EXPECT_NEAR(cook(1), 2.5, 1e-12);
  EXPECT_NEAR(cook(2), (1.0 / 9.0) * (1.0 / 3.0) / (2.0 / 6.0 * 4.0 / 9.0), 1e-12);
  // No degree of freedom is left without an experiment: studentized residuals are undefined.
  const KelVector studentized = regression.StudentizedResiduals();
  for (int i = 1; i <= 3; ++i) EXPECT_TRUE(std::isnan(studentized(i))) << i;
  // F = ((SSTc - SS) / 1) / s^2 with SSTc = 14/3: (14/3 - 1/6) * 6 = 27.
  EXPECT_NEAR(regression.FStatistic(), 27.0, 1e-12);
  // logL = -3/2 (log 2pi + 1 - log 3 + log(1/6)).
  const double logL = -1.5 * (std::log(2.0 * M_PI) + 1.0 - std::log(3.0) + std::log(1.0 / 6.0));
  EXPECT_NEAR(regression.LogLikelihood(), logL, 1e-13);
  EXPECT_NEAR(regression.AIC(), -2.0 * logL + 6.0, 1e-12);
  EXPECT_NEAR(regression.BIC(), -2.0 * logL + 3.0 * std::log(3.0), 1e-12);
  // The intercept has no variance inflation factor; with one variable the other is 1.
  const KelVector vif = regression.CenteredVarianceInflationFactors();
  EXPECT_EQ(vif(1), 0.0);
  EXPECT_NEAR(vif(2), 1.0, 1e-14);
}

// Squared residuals that do not vary with the regressor explain nothing: the statistic is 0.
TEST(InfluenceAndTestsByHand, BreuschPaganIsZeroForEqualSquaredResiduals) {
  // Residuals +-1 around y = x, symmetric so that the fit is exactly y = x.
  KelMatrix F(4, 2, 1., 1., 1., 2., 1., 3., 1., 4.);
  KelLinearRegression regression(F, KelVector(4, 2., 1., 2., 5.));
  const KelVector& r = regression.Residuals();
  for (int i = 1; i <= 4; ++i) ASSERT_NEAR(std::fabs(r(i)), 1.0, 1e-12) << i;
  EXPECT_NEAR(regression.BreuschPaganStatistic(), 0.0, 1e-12);
}

// With the intercept alone there is no F test and no Breusch-Pagan test.
TEST(InfluenceAndTestsByHand, InterceptOnlyModelHasNoOverallTests) {
  KelLinearRegression regression(KelMatrix(3, 1, 1., 1., 1.), KelVector(3, 1., 2., 4.));
  EXPECT_TRUE(std::isnan(regression.FStatistic()));
  EXPECT_TRUE(std::isnan(regression.FStatisticPValue()));
  EXPECT_TRUE(std::isnan(regression.BreuschPaganStatistic()));
}

TEST(InfluenceAndTestsByHand, ConfidenceLevelOutsideZeroOneIsFatal) {
  KelLinearRegression regression(KelMatrix(3, 2, 1., 0., 1., 1., 1., 2.), KelVector(3, 1., 2., 4.));
  EXPECT_KEL_FATAL(regression.ConfidenceIntervals(1.0),
                   "KelLinearRegression class\n\nDimension check failure\nlevel = 1");
}

}  // namespace
