#include "linear_regression/kel_scaled_fit_parts.h"

#include <limits>

#include "foundation/kel_constants.h"
#include "statistics/kel_distributions.h"

void KelApplyKeptReflector(const KelKeptQr& qr, size_t k, std::vector<double>& a) {
  const std::vector<double>& v = qr.reflectors[k];
  double dot = 0.0;
  for (int i = static_cast<int>(k); i < qr.m; ++i) dot += v[i] * a[i];
  const double factor = dot / qr.betas[k];
  for (int i = static_cast<int>(k); i < qr.m; ++i) a[i] -= factor * v[i];
}

void KelApplyKeptQTranspose(const KelKeptQr& qr, std::vector<double>& a) {
  for (size_t k = 0; k < qr.reflectors.size(); ++k) KelApplyKeptReflector(qr, k, a);
}

void KelApplyKeptQ(const KelKeptQr& qr, std::vector<double>& a) {
  for (size_t k = qr.reflectors.size(); k-- > 0;) KelApplyKeptReflector(qr, k, a);
}

std::vector<std::vector<double>> KelInvertKeptR(const KelKeptQr& qr) {
  const size_t k = qr.r.size();
  std::vector<std::vector<double>> inverse(k, std::vector<double>(k, 0.0));
  for (size_t j = 0; j < k; ++j) {
    inverse[j][j] = 1.0 / qr.r[j][j];
    for (size_t i = j; i-- > 0;) {
      double sum = 0.0;
      for (size_t l = i + 1; l <= j; ++l) sum += qr.r[l][i] * inverse[l][j];
      inverse[i][j] = -sum / qr.r[i][i];
    }
  }
  return inverse;
}

double KelKeptConditionNumber(const KelKeptQr& qr) {
  const size_t k = qr.r.size();
  if (k == 0) return 1.0;
  std::vector<std::vector<double>> a(k, std::vector<double>(k, 0.0));
  for (size_t j = 0; j < k; ++j)
    for (size_t i = 0; i <= j; ++i) a[j][i] = qr.r[j][i];
  for (int sweep = 0; sweep < 60; ++sweep) {
    bool rotated = false;
    for (size_t p = 0; p < k; ++p)
      for (size_t q = p + 1; q < k; ++q) {
        double alpha = 0.0, beta = 0.0, gamma = 0.0;
        for (size_t i = 0; i < k; ++i) {
          alpha += a[p][i] * a[p][i];
          beta += a[q][i] * a[q][i];
          gamma += a[p][i] * a[q][i];
        }
        if (std::fabs(gamma) <= kelMachEps * std::sqrt(alpha * beta)) continue;
        rotated = true;
        const double zeta = (beta - alpha) / (2.0 * gamma);
        const double t = std::copysign(1.0, zeta) / (std::fabs(zeta) + std::hypot(1.0, zeta));
        const double c = 1.0 / std::hypot(1.0, t), s = c * t;
        for (size_t i = 0; i < k; ++i) {
          const double x = a[p][i], y = a[q][i];
          a[p][i] = c * x - s * y;
          a[q][i] = s * x + c * y;
        }
      }
    if (!rotated) break;
  }
  double largest = 0.0, smallest = std::numeric_limits<double>::infinity();
  for (const std::vector<double>& column : a) {
    double squares = 0.0;
    for (const double v : column) squares += v * v;
    largest = std::max(largest, std::sqrt(squares));
    smallest = std::min(smallest, std::sqrt(squares));
  }
  return largest / smallest;
}

void KelFillScaledInference(int dof, KelScaledLeastSquaresResult& out) {
  const int n = out.estimates.Size();
  const double kNaN = std::numeric_limits<double>::quiet_NaN();
  out.tValues = KelVector(n);
  out.pValues = KelVector(n);
  out.ciLow = KelVector(n);
  out.ciHigh = KelVector(n);
  const double q = KelTStudentQuantile(0.025, dof);
  for (int j = 1; j <= n; ++j) {
    const double b = out.estimates(j), se = out.standardErrors(j);
    const bool defined = !std::isnan(b) && se > 0.0;
    out.tValues(j) = defined ? b / se : kNaN;
    out.pValues(j) = defined ? 2.0 * KelTStudentProbability(dof, std::fabs(b / se)) : kNaN;
    out.ciLow(j) = b - q * se;
    out.ciHigh(j) = b + q * se;
  }
}
