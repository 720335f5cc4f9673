#include "linear_analyses_module.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include "library_reports.h"
#include "linear_verdicts.h"
#include "lms_fit.h"
#include "ols_conversion.h"
#include "stepwise_search.h"
#include "svd_values.h"

namespace py = pybind11;

namespace kelmath_python {

namespace {

// The request is made with the GIL held (it reads NumPy arrays); the computation runs without it.
template <typename Compute>
auto ComputeReleased(const OlsArguments& arguments, Compute compute) {
  const OlsRequest request = MakeOlsRequest(arguments);
  py::gil_scoped_release released;
  return compute(request);
}

py::array_t<double> Vector(const std::vector<double>& values) {
  return py::array_t<double>(static_cast<py::ssize_t>(values.size()), values.data());
}

py::array_t<double> Square(const std::vector<double>& values, size_t n) {
  const auto side = static_cast<py::ssize_t>(n);
  return py::array_t<double>({side, side}, values.data());
}

py::dict LmsDict(const LmsOutcome& outcome) {
  const kelmath_cli::RegressionResult& fit = outcome.analysis.fit;
  const kelmath_cli::RobustResult& robust = fit.robust;
  py::dict d;
  std::vector<std::string> names;
  std::vector<int> usedRows;
  for (const kelmath_cli::CoefficientRow& c : fit.coefficients) names.push_back(c.name);
  for (const kelmath_cli::ObservationRow& o : fit.observations) usedRows.push_back(o.row);
  d["names"] = names;
  d["response"] = fit.response;
  d["params"] = Vector(robust.coefficients);
  d["lms"] = robust.leastMedianOfSquares;
  d["scale"] = robust.scale;
  d["rsquared"] = robust.rSquared;
  d["fittedvalues"] = Vector(robust.fitted);
  d["resid"] = Vector(robust.residuals);
  d["sresid"] = Vector(robust.normalizedResiduals);
  d["outlier_rows"] = robust.outlierRows;
  d["highly_probable_rows"] = robust.highlyProbableRows;
  d["possible_rows"] = robust.possibleRows;
  d["used_rows"] = usedRows;
  d["dropped_rows"] = fit.droppedRows;
  d["summary"] = outcome.summary;
  d["json"] = outcome.json;
  d["warnings"] = outcome.warnings;
  d["reweighted_problem"] = outcome.analysis.reweightedProblem;
  d["reweighted"] = outcome.analysis.HasReweighted() ? py::object(ResultDict(outcome.reweighted))
                                                     : py::object(py::none());
  return d;
}

py::dict StepwiseDict(const StepwiseOutcome& outcome) {
  py::list models;
  for (const kelmath_cli::SelectedModel& m : outcome.selection.models) {
    std::vector<std::string> columns;
    std::vector<double> estimates, tValues;
    for (const kelmath_cli::SelectedColumn& c : m.columns) {
      columns.push_back(c.name);
      estimates.push_back(c.estimate);
      tValues.push_back(c.tValue);
    }
    py::dict model;
    model["parameters"] = m.parameters;
    model["found"] = m.found;
    model["mse"] = m.meanSquareError;
    model["doubtful"] = m.doubtful;
    model["columns"] = columns;
    model["params"] = estimates;
    model["tvalues"] = tValues;
    models.append(model);
  }
  py::dict d;
  d["names"] = outcome.names;
  d["models"] = models;
  d["suggested"] = outcome.selection.suggested;
  d["used_rows"] = outcome.usedRows;
  d["dropped_rows"] = outcome.selection.droppedRows;
  d["summary"] = outcome.summary;
  d["json"] = outcome.json;
  d["warnings"] = outcome.warnings;
  return d;
}

py::dict SvdDict(const SvdOutcome& outcome) {
  const size_t n = outcome.names.size();
  py::dict d;
  d["names"] = outcome.names;
  d["used_rows"] = outcome.usedRows;
  d["dropped_rows"] = outcome.droppedRows;
  d["singular_values"] = Vector(outcome.singularValues);
  d["right_vectors"] = Square(outcome.rightVectors, n);
  d["candidate_params"] = Square(outcome.candidateParameters, n);
  d["candidate_bse"] = Square(outcome.candidateStandardErrors, n);
  d["params_norm"] = Vector(outcome.candidateParameterNorms);
  d["resid_norm"] = Vector(outcome.candidateResidualNorms);
  d["small_singular_values"] = outcome.smallSingularValues;
  d["negligible_singular_values"] = outcome.negligibleSingularValues;
  d["multicollinear"] = outcome.multicollinear;
  d["report"] = outcome.report;
  d["warnings"] = outcome.warnings;
  return d;
}

}  // namespace

void RegisterLinearAnalyses(py::module_& m) {
  m.def(
      "_fit_lms", [](const OlsArguments& a) { return LmsDict(ComputeReleased(a, FitLms)); },
      py::arg("arguments"), "The least-median-of-squares fit of kelmath robust, as a dict.");
  m.def(
      "_stepwise",
      [](const OlsArguments& a) { return StepwiseDict(ComputeReleased(a, RunStepwiseSearch)); },
      py::arg("arguments"), "The best model of every size of kelmath stepwise, as a dict.");
  m.def(
      "_svd_analysis",
      [](const OlsArguments& a) { return SvdDict(ComputeReleased(a, AnalyseSingularValues)); },
      py::arg("arguments"), "The library's singular value analysis, as a dict.");
  m.def(
      "_library_reports",
      [](const OlsArguments& a, const std::vector<std::string>& reports) {
        return ComputeReleased(a, [&](const OlsRequest& r) { return LibraryReports(r, reports); });
      },
      py::arg("arguments"), py::arg("reports"), "The library's reports as one text.");
  // The verdicts under the names of their fields, read by kelmath/_verdicts.py.
  py::class_<LinearVerdicts>(m, "_LinearVerdicts")
      .def_readonly("conditioning", &LinearVerdicts::conditioning)
      .def_readonly("ill_conditioned", &LinearVerdicts::illConditioned)
      .def_readonly("badly_scaled", &LinearVerdicts::badlyScaled)
      .def_readonly("solutions_disagree", &LinearVerdicts::solutionsDisagree)
      .def_readonly("condition_number", &LinearVerdicts::conditionNumber)
      .def_readonly("system_conditioning", &LinearVerdicts::systemConditioning)
      .def_readonly("multicollinearity", &LinearVerdicts::multicollinearity)
      .def_readonly("principal_components", &LinearVerdicts::principalComponents)
      .def_readonly("normality", &LinearVerdicts::normality)
      .def_readonly("normality_index", &LinearVerdicts::normalityIndex)
      .def_readonly("highly_probable_outlier", &LinearVerdicts::highlyProbableOutlier)
      .def_readonly("probable_outlier", &LinearVerdicts::probableOutlier)
      .def_readonly("robust_outliers", &LinearVerdicts::robustOutliers)
      .def_readonly("homoscedasticity", &LinearVerdicts::homoscedasticity)
      .def_readonly("influential_rows", &LinearVerdicts::influentialRows);
  m.def(
      "_linear_verdicts",
      [](const OlsArguments& a) { return ComputeReleased(a, ComputeLinearVerdicts); },
      py::arg("arguments"), "The verdicts of the library's reports.");
}

}  // namespace kelmath_python
