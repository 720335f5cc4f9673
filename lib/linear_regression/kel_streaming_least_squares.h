// KelStreamingLeastSquares: the unweighted fit of KelFitScaledLeastSquares for rows that arrive
// in blocks and are never held together. The rows of [F y] are folded into a KelStreamingQR
// (O((n + 1)^2) memory whatever m is), and every statistic that does not need the rows is formed
// from its triangle T alone, under the in-memory fit's rules.
//
// With an intercept (F's first column) every row has the origin (a row of the data, the first
// one say) subtracted before it is folded: the differences of nearby values are exact, so an
// offset of 1e15 costs no digits. The intercept's column of ones then makes T's first row hold
// sqrt(m) and the sums of the shifted columns over sqrt(m) (their means follow), and T's trailing
// block is the R of the centred columns and response. Scaling its columns to unit length gives
// the R of the unit centred columns of the in-memory fit; columns are aliased in order by
// re-triangularising that small matrix without the dropped ones, so the aliased columns, R and
// Q'y are those of the in-memory QR up to the signs of R's rows, which no statistic depends on.
//
// Accumulators of the same columns, intercept and origin merge, in any tree; State() is a flat
// copy another process can send, and MergeState() folds it in.
#ifndef KELMATH_KEL_STREAMING_LEAST_SQUARES_H
#define KELMATH_KEL_STREAMING_LEAST_SQUARES_H

#include <vector>

#include "factorizations/kel_streaming_qr.h"
#include "linear_regression/kel_scaled_least_squares.h"

class KelStreamingLeastSquares {
 public:
  // An empty accumulator for F of the given columns (>= 1; with an intercept, the intercept's
  // column first, its values not read and taken as 1). origin: columns + 1 finite values, a row
  // of F then y, subtracted from every row when there is an intercept (unused without one, its
  // size still checked). Fatal otherwise.
  KelStreamingLeastSquares(int columns, bool intercept, std::vector<double> origin);

  // Folds rows x (columns + 1) values, row after row, each row of F followed by its y. A NaN
  // or an infinity is fatal, naming its row as counted over every row folded so far.
  void AddRows(long long rows, const double* values);
  // Folds in every row another accumulator has seen; fatal when the columns, the intercept or
  // the origin differ.
  void Merge(const KelStreamingLeastSquares& other);
  // Columns, intercept, rows, origin and T as one flat vector of doubles; MergeState folds such
  // a state in as Merge would the accumulator it came from (fatal when it does not match).
  std::vector<double> State() const;
  void MergeState(const std::vector<double>& state);

  int Columns() const { return columns; }
  bool Intercept() const { return intercept; }
  const std::vector<double>& Origin() const { return origin; }
  long long Rows() const { return rows; }

  // The fit of the rows folded so far with the in-memory fit's rules and kelAliasTolerance:
  // everything KelScaledLeastSquaresResult holds that needs no row (the predictor included, so
  // KelPredictScaled serves it); the vectors per row stay empty, and the Breusch-Pagan test
  // (NaN here, its degrees of freedom set) is KelStreamingDiagnostics'. Fatal unless there are
  // more rows than columns.
  KelScaledLeastSquaresResult Fit() const;

 private:
  int columns;
  bool intercept;
  std::vector<double> origin;
  KelStreamingQR qr;
  long long rows = 0;
  std::vector<double> shifted;  // the rows being folded, less the origin
};

#endif
