// The SVG image of a plot: axes with round tick labels, one colour per series, lines for long
// series and markers for short ones, a legend naming the series by row, the title on top.
#ifndef KELMATH_TOOLS_PLOT_PLOT_SVG_H
#define KELMATH_TOOLS_PLOT_PLOT_SVG_H

#include <string>

#include "plot_file.h"
#include "plot_frame.h"

namespace kel_plot {

// A series of more points than this is drawn as a line through them, a shorter one as markers.
inline constexpr size_t kLongestMarkerSeries = 20;
// Legend entries listed one by one; the rest are counted in one last line.
inline constexpr size_t kLegendEntries = 20;

// The colour of the series at this position in the plot (0-based), cycling through a palette.
const char* SeriesColour(size_t position);

// Title text with the characters XML reserves escaped and anything that is not valid UTF-8
// text replaced by '?'.
std::string EscapeXmlText(const std::string& text);

// The whole SVG document.
std::string RenderSvg(const PlotData& plot, const std::string& title);

}  // namespace kel_plot

#endif
