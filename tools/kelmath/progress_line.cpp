// The progress line: a thread that sleeps until the quiet time has passed, then redraws the line
// each period until the run finishes, and erases it.
#include "progress_line.h"

#include <unistd.h>

#include <cmath>
#include <utility>

namespace kelmath_cli {

ProgressLine::ProgressLine(std::string prefix, std::FILE* stream, std::chrono::milliseconds quiet,
                           std::chrono::milliseconds period)
    : prefix_(std::move(prefix)),
      stream_(stream),
      quiet_(quiet),
      period_(period),
      start_(std::chrono::steady_clock::now()) {
  if (isatty(fileno(stream_)) == 1) drawer_ = std::thread([this] { Draw(); });
}

ProgressLine::~ProgressLine() {
  Finish();
}

void ProgressLine::Step(std::string step) {
  const std::lock_guard<std::mutex> lock(mutex_);
  step_ = std::move(step);
}

void ProgressLine::Finish() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
  }
  wake_.notify_all();
  if (drawer_.joinable()) drawer_.join();
}

void ProgressLine::Draw() {
  std::unique_lock<std::mutex> lock(mutex_);
  auto next = start_ + quiet_;
  while (!wake_.wait_until(lock, next, [this] { return finished_; })) {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    char elapsed[32];
    std::snprintf(elapsed, sizeof elapsed, " (%.0f s)", std::floor(seconds));
    std::string line = prefix_ + ": " + step_ + elapsed;
    // Redrawn only when it changes. "\r" returns to the line's start and "\033[K" clears what a
    // longer text left behind.
    if (line != shown_) {
      std::fprintf(stream_, "\r\033[K%s", line.c_str());
      std::fflush(stream_);
      shown_ = std::move(line);
    }
    next += period_;
  }
  if (!shown_.empty()) {
    std::fputs("\r\033[K", stream_);
    std::fflush(stream_);
  }
}

}  // namespace kelmath_cli
