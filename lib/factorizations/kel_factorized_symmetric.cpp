// KelFactorizedSymmetricBase (lifecycle, solves, inverse, printing) and
// KelFactorizedSymmetricNoPivot (Cholesky or outer-product L D L^T, rank-one update).
#include "factorizations/kel_factorized_symmetric.h"

#include <cmath>
#include <vector>

#include "factorizations/kel_factorized.h"
#include "foundation/kel_error_details.h"
#include "foundation/kel_errors.h"
#include "foundation/kel_output.h"

namespace {

const char* const kSingularText = "The matrix is singular";
const char* const kNotDefiniteText = "The matrix is not definite positive";

}  // namespace

KelObjectCounter KelFactorizedSymmetricBase::counter;

KelFactorizedSymmetricBase::KelFactorizedSymmetricBase() : serialNumber(counter.Draw()) {}

KelFactorizedSymmetricBase::~KelFactorizedSymmetricBase() {
  counter.Release();
}

void KelFactorizedSymmetricBase::AssignMatrix(const KelMatrixSymmetric& S) {
  factorized = 0;
  matrixStatus = KelMatrixStatus::kKept;
  norm = 0.0;
  factor.ChangeDimensions(0, 0);
  matrix = S;
  numRows = numColumns = S.Rows();
}

void KelFactorizedSymmetricBase::PrepSolve() {
  if (factorized == 0) {
    if (matrixStatus == KelMatrixStatus::kDestroyed)
      KelError("%s%s%sPrepSolve", kelClassFactorizedSymmetricBase, kelErrMatrixDestroyed,
               kelErrFunction);
    factor = matrix;
    Factorization();
    factorized = 1;
  } else if (matrixStatus == KelMatrixStatus::kModified) {
    factor = matrix;
    Factorization();
    matrixStatus = KelMatrixStatus::kKept;
  }
}

void KelFactorizedSymmetricBase::Solve(KelVector* bx) {
  if (bx->Size() != numRows)
    KelError("%s%s%sSolve\n%s", kelClassFactorizedSymmetricBase, kelErrCheck, kelErrFunction,
             KelShapeSizeDetail(numRows, numRows, bx->Size()).c_str());
  PrepSolve();
  if (numRows > 0) SolveKernel(numRows, FactorRows(), bx->Data() - 1);
}

void Solve(KelFactorizedSymmetricBase* A, KelMatrix* BX) {
  const int n = A->numRows;
  if (BX->Rows() != n)
    KelError("%s%s%sSolve\n%s", kelClassFactorizedSymmetricBase, kelErrCheck, kelErrFunction,
             KelShapesDetail(n, n, BX->Rows(), BX->Columns()).c_str());
  A->PrepSolve();
  std::vector<double> column(static_cast<size_t>(n) + 1);
  double* const* bx = BX->RowPointers();
  for (int j = 1; j <= BX->Columns(); ++j) {
    for (int i = 1; i <= n; ++i) column[i] = bx[i][j];
    A->SolveKernel(n, A->FactorRows(), column.data());
    for (int i = 1; i <= n; ++i) bx[i][j] = column[i];
  }
}

void KelFactorizedSymmetricBase::Inverse(KelMatrix* X) {
  PrepSolve();
  X->Resize(numRows, numRows, true);
  for (int i = 1; i <= numRows; ++i) (*X)(i, i) = 1.0;
  ::Solve(this, X);
}

void KelFactorizedSymmetricBase::PrintObject() {
  KelPrint("\nKelFactorizedSymm No.%d", serialNumber);
  if (matrixStatus == KelMatrixStatus::kDestroyed) {
    KelPrint("\nKelFactorizedSymm Destroyed");
    return;
  }
  KelPrint("\nrows %d columns %d\n", numRows, numColumns);
  for (int i = 1; i <= numRows; ++i) {
    for (int j = 1; j <= numColumns; ++j) KelPrint(" %22.14e", matrix(i, j));
    KelPrint("\n");
  }
}

void KelFactorizedSymmetricNoPivot::Factorization() {
  const int n = numRows;
  double* const* a = FactorRows();
  int zeros = 0;
  for (int i = 1; i <= n; ++i) zeros += a[i][1] == 0.0 ? 1 : 0;
  for (int i = 2; i <= n; ++i) zeros += a[i][2] == 0.0 ? 1 : 0;
  if (zeros >= n) {
    // Sparse-looking: outer products skip every row whose element in the pivot column is zero.
    std::vector<double> old(static_cast<size_t>(n) + 1);
    for (int i = 1; i <= n; ++i) {
      if (a[i][i] == 0.0) KelError("%s %s", kelClassFactorizedSymmetricBase, kSingularText);
      for (int k = i + 1; k <= n; ++k) old[k] = a[k][i];
      for (int j = i + 1; j <= n; ++j) {
        if (old[j] == 0.0) continue;
        const double l = old[j] / a[i][i];
        a[j][i] = l;
        for (int k = i + 1; k <= j; ++k) a[j][k] -= l * old[k];
      }
    }
    return;
  }
  for (int b = 1; b <= n; ++b) {
    double e = a[b][b];
    for (int k = 1; k < b; ++k) e -= a[b][k] * a[b][k];
    if (!(e > 0.0)) KelError("%s %s", kelClassFactorizedSymmetricBase, kNotDefiniteText);
    const double diagonal = std::sqrt(e);
    a[b][b] = diagonal;
    for (int j = b + 1; j <= n; ++j) {
      double sum = a[j][b];
      for (int k = 1; k < b; ++k) sum -= a[j][k] * a[b][k];
      a[j][b] = sum / diagonal;
    }
  }
  for (int i = 1; i <= n; ++i) {
    const double diagonal = a[i][i];
    for (int j = i + 1; j <= n; ++j) a[j][i] /= diagonal;
    a[i][i] = diagonal * diagonal;
  }
}

void KelFactorizedSymmetricNoPivot::SolveKernel(int n, double* const* a, double* x) {
  for (int i = 1; i <= n; ++i) {
    double sum = x[i];
    for (int j = 1; j < i; ++j) sum -= a[i][j] * x[j];
    x[i] = sum;
  }
  for (int i = 1; i <= n; ++i) x[i] /= a[i][i];
  for (int j = n; j >= 1; --j) {
    double sum = x[j];
    for (int k = j + 1; k <= n; ++k) sum -= a[k][j] * x[k];
    x[j] = sum;
  }
}

void KelFactorizedSymmetricNoPivot::ChangeFactorization(double alpha, KelVector* z) {
  PrepSolve();
  const int n = numRows;
  if (z->Size() != n)
    KelError("%s%s%sChangeFactorization\n%s", kelClassFactorizedSymmetricBase, kelErrCheck,
             kelErrFunction, KelShapeSizeDetail(n, n, z->Size()).c_str());
  double* const* a = FactorRows();
  double* v = z->Data() - 1;
  for (int i = 1; i <= n; ++i) {
    const double c = v[i];
    const double old = a[i][i];
    const double d = old + alpha * c * c;
    if (!(d > 0.0)) KelError("%s %s", kelClassFactorizedSymmetricBase, kNotDefiniteText);
    const double factor = alpha * c / d;
    for (int j = i + 1; j <= n; ++j) {
      v[j] -= c * a[j][i];
      a[j][i] += factor * v[j];
    }
    a[i][i] = d;
    alpha = alpha * old / d;
  }
}
