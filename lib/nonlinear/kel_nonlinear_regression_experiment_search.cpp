// KelNonLinearRegression experiment search: the grid of candidate experiments, their distances
// from the existing experiments in x and in the Jacobian rows, the criteria of the augmented
// Jacobian, and the suggestions for each model.
#include <algorithm>
#include <cmath>
#include <vector>

#include "factorizations/kel_svd.h"
#include "foundation/kel_error_details.h"
#include "foundation/kel_errors.h"
#include "foundation/kel_output.h"
#include "nonlinear/kel_nonlinear_regression.h"
#include "nonlinear/kel_nonlinear_thresholds.h"

namespace {

// Names of the criteria 1..7 as the suggestions print them.
const char* const criterionNames[8] = {"",
                                       "\nMax determinant Criterion",
                                       "\nMax dMin Criterion",
                                       "\nMax fT(FTF)-1f Criterion",
                                       "\nMax fT(FTF)-1f Criterion",
                                       "\nSum of diameters Criterion",
                                       "\nMax of the condition number inverse Criterion",
                                       "\nSphericity Criterion"};

// Value of criterion 1, 2, 5, 6 or 7 from the singular values w[1..n].
double criterionValue(int criterion, int n, const double* w) {
  double product = 1.0, sum = 0.0, smallest = 0.0, largest = 0.0;
  for (int k = 1; k <= n; ++k) {
    product *= std::fabs(w[k]);
    sum += std::fabs(w[k]);
    if (k == 1 || w[k] < smallest) smallest = w[k];
    if (k == 1 || w[k] > largest) largest = w[k];
  }
  switch (criterion) {
    case 1:
      return product;
    case 2:
      return smallest;
    case 6:
      return largest == 0.0 ? 0.0 : smallest / largest;
    default:  // 5 and 7
      return sum;
  }
}

// Position of the largest element (the first on ties); 0 for an empty vector.
int positionOfLargest(const KelVector& v) {
  int best = 0;
  for (int i = 1; i <= v.Size(); ++i)
    if (best == 0 || v(i) > v(best)) best = i;
  return best;
}

// Smallest Euclidean distance from each row of `points` to any row of `existing`.
void smallestDistances(const KelMatrix& points, const KelMatrix& existing, KelVector& distance) {
  distance.Resize(points.Rows(), false);
  for (int c = 1; c <= points.Rows(); ++c) {
    double best = 0.0;
    for (int e = 1; e <= existing.Rows(); ++e) {
      double sum = 0.0;
      for (int k = 1; k <= points.Columns(); ++k) {
        const double d = points(c, k) - existing(e, k);
        sum += d * d;
      }
      if (e == 1 || sum < best) best = sum;
    }
    distance(c) = std::sqrt(best);
  }
}

// Rows mapped onto the principal axes: z_i = (v_i^T x) / sigma_i.
KelMatrix principalCoordinates(const KelMatrix& points, const KelMatrix& V,
                               const KelVector& sigma) {
  const int n = points.Columns();
  KelMatrix z(points.Rows(), n);
  for (int r = 1; r <= points.Rows(); ++r)
    for (int i = 1; i <= n; ++i) {
      double sum = 0.0;
      for (int k = 1; k <= n; ++k) sum += V(k, i) * points(r, k);
      z(r, i) = sum / sigma(i);
    }
  return z;
}

// value / largest value, with a largest value of 0 taken as 1e-10.
void makeRelative(KelVector& v) {
  double largest = v.Size() > 0 ? v.Max() : 0.0;
  if (largest == 0.0) largest = 1e-10;
  for (int i = 1; i <= v.Size(); ++i) v(i) /= largest;
}

}  // namespace

void KelNonLinearRegression::PrepareSearch(const KelVector& xMin, const KelVector& xMax) {
  if (weightingKind == 1)
    KelError("%s\nYou MUST use the weight version of\nLeastSquaresAnalysisAndExperimentsSearch",
             kelClassNonLinearRegression);
  if (xMin.Size() != numX)
    KelError("%s%sLeastSquaresAnalysisAndExperimentsSearch\n%s", kelClassNonLinearRegression,
             kelErrCheck, KelSizesDetail(xMin.Size(), numX).c_str());
  if (xMax.Size() != numX)
    KelError("%s%sLeastSquaresAnalysisAndExperimentsSearch\n%s", kelClassNonLinearRegression,
             kelErrCheck, KelSizesDetail(xMax.Size(), numX).c_str());
  BuildCandidates(xMin, xMax);
  ComputeXDistances();
  for (Model& m : models) {
    for (int& s : m.search.suggestions) s = 0;
    m.search.effectiveCriterion = 0;
  }
}

void KelNonLinearRegression::SearchModel(int model) {
  if (Diagnosed(model) == nullptr) return;
  ComputeCandidateModel(model);
  ComputeFDistances(model);
  ChooseCriterion(model);
  RunCriterion(model);
  ChooseSuggestions(model);
}

void KelNonLinearRegression::SearchExperiments(const KelVector& xMin, const KelVector& xMax) {
  PrepareSearch(xMin, xMax);
  for (int model = 1; model <= numModels; ++model) SearchModel(model);
  ComputeDiscrimination();
}

void KelNonLinearRegression::LeastSquaresAnalysisAndExperimentsSearch(const KelVector& xMin,
                                                                      const KelVector& xMax) {
  PrepareSearch(xMin, xMax);
  // Model by model, so that whatever the estimation of a model prints precedes its report.
  for (int model = 1; model <= numModels; ++model) {
    if (!HasInitialParameters(model)) continue;
    LeastSquaresReport(model);
    SearchModel(model);
    PrintSuggestions(model);
  }
  ComputeDiscrimination();
  if (CountComparedModels() < 2) return;
  PrintModelComparison();
  PrintBestTij();
  PrintDiscriminationSuggestion();
  PrintBalancedSuggestion();
}

void KelNonLinearRegression::BuildCandidates(const KelVector& xMin, const KelVector& xMax) {
  if (numX == 1)
    pointsPerAxis = 100;
  else if (numX == 2)
    pointsPerAxis = 10;
  else
    pointsPerAxis = static_cast<int>(std::pow(1000.0, 1.0 / numX));
  numCandidates = 1;
  for (int k = 1; k <= numX; ++k) numCandidates *= pointsPerAxis;
  candidates.Resize(numCandidates, numX, false);
  std::vector<int> counter(static_cast<size_t>(numX) + 1, 1);
  // With a single point per axis (ten or more independent variables) the grid is xMin.
  const double divisions = pointsPerAxis > 1 ? pointsPerAxis - 1 : 1;
  for (int i = 1; i <= numCandidates; ++i) {
    for (int k = 1; k <= numX; ++k)
      candidates(i, k) =
          xMin(k) + (counter[static_cast<size_t>(k)] - 1) * (xMax(k) - xMin(k)) / divisions;
    // Odometer, first coordinate fastest.
    for (int k = 1; k <= numX; ++k) {
      if (++counter[static_cast<size_t>(k)] <= pointsPerAxis) break;
      counter[static_cast<size_t>(k)] = 1;
    }
  }
  candidateWeights.Resize(numCandidates, numY, false);
  candidateVariances.Resize(numCandidates, numY, false);
  for (int j = 1; j <= numY; ++j) {
    const bool assigned = weightingKind == 2;
    const double variance = assigned ? responseVariances(j) : 1.0;
    const double weight = assigned ? 1.0 / std::sqrt(variance) : 1.0;
    for (int i = 1; i <= numCandidates; ++i) {
      candidateWeights(i, j) = weight;
      candidateVariances(i, j) = variance;
    }
  }
}

void KelNonLinearRegression::ComputeXDistances() {
  smallestDistances(candidates, X, relativeXDistance);
  relativeXDistancePrincipal = relativeXDistance;
  if (numExperiments >= numX && numX != 1) {
    KelFactorizedSVD svd(X);
    KelVector sigma;
    KelMatrix V, U;
    svd.GetSortedDecomposition(&sigma, &V, &U);
    if (sigma.Size() >= numX && sigma(numX) > 0.0) {
      const KelMatrix existing = principalCoordinates(X, V, sigma);
      const KelMatrix mapped = principalCoordinates(candidates, V, sigma);
      smallestDistances(mapped, existing, relativeXDistancePrincipal);
    }
  }
  makeRelative(relativeXDistance);
  makeRelative(relativeXDistancePrincipal);
}

void KelNonLinearRegression::ComputeCandidateModel(int model) {
  Model& m = models[static_cast<size_t>(model - 1)];
  const int rows = numCandidates * numY;
  // Predictions at the candidates (experiment number 0), then the Jacobian there, by the same
  // derivatives as at the stored experiments.
  KelVector b = m.estimate.parameters;
  PredictRows(model, b, candidates, false, m.search.candidatePredictions);
  KelVector rowWeight(rows);
  for (int c = 1; c <= numCandidates; ++c)
    for (int j = 1; j <= numY; ++j) rowWeight(c + (j - 1) * numCandidates) = candidateWeights(c, j);
  JacobianRows(model, b, candidates, false, rowWeight, m.search.candidateJacobian);
  m.search.predictionVariance.Resize(numCandidates, numY);
}

void KelNonLinearRegression::ComputeFDistances(int model) {
  Model& m = models[static_cast<size_t>(model - 1)];
  const int n = m.numParameters;
  // Only the rows of the last response are compared.
  KelMatrix candidateRows(numCandidates, n), existingRows(numExperiments, n);
  for (int c = 1; c <= numCandidates; ++c)
    for (int k = 1; k <= n; ++k)
      candidateRows(c, k) = m.search.candidateJacobian(c + (numY - 1) * numCandidates, k);
  for (int e = 1; e <= numExperiments; ++e)
    for (int k = 1; k <= n; ++k)
      existingRows(e, k) = m.estimate.jacobian(e + (numY - 1) * numExperiments, k);
  smallestDistances(candidateRows, existingRows, m.search.fDistance);
  m.search.fDistancePrincipal = m.search.fDistance;
  const KelVector& sigma = m.statistics.singularValues;
  if (sigma.Size() >= n && sigma(n) > 0.0 && n != 1) {
    const KelMatrix existing = principalCoordinates(existingRows, m.statistics.rightVectors, sigma);
    const KelMatrix mapped = principalCoordinates(candidateRows, m.statistics.rightVectors, sigma);
    smallestDistances(mapped, existing, m.search.fDistancePrincipal);
  }
  makeRelative(m.search.fDistance);
  makeRelative(m.search.fDistancePrincipal);
}

void KelNonLinearRegression::ChooseCriterion(int model) {
  Model& m = models[static_cast<size_t>(model - 1)];
  if ((requestedCriterion == 3 || requestedCriterion == 4) && numY > 1) requestedCriterion = 0;
  int criterion = requestedCriterion;
  if (criterion == 0)
    criterion = (m.diagnostics.correlationFlag ||
                 m.statistics.conditionNumber > kel_nonlinear_thresholds::kIllConditioned)
                    ? 10
                    : 11;
  if (criterion >= 1 && criterion <= 7) {
    const int n = m.numParameters;
    double base = 1.0;
    if (nY < n)
      base = 0.0;
    else if (criterion != 3 && criterion != 4)
      base = criterionValue(criterion, n, m.statistics.singularValues.Data() - 1);
    if (base == 0.0) criterion = 10;
  }
  m.search.effectiveCriterion = criterion;
}

void KelNonLinearRegression::RunCriterion(int model) {
  Model& m = models[static_cast<size_t>(model - 1)];
  const int criterion = m.search.effectiveCriterion;
  if (criterion < 1 || criterion > 7) return;
  const int n = m.numParameters;
  const int rows = nY + numY;
  KelVector value(numCandidates);
  // Storage reused by every candidate: the augmented matrix (overwritten by U), singular
  // values, V, the right-hand side and solution of the transposed solves.
  KelMatrix augmented(rows, n);
  KelMatrix V;
  KelSvdWorkspace workspace;
  std::vector<double> sigma(static_cast<size_t>(n) + 1);
  std::vector<double> row(static_cast<size_t>(n) + 1);
  std::vector<double> z(static_cast<size_t>(rows) + 1);
  KelVector g(n), zExisting;
  if (criterion == 3 || criterion == 4) jacobianSvd = m.estimate.jacobian;

  for (int c = 1; c <= numCandidates; ++c) {
    double* const* a = augmented.RowPointers();
    for (int i = 1; i <= nY; ++i)
      for (int k = 1; k <= n; ++k) a[i][k] = m.estimate.jacobian(i, k);
    for (int j = 1; j <= numY; ++j)
      for (int k = 1; k <= n; ++k)
        a[nY + j][k] = m.search.candidateJacobian(c + (j - 1) * numCandidates, k);
    SVDFactorization(4, rows, n, a, sigma.data(), &V, workspace);
    double largest = 0.0;
    for (int k = 1; k <= n; ++k) largest = std::max(largest, sigma[static_cast<size_t>(k)]);
    const double threshold = 2.220446049250313e-16 * largest;

    if (criterion == 3 || criterion == 4) {
      for (int k = 1; k <= n; ++k) g(k) = m.search.candidateJacobian(c, k);
      TransposeSolve(&jacobianSvd, g, &zExisting);
      value(c) = TProduct(zExisting, zExisting);
    } else {
      value(c) = criterionValue(criterion, n, sigma.data());
    }
    for (int j = 1; j <= numY; ++j) {
      for (int k = 1; k <= n; ++k)
        row[static_cast<size_t>(k)] = m.search.candidateJacobian(c + (j - 1) * numCandidates, k);
      SVDSolution(rows, n, a, sigma.data(), V, row.data(), z.data(), threshold);
      double zz = 0.0;
      for (int i = 1; i <= rows; ++i) zz += z[static_cast<size_t>(i)] * z[static_cast<size_t>(i)];
      m.search.predictionVariance(c, j) = zz * candidateVariances(c, j);
    }
  }
  m.search.suggestions[kSuggestionCriterion] = positionOfLargest(value);
}

void KelNonLinearRegression::ChooseSuggestions(int model) {
  Model& m = models[static_cast<size_t>(model - 1)];
  m.search.suggestions[kSuggestionXDistance] = positionOfLargest(relativeXDistance);
  m.search.suggestions[kSuggestionFDistance] = positionOfLargest(m.search.fDistance);
  m.search.suggestions[kSuggestionXDistancePrincipal] =
      positionOfLargest(relativeXDistancePrincipal);
  m.search.suggestions[kSuggestionFDistancePrincipal] =
      positionOfLargest(m.search.fDistancePrincipal);
}

void KelNonLinearRegression::PrintSuggestions(int model) const {
  const Model& m = models[static_cast<size_t>(model - 1)];
  auto printCoordinates = [&](int candidate) {
    KelPrint("\nx values:");
    PrintCandidateCoordinates(candidate);
  };
  KelPrint("\n\n\nSuggestions for model %d", model);
  KelPrint("\n========================");
  if (m.search.effectiveCriterion >= 1 && m.search.effectiveCriterion <= 7) {
    KelPrint("%s", criterionNames[m.search.effectiveCriterion]);
    printCoordinates(m.search.suggestions[kSuggestionCriterion]);
  }
  KelPrint("\nMax XDistance Criterion");
  printCoordinates(m.search.suggestions[kSuggestionXDistance]);
  KelPrint("\nMax FDistance Criterion");
  printCoordinates(m.search.suggestions[kSuggestionFDistance]);
  KelPrint("\nMax XDistance in principal axes space Criterion");
  printCoordinates(m.search.suggestions[kSuggestionXDistancePrincipal]);
  KelPrint("\nMax FDistance in principal axes space Criterion");
  printCoordinates(m.search.suggestions[kSuggestionFDistancePrincipal]);
  KelPause();
}
