// The robust analysis of kelmath robust: the library's least-median-of-squares fit of the rows
// used, its outliers by data row, and the reweighted least squares, the least-squares fit of the
// rows that are not outliers (Rousseeuw's reweighting with weights 0 and 1).
#ifndef KELMATH_TOOLS_KELMATH_ROBUST_ANALYSIS_H
#define KELMATH_TOOLS_KELMATH_ROBUST_ANALYSIS_H

#include <string>
#include <vector>

#include "regression_data.h"
#include "regression_result.h"

class KelLinearRegression;

namespace kelmath_cli {

struct RobustAnalysis {
  // The least-squares fit of every row used, with the robust fit (hasRobust) of the same rows.
  RegressionResult fit;
  // The least squares of the rows that are not outliers, or why there is none (too few rows).
  RegressionResult reweighted;
  std::string reweightedProblem;
  bool HasReweighted() const { return reweightedProblem.empty(); }
};

// The analysis, or the problem of the data in one line (as ComputeRegression's). The regression
// holds the data afterwards, for the library's robust report.
struct ComputedRobust {
  RobustAnalysis analysis;
  std::string problem;
  RegressionProblem kind = RegressionProblem::kNone;
  bool Ok() const { return problem.empty(); }
};
// The data without the rows at the given positions (0-based, ascending) of the rows used: the
// rows of the reweighted least squares when the positions are the outliers'.
RegressionData WithoutRows(const RegressionData& data, const std::vector<int>& positions);

ComputedRobust ComputeRobustAnalysis(const RegressionData& data, KelLinearRegression& regression);

}  // namespace kelmath_cli

#endif
