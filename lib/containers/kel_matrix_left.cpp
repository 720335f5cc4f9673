#include "containers/kel_matrix_left.h"

#include "containers/kel_vector.h"
#include "foundation/kel_array_kernels.h"
#include "foundation/kel_error_details.h"
#include "foundation/kel_errors.h"
#include "foundation/kel_output.h"

KelObjectCounter KelMatrixLeft::counter;

KelMatrixLeft::KelMatrixLeft() : KelMatrixPacked(counter, kelClassMatrixLeft, 0, 0) {}

KelMatrixLeft::KelMatrixLeft(int rows, int columns)
    : KelMatrixPacked(counter, kelClassMatrixLeft, rows, columns) {}

KelMatrixLeft::KelMatrixLeft(const KelMatrixLeft& L) : KelMatrixPacked(L, counter) {}

KelMatrixLeft::KelMatrixLeft(KelMatrixLeft&& L) noexcept
    : KelMatrixPacked(static_cast<KelMatrixPacked&&>(L), counter) {}

KelMatrixLeft::~KelMatrixLeft() {
  Release(counter);
}

KelMatrixLeft& KelMatrixLeft::operator=(const KelMatrixLeft& L) {
  CopyFrom(L);
  return *this;
}

KelMatrixLeft& KelMatrixLeft::operator=(KelMatrixLeft&& L) noexcept {
  if (this != &L) SwapStorage(L);
  return *this;
}

KelMatrixLeft& KelMatrixLeft::operator=(double c) {
  Fill(c);
  return *this;
}

double& KelMatrixLeft::operator()(int i, int j) {
  // The upper half is not stored, so there is nothing to hand out a reference to.
  CheckIndices(i, j);
  if (j > i)
    KelError("%s%s%s()\n%s", classText, kelErrIndex, kelErrOperator,
             KelIndexDetail(j, 1, i).c_str());
  return rowPointers[i][j];
}

double KelMatrixLeft::operator()(int i, int j) const {
  CheckIndices(i, j);
  return j <= i ? rowPointers[i][j] : 0.0;
}

void KelMatrixLeft::PrintObject() {
  KelPrint("\nKelMatrixLeft No.%d", serialNumber);
  KelPrint("\nrows %d cols %d\n", numRows, numColumns);
  for (int i = 1; i <= numRows; ++i) {
    for (int j = 1; j <= numColumns; ++j) KelPrint(" %22.14le", j <= i ? rowPointers[i][j] : 0.0);
    KelPrint("\n");
  }
}

void Solve(const KelMatrixLeft& L, KelVector& b) {
  const int n = L.Rows();
  if (b.Size() != n)
    KelError("%s%s%sSolve\n%s", kelClassMatrixLeft, kelErrCheck, kelErrFunction,
             KelShapeSizeDetail(n, L.Columns(), b.Size()).c_str());
  if (n == 0) return;
  double* x = b.Data() - 1;  // 1-based view of b
  int first = 1;
  while (first <= n && x[first] == 0.0) ++first;
  const double* const* l = L.RowPointers();
  for (int i = first; i <= n; ++i) {
    if (l[i][i] != 0.0) {
      // Components before `first` are 0, so the dot product can start there.
      x[i] = (x[i] - KelArrayDot(i - first, l[i] + first, x + first)) / l[i][i];
    } else {
      KelMessage("%sSingular KelMatrix", kelClassMatrixLeft);
      x[i] = 0.0;
    }
  }
}
