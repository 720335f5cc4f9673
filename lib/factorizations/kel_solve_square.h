// Square subsystems of an overdetermined system through one LQ factorization.
#ifndef KELMATH_KEL_SOLVE_SQUARE_H
#define KELMATH_KEL_SOLVE_SQUARE_H

#include "containers/kel_matrix.h"
#include "containers/kel_vector.h"

// For A (m x n, m >= n) and b (m): row k of X (m - n + 1 rows, n columns) solves equations
// 1 .. n-1 together with equation n - 1 + k. Singular subsystems give zero components, silently.
void SolveSquare(const KelMatrix& A, const KelVector& b, KelMatrix* X);

#endif
