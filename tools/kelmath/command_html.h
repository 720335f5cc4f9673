// The HTML pages of the subcommands (--html FILE): each result as sections of tables and
// verdicts (html_page.h), with the plots and the text summary the subcommand printed.
#ifndef KELMATH_TOOLS_KELMATH_COMMAND_HTML_H
#define KELMATH_TOOLS_KELMATH_COMMAND_HTML_H

#include <string>

#include "nls_analysis.h"
#include "prediction.h"
#include "regression_result.h"
#include "robust_analysis.h"
#include "stepwise_report.h"

namespace kelmath_cli {

// What every page shows besides its results: the command line, the data file and the summary.
struct HtmlContext {
  std::string call;
  std::string fileName;
  std::string textSummary;
};

// regress: the data, coefficients, fit, influential rows and, when made, the robust fit; with
// the diagnostic plots.
std::string RegressionHtml(const RegressionResult& result, const HtmlContext& context);
// robust: the least-median-of-squares fit, its outliers and the reweighted least squares; with
// the plot of the normalized robust residuals.
std::string RobustHtml(const RobustAnalysis& analysis, const HtmlContext& context);
// stepwise: the best model of every size, the doubtful ones and the suggested one marked.
std::string StepwiseHtml(const StepwiseSelection& selection, const HtmlContext& context);
// nls: every model's parameters and how its estimation ended (a fit that did not converge marked
// as no fit), the comparison of rivals and the experiments the search suggests.
std::string NlsHtml(const NlsAnalysis& analysis, const HtmlContext& context);
// predict: the new rows' predictions with their intervals (the first kHtmlPredictionRows; the
// whole of them are in the CSV), and the notes on the fit.
inline constexpr size_t kHtmlPredictionRows = 1000;
std::string PredictionHtml(const Predictions& predictions, IntervalKind interval, double level,
                           const std::string& newFile, const HtmlContext& context);

}  // namespace kelmath_cli

#endif
