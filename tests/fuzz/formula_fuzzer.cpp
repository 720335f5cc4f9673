// Fuzz target: model formulas over CSV data, as `kelmath regress --formula` prepares them. The
// first line is the formula, the rest the data file. Any input must end in regression data whose
// sizes agree or in one problem line, never in a crash, a hang or an exception.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "csv_table.h"
#include "formula_design.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(bytes), size);
  const size_t lineEnd = input.find('\n');
  if (lineEnd == std::string_view::npos) return 0;
  kelmath_cli::FormulaRequest request;
  request.formula = std::string(input.substr(0, lineEnd));
  const kelmath_cli::ParsedCsv parsed = kelmath_cli::ParseCsv(input.substr(lineEnd + 1));
  if (!parsed.Ok()) return 0;
  const kelmath_cli::PreparedData prepared = kelmath_cli::PrepareFormulaData(parsed.table, request);
  if (!prepared.Ok()) {
    Check(prepared.problem.find('\n') == std::string::npos);
    return 0;
  }
  const kelmath_cli::RegressionData& data = prepared.data;
  Check(data.response.size() == data.usedRows.size());
  Check(data.regressors.size() == data.usedRows.size() * data.parameterNames.size());
  Check(data.usedRows.size() + data.droppedRows.size() == parsed.table.RowCount());
  return 0;
}
