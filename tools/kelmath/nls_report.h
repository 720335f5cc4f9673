// What kelmath nls prints and writes: the summary in the manner of R's summary(nls()) for each
// model, then the comparison of rival models and the experiment search; and the JSON object.
#ifndef KELMATH_TOOLS_KELMATH_NLS_REPORT_H
#define KELMATH_TOOLS_KELMATH_NLS_REPORT_H

#include <string>

#include "nls_analysis.h"

namespace kelmath_cli {

// How an estimation ended, as the summary says it ("converged on the step", "NOT converged:
// iteration limit") and as the JSON names it ("step", "iteration_limit").
std::string StopText(KelEstimationStop stop);
std::string StopName(KelEstimationStop stop);

// The name of the library's criterion of the experiment search, by number ("max determinant").
const char* CriterionName(int criterion);
// An experiment as "x = 6, t = 2" with the analysis' independent variables; "none" when empty.
std::string ExperimentText(const NlsAnalysis& analysis, const NlsExperiment& experiment);

// The summary: the data and weighting; per model "Formula:", "Parameters:" (Estimate, Std. Error,
// t value, Pr(>|t|)), the residual standard error and how the estimation ended (a fit that did
// not converge is marked as no fit); the comparison with rivals; the search with --design.
std::string FormatNlsSummary(const NlsAnalysis& analysis, const std::string& call,
                             const std::string& fileName);

// One JSON object: rows_used, dropped_rows, models (formula, parameters with name, estimate,
// std_error, t_value, p_value; rss, sigma, df, converged, stop_reason, iterations, evaluations),
// comparison (null for one model) and design (null without --design).
std::string FormatNlsJson(const NlsAnalysis& analysis);

// Warnings for standard error, one line each: every model whose estimation did not converge.
std::vector<std::string> NlsWarnings(const NlsAnalysis& analysis);

}  // namespace kelmath_cli

#endif
