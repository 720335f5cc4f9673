// KelFactorizedSVD: factorization modes, solves with dropped singular values, accessors.
#include "factorizations/kel_factorized_svd.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>

#include "factorizations/kel_factorized_gauss.h"
#include "foundation/kel_constants.h"
#include "foundation/kel_error_details.h"
#include "foundation/kel_errors.h"
#include "foundation/kel_output.h"

void KelFactorizedSVD::MatrixLoaded() {
  singularValuesKnown = false;
  largestSingularValue = 0.0;
  smallestSingularValue = 0.0;
}

void KelFactorizedSVD::SpecificInitialize() {
  singularValues.assign(static_cast<size_t>(numColumns) + 1, 0.0);
  work.assign(static_cast<size_t>(numRows) + 1, 0.0);
  V.Resize(numColumns, numColumns, true);
}

void KelFactorizedSVD::SpecificDeinitialize() {
  singularValues.clear();
  work.clear();
  V.Resize(0, 0);
}

void KelFactorizedSVD::Factorization() {
  if (numRows < numColumns)
    KelError("%s%s%sFactorization SVD\n%s", kelClassFactorized, kelErrCheck, kelErrFunction,
             KelShapeDetail(numRows, numColumns).c_str());
  factorizedMode = requiredMode;
  SVDFactorization(requiredMode, numRows, numColumns, FactorRows(), singularValues.data(), &V,
                   workspace);
  const int n = numColumns;
  if (n > 0) {
    largestSingularValue = *std::max_element(singularValues.begin() + 1, singularValues.end());
    smallestSingularValue = *std::min_element(singularValues.begin() + 1, singularValues.end());
  }
  singularValuesKnown = true;
}

void KelFactorizedSVD::SpecificSolve(KelVector* bx) {
  const int m = numRows;
  const int n = numColumns;
  std::memcpy(work.data() + 1, bx->Data(), sizeof(double) * static_cast<size_t>(m));
  bx->Resize(n, false);
  SVDBack(m, n, FactorRows(), singularValues.data(), V, work.data(), bx->Data() - 1,
          kelMachEps * largestSingularValue);
}

void KelFactorizedSVD::SpecificTransposeSolve(KelVector* bx) {
  const int m = numRows;
  const int n = numColumns;
  std::memcpy(work.data() + 1, bx->Data(), sizeof(double) * static_cast<size_t>(n));
  bx->Resize(m, false);
  SVDSolution(m, n, FactorRows(), singularValues.data(), V, work.data(), bx->Data() - 1,
              kelMachEps * largestSingularValue);
}

void KelFactorizedSVD::SpecificTransposeSolve(KelMatrix*) {
  KelError("%s%s", kelClassFactorized, kelErrImplemented);
}

void KelFactorizedSVD::SpecificTransposeSolve(const KelMatrix&, KelMatrix*) {
  KelError("%s%s", kelClassFactorized, kelErrImplemented);
}

void Solve(KelFactorizedSVD* A, const KelVector& b, KelVector* x, int numberOfSingularValues) {
  if (b.GetSerialNumber() == x->GetSerialNumber())
    KelError("%s%s b is equal to x", kelClassFactorized, kelErrFunction);
  if (b.Size() != A->numRows)
    KelError("%s%s%sSolve\n%s", kelClassFactorized, kelErrCheck, kelErrFunction,
             KelShapeSizeDetail(A->numRows, A->numColumns, b.Size()).c_str());
  A->PrepOnlySolve();
  const int n = A->numColumns;
  const int k = std::min(std::max(1, numberOfSingularValues), n);
  std::vector<double> sorted(A->singularValues.begin() + 1, A->singularValues.end());
  std::sort(sorted.begin(), sorted.end(), std::greater<double>());
  const double threshold = n > 0 ? sorted[k - 1] : 0.0;
  std::memcpy(A->work.data() + 1, b.Data(), sizeof(double) * static_cast<size_t>(A->numRows));
  x->Resize(n, false);
  SVDBack(A->numRows, n, A->FactorRows(), A->singularValues.data(), A->V, A->work.data(),
          x->Data() - 1, threshold);
}

double KelFactorizedSVD::SpecificConditionNumber() {
  return smallestSingularValue == 0.0 ? kelBigValue : largestSingularValue / smallestSingularValue;
}

double KelFactorizedSVD::ConditionNumber() {
  if (factorized != 0 && matrixStatus == KelMatrixStatus::kModified) {
    PrepSolve();
  } else if (factorized == 0 && !singularValuesKnown) {
    KelVector w;
    GetSingularValues(&w);
  }
  return SpecificConditionNumber();
}

void KelFactorizedSVD::GetSingularValues(KelVector* w) {
  const bool wasFactorized = factorized != 0;
  // A refactorization of an object already in use must keep U and V for its later solves.
  requiredMode = wasFactorized ? 4 : 1;
  PrepSolve();
  requiredMode = 4;
  w->Resize(numColumns, false);
  for (int i = 1; i <= numColumns; ++i) (*w)(i) = singularValues[i];
  if (!wasFactorized) DiscardFactorization();
}

double KelFactorizedSVD::MaximumSingularValue() {
  KelVector w;
  GetSingularValues(&w);
  return largestSingularValue;
}

double KelFactorizedSVD::MinimumSingularValue() {
  KelVector w;
  GetSingularValues(&w);
  return smallestSingularValue;
}

void KelFactorizedSVD::GetDecomposition(KelVector* w, KelMatrix* Vout, KelMatrix* U) {
  requiredMode = 4;
  PrepSolve();
  // A factorization kept from an earlier call computes U and V unless it was made for less.
  if (factorizedMode != 4) {
    DiscardFactorization();
    PrepSolve();
  }
  const int m = numRows;
  const int n = numColumns;
  w->Resize(n, false);
  for (int i = 1; i <= n; ++i) (*w)(i) = singularValues[i];
  *Vout = V;
  U->Resize(m, n, false);
  double** a = FactorRows();
  for (int i = 1; i <= m; ++i)
    std::memcpy(U->RowPointers()[i] + 1, a[i] + 1, sizeof(double) * static_cast<size_t>(n));
}

void KelFactorizedSVD::GetSortedDecomposition(KelVector* w, KelMatrix* Vout, KelMatrix* U) {
  KelVector unsortedW;
  KelMatrix unsortedV;
  // U is permuted in place, row by row: no second m x n copy, and the row-major storage is
  // read in order.
  GetDecomposition(&unsortedW, &unsortedV, U);
  const int m = numRows;
  const int n = numColumns;
  std::vector<int> order(static_cast<size_t>(n));
  std::iota(order.begin(), order.end(), 1);
  // A stable sort is a permutation: every column is used exactly once, ties keep their order.
  std::stable_sort(order.begin(), order.end(),
                   [&](int p, int q) { return unsortedW(p) > unsortedW(q); });
  w->Resize(n, false);
  Vout->Resize(n, n, false);
  for (int j = 1; j <= n; ++j) {
    const int from = order[j - 1];
    (*w)(j) = unsortedW(from);
    for (int i = 1; i <= n; ++i) (*Vout)(i, j) = unsortedV(i, from);
  }
  bool identity = true;
  for (int j = 1; j <= n; ++j) identity = identity && order[j - 1] == j;
  if (identity) return;
  std::vector<double> row(static_cast<size_t>(n) + 1);
  double* const* u = U->RowPointers();
  for (int i = 1; i <= m; ++i) {
    for (int j = 1; j <= n; ++j) row[static_cast<size_t>(j)] = u[i][order[j - 1]];
    std::memcpy(u[i] + 1, row.data() + 1, sizeof(double) * static_cast<size_t>(n));
  }
}

double KelFactorizedSVD::Determinant() {
  if (numRows != numColumns) {
    KelWarning("%s%s%sDeterminant", kelClassFactorized, kelErrCheck, kelErrFunction);
    return 0.0;
  }
  KelVector w;
  KelMatrix v, u;
  GetDecomposition(&w, &v, &u);
  double product = 1.0;
  for (int i = 1; i <= numColumns; ++i) product *= w(i);
  // det U and det V are +-1; their signs come from an LU of each.
  const KelQuietMessages quiet;
  KelFactorizedGauss gaussU(u), gaussV(v);
  const double sign = (gaussU.Determinant() < 0.0) == (gaussV.Determinant() < 0.0) ? 1.0 : -1.0;
  return sign * product;
}
