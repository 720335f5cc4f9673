// The summary the command prints on standard output, in the manner of R's summary(lm()).
#ifndef KELMATH_TOOLS_KELMATH_REGRESSION_SUMMARY_H
#define KELMATH_TOOLS_KELMATH_REGRESSION_SUMMARY_H

#include <string>
#include <vector>

#include "regression_result.h"

namespace kelmath_cli {

// The text printf formats, however long (lines hold names, which have no length limit).
std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
// A P value as the summary prints it: four significant digits, or "< 2.2e-16" below the
// resolution of a double near 1.
std::string FormatPValue(double p);

// A count with thousands separators: 140,772.
std::string FormatCount(size_t count);

// Data row numbers separated by commas ("none" for an empty list).
std::string FormatRows(const std::vector<int>& rows);

// The coefficient table with its notes (aliased columns, an exact fit, conditioning, the
// covariance, an assigned variance), and the lines of the model's fit (sigma, R^2, F, the
// likelihood, Breusch-Pagan): parts of the summary that other subcommands print too.
std::string CoefficientSection(const RegressionResult& result);
std::string FitSection(const RegressionResult& result);

// The flagged rows the summary lists, as positions in result.influential: all of them, or the
// ten largest Cook's distances and the ten largest |studentized residuals|, in data row order.
std::vector<size_t> ShownInfluential(const RegressionResult& result);
// The whole summary; call is the command line that produced it. Its length does not grow with
// the number of rows: long lists of flagged rows show the most extreme and point to
// observationsFile (the --observations file, or the option itself when none was asked for).
std::string FormatSummary(const RegressionResult& result, const std::string& call,
                          const std::string& fileName, const std::string& observationsFile = "");

}  // namespace kelmath_cli

#endif
