// A one-line progress indicator for long runs: while a run goes on, standard error (when it is a
// terminal) shows what the command is doing and for how long, redrawn in place:
//
//   kelmath robust: fitting 100,000 rows (12 s)
//
// Nothing is written when the stream is not a terminal (a file, a pipe, a test), and nothing
// before the run has lasted a moment, so quick runs print exactly what they printed before.
// The line is erased when the indicator ends, before the summary is printed.
#ifndef KELMATH_TOOLS_KELMATH_PROGRESS_LINE_H
#define KELMATH_TOOLS_KELMATH_PROGRESS_LINE_H

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

namespace kelmath_cli {

class ProgressLine {
 public:
  // Shows "<prefix>: <step> (<seconds> s)" on stream, if it is a terminal, once quiet has passed,
  // and redraws it every period.
  explicit ProgressLine(std::string prefix, std::FILE* stream = stderr,
                        std::chrono::milliseconds quiet = std::chrono::milliseconds(800),
                        std::chrono::milliseconds period = std::chrono::milliseconds(250));
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // The step now under way ("reading data.csv", "fitting 100,000 rows", ...).
  void Step(std::string step);
  // Erases the line and stops redrawing (also done by the destructor).
  void Finish();
  // Whether the stream is a terminal, so that the line is shown at all.
  bool Shown() const { return drawer_.joinable(); }

 private:
  void Draw();

  const std::string prefix_;
  std::FILE* const stream_;
  const std::chrono::milliseconds quiet_;
  const std::chrono::milliseconds period_;
  const std::chrono::steady_clock::time_point start_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::string step_;
  bool finished_ = false;
  std::string shown_;  // the line on the terminal now, empty before the first
  std::thread drawer_;
};

}  // namespace kelmath_cli

#endif
