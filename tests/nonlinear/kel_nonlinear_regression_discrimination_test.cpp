// Comparison and discrimination of KelNonLinearRegression as results of their own: computed
// before any report prints them, the same whichever analysis (or none) ran, and read by the
// reports without being changed by them.
#include <cmath>
#include <string>

#include "kel_test_support.h"
#include "kelmath.h"

using kel_test::CaptureOutput;

namespace {

// Model 1: y = b1 + b2 x. Model 2: y = b1 x. Model 3: y = b1 x^2.
void RivalLines(int model, int, KelVector& b, KelVector& x, KelVector& y) {
  if (model == 1)
    y(1) = b(1) + b(2) * x(1);
  else if (model == 2)
    y(1) = b(1) * x(1);
  else
    y(1) = b(1) * x(1) * x(1);
}

const KelMatrix& Experiments() {
  static const KelMatrix X(5, 1, 1., 2., 3., 4., 5.);
  return X;
}
const KelMatrix& Responses() {
  static const KelMatrix Y(5, 1, 1.3, 1.9, 3.2, 3.8, 5.3);
  return Y;
}

struct Snapshot {
  double value[3], ratio[3], probability[3], pseudo[3];
  double bestTij12 = 0.0, bestTij13 = 0.0, bestTij23 = 0.0;
  int where12 = 0, where13 = 0, where23 = 0;
  int couples = 0, discrimination = 0, balanced = 0;
  KelVector tijSums, balancedScores;
};

Snapshot Take(KelNonLinearRegression& r) {
  Snapshot s;
  for (int m = 1; m <= 3; ++m) {
    s.value[m - 1] = r.ComparisonValue(m);
    s.ratio[m - 1] = r.ComparisonRatio(m);
    s.probability[m - 1] = r.ComparisonProbability(m);
    s.pseudo[m - 1] = r.ComparisonPseudoProbability(m);
  }
  s.bestTij12 = r.BestTij(1, 2);
  s.bestTij13 = r.BestTij(1, 3);
  s.bestTij23 = r.BestTij(2, 3);
  s.where12 = r.BestTijCandidate(1, 2);
  s.where13 = r.BestTijCandidate(1, 3);
  s.where23 = r.BestTijCandidate(2, 3);
  s.couples = r.Discrimination().numberOfCouples;
  s.discrimination = r.Discrimination().candidate;
  s.balanced = r.Balanced().candidate;
  s.tijSums = r.Discrimination().tijSum;
  s.balancedScores = r.Balanced().score;
  return s;
}

void ExpectSame(const Snapshot& a, const Snapshot& b) {
  for (int m = 0; m < 3; ++m) {
    EXPECT_EQ(a.value[m], b.value[m]) << "model " << m + 1;
    EXPECT_EQ(a.ratio[m], b.ratio[m]) << "model " << m + 1;
    EXPECT_EQ(a.probability[m], b.probability[m]) << "model " << m + 1;
    EXPECT_EQ(a.pseudo[m], b.pseudo[m]) << "model " << m + 1;
  }
  EXPECT_EQ(a.bestTij12, b.bestTij12);
  EXPECT_EQ(a.bestTij13, b.bestTij13);
  EXPECT_EQ(a.bestTij23, b.bestTij23);
  EXPECT_EQ(a.where12, b.where12);
  EXPECT_EQ(a.where13, b.where13);
  EXPECT_EQ(a.where23, b.where23);
  EXPECT_EQ(a.couples, b.couples);
  EXPECT_EQ(a.discrimination, b.discrimination);
  EXPECT_EQ(a.balanced, b.balanced);
  ASSERT_EQ(a.tijSums.Size(), b.tijSums.Size());
  for (int c = 1; c <= a.tijSums.Size(); ++c) EXPECT_EQ(a.tijSums(c), b.tijSums(c)) << c;
  ASSERT_EQ(a.balancedScores.Size(), b.balancedScores.Size());
  for (int c = 1; c <= a.balancedScores.Size(); ++c)
    EXPECT_EQ(a.balancedScores(c), b.balancedScores(c)) << c;
}

class NonLinearDiscrimination : public kel_test::QuietWarnings {
 protected:
  const KelVector xMin = KelVector(1, 0.);
  const KelVector xMax = KelVector(1, 10.);
};

// The comparison exists as soon as the models do: read before any analysis it equals what the
// search reads after printing it, and no report changes it.
TEST_F(NonLinearDiscrimination, AccessorsBeforeAnyReportEqualThoseAfter) {
  for (bool withVariance : {false, true}) {
    SCOPED_TRACE(withVariance ? "variance assigned" : "unit weights");
    KelNonLinearRegression r(3, Experiments(), Responses(), RivalLines);
    if (withVariance) r.SetVariances(3, KelVector(1, 0.02));
    r.SetInitialParameters(1, KelVector(2, 0., 1.));
    r.SetInitialParameters(2, KelVector(1, 1.));
    r.SetInitialParameters(3, KelVector(1, 0.2));
    double before[3];
    for (int m = 1; m <= 3; ++m) before[m - 1] = r.ComparisonProbability(m);
    // The search computes everything its report prints, and prints nothing.
    const std::string quiet = CaptureOutput([&] { r.SearchExperiments(xMin, xMax); });
    EXPECT_EQ(quiet, "");
    const Snapshot computed = Take(r);
    for (int m = 1; m <= 3; ++m) EXPECT_EQ(computed.probability[m - 1], before[m - 1]);
    EXPECT_EQ(computed.couples, 3);
    EXPECT_GT(computed.balanced, 0);

    const std::string report =
        CaptureOutput([&] { r.LeastSquaresAnalysisAndExperimentsSearch(xMin, xMax); });
    EXPECT_NE(report.find("Experiments for discriminating among rival Models"), std::string::npos);
    ExpectSame(computed, Take(r));
    // Reading them again after the report, or printing the summary, changes nothing.
    CaptureOutput([&] { r.LeastSquaresAnalysis(); });
    ExpectSame(computed, Take(r));
  }
}

// The comparison's values in closed form, before any report: with unit weights the value is the
// SSE and the chi-square tail with 4 degrees of freedom is (1 + x/2) exp(-x/2); with a variance
// the F(4, 3) tail of MSE / variance.
TEST_F(NonLinearDiscrimination, ComparisonBeforeAnyReportHasItsClosedForms) {
  KelNonLinearRegression r(3, Experiments(), Responses(), RivalLines);
  r.SetInitialParameters(2, KelVector(1, 1.));
  r.SetInitialParameters(3, KelVector(1, 0.2));
  const double sse2 = r.FinalSSE(2), sse3 = r.FinalSSE(3);
  EXPECT_EQ(r.ComparisonValue(1), kelUnsetValue);
  EXPECT_EQ(r.ComparisonProbability(1), 0.0);
  EXPECT_EQ(r.ComparisonValue(2), sse2);
  EXPECT_NEAR(r.ComparisonProbability(2), (1 + sse2 / 2) * std::exp(-sse2 / 2), 1e-9);
  EXPECT_DOUBLE_EQ(r.ComparisonRatio(3), sse3 / std::min(sse2, sse3));
  // A model that receives starting parameters joins the comparison.
  r.SetInitialParameters(1, KelVector(2, 0., 1.));
  EXPECT_EQ(r.ComparisonValue(1), r.FinalSSE(1));
  EXPECT_EQ(r.Comparison().table, KelComparisonTable::kChiSquare);
}

// With fewer than two models there is nothing to compare, before and after the search.
TEST_F(NonLinearDiscrimination, OneModelLeavesComparisonAndDiscriminationUnset) {
  KelNonLinearRegression r(3, Experiments(), Responses(), RivalLines);
  r.SetInitialParameters(2, KelVector(1, 1.));
  EXPECT_EQ(r.ComparisonValue(2), kelUnsetValue);
  EXPECT_EQ(r.ComparisonRatio(2), kelUnsetValue);
  CaptureOutput([&] { r.LeastSquaresAnalysisAndExperimentsSearch(xMin, xMax); });
  EXPECT_EQ(r.ComparisonValue(2), kelUnsetValue);
  EXPECT_EQ(r.Discrimination().numberOfCouples, 0);
  EXPECT_EQ(r.Discrimination().candidate, 0);
  EXPECT_EQ(r.Balanced().candidate, 0);
  EXPECT_EQ(r.Discrimination().tijSum.Size(), 0);
}

}  // namespace
