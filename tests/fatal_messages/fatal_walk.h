// The walk over every fatal message of the library, one death test per message, each triggered
// from the public interface with bad input, each checking exit status 1 and the exact text at
// the end of the output file. The expected texts are written out literally (class text,
// message, kind, operation name run together), never taken from the library's constants, so
// that a changed text fails here.
//
// Inventory: 120 distinct fatal messages (distinct format; a message raised from several call
// sites counts once, and the walk triggers it from each site it can reach; the values on a
// detail line do not make a message distinct):
//   foundation 4 (output channel, division, the norm's two); KelVector 14; KelMatrix 13;
//   KelVectorInt 2; KelMatrixSymmetric 5; KelMatrixLeft 6; KelMatrixSparse 3; KelSave 3;
//   KelLoad 2; KelFactorized family 13; symmetric factorizations 6; SolveSquare 1; flat SVD and
//   Householder routines 7; special functions 11; robust statistics 1; KelLinearRegression 8;
//   KelMinimizationRobust 3; KelNonLinearRegression 18.
//
// Detail lines: every index, dimension and domain message of the containers, factorizations,
// regressions and special functions ends with one line after the operation name (or after the
// message when there is none) saying what was passed: "index 3, valid 1..2",
// "index (3, 1), valid (1..2, 1..2)", "range 3..4, valid 1..3", "sizes 2 and 3",
// "2 x 3 and 2 x 2", "2 x 3 and size 2", "3 x 2" (a shape refused by itself) or "x = 1.5".
// Messages without one: the heap, file and non-finite-data messages (they name the file or the
// value already), the singular, destroyed-matrix and not-implemented ones, "b is equal to x",
// the scaled-normal-equations precondition, "ssm == 0." and "sst == 0.", the nonlinear
// regression's missing model, empty start and weight-version messages, the robust statistics'
// candidate message, SqrtSumSqr's "Index out of range" for n <= 0, and every message of
// KelMinimizationRobust.
// The walk triggers 118 of them. Not triggered, with the reason:
//
//   lib/factorizations/kel_factorized.cpp:98  "KelFactorized class\nKelMatrix Destroyed\nFunction:
//     PrepOnlySolve": the matrix is marked destroyed (status 1) only inside PrepOnlySolve,
//     together with the factorized flag; the one public path that drops the factorization while
//     keeping that status (GetDecomposition of the SVD) refactorizes through PrepSolve, which
//     stops first with its own message (FatalFactorized.DestroyedMatrixInPrepSolve).
//   lib/factorizations/kel_factorized_symmetric.cpp:40  "KelFactorizedSymmetricBase class\n
//     KelMatrix Destroyed\nFunction: PrepSolve": no operation of the symmetric factorizations
//     ever sets the destroyed status (it is only ever set to 0), so the check is defensive.
//
// Call sites whose message the walk triggers through another site only:
//   lib/foundation/kel_output.cpp:56 (start-up): "\nCan't open FILE\n" when "KelFile.txt" cannot
//     be created. There is no output file yet to hold the text, so the walk checks exit status 1
//     and the text on the standard error stream
//     (FatalOutputChannel.StartUpWithoutOutputFileEndsBeforeMain).
//   lib/minimization/kel_minimization_robust.cpp:85 (Initialize without an objective): the
//     constructor refuses a missing objective, and nothing clears it later.
//   lib/containers/kel_matrix_sparse.cpp:60 (copy of a sparse matrix): same text as the
//     constructor's; its nodes are small and a copy needs no more than the original holds.
//   lib/containers/kel_storage.h (growth of a vector by Append): same text as the
//     constructor's, reached only with a vector of about 2^31 elements.
//
// Four messages need a heap that refuses an allocation whose size fits: KelMatrixSparse
// "Initialize" and "InsertElement", KelMatrix "Product" and SqrtSumSqr's "No room in heap".
// The child process of their death tests limits its own address space first; under
// AddressSanitizer, whose allocator cannot honour such a limit, these four are skipped.
#ifndef KELMATH_TESTS_FATAL_MESSAGES_FATAL_WALK_H
#define KELMATH_TESTS_FATAL_MESSAGES_FATAL_WALK_H

#include <string>

namespace fatal_walk {

// True in a build with AddressSanitizer, whose allocator ignores an address-space limit.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kAddressSanitizer = true;
#else
inline constexpr bool kAddressSanitizer = false;
#endif
#else
inline constexpr bool kAddressSanitizer = false;
#endif

// Writes text to a file in the working folder.
void WriteFile(const std::string& path, const std::string& text);

// Limits the address space of the calling process to what it uses now plus `spare` bytes, so
// that any larger allocation fails. Only for the child process of a death test.
void LimitAddressSpace(long long spare);

}  // namespace fatal_walk

#endif
