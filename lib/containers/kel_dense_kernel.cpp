// C += A B in blocks: panels of B and A are copied into contiguous strips that a register-tile
// routine (one per instruction set) walks, keeping an MR x NR tile of C in registers for a
// whole run of k. Work is 0-based throughout; the callers pass row tables and first columns.
#include "containers/kel_dense_kernel.h"

#include <immintrin.h>

#include <algorithm>
#include <atomic>
#include <vector>

namespace {

// Block sizes: a KC x NR strip of B stays in the first-level cache while an MC x KC block of A
// stays in the second; the KC x NC panel of B is reused by every block of A.
constexpr int kKC = 256;
constexpr int kMC = 96;
constexpr int kNC = 2048;

KelKernelLevel detectLevel() {
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx512f")) return KelKernelLevel::kAvx512;
  if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) return KelKernelLevel::kAvx2;
  return KelKernelLevel::kPortable;
}

// The one process-wide setting of the kernel. Atomic because a test or benchmark may select a
// level while products run on other threads; each product reads it once, so a product never
// mixes two levels.
std::atomic<KelKernelLevel>& levelInUse() {
  static std::atomic<KelKernelLevel> level{detectLevel()};
  return level;
}

// One tile: c[r][t] += sum over k < kc of ap[k * MR + r] * bp[k * NR + t] for r < MR, t < NR.
using TileRoutine = void (*)(int kc, const double* ap, const double* bp, double* const* c);

template <bool kFused>
__attribute__((target("avx512f"))) void tileAvx512(int kc, const double* ap, const double* bp,
                                                   double* const* c) {
  constexpr int kRows = 12;
  __m512d acc[kRows][2];
#pragma GCC unroll 12
  for (int r = 0; r < kRows; ++r) {
    acc[r][0] = _mm512_loadu_pd(c[r]);
    acc[r][1] = _mm512_loadu_pd(c[r] + 8);
  }
  for (int k = 0; k < kc; ++k, ap += kRows, bp += 16) {
    const __m512d b0 = _mm512_loadu_pd(bp);
    const __m512d b1 = _mm512_loadu_pd(bp + 8);
#pragma GCC unroll 12
    for (int r = 0; r < kRows; ++r) {
      const __m512d a = _mm512_set1_pd(ap[r]);
      if constexpr (kFused) {
        acc[r][0] = _mm512_fmadd_pd(a, b0, acc[r][0]);
        acc[r][1] = _mm512_fmadd_pd(a, b1, acc[r][1]);
      } else {
        acc[r][0] = _mm512_add_pd(acc[r][0], _mm512_mul_pd(a, b0));
        acc[r][1] = _mm512_add_pd(acc[r][1], _mm512_mul_pd(a, b1));
      }
    }
  }
#pragma GCC unroll 12
  for (int r = 0; r < kRows; ++r) {
    _mm512_storeu_pd(c[r], acc[r][0]);
    _mm512_storeu_pd(c[r] + 8, acc[r][1]);
  }
}

template <bool kFused>
__attribute__((target("avx2,fma"))) void tileAvx2(int kc, const double* ap, const double* bp,
                                                  double* const* c) {
  constexpr int kRows = 6;
  __m256d acc[kRows][2];
#pragma GCC unroll 6
  for (int r = 0; r < kRows; ++r) {
    acc[r][0] = _mm256_loadu_pd(c[r]);
    acc[r][1] = _mm256_loadu_pd(c[r] + 4);
  }
  for (int k = 0; k < kc; ++k, ap += kRows, bp += 8) {
    const __m256d b0 = _mm256_loadu_pd(bp);
    const __m256d b1 = _mm256_loadu_pd(bp + 4);
#pragma GCC unroll 6
    for (int r = 0; r < kRows; ++r) {
      const __m256d a = _mm256_set1_pd(ap[r]);
      if constexpr (kFused) {
        acc[r][0] = _mm256_fmadd_pd(a, b0, acc[r][0]);
        acc[r][1] = _mm256_fmadd_pd(a, b1, acc[r][1]);
      } else {
        acc[r][0] = _mm256_add_pd(acc[r][0], _mm256_mul_pd(a, b0));
        acc[r][1] = _mm256_add_pd(acc[r][1], _mm256_mul_pd(a, b1));
      }
    }
  }
#pragma GCC unroll 6
  for (int r = 0; r < kRows; ++r) {
    _mm256_storeu_pd(c[r], acc[r][0]);
    _mm256_storeu_pd(c[r] + 4, acc[r][1]);
  }
}

// Without a fused instruction in the base instruction set both roundings are the same here.
void tilePortable(int kc, const double* ap, const double* bp, double* const* c) {
  constexpr int kRows = 4;
  constexpr int kColumns = 8;
  double acc[kRows][kColumns];
  for (int r = 0; r < kRows; ++r)
    for (int t = 0; t < kColumns; ++t) acc[r][t] = c[r][t];
  for (int k = 0; k < kc; ++k, ap += kRows, bp += kColumns)
    for (int r = 0; r < kRows; ++r)
      for (int t = 0; t < kColumns; ++t) acc[r][t] += ap[r] * bp[t];
  for (int r = 0; r < kRows; ++r)
    for (int t = 0; t < kColumns; ++t) c[r][t] = acc[r][t];
}

struct TileShape {
  TileRoutine routine;
  int rows;     // MR
  int columns;  // NR
};

TileShape shapeFor(KelKernelLevel level, KelRounding rounding) {
  const bool fused = rounding == KelRounding::kFused;
  switch (level) {
    case KelKernelLevel::kAvx512:
      return {fused ? tileAvx512<true> : tileAvx512<false>, 12, 16};
    case KelKernelLevel::kAvx2:
      return {fused ? tileAvx2<true> : tileAvx2<false>, 6, 8};
    default:
      return {tilePortable, 4, 8};
  }
}

// Operands as row tables with a first column; the offsets of the current block are added by
// the packing routines.
struct Operand {
  const double* const* rows;
  int column;
};

// B rows k0 .. k0+kc-1, columns j0 .. j0+nc-1 into strips of NR columns, zero beyond nc.
void packB(const Operand& b, int k0, int kc, int j0, int nc, int nr, double* out) {
  for (int s = 0; s < nc; s += nr) {
    const int width = std::min(nr, nc - s);
    for (int k = 0; k < kc; ++k, out += nr) {
      const double* source = b.rows[k0 + k] + b.column + j0 + s;
      int t = 0;
      for (; t < width; ++t) out[t] = source[t];
      for (; t < nr; ++t) out[t] = 0.0;
    }
  }
}

// A rows i0 .. i0+mc-1, columns k0 .. k0+kc-1 times sign into strips of MR rows, zero beyond mc.
void packA(const Operand& a, double sign, int i0, int mc, int k0, int kc, int mr, double* out) {
  for (int s = 0; s < mc; s += mr) {
    const int height = std::min(mr, mc - s);
    for (int r = 0; r < mr; ++r) {
      if (r < height) {
        const double* source = a.rows[i0 + s + r] + a.column + k0;
        for (int k = 0; k < kc; ++k) out[k * mr + r] = sign * source[k];
      } else {
        for (int k = 0; k < kc; ++k) out[k * mr + r] = 0.0;
      }
    }
    out += static_cast<size_t>(kc) * mr;
  }
}

// One tile of C at rows i, columns j; a partial tile goes through a padded copy so that the
// routine always works on a full MR x NR tile.
void runTile(const TileShape& shape, int kc, const double* ap, const double* bp, double* const* c,
             int cColumn, int i, int j, int height, int width) {
  double* rows[16];
  if (height == shape.rows && width == shape.columns) {
    for (int r = 0; r < height; ++r) rows[r] = c[i + r] + cColumn + j;
    shape.routine(kc, ap, bp, rows);
    return;
  }
  double padded[16 * 16] = {};
  for (int r = 0; r < shape.rows; ++r) rows[r] = padded + r * shape.columns;
  for (int r = 0; r < height; ++r)
    for (int t = 0; t < width; ++t) rows[r][t] = c[i + r][cColumn + j + t];
  shape.routine(kc, ap, bp, rows);
  for (int r = 0; r < height; ++r)
    for (int t = 0; t < width; ++t) c[i + r][cColumn + j + t] = rows[r][t];
}

}  // namespace

KelKernelLevel KelSupportedKernelLevel() {
  static const KelKernelLevel supported = detectLevel();
  return supported;
}

KelKernelLevel KelDenseKernelLevel() {
  return levelInUse().load(std::memory_order_relaxed);
}

KelKernelLevel KelSetDenseKernelLevel(KelKernelLevel level) {
  const KelKernelLevel chosen = std::min(level, KelSupportedKernelLevel());
  levelInUse().store(chosen, std::memory_order_relaxed);
  return chosen;
}

bool KelFusedMultiplyAddInUse() {
  return KelDenseKernelLevel() != KelKernelLevel::kPortable;
}

void KelDenseMultiplyAdd(int m, int n, int p, const double* const* a, int aColumn, double aSign,
                         const double* const* b, int bColumn, double* const* c, int cColumn,
                         KelRounding rounding) {
  if (m <= 0 || n <= 0 || p <= 0) return;
  const TileShape shape = shapeFor(KelDenseKernelLevel(), rounding);
  const Operand left{a, aColumn};
  const Operand right{b, bColumn};
  const int ncMax = std::min(kNC, p);
  const int kcMax = std::min(kKC, n);
  const int mcMax = std::min(kMC, m);
  auto roundUp = [](int x, int to) { return (x + to - 1) / to * to; };
  std::vector<double> packedB(static_cast<size_t>(kcMax) * roundUp(ncMax, shape.columns));
  std::vector<double> packedA(static_cast<size_t>(kcMax) * roundUp(mcMax, shape.rows));
  for (int j0 = 0; j0 < p; j0 += kNC) {
    const int nc = std::min(kNC, p - j0);
    // Runs of k in ascending order: each element of C continues its single chain of sums.
    for (int k0 = 0; k0 < n; k0 += kKC) {
      const int kc = std::min(kKC, n - k0);
      packB(right, k0, kc, j0, nc, shape.columns, packedB.data());
      for (int i0 = 0; i0 < m; i0 += kMC) {
        const int mc = std::min(kMC, m - i0);
        packA(left, aSign, i0, mc, k0, kc, shape.rows, packedA.data());
        for (int js = 0; js < nc; js += shape.columns) {
          const double* bp = packedB.data() + static_cast<size_t>(js) * kc;
          const int width = std::min(shape.columns, nc - js);
          for (int is = 0; is < mc; is += shape.rows) {
            const double* ap = packedA.data() + static_cast<size_t>(is) * kc;
            const int height = std::min(shape.rows, mc - is);
            runTile(shape, kc, ap, bp, c, cColumn, i0 + is, j0 + js, height, width);
          }
        }
      }
    }
  }
}
