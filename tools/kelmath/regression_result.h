// Everything the command reports about one regression, computed once from the library's
// accessors and never printed here: the summary, the JSON object and the plots read it.
#ifndef KELMATH_TOOLS_KELMATH_REGRESSION_RESULT_H
#define KELMATH_TOOLS_KELMATH_REGRESSION_RESULT_H

#include <array>
#include <string>
#include <vector>

#include "linear_regression/kel_sandwich_covariance.h"
#include "linear_regression/kel_scaled_least_squares.h"
#include "regression_data.h"

class KelLinearRegression;

namespace kelmath_cli {

// A condition number above which the summary says how many digits of the estimates are left:
// each factor of 10 costs about one of the 16 digits of double precision.
inline constexpr double kIllConditioned = 1e6;

// The significant digits left to estimates computed with this condition number (at least 0).
int TrustedDigits(double conditionNumber);

struct CoefficientRow {
  std::string name;
  double estimate = 0.0;
  double stdError = 0.0;
  double tValue = 0.0;
  double pValue = 0.0;
  double ciLow = 0.0;
  double ciHigh = 0.0;
  double vif = 0.0;      // NaN for the intercept, which has none
  bool aliased = false;  // dropped as dependent on the earlier columns: every entry NaN (R's NA)
};

struct ObservationRow {
  int row = 0;  // data row number
  double fitted = 0.0;
  double residual = 0.0;  // y - fitted
  double leverage = 0.0;
  double cooksDistance = 0.0;
  double studentizedResidual = 0.0;  // NaN where undefined
  // The residual over s sqrt(1 - h), as the diagnostic plots draw it (NaN where h is 1).
  double standardizedResidual = 0.0;
  // sqrt(weight) residual: the residual itself without weights. The summary's quantiles, the
  // plots and the influence measures read it, as R's summary.lm and plot.lm do.
  double weightedResidual = 0.0;
};

// The usual rules of thumb for an influential observation among m of a fit with n estimated
// coefficients (its rank), named once: the flags, the summary's heading and the plots read them.
inline double CookThreshold(int m) {
  return 4.0 / m;
}
inline constexpr double kStudentizedThreshold = 3.0;
inline double LeverageThreshold(int n, int m) {
  return 2.0 * n / m;
}

// An observation that one of the usual rules of thumb flags.
struct InfluentialRow {
  int row = 0;
  int observation = 0;       // its position in RegressionResult::observations, 0-based
  bool cook = false;         // Cook's distance > 4 / m
  bool studentized = false;  // |studentized residual| > 3
  bool leverage = false;     // leverage > 2 n / m
};

struct RobustResult {
  double leastMedianOfSquares = 0.0;
  double scale = 0.0;
  std::vector<double> coefficients;
  std::vector<double> normalizedResiduals;  // by row used
  std::vector<int> outlierRows;             // data row numbers, ascending
  std::vector<int> outlierObservations;     // their positions in observations, 0-based
  // The outliers beyond 10 robust scales (highly probable) and the others (possible), as data
  // rows, ascending.
  std::vector<int> highlyProbableRows;
  std::vector<int> possibleRows;
  double rSquared = 0.0;                  // the library's robust R^2 (from the median |residual|)
  std::vector<double> fitted, residuals;  // by row used
};

struct RegressionResult {
  std::string response;
  int dataRows = 0;
  std::vector<int> droppedRows;
  bool intercept = true;
  std::string weightsName;  // the column of weights of a weighted fit, else empty
  bool Weighted() const { return !weightsName.empty(); }
  bool varianceAssigned = false;
  double variance = 0.0;
  int varianceDof = 0;
  // With an assigned variance: the residual mean square over it, and P(F(m - n, K) > that).
  double varianceF = 0.0;
  double varianceFPValue = 0.0;
  std::vector<CoefficientRow> coefficients;
  // The covariance of the estimates behind their standard errors, t and P values, intervals and
  // the F test (a Wald test when it is not the classical one).
  KelCovarianceType covariance = KelCovarianceType::kClassical;
  std::vector<std::string> clusterNames;  // cluster-robust: the clustering columns
  std::vector<int> clusterGroups;         // and their groups, then those of the intersection
  // HC2..HC4 with a row of leverage 1 (its residual is 0 whatever the data) are undefined: the
  // standard errors and all that follows are NaN, and these are the data rows to blame.
  bool covarianceDefined = true;
  std::vector<int> unitLeverageRows;
  int rank = 0;                  // coefficients estimated, the aliased ones left out
  bool exactFit = false;         // residuals at rounding level: standard errors 0
  double conditionNumber = 0.0;  // of the kept columns, centred and scaled to unit length
  bool illConditioned = false;   // conditionNumber > kIllConditioned
  // Of the weighted residuals: minimum, quartiles, maximum (R's type 7).
  std::array<double, 5> residualQuantiles{};
  double sigma = 0.0;
  int residualDof = 0;
  double rSquared = 0.0;
  double adjRSquared = 0.0;
  double fStatistic = 0.0;  // NaN for a model with the intercept alone
  int fNumeratorDof = 0;
  double fPValue = 0.0;
  double logLikelihood = 0.0;
  double aic = 0.0;
  double bic = 0.0;
  double breuschPagan = 0.0;  // NaN with a single parameter
  int breuschPaganDof = 0;
  double breuschPaganPValue = 0.0;
  std::vector<ObservationRow> observations;
  std::vector<InfluentialRow> influential;
  bool hasRobust = false;
  RobustResult robust;
  // A fit streamed from the file in passes (kelmath regress --stream) keeps no row but the
  // flagged rows the summary may list: observations and influential hold those candidates, and
  // the counts of the rows used and flagged are kept here.
  int passes = 0;  // over the file; 0 for a fit of data held in memory
  int streamedRowsUsed = 0;
  size_t streamedFlagged = 0;
  bool Streamed() const { return passes > 0; }
  int RowsUsed() const {
    return Streamed() ? streamedRowsUsed : static_cast<int>(observations.size());
  }
  size_t FlaggedCount() const { return Streamed() ? streamedFlagged : influential.size(); }
};

// What makes a regression impossible: a constant response (nothing to explain), a clustering
// column with a single group, a result that does not fit in doubles, (for the stepwise search)
// a column without spread, or (for a fit streamed from its file) a file that cannot be read or
// holds too few rows.
enum class RegressionProblem {
  kNone,
  kConstantResponse,
  kSingleCluster,
  kBeyondDoubles,
  kColumnWithoutSpread,
  kDataFile
};

// The results, or the problem (its kind, and in one line its text, naming the column).
struct ComputedResult {
  RegressionResult result;
  RegressionProblem kind = RegressionProblem::kNone;
  std::string problem;
  bool Ok() const { return problem.empty(); }
};

// The parts of a result that come from the fit: its coefficient rows (named by parameterNames)
// and the model's statistics.
void FillCoefficients(const std::vector<std::string>& parameterNames,
                      const KelScaledLeastSquaresResult& fit, RegressionResult& result);
void FillModelStatistics(const KelScaledLeastSquaresResult& fit, RegressionResult& result);
// Standard errors, t and P values, intervals and the F test from a robust covariance instead of
// the classical one; the rest of the result is the fit's.
void ApplySandwich(const KelScaledLeastSquaresResult& fit, const KelSandwichCovariance& sandwich,
                   RegressionResult& result);

// A value that overflowed (or became NaN) where the fit defines one: the result would be
// incomplete, so it is refused, naming where it happened ("" when there is none).
std::string NonFiniteProblem(const RegressionResult& result);

// Checks the data, fits them by KelFitScaledLeastSquares (so that no result depends on their
// units; weighted when the data have weights), takes the inference from the covariance asked
// for (the clusters are the data's), hands unweighted data to the regression (with the variance
// when one is assigned) for the report file, and with robust gathers its least-median-of-squares
// fit. The regression has no weighted form: with weights it is left as it is.
ComputedResult ComputeRegression(const RegressionData& data, bool intercept, double variance,
                                 int varianceDof, KelCovarianceType covariance, bool robust,
                                 KelLinearRegression& regression);

}  // namespace kelmath_cli

#endif
