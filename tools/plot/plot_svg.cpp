#include "plot_svg.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "plot_frame.h"
#include "plot_scale.h"

namespace kel_plot {

namespace {

// Ten colours that stay apart on white; blue and red first, for the usual fitted line over its
// data.
constexpr const char* kPalette[] = {"#1f77b4", "#d62728", "#2ca02c", "#ff7f0e", "#9467bd",
                                    "#8c564b", "#e377c2", "#7f7f7f", "#bcbd22", "#17becf"};

// Length of the UTF-8 sequence starting at text[i], or 0 when it is not valid.
size_t Utf8SequenceLength(const std::string& text, size_t i) {
  const unsigned char lead = static_cast<unsigned char>(text[i]);
  size_t length = 0;
  unsigned int code = 0;
  if (lead >= 0xc2 && lead <= 0xdf) {
    length = 2;
    code = lead & 0x1fu;
  } else if (lead >= 0xe0 && lead <= 0xef) {
    length = 3;
    code = lead & 0x0fu;
  } else if (lead >= 0xf0 && lead <= 0xf4) {
    length = 4;
    code = lead & 0x07u;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    const unsigned char next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xc0u) != 0x80u) return 0;
    code = (code << 6) | (next & 0x3fu);
  }
  // Overlong forms, surrogates and code points beyond Unicode are not text.
  const unsigned int smallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < smallest[length] || (code >= 0xd800 && code <= 0xdfff) || code > 0x10ffff) return 0;
  return length;
}

Scales ChooseScales(const PlotData& plot) {
  bool any = false;
  double xMin = 0.0, xMax = 0.0, yMin = 0.0, yMax = 0.0;
  for (const Series& series : plot.series) {
    for (const Point& p : series.points) {
      if (!any) {
        xMin = xMax = p.x;
        yMin = yMax = p.y;
        any = true;
      }
      xMin = std::min(xMin, p.x);
      xMax = std::max(xMax, p.x);
      yMin = std::min(yMin, p.y);
      yMax = std::max(yMax, p.y);
    }
  }
  // A plot without points still gets its frame and axes, over [0, 1].
  if (!any) xMax = yMax = 1.0;
  return {ChooseAxis(xMin, xMax), ChooseAxis(yMin, yMax)};
}

void WriteSeries(const Series& series, const char* colour, const Scales& s, std::string& svg) {
  svg += "<g class=\"series\" data-row=\"" + std::to_string(series.row) + "\">\n";
  if (series.points.size() > kLongestMarkerSeries) {
    svg += "<polyline class=\"line\" fill=\"none\" stroke=\"" + std::string(colour) +
           "\" stroke-width=\"2\" stroke-linejoin=\"round\" points=\"";
    for (size_t i = 0; i < series.points.size(); ++i) {
      if (i > 0) svg += ' ';
      svg += Number(s.X(series.points[i].x)) + "," + Number(s.Y(series.points[i].y));
    }
    svg += "\"/>\n";
  } else {
    for (const Point& p : series.points) {
      svg += "<circle class=\"marker\" cx=\"" + Number(s.X(p.x)) + "\" cy=\"" + Number(s.Y(p.y)) +
             "\" r=\"4\" fill=\"" + colour + "\" stroke=\"#000000\" stroke-width=\"0.5\"/>\n";
    }
  }
  svg += "</g>\n";
}

void WriteLegend(const PlotData& plot, std::string& svg) {
  svg += "<g class=\"legend\" font-family=\"sans-serif\" font-size=\"12\">\n";
  const double x = Layout::kLegendLeft;
  double y = Layout::kTop + 10.0;
  for (size_t i = 0; i < plot.series.size() && i < kLegendEntries; ++i, y += 20.0) {
    const Series& series = plot.series[i];
    const std::string colour = SeriesColour(i);
    if (series.points.size() > kLongestMarkerSeries) {
      svg += "<line x1=\"" + Number(x) + "\" y1=\"" + Number(y) + "\" x2=\"" + Number(x + 24.0) +
             "\" y2=\"" + Number(y) + "\" stroke=\"" + colour + "\" stroke-width=\"2\"/>\n";
    } else {
      svg += "<circle cx=\"" + Number(x + 12.0) + "\" cy=\"" + Number(y) + "\" r=\"4\" fill=\"" +
             colour + "\" stroke=\"#000000\" stroke-width=\"0.5\"/>\n";
    }
    svg += "<text class=\"entry\" x=\"" + Number(x + 32.0) + "\" y=\"" + Number(y + 4.0) +
           "\">Row " + std::to_string(series.row) + " (" + std::to_string(series.points.size()) +
           (series.points.size() == 1 ? " point" : " points") + ")</text>\n";
  }
  if (plot.series.size() > kLegendEntries) {
    svg += "<text class=\"entry\" x=\"" + Number(x) + "\" y=\"" + Number(y + 4.0) + "\">and " +
           std::to_string(plot.series.size() - kLegendEntries) + " more rows</text>\n";
  }
  if (plot.series.empty()) {
    svg += "<text class=\"entry\" x=\"" + Number(x) + "\" y=\"" + Number(y + 4.0) +
           "\">no points</text>\n";
  }
  svg += "</g>\n";
}

}  // namespace

const char* SeriesColour(size_t position) {
  return kPalette[position % (sizeof kPalette / sizeof kPalette[0])];
}

std::string EscapeXmlText(const std::string& text) {
  std::string escaped;
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      const size_t length = Utf8SequenceLength(text, i);
      if (length == 0) {
        escaped += '?';
        ++i;
      } else {
        escaped.append(text, i, length);
        i += length;
      }
      continue;
    }
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      default:
        // Control characters other than the tab are not allowed in XML 1.0 text.
        escaped += (c < 0x20 && c != '\t') || c == 0x7f ? '?' : static_cast<char>(c);
    }
    ++i;
  }
  return escaped;
}

std::string RenderSvg(const PlotData& plot, const std::string& title) {
  const Scales scales = ChooseScales(plot);
  const std::string shownTitle = EscapeXmlText(title);
  std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Number(Layout::kWidth) +
         "\" height=\"" + Number(Layout::kHeight) + "\" viewBox=\"0 0 " + Number(Layout::kWidth) +
         " " + Number(Layout::kHeight) + "\">\n";
  svg += "<title>" + shownTitle + "</title>\n";
  svg += "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
  svg += "<text class=\"title\" x=\"" + Number(Layout::kWidth / 2.0) +
         "\" y=\"32.00\" font-family=\"sans-serif\" font-size=\"18\" text-anchor=\"middle\">" +
         shownTitle + "</text>\n";
  WriteGridAndAxes(scales, svg);
  for (size_t i = 0; i < plot.series.size(); ++i) {
    WriteSeries(plot.series[i], SeriesColour(i), scales, svg);
  }
  WriteLegend(plot, svg);
  svg += "</svg>\n";
  return svg;
}

}  // namespace kel_plot
