#include "plot_convert.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "plot_file.h"
#include "plot_svg.h"

namespace kel_plot {

std::vector<std::string> PlotFilesIn(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error)) {
    const std::filesystem::path& path = it->path();
    std::error_code typeError;
    if (path.extension() == ".stx" && it->is_regular_file(typeError)) {
      names.push_back(folder == "." ? path.filename().string() : path.string());
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string ImagePath(const std::string& plotPath) {
  std::filesystem::path path(plotPath);
  path.replace_extension(".svg");
  return path.string();
}

std::string ConvertPlotFile(const std::string& plotPath) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(plotPath, error)) {
    return std::filesystem::exists(plotPath, error) ? "is not a regular file" : "does not exist";
  }
  const ParsedPlot parsed = ReadPlotFile(plotPath);
  if (!parsed.Ok()) return parsed.problem;
  const std::string svg =
      RenderSvg(parsed.plot, std::filesystem::path(plotPath).filename().string());
  const std::string imagePath = ImagePath(plotPath);
  {
    std::ofstream out(imagePath, std::ios::binary | std::ios::trunc);
    if (out) out.write(svg.data(), static_cast<std::streamsize>(svg.size()));
    out.close();
    if (out) return "";
  }
  // A half-written image would look like a plot of part of the data.
  std::remove(imagePath.c_str());
  return "its image " + imagePath + " cannot be written";
}

}  // namespace kel_plot
