#include "ols_fit_object.h"

#include <pybind11/numpy.h>

#include <memory>
#include <string>
#include <vector>

#include "diagnostic_values.h"
#include "ols_fit.h"
#include "regression_json.h"
#include "regression_summary.h"

namespace py = pybind11;

namespace kelmath_python {

namespace {

// The texts are pure functions of the result: they are made without the GIL, so a summary of
// many rows asked on one thread does not stop the others.
std::string SummaryText(const OlsOutcome& outcome) {
  py::gil_scoped_release released;
  return kelmath_cli::FormatSummary(outcome.result, outcome.call, outcome.source);
}

std::string JsonText(const OlsOutcome& outcome) {
  py::gil_scoped_release released;
  return kelmath_cli::FormatJson(outcome.result);
}

py::array_t<double> CovarianceOfEstimates(const OlsOutcome& outcome) {
  std::vector<double> matrix;
  {
    py::gil_scoped_release released;
    matrix = OlsCovariance(outcome);
  }
  const auto n = static_cast<py::ssize_t>(outcome.result.coefficients.size());
  return py::array_t<double>({n, n}, matrix.data());
}

}  // namespace

void RegisterOlsFit(py::module_& m) {
  py::class_<OlsOutcome, std::shared_ptr<OlsOutcome>>(m, "_OlsFit")
      .def("summary", &SummaryText, "The kelmath command's text summary.")
      .def("json", &JsonText, "The kelmath command's JSON result.")
      .def("cov_params", &CovarianceOfEstimates,
           "The covariance of the estimates under the fit's type, n x n.")
      .def(
          "diagnostic_panels",
          [](const OlsOutcome& outcome) { return DiagnosticPanelValues(outcome.result); },
          "The values of the command's four diagnostic plots, one dict per panel.");
}

}  // namespace kelmath_python
