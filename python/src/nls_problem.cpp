#include "nls_problem.h"

#include <cmath>
#include <utility>

#include "binding_error.h"
#include "library_call.h"
#include "linear_regression/kel_coefficient_inference.h"

namespace py = pybind11;

namespace kelmath_python {

namespace {

KelVector VectorOf(const std::vector<double>& values) {
  KelVector v(static_cast<int>(values.size()));
  for (size_t k = 0; k < values.size(); ++k) v(static_cast<int>(k) + 1) = values[k];
  return v;
}

std::vector<double> ValuesOf(const KelVector& v) {
  return std::vector<double>(v.Data(), v.Data() + v.Size());
}

KelMatrix MatrixOf(const std::vector<double>& values, int rows, int columns) {
  KelMatrix m(rows, columns);
  for (int i = 1; i <= rows; ++i)
    for (int k = 1; k <= columns; ++k)
      m(i, k) = values[static_cast<size_t>((i - 1) * columns + (k - 1))];
  return m;
}

std::vector<double> RowMajor(const KelMatrix& m) {
  std::vector<double> values;
  for (int i = 1; i <= m.Rows(); ++i)
    for (int k = 1; k <= m.Columns(); ++k) values.push_back(m(i, k));
  return values;
}

std::vector<double> RowMajor(const KelMatrixSymmetric& m) {
  std::vector<double> values;
  for (int i = 1; i <= m.Rows(); ++i)
    for (int k = 1; k <= m.Rows(); ++k) values.push_back(m(i, k));
  return values;
}

// The library's measurements are response-major (experiment + (response - 1) n); Python's rows
// are experiments.
std::vector<double> ExperimentMajor(const KelVector& v, int experiments, int responses) {
  std::vector<double> values(static_cast<size_t>(v.Size()));
  if (v.Size() != experiments * responses) return {};
  for (int l = 1; l <= experiments; ++l)
    for (int j = 1; j <= responses; ++j)
      values[static_cast<size_t>((l - 1) * responses + (j - 1))] = v(l + (j - 1) * experiments);
  return values;
}

const char* TableName(KelComparisonTable table) {
  switch (table) {
    case KelComparisonTable::kOneResponse:
      return "F";
    case KelComparisonTable::kSeveralResponses:
      return "F (weighted SSE)";
    case KelComparisonTable::kChiSquare:
      break;
  }
  return "chi-square";
}

}  // namespace

NlsProblem::NlsProblem(NlsProblemData problemData, std::vector<py::object> models,
                       std::vector<py::object> jacobians)
    : data(std::move(problemData)),
      bridge(std::move(models), std::move(jacobians), data.x, data.numX, data.numY) {
  Run([this] { Build(); });
}

std::string NlsProblem::Run(const std::function<void()>& body) {
  std::string libraryText;
  std::exception_ptr failure;
  {
    // The library calls back into Python, which takes the GIL for each call: it must not be
    // held while waiting for another thread's computation on this problem.
    py::gil_scoped_release released;
    std::lock_guard<std::mutex> alone(busy);
    try {
      CallLibrary(libraryText, true, body);
    } catch (const NlsModelAbort&) {
      failure = bridge.TakeFailure();
    } catch (const BindingError&) {
      failure = std::current_exception();
    }
    if (failure) RestartAfterFailure();
  }
  if (failure) std::rethrow_exception(failure);
  return libraryText;
}

void NlsProblem::RestartAfterFailure() {
  if (!regression) return;
  std::string discarded;
  try {
    CallLibrary(discarded, true, [this] {
      for (int m = 1; m <= static_cast<int>(data.starts.size()); ++m) Restart(m);
    });
  } catch (const BindingError&) {
    // The starts and bounds were accepted when the problem was built: nothing can fail here.
  }
}

void NlsProblem::Build() {
  const int models = static_cast<int>(data.starts.size());
  regression = std::make_unique<KelNonLinearRegression>(
      models, MatrixOf(data.x, data.numExperiments, data.numX),
      MatrixOf(data.y, data.numExperiments, data.numY),
      [this](int model, int experiment, KelVector& b, KelVector& x, KelVector& y) {
        bridge.Values(model, experiment, b, x, y);
      });
  if (data.weightRows > 0)
    regression->SetWeights(MatrixOf(data.weights, data.weightRows, data.weightColumns));
  else if (!data.variances.empty())
    regression->SetVariances(data.degreesOfFreedom, VectorOf(data.variances));
  for (int m = 1; m <= models; ++m) {
    Restart(m);
    if (bridge.HasJacobian(m))
      regression->SetJacobian(
          m, [this](int model, int experiment, KelVector& b, KelVector& x, KelMatrix& dy) {
            bridge.Derivatives(model, experiment, b, x, dy);
          });
  }
}

void NlsProblem::Restart(int model) {
  const size_t k = static_cast<size_t>(model - 1);
  regression->SetInitialParameters(model, VectorOf(data.starts[k]));
  if (k < data.lower.size() && !data.lower[k].empty())
    regression->SetBounds(model, VectorOf(data.lower[k]), VectorOf(data.upper[k]));
}

void NlsProblem::CheckStarts() {
  KelVector x(data.numX), y(data.numY);
  for (int m = 1; m <= static_cast<int>(data.starts.size()); ++m) {
    KelVector b = VectorOf(data.starts[static_cast<size_t>(m - 1)]);
    for (int l = 1; l <= data.numExperiments; ++l) {
      for (int k = 1; k <= data.numX; ++k)
        x(k) = data.x[static_cast<size_t>((l - 1) * data.numX + (k - 1))];
      bridge.Values(m, l, b, x, y);
      for (int j = 1; j <= data.numY; ++j)
        if (!std::isfinite(y(j)))
          throw BindingError("non-finite data", "model " + std::to_string(m) + " is " +
                                                    (std::isnan(y(j)) ? "NaN" : "infinite") +
                                                    " at its start on row " +
                                                    std::to_string(l - 1) + " of x");
    }
  }
}

NlsModelFit NlsProblem::FitOf(int model) {
  KelNonLinearRegression& r = *regression;
  NlsModelFit fit;
  const KelVector b = r.GetParameters(model);
  const KelVector se = r.StandardErrors(model);
  fit.dfResid = r.DegreesOfFreedom(model);
  const KelVector t = KelTValues(b, se);
  fit.params = ValuesOf(b);
  fit.bse = ValuesOf(se);
  fit.tvalues = ValuesOf(t);
  fit.pvalues = ValuesOf(KelTwoSidedPValues(t, fit.dfResid));
  fit.covariance = RowMajor(r.Covariance(model));
  fit.correlation = RowMajor(r.ParameterCorrelation(model));
  fit.inflationFactors = ValuesOf(r.VarianceInflationFactors(model));
  fit.singularValues = ValuesOf(r.SingularValues(model));
  const int n = data.numExperiments, numY = data.numY;
  fit.resid = ExperimentMajor(r.Residuals(model), n, numY);
  fit.weightedResid = ExperimentMajor(r.WeightedResiduals(model), n, numY);
  fit.fitted = ExperimentMajor(r.Predictions(model), n, numY);
  fit.predictionStandardErrors = ExperimentMajor(r.PredictionStandardErrors(model), n, numY);
  // The sum the estimation minimised, from the weighted residuals (without the barrier term
  // that the final SSE of the estimation may carry).
  for (const double w : fit.weightedResid) fit.ssr += w * w;
  fit.initialSsr = r.InitialSSE(model);
  fit.rsquared = r.R2(model);
  fit.conditionNumber = r.ConditionNumber(model);
  fit.rankDeficiency = r.RankDeficiency(model);
  fit.stop = r.StopReason(model);
  fit.evaluations = r.ModelEvaluations(model);
  fit.iterations = r.Iterations(model);
  return fit;
}

NlsComparisonOutcome NlsProblem::ComparisonOf() {
  const KelModelComparison& c = regression->Comparison();
  return {TableName(c.table), c.rows, c.warnings, c.warningsOneMoreDegree};
}

NlsFitOutcome NlsProblem::Fit() {
  NlsFitOutcome outcome;
  outcome.libraryText = Run([&] {
    CheckStarts();
    const int models = regression->NumberOfModels();
    for (int m = 1; m <= models; ++m) outcome.models.push_back(FitOf(m));
    outcome.compared = models >= 2;
    if (outcome.compared) outcome.comparison = ComparisonOf();
    outcome.measuredX = RowMajor(regression->MeasuredIndependentVariables());
    outcome.estimatedX = RowMajor(regression->IndependentVariables());
  });
  return outcome;
}

std::vector<double> NlsProblem::CandidateOf(int candidate) const {
  if (candidate < 1) return {};
  const KelMatrix& c = regression->CandidateExperiments();
  std::vector<double> x;
  for (int k = 1; k <= c.Columns(); ++k) x.push_back(c(candidate, k));
  return x;
}

NlsSearchOutcome NlsProblem::Search(const std::vector<double>& xMin,
                                    const std::vector<double>& xMax) {
  NlsSearchOutcome s;
  s.libraryText = Run([&] {
    KelNonLinearRegression& r = *regression;
    r.SearchExperiments(VectorOf(xMin), VectorOf(xMax));
    s.candidates = RowMajor(r.CandidateExperiments());
    const int models = r.NumberOfModels();
    for (int m = 1; m <= models; ++m) {
      s.criteria.push_back(r.EffectiveCriterion(m));
      std::vector<std::vector<double>> kinds;
      for (int kind = KelNonLinearRegression::kSuggestionCriterion;
           kind <= KelNonLinearRegression::kSuggestionFDistancePrincipal; ++kind)
        kinds.push_back(CandidateOf(r.SuggestedCandidate(m, kind)));
      s.suggestions.push_back(std::move(kinds));
    }
    if (models < 2) return;
    for (int a = 1; a <= models; ++a)
      for (int b = a + 1; b <= models; ++b) {
        s.coupleFirst.push_back(a);
        s.coupleSecond.push_back(b);
        s.coupleTij.push_back(r.BestTij(a, b));
        s.coupleWhere.push_back(CandidateOf(r.BestTijCandidate(a, b)));
      }
    const KelDiscrimination& d = r.Discrimination();
    s.tijSum = ValuesOf(d.tijSum);
    s.discrimination = CandidateOf(d.candidate);
    if (d.candidate > 0 && d.numberOfCouples > 0)
      s.discriminationMeanTij = d.largestSum / d.numberOfCouples;
    s.balanced = CandidateOf(r.Balanced().candidate);
  });
  return s;
}

NlsRobustOutcome NlsProblem::Robust() {
  NlsRobustOutcome outcome;
  outcome.report = Run([&] {
    regression->RobustAnalysis();
    for (int m = 1; m <= regression->NumberOfModels(); ++m)
      outcome.fits.push_back(regression->RobustFit(m));
  });
  return outcome;
}

std::string NlsProblem::Report(const std::string& kind, const std::vector<double>& xMin,
                               const std::vector<double>& xMax) {
  if (kind == "least_squares") return Run([&] { regression->LeastSquaresAnalysis(); });
  if (kind == "robust") return Run([&] { regression->RobustAnalysis(); });
  if (kind == "search")
    return Run([&] {
      regression->LeastSquaresAnalysisAndExperimentsSearch(VectorOf(xMin), VectorOf(xMax));
    });
  throw BindingError("input",
                     "unknown report '" + kind + "': one of 'least_squares', 'robust', 'search'");
}

}  // namespace kelmath_python
