// Fatal messages of the linear regression and of the data-file reader KelLoad.
#include <sys/stat.h>

#include <cmath>

#include "fatal_walk.h"
#include "kel_test_support.h"
#include "kelmath.h"

using fatal_walk::WriteFile;

namespace {

// Four experiments, an intercept column and one regressor.
KelMatrix WithIntercept() {
  return KelMatrix(4, 2, 1., 1., 1., 2., 1., 3., 1., 4.);
}

// Four experiments, two regressors, no column of ones.
KelMatrix WithoutIntercept() {
  return KelMatrix(4, 2, 1., 2., 2., 1., 3., 5., 4., 3.);
}

}  // namespace

// ---- KelLinearRegression ----

TEST(FatalLinearRegression, SelectionWithoutExperiments) {
  KelMatrix X = WithIntercept();
  KelVector Y(4, 1., 2., 3., 5.);
  KelVectorInt columns(2), rows;
  columns(1) = 1;
  columns(2) = 2;
  EXPECT_KEL_FATAL(KelLinearRegression(X, Y, columns, rows),
                   "KelLinearRegression class\n\nDimension check failure\n\nConstructor: "
                   "Constructor\n0 x 2");
}

TEST(FatalLinearRegression, SelectionWithoutResidualDegreesOfFreedom) {
  KelMatrix X = WithIntercept();
  KelVector Y(4, 1., 2., 3., 5.);
  KelVectorInt columns(2), rows(2);
  columns(1) = 1;
  columns(2) = 2;
  rows(1) = 1;
  rows(2) = 2;
  EXPECT_KEL_FATAL(KelLinearRegression(X, Y, columns, rows),
                   "KelLinearRegression class\n\nDimension check failure\n2 x 2 and 4 x 2");
}

TEST(FatalLinearRegression, AsManyParametersAsExperiments) {
  KelMatrix F(2, 2, 1., 1., 1., 2.);
  KelVector y(2, 1., 2.);
  EXPECT_KEL_FATAL(KelLinearRegression(F, y),
                   "KelLinearRegression class\n\nDimension check failure\n2 x 2");
}

TEST(FatalLinearRegression, InitializeWithoutParameters) {
  KelLinearRegression regression;
  EXPECT_KEL_FATAL(regression.Initialize(KelMatrix(), KelVector()),
                   "KelLinearRegression class\n\nDimension check failure\n0 x 0");
}

TEST(FatalLinearRegression, FitWithoutData) {
  KelLinearRegression regression;
  EXPECT_KEL_FATAL(regression.LeastSquaresAnalysis(),
                   "KelLinearRegression class\n\nDimension check failure\n0 x 0");
}

TEST(FatalLinearRegression, FitWithResponsesOfWrongSize) {
  KelLinearRegression regression(WithIntercept(), KelVector(3, 1., 2., 3.));
  EXPECT_KEL_FATAL(regression.GetR2(),
                   "KelLinearRegression class\n\nDimension check failure\n"
                   "y has 3 elements, F has 4 rows");
}

TEST(FatalLinearRegression, RobustAnalysisWithoutData) {
  KelLinearRegression regression;
  EXPECT_KEL_FATAL(regression.RobustAnalysis(),
                   "KelLinearRegression class\n\nDimension check failure\n0 x 0");
}

TEST(FatalLinearRegression, RobustAnalysisWithResponsesOfWrongSize) {
  KelLinearRegression regression(WithIntercept(), KelVector(3, 1., 2., 3.));
  EXPECT_KEL_FATAL(regression.RobustAnalysis(),
                   "KelLinearRegression class\n\nDimension check failure\n"
                   "y has 3 elements, F has 4 rows");
}

// ---- Non-finite data: refused where it comes in, naming the first offending entry ----

TEST(FatalLinearRegression, NonFiniteRegressorInTheMatrixConstructor) {
  KelMatrix F(14, 3);
  KelVector y(14);
  for (int i = 1; i <= 14; ++i) {
    F(i, 1) = 1.0;
    F(i, 2) = i;
    F(i, 3) = i * i;
    y(i) = i;
  }
  F(12, 3) = std::nan("");
  F(13, 2) = HUGE_VAL;  // later than the first: not named
  EXPECT_KEL_FATAL(KelLinearRegression(F, y),
                   "KelLinearRegression class\nNon-finite data\nF(12, 3) = nan");
  F(12, 3) = -HUGE_VAL;
  EXPECT_KEL_FATAL(KelLinearRegression(F, y),
                   "KelLinearRegression class\nNon-finite data\nF(12, 3) = -inf");
}

TEST(FatalLinearRegression, NonFiniteResponseInTheMatrixConstructorAndInitialize) {
  KelVector y(4, 1., 2., HUGE_VAL, 5.);
  EXPECT_KEL_FATAL(KelLinearRegression(WithIntercept(), y),
                   "KelLinearRegression class\nNon-finite data\ny(3) = inf");
  KelLinearRegression regression;
  y(3) = -std::nan("");  // a NaN of either sign reads "nan"
  EXPECT_KEL_FATAL(regression.Initialize(WithIntercept(), y),
                   "KelLinearRegression class\nNon-finite data\ny(3) = nan");
}

TEST(FatalLinearRegression, NonFiniteDataInTheSelectionConstructor) {
  KelMatrix X = WithIntercept();
  KelVector Y(4, 1., 2., 3., 5.);
  X(4, 2) = std::nan("");
  KelVectorInt columns(2), rows(3);
  columns(1) = 1;
  columns(2) = 2;
  rows(1) = 1;
  rows(2) = 2;
  rows(3) = 3;
  // Row 4 is not selected: its NaN does not matter.
  KelLinearRegression selected(X, Y, columns, rows);
  EXPECT_EQ(selected.Experiments(), 3);
  rows(2) = 4;
  EXPECT_KEL_FATAL(KelLinearRegression(X, Y, columns, rows),
                   "KelLinearRegression class\nNon-finite data\nF(2, 2) = nan");
}

TEST(FatalLinearRegression, NonFiniteDataReadFromARegressionDataFile) {
  WriteFile("nan_f.lrg", " 3 2\n 1 0.5\n 1 nan\n 1 1.5\n 3\n 2.1 2.9 4.2\n 0\n");
  EXPECT_KEL_FATAL(KelLinearRegression("nan_f.lrg"),
                   "KelLinearRegression class\nNon-finite data\nF(2, 2) = nan");
  WriteFile("inf_y.lrg", " 3 2\n 1 0.5\n 1 1\n 1 1.5\n 3\n 2.1 -inf 4.2\n 0\n");
  EXPECT_KEL_FATAL(KelLinearRegression("inf_y.lrg"),
                   "KelLinearRegression class\nNon-finite data\ny(2) = -inf");
  WriteFile("nan_v.lrg", " 3 2\n 1 0.5\n 1 1\n 1 1.5\n 3\n 2.1 2.9 4.2\n nan\n 5\n");
  EXPECT_KEL_FATAL(KelLinearRegression("nan_v.lrg"),
                   "KelLinearRegression class\nNon-finite data\nvariance = nan");
}

TEST(FatalLinearRegression, NonFiniteAssignedVariance) {
  KelLinearRegression regression(WithIntercept(), KelVector(4, 1., 2., 3., 5.));
  EXPECT_KEL_FATAL(regression.SetResponseVariance(HUGE_VAL, 5),
                   "KelLinearRegression class\nNon-finite data\nvariance = inf");
}

// A negative variance or degrees of freedom stops at the call that assigns it, not later inside
// the first report's F distribution.
TEST(FatalLinearRegression, NegativeAssignedVariance) {
  KelLinearRegression regression(WithIntercept(), KelVector(4, 1., 2., 3., 5.));
  EXPECT_KEL_FATAL(regression.SetResponseVariance(-0.25, 5),
                   "KelLinearRegression class\n\nBad response variance, negative\n\nFunction: "
                   "SetResponseVariance\nvariance = -0.25");
}

TEST(FatalLinearRegression, NegativeAssignedDegreesOfFreedom) {
  KelLinearRegression regression(WithIntercept(), KelVector(4, 1., 2., 3., 5.));
  EXPECT_KEL_FATAL(regression.SetResponseVariance(0.04, -1),
                   "KelLinearRegression class\n\nBad degrees of freedom, negative\n\nFunction: "
                   "SetResponseVariance\ndegrees of freedom = -1");
}

TEST(FatalLinearRegression, NaNAssignedVariance) {
  KelLinearRegression regression(WithIntercept(), KelVector(4, 1., 2., 3., 5.));
  EXPECT_KEL_FATAL(regression.SetResponseVariance(std::nan(""), 5),
                   "KelLinearRegression class\nNon-finite data\nvariance = nan");
}

TEST(FatalLinearRegression, DataFileWithAsManyParametersAsExperiments) {
  WriteFile("square.lrg", " 2 2\n 1 1\n 1 2\n 2\n 1 2\n");
  EXPECT_KEL_FATAL(KelLinearRegression("square.lrg"),
                   "KelLinearRegression class\n\nDimension check failure\n2 x 2");
}

TEST(FatalLinearRegression, ConstantResponsesWithIntercept) {
  KelLinearRegression regression(WithIntercept(), KelVector(4, 2., 2., 2., 2.));
  EXPECT_KEL_FATAL(regression.LeastSquaresAnalysis(), "KelLinearRegression class\n\nssm == 0.");
}

TEST(FatalLinearRegression, CandidateParametersOutOfRange) {
  KelLinearRegression regression(WithIntercept(), KelVector(4, 1., 2., 3., 5.));
  EXPECT_KEL_FATAL(regression.CandidateParameters(3),
                   "KelLinearRegression class\n\nIndex out of range\n\nFunction: "
                   "CandidateParameters\nindex 3, valid 1..2");
}

TEST(FatalLinearRegression, CandidateStandardErrorsOutOfRange) {
  KelLinearRegression regression(WithIntercept(), KelVector(4, 1., 2., 3., 5.));
  EXPECT_KEL_FATAL(regression.CandidateStandardErrors(0),
                   "KelLinearRegression class\n\nIndex out of range\n\nFunction: "
                   "CandidateStandardErrors\nindex 0, valid 1..2");
}

// Without an intercept the fit accepts zero responses; the singular value analysis does not.
TEST(FatalLinearRegression, SingularValueAnalysisOfZeroResponses) {
  KelLinearRegression regression(WithoutIntercept(), KelVector(4));
  EXPECT_KEL_FATAL(regression.SVDAnalysis(), "KelLinearRegression class\n\nsst == 0.");
}

// ---- KelLoad ----

TEST(FatalKelLoad, MissingFile) {
  EXPECT_KEL_FATAL(KelLoad("missing.lrg"), "KelLoad class\nCan't open FILE\nmissing.lrg");
}

TEST(FatalKelLoad, NoFileName) {
  EXPECT_KEL_FATAL(KelLoad(nullptr), "KelLoad class\nCan't open FILE\n");
}

TEST(FatalKelLoad, MissingRegressionDataFile) {
  EXPECT_KEL_FATAL(KelLinearRegression("PicewiseA1.lrg"),
                   "KelLoad class\nCan't open FILE\nPicewiseA1.lrg");
}

TEST(FatalKelLoad, EmptyFile) {
  WriteFile("empty.txt", "  \n");
  int value = 0;
  EXPECT_KEL_FATAL(KelLoad("empty.txt") >> value,
                   "KelLoad class\nCan't read FILE\nempty.txt\nline 2, item 1: end of file");
}

TEST(FatalKelLoad, MalformedInteger) {
  WriteFile("letters.txt", " 1x\n");
  int value = 0;
  EXPECT_KEL_FATAL(KelLoad("letters.txt") >> value,
                   "KelLoad class\nCan't read FILE\nletters.txt\nline 1, item 1: \"1x\"");
}

TEST(FatalKelLoad, IntegerBeyondTheIntRange) {
  WriteFile("huge_int.txt", " 3000000000\n");
  int value = 0;
  EXPECT_KEL_FATAL(KelLoad("huge_int.txt") >> value,
                   "KelLoad class\nCan't read FILE\nhuge_int.txt\nline 1, item 1: \"3000000000\"");
}

TEST(FatalKelLoad, MalformedReal) {
  WriteFile("bad_real.txt", " 1.5.2\n");
  double value = 0.0;
  EXPECT_KEL_FATAL(KelLoad("bad_real.txt") >> value,
                   "KelLoad class\nCan't read FILE\nbad_real.txt\nline 1, item 1: \"1.5.2\"");
}

TEST(FatalKelLoad, RealBeyondTheDoubleRange) {
  WriteFile("huge_real.txt", " 1e999\n");
  double value = 0.0;
  EXPECT_KEL_FATAL(KelLoad("huge_real.txt") >> value,
                   "KelLoad class\nCan't read FILE\nhuge_real.txt\nline 1, item 1: \"1e999\"");
}

TEST(FatalKelLoad, NegativeVectorSize) {
  WriteFile("negative.txt", " -1\n 1.0\n");
  KelVector v;
  EXPECT_KEL_FATAL(KelLoad("negative.txt") >> v,
                   "KelLoad class\nCan't read FILE\nnegative.txt\nline 1, item 1: \"-1\"");
}

TEST(FatalKelLoad, MatrixCountBeyondTheIntRange) {
  WriteFile("count.txt", " 100000 100000\n 1.0\n");
  KelMatrix A;
  EXPECT_KEL_FATAL(KelLoad("count.txt") >> A,
                   "KelLoad class\nCan't read FILE\ncount.txt\nline 1, item 2: more elements than "
                   "a container can hold");
}

TEST(FatalKelLoad, VectorLongerThanTheFile) {
  WriteFile("short.txt", " 50\n 1.0 2.0\n");
  KelVector v;
  EXPECT_KEL_FATAL(KelLoad("short.txt") >> v,
                   "KelLoad class\nCan't read FILE\nshort.txt\nline 1, item 1: more elements than "
                   "the file holds");
}

TEST(FatalKelLoad, MatrixCutShort) {
  WriteFile("cut.txt", " 2 2\n 1.0 2.0 3.0\n");
  KelMatrix A;
  EXPECT_KEL_FATAL(KelLoad("cut.txt") >> A,
                   "KelLoad class\nCan't read FILE\ncut.txt\nline 3, item 6: end of file");
}

TEST(FatalKelLoad, ReadAfterClose) {
  WriteFile("closed.txt", " 1 2\n");
  int value = 0;
  EXPECT_KEL_FATAL(
      {
        KelLoad load("closed.txt");
        load.Close();
        load >> value;
      },
      "KelLoad class\nCan't read FILE\nclosed.txt\nline 1, item 1: the file is closed");
}

// A folder opens for reading but yields a read error, not an end of file.
TEST(FatalKelLoad, FolderInsteadOfFile) {
  ::mkdir("folder.lrg", 0755);
  int value = 0;
  EXPECT_KEL_FATAL(KelLoad("folder.lrg") >> value,
                   "KelLoad class\nCan't read FILE\nfolder.lrg\nline 1, item 1: read error");
}

TEST(FatalKelLoad, RegressionDataFileWithoutResponses) {
  WriteFile("no_responses.lrg", " 3 2\n 1 1\n 1 2\n 1 3\n");
  EXPECT_KEL_FATAL(KelLinearRegression("no_responses.lrg"),
                   "KelLoad class\nCan't read FILE\nno_responses.lrg\nline 5, item 9: end of file");
}

TEST(FatalKelLoad, RegressionDataFileWithVarianceButNoDegrees) {
  WriteFile("no_degrees.lrg", " 3 2\n 1 1\n 1 2\n 1 3\n 3\n 1 2 4\n 0.5\n");
  EXPECT_KEL_FATAL(KelLinearRegression("no_degrees.lrg"),
                   "KelLoad class\nCan't read FILE\nno_degrees.lrg\nline 8, item 14: end of file");
}
