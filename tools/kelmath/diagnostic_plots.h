// The diagnostic plots of a regression as SVG images: residuals against fitted values, normal
// quantiles, scale-location, residuals against leverage with Cook's distance contours, and the
// normalized robust residuals by row when the robust fit was made.
#ifndef KELMATH_TOOLS_KELMATH_DIAGNOSTIC_PLOTS_H
#define KELMATH_TOOLS_KELMATH_DIAGNOSTIC_PLOTS_H

#include <string>
#include <vector>

#include "diagnostic_panels.h"
#include "regression_result.h"

namespace kelmath_cli {

struct PlotImage {
  std::string fileName;  // "residuals_fitted.svg", ...
  std::string svg;
};

std::vector<PlotImage> RenderDiagnosticPlots(const RegressionResult& result);
// The images of panels computed elsewhere (a streamed fit's).
std::vector<PlotImage> RenderPanels(const std::vector<DiagnosticPanel>& panels);
// The normalized robust residuals by row alone ("robust_residuals.svg"); the result has the
// robust fit.
PlotImage RenderRobustPlot(const RegressionResult& result);

}  // namespace kelmath_cli

#endif
