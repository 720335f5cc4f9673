// kelmath robust: the least-median-of-squares fit of a CSV file's columns, its outliers by data
// row and the reweighted least squares.
//
//   kelmath robust DATA.csv (--response NAME [--columns A,B,...] [--no-intercept]
//                           | --formula "Y ~ TERMS" [--reference FACTOR=LEVEL,...])
//           [--json RESULT.json] [--output REPORT.txt] [--plots DIR]
//           [--observations ROWS.csv] [--html PAGE.html] [--sep , | ; | tab] [--decimal . | ,]
//
// The summary goes to standard output, the library's warnings as sentences to standard error.
#ifndef KELMATH_TOOLS_KELMATH_ROBUST_COMMAND_H
#define KELMATH_TOOLS_KELMATH_ROBUST_COMMAND_H

#include <CLI/CLI.hpp>
#include <string>

#include "command_support.h"
#include "model_options.h"

namespace kelmath_cli {

struct RobustOptions {
  std::string dataFile;
  ModelOptions fit;
  std::string jsonFile;
  std::string outputFile;
  std::string plotFolder;
  std::string observationsFile;
  std::string htmlFile;
  CsvFormatOptions format;
};

// Adds the data argument and the options of robust, bound to o.
void AddRobustOptions(CLI::App& robust, RobustOptions& o);

// Fits, writes the files asked for (all or none) and prints the summary; returns the exit
// status 0 and throws on a usage or data error.
int RunRobust(const RobustOptions& o, const Invocation& invocation);

}  // namespace kelmath_cli

#endif
