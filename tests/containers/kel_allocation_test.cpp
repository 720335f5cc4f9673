// Counts heap allocations to show that results returned by value are handed over, not copied.
#include <cstdlib>
#include <new>

#include "kel_test_support.h"
#include "kelmath.h"

namespace {
long long allocationCount = 0;

void* countedAllocation(std::size_t size) {
  ++allocationCount;
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
}  // namespace

// Every replaceable form, so that allocation and release always pair up (also under sanitizers).
void* operator new(std::size_t size) {
  return countedAllocation(size);
}
void* operator new[](std::size_t size) {
  return countedAllocation(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  ++allocationCount;
  return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  ++allocationCount;
  return std::malloc(size == 0 ? 1 : size);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}

namespace {

template <typename Body>
long long allocationsDuring(Body body) {
  const long long before = allocationCount;
  body();
  return allocationCount - before;
}

KelMatrix filled(int n) {
  KelMatrix A(n, n);
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= n; ++j) A(i, j) = i + 0.5 * j;
  return A;
}

}  // namespace

TEST(Allocations, VectorResultIsTakenOverWithoutCopy) {
  KelVector a(1000), b(1000);
  a = 1.0;
  b = 2.0;
  EXPECT_EQ(allocationsDuring([&] { KelVector c = a + b; }), 1);
  EXPECT_EQ(allocationsDuring([&] { KelVector c = 3.0 * a; }), 1);
  KelVector target(1000);
  EXPECT_EQ(allocationsDuring([&] { target = a - b; }), 1);  // the result block, moved in
  EXPECT_EQ(target(1), -1.0);
  EXPECT_EQ(allocationsDuring([&] { target = a; }), 0);  // same size: copied in place
}

TEST(Allocations, MatrixCopyAndReturnedProductCostOneStorageEach) {
  const KelMatrix A = filled(100);
  const KelMatrix B = filled(100);
  // One matrix's storage is the element block plus the row pointer table.
  EXPECT_EQ(allocationsDuring([&] { KelMatrix copy(A); }), 2);
  KelMatrix target(100, 100);
  EXPECT_EQ(allocationsDuring([&] { target = A; }), 0);
  KelMatrix distinct;
  const long long inPlace = allocationsDuring([&] { Product(A, B, distinct); });
  const long long returned = allocationsDuring([&] { KelMatrix C = A * B; });
  EXPECT_EQ(returned, inPlace);  // returning by value adds nothing to the product itself
  EXPECT_EQ(allocationsDuring([&] { target = A * B; }), inPlace);
  EXPECT_EQ(target(3, 4), distinct(3, 4));
  const KelVector x(100);
  EXPECT_EQ(allocationsDuring([&] { KelVector y = A * x; }), 1);
}
