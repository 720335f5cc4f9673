#include "ols_conversion.h"

#include <cmath>

#include "binding_error.h"

namespace py = pybind11;

namespace kelmath_python {

namespace {

void CheckShapes(const OlsArguments& a) {
  if (a.x.ndim() != 2 || a.y.ndim() != 1)
    throw BindingError("dimension", "X must be 2-dimensional and y 1-dimensional, not " +
                                        std::to_string(a.x.ndim()) + " and " +
                                        std::to_string(a.y.ndim()));
  if (a.x.shape(0) != a.y.shape(0))
    throw BindingError("dimension", "X has " + std::to_string(a.x.shape(0)) + " rows but y has " +
                                        std::to_string(a.y.shape(0)));
  if (static_cast<size_t>(a.x.shape(1)) != a.names.size())
    throw BindingError("dimension", "X has " + std::to_string(a.x.shape(1)) + " columns but " +
                                        std::to_string(a.names.size()) + " names");
}

// Per clustering column, the group code of each row (any integers).
std::vector<std::vector<int>> GroupColumns(const OlsArguments& a) {
  const auto codes = py::array_t<int, py::array::c_style | py::array::forcecast>::ensure(a.groups);
  if (!codes || codes.ndim() != 2 || codes.shape(0) != a.y.shape(0) || codes.shape(1) < 1 ||
      codes.shape(1) > 2)
    throw BindingError("dimension", "groups must hold one or two labels for each row of y");
  std::vector<std::vector<int>> columns(static_cast<size_t>(codes.shape(1)));
  const auto view = codes.unchecked<2>();
  for (py::ssize_t j = 0; j < codes.shape(1); ++j)
    for (py::ssize_t i = 0; i < codes.shape(0); ++i) columns[j].push_back(view(i, j));
  return columns;
}

[[noreturn]] void RefuseInfinite(const std::string& name, py::ssize_t i) {
  throw BindingError("non-finite data",
                     "row " + std::to_string(i + 1) + " of " + name + " is infinite");
}

// Whether the row is complete: a missing value (NaN, or a negative group code) drops its row, as
// the command drops a row with an empty cell; an infinite value is refused, as no fit can use it.
bool RowComplete(const OlsArguments& a, const std::vector<std::vector<int>>& groups,
                 const double* row, py::ssize_t columns, double response, py::ssize_t i) {
  bool complete = true;
  if (!std::isfinite(response)) {
    if (std::isinf(response)) RefuseInfinite("the response '" + a.response + "'", i);
    complete = false;
  }
  for (py::ssize_t j = 0; j < columns; ++j) {
    if (std::isfinite(row[j])) continue;
    if (std::isinf(row[j])) RefuseInfinite("'" + a.names[static_cast<size_t>(j)] + "'", i);
    complete = false;
  }
  for (const std::vector<int>& codes : groups) complete = complete && codes[i] >= 0;
  return complete;
}

// One pass over the rows, read in place (the Python layer made X C-ordered): a complete row is
// appended in the library's layout, an incomplete one numbered in droppedRows.
void CopyCompleteRows(const OlsArguments& a, const std::vector<std::vector<int>>& groups,
                      kelmath_cli::RegressionData& data) {
  const py::ssize_t m = a.y.shape(0), columns = a.x.shape(1);
  const double* x = a.x.data();
  const double* y = a.y.data();
  data.dataRows = static_cast<int>(m);
  data.regressors.reserve(static_cast<size_t>(m) * data.parameterNames.size());
  data.response.reserve(static_cast<size_t>(m));
  data.usedRows.reserve(static_cast<size_t>(m));
  for (py::ssize_t i = 0; i < m; ++i) {
    const double* row = x + i * columns;
    const int number = static_cast<int>(i) + 1;
    if (!RowComplete(a, groups, row, columns, y[i], i)) {
      data.droppedRows.push_back(number);
      continue;
    }
    data.usedRows.push_back(number);
    if (a.intercept) data.regressors.push_back(1.0);
    data.regressors.insert(data.regressors.end(), row, row + columns);
    data.response.push_back(y[i]);
    for (size_t d = 0; d < groups.size(); ++d) data.clusters[d].push_back(groups[d][i]);
  }
}

template <typename Value, typename Field>
py::array_t<double> Column(const std::vector<Value>& rows, Field field) {
  py::array_t<double> values(static_cast<py::ssize_t>(rows.size()));
  auto out = values.mutable_unchecked<1>();
  for (size_t i = 0; i < rows.size(); ++i) out(static_cast<py::ssize_t>(i)) = rows[i].*field;
  return values;
}

py::dict CoefficientEntries(const kelmath_cli::RegressionResult& r) {
  using Row = kelmath_cli::CoefficientRow;
  py::dict d;
  std::vector<std::string> names;
  std::vector<bool> aliased;
  for (const Row& c : r.coefficients) {
    names.push_back(c.name);
    aliased.push_back(c.aliased);
  }
  d["names"] = names;
  d["aliased"] = aliased;
  d["params"] = Column(r.coefficients, &Row::estimate);
  d["bse"] = Column(r.coefficients, &Row::stdError);
  d["tvalues"] = Column(r.coefficients, &Row::tValue);
  d["pvalues"] = Column(r.coefficients, &Row::pValue);
  d["vif"] = Column(r.coefficients, &Row::vif);
  return d;
}

py::dict ObservationEntries(const kelmath_cli::RegressionResult& r) {
  using Row = kelmath_cli::ObservationRow;
  py::dict d;
  d["fittedvalues"] = Column(r.observations, &Row::fitted);
  d["resid"] = Column(r.observations, &Row::residual);
  d["hat_matrix_diag"] = Column(r.observations, &Row::leverage);
  d["cooks_distance"] = Column(r.observations, &Row::cooksDistance);
  d["resid_studentized_external"] = Column(r.observations, &Row::studentizedResidual);
  d["resid_studentized_internal"] = Column(r.observations, &Row::standardizedResidual);
  return d;
}

// The fit's statistics under statsmodels' names.
struct ModelStatistic {
  const char* key;
  double kelmath_cli::RegressionResult::*field;
};
constexpr ModelStatistic kModelStatistics[] = {
    {"condition_number", &kelmath_cli::RegressionResult::conditionNumber},
    {"sigma", &kelmath_cli::RegressionResult::sigma},
    {"rsquared", &kelmath_cli::RegressionResult::rSquared},
    {"rsquared_adj", &kelmath_cli::RegressionResult::adjRSquared},
    {"fvalue", &kelmath_cli::RegressionResult::fStatistic},
    {"f_pvalue", &kelmath_cli::RegressionResult::fPValue},
    {"llf", &kelmath_cli::RegressionResult::logLikelihood},
    {"aic", &kelmath_cli::RegressionResult::aic},
    {"bic", &kelmath_cli::RegressionResult::bic}};

// Row numbers as a NumPy array: a list would make one Python object per row.
py::array_t<int> RowArray(const std::vector<int>& rows) {
  return py::array_t<int>(static_cast<py::ssize_t>(rows.size()), rows.data());
}

py::array_t<int> UsedRows(const kelmath_cli::RegressionResult& r) {
  py::array_t<int> rows(static_cast<py::ssize_t>(r.observations.size()));
  auto out = rows.mutable_unchecked<1>();
  for (size_t i = 0; i < r.observations.size(); ++i)
    out(static_cast<py::ssize_t>(i)) = r.observations[i].row;
  return rows;
}

}  // namespace

OlsRequest MakeOlsRequest(const OlsArguments& a) {
  CheckShapes(a);
  OlsRequest request;
  kelmath_cli::RegressionData& data = request.data;
  data.responseName = a.response;
  data.intercept = a.intercept;
  if (a.intercept) data.parameterNames.push_back(kelmath_cli::kInterceptName);
  data.parameterNames.insert(data.parameterNames.end(), a.names.begin(), a.names.end());
  request.covariance = CovarianceTypeNamed(a.covType);
  std::vector<std::vector<int>> groups;
  if (request.covariance == KelCovarianceType::kCluster) {
    if (a.groups.is_none()) throw BindingError("input", "cov_type 'cluster' needs groups");
    groups = GroupColumns(a);
    data.clusterNames = a.groupNames;
    data.clusterNames.resize(groups.size(), "groups");
    data.clusters.resize(groups.size());
  }
  CopyCompleteRows(a, groups, data);
  request.call = a.call;
  request.source = a.source;
  return request;
}

py::dict ResultDict(const std::shared_ptr<OlsOutcome>& outcome) {
  const kelmath_cli::RegressionResult& r = outcome->result;
  py::dict d = CoefficientEntries(r);
  d.attr("update")(ObservationEntries(r));
  d["response"] = r.response;
  d["nobs"] = r.RowsUsed();
  d["df_resid"] = r.residualDof;
  d["df_model"] = r.fNumeratorDof;
  d["rank"] = r.rank;
  d["cov_type"] = KelCovarianceName(r.covariance);
  d["cov_defined"] = r.covarianceDefined;
  d["unit_leverage_rows"] = r.unitLeverageRows;
  d["cluster_groups"] = r.clusterGroups;
  d["exact_fit"] = r.exactFit;
  for (const ModelStatistic& statistic : kModelStatistics) d[statistic.key] = r.*statistic.field;
  d["used_rows"] = UsedRows(r);
  d["dropped_rows"] = RowArray(r.droppedRows);
  d["breusch_pagan"] = py::make_tuple(r.breuschPagan, r.breuschPaganDof, r.breuschPaganPValue);
  d["warnings"] = outcome->warnings;
  d["fit"] = py::cast(outcome);
  return d;
}

}  // namespace kelmath_python
