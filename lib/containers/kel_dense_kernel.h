// Register-blocked kernel for C += A B on row-pointer matrices: the work of the dense matrix
// product and of the trailing update of the blocked Gauss elimination. It knows nothing of
// KelMatrix; callers hand it row-pointer tables and the first column of each operand.
//
// Every element of C receives its terms one at a time in ascending k, in a single chain, so
// a result depends only on the rounding of each step:
// - KelRounding::kSeparate rounds the product and then the sum, exactly as c += a * b
//   compiled without contraction: the same bits on every processor and instruction set.
// - KelRounding::kFused adds each product with one rounding (fused multiply-add) where the
//   processor has it; the portable path has no fused instruction and rounds separately, so
//   results differ in the last bits between instruction sets but are reproducible on one.
#ifndef KELMATH_KEL_DENSE_KERNEL_H
#define KELMATH_KEL_DENSE_KERNEL_H

enum class KelRounding { kFused, kSeparate };

// Instruction sets the kernel is built for, in increasing order of width.
enum class KelKernelLevel { kPortable = 0, kAvx2 = 1, kAvx512 = 2 };

// The level in use: the widest the processor supports, unless lowered by
// KelSetDenseKernelLevel.
KelKernelLevel KelDenseKernelLevel();
// The widest level the processor supports.
KelKernelLevel KelSupportedKernelLevel();
// Selects a level (limited to the supported one) and returns the level now in use; tests
// and benchmarks use it to run every path on one machine.
KelKernelLevel KelSetDenseKernelLevel(KelKernelLevel level);
// True when KelRounding::kFused really fuses at the level in use.
bool KelFusedMultiplyAddInUse();

// For 0 <= i < m, 0 <= j < p: c[i][cColumn + j] += sum over 0 <= k < n of
// aSign * a[i][aColumn + k] * b[k][bColumn + j], the terms in ascending k. aSign is +1 or -1
// (a negation is exact, so -1 gives c -= a b with the same rounding). The elements of C
// written must not be among the elements of A and B read. The packing buffers are allocated
// before any element is touched; their failure throws std::bad_alloc.
void KelDenseMultiplyAdd(int m, int n, int p, const double* const* a, int aColumn, double aSign,
                         const double* const* b, int bColumn, double* const* c, int cColumn,
                         KelRounding rounding);

#endif
