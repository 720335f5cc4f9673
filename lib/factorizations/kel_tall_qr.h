// KelTallQR: the Householder QR of a tall matrix, made in the storage handed to it, and what
// follows from it without a second m x n matrix: R, the leading part of Q^T y, and Q X for an
// n x n X, formed over the factorization's own storage and then handed over.
//
// This is what a least-squares fit needs at scale: the singular value decompositions of A and of
// A with its columns scaled are those of R and of R scaled (n x n each), and the left singular
// vectors of A are Q times those of R. Q = H(1) ... H(n) = I - Y T Y^T (Y the unit reflection
// vectors, T upper triangular from their Gram matrix), so Q^T y and Q X each take one pass over
// the rows; the work is O(m n^2) in all, the extra memory O(n^2) per block below.
//
// Matrices of many rows are factorized by blocks of rows that fit in the processor's cache: each
// block by its own Householder QR, A_i = Q_i [R_i; 0], and then the stacked triangles R_i by a
// KelTallQR of their own, which gives R. The n sweeps of each block's factorization then run in
// the cache, and the whole factorization reads and writes A once instead of once per column.
// Q is the product of the blocks' Q_i and the stack's Q (mathematically a QR of A like any other;
// R may differ from the one-block factorization in the signs of its rows and in rounding).
#ifndef KELMATH_KEL_TALL_QR_H
#define KELMATH_KEL_TALL_QR_H

#include <memory>
#include <vector>

#include "containers/kel_matrix.h"
#include "containers/kel_vector.h"

class KelTallQR {
 public:
  // Takes A's storage (A is left empty) and factorizes it; m >= n >= 1 (fatal otherwise). Only an
  // exactly dependent column is singular: its diagonal element of R is 0, and nothing prints.
  explicit KelTallQR(KelMatrix* A);
  ~KelTallQR();
  KelTallQR(const KelTallQR&) = delete;
  KelTallQR& operator=(const KelTallQR&) = delete;

  int Rows() const { return factors.Rows(); }
  int Columns() const { return factors.Columns(); }
  // R, n x n, with exact zeros below the diagonal.
  const KelMatrix& R() const;
  // The first n components of Q^T y (y of size m).
  KelVector LeadingTransposedProduct(const KelVector& y) const;
  // Q [X; 0] (m x n) for an n x n X, written over the factorization, whose storage it takes:
  // the object is empty afterwards.
  KelMatrix TakeProduct(const KelMatrix& X);

  // Rows of the blocks of a matrix with the given number of columns (about 256 KiB each, at
  // least 8 columns' worth); matrices of up to twice this many rows are factorized whole.
  static int BlockRows(int columns);

 private:
  // Rows first .. first + rows - 1 of the factors, factorized as a whole; compact is its T.
  struct Block {
    int first = 1;
    int rows = 0;
    KelMatrix compact;
  };

  KelMatrix factors;  // reflection k of each block in its column k (unit length), R_i above
  std::vector<Block> blocks;
  KelMatrix triangle;              // R, when the matrix is one block
  std::unique_ptr<KelTallQR> top;  // the QR of the stacked triangles, when there are several
};

#endif
