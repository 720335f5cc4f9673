#include "regression_json.h"

#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>

#include "name_text.h"

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
    list.push_back({{"name", ValidUtf8(c.name)},
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
    // Strings (escaped by the library; any byte that is not UTF-8 replaced), integers, null.
    *out += value.dump(-1, ' ', false, json::error_handler_t::replace);
  }
}

// The text in pieces of about a megabyte: to the file as it is produced, or, without a file,
// kept whole.
class JsonSink {
 public:
  explicit JsonSink(std::FILE* file) : file(file) {}
  std::string& Text() { return text; }
  void Flush() {
    if (file != nullptr && !text.empty()) {
      std::fwrite(text.data(), 1, text.size(), file);
      text.clear();
    }
  }
  void FlushWhenLarge() {
    if (text.size() > (1u << 20)) Flush();
  }

 private:
  std::FILE* file;
  std::string text;
};

// The text of a number member: 17 digits, or null for a value that is not finite.
std::string NumberOrNull(double value) {
  return std::isfinite(value) ? NumberText(value) : std::string("null");
}

// The observations array, one object at a time, laid out as AppendValue would lay it out at
// depth 1 (the member of the top-level object).
void StreamObservations(const RegressionResult& r, JsonSink& sink) {
  if (r.observations.empty()) {
    sink.Text() += "[]";
    return;
  }
  sink.Text() += "[";
  for (size_t i = 0; i < r.observations.size(); ++i) {
    const ObservationRow& o = r.observations[i];
    std::string& t = sink.Text();
    t += i == 0 ? "\n    {\n" : ",\n    {\n";
    t += "      \"row\": " + std::to_string(o.row) + ",\n";
    t += "      \"fitted\": " + NumberOrNull(o.fitted) + ",\n";
    t += "      \"residual\": " + NumberOrNull(o.residual) + ",\n";
    if (r.Weighted())
      t += "      \"weighted_residual\": " + NumberOrNull(o.weightedResidual) + ",\n";
    t += "      \"leverage\": " + NumberOrNull(o.leverage) + ",\n";
    t += "      \"cooks_distance\": " + NumberOrNull(o.cooksDistance) + ",\n";
    t += "      \"studentized_residual\": " + NumberOrNull(o.studentizedResidual) + "\n    }";
    sink.FlushWhenLarge();
  }
  sink.Text() += "\n  ]";
}

// The members of the result's object except the per-row arrays, which are streamed in the
// place their empty placeholder holds.
json ResultObject(const RegressionResult& r) {
  json object = {
      {"rows_used", r.RowsUsed()},
      {"dropped_rows", r.droppedRows},
      {"coefficients", Coefficients(r)},
      {"covariance_type", KelCovarianceName(r.covariance)},
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
      {"observations", json::array()}};
  if (r.Weighted()) object["weights"] = r.weightsName;
  if (r.varianceAssigned) {
    object["assigned_variance"] = {{"variance", Number(r.variance)},
                                   {"dof", r.varianceDof},
                                   {"f_statistic", Number(r.varianceF)},
                                   {"f_p_value", Number(r.varianceFPValue)}};
  }
  if (r.covariance == KelCovarianceType::kCluster) {
    json clusters = json::array();
    for (size_t k = 0; k < r.clusterNames.size(); ++k)
      clusters.push_back({{"column", r.clusterNames[k]}, {"groups", r.clusterGroups[k]}});
    object["clusters"] = clusters;
  }
  if (!r.unitLeverageRows.empty()) object["unit_leverage_rows"] = r.unitLeverageRows;
  if (r.hasRobust) object["robust"] = Robust(r.robust);
  return object;
}

void EmitJson(const RegressionResult& r, JsonSink& sink) {
  const json object = ResultObject(r);
  bool first = true;
  sink.Text() += "{";
  for (auto item = object.begin(); item != object.end(); ++item) {
    sink.Text() += first ? "\n  " : ",\n  ";
    first = false;
    sink.Text() += json(item.key()).dump() + ": ";
    if (item.key() == "observations")
      StreamObservations(r, sink);
    else
      AppendValue(item.value(), 1, &sink.Text());
  }
  sink.Text() += "\n}\n";
}

}  // namespace

std::string FormatJson(const RegressionResult& r) {
  JsonSink sink(nullptr);
  EmitJson(r, sink);
  return std::move(sink.Text());
}

bool WriteJson(const RegressionResult& r, std::FILE* file) {
  JsonSink sink(file);
  EmitJson(r, sink);
  sink.Flush();
  return std::ferror(file) == 0;
}

}  // namespace kelmath_cli
