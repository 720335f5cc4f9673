// Storage shared by the square matrices that keep only their lower triangle, packed by rows:
// element (i, j), j <= i, lives at block index i(i-1)/2 + j, reached as RowPointers()[i][j].
#ifndef KELMATH_KEL_MATRIX_PACKED_H
#define KELMATH_KEL_MATRIX_PACKED_H

#include "foundation/kel_base.h"

class KelMatrixPacked : public KelBase {
 public:
  int Rows() const { return numRows; }
  int Columns() const { return numColumns; }
  int GetSerialNumber() const { return serialNumber; }
  // Length of the block in doubles: n(n+1)/2 + 1 (0 when empty).
  int BlockSize() const { return size; }
  double* const* RowPointers() { return rowPointers; }
  const double* const* RowPointers() const { return rowPointers; }
  // Address of element (1, 1); the packed rows follow without gaps.
  double* Data() { return rowPointers == nullptr ? nullptr : rowPointers[0] + 1; }
  const double* Data() const { return rowPointers == nullptr ? nullptr : rowPointers[0] + 1; }

  // Sizes the matrix for a result: rows must equal columns; the serial number stays; the
  // block is cleared unless clear is false.
  void ChangeDimensions(int rows, int columns, bool clear = true);

 protected:
  KelMatrixPacked(KelObjectCounter& counter, const char* classText, int rows, int columns);
  KelMatrixPacked(const KelMatrixPacked& other, KelObjectCounter& counter);
  KelMatrixPacked(KelMatrixPacked&& other, KelObjectCounter& counter) noexcept;
  ~KelMatrixPacked() override;
  void CopyFrom(const KelMatrixPacked& other);
  void SwapStorage(KelMatrixPacked& other) noexcept;
  void Fill(double c);
  // Checks 1 <= i, j <= n with the "%s%s%s()" operator message.
  void CheckIndices(int i, int j) const;
  void Release(KelObjectCounter& counter);

  double** rowPointers = nullptr;
  int numRows = 0;
  int numColumns = 0;
  int size = 0;
  int serialNumber = 0;
  const char* classText;

 private:
  void Allocate(int n, bool clear, const char* fatalFormat);
  void Free();
};

#endif
