#include "regression_json.h"

#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

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
                    {"vif", Number(c.vif)},
                    {"aliased", c.aliased}});
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

// A double with 17 significant digits ("%.17g"), so that every digit a reader parses is one the
// computation produced; the library's own writer would print the shortest form instead.
std::string NumberText(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

void AppendValue(const json& value, int depth, std::string* out);

// Members or elements one per line, indented by two blanks per level, as dump(2) lays them out.
template <typename Each>
void AppendContainer(const json& value, int depth, char open, char close, Each each,
                     std::string* out) {
  if (value.empty()) {
    *out += open;
    *out += close;
    return;
  }
  *out += open;
  bool first = true;
  for (auto item = value.begin(); item != value.end(); ++item) {
    *out += first ? "\n" : ",\n";
    first = false;
    out->append(static_cast<size_t>(2 * (depth + 1)), ' ');
    each(item);
  }
  *out += '\n';
  out->append(static_cast<size_t>(2 * depth), ' ');
  *out += close;
}

void AppendValue(const json& value, int depth, std::string* out) {
  if (value.is_object()) {
    AppendContainer(
        value, depth, '{', '}',
        [&](json::const_iterator item) {
          *out += json(item.key()).dump() + ": ";
          AppendValue(item.value(), depth + 1, out);
        },
        out);
  } else if (value.is_array()) {
    AppendContainer(
        value, depth, '[', ']',
        [&](json::const_iterator item) { AppendValue(*item, depth + 1, out); }, out);
  } else if (value.is_number_float()) {
    *out += NumberText(value.get<double>());
  } else {
    *out += value.dump();  // strings (escaped by the library), integers, null
  }
}

}  // namespace

std::string FormatJson(const RegressionResult& r) {
  json object = {
      {"rows_used", r.RowsUsed()},
      {"dropped_rows", r.droppedRows},
      {"coefficients", Coefficients(r)},
      {"condition_number", Number(r.conditionNumber)},
      {"exact_fit", r.exactFit},
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
  if (r.varianceAssigned) {
    object["assigned_variance"] = {{"variance", Number(r.variance)},
                                   {"dof", r.varianceDof},
                                   {"f_statistic", Number(r.varianceF)},
                                   {"f_p_value", Number(r.varianceFPValue)}};
  }
  if (r.hasRobust) object["robust"] = Robust(r.robust);
  std::string text;
  AppendValue(object, 0, &text);
  return text + "\n";
}

}  // namespace kelmath_cli
