// The regression of a CSV file that is never held in memory: the rows are read in blocks, in
// passes over the file, by one process or by every rank of an MPI run, each rank reading its own
// byte range (split at line starts).
//
// Pass 1 folds the rows into the triangle of a streaming QR (each rank its own, combined up a
// reduction tree) and fits from it with the in-memory fit's rules. Pass 2 computes every row's
// fitted value, residual, leverage, studentized residual and Cook's distance, accumulating the
// Breusch-Pagan regression and the meat of a robust covariance, the flagged rows the summary may
// list and a histogram of the residuals; it writes the --observations lines in data row order.
// Further passes select the residual quantiles exactly (and, for HC5, whose weights need the
// largest leverage, accumulate its meat) and count the diagnostic plots' densities
// (streamed_panels.h). Memory is O(columns^2 + block) whatever the rows.
//
// The numbers are the in-memory fit's to rounding (times the condition number): R, Q'y and the
// per-row quantities come from the same Householder QR, only accumulated in another order.
#ifndef KELMATH_TOOLS_KELMATH_STREAMED_REGRESSION_H
#define KELMATH_TOOLS_KELMATH_STREAMED_REGRESSION_H

#include <functional>
#include <string>
#include <vector>

#include "diagnostic_panels.h"
#include "parallel_context.h"
#include "regression_result.h"

namespace kelmath_cli {

struct StreamedRequest {
  std::string path;
  ModelRequest model;  // response, columns, intercept, decimal mark; no weights or clusters
  char separator = 0;  // 0: chosen from the header
  KelCovarianceType covariance = KelCovarianceType::kClassical;
  // Receives this process's --observations lines (line breaks included), in data row order, in
  // pieces of about a megabyte; unset when none are asked for.
  std::function<void(const std::string&)> observationLines = {};
  // Receives, on the root, the diagnostic panels (counted in pass 3, which then always runs);
  // unset when no plots are asked for.
  std::function<void(std::vector<DiagnosticPanel>)> panels = {};
  long long blockRows = 4096;
};

// The result on the root rank (rank 0; the others hold only what they computed), with passes
// and the counts of RegressionResult's streamed fields set; or the problem, the same on every
// rank: of the file (a bad line, named by its line in the file and, with several ranks, the rank
// that read it), of the model (too few rows, a constant response) or of the numbers.
ComputedResult ComputeStreamedRegression(const StreamedRequest& request, ParallelContext& context);

}  // namespace kelmath_cli

#endif
