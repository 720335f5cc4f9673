// The progress line: drawn in place on a terminal after the quiet time, erased at the end, and
// never written to a stream that is not a terminal.
#include "progress_line.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

namespace {

using kelmath_cli::ProgressLine;
using std::chrono::milliseconds;

// Everything written to the terminal so far, read from its other end without waiting.
std::string Drain(int fd) {
  std::string text;
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  return text;
}

struct Terminal {
  int controller = -1;
  int device = -1;
  std::FILE* stream = nullptr;
  Terminal() {
    if (openpty(&controller, &device, nullptr, nullptr, nullptr) != 0) return;
    fcntl(controller, F_SETFL, fcntl(controller, F_GETFL) | O_NONBLOCK);
    stream = fdopen(device, "w");
  }
  ~Terminal() {
    if (stream != nullptr) std::fclose(stream);
    if (controller >= 0) close(controller);
  }
};

TEST(ProgressLine, DrawsTheStepOnATerminalAndErasesItAtTheEnd) {
  Terminal terminal;
  ASSERT_NE(terminal.stream, nullptr) << "no pseudo-terminal";
  {
    ProgressLine progress("kelmath robust", terminal.stream, milliseconds(0), milliseconds(20));
    EXPECT_TRUE(progress.Shown());
    progress.Step("fitting 1,000 rows of 3 columns");
    std::this_thread::sleep_for(milliseconds(150));
  }
  const std::string text = Drain(terminal.controller);
  EXPECT_NE(text.find("\r\033[Kkelmath robust: fitting 1,000 rows of 3 columns (0 s)"),
            std::string::npos)
      << text;
  // The last thing written clears the line, so that the summary starts on a clean one.
  ASSERT_GE(text.size(), 4u);
  EXPECT_EQ(text.substr(text.size() - 4), "\r\033[K");
  EXPECT_EQ(text.find('\n'), std::string::npos) << "the line must stay one line";
}

TEST(ProgressLine, QuickRunsAndOtherStreamsGetNothing) {
  Terminal terminal;
  ASSERT_NE(terminal.stream, nullptr) << "no pseudo-terminal";
  {
    // Finished before the quiet time has passed: not even the erasing is written.
    ProgressLine progress("kelmath regress", terminal.stream, milliseconds(60000),
                          milliseconds(20));
    progress.Step("reading data.csv");
  }
  EXPECT_EQ(Drain(terminal.controller), "");

  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  {
    ProgressLine progress("kelmath regress", file, milliseconds(0), milliseconds(5));
    EXPECT_FALSE(progress.Shown());
    progress.Step("fitting");
    std::this_thread::sleep_for(milliseconds(50));
  }
  EXPECT_EQ(std::ftell(file), 0L);
  std::fclose(file);
}

}  // namespace
