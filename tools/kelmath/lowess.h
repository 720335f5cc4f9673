// Cleveland's locally weighted scatterplot smoother (LOWESS), as R's lowess() computes it: the
// curve drawn through a residual plot to show a trend the eye would miss.
#ifndef KELMATH_TOOLS_KELMATH_LOWESS_H
#define KELMATH_TOOLS_KELMATH_LOWESS_H

#include <vector>

namespace kelmath_cli {

struct SmoothedPoint {
  double x = 0.0;
  double y = 0.0;
};

// The smoothed curve through the points (x[i], y[i]), ordered by x (equal x in their given
// order): at each x the value of a straight line fitted by tricube weights to the nearest
// fraction `span` of the points, then refitted `iterations` times with bisquare robustness
// weights that discount large residuals. Points closer than 1 % of the range of x to the last
// fitted one are interpolated linearly, as R's default delta does. x and y have equal sizes.
std::vector<SmoothedPoint> Lowess(const std::vector<double>& x, const std::vector<double>& y,
                                  double span = 2.0 / 3.0, int iterations = 3);

}  // namespace kelmath_cli

#endif
