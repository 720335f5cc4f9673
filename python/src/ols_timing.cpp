#include "ols_timing.h"

#include <pybind11/stl.h>

#include <chrono>
#include <vector>

#include "binding_error.h"
#include "ols_conversion.h"
#include "ols_fit.h"
#include "regression_summary.h"

namespace py = pybind11;

namespace kelmath_python {

namespace {

// The wall time of each of `repeats` fits of the same request, in seconds.
std::vector<double> FitSeconds(const OlsArguments& arguments, int repeats) {
  if (repeats < 1) throw BindingError("input", "repeats must be at least 1");
  const OlsRequest request = MakeOlsRequest(arguments);
  std::vector<double> seconds;
  py::gil_scoped_release released;
  for (int k = 0; k < repeats; ++k) {
    const auto start = std::chrono::steady_clock::now();
    size_t length = 0;
    {
      // The outcome is freed inside the time, as a Python call's result is when dropped.
      const OlsOutcome outcome = FitOls(request);
      length = kelmath_cli::FormatSummary(outcome.result, outcome.call, outcome.source).size();
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    // The summary is used, so that no compiler drops its making.
    if (length == 0) throw BindingError("other", "empty summary");
    seconds.push_back(elapsed.count());
  }
  return seconds;
}

}  // namespace

void RegisterOlsTiming(py::module_& m) {
  m.def("_fit_ols_seconds", &FitSeconds, py::arg("arguments"), py::arg("repeats"),
        "For the benchmark: seconds of each of repeats C++ fits and summaries of the arguments.");
}

}  // namespace kelmath_python
