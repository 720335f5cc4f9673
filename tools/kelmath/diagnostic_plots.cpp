#include "diagnostic_plots.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <utility>

#include "density_bins.h"
#include "label_placement.h"
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
  int emphasis = 0;          // 1 flagged, 2 among the extreme few: drawn as markers over a density
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
  size_t labelled = 3;            // rows labelled, the most extreme first
  // Rows that deserve a label (the robust outliers) and what they are called: the ones left
  // unlabelled are counted in a note ("and 123 more outliers").
  size_t labelPool = 0;
  std::string poolName;
};

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
  // Only finite values count (a NaN, as a standardized residual at leverage 1, is not drawn); the
  // ranges start empty, and an axis without a finite value spans [0, 1].
  const double inf = std::numeric_limits<double>::infinity();
  double xMin = f.xFromZero ? 0.0 : inf, xMax = f.xFromZero ? 0.0 : -inf;
  double yMin = inf, yMax = -inf;
  const auto widen = [](double value, double& low, double& high) {
    if (!std::isfinite(value)) return;
    low = std::min(low, value);
    high = std::max(high, value);
  };
  for (const double y : f.yShown) widen(y, yMin, yMax);
  for (const Mark& m : f.marks) {
    widen(m.x, xMin, xMax);
    widen(m.y, yMin, yMax);
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

// The parts of a polyline (image coordinates) within one image size of the image: a guide that
// runs far outside (Cook's contours at leverages near 0 reach y of 10^4 image heights) would
// otherwise make renderers dash its whole length. Vertices inside are kept as they are.
std::vector<std::vector<kel_plot::Point>> ClipToReach(const std::vector<kel_plot::Point>& line) {
  const double low[2] = {-Layout::kWidth, -Layout::kHeight};
  const double high[2] = {2.0 * Layout::kWidth, 2.0 * Layout::kHeight};
  std::vector<std::vector<kel_plot::Point>> pieces;
  std::vector<kel_plot::Point> piece;
  const auto flush = [&] {
    if (piece.size() >= 2) pieces.push_back(piece);
    piece.clear();
  };
  if (line.size() == 1) return {line};
  for (size_t i = 1; i < line.size(); ++i) {
    // Liang-Barsky: the parameters t0 <= t1 of the segment's part inside the box.
    const kel_plot::Point a = line[i - 1], b = line[i];
    const double start[2] = {a.x, a.y}, delta[2] = {b.x - a.x, b.y - a.y};
    double t0 = 0.0, t1 = 1.0;
    for (int k = 0; k < 2 && t0 <= t1; ++k) {
      if (delta[k] == 0.0) {
        if (start[k] < low[k] || start[k] > high[k]) t0 = 2.0;
        continue;
      }
      double u = (low[k] - start[k]) / delta[k], v = (high[k] - start[k]) / delta[k];
      if (u > v) std::swap(u, v);
      t0 = std::max(t0, u);
      t1 = std::min(t1, v);
    }
    if (!(t0 <= t1)) {
      flush();
      continue;
    }
    const kel_plot::Point from =
        t0 > 0.0 ? kel_plot::Point{a.x + t0 * delta[0], a.y + t0 * delta[1]} : a;
    const kel_plot::Point to =
        t1 < 1.0 ? kel_plot::Point{a.x + t1 * delta[0], a.y + t1 * delta[1]} : b;
    if (t0 > 0.0) flush();
    if (piece.empty()) piece.push_back(from);
    piece.push_back(to);
    if (t1 < 1.0) flush();
  }
  flush();
  return pieces;
}

void WriteGuides(const Figure& f, const kel_plot::Scales& s, std::string& svg) {
  svg += "<clipPath id=\"drawing\"><rect x=\"" + Number(Layout::kLeft) + "\" y=\"" +
         Number(Layout::kTop) + "\" width=\"" + Number(Layout::kRight - Layout::kLeft) +
         "\" height=\"" + Number(Layout::kBottom - Layout::kTop) + "\"/></clipPath>\n";
  svg +=
      "<g class=\"guides\" clip-path=\"url(#drawing)\" fill=\"none\" stroke=\"#7f7f7f\" "
      "stroke-width=\"1\" stroke-dasharray=\"6 4\">\n";
  for (const auto& guide : f.guides) {
    std::vector<kel_plot::Point> pixels;
    for (const kel_plot::Point& p : guide) pixels.push_back({s.X(p.x), s.Y(p.y)});
    for (const auto& piece : ClipToReach(pixels)) {
      svg += "<polyline points=\"";
      for (size_t i = 0; i < piece.size(); ++i)
        svg.append(i > 0 ? " " : "")
            .append(Number(piece[i].x))
            .append(",")
            .append(Number(piece[i].y));
      svg += "\"/>\n";
    }
  }
  svg += "</g>\n";
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

// The smooth through the points, drawn over them. A dense panel's curve keeps one vertex per
// pixel column of the drawing, which is all an image of this width can show.
void WriteSmoother(const Figure& f, const kel_plot::Scales& s, bool dense, std::string& svg) {
  if (f.smoother.empty()) return;
  std::string points;
  double lastX = -1.0;
  for (size_t i = 0; i < f.smoother.size(); ++i) {
    const double x = s.X(f.smoother[i].x);
    if (dense && i + 1 < f.smoother.size() && i > 0 && x - lastX < 1.0) continue;
    lastX = x;
    if (!points.empty()) points += ' ';
    points += Number(x);
    points += ',';
    points += Number(s.Y(f.smoother[i].y));
  }
  svg += "<polyline class=\"smoother\" clip-path=\"url(#drawing)\" fill=\"none\" ";
  svg += "stroke=\"#d62728\" stroke-width=\"1.5\" points=\"";
  svg += points;
  svg += "\"/>\n";
}

void WriteMarks(const Figure& f, const kel_plot::Scales& s, std::string& svg) {
  svg += "<g class=\"observations\">\n";
  for (const Mark& m : f.marks) {
    svg += "<circle class=\"marker\" cx=\"" + Number(s.X(m.x)) + "\" cy=\"" + Number(s.Y(m.y)) +
           "\" r=\"3.5\" fill=\"" + kel_plot::SeriesColour(0) +
           "\" stroke=\"#000000\" stroke-width=\"0.5\"/>\n";
  }
  svg += "</g>\n";
}

DensityBins BinMarks(const Figure& f, const kel_plot::Scales& s) {
  DensityBins bins(Layout::kLeft, Layout::kTop, Layout::kRight - Layout::kLeft,
                   Layout::kBottom - Layout::kTop, kDensityColumns, kDensityRows);
  for (const Mark& m : f.marks) bins.Add(s.X(m.x), s.Y(m.y));
  return bins;
}

void WriteDensity(const DensityBins& bins, std::string& svg) {
  const int64_t largest = bins.Largest();
  svg += "<g class=\"density\" stroke=\"none\">\n";
  for (int r = 0; r < bins.Rows(); ++r) {
    for (int c = 0; c < bins.Columns(); ++c) {
      const int64_t count = bins.Count(c, r);
      if (count == 0) continue;
      // A hair wider than the bin, so that anti-aliasing leaves no seams between full bins.
      svg += "<rect x=\"" + Number(bins.BinLeft(c)) + "\" y=\"" + Number(bins.BinTop(r)) +
             "\" width=\"" + Number(bins.BinWidth() + 0.3) + "\" height=\"" +
             Number(bins.BinHeight() + 0.3) + "\" fill=\"" + DensityShade(count, largest) +
             "\"/>\n";
    }
  }
  svg += "</g>\n";
}

// The rows a dense panel draws as markers: the labelled ones, the extreme few, then the flagged
// ones by decreasing extremeness, at most kIndividualPoints of them.
std::vector<size_t> EmphasizedMarks(const Figure& f, const std::vector<size_t>& labelled) {
  std::vector<int> rank(f.marks.size());
  for (size_t i = 0; i < f.marks.size(); ++i) rank[i] = f.marks[i].emphasis;
  for (const size_t i : labelled) rank[i] = 3;
  std::vector<size_t> chosen;
  for (size_t i = 0; i < f.marks.size(); ++i)
    if (rank[i] > 0) chosen.push_back(i);
  if (chosen.size() > kIndividualPoints) {
    std::nth_element(chosen.begin(), chosen.begin() + kIndividualPoints, chosen.end(),
                     [&](size_t a, size_t b) {
                       if (rank[a] != rank[b]) return rank[a] > rank[b];
                       return f.marks[a].extremeness > f.marks[b].extremeness;
                     });
    chosen.resize(kIndividualPoints);
    std::sort(chosen.begin(), chosen.end());
  }
  return chosen;
}

void WriteEmphasized(const Figure& f, const kel_plot::Scales& s, const std::vector<size_t>& chosen,
                     std::string& svg) {
  svg += "<g class=\"observations\" fill=\"";
  svg += kel_plot::SeriesColour(0);
  svg += "\" stroke=\"#000000\" stroke-width=\"0.5\">\n";
  for (const size_t i : chosen) {
    const Mark& m = f.marks[i];
    svg += "<circle class=\"marker\" data-row=\"" + std::to_string(m.row) + "\" cx=\"" +
           Number(s.X(m.x)) + "\" cy=\"" + Number(s.Y(m.y)) + "\" r=\"3\"/>\n";
  }
  svg += "</g>\n";
}

// The key of the density: a few shades with the counts they stand for, below the notes.
void WriteDensityKey(const DensityBins& bins, double top, std::string& svg) {
  const int64_t largest = bins.Largest();
  svg += Text(Layout::kLegendLeft, top,
              "Points per bin:", "class=\"note\" font-family=\"sans-serif\" font-size=\"12\"");
  std::vector<int64_t> counts;
  for (int k = 0; k <= 4; ++k) {
    const int64_t count = std::llround(std::pow(static_cast<double>(largest), k / 4.0));
    if (counts.empty() || count > counts.back()) counts.push_back(count);
  }
  svg += "<g class=\"density-key\" font-family=\"sans-serif\" font-size=\"12\">\n";
  for (size_t k = 0; k < counts.size(); ++k) {
    const double y = top + 8.0 + 16.0 * k;
    svg += "<rect x=\"" + Number(Layout::kLegendLeft) + "\" y=\"" + Number(y) +
           "\" width=\"16\" height=\"12\" fill=\"" + DensityShade(counts[k], largest) +
           "\" stroke=\"#7f7f7f\" stroke-width=\"0.5\"/>\n";
    svg += Text(Layout::kLegendLeft + 22.0, y + 10.0, std::to_string(counts[k]), "");
  }
  svg += "</g>\n";
}

// 1234567 as "1,234,567".
std::string Grouped(size_t n) {
  const std::string digits = std::to_string(n);
  std::string grouped;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ',';
    grouped += digits[i];
  }
  return grouped;
}

std::vector<std::string> DensityNote(const Figure& f, size_t drawn) {
  size_t flagged = 0;
  for (const Mark& m : f.marks) flagged += m.emphasis > 0 ? 1 : 0;
  std::vector<std::string> lines = {
      "Shaded: density of", Grouped(f.marks.size()) + " points in",
      std::to_string(kDensityColumns) + " x " + std::to_string(kDensityRows) + " bins"};
  const std::string name = f.poolName.empty() ? "flagged rows" : f.poolName;
  if (drawn >= flagged) {
    lines.push_back("Markers: " + Grouped(drawn) + " " + name);
    lines.push_back("and the most extreme");
  } else {
    lines.push_back("Markers: the " + Grouped(drawn) + " most");
    lines.push_back("extreme of " + Grouped(flagged));
    lines.push_back(name);
  }
  return lines;
}

// The most extreme marks (f.labelled of them, the largest first), placed so that no two labels
// overlap; a label with no free place is dropped.
std::vector<PlacedLabel> PlaceRowLabels(const Figure& f, const kel_plot::Scales& s,
                                        std::vector<size_t>& order) {
  order.resize(f.marks.size());
  std::iota(order.begin(), order.end(), 0);
  const size_t labelled = std::min<size_t>(f.labelled, order.size());
  std::partial_sort(order.begin(), order.begin() + labelled, order.end(), [&](size_t a, size_t b) {
    return f.marks[a].extremeness > f.marks[b].extremeness;
  });
  order.resize(labelled);
  std::vector<LabelRequest> requests;
  for (const size_t i : order)
    requests.push_back({s.X(f.marks[i].x), s.Y(f.marks[i].y), std::to_string(f.marks[i].row)});
  return PlaceLabels(requests, Layout::kWidth, Layout::kHeight, Layout::kRight);
}

void WriteRowLabels(const std::vector<PlacedLabel>& labels, std::string& svg) {
  svg += "<g class=\"row-labels\" font-family=\"sans-serif\" font-size=\"11\">\n";
  for (const PlacedLabel& label : labels) {
    if (!label.placed) continue;
    svg += Text(label.x, label.y, label.text,
                label.anchorEnd ? "text-anchor=\"end\"" : "text-anchor=\"start\"");
  }
  svg += "</g>\n";
}

// Below kIndividualPoints every point is a marker; above, the density with the emphasized rows
// on top. Either way the smooth comes after the points, so it is drawn over them.
std::string Render(Figure f) {
  const kel_plot::Scales scales = ChooseScales(f);
  const bool dense = f.marks.size() > kIndividualPoints;
  std::vector<size_t> labelledMarks;
  const std::vector<PlacedLabel> labels = PlaceRowLabels(f, scales, labelledMarks);
  size_t placed = 0;
  for (const PlacedLabel& label : labels) placed += label.placed ? 1 : 0;
  if (f.labelPool > placed)
    f.note.push_back("and " + Grouped(f.labelPool - placed) + " more " + f.poolName);
  std::vector<size_t> chosen;
  if (dense) {
    chosen = EmphasizedMarks(f, labelledMarks);
    for (const std::string& line : DensityNote(f, chosen.size())) f.note.push_back(line);
  }
  std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Number(Layout::kWidth) +
         "\" height=\"" + Number(Layout::kHeight) + "\" viewBox=\"0 0 " + Number(Layout::kWidth) +
         " " + Number(Layout::kHeight) + "\">\n";
  svg += "<title>" + kel_plot::EscapeXmlText(f.title) + "</title>\n";
  svg += "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
  WriteLabels(f, svg);
  kel_plot::WriteGridAndAxes(scales, svg);
  // Over a density the dashed guides come after it, or it would hide them.
  if (!dense) WriteGuides(f, scales, svg);
  if (dense) {
    const DensityBins bins = BinMarks(f, scales);
    WriteDensity(bins, svg);
    WriteGuides(f, scales, svg);
    WriteEmphasized(f, scales, chosen, svg);
    WriteDensityKey(bins, Layout::kTop + 10.0 + 16.0 * f.note.size() + 8.0, svg);
  } else {
    WriteMarks(f, scales, svg);
  }
  WriteSmoother(f, scales, dense, svg);
  WriteRowLabels(labels, svg);
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
void SmoothMarks(Figure& f) {
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
    f.note.push_back("(on " + Grouped(kLowessPoints) + " points");
    f.note.push_back("evenly spaced in x)");
  }
}

std::string Units(const RegressionResult& r) {
  return "(units of " + ShownName(r.response) + ")";
}

Figure ResidualsAgainstFitted(const RegressionResult& r) {
  Figure f{"Residuals vs Fitted", "Fitted values " + Units(r), "Residuals " + Units(r)};
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
Figure NormalQuantiles(const RegressionResult& r) {
  Figure f{"Normal Q-Q", "Theoretical quantiles of the standard normal (no unit)", kStandardized};
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

Figure ScaleLocation(const RegressionResult& r) {
  Figure f{"Scale-Location", "Fitted values " + Units(r),
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
Figure ResidualsAgainstLeverage(const RegressionResult& r) {
  Figure f{"Residuals vs Leverage", "Leverage h (no unit)", kStandardized};
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

Figure RobustResiduals(const RegressionResult& r) {
  Figure f{"Robust residuals by row", "Data row",
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

std::vector<PlotImage> RenderDiagnosticPlots(const RegressionResult& result) {
  std::vector<PlotImage> images = {
      {"residuals_fitted.svg", Render(ResidualsAgainstFitted(result))},
      {"qq.svg", Render(NormalQuantiles(result))},
      {"scale_location.svg", Render(ScaleLocation(result))},
      {"residuals_leverage.svg", Render(ResidualsAgainstLeverage(result))}};
  if (result.hasRobust) images.push_back(RenderRobustPlot(result));
  return images;
}

PlotImage RenderRobustPlot(const RegressionResult& result) {
  return {"robust_residuals.svg", Render(RobustResiduals(result))};
}

}  // namespace kelmath_cli
