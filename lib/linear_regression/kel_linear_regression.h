// KelLinearRegression: the linear model y ~ F b (m experiments, n parameters, m > n) with its
// cached least-squares fit and four reports: least squares, singular values, robust (least
// median of squares) and stepwise selection.
//
// Constructors only store the data; the first report, query or accessor runs the fit, whose
// results stay cached until Initialize gives new data (or a response variance or the earlier
// form is set). Each computation (fit, diagnostics, singular value analysis, robust fit,
// stepwise search) writes its own struct only, so no accessor depends on which reports ran.
//
// Growth. The fit is O(m n^2) in time: one Householder QR of F (by cache-sized blocks of rows
// on large data, so that F is read and written once), from whose triangle R the balanced, plain
// and column-scaled singular value decompositions follow at O(n^3) each, U formed from the QR
// in one pass over the rows, a residual refinement, the leverages and the leave-one-out test
// from the closed form, plus one O(m n^2) refit for each experiment that the closed form cannot
// tell from the best or whose verdict it cannot decide (usually none; every experiment only when
// F, or its columns kept by the QR, have a condition number of 1e12 or more, where the closed
// form cannot be trusted, and then the test is O(m^2 n^2)). With dependent columns the closed
// form comes from an O(m n^2) fit on the kept columns, which holds a copy of F and their Q for
// the while. The least-squares report adds O(m n^2 + n^4) for the tolerances
// and column factors (one QR of the normalized F and an n x n QR per column), O(n^3) for the
// inverse correlation, O(m log m) for the normality index and O(m) lines of output. Memory: the
// object keeps F and U (2 m x n) besides O(m) vectors; the fit holds no other m x n matrix,
// because the QR is made in the storage that becomes U; a refit and the report's tolerances
// each hold one transient m x n copy.
#ifndef KELMATH_KEL_LINEAR_REGRESSION_H
#define KELMATH_KEL_LINEAR_REGRESSION_H

#include <memory>
#include <vector>

#include "containers/kel_matrix.h"
#include "containers/kel_matrix_symmetric.h"
#include "containers/kel_vector.h"
#include "containers/kel_vector_int.h"
#include "foundation/kel_base.h"
#include "foundation/kel_report_format.h"
#include "linear_regression/kel_linear_regression_results.h"

struct KelLmsWorkspace;

// The results are held as members, one struct per computation, each written by its own pass
// only; the public interface hands them out as const structs through the accessors below.
class KelLinearRegression : public KelBase {
 public:
  // Conditioning verdicts left by the least-squares report for the robust report.
  static constexpr unsigned char kConditioningNone = 0;
  static constexpr unsigned char kIllConditioned = 1;
  static constexpr unsigned char kMustBeNormalized = 2;

  // Empty object; data come later through Initialize.
  KelLinearRegression();
  // Copies F and y; n >= m is fatal (the length of y is checked when the fit runs).
  KelLinearRegression(const KelMatrix& F, const KelVector& y);
  // Takes over the storage of F and y, which are left empty: no copy of a large data set.
  KelLinearRegression(KelMatrix&& F, KelVector&& y);
  // F(i, j) = X(experimentRows(i), parameterColumns(j)), y(i) = Y(experimentRows(i)). An empty
  // selection, fewer rows than columns, or a selection larger than X is fatal; as many rows as
  // columns is fatal as well (a fit with no residual degrees of freedom).
  KelLinearRegression(const KelMatrix& X, const KelVector& Y, const KelVectorInt& parameterColumns,
                      const KelVectorInt& experimentRows);
  // Reads F, y and the optional response variance from a regression data file.
  explicit KelLinearRegression(const char* fileName);
  KelLinearRegression(const KelLinearRegression&) = delete;
  KelLinearRegression& operator=(const KelLinearRegression&) = delete;
  ~KelLinearRegression() override;

  // New data for an existing object: the assigned variance and every computed result are
  // forgotten; n >= m is fatal.
  void Initialize(const KelMatrix& F, const KelVector& y);
  // The same, taking over the storage of F and y (left empty).
  void Initialize(KelMatrix&& F, KelVector&& y);
  // Assigns the experimental variance of y (0: none) and its degrees of freedom; a fit already
  // made is redone at the next query.
  void SetResponseVariance(double variance, int degreesOfFreedom);

  // The results as read-only structs, each computed first when it is not current: the
  // least-squares fit, its diagnostics (with the values behind every verdict of the report),
  // and the least-median-of-squares fit. New data, a response variance or the earlier form
  // change what they hold; no report or other computation does.
  const KelLinearLeastSquaresFit& LeastSquaresFit();
  const KelLinearDiagnostics& Diagnostics();
  const KelLinearRobustFit& RobustFit();

  // Queries of the fit (each runs it when needed).
  // Coefficient of determination (corrected by the mean for a model with intercept).
  double GetR2();
  // b receives the least-squares parameters (a copy of Parameters()).
  void GetParameters(KelVector& b);
  // Singular values of F (decreasing), right (n x n) and left (m x n) singular vectors.
  void GetSingularValueDecomposition(KelVector& d, KelMatrix& V, KelMatrix& U);
  // W(i, j) = V(j, i) / d(i) for the singular values that are not negligible.
  void GetWeightedRightVectors(KelMatrix& W);

  // Reports; each runs the computation it needs first.
  // Least-squares report: conditioning, parameters, multicollinearity, fit, residuals, outlier.
  void LeastSquaresAnalysis();
  // Singular values and vectors, the candidate solutions with 1..n singular values, and the
  // principal components; the least-squares fit is left as it is.
  void SVDAnalysis();
  // Least-median-of-squares fit, its residuals, outliers and verdicts. The search tries at most
  // 2 D exact fits through subsets of the experiments, D = 6e5 / m bounded to 500 .. 20000
  // (fewer when all subsets are fewer), each O(m n), and refines the best five by a local search
  // of O(4e6 n) per step and the simplex minimizer: the work is about constant in m up to
  // m = 1200 and then grows as m n (m log m for the sorts); (100000, 5) takes a few seconds.
  void RobustAnalysis();
  // Best model of every size 1..n by stepwise selection of the columns of F.
  void StepwiseAnalysis();
  // The number, the data block, then the least-squares, singular value and robust reports.
  void PrintObject() override;

  // Tj tolerances: 1 - R^2 of each column regressed on the others (1 for the intercept).
  KelVector ComputeTolerances();
  // Distance of each normalized column from the space spanned by the others (1 for the
  // intercept).
  KelVector ComputeColumnsCorrelation();

  // Data and sizes.
  int Experiments() const { return numExperiments; }
  int NumberOfParameters() const { return numParameters; }
  int DegreesOfFreedom() const { return degreesOfFreedom; }
  bool HasIntercept() const { return interceptFlag != 0; }
  double ResponseVariance() const { return responseVariance; }
  int ResponseVarianceDegreesOfFreedom() const { return varianceDegreesOfFreedom; }
  int GetSerialNumber() const { return serialNumber; }

  // Results of the least-squares fit; each accessor runs the fit when it is not current.
  // ParameterTValues, ParameterPValues, PartialCorrelations, NormalizedResiduals,
  // NormalityIndex, FExperimental and FTestProbability give the values Diagnostics() holds under
  // the same names, computed from the fit alone: reading them neither runs the other diagnostics
  // nor draws the serial number those draw (docs/developers.md, intended behaviour 2).
  const KelVector& Parameters();
  const KelVector& ParameterStandardErrors();
  // b(i) / se(b)(i).
  KelVector ParameterTValues();
  // Two-sided Student t probabilities of the t values with m - n degrees of freedom.
  KelVector ParameterPValues();
  // sqrt(t^2 / (t^2 + m - n)).
  KelVector PartialCorrelations();
  const KelMatrixSymmetric& Covariance();
  const KelVector& EstimatedResponses();
  const KelVector& Residuals();
  const KelVector& EstimatedResponseStandardErrors();
  // Residuals over the square root of the assigned variance, else over s.
  KelVector NormalizedResiduals();
  const KelVector& SingularValues();
  double SumOfSquares();
  double MeanSquareError();
  double StandardDeviation();
  double ResidualsNorm();
  double ParametersNorm();
  double TotalSumOfSquares();
  // Intercept models only (0 otherwise).
  double CorrectedTotalSumOfSquares();
  // Synonym of GetR2().
  double R2() { return GetR2(); }
  double AdjustedR2();
  double ConditionNumber();
  double SystemConditioning();
  // The variance that scales the covariance: the assigned one, else the mean square error.
  double VarianceUsed();
  // Two-sided 95 % and 99 % Student t quantiles at m - n degrees of freedom (the normal ones
  // when m = n, where only an assigned variance makes intervals meaningful).
  double T95();
  double T99();
  bool SolutionsDisagree();
  // Leave-one-out outlier test: the lowest residual sum of squares over the fits without one
  // experiment (refitted, or from the closed form within a bound of about 1e-9 of it when one
  // experiment wins beyond doubt and the verdict is clear), the experiment left out there, and
  // the verdicts (0 for none).
  double LeaveOneOutBestSumOfSquares();
  int LeaveOneOutBestIndex();
  int HighlyProbableOutlier();
  int ProbableOutlier();

  // Diagnostics of the least-squares report (computed with the fit when needed, without
  // printing and without touching the verdict flags).
  const KelMatrixSymmetric& ParameterCorrelation();
  // |diagonal of the inverse parameter correlation matrix|, intercept included.
  KelVector VarianceInflationFactors();
  const KelVector& Tolerances();
  const KelVector& ColumnsCorrelationFactors();
  // Linear correlation of the sorted normalized residuals with the plotting positions.
  double NormalityIndex();
  // F-test of the mean square error against the assigned variance (0 when none is assigned).
  double FExperimental();
  double FTestProbability();

  // Diagnostics in the form statistics packages print them (each runs the fit when needed).
  // They are computed from the residuals alone (the mean square error s^2 = SS / (m - n)),
  // whether or not a response variance is assigned, except ConfidenceIntervals, which uses the
  // standard errors of the parameters. Where a quantity is undefined (a leverage of 1, no
  // residual degrees of freedom left, a model with the intercept alone) it is a quiet NaN.
  // Diagonal of the hat matrix F (F^T F)^+ F^T: h_i = squared norm of row i of the left singular
  // vectors of the column-scaled F over its kept singular values.
  const KelVector& Leverages();
  // Externally studentized residuals r_i / (s_(i) sqrt(1 - h_i)), where s_(i)^2 =
  // (SS - r_i^2 / (1 - h_i)) / (m - n - 1) is the mean square error of the fit without i.
  KelVector StudentizedResiduals();
  // Cook's distances r_i^2 h_i / (n s^2 (1 - h_i)^2).
  KelVector CooksDistances();
  // 1 / Tj: the variance inflation factor of each column from its regression on the other
  // columns (centred for a model with intercept, whose own entry is 0).
  KelVector CenteredVarianceInflationFactors();
  // Row i: b(i) -+ t se(b)(i), with t the exact Student t quantile of (1 - level) / 2 for
  // m - n degrees of freedom; 0 < level < 1, otherwise fatal.
  KelMatrix ConfidenceIntervals(double level);
  // F statistic of the model against the intercept-only model ((SSTc - SS) / (n - 1)) / s^2,
  // or against zero without intercept ((SST - SS) / n) / s^2, and its upper tail probability.
  double FStatistic();
  double FStatisticPValue();
  // Gaussian log-likelihood at the maximum, -m/2 (log(2 pi) + 1 - log m + log SS), and the
  // information criteria -2 logL + k (n + 1), k = 2 (AIC) or log m (BIC): the variance counts
  // as a parameter.
  double LogLikelihood();
  double AIC();
  double BIC();
  // Studentized (Koenker) Breusch-Pagan test of the squared residuals against the columns of
  // F: m sum(g_i^2) / sum(w_i^2) with w_i = r_i^2 - SS / m and g the least-squares fit of w
  // on F; chi-square with n - 1 degrees of freedom.
  double BreuschPaganStatistic();
  double BreuschPaganPValue();

  // Singular value analysis. The candidate solution with the i (1..n) largest singular values
  // and its standard errors, scaled by the variance used by the full fit (which runs when
  // needed); an i outside 1..n is fatal.
  KelVector CandidateParameters(int i);
  KelVector CandidateStandardErrors(int i);
  // What the singular value analysis finds, computed without printing when it is not current:
  // the norms of the candidate parameters and residuals, and the principal components verdict.
  const KelSvdAnalysis& SvdAnalysis();
  // Singular values below d(1) sqrt(single-precision epsilon), and those below 10 epsilon d(1)
  // that the principal components leave out.
  int SmallSingularValueCount();
  int NegligibleSingularValueCount();

  // Best models of the stepwise search (which runs when needed): row k of the parameters and of
  // the t ratios belongs to the best model with k parameters (0 for columns not in it); entry k
  // of the errors is its mean square error, 3.4028234663852886e38 where no run met that size.
  const KelMatrix& StepwiseParameters();
  const KelMatrix& StepwiseTRatios();
  const KelVector& StepwiseMeanSquareErrors();

  // The verdicts that the robust report repeats (computed when needed, whichever reports ran):
  // multicollinearity by the correlation matrix, the conditioning verdict (kConditioningNone,
  // kIllConditioned or kMustBeNormalized) and multicollinearity by the principal components.
  bool MulticollinearityFound() { return Diagnostics().multicollinearity; }
  unsigned char ConditioningVerdict();
  bool PrincipalComponentsFlag() { return SvdAnalysis().multicollinear; }

  // Results of the robust (least median of squares) analysis. Each accessor runs the robust
  // computation, without printing, when it is not current; like RobustAnalysis it leaves the
  // least-squares fit as it is (running it first when the search needs its start).
  double LeastMedianOfSquares();
  const KelVector& RobustParameters();
  const KelVector& RobustEstimatedResponses();
  const KelVector& RobustResiduals();
  const KelVector& NormalizedRobustResiduals();
  double RobustScale();
  double RobustResidualMedian();
  double RobustResidualMad();
  // 1 - (median |r| / dispersion of y)^2 with intercept, 1 - (median |r| / median |y|)^2 without.
  double RobustR2();
  // The standardized data (y and F by their medians and dispersions) are fields of RobustFit().
  // Largest and smallest singular values of the standardized F (intercept column left out);
  // both 0 for a single-column model.
  double RobustComponentMaximum();
  double RobustComponentMinimum();
  // Experiments, ascending, whose normalized robust residual exceeds 2.5 in absolute value;
  // those above 10, and the others.
  const KelVectorInt& RobustOutliers();
  const KelVectorInt& RobustHighlyProbableOutliers();
  const KelVectorInt& RobustPossibleOutliers();
  // The outliers in decreasing order of |robust residual|, as the report lists them.
  KelVectorInt RobustOutliersByImportance();

  // The earlier form of the regression, version "Version 6.0.20080930", which the programs
  // analysing regression data files carry. It differs in four observable respects only: the fit
  // lets the factorizations' notes reach the output; the fit prints the system conditioning
  // ("\nsystemConditioning %e") as soon as it has it; b is the plain SVD solution (the balanced
  // one only gives the system conditioning, and the solutions are not compared); the
  // least-squares report is titled "Least Square Regression Analysis" and never asks for a
  // standardized matrix, and the robust report has no list of outliers sorted by importance.
  // Switching the form forgets every computed result.
  static constexpr const char* kEarlierFormVersion = "Version 6.0.20080930";
  void SetEarlierForm(bool on);
  bool EarlierForm() const { return earlierForm; }

  static KelObjectCounter counter;

 private:
  // Common set-up of every constructor (sizes and flags of an empty object, the robust fit's
  // workspace, serial number).
  void SetUpEmpty();
  // Sizes, degrees of freedom, intercept flag and cleared flags after new data.
  void DataChanged();
  void CheckDimensions() const;
  // Fatal when y does not have one element per row of F; the message gives both sizes.
  void CheckResponseSize() const;
  void NewDataTaken();
  // Fatal at the first NaN or infinity in F, y or the assigned variance, naming the entry.
  void CheckFiniteData() const;

  // The fit (kel_linear_regression_fit.cpp): KelComputeLeastSquaresFit of F and y, held as fit.
  void EnsureLeastSquares();
  void ComputeLeastSquares();

  // Diagnostics of the least-squares report (kel_linear_regression_diagnostics.cpp):
  // KelComputeLinearDiagnostics of F and the fit, held as diagnostics.
  void EnsureDiagnostics();

  // The least-squares report (kel_linear_regression_least_squares_report.cpp); its sections only
  // read the fit and the diagnostics.
  void LeaveLeastSquaresVerdicts();
  void PrintTitle() const;
  void PrintConditioning() const;
  void PrintParameters() const;
  void PrintPartialCorrelations() const;
  void PrintParameterConfidenceIntervals() const;
  void PrintCovariance() const;
  void PrintCorrelation() const;
  void PrintVarianceInflationFactors() const;
  void PrintTolerances() const;
  void PrintColumnsCorrelation() const;
  void PrintMulticollinearityVerdict() const;
  void PrintGoodnessOfFit() const;
  void PrintFTest() const;
  void PrintResiduals() const;
  void PrintResponseConfidenceIntervals() const;
  void PrintNormality() const;
  void PrintOutlierVerdict() const;
  void PrintDataBlock() const;

  // Singular value analysis (kel_linear_regression_svd.cpp): KelComputeSvdAnalysis of F, y and
  // the fit, held as svd.
  void EnsureSvdAnalysis();

  // Stepwise selection (kel_linear_regression_stepwise.cpp).
  void ComputeStepwise();
  // The robust fit (kel_linear_regression_robust.cpp): KelComputeRobustFit of F and y, held as
  // robust.
  void EnsureRobust();
  // Robust report (kel_linear_regression_robust_report.cpp): reads a current robust fit only.
  void PrintRobustTitle() const;
  void PrintRobustResponse() const;
  void PrintRobustColumns() const;
  void PrintStandardizedF() const;
  void PrintRobustParameters() const;
  void PrintRobustGoodnessOfFit() const;
  void PrintRobustResiduals() const;
  void PrintRobustOutliers() const;
  void PrintRobustVerdicts() const;
  void PrintHomoscedasticity() const;

  // Results, one struct per computation.
  KelLinearLeastSquaresFit fit;
  KelLinearDiagnostics diagnostics;
  KelLinearRobustFit robust;
  KelLinearStepwiseTables stepwise;
  KelSvdAnalysis svd;
  // The verdicts the reports that ran for the current data leave for the robust report, which
  // repeats only those (the least-squares report leaves the first two, the singular value
  // report the last).
  struct ReportedVerdicts {
    bool multicollinearity = false;
    KelConditioning conditioning = KelConditioning::kWell;
    bool principalComponents = false;
  } reported;

  // Data.
  KelMatrix F;
  KelVector y;
  // The containers of the robust search, built with the object (right after F and y) and kept
  // for every robust fit it runs, so that refits draw no serial numbers for them.
  std::unique_ptr<KelLmsWorkspace> lmsWorkspace;

  int numExperiments = 0;
  int numParameters = 0;
  int degreesOfFreedom = 0;
  int interceptFlag = 0;
  int serialNumber = 0;
  int varianceDegreesOfFreedom = 0;

  double responseVariance = 0.0;

  bool leastSquaresComputed = false;
  bool diagnosticsComputed = false;
  bool robustComputed = false;
  bool svdComputed = false;
  bool stepwiseComputed = false;
  bool earlierForm = false;
};

#endif
