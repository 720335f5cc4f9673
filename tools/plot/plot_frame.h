// The frame every plot of the tools shares: the image's geometry, the scales from data to the
// drawing, and the grid, frame, ticks and tick labels of both axes.
#ifndef KELMATH_TOOLS_PLOT_PLOT_FRAME_H
#define KELMATH_TOOLS_PLOT_PLOT_FRAME_H

#include <string>

#include "plot_scale.h"

namespace kel_plot {

// Geometry of the image, in SVG user units.
struct Layout {
  static constexpr double kWidth = 800.0;
  static constexpr double kHeight = 560.0;
  // The drawing area, inside the axes.
  static constexpr double kLeft = 90.0;
  static constexpr double kRight = 620.0;
  static constexpr double kTop = 60.0;
  static constexpr double kBottom = 500.0;
  static constexpr double kLegendLeft = 640.0;
};

// A coordinate of the drawing as SVG text (two decimals).
std::string Number(double value);

struct Scales {
  Axis x;
  Axis y;
  double X(double value) const {
    return MapLinear(value, x.low, x.high, Layout::kLeft, Layout::kRight);
  }
  // SVG's y grows downwards.
  double Y(double value) const {
    return MapLinear(value, y.low, y.high, Layout::kBottom, Layout::kTop);
  }
};

// The grid lines at the ticks, the frame of the drawing area, and both axes with their ticks
// and labels, appended to svg.
void WriteGridAndAxes(const Scales& s, std::string& svg);

}  // namespace kel_plot

#endif
