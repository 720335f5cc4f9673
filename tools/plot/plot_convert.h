// Turning plot files into SVG images beside them.
#ifndef KELMATH_TOOLS_PLOT_PLOT_CONVERT_H
#define KELMATH_TOOLS_PLOT_PLOT_CONVERT_H

#include <string>
#include <vector>

namespace kel_plot {

// The regular files of the folder whose names end in ".stx", sorted by name.
std::vector<std::string> PlotFilesIn(const std::string& folder);

// The image's path: the plot file's with the extension replaced by ".svg" (appended when there
// is none).
std::string ImagePath(const std::string& plotPath);

// Reads the plot file and writes its image, titled with the file's name. Returns the problem in
// one line (empty on success); a plot file with a problem leaves no new image.
std::string ConvertPlotFile(const std::string& plotPath);

}  // namespace kel_plot

#endif
