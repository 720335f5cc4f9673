// Flat Householder routines on row-pointer matrices: the reflection vector, its application,
// and the QR and LQ factorizations with their solutions. Matrices and vectors are 1-based
// (a[i][j] is element (i, j), v[i] element i); nothing here prints except the singular notes.
#ifndef KELMATH_KEL_HOUSEHOLDER_H
#define KELMATH_KEL_HOUSEHOLDER_H

#include <vector>

// Reflection H = I - 2 u u^T mapping x[0..count-1] onto (diagonal value) e_1; u (unit length,
// 0-based like x) may be x itself. Returns the diagonal value; a zero x gives 0 and u = 0.
double HouseholderVector(int count, const double* x, double* u);
// y -= 2 (u . y) u over count 0-based elements.
void HouseholderApply(int count, const double* u, double* y);

// What QRFactorization does with a column within tolerance x norms[k] of the span of the earlier
// ones (its diagonal element is 0 either way, and a note is printed):
//  - kSkipped: it takes no reflection and no pivot row; the regular columns' reflections fill
//    rows 1, 2, 3 ... in turn, so the solutions are those of the regular columns alone (the
//    least-squares fit on them, the dependent unknowns 0).
//  - kSignChange: its remainder is dropped and its reflection becomes the sign change of row k.
//    Q stays orthogonal and R square with A = Q R (to within the remainder), as the singular
//    value decomposition of R needs; the solutions then lose the equation of row k.
enum class QRDependentColumns { kSkipped, kSignChange };

// A (m x n, m >= n) = Q R in place. With every column regular: reflection k in column k rows
// k..m, R's strict upper triangle above the diagonal, R's diagonal in d[1..n]. A dependent column
// has d[k] = 0 and is handled as above; with kSkipped, the q-th regular column holds its
// reflection in rows q..m and its part of R in rows 1..q-1 (row q of the later columns holds
// the q-th row of R). norms[1..n] receives the column norms and, when given, *largestRowSum the
// infinity norm of A (the largest sum of absolute values of a row, each summed in column order),
// from the same pass. Returns true when a column was singular.
bool QRFactorization(int m, int n, double* const* a, double* d, double* norms, double tolerance,
                     std::vector<double>& scratch,
                     QRDependentColumns dependent = QRDependentColumns::kSkipped,
                     double* largestRowSum = nullptr);
// Least squares on the regular columns: b[1..m] is transformed (b[rank+1..m] holds the residual
// components), x[1..n] solved (0 for a dependent column, with a note).
void QRSolution(int m, int n, double* const* a, const double* d, double* b, double* x);
// QRSolution for a factorization without dependent columns (every d[k] nonzero): c[1..m] holds
// b on entry and is overwritten (its first n elements become those of Q^T b), x[1..n] solved.
// The reflections are applied in groups, one pass over the rows a group; the result equals
// QRSolution's to rounding.
void QRSolutionByGroups(int m, int n, const double* const* a, const double* d, double* c,
                        double* x);
// Minimum-norm solution x[1..m] of A^T x = b[1..n].
void QRTransposeSolution(int m, int n, double* const* a, const double* d, const double* b,
                         double* x);

// A (m x n, m <= n) = L Q in place: reflection of row k in row k from its pivot column on, L's
// strict lower part to the left of it, L's diagonal in d[1..m] (0 for a dependent row, which
// keeps the pivot column for the next row). norms[1..m] receives the row norms. Returns true
// when a row was singular.
bool LQFactorization(int m, int n, double* const* a, double* d, double* norms, double tolerance,
                     std::vector<double>& scratch);
// Minimum-norm solution x[1..n] of A x = b[1..m] (singular rows' equations ignored).
void LQSolution(int m, int n, double* const* a, const double* d, const double* b, double* x);
// Least-squares solution x[1..m] of A^T x = b; work[1..n] holds b on entry and is transformed.
void LQTransposeSolution(int m, int n, double* const* a, const double* d, double* work, double* x);

#endif
