// Flat routines of the singular value decomposition on row-pointer matrices (1-based): the
// Householder bidiagonalization, direct or through a preliminary QR, and the implicit-shift QR
// iteration on the bidiagonal matrix. Nothing here prints.
#ifndef KELMATH_KEL_SVD_H
#define KELMATH_KEL_SVD_H

#include <vector>

#include "containers/kel_matrix.h"

// Reused storage of SVDFactorization, so that refactorizing allocates nothing new.
struct KelSvdWorkspace {
  std::vector<double> superdiagonal;
  std::vector<double> buffer;
  std::vector<double> qrDiagonal;
  std::vector<double> qrNorms;
  KelMatrix leftTransposed;   // U^T, one row per left singular vector
  KelMatrix rightTransposed;  // V^T, one row per right singular vector
  KelMatrix triangle;         // R of the preliminary QR
  KelMatrix reflections;      // the QR reflection vectors, one per row
};

// A (m x n, m >= n) in place: w[1..n] diagonal, e[1..n] superdiagonal (e[1] = 0); left
// reflection i stored in column i rows i..m, right reflection i in row i columns i+1..n.
void Bidiagonal(int m, int n, double* const* a, double* w, double* e);

// A = U W V^T. mode 1: w only; 2: w and V; 3: w and U; 4: w, U and V. U (m x n) replaces A;
// V (n x n) is resized and filled in modes 2 and 4. Matrices with m >= 5n/3 are first reduced
// to their triangle R by Householder QR, which shortens the bidiagonalization.
void SVDFactorization(int mode, int m, int n, double* const* a, double* w, KelMatrix* V,
                      KelSvdWorkspace& workspace);

// Least-squares solution x[1..n] from b[1..m] dropping the singular values below threshold t
// (t = 0 gives x = 0); U (m x n) given by its rows, V (n x n) row-major.
void SVDBack(int m, int n, double* const* u, const double* w, const KelMatrix& V, const double* b,
             double* x, double t);
// Minimum-norm x[1..m] of A^T x = b[1..n] under the same rule, clamped to the float range.
void SVDSolution(int m, int n, double* const* u, const double* w, const KelMatrix& V,
                 const double* b, double* x, double t);

#endif
