// kelmath predict: predictions of a linear model fitted to one CSV file for the rows of another.
//
//   kelmath predict DATA.csv (--response NAME [--columns A,B,...] [--no-intercept]
//                            | --formula "Y ~ TERMS" [--reference FACTOR=LEVEL,...])
//           [--weights COLUMN] --new NEW.csv [--interval none|confidence|prediction]
//           [--level 0.95] [--output PREDICTIONS.csv] [--html PAGE.html]
//           [--sep , | ; | tab] [--decimal . | ,]
//
// Writes the new file's columns followed by fit (and lwr, upr with an interval), R's names, to
// the output file or standard output; warnings go to standard error.
#ifndef KELMATH_TOOLS_KELMATH_PREDICT_COMMAND_H
#define KELMATH_TOOLS_KELMATH_PREDICT_COMMAND_H

#include <CLI/CLI.hpp>
#include <string>

#include "command_support.h"
#include "model_options.h"

namespace kelmath_cli {

struct PredictOptions {
  std::string dataFile;
  ModelOptions fit;
  std::string newFile;
  std::string interval = "none";
  double level = 0.95;
  std::string outputFile;
  std::string htmlFile;
  CsvFormatOptions format;
};

// Adds the data argument and the options of predict, bound to o.
void AddPredictOptions(CLI::App& predict, PredictOptions& o);

// Fits the model, predicts the new rows and writes them (the file appears only when complete);
// returns the exit status 0 and throws on a usage or data error.
int RunPredict(const PredictOptions& o, const Invocation& invocation);

}  // namespace kelmath_cli

#endif
