#include "nls_report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "json_text.h"
#include "name_text.h"
#include "regression_summary.h"

namespace kelmath_cli {

namespace {

std::string Number(double value) {
  return std::isnan(value) ? std::string("NA") : Printf("%.6g", value);
}

// Why an estimation that did not converge stopped.
std::string FailureWords(KelEstimationStop stop) {
  if (stop == KelEstimationStop::kIterationLimit) return "iteration limit";
  if (stop == KelEstimationStop::kNoProgress) return "no progress";
  return "not estimated";
}

std::string ParameterTable(const NlsFit& fit) {
  size_t width = 1;
  for (const NlsParameterRow& p : fit.parameters) width = std::max(width, ShownName(p.name).size());
  std::string text = "Parameters:\n" + std::string(width, ' ') +
                     "      Estimate    Std. Error    t value  Pr(>|t|)\n";
  for (const NlsParameterRow& p : fit.parameters) {
    const std::string name = ShownName(p.name);
    char line[160];
    std::snprintf(line, sizeof line, "%s%s %13s %13s %10s %9s\n", name.c_str(),
                  std::string(width - name.size(), ' ').c_str(), Number(p.estimate).c_str(),
                  Number(p.stdError).c_str(), Printf("%.4g", p.tValue).c_str(),
                  FormatPValue(p.pValue).c_str());
    text += line;
  }
  return text;
}

std::string ConvergenceLine(const NlsFit& fit) {
  const std::string cost = " after " + std::to_string(fit.iterations) + " iterations and " +
                           std::to_string(fit.evaluations) + " model evaluations";
  if (fit.Converged()) return "Estimation " + StopText(fit.stopReason) + cost + "\n";
  return "*** Estimation " + StopText(fit.stopReason) + cost +
         ": these are not least-squares estimates ***\n";
}

std::string FitSection(const NlsAnalysis& analysis, size_t k) {
  const NlsFit& fit = analysis.fits[k];
  std::string text = analysis.fits.size() > 1 ? "\nModel " + std::to_string(k + 1) + "\n" : "\n";
  text += "Formula: " + fit.formula + "\n\n";
  text += ParameterTable(fit);
  // With known variances the weighted residuals are in units of the known standard deviations.
  const bool known = analysis.weighting == NlsWeighting::kVarianceColumn ||
                     analysis.weighting == NlsWeighting::kVariance;
  text += "\nResidual standard error: " + Number(fit.sigma) + " on " +
          std::to_string(fit.residualDof) + " degrees of freedom" +
          (known ? " (in units of the known standard deviation)\n" : "\n");
  text += "Residual sum of squares: " + Number(fit.rss) +
          " (at the start: " + Number(fit.initialRss) + ")\n";
  return text + ConvergenceLine(fit);
}

std::string WeightingLine(const NlsAnalysis& a) {
  const std::string column = "'" + ShownName(a.weightingColumn) + "'";
  switch (a.weighting) {
    case NlsWeighting::kNone:
      return "";
    case NlsWeighting::kWeights:
      return "Weights: column " + column +
             " (as R's nls weights: the residual variance is estimated from the fit)\n";
    case NlsWeighting::kVarianceColumn:
      return "Variances: column " + column +
             " (known: the standard errors are those of the known variances)\n";
    case NlsWeighting::kVariance:
      return "Variance of the response: " + Number(a.variance) + " (known, " +
             std::to_string(a.varianceDegreesOfFreedom) +
             " degrees of freedom: the standard errors are those of the known variance)\n";
  }
  return "";
}

std::string ComparisonSection(const NlsComparison& c) {
  const bool f = c.table != KelComparisonTable::kChiSquare;
  std::string text = "\nComparison of the models (";
  if (!c.tested) {
    text +=
        "weighted sums of squares; no test of the fit without known variances: give "
        "--variances):\n";
  } else {
    text += c.table == KelComparisonTable::kChiSquare
                ? "chi-square test of the weighted sum of squares"
            : c.table == KelComparisonTable::kOneResponse
                ? "F test of the mean square error against the known variance"
                : "F test of the weighted sum of squares";
    text += "; rejected: P value < 0.05):\n";
  }
  text += "Model         Value    Value/Best";
  text += f ? "          F" : "";
  text += c.tested ? "    P value   Pseudo P\n" : "   Pseudo P\n";
  for (size_t k = 0; k < c.rows.size(); ++k) {
    const NlsComparisonRow& r = c.rows[k];
    char line[200];
    std::snprintf(line, sizeof line, "%5zu %13s %13s", k + 1, Number(r.value).c_str(),
                  Number(r.ratio).c_str());
    text += line;
    if (f) text += Printf(" %10.4g", r.statistic);
    if (c.tested) {
      std::snprintf(line, sizeof line, " %10s", FormatPValue(r.probability).c_str());
      text += line;
    }
    text += Printf(" %10.4g", r.pseudoProbability);
    text += r.rejected ? "  rejected\n" : "\n";
  }
  return text;
}

std::string SuggestionLines(const NlsAnalysis& a, const NlsModelSuggestions& s) {
  std::string text;
  if (s.criterion != 0)
    text += "  " + std::string(CriterionName(s.criterion)) +
            " criterion: " + ExperimentText(a, s.byCriterion) + "\n";
  text += "  farthest from the experiments: " + ExperimentText(a, s.xDistance) + "\n";
  text += "  most different sensitivities: " + ExperimentText(a, s.fDistance) + "\n";
  text += "  the same two in principal axes: " + ExperimentText(a, s.xDistancePrincipal) + "; " +
          ExperimentText(a, s.fDistancePrincipal) + "\n";
  return text;
}

std::string DesignSection(const NlsAnalysis& a, const NlsDesign& d) {
  std::string text = "\nExperiment search over";
  for (size_t k = 0; k < a.columns.size(); ++k)
    text.append(k > 0 ? ", " : " ")
        .append(ShownName(a.columns[k]))
        .append(" in [" + Number(d.box.low[k]) + ", " + Number(d.box.high[k]) + "]");
  text += " (" + std::to_string(d.candidates) + " candidate experiments):\n";
  for (size_t m = 0; m < d.models.size(); ++m)
    text +=
        "Suggestions for model " + std::to_string(m + 1) + ":\n" + SuggestionLines(a, d.models[m]);
  if (d.couples.empty()) return text;
  text += "Best experiment for each couple of models (discriminating: Tij >= 1.2):\n";
  for (const NlsCouple& c : d.couples)
    text += "  models " + std::to_string(c.first) + " and " + std::to_string(c.second) + ": Tij " +
            Number(c.tij) + " at " + ExperimentText(a, c.where) + "\n";
  text += d.discrimination.empty()
              ? "No experiment discriminates among the models.\n"
              : "Best experiment for model discrimination: " + ExperimentText(a, d.discrimination) +
                    " (mean Tij " + Number(d.discriminationMeanTij) + ")\n";
  text += "Next experiment (balanced between discrimination and estimation): " +
          ExperimentText(a, d.balanced) + "\n";
  return text;
}

JsonValue ExperimentJson(const NlsExperiment& x) {
  if (x.empty()) return nullptr;
  JsonValue values = JsonValue::array();
  for (const double v : x) values.push_back(JsonNumber(v));
  return values;
}

JsonValue FitJson(const NlsFit& fit) {
  JsonValue parameters = JsonValue::array();
  for (const NlsParameterRow& p : fit.parameters)
    parameters.push_back({{"name", ValidUtf8(p.name)},
                          {"estimate", JsonNumber(p.estimate)},
                          {"std_error", JsonNumber(p.stdError)},
                          {"t_value", JsonNumber(p.tValue)},
                          {"p_value", JsonNumber(p.pValue)}});
  return {{"formula", ValidUtf8(fit.formula)},
          {"parameters", parameters},
          {"rss", JsonNumber(fit.rss)},
          {"sigma", JsonNumber(fit.sigma)},
          {"df", fit.residualDof},
          {"converged", fit.Converged()},
          {"stop_reason", StopName(fit.stopReason)},
          {"iterations", fit.iterations},
          {"evaluations", fit.evaluations}};
}

JsonValue ComparisonJson(const NlsComparison& c) {
  JsonValue rows = JsonValue::array();
  for (const NlsComparisonRow& r : c.rows)
    rows.push_back(
        {{"value", JsonNumber(r.value)},
         {"ratio", JsonNumber(r.ratio)},
         {"statistic",
          c.table == KelComparisonTable::kChiSquare ? JsonValue(nullptr) : JsonNumber(r.statistic)},
         {"p_value", c.tested ? JsonNumber(r.probability) : JsonValue(nullptr)},
         {"pseudo_p_value", JsonNumber(r.pseudoProbability)},
         {"rejected", r.rejected}});
  const char* table = !c.tested                                     ? "none"
                      : c.table == KelComparisonTable::kChiSquare   ? "chi_square"
                      : c.table == KelComparisonTable::kOneResponse ? "f_mean_square_error"
                                                                    : "f_weighted_sse";
  return {{"test", table}, {"models", rows}};
}

JsonValue DesignJson(const NlsAnalysis& a, const NlsDesign& d) {
  JsonValue ranges = JsonValue::array();
  for (size_t k = 0; k < a.columns.size(); ++k)
    ranges.push_back({{"column", ValidUtf8(a.columns[k])},
                      {"min", JsonNumber(d.box.low[k])},
                      {"max", JsonNumber(d.box.high[k])}});
  JsonValue models = JsonValue::array();
  for (const NlsModelSuggestions& s : d.models)
    models.push_back({{"criterion", s.criterion != 0 ? JsonValue(CriterionName(s.criterion))
                                                     : JsonValue(nullptr)},
                      {"by_criterion", ExperimentJson(s.byCriterion)},
                      {"x_distance", ExperimentJson(s.xDistance)},
                      {"f_distance", ExperimentJson(s.fDistance)},
                      {"x_distance_principal", ExperimentJson(s.xDistancePrincipal)},
                      {"f_distance_principal", ExperimentJson(s.fDistancePrincipal)}});
  JsonValue couples = JsonValue::array();
  for (const NlsCouple& c : d.couples)
    couples.push_back({{"models", {c.first, c.second}},
                       {"tij", JsonNumber(c.tij)},
                       {"x", ExperimentJson(c.where)}});
  JsonValue design = {{"ranges", ranges},          {"candidates", d.candidates},
                      {"models", models},          {"couples", couples},
                      {"discrimination", nullptr}, {"balanced", ExperimentJson(d.balanced)}};
  if (!d.discrimination.empty())
    design["discrimination"] = {{"x", ExperimentJson(d.discrimination)},
                                {"mean_tij", JsonNumber(d.discriminationMeanTij)}};
  return design;
}

}  // namespace

// The library's criteria of the experiment search, by number.
const char* CriterionName(int criterion) {
  static const char* const names[8] = {"",
                                       "max determinant",
                                       "max dMin",
                                       "max f'(F'F)^-1 f",
                                       "max f'(F'F)^-1 f",
                                       "sum of diameters",
                                       "max inverse condition number",
                                       "sphericity"};
  return criterion >= 1 && criterion <= 7 ? names[criterion] : "";
}

std::string ExperimentText(const NlsAnalysis& a, const NlsExperiment& x) {
  if (x.empty()) return "none";
  std::string text;
  for (size_t k = 0; k < x.size(); ++k)
    text.append(k > 0 ? ", " : "").append(ShownName(a.columns[k])).append(" = " + Number(x[k]));
  return text;
}

std::string StopText(KelEstimationStop stop) {
  if (stop == KelEstimationStop::kStep) return "converged on the step";
  if (stop == KelEstimationStop::kGradient) return "converged on the gradient";
  return "NOT converged: " + FailureWords(stop);
}

std::string StopName(KelEstimationStop stop) {
  switch (stop) {
    case KelEstimationStop::kStep:
      return "step";
    case KelEstimationStop::kGradient:
      return "gradient";
    case KelEstimationStop::kIterationLimit:
      return "iteration_limit";
    case KelEstimationStop::kNoProgress:
      return "no_progress";
    default:
      return "not_estimated";
  }
}

std::string FormatNlsSummary(const NlsAnalysis& a, const std::string& call,
                             const std::string& fileName) {
  std::string text = "Call: " + call + "\n\n";
  text += "Data: " + fileName + ", " + std::to_string(a.dataRows) + " data rows, " +
          std::to_string(a.rowsUsed) + " used";
  if (!a.droppedRows.empty())
    text += "; " + std::to_string(a.droppedRows.size()) + " dropped for missing values: rows " +
            FormatRows(a.droppedRows);
  text += "\n" + WeightingLine(a);
  if (a.errorsInVariables)
    text += "Errors in the independent variables: the x are estimated with the parameters\n";
  for (size_t k = 0; k < a.fits.size(); ++k) text += FitSection(a, k);
  if (a.comparison) text += ComparisonSection(*a.comparison);
  if (a.design) text += DesignSection(a, *a.design);
  return text;
}

std::string FormatNlsJson(const NlsAnalysis& a) {
  JsonValue models = JsonValue::array();
  for (const NlsFit& fit : a.fits) models.push_back(FitJson(fit));
  JsonValue object = {{"rows_used", a.rowsUsed},
                      {"dropped_rows", a.droppedRows},
                      {"models", models},
                      {"comparison", nullptr},
                      {"design", nullptr}};
  if (a.comparison) object["comparison"] = ComparisonJson(*a.comparison);
  if (a.design) object["design"] = DesignJson(a, *a.design);
  std::string text;
  AppendJsonValue(object, 0, &text);
  return text + "\n";
}

std::vector<std::string> NlsWarnings(const NlsAnalysis& a) {
  std::vector<std::string> lines;
  for (size_t k = 0; k < a.fits.size(); ++k)
    if (!a.fits[k].Converged())
      lines.push_back("warning: the estimation of model " + std::to_string(k + 1) +
                      " did not converge (" + FailureWords(a.fits[k].stopReason) +
                      "): its estimates are not a least-squares fit");
  return lines;
}

}  // namespace kelmath_cli
