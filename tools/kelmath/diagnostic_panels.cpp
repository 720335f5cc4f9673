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

// The range of the panel's x: over its marks, and its streamed points when it has them.
std::pair<double, double> XRange(const DiagnosticPanel& f) {
  double low = f.xFromZero ? 0.0 : HUGE_VAL, high = f.xFromZero ? 0.0 : -HUGE_VAL;
  for (const PanelMark& m : f.marks) {
    low = std::min(low, m.x);
    high = std::max(high, m.x);
  }
  if (f.streamed) {
    low = std::min(low, f.streamed->xLow);
    high = std::max(high, f.streamed->xHigh);
  }
  return {low, high};
}

bool HasPoints(const DiagnosticPanel& f) {
  return !f.marks.empty() || (f.streamed && f.streamed->points > 0);
}

// A horizontal guide across the whole range of x.
std::vector<kel_plot::Point> Horizontal(const DiagnosticPanel& f, double y) {
  if (!HasPoints(f)) return {};
  const auto [low, high] = XRange(f);
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
    // Ties go to the earlier row, so that rows read in any order are marked alike.
    std::partial_sort(order.begin(), order.begin() + few, order.end(), [&](size_t a, size_t b) {
      return key(a) > key(b) || (key(a) == key(b) && a < b);
    });
    for (size_t j = 0; j < few; ++j) emphasis[order[j]] = 2;
  };
  markLargest([](const ObservationRow& o) { return std::fabs(o.studentizedResidual); });
  markLargest([](const ObservationRow& o) { return o.cooksDistance; });
  return emphasis;
}

// The points a panel of marks held in memory smooths: all of them, or above kLowessPoints that
// many evenly spaced in the order of x.
void SmoothAllMarks(PanelPoints& p) {
  std::vector<size_t> order(p.marks.size());
  std::iota(order.begin(), order.end(), 0);
  if (order.size() > kLowessPoints) {
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return p.marks[a].x < p.marks[b].x; });
    std::vector<size_t> sample(kLowessPoints);
    for (size_t k = 0; k < kLowessPoints; ++k)
      sample[k] = order[k * (order.size() - 1) / (kLowessPoints - 1)];
    order = sample;
    p.smoothNote = {"(on " + FormatCount(kLowessPoints) + " points", "evenly spaced in x)"};
  }
  for (const size_t i : order) {
    p.smoothX.push_back(p.marks[i].x);
    p.smoothY.push_back(p.marks[i].y);
  }
}

// R's plot(lm) smooth (lowess, span 2/3, three robustness iterations) through the panel's
// smoothing points.
void Smooth(DiagnosticPanel& f, const PanelPoints& p) {
  for (const SmoothedPoint& s : Lowess(p.smoothX, p.smoothY)) f.smoother.push_back({s.x, s.y});
  f.note.push_back("Solid: LOWESS smooth");
  f.note.push_back("(span 2/3, 3 iterations)");
  for (const std::string& line : p.smoothNote) f.note.push_back(line);
}

void TakePoints(DiagnosticPanel& f, PanelPoints& p) {
  f.marks = std::move(p.marks);
  f.streamed = std::move(p.streamed);
}

std::string Units(const RegressionResult& r) {
  return "(units of " + ShownName(r.response) + ")";
}

DiagnosticPanel ResidualsAgainstFitted(const RegressionResult& r, PanelPoints p) {
  DiagnosticPanel f{"residuals_fitted.svg", "Residuals vs Fitted", "Fitted values " + Units(r),
                    "Residuals " + Units(r)};
  TakePoints(f, p);
  f.guides.push_back(Horizontal(f, 0.0));
  Smooth(f, p);
  f.note.push_back("Dashed: zero");
  return f;
}

constexpr const char* kStandardized = "Standardized residuals r / (s sqrt(1 - h)) (no unit)";

// Sorted standardized residuals against the normal quantiles of R's plotting positions, and the
// line through the quartiles of both.
DiagnosticPanel NormalQuantiles(PanelPoints p,
                                const std::optional<std::pair<double, double>>& quartiles) {
  DiagnosticPanel f{"qq.svg", "Normal Q-Q",
                    "Theoretical quantiles of the standard normal (no unit)", kStandardized};
  TakePoints(f, p);
  if (quartiles) {
    const double x1 = NormalQuantile(0.25), x2 = NormalQuantile(0.75);
    const double slope = (quartiles->second - quartiles->first) / (x2 - x1);
    const double intercept = quartiles->first - slope * x1;
    f.guides.push_back({{-10.0, intercept - 10.0 * slope}, {10.0, intercept + 10.0 * slope}});
  }
  f.note = {"Dashed: the line through", "the quartiles"};
  return f;
}

DiagnosticPanel ScaleLocation(const RegressionResult& r, PanelPoints p) {
  DiagnosticPanel f{"scale_location.svg", "Scale-Location", "Fitted values " + Units(r),
                    "sqrt(|standardized residuals|) (no unit)"};
  TakePoints(f, p);
  Smooth(f, p);
  return f;
}

// Standardized residuals against leverage, with the curves on which Cook's distance is 0.5 and
// 1: r = +-sqrt(D n (1 - h) / h).
DiagnosticPanel ResidualsAgainstLeverage(const RegressionResult& r, PanelPoints p) {
  DiagnosticPanel f{"residuals_leverage.svg", "Residuals vs Leverage", "Leverage h (no unit)",
                    kStandardized};
  TakePoints(f, p);
  f.xFromZero = true;
  const double largest = XRange(f).second;
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
  Smooth(f, p);
  f.note.push_back("Dashed: Cook's distance");
  f.note.push_back("0.5 and 1");
  return f;
}

// The observations whose standardized residual is defined (a leverage below 1).
std::vector<const ObservationRow*> Standardizable(const RegressionResult& r) {
  std::vector<const ObservationRow*> rows;
  for (const ObservationRow& o : r.observations)
    if (std::isfinite(o.standardizedResidual)) rows.push_back(&o);
  return rows;
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

std::vector<DiagnosticPanel> ComputeDiagnosticPanels(const RegressionResult& r) {
  const std::vector<int> emphasis = ObservationEmphasis(r);
  const auto emphasisOf = [&](const ObservationRow* o) {
    return emphasis[static_cast<size_t>(o - r.observations.data())];
  };
  std::vector<PanelPoints> points(4);
  for (size_t i = 0; i < r.observations.size(); ++i) {
    const ObservationRow& o = r.observations[i];
    points[0].marks.push_back(
        {o.fitted, o.weightedResidual, o.row, std::fabs(o.weightedResidual), emphasis[i]});
  }
  std::vector<const ObservationRow*> rows = Standardizable(r);
  for (const ObservationRow* o : rows) {
    const double root = std::sqrt(std::fabs(o->standardizedResidual));
    points[2].marks.push_back({o->fitted, root, o->row, root, emphasisOf(o)});
    points[3].marks.push_back(
        {o->leverage, o->standardizedResidual, o->row, o->cooksDistance, emphasisOf(o)});
  }
  // Equal values stay in row order.
  std::stable_sort(rows.begin(), rows.end(), [](const ObservationRow* a, const ObservationRow* b) {
    return a->standardizedResidual < b->standardizedResidual;
  });
  std::vector<double> sorted;
  for (size_t i = 0; i < rows.size(); ++i) {
    const double value = rows[i]->standardizedResidual;
    points[1].marks.push_back(
        {NormalQuantilePosition(static_cast<int64_t>(i), static_cast<int64_t>(rows.size())), value,
         rows[i]->row, std::fabs(value), emphasisOf(rows[i])});
    sorted.push_back(value);
  }
  std::optional<std::pair<double, double>> quartiles;
  if (sorted.size() >= 2) {
    const double n = static_cast<double>(sorted.size());
    const auto quantile = [&](double p) {
      const double position = p * (n - 1.0);
      const size_t low = static_cast<size_t>(position);
      const size_t high = std::min(low + 1, sorted.size() - 1);
      return sorted[low] + (position - low) * (sorted[high] - sorted[low]);
    };
    quartiles = {quantile(0.25), quantile(0.75)};
  }
  for (const size_t panel : {0, 2, 3}) SmoothAllMarks(points[panel]);
  return ComposeDiagnosticPanels(r, std::move(points), quartiles);
}

std::vector<DiagnosticPanel> ComposeDiagnosticPanels(
    const RegressionResult& result, std::vector<PanelPoints> points,
    const std::optional<std::pair<double, double>>& quartiles) {
  return {ResidualsAgainstFitted(result, std::move(points[0])),
          NormalQuantiles(std::move(points[1]), quartiles),
          ScaleLocation(result, std::move(points[2])),
          ResidualsAgainstLeverage(result, std::move(points[3]))};
}

double NormalQuantilePosition(int64_t k, int64_t count) {
  const double n = static_cast<double>(count);
  const double a = n <= 10 ? 3.0 / 8.0 : 0.5;
  return NormalQuantile((static_cast<double>(k) + 1.0 - a) / (n + 1.0 - 2.0 * a));
}

DiagnosticPanel ComputeRobustPanel(const RegressionResult& result) {
  return RobustResiduals(result);
}

}  // namespace kelmath_cli
