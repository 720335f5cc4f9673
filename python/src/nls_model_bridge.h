// The Python models of kelmath.nls as the library's model and Jacobian functions. A Python model
// is vectorised, model(x, b) over all rows of x at once; the library asks for one experiment at
// a time, and the sweep caches (nls_sweep_cache.h) turn its sweeps into one Python call each.
// The library runs without the GIL; each Python call takes it for its duration. A Python
// exception, or a result of the wrong shape or kind, is kept and the library unwound by
// NlsModelAbort; the caller rethrows the kept exception once the library is left.
#ifndef KELMATH_PYTHON_NLS_MODEL_BRIDGE_H
#define KELMATH_PYTHON_NLS_MODEL_BRIDGE_H

#include <pybind11/pybind11.h>

#include <exception>
#include <vector>

#include "containers/kel_matrix.h"
#include "containers/kel_vector.h"
#include "nls_sweep_cache.h"

namespace kelmath_python {

// Thrown through the library when a Python model failed; it carries nothing, the failure is
// kept by the bridge.
struct NlsModelAbort {};

class NlsModelBridge {
 public:
  // models and jacobians (None where a model has none) one per model; x the experiments,
  // row-major numExperiments x numX.
  NlsModelBridge(std::vector<pybind11::object> models, std::vector<pybind11::object> jacobians,
                 const std::vector<double>& x, int numX, int numY);
  NlsModelBridge(const NlsModelBridge&) = delete;
  NlsModelBridge& operator=(const NlsModelBridge&) = delete;

  // The library's model and Jacobian functions (called without the GIL).
  void Values(int model, int experiment, KelVector& b, KelVector& x, KelVector& y);
  void Derivatives(int model, int experiment, KelVector& b, KelVector& x, KelMatrix& dy);
  bool HasJacobian(int model) const;

  // The failure that unwound the library by NlsModelAbort (null when none), handed over once.
  std::exception_ptr TakeFailure();

  // The Python calls made so far (models and Jacobians), and the experiments the library asked
  // for.
  long long PythonCalls() const { return values.Evaluations() + derivatives.Evaluations(); }
  long long ExperimentsAsked() const { return values.Lookups() + derivatives.Lookups(); }

 private:
  // One Python call of the model (or its Jacobian) on rows of x; the values row after row.
  std::vector<double> Call(int model, bool jacobian, const std::vector<double>& b,
                           const std::vector<double>& x, int rows);
  // A failure inside a call: kept, and the library unwound.
  [[noreturn]] void Abort();

  std::vector<pybind11::object> models;
  std::vector<pybind11::object> jacobians;
  int numX;
  int numY;
  NlsKnownRows known;
  NlsSweepCache values;
  NlsSweepCache derivatives;
  std::exception_ptr failure;
  std::vector<double> scratch;
};

}  // namespace kelmath_python

#endif
