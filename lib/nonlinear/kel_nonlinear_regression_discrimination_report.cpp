// KelNonLinearRegression discrimination reports: the comparison tables, the best experiment for
// each couple of models and the discrimination and balanced suggestions. Each prints results
// already computed and changes nothing.
#include "foundation/kel_output.h"
#include "foundation/kel_report_format.h"
#include "nonlinear/kel_nonlinear_regression.h"
#include "nonlinear/kel_nonlinear_thresholds.h"

void KelNonLinearRegression::PrintModelComparison() const {
  KelPrint("\n\n=================================================");
  KelPrint("\nExperiments for discriminating among rival Models");
  KelPrint("\n=================================================");
  PrintComparisonTable(comparison);
  KelPause();
}

void KelNonLinearRegression::PrintComparisonTable(const KelModelComparison& c) const {
  switch (c.table) {
    case KelComparisonTable::kOneResponse:
      KelPrint("\nSigma2 %e d.o.f. %d", responseVariances(1), varianceDegreesOfFreedom);
      KelPrint("\n\n         MSE         MSE/Best       Fexp         P-Value      PseudoP-Value");
      break;
    case KelComparisonTable::kSeveralResponses:
      KelPrint("\n\nd.o.f. %d", varianceDegreesOfFreedom);
      KelPrint("\n\n      WeightedSE   WeightedSE/Best     P-Value      PseudoP-Value");
      break;
    case KelComparisonTable::kChiSquare:
      KelPrint("\n\n      WeightedSE   WeightedSE/Best  ChiSquare-test  PseudoP-Value");
      break;
  }
  for (int model = 1; model <= numModels; ++model) {
    const KelModelComparisonRow& row = c.rows[static_cast<size_t>(model - 1)];
    if (!row.compared) continue;
    KelPrint("\n%3d %e", model, row.value);
    KelPrint(" %e", row.ratio);
    if (c.table == KelComparisonTable::kOneResponse) {
      KelPrint(" %e", row.statistic);
      KelPrint(" %e", row.probability);
    } else {
      KelPrint("   %e", row.probability);
    }
    KelPrint("   %e", row.pseudoProbability);
    if (ComparisonWarning(c, row)) KelPrint("%s", kelReportComparisonWarning);
  }
  if (c.table != KelComparisonTable::kChiSquare) PrintPValuesWithOneMoreDegree(c);
}

void KelNonLinearRegression::PrintPValuesWithOneMoreDegree(const KelModelComparison& c) const {
  const bool oneResponse = c.table == KelComparisonTable::kOneResponse;
  if (oneResponse)
    KelPrint("\n\nP-Values with Sigma2 %e d.o.f. %d", responseVariances(1),
             varianceDegreesOfFreedom + 1);
  else
    KelPrint("\n\nP-Values with %d d.o.f.", varianceDegreesOfFreedom + 1);
  for (int model = 1; model <= numModels; ++model) {
    const KelModelComparisonRow& row = c.rows[static_cast<size_t>(model - 1)];
    if (!row.compared) continue;
    KelPrint("\n%3d", model);
    KelPrint(oneResponse ? " %e" : "   %e", row.probabilityOneMoreDegree);
    // Marked as in the table above, so that the count below can be read off the table.
    if (OneMoreDegreeWarning(row)) KelPrint("%s", kelReportComparisonWarning);
  }
  if (c.warningsOneMoreDegree > c.warnings) {
    KelPrint("\n\n%s", kelReportComparisonWarning);
    KelPrint(" We suggest to improve the estimation of the variance");
  }
}

void KelNonLinearRegression::PrintCandidateCoordinates(int candidate) const {
  for (int k = 1; k <= numX; ++k) KelPrint(" %e", candidates(candidate, k));
}

void KelNonLinearRegression::PrintBestTij() const {
  const KelDiscrimination& d = discrimination;
  KelPrint("\n\nBest Experiment for each Couple of Models");
  for (int a = 1; a <= numModels; ++a) {
    if (models[static_cast<size_t>(a - 1)].numParameters == 0) continue;
    for (int b = a + 1; b <= numModels; ++b) {
      if (models[static_cast<size_t>(b - 1)].numParameters == 0) continue;
      KelPrint("\n %d %d Tij %e Experiment: ", a, b, d.bestTij(a, b));
      PrintCandidateCoordinates(
          d.bestTijCandidate[static_cast<size_t>((a - 1) * numModels + (b - 1))]);
    }
  }
  KelPause();
}

void KelNonLinearRegression::PrintDiscriminationSuggestion() const {
  const KelDiscrimination& d = discrimination;
  KelPrint("\n\n\nSuggestion:");
  KelPrint("\n===========");
  if (d.candidate == 0) {
    KelPrint("\nThere is not a valid experiment for model discrimination");
    KelPause();
    return;
  }
  const double couples = d.numberOfCouples > 0 ? d.numberOfCouples : 1;
  KelPrint("\nThe best experiment for model discrimination is:");
  KelPrint("\nx values:");
  PrintCandidateCoordinates(d.candidate);
  KelPrint("\nand it has been selected\nin order to maximize Tij Mean = %e",
           d.largestSum / couples);
  if (relativeXDistancePrincipal(d.candidate) < kel_nonlinear_thresholds::kCloseExperiment) {
    KelPrint("\n*** WARNING ***");
    KelPrint("\nThe new experiment is close to an existing one");
  }
  KelPrint("\n\n\nSuggestion:");
  KelPrint("\n===========");
  KelPrint("\nOther good experiments for model discrimination");
  KelPrint("\nselected in order to maximize the number (%d) of Tij > %e are:", d.mostCounts,
           TijThreshold());
  for (int c = 1; c <= numCandidates; ++c) {
    if (d.tijCount[static_cast<size_t>(c)] != d.mostCounts) continue;
    KelPrint("\nTij Mean %10.3e", d.tijSum(c) / couples);
    KelPrint("  x values:");
    PrintCandidateCoordinates(c);
  }
  KelPause();
}

void KelNonLinearRegression::PrintBalancedSuggestion() const {
  const KelBalancedSuggestion& s = balanced;
  const int best = s.candidate;
  KelPrint("\n\n");
  KelPrint(
      "\nSuggested experiment for balanced function (models discrimination <-> parameters "
      "estimation):");
  KelPrint("\nx values: ");
  for (int k = 1; k <= numX; ++k) KelPrint(k < numX ? "%e," : "%e", candidates(best, k));
  KelPrint("\n\nContributions");
  KelPrint("\n=============");
  KelPrint("\nCriterion 10 %e%% of its potentiality", 100.0 * relativeXDistancePrincipal(best));
  KelPrint("\nCriterion 11 %e%% of its potentiality", 100.0 * s.estimation(best));
  KelPrint("\nModel discrimination %e%% of its potentiality", 50.0 * s.discrimination(best));
  KelPause();
}
