// Blocks shared by the regression reports, as print functions of plain data: the "label = value"
// lines of the goodness of fit, the parameters' and the responses' confidence intervals and the
// residual rows. Each title and row format is written here once.
#ifndef KELMATH_KEL_REPORT_BLOCKS_H
#define KELMATH_KEL_REPORT_BLOCKS_H

#include <initializer_list>

#include "containers/kel_vector.h"

// One line of a value block: "\n<label padded to the block's width>= %16.7e".
struct KelReportValue {
  const char* label;
  double value;
};

// The goodness-of-fit labels every regression report spells this way, and the label width of
// the least-squares reports' value blocks.
inline constexpr const char* kelReportTotalSumOfSquares = "Total Sum of Squares";
inline constexpr const char* kelReportResidualsNorm = "Residuals Norm2";
inline constexpr const char* kelReportSumOfSquares = "Sum of Squares";
inline constexpr const char* kelReportStandardDeviation = "Standard Deviation";
inline constexpr const char* kelReportMeanSquareError = "Mean Square Error";
inline constexpr const char* kelReportR2 = "Coefficient of Determination (R2)";
inline constexpr int kelReportLabelWidth = 40;

// The lines in order, each label left-aligned in labelWidth characters.
void PrintValueLines(std::initializer_list<KelReportValue> lines, int labelWidth);

// "Confidence Interval 95%" and "... 99%" of the parameters: "\n%3d %16.7e %16.7e" with
// b -/+ h (h = se t95, then se t99), the warning after a row whose h > 2.5 |b|.
void PrintParameterIntervals(const KelVector& b, const KelVector& standardErrors, double t95,
                             double t99, const char* warning);

// A run of rows of the per-experiment vectors: elements first + 1 .. first + count, numbered
// 1 .. count in the report (the nonlinear regression stacks its responses in one vector).
struct KelRowRange {
  int first;
  int count;
};

// "\n%3d%16.7e%16.7e%16.7e%9.2f" with j, y(j), yhat(j), r(j), e(j) for every experiment, the
// warning after a row whose |e(j)| > 2.5.
void PrintResidualRows(const KelVector& y, const KelVector& yEstimated, const KelVector& residuals,
                       const KelVector& normalized, const char* warning);
// "\n%3d %16.7e %16.7e %16.7e" with j, yhat - h, yhat, yhat + h (h = se(j) quantile) for every
// experiment of the range, the warning after a row whose h > 2.5 |yhat|.
void PrintResponseIntervals(const KelVector& yEstimated, const KelVector& standardErrors,
                            double quantile, const char* warning, KelRowRange rows);
void PrintResponseIntervals(const KelVector& yEstimated, const KelVector& standardErrors,
                            double quantile, const char* warning);

// The titles of the responses' intervals at the two levels the reports give.
inline constexpr const char* kelReportResponseInterval95 = "\n\nConfidence Interval 95% for y";
inline constexpr const char* kelReportResponseInterval99 = "\n\nConfidence Interval 99% for y";
// A title, the column heads and the rows of PrintResponseIntervals.
void PrintResponseIntervalBlock(const char* title, const KelVector& yEstimated,
                                const KelVector& standardErrors, double quantile,
                                const char* warning, KelRowRange rows);

#endif
