#include "containers/kel_matrix_symmetric.h"

#include "foundation/kel_errors.h"
#include "foundation/kel_output.h"

KelObjectCounter KelMatrixSymmetric::counter;

KelMatrixSymmetric::KelMatrixSymmetric()
    : KelMatrixPacked(counter, kelClassMatrixSymmetric, 0, 0) {}

KelMatrixSymmetric::KelMatrixSymmetric(int rows, int columns)
    : KelMatrixPacked(counter, kelClassMatrixSymmetric, rows, columns) {}

KelMatrixSymmetric::KelMatrixSymmetric(const KelMatrixSymmetric& S) : KelMatrixPacked(S, counter) {}

KelMatrixSymmetric::KelMatrixSymmetric(KelMatrixSymmetric&& S) noexcept
    : KelMatrixPacked(static_cast<KelMatrixPacked&&>(S), counter) {}

KelMatrixSymmetric::~KelMatrixSymmetric() {
  Release(counter);
}

KelMatrixSymmetric& KelMatrixSymmetric::operator=(const KelMatrixSymmetric& S) {
  CopyFrom(S);
  return *this;
}

KelMatrixSymmetric& KelMatrixSymmetric::operator=(KelMatrixSymmetric&& S) noexcept {
  if (this != &S) SwapStorage(S);
  return *this;
}

KelMatrixSymmetric& KelMatrixSymmetric::operator=(double c) {
  Fill(c);
  return *this;
}

double& KelMatrixSymmetric::operator()(int i, int j) {
  CheckIndices(i, j);
  return j < i ? rowPointers[i][j] : rowPointers[j][i];
}

double KelMatrixSymmetric::operator()(int i, int j) const {
  CheckIndices(i, j);
  return j < i ? rowPointers[i][j] : rowPointers[j][i];
}

void KelMatrixSymmetric::PrintObject() {
  KelPrint("\nKelMatrixSymm No.%d", serialNumber);
  KelPrint("\nrows %d cols %d\n", numRows, numColumns);
  for (int i = 1; i <= numRows; ++i) {
    for (int j = 1; j <= numColumns; ++j)
      KelPrint(" %22.14e", j <= i ? rowPointers[i][j] : rowPointers[j][i]);
    KelPrint("\n");
  }
}
