#include "plot_scale.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kel_plot {

namespace {

// The round step not below rough: 1, 2, 5 or 10 times the power of ten at or below it.
double RoundStepAbove(double rough) {
  double power = std::pow(10.0, std::floor(std::log10(rough)));
  // log10 may land one decade off next to a power of ten.
  if (power > rough) power /= 10.0;
  if (power * 10.0 <= rough) power *= 10.0;
  for (const double factor : {1.0, 2.0, 5.0}) {
    if (factor * power >= rough) return factor * power;
  }
  return 10.0 * power;
}

int DecimalExponent(double value) {
  return static_cast<int>(std::floor(std::log10(std::fabs(value))));
}

}  // namespace

Axis ChooseAxis(double smallest, double largest) {
  // Without a finite range (no finite value to show) the axis spans [0, 1].
  if (!std::isfinite(smallest) || !std::isfinite(largest)) {
    smallest = 0.0;
    largest = 1.0;
  }
  const double magnitude = std::max(std::fabs(smallest), std::fabs(largest));
  if (!(largest - smallest > 1e-12 * magnitude)) {
    // Ticks closer than a few units in the last place would not be distinct numbers.
    const double middle = smallest / 2.0 + largest / 2.0;
    const double half = middle == 0.0 ? 1.0 : 0.1 * std::fabs(middle);
    smallest = middle - half;
    largest = middle + half;
  }
  Axis axis;
  // At most 8 intervals across the data; rounding the ends out to the step adds up to two more,
  // and the step's rounding up from the rough value leaves at least 4.
  axis.step = RoundStepAbove((largest - smallest) / 8.0);
  const double first = std::floor(smallest / axis.step);
  const double last = std::ceil(largest / axis.step);
  // Multiples of the step are formed from their integer multipliers, so no error accumulates.
  for (double k = first; k <= last; k += 1.0) axis.ticks.push_back(k * axis.step);
  axis.low = axis.ticks.front();
  axis.high = axis.ticks.back();
  axis.labels = TickLabels(axis.ticks, axis.step);
  return axis;
}

std::vector<std::string> TickLabels(const std::vector<double>& ticks, double step) {
  double largest = 0.0;
  for (const double tick : ticks) largest = std::max(largest, std::fabs(tick));
  const int stepExponent = DecimalExponent(step);
  const int largestExponent = largest > 0.0 ? DecimalExponent(largest) : stepExponent;
  // Fixed notation while it stays short: up to six decimals and up to seven digits before the
  // point.
  const bool fixed = stepExponent >= -6 && largestExponent < 7;
  const int decimals = std::max(0, -stepExponent);
  // In exponent notation the mantissa keeps the digits down to the step's decade.
  const int mantissaDecimals = std::clamp(largestExponent - stepExponent, 0, 16);
  std::vector<std::string> labels;
  for (double tick : ticks) {
    if (std::fabs(tick) < 1e-9 * step) tick = 0.0;  // a zero formed as k * step is exact anyway
    char text[64];
    if (fixed) {
      std::snprintf(text, sizeof text, "%.*f", decimals, tick);
    } else {
      std::snprintf(text, sizeof text, "%.*e", mantissaDecimals, tick);
    }
    std::string label = text;
    // Rounding a tiny negative tick can print as minus zero.
    if (label.find_first_not_of("-0.e+") == std::string::npos && label[0] == '-') {
      label.erase(0, 1);
    }
    labels.push_back(label);
  }
  return labels;
}

double MapLinear(double value, double low, double high, double from, double to) {
  return from + (value - low) / (high - low) * (to - from);
}

}  // namespace kel_plot
