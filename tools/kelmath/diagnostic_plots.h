// The diagnostic plots of a regression as SVG images: residuals against fitted values, normal
// quantiles, scale-location, residuals against leverage with Cook's distance contours, and the
// normalized robust residuals by row when the robust fit was made.
#ifndef KELMATH_TOOLS_KELMATH_DIAGNOSTIC_PLOTS_H
#define KELMATH_TOOLS_KELMATH_DIAGNOSTIC_PLOTS_H

#include <string>
#include <vector>

#include "regression_result.h"

namespace kelmath_cli {

// A panel of more points than this draws them as a density of kDensityColumns x kDensityRows
// shaded bins, with at most this many rows drawn on top as markers: the flagged ones (the
// command's influence rules, or the robust outliers) and the kExtremeFew largest by |studentized
// residual| and by Cook's distance, the most extreme first. Below it every point is a marker.
inline constexpr size_t kIndividualPoints = 2000;
inline constexpr int kDensityColumns = 60;
inline constexpr int kDensityRows = 40;
inline constexpr size_t kExtremeFew = 10;
// The LOWESS smooth of a larger panel is that of this many points, evenly spaced in the order
// of x: its cost then grows as m log m (the sort), not with m times the neighbourhood.
inline constexpr size_t kLowessPoints = 20000;
// The robust plot labels its outliers, up to this many (the most extreme), and counts the rest.
inline constexpr size_t kRobustLabels = 10;

struct PlotImage {
  std::string fileName;  // "residuals_fitted.svg", ...
  std::string svg;
};

std::vector<PlotImage> RenderDiagnosticPlots(const RegressionResult& result);
// The normalized robust residuals by row alone ("robust_residuals.svg"); the result has the
// robust fit.
PlotImage RenderRobustPlot(const RegressionResult& result);

}  // namespace kelmath_cli

#endif
