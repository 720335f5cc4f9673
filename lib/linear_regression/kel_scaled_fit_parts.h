// The parts of the scaled least-squares fit that the in-memory fit (KelFitScaledLeastSquares)
// and the streaming fit (KelStreamingLeastSquares) share: the Householder QR of unit columns that
// keeps them in order and aliases a column too close to the span of the kept earlier ones
// (LINPACK's limited pivoting, as R's lm uses it), the inverse of its R, R's condition number,
// and the t, P and intervals of the estimates. The in-memory fit factors the rows' unit columns,
// the streaming fit the small triangle they were folded into: the distances to the spans are
// the same, so are the columns aliased. Internal to linear_regression (not a public header);
// the QR's indices are 0-based. The fills at the end read either fit's scaled quantities by the
// same member names.
#ifndef KELMATH_KEL_SCALED_FIT_PARTS_H
#define KELMATH_KEL_SCALED_FIT_PARTS_H

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "linear_regression/kel_fit_statistics.h"
#include "linear_regression/kel_scaled_least_squares.h"
#include "statistics/kel_distributions.h"

struct KelKeptQr {
  using Column = std::vector<double>;
  int m = 0;
  std::vector<int> kept;           // columns kept
  std::vector<Column> reflectors;  // v_k (zero above row k), H_k = I - v v^T / beta
  std::vector<double> betas;
  std::vector<Column> r;  // column k of R: its first k + 1 entries
};

// a := H_k a.
void KelApplyKeptReflector(const KelKeptQr& qr, size_t k, std::vector<double>& a);
// a := Q^T a and a := Q a.
void KelApplyKeptQTranspose(const KelKeptQr& qr, std::vector<double>& a);
void KelApplyKeptQ(const KelKeptQr& qr, std::vector<double>& a);

// Factors the columns (each with members unit, m values of length 1 or all zero, and norm, the
// length before scaling) in order; a column without length, or whose distance from the span of
// the kept ones is below tolerance (relative to its unit length), is appended to aliased.
template <typename UnitColumns>
KelKeptQr KelFactorKeptColumns(const UnitColumns& columns, int m, double tolerance,
                               std::vector<int>& aliased) {
  KelKeptQr qr;
  qr.m = m;
  for (size_t c = 0; c < columns.size(); ++c) {
    std::vector<double> a = columns[c].unit;
    KelApplyKeptQTranspose(qr, a);
    const int k = static_cast<int>(qr.kept.size());
    double tail = 0.0;
    for (int i = k; i < m; ++i) tail += a[i] * a[i];
    tail = std::sqrt(tail);
    // The columns have unit length (or none): the tolerance is relative to it.
    if (columns[c].norm == 0.0 || k == m || tail < tolerance) {
      aliased.push_back(static_cast<int>(c));
      continue;
    }
    const double alpha = a[k] > 0.0 ? -tail : tail;
    // R's column is the head of a; the reflection vector takes a's storage, its head zeroed.
    std::vector<double> r(a.begin(), a.begin() + k + 1);
    r[k] = alpha;
    std::vector<double> v = std::move(a);
    std::fill(v.begin(), v.begin() + k, 0.0);
    v[k] -= alpha;
    qr.betas.push_back(-alpha * v[k]);  // v^T v / 2
    qr.reflectors.push_back(std::move(v));
    qr.r.push_back(std::move(r));
    qr.kept.push_back(static_cast<int>(c));
  }
  return qr;
}

// Inverse of the upper triangular R (k x k), row-major.
std::vector<std::vector<double>> KelInvertKeptR(const KelKeptQr& qr);

// Ratio of the extreme singular values of R by one-sided Jacobi rotations (R is small); 1 for
// no column.
double KelKeptConditionNumber(const KelKeptQr& qr);

// The t values, two-sided P values and 95 % intervals of out's estimates and standard errors on
// dof degrees of freedom (NaN t and P where an estimate is aliased or its error is not positive).
void KelFillScaledInference(int dof, KelScaledLeastSquaresResult& out);

// The length of row `row` of an upper triangle stored row-major.
inline double KelRowLength(const std::vector<std::vector<double>>& upper, size_t row) {
  double squares = 0.0;
  for (const double v : upper[row]) squares += v * v;
  return std::sqrt(squares);
}

// The fills below read a scaled fit f: f.m rows, f.intercept, f.rank and f.dof; per column of F
// (the intercept's left out) and for the response f.response, a unit norm `norm`, a binary
// exponent `exponent` and the mean of the scaled values, Mean(), as firstMean and correction;
// f.qr.kept, f.coefficients (of the kept unit columns for the unit response), f.rInverse, sigma
// as f.sigmaMantissa 2^f.sigmaExponent, and the sums of squares f.rss, f.tss and f.ess.

// The n estimates, standard errors and variance inflation factors (1-based over F's columns, NaN
// for an aliased one); weightSum: the rows' weight, their count when unweighted.
template <typename ScaledFit>
void KelFillScaledParameters(const ScaledFit& f, int n, double weightSum,
                             KelScaledLeastSquaresResult& out) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  out.estimates = KelVector(n);
  out.standardErrors = KelVector(n);
  out.varianceInflation = KelVector(n);
  for (int j = 1; j <= n; ++j) out.estimates(j) = out.standardErrors(j) = nan;
  for (int j = 1; j <= n; ++j) out.varianceInflation(j) = nan;
  const int first = f.intercept ? 2 : 1;
  double interceptMantissa = f.response.Mean();
  std::vector<double> u(f.qr.kept.size(), 0.0);  // R^-T applied to the column means over norms
  for (size_t k = 0; k < f.qr.kept.size(); ++k) {
    const auto& c = f.columns[static_cast<size_t>(f.qr.kept[k])];
    const int j = f.qr.kept[k] + first;
    const double slope = f.coefficients[k] * f.response.norm / c.norm;  // 2^(ey - ej) units
    out.estimates(j) = std::ldexp(slope, f.response.exponent - c.exponent);
    interceptMantissa -= slope * c.Mean();
    const double g = KelRowLength(f.rInverse, k);
    out.standardErrors(j) = std::ldexp(f.sigmaMantissa * g / c.norm, f.sigmaExponent - c.exponent);
    out.varianceInflation(j) = g * g;
    for (size_t l = 0; l <= k; ++l) {
      const auto& kept = f.columns[static_cast<size_t>(f.qr.kept[l])];
      u[k] += f.rInverse[l][k] * kept.Mean() / kept.norm;
    }
  }
  if (!f.intercept) return;
  out.estimates(1) = std::ldexp(interceptMantissa, f.response.exponent);
  double squares = 1.0 / weightSum;
  for (const double v : u) squares += v * v;
  out.standardErrors(1) = std::ldexp(f.sigmaMantissa * std::sqrt(squares), f.sigmaExponent);
}

// R^2, adjusted R^2, the F test, the log-likelihood, AIC and BIC (out.exactFit set). The log of
// the sum of squares is log rss + 2 log(norm 2^e), kept apart so that no power of the data is
// formed, plus logSsShift; the log-likelihood is shifted by logLikelihoodShift (a weighted fit's
// scale and half its log weights; 0 when unweighted).
template <typename ScaledFit>
void KelFillScaledModel(const ScaledFit& f, double logSsShift, double logLikelihoodShift,
                        KelScaledLeastSquaresResult& out) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double m = f.m;
  out.rSquared = 1.0 - f.rss / f.tss;
  out.adjustedRSquared = 1.0 - (1.0 - out.rSquared) * (m - (f.intercept ? 1.0 : 0.0)) / f.dof;
  out.fNumeratorDegreesOfFreedom = f.rank - (f.intercept ? 1 : 0);
  const int df1 = out.fNumeratorDegreesOfFreedom;
  out.fStatistic = df1 > 0 && !out.exactFit ? (f.ess / df1) / (f.rss / f.dof) : nan;
  out.fPValue = std::isnan(out.fStatistic) ? nan : KelFProbability(df1, f.dof, out.fStatistic);
  const double logSs = std::log(f.rss) + 2.0 * std::log(f.response.norm) +
                       2.0 * f.response.exponent * std::log(2.0) + logSsShift;
  out.logLikelihood = out.exactFit ? nan : KelGaussianLogLikelihood(f.m, logSs);
  out.logLikelihood += logLikelihoodShift;
  out.aic = KelAkaikeCriterion(out.logLikelihood, f.rank);
  out.bic = KelSchwarzCriterion(out.logLikelihood, f.rank, f.m);
}

// What predicting new rows needs (n columns of F); the weights' sum and exponent as the fit
// used them.
template <typename ScaledFit>
void KelFillScaledPredictor(const ScaledFit& f, int n, double weightSum, int weightExponent,
                            KelScaledPredictor& p) {
  p.intercept = f.intercept;
  const size_t first = f.intercept ? 1 : 0;
  p.exponents.assign(static_cast<size_t>(n), 0);
  p.means.assign(static_cast<size_t>(n), 0.0);
  p.meanCorrections.assign(static_cast<size_t>(n), 0.0);
  p.norms.assign(static_cast<size_t>(n), 0.0);
  for (size_t c = 0; c < f.columns.size(); ++c) {
    p.exponents[c + first] = f.columns[c].exponent;
    p.means[c + first] = f.columns[c].firstMean;
    p.meanCorrections[c + first] = f.columns[c].correction;
    p.norms[c + first] = f.columns[c].norm;
  }
  for (const int c : f.qr.kept) p.kept.push_back(c + static_cast<int>(first));
  p.rInverse = f.rInverse;
  p.coefficients = f.coefficients;
  p.responseExponent = f.response.exponent;
  p.responseMean = f.response.firstMean;
  p.responseCorrection = f.response.correction;
  p.responseNorm = f.response.norm;
  p.weightSum = weightSum;
  p.weightExponent = weightExponent;
  p.sigmaMantissa = f.sigmaMantissa;
  p.sigmaExponent = f.sigmaExponent;
}

#endif
