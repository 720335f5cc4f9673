// KelNonLinearRegression model discrimination: the statistical comparison of the rival models,
// the Tij measure of how far two models' predictions part at a candidate experiment, and the
// discrimination and balanced suggestions.
#include <vector>

#include "kel_nonlinear_regression.h"
#include "kel_nonlinear_tails.h"
#include "kel_output.h"
#include "kel_report_format.h"

namespace {

constexpr double tijThreshold = 1.2;
constexpr double tijSumThreshold = 1.3;
constexpr double distanceThreshold = 0.5;

}  // namespace

int KelNonLinearRegression::CountComparedModels() const {
  int count = 0;
  for (const Model& m : models)
    if (m.numParameters > 0) ++count;
  return count;
}

void KelNonLinearRegression::CompareModels() {
  KelPrint("\n\n=================================================");
  KelPrint("\nExperiments for discriminating among rival Models");
  KelPrint("\n=================================================");
  if (weightingKind == 2 && numY == 1)
    PrintComparisonOneResponse();
  else if (weightingKind == 2)
    PrintComparisonSeveralResponses();
  else
    PrintComparisonChiSquare();
  KelPause();
}

double KelNonLinearRegression::RankComparisonValues(bool byMeanSquareError, int& bestDof) {
  double best = 1e30;
  bestDof = 0;
  for (Model& m : models) {
    m.comparisonValue = 1e30;
    if (m.numParameters == 0) continue;
    m.comparisonValue = byMeanSquareError ? m.meanSquareError : m.finalSSE;
    if (m.comparisonValue < best) {
      best = m.comparisonValue;
      bestDof = m.degreesOfFreedom;
    }
  }
  return best == 0.0 ? 1.0 : best;
}

void KelNonLinearRegression::PrintPValuesWithOneMoreDegree(const std::vector<double>& statistics,
                                                           int warnings, const char* format) {
  int warningsWithOneMore = 0;
  for (int model = 1; model <= numModels; ++model) {
    const Model& m = models[static_cast<size_t>(model - 1)];
    if (m.numParameters == 0) continue;
    const double p = kel_nonlinear_tails::F(m.degreesOfFreedom, varianceDegreesOfFreedom + 1,
                                            statistics[static_cast<size_t>(model - 1)]);
    KelPrint("\n%3d", model);
    KelPrint(format, p);
    // Marked as in the table above, so that the count below can be read off the table.
    if (p < 0.05) {
      KelPrint("%s", kelReportComparisonWarning);
      ++warningsWithOneMore;
    }
  }
  if (warningsWithOneMore > warnings) {
    KelPrint("\n\n%s", kelReportComparisonWarning);
    KelPrint(" We suggest to improve the estimation of the variance");
  }
}

void KelNonLinearRegression::PrintComparisonOneResponse() {
  const double variance = responseVariances(1);
  int bestDof = 0;
  const double best = RankComparisonValues(true, bestDof);
  KelPrint("\nSigma2 %e d.o.f. %d", variance, varianceDegreesOfFreedom);
  KelPrint("\n\n         MSE         MSE/Best       Fexp         P-Value      PseudoP-Value");
  std::vector<double> statistics(models.size(), 0.0);
  int warnings = 0;
  for (int model = 1; model <= numModels; ++model) {
    Model& m = models[static_cast<size_t>(model - 1)];
    if (m.numParameters == 0) continue;
    m.comparisonRatio = m.comparisonValue / best;
    const double f = m.comparisonValue / variance;
    statistics[static_cast<size_t>(model - 1)] = f;
    m.probability = kel_nonlinear_tails::F(m.degreesOfFreedom, varianceDegreesOfFreedom, f);
    m.pseudoProbability =
        2.0 * kel_nonlinear_tails::F(m.degreesOfFreedom, bestDof, m.comparisonRatio);
    KelPrint("\n%3d %e", model, m.comparisonValue);
    KelPrint(" %e", m.comparisonRatio);
    KelPrint(" %e", f);
    KelPrint(" %e", m.probability);
    KelPrint("   %e", m.pseudoProbability);
    if (m.probability < 0.05) {
      KelPrint("%s", kelReportComparisonWarning);
      ++warnings;
    }
  }
  KelPrint("\n\nP-Values with Sigma2 %e d.o.f. %d", variance, varianceDegreesOfFreedom + 1);
  PrintPValuesWithOneMoreDegree(statistics, warnings, " %e");
}

void KelNonLinearRegression::PrintComparisonSeveralResponses() {
  int bestDof = 0;
  const double best = RankComparisonValues(false, bestDof);
  KelPrint("\n\nd.o.f. %d", varianceDegreesOfFreedom);
  KelPrint("\n\n      WeightedSE   WeightedSE/Best     P-Value      PseudoP-Value");
  std::vector<double> statistics(models.size(), 0.0);
  int warnings = 0;
  for (int model = 1; model <= numModels; ++model) {
    Model& m = models[static_cast<size_t>(model - 1)];
    if (m.numParameters == 0) continue;
    m.comparisonRatio = m.comparisonValue / best;
    const double f = m.comparisonValue / m.degreesOfFreedom;
    statistics[static_cast<size_t>(model - 1)] = f;
    m.probability = kel_nonlinear_tails::F(m.degreesOfFreedom, varianceDegreesOfFreedom, f);
    m.pseudoProbability =
        2.0 * kel_nonlinear_tails::F(m.degreesOfFreedom, bestDof, m.comparisonRatio);
    KelPrint("\n%3d %e", model, m.comparisonValue);
    KelPrint(" %e", m.comparisonRatio);
    KelPrint("   %e", m.probability);
    KelPrint("   %e", m.pseudoProbability);
    if (m.probability < 0.05) {
      KelPrint("%s", kelReportComparisonWarning);
      ++warnings;
    }
  }
  KelPrint("\n\nP-Values with %d d.o.f.", varianceDegreesOfFreedom + 1);
  PrintPValuesWithOneMoreDegree(statistics, warnings, "   %e");
}

void KelNonLinearRegression::PrintComparisonChiSquare() {
  int bestDof = 0;
  const double best = RankComparisonValues(false, bestDof);
  KelPrint("\n\n      WeightedSE   WeightedSE/Best  ChiSquare-test  PseudoP-Value");
  for (int model = 1; model <= numModels; ++model) {
    Model& m = models[static_cast<size_t>(model - 1)];
    if (m.numParameters == 0) continue;
    m.comparisonRatio = m.comparisonValue / best;
    m.probability = kel_nonlinear_tails::ChiSquare(m.degreesOfFreedom, m.comparisonValue);
    m.pseudoProbability =
        2.0 * kel_nonlinear_tails::F(m.degreesOfFreedom, bestDof, m.comparisonRatio);
    KelPrint("\n%3d %e", model, m.comparisonValue);
    KelPrint(" %e", m.comparisonRatio);
    KelPrint("   %e", m.probability);
    KelPrint("   %e", m.pseudoProbability);
    if (m.probability < 0.05 || m.pseudoProbability < 0.05) KelPrint("%s", kelReportComparisonWarning);
  }
}

void KelNonLinearRegression::ComputeTij() {
  const bool oneResponseWithVariance = weightingKind == 2 && numY == 1;
  tijSum.Resize(numCandidates);
  tijCount.assign(static_cast<size_t>(numCandidates) + 1, 0);
  bestTij.Resize(numModels, numModels);
  bestTijCandidate.assign(static_cast<size_t>(numModels * numModels), 0);
  numberOfCouples = 0;
  KelPrint("\n\nBest Experiment for each Couple of Models");
  for (int a = 1; a <= numModels; ++a) {
    const Model& ma = models[static_cast<size_t>(a - 1)];
    if (ma.numParameters == 0) continue;
    for (int b = a + 1; b <= numModels; ++b) {
      const Model& mb = models[static_cast<size_t>(b - 1)];
      if (mb.numParameters == 0) continue;
      ++numberOfCouples;
      const double e = oneResponseWithVariance ? 2.0 * (ma.degreesOfFreedom * ma.meanSquareError +
                                                        mb.degreesOfFreedom * mb.meanSquareError)
                                               : 2.0 * (ma.finalSSE + mb.finalSSE);
      const double pooled = e / (ma.degreesOfFreedom + mb.degreesOfFreedom);
      double largest = 0.0;
      int where = 0;
      for (int c = 1; c <= numCandidates; ++c) {
        double denominator = pooled;
        double numerator = 0.0;
        for (int j = 1; j <= numY; ++j) {
          denominator += ma.predictionVariance(c, j) + mb.predictionVariance(c, j);
          const int i = c + (j - 1) * numCandidates;
          double difference = ma.candidatePredictions(i) - mb.candidatePredictions(i);
          if (!oneResponseWithVariance) difference *= candidateWeights(c, j);
          numerator += difference * difference;
        }
        const double tij = numerator / denominator;
        if (where == 0 || tij > largest) {
          largest = tij;
          where = c;
        }
        tijSum(c) += tij;
        if (tij >= tijThreshold) ++tijCount[static_cast<size_t>(c)];
      }
      bestTij(a, b) = largest;
      bestTijCandidate[static_cast<size_t>((a - 1) * numModels + (b - 1))] = where;
      KelPrint("\n %d %d Tij %e Experiment: ", a, b, largest);
      for (int k = 1; k <= numX; ++k) KelPrint(" %e", candidates(where, k));
    }
  }
  KelPause();
}

void KelNonLinearRegression::PrintDiscriminationSuggestion() {
  int g = 0;
  int mostCounts = 0;
  for (int c = 1; c <= numCandidates; ++c) {
    if (g == 0 || tijSum(c) > tijSum(g)) g = c;
    if (tijCount[static_cast<size_t>(c)] > mostCounts)
      mostCounts = tijCount[static_cast<size_t>(c)];
  }
  discriminationBest = g > 0 ? tijSum(g) : 0.0;
  const double couples = numberOfCouples > 0 ? numberOfCouples : 1;
  auto printCoordinates = [&](int candidate) {
    for (int k = 1; k <= numX; ++k) KelPrint(" %e", candidates(candidate, k));
  };
  if (discriminationBest >= tijSumThreshold || mostCounts > 0) {
    discriminationCandidate = g;
    KelPrint("\n\n\nSuggestion:");
    KelPrint("\n===========");
    KelPrint("\nThe best experiment for model discrimination is:");
    KelPrint("\nx values:");
    printCoordinates(g);
    KelPrint("\nand it has been selected\nin order to maximize Tij Mean = %e",
             discriminationBest / couples);
    if (relativeXDistancePrincipal(g) < 0.1) {
      KelPrint("\n*** WARNING ***");
      KelPrint("\nThe new experiment is close to an existing one");
    }
    KelPrint("\n\n\nSuggestion:");
    KelPrint("\n===========");
    KelPrint("\nOther good experiments for model discrimination");
    KelPrint("\nselected in order to maximize the number (%d) of Tij > %e are:", mostCounts,
             tijThreshold);
    for (int c = 1; c <= numCandidates; ++c) {
      if (tijCount[static_cast<size_t>(c)] != mostCounts) continue;
      KelPrint("\nTij Mean %10.3e", tijSum(c) / couples);
      KelPrint("  x values:");
      printCoordinates(c);
    }
  } else {
    discriminationCandidate = 0;
    KelPrint("\n\n\nSuggestion:");
    KelPrint("\n===========");
    KelPrint("\nThere is not a valid experiment for model discrimination");
  }
  KelPause();
}

void KelNonLinearRegression::BalancedSuggestion() {
  // Criterion 11: principal-axes F-distances of the models, each discounted by how much worse
  // than the best the model fits.
  KelVector estimation(numCandidates);
  for (const Model& m : models) {
    if (m.numParameters == 0) continue;
    for (int c = 1; c <= numCandidates; ++c)
      estimation(c) += m.fDistancePrincipal(c) / m.comparisonRatio;
  }
  const double largest = estimation.Max();
  if (largest > 0.0) estimation /= largest;

  const double g = discriminationBest;
  KelVector discrimination(numCandidates);
  for (int c = 1; c <= numCandidates; ++c)
    discrimination(c) = g > 0.0 ? tijSum(c) / g * 2.0 : tijSum(c);

  const int compared = CountComparedModels();
  balancedScore.Resize(numCandidates);
  for (int c = 1; c <= numCandidates; ++c) {
    const double p = relativeXDistancePrincipal(c);
    if (g > tijSumThreshold) {
      if (p > distanceThreshold) balancedScore(c) = p + estimation(c) + discrimination(c);
    } else if (compared > 1) {
      if (p > distanceThreshold) balancedScore(c) = p + estimation(c);
    } else {
      balancedScore(c) = estimation(c);
    }
  }
  int best = 1;
  for (int c = 2; c <= numCandidates; ++c)
    if (balancedScore(c) > balancedScore(best)) best = c;
  balancedCandidate = best;

  KelPrint("\n\n");
  KelPrint(
      "\nSuggested experiment for balanced function (models discrimination <-> parameters "
      "estimation):");
  KelPrint("\nx values: ");
  for (int k = 1; k <= numX; ++k) KelPrint(k < numX ? "%e," : "%e", candidates(best, k));
  KelPrint("\n\nContributions");
  KelPrint("\n=============");
  KelPrint("\nCriterion 10 %e%% of its potentiality", 100.0 * relativeXDistancePrincipal(best));
  KelPrint("\nCriterion 11 %e%% of its potentiality", 100.0 * estimation(best));
  KelPrint("\nModel discrimination %e%% of its potentiality", 50.0 * discrimination(best));
  KelPause();
}
