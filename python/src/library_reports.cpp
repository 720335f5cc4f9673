#include "library_reports.h"

#include <algorithm>

#include "library_call.h"
#include "linear_regression/kel_linear_regression.h"
#include "report_file.h"

namespace kelmath_python {

kelmath_cli::RegressionResult FillRegression(const OlsRequest& request,
                                             KelLinearRegression& regression,
                                             std::string& libraryText) {
  const std::string tooFew = kelmath_cli::TooFewRows(request.data);
  if (!tooFew.empty()) throw BindingError("dimension", tooFew);
  kelmath_cli::ComputedResult computed = CallLibrary(libraryText, true, [&] {
    return kelmath_cli::ComputeRegression(request.data, request.data.intercept, 0.0, 0,
                                          KelCovarianceType::kClassical, false, regression);
  });
  if (!computed.Ok()) throw BindingError(ProblemCategory(computed.kind), computed.problem);
  return std::move(computed.result);
}

std::string ReportText(const OlsRequest& request, const std::vector<std::string>& reports,
                       KelLinearRegression& regression) {
  std::string text = kelmath_cli::ReportHeader(request.data, request.call, request.source);
  // As in the report file, the library's notes stay in the reports.
  CallLibrary(text, false, [&] {
    kelmath_cli::PrintReports(reports, regression);
    KelPrint("\n");
  });
  return text;
}

std::string LibraryReports(const OlsRequest& request, const std::vector<std::string>& reports) {
  const std::vector<std::string>& known = kelmath_cli::kReportNames;
  for (const std::string& name : reports) {
    if (std::find(known.begin(), known.end(), name) == known.end())
      throw BindingError("input",
                         "unknown report '" + name + "': least-squares, svd, robust or stepwise");
  }
  KelLinearRegression regression;
  std::string libraryText;
  FillRegression(request, regression, libraryText);
  return ReportText(request, reports, regression);
}

}  // namespace kelmath_python
