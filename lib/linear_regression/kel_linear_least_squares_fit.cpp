// The least-squares fit of y ~ F b (balanced and plain SVD from one QR, statistics, covariance,
// standard errors of the estimated responses) as a function of its inputs; the leave-one-out
// outlier test that ends it is in kel_linear_least_squares_leave_one_out.cpp.
#include "linear_regression/kel_linear_least_squares_fit.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "factorizations/kel_factorized_svd.h"
#include "factorizations/kel_tall_qr.h"
#include "foundation/kel_array_kernels.h"
#include "foundation/kel_constants.h"
#include "foundation/kel_errors.h"
#include "foundation/kel_output.h"
#include "statistics/kel_student_t_table.h"

namespace {

// The singular value decomposition of a small square matrix: w, V and U (n x n each), sorted
// by decreasing w when asked.
struct SmallSvd {
  KelVector w;
  KelMatrix V;
  KelMatrix U;
};

SmallSvd smallSvd(const KelMatrix& A, bool sorted) {
  SmallSvd svd;
  KelFactorizedSVD factorized(A);
  if (sorted)
    factorized.GetSortedDecomposition(&svd.w, &svd.V, &svd.U);
  else
    factorized.GetDecomposition(&svd.w, &svd.V, &svd.U);
  return svd;
}

// R with column j multiplied by scale[j] (1-based).
KelMatrix scaledColumns(const KelMatrix& R, const std::vector<double>& scale) {
  KelMatrix scaled(R);
  double* const* s = scaled.RowPointers();
  for (int i = 1; i <= scaled.Rows(); ++i)
    for (int j = 1; j <= scaled.Columns(); ++j) s[i][j] *= scale[static_cast<size_t>(j)];
  return scaled;
}

// The largest and smallest of w; their ratio, or the big value when the smallest is 0.
double conditionOf(const KelVector& w) {
  double largest = w(1);
  double smallest = w(1);
  for (int i = 2; i <= w.Size(); ++i) {
    largest = std::max(largest, w(i));
    smallest = std::min(smallest, w(i));
  }
  return smallest == 0.0 ? kelBigValue : largest / smallest;
}

// V W^+ p over the singular values not below threshold (none when the threshold is 0, which
// gives x = 0: the rule of the SVD solve), with p = U^T y given.
KelVector solveThrough(const SmallSvd& svd, const KelVector& projection, double threshold) {
  const int n = svd.w.Size();
  KelVector x(n);
  if (threshold == 0.0) return x;
  std::vector<double> scaled(static_cast<size_t>(n) + 1, 0.0);
  for (int i = 1; i <= n; ++i)
    if (std::fabs(threshold) <= svd.w(i)) scaled[static_cast<size_t>(i)] = projection(i) / svd.w(i);
  for (int j = 1; j <= n; ++j) {
    double sum = 0.0;
    for (int i = 1; i <= n; ++i) sum += svd.V(j, i) * scaled[static_cast<size_t>(i)];
    x(j) = sum;
  }
  return x;
}

// U^T v for an n x n U.
KelVector transposedProduct(const KelMatrix& U, const KelVector& v) {
  const int n = U.Rows();
  KelVector p(U.Columns());
  for (int i = 1; i <= U.Columns(); ++i) {
    double sum = 0.0;
    for (int k = 1; k <= n; ++k) sum += U(k, i) * v(k);
    p(i) = sum;
  }
  return p;
}

struct ColumnMeasures {
  std::vector<double> largest;  // 1-based: largest magnitude of column j
  std::vector<double> squares;  // 1-based: sum of squares of column j
};

// Builds one fit: each step writes its own fields of the fit it holds, in the order of Build.
class FitBuilder {
 public:
  FitBuilder(const KelLinearFitInputs& inputs, KelLinearLeastSquaresFit&& numbered)
      : in(inputs), m(inputs.F.Rows()), n(inputs.F.Columns()), fit(std::move(numbered)) {}
  KelLinearLeastSquaresFit Build();

 private:
  ColumnMeasures measureColumns() const;
  void computeBalancedSolution(const KelMatrix& R, const KelVector& leadingQty,
                               const std::vector<double>& columnLargest);
  KelVector residualCrossProduct() const;
  KelMatrix computeSingularValueDecomposition(KelTallQR* qr, const KelVector& leadingQty);
  void computeResidualStatistics();
  void computeCovariance(const KelMatrix& R, const KelMatrix& leftOfR,
                         const std::vector<double>& columnSquares);
  double scaledLeftRowSquares(int j) const;
  void computeResponseStandardErrors();
  void testLeaveOneOut();

  const KelLinearFitInputs& in;
  const int m;  // experiments
  const int n;  // parameters
  KelLinearLeastSquaresFit fit;
};

// Every decomposition comes from one Householder QR of a copy of F, F = Q R: the balanced, plain
// and column-scaled singular value decompositions are those of R with its columns scaled (n x n
// each), the left singular vectors U = Q U_R are formed over the copy itself, and Q^T y gives
// the solutions. The fit thus holds one m x n matrix besides F (which becomes U) and reads the
// rows O(1) times: O(m n^2 + n^3) work.
KelLinearLeastSquaresFit FitBuilder::Build() {
  // The earlier form of the regression lets the factorizations' notes through.
  const KelQuietMessages quiet(!in.earlierForm);
  KelMatrix factored(in.F);
  KelTallQR qr(&factored);
  const KelVector leadingQty = qr.LeadingTransposedProduct(in.y);
  const ColumnMeasures columns = measureColumns();
  computeBalancedSolution(qr.R(), leadingQty, columns.largest);
  const KelMatrix leftOfR = computeSingularValueDecomposition(&qr, leadingQty);
  const int dof = in.degreesOfFreedom;
  fit.t95 = kel_student_t::Quantile95(dof);
  fit.t99 = kel_student_t::Quantile99(dof);
  computeResidualStatistics();
  computeCovariance(qr.R(), leftOfR, columns.squares);
  computeResponseStandardErrors();
  testLeaveOneOut();
  return std::move(fit);
}

// The leave-one-out fields, from the test of the fit so far.
void FitBuilder::testLeaveOneOut() {
  const KelLeaveOneOutTest test = KelComputeLeaveOneOut(in, fit);
  fit.leaveOneOutBest = test.best;
  fit.leaveOneOutBestIndex = test.bestIndex;
  fit.leaveOneOutRefits = test.refits;
  fit.highlyProbableOutlier = test.highlyProbableOutlier;
  fit.probableOutlier = test.probableOutlier;
}

// The largest magnitude and the sum of squares of every column of F, in one pass over the rows.
ColumnMeasures FitBuilder::measureColumns() const {
  ColumnMeasures columns;
  columns.largest.assign(static_cast<size_t>(n) + 1, 0.0);
  columns.squares.assign(static_cast<size_t>(n) + 1, 0.0);
  double* largest = columns.largest.data();
  double* squares = columns.squares.data();
  const double* const* f = in.F.RowPointers();
  for (int i = 1; i <= m; ++i) {
    const double* row = f[i];
    for (int j = 1; j <= n; ++j) {
      largest[j] = std::max(largest[j], std::fabs(row[j]));
      squares[j] += row[j] * row[j];
    }
  }
  return columns;
}

// b = the solution of the column-balanced problem (each column divided by its largest
// magnitude), which is the one kept, refined once by the corrected semi-normal equations: with
// the residual r = y - F b and g = F^T r both formed in extended precision, the correction d of
// F^T F d = g comes from the same balanced decomposition. On a polynomial of degree 10
// (condition number about 1e15) this gains about a digit; on well-conditioned problems the
// correction is below the last digit. With F C = Q (R C) and R C = U W V^T, the balanced
// solution is C V W^+ U^T (Q^T y) and d = C V W^+ W^+ V^T C g.
void FitBuilder::computeBalancedSolution(const KelMatrix& R, const KelVector& leadingQty,
                                         const std::vector<double>& columnLargest) {
  std::vector<double> columnScale(static_cast<size_t>(n) + 1, 1.0);
  for (int j = 1; j <= n; ++j) {
    const double largest = columnLargest[static_cast<size_t>(j)];
    if (largest != 0.0) columnScale[static_cast<size_t>(j)] = 1.0 / largest;
  }
  const SmallSvd balanced = smallSvd(scaledColumns(R, columnScale), false);
  double largest = 0.0;
  for (int i = 1; i <= n; ++i) largest = std::max(largest, balanced.w(i));
  const double threshold = kelMachEps * largest;
  fit.b = solveThrough(balanced, transposedProduct(balanced.U, leadingQty), threshold);
  for (int j = 1; j <= n; ++j) fit.b(j) *= columnScale[static_cast<size_t>(j)];

  KelVector correction = residualCrossProduct();
  for (int j = 1; j <= n; ++j) correction(j) *= columnScale[static_cast<size_t>(j)];
  // W^+ V^T (C g), held to the float range as the transposed solve holds its result, then
  // V W^+ of it: U^T U = I in between.
  KelVector inner(n);
  if (threshold != 0.0) {
    for (int i = 1; i <= n; ++i) {
      double sum = 0.0;
      for (int j = 1; j <= n; ++j) sum += balanced.V(j, i) * correction(j);
      inner(i) = KelClampToFloat(std::fabs(threshold) <= balanced.w(i) ? sum / balanced.w(i) : 0.0);
    }
  }
  correction = solveThrough(balanced, inner, threshold);
  for (int j = 1; j <= n; ++j) fit.b(j) += correction(j) * columnScale[static_cast<size_t>(j)];
  fit.systemConditioning = conditionOf(balanced.w);
  if (in.earlierForm) KelPrint("\nsystemConditioning %e", fit.systemConditioning);
}

// F^T (y - F b), the residual and the products formed in extended precision.
KelVector FitBuilder::residualCrossProduct() const {
  std::vector<long double> sums(static_cast<size_t>(n), 0.0L);
  const double* beta = fit.b.Data();
  for (int i = 1; i <= m; ++i) {
    const double* row = in.F.RowPointers()[i] + 1;
    long double residual = in.y(i);
    for (int j = 0; j < n; ++j) residual -= static_cast<long double>(row[j]) * beta[j];
    for (int j = 0; j < n; ++j) sums[static_cast<size_t>(j)] += row[j] * residual;
  }
  KelVector g(n);
  for (int j = 1; j <= n; ++j) g(j) = static_cast<double>(sums[static_cast<size_t>(j - 1)]);
  return g;
}

// Singular values (decreasing), V, U and W, and the comparison of b with the plain solution.
// The singular values and V are those of R; U = Q U_R is formed over the QR's storage, and
// U^T y = U_R^T (Q^T y) is kept for the solutions with fewer singular values. Returns U_R.
KelMatrix FitBuilder::computeSingularValueDecomposition(KelTallQR* qr,
                                                        const KelVector& leadingQty) {
  SmallSvd plain = smallSvd(qr->R(), true);
  fit.d = plain.w;
  fit.V = plain.V;
  fit.leftProjection = transposedProduct(plain.U, leadingQty);
  fit.U = qr->TakeProduct(plain.U);
  fit.maximumSingularValue = fit.d(1);
  const double epsilon = kelMachEpsFloat;
  const double smallBound = fit.d(1) * std::sqrt(epsilon);
  const double negligibleBound = 10.0 * epsilon * fit.d(1);
  fit.smallSingularValues = 0;
  fit.negligibleSingularValues = 0;
  for (int i = 1; i <= n; ++i) {
    if (fit.d(i) < smallBound) ++fit.smallSingularValues;
    if (fit.d(i) < negligibleBound) ++fit.negligibleSingularValues;
  }
  const int kept = n - fit.negligibleSingularValues;
  fit.W.Resize(kept, n, false);
  for (int i = 1; i <= kept; ++i)
    for (int j = 1; j <= n; ++j) fit.W(i, j) = fit.V(j, i) / fit.d(i);

  const KelVector plainSolution = KelPlainSolution(fit, n);
  fit.solutionsDisagree = false;
  if (in.earlierForm) {
    // The earlier form keeps the plain solution and does not compare the two.
    fit.b = plainSolution;
  } else {
    for (int i = 1; i <= n; ++i)
      if (std::fabs(fit.b(i) - plainSolution(i)) >
          kel_linear_thresholds::kSolutionsDisagree * std::fabs(fit.b(i)))
        fit.solutionsDisagree = true;
  }
  fit.conditionNumber = conditionOf(fit.d);
  return std::move(plain.U);
}

// Estimated responses, residuals, sums of squares and coefficients of determination.
void FitBuilder::computeResidualStatistics() {
  fit.parametersNorm = fit.b.Norm2();
  Product(in.F, fit.b, fit.yEstimated);
  fit.residuals.Resize(m, false);
  for (int i = 1; i <= m; ++i) fit.residuals(i) = in.y(i) - fit.yEstimated(i);
  fit.residualsNorm = fit.residuals.Norm2();
  fit.sumOfSquares = fit.residualsNorm * fit.residualsNorm;
  fit.standardDeviation = fit.residualsNorm / std::sqrt(static_cast<double>(in.degreesOfFreedom));
  fit.meanSquareError = fit.standardDeviation * fit.standardDeviation;

  fit.totalSumOfSquares = 0.0;
  for (int i = 1; i <= m; ++i) fit.totalSumOfSquares += in.y(i) * in.y(i);
  if (!in.intercept) {
    fit.correctedTotalSumOfSquares = 0.0;
    // All responses zero: the residuals are zero as well and the fit is exact, whatever the units.
    if (fit.totalSumOfSquares == 0.0) {
      fit.r2 = fit.adjustedR2 = 1.0;
      return;
    }
    fit.r2 = 1.0 - fit.sumOfSquares / fit.totalSumOfSquares;
    fit.adjustedR2 = 1.0 - fit.meanSquareError / (fit.totalSumOfSquares / m);
    return;
  }
  fit.meanOfY = 0.0;
  for (int i = 1; i <= m; ++i) fit.meanOfY += in.y(i);
  fit.meanOfY /= m;
  fit.correctedTotalSumOfSquares = 0.0;
  for (int i = 1; i <= m; ++i) {
    const double deviation = in.y(i) - fit.meanOfY;
    fit.correctedTotalSumOfSquares += deviation * deviation;
  }
  if (fit.correctedTotalSumOfSquares == 0.0) KelError("%s\nssm == 0.", kelClassLinearRegression);
  fit.r2 = 1.0 - fit.sumOfSquares / fit.correctedTotalSumOfSquares;
  fit.adjustedR2 = 1.0 - fit.meanSquareError / (fit.correctedTotalSumOfSquares / (m - 1));
}

// Cov = s^2 V D^-2 V^T over the nonzero singular values, and se(b); the leverages, from which
// se(yhat) follows.
//
// The decomposition used here is that of F with its columns scaled to unit norm, F = Fs C:
// Cov = s^2 C^-1 Vs Ds^-2 Vs^T C^-1 and the rows of Us span the same space as those of U, so
// for a matrix of full rank both are the same quantities as from the plain decomposition. The
// plain one loses the small components of the singular vectors of badly scaled columns (a
// quadratic in x ~ 1e6 leaves barely five correct digits in the standard errors); the scaled
// one keeps them. Zero columns keep the scale 1, so an exactly zero singular value stays zero
// and is left out as before.
//
// Fs = Q (R C^-1), so Ds and Vs are those of R C^-1, and Us = Q U_Rs = U (U_R^T U_Rs): its kept
// columns are U times an n x scaledRank matrix, which is all that is kept of them.
void FitBuilder::computeCovariance(const KelMatrix& R, const KelMatrix& leftOfR,
                                   const std::vector<double>& columnSquares) {
  fit.varianceUsed = in.responseVariance != 0.0 ? in.responseVariance : fit.meanSquareError;

  std::vector<double> columnNorm(columnSquares);
  std::vector<double> inverseNorm(static_cast<size_t>(n) + 1, 1.0);
  for (int j = 1; j <= n; ++j) {
    columnNorm[j] = std::sqrt(columnNorm[j]);
    if (columnNorm[j] == 0.0) columnNorm[j] = 1.0;
    inverseNorm[j] = 1.0 / columnNorm[j];
  }
  const SmallSvd scaled = smallSvd(scaledColumns(R, inverseNorm), true);
  const KelVector& ds = scaled.w;

  fit.covariance.ChangeDimensions(n, n, true);
  double* const* cov = fit.covariance.RowPointers();
  const double* const* v = scaled.V.RowPointers();
  for (int i = 1; i <= n; ++i) {
    // An exactly zero singular value carries no information and is left out.
    if (ds(i) == 0.0) continue;
    const double weight = fit.varianceUsed / (ds(i) * ds(i));
    for (int j = 1; j <= n; ++j)
      for (int k = 1; k <= j; ++k) cov[j][k] += weight * v[j][i] * v[k][i];
  }
  for (int j = 1; j <= n; ++j)
    for (int k = 1; k <= j; ++k) cov[j][k] /= columnNorm[j] * columnNorm[k];
  fit.seB.Resize(n, false);
  // No floor: an exact fit or a parameter left out has standard error 0, and a tiny known
  // variance gives standard errors of its own scale.
  for (int i = 1; i <= n; ++i) fit.seB(i) = std::sqrt(cov[i][i]);

  // The transposed solve keeps the singular values not below machine epsilon times the largest.
  const double threshold = kelMachEps * ds(1);
  fit.scaledRank = 0;
  if (ds(1) != 0.0)
    while (fit.scaledRank < n && ds(fit.scaledRank + 1) >= threshold) ++fit.scaledRank;
  fit.scaledConditioning = ds(n) != 0.0 ? ds(1) / ds(n) : kelBigValue;
  // Column k's distance from the others is 1 / sqrt(((Fs^T Fs)^-1)(k, k)).
  fit.leastColumnIndependence = kelBigValue;
  for (int k = 1; k <= n; ++k) {
    double sum = 0.0;
    for (int i = 1; i <= n; ++i)
      if (ds(i) != 0.0) sum += (v[k][i] / ds(i)) * (v[k][i] / ds(i));
    fit.leastColumnIndependence = std::min(fit.leastColumnIndependence, 1.0 / std::sqrt(sum));
  }

  fit.scaledLeftInU.Resize(n, fit.scaledRank, false);
  for (int i = 1; i <= n; ++i)
    for (int c = 1; c <= fit.scaledRank; ++c) {
      double sum = 0.0;
      for (int k = 1; k <= n; ++k) sum += leftOfR(k, i) * scaled.U(k, c);
      fit.scaledLeftInU(i, c) = sum;
    }
}

// Squared norm of row j of the kept columns of Us = U M (M = scaledLeftInU). With every column
// kept, M is orthogonal and the norm is that of row j of U.
double FitBuilder::scaledLeftRowSquares(int j) const {
  const double* u = fit.U.RowPointers()[j];
  double h = 0.0;
  if (fit.scaledRank == n) {
    for (int k = 1; k <= n; ++k) h += u[k] * u[k];
    return h;
  }
  const double* const* mm = fit.scaledLeftInU.RowPointers();
  for (int c = 1; c <= fit.scaledRank; ++c) {
    double component = 0.0;
    for (int k = 1; k <= n; ++k) component += u[k] * mm[k][c];
    h += component * component;
  }
  return h;
}

// se(yhat)(j)^2 = s^2 f_j^T (F^T F)^+ f_j. With F = U D V^T this is s^2 times the squared norm
// of row j of U over the kept singular values, i.e. the leverage h_jj: O(n) per experiment
// (O(n^2) when F is rank deficient) instead of one transposed solve of size m each.
void FitBuilder::computeResponseStandardErrors() {
  fit.leverages.Resize(m, false);
  fit.seYEstimated.Resize(m, false);
  for (int j = 1; j <= m; ++j) {
    const double h = scaledLeftRowSquares(j);
    fit.leverages(j) = h;
    fit.seYEstimated(j) = std::sqrt(fit.varianceUsed * h);
  }
}

}  // namespace

KelLinearLeastSquaresFit KelComputeLeastSquaresFit(const KelLinearFitInputs& inputs,
                                                   KelLinearLeastSquaresFit&& numbered) {
  return FitBuilder(inputs, std::move(numbered)).Build();
}

// Least squares with the singular values not below d(kept): V D^+ (U^T y) over them, or 0 when
// that singular value is 0.
KelVector KelPlainSolution(const KelLinearLeastSquaresFit& fit, int kept) {
  const int n = fit.d.Size();
  const double threshold = fit.d(kept);
  KelVector x(n);
  if (threshold == 0.0) return x;
  for (int j = 1; j <= n; ++j) {
    double sum = 0.0;
    for (int i = 1; i <= n; ++i)
      if (threshold <= fit.d(i)) sum += fit.V(j, i) * (fit.leftProjection(i) / fit.d(i));
    x(j) = sum;
  }
  return x;
}
