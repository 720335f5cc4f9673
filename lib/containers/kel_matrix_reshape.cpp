// KelMatrix operations on whole rows and columns: scaling, transposition, removal, exchange,
// normalisation and balancing.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "containers/kel_matrix.h"
#include "containers/kel_vector.h"
#include "foundation/kel_array_kernels.h"
#include "foundation/kel_error_details.h"
#include "foundation/kel_errors.h"
#include "foundation/kel_output.h"

void KelMatrix::ScaleRows(const KelVector& v) {
  if (v.Size() != numRows)
    KelError("%s%s%sInsertRow\n%s", kelClassMatrix, kelErrCheck, kelErrFunction,
             KelShapeSizeDetail(numRows, numColumns, v.Size()).c_str());
  for (int i = 1; i <= numRows; ++i)
    KelArrayScaleInPlace(numColumns, v.Data()[i - 1], rowPointers[i] + 1);
}

void KelMatrix::ScaleColumns(const KelVector& v) {
  if (v.Size() != numColumns)
    KelError("%s%s%sInsertRow\n%s", kelClassMatrix, kelErrCheck, kelErrFunction,
             KelShapeSizeDetail(numRows, numColumns, v.Size()).c_str());
  if (size == 0) return;
  const double* s = v.Data() - 1;  // 1-based view of v
  for (int i = 1; i <= numRows; ++i) {
    double* row = rowPointers[i];
    for (int j = 1; j <= numColumns; ++j) row[j] *= s[j];
  }
}

void KelMatrix::Transpose() {
  if (size == 0) return;
  if (numRows == numColumns) {
    for (int i = 1; i <= numRows; ++i)
      for (int j = i + 1; j <= numColumns; ++j) std::swap(rowPointers[i][j], rowPointers[j][i]);
    return;
  }
  KelMatrix transposed('u', numColumns, numRows);
  transposed.rowPointers[0][0] = 0.0;
  for (int i = 1; i <= numRows; ++i)
    for (int j = 1; j <= numColumns; ++j) transposed.rowPointers[j][i] = rowPointers[i][j];
  Swap(*this, transposed);
}

double KelMatrix::MaxAbsInColumn(int j, int* i) const {
  if (j < 1 || j > numColumns || numRows == 0) return 0.0;
  int best = 1;
  for (int r = 2; r <= numRows; ++r)
    if (std::fabs(rowPointers[r][j]) > std::fabs(rowPointers[best][j])) best = r;
  if (i != nullptr) *i = best;
  return std::fabs(rowPointers[best][j]);
}

double KelMatrix::MaxAbsInRow(int i, int* j) const {
  if (i < 1 || i > numRows || numColumns == 0) return 0.0;
  const double* row = rowPointers[i];
  int best = 1;
  for (int c = 2; c <= numColumns; ++c)
    if (std::fabs(row[c]) > std::fabs(row[best])) best = c;
  if (j != nullptr) *j = best;
  return std::fabs(row[best]);
}

void KelMatrix::RemoveRow(int i) {
  if (i < 1 || i > numRows) return;
  KelMatrix smaller('u', numRows - 1, numColumns);
  if (smaller.size > 0) {
    double* out = smaller.Data();
    const size_t rowBytes = sizeof(double) * size_t(numColumns);
    std::memcpy(out, Data(), rowBytes * size_t(i - 1));
    std::memcpy(out + size_t(i - 1) * numColumns, rowPointers[i] + 1 + numColumns,
                rowBytes * size_t(numRows - i));
    smaller.rowPointers[0][0] = 0.0;
  }
  Swap(*this, smaller);
}

void KelMatrix::RemoveColumn(int j) {
  if (j < 1 || j > numColumns) return;
  KelMatrix smaller('u', numRows, numColumns - 1);
  if (smaller.size > 0) {
    smaller.rowPointers[0][0] = 0.0;
    for (int i = 1; i <= numRows; ++i) {
      std::memcpy(smaller.rowPointers[i] + 1, rowPointers[i] + 1, sizeof(double) * size_t(j - 1));
      std::memcpy(smaller.rowPointers[i] + j, rowPointers[i] + j + 1,
                  sizeof(double) * size_t(numColumns - j));
    }
  }
  Swap(*this, smaller);
}

void KelMatrix::SwapColumns(int j1, int j2) {
  if (j1 < 1 || j1 > numColumns || j2 < 1 || j2 > numColumns || j1 == j2) return;
  for (int i = 1; i <= numRows; ++i) std::swap(rowPointers[i][j1], rowPointers[i][j2]);
}

void KelMatrix::NormalizeColumn(int j, double* mean, double* norm) {
  if (j < 1 || j > numColumns)
    KelError("%s%s%sNormalizeColumn\n%s", kelClassMatrix, kelErrIndex, kelErrFunction,
             KelIndexDetail(j, 1, numColumns).c_str());
  long double sum = 0.0L;
  for (int i = 1; i <= numRows; ++i) sum += rowPointers[i][j];
  const double columnMean = static_cast<double>(sum / numRows);
  KelVector centred('u', numRows);
  for (int i = 1; i <= numRows; ++i) centred.Data()[i - 1] = rowPointers[i][j] - columnMean;
  const double columnNorm = SqrtSumSqr(numRows, centred.Data());
  for (int i = 1; i <= numRows; ++i)
    rowPointers[i][j] =
        columnNorm != 0.0 ? centred.Data()[i - 1] / columnNorm : centred.Data()[i - 1];
  if (mean != nullptr) *mean = columnMean;
  if (norm != nullptr) *norm = columnNorm;
}

void KelMatrix::NormalizeColumns() {
  KelVector column('u', numRows);
  for (int j = 1; j <= numColumns; ++j) {
    for (int i = 1; i <= numRows; ++i) column.Data()[i - 1] = rowPointers[i][j];
    const double columnNorm = SqrtSumSqr(numRows, column.Data());
    if (columnNorm == 0.0) continue;
    for (int i = 1; i <= numRows; ++i) rowPointers[i][j] /= columnNorm;
  }
}

void KelMatrix::Balance(const KelVector& b, KelVector& rowScale, KelVector& columnScale) {
  rowScale.Resize(numRows, true);
  columnScale.Resize(numColumns, true);
  auto rowStep = [&]() {
    for (int i = 1; i <= numRows; ++i) {
      double largest = MaxAbsInRow(i);
      if (i <= b.Size()) largest = std::max(largest, std::fabs(b.Data()[i - 1]));
      if (largest != 0.0) rowScale(i) = 1.0 / largest;
    }
    ScaleRows(rowScale);
  };
  auto columnStep = [&]() {
    for (int j = 1; j <= numColumns; ++j) {
      double largest = MaxAbsInColumn(j);
      if (largest != 0.0) columnScale(j) = 1.0 / largest;
    }
    ScaleColumns(columnScale);
  };
  if (numRows > numColumns) {
    columnStep();
    rowScale = 1.0;
  } else if (numRows < numColumns) {
    rowStep();
    columnScale = 1.0;
  } else {
    rowStep();
    columnStep();
  }
}
