// KelMatrixSparse: a row-wise linked sparse matrix of doubles. Reading an element that is not
// stored stores it with value 0.
#ifndef KELMATH_KEL_MATRIX_SPARSE_H
#define KELMATH_KEL_MATRIX_SPARSE_H

#include <cstddef>
#include <vector>

#include "foundation/kel_base.h"

class KelMatrixSparse : public KelBase {
 public:
  // One node of a row list, in increasing column order.
  struct Node {
    int column;
    double value;
    Node* next;
  };

  // rows x columns with no stored element.
  KelMatrixSparse(int rows, int columns);
  // Copies of A's stored elements.
  KelMatrixSparse(const KelMatrixSparse& A);
  KelMatrixSparse& operator=(const KelMatrixSparse& A);
  ~KelMatrixSparse() override;

  // Reference to the stored value of (i, j), storing it with value 0 first if needed; an index
  // outside the dimensions is fatal.
  double& operator()(int i, int j);

  int Rows() const { return rows; }
  int Columns() const { return columns; }
  int GetSerialNumber() const { return serialNumber; }
  // Total number of stored elements.
  long long CountStored() const;
  // Head of row i's list (null for an empty row), for walking the stored elements in order.
  const Node* RowList(int i) const { return rowLists[static_cast<size_t>(i)]; }

  // Writes the serial number, the dimensions and every stored element to the output channel.
  void PrintObject() override;

  static KelObjectCounter counter;

 private:
  void Clear();
  void CopyLists(const KelMatrixSparse& A);

  int rows = 0;
  int columns = 0;
  int serialNumber = 0;
  std::vector<Node*> rowLists;  // index 0 unused
};

#endif
