// Output scopes: capture, a stream, discard; nesting; per-thread channels; KelSetOutputFile.
#include <dirent.h>

#include <cstdio>
#include <string>
#include <thread>

#include "kel_test_support.h"
#include "kelmath.h"

namespace {
// Open file descriptors of this process.
int OpenDescriptors() {
  int count = 0;
  if (DIR* folder = ::opendir("/proc/self/fd")) {
    while (::readdir(folder) != nullptr) ++count;
    ::closedir(folder);
  }
  return count;
}
}  // namespace

TEST(OutputScope, CaptureTakesReportsMessagesAndWarningsThenPutsTheChannelBack) {
  FILE* const before = kelOutputFile;
  std::string text;
  {
    KelOutputScope capture(text);
    const signed char savedMode = kelWarningMode;
    kelWarningMode = 0;
    KelPrint("a%d", 1);
    KelMessage("b");
    KelWarning("c");
    KelVectorInt v(1);
    v(1) = 4;
    v.PrintObject();
    kelWarningMode = savedMode;
  }
  EXPECT_EQ(kelOutputFile, before);
  EXPECT_EQ(text.rfind("a1b\nWarning!!\nc\nKelVectorInt No.", 0), 0u) << text;
  EXPECT_NE(text.find("Size 1\n    1     4\n"), std::string::npos) << text;
}

TEST(OutputScope, NestedScopesEachGetTheirOwnText) {
  std::string outer, inner;
  {
    KelOutputScope first(outer);
    KelPrint("1");
    {
      KelOutputScope second(inner);
      KelPrint("2");
    }
    KelPrint("3");
  }
  EXPECT_EQ(outer, "13");
  EXPECT_EQ(inner, "2");
}

TEST(OutputScope, DiscardAndStreamTargets) {
  std::string outer;
  const std::string path = kel_test::ScratchPath("stream");
  FILE* file = std::fopen(path.c_str(), "w");
  ASSERT_NE(file, nullptr);
  {
    KelOutputScope capture(outer);
    {
      KelOutputScope discard(nullptr);
      EXPECT_EQ(KelPrint("dropped"), 7);
    }
    {
      KelOutputScope toFile(file);
      KelPrint("to the file");
    }
    KelPrint("kept");
  }
  std::fclose(file);
  EXPECT_EQ(outer, "kept");
  EXPECT_EQ(kel_test::ReadFile(path), "to the file");
}

TEST(OutputScope, ChannelIsRestoredWhenAnErrorUnwindsTheScope) {
  FILE* const before = kelOutputFile;
  std::string text;
  KelErrorModeScope throwing(KelErrorMode::Throw);
  try {
    KelOutputScope capture(text);
    KelPrint("partial ");
    KelVector(2).GetValue(5);
  } catch (const KelException&) {
  }
  EXPECT_EQ(kelOutputFile, before);
  EXPECT_EQ(text, "partial ");
}

TEST(OutputScope, ThreadsCaptureTheirOwnOutput) {
  std::string texts[4];
  std::thread workers[4];
  for (int t = 0; t < 4; ++t)
    workers[t] = std::thread([t, &texts] {
      KelOutputScope capture(texts[t]);
      for (int k = 0; k < 1000; ++k) KelPrint("%d", t);
    });
  for (std::thread& worker : workers) worker.join();
  for (int t = 0; t < 4; ++t) EXPECT_EQ(texts[t], std::string(1000, static_cast<char>('0' + t)));
}

TEST(OutputScope, NewThreadStartsWithTheMainThreadsSettings) {
  std::string mainText;
  signed char modeInThread = 1;
  const signed char savedMode = kelWarningMode;
  {
    KelOutputScope capture(mainText);
    kelWarningMode = -1;
    std::thread worker([&] {
      modeInThread = kelWarningMode;
      kelWarningMode = 0;
      KelPrint("from the thread");  // into the main thread's channel, which it started with
    });
    worker.join();
    EXPECT_EQ(kelWarningMode, -1);  // the thread's change stays in the thread
    kelWarningMode = savedMode;
  }
  EXPECT_EQ(modeInThread, -1);
  EXPECT_EQ(mainText, "from the thread");
}

TEST(OutputScope, SetOutputFileClosesTheFileItOpenedBefore) {
  std::string guard;
  KelOutputScope capture(guard);  // the channel comes back when the test ends
  const std::string first = kel_test::ScratchPath("first");
  KelSetOutputFile(first.c_str());
  const int descriptors = OpenDescriptors();
  for (int k = 0; k < 20; ++k) KelSetOutputFile(kel_test::ScratchPath("next").c_str());
  EXPECT_EQ(OpenDescriptors(), descriptors);
}
