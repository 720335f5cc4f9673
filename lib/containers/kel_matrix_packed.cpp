#include "containers/kel_matrix_packed.h"

#include <cstring>
#include <utility>

#include "containers/kel_storage.h"
#include "foundation/kel_error_details.h"
#include "foundation/kel_errors.h"
#include "foundation/kel_output.h"

KelMatrixPacked::KelMatrixPacked(KelObjectCounter& counter, const char* text, int rows, int columns)
    : serialNumber(counter.Draw()), classText(text) {
  if (rows <= 0 || columns <= 0) return;
  if (rows != columns)
    KelError("%s%s%sInitialize\n%s", classText, kelErrCheck, kelErrFunction,
             KelShapeDetail(rows, columns).c_str());
  Allocate(rows, true, "%s%s%sInitialize");
}

KelMatrixPacked::KelMatrixPacked(const KelMatrixPacked& other, KelObjectCounter& counter)
    : serialNumber(counter.Draw()), classText(other.classText) {
  Allocate(other.numRows, false, "%s%s%sInitialize");
  if (size > 0) std::memcpy(rowPointers[0], other.rowPointers[0], sizeof(double) * size_t(size));
}

KelMatrixPacked::KelMatrixPacked(KelMatrixPacked&& other, KelObjectCounter& counter) noexcept
    : rowPointers(other.rowPointers),
      numRows(other.numRows),
      numColumns(other.numColumns),
      size(other.size),
      serialNumber(other.serialNumber),
      classText(other.classText) {
  other.rowPointers = nullptr;
  other.numRows = other.numColumns = other.size = 0;
  counter.CountAlive();
}

KelMatrixPacked::~KelMatrixPacked() {
  Free();
}

void KelMatrixPacked::Release(KelObjectCounter& counter) {
  counter.Release();
}

void KelMatrixPacked::Allocate(int n, bool clear, const char* fatalFormat) {
  rowPointers = nullptr;
  numRows = numColumns = size = 0;
  if (n <= 0) return;
  const long long elements = static_cast<long long>(n) * (n + 1LL) / 2 + 1;
  double* block = kel_storage::Allocate<double>(elements, clear, classText, fatalFormat);
  rowPointers = kel_storage::Allocate<double*>(n + 1LL, false, classText, fatalFormat);
  rowPointers[0] = block;
  rowPointers[1] = block;
  for (int i = 2; i <= n; ++i) rowPointers[i] = rowPointers[i - 1] + (i - 1);
  numRows = numColumns = n;
  size = static_cast<int>(elements);
}

void KelMatrixPacked::Free() {
  if (rowPointers != nullptr) {
    delete[] rowPointers[0];
    delete[] rowPointers;
  }
  rowPointers = nullptr;
  numRows = numColumns = size = 0;
}

void KelMatrixPacked::ChangeDimensions(int rows, int columns, bool clear) {
  if (rows != columns)
    KelError("%s%s%sChangeDimensions\n%s", classText, kelErrCheck, kelErrFunction,
             KelShapeDetail(rows, columns).c_str());
  if (rows < 0) rows = 0;
  if (rows != numRows) {
    Free();
    Allocate(rows, clear, "%s%s%sChangeDimensions");
  } else if (clear && size > 0) {
    std::memset(rowPointers[0], 0, sizeof(double) * size_t(size));
  }
}

void KelMatrixPacked::CopyFrom(const KelMatrixPacked& other) {
  if (this == &other) return;
  ChangeDimensions(other.numRows, other.numColumns, false);
  if (size > 0) std::memcpy(rowPointers[0], other.rowPointers[0], sizeof(double) * size_t(size));
}

void KelMatrixPacked::SwapStorage(KelMatrixPacked& other) noexcept {
  std::swap(rowPointers, other.rowPointers);
  std::swap(numRows, other.numRows);
  std::swap(numColumns, other.numColumns);
  std::swap(size, other.size);
}

void KelMatrixPacked::Fill(double c) {
  if (size == 0) return;
  double* a = Data();
  for (int k = 0; k < size - 1; ++k) a[k] = c;
}

void KelMatrixPacked::CheckIndices(int i, int j) const {
  if (i < 1 || i > numRows || j < 1 || j > numColumns)
    KelError("%s%s%s()\n%s", classText, kelErrIndex, kelErrOperator,
             KelElementDetail(i, j, numRows, numColumns).c_str());
}
