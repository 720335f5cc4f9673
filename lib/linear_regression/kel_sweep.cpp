#include "linear_regression/kel_sweep.h"

void SweepOperator(int size, double* const* a, int pivot) {
  const double* pivotRow = a[pivot];
  const double pivotValue = pivotRow[pivot];
  // The other rows are updated first, while the pivot row and column still hold their old
  // values; only then are the pivot row and column scaled.
  for (int l = 1; l <= size; ++l) {
    if (l == pivot) continue;
    double* row = a[l];
    const double rowPivot = row[pivot];
    for (int j = 1; j <= size; ++j) {
      if (j != pivot) row[j] -= pivotRow[j] * rowPivot / pivotValue;
    }
  }
  for (int j = 1; j <= size; ++j) {
    if (j == pivot) continue;
    a[pivot][j] /= pivotValue;
    a[j][pivot] = -a[j][pivot] / pivotValue;
  }
  a[pivot][pivot] = 1.0 / pivotValue;
}
