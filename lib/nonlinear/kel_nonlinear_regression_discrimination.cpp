// KelNonLinearRegression model discrimination, computed without printing: the statistical
// comparison of the rival models, the Tij measure of how far two models' predictions part at a
// candidate experiment, and the discrimination and balanced suggestions.
#include <vector>

#include "nonlinear/kel_nonlinear_regression.h"
#include "nonlinear/kel_nonlinear_tails.h"
#include "nonlinear/kel_nonlinear_thresholds.h"

namespace {

constexpr double kTijThreshold = kel_nonlinear_thresholds::kTij;
constexpr double kTijSumThreshold = kel_nonlinear_thresholds::kTijSum;
constexpr double kDistanceThreshold = 0.5;
// A P-value below this marks the model as not fitting.
constexpr double kSignificanceLevel = kel_nonlinear_thresholds::kModelRejected;

}  // namespace

double KelNonLinearRegression::TijThreshold() {
  return kTijThreshold;
}

int KelNonLinearRegression::CountComparedModels() const {
  int count = 0;
  for (const Model& m : models)
    if (m.numParameters > 0) ++count;
  return count;
}

KelComparisonTable KelNonLinearRegression::PrimaryComparisonTable() const {
  if (weightingKind != 2) return KelComparisonTable::kChiSquare;
  return numY == 1 ? KelComparisonTable::kOneResponse : KelComparisonTable::kSeveralResponses;
}

KelModelComparison KelNonLinearRegression::ComputeComparison(KelComparisonTable table) const {
  KelModelComparison result;
  result.table = table;
  result.rows.resize(models.size());
  // The one-response table ranks the mean square errors, the others the weighted SSE.
  const bool byMeanSquareError = table == KelComparisonTable::kOneResponse;
  double best = kelUnsetValue;
  for (size_t k = 0; k < models.size(); ++k) {
    const Model& m = models[k];
    if (m.numParameters == 0) continue;
    KelModelComparisonRow& row = result.rows[k];
    row.compared = true;
    row.value = byMeanSquareError ? m.statistics.meanSquareError : m.estimate.finalSSE;
    if (row.value < best) {
      best = row.value;
      result.bestDegreesOfFreedom = m.statistics.degreesOfFreedom;
    }
  }
  result.best = best == 0.0 ? 1.0 : best;
  for (size_t k = 0; k < models.size(); ++k) {
    const Model& m = models[k];
    KelModelComparisonRow& row = result.rows[k];
    if (!row.compared) continue;
    row.ratio = row.value / result.best;
    row.pseudoProbability = 2.0 * kel_nonlinear_tails::F(m.statistics.degreesOfFreedom,
                                                         result.bestDegreesOfFreedom, row.ratio);
    if (table == KelComparisonTable::kChiSquare) {
      row.probability = kel_nonlinear_tails::ChiSquare(m.statistics.degreesOfFreedom, row.value);
      continue;
    }
    row.statistic = table == KelComparisonTable::kOneResponse
                        ? row.value / responseVariances(1)
                        : row.value / m.statistics.degreesOfFreedom;
    row.probability = kel_nonlinear_tails::F(m.statistics.degreesOfFreedom,
                                             varianceDegreesOfFreedom, row.statistic);
    row.probabilityOneMoreDegree = kel_nonlinear_tails::F(
        m.statistics.degreesOfFreedom, varianceDegreesOfFreedom + 1, row.statistic);
    if (row.probability < kSignificanceLevel) ++result.warnings;
    if (row.probabilityOneMoreDegree < kSignificanceLevel) ++result.warningsOneMoreDegree;
  }
  return result;
}

bool KelNonLinearRegression::ComparisonWarning(const KelModelComparison& comparison,
                                               const KelModelComparisonRow& row) {
  if (comparison.table == KelComparisonTable::kChiSquare)
    return row.probability < kSignificanceLevel || row.pseudoProbability < kSignificanceLevel;
  return row.probability < kSignificanceLevel;
}

bool KelNonLinearRegression::OneMoreDegreeWarning(const KelModelComparisonRow& row) {
  return row.probabilityOneMoreDegree < kSignificanceLevel;
}

const KelModelComparison& KelNonLinearRegression::EnsureComparison() {
  // Estimating a model clears the comparison, so the loop leaves it valid only when every
  // compared model already was estimated.
  for (int model = 1; model <= numModels; ++model) Ready(model);
  if (!comparisonReady) {
    comparison = KelModelComparison();
    comparison.rows.resize(models.size());
    // A comparison needs two models; with fewer every row stays unset.
    if (CountComparedModels() >= 2) comparison = ComputeComparison(PrimaryComparisonTable());
    comparisonReady = true;
  }
  return comparison;
}

void KelNonLinearRegression::ComputeTij() {
  const bool oneResponseWithVariance = PrimaryComparisonTable() == KelComparisonTable::kOneResponse;
  KelDiscrimination& d = discrimination;
  d.tijSum.Resize(numCandidates);
  d.tijCount.assign(static_cast<size_t>(numCandidates) + 1, 0);
  d.bestTij.Resize(numModels, numModels);
  d.bestTijCandidate.assign(static_cast<size_t>(numModels * numModels), 0);
  d.numberOfCouples = 0;
  for (int a = 1; a <= numModels; ++a) {
    const Model& ma = models[static_cast<size_t>(a - 1)];
    if (ma.numParameters == 0) continue;
    for (int b = a + 1; b <= numModels; ++b) {
      const Model& mb = models[static_cast<size_t>(b - 1)];
      if (mb.numParameters == 0) continue;
      ++d.numberOfCouples;
      const double e = oneResponseWithVariance
                           ? 2.0 * (ma.statistics.degreesOfFreedom * ma.statistics.meanSquareError +
                                    mb.statistics.degreesOfFreedom * mb.statistics.meanSquareError)
                           : 2.0 * (ma.estimate.finalSSE + mb.estimate.finalSSE);
      const double pooled = e / (ma.statistics.degreesOfFreedom + mb.statistics.degreesOfFreedom);
      double largest = 0.0;
      int where = 0;
      for (int c = 1; c <= numCandidates; ++c) {
        double denominator = pooled;
        double numerator = 0.0;
        for (int j = 1; j <= numY; ++j) {
          denominator += ma.search.predictionVariance(c, j) + mb.search.predictionVariance(c, j);
          const int i = c + (j - 1) * numCandidates;
          double difference = ma.search.candidatePredictions(i) - mb.search.candidatePredictions(i);
          if (!oneResponseWithVariance) difference *= candidateWeights(c, j);
          numerator += difference * difference;
        }
        const double tij = numerator / denominator;
        if (where == 0 || tij > largest) {
          largest = tij;
          where = c;
        }
        d.tijSum(c) += tij;
        if (tij >= kTijThreshold) ++d.tijCount[static_cast<size_t>(c)];
      }
      d.bestTij(a, b) = largest;
      d.bestTijCandidate[static_cast<size_t>((a - 1) * numModels + (b - 1))] = where;
    }
  }
}

void KelNonLinearRegression::ChooseDiscriminationCandidate() {
  KelDiscrimination& d = discrimination;
  int g = 0;
  d.mostCounts = 0;
  for (int c = 1; c <= numCandidates; ++c) {
    if (g == 0 || d.tijSum(c) > d.tijSum(g)) g = c;
    if (d.tijCount[static_cast<size_t>(c)] > d.mostCounts)
      d.mostCounts = d.tijCount[static_cast<size_t>(c)];
  }
  d.largestSumCandidate = g;
  d.largestSum = g > 0 ? d.tijSum(g) : 0.0;
  d.candidate = (d.largestSum >= kTijSumThreshold || d.mostCounts > 0) ? g : 0;
}

void KelNonLinearRegression::ComputeBalancedSuggestion() {
  KelBalancedSuggestion& s = balanced;
  // Criterion 11: principal-axes F-distances of the models, each discounted by how much worse
  // than the best the model fits.
  s.estimation.Resize(numCandidates);
  for (size_t k = 0; k < models.size(); ++k) {
    const Model& m = models[k];
    if (m.numParameters == 0) continue;
    const double ratio = comparison.rows[k].ratio;
    for (int c = 1; c <= numCandidates; ++c)
      s.estimation(c) += m.search.fDistancePrincipal(c) / ratio;
  }
  const double largest = s.estimation.Max();
  if (largest > 0.0) s.estimation /= largest;

  const double g = discrimination.largestSum;
  const KelVector& tijSum = discrimination.tijSum;
  s.discrimination.Resize(numCandidates);
  for (int c = 1; c <= numCandidates; ++c)
    s.discrimination(c) = g > 0.0 ? tijSum(c) / g * 2.0 : tijSum(c);

  const int compared = CountComparedModels();
  s.score.Resize(numCandidates);
  for (int c = 1; c <= numCandidates; ++c) {
    const double p = relativeXDistancePrincipal(c);
    if (g > kTijSumThreshold) {
      if (p > kDistanceThreshold) s.score(c) = p + s.estimation(c) + s.discrimination(c);
    } else if (compared > 1) {
      if (p > kDistanceThreshold) s.score(c) = p + s.estimation(c);
    } else {
      s.score(c) = s.estimation(c);
    }
  }
  int best = 1;
  for (int c = 2; c <= numCandidates; ++c)
    if (s.score(c) > s.score(best)) best = c;
  s.candidate = best;
}

void KelNonLinearRegression::ComputeDiscrimination() {
  discrimination = KelDiscrimination();
  balanced = KelBalancedSuggestion();
  if (CountComparedModels() < 2) return;
  EnsureComparison();
  ComputeTij();
  ChooseDiscriminationCandidate();
  ComputeBalancedSuggestion();
}
