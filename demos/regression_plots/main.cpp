// regression_plots: linear regressions of small built-in data sets (least squares, stepwise
// selection, singular value analysis, principal components), three regression data files and
// two plot files that the plotting program "KelPlotSparse.exe" draws. The reports go to
// "KelRegression.txt".
#include "kelmath.h"
#include "plot_program.h"
#include "regression_plots_data.h"

using namespace regression_plots;

namespace {

// A model with an intercept: column 1 all ones, column 2 the given values.
KelMatrix WithInterceptColumn(const KelVector& x) {
  KelMatrix X(x.Size(), 2);
  for (int i = 1; i <= x.Size(); ++i) {
    X(i, 1) = 1.0;
    X(i, 2) = x(i);
  }
  return X;
}

// Saves the abscissas P and then the ordinates Q, shows the file name and lets the plotting
// program draw it.
void WritePlotFile(const char* fileName, const char* notice, const KelMatrixSparse& P,
                   const KelMatrixSparse& Q) {
  KelSave file(fileName);
  file << P << Q;
  file.Close();
  KelWarning("%s", notice);
  StartPlotProgram();
}

void RegressionOnX6() {
  KelLinearRegression regression(MakeX6(), MakeY6());
  regression.SetResponseVariance(0.025, 5);
  regression.LeastSquaresAnalysis();
}

// Row 1: the fitted line at 100 abscissas from 1 to 6; row 2: the six data points.
void PlotOfX6() {
  KelPrint("\n\n\n***** Examples of KelPlotSparse *****");
  const KelMatrix X = MakeX6();
  const KelVector y = MakeY6();
  KelLinearRegression regression(X, y);
  KelVector b;
  regression.GetParameters(b);
  KelMatrixSparse P(2, 100);
  KelMatrixSparse Q(2, 100);
  for (int i = 1; i <= 100; ++i) {
    // 1 + 5 (i - 1) / 99 as a blend of the two ends, which reproduces both ends exactly.
    const double x = (i - 1) * 0.06060606060606061 - (i - 100) * 0.010101010101010102;
    P(1, i) = x;
    Q(1, i) = b(2) * x + b(1);
  }
  for (int k = 1; k <= 6; ++k) {
    P(2, k) = X(k, 2);
    Q(2, k) = y(k);
  }
  WritePlotFile("Regression.stx", "Plot on File Regression.stx", P, Q);
  KelPause();
}

void RegressionOnX12() {
  const KelMatrix X = WithInterceptColumn(MakeX12());
  const KelVector y = MakeY12();
  KelSave file("Simple1.lrg");
  file << X << y << 0.04 << 5;
  file.Close();
  KelLinearRegression regression(X, y);
  regression.SetResponseVariance(0.04, 5);
  regression.LeastSquaresAnalysis();
}

// The same problem with the abscissas centred on their mean: the intercept becomes the mean
// response and its estimate no longer depends on the slope.
void CentredDataFile() {
  KelVector x = MakeX12();
  const double mean = KelMean(x);
  for (int i = 1; i <= x.Size(); ++i) x(i) -= mean;
  KelSave file("Simple3.lrg");
  file << WithInterceptColumn(x) << MakeY12() << 0.04 << 5;
  file.Close();
}

// A curve that a straight line fits badly: the plot shows why.
void WrongPlotAnalysis() {
  const KelVector x = MakeX11();
  const KelVector y = MakeY11();
  KelMatrixSparse P(1, 11);
  KelMatrixSparse Q(1, 11);
  for (int i = 1; i <= 11; ++i) {
    P(1, i) = x(i);
    Q(1, i) = y(i);
  }
  WritePlotFile("WrongPlotAnalysis.stx", "Plot on File WrongPlotAnalysis.stx", P, Q);
}

void RegressionOnXc() {
  const KelMatrix X = MakeXc();
  const KelVector y = MakeYc();
  KelLinearRegression regression(X, y);
  regression.LeastSquaresAnalysis();
  // No response variance: the file ends after the responses.
  KelSave file("Collinearity.lrg");
  file << X << y;
  file.Close();
}

void RegressionOnX20() {
  const KelMatrix X = MakeX20();
  const KelVector y = MakeY20();
  {
    KelLinearRegression regression(X, y);
    regression.SetResponseVariance(0.013, 4);
    regression.StepwiseAnalysis();
  }
  // The model the stepwise search finds best: 1, x^3 and e^(x/10).
  KelVectorInt columns(3);
  columns(1) = 1;
  columns(2) = 4;
  columns(3) = 7;
  KelVectorInt rows(20);
  for (int i = 1; i <= 20; ++i) rows(i) = i;
  KelLinearRegression regression(X, y, columns, rows);
  regression.SetResponseVariance(0.013, 4);
  regression.LeastSquaresAnalysis();
}

void SingularValueAnalysisOfX7() {
  KelLinearRegression regression(MakeX7(), MakeY7());
  regression.SetResponseVariance(1e-05, 4);
  regression.SVDAnalysis();
}

// Regression of y7 on the first two principal components of X7. The weighted right vectors
// come one per row (W(i, j) = V(j, i) / d(i), only for the singular values that are not
// negligible), so they are turned into columns before the components beyond the second are
// dropped; X7 times them is then 7 x 2, whatever number of rows W had.
void PrincipalComponentsOfX7() {
  const KelMatrix X = MakeX7();
  const KelVector y = MakeY7();
  KelMatrix W;
  {
    KelLinearRegression regression(X, y);
    regression.GetWeightedRightVectors(W);
  }
  W.Transpose();
  W.RemoveColumn(5);
  W.RemoveColumn(4);
  W.RemoveColumn(3);
  KelMatrix F = X * W;
  KelLinearRegression regression(F, y);
  regression.SetResponseVariance(0.007, 4);
  regression.LeastSquaresAnalysis();
  F.Print("F");
}

// The rank-one and rank-two parts of X7's singular value decomposition; the second sum is X7
// itself up to rounding, since X7 has rank 2.
void LowRankPartsOfX7() {
  KelLinearRegression regression(MakeX7(), MakeY7());
  KelVector d;
  KelMatrix V;
  KelMatrix U;
  regression.GetSingularValueDecomposition(d, V, U);
  KelMatrix B1;
  OuterProduct(d(1) * U.GetColumn(1), V.GetColumn(1), B1);
  B1.Print("B1");
  KelMatrix B2;
  OuterProduct(d(2) * U.GetColumn(2), V.GetColumn(2), B2);
  B2 += B1;
  B2.Print("B2");
}

}  // namespace

int main() {
  KelSetOutputFile("KelRegression.txt");
  KelPrint("\n\nLinearRegression constructor");
  RegressionOnX6();
  PlotOfX6();
  RegressionOnX12();
  CentredDataFile();
  WrongPlotAnalysis();
  RegressionOnXc();
  RegressionOnX20();
  SingularValueAnalysisOfX7();
  PrincipalComponentsOfX7();
  LowRankPartsOfX7();
  return 0;
}
