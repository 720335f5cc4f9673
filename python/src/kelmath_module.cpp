// The compiled part of `import kelmath` (kelmath._kelmath): the fit, the intervals of any level,
// and the translation of every error into the kelmath.KelMathError hierarchy of
// kelmath/_errors.py. The Python layer (kelmath/__init__.py) prepares the arguments.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "binding_error.h"
#include "containers/kel_matrix.h"
#include "containers/kel_vector.h"
#include "foundation/kel_exception.h"
#include "foundation/kel_output.h"
#include "linear_analyses_module.h"
#include "linear_regression/kel_coefficient_inference.h"
#include "nls_bindings.h"
#include "ols_conversion.h"
#include "ols_fit.h"
#include "ols_fit_object.h"
#include "ols_timing.h"

namespace py = pybind11;
using kelmath_python::BindingError;

namespace {

py::dict FitOlsForPython(const kelmath_python::OlsArguments& arguments) {
  kelmath_python::OlsRequest request = kelmath_python::MakeOlsRequest(arguments);
  auto outcome = std::make_shared<kelmath_python::OlsOutcome>();
  {
    // The fit touches no Python object: other Python threads run meanwhile.
    py::gil_scoped_release released;
    *outcome = kelmath_python::FitOls(request);
    outcome->data = std::move(request.data);
  }
  return kelmath_python::ResultDict(outcome);
}

// estimate -/+ t(1 - alpha / 2, dof) standard error, by the library's inference.
py::array_t<double> ConfidenceIntervals(const std::vector<double>& estimates,
                                        const std::vector<double>& standardErrors, int dof,
                                        double alpha) {
  const int n = static_cast<int>(estimates.size());
  if (standardErrors.size() != estimates.size())
    throw BindingError("dimension", "one standard error is needed per estimate");
  if (!(alpha > 0.0 && alpha < 1.0))
    throw BindingError("domain", "alpha must be between 0 and 1, not " + std::to_string(alpha));
  KelMatrix intervals;
  try {
    KelErrorModeScope throwing(KelErrorMode::Throw);
    KelOutputScope discard(nullptr);
    KelVector b(n), se(n);
    for (int j = 1; j <= n; ++j) {
      b(j) = estimates[j - 1];
      se(j) = standardErrors[j - 1];
    }
    intervals = KelConfidenceIntervals(b, se, dof, 1.0 - alpha);
  } catch (const KelException& error) {
    throw BindingError(KelErrorCategoryName(error.Category()), error.what());
  }
  py::array_t<double> out({n, 2});
  auto view = out.mutable_unchecked<2>();
  for (int j = 1; j <= n; ++j) {
    view(j - 1, 0) = intervals(j, 1);
    view(j - 1, 1) = intervals(j, 2);
  }
  return out;
}

// Every BindingError and KelException reaches Python as the class of its category; the classes
// are looked up when an error happens, so the module holds no Python state of its own.
void TranslateErrors(std::exception_ptr pending) {
  const auto raise = [](const std::string& category, const char* text) {
    const py::object errorClass =
        py::module_::import("kelmath._errors").attr("error_class")(category);
    PyErr_SetString(errorClass.ptr(), text);
  };
  try {
    if (pending) std::rethrow_exception(pending);
  } catch (const BindingError& error) {
    raise(error.Category(), error.what());
  } catch (const KelException& error) {
    raise(KelErrorCategoryName(error.Category()), error.what());
  }
}

}  // namespace

PYBIND11_MODULE(_kelmath, m) {
  m.doc() = "KelMath's compiled core; use the functions of the kelmath package.";
  py::register_exception_translator(&TranslateErrors);
  py::class_<kelmath_python::OlsArguments>(m, "_OlsArguments")
      .def(py::init<>())
      .def_readwrite("x", &kelmath_python::OlsArguments::x)
      .def_readwrite("y", &kelmath_python::OlsArguments::y)
      .def_readwrite("names", &kelmath_python::OlsArguments::names)
      .def_readwrite("response", &kelmath_python::OlsArguments::response)
      .def_readwrite("intercept", &kelmath_python::OlsArguments::intercept)
      .def_readwrite("cov_type", &kelmath_python::OlsArguments::covType)
      .def_readwrite("groups", &kelmath_python::OlsArguments::groups)
      .def_readwrite("group_names", &kelmath_python::OlsArguments::groupNames)
      .def_readwrite("call", &kelmath_python::OlsArguments::call)
      .def_readwrite("source", &kelmath_python::OlsArguments::source);
  m.def("_fit_ols", &FitOlsForPython, py::arg("arguments"),
        "Fits by the kelmath command's least squares; returns a dict of the results.");
  m.def("_confidence_intervals", &ConfidenceIntervals, py::arg("params"), py::arg("bse"),
        py::arg("df"), py::arg("alpha"));
  kelmath_python::RegisterLinearAnalyses(m);
  kelmath_python::RegisterNls(m);
  kelmath_python::RegisterOlsFit(m);
  kelmath_python::RegisterOlsTiming(m);
}
