// Fatal messages of the robust minimizer and of the nonlinear regression.
#include <cmath>

#include "kel_test_support.h"
#include "kelmath.h"

namespace {

double Parabola(KelVector& x) {
  return (x(1) - 1.0) * (x(1) - 1.0);
}

double NowhereFeasible(KelVector&) {
  kelUnfeasible = 1;
  return 0.0;
}

double NotANumber(KelVector&) {
  return std::nan("");
}

// y = b1 x for every model.
void Line(int, int, KelVector& b, KelVector& x, KelVector& y) {
  y(1) = b(1) * x(1);
}

KelMatrix Abscissas() {
  return KelMatrix(3, 1, 1., 2., 3.);
}

KelMatrix Responses() {
  return KelMatrix(3, 1, 2.1, 3.9, 6.2);
}

}  // namespace

// ---- KelMinimizationRobust ----

TEST(FatalMinimizationRobust, MissingObjective) {
  EXPECT_KEL_FATAL(KelMinimizationRobust(KelVector(1), nullptr),
                   "KelMinimizationRobust class\n Error in Initialization");
}

TEST(FatalMinimizationRobust, StartWithoutVariables) {
  EXPECT_KEL_FATAL(KelMinimizationRobust(KelVector(), Parabola),
                   "KelMinimizationRobust class\n\nDimension check failure\n");
}

TEST(FatalMinimizationRobust, UnfeasibleStart) {
  EXPECT_KEL_FATAL(KelMinimizationRobust(KelVector(1), NowhereFeasible),
                   "The starting point must be feasible in KelMinimizationRobust");
}

TEST(FatalMinimizationRobust, NotANumberAtStart) {
  EXPECT_KEL_FATAL(KelMinimizationRobust(KelVector(1), NotANumber),
                   "The starting point must be feasible in KelMinimizationRobust");
}

TEST(FatalMinimizationRobust, RestartWithWrongSize) {
  KelMinimizationRobust minimizer(KelVector(1), Parabola);
  EXPECT_KEL_FATAL(minimizer.Initialize(KelVector(2)),
                   "KelMinimizationRobust class\n\nDimension check failure\n");
}

TEST(FatalMinimizationRobust, RestartAtUnfeasiblePoint) {
  KelMinimizationRobust minimizer(KelVector(1), Parabola);
  KelVector start(1);
  start(1) = std::nan("");
  EXPECT_KEL_FATAL(minimizer.Initialize(start),
                   "The starting point must be feasible in KelMinimizationRobust");
}

TEST(FatalMinimizationRobust, BoundsOfWrongSize) {
  KelMinimizationRobust minimizer(KelVector(1), Parabola);
  EXPECT_KEL_FATAL(minimizer.SetBounds(KelVector(2), KelVector(1)),
                   "KelMinimizationRobust class\n\nDimension check failure\n");
}

TEST(FatalMinimizationRobust, LowerBoundAboveUpper) {
  KelMinimizationRobust minimizer(KelVector(1), Parabola);
  KelVector lower(1), upper(1);
  lower(1) = 1.0;
  EXPECT_KEL_FATAL(minimizer.SetBounds(lower, upper),
                   "KelMinimizationRobust class\n\nDimension check failure\n");
}

TEST(FatalMinimizationRobust, UnopenableTrajectoryFile) {
  KelMinimizationRobust minimizer(KelVector(1), Parabola);
  EXPECT_KEL_FATAL(minimizer.Save("no_such_folder/trajectory.txt"), "\nCan't open FILE\n");
}

// ---- KelNonLinearRegression ----

TEST(FatalNonLinearRegression, ResponsesOfOtherExperimentCount) {
  EXPECT_KEL_FATAL(KelNonLinearRegression(1, Abscissas(), KelMatrix(2, 1, 1., 2.), Line),
                   "KelNonLinearRegression class\n\nDimension check failure\n3 x 1 and 2 x 1");
}

TEST(FatalNonLinearRegression, NoModel) {
  EXPECT_KEL_FATAL(KelNonLinearRegression(0, Abscissas(), Responses(), Line),
                   "KelNonLinearRegression class\n\nDimension check failure\n");
}

TEST(FatalNonLinearRegression, MissingModelFunction) {
  EXPECT_KEL_FATAL(KelNonLinearRegression(1, Abscissas(), Responses(), nullptr),
                   "KelNonLinearRegression class\n\nDimension check failure\n");
}

TEST(FatalNonLinearRegression, AllResponsesZero) {
  EXPECT_KEL_FATAL(KelNonLinearRegression(1, Abscissas(), KelMatrix(3, 1), Line),
                   "KelNonLinearRegression class\n\nsst == 0.");
}

TEST(FatalNonLinearRegression, InitialParametersOfUnknownModel) {
  KelNonLinearRegression regression(1, Abscissas(), Responses(), Line);
  EXPECT_KEL_FATAL(regression.SetInitialParameters(2, KelVector(1)),
                   "KelNonLinearRegression class\n\nDimension check failure\nindex 2, valid 1..1");
}

TEST(FatalNonLinearRegression, EmptyInitialParameters) {
  KelNonLinearRegression regression(1, Abscissas(), Responses(), Line);
  EXPECT_KEL_FATAL(regression.SetInitialParameters(1, KelVector()),
                   "KelNonLinearRegression class\n\nDimension check failure\n");
}

TEST(FatalNonLinearRegression, ZeroWeight) {
  KelNonLinearRegression regression(1, Abscissas(), Responses(), Line);
  EXPECT_KEL_FATAL(regression.SetWeights(KelMatrix(3, 1, 1., 0., 1.)),
                   "KelNonLinearRegression class\n\nThe weight 2 1 must be positive "
                   "0.000000e+00");
}

TEST(FatalNonLinearRegression, NegativeWeight) {
  KelNonLinearRegression regression(1, Abscissas(), Responses(), Line);
  EXPECT_KEL_FATAL(regression.SetWeights(KelMatrix(3, 1, 1., 1., -2.)),
                   "KelNonLinearRegression class\n\nThe weight 3 1 must be positive "
                   "-2.000000e+00");
}

TEST(FatalNonLinearRegression, WeightsOfWrongShape) {
  KelNonLinearRegression regression(1, Abscissas(), Responses(), Line);
  EXPECT_KEL_FATAL(regression.SetWeights(KelMatrix(2, 1, 1., 1.)),
                   "KelNonLinearRegression class\n\nDimension check failure\n\nFunction: "
                   "SetWeights\n2 x 1 and 3 x 1");
}

TEST(FatalNonLinearRegression, WrongNumberOfVariances) {
  KelNonLinearRegression regression(1, Abscissas(), Responses(), Line);
  EXPECT_KEL_FATAL(regression.SetVariances(5, KelVector(3, 1., 1., 1.)),
                   "\nKelNonLinearRegression class\nWrong number of variances\nsizes 3 and 1 or 2");
}

TEST(FatalNonLinearRegression, VariancesWithoutDegreesOfFreedom) {
  KelNonLinearRegression regression(1, Abscissas(), Responses(), Line);
  EXPECT_KEL_FATAL(regression.SetVariances(0, KelVector(1, 0.1)),
                   "\nKelNonLinearRegression class\nDegree of fredom must be greater than "
                   "0\ndegrees of freedom = 0");
}

TEST(FatalNonLinearRegression, ZeroResponseVariance) {
  KelNonLinearRegression regression(1, Abscissas(), Responses(), Line);
  EXPECT_KEL_FATAL(regression.SetVariances(5, KelVector(2, 0., 0.01)),
                   "\nKelNonLinearRegression class\nVariances null\nvariance 1 = 0");
}

TEST(FatalNonLinearRegression, ExperimentCriterionOutOfRange) {
  KelNonLinearRegression regression(1, Abscissas(), Responses(), Line);
  EXPECT_KEL_FATAL(regression.SetExperimentCriterion(8),
                   "KelNonLinearRegression class\n\nDimension check failure\n\nFunction: "
                   "SetExperimentCriterion\nindex 8, valid 0..7");
}

TEST(FatalNonLinearRegression, OptionOutOfRange) {
  EXPECT_KEL_FATAL(
      {
        KelNonLinearRegression regression(1, Abscissas(), Responses(), Line);
        KelNonLinearOptions options;
        options.finishIterationsPerParameter = 0;
        regression.SetOptions(options);
      },
      "\nKelNonLinearRegression class\nOption out of range in SetOptions\n"
      "finishIterationsPerParameter = 0");
  EXPECT_KEL_FATAL(
      {
        KelNonLinearRegression regression(1, Abscissas(), Responses(), Line);
        KelNonLinearOptions options;
        options.stepTolerance = std::nan("");
        regression.SetOptions(options);
      },
      "\nKelNonLinearRegression class\nOption out of range in SetOptions\nstepTolerance = nan");
  EXPECT_KEL_FATAL(
      {
        KelNonLinearRegression regression(1, Abscissas(), Responses(), Line);
        KelNonLinearOptions options;
        options.robustExtrapolationRounds = -1;
        regression.SetOptions(options);
      },
      "\nKelNonLinearRegression class\nOption out of range in SetOptions\n"
      "robustExtrapolationRounds = -1");
}

TEST(FatalNonLinearRegression, ParametersOfUnknownModel) {
  KelNonLinearRegression regression(1, Abscissas(), Responses(), Line);
  EXPECT_KEL_FATAL(regression.GetParameters(2),
                   "KelNonLinearRegression class\n\nDimension check failure\n\nFunction: "
                   "Model\nindex 2, valid 1..1");
}

TEST(FatalNonLinearRegression, ResultOfModelZero) {
  KelNonLinearRegression regression(1, Abscissas(), Responses(), Line);
  EXPECT_KEL_FATAL(regression.RobustFit(0).finalLms,
                   "KelNonLinearRegression class\n\nDimension check failure\n\nFunction: "
                   "Model\nindex 0, valid 1..1");
}

TEST(FatalNonLinearRegression, BestTijOfUnknownModel) {
  KelNonLinearRegression regression(2, Abscissas(), Responses(), Line);
  EXPECT_KEL_FATAL(regression.BestTij(1, 3),
                   "KelNonLinearRegression class\n\nDimension check failure\n\nFunction: "
                   "BestTij\nindex 3, valid 1..2");
}

TEST(FatalNonLinearRegression, BestTijCandidateOfUnknownModel) {
  KelNonLinearRegression regression(2, Abscissas(), Responses(), Line);
  EXPECT_KEL_FATAL(regression.BestTijCandidate(0, 1),
                   "KelNonLinearRegression class\n\nDimension check failure\n\nFunction: "
                   "BestTijCandidate\nindex 0, valid 1..2");
}

TEST(FatalNonLinearRegression, SuggestionOfUnknownKind) {
  KelNonLinearRegression regression(1, Abscissas(), Responses(), Line);
  EXPECT_KEL_FATAL(regression.SuggestedCandidate(1, 5),
                   "KelNonLinearRegression class\n\nDimension check failure\n\nFunction: "
                   "SuggestedCandidate\nindex 5, valid 0..4");
}

TEST(FatalNonLinearRegression, ExperimentSearchAfterExplicitWeights) {
  KelNonLinearRegression regression(1, Abscissas(), Responses(), Line);
  regression.SetWeights(KelMatrix(3, 1, 1., 1., 1.));
  EXPECT_KEL_FATAL(
      regression.LeastSquaresAnalysisAndExperimentsSearch(KelVector(1, 0.), KelVector(1, 4.)),
      "KelNonLinearRegression class\n\nYou MUST use the weight version of\n"
      "LeastSquaresAnalysisAndExperimentsSearch");
}

TEST(FatalNonLinearRegression, ExperimentSearchRangeOfWrongSize) {
  KelNonLinearRegression regression(1, Abscissas(), Responses(), Line);
  EXPECT_KEL_FATAL(
      regression.LeastSquaresAnalysisAndExperimentsSearch(KelVector(2), KelVector(1, 4.)),
      "KelNonLinearRegression class\n\nDimension check failure\n"
      "LeastSquaresAnalysisAndExperimentsSearch\nsizes 2 and 1");
}

// ---- KelNonLinearRegression: non-finite data refused where it comes in ----

TEST(FatalNonLinearRegression, NonFiniteAbscissaOrResponse) {
  KelMatrix X = Abscissas();
  X(2, 1) = std::nan("");
  EXPECT_KEL_FATAL(KelNonLinearRegression(1, X, Responses(), Line),
                   "KelNonLinearRegression class\nNon-finite data\nX(2, 1) = nan");
  KelMatrix Y = Responses();
  Y(3, 1) = -HUGE_VAL;
  EXPECT_KEL_FATAL(KelNonLinearRegression(1, Abscissas(), Y, Line),
                   "KelNonLinearRegression class\nNon-finite data\nY(3, 1) = -inf");
}

TEST(FatalNonLinearRegression, NonFiniteVariancesWeightsOrStart) {
  EXPECT_KEL_FATAL(
      {
        KelNonLinearRegression regression(1, Abscissas(), Responses(), Line);
        regression.SetVariances(5, KelVector(1, HUGE_VAL));
      },
      "KelNonLinearRegression class\nNon-finite data\nvariances(1) = inf");
  EXPECT_KEL_FATAL(
      {
        KelNonLinearRegression regression(1, Abscissas(), Responses(), Line);
        regression.SetWeights(KelMatrix(3, 1, 1., HUGE_VAL, 1.));
      },
      "KelNonLinearRegression class\nNon-finite data\nweights(2, 1) = inf");
  EXPECT_KEL_FATAL(
      {
        KelNonLinearRegression regression(1, Abscissas(), Responses(), Line);
        regression.SetInitialParameters(1, KelVector(1, std::nan("")));
      },
      "KelNonLinearRegression class\nNon-finite data\nb0(1) = nan");
}
