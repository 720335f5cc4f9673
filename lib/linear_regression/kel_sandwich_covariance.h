// Covariances of least-squares estimates that stay valid when the errors are heteroskedastic
// (HC0..HC4) or correlated within clusters (cluster-robust, one or two clustering variables):
// sandwiches (X'X)^-1 X' Omega X (X'X)^-1 over the kept columns X of the design.
//
// They take the design F, the residuals of its fit and the aliased columns, so that they serve
// KelFitScaledLeastSquares (see the overloads) and KelLinearRegression (its Residuals(), no
// aliased columns) alike. The kept columns are brought to unit size by powers of two (exact) and
// factored by Householder QR: X = QR, (X'X)^-1 X' = R^-1 Q', so the meat is a sum of outer
// products of the rows q_i of Q and the leverages are h_i = |q_i|^2. Nothing of size m x m is
// formed: the cost is O(m n^2) and the extra memory one m x n matrix.
#ifndef KELMATH_KEL_SANDWICH_COVARIANCE_H
#define KELMATH_KEL_SANDWICH_COVARIANCE_H

#include <vector>

#include "containers/kel_matrix.h"
#include "containers/kel_vector.h"
#include "linear_regression/kel_scaled_least_squares.h"

// classical: s^2 (X'X)^-1. HC0: Omega = diag(e_i^2); HC1: HC0 m / (m - p); HC2: e_i^2 / (1 - h_i);
// HC3: e_i^2 / (1 - h_i)^2; HC4 (Cribari-Neto): e_i^2 / (1 - h_i)^delta_i with
// delta_i = min(4, m h_i / p); HC4m: delta_i = min(1, m h_i / p) + min(1.5, m h_i / p); HC5:
// e_i^2 / (1 - h_i)^(delta_i / 2) with delta_i = min(m h_i / p, max(4, 0.7 m max(h) / p));
// cluster: as R's sandwich::vcovCL for lm (below). p is the number of kept columns.
enum class KelCovarianceType { kClassical, kHC0, kHC1, kHC2, kHC3, kHC4, kHC4m, kHC5, kCluster };

// Every type with the name that options, JSON and reports give it, the heteroskedasticity-
// consistent ones between the classical and the cluster-robust one.
struct KelCovarianceTypeName {
  KelCovarianceType type;
  const char* name;
};
inline constexpr KelCovarianceTypeName kelCovarianceTypes[] = {
    {KelCovarianceType::kClassical, "classical"},
    {KelCovarianceType::kHC0, "hc0"},
    {KelCovarianceType::kHC1, "hc1"},
    {KelCovarianceType::kHC2, "hc2"},
    {KelCovarianceType::kHC3, "hc3"},
    {KelCovarianceType::kHC4, "hc4"},
    {KelCovarianceType::kHC4m, "hc4m"},
    {KelCovarianceType::kHC5, "hc5"},
    {KelCovarianceType::kCluster, "cluster"}};
const char* KelCovarianceName(KelCovarianceType type);

// A leverage is 1 when 1 - h is within this many units of rounding per kept column: the residual
// of such a row is 0 up to rounding whatever the data, so HC2 to HC5, which divide by a
// power of 1 - h, are undefined there (R's lm.influence takes 10 units; the QR's rounding in h
// grows with the columns).
inline constexpr double kelUnitLeverageUlps = 10.0;
// Whether a leverage counts as 1 by that rule in a fit of rank kept columns.
bool KelIsUnitLeverage(double leverage, int rank);
// Whether the type divides by a power of 1 - h (HC2 to HC5), so is undefined at a leverage of 1.
bool KelDividesByLeverage(KelCovarianceType type);
// The weight of a row's outer product in the meat of a heteroskedasticity-consistent type: e^2
// over the power of 1 - h that the type takes, with the leverages' mean p / m and largest value
// over all rows (HC4, HC4m and HC5 compare h with them).
double KelSandwichRowWeight(KelCovarianceType type, double residual, double leverage,
                            double meanLeverage, double largestLeverage);

struct KelSandwichCovariance {
  KelCovarianceType type = KelCovarianceType::kClassical;
  // n x n over the columns of F, 1-based. Aliased columns have NaN rows and columns; all of it
  // is NaN when the type is undefined for the data (defined false). Its entries are products of
  // two standard errors, so data near the ends of the double range can take them beyond it
  // (a standard error of 1e-309 has a variance of 1e-618): the same matrix is also held as
  // covariance(j, k) = scaled(j, k) 2^(exponents[j-1] + exponents[k-1]), which never leaves the
  // range, and the standard errors and Wald tests of these covariances are computed from it.
  KelMatrix covariance;
  KelMatrix scaled;
  std::vector<int> exponents;
  std::vector<int> aliasedColumns;  // ascending, as given
  int rank = 0;                     // kept columns
  // Rows whose leverage is 1 (kelUnitLeverageUlps), 1-based. With any of them HC2 to HC5
  // are undefined (as in R, whose result is then NaN throughout): defined is false.
  std::vector<int> unitLeverageRows;
  bool defined = true;
  // Cluster-robust: the number of groups of each clustering variable, and of their
  // intersection with two variables.
  std::vector<int> clusterGroups;
  int intersectionGroups = 0;
};

// HC0..HC4 or classical covariance of the fit of the columns of F (m x n) not in aliasedColumns
// (1-based, ascending) whose residuals are given. Fatal when the sizes disagree, an aliased
// column is out of range, the type is kCluster, the kept columns are dependent, or no more rows
// than kept columns are left.
KelSandwichCovariance KelHeteroskedasticityConsistentCovariance(
    const KelMatrix& F, const KelVector& residuals, const std::vector<int>& aliasedColumns,
    KelCovarianceType type);

// Cluster-robust covariance as R's sandwich::vcovCL(fit, cluster = ...) with its defaults for lm
// (type "HC1", cadjust = TRUE, multi0 = FALSE): clusters[d][i - 1] is the group of row i in the
// clustering variable d (any integers; one or two variables). With one variable,
// V = G/(G-1) (m-1)/(m-p) R^-1 (sum_g s_g s_g') R^-T, s_g the sum of e_i q_i over the group;
// with two, V_1 + V_2 - V_12, the last over the groups of the intersection, each term with its
// own G. Two-way covariances need not be positive semidefinite. Fatal as above, and when a
// variable's size differs from the rows, with no or more than two variables, or with a variable
// of one group only.
KelSandwichCovariance KelClusterRobustCovariance(const KelMatrix& F, const KelVector& residuals,
                                                 const std::vector<int>& aliasedColumns,
                                                 const std::vector<std::vector<int>>& clusters);

// The same for a fit of KelFitScaledLeastSquares: its residuals and aliased columns.
KelSandwichCovariance KelHeteroskedasticityConsistentCovariance(
    const KelMatrix& F, const KelScaledLeastSquaresResult& fit, KelCovarianceType type);
KelSandwichCovariance KelClusterRobustCovariance(const KelMatrix& F,
                                                 const KelScaledLeastSquaresResult& fit,
                                                 const std::vector<std::vector<int>>& clusters);

#endif
