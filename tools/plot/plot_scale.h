// Axis ranges with ticks at round numbers, their labels, and the map from data to the drawing.
#ifndef KELMATH_TOOLS_PLOT_PLOT_SCALE_H
#define KELMATH_TOOLS_PLOT_PLOT_SCALE_H

#include <string>
#include <vector>

namespace kel_plot {

struct Axis {
  double low = 0.0;   // first tick, at or below the smallest value
  double high = 1.0;  // last tick, at or above the largest value
  double step = 1.0;  // 1, 2 or 5 times a power of ten
  std::vector<double> ticks;
  std::vector<std::string> labels;
};

// The axis for data from smallest to largest (finite, smallest <= largest, magnitudes within
// the viewer's limit): between 4 and 10 intervals of a round step, ending on multiples of it.
// Data without a usable spread (a single value, or values that agree in more than twelve
// digits) get an axis around their middle.
Axis ChooseAxis(double smallest, double largest);

// The labels of ticks that are multiples of step: fixed notation with as many decimals as the
// step needs, exponent notation for very large or very small magnitudes; never "-0".
std::vector<std::string> TickLabels(const std::vector<double>& ticks, double step);

// Linear map of value from [low, high] (low < high) onto [from, to].
double MapLinear(double value, double low, double high, double from, double to);

}  // namespace kel_plot

#endif
