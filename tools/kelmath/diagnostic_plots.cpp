#include "diagnostic_plots.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <utility>

#include "lowess.h"
#include "name_text.h"
#include "plot_frame.h"
#include "plot_svg.h"

namespace kelmath_cli {

namespace {

using kel_plot::Layout;
using kel_plot::Number;

struct Mark {
  double x = 0.0;
  double y = 0.0;
  int row = 0;
  double extremeness = 0.0;  // the three largest get their row written beside them
};

struct Figure {
  Figure(std::string title, std::string xLabel, std::string yLabel)
      : title(std::move(title)), xLabel(std::move(xLabel)), yLabel(std::move(yLabel)) {}
  std::string title;
  std::string xLabel;
  std::string yLabel;
  std::vector<Mark> marks;
  // Dashed reference lines (zero, the normal line, Cook's contours), clipped to the drawing.
  std::vector<std::vector<kel_plot::Point>> guides;
  // Text written at the last point of a guide that lies inside the drawing.
  std::vector<std::pair<size_t, std::string>> guideLabels;
  // A solid curve through the points (the LOWESS smooth of the residual plot), clipped too.
  std::vector<kel_plot::Point> smoother;
  bool xFromZero = false;
  std::vector<double> yShown;     // values the y axis covers whatever the data
  std::vector<std::string> note;  // lines right of the drawing, e.g. what the guides are
};

constexpr int kLabelledMarks = 3;

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

kel_plot::Scales ChooseScales(const Figure& f) {
  // Without a point the frame still shows, over [0, 1].
  if (f.marks.empty()) return {kel_plot::ChooseAxis(0.0, 1.0), kel_plot::ChooseAxis(0.0, 1.0)};
  double xMin = f.xFromZero ? 0.0 : f.marks.front().x, xMax = xMin;
  double yMin = f.marks.front().y, yMax = yMin;
  for (const double y : f.yShown) {
    yMin = std::min(yMin, y);
    yMax = std::max(yMax, y);
  }
  for (const Mark& m : f.marks) {
    xMin = std::min(xMin, m.x);
    xMax = std::max(xMax, m.x);
    yMin = std::min(yMin, m.y);
    yMax = std::max(yMax, m.y);
  }
  return {kel_plot::ChooseAxis(xMin, xMax), kel_plot::ChooseAxis(yMin, yMax)};
}

std::string Text(double x, double y, const std::string& text, const std::string& attributes) {
  return "<text x=\"" + Number(x) + "\" y=\"" + Number(y) + "\" " + attributes + ">" +
         kel_plot::EscapeXmlText(text) + "</text>\n";
}

void WriteLabels(const Figure& f, std::string& svg) {
  const std::string font = "font-family=\"sans-serif\" font-size=\"14\" text-anchor=\"middle\"";
  svg += Text(Layout::kWidth / 2.0, 32.0, f.title,
              "class=\"title\" font-family=\"sans-serif\" font-size=\"18\" text-anchor=\"middle\"");
  svg += Text((Layout::kLeft + Layout::kRight) / 2.0, Layout::kBottom + 45.0, f.xLabel,
              "class=\"x-label\" " + font);
  const double yMiddle = (Layout::kTop + Layout::kBottom) / 2.0;
  svg += Text(
      22.0, yMiddle, f.yLabel,
      "class=\"y-label\" " + font + " transform=\"rotate(-90 22.00 " + Number(yMiddle) + ")\"");
  for (size_t i = 0; i < f.note.size(); ++i) {
    svg += Text(Layout::kLegendLeft, Layout::kTop + 10.0 + 16.0 * i, f.note[i],
                "class=\"note\" font-family=\"sans-serif\" font-size=\"12\"");
  }
}

void WriteGuides(const Figure& f, const kel_plot::Scales& s, std::string& svg) {
  svg += "<clipPath id=\"drawing\"><rect x=\"" + Number(Layout::kLeft) + "\" y=\"" +
         Number(Layout::kTop) + "\" width=\"" + Number(Layout::kRight - Layout::kLeft) +
         "\" height=\"" + Number(Layout::kBottom - Layout::kTop) + "\"/></clipPath>\n";
  svg +=
      "<g class=\"guides\" clip-path=\"url(#drawing)\" fill=\"none\" stroke=\"#7f7f7f\" "
      "stroke-width=\"1\" stroke-dasharray=\"6 4\">\n";
  for (const auto& guide : f.guides) {
    svg += "<polyline points=\"";
    for (size_t i = 0; i < guide.size(); ++i)
      svg.append(i > 0 ? " " : "")
          .append(Number(s.X(guide[i].x)))
          .append(",")
          .append(Number(s.Y(guide[i].y)));
    svg += "\"/>\n";
  }
  svg += "</g>\n";
  if (!f.smoother.empty()) {
    std::string points;
    for (const kel_plot::Point& p : f.smoother) {
      if (!points.empty()) points += ' ';
      points += Number(s.X(p.x));
      points += ',';
      points += Number(s.Y(p.y));
    }
    svg += "<polyline class=\"smoother\" clip-path=\"url(#drawing)\" fill=\"none\" ";
    svg += "stroke=\"#d62728\" stroke-width=\"1.5\" points=\"";
    svg += points;
    svg += "\"/>\n";
  }
  for (const auto& [index, text] : f.guideLabels) {
    const std::vector<kel_plot::Point>& guide = f.guides[index];
    for (auto it = guide.rbegin(); it != guide.rend(); ++it) {
      const double x = s.X(it->x), y = s.Y(it->y);
      if (x < Layout::kLeft || x > Layout::kRight || y < Layout::kTop || y > Layout::kBottom)
        continue;
      svg += Text(x - 4.0, y - 4.0, text,
                  "class=\"guide-label\" font-family=\"sans-serif\" font-size=\"11\" "
                  "fill=\"#7f7f7f\" text-anchor=\"end\"");
      break;
    }
  }
}

void WriteMarks(const Figure& f, const kel_plot::Scales& s, std::string& svg) {
  svg += "<g class=\"observations\">\n";
  for (const Mark& m : f.marks) {
    svg += "<circle class=\"marker\" cx=\"" + Number(s.X(m.x)) + "\" cy=\"" + Number(s.Y(m.y)) +
           "\" r=\"3.5\" fill=\"" + kel_plot::SeriesColour(0) +
           "\" stroke=\"#000000\" stroke-width=\"0.5\"/>\n";
  }
  svg += "</g>\n";
  std::vector<size_t> order(f.marks.size());
  std::iota(order.begin(), order.end(), 0);
  const size_t labelled = std::min<size_t>(kLabelledMarks, order.size());
  std::partial_sort(order.begin(), order.begin() + labelled, order.end(), [&](size_t a, size_t b) {
    return f.marks[a].extremeness > f.marks[b].extremeness;
  });
  svg += "<g class=\"row-labels\" font-family=\"sans-serif\" font-size=\"11\">\n";
  for (size_t k = 0; k < labelled; ++k) {
    const Mark& m = f.marks[order[k]];
    // Labels of points near the right edge go to their left, so they stay inside the image.
    const bool left = s.X(m.x) > Layout::kRight - 40.0;
    svg += Text(s.X(m.x) + (left ? -6.0 : 6.0), s.Y(m.y) - 5.0, std::to_string(m.row),
                left ? "text-anchor=\"end\"" : "text-anchor=\"start\"");
  }
  svg += "</g>\n";
}

std::string Render(const Figure& f) {
  const kel_plot::Scales scales = ChooseScales(f);
  std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Number(Layout::kWidth) +
         "\" height=\"" + Number(Layout::kHeight) + "\" viewBox=\"0 0 " + Number(Layout::kWidth) +
         " " + Number(Layout::kHeight) + "\">\n";
  svg += "<title>" + kel_plot::EscapeXmlText(f.title) + "</title>\n";
  svg += "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
  WriteLabels(f, svg);
  kel_plot::WriteGridAndAxes(scales, svg);
  WriteGuides(f, scales, svg);
  WriteMarks(f, scales, svg);
  svg += "</svg>\n";
  return svg;
}

// A horizontal guide across the whole range of x.
std::vector<kel_plot::Point> Horizontal(const Figure& f, double y) {
  if (f.marks.empty()) return {};
  double low = f.xFromZero ? 0.0 : f.marks.front().x, high = low;
  for (const Mark& m : f.marks) {
    low = std::min(low, m.x);
    high = std::max(high, m.x);
  }
  const double margin = high - low + 1.0;
  return {{low - margin, y}, {high + margin, y}};
}

std::string Units(const RegressionResult& r) {
  return "(units of " + ShownName(r.response) + ")";
}

Figure ResidualsAgainstFitted(const RegressionResult& r) {
  Figure f{"Residuals vs Fitted", "Fitted values " + Units(r), "Residuals " + Units(r)};
  std::vector<double> fitted, residuals;
  for (const ObservationRow& o : r.observations) {
    f.marks.push_back({o.fitted, o.residual, o.row, std::fabs(o.residual)});
    fitted.push_back(o.fitted);
    residuals.push_back(o.residual);
  }
  f.guides.push_back(Horizontal(f, 0.0));
  // The trend R's plot(lm) draws: lowess with span 2/3 and three robustness iterations.
  for (const SmoothedPoint& p : Lowess(fitted, residuals)) f.smoother.push_back({p.x, p.y});
  f.note = {"Solid: LOWESS smooth", "(span 2/3, 3 iterations)", "Dashed: zero"};
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
Figure NormalQuantiles(const RegressionResult& r) {
  Figure f{"Normal Q-Q", "Theoretical quantiles of the standard normal (no unit)", kStandardized};
  std::vector<const ObservationRow*> rows = Standardizable(r);
  std::sort(rows.begin(), rows.end(), [](const ObservationRow* a, const ObservationRow* b) {
    return a->standardizedResidual < b->standardizedResidual;
  });
  const double n = static_cast<double>(rows.size());
  const double a = n <= 10 ? 3.0 / 8.0 : 0.5;
  std::vector<double> sorted;
  for (size_t i = 0; i < rows.size(); ++i) {
    const double q = NormalQuantile((static_cast<double>(i) + 1.0 - a) / (n + 1.0 - 2.0 * a));
    const double value = rows[i]->standardizedResidual;
    f.marks.push_back({q, value, rows[i]->row, std::fabs(value)});
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

Figure ScaleLocation(const RegressionResult& r) {
  Figure f{"Scale-Location", "Fitted values " + Units(r),
           "sqrt(|standardized residuals|) (no unit)"};
  for (const ObservationRow* o : Standardizable(r)) {
    const double value = std::sqrt(std::fabs(o->standardizedResidual));
    f.marks.push_back({o->fitted, value, o->row, value});
  }
  return f;
}

// Standardized residuals against leverage, with the curves on which Cook's distance is 0.5 and
// 1: r = +-sqrt(D n (1 - h) / h).
Figure ResidualsAgainstLeverage(const RegressionResult& r) {
  Figure f{"Residuals vs Leverage", "Leverage h (no unit)", kStandardized};
  double largest = 0.0;
  for (const ObservationRow* o : Standardizable(r)) {
    f.marks.push_back({o->leverage, o->standardizedResidual, o->row, o->cooksDistance});
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
  f.note = {"Dashed: Cook's distance", "0.5 and 1"};
  return f;
}

Figure RobustResiduals(const RegressionResult& r) {
  Figure f{"Robust residuals by row", "Data row",
           "Normalized robust residuals (units of the robust scale)"};
  for (size_t i = 0; i < r.robust.normalizedResiduals.size(); ++i) {
    const double value = r.robust.normalizedResiduals[i];
    f.marks.push_back({static_cast<double>(r.observations[i].row), value, r.observations[i].row,
                       std::fabs(value)});
  }
  for (const double limit : {2.5, -2.5}) f.guides.push_back(Horizontal(f, limit));
  f.yShown = {2.5, -2.5};
  f.note = {"Dashed: +-2.5, beyond", "which a row is an outlier"};
  return f;
}

}  // namespace

std::vector<PlotImage> RenderDiagnosticPlots(const RegressionResult& result) {
  std::vector<PlotImage> images = {
      {"residuals_fitted.svg", Render(ResidualsAgainstFitted(result))},
      {"qq.svg", Render(NormalQuantiles(result))},
      {"scale_location.svg", Render(ScaleLocation(result))},
      {"residuals_leverage.svg", Render(ResidualsAgainstLeverage(result))}};
  if (result.hasRobust) images.push_back({"robust_residuals.svg", Render(RobustResiduals(result))});
  return images;
}

}  // namespace kelmath_cli
