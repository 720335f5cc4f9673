// Fuzz target: the whole `kelmath regress` pipeline through the command's own functions, as the
// command runs it (library in throw mode, its output captured): parse, prepare, fit, JSON, plots,
// summary, report file. The first byte chooses the options, the rest is the data file. Any input
// must end in a result or a library error (the command's exit status 2), never in a crash, a hang
// or another exception; the JSON must parse, and the summary and the SVG images must be valid
// UTF-8 with no control character but the line break (names are shortened and escaped).
#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "csv_table.h"
#include "diagnostic_plots.h"
#include "foundation/kel_exception.h"
#include "foundation/kel_output.h"
#include "library_warnings.h"
#include "linear_regression/kel_linear_regression.h"
#include "name_text.h"
#include "regression_data.h"
#include "regression_json.h"
#include "regression_result.h"
#include "regression_summary.h"
#include "report_file.h"

namespace {

// Sizes the fuzzer explores quickly; larger inputs are the kill and scale tests' business.
constexpr size_t kMaxRows = 200;
constexpr size_t kMaxParameters = 8;
constexpr size_t kMaxRobustRows = 40;

bool PrintableText(const std::string& text) {
  for (const char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if ((u < 0x20 && c != '\n') || u == 0x7F) return false;
  }
  return kelmath_cli::ValidUtf8(text) == text;
}

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

void Outputs(const kelmath_cli::RegressionData& data, const kelmath_cli::RegressionResult& result,
             KelLinearRegression& regression) {
  const std::string json = kelmath_cli::FormatJson(result);
  Check(nlohmann::json::accept(json));
  for (const kelmath_cli::PlotImage& image : kelmath_cli::RenderDiagnosticPlots(result)) {
    Check(kelmath_cli::ValidUtf8(image.svg) == image.svg);
    Check(image.svg.find('\0') == std::string::npos);
  }
  Check(PrintableText(kelmath_cli::FormatSummary(result, "kelmath regress fuzz.csv", "fuzz.csv")));
  const std::string header = kelmath_cli::ReportHeader(data, "regress fuzz.csv", "fuzz.csv");
  Check(kelmath_cli::WriteReportFile("/dev/null", header, {"least-squares"}, regression));
}

void Pipeline(std::string_view text, uint8_t choice) {
  const char separators[] = {0, ',', ';', '\t'};
  const kelmath_cli::ParsedCsv parsed = kelmath_cli::ParseCsv(text, separators[choice & 3]);
  if (!parsed.Ok()) {
    Check(parsed.problem.find('\n') == std::string::npos);
    return;
  }
  kelmath_cli::ModelRequest model{parsed.table.names.front(), {}, (choice & 4) == 0};
  model.decimal = (choice & 8) != 0 && separators[choice & 3] != ',' ? ',' : '.';
  if ((choice & 128) != 0 && parsed.table.names.size() > 2)
    model.clusters = {parsed.table.names.back()};
  const kelmath_cli::PreparedData prepared =
      kelmath_cli::PrepareRegressionData(parsed.table, model);
  if (!prepared.Ok()) {
    Check(PrintableText(prepared.problem));
    return;
  }
  const kelmath_cli::RegressionData& data = prepared.data;
  if (data.usedRows.size() > kMaxRows || data.parameterNames.size() > kMaxParameters) return;
  const bool robust = (choice & 16) != 0 && data.usedRows.size() <= kMaxRobustRows;
  const double variance = (choice & 32) != 0 ? 0.5 : 0.0;
  const KelCovarianceType covariance = !model.clusters.empty() ? KelCovarianceType::kCluster
                                       : (choice & 64) != 0 && variance == 0.0
                                           ? KelCovarianceType::kHC3
                                           : KelCovarianceType::kClassical;
  KelLinearRegression regression;
  std::string libraryText;
  kelmath_cli::ComputedResult computed;
  {
    KelOutputScope capture(libraryText);
    computed = kelmath_cli::ComputeRegression(data, model.intercept, variance, 3, covariance,
                                              robust, regression);
  }
  for (const std::string& line : kelmath_cli::WarningLines(libraryText))
    Check(line.find('\n') == std::string::npos);
  if (!computed.Ok()) {
    Check(PrintableText(computed.problem));
    return;
  }
  Outputs(data, computed.result, regression);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  KelErrorModeScope throwing(KelErrorMode::Throw);
  KelOutputScope discard(nullptr);
  kelWarningMode = 0;
  try {
    Pipeline(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1), data[0]);
  } catch (const KelException&) {
    // A library error: the command reports it as a data error, exit status 2.
  }
  return 0;
}
