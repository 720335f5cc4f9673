// kelmath regress: the linear regression of a CSV file's columns.
//
//   kelmath regress DATA.csv (--response NAME [--columns A,B,...] [--no-intercept]
//                            | --formula "Y ~ TERMS" [--reference FACTOR=LEVEL,...])
//           [--variance V --dof K] [--se classical|hc0|hc1|...]
//           [--cluster COLUMN[,COLUMN]] [--weights COLUMN]
//           [--reports least-squares,svd,robust,stepwise]
//           [--output REPORT.txt] [--json RESULT.json] [--plots DIR]
//           [--sep , | ; | tab] [--decimal . | ,]
//           [--observations ROWS.csv] [--html PAGE.html] [--stream] [--stream-above MB]
//
// The summary goes to standard output, the library's warnings as sentences to standard error.
// With --stream (and always under mpirun), or for a file larger than --stream-above megabytes
// (default 1024) when no option needs it in memory, the file is read in passes and never held
// in memory (streamed_regression.h): the model is then given by --response and --columns, and
// the summary, --json (without its per-row array), --observations and --plots are written.
#ifndef KELMATH_TOOLS_KELMATH_REGRESS_COMMAND_H
#define KELMATH_TOOLS_KELMATH_REGRESS_COMMAND_H

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "command_support.h"
#include "model_options.h"

namespace kelmath_cli {

struct RegressOptions {
  std::string dataFile;
  ModelOptions fit;  // the model; --cluster sets its clusters
  double variance = 0.0;
  int varianceDof = 0;
  std::string standardErrors = "classical";  // --se; --cluster chooses the cluster-robust one
  std::vector<std::string> reports;
  std::string outputFile;
  std::string jsonFile;
  std::string plotFolder;
  std::string observationsFile;
  std::string htmlFile;
  bool stream = false;
  double streamAboveMegabytes = 1024.0;
  CsvFormatOptions format;
};

// Adds the data argument and the options of regress, bound to o.
void AddRegressOptions(CLI::App& regress, RegressOptions& o);

// Fits the regression, writes the files asked for (all or none) and prints the summary;
// returns the exit status 0 and throws on a usage or data error.
int RunRegress(const RegressOptions& o, const Invocation& invocation);

}  // namespace kelmath_cli

#endif
