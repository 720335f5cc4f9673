// The values the diagnostic plots of a regression show, apart from any drawing: per panel its
// points, dashed reference lines, LOWESS smooth and the rows worth naming, and where they land
// in the image (axes, placed row labels, and above kIndividualPoints points the density bins
// with the rows drawn as markers over them). The command's SVG images (diagnostic_plots.h) and
// the Python module's matplotlib figures draw these same values.
#ifndef KELMATH_TOOLS_KELMATH_DIAGNOSTIC_PANELS_H
#define KELMATH_TOOLS_KELMATH_DIAGNOSTIC_PANELS_H

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "density_bins.h"
#include "label_placement.h"
#include "plot_file.h"
#include "plot_frame.h"
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

struct PanelMark {
  double x = 0.0;
  double y = 0.0;
  int row = 0;
  double extremeness = 0.0;  // the most extreme get their row written beside them
  int emphasis = 0;          // 1 flagged, 2 among the extreme few: drawn as markers over a density
};

// The points of a panel whose rows were read in passes over a file and never held together:
// the panel's marks are only the rows that may be drawn individually (the flagged ones and the
// most extreme), and the rest are known by their count, their ranges and their density.
struct StreamedPoints {
  int64_t points = 0;      // the panel's points
  int64_t emphasized = 0;  // of them flagged or among the extreme few
  // The ranges of their finite coordinates (low > high when there is none).
  double xLow = HUGE_VAL, xHigh = -HUGE_VAL, yLow = HUGE_VAL, yHigh = -HUGE_VAL;
  // Their counts in the bins of the drawing area, over the scales PanelScales gives.
  std::optional<DensityBins> bins;
};

// What a panel is drawn from: its marks, the rest of its points when they were not held, and the
// points its smooth goes through with, when these are not all of them, how they were chosen.
struct PanelPoints {
  std::vector<PanelMark> marks;
  std::optional<StreamedPoints> streamed;
  std::vector<double> smoothX, smoothY;
  std::vector<std::string> smoothNote;
};

struct DiagnosticPanel {
  DiagnosticPanel(std::string fileName, std::string title, std::string xLabel, std::string yLabel)
      : fileName(std::move(fileName)),
        title(std::move(title)),
        xLabel(std::move(xLabel)),
        yLabel(std::move(yLabel)) {}
  std::string fileName;  // "residuals_fitted.svg", ...
  std::string title;
  std::string xLabel;
  std::string yLabel;
  std::vector<PanelMark> marks;
  // Dashed reference lines (zero, the normal line, Cook's contours), in data units.
  std::vector<std::vector<kel_plot::Point>> guides;
  // Text written at the last point of a guide that lies inside the drawing.
  std::vector<std::pair<size_t, std::string>> guideLabels;
  // A solid curve through the points (the LOWESS smooth), ordered by x.
  std::vector<kel_plot::Point> smoother;
  bool xFromZero = false;
  std::vector<double> yShown;     // values the y axis covers whatever the data
  std::vector<std::string> note;  // lines right of the drawing, e.g. what the guides are
  size_t labelled = 3;            // rows labelled, the most extreme first
  // Rows that deserve a label (the robust outliers) and what they are called: the ones left
  // unlabelled are counted in a note ("and 123 more outliers").
  size_t labelPool = 0;
  std::string poolName;
  std::optional<StreamedPoints> streamed;  // the points that are not marks, when not held
};

// Where a panel's values land in the command's image.
struct PanelLayout {
  kel_plot::Scales scales;
  bool dense = false;  // more than kIndividualPoints marks: a density with markers over it
  // The marks (indices into DiagnosticPanel::marks) offered a row label, the most extreme
  // first, and the labels in the same order; a label without a free place is not placed.
  std::vector<size_t> labelledMarks;
  std::vector<PlacedLabel> labels;
  // Each labelled guide's text and the point (data units) it is written at: the guide's last
  // point inside the drawing.
  std::vector<std::pair<kel_plot::Point, std::string>> guideLabels;
  std::vector<size_t> emphasized;   // when dense: the marks drawn over the density, ascending
  std::optional<DensityBins> bins;  // when dense: the counts over the drawing area
  std::vector<std::string> note;    // the panel's note with the lines the layout adds
};

// The four panels of a least-squares fit: residuals vs fitted, normal Q-Q, scale-location,
// residuals vs leverage.
std::vector<DiagnosticPanel> ComputeDiagnosticPanels(const RegressionResult& result);
// The same four from their points (in that order), and for the Q-Q panel's line the lower and
// upper quartiles of the standardized residuals, when there are two or more.
std::vector<DiagnosticPanel> ComposeDiagnosticPanels(
    const RegressionResult& result, std::vector<PanelPoints> points,
    const std::optional<std::pair<double, double>>& quartiles);
// The x of the Q-Q panel's point of rank k (0-based) among count sorted values: the standard
// normal quantile of R's plotting position.
double NormalQuantilePosition(int64_t k, int64_t count);
// The normalized robust residuals by row; the result has the robust fit.
DiagnosticPanel ComputeRobustPanel(const RegressionResult& result);

PanelLayout LayOutPanel(const DiagnosticPanel& panel);
// The scales of the panel's image: over its finite marks, or its streamed points' ranges.
kel_plot::Scales PanelScales(const DiagnosticPanel& panel);
// Empty bins of kDensityColumns x kDensityRows over the drawing area.
DensityBins DrawingAreaBins();

// The counts the key of a density shows for a fullest bin of largest: up to five, evenly spaced
// on the logarithmic scale of the shades, 1 and largest among them.
std::vector<int64_t> DensityKeyCounts(int64_t largest);

}  // namespace kelmath_cli

#endif
