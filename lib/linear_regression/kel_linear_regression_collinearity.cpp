// Tj tolerances and column-correlation factors from one QR factorization of the normalized
// regressor matrix (see the header for why the small factorizations give the same values).
#include "linear_regression/kel_linear_regression_collinearity.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "factorizations/kel_householder.h"
#include "factorizations/kel_tall_qr.h"
#include "foundation/kel_constants.h"
#include "foundation/kel_errors.h"
#include "foundation/kel_output.h"

namespace {

bool columnIsOnes(const KelMatrix& F, int j) {
  const double* const* f = F.RowPointers();
  for (int i = 1; i <= F.Rows(); ++i)
    if (f[i][j] != 1.0) return false;
  return true;
}

// The corrected sum of squares of column j exactly as a regression with this column as its
// response forms it (mean in double, then the squared deviations), so that the fatal case is
// the regression's own.
double centredSumOfSquares(const KelMatrix& F, int j) {
  const int m = F.Rows();
  const double* const* f = F.RowPointers();
  double mean = 0.0;
  for (int i = 1; i <= m; ++i) mean += f[i][j];
  mean /= m;
  double sum = 0.0;
  for (int i = 1; i <= m; ++i) {
    const double deviation = f[i][j] - mean;
    sum += deviation * deviation;
  }
  return sum;
}

double sumOfSquares(const KelMatrix& F, int j) {
  const double* const* f = F.RowPointers();
  double sum = 0.0;
  for (int i = 1; i <= F.Rows(); ++i) sum += f[i][j] * f[i][j];
  return sum;
}

// Fatal when a column among first..last is constant (its corrected sum of squares, formed as
// centredSumOfSquares forms it, is 0). Row passes with one sum per column: the same sums as
// walking down each column.
void checkCentredSumsOfSquares(const KelMatrix& F, int first, int last) {
  if (first > last) return;
  const int m = F.Rows();
  const double* const* f = F.RowPointers();
  const size_t size = static_cast<size_t>(last) + 1;
  std::vector<double> means(size, 0.0);
  for (int i = 1; i <= m; ++i)
    for (int j = first; j <= last; ++j) means[j] += f[i][j];
  for (int j = first; j <= last; ++j) means[j] /= m;
  std::vector<double> sums(size, 0.0);
  for (int i = 1; i <= m; ++i)
    for (int j = first; j <= last; ++j) {
      const double deviation = f[i][j] - means[j];
      sums[j] += deviation * deviation;
    }
  for (int j = first; j <= last; ++j)
    if (sums[j] == 0.0) KelError("%s\nssm == 0.", kelClassLinearRegression);
}

// Columns first..n of g: centred (when asked) and divided by their norms, a zero norm leaving
// the column as it is. The arithmetic is that of KelMatrix::NormalizeColumn and SqrtSumSqr
// (mean of a long-double sum; the norm's long-double sum of squares, scaled by the largest
// magnitude where a square could overflow or underflow), so the results are the same to the
// bit, but every step is a pass down the rows instead of a walk down each column.
void normalizeColumnsByRows(KelMatrix* g, int first, bool centre) {
  const int m = g->Rows();
  const int n = g->Columns();
  if (m < 1 || first > n) return;
  double* const* a = g->RowPointers();
  const size_t size = static_cast<size_t>(n) + 1;
  if (centre) {
    std::vector<long double> sums(size, 0.0L);
    for (int i = 1; i <= m; ++i)
      for (int j = first; j <= n; ++j) sums[j] += a[i][j];
    std::vector<double> means(size, 0.0);
    for (int j = first; j <= n; ++j) means[j] = static_cast<double>(sums[j] / m);
    for (int i = 1; i <= m; ++i)
      for (int j = first; j <= n; ++j) a[i][j] -= means[j];
  }
  std::vector<double> largest(size, 0.0);
  std::vector<long double> squares(size, 0.0L);
  for (int i = 1; i <= m; ++i)
    for (int j = first; j <= n; ++j) {
      largest[j] = std::max(largest[j], std::fabs(a[i][j]));
      squares[j] += static_cast<long double>(a[i][j]) * a[i][j];
    }
  std::vector<double> norms(size, 0.0);
  std::vector<unsigned char> scaled(size, 0);
  bool anyScaled = false;
  for (int j = first; j <= n; ++j) {
    if (largest[j] == 0.0) continue;
    const bool fast = largest[j] < std::sqrt(kelBigValue / m) &&
                      largest[j] > kelDoubleMinNormal / static_cast<double>(kelMachEpsFloat);
    if (fast) {
      norms[j] = static_cast<double>(std::sqrt(squares[j]));
    } else {
      scaled[j] = 1;
      anyScaled = true;
      squares[j] = 0.0L;
    }
  }
  if (anyScaled) {
    for (int i = 1; i <= m; ++i)
      for (int j = first; j <= n; ++j) {
        if (scaled[j] == 0) continue;
        const double x = a[i][j] / largest[j];
        squares[j] += static_cast<long double>(x) * x;
      }
    for (int j = first; j <= n; ++j)
      if (scaled[j] != 0) norms[j] = largest[j] * std::sqrt(static_cast<double>(squares[j]));
  }
  for (int i = 1; i <= m; ++i)
    for (int j = first; j <= n; ++j)
      if (norms[j] != 0.0) a[i][j] /= norms[j];
}

// The copy G whose columns the diagnostics compare: with an intercept, columns 2..n centred
// and of unit norm (column 1 kept); without, every column of unit norm (zero columns stay).
KelMatrix normalizedCopy(const KelMatrix& F, bool intercept) {
  KelMatrix g = F;
  normalizeColumnsByRows(&g, intercept ? 2 : 1, intercept);
  return g;
}

// R (n x n) of G = Q R, G's storage taken. No column is judged dependent (tolerance 0), so R^T R
// equals G^T G to rounding and every later decision is taken on R alone.
KelMatrix triangularFactor(KelMatrix* g) {
  const KelTallQR qr(g);
  return qr.R();
}

// |last diagonal| of the QR of R with columns i and n exchanged, with the given singularity
// tolerance; work is n x n scratch.
double lastDiagonal(const KelMatrix& r, int i, double tolerance, KelMatrix* work,
                    std::vector<double>* scratch) {
  const int n = r.Columns();
  *work = r;
  if (i < n) work->SwapColumns(i, n);
  std::vector<double> diagonal(static_cast<size_t>(n) + 1);
  std::vector<double> norms(static_cast<size_t>(n) + 1);
  QRFactorization(n, n, work->RowPointers(), diagonal.data(), norms.data(), tolerance, *scratch);
  return std::fabs(diagonal[static_cast<size_t>(n)]);
}

}  // namespace

KelCollinearity ComputeCollinearity(const KelMatrix& F, bool intercept) {
  const int n = F.Columns();
  const int first = intercept ? 2 : 1;
  // The regression of column 1 on the others decides its intercept from its first column.
  const bool firstHasIntercept = !intercept && n >= 2 && columnIsOnes(F, 2);
  if (n >= 2 && intercept) checkCentredSumsOfSquares(F, 2, n);
  if (firstHasIntercept) checkCentredSumsOfSquares(F, 1, 1);

  const KelQuietMessages quiet;
  KelCollinearity result;
  result.tolerances.Resize(n, false);
  result.columnFactors.Resize(n, false);
  result.tolerances = 1.0;
  result.columnFactors = 1.0;
  KelMatrix g = normalizedCopy(F, intercept);
  const KelMatrix r = triangularFactor(&g);
  g.Resize(0, 0, false);
  KelMatrix work;
  std::vector<double> scratch;
  for (int i = first; i <= n; ++i) {
    result.columnFactors(i) = lastDiagonal(r, i, kelTenMachEpsFloat, &work, &scratch);
    if (n < 2) continue;
    // The unexplained fraction of the (centred) sum of squares of column i, which has unit norm
    // in G; computed without the singularity tolerance, like the regression's residual.
    const double distance = lastDiagonal(r, i, 0.0, &work, &scratch);
    double unexplained = distance * distance;
    if (i == 1 && firstHasIntercept) {
      unexplained *= sumOfSquares(F, 1) / centredSumOfSquares(F, 1);
    }
    result.tolerances(i) = unexplained;
  }
  return result;
}

double GuardedDeviation(double variance) {
  return std::sqrt(std::fabs(variance));
}

void CorrelationOfCovariance(const KelMatrixSymmetric& covariance,
                             KelMatrixSymmetric* correlation) {
  const int n = covariance.Rows();
  *correlation = covariance;
  std::vector<double> deviation(static_cast<size_t>(n) + 1);
  for (int k = 1; k <= n; ++k) deviation[k] = GuardedDeviation(covariance(k, k));
  KelMatrixSymmetric& r = *correlation;
  for (int j = 1; j <= n; ++j) {
    for (int k = 1; k < j; ++k) {
      // A parameter of zero variance (left out, or known exactly) is correlated with nothing.
      const double product = deviation[j] * deviation[k];
      r(j, k) = product != 0.0 ? covariance(j, k) / product : 0.0;
    }
    r(j, j) = 1.0;
  }
}

double LargestCorrelation(const KelMatrixSymmetric& correlation) {
  double largest = 0.0;
  for (int j = 1; j <= correlation.Rows(); ++j)
    for (int k = 1; k < j; ++k) largest = std::fmax(largest, std::fabs(correlation(j, k)));
  return largest;
}
