// KelPlotSparse: draws plot files (".stx") as SVG images of the same base name. Without
// arguments it draws every plot file of the working folder; otherwise the files named. A file
// that cannot be drawn gets one line on standard error, and the exit status is then 1; the
// other files are drawn all the same.
#include <cstdio>
#include <string>
#include <vector>

#include "plot_convert.h"

namespace {

// The name as it may appear inside a one-line message.
std::string OneLine(std::string name) {
  for (char& c : name) {
    if (c == '\n' || c == '\r') c = '?';
  }
  return name;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) files.emplace_back(argv[i]);
  if (argc < 2) files = kel_plot::PlotFilesIn(".");
  int status = 0;
  for (const std::string& file : files) {
    const std::string problem = kel_plot::ConvertPlotFile(file);
    if (!problem.empty()) {
      std::fprintf(stderr, "KelPlotSparse: %s: %s\n", OneLine(file).c_str(), problem.c_str());
      status = 1;
    }
  }
  return status;
}
