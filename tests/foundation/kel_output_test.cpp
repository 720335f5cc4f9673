#include <cfenv>
#include <cmath>
#include <string>

#include "kel_test_support.h"
#include "kelmath.h"

using kel_test::CaptureOutput;

TEST(StartUp, MachineConstantsAreTheDocumentedPowersOfTwo) {
  EXPECT_EQ(kelMachEps, std::ldexp(1.0, -52));
  EXPECT_EQ(kelMachEpsFloat, std::ldexp(1.0f, -23));
  EXPECT_EQ(kelTenMachEpsFloat, 10.0 * static_cast<double>(std::ldexp(1.0f, -23)));
  EXPECT_DOUBLE_EQ(kelPi, 3.14159265358979323846);
}

TEST(StartUp, FloatingPointIsMaskedAndRoundsToNearest) {
  EXPECT_EQ(std::fegetround(), FE_TONEAREST);
  volatile double zero = 0.0;
  EXPECT_TRUE(std::isinf(1.0 / zero));  // no trap: a masked division by zero gives infinity
}

TEST(StartUp, OutputChannelIsKelFileInWorkingFolder) {
  ASSERT_NE(kelOutputFile, nullptr);
  KelPrint("marker-%d", 42);
  std::fflush(kelOutputFile);
  EXPECT_NE(kel_test::ReadFile("KelFile.txt").find("marker-42"), std::string::npos);
}

TEST(Messages, KelMessageIsSilencedBySwitchWhileKelPrintStillWrites) {
  std::string text = CaptureOutput([] {
    kelPrintMessages = 'N';
    EXPECT_EQ(KelMessage("hidden %d", 1), 0);
    EXPECT_EQ(KelPrint("shown %d", 2), 7);
    kelPrintMessages = 'Y';
    EXPECT_EQ(KelMessage("note"), 4);
  });
  EXPECT_EQ(text, "shown 2note");
}

TEST(Messages, WarningModeDecidesWhereWarningsGo) {
  std::string text = CaptureOutput([] {
    kelWarningMode = 0;
    testing::internal::CaptureStderr();
    KelWarning("file only %d", 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    kelWarningMode = -1;
    KelWarning("nowhere");
    kelWarningMode = 1;
    testing::internal::CaptureStderr();
    KelWarning("both");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Warning\nboth\n");
  });
  EXPECT_EQ(text, "\nWarning!!\nfile only 1\nWarning!!\nboth");
}

TEST(Messages, PauseDoesNothingWhileChannelIsAFile) {
  EXPECT_EQ(CaptureOutput([] { KelPause(); }), "");
}

TEST(Messages, BasePrintWritesNewlineTitleThenObject) {
  KelVectorInt v(1);
  v(1) = 7;
  std::string text = CaptureOutput([&] { v.Print("Title %d", 3); });
  EXPECT_EQ(text, "\nTitle 3\nKelVectorInt No." + std::to_string(v.GetSerialNumber()) +
                      "\nSize 1\n    1     7\n");
}

TEST(FatalErrors, ClassMessageIsWrittenAfterFatalHeaderAndExitIsOne) {
  EXPECT_KEL_FATAL(KelError("%s%s%sInitialize", kelClassVector, kelErrSpace, kelErrFunction),
                   "KelVector class\n\nNo room in heap\n\nFunction: Initialize");
}

TEST(FatalErrors, MessageBoxTextGoesToStandardError) {
  EXPECT_EXIT(KelError("%s", "boom"), testing::ExitedWithCode(1), "Error in KelMath Library\nboom");
}

TEST(FatalErrors, OverlongTextIsCutAtTheBufferSize) {
  const std::string longText(2000, 'x');
  EXPECT_KEL_FATAL(KelError("%s", longText.c_str()), std::string(kelMessageBufferSize - 1, 'x'));
}

TEST(FatalErrors, SwitchedChannelReceivesLaterPrints) {
  const std::string first = kel_test::ScratchPath("first");
  const std::string second = kel_test::ScratchPath("second");
  EXPECT_EXIT(
      {
        KelSetOutputFile(first.c_str());
        KelPrint("before");
        KelSetOutputFile(second.c_str());
        KelPrint("after");
        std::exit(0);
      },
      testing::ExitedWithCode(0), "");
  EXPECT_EQ(kel_test::ReadFile(first), "before");
  EXPECT_EQ(kel_test::ReadFile(second), "after");
}

TEST(FatalErrors, UnopenableOutputFileIsFatal) {
  EXPECT_KEL_FATAL(KelSetOutputFile("no_such_folder/x/KelRegression.txt"), kelErrOpen);
}
