// KelTallQR: the Householder QR of a tall matrix, made in the storage handed to it, and what
// follows from it without a second m x n matrix: R, the leading part of Q^T y, and Q X for an
// n x n X, formed over the factorization's own storage and then handed over.
//
// This is what a least-squares fit needs at scale: the singular value decompositions of A and of
// A with its columns scaled are those of R and of R scaled (n x n each), and the left singular
// vectors of A are Q times those of R. Q = H(1) ... H(n) = I - Y T Y^T (Y the unit reflection
// vectors, T upper triangular from their Gram matrix), so Q^T y and Q X each take one pass over
// the rows; the work is O(m n^2) in all, the extra memory O(n^2).
#ifndef KELMATH_KEL_TALL_QR_H
#define KELMATH_KEL_TALL_QR_H

#include "containers/kel_matrix.h"
#include "containers/kel_vector.h"

class KelTallQR {
 public:
  // Takes A's storage (A is left empty) and factorizes it; m >= n >= 1 (fatal otherwise). Only an
  // exactly dependent column is singular: its diagonal element of R is 0, and nothing prints.
  explicit KelTallQR(KelMatrix* A);

  int Rows() const { return factors.Rows(); }
  int Columns() const { return factors.Columns(); }
  // R, n x n, with exact zeros below the diagonal.
  const KelMatrix& R() const { return triangle; }
  // The first n components of Q^T y (y of size m).
  KelVector LeadingTransposedProduct(const KelVector& y) const;
  // Q [X; 0] (m x n) for an n x n X, written over the factorization, whose storage it takes:
  // the object is empty afterwards.
  KelMatrix TakeProduct(const KelMatrix& X);

 private:
  KelMatrix factors;   // reflection k in column k rows k..m (unit length), R above the diagonal
  KelMatrix triangle;  // R
  KelMatrix compact;   // T of Q = I - Y T Y^T, upper triangular
};

#endif
