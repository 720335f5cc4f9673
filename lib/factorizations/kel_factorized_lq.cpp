// KelFactorizedLQ: A = LQ through the flat Householder routines.
#include <algorithm>
#include <cstring>
#include <vector>

#include "factorizations/kel_factorized_householder.h"
#include "factorizations/kel_householder.h"
#include "factorizations/kel_triangular_condition.h"
#include "foundation/kel_error_details.h"
#include "foundation/kel_errors.h"
#include "foundation/kel_output.h"

void KelFactorizedLQ::Factorization() {
  if (numRows > numColumns)
    KelError("%s%s%sFactorization LQ\n%s", kelClassFactorized, kelErrCheck, kelErrFunction,
             KelShapeDetail(numRows, numColumns).c_str());
  norms.Resize(numRows, false);
  singular = LQFactorization(numRows, numColumns, FactorRows(), diagonal.data(), norms.Data() - 1,
                             tolerance, scratch)
                 ? 1
                 : 0;
}

void KelFactorizedLQ::SpecificSolve(KelVector* bx) {
  const int m = numRows;
  const int n = numColumns;
  work.resize(static_cast<size_t>(m) + 1);
  std::memcpy(work.data() + 1, bx->Data(), sizeof(double) * static_cast<size_t>(m));
  bx->Resize(n, false);
  LQSolution(m, n, FactorRows(), diagonal.data(), work.data(), bx->Data() - 1);
}

void KelFactorizedLQ::SpecificTransposeSolve(KelVector* bx) {
  const int m = numRows;
  const int n = numColumns;
  work.resize(static_cast<size_t>(n) + 1);
  std::memcpy(work.data() + 1, bx->Data(), sizeof(double) * static_cast<size_t>(n));
  bx->Resize(m, false);
  LQTransposeSolution(m, n, FactorRows(), diagonal.data(), work.data(), bx->Data() - 1);
}

double KelFactorizedLQ::SpecificConditionNumber() {
  if (singular != 0) return kelBigValue;
  double** a = FactorRows();
  const double* d = diagonal.data();
  // L presented as the upper triangular L^T: element (j, i), j < i, is L(i, j).
  return TriangularConditionEstimate(
      numRows, [d](int i) { return d[i]; }, [a](int j, int i) { return a[i][j]; });
}

void KelFactorizedLQ::GetLowerFactor(KelMatrixLeft* L) {
  PrepSolve();
  const int m = numRows;
  L->ChangeDimensions(m, m, true);
  double** a = FactorRows();
  // The pivot column of a regular row is its index less the singular rows before it.
  std::vector<int> pivot(static_cast<size_t>(m) + 1, 0);
  for (int i = 1, s = 0; i <= m; ++i) {
    if (diagonal[i] == 0.0)
      ++s;
    else
      pivot[i] = i - s;
  }
  for (int i = 1; i <= m; ++i) {
    if (diagonal[i] == 0.0) continue;
    (*L)(i, i) = diagonal[i];
    for (int j = 1; j < i; ++j)
      if (diagonal[j] != 0.0) (*L)(i, j) = a[i][pivot[j]];
  }
}

void KelFactorizedLQ::GetKelMatrixP(KelMatrix* P) {
  const int m = numRows;
  const int n = numColumns;
  if (m > n)
    KelError("%s%s%s GetKelMatrixP\n%s", kelClassFactorized, kelErrCheck, kelErrFunction,
             KelShapeDetail(m, n).c_str());
  PrepSolve();
  double** a = FactorRows();
  int singularRows = 0;
  for (int i = 1; i <= m; ++i) singularRows += diagonal[i] == 0.0 ? 1 : 0;
  // Start from the permutation that puts the column of each row of L under that row: regular
  // row j takes pivot column j - r, a singular row one of the directions no reflection reached.
  P->Resize(n, n, true);
  double* const* p = P->RowPointers();
  for (int j = 1, r = 0; j <= m; ++j) {
    if (diagonal[j] == 0.0) {
      p[m - singularRows + 1 + r][j] = 1.0;
      ++r;
    } else {
      p[j - r][j] = 1.0;
    }
  }
  for (int j = m + 1; j <= n; ++j) p[j][j] = 1.0;
  // P = H1 H2 ... Hm times that permutation: the reflections act from the left, last first,
  // each on the rows from its pivot column on; organised by rows of P.
  std::vector<double> twiceDot(static_cast<size_t>(n) + 1);
  for (int j = m, r = singularRows; j >= 1; --j) {
    if (diagonal[j] == 0.0) {
      --r;
      continue;
    }
    const int pivot = j - r;
    const double* u = a[j];
    std::fill(twiceDot.begin(), twiceDot.end(), 0.0);
    for (int row = pivot; row <= n; ++row) {
      const double ur = u[row];
      if (ur == 0.0) continue;
      for (int c = 1; c <= n; ++c) twiceDot[c] += ur * p[row][c];
    }
    for (int row = pivot; row <= n; ++row) {
      const double ur = 2.0 * u[row];
      if (ur == 0.0) continue;
      for (int c = 1; c <= n; ++c) p[row][c] -= twiceDot[c] * ur;
    }
  }
}
