// The passes of the linear regression as functions of const inputs: the least-squares fit, its
// diagnostics, the singular value analysis and the stepwise tables computed from the data alone,
// with no regression object, equal what the class's accessors give on the same data, and two
// computations on different data at once on two threads give what each gives alone.
#include <gtest/gtest.h>

#include <cmath>
#include <thread>

#include "linear_regression/kel_linear_diagnostics.h"
#include "linear_regression/kel_linear_least_squares_fit.h"
#include "linear_regression/kel_linear_regression.h"
#include "linear_regression/kel_stepwise_selection.h"
#include "linear_regression/kel_svd_analysis.h"
#include "linear_regression_test_data.h"

namespace {

struct Passes {
  KelLinearLeastSquaresFit fit;
  KelLinearDiagnostics diagnostics;
  KelSvdAnalysis svd;
  KelLinearStepwiseTables stepwise;
};

Passes computeAll(const KelMatrix& F, const KelVector& y) {
  const int dof = F.Rows() - F.Columns();
  Passes p;
  p.fit = KelComputeLeastSquaresFit({F, y, 0.0, dof, true, false}, KelLinearLeastSquaresFit());
  p.diagnostics =
      KelComputeLinearDiagnostics({F, p.fit, 0.0, dof, 0, true}, KelLinearDiagnostics());
  p.svd = KelComputeSvdAnalysis({F, y, p.fit, dof}, KelSvdAnalysis());
  p.stepwise = KelComputeStepwise(F, y, true, KelLinearStepwiseTables());
  return p;
}

void expectSameVector(const KelVector& a, const KelVector& b) {
  ASSERT_EQ(a.Size(), b.Size());
  for (int i = 1; i <= a.Size(); ++i) EXPECT_EQ(a(i), b(i)) << i;
}

void expectSameMatrix(const KelMatrix& a, const KelMatrix& b) {
  ASSERT_EQ(a.Rows(), b.Rows());
  ASSERT_EQ(a.Columns(), b.Columns());
  for (int i = 1; i <= a.Rows(); ++i)
    for (int j = 1; j <= a.Columns(); ++j) EXPECT_EQ(a(i, j), b(i, j)) << i << "," << j;
}

// The 20 x 9 data set of the regression demonstration: nine columns, an intercept, collinear
// enough that every verdict is reached.
TEST(LinearComputeFunctions, GiveWhatTheClassGivesWithoutAnObject) {
  const KelMatrix F = lr_test::MakeX20();
  const KelVector y = lr_test::MakeY20();
  const Passes p = computeAll(F, y);
  KelLinearRegression regression(F, y);
  expectSameVector(p.fit.b, regression.Parameters());
  EXPECT_EQ(p.fit.sumOfSquares, regression.SumOfSquares());
  expectSameVector(p.diagnostics.tolerances, regression.Tolerances());
  expectSameVector(p.diagnostics.columnFactors, regression.ColumnsCorrelationFactors());
  expectSameVector(p.diagnostics.varianceInflationFactors, regression.VarianceInflationFactors());
  EXPECT_EQ(p.diagnostics.multicollinearity, regression.MulticollinearityFound());
  expectSameVector(KelLeastSquaresTValues(p.fit), regression.ParameterTValues());
  expectSameVector(KelLeastSquaresPValues(p.fit, F.Rows() - F.Columns()),
                   regression.ParameterPValues());
  expectSameVector(p.svd.candidateParameterNorms, regression.SvdAnalysis().candidateParameterNorms);
  expectSameVector(p.svd.candidateResidualNorms, regression.SvdAnalysis().candidateResidualNorms);
  EXPECT_EQ(p.svd.multicollinear, regression.PrincipalComponentsFlag());
  expectSameMatrix(p.stepwise.stepwiseParameters, regression.StepwiseParameters());
  expectSameMatrix(p.stepwise.stepwiseTRatios, regression.StepwiseTRatios());
  expectSameVector(p.stepwise.stepwiseMeanSquareErrors, regression.StepwiseMeanSquareErrors());
  // The full model's candidate is the least-squares fit.
  const int n = F.Columns();
  EXPECT_NEAR(p.svd.candidateResidualNorms(n), p.fit.residualsNorm, 1e-9 * p.fit.residualsNorm);
  // So is stepwise's model of every column where the search reaches it (a line here).
  const Passes line = computeAll(lr_test::MakeX12(), lr_test::MakeY12());
  EXPECT_NEAR(line.stepwise.stepwiseMeanSquareErrors(2), line.fit.meanSquareError,
              1e-9 * line.fit.meanSquareError);
  EXPECT_NEAR(line.stepwise.stepwiseParameters(2, 2), line.fit.b(2),
              1e-9 * std::abs(line.fit.b(2)));
}

// The functions keep no state outside their arguments: two data sets computed at once on two
// threads give what each gives alone.
TEST(LinearComputeFunctions, DifferentDataOnTwoThreadsAtOnce) {
  const KelMatrix F1 = lr_test::MakeX20();
  const KelVector y1 = lr_test::MakeY20();
  const KelMatrix F2 = lr_test::MakeX12();
  const KelVector y2 = lr_test::MakeY12();
  const Passes alone1 = computeAll(F1, y1);
  const Passes alone2 = computeAll(F2, y2);
  for (int round = 0; round < 4; ++round) {
    Passes together1;
    Passes together2;
    std::thread first([&] { together1 = computeAll(F1, y1); });
    std::thread second([&] { together2 = computeAll(F2, y2); });
    first.join();
    second.join();
    expectSameVector(together1.diagnostics.tolerances, alone1.diagnostics.tolerances);
    expectSameVector(together1.svd.candidateParameterNorms, alone1.svd.candidateParameterNorms);
    expectSameMatrix(together1.stepwise.stepwiseParameters, alone1.stepwise.stepwiseParameters);
    expectSameVector(together2.diagnostics.tolerances, alone2.diagnostics.tolerances);
    expectSameVector(together2.svd.candidateParameterNorms, alone2.svd.candidateParameterNorms);
    expectSameMatrix(together2.stepwise.stepwiseParameters, alone2.stepwise.stepwiseParameters);
  }
}

}  // namespace
