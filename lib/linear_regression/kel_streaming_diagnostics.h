// KelStreamingDiagnostics: the second pass over rows that are never held together, after a
// KelStreamingLeastSquares fit. Each row's fitted value, residual, leverage and influence are
// formed from the fit's predictor as KelFitScaledLeastSquares gives them, and the pass
// accumulates what needs every residual: Koenker's studentized Breusch-Pagan test (the squared
// residuals less their mean, regressed on the kept columns by a KelStreamingQR) and the meat of
// a heteroskedasticity-consistent covariance.
//
// The meat is summed in the space of z = R^-T x (R of the kept columns, the intercept's
// included): the rows of Q, whose outer products the in-memory sandwich sums, so the covariance
// is R^-1 (sum w z z') R^-T. Accumulators of the same fit and covariance type merge in any tree;
// State() is a flat copy another process can send, MergeState() folds it in.
#ifndef KELMATH_KEL_STREAMING_DIAGNOSTICS_H
#define KELMATH_KEL_STREAMING_DIAGNOSTICS_H

#include <limits>
#include <vector>

#include "factorizations/kel_streaming_qr.h"
#include "linear_regression/kel_sandwich_covariance.h"
#include "linear_regression/kel_scaled_least_squares.h"

// What the pass gives for one row, as KelFitScaledLeastSquares' vectors per row have it (NaN
// where it gives NaN: an exact fit, a leverage of 1).
struct KelStreamingRow {
  double fitted = 0.0;
  double residual = 0.0;
  double leverage = 0.0;
  double cooksDistance = 0.0;
  double studentizedResidual = 0.0;   // externally
  double standardizedResidual = 0.0;  // internally
};

// Koenker's studentized Breusch-Pagan test (NaN with fewer than two parameters or an exact fit).
struct KelStreamingBreuschPagan {
  double statistic = 0.0;
  int degreesOfFreedom = 0;
  double pValue = 0.0;
};

class KelStreamingDiagnostics {
 public:
  // For an unweighted fit (from KelStreamingLeastSquares::Fit or KelFitScaledLeastSquares) of
  // `rows` rows, with the meat of the given type (kCluster is fatal; kClassical accumulates
  // none). HC5 needs the largest leverage over all rows (LargestLeverage of an earlier pass),
  // given as a number in (0, 1]; fatal otherwise, and for a weighted fit. The origin the rows
  // were shifted by needs no passing: the fit's predictor holds it as each column's first mean.
  KelStreamingDiagnostics(const KelScaledLeastSquaresResult& fit, long long rows,
                          KelCovarianceType type,
                          double largestLeverage = std::numeric_limits<double>::quiet_NaN());

  // Reads rows x (columns + 1) values as KelStreamingLeastSquares::AddRows does and writes each
  // row's values to out[0 .. rows - 1] (out may be nullptr). A NaN or an infinity is fatal.
  void AddRows(long long rows, const double* values, KelStreamingRow* out);
  // The same rows' values alone, for a later pass over the rows: nothing is accumulated, and
  // out (rows entries) is required. A NaN or an infinity is fatal, counted from this block.
  void Values(long long rows, const double* values, KelStreamingRow* out) const;
  // Folds in another accumulator's sums (fatal when its fit's size or its type differ).
  void Merge(const KelStreamingDiagnostics& other);
  std::vector<double> State() const;
  void MergeState(const std::vector<double>& state);

  long long Rows() const { return rows; }
  double LargestLeverage() const { return largestLeverage; }
  long long UnitLeverageRows() const { return unitLeverageRows; }

  // Both fatal unless the rows seen are the fit's rows (the classical covariance excepted,
  // which needs no pass).
  KelStreamingBreuschPagan BreuschPagan() const;
  // The covariance as KelHeteroskedasticityConsistentCovariance returns it, unitLeverageRows
  // left empty (the caller names its rows by KelIsUnitLeverage(leverage, rank)).
  KelSandwichCovariance Covariance() const;

 private:
  double RowValues(const double* row, double* zRow, double* deviations, KelStreamingRow& out) const;
  void Accumulate(const double* zRow, double e, double leverage);
  void RequireAllRows(const char* function) const;

  KelScaledPredictor predictor;
  std::vector<int> aliasedColumns;
  int columns = 0, rank = 0;
  bool exactFit = false;
  long long fitRows = 0;
  double rss = 0.0;  // of the unit response's residuals, as the fit's sigma gives it
  KelCovarianceType type;
  double givenLargestLeverage;

  long long rows = 0;
  long long unitLeverageRows = 0;
  double largestLeverage = 0.0;
  std::vector<double> meat;       // rank x rank (upper triangle), the residuals in the fit's scale
  KelStreamingQR breuschPagan;    // rows: the kept unit deviations, then e^2 - rss / m
  std::vector<double> z, bpRows;  // scratch
};

#endif
