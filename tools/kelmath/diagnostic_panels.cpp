#include "diagnostic_panels.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "lowess.h"
#include "name_text.h"
#include "regression_summary.h"

namespace kelmath_cli {

namespace {

// Standard normal quantile: a rational first guess refined by Newton steps on erfc, which the
// standard library computes to full precision.
double NormalQuantile(double p) {
  const double t = std::sqrt(-2.0 * std::log(std::min(p, 1.0 - p)));
  double x = t - (2.515517 + 0.802853 * t + 0.010328 * t * t) /
                     (1.0 + 1.432788 * t + 0.189269 * t * t + 0.001308 * t * t * t);
  if (p < 0.5) x = -x;
  for (int i = 0; i < 3; ++i) {
    const double cdf = 0.5 * std::erfc(-x / std::sqrt(2.0));
    const double density = std::exp(-0.5 * x * x) / std::sqrt(2.0 * M_PI);
    x -= (cdf - p) / density;
  }
  return x;
}

// A horizontal guide across the whole range of x.
std::vector<kel_plot::Point> Horizontal(const DiagnosticPanel& f, double y) {
  if (f.marks.empty()) return {};
  double low = f.xFromZero ? 0.0 : f.marks.front().x, high = low;
  for (const PanelMark& m : f.marks) {
    low = std::min(low, m.x);
    high = std::max(high, m.x);
  }
  const double margin = high - low + 1.0;
  return {{low - margin, y}, {high + margin, y}};
}

// Per observation: 1 when the command's influence rules flag it, 2 when it is among the
// kExtremeFew largest by |studentized residual| or by Cook's distance, else 0. Both lists are
// in the order of the rows used, so one pass matches them.
std::vector<int> ObservationEmphasis(const RegressionResult& r) {
  const size_t m = r.observations.size();
  std::vector<int> emphasis(m, 0);
  size_t k = 0;
  for (size_t i = 0; i < m && k < r.influential.size(); ++i) {
    if (r.influential[k].row != r.observations[i].row) continue;
    emphasis[i] = 1;
    ++k;
  }
  const auto markLargest = [&](auto measure) {
    std::vector<size_t> order(m);
    std::iota(order.begin(), order.end(), 0);
    const size_t few = std::min(kExtremeFew, m);
    // NaN (undefined) compares as the smallest, so it is never among the few.
    const auto key = [&](size_t i) {
      const double v = measure(r.observations[i]);
      return std::isnan(v) ? -1.0 : v;
    };
    std::partial_sort(order.begin(), order.begin() + few, order.end(),
                      [&](size_t a, size_t b) { return key(a) > key(b); });
    for (size_t j = 0; j < few; ++j) emphasis[order[j]] = 2;
  };
  markLargest([](const ObservationRow& o) { return std::fabs(o.studentizedResidual); });
  markLargest([](const ObservationRow& o) { return o.cooksDistance; });
  return emphasis;
}

// R's plot(lm) smooth (lowess, span 2/3, three robustness iterations) through the marks; above
// kLowessPoints marks, through that many of them evenly spaced in the order of x.
void SmoothMarks(DiagnosticPanel& f) {
  std::vector<size_t> order(f.marks.size());
  std::iota(order.begin(), order.end(), 0);
  if (order.size() > kLowessPoints) {
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return f.marks[a].x < f.marks[b].x; });
    std::vector<size_t> sample(kLowessPoints);
    for (size_t k = 0; k < kLowessPoints; ++k)
      sample[k] = order[k * (order.size() - 1) / (kLowessPoints - 1)];
    order = sample;
  }
  std::vector<double> x, y;
  for (const size_t i : order) {
    x.push_back(f.marks[i].x);
    y.push_back(f.marks[i].y);
  }
  for (const SmoothedPoint& p : Lowess(x, y)) f.smoother.push_back({p.x, p.y});
  f.note.push_back("Solid: LOWESS smooth");
  f.note.push_back("(span 2/3, 3 iterations)");
  if (f.marks.size() > kLowessPoints) {
    f.note.push_back("(on " + FormatCount(kLowessPoints) + " points");
    f.note.push_back("evenly spaced in x)");
  }
}

std::string Units(const RegressionResult& r) {
  return "(units of " + ShownName(r.response) + ")";
}

DiagnosticPanel ResidualsAgainstFitted(const RegressionResult& r) {
  DiagnosticPanel f{"residuals_fitted.svg", "Residuals vs Fitted", "Fitted values " + Units(r),
                    "Residuals " + Units(r)};
  const std::vector<int> emphasis = ObservationEmphasis(r);
  for (size_t i = 0; i < r.observations.size(); ++i) {
    const ObservationRow& o = r.observations[i];
    f.marks.push_back(
        {o.fitted, o.weightedResidual, o.row, std::fabs(o.weightedResidual), emphasis[i]});
  }
  f.guides.push_back(Horizontal(f, 0.0));
  SmoothMarks(f);
  f.note.push_back("Dashed: zero");
  return f;
}

// The observations whose standardized residual is defined (a leverage below 1).
std::vector<const ObservationRow*> Standardizable(const RegressionResult& r) {
  std::vector<const ObservationRow*> rows;
  for (const ObservationRow& o : r.observations)
    if (std::isfinite(o.standardizedResidual)) rows.push_back(&o);
  return rows;
}

constexpr const char* kStandardized = "Standardized residuals r / (s sqrt(1 - h)) (no unit)";

// Sorted standardized residuals against the normal quantiles of R's plotting positions, and the
// line through the quartiles of both.
DiagnosticPanel NormalQuantiles(const RegressionResult& r) {
  DiagnosticPanel f{"qq.svg", "Normal Q-Q",
                    "Theoretical quantiles of the standard normal (no unit)", kStandardized};
  std::vector<const ObservationRow*> rows = Standardizable(r);
  const std::vector<int> emphasis = ObservationEmphasis(r);
  std::sort(rows.begin(), rows.end(), [](const ObservationRow* a, const ObservationRow* b) {
    return a->standardizedResidual < b->standardizedResidual;
  });
  const double n = static_cast<double>(rows.size());
  const double a = n <= 10 ? 3.0 / 8.0 : 0.5;
  std::vector<double> sorted;
  for (size_t i = 0; i < rows.size(); ++i) {
    const double q = NormalQuantile((static_cast<double>(i) + 1.0 - a) / (n + 1.0 - 2.0 * a));
    const double value = rows[i]->standardizedResidual;
    f.marks.push_back({q, value, rows[i]->row, std::fabs(value),
                       emphasis[static_cast<size_t>(rows[i] - r.observations.data())]});
    sorted.push_back(value);
  }
  if (sorted.size() >= 2) {
    const auto quantile = [&](double p) {
      const double position = p * (n - 1.0);
      const size_t low = static_cast<size_t>(position);
      const size_t high = std::min(low + 1, sorted.size() - 1);
      return sorted[low] + (position - low) * (sorted[high] - sorted[low]);
    };
    const double x1 = NormalQuantile(0.25), x2 = NormalQuantile(0.75);
    const double slope = (quantile(0.75) - quantile(0.25)) / (x2 - x1);
    const double intercept = quantile(0.25) - slope * x1;
    f.guides.push_back({{-10.0, intercept - 10.0 * slope}, {10.0, intercept + 10.0 * slope}});
  }
  f.note = {"Dashed: the line through", "the quartiles"};
  return f;
}

DiagnosticPanel ScaleLocation(const RegressionResult& r) {
  DiagnosticPanel f{"scale_location.svg", "Scale-Location", "Fitted values " + Units(r),
                    "sqrt(|standardized residuals|) (no unit)"};
  const std::vector<int> emphasis = ObservationEmphasis(r);
  for (const ObservationRow* o : Standardizable(r)) {
    const double value = std::sqrt(std::fabs(o->standardizedResidual));
    f.marks.push_back({o->fitted, value, o->row, value,
                       emphasis[static_cast<size_t>(o - r.observations.data())]});
  }
  SmoothMarks(f);
  return f;
}

// Standardized residuals against leverage, with the curves on which Cook's distance is 0.5 and
// 1: r = +-sqrt(D n (1 - h) / h).
DiagnosticPanel ResidualsAgainstLeverage(const RegressionResult& r) {
  DiagnosticPanel f{"residuals_leverage.svg", "Residuals vs Leverage", "Leverage h (no unit)",
                    kStandardized};
  double largest = 0.0;
  const std::vector<int> emphasis = ObservationEmphasis(r);
  for (const ObservationRow* o : Standardizable(r)) {
    f.marks.push_back({o->leverage, o->standardizedResidual, o->row, o->cooksDistance,
                       emphasis[static_cast<size_t>(o - r.observations.data())]});
    largest = std::max(largest, o->leverage);
  }
  f.xFromZero = true;
  f.guides.push_back(Horizontal(f, 0.0));
  const double n = static_cast<double>(r.coefficients.size());
  const double end = std::min(1.0, 1.1 * largest);
  for (const double distance : {0.5, 1.0}) {
    for (const double sign : {1.0, -1.0}) {
      std::vector<kel_plot::Point> curve;
      for (int k = 1; k <= 100; ++k) {
        const double h = end * k / 100.0;
        curve.push_back({h, sign * std::sqrt(distance * n * (1.0 - h) / h)});
      }
      f.guides.push_back(curve);
      f.guideLabels.push_back({f.guides.size() - 1, distance == 0.5 ? "0.5" : "1"});
    }
  }
  SmoothMarks(f);
  f.note.push_back("Dashed: Cook's distance");
  f.note.push_back("0.5 and 1");
  return f;
}

DiagnosticPanel RobustResiduals(const RegressionResult& r) {
  DiagnosticPanel f{"robust_residuals.svg", "Robust residuals by row", "Data row",
                    "Normalized robust residuals (units of the robust scale)"};
  // Outlier rows are ascending data rows, in the order of the rows used.
  size_t k = 0;
  for (size_t i = 0; i < r.robust.normalizedResiduals.size(); ++i) {
    const double value = r.robust.normalizedResiduals[i];
    const int row = r.observations[i].row;
    const bool outlier = k < r.robust.outlierRows.size() && r.robust.outlierRows[k] == row;
    k += outlier ? 1 : 0;
    f.marks.push_back({static_cast<double>(row), value, row, std::fabs(value), outlier ? 2 : 0});
  }
  f.labelPool = r.robust.outlierRows.size();
  f.labelled = std::max(f.labelled, std::min(f.labelPool, kRobustLabels));
  f.poolName = "outliers";
  for (const double limit : {2.5, -2.5}) f.guides.push_back(Horizontal(f, limit));
  f.yShown = {2.5, -2.5};
  f.note = {"Dashed: +-2.5, beyond", "which a row is an outlier"};
  return f;
}

}  // namespace

std::vector<DiagnosticPanel> ComputeDiagnosticPanels(const RegressionResult& result) {
  return {ResidualsAgainstFitted(result), NormalQuantiles(result), ScaleLocation(result),
          ResidualsAgainstLeverage(result)};
}

DiagnosticPanel ComputeRobustPanel(const RegressionResult& result) {
  return RobustResiduals(result);
}

}  // namespace kelmath_cli
