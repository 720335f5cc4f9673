// Influence and likelihood statistics of a least-squares fit.
#include "linear_regression/kel_fit_statistics.h"

#include <cmath>
#include <limits>

#include "foundation/kel_constants.h"

namespace {

constexpr double kNotDefined = std::numeric_limits<double>::quiet_NaN();

// 1 - h, or 0 where the leverage is 1 up to rounding.
double leverageComplement(double leverage) {
  const double complement = 1.0 - leverage;
  return complement > 10.0 * kelMachEps ? complement : 0.0;
}

}  // namespace

KelExperimentInfluence KelInfluenceOf(double residual, double leverage, double rss, int dof,
                                      int parameters) {
  KelExperimentInfluence influence{kNotDefined, kNotDefined, kNotDefined};
  const double complement = leverageComplement(leverage);
  if (complement == 0.0 || dof < 1) return influence;
  const double deviation = std::sqrt(rss / dof);
  influence.standardized = residual / (deviation * std::sqrt(complement));
  const double scaled = residual / (deviation * complement);
  influence.cooks = scaled * scaled * leverage / parameters;
  if (dof > 1) {
    // The sum of squares without the experiment follows from the full fit (no refit). Where it
    // rounds below zero the residual has no scale left: NaN, as R's rstudent gives.
    const double reduced = rss - residual * residual / complement;
    const double reducedDeviation = std::sqrt(reduced / (dof - 1));
    influence.studentized = residual / (reducedDeviation * std::sqrt(complement));
  }
  return influence;
}

double KelGaussianLogLikelihood(int m, double logRss) {
  const double count = m;
  return -0.5 * count * (std::log(2.0 * kelPi) + 1.0 - std::log(count) + logRss);
}

double KelAkaikeCriterion(double logLikelihood, int coefficients) {
  return -2.0 * logLikelihood + 2.0 * (coefficients + 1);
}

double KelSchwarzCriterion(double logLikelihood, int coefficients, int m) {
  return -2.0 * logLikelihood + std::log(static_cast<double>(m)) * (coefficients + 1);
}
