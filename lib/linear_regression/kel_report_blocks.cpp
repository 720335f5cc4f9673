// Report blocks shared by the linear and nonlinear regressions.
#include "linear_regression/kel_report_blocks.h"

#include <cmath>

#include "foundation/kel_output.h"
#include "foundation/kel_row_writer.h"
#include "linear_regression/kel_linear_thresholds.h"

void PrintValueLines(std::initializer_list<KelReportValue> lines, int labelWidth) {
  for (const KelReportValue& line : lines)
    KelPrint("\n%-*s= %16.7e", labelWidth, line.label, line.value);
}

void PrintParameterIntervals(const KelVector& b, const KelVector& standardErrors, double t95,
                             double t99, const char* warning) {
  const double quantiles[2] = {t95, t99};
  const char* const titles[2] = {"\n\nConfidence Interval 95%", "\n\nConfidence Interval 99%"};
  for (int level = 0; level < 2; ++level) {
    KelPrint("%s", titles[level]);
    KelPrint("\n Par.      Lower           Upper");
    for (int i = 1; i <= b.Size(); ++i) {
      const double h = standardErrors(i) * quantiles[level];
      KelPrint("\n%3d %16.7e %16.7e", i, b(i) - h, b(i) + h);
      if (h > kel_linear_thresholds::kWideInterval * std::fabs(b(i))) KelPrint("%s", warning);
    }
  }
}

void PrintResidualRows(const KelVector& y, const KelVector& yEstimated, const KelVector& residuals,
                       const KelVector& normalized, const char* warning) {
  KelRowWriter out;
  for (int j = 1; j <= y.Size(); ++j) {
    out.Text("\n");
    out.Integer(j, 3);
    out.Scientific(y(j), 16, 7);
    out.Scientific(yEstimated(j), 16, 7);
    out.Scientific(residuals(j), 16, 7);
    out.Fixed(normalized(j), 9, 2);
    if (std::fabs(normalized(j)) > kel_linear_thresholds::kLargeResidual) out.Text(warning);
  }
}

void PrintResponseIntervals(const KelVector& yEstimated, const KelVector& standardErrors,
                            double quantile, const char* warning, KelRowRange rows) {
  KelRowWriter out;
  for (int row = 1; row <= rows.count; ++row) {
    const int j = rows.first + row;
    const double h = standardErrors(j) * quantile;
    out.Text("\n");
    out.Integer(row, 3);
    out.Text(" ");
    out.Scientific(yEstimated(j) - h, 16, 7);
    out.Text(" ");
    out.Scientific(yEstimated(j), 16, 7);
    out.Text(" ");
    out.Scientific(yEstimated(j) + h, 16, 7);
    if (h > kel_linear_thresholds::kWideInterval * std::fabs(yEstimated(j))) out.Text(warning);
  }
}

void PrintResponseIntervalBlock(const char* title, const KelVector& yEstimated,
                                const KelVector& standardErrors, double quantile,
                                const char* warning, KelRowRange rows) {
  KelPrint("%s", title);
  KelPrint("\n Exp.      Lower            y             Upper");
  PrintResponseIntervals(yEstimated, standardErrors, quantile, warning, rows);
}

void PrintResponseIntervals(const KelVector& yEstimated, const KelVector& standardErrors,
                            double quantile, const char* warning) {
  PrintResponseIntervals(yEstimated, standardErrors, quantile, warning,
                         KelRowRange{0, yEstimated.Size()});
}
