// Fatal messages of the foundation: the output channel, the guarded division and the norm.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "fatal_walk.h"
#include "kel_test_support.h"
#include "kelmath.h"

TEST(FatalOutputChannel, UnopenableOutputFile) {
  EXPECT_KEL_FATAL(KelSetOutputFile("no_such_folder/KelRegression.txt"), "\nCan't open FILE\n");
}

// The default channel creates "KelFile.txt" on its first write. The test program is started
// again in a folder where "KelFile.txt" is a folder, so that the file cannot be created there.
namespace {
constexpr const char* kPrintOnceVariable = "KELMATH_TEST_PRINT_ONCE";

void RunSelfInBlockedFolder(const char* filter, bool print) {
  ::mkdir("startup_blocked", 0755);
  ::mkdir("startup_blocked/KelFile.txt", 0755);
  if (::chdir("startup_blocked") != 0) std::_Exit(2);
  if (print) ::setenv(kPrintOnceVariable, "1", 1);
  ::execl("/proc/self/exe", "fatal_messages_tests", filter, nullptr);
  std::_Exit(2);
}
}  // namespace

// Started by FirstPrintInAnUnwritableFolderIsFatal; does nothing in a normal run.
TEST(FatalOutputChannel, PrintsOnceWhenAsked) {
  if (std::getenv(kPrintOnceVariable) != nullptr) KelPrint("first print");
}

TEST(FatalOutputChannel, ProgramThatNeverPrintsRunsInAnUnwritableFolder) {
  EXPECT_EXIT(RunSelfInBlockedFolder("--gtest_list_tests", false), ::testing::ExitedWithCode(0),
              "");
}

TEST(FatalOutputChannel, FirstPrintInAnUnwritableFolderIsFatal) {
  EXPECT_EXIT(RunSelfInBlockedFolder("--gtest_filter=FatalOutputChannel.PrintsOnceWhenAsked", true),
              ::testing::ExitedWithCode(1), "Error in KelMath Library\n\nCan't open FILE\n");
}

TEST(FatalArrayKernels, DivisionByZero) {
  double x[2] = {1.0, 2.0};
  EXPECT_KEL_FATAL(KelArrayDivide(2, x, 0.0), "Division with 0.");
}

TEST(FatalArrayKernels, VectorDividedByZero) {
  KelVector v(2, 1., 2.);
  EXPECT_KEL_FATAL(v /= 0.0, "Division with 0.");
}

TEST(FatalArrayKernels, NormOfNoElements) {
  EXPECT_KEL_FATAL(SqrtSumSqr(0, nullptr), "\nIndex out of range\n\nFunction: SqrtSumSqr");
}

TEST(FatalArrayKernels, NormOfEmptyVector) {
  KelVector empty;
  EXPECT_KEL_FATAL(empty.Norm2(), "\nIndex out of range\n\nFunction: SqrtSumSqr");
}

TEST(FatalArrayKernels, StandardDeviationOfEmptyVector) {
  EXPECT_KEL_FATAL(KelStandardDeviation(KelVector(), 0.0),
                   "\nIndex out of range\n\nFunction: SqrtSumSqr");
}

// Elements this large take the scaled path, which needs a scratch copy of the elements.
TEST(FatalArrayKernels, NormScratchCopyWithoutHeap) {
  if (fatal_walk::kAddressSanitizer) GTEST_SKIP() << "needs an address-space limit";
  KelVector x(1000000);
  x = 1e300;
  EXPECT_KEL_FATAL_EXIT_ONLY(
      {
        KelPrint("\n");
        std::fflush(kelOutputFile);
        fatal_walk::LimitAddressSpace(1 << 20);
        x.Norm2();
      },
      "\nNo room in heap\n\nFunction: SqrtSumSqr");
}
