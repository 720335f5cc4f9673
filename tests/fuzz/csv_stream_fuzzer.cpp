// Fuzz target: the `kelmath` command's CSV reader in parts (csv_stream.h), as --stream and the
// ranks of mpirun use it. Any file must either stop with a one-line problem or give finite rows
// of the header's width, in every split into parts and with buffers smaller than a line; where
// the whole-file reader accepts the text and the parts raise no problem, both give the same
// number of rows. Never a crash, a hang or a read out of bounds.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "csv_stream.h"
#include "csv_table.h"
#include "fuzz_support.h"
#include "regression_data.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = WriteFuzzInput(data, size, ".csv");
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const kelmath_cli::ParsedCsv parsed = kelmath_cli::ParseCsv(text);
  kelmath_cli::ModelRequest request;
  request.response = parsed.Ok() ? parsed.table.names.front() : std::string("y");
  long long wholeRows = -1;
  if (parsed.Ok()) {
    const kelmath_cli::PreparedData prepared =
        kelmath_cli::PrepareRegressionData(parsed.table, request);
    if (prepared.Ok()) wholeRows = static_cast<long long>(prepared.data.usedRows.size());
  }
  const kelmath_cli::CsvStreamHeader header = kelmath_cli::ReadCsvStreamHeader(path, request);
  if (!header.Ok()) {
    if (header.problem.find('\n') != std::string::npos) __builtin_trap();
    return 0;
  }
  for (const int parts : {1, 3}) {
    long long rows = 0;
    bool problem = false;
    for (int part = 0; part < parts; ++part) {
      const kelmath_cli::CsvByteRange range =
          kelmath_cli::RangeOfPart(path, header.dataStart, part, parts);
      if (!range.Ok()) return 0;
      kelmath_cli::CsvRowStream stream(path, header, range, 5);
      while (const size_t block = stream.NextBlock(3)) {
        if (stream.Values().size() != block * header.Width()) __builtin_trap();
        for (const double value : stream.Values())
          if (!std::isfinite(value)) __builtin_trap();
        rows += static_cast<long long>(block);
      }
      if (stream.Problem().Found()) {
        if (stream.Problem().At(1).find('\n') != std::string::npos) __builtin_trap();
        problem = true;
        break;
      }
    }
    // A quoted line break, refused in parts, is the one text the whole-file reader takes.
    if (!problem && wholeRows >= 0 && rows != wholeRows) __builtin_trap();
  }
  return 0;
}
