#include "report_file.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "foundation/kel_output.h"
#include "linear_regression/kel_linear_regression.h"
#include "name_text.h"

namespace kelmath_cli {

std::string ReportHeader(const RegressionData& data, const std::string& call,
                         const std::string& fileName) {
  std::string text = "kelmath: " + call + "\n";
  text += "Data: " + fileName + ", response " + ShownName(data.responseName) + ", " +
          std::to_string(data.usedRows.size()) + " of " + std::to_string(data.dataRows) +
          " data rows used\n";
  text += "Parameters:";
  for (size_t j = 0; j < data.parameterNames.size(); ++j)
    text += " b" + std::to_string(j + 1) + " = " + ShownName(data.parameterNames[j]) +
            (j + 1 < data.parameterNames.size() ? "," : "\n");
  if (data.droppedRows.empty()) {
    text += "Experiment i of the reports is data row i.\n";
  } else {
    text += "Experiments of the reports and their data rows (experiment:row):";
    for (size_t i = 0; i < data.usedRows.size(); ++i)
      text.append(" ")
          .append(std::to_string(i + 1))
          .append(":")
          .append(std::to_string(data.usedRows[i]));
    text += "\n";
  }
  return text;
}

void PrintReports(const std::vector<std::string>& reports, KelLinearRegression& regression) {
  const auto chosen = [&](const std::string& name) {
    return std::find(reports.begin(), reports.end(), name) != reports.end();
  };
  if (chosen("least-squares")) regression.LeastSquaresAnalysis();
  if (chosen("svd")) regression.SVDAnalysis();
  if (chosen("robust")) regression.RobustAnalysis();
  if (chosen("stepwise")) regression.StepwiseAnalysis();
}

bool WriteReportFile(const std::string& path, const std::string& header,
                     const std::vector<std::string>& reports, KelLinearRegression& regression) {
  FILE* file = std::fopen(path.c_str(), "w");
  if (file == nullptr) return false;
  std::fputs(header.c_str(), file);
  // A library error unwinds through here: the scope puts the channel back and the caller's
  // pending files remove the partial report. The file is closed on every way out.
  std::unique_ptr<FILE, int (*)(FILE*)> closer(file, std::fclose);
  {
    KelOutputScope channel(file);
    PrintReports(reports, regression);
    KelPrint("\n");
  }
  const bool written = std::ferror(file) == 0;
  return std::fclose(closer.release()) == 0 && written;
}

}  // namespace kelmath_cli
