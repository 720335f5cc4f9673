// The JSON the command writes: numbers with 17 significant digits, null for a value that is not
// finite, laid out one member or element per line as dump(2) lays them out; and the pieces of a
// result that several subcommands write.
#ifndef KELMATH_TOOLS_KELMATH_JSON_TEXT_H
#define KELMATH_TOOLS_KELMATH_JSON_TEXT_H

#include <nlohmann/json.hpp>
#include <string>

#include "regression_result.h"

namespace kelmath_cli {

// Members in the order they were added.
using JsonValue = nlohmann::ordered_json;

// NaN has no JSON form: it becomes null, as the writer would do anyway, but explicitly.
JsonValue JsonNumber(double value);

// A double with 17 significant digits ("%.17g"), so that every digit a reader parses is one the
// computation produced; the library's own writer would print the shortest form instead.
std::string NumberText(double value);

// Appends the value laid out at the given depth (0 for the top level).
void AppendJsonValue(const JsonValue& value, int depth, std::string* out);

// The coefficients of a fit: name, estimate, std_error, t_value, p_value, ci95, vif, aliased.
JsonValue CoefficientsJson(const RegressionResult& result);

}  // namespace kelmath_cli

#endif
