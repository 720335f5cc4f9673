// The influence and likelihood statistics against brute force: the fit refitted without each
// experiment, and the Gaussian likelihood summed term by term.
#include "linear_regression/kel_fit_statistics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

struct Line {
  double intercept;
  double slope;
};

// Least-squares line through the points, leaving out point `skip` (-1: none).
Line FitLine(const std::vector<double>& x, const std::vector<double>& y, int skip) {
  double n = 0, sx = 0, sy = 0;
  for (size_t i = 0; i < x.size(); ++i)
    if (static_cast<int>(i) != skip) n += 1, sx += x[i], sy += y[i];
  const double mx = sx / n, my = sy / n;
  double sxx = 0, sxy = 0;
  for (size_t i = 0; i < x.size(); ++i)
    if (static_cast<int>(i) != skip)
      sxx += (x[i] - mx) * (x[i] - mx), sxy += (x[i] - mx) * (y[i] - my);
  return {my - sxy / sxx * mx, sxy / sxx};
}

TEST(FitStatistics, InfluenceMatchesRefitsWithoutEachExperiment) {
  const std::vector<double> x = {1, 2, 3, 4, 5, 6, 12};
  const std::vector<double> y = {1.2, 1.9, 3.4, 3.8, 5.3, 5.9, 9.0};
  const int m = 7, p = 2, dof = m - p;
  const Line full = FitLine(x, y, -1);
  double rss = 0, mx = 0, sxx = 0;
  for (int i = 0; i < m; ++i) mx += x[i] / m;
  for (int i = 0; i < m; ++i) sxx += (x[i] - mx) * (x[i] - mx);
  std::vector<double> e(m);
  for (int i = 0; i < m; ++i) {
    e[i] = y[i] - full.intercept - full.slope * x[i];
    rss += e[i] * e[i];
  }
  const double s2 = rss / dof;
  for (int i = 0; i < m; ++i) {
    const double h = 1.0 / m + (x[i] - mx) * (x[i] - mx) / sxx;
    const KelExperimentInfluence got = KelInfluenceOf(e[i], h, rss, dof, p);
    // Refit without i: the deleted residual, its variance and the change of every fitted value.
    const Line without = FitLine(x, y, i);
    double rssWithout = 0, shift = 0;
    for (int k = 0; k < m; ++k) {
      const double fittedWithout = without.intercept + without.slope * x[k];
      if (k != i) rssWithout += (y[k] - fittedWithout) * (y[k] - fittedWithout);
      const double change = full.intercept + full.slope * x[k] - fittedWithout;
      shift += change * change;
    }
    const double studentized = e[i] / std::sqrt(rssWithout / (dof - 1) * (1.0 - h));
    EXPECT_NEAR(got.studentized, studentized, 1e-12 * std::fabs(studentized)) << i;
    EXPECT_NEAR(got.cooks, shift / (p * s2), 1e-11 * shift / (p * s2)) << i;
    EXPECT_NEAR(got.standardized, e[i] / std::sqrt(s2 * (1.0 - h)), 1e-13) << i;
  }
}

TEST(FitStatistics, InfluenceIsScaleFreeAndUndefinedWithoutAScale) {
  const KelExperimentInfluence unit = KelInfluenceOf(0.75, 0.3, 4.0, 5, 3);
  const double s = std::ldexp(1.0, 500);
  for (const double scale : {s, 1.0 / s}) {
    const KelExperimentInfluence scaled =
        KelInfluenceOf(0.75 * scale, 0.3, 4.0 * scale * scale, 5, 3);
    EXPECT_DOUBLE_EQ(scaled.standardized, unit.standardized);
    EXPECT_DOUBLE_EQ(scaled.studentized, unit.studentized);
    EXPECT_DOUBLE_EQ(scaled.cooks, unit.cooks);
  }
  // A leverage of 1 up to rounding, and no residual degrees of freedom: nothing is defined.
  for (const KelExperimentInfluence& none :
       {KelInfluenceOf(0.0, 1.0 - 1e-16, 4.0, 5, 3), KelInfluenceOf(0.5, 0.3, 4.0, 0, 3)}) {
    EXPECT_TRUE(std::isnan(none.standardized));
    EXPECT_TRUE(std::isnan(none.studentized));
    EXPECT_TRUE(std::isnan(none.cooks));
  }
  // One degree of freedom: nothing is left without the experiment to studentize it by.
  const KelExperimentInfluence one = KelInfluenceOf(0.5, 0.3, 4.0, 1, 3);
  EXPECT_TRUE(std::isnan(one.studentized));
  EXPECT_FALSE(std::isnan(one.cooks));
}

TEST(FitStatistics, LikelihoodAndCriteriaAsRCountsThem) {
  // The Gaussian log-likelihood at the maximum: sum of log N(e_i; 0, rss/m).
  const std::vector<double> e = {0.5, -1.25, 0.75, 2.0, -2.0};
  const int m = 5, coefficients = 2;
  double rss = 0;
  for (const double v : e) rss += v * v;
  double byTerms = 0;
  const double variance = rss / m;
  for (const double v : e)
    byTerms += -0.5 * std::log(2.0 * M_PI * variance) - v * v / (2.0 * variance);
  const double ll = KelGaussianLogLikelihood(m, std::log(rss));
  EXPECT_NEAR(ll, byTerms, 1e-13 * std::fabs(byTerms));
  // The variance is a parameter too: k = coefficients + 1.
  EXPECT_DOUBLE_EQ(KelAkaikeCriterion(ll, coefficients), -2.0 * byTerms + 2.0 * 3);
  EXPECT_NEAR(KelSchwarzCriterion(ll, coefficients, m), -2.0 * byTerms + std::log(5.0) * 3, 1e-12);
  // Far out of range the logarithm carries it: rss = 2^2000 e.
  EXPECT_NEAR(KelGaussianLogLikelihood(m, std::log(rss) + 2000 * std::log(2.0)),
              byTerms - 0.5 * m * 2000 * std::log(2.0), 1e-12 * 2000);
}

}  // namespace
