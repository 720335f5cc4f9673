// KelNonLinearRegression with errors in the independent variables: the re-estimation of the
// true x between the two passes of an estimation, and the measured and estimated x.
#include <algorithm>
#include <cmath>

#include "foundation/kel_constants.h"
#include "minimization/kel_minimization_robust.h"
#include "nonlinear/kel_nonlinear_regression.h"

// Re-estimates the uncertain x at the parameters of the model's first pass; the result
// replaces them in the working X. Every x step starts again from the measured values, so the
// outcome does not depend on how many estimations came before.
void KelNonLinearRegression::EstimateIndependentVariables(int model) {
  fixedParameters = ModelAt(model).estimate.parameters;
  uncertainRow.clear();
  uncertainColumn.clear();
  KelVector z(numUncertainX);
  int n = 0;
  for (int l = 1; l <= numExperiments; ++l) {
    for (int k = 1; k <= numX; ++k) {
      if (xWeights(l, k) != 0.0) {
        uncertainRow.push_back(l);
        uncertainColumn.push_back(k);
        z(++n) = measuredX(l, k);
      } else {
        X(l, k) = measuredX(l, k);
      }
    }
  }
  if (n == 0) return;

  xTrial.Resize(numX);
  KelMinimizationRobust minimizer(
      z, [this, model](KelVector& v) { return IndependentVariablesObjective(model, v); });
  // The x step is a correction between two estimations, not a search of its own: a few
  // iterations per uncertain value, with a cap in all.
  minimizer(
      std::min(IterationBudget(options.xStepIterationsPerValue, n), options.xStepIterationLimit));
  const KelVector& best = minimizer.XMin();
  for (int u = 0; u < n; ++u)
    X(uncertainRow[static_cast<size_t>(u)], uncertainColumn[static_cast<size_t>(u)]) = best(u + 1);
  xStepInitialValue = minimizer.StartValue();
  xStepFinalValue = minimizer.FSolution();
  ++xStepCount;
}

// Weighted squared distance of z from the measured x plus the weighted SSE of the model at the
// fixed parameters with z in place of the uncertain x. z runs over the uncertain entries in
// row-major order, as uncertainRow and uncertainColumn list them.
double KelNonLinearRegression::IndependentVariablesObjective(int model, KelVector& z) {
  const size_t n = uncertainRow.size();
  double sum = 0.0;
  for (size_t u = 0; u < n; ++u) {
    const int l = uncertainRow[u];
    const int k = uncertainColumn[u];
    const double d = xWeights(l, k) * (measuredX(l, k) - z(static_cast<int>(u) + 1));
    sum += d * d;
  }
  size_t u = 0;
  for (int l = 1; l <= numExperiments; ++l) {
    for (int k = 1; k <= numX; ++k) xTrial(k) = measuredX(l, k);
    for (; u < n && uncertainRow[u] == l; ++u)
      xTrial(uncertainColumn[u]) = z(static_cast<int>(u) + 1);
    yRow = 0.0;
    modelFunction(model, l, fixedParameters, xTrial, yRow);
    for (int j = 1; j <= numY; ++j) {
      const int i = l + (j - 1) * numExperiments;
      const double r = (y(i) - yRow(j)) * w(i);
      sum += r * r;
    }
  }
  // As in the least-squares objective, x where the model fails rank with the worst points.
  return std::isfinite(sum) ? sum : kelUnfeasibleValue;
}

const KelMatrix& KelNonLinearRegression::MeasuredIndependentVariables() const {
  return measuredX.Rows() > 0 ? measuredX : X;
}

KelMatrix KelNonLinearRegression::IndependentVariableResiduals() const {
  const KelMatrix& measured = MeasuredIndependentVariables();
  KelMatrix r(numExperiments, numX);
  for (int l = 1; l <= numExperiments; ++l)
    for (int k = 1; k <= numX; ++k) r(l, k) = measured(l, k) - X(l, k);
  return r;
}

KelMatrix KelNonLinearRegression::StandardizedIndependentVariableResiduals() const {
  KelMatrix r = IndependentVariableResiduals();
  const bool weighted = xWeights.Rows() == numExperiments && xWeights.Columns() == numX;
  for (int l = 1; l <= numExperiments; ++l)
    for (int k = 1; k <= numX; ++k) r(l, k) = weighted ? r(l, k) * xWeights(l, k) : 0.0;
  return r;
}
