// One kelmath.nls problem: the library's KelNonLinearRegression of the rival Python models,
// kept alive with them so that the experiment search and the reports can run after the fit.
// Every computation runs without the GIL, with the library's errors thrown and its output
// captured, and one at a time on a problem (two Python threads may share it). The results are
// plain values copied out of the library.
#ifndef KELMATH_PYTHON_NLS_PROBLEM_H
#define KELMATH_PYTHON_NLS_PROBLEM_H

#include <pybind11/pybind11.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "nls_model_bridge.h"
#include "nonlinear/kel_nonlinear_regression.h"

namespace kelmath_python {

// What the Python layer hands over, checked there; matrices row-major.
struct NlsProblemData {
  int numExperiments = 0;
  int numX = 0;
  int numY = 0;
  std::vector<double> x;                    // numExperiments x numX
  std::vector<double> y;                    // numExperiments x numY
  std::vector<std::vector<double>> starts;  // one per model
  // Per model the bounds of its parameters (+-infinity for a free side); empty for none.
  std::vector<std::vector<double>> lower, upper;
  std::vector<double> variances;  // numY response variances, then numX of x; empty for none
  int degreesOfFreedom = 0;       // of the variances
  std::vector<double> weights;    // weightRows x weightColumns; empty for none
  int weightRows = 0;             // as given: the library checks them against the data
  int weightColumns = 0;
};

// One model's fit. Per-measurement values are numExperiments x numY, row-major.
struct NlsModelFit {
  std::vector<double> params, bse, tvalues, pvalues;
  std::vector<double> covariance, correlation;  // p x p
  std::vector<double> inflationFactors, singularValues;
  std::vector<double> resid, weightedResid, fitted, predictionStandardErrors;
  double ssr = 0.0;  // the weighted sum of squares the estimation minimised
  double initialSsr = 0.0;
  double rsquared = 0.0;
  double conditionNumber = 0.0;
  int dfResid = 0;
  int rankDeficiency = 0;
  KelEstimationStop stop = KelEstimationStop::kNotEstimated;
  int evaluations = 0;
  int iterations = 0;
};

struct NlsComparisonOutcome {
  std::string table;  // "F", "F (weighted SSE)" or "chi-square"
  std::vector<KelModelComparisonRow> rows;
  int warnings = 0;
  int warningsOneMoreDegree = 0;
};

struct NlsFitOutcome {
  std::vector<NlsModelFit> models;
  bool compared = false;  // with two models or more
  NlsComparisonOutcome comparison;
  std::vector<double> measuredX, estimatedX;  // numExperiments x numX (errors in x)
  std::string libraryText;                    // what the library wrote (warnings)
};

// The search over a box; experiments as their x, empty for none. Per model its effective
// criterion and the five suggestions in the library's order (criterion, x distance, f distance,
// and the two in principal axes).
struct NlsSearchOutcome {
  std::vector<double> candidates;  // rows x numX
  std::vector<int> criteria;
  std::vector<std::vector<std::vector<double>>> suggestions;
  std::vector<int> coupleFirst, coupleSecond;
  std::vector<double> coupleTij;
  std::vector<std::vector<double>> coupleWhere;
  std::vector<double> tijSum;  // per candidate
  std::vector<double> discrimination;
  double discriminationMeanTij = 0.0;
  std::vector<double> balanced;
  std::string libraryText;
};

struct NlsRobustOutcome {
  std::vector<KelNonLinearRobustFit> fits;  // one per model
  std::string report;
};

class NlsProblem {
 public:
  NlsProblem(NlsProblemData data, std::vector<pybind11::object> models,
             std::vector<pybind11::object> jacobians);
  NlsProblem(const NlsProblem&) = delete;
  NlsProblem& operator=(const NlsProblem&) = delete;

  // Estimates every model; a model not finite at its start on some row is refused first.
  NlsFitOutcome Fit();
  NlsSearchOutcome Search(const std::vector<double>& xMin, const std::vector<double>& xMax);
  NlsRobustOutcome Robust();
  // The library's report: "least_squares", "robust" or "search" (over the box).
  std::string Report(const std::string& kind, const std::vector<double>& xMin,
                     const std::vector<double>& xMax);

  long long PythonCalls() const { return bridge.PythonCalls(); }
  long long ExperimentsAsked() const { return bridge.ExperimentsAsked(); }
  const NlsProblemData& Data() const { return data; }

 private:
  // Runs body without the GIL, alone on this problem, in the library's throw mode with its
  // output caught in the returned text; every failure leaves as BindingError or as the
  // exception a Python model raised.
  std::string Run(const std::function<void()>& body);
  void Build();
  // The model's start and bounds, as at the beginning: the model is estimated afresh.
  void Restart(int model);
  // A computation broken off (by a model or the library) may leave an estimation marked as
  // done: every model is estimated afresh at its next use.
  void RestartAfterFailure();
  void CheckStarts();
  NlsModelFit FitOf(int model);
  NlsComparisonOutcome ComparisonOf();
  std::vector<double> CandidateOf(int candidate) const;

  NlsProblemData data;
  NlsModelBridge bridge;
  std::unique_ptr<KelNonLinearRegression> regression;
  std::mutex busy;
};

}  // namespace kelmath_python

#endif
