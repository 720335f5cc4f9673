#include "regression_summary.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "linear_regression/kel_scaled_least_squares.h"
#include "name_text.h"

namespace kelmath_cli {

std::string Printf(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  va_list again;
  va_copy(again, arguments);
  const int length = std::vsnprintf(nullptr, 0, format, arguments);
  va_end(arguments);
  std::string text(length > 0 ? static_cast<size_t>(length) : 0, '\0');
  if (length > 0) std::vsnprintf(text.data(), text.size() + 1, format, again);
  va_end(again);
  return text;
}

namespace {

constexpr const char* kNotDefined = "NA";

// Four significant digits, or NA for an undefined value.
std::string Short(double value) {
  return std::isnan(value) ? std::string(kNotDefined) : Printf("%.4g", value);
}

// Seven significant digits, or NA.
std::string Long(double value) {
  return std::isnan(value) ? std::string(kNotDefined) : Printf("%.7g", value);
}

std::string DataLines(const RegressionResult& r, const std::string& fileName) {
  std::string text =
      Printf("Data: %s, %d data rows, %d used", fileName.c_str(), r.dataRows, r.RowsUsed());
  if (!r.droppedRows.empty()) {
    text += Printf("; %zu dropped for missing values: rows ", r.droppedRows.size()) +
            FormatRows(r.droppedRows);
  }
  if (r.Streamed())
    text += Printf("\nStreamed: %s rows read in %d passes over the file, none held in memory",
                   FormatCount(static_cast<size_t>(r.dataRows)).c_str(), r.passes);
  return text + "\n";
}

std::string ResidualLines(const RegressionResult& r) {
  std::string text = r.Weighted() ? "\nWeighted Residuals:\n" : "\nResiduals:\n";
  for (const char* label : {"Min", "1Q", "Median", "3Q", "Max"}) text += Printf("%12s", label);
  text += "\n";
  for (const double q : r.residualQuantiles) text += Printf("%12.5g", q);
  return text + "\n";
}

// What the table alone does not say: aliased columns, an exact fit, lost digits.
std::string FitNoteLines(const RegressionResult& r) {
  std::string text;
  for (const CoefficientRow& c : r.coefficients) {
    if (c.aliased)
      text += "Column '" + ShownName(c.name) +
              "' is dropped (NA): it is a linear combination of the earlier columns, within " +
              Printf("%g", kelAliasTolerance) + " of its length.\n";
  }
  if (r.exactFit)
    text +=
        "Warning: essentially perfect fit: the residuals are at rounding level, so the "
        "standard errors are 0 and t, P and F are not defined.\n";
  if (r.illConditioned)
    text += Printf(
        "Conditioning: the condition number of the scaled columns is %.2g: about %d "
        "significant digits of the estimates can be trusted.\n",
        r.conditionNumber, TrustedDigits(r.conditionNumber));
  return text;
}

// Up to this many flagged rows are listed one by one; beyond it the summary lists the most
// extreme by each measure and points to the observations file, so that its length does not
// grow with m.
constexpr size_t kListedRows = 10;

// The covariance's name in the text: HC3, CR1.
std::string CovarianceLabel(KelCovarianceType type) {
  if (type == KelCovarianceType::kCluster) return "CR1";
  return "HC" + std::string(KelCovarianceName(type)).substr(2);
}

std::string ClusterText(const RegressionResult& r) {
  std::string text = "by '" + ShownName(r.clusterNames[0]) + "'";
  if (r.clusterNames.size() == 1) return text + Printf(" (%d groups)", r.clusterGroups[0]);
  return text + " and '" + ShownName(r.clusterNames[1]) +
         Printf("' (%d and %d groups, %d in their intersection)", r.clusterGroups[0],
                r.clusterGroups[1], r.clusterGroups[2]);
}

// Which covariance the standard errors come from, when it is not the classical one, and why
// any of them is undefined.
std::string CovarianceLines(const RegressionResult& r) {
  if (r.covariance == KelCovarianceType::kClassical) return "";
  const std::string label = CovarianceLabel(r.covariance);
  if (!r.covarianceDefined) {
    const size_t rows = r.unitLeverageRows.size();
    const std::string listed =
        rows <= kListedRows ? FormatRows(r.unitLeverageRows) : Printf("%zu rows", rows);
    return Printf(
        "Standard errors: %s is not defined for these data: %s %s %s leverage 1 (fitted "
        "exactly by the model whatever its response), and %s divides by 1 - leverage. "
        "HC0, HC1 and --cluster are defined.\n",
        label.c_str(), rows == 1 ? "row" : "rows", listed.c_str(), rows == 1 ? "has" : "have",
        label.c_str());
  }
  std::string text = "Standard errors: ";
  text += r.covariance == KelCovarianceType::kCluster
              ? "cluster-robust (CR1) " + ClusterText(r)
              : "heteroskedasticity-consistent (" + label + ")";
  text += Printf("; t and P on the %d residual degrees of freedom.\n", r.residualDof);
  for (const CoefficientRow& c : r.coefficients)
    if (!c.aliased && std::isnan(c.stdError))
      text += "The variance of '" + ShownName(c.name) +
              "' is negative in the two-way covariance (which need not be positive "
              "semidefinite): its standard error is not defined.\n";
  return text;
}

}  // namespace

std::string CoefficientSection(const RegressionResult& r) {
  std::vector<std::string> names;
  for (const CoefficientRow& c : r.coefficients) names.push_back(ShownName(c.name));
  size_t width = 11;
  for (const std::string& name : names) width = std::max(width, name.size());
  const int w = static_cast<int>(width);
  std::string text = "\nCoefficients:\n";
  text += Printf("%-*s %13s %13s %9s %10s %13s %13s %9s\n", w, "", "Estimate", "Std. Error",
                 "t value", "Pr(>|t|)", "2.5 %", "97.5 %", "VIF");
  for (size_t k = 0; k < r.coefficients.size(); ++k) {
    const CoefficientRow& c = r.coefficients[k];
    if (c.aliased) {
      text += Printf("%-*s %13s %13s %9s %10s %13s %13s\n", w, names[k].c_str(), kNotDefined,
                     kNotDefined, kNotDefined, kNotDefined, kNotDefined, kNotDefined);
      continue;
    }
    text += Printf("%-*s %13.6g %13.6g %9s %10s %13.6g %13.6g", w, names[k].c_str(), c.estimate,
                   c.stdError, Short(c.tValue).c_str(), FormatPValue(c.pValue).c_str(), c.ciLow,
                   c.ciHigh);
    text += std::isnan(c.vif) ? "\n" : Printf(" %9.4g\n", c.vif);
  }
  text += FitNoteLines(r);
  text += CovarianceLines(r);
  if (r.varianceAssigned) {
    // As in the library's least-squares report, the t quantiles and P values keep the residual
    // degrees of freedom; K enters the F test of the residual mean square against V.
    text += Printf(
        "Standard errors, t and P values and intervals use the assigned response "
        "variance %.6g (%d degrees of freedom),\n"
        "with t on the %d residual degrees of freedom.\n"
        "F test of the residual mean square against it: %.4g on %d and %d DF,  p-value: %s\n",
        r.variance, r.varianceDof, r.residualDof, r.varianceF, r.residualDof, r.varianceDof,
        FormatPValue(r.varianceFPValue).c_str());
  }
  return text;
}

std::string FitSection(const RegressionResult& r) {
  std::string text = "\n";
  text += Printf("Residual standard error: %s on %d degrees of freedom\n", Short(r.sigma).c_str(),
                 r.residualDof);
  text += Printf("Multiple R-squared: %s,  Adjusted R-squared: %s\n", Short(r.rSquared).c_str(),
                 Short(r.adjRSquared).c_str());
  // Under a robust covariance the F test is the Wald test of the slopes with it.
  const std::string f = r.covariance == KelCovarianceType::kClassical
                            ? "F-statistic"
                            : "F-statistic (Wald, " + CovarianceLabel(r.covariance) + ")";
  if (std::isnan(r.fStatistic)) {
    text += f;
    text += r.exactFit             ? ": NA (an exact fit)\n"
            : r.fNumeratorDof == 0 ? ": NA (the model has the intercept alone)\n"
            : !r.covarianceDefined ? ": NA (the covariance is not defined)\n"
                                   : ": NA (its covariance of the slopes is singular)\n";
  } else {
    text += Printf("%s: %s on %d and %d DF,  p-value: %s\n", f.c_str(), Short(r.fStatistic).c_str(),
                   r.fNumeratorDof, r.residualDof, FormatPValue(r.fPValue).c_str());
  }
  text +=
      Printf("Log-likelihood: %s (df = %d),  AIC: %s,  BIC: %s\n", Long(r.logLikelihood).c_str(),
             r.rank + 1, Long(r.aic).c_str(), Long(r.bic).c_str());
  if (std::isnan(r.breuschPagan)) {
    text += r.exactFit     ? "Studentized Breusch-Pagan test: NA (an exact fit)\n"
            : r.Weighted() ? "Studentized Breusch-Pagan test: NA (a weighted fit)\n"
                           : "Studentized Breusch-Pagan test: NA (a single parameter)\n";
  } else {
    text += Printf("Studentized Breusch-Pagan test: BP = %s, df = %d, p-value: %s\n",
                   Short(r.breuschPagan).c_str(), r.breuschPaganDof,
                   FormatPValue(r.breuschPaganPValue).c_str());
  }
  return text;
}

namespace {

std::string MoreLine(size_t more, const std::string& observationsFile) {
  const std::string file = observationsFile.empty() ? "--observations FILE" : observationsFile;
  std::string line = "and ";
  line += FormatCount(more);
  line += " more: see ";
  line += file;
  return line + "\n";
}

// The positions (into items) of the count largest keys, largest first; a NaN key counts as the
// smallest, and equal keys keep the order of items. O(m + count log count).
template <typename Key>
std::vector<size_t> Largest(size_t items, size_t count, Key key) {
  const auto value = [&](size_t k) {
    const double v = key(k);
    return std::isnan(v) ? -HUGE_VAL : v;
  };
  const auto before = [&](size_t a, size_t b) {
    return value(a) > value(b) || (value(a) == value(b) && a < b);
  };
  std::vector<size_t> order(items);
  for (size_t k = 0; k < items; ++k) order[k] = k;
  count = std::min(count, items);
  std::nth_element(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(count), order.end(),
                   before);
  order.resize(count);
  std::sort(order.begin(), order.end(), before);
  return order;
}

std::string InfluenceRowLine(const RegressionResult& r, const InfluentialRow& f) {
  const ObservationRow& o = r.observations[static_cast<size_t>(f.observation)];
  std::string flags;
  if (f.cook) flags += " Cook";
  if (f.studentized) flags += " residual";
  if (f.leverage) flags += " leverage";
  return Printf("%6d %12.4g %12.4g %12.4g %s\n", f.row, o.cooksDistance, o.studentizedResidual,
                o.leverage, flags.c_str());
}

}  // namespace

std::vector<size_t> ShownInfluential(const RegressionResult& r) {
  const std::vector<InfluentialRow>& flagged = r.influential;
  std::vector<size_t> shown;
  if (flagged.size() <= kListedRows) {
    for (size_t k = 0; k < flagged.size(); ++k) shown.push_back(k);
    return shown;
  }
  const auto observation = [&](size_t k) -> const ObservationRow& {
    return r.observations[static_cast<size_t>(flagged[k].observation)];
  };
  shown =
      Largest(flagged.size(), kListedRows, [&](size_t k) { return observation(k).cooksDistance; });
  for (const size_t k : Largest(flagged.size(), kListedRows, [&](size_t k) {
         return std::fabs(observation(k).studentizedResidual);
       }))
    shown.push_back(k);
  std::sort(shown.begin(), shown.end());
  shown.erase(std::unique(shown.begin(), shown.end()), shown.end());
  return shown;
}

namespace {

std::string InfluenceLines(const RegressionResult& r, const std::string& observationsFile) {
  const int m = r.RowsUsed();
  std::string text = Printf(
      "\nInfluential observations (Cook's distance > 4/m = %.4g, |studentized residual| > 3, "
      "leverage > 2n/m = %.4g):",
      CookThreshold(m), LeverageThreshold(r.rank, m));
  if (r.influential.empty()) return text + " none\n";
  const std::vector<size_t> shown = ShownInfluential(r);
  const size_t flagged = r.FlaggedCount();
  if (shown.size() < flagged) {
    text += Printf(
        " %s rows\nThe %zu largest Cook's distances and the %zu largest |studentized "
        "residuals|:",
        FormatCount(flagged).c_str(), kListedRows, kListedRows);
  }
  text += Printf("\n%6s %12s %12s %12s  %s\n", "Row", "Cook's D", "Stud. res.", "Leverage",
                 "Flagged by");
  for (const size_t k : shown) text += InfluenceRowLine(r, r.influential[k]);
  if (shown.size() < flagged) text += MoreLine(flagged - shown.size(), observationsFile);
  return text;
}

// The robust outliers' data rows: all of them, or the kListedRows largest |normalized robust
// residuals|, largest first, with the count and the pointer to the observations file.
std::string RobustOutlierList(const RobustResult& robust, const std::string& observationsFile) {
  const std::vector<int>& rows = robust.outlierRows;
  if (rows.empty()) return "none\n";
  if (rows.size() <= kListedRows) return "rows " + FormatRows(rows) + "\n";
  std::vector<int> extreme;
  for (const size_t k : Largest(rows.size(), kListedRows, [&](size_t k) {
         const size_t at = static_cast<size_t>(robust.outlierObservations[k]);
         return std::fabs(robust.normalizedResiduals[at]);
       }))
    extreme.push_back(rows[k]);
  std::string text = FormatCount(rows.size());
  text += Printf(" rows; the %zu most extreme: rows ", kListedRows);
  return text + FormatRows(extreme) + "\n" +
         MoreLine(rows.size() - extreme.size(), observationsFile);
}

std::string RobustLines(const RegressionResult& r, const std::string& observationsFile) {
  if (!r.hasRobust) return "";
  std::string text =
      Printf("\nRobust fit (least median of squares): LMS = %s, scale = %s\n",
             Short(r.robust.leastMedianOfSquares).c_str(), Short(r.robust.scale).c_str());
  return text + "Robust outliers (|normalized robust residual| > 2.5): " +
         RobustOutlierList(r.robust, observationsFile);
}

}  // namespace

std::string FormatPValue(double p) {
  if (std::isnan(p)) return kNotDefined;
  // The resolution of R's printout: differences from 1 below the machine epsilon.
  if (p < 2.220446049250313e-16) return "< 2.2e-16";
  return Printf("%.4g", p);
}

std::string FormatCount(size_t count) {
  const std::string digits = std::to_string(count);
  std::string text;
  for (size_t k = 0; k < digits.size(); ++k) {
    if (k > 0 && (digits.size() - k) % 3 == 0) text += ',';
    text += digits[k];
  }
  return text;
}

std::string FormatRows(const std::vector<int>& rows) {
  if (rows.empty()) return "none";
  std::string text;
  for (size_t k = 0; k < rows.size(); ++k) {
    if (k > 0) text += ", ";
    text += std::to_string(rows[k]);
  }
  return text;
}

std::string FormatSummary(const RegressionResult& result, const std::string& call,
                          const std::string& fileName, const std::string& observationsFile) {
  std::string text = "Call: " + call + "\n\n";
  text += DataLines(result, fileName);
  text += ResidualLines(result);
  text += CoefficientSection(result);
  text += FitSection(result);
  text += InfluenceLines(result, observationsFile);
  text += RobustLines(result, observationsFile);
  return text;
}

}  // namespace kelmath_cli
