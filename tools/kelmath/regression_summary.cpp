#include "regression_summary.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "linear_regression/kel_scaled_least_squares.h"

namespace kelmath_cli {

namespace {

constexpr const char* kNotDefined = "NA";

std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Printf(const char* format, ...) {
  char text[512];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  return text;
}

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
  return text + "\n";
}

std::string ResidualLines(const RegressionResult& r) {
  std::string text = "\nResiduals:\n";
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
      text += "Column '" + c.name +
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

std::string CoefficientLines(const RegressionResult& r) {
  size_t width = 11;
  for (const CoefficientRow& c : r.coefficients) width = std::max(width, c.name.size());
  const int w = static_cast<int>(width);
  std::string text = "\nCoefficients:\n";
  text += Printf("%-*s %13s %13s %9s %10s %13s %13s %9s\n", w, "", "Estimate", "Std. Error",
                 "t value", "Pr(>|t|)", "2.5 %", "97.5 %", "VIF");
  for (const CoefficientRow& c : r.coefficients) {
    if (c.aliased) {
      text += Printf("%-*s %13s %13s %9s %10s %13s %13s\n", w, c.name.c_str(), kNotDefined,
                     kNotDefined, kNotDefined, kNotDefined, kNotDefined, kNotDefined);
      continue;
    }
    text += Printf("%-*s %13.6g %13.6g %9s %10s %13.6g %13.6g", w, c.name.c_str(), c.estimate,
                   c.stdError, Short(c.tValue).c_str(), FormatPValue(c.pValue).c_str(), c.ciLow,
                   c.ciHigh);
    text += std::isnan(c.vif) ? "\n" : Printf(" %9.4g\n", c.vif);
  }
  text += FitNoteLines(r);
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

std::string ModelLines(const RegressionResult& r) {
  std::string text = "\n";
  text += Printf("Residual standard error: %s on %d degrees of freedom\n", Short(r.sigma).c_str(),
                 r.residualDof);
  text += Printf("Multiple R-squared: %s,  Adjusted R-squared: %s\n", Short(r.rSquared).c_str(),
                 Short(r.adjRSquared).c_str());
  if (std::isnan(r.fStatistic)) {
    text += "F-statistic: NA (the model has the intercept alone)\n";
  } else {
    text += Printf("F-statistic: %s on %d and %d DF,  p-value: %s\n", Short(r.fStatistic).c_str(),
                   r.fNumeratorDof, r.residualDof, FormatPValue(r.fPValue).c_str());
  }
  text +=
      Printf("Log-likelihood: %s (df = %d),  AIC: %s,  BIC: %s\n", Long(r.logLikelihood).c_str(),
             r.rank + 1, Long(r.aic).c_str(), Long(r.bic).c_str());
  if (std::isnan(r.breuschPagan)) {
    text += "Studentized Breusch-Pagan test: NA (a single parameter)\n";
  } else {
    text += Printf("Studentized Breusch-Pagan test: BP = %s, df = %d, p-value: %s\n",
                   Short(r.breuschPagan).c_str(), r.breuschPaganDof,
                   FormatPValue(r.breuschPaganPValue).c_str());
  }
  return text;
}

std::string InfluenceLines(const RegressionResult& r) {
  const int m = r.RowsUsed();
  const int n = static_cast<int>(r.coefficients.size());
  std::string text = Printf(
      "\nInfluential observations (Cook's distance > 4/m = %.4g, |studentized residual| > 3, "
      "leverage > 2n/m = %.4g):",
      4.0 / m, 2.0 * n / m);
  if (r.influential.empty()) return text + " none\n";
  text += Printf("\n%6s %12s %12s %12s  %s\n", "Row", "Cook's D", "Stud. res.", "Leverage",
                 "Flagged by");
  for (const InfluentialRow& f : r.influential) {
    const auto it = std::find_if(r.observations.begin(), r.observations.end(),
                                 [&](const ObservationRow& o) { return o.row == f.row; });
    std::string flags;
    if (f.cook) flags += " Cook";
    if (f.studentized) flags += " residual";
    if (f.leverage) flags += " leverage";
    text += Printf("%6d %12.4g %12.4g %12.4g %s\n", f.row, it->cooksDistance,
                   it->studentizedResidual, it->leverage, flags.c_str());
  }
  return text;
}

std::string RobustLines(const RegressionResult& r) {
  if (!r.hasRobust) return "";
  std::string text =
      Printf("\nRobust fit (least median of squares): LMS = %s, scale = %s\n",
             Short(r.robust.leastMedianOfSquares).c_str(), Short(r.robust.scale).c_str());
  text += "Robust outliers (|normalized robust residual| > 2.5): " +
          (r.robust.outlierRows.empty() ? std::string("none")
                                        : "rows " + FormatRows(r.robust.outlierRows)) +
          "\n";
  return text;
}

}  // namespace

std::string FormatPValue(double p) {
  if (std::isnan(p)) return kNotDefined;
  // The resolution of R's printout: differences from 1 below the machine epsilon.
  if (p < 2.220446049250313e-16) return "< 2.2e-16";
  return Printf("%.4g", p);
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
                          const std::string& fileName) {
  std::string text = "Call: " + call + "\n\n";
  text += DataLines(result, fileName);
  text += ResidualLines(result);
  text += CoefficientLines(result);
  text += ModelLines(result);
  text += InfluenceLines(result);
  text += RobustLines(result);
  return text;
}

}  // namespace kelmath_cli
