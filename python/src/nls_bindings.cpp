// kelmath.nls's compiled part: the problem object of nls_problem.h and its results as dicts of
// NumPy arrays and numbers, which kelmath/_nls.py shapes into NLSResults.
#include "nls_bindings.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <memory>

#include "binding_error.h"
#include "library_warnings.h"
#include "nls_problem.h"

namespace py = pybind11;

namespace kelmath_python {

namespace {

using Doubles = py::array_t<double, py::array::c_style | py::array::forcecast>;

std::vector<double> Flat(const Doubles& a) {
  return std::vector<double>(a.data(), a.data() + a.size());
}

py::array_t<double> Array(const std::vector<double>& values) {
  return py::array_t<double>(static_cast<py::ssize_t>(values.size()), values.data());
}

py::dict FitDict(const NlsModelFit& f) {
  py::dict d;
  d["params"] = Array(f.params);
  d["bse"] = Array(f.bse);
  d["tvalues"] = Array(f.tvalues);
  d["pvalues"] = Array(f.pvalues);
  d["cov_params"] = Array(f.covariance);
  d["correlation"] = Array(f.correlation);
  d["vif"] = Array(f.inflationFactors);
  d["singular_values"] = Array(f.singularValues);
  d["resid"] = Array(f.resid);
  d["weighted_resid"] = Array(f.weightedResid);
  d["fittedvalues"] = Array(f.fitted);
  d["prediction_se"] = Array(f.predictionStandardErrors);
  d["ssr"] = f.ssr;
  d["initial_ssr"] = f.initialSsr;
  d["rsquared"] = f.rsquared;
  d["condition_number"] = f.conditionNumber;
  d["df_resid"] = f.dfResid;
  d["rank_deficiency"] = f.rankDeficiency;
  d["converged"] = KelConverged(f.stop);
  d["stop_reason"] = KelEstimationStopText(f.stop);
  d["nfev"] = f.evaluations;
  d["niter"] = f.iterations;
  return d;
}

py::dict ComparisonDict(const NlsComparisonOutcome& c) {
  std::vector<double> value, ratio, statistic, probability, pseudo, oneMore;
  std::vector<bool> compared;
  for (const KelModelComparisonRow& row : c.rows) {
    compared.push_back(row.compared);
    value.push_back(row.value);
    ratio.push_back(row.ratio);
    statistic.push_back(row.statistic);
    probability.push_back(row.probability);
    pseudo.push_back(row.pseudoProbability);
    oneMore.push_back(row.probabilityOneMoreDegree);
  }
  py::dict d;
  d["table"] = c.table;
  d["compared"] = compared;
  d["value"] = Array(value);
  d["ratio"] = Array(ratio);
  d["statistic"] = Array(statistic);
  d["pvalue"] = Array(probability);
  d["pseudo_pvalue"] = Array(pseudo);
  d["pvalue_one_more_df"] = Array(oneMore);
  d["warnings"] = c.warnings;
  d["warnings_one_more_df"] = c.warningsOneMoreDegree;
  return d;
}

// The library's warnings during a fit. The minimizer the estimation starts with is the robust
// one, whose stalls the command's sentences name as those of the robust fit: here they are the
// estimation's (the fit itself is judged by its stop reason).
std::vector<std::string> FitWarnings(const std::string& libraryText) {
  const std::string robust = "the robust fit stopped";
  std::vector<std::string> lines = kelmath_cli::WarningLines(libraryText);
  for (std::string& line : lines) {
    const size_t at = line.find(robust);
    if (at != std::string::npos)
      line.replace(at, robust.size(), "the minimizer of the least-squares estimation stopped");
  }
  return lines;
}

py::dict FitOutcomeDict(NlsProblem& problem) {
  const NlsFitOutcome outcome = problem.Fit();
  py::list models;
  for (const NlsModelFit& f : outcome.models) models.append(FitDict(f));
  py::dict d;
  d["models"] = models;
  d["comparison"] = outcome.compared ? py::object(ComparisonDict(outcome.comparison)) : py::none();
  d["measured_x"] = Array(outcome.measuredX);
  d["estimated_x"] = Array(outcome.estimatedX);
  d["warnings"] = FitWarnings(outcome.libraryText);
  return d;
}

py::object ExperimentOrNone(const std::vector<double>& x) {
  return x.empty() ? py::none() : py::object(Array(x));
}

py::dict SearchDict(NlsProblem& problem, const std::vector<double>& xMin,
                    const std::vector<double>& xMax) {
  const NlsSearchOutcome s = problem.Search(xMin, xMax);
  static const char* const kinds[] = {"criterion", "x_distance", "f_distance",
                                      "x_distance_principal", "f_distance_principal"};
  py::list models;
  for (size_t m = 0; m < s.suggestions.size(); ++m) {
    py::dict model;
    model["criterion_number"] = s.criteria[m];
    for (size_t kind = 0; kind < s.suggestions[m].size(); ++kind)
      model[kinds[kind]] = ExperimentOrNone(s.suggestions[m][kind]);
    models.append(model);
  }
  py::list couples;
  for (size_t c = 0; c < s.coupleTij.size(); ++c)
    couples.append(py::make_tuple(s.coupleFirst[c], s.coupleSecond[c], s.coupleTij[c],
                                  ExperimentOrNone(s.coupleWhere[c])));
  py::dict d;
  d["candidates"] = Array(s.candidates);
  d["models"] = models;
  d["couples"] = couples;
  d["tij_sum"] = Array(s.tijSum);
  d["discrimination"] = ExperimentOrNone(s.discrimination);
  d["discrimination_mean_tij"] = s.discriminationMeanTij;
  d["balanced"] = ExperimentOrNone(s.balanced);
  d["warnings"] = kelmath_cli::WarningLines(s.libraryText);
  return d;
}

py::list OutliersList(const std::vector<KelOutlier>& outliers) {
  py::list list;
  // Experiments and responses 0-based, as Python indexes the rows and columns of y.
  for (const KelOutlier& o : outliers)
    list.append(py::make_tuple(o.experiment - 1, o.response - 1, o.size));
  return list;
}

py::dict RobustDict(NlsProblem& problem) {
  const NlsRobustOutcome outcome = problem.Robust();
  py::list models;
  const int n = problem.Data().numExperiments, numY = problem.Data().numY;
  for (const KelNonLinearRobustFit& f : outcome.fits) {
    py::dict model;
    model["initial_lms"] = f.initialLms;
    model["lms"] = f.finalLms;
    model["params"] = Array(std::vector<double>(f.lmsParameters.Data(),
                                                f.lmsParameters.Data() + f.lmsParameters.Size()));
    std::vector<double> resid(static_cast<size_t>(n * numY)), fitted(resid.size()),
        weighted(resid.size());
    for (int l = 1; l <= n && f.lmsResiduals.Size() == n * numY; ++l)
      for (int j = 1; j <= numY; ++j) {
        const size_t at = static_cast<size_t>((l - 1) * numY + (j - 1));
        resid[at] = f.lmsResiduals(l + (j - 1) * n);
        fitted[at] = f.lmsPredictions(l + (j - 1) * n);
        weighted[at] = f.lmsWeightedResiduals(l + (j - 1) * n);
      }
    model["resid"] = Array(resid);
    model["fittedvalues"] = Array(fitted);
    model["weighted_resid"] = Array(weighted);
    model["outliers"] = OutliersList(f.highlyProbable);
    model["possible_outliers"] = OutliersList(f.possible);
    models.append(model);
  }
  py::dict d;
  d["models"] = models;
  d["report"] = outcome.report;
  return d;
}

std::unique_ptr<NlsProblem> MakeProblem(std::vector<py::object> models,
                                        std::vector<py::object> jacobians, const Doubles& x,
                                        const Doubles& y, std::vector<std::vector<double>> starts,
                                        std::vector<std::vector<double>> lower,
                                        std::vector<std::vector<double>> upper,
                                        const Doubles& variances, int dof, const Doubles& weights) {
  if (x.ndim() != 2 || y.ndim() != 2 || x.shape(0) != y.shape(0) || x.shape(1) < 1 ||
      y.shape(1) < 1)
    throw BindingError("dimension", "x and y must be 2-dimensional with the same rows");
  if (models.size() != starts.size() || models.size() != jacobians.size() || models.empty())
    throw BindingError("dimension", "one start and one Jacobian (or None) are needed per model");
  NlsProblemData data;
  data.numExperiments = static_cast<int>(x.shape(0));
  data.numX = static_cast<int>(x.shape(1));
  data.numY = static_cast<int>(y.shape(1));
  data.x = Flat(x);
  data.y = Flat(y);
  data.starts = std::move(starts);
  if (lower.size() != data.starts.size() || upper.size() != data.starts.size())
    throw BindingError("dimension", "one lower and one upper bound list are needed per model");
  data.lower = std::move(lower);
  data.upper = std::move(upper);
  data.variances = Flat(variances);
  data.degreesOfFreedom = dof;
  data.weights = Flat(weights);
  if (weights.ndim() == 2 && weights.size() > 0) {
    data.weightRows = static_cast<int>(weights.shape(0));
    data.weightColumns = static_cast<int>(weights.shape(1));
  }
  return std::make_unique<NlsProblem>(std::move(data), std::move(models), std::move(jacobians));
}

}  // namespace

void RegisterNls(py::module_& m) {
  py::class_<NlsProblem>(m, "_NlsProblem")
      .def(py::init(&MakeProblem), py::arg("models"), py::arg("jacobians"), py::arg("x"),
           py::arg("y"), py::arg("starts"), py::arg("lower"), py::arg("upper"),
           py::arg("variances"), py::arg("dof"), py::arg("weights"))
      .def("fit", &FitOutcomeDict)
      .def("search", &SearchDict, py::arg("x_min"), py::arg("x_max"))
      .def("robust", &RobustDict)
      .def("report", &NlsProblem::Report, py::arg("kind"), py::arg("x_min"), py::arg("x_max"))
      .def_property_readonly("python_calls", &NlsProblem::PythonCalls)
      .def_property_readonly("experiments_asked", &NlsProblem::ExperimentsAsked);
}

}  // namespace kelmath_python
