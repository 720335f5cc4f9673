// KelFactorized: lifecycle (loading, preparation, element access), the solve dispatchers, the
// scaled solve and printing.
#include "factorizations/kel_factorized.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "foundation/kel_error_details.h"
#include "foundation/kel_errors.h"
#include "foundation/kel_output.h"

const char* const kelErrMatrixDestroyed = "KelMatrix Destroyed";

KelObjectCounter KelFactorized::counter;

KelFactorized::KelFactorized() : serialNumber(counter.Draw()) {}

KelFactorized::KelFactorized(int rows, int columns) : serialNumber(counter.Draw()) {
  matrix.Resize(rows, columns, true);
  numRows = matrix.Rows();
  numColumns = matrix.Columns();
}

KelFactorized::~KelFactorized() {
  counter.Release();
}

void KelFactorized::Reset() {
  // Work arrays belong to the factors; they go whenever the matrix they were made for goes.
  if (factorized != 0) SpecificDeinitialize();
  factorStorage.Resize(0, 0);
  factorRows.clear();
  factorized = 0;
  matrixStatus = KelMatrixStatus::kKept;
  singular = 0;
  norm = 0.0;
  MatrixLoaded();
}

void KelFactorized::AssignMatrix(const KelMatrix& A) {
  Reset();
  matrix = A;
  numRows = matrix.Rows();
  numColumns = matrix.Columns();
}

void MoveMatrixIntoFactorized(KelMatrix* A, KelFactorized* F) {
  F->Reset();
  F->matrix.Resize(0, 0);
  Swap(F->matrix, *A);
  F->numRows = F->matrix.Rows();
  F->numColumns = F->matrix.Columns();
}

double& KelFactorized::operator()(int i, int j) {
  if (matrixStatus == KelMatrixStatus::kDestroyed)
    KelError("%s%s", kelClassFactorized, kelErrMatrixDestroyed);
  if (i < 1 || i > numRows || j < 1 || j > numColumns)
    KelError("%s%s%s", kelClassFactorized, kelErrCheck,
             KelElementDetail(i, j, numRows, numColumns).c_str());
  if (factorized != 0) matrixStatus = KelMatrixStatus::kModified;
  return matrix.RowPointers()[i][j];
}

void KelFactorized::ComputeNorm() {
  // Four rows at a time: their sums are independent chains of additions, which the processor
  // then overlaps (each row's sum is still taken in column order).
  norm = 0.0;
  const size_t width = static_cast<size_t>(numColumns);
  const double* a = matrix.Data();
  int i = 0;
  for (; i + 4 <= numRows; i += 4, a += 4 * width) {
    double sums[4] = {0.0, 0.0, 0.0, 0.0};
    for (size_t j = 0; j < width; ++j)
      for (size_t r = 0; r < 4; ++r) sums[r] += std::fabs(a[r * width + j]);
    for (double sum : sums) norm = std::max(norm, sum);
  }
  for (; i < numRows; ++i, a += width) {
    double sum = 0.0;
    for (size_t j = 0; j < width; ++j) sum += std::fabs(a[j]);
    norm = std::max(norm, sum);
  }
}

void KelFactorized::BindFactorRows() {
  if (numRows == 0 || numColumns == 0) {
    factorRows.assign(static_cast<size_t>(numRows) + 1, nullptr);
    return;
  }
  double* const* rows = factorStorage.RowPointers();
  factorRows.assign(rows, rows + numRows + 1);
}

void KelFactorized::PrepOnlySolve() {
  if (factorized == 0) {
    if (matrixStatus == KelMatrixStatus::kDestroyed)
      KelError("%s%s%sPrepOnlySolve", kelClassFactorized, kelErrMatrixDestroyed, kelErrFunction);
    if (!FactorizationSetsNorm()) ComputeNorm();
    factorStorage.Resize(0, 0);
    Swap(factorStorage, matrix);
    BindFactorRows();
    factorized = 1;
    matrixStatus = KelMatrixStatus::kDestroyed;
    SpecificInitialize();
    Factorization();
  } else if (matrixStatus == KelMatrixStatus::kModified) {
    if (!FactorizationSetsNorm()) ComputeNorm();
    factorStorage.Resize(0, 0);
    Swap(factorStorage, matrix);
    BindFactorRows();
    matrixStatus = KelMatrixStatus::kDestroyed;
    Factorization();
  } else if (matrixStatus == KelMatrixStatus::kKept) {
    matrix.Resize(0, 0);
    matrixStatus = KelMatrixStatus::kDestroyed;
  }
}

void KelFactorized::PrepSolve() {
  if (factorized == 0) {
    if (matrixStatus == KelMatrixStatus::kDestroyed)
      KelError("%s%s%sPrepSolve", kelClassFactorized, kelErrMatrixDestroyed, kelErrFunction);
    factorStorage = matrix;
    BindFactorRows();
    SpecificInitialize();
    factorized = 1;
    Factorization();
  } else if (matrixStatus == KelMatrixStatus::kModified) {
    factorStorage = matrix;
    BindFactorRows();
    matrixStatus = KelMatrixStatus::kKept;
    Factorization();
  }
}

void KelFactorized::DiscardFactorization() {
  if (factorized == 0) return;
  SpecificDeinitialize();
  factorStorage.Resize(0, 0);
  factorRows.clear();
  factorized = 0;
}

// Default matrix and copy forms: everything goes through the concrete in-place vector solve.
void KelFactorized::SpecificSolve(const KelVector& b, KelVector* x) {
  if (x->GetSerialNumber() != b.GetSerialNumber()) *x = b;
  SpecificSolve(x);
}

void KelFactorized::SpecificTransposeSolve(const KelVector& b, KelVector* x) {
  if (x->GetSerialNumber() != b.GetSerialNumber()) *x = b;
  SpecificTransposeSolve(x);
}

namespace {

// Solves column by column; the result replaces BX, with another row count when the solution
// has another length than the right-hand side.
template <typename SolveColumn>
void solveByColumns(KelMatrix* BX, SolveColumn solveColumn) {
  const int rows = BX->Rows();
  const int columns = BX->Columns();
  if (rows == 0 || columns == 0) return;
  KelVector column(rows);
  KelMatrix result;
  for (int j = 1; j <= columns; ++j) {
    column.Resize(rows, false);
    double* c = column.Data();
    double* const* bx = BX->RowPointers();
    for (int i = 1; i <= rows; ++i) c[i - 1] = bx[i][j];
    solveColumn(&column);
    if (j == 1) result.Resize(column.Size(), columns, false);
    double* const* r = result.RowPointers();
    const double* s = column.Data();
    for (int i = 1; i <= column.Size(); ++i) r[i][j] = s[i - 1];
  }
  Swap(*BX, result);
}

}  // namespace

void KelFactorized::SpecificSolve(KelMatrix* BX) {
  solveByColumns(BX, [this](KelVector* column) { SpecificSolve(column); });
}

void KelFactorized::SpecificSolve(const KelMatrix& B, KelMatrix* X) {
  if (X->GetSerialNumber() != B.GetSerialNumber()) *X = B;
  SpecificSolve(X);
}

void KelFactorized::SpecificTransposeSolve(KelMatrix* BX) {
  solveByColumns(BX, [this](KelVector* column) { SpecificTransposeSolve(column); });
}

void KelFactorized::SpecificTransposeSolve(const KelMatrix& B, KelMatrix* X) {
  if (X->GetSerialNumber() != B.GetSerialNumber()) *X = B;
  SpecificTransposeSolve(X);
}

void Solve(KelFactorized* F, KelVector* bx) {
  if (bx->Size() != F->numRows)
    KelError("%s%s%sSolve\n%s", kelClassFactorized, kelErrCheck, kelErrFunction,
             KelShapeSizeDetail(F->numRows, F->numColumns, bx->Size()).c_str());
  F->PrepOnlySolve();
  F->SpecificSolve(bx);
}

void Solve(KelFactorized* F, const KelVector& b, KelVector* x) {
  if (b.Size() != F->numRows)
    KelError("%s%s%sSolve\n%s", kelClassFactorized, kelErrCheck, kelErrFunction,
             KelShapeSizeDetail(F->numRows, F->numColumns, b.Size()).c_str());
  F->PrepOnlySolve();
  if (b.GetSerialNumber() == x->GetSerialNumber())
    F->SpecificSolve(x);
  else
    F->SpecificSolve(b, x);
}

void Solve(KelFactorized* F, KelMatrix* BX) {
  if (BX->Rows() != F->numRows)
    KelError("%s%s%sSolve\n%s", kelClassFactorized, kelErrCheck, kelErrFunction,
             KelShapesDetail(F->numRows, F->numColumns, BX->Rows(), BX->Columns()).c_str());
  F->PrepOnlySolve();
  F->SpecificSolve(BX);
}

void Solve(KelFactorized* F, const KelMatrix& B, KelMatrix* X) {
  if (B.Rows() != F->numRows)
    KelError("%s%s%sSolve\n%s", kelClassFactorized, kelErrCheck, kelErrFunction,
             KelShapesDetail(F->numRows, F->numColumns, B.Rows(), B.Columns()).c_str());
  F->PrepOnlySolve();
  if (B.GetSerialNumber() == X->GetSerialNumber())
    F->SpecificSolve(X);
  else
    F->SpecificSolve(B, X);
}

void TransposeSolve(KelFactorized* F, KelVector* bx) {
  if (bx->Size() != F->numColumns)
    KelError("%s%s%sTransposeSolve\n%s", kelClassFactorized, kelErrCheck, kelErrFunction,
             KelShapeSizeDetail(F->numRows, F->numColumns, bx->Size()).c_str());
  F->PrepOnlySolve();
  F->SpecificTransposeSolve(bx);
}

void TransposeSolve(KelFactorized* F, const KelVector& b, KelVector* x) {
  if (b.Size() != F->numColumns)
    KelError("%s%s%sTransposeSolve\n%s", kelClassFactorized, kelErrCheck, kelErrFunction,
             KelShapeSizeDetail(F->numRows, F->numColumns, b.Size()).c_str());
  F->PrepOnlySolve();
  if (b.GetSerialNumber() == x->GetSerialNumber())
    F->SpecificTransposeSolve(x);
  else
    F->SpecificTransposeSolve(b, x);
}

void TransposeSolve(KelFactorized* F, KelMatrix* BX) {
  if (BX->Rows() != F->numColumns)
    KelError("%s%s%sTransposeSolve\n%s", kelClassFactorized, kelErrCheck, kelErrFunction,
             KelShapesDetail(F->numRows, F->numColumns, BX->Rows(), BX->Columns()).c_str());
  F->PrepOnlySolve();
  F->SpecificTransposeSolve(BX);
}

void TransposeSolve(KelFactorized* F, const KelMatrix& B, KelMatrix* X) {
  if (B.Rows() != F->numColumns)
    KelError("%s%s%sTransposeSolve\n%s", kelClassFactorized, kelErrCheck, kelErrFunction,
             KelShapesDetail(F->numRows, F->numColumns, B.Rows(), B.Columns()).c_str());
  F->PrepOnlySolve();
  if (B.GetSerialNumber() == X->GetSerialNumber())
    F->SpecificTransposeSolve(X);
  else
    F->SpecificTransposeSolve(B, X);
}

double KelFactorized::ConditionNumber() {
  if (numRows != numColumns) {
    KelWarning("%s%s%sConditionNumber", kelClassFactorized, kelErrCheck, kelErrFunction);
    return 0.0;
  }
  PrepSolve();
  if (matrixStatus == KelMatrixStatus::kKept) ComputeNorm();
  return SpecificConditionNumber();
}

void KelFactorized::SolveScaled(KelMatrix* A, KelVector* bx) {
  scalingMode = 2;
  savedMatrix = *A;
  savedRightHandSide = *bx;
  const int m = A->Rows();
  const int n = A->Columns();
  A->Balance(*bx, rowScale, columnScale);
  if (n >= m && bx->Size() == m) {
    double* b = bx->Data();
    const double* r = rowScale.Data();
    for (int i = 0; i < m; ++i) b[i] *= r[i];
  }
  MoveMatrixIntoFactorized(A, this);
  Solve(this, bx);
  if (m >= n) {
    double* x = bx->Data();
    const double* c = columnScale.Data();
    for (int j = 0; j < n; ++j) x[j] *= c[j];
  }
  *A = savedMatrix;
}

void KelFactorized::SolveScaledNormalEquations(KelVector* g) {
  if (scalingMode != 2 || factorized == 0 || numRows < numColumns)
    KelError("%s\nSolveScaledNormalEquations needs the factorization of a SolveScaled",
             kelClassFactorized);
  if (g->Size() != numColumns)
    KelError("%s%s%sSolveScaledNormalEquations\n%s", kelClassFactorized, kelErrCheck,
             kelErrFunction, KelShapeSizeDetail(numRows, numColumns, g->Size()).c_str());
  const double* c = columnScale.Data();
  double* x = g->Data();
  for (int j = 0; j < numColumns; ++j) x[j] *= c[j];
  TransposeSolve(this, g);
  Solve(this, g);
  x = g->Data();
  for (int j = 0; j < numColumns; ++j) x[j] *= c[j];
}

void KelFactorized::PrintObject() {
  KelPrint("\nKelFactorized No.%d", serialNumber);
  if (matrixStatus == KelMatrixStatus::kDestroyed) {
    KelPrint("\nKelMatrix Destroyed");
    return;
  }
  KelPrint("\nrows %d columns %d\n", numRows, numColumns);
  const double* a = matrix.Data();
  for (int i = 0; i < numRows; ++i) {
    for (int j = 0; j < numColumns; ++j) KelPrint(" %22.14e", *a++);
    KelPrint("\n");
  }
}
