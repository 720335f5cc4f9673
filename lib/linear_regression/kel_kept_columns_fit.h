// The least-squares fit on the columns that a Householder QR keeps, with what the closed form of
// leaving one experiment out needs when some columns are dependent.
//
// A QR with a singularity tolerance drops a column whose distance from the span of the kept
// earlier ones is within tolerance x its norm, and fits the others. Without experiment t, each of
// those judgments may change: the distance and the norm both shrink. Both follow from the fit on
// all experiments (the distance by the closed form of deleting a row from the regression of the
// column on the earlier kept ones), so the experiments whose removal keeps every judgment well
// away from its threshold are known, and for them the fit without t is the fit on the same kept
// columns without t, whose sum of squares has the usual closed form.
#ifndef KELMATH_KEL_KEPT_COLUMNS_FIT_H
#define KELMATH_KEL_KEPT_COLUMNS_FIT_H

#include <vector>

#include "containers/kel_matrix.h"
#include "containers/kel_vector.h"

struct KeptColumnsFit {
  int rank = 0;                   // number of kept columns
  double sumOfSquares = 0.0;      // of the residuals
  double conditioning = 0.0;      // bound on the condition number of the kept columns, each scaled
                                  // to unit length
  std::vector<double> residuals;  // 1-based: y - (its projection on the kept columns)
  std::vector<double> leverages;  // 1-based: diagonal of that projection
  // 1-based: 1 when the QR without experiment t keeps the same columns beyond rounding.
  std::vector<unsigned char> sameColumnsWithout;
};

// Fits y on the columns of F that QRFactorization with this tolerance keeps (F m x n, m > n).
// False when the QR keeps no column.
bool FitKeptColumns(const KelMatrix& F, const KelVector& y, double tolerance, KeptColumnsFit* fit);

#endif
