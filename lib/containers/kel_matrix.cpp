// KelMatrix: storage, construction, assignment, element, row and column access, printing.
#include "containers/kel_matrix.h"

#include <cstring>
#include <utility>

#include "containers/kel_storage.h"
#include "containers/kel_vector.h"
#include "foundation/kel_error_details.h"
#include "foundation/kel_errors.h"
#include "foundation/kel_output.h"

KelObjectCounter KelMatrix::counter;

void KelMatrix::Allocate(int rows, int columns, bool clear) {
  rowPointers = nullptr;
  numRows = numColumns = size = 0;
  if (rows <= 0 || columns <= 0) return;
  const long long elements = static_cast<long long>(rows) * columns + 1;
  double* block =
      kel_storage::Allocate<double>(elements, clear, kelClassMatrix, "%s%s%sInitialize");
  rowPointers = kel_storage::Allocate<double*>(static_cast<long long>(rows) + 1, false,
                                               kelClassMatrix, "%s%s%sInitialize");
  rowPointers[0] = block;
  rowPointers[1] = block;
  for (int i = 2; i <= rows; ++i) rowPointers[i] = rowPointers[i - 1] + columns;
  numRows = rows;
  numColumns = columns;
  size = static_cast<int>(elements);
}

void KelMatrix::Free() {
  if (rowPointers != nullptr) {
    delete[] rowPointers[0];
    delete[] rowPointers;
  }
  rowPointers = nullptr;
  numRows = numColumns = size = 0;
}

KelMatrix::KelMatrix() : serialNumber(counter.Draw()) {}

KelMatrix::KelMatrix(int rows, int columns) : serialNumber(counter.Draw()) {
  Allocate(rows, columns, true);
}

KelMatrix::KelMatrix(char, int rows, int columns) : serialNumber(counter.Draw()) {
  Allocate(rows, columns, false);
}

void KelMatrix::FillFromList(int count, const double* list) {
  if (count != size - (size > 0 ? 1 : 0))
    KelError("%s%s%sKelMatrix\n%s", kelClassMatrix, kelErrCheck, kelErrConstructor,
             KelShapeSizeDetail(numRows, numColumns, count).c_str());
  if (size > 0) {
    rowPointers[0][0] = 0.0;
    std::memcpy(Data(), list, sizeof(double) * size_t(count));
  }
}

KelMatrix::KelMatrix(const KelMatrix& A) : serialNumber(counter.Draw()) {
  Allocate(A.numRows, A.numColumns, false);
  if (size > 0) std::memcpy(rowPointers[0], A.rowPointers[0], sizeof(double) * size_t(size));
}

KelMatrix::KelMatrix(KelMatrix&& A) noexcept
    : rowPointers(A.rowPointers),
      numRows(A.numRows),
      numColumns(A.numColumns),
      size(A.size),
      serialNumber(A.serialNumber) {
  A.rowPointers = nullptr;
  A.numRows = A.numColumns = A.size = 0;
  counter.CountAlive();
}

KelMatrix::~KelMatrix() {
  Free();
  counter.Release();
}

void KelMatrix::Resize(int rows, int columns, bool clear) {
  if (rows <= 0 || columns <= 0) rows = columns = 0;
  if (rows != numRows || columns != numColumns) {
    Free();
    Allocate(rows, columns, clear);
  } else if (clear && size > 0) {
    std::memset(rowPointers[0], 0, sizeof(double) * size_t(size));
  }
}

KelMatrix& KelMatrix::operator=(const KelMatrix& A) {
  if (this == &A) return *this;
  Resize(A.numRows, A.numColumns, false);
  if (size > 0) std::memcpy(rowPointers[0], A.rowPointers[0], sizeof(double) * size_t(size));
  return *this;
}

KelMatrix& KelMatrix::operator=(KelMatrix&& A) noexcept {
  if (this != &A) Swap(*this, A);
  return *this;
}

KelMatrix& KelMatrix::operator=(double c) {
  if (size == 0) return *this;
  if (c == 0.0) {
    std::memset(Data(), 0, sizeof(double) * size_t(size - 1));
  } else {
    double* a = Data();
    for (int k = 0; k < size - 1; ++k) a[k] = c;
  }
  return *this;
}

void Swap(KelMatrix& A, KelMatrix& B) noexcept {
  std::swap(A.rowPointers, B.rowPointers);
  std::swap(A.numRows, B.numRows);
  std::swap(A.numColumns, B.numColumns);
  std::swap(A.size, B.size);
}

void KelMatrix::CheckElement(int i, int j, const char* format, const char* kind) const {
  if (i < 1 || i > numRows || j < 1 || j > numColumns)
    KelError(format, kelClassMatrix, kelErrIndex, kind,
             KelElementDetail(i, j, numRows, numColumns).c_str());
}

double KelMatrix::GetValue(int i, int j) const {
  CheckElement(i, j, "%s%s%sGetValue\n%s", kelErrFunction);
  return rowPointers[i][j];
}

double& KelMatrix::operator()(int i, int j) {
  CheckElement(i, j, "%s%s%s()\n%s", kelErrOperator);
  return rowPointers[i][j];
}

double KelMatrix::operator()(int i, int j) const {
  CheckElement(i, j, "%s%s%s()\n%s", kelErrOperator);
  return rowPointers[i][j];
}

KelVector KelMatrix::GetRow(int i) const {
  KelVector v;
  GetRow(i, v);
  return v;
}

void KelMatrix::GetRow(int i, KelVector& v) const {
  if (i < 1 || i > numRows)
    KelError("%s%s%sGetRow\n%s", kelClassMatrix, kelErrIndex, kelErrFunction,
             KelIndexDetail(i, 1, numRows).c_str());
  v.Resize(numColumns, false);
  std::memcpy(v.Data(), rowPointers[i] + 1, sizeof(double) * size_t(numColumns));
}

KelVector KelMatrix::GetColumn(int j) const {
  KelVector v;
  GetColumn(j, v);
  return v;
}

void KelMatrix::GetColumn(int j, KelVector& v) const {
  if (j < 1 || j > numColumns)
    KelError("%s%s%sGetColumn\n%s", kelClassMatrix, kelErrIndex, kelErrFunction,
             KelIndexDetail(j, 1, numColumns).c_str());
  v.Resize(numRows, false);
  double* out = v.Data();
  for (int i = 1; i <= numRows; ++i) out[i - 1] = rowPointers[i][j];
}

void KelMatrix::SetRow(int i, const KelVector& v) {
  if (i < 1 || i > numRows)
    KelError("%s%s%sSetRow\n%s", kelClassMatrix, kelErrIndex, kelErrFunction,
             KelIndexDetail(i, 1, numRows).c_str());
  // A row of the wrong length is an index error too; its detail line gives the two sizes.
  if (v.Size() != numColumns)
    KelError("%s%s%sSetRow\n%s", kelClassMatrix, kelErrIndex, kelErrFunction,
             KelShapeSizeDetail(numRows, numColumns, v.Size()).c_str());
  std::memcpy(rowPointers[i] + 1, v.Data(), sizeof(double) * size_t(numColumns));
}

void KelMatrix::SetColumn(int j, const KelVector& v) {
  if (j < 1 || j > numColumns)
    KelError("%s%s%sSetColumn\n%s", kelClassMatrix, kelErrIndex, kelErrFunction,
             KelIndexDetail(j, 1, numColumns).c_str());
  // A column of the wrong length is an index error too; its detail line gives the two sizes.
  if (v.Size() != numRows)
    KelError("%s%s%sSetColumn\n%s", kelClassMatrix, kelErrIndex, kelErrFunction,
             KelShapeSizeDetail(numRows, numColumns, v.Size()).c_str());
  const double* in = v.Data();
  for (int i = 1; i <= numRows; ++i) rowPointers[i][j] = in[i - 1];
}

void KelMatrix::SetColumn(int j, double c) {
  if (j < 1 || j > numColumns)
    KelError("%s%s%sSetColumn\n%s", kelClassMatrix, kelErrIndex, kelErrFunction,
             KelIndexDetail(j, 1, numColumns).c_str());
  for (int i = 1; i <= numRows; ++i) rowPointers[i][j] = c;
}

void KelMatrix::PrintObject() {
  KelPrint("\nKelMatrix No.%d", serialNumber);
  KelPrint("\nrows %d columns %d\n", numRows, numColumns);
  for (int i = 1; i <= numRows; ++i)
    for (int j = 1; j <= numColumns; ++j)
      KelPrint("%5d %5d     %22.14e\n", i, j, rowPointers[i][j]);
}
