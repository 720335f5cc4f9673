// Starting the external plotting program "KelPlotSparse.exe" on the plot files of the working
// directory.
#ifndef KELMATH_DEMOS_REGRESSION_PLOTS_PLOT_PROGRAM_H
#define KELMATH_DEMOS_REGRESSION_PLOTS_PLOT_PROGRAM_H

namespace regression_plots {

// Runs "KelPlotSparse.exe" without arguments through the command interpreter, from the working
// directory when it is there and otherwise from the PATH, and waits until it ends. Nothing it
// or the interpreter says reaches the console, and its absence or failure is ignored.
void StartPlotProgram();

}  // namespace regression_plots

#endif
