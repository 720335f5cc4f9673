// The result as one JSON object, for programs that read it.
#ifndef KELMATH_TOOLS_KELMATH_REGRESSION_JSON_H
#define KELMATH_TOOLS_KELMATH_REGRESSION_JSON_H

#include <string>

#include "regression_result.h"

namespace kelmath_cli {

// The JSON text (indented, ending in a line break). Numbers are written in the shortest form
// that reads back to the same double (at most 17 significant digits); an undefined value is
// null.
std::string FormatJson(const RegressionResult& result);

}  // namespace kelmath_cli

#endif
