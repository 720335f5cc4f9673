// KelVector extrema, norms, reversal and the heap sort (with and without former positions).
#include <algorithm>
#include <cmath>
#include <utility>

#include "containers/kel_storage.h"
#include "containers/kel_vector.h"
#include "containers/kel_vector_int.h"
#include "foundation/kel_array_kernels.h"

namespace {

// Index (0-based) of the first element that `better` prefers to all before it.
template <typename Better>
int firstExtreme(const double* x, int n, Better better) {
  int best = 0;
  for (int i = 1; i < n; ++i)
    if (better(x[i], x[best])) best = i;
  return best;
}

// In-place heap sort into ascending order; p is 0-based. Every exchange of two elements is
// reported to `exchanged(a, b)`, so that the positions of a sort with positions follow the
// very same sequence: that sequence decides where equal values end up.
template <typename OnExchange>
void heapSort(double* p, int n, OnExchange exchanged) {
  if (n < 2) return;
  auto exchange = [&](int a, int b) {
    std::swap(p[a], p[b]);
    exchanged(a, b);
  };
  // Max-heap by insertion; equal values are exchanged, so a later equal value moves up.
  for (int j = 1; j < n; ++j) {
    int k = j;
    while (k > 0) {
      int parent = (k - 1) / 2;
      if (p[parent] > p[k]) break;
      exchange(parent, k);
      k = parent;
    }
  }
  // Extraction; the right child is chosen only when strictly larger, and a child moves up
  // only when strictly larger than its parent.
  for (int i = n - 2; i >= 0; --i) {
    exchange(0, i + 1);
    int k = 0;
    for (;;) {
      int child = 2 * k + 1;
      if (2 * k + 2 <= i && p[2 * k + 2] > p[2 * k + 1]) child = 2 * k + 2;
      if (child > i || !(p[child] > p[k])) break;
      exchange(child, k);
      k = child;
    }
  }
}

}  // namespace

double KelVector::Max(int* position) const {
  if (dimensions == 0) return 0.0;
  int best = firstExtreme(Data(), dimensions, [](double a, double b) { return a > b; });
  if (position != nullptr) *position = best + 1;
  return buffer[best + 1];
}

double KelVector::Min(int* position) const {
  if (dimensions == 0) return 0.0;
  int best = firstExtreme(Data(), dimensions, [](double a, double b) { return a < b; });
  if (position != nullptr) *position = best + 1;
  return buffer[best + 1];
}

double KelVector::MaxAbs(int* position) const {
  if (dimensions == 0) return 0.0;
  int best = firstExtreme(Data(), dimensions,
                          [](double a, double b) { return std::fabs(a) > std::fabs(b); });
  if (position != nullptr) *position = best + 1;
  return std::fabs(buffer[best + 1]);
}

double KelVector::Norm2() const {
  return SqrtSumSqr(dimensions, Data());
}

double KelVector::Normalize() {
  double norm = Norm2();
  if (norm != 0.0) KelArrayDivide(dimensions, Data(), norm);
  return norm;
}

void KelVector::Reverse() {
  kel_storage::ReverseBlock(buffer, dimensions);
}

// Without positions only the values are seen, so any correct sort gives the same vector: the
// library's introsort reads memory in order, where the heap sort jumps across the whole vector
// at every step (about ten times slower on a million residuals). A NaN has no place in an
// ordering that sort could rely on; such a vector keeps the heap sort. Zeros of both signs are
// equal: negative zeros are put first, so the result is still one vector.
void KelVector::Sort() {
  double* p = Data();
  for (int i = 0; i < dimensions; ++i)
    if (std::isnan(p[i])) {
      heapSort(p, dimensions, [](int, int) {});
      return;
    }
  std::sort(p, p + dimensions, [](double a, double b) {
    return a < b || (a == b && std::signbit(a) && !std::signbit(b));
  });
}

void KelVector::Sort(KelVectorInt& positions) {
  positions.Resize(dimensions, false);
  int* former = positions.Data();
  for (int i = 0; i < dimensions; ++i) former[i] = i + 1;
  heapSort(Data(), dimensions, [former](int a, int b) { std::swap(former[a], former[b]); });
}
