// The options that say which model to fit, shared by the subcommands that fit one: the response
// and columns (or a formula with its reference levels), the intercept and the weights.
#ifndef KELMATH_TOOLS_KELMATH_MODEL_OPTIONS_H
#define KELMATH_TOOLS_KELMATH_MODEL_OPTIONS_H

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "command_support.h"
#include "formula_design.h"
#include "regression_data.h"

namespace kelmath_cli {

struct ModelOptions {
  ModelRequest model;  // --response, --columns, --weights (and --cluster where a command has it)
  bool noIntercept = false;
  std::string formula;                  // --formula, instead of the response and columns
  std::vector<std::string> references;  // --reference FACTOR=LEVEL
};

// Adds --response, --columns, --no-intercept, --formula and --reference.
void AddModelOptions(CLI::App& subcommand, ModelOptions& o);
// Adds --weights and returns it, for the options it excludes.
CLI::Option* AddWeightsOption(CLI::App& subcommand, ModelOptions& o);

// The model as the options ask for it, the names as typed without their blanks; a usage error
// without --response or --formula, or with more than two clustering columns.
ModelRequest ModelOf(const ModelOptions& o, const std::string& subcommand, char decimal);

// The regression data of the file, by the formula (with its coding when asked for) or the
// columns; the table read from it is freed before the fit.
PreparedData ReadModelData(const ModelOptions& o, const std::string& dataFile, char separator,
                           const ModelRequest& model, FormulaCoding* coding = nullptr);

// The progress line's step while the data are fitted: "fitting 100,000 rows of 4 columns".
std::string FittingStep(const RegressionData& data);

}  // namespace kelmath_cli

#endif
