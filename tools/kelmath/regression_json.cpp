#include "regression_json.h"

#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>

#include "json_text.h"
#include "name_text.h"

namespace kelmath_cli {

namespace {

using json = JsonValue;

json Robust(const RobustResult& robust) {
  json coefficients = json::array();
  for (const double b : robust.coefficients) coefficients.push_back(JsonNumber(b));
  return {{"lms", JsonNumber(robust.leastMedianOfSquares)},
          {"coefficients", coefficients},
          {"outlier_rows", robust.outlierRows}};
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
  // A streamed fit's rows are in its --observations file, not held.
  if (r.observations.empty() || r.Streamed()) {
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
      {"coefficients", CoefficientsJson(r)},
      {"covariance_type", KelCovarianceName(r.covariance)},
      {"condition_number", JsonNumber(r.conditionNumber)},
      {"exact_fit", r.exactFit},
      {"sigma", JsonNumber(r.sigma)},
      {"r_squared", JsonNumber(r.rSquared)},
      {"adj_r_squared", JsonNumber(r.adjRSquared)},
      {"f_statistic", JsonNumber(r.fStatistic)},
      {"f_p_value", JsonNumber(r.fPValue)},
      {"aic", JsonNumber(r.aic)},
      {"bic", JsonNumber(r.bic)},
      {"breusch_pagan",
       {{"statistic", JsonNumber(r.breuschPagan)}, {"p_value", JsonNumber(r.breuschPaganPValue)}}},
      {"observations", json::array()}};
  if (r.Weighted()) object["weights"] = r.weightsName;
  if (r.varianceAssigned) {
    object["assigned_variance"] = {{"variance", JsonNumber(r.variance)},
                                   {"dof", r.varianceDof},
                                   {"f_statistic", JsonNumber(r.varianceF)},
                                   {"f_p_value", JsonNumber(r.varianceFPValue)}};
  }
  if (r.covariance == KelCovarianceType::kCluster) {
    json clusters = json::array();
    for (size_t k = 0; k < r.clusterNames.size(); ++k)
      clusters.push_back({{"column", r.clusterNames[k]}, {"groups", r.clusterGroups[k]}});
    object["clusters"] = clusters;
  }
  if (!r.unitLeverageRows.empty()) object["unit_leverage_rows"] = r.unitLeverageRows;
  if (r.hasRobust) object["robust"] = Robust(r.robust);
  if (r.Streamed()) {
    object["streamed"] = {
        {"passes", r.passes}, {"flagged_rows", r.streamedFlagged}, {"data_rows", r.dataRows}};
  }
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
      AppendJsonValue(item.value(), 1, &sink.Text());
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
