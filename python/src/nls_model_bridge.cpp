#include "nls_model_bridge.h"

#include <pybind11/numpy.h>

#include <string>
#include <utility>

#include "binding_error.h"

namespace py = pybind11;

namespace kelmath_python {

namespace {

std::string ShapeText(const py::array& a) {
  std::string text = "(";
  for (py::ssize_t d = 0; d < a.ndim(); ++d)
    text += (d > 0 ? ", " : "") + std::to_string(a.shape(d));
  return text + (a.ndim() == 1 ? ",)" : ")");
}

// The shapes a result may take: (rows, numY, width) with the axes of length 1 beyond the first
// left out as the caller pleases, so (rows,) for one response and (rows, p) for its Jacobian.
bool ShapeFits(const py::array& a, int rows, int numY, int perValue) {
  std::vector<py::ssize_t> wanted = {rows};
  for (const int extent : {numY, perValue})
    if (extent != 1) wanted.push_back(extent);
  std::vector<py::ssize_t> shape;
  for (py::ssize_t d = 0; d < a.ndim(); ++d)
    if (d == 0 || a.shape(d) != 1) shape.push_back(a.shape(d));
  // A single row may come back without its axis: a (numY,) result for one row of x.
  if (rows == 1 && !shape.empty() && shape.front() != 1) shape.insert(shape.begin(), 1);
  if (a.ndim() == 0) shape = {1};
  return shape == wanted;
}

std::string ExpectedText(int rows, int numY, int perValue, bool jacobian) {
  std::string shape = "(" + std::to_string(rows);
  if (numY != 1) shape += ", " + std::to_string(numY);
  if (jacobian) shape += ", " + std::to_string(perValue);
  return shape + (shape.find(',') == std::string::npos ? ",)" : ")");
}

}  // namespace

NlsModelBridge::NlsModelBridge(std::vector<py::object> modelFunctions,
                               std::vector<py::object> jacobianFunctions,
                               const std::vector<double>& x, int numX, int numY)
    : models(std::move(modelFunctions)),
      jacobians(std::move(jacobianFunctions)),
      numX(numX),
      numY(numY),
      known{numX, x, {}},
      values(numY, false, known,
             [this](int model, const std::vector<double>& b, const std::vector<double>& rows,
                    int count) { return Call(model, false, b, rows, count); }),
      derivatives(numY, true, known,
                  [this](int model, const std::vector<double>& b, const std::vector<double>& rows,
                         int count) { return Call(model, true, b, rows, count); }) {}

bool NlsModelBridge::HasJacobian(int model) const {
  return !jacobians[static_cast<size_t>(model - 1)].is_none();
}

std::exception_ptr NlsModelBridge::TakeFailure() {
  return std::exchange(failure, nullptr);
}

void NlsModelBridge::Abort() {
  failure = std::current_exception();
  throw NlsModelAbort{};
}

void NlsModelBridge::Values(int model, int experiment, KelVector& b, KelVector& x, KelVector& y) {
  scratch.resize(static_cast<size_t>(numY));
  values.Lookup(model, experiment, b.Data(), b.Size(), x.Data(), scratch.data());
  for (int j = 1; j <= numY; ++j) y(j) = scratch[static_cast<size_t>(j - 1)];
}

void NlsModelBridge::Derivatives(int model, int experiment, KelVector& b, KelVector& x,
                                 KelMatrix& dy) {
  const int p = b.Size();
  scratch.resize(static_cast<size_t>(numY * p));
  derivatives.Lookup(model, experiment, b.Data(), p, x.Data(), scratch.data());
  for (int j = 1; j <= numY; ++j)
    for (int k = 1; k <= p; ++k) dy(j, k) = scratch[static_cast<size_t>((j - 1) * p + (k - 1))];
}

std::vector<double> NlsModelBridge::Call(int model, bool jacobian, const std::vector<double>& b,
                                         const std::vector<double>& x, int rows) {
  const int p = static_cast<int>(b.size());
  const int perValue = jacobian ? p : 1;
  const std::string what =
      std::string(jacobian ? "the Jacobian of model " : "model ") + std::to_string(model);
  // Every exception, Python's own included, is kept by Abort while the GIL is still held.
  py::gil_scoped_acquire gil;
  try {
    py::array_t<double> xs({static_cast<py::ssize_t>(rows), static_cast<py::ssize_t>(numX)});
    std::copy(x.begin(), x.end(), xs.mutable_data());
    py::array_t<double> parameters(static_cast<py::ssize_t>(p));
    std::copy(b.begin(), b.end(), parameters.mutable_data());
    const py::object& function = (jacobian ? jacobians : models)[static_cast<size_t>(model - 1)];
    const py::object result = function(xs, parameters);
    const py::array array = py::array::ensure(result);
    if (!array || !(array.dtype().kind() == 'f' || array.dtype().kind() == 'i' ||
                    array.dtype().kind() == 'u' || array.dtype().kind() == 'b')) {
      PyErr_Clear();
      throw BindingError(
          "input",
          what + " returned " + std::string(py::str(py::type::of(result).attr("__name__"))) +
              (array ? " of dtype " + std::string(py::str(array.dtype())) : std::string()) +
              ", not numbers");
    }
    if (!ShapeFits(array, rows, numY, perValue))
      throw BindingError("dimension", what + " returned shape " + ShapeText(array) + " for " +
                                          std::to_string(rows) + " rows of x; expected " +
                                          ExpectedText(rows, numY, perValue, jacobian));
    const auto doubles = py::array_t<double, py::array::c_style | py::array::forcecast>(array);
    return std::vector<double>(doubles.data(), doubles.data() + doubles.size());
  } catch (...) {
    Abort();
  }
}

}  // namespace kelmath_python
