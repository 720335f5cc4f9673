#include "diagnostic_plots.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "diagnostic_panels.h"
#include "plot_svg.h"

namespace kelmath_cli {

namespace {

using kel_plot::Layout;
using kel_plot::Number;

std::string Text(double x, double y, const std::string& text, const std::string& attributes) {
  return "<text x=\"" + Number(x) + "\" y=\"" + Number(y) + "\" " + attributes + ">" +
         kel_plot::EscapeXmlText(text) + "</text>\n";
}

void WriteLabels(const DiagnosticPanel& f, const std::vector<std::string>& note, std::string& svg) {
  const std::string font = "font-family=\"sans-serif\" font-size=\"14\" text-anchor=\"middle\"";
  svg += Text(Layout::kWidth / 2.0, 32.0, f.title,
              "class=\"title\" font-family=\"sans-serif\" font-size=\"18\" text-anchor=\"middle\"");
  svg += Text((Layout::kLeft + Layout::kRight) / 2.0, Layout::kBottom + 45.0, f.xLabel,
              "class=\"x-label\" " + font);
  const double yMiddle = (Layout::kTop + Layout::kBottom) / 2.0;
  svg += Text(
      22.0, yMiddle, f.yLabel,
      "class=\"y-label\" " + font + " transform=\"rotate(-90 22.00 " + Number(yMiddle) + ")\"");
  for (size_t i = 0; i < note.size(); ++i) {
    svg += Text(Layout::kLegendLeft, Layout::kTop + 10.0 + 16.0 * i, note[i],
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

void WriteGuides(const DiagnosticPanel& f, const kel_plot::Scales& s,
                 const std::vector<std::pair<kel_plot::Point, std::string>>& guideLabels,
                 std::string& svg) {
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
  for (const auto& [at, text] : guideLabels) {
    svg += Text(s.X(at.x) - 4.0, s.Y(at.y) - 4.0, text,
                "class=\"guide-label\" font-family=\"sans-serif\" font-size=\"11\" "
                "fill=\"#7f7f7f\" text-anchor=\"end\"");
  }
}

// The smooth through the points, drawn over them. A dense panel's curve keeps one vertex per
// pixel column of the drawing, which is all an image of this width can show.
void WriteSmoother(const DiagnosticPanel& f, const kel_plot::Scales& s, bool dense,
                   std::string& svg) {
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

void WriteMarks(const DiagnosticPanel& f, const kel_plot::Scales& s, std::string& svg) {
  svg += "<g class=\"observations\">\n";
  for (const PanelMark& m : f.marks) {
    svg += "<circle class=\"marker\" cx=\"" + Number(s.X(m.x)) + "\" cy=\"" + Number(s.Y(m.y)) +
           "\" r=\"3.5\" fill=\"" + kel_plot::SeriesColour(0) +
           "\" stroke=\"#000000\" stroke-width=\"0.5\"/>\n";
  }
  svg += "</g>\n";
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

void WriteEmphasized(const DiagnosticPanel& f, const kel_plot::Scales& s,
                     const std::vector<size_t>& chosen, std::string& svg) {
  svg += "<g class=\"observations\" fill=\"";
  svg += kel_plot::SeriesColour(0);
  svg += "\" stroke=\"#000000\" stroke-width=\"0.5\">\n";
  for (const size_t i : chosen) {
    const PanelMark& m = f.marks[i];
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
  const std::vector<int64_t> counts = DensityKeyCounts(largest);
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
std::string Render(const DiagnosticPanel& f) {
  const PanelLayout layout = LayOutPanel(f);
  const kel_plot::Scales& scales = layout.scales;
  std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Number(Layout::kWidth) +
         "\" height=\"" + Number(Layout::kHeight) + "\" viewBox=\"0 0 " + Number(Layout::kWidth) +
         " " + Number(Layout::kHeight) + "\">\n";
  svg += "<title>" + kel_plot::EscapeXmlText(f.title) + "</title>\n";
  svg += "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
  WriteLabels(f, layout.note, svg);
  kel_plot::WriteGridAndAxes(scales, svg);
  // Over a density the dashed guides come after it, or it would hide them.
  if (layout.dense) {
    WriteDensity(*layout.bins, svg);
    WriteGuides(f, scales, layout.guideLabels, svg);
    WriteEmphasized(f, scales, layout.emphasized, svg);
    WriteDensityKey(*layout.bins, Layout::kTop + 10.0 + 16.0 * layout.note.size() + 8.0, svg);
  } else {
    WriteGuides(f, scales, layout.guideLabels, svg);
    WriteMarks(f, scales, svg);
  }
  WriteSmoother(f, scales, layout.dense, svg);
  WriteRowLabels(layout.labels, svg);
  svg += "</svg>\n";
  return svg;
}

}  // namespace

std::vector<PlotImage> RenderDiagnosticPlots(const RegressionResult& result) {
  std::vector<PlotImage> images = RenderPanels(ComputeDiagnosticPanels(result));
  if (result.hasRobust) images.push_back(RenderRobustPlot(result));
  return images;
}

std::vector<PlotImage> RenderPanels(const std::vector<DiagnosticPanel>& panels) {
  std::vector<PlotImage> images;
  for (const DiagnosticPanel& panel : panels) images.push_back({panel.fileName, Render(panel)});
  return images;
}

PlotImage RenderRobustPlot(const RegressionResult& result) {
  const DiagnosticPanel panel = ComputeRobustPanel(result);
  return {panel.fileName, Render(panel)};
}

}  // namespace kelmath_cli
