// Interim Student t quantile, until the exact one of the distributions lands: bisection of the
// closed-form distribution function of t with an integer number of degrees of freedom.
#include <cmath>

#include "kel_constants.h"
#include "kel_distributions.h"

namespace {

// P(|T| < t) by the finite series in cos^2 of theta = atan(t / sqrt(dof)).
double TwoSidedCentralProbability(int dof, double t) {
  const double theta = std::atan(t / std::sqrt(static_cast<double>(dof)));
  const double c2 = std::cos(theta) * std::cos(theta);
  const double s = std::sin(theta);
  double term = 1.0, sum = 1.0;
  if (dof % 2 == 0) {
    for (int k = 2; k <= dof - 2; k += 2) {
      term *= c2 * (k - 1) / k;
      sum += term;
    }
    return s * sum;
  }
  if (dof == 1) return 2.0 * theta / kelPi;
  for (int k = 3; k <= dof - 2; k += 2) {
    term *= c2 * (k - 1) / k;
    sum += term;
  }
  return 2.0 / kelPi * (theta + s * std::cos(theta) * sum);
}

}  // namespace

double KelTStudentQuantile(double upperTailProbability, double degreesOfFreedom) {
  const int dof = static_cast<int>(degreesOfFreedom);
  const double central = 1.0 - 2.0 * upperTailProbability;
  double low = 0.0, high = 1.0;
  while (TwoSidedCentralProbability(dof, high) < central) high *= 2.0;
  for (int i = 0; i < 200 && high - low > 4e-16 * high; ++i) {
    const double middle = 0.5 * (low + high);
    if (TwoSidedCentralProbability(dof, middle) < central)
      low = middle;
    else
      high = middle;
  }
  return 0.5 * (low + high);
}
