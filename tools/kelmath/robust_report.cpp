#include "robust_report.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "json_text.h"
#include "name_text.h"
#include "regression_summary.h"

namespace kelmath_cli {

namespace {

// Up to this many outlier rows are listed; beyond it the most extreme.
constexpr size_t kListed = 10;

std::string RowList(const std::vector<int>& rows) {
  if (rows.empty()) return "none";
  std::string text = "rows ";
  return text += FormatRows(rows);
}

// The outliers: every one up to kListed, else their count and the kListed largest
// |normalized residuals|, with the pointer to the rows' file.
std::string OutlierLines(const RobustResult& robust, const std::string& observationsFile) {
  std::string text = "Outliers (|normalized robust residual| > 2.5): ";
  const std::vector<int>& rows = robust.outlierRows;
  if (rows.size() <= kListed) {
    text += RowList(rows) + "\n";
    text += "  highly probable (> 10): " + RowList(robust.highlyProbableRows) +
            "; possible: " + RowList(robust.possibleRows) + "\n";
    return text;
  }
  std::vector<size_t> order(rows.size());
  for (size_t k = 0; k < order.size(); ++k) order[k] = k;
  const auto size = [&](size_t k) {
    return std::fabs(
        robust.normalizedResiduals[static_cast<size_t>(robust.outlierObservations[k])]);
  };
  std::partial_sort(
      order.begin(), order.begin() + static_cast<long>(kListed), order.end(),
      [&](size_t a, size_t b) { return size(a) > size(b) || (size(a) == size(b) && a < b); });
  std::vector<int> extreme;
  for (size_t k = 0; k < kListed; ++k) extreme.push_back(rows[order[k]]);
  text += FormatCount(rows.size()) + " rows (" + FormatCount(robust.highlyProbableRows.size()) +
          " highly probable, > 10); the 10 most extreme: rows " + FormatRows(extreme) + "\n";
  text += "and " + FormatCount(rows.size() - kListed) + " more: see " +
          (observationsFile.empty() ? std::string("--observations FILE") : observationsFile) + "\n";
  return text;
}

std::string RobustLines(const RegressionResult& r, const std::string& observationsFile) {
  const RobustResult& robust = r.robust;
  std::vector<std::string> names;
  size_t width = 11;
  for (const CoefficientRow& c : r.coefficients) {
    names.push_back(ShownName(c.name));
    width = std::max(width, names.back().size());
  }
  std::string text = "\nLeast median of squares fit:\n";
  text += std::string(width, ' ') + "      Estimate\n";
  for (size_t k = 0; k < names.size(); ++k)
    text += names[k] + std::string(width - names[k].size(), ' ') +
            Printf(" %13.6g\n", robust.coefficients[k]);
  text += "Median of squared residuals: " + Printf("%.6g", robust.leastMedianOfSquares) +
          ",  robust scale: " + Printf("%.6g", robust.scale) +
          ",  robust R-squared: " + Printf("%.4g", robust.rSquared) + "\n";
  return text + OutlierLines(robust, observationsFile);
}

}  // namespace

std::string FormatRobustSummary(const RobustAnalysis& analysis, const std::string& call,
                                const std::string& fileName, const std::string& observationsFile) {
  const RegressionResult& r = analysis.fit;
  std::string text = "Call: " + call + "\n\n";
  text += "Data: " + fileName + ", " + std::to_string(r.dataRows) + " data rows, " +
          std::to_string(r.RowsUsed()) + " used";
  if (!r.droppedRows.empty())
    text += "; " + std::to_string(r.droppedRows.size()) + " dropped for missing values: rows " +
            FormatRows(r.droppedRows);
  text += "\n";
  text += RobustLines(r, observationsFile);
  if (!analysis.HasReweighted()) {
    return text + "\nReweighted least squares: not fitted: " + analysis.reweightedProblem + "\n";
  }
  const size_t outliers = r.robust.outlierRows.size();
  text += outliers == 0 ? std::string("\nReweighted least squares (no outliers: every row):\n")
                        : "\nReweighted least squares (the " +
                              std::to_string(analysis.reweighted.RowsUsed()) +
                              " rows that are not outliers):\n";
  std::string table = CoefficientSection(analysis.reweighted);
  // The section begins with a blank line and its title, which the heading above replaces.
  table.erase(0, table.find('\n', 1) + 1);
  return text + table + FitSection(analysis.reweighted);
}

std::string FormatRobustJson(const RobustAnalysis& analysis) {
  const RegressionResult& r = analysis.fit;
  JsonValue coefficients = JsonValue::array();
  for (size_t k = 0; k < r.coefficients.size(); ++k)
    coefficients.push_back({{"name", ValidUtf8(r.coefficients[k].name)},
                            {"estimate", JsonNumber(r.robust.coefficients[k])}});
  JsonValue object = {
      {"rows_used", r.RowsUsed()},
      {"dropped_rows", r.droppedRows},
      {"lms", JsonNumber(r.robust.leastMedianOfSquares)},
      {"scale", JsonNumber(r.robust.scale)},
      {"robust_r_squared", JsonNumber(r.robust.rSquared)},
      {"coefficients", coefficients},
      {"outliers",
       {{"highly_probable", r.robust.highlyProbableRows}, {"possible", r.robust.possibleRows}}},
      {"reweighted", nullptr}};
  if (analysis.HasReweighted()) {
    const RegressionResult& w = analysis.reweighted;
    object["reweighted"] = {{"rows_used", w.RowsUsed()},
                            {"coefficients", CoefficientsJson(w)},
                            {"sigma", JsonNumber(w.sigma)},
                            {"r_squared", JsonNumber(w.rSquared)},
                            {"adj_r_squared", JsonNumber(w.adjRSquared)},
                            {"f_statistic", JsonNumber(w.fStatistic)},
                            {"f_p_value", JsonNumber(w.fPValue)}};
  }
  std::string text;
  AppendJsonValue(object, 0, &text);
  return text + "\n";
}

bool WriteRobustObservationsCsv(const RobustAnalysis& analysis, std::FILE* file) {
  const RegressionResult& r = analysis.fit;
  std::fputs("row,fitted,residual,normalized_residual,outlier\n", file);
  size_t next = 0;
  for (size_t i = 0; i < r.observations.size(); ++i) {
    const bool outlier = next < r.robust.outlierObservations.size() &&
                         static_cast<size_t>(r.robust.outlierObservations[next]) == i;
    next += outlier ? 1 : 0;
    std::string line = std::to_string(r.observations[i].row);
    for (const double value :
         {r.robust.fitted[i], r.robust.residuals[i], r.robust.normalizedResiduals[i]}) {
      line += ',';
      line += std::isfinite(value) ? NumberText(value) : std::string("NA");
    }
    line += outlier ? ",TRUE\n" : ",FALSE\n";
    std::fwrite(line.data(), 1, line.size(), file);
  }
  return std::ferror(file) == 0;
}

}  // namespace kelmath_cli
