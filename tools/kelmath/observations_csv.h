// Every row's diagnostics as a CSV file (the --observations option), for the rows the summary
// does not list.
#ifndef KELMATH_TOOLS_KELMATH_OBSERVATIONS_CSV_H
#define KELMATH_TOOLS_KELMATH_OBSERVATIONS_CSV_H

#include <cstdio>
#include <string>

#include "regression_result.h"

namespace kelmath_cli {

// The header line of the file (without the line break): row, fitted, residual, leverage,
// studentized_residual, cooks_distance, the three flags of the summary's rules of thumb and,
// when the robust fit ran, robust_normalized_residual and robust_outlier.
std::string ObservationsHeader(const RegressionResult& result);

// Appends the line of one row (its line break included) without the robust fit's columns, as
// WriteObservationsCsv writes it.
void AppendObservationLine(const ObservationRow& row, const InfluentialRow& flags,
                           std::string* line);

// Writes the header and one line per row used, in data row order, as it goes (nothing is held
// in memory but one line): numbers with 17 significant digits ("%.17g"), NA for an undefined
// value, flags TRUE or FALSE, as R's read.csv and pandas read them. Returns false when the file
// could not be written.
bool WriteObservationsCsv(const RegressionResult& result, std::FILE* file);

}  // namespace kelmath_cli

#endif
