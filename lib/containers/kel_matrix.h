// KelMatrix: the dense matrix of doubles, rows and columns indexed from 1, stored row-major in
// one contiguous block reached through a table of row pointers.
#ifndef KELMATH_KEL_MATRIX_H
#define KELMATH_KEL_MATRIX_H

#include <type_traits>

#include "foundation/kel_base.h"

class KelVector;

class KelMatrix : public KelBase {
 public:
  // Empty matrix.
  KelMatrix();
  // rows x columns zeros (either <= 0: empty); a count that overflows is "No room in heap".
  KelMatrix(int rows, int columns);
  // rows x columns values that follow, row by row: KelMatrix A(2, 2, 1., 2., 3., 4.).
  // Every value must be a double or float; a count other than rows x columns is fatal.
  template <typename... Values>
  requires(sizeof...(Values) > 0 && (kel_detail::IsListValue<Values> && ...))
      KelMatrix(int rows, int columns, Values... values)
      : KelMatrix('u', rows, columns) {
    const double list[] = {static_cast<double>(values)...};
    FillFromList(static_cast<int>(sizeof...(Values)), list);
  }
  // Copy with a serial number of its own.
  KelMatrix(const KelMatrix& A);
  // Takes over A's storage and serial number; A is left empty.
  KelMatrix(KelMatrix&& A) noexcept;
  ~KelMatrix() override;

  // Copies or takes over A's elements and dimensions; the object keeps its serial number.
  KelMatrix& operator=(const KelMatrix& A);
  KelMatrix& operator=(KelMatrix&& A) noexcept;
  // Sets every element to c.
  KelMatrix& operator=(double c);

  // Element (i, j), 1-based; out of range is fatal.
  double GetValue(int i, int j) const;
  double& operator()(int i, int j);
  double operator()(int i, int j) const;
  // Row i or column j as a vector (returned, or written into v); out of range is fatal.
  KelVector GetRow(int i) const;
  void GetRow(int i, KelVector& v) const;
  KelVector GetColumn(int j) const;
  void GetColumn(int j, KelVector& v) const;
  // Row i = v; size(v) must equal the number of columns.
  void SetRow(int i, const KelVector& v);
  // Column j = v; size(v) must equal the number of rows.
  void SetColumn(int j, const KelVector& v);
  // Every element of column j = c.
  void SetColumn(int j, double c);

  // Dimensions; the object's number among all matrices ever built.
  int Rows() const { return numRows; }
  int Columns() const { return numColumns; }
  int GetSerialNumber() const { return serialNumber; }
  // Table of row pointers: RowPointers()[i][j] is element (i, j); null when empty.
  double* const* RowPointers() { return rowPointers; }
  const double* const* RowPointers() const { return rowPointers; }
  // Address of element (1, 1); the rows follow each other without gaps. Null when empty.
  double* Data() { return rowPointers == nullptr ? nullptr : rowPointers[0] + 1; }
  const double* Data() const { return rowPointers == nullptr ? nullptr : rowPointers[0] + 1; }

  // C = A B (C may be A or B). Each element is summed in ascending k with zeros of A skipped,
  // on both the sparse and the dense path. Where the processor has fused multiply-add
  // (AVX2, AVX-512) each term is added with one rounding, otherwise with two: results may
  // differ in the last bits between processors, and are reproducible on one.
  friend void Product(const KelMatrix& A, const KelMatrix& B, KelMatrix& C);
  friend KelMatrix operator*(const KelMatrix& A, const KelMatrix& B);
  // C = A B^T.
  friend void ProductT(const KelMatrix& A, const KelMatrix& B, KelMatrix& C);
  // A += B; different dimensions are fatal.
  KelMatrix& operator+=(const KelMatrix& B);
  // M(i, j) = x_i y_j.
  friend void OuterProduct(const KelVector& x, const KelVector& y, KelMatrix& M);
  // Row i multiplied by v_i.
  void ScaleRows(const KelVector& v);
  // Column j multiplied by v_j.
  void ScaleColumns(const KelVector& v);
  // Transposes in place.
  void Transpose();
  // Largest |A(i, j)| down column j (first occurrence); the row goes to *i when not null.
  double MaxAbsInColumn(int j, int* i = nullptr) const;
  // Largest |A(i, j)| along row i (first occurrence); the column goes to *j when not null.
  double MaxAbsInRow(int i, int* j = nullptr) const;
  // Remove one row or column; an invalid index changes nothing.
  void RemoveRow(int i);
  void RemoveColumn(int j);
  // Exchanges two columns when both are valid.
  void SwapColumns(int j1, int j2);
  // Centres column j on its mean and divides by its norm (unless 0).
  void NormalizeColumn(int j, double* mean, double* norm);
  // Divides each column by its norm (columns of norm 0 stay).
  void NormalizeColumns();
  // Scales rows and/or columns so that their largest magnitude is 1 (b joins the row step).
  void Balance(const KelVector& b, KelVector& rowScale, KelVector& columnScale);
  // Exchanges storage and dimensions; serial numbers stay.
  friend void Swap(KelMatrix& A, KelMatrix& B) noexcept;

  // Writes the serial number, the dimensions and the elements row by row to the output channel.
  void PrintObject() override;

  static KelObjectCounter counter;

  // Resizes to rows x columns keeping the serial number; contents are lost, the block is
  // cleared unless clear is false (the caller writes every element).
  void Resize(int rows, int columns, bool clear = true);

 private:
  KelMatrix(char, int rows, int columns);
  void Allocate(int rows, int columns, bool clear);
  void Free();
  void FillFromList(int count, const double* list);
  void CheckElement(int i, int j, const char* format, const char* kind) const;

  double** rowPointers = nullptr;
  int numRows = 0;
  int numColumns = 0;
  int size = 0;
  int serialNumber = 0;
};

#endif
