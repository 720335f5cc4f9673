// Fuzz target: the `kelmath` command's CSV reader and the regression data taken from it. Any
// text must either be described as a problem in one line or give a table whose rows all have
// the header's width, never crash, hang or read out of bounds.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "csv_table.h"
#include "regression_data.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const kelmath_cli::ParsedCsv parsed = kelmath_cli::ParseCsv(text);
  if (!parsed.Ok()) {
    if (parsed.problem.find('\n') != std::string::npos) __builtin_trap();  // one line only
    return 0;
  }
  const kelmath_cli::CsvTable& table = parsed.table;
  const size_t cells = table.RowCount() * table.names.size();
  if (table.cellStarts.size() != cells || table.cellLengths.size() != cells) __builtin_trap();
  for (size_t i = 0; i < table.RowCount(); ++i) {
    for (size_t j = 0; j < table.names.size(); ++j) {
      if (table.cellStarts[i * table.names.size() + j] + table.Cell(i, j).size() >
          table.text.size())
        __builtin_trap();
      kelmath_cli::ReadCell(table.Cell(i, j));
    }
  }
  for (const bool intercept : {true, false}) {
    const kelmath_cli::PreparedData prepared =
        kelmath_cli::PrepareRegressionData(table, {table.names.front(), {}, intercept});
    if (!prepared.Ok()) continue;
    const kelmath_cli::RegressionData& d = prepared.data;
    if (d.usedRows.size() + d.droppedRows.size() != table.RowCount()) __builtin_trap();
    if (d.usedRows.size() <= d.parameterNames.size()) __builtin_trap();
    if (d.regressors.size() != d.usedRows.size() * d.parameterNames.size()) __builtin_trap();
  }
  return 0;
}
