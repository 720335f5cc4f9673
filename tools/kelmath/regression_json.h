// The result as one JSON object, for programs that read it.
#ifndef KELMATH_TOOLS_KELMATH_REGRESSION_JSON_H
#define KELMATH_TOOLS_KELMATH_REGRESSION_JSON_H

#include <cstdio>
#include <string>

#include "regression_result.h"

namespace kelmath_cli {

// The JSON text (indented, ending in a line break). Numbers that are not counts are written
// with 17 significant digits ("%.17g": 0.10000000000000001, 2, 1.2345678901234567e-05); an
// undefined value is null.
std::string FormatJson(const RegressionResult& result);

// The same text written to file as it is produced, so that the per-row arrays are never held
// whole in memory. Returns false when the file could not be written.
bool WriteJson(const RegressionResult& result, std::FILE* file);

}  // namespace kelmath_cli

#endif
