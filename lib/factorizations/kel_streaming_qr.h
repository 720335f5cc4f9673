// KelStreamingQR: the triangular factor of a least-squares problem whose rows arrive in blocks
// and are never held together. For [F y] = Q [T; 0] (F m x n, y of size m, T upper triangular of
// order n + 1), T's leading n x n block is the R of F, its last column above the diagonal the
// first n components of Q^T y, and |T(n + 1, n + 1)| the norm of the least-squares residuals.
// Each block of rows is folded into T by Householder reflections, each of which touches one row
// of T and the block's rows (T is zero below its diagonal): O(rows n^2) work a block and
// O((n + 1)^2) memory whatever m is. The fit is the Householder QR fit of all the rows, with its
// accuracy, never one by the normal equations.
//
// Two accumulators of the same width merge into one (the QR of their stacked triangles), so
// blocks may be accumulated by separate threads or processes and combined up a reduction tree in
// any order. T is returned with a nonnegative diagonal (rows whose diagonal element came out
// negative change sign), which makes it unique for a matrix of full column rank: accumulators of
// differently split or ordered rows agree to rounding, element by element. A column that depends
// on the earlier ones leaves a diagonal element at rounding level; which columns to drop is the
// caller's decision.
#ifndef KELMATH_KEL_STREAMING_QR_H
#define KELMATH_KEL_STREAMING_QR_H

#include <vector>

#include "containers/kel_matrix.h"
#include "containers/kel_vector.h"

class KelStreamingQR {
 public:
  // An empty accumulator for F of the given number of columns (>= 1, fatal otherwise).
  explicit KelStreamingQR(int columns);

  // Folds rows x (columns + 1) values, row after row, each row of F followed by its y. A NaN
  // or an infinity is fatal, naming its row as counted over every row folded so far. The values
  // are read, never written.
  void AddRows(long long rows, const double* values);
  // Folds in every row another accumulator has seen (fatal when the widths differ); the other
  // is left as it was.
  void Merge(const KelStreamingQR& other);

  int Columns() const { return columns; }
  long long Rows() const { return rows; }
  // T, (columns + 1) x (columns + 1), upper triangular with a nonnegative diagonal.
  KelMatrix Triangle() const;
  // R (columns x columns), the first columns components of Q^T y, and the residuals' norm.
  KelMatrix R() const;
  KelVector TransformedResponse() const;
  double ResidualNorm() const;

 private:
  // Folds rows x (columns + 1) values held in scratch storage (overwritten) into the triangle.
  void Fold(int blockRows, double* block);

  int columns;
  long long rows = 0;
  std::vector<double> triangle;  // (columns + 1)^2, row after row, zero below the diagonal
  std::vector<double> block;     // a copy of the rows being folded
  std::vector<double> sums;      // one row's worth of inner products
};

#endif
