#include "regression_json.h"

#include <cmath>
#include <nlohmann/json.hpp>

namespace kelmath_cli {

namespace {

using json = nlohmann::ordered_json;

// NaN has no JSON form: it becomes null, as the writer would do anyway, but explicitly.
json Number(double value) {
  return std::isfinite(value) ? json(value) : json(nullptr);
}

json Coefficients(const RegressionResult& r) {
  json list = json::array();
  for (const CoefficientRow& c : r.coefficients) {
    list.push_back({{"name", c.name},
                    {"estimate", Number(c.estimate)},
                    {"std_error", Number(c.stdError)},
                    {"t_value", Number(c.tValue)},
                    {"p_value", Number(c.pValue)},
                    {"ci95", json::array({Number(c.ciLow), Number(c.ciHigh)})},
                    {"vif", Number(c.vif)}});
  }
  return list;
}

json Observations(const RegressionResult& r) {
  json list = json::array();
  for (const ObservationRow& o : r.observations) {
    list.push_back({{"row", o.row},
                    {"fitted", Number(o.fitted)},
                    {"residual", Number(o.residual)},
                    {"leverage", Number(o.leverage)},
                    {"cooks_distance", Number(o.cooksDistance)},
                    {"studentized_residual", Number(o.studentizedResidual)}});
  }
  return list;
}

json Robust(const RobustResult& robust) {
  json coefficients = json::array();
  for (const double b : robust.coefficients) coefficients.push_back(Number(b));
  return {{"lms", Number(robust.leastMedianOfSquares)},
          {"coefficients", coefficients},
          {"outlier_rows", robust.outlierRows}};
}

}  // namespace

std::string FormatJson(const RegressionResult& r) {
  json object = {
      {"rows_used", r.RowsUsed()},
      {"dropped_rows", r.droppedRows},
      {"coefficients", Coefficients(r)},
      {"sigma", Number(r.sigma)},
      {"r_squared", Number(r.rSquared)},
      {"adj_r_squared", Number(r.adjRSquared)},
      {"f_statistic", Number(r.fStatistic)},
      {"f_p_value", Number(r.fPValue)},
      {"aic", Number(r.aic)},
      {"bic", Number(r.bic)},
      {"breusch_pagan",
       {{"statistic", Number(r.breuschPagan)}, {"p_value", Number(r.breuschPaganPValue)}}},
      {"observations", Observations(r)}};
  if (r.hasRobust) object["robust"] = Robust(r.robust);
  return object.dump(2) + "\n";
}

}  // namespace kelmath_cli
