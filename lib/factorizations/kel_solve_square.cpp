// SolveSquare: the common n - 1 equations are factorized once by LQ; each further equation
// completes the triangular system with one row, at O(n^2) per square system.
#include "factorizations/kel_solve_square.h"

#include <algorithm>
#include <vector>

#include "containers/kel_matrix_left.h"
#include "factorizations/kel_factorized_householder.h"
#include "foundation/kel_error_details.h"
#include "foundation/kel_errors.h"
#include "foundation/kel_output.h"

void SolveSquare(const KelMatrix& A0, const KelVector& b, KelMatrix* X) {
  const KelQuietMessages quiet;
  const int m = A0.Rows();
  const int n = A0.Columns();
  if (m < n)
    KelError("\n\nERROR!!!\n%s%sSolveSquare\n%s", kelErrCheck, kelErrFunction,
             KelShapeDetail(m, n).c_str());
  if (b.Size() != m)
    KelError("\n\nERROR!!!\n%s%sSolveSquare\n%s", kelErrCheck, kelErrFunction,
             KelShapeSizeDetail(m, n, b.Size()).c_str());
  // X may be A itself: keep the equations before X is resized.
  KelMatrix copy;
  const bool aliased = X->GetSerialNumber() == A0.GetSerialNumber();
  if (aliased) copy = A0;
  const KelMatrix& A = aliased ? copy : A0;
  X->Resize(m - n + 1, n, false);
  if (n == 0) return;

  // Row n of the factorized matrix is zero, so it is always singular and the free direction
  // it leaves is the one each extra equation fixes.
  KelMatrix common(n, n);
  for (int i = 1; i < n; ++i)
    for (int j = 1; j <= n; ++j) common(i, j) = A(i, j);
  KelFactorizedLQ lq(common);
  KelMatrix P;
  KelMatrixLeft L;
  lq.GetKelMatrixP(&P);
  lq.GetLowerFactor(&L);
  KelVector y(n);
  for (int i = 1; i <= n; ++i) y(i) = b(i);
  Solve(L, y);

  const double* const* p = P.RowPointers();
  std::vector<double> q(static_cast<size_t>(n) + 1);
  for (int k = 1; k <= m - n + 1; ++k) {
    const double* row = A.RowPointers()[n - 1 + k];
    // q = P^T a, accumulated by rows of P.
    std::fill(q.begin(), q.end(), 0.0);
    for (int r = 1; r <= n; ++r) {
      const double ar = row[r];
      if (ar == 0.0) continue;
      for (int j = 1; j <= n; ++j) q[j] += p[r][j] * ar;
    }
    double last = b(n - 1 + k);
    for (int j = 1; j < n; ++j) last -= y(j) * q[j];
    y(n) = q[n] != 0.0 ? last / q[n] : 0.0;
    double* x = X->RowPointers()[k];
    for (int i = 1; i <= n; ++i) {
      double sum = 0.0;
      for (int j = 1; j <= n; ++j) sum += p[i][j] * y(j);
      x[i] = sum;
    }
  }
}
