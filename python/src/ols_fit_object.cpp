#include "ols_fit_object.h"

#include <memory>
#include <string>

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

}  // namespace

void RegisterOlsFit(py::module_& m) {
  py::class_<OlsOutcome, std::shared_ptr<OlsOutcome>>(m, "_OlsFit")
      .def("summary", &SummaryText, "The kelmath command's text summary.")
      .def("json", &JsonText, "The kelmath command's JSON result.")
      .def(
          "diagnostic_panels",
          [](const OlsOutcome& outcome) { return DiagnosticPanelValues(outcome.result); },
          "The values of the command's four diagnostic plots, one dict per panel.");
}

}  // namespace kelmath_python
