// What kelmath robust prints and writes: the summary, the JSON object and the rows' CSV.
#ifndef KELMATH_TOOLS_KELMATH_ROBUST_REPORT_H
#define KELMATH_TOOLS_KELMATH_ROBUST_REPORT_H

#include <cstdio>
#include <string>

#include "robust_analysis.h"

namespace kelmath_cli {

// The summary: the data, the least-median-of-squares estimates, the criterion, the robust scale
// and R^2, the outliers by data row (all of them up to ten, else the count and the ten most
// extreme, pointing to observationsFile), and the reweighted least squares in the manner of
// the regress summary. Its length does not grow with the rows.
std::string FormatRobustSummary(const RobustAnalysis& analysis, const std::string& call,
                                const std::string& fileName, const std::string& observationsFile);

// One JSON object: rows_used, dropped_rows, lms, scale, robust_r_squared, coefficients (name,
// estimate), outliers (highly_probable, possible: data rows), and reweighted (rows_used,
// coefficients as regress writes them, sigma, r_squared, adj_r_squared, f_statistic, f_p_value;
// null without it).
std::string FormatRobustJson(const RobustAnalysis& analysis);

// Every row used: row, fitted, residual, normalized_residual (of the robust fit) and outlier.
bool WriteRobustObservationsCsv(const RobustAnalysis& analysis, std::FILE* file);

}  // namespace kelmath_cli

#endif
