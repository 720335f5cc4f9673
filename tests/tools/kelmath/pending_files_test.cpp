// Result files named only when complete: both ways of writing them (unnamed files linked at the
// end, visible temporaries renamed), an existing file replaced, abandoned files leaving nothing,
// and a visible temporary removed when the process is terminated.
#include "pending_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "kel_test_support.h"

namespace {

using kelmath_cli::PendingFiles;

class PendingFilesTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    folder = kel_test::ScratchPath("pending");
    std::filesystem::create_directory(folder);
  }
  void TearDown() override { std::filesystem::remove_all(folder); }
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  std::string folder;
};

TEST_P(PendingFilesTest, FilesAppearOnlyWhenCommitted) {
  PendingFiles pending(GetParam());
  ASSERT_TRUE(pending.Write(folder + "/a.json", "{}\n"));
  std::ofstream(pending.Temporary(folder + "/b.txt")) << "report\n";
  // Nothing under a final name yet; unnamed files are not in the folder at all.
  if (GetParam()) {
    EXPECT_TRUE(Entries().empty());
  } else {
    EXPECT_EQ(Entries(),
              (std::vector<std::string>{"a.json.kelmath-partial", "b.txt.kelmath-partial"}));
  }
  EXPECT_EQ(pending.Commit(), "");
  EXPECT_EQ(Entries(), (std::vector<std::string>{"a.json", "b.txt"}));
  EXPECT_EQ(kel_test::ReadFile(folder + "/a.json"), "{}\n");
  EXPECT_EQ(kel_test::ReadFile(folder + "/b.txt"), "report\n");
}

TEST_P(PendingFilesTest, AnExistingFileIsReplacedWhole) {
  std::ofstream(folder + "/a.json") << "old content, longer than the new one\n";
  PendingFiles pending(GetParam());
  ASSERT_TRUE(pending.Write(folder + "/a.json", "new\n"));
  EXPECT_EQ(pending.Commit(), "");
  EXPECT_EQ(kel_test::ReadFile(folder + "/a.json"), "new\n");
  EXPECT_EQ(Entries(), std::vector<std::string>{"a.json"});
}

TEST_P(PendingFilesTest, AbandonedFilesLeaveNothing) {
  {
    PendingFiles pending(GetParam());
    ASSERT_TRUE(pending.Write(folder + "/a.json", "{}\n"));
  }
  EXPECT_TRUE(Entries().empty());
}

INSTANTIATE_TEST_SUITE_P(UnnamedAndVisible, PendingFilesTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Unnamed" : "Visible"; });

// A visible temporary is removed by SIGTERM: the child writes one, signals the parent through a
// pipe and waits to be terminated.
TEST_F(PendingFilesTest, VisibleTemporaryIsRemovedOnTermination) {
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    PendingFiles pending(false);
    std::ofstream(pending.Temporary(folder + "/a.json")) << "{\n";
    const char byte = 1;
    if (::write(ready[1], &byte, 1) != 1) ::_exit(3);
    ::pause();
    ::_exit(4);
  }
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  EXPECT_EQ(Entries(), std::vector<std::string>{"a.json.kelmath-partial"});
  ::kill(child, SIGTERM);
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
  EXPECT_TRUE(Entries().empty());
  ::close(ready[0]);
  ::close(ready[1]);
}

}  // namespace
