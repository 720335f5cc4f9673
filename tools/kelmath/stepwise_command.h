// kelmath stepwise: the best model of every size of a CSV file's columns, by the library's
// stepwise search.
//
//   kelmath stepwise DATA.csv (--response NAME [--columns A,B,...] [--no-intercept]
//                             | --formula "Y ~ TERMS" [--reference FACTOR=LEVEL,...])
//           [--json RESULT.json] [--output REPORT.txt] [--html PAGE.html]
//           [--sep , | ; | tab] [--decimal . | ,]
//
// The summary goes to standard output, the library's warnings as sentences to standard error.
#ifndef KELMATH_TOOLS_KELMATH_STEPWISE_COMMAND_H
#define KELMATH_TOOLS_KELMATH_STEPWISE_COMMAND_H

#include <CLI/CLI.hpp>
#include <string>

#include "command_support.h"
#include "model_options.h"

namespace kelmath_cli {

struct StepwiseOptions {
  std::string dataFile;
  ModelOptions fit;
  std::string jsonFile;
  std::string outputFile;
  std::string htmlFile;
  CsvFormatOptions format;
};

// Adds the data argument and the options of stepwise, bound to o.
void AddStepwiseOptions(CLI::App& stepwise, StepwiseOptions& o);

// Runs the search, writes the files asked for (all or none) and prints the summary; returns the
// exit status 0 and throws on a usage or data error.
int RunStepwise(const StepwiseOptions& o, const Invocation& invocation);

}  // namespace kelmath_cli

#endif
