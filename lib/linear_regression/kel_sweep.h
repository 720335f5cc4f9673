// The sweep operator on a symmetric cross-product (or correlation) matrix held in full, the
// kernel of the stepwise search: sweeping on a variable brings it into the regression, sweeping
// again takes it out. Matrices are 1-based row-pointer tables (a[i][j] is element (i, j)).
#ifndef KELMATH_KEL_SWEEP_H
#define KELMATH_KEL_SWEEP_H

// Sweeps the size x size matrix a on the pivot (1..size) in place. A zero pivot is not checked:
// the caller keeps pivots away from 0 with its own tolerances.
void SweepOperator(int size, double* const* a, int pivot);

#endif
