// KelNonLinearRegression: weighted least-squares estimation of rival nonlinear models of the same
// multi-response experiments, their least-squares and robust (least median of squares) reports,
// the statistical comparison of the models and the search for the next experiments.
//
// Measurements are flattened response-major: measurement i = experiment + (response - 1) *
// numExperiments. A model is estimated the first time anything needs it, and only once until
// its inputs change (SetInitialParameters, SetJacobian, SetVariances, SetWeights, SetOptions)
// or a robust analysis runs, after which the next use estimates it afresh. Each model's results
// are held as members, one plain struct per computation (estimate, statistics, diagnostics,
// robust fit, search), each written by its own pass only; the tolerances and iteration limits
// are the KelNonLinearOptions record. The objectives handed to the minimizer carry the object
// and the model with them, so any number of objects may be alive, and different objects may be
// used on different threads at the same time.
//
// Synonyms, kept for their callers and defined by what they repeat:
//   EstimatedIndependentVariables()    is IndependentVariables();
//   HasInitialParameters(model)        is NumberOfParameters(model) > 0;
//   Converged(model)                   is KelConverged(StopReason(model));
//   ComparisonValue(model), ComparisonRatio(model), ComparisonProbability(model) and
//   ComparisonPseudoProbability(model) are the fields value, ratio, probability and
//   pseudoProbability of Comparison().rows[model - 1] (with the model's number checked).
#ifndef KELMATH_KEL_NONLINEAR_REGRESSION_H
#define KELMATH_KEL_NONLINEAR_REGRESSION_H

#include <cmath>
#include <vector>

#include "containers/kel_matrix.h"
#include "containers/kel_matrix_symmetric.h"
#include "containers/kel_vector.h"
#include "factorizations/kel_factorized_svd.h"
#include "foundation/kel_base.h"
#include "foundation/kel_constants.h"
#include "nonlinear/kel_nonlinear_regression_results.h"

class KelMinimizationRobust;

// The tolerances and iteration limits of the estimations (least squares, the x step with errors
// in the independent variables, and least median of squares), read by every estimation of every
// model; the defaults are those the stored reports were made with. n is the number of
// parameters of the model being estimated.
struct KelNonLinearOptions {
  // Least squares, first the minimizer and the Gauss-Newton refinement on the parameters
  // divided by their typical sizes. Each run of the minimizer gets this many iterations per
  // parameter (default 400: 400 n).
  int minimizerIterationsPerParameter = 400;
  // The refinement ends when a Gauss-Newton step is below this fraction of |p_k| + 1 in every
  // component (default 0.01).
  double refinementStepTolerance = 0.01;
  // Cap on the refinement passes, and on the minimizer's restarts in one pass (default 10000).
  // The refinement ends by strict decrease of the objective; the cap only guards against a
  // sequence of ever smaller decreases that would run for an absurd time.
  int maximumRefinementPasses = 10000;
  // Then the damped Gauss-Newton finish: at most this many iterations per parameter and one
  // more (default 100: 100 (n + 1)); when they run out with neither convergence test met, the
  // stop reason is KelEstimationStop::kIterationLimit.
  int finishIterationsPerParameter = 100;
  // Its step test: converged when no component of the Gauss-Newton step exceeds this fraction
  // of its parameter (default sqrt(eps) = 2^-26 = 1.4901161193847656e-8: no more than the last
  // half of the digits changes); a parameter near zero is measured against its typical size.
  double stepTolerance = std::sqrt(kelMachEps);
  // The x step: this many minimizer iterations per uncertain x (default 300), and never more
  // than the limit in all (default 10000).
  int xStepIterationsPerValue = 300;
  int xStepIterationLimit = 10000;
  // Least median of squares: each run of the minimizer gets this many iterations per parameter
  // (default 100: 100 n); then at most this many extrapolation rounds (default 10), which stop
  // early at an extrapolation longer than the limit times the best point's size (default 1000).
  int robustIterationsPerParameter = 100;
  int robustExtrapolationRounds = 10;
  double robustExtrapolationLimit = 1000.0;
};

class KelNonLinearRegression : public KelBase {
 public:
  // Kinds of suggestion kept per model by the experiment search.
  static constexpr int kSuggestionCriterion = 0;  // the effective criterion when it is 1..7
  static constexpr int kSuggestionXDistance = 1;
  static constexpr int kSuggestionFDistance = 2;
  static constexpr int kSuggestionXDistancePrincipal = 3;
  static constexpr int kSuggestionFDistancePrincipal = 4;

  // numModels rival models of the experiments X (one per row) with responses Y. Differing rows
  // of X and Y, fewer than one model or a missing model function is fatal.
  KelNonLinearRegression(int numModels, const KelMatrix& X, const KelMatrix& Y,
                         KelNonLinearModel model);
  ~KelNonLinearRegression() override;
  KelNonLinearRegression(const KelNonLinearRegression&) = delete;
  KelNonLinearRegression& operator=(const KelNonLinearRegression&) = delete;

  // Weights 1/sqrt(variance) from numY response variances (kind 1), or from numY + numX values
  // whose last numX are the variances of the independent variables (kind 2); fatal on any other
  // size, on degreesOfFreedom < 1 and on a zero response variance.
  void SetVariances(int degreesOfFreedom, const KelVector& variances);
  // Weights given directly (numExperiments x numY, each positive); the experiment search then
  // refuses to run, since it needs the variances behind the weights.
  void SetWeights(const KelMatrix& weights);
  // Starting parameters of one model; resets its bounds to +-kelUnbounded and its estimated flag.
  void SetInitialParameters(int model, const KelVector& b0);
  // Analytic Jacobian of one model, used instead of differences for the estimation, the
  // statistics and the experiment search; a null pointer goes back to differences. Resets the
  // model's estimated flag.
  void SetJacobian(int model, KelNonLinearJacobian jacobian);
  // Bounds of one model's parameters, lower(k) < b(k) < upper(k) strictly; an infinite bound
  // leaves its side free (as -kelUnbounded and kelUnbounded). The estimation never leaves the
  // box, so a fit whose minimum lies on a bound ends without convergence. Fatal before the
  // model's SetInitialParameters, on sizes other than its number of parameters, on a lower
  // bound not below its upper one (a NaN included) and on a start outside the box.
  // SetInitialParameters resets them; resets the model's estimated flag.
  void SetBounds(int model, const KelVector& lower, const KelVector& upper);
  // The estimated parameters of the model (estimating it first if needed); empty for a model
  // that never received starting parameters.
  KelVector GetParameters(int model);

  // Robust report of every model in turn.
  void RobustAnalysis();
  // Least-squares report of every model, the suggestions of new experiments inside the box
  // [xMin, xMax], the comparison of the models and the discrimination suggestions.
  void LeastSquaresAnalysisAndExperimentsSearch(const KelVector& xMin, const KelVector& xMax);
  // What LeastSquaresAnalysisAndExperimentsSearch computes (suggestions, comparison and
  // discrimination), with the same checks, printing nothing.
  void SearchExperiments(const KelVector& xMin, const KelVector& xMax);
  // Least-squares report of every model, the report of the independent variables (with
  // variances of x) and, with at least two models, the summary comparison of the models.
  void LeastSquaresAnalysis();
  // The tolerances and iteration limits of the estimations. Every model is estimated afresh
  // under new options at its next use. Fatal when an iteration count is below 1 (the
  // extrapolation rounds below 0), or a tolerance or limit is not a positive finite number.
  void SetOptions(const KelNonLinearOptions& newOptions);
  const KelNonLinearOptions& Options() const { return options; }
  // Criterion of the experiment search: 0 automatic (the default), 1..7 the criteria of the
  // augmented Jacobian. Fatal outside 0..7.
  void SetExperimentCriterion(int criterion);
  // The requested criterion (reset to 0 when 3 or 4 is requested with several responses).
  int RequestedCriterion() const { return requestedCriterion; }

  // Prints nothing: every output comes from the analyses.
  void PrintObject() override {}

  // Data.
  int NumberOfModels() const { return numModels; }
  int NumberOfExperiments() const { return numExperiments; }
  int NumberOfX() const { return numX; }
  int NumberOfY() const { return numY; }
  int NumberOfMeasurements() const { return nY; }
  int VarianceKind() const { return varianceKind; }
  int WeightingKind() const { return weightingKind; }
  double TotalSumOfSquares() const { return sst; }
  double MeanWeight() const { return meanWeight; }
  // Flattened weights, response-major.
  const KelVector& Weights() const { return w; }
  const KelMatrix& IndependentVariables() const { return X; }

  // Independent variables with errors (variance kind 2). The measured values are those held
  // when the variances of x were first assigned (the working X before that); the estimated ones
  // are the working X that every computation uses. Residuals are measured minus estimated; the
  // standardized ones are divided by the standard deviation of their column (0 where exact).
  const KelMatrix& MeasuredIndependentVariables() const;
  // Synonym of IndependentVariables().
  const KelMatrix& EstimatedIndependentVariables() const { return IndependentVariables(); }
  KelMatrix IndependentVariableResiduals() const;
  KelMatrix StandardizedIndependentVariableResiduals() const;
  // Number of entries of X with a non-zero variance.
  int NumberOfUncertainX() const { return numUncertainX; }
  // Number of x steps run so far, and the objective of the last one at its start (the measured
  // x) and at its end.
  int XStepCount() const { return xStepCount; }
  double XStepInitialValue() const { return xStepInitialValue; }
  double XStepFinalValue() const { return xStepFinalValue; }
  int GetSerialNumber() const { return serialNumber; }

  // Per model (1-based). The result accessors estimate the model when needed, and are not const
  // for that reason: an estimation runs the user's model and, with errors in the independent
  // variables, changes the working X that the const accessors show, so it is no hidden cache.
  // Accessors of what an analysis or a search computed are const. A model without
  // starting parameters gives empty containers and the value kelUnsetValue for its final SSE.
  // Synonym of NumberOfParameters(model) > 0.
  bool HasInitialParameters(int model) const { return NumberOfParameters(model) > 0; }
  int NumberOfParameters(int model) const;
  bool IsEstimated(int model) const;
  // Number of estimations run so far (each SetInitialParameters allows one more).
  int EstimationCount(int model) const;
  double InitialSSE(int model);
  double FinalSSE(int model);
  // How the last estimation ended, whether that is a converged fit, and what it cost: the
  // evaluations of the model over all experiments (the minimizer's, the difference quotients'
  // and the trial points') and the Gauss-Newton iterations (one Jacobian each).
  KelEstimationStop StopReason(int model);
  // Synonym of KelConverged(StopReason(model)).
  bool Converged(int model) { return KelConverged(StopReason(model)); }
  int ModelEvaluations(int model);
  int Iterations(int model);
  const KelVector& Predictions(int model);
  const KelVector& Residuals(int model);
  const KelVector& WeightedResiduals(int model);
  // Standard errors of the predictions: from the covariance below, so scaled by the mean
  // square error with unit weights.
  const KelVector& PredictionStandardErrors(int model);
  // Jacobian at the final parameters (analytic, or central differences) with its rows scaled
  // by the weights.
  const KelMatrix& Jacobian(int model);
  // Singular values of the weighted Jacobian, decreasing; the right singular vectors by column.
  const KelVector& SingularValues(int model);
  const KelMatrix& RightSingularVectors(int model);
  int RankDeficiency(int model);
  // Covariance of the parameters: (J^T W J)^-1 when variances or weights were assigned (the
  // measurement errors are then known); with unit weights that matrix times the mean square
  // error, the variance estimated from the residuals.
  const KelVector& StandardErrors(int model);
  const KelMatrixSymmetric& Covariance(int model);
  double ConditionNumber(int model);
  double ParametersNorm(int model);
  double ResidualsNorm(int model);
  double SumOfSquares(int model);
  double StandardDeviation(int model);
  double MeanSquareError(int model);
  double R2(int model);
  int DegreesOfFreedom(int model);
  double T95(int model);
  double T99(int model);

  // Diagnostics of the least-squares report (computed with it, or on demand).
  const KelVector& NewtonStep(int model);
  const KelMatrixSymmetric& ParameterCorrelation(int model);
  const KelVector& VarianceInflationFactors(int model);
  const KelVector& Tolerances(int model);
  // Correlation above 0.99 or variance inflation above 1000.
  bool CorrelationFlag(int model);
  bool Multicollinearity(int model);
  // F-test of the model against the assigned variances (0 and 1 without variances).
  double FExperimental(int model);
  double FTestProbability(int model);

  // Results of the robust analysis of a model: the least median of squares at the start and at
  // the end (kelUnsetValue before it ran), its parameters, predictions and residuals, and the
  // outliers (possible ones in the order found); empty before it ran.
  const KelNonLinearRobustFit& RobustFit(int model) const;

  // Results of the experiment search.
  const KelMatrix& CandidateExperiments() const { return candidates; }
  int CandidatesPerAxis() const { return pointsPerAxis; }
  // Relative x-distances of the candidates, plain and in principal axes.
  const KelVector& XDistances() const { return relativeXDistance; }
  const KelVector& XDistancesPrincipal() const { return relativeXDistancePrincipal; }
  const KelVector& FDistances(int model) const;
  const KelVector& FDistancesPrincipal(int model) const;
  // Predictions at the candidates, response-major (candidate + (response - 1) * candidates).
  const KelVector& CandidatePredictions(int model) const;
  int EffectiveCriterion(int model) const;
  // Index (1-based row of CandidateExperiments) of a suggestion kept for the model; 0 for none.
  int SuggestedCandidate(int model, int kind) const;
  // The comparison of the models that the search prints (estimating the models when needed):
  // by the assigned variances when there are some, else the chi-square table; its value (MSE or
  // weighted SSE), the ratio to the best, the probabilities. kelUnsetValue (and probabilities 0)
  // for the models left out, and for every model when fewer than two have starting parameters.
  // The four per-model values are synonyms of the fields of Comparison().rows[model - 1].
  double ComparisonValue(int model);
  double ComparisonRatio(int model);
  double ComparisonProbability(int model);
  double ComparisonPseudoProbability(int model);
  const KelModelComparison& Comparison() { return EnsureComparison(); }
  // Results of the last search (SearchExperiments or LeastSquaresAnalysisAndExperimentsSearch);
  // empty, or 0, before one ran and when fewer than two models are compared.
  // Largest Tij of the couple (a, b), a < b, and the candidate where it was found.
  double BestTij(int a, int b) const;
  int BestTijCandidate(int a, int b) const;
  // The Tij table of the couples: sums and counts of Tij >= 1.2 per candidate, the number of
  // couples and the candidate of the discrimination suggestion (0 when there is no valid one).
  const KelDiscrimination& Discrimination() const { return discrimination; }
  // The balanced suggestion: its candidate (0 when the comparison did not run) and its scores.
  const KelBalancedSuggestion& Balanced() const { return balanced; }

  static KelObjectCounter counter;

 private:
  // The record of one model: the result parts that the computations fill (each a plain struct,
  // written by its own pass only and read by the reports), what the caller set, and the flags of
  // the lazy computations. The parts come first and in this order: every vector and matrix draws
  // a serial number when it is built, and the reports print those of the symmetric matrices.
  struct Model {
    KelNonLinearEstimate estimate;        // Estimate and its final evaluation
    KelNonLinearStatistics statistics;    // ComputeStatistics
    KelNonLinearDiagnostics diagnostics;  // ComputeDiagnostics
    KelNonLinearRobustFit robust;         // RobustEstimate
    KelNonLinearCandidateSearch search;   // the experiment search (SearchModel)
    KelVector start;
    KelNonLinearJacobian jacobianFunction = nullptr;
    KelVector lower;
    KelVector upper;
    int numParameters = 0;
    bool estimated = false;
    bool statisticsReady = false;
    bool diagnosticsReady = false;
  };

  // Construction and data (kel_nonlinear_regression.cpp).
  void Flatten();
  void CheckModel(int model, const char* operation) const;
  const Model& ModelAt(int model) const;
  Model& ModelAt(int model);
  // Model with starting parameters, estimated and with its statistics; null otherwise.
  Model* Ready(int model);
  Model* Diagnosed(int model);
  // The parts of a model that is Ready (or Diagnosed, for the diagnostics); null otherwise.
  const KelNonLinearEstimate* EstimateOf(int model);
  const KelNonLinearStatistics* StatisticsOf(int model);
  const KelNonLinearDiagnostics* DiagnosticsOf(int model);

  // An iteration limit of the options, perUnit times units, held at the largest int rather than
  // overflowing when the options ask for more.
  static int IterationBudget(int perUnit, int units);

  // Estimation (kel_nonlinear_regression_estimation.cpp).
  // Predictions of all stored experiments at b, response-major; false when one is not finite.
  bool Predict(int model, KelVector& b, KelVector& yHat);
  double WeightedSSE(int model, KelVector& b);
  // Predictions at the rows of xs (experiment numbers 1.. when stored, else 0), response-major.
  void PredictRows(int model, KelVector& b, const KelMatrix& xs, bool stored, KelVector& out);
  // Jacobian at b of the predictions at the rows of xs, analytic or by central differences,
  // each row multiplied by its weight in rowWeight (response-major like the predictions).
  void JacobianRows(int model, KelVector& b, const KelMatrix& xs, bool stored,
                    const KelVector& rowWeight, KelMatrix& J);
  // The weighted Jacobian at b over the stored experiments.
  void ComputeJacobian(int model, KelVector& b, KelMatrix& J);
  void EnsureEstimated(int model);
  void Estimate(int model);
  // The predictions, residuals and weighted Jacobian at the estimated parameters.
  void EvaluateFit(int model);
  // Minimization, Gauss-Newton refinement and the damped Gauss-Newton finish from start.
  void EstimationPass(int model, const KelVector& start);
  // Minimizer and Gauss-Newton refinement, on parameters divided by their typical sizes; leaves
  // the best point in the model's parameters and returns the objective there.
  double RefinementPhase(int model, const KelVector& start);
  struct Refinement;
  enum class RefinementOutcome { kFinished, kNextPass, kEndPasses };
  // Gauss-Newton step s of the scaled parameters from the scaled point p; leaves the
  // predictions and Jacobian at p in the model.
  void ScaledGaussNewtonStep(int model, const KelVector& p, KelVector& s);
  // The minimizer's restarts of one refinement pass.
  RefinementOutcome RestartMinimizer(int model, KelMinimizationRobust& minimizer, Refinement& R);
  // Levenberg-Marquardt iterations from the model's parameters, with a Jacobian at every
  // iterate, until the step or the gradient test is met (kel_nonlinear_regression_finish.cpp).
  void DampedGaussNewton(int model, double objective);
  // The Gauss-Newton step that met a convergence test, taken unless it raises the sum of squares
  // f by more than tolerance.
  void TakeLastStep(int model, const KelVector& newton, double tolerance, KelVector& b, double& f);
  // The least-squares objective at b in the original units: kelUnfeasibleValue outside the bounds
  // or where the model is not finite.
  double Objective(int model, KelVector& b);
  // The weighted SSE at b without the barrier, which it leaves in barrier: kelUnfeasibleValue
  // outside the bounds or where the model is not finite. The Gauss-Newton finish compares these
  // sums, as its steps and tests are those of the sum of squares alone: the barrier, of an
  // absolute size, would otherwise stop it short of the minimum near a bound.
  double FeasibleSSE(int model, KelVector& b, double& barrier);
  void ComputeStatistics(int model);
  void ComputeCovariance(int model);
  // True when b lies strictly inside the model's bounds, with the barrier terms that keep the
  // search away from them; false (outside, or a NaN coordinate) leaves barrier meaningless.
  bool InsideBounds(int model, const KelVector& b, double& barrier) const;
  // The minimizer's objective of the estimation: Objective at the scaled point u.
  double LeastSquaresObjective(int model, KelVector& u);
  // The x re-estimation of the errors-in-variables step; runs between the two passes of an
  // estimation with variance kind 2 (kel_nonlinear_regression_independent_variables.cpp).
  void EstimateIndependentVariables(int model);
  double IndependentVariablesObjective(int model, KelVector& z);

  // LeastSquaresAnalysis and its sections (kel_nonlinear_regression_analysis_report.cpp).
  void PrintIndependentVariables() const;
  void PrintSummary(const KelModelComparison& primary, const KelModelComparison& chiSquare) const;

  // Least-squares report (kel_nonlinear_regression_least_squares_report.cpp).
  void LeastSquaresReport(int model);
  void PrintLeastSquaresTitle(int model) const;
  void PrintSSEAndConditioning(int model) const;
  void PrintConstraintWarnings(int model) const;
  void PrintNewtonComparison(int model) const;
  void PrintParameters(int model) const;
  void PrintParameterConfidenceIntervals(int model) const;
  // Not const only because KelBase::Print, which prints the two matrices, is not.
  void PrintCovarianceAndCorrelation(int model) const;
  void PrintVarianceInflationFactors(int model) const;
  void PrintTolerances(int model) const;
  void PrintSingularValueAnalysis(int model) const;
  void PrintPrincipalComponents(int model) const;
  void PrintVarianceAnalysis(int model) const;
  void PrintModelTest(int model) const;
  void PrintResidualsAnalysis(int model) const;

  // Diagnostics of the least-squares report (kel_nonlinear_regression_diagnostics.cpp).
  void ComputeDiagnostics(int model);
  void ModelFTest(const Model& m, KelNonLinearDiagnostics& d) const;

  // Robust estimation (kel_nonlinear_regression_robust.cpp).
  struct RobustTriple;
  void RobustEstimate(int model);
  // Moves the three points of the search by extrapolation, keeping the best three.
  void ExtrapolateRobust(int model, KelMinimizationRobust& minimizer, RobustTriple& t);
  // Keeps the fit at lms in the model's robust part; the least-squares fit is estimated afresh
  // at its next use.
  void KeepRobustFit(int model, const KelVector& lms);
  void FindOutliers(int model);
  double MedianOfSquares(int model, KelVector& b);
  double MedianObjective(int model, KelVector& b);

  // Robust analysis and report (kel_nonlinear_regression_robust_report.cpp).
  void RobustAnalysisOfModel(int model);
  void PrintRobustReport(int model) const;
  void PrintRobustResiduals(const KelNonLinearRobustFit& r) const;
  void PrintOutliers(const KelNonLinearRobustFit& r) const;

  // Experiment search (kel_nonlinear_regression_experiment_search.cpp).
  // The checks of the search, the candidates and their x-distances; clears the suggestions.
  void PrepareSearch(const KelVector& xMin, const KelVector& xMax);
  // The candidate predictions, distances, criterion and suggestions of one model.
  void SearchModel(int model);
  void BuildCandidates(const KelVector& xMin, const KelVector& xMax);
  void ComputeXDistances();
  void ComputeCandidateModel(int model);
  void ComputeFDistances(int model);
  void ChooseCriterion(int model);
  void RunCriterion(int model);
  void ChooseSuggestions(int model);
  void PrintSuggestions(int model) const;

  // Comparison and discrimination (kel_nonlinear_regression_discrimination.cpp).
  int CountComparedModels() const;
  KelComparisonTable PrimaryComparisonTable() const;
  // The comparison in one table from the models' statistics (every compared model estimated).
  KelModelComparison ComputeComparison(KelComparisonTable table) const;
  // The comparison of PrimaryComparisonTable, estimating the models first; cleared by every
  // estimation.
  const KelModelComparison& EnsureComparison();
  static bool ComparisonWarning(const KelModelComparison& comparison,
                                const KelModelComparisonRow& row);
  static bool OneMoreDegreeWarning(const KelModelComparisonRow& row);
  static double TijThreshold();
  // The Tij tables, the discrimination and the balanced suggestions over the candidates of the
  // search; empty with fewer than two compared models.
  void ComputeDiscrimination();
  void ComputeTij();
  void ChooseDiscriminationCandidate();
  void ComputeBalancedSuggestion();

  // Their reports (kel_nonlinear_regression_discrimination_report.cpp).
  void PrintModelComparison() const;
  // One comparison table; the tables also serve the summary of LeastSquaresAnalysis.
  void PrintComparisonTable(const KelModelComparison& comparison) const;
  // The P-values again with one more degree of freedom for the variance, and the advice to
  // improve the variance when that adds warnings to the table's count.
  void PrintPValuesWithOneMoreDegree(const KelModelComparison& comparison) const;
  void PrintCandidateCoordinates(int candidate) const;
  void PrintBestTij() const;
  void PrintDiscriminationSuggestion() const;
  void PrintBalancedSuggestion() const;

  // Evaluations of the model over all experiments, counted while an estimation runs.
  int evaluationCount = 0;

  KelNonLinearModel modelFunction = nullptr;
  int numModels = 0;
  int numExperiments = 0;
  int numX = 0;
  int numY = 0;
  int nY = 0;
  int serialNumber = 0;
  int varianceKind = 1;
  int weightingKind = 3;
  int varianceDegreesOfFreedom = 0;
  int numUncertainX = 0;
  double sst = 0.0;
  double meanWeight = 1.0;

  KelMatrix X;
  KelMatrix Y;
  KelMatrix weights;
  KelMatrix xWeights;
  KelMatrix measuredX;
  // The x step: the parameters it holds fixed, the uncertain entries in row-major order, and
  // the experiment's x it hands to the model.
  KelVector fixedParameters;
  std::vector<int> uncertainRow;
  std::vector<int> uncertainColumn;
  KelVector xTrial;
  int xStepCount = 0;
  double xStepInitialValue = 0.0;
  double xStepFinalValue = 0.0;
  KelVector responseVariances;
  KelVector xVariances;
  KelVector y;
  KelVector w;
  KelVector inverseSquaredW;
  KelVector wy;
  std::vector<Model> models;

  // Scratch of the model calls.
  KelVector xRow;
  KelVector yRow;
  KelVector bStep;
  KelVector bObjective;  // the minimizer's scaled point in the parameters' own units
  KelVector yStep;
  std::vector<double> squaresScratch;
  KelFactorizedSVD jacobianSvd;

  KelNonLinearOptions options;

  // Experiment search.
  int requestedCriterion = 0;
  int pointsPerAxis = 0;
  int numCandidates = 0;
  KelMatrix candidates;
  KelMatrix candidateWeights;    // candidates x numY
  KelMatrix candidateVariances;  // candidates x numY
  KelVector relativeXDistance;
  KelVector relativeXDistancePrincipal;
  bool comparisonReady = false;
  KelModelComparison comparison;
  KelDiscrimination discrimination;
  KelBalancedSuggestion balanced;
};

#endif
