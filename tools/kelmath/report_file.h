// The library's own reports of the regression, gathered in one text file.
#ifndef KELMATH_TOOLS_KELMATH_REPORT_FILE_H
#define KELMATH_TOOLS_KELMATH_REPORT_FILE_H

#include <string>
#include <vector>

#include "regression_data.h"

class KelLinearRegression;

namespace kelmath_cli {

// The reports a user may ask for, in the order they are written.
inline const std::vector<std::string> kReportNames = {"least-squares", "svd", "robust", "stepwise"};

// The header of the report file: the command, the data, which column each parameter number
// b1..bn of the reports stands for, and which data row each experiment number is.
std::string ReportHeader(const RegressionData& data, const std::string& call,
                         const std::string& fileName);

// Prints the chosen reports (names from kReportNames), in the order of kReportNames, to the
// library's output channel as it is.
void PrintReports(const std::vector<std::string>& reports, KelLinearRegression& regression);

// Writes the header and the chosen reports (names from kReportNames) to path through the
// library's output channel, which is given back afterwards. Returns false when the file cannot
// be written.
bool WriteReportFile(const std::string& path, const std::string& header,
                     const std::vector<std::string>& reports, KelLinearRegression& regression);

}  // namespace kelmath_cli

#endif
