// kelmath nls: nonlinear least squares of rival models written as formulas, their comparison and
// the search for the next experiment.
//
//   kelmath nls DATA.csv --model "Y ~ EXPRESSION" --start NAME=VALUE,... [--model ... --start ...]
//           [--weights COLUMN | --variances COLUMN | --variances NUMBER --variance-df N
//            [--errors-in COLUMN=VARIANCE ...]] [--design XMIN:XMAX | --design X=MIN:MAX,...]
//           [--json RESULT.json] [--output REPORT.txt] [--html PAGE.html]
//           [--sep , | ; | tab] [--decimal . | ,]
//
// The k-th --start gives the parameters of the k-th --model, in order. The summary goes to
// standard output; a model whose estimation did not converge is also a warning on standard error.
#ifndef KELMATH_TOOLS_KELMATH_NLS_COMMAND_H
#define KELMATH_TOOLS_KELMATH_NLS_COMMAND_H

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "command_support.h"

namespace kelmath_cli {

struct NlsOptions {
  std::string dataFile;
  std::vector<std::string> models;
  std::vector<std::string> starts;
  std::string weights;
  std::string variances;
  int varianceDegreesOfFreedom = 0;
  std::vector<std::string> errorsIn;
  std::string design;
  std::string jsonFile;
  std::string outputFile;
  std::string htmlFile;
  CsvFormatOptions format;
};

// Adds the data argument and the options of nls, bound to o.
void AddNlsOptions(CLI::App& nls, NlsOptions& o);

// Fits, writes the files asked for (all or none) and prints the summary; returns the exit
// status 0 and throws on a usage or data error.
int RunNls(const NlsOptions& o, const Invocation& invocation);

}  // namespace kelmath_cli

#endif
