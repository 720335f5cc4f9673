// The library's own reports of a request's regression (those `kelmath regress --output` writes),
// captured in memory: the regression is filled as the command fills it, then each report prints
// into a string. Runs without the GIL.
#ifndef KELMATH_PYTHON_LIBRARY_REPORTS_H
#define KELMATH_PYTHON_LIBRARY_REPORTS_H

#include <string>
#include <vector>

#include "ols_fit.h"

class KelLinearRegression;

namespace kelmath_python {

// Fits the request as the command does (ComputeRegression, the classical covariance) and leaves
// the data in regression, for its reports and accessors; what the library writes meanwhile is
// appended to libraryText. Throws BindingError for every problem, as FitOls.
kelmath_cli::RegressionResult FillRegression(const OlsRequest& request,
                                             KelLinearRegression& regression,
                                             std::string& libraryText);

// The text of the command's report file: its header (the call, the data, the parameters b1..bn
// and the data row of each experiment), then the chosen reports (names of kReportNames, printed
// in that order) of the filled regression.
std::string ReportText(const OlsRequest& request, const std::vector<std::string>& reports,
                       KelLinearRegression& regression);

// The same of a new regression of the request; an unknown report name is an input error.
std::string LibraryReports(const OlsRequest& request, const std::vector<std::string>& reports);

}  // namespace kelmath_python

#endif
