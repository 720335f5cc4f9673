// No accessor's value depends on which reports or analyses ran before it: every public accessor
// of KelLinearRegression read on a fresh object equals the same accessor read after any order of
// the four reports, and after reading everything once more.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "kel_test_support.h"
#include "linear_regression/kel_linear_regression.h"
#include "linear_regression_test_data.h"

namespace {

// Every accessor's values in one flat list, NaN kept as its bits so that it compares equal.
class Snapshot {
 public:
  void Add(double v) { values.push_back(v); }
  void Add(const KelVector& v) {
    Add(v.Size());
    for (int i = 1; i <= v.Size(); ++i) Add(v(i));
  }
  void Add(const KelVectorInt& v) {
    Add(v.Size());
    for (int i = 1; i <= v.Size(); ++i) Add(v(i));
  }
  void Add(const KelMatrix& A) {
    Add(A.Rows());
    for (int i = 1; i <= A.Rows(); ++i)
      for (int j = 1; j <= A.Columns(); ++j) Add(A(i, j));
  }
  void Add(const KelMatrixSymmetric& S) {
    Add(S.Rows());
    for (int i = 1; i <= S.Rows(); ++i)
      for (int j = 1; j <= i; ++j) Add(S(i, j));
  }
  bool operator==(const Snapshot& other) const {
    return values.size() == other.values.size() &&
           std::memcmp(values.data(), other.values.data(), values.size() * sizeof(double)) == 0;
  }
  size_t Size() const { return values.size(); }

 private:
  std::vector<double> values;
};

Snapshot ReadEverything(KelLinearRegression& r) {
  Snapshot s;
  s.Add(r.GetR2());
  KelVector b, d;
  KelMatrix V, U, W;
  r.GetParameters(b);
  r.GetSingularValueDecomposition(d, V, U);
  r.GetWeightedRightVectors(W);
  for (const KelVector& v : {b, d}) s.Add(v);
  for (const KelMatrix& A : {V, U, W}) s.Add(A);
  s.Add(r.ComputeTolerances());
  s.Add(r.ComputeColumnsCorrelation());
  for (const KelVector& v :
       {r.Parameters(), r.ParameterStandardErrors(), r.ParameterTValues(), r.ParameterPValues(),
        r.PartialCorrelations(), r.EstimatedResponses(), r.Residuals(),
        r.EstimatedResponseStandardErrors(), r.NormalizedResiduals(), r.SingularValues()})
    s.Add(v);
  s.Add(r.Covariance());
  for (const double v :
       {r.SumOfSquares(), r.MeanSquareError(), r.StandardDeviation(), r.ResidualsNorm(),
        r.ParametersNorm(), r.TotalSumOfSquares(), r.CorrectedTotalSumOfSquares(), r.R2(),
        r.AdjustedR2(), r.ConditionNumber(), r.SystemConditioning(), r.VarianceUsed(), r.T95(),
        r.T99(), r.LeaveOneOutBestSumOfSquares()})
    s.Add(v);
  for (const int v :
       {static_cast<int>(r.SolutionsDisagree()), r.LeaveOneOutBestIndex(),
        r.HighlyProbableOutlier(), r.ProbableOutlier(), r.LeastSquaresFit().leaveOneOutRefits})
    s.Add(v);
  s.Add(r.ParameterCorrelation());
  for (const KelVector& v :
       {r.VarianceInflationFactors(), r.Tolerances(), r.ColumnsCorrelationFactors(), r.Leverages(),
        r.StudentizedResiduals(), r.CooksDistances(), r.CenteredVarianceInflationFactors()})
    s.Add(v);
  s.Add(r.ConfidenceIntervals(0.95));
  for (const double v : {r.NormalityIndex(), r.FExperimental(), r.FTestProbability(),
                         r.FStatistic(), r.FStatisticPValue(), r.LogLikelihood(), r.AIC(), r.BIC(),
                         r.BreuschPaganStatistic(), r.BreuschPaganPValue()})
    s.Add(v);
  for (int i = 1; i <= r.NumberOfParameters(); ++i) {
    s.Add(r.CandidateParameters(i));
    s.Add(r.CandidateStandardErrors(i));
  }
  s.Add(r.SvdAnalysis().candidateParameterNorms);
  s.Add(r.SvdAnalysis().candidateResidualNorms);
  s.Add(r.SmallSingularValueCount());
  s.Add(r.NegligibleSingularValueCount());
  s.Add(r.StepwiseParameters());
  s.Add(r.StepwiseTRatios());
  s.Add(r.StepwiseMeanSquareErrors());
  s.Add(r.MulticollinearityFound());
  s.Add(r.ConditioningVerdict());
  s.Add(r.PrincipalComponentsFlag());
  for (const double v :
       {r.LeastMedianOfSquares(), r.RobustScale(), r.RobustResidualMedian(), r.RobustResidualMad(),
        r.RobustR2(), r.RobustFit().medianOfY, r.RobustFit().dispersionOfY,
        r.RobustComponentMaximum(), r.RobustComponentMinimum()})
    s.Add(v);
  for (const KelVector& v :
       {r.RobustParameters(), r.RobustEstimatedResponses(), r.RobustResiduals(),
        r.NormalizedRobustResiduals(), r.RobustFit().standardizedY, r.RobustFit().columnMedians,
        r.RobustFit().columnDispersions})
    s.Add(v);
  s.Add(r.RobustFit().standardizedF);
  for (const KelVectorInt& v : {r.RobustOutliers(), r.RobustHighlyProbableOutliers(),
                                r.RobustPossibleOutliers(), r.RobustOutliersByImportance()})
    s.Add(v);
  s.Add(static_cast<double>(r.RobustFit().robustEvaluations));
  s.Add(r.RobustFit().robustMinimizerRuns);
  return s;
}

using Report = std::function<void(KelLinearRegression&)>;
const Report kLeastSquares = [](KelLinearRegression& r) { r.LeastSquaresAnalysis(); };
const Report kSingularValues = [](KelLinearRegression& r) { r.SVDAnalysis(); };
const Report kRobust = [](KelLinearRegression& r) { r.RobustAnalysis(); };
const Report kStepwise = [](KelLinearRegression& r) { r.StepwiseAnalysis(); };

struct Data {
  const char* name;
  KelMatrix F;
  KelVector y;
};

class AccessorsAfterReports : public kel_test::QuietWarnings {};

TEST_F(AccessorsAfterReports, EveryAccessorIsTheSameWhateverRanBefore) {
  const Data sets[] = {{"x12", lr_test::MakeX12(), lr_test::MakeY12()},
                       {"Xc (an outlier)", lr_test::MakeXc(), lr_test::MakeYc()},
                       {"X20 columns 1, 4, 7", lr_test::MakeX20Columns147(), lr_test::MakeY20()}};
  const std::vector<std::vector<Report>> orders = {
      {kLeastSquares},
      {kSingularValues},
      {kRobust},
      {kStepwise},
      {kLeastSquares, kSingularValues, kRobust, kStepwise},
      {kStepwise, kRobust, kSingularValues, kLeastSquares},
      {kSingularValues, kLeastSquares, kSingularValues, kRobust}};
  for (const Data& data : sets) {
    KelLinearRegression fresh(data.F, data.y);
    Snapshot expected;
    kel_test::CaptureOutput([&] { expected = ReadEverything(fresh); });
    ASSERT_GT(expected.Size(), 100u);
    for (size_t k = 0; k < orders.size(); ++k) {
      SCOPED_TRACE(std::string(data.name) + ", order " + std::to_string(k));
      KelLinearRegression regression(data.F, data.y);
      Snapshot afterReports, readAgain;
      kel_test::CaptureOutput([&] {
        for (const Report& report : orders[k]) report(regression);
        afterReports = ReadEverything(regression);
        for (const Report& report : orders[k]) report(regression);
        readAgain = ReadEverything(regression);
      });
      EXPECT_TRUE(afterReports == expected);
      EXPECT_TRUE(readAgain == expected);
    }
  }
}

}  // namespace
