// Fuzz target: the plot viewer's reader and renderer. Any text must either be described as a
// problem in one line or be drawn, never crash, hang or read out of bounds.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "plot_file.h"
#include "plot_svg.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const kel_plot::ParsedPlot parsed = kel_plot::ParsePlotText(text);
  if (!parsed.Ok()) {
    if (parsed.problem.find('\n') != std::string::npos) __builtin_trap();  // one line only
    return 0;
  }
  const std::string svg = kel_plot::RenderSvg(parsed.plot, "fuzz.stx");
  if (svg.empty()) __builtin_trap();
  return 0;
}
