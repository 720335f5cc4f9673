#include "linear_regression/kel_sandwich_covariance.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <unordered_map>
#include <utility>

#include "factorizations/kel_tall_qr.h"
#include "foundation/kel_constants.h"
#include "foundation/kel_errors.h"
#include "foundation/kel_output.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A p x p matrix, row-major, 0-based.
using Square = std::vector<double>;

// The kept columns of the design as X = Q R D with D = diag(2^exponents): Q (m x p) with
// orthonormal columns, R upper triangular, the powers of two making every column's largest
// magnitude lie in [1/2, 1), so that nothing overflows and the scaling is exact. The residuals
// are held the same way, as unit * 2^residualExponent.
struct ScaledQr {
  int m = 0;
  int p = 0;
  std::vector<int> kept;  // 1-based columns of F
  std::vector<int> exponents;
  KelMatrix q;
  Square rInverse;
  std::vector<double> residuals;
  int residualExponent = 0;
};

[[noreturn]] void failure(const char* function, const std::string& detail) {
  KelError("%s%s%s%s\n%s", kelClassLinearRegression, kelErrCheck, kelErrFunction, function,
           detail.c_str());
}

std::vector<int> keptColumns(int n, const std::vector<int>& aliased, const char* function) {
  std::vector<int> kept;
  size_t next = 0;
  for (int j = 1; j <= n; ++j) {
    if (next < aliased.size() && aliased[next] == j) {
      ++next;
      continue;
    }
    kept.push_back(j);
  }
  if (next != aliased.size())
    failure(function, "the aliased columns must be ascending column numbers of F");
  return kept;
}

int largestExponent(const double* values, int count, int stride) {
  double largest = 0.0;
  for (int i = 0; i < count; ++i) largest = std::max(largest, std::fabs(values[i * stride]));
  int exponent = 0;
  if (largest > 0.0) std::frexp(largest, &exponent);
  return exponent;
}

// Inverse of the upper triangular R, row-major p x p.
Square invertUpper(const KelMatrix& R, int p) {
  Square inverse(static_cast<size_t>(p) * p, 0.0);
  for (int j = 0; j < p; ++j) {
    inverse[j * p + j] = 1.0 / R(j + 1, j + 1);
    for (int i = j; i-- > 0;) {
      double sum = 0.0;
      for (int l = i + 1; l <= j; ++l) sum += R(i + 1, l + 1) * inverse[l * p + j];
      inverse[i * p + j] = -sum / R(i + 1, i + 1);
    }
  }
  return inverse;
}

ScaledQr factorKept(const KelMatrix& F, const KelVector& residuals, const std::vector<int>& aliased,
                    const char* function) {
  ScaledQr s;
  s.m = F.Rows();
  if (residuals.Size() != s.m)
    failure(function, "the residuals have " + std::to_string(residuals.Size()) +
                          " elements, F has " + std::to_string(s.m) + " rows");
  s.kept = keptColumns(F.Columns(), aliased, function);
  s.p = static_cast<int>(s.kept.size());
  if (s.p < 1 || s.m <= s.p)
    failure(function, "there must be more rows (" + std::to_string(s.m) + ") than kept columns (" +
                          std::to_string(s.p) + ")");
  KelMatrix X(s.m, s.p);
  const int n = F.Columns();
  for (int k = 0; k < s.p; ++k) {
    const double* column = F.Data() + (s.kept[k] - 1);
    const int exponent = largestExponent(column, s.m, n);
    s.exponents.push_back(exponent);
    double* target = X.Data() + k;
    for (int i = 0; i < s.m; ++i) target[i * s.p] = std::ldexp(column[i * n], -exponent);
  }
  KelTallQR qr(&X);
  const KelMatrix& R = qr.R();
  for (int k = 1; k <= s.p; ++k)
    if (R(k, k) == 0.0)
      failure(function, "column " + std::to_string(s.kept[k - 1]) +
                            " of F depends on the kept columns before it: list it as aliased");
  s.rInverse = invertUpper(R, s.p);
  KelMatrix identity(s.p, s.p);
  for (int k = 1; k <= s.p; ++k) identity(k, k) = 1.0;
  s.q = qr.TakeProduct(identity);
  s.residualExponent = largestExponent(residuals.Data(), s.m, 1);
  s.residuals.resize(s.m);
  for (int i = 0; i < s.m; ++i)
    s.residuals[i] = std::ldexp(residuals.Data()[i], -s.residualExponent);
  return s;
}

// meat += weight q_i q_i' for row i of Q (the upper triangle only).
void addOuter(Square& meat, const double* q, int p, double weight) {
  for (int a = 0; a < p; ++a) {
    const double wa = weight * q[a];
    for (int b = a; b < p; ++b) meat[a * p + b] += wa * q[b];
  }
}

// The full symmetric matrix from its upper triangle, times factor.
void symmetrize(Square& meat, int p, double factor) {
  for (int a = 0; a < p; ++a)
    for (int b = a; b < p; ++b) meat[b * p + a] = meat[a * p + b] *= factor;
}

// R^-1 meat R^-T in the units of F: the n x n covariance with NaN at the aliased columns, both
// as it is and as scaled entries with a power of two per column.
void setCovariance(const ScaledQr& s, const Square& meat, int n, KelSandwichCovariance& result) {
  const int p = s.p;
  Square left(static_cast<size_t>(p) * p, 0.0);  // R^-1 meat
  for (int a = 0; a < p; ++a)
    for (int l = a; l < p; ++l)
      for (int b = 0; b < p; ++b) left[a * p + b] += s.rInverse[a * p + l] * meat[l * p + b];
  result.covariance = KelMatrix(n, n);
  result.covariance = kNaN;
  result.scaled = result.covariance;
  result.exponents.assign(static_cast<size_t>(n), 0);
  for (int a = 0; a < p; ++a) result.exponents[s.kept[a] - 1] = s.residualExponent - s.exponents[a];
  for (int a = 0; a < p; ++a)
    for (int b = 0; b < p; ++b) {
      double sum = 0.0;
      for (int l = b; l < p; ++l) sum += left[a * p + l] * s.rInverse[b * p + l];
      const int j = s.kept[a], k = s.kept[b];
      result.scaled(j, k) = sum;
      result.covariance(j, k) = std::ldexp(sum, result.exponents[j - 1] + result.exponents[k - 1]);
    }
}

KelSandwichCovariance emptyResult(const ScaledQr& s, const std::vector<int>& aliased,
                                  KelCovarianceType type) {
  KelSandwichCovariance result;
  result.type = type;
  result.aliasedColumns = aliased;
  result.rank = s.p;
  return result;
}

std::vector<double> leverages(const ScaledQr& s) {
  std::vector<double> h(s.m);
  for (int i = 0; i < s.m; ++i) {
    const double* q = s.q.Data() + static_cast<size_t>(i) * s.p;
    double squares = 0.0;
    for (int k = 0; k < s.p; ++k) squares += q[k] * q[k];
    h[i] = squares;
  }
  return h;
}

// Group numbers 0 .. G - 1 of arbitrary labels, in order of first appearance.
struct DenseGroups {
  std::vector<int> group;
  int count = 0;
};

template <typename Label>
DenseGroups denseGroups(int m, Label label) {
  DenseGroups dense;
  dense.group.resize(m);
  std::unordered_map<long long, int> number;
  number.reserve(static_cast<size_t>(m));
  for (int i = 0; i < m; ++i) {
    const auto inserted = number.emplace(label(i), dense.count);
    if (inserted.second) ++dense.count;
    dense.group[i] = inserted.first->second;
  }
  return dense;
}

// G/(G-1) sum_g s_g s_g' with s_g the sum of e_i q_i over the rows of group g.
Square clusterMeat(const ScaledQr& s, const DenseGroups& groups) {
  const int p = s.p;
  std::vector<double> sums(static_cast<size_t>(groups.count) * p, 0.0);
  for (int i = 0; i < s.m; ++i) {
    const double* q = s.q.Data() + static_cast<size_t>(i) * p;
    double* sum = sums.data() + static_cast<size_t>(groups.group[i]) * p;
    for (int k = 0; k < p; ++k) sum[k] += s.residuals[i] * q[k];
  }
  Square meat(static_cast<size_t>(p) * p, 0.0);
  for (int g = 0; g < groups.count; ++g)
    addOuter(meat, sums.data() + static_cast<size_t>(g) * p, p, 1.0);
  const double G = groups.count;
  symmetrize(meat, p, G / (G - 1.0));
  return meat;
}

}  // namespace

bool KelIsUnitLeverage(double leverage, int rank) {
  return 1.0 - leverage <= kelUnitLeverageUlps * rank * kelMachEps;
}

bool KelDividesByLeverage(KelCovarianceType type) {
  return type != KelCovarianceType::kClassical && type != KelCovarianceType::kHC0 &&
         type != KelCovarianceType::kHC1 && type != KelCovarianceType::kCluster;
}

double KelSandwichRowWeight(KelCovarianceType type, double residual, double leverage,
                            double meanLeverage, double largestLeverage) {
  const double squared = residual * residual;
  const double h = leverage;
  const double relative = h / meanLeverage;
  switch (type) {
    case KelCovarianceType::kHC2:
      return squared / (1.0 - h);
    case KelCovarianceType::kHC3:
      return squared / ((1.0 - h) * (1.0 - h));
    case KelCovarianceType::kHC4:
      return squared / std::pow(1.0 - h, std::min(4.0, relative));
    case KelCovarianceType::kHC4m:
      return squared / std::pow(1.0 - h, std::min(1.0, relative) + std::min(1.5, relative));
    case KelCovarianceType::kHC5: {
      const double cap = std::max(4.0, 0.7 * largestLeverage / meanLeverage);
      return squared / std::pow(1.0 - h, std::min(relative, cap) / 2.0);
    }
    default:
      return squared;
  }
}

const char* KelCovarianceName(KelCovarianceType type) {
  for (const KelCovarianceTypeName& known : kelCovarianceTypes)
    if (known.type == type) return known.name;
  return "";
}

KelSandwichCovariance KelHeteroskedasticityConsistentCovariance(
    const KelMatrix& F, const KelVector& residuals, const std::vector<int>& aliasedColumns,
    KelCovarianceType type) {
  const char* function = "KelHeteroskedasticityConsistentCovariance";
  if (type == KelCovarianceType::kCluster)
    failure(function, "a cluster-robust covariance needs its clusters: KelClusterRobustCovariance");
  const ScaledQr s = factorKept(F, residuals, aliasedColumns, function);
  KelSandwichCovariance result = emptyResult(s, aliasedColumns, type);
  const int p = s.p;
  const double m = s.m;
  Square meat(static_cast<size_t>(p) * p, 0.0);
  if (type == KelCovarianceType::kClassical) {
    double squares = 0.0;
    for (const double e : s.residuals) squares += e * e;
    for (int k = 0; k < p; ++k) meat[k * p + k] = squares / (m - p);
    setCovariance(s, meat, F.Columns(), result);
    return result;
  }
  const std::vector<double> h = leverages(s);
  for (int i = 0; i < s.m; ++i)
    if (KelIsUnitLeverage(h[i], p)) result.unitLeverageRows.push_back(i + 1);
  result.defined = result.unitLeverageRows.empty() || !KelDividesByLeverage(type);
  if (!result.defined) {
    result.covariance = KelMatrix(F.Columns(), F.Columns());
    result.covariance = kNaN;
    result.scaled = result.covariance;
    result.exponents.assign(static_cast<size_t>(F.Columns()), 0);
    return result;
  }
  const double largest = *std::max_element(h.begin(), h.end());
  for (int i = 0; i < s.m; ++i)
    addOuter(meat, s.q.Data() + static_cast<size_t>(i) * p, p,
             KelSandwichRowWeight(type, s.residuals[i], h[i], p / m, largest));
  symmetrize(meat, p, type == KelCovarianceType::kHC1 ? m / (m - p) : 1.0);
  setCovariance(s, meat, F.Columns(), result);
  return result;
}

KelSandwichCovariance KelClusterRobustCovariance(const KelMatrix& F, const KelVector& residuals,
                                                 const std::vector<int>& aliasedColumns,
                                                 const std::vector<std::vector<int>>& clusters) {
  const char* function = "KelClusterRobustCovariance";
  if (clusters.empty() || clusters.size() > 2)
    failure(function,
            "one or two clustering variables are needed, not " + std::to_string(clusters.size()));
  for (const std::vector<int>& variable : clusters)
    if (static_cast<int>(variable.size()) != F.Rows())
      failure(function, "a clustering variable has " + std::to_string(variable.size()) +
                            " values, F has " + std::to_string(F.Rows()) + " rows");
  const ScaledQr s = factorKept(F, residuals, aliasedColumns, function);
  KelSandwichCovariance result = emptyResult(s, aliasedColumns, KelCovarianceType::kCluster);
  std::vector<DenseGroups> terms;
  for (const std::vector<int>& variable : clusters)
    terms.push_back(denseGroups(s.m, [&](int i) { return static_cast<long long>(variable[i]); }));
  for (const DenseGroups& groups : terms) {
    if (groups.count < 2) failure(function, "a clustering variable has a single group");
    result.clusterGroups.push_back(groups.count);
  }
  if (terms.size() == 2) {
    const long long width = terms[1].count;
    terms.push_back(denseGroups(s.m, [&](int i) {
      return static_cast<long long>(terms[0].group[i]) * width + terms[1].group[i];
    }));
    result.intersectionGroups = terms[2].count;
  }
  const int p = s.p;
  Square meat(static_cast<size_t>(p) * p, 0.0);
  for (size_t t = 0; t < terms.size(); ++t) {
    // Two-way: the term of the intersection is subtracted (it has at least two groups, since
    // each variable has).
    const Square term = clusterMeat(s, terms[t]);
    const double sign = t == 2 ? -1.0 : 1.0;
    for (size_t k = 0; k < meat.size(); ++k) meat[k] += sign * term[k];
  }
  const double m = s.m;
  for (double& v : meat) v *= (m - 1.0) / (m - p);
  setCovariance(s, meat, F.Columns(), result);
  return result;
}

KelSandwichCovariance KelHeteroskedasticityConsistentCovariance(
    const KelMatrix& F, const KelScaledLeastSquaresResult& fit, KelCovarianceType type) {
  return KelHeteroskedasticityConsistentCovariance(F, fit.residuals, fit.aliasedColumns, type);
}

KelSandwichCovariance KelClusterRobustCovariance(const KelMatrix& F,
                                                 const KelScaledLeastSquaresResult& fit,
                                                 const std::vector<std::vector<int>>& clusters) {
  return KelClusterRobustCovariance(F, fit.residuals, fit.aliasedColumns, clusters);
}
