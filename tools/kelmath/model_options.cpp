#include "model_options.h"

#include "regression_summary.h"

namespace kelmath_cli {

void AddModelOptions(CLI::App& subcommand, ModelOptions& o) {
  auto* response = subcommand.add_option("--response", o.model.response, "column of the response");
  auto* columns =
      subcommand
          .add_option("--columns", o.model.columns,
                      "columns of the regressors, comma-separated (default: all others)")
          ->delimiter(',');
  auto* noIntercept = subcommand.add_flag("--no-intercept", o.noIntercept, "fit without intercept");
  auto* formula = subcommand.add_option(
      "--formula", o.formula,
      "the model in R's notation instead of --response and --columns, e.g. "
      "\"log(price) ~ weight + I(weight^2) + type + weight:type\": log, log10, log2, exp, sqrt, "
      "abs, ^ and I(...) arithmetic; text columns and factor(...) as factors (treatment "
      "contrasts); a:b, a*b, (a+b)^2; -1 or + 0 for no intercept; . for every other column");
  for (CLI::Option* plain : {response, columns, noIntercept}) formula->excludes(plain);
  subcommand
      .add_option("--reference", o.references,
                  "reference level of a factor of --formula, FACTOR=LEVEL (default: the first "
                  "level in R's order), comma-separated")
      ->delimiter(',')
      ->needs(formula);
}

CLI::Option* AddWeightsOption(CLI::App& subcommand, ModelOptions& o) {
  return subcommand.add_option(
      "--weights", o.model.weights,
      "column of positive weights: weighted least squares, every statistic as R's lm(weights =); "
      "a row without a weight is dropped");
}

ModelRequest ModelOf(const ModelOptions& o, const std::string& subcommand, char decimal) {
  if (o.formula.empty() && o.model.response.empty())
    throw UsageError(subcommand + ": --response or --formula is required");
  ModelRequest model = o.model;
  model.columns = TrimmedNames(o.model.columns);
  model.clusters = TrimmedNames(o.model.clusters);
  if (model.clusters.size() > 2) throw UsageError("--cluster takes one or two columns");
  model.intercept = !o.noIntercept;
  model.decimal = decimal;
  return model;
}

PreparedData ReadModelData(const ModelOptions& o, const std::string& dataFile, char separator,
                           const ModelRequest& model, FormulaCoding* coding) {
  if (o.formula.empty()) return PrepareRegressionData(ReadCsvFile(dataFile, separator), model);
  FormulaRequest request;
  request.formula = o.formula;
  request.references = TrimmedNames(o.references);
  request.decimal = model.decimal;
  request.clusters = model.clusters;
  request.weights = model.weights;
  return PrepareFormulaData(ReadCsvFile(dataFile, separator), request, coding);
}

std::string FittingStep(const RegressionData& data) {
  std::string step = "fitting ";
  step += FormatCount(data.response.size());
  step += " rows of ";
  step += FormatCount(data.parameterNames.size());
  step += data.parameterNames.size() == 1 ? " column" : " columns";
  return step;
}

}  // namespace kelmath_cli
