// KelStreamingDiagnostics::Covariance: the sandwich from the accumulated meat.
#include <cmath>
#include <limits>

#include "linear_regression/kel_streaming_diagnostics.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A = R^-1 of the kept columns in the fit's scaled units, rank x rank, row-major, 0-based, rows
// and columns in the order of z. With an intercept, X = [1/sqrt(m), Q_c] [sqrt(m), sqrt(m) xbar';
// 0, R_u D] (R_u of the unit centred columns, D their norms and powers of two), whose inverse
// has the row [1/sqrt(m), -u'] with u = R_u^-T D^-1 xbar, and below it D^-1 R_u^-1; the powers
// of two are left to the covariance's exponents.
std::vector<double> inverseFactor(const KelScaledPredictor& p, double m, int rank) {
  const size_t k = p.kept.size();
  const size_t first = p.intercept ? 1 : 0;
  std::vector<double> A(static_cast<size_t>(rank) * rank, 0.0);
  for (size_t j = 0; j < k; ++j) {
    const double norm = p.norms[static_cast<size_t>(p.kept[j])];
    for (size_t l = j; l < k; ++l) A[(first + j) * rank + first + l] = p.rInverse[j][l] / norm;
  }
  if (!p.intercept) return A;
  A[0] = 1.0 / std::sqrt(m);
  for (size_t l = 0; l < k; ++l) {
    double u = 0.0;
    for (size_t j = 0; j <= l; ++j) {
      const size_t c = static_cast<size_t>(p.kept[j]);
      u += p.rInverse[j][l] * (p.means[c] + p.meanCorrections[c]) / p.norms[c];
    }
    A[first + l] = -u;
  }
  return A;
}

}  // namespace

KelSandwichCovariance KelStreamingDiagnostics::Covariance() const {
  const bool classical = type == KelCovarianceType::kClassical;
  if (!classical) RequireAllRows("Covariance");
  KelSandwichCovariance result;
  result.type = type;
  result.aliasedColumns = aliasedColumns;
  result.rank = rank;
  result.covariance = KelMatrix(columns, columns);
  result.covariance = kNaN;
  result.scaled = result.covariance;
  result.exponents.assign(static_cast<size_t>(columns), 0);
  result.defined = unitLeverageRows == 0 || !KelDividesByLeverage(type);
  if (!result.defined) return result;
  const double m = static_cast<double>(fitRows);
  const size_t p = static_cast<size_t>(rank);
  std::vector<double> full(p * p, 0.0);
  if (classical) {
    for (size_t a = 0; a < p; ++a)
      full[a * p + a] = predictor.sigmaMantissa * predictor.sigmaMantissa;
  } else {
    const double factor = type == KelCovarianceType::kHC1 ? m / (m - rank) : 1.0;
    for (size_t a = 0; a < p; ++a)
      for (size_t b = a; b < p; ++b) full[a * p + b] = full[b * p + a] = meat[a * p + b] * factor;
  }
  const std::vector<double> A = inverseFactor(predictor, m, rank);
  std::vector<double> left(p * p, 0.0);  // A meat
  for (size_t a = 0; a < p; ++a)
    for (size_t l = a; l < p; ++l)
      for (size_t b = 0; b < p; ++b) left[a * p + b] += A[a * p + l] * full[l * p + b];
  // Parameter a of z is column parameter[a] (0-based) of F.
  std::vector<int> parameter;
  if (predictor.intercept) parameter.push_back(0);
  for (const int c : predictor.kept) parameter.push_back(c);
  for (size_t a = 0; a < p; ++a) {
    const size_t c = static_cast<size_t>(parameter[a]);
    const int columnExponent = predictor.intercept && a == 0 ? 0 : predictor.exponents[c];
    result.exponents[c] = predictor.responseExponent - columnExponent;
  }
  for (size_t a = 0; a < p; ++a)
    for (size_t b = 0; b < p; ++b) {
      double sum = 0.0;
      for (size_t l = b; l < p; ++l) sum += left[a * p + l] * A[b * p + l];
      const int j = parameter[a] + 1, k = parameter[b] + 1;
      result.scaled(j, k) = sum;
      result.covariance(j, k) = std::ldexp(sum, result.exponents[j - 1] + result.exponents[k - 1]);
    }
  return result;
}
