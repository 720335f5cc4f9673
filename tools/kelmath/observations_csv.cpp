#include "observations_csv.h"

#include <cmath>
#include <vector>

namespace kelmath_cli {

namespace {

// A number as R writes it back readably: 17 significant digits, NA, Inf or -Inf.
void AppendNumber(double value, std::string* line) {
  *line += ',';
  if (std::isnan(value)) {
    *line += "NA";
  } else if (std::isinf(value)) {
    *line += value > 0 ? "Inf" : "-Inf";
  } else {
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    *line += text;
  }
}

void AppendFlag(bool flag, std::string* line) {
  *line += flag ? ",TRUE" : ",FALSE";
}

// One flag per row used: whether it is among the library's robust outliers.
std::vector<bool> RobustOutlierFlags(const RegressionResult& r) {
  std::vector<bool> flags(r.observations.size(), false);
  for (const int at : r.robust.outlierObservations) flags[static_cast<size_t>(at)] = true;
  return flags;
}

}  // namespace

void AppendObservationLine(const ObservationRow& o, const InfluentialRow& flags,
                           std::string* line) {
  *line += std::to_string(o.row);
  for (const double value :
       {o.fitted, o.residual, o.leverage, o.studentizedResidual, o.cooksDistance})
    AppendNumber(value, line);
  AppendFlag(flags.cook, line);
  AppendFlag(flags.studentized, line);
  AppendFlag(flags.leverage, line);
  *line += '\n';
}

std::string ObservationsHeader(const RegressionResult& result) {
  std::string header =
      "row,fitted,residual,leverage,studentized_residual,cooks_distance,flag_cook,"
      "flag_residual,flag_leverage";
  if (result.hasRobust) header += ",robust_normalized_residual,robust_outlier";
  return header;
}

bool WriteObservationsCsv(const RegressionResult& r, std::FILE* file) {
  std::fputs((ObservationsHeader(r) + "\n").c_str(), file);
  const std::vector<bool> outlier = r.hasRobust ? RobustOutlierFlags(r) : std::vector<bool>();
  // The flagged rows come in the order of the observations: one pass over both.
  size_t next = 0;
  std::string line;
  for (size_t i = 0; i < r.observations.size(); ++i) {
    const ObservationRow& o = r.observations[i];
    InfluentialRow flags;
    if (next < r.influential.size() && static_cast<size_t>(r.influential[next].observation) == i)
      flags = r.influential[next++];
    line.clear();
    AppendObservationLine(o, flags, &line);
    line.pop_back();
    if (r.hasRobust) {
      AppendNumber(r.robust.normalizedResiduals[i], &line);
      AppendFlag(outlier[i], &line);
    }
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), file);
  }
  return std::ferror(file) == 0;
}

}  // namespace kelmath_cli
