// SIGKILL during a large run of `kelmath regress` with every result file asked for: at any
// moment the folder holds only complete files under their final names (each byte-identical to
// the one a complete run writes), or none, and never a temporary or a "KelFile.txt".
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "kelmath_command_support.h"

namespace {

namespace fs = std::filesystem;

// A few hundred thousand rows: long enough that the kills land while files are being written.
void WriteLargeData(const std::string& path) {
  std::ofstream out(path);
  out << "y,a,b,c\n";
  unsigned state = 12345u;
  const auto next = [&] {
    state = state * 1103515245u + 12345u;
    return static_cast<double>((state >> 8) & 0xFFFF) / 65536.0 - 0.5;
  };
  for (int i = 0; i < 200'000; ++i) {
    const double a = next(), b = next(), c = next();
    out << 1.0 + 2.0 * a - b + 0.5 * c + 0.1 * next() << ',' << a << ',' << b << ',' << c << '\n';
  }
}

// Starts the command in folder and returns its process id.
pid_t Start(const std::string& folder) {
  const pid_t child = ::fork();
  if (child == 0) {
    if (::chdir(folder.c_str()) != 0) ::_exit(127);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::dup2(null, 2);
    ::execl(KELMATH_COMMAND_PROGRAM, "kelmath", "regress", "../data.csv", "--response", "y",
            "--json", "r.json", "--plots", "plots", "--output", "r.txt", nullptr);
    ::_exit(127);
  }
  return child;
}

class KelmathKill : public kelmath_test::KelmathCommand {};

TEST_F(KelmathKill, KilledRunsLeaveOnlyCompleteFilesUnderFinalNames) {
  WriteLargeData(folder + "/data.csv");
  const std::string complete = folder + "/complete";
  fs::create_directory(complete);
  int status = 0;
  const auto start = std::chrono::steady_clock::now();
  ::waitpid(Start(complete), &status, 0);
  const auto duration = std::chrono::steady_clock::now() - start;
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  ASSERT_TRUE(fs::exists(complete + "/r.json"));
  for (const auto& entry : fs::recursive_directory_iterator(complete)) {
    const std::string name = entry.path().filename().string();
    EXPECT_TRUE(name.find(".kelmath-partial") == std::string::npos && name != "KelFile.txt")
        << name;
  }
  int killedEarly = 0;
  int killedWithFiles = 0;
  // Kills spread over the run as this machine times it: while reading, fitting, and writing.
  int attempt = 0;
  const auto killAt = [&](double fraction) {
    const int milliseconds =
        static_cast<int>(fraction * std::chrono::duration<double, std::milli>(duration).count());
    const std::string killed = folder + "/killed_" + std::to_string(++attempt);
    fs::create_directory(killed);
    const pid_t child = Start(killed);
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    ::kill(child, SIGKILL);
    ::waitpid(child, &status, 0);
    if (WIFSIGNALED(status)) ++killedEarly;
    if (WIFSIGNALED(status) && fs::exists(killed + "/plots")) ++killedWithFiles;
    for (const auto& entry : fs::recursive_directory_iterator(killed)) {
      if (entry.is_directory()) continue;
      const std::string relative = fs::relative(entry.path(), killed).string();
      const std::string reference = complete + "/" + relative;
      ASSERT_TRUE(fs::exists(reference)) << relative << " after " << milliseconds << " ms";
      EXPECT_EQ(kel_test::ReadFile(entry.path().string()), kel_test::ReadFile(reference))
          << relative << " after " << milliseconds << " ms";
    }
  };
  for (const double fraction : {0.02, 0.2, 0.5, 0.7, 0.8, 0.9, 0.97}) killAt(fraction);
  // A loaded machine times its runs unevenly: where no kill landed while the files were being
  // written, more kills near the end of the run look for that moment.
  for (double fraction = 0.75; killedWithFiles == 0 && fraction < 1.5; fraction += 0.025)
    killAt(fraction);
  // The test means something only if some kill came before the run's end.
  EXPECT_GT(killedEarly, 0);
  EXPECT_GT(killedWithFiles, 0);
}

}  // namespace
