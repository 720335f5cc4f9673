// KelVector: the dense vector of doubles, indexed from 1.
#ifndef KELMATH_KEL_VECTOR_H
#define KELMATH_KEL_VECTOR_H

#include <type_traits>

#include "foundation/kel_base.h"

class KelMatrix;
class KelVectorInt;

class KelVector : public KelBase {
 public:
  // Empty vector.
  KelVector();
  // n elements, all 0 (n <= 0: empty).
  explicit KelVector(int n);
  // n elements set from the values that follow, in order: KelVector v(3, 1., 2., 3.).
  // Every value must be a double or float (write 2. for two); a count other than n is fatal.
  template <typename... Values>
  requires(sizeof...(Values) > 0 && (kel_detail::IsListValue<Values> && ...))
      KelVector(int n, Values... values)
      : KelVector('u', n) {
    const double list[] = {static_cast<double>(values)...};
    FillFromList(n, static_cast<int>(sizeof...(Values)), list);
  }
  // Copy with a serial number of its own.
  KelVector(const KelVector& v);
  // Takes over v's storage and serial number; v is left empty.
  KelVector(KelVector&& v) noexcept;
  ~KelVector() override;

  // Copies v's elements; the object keeps its serial number.
  KelVector& operator=(const KelVector& v);
  // Takes over v's storage; the object keeps its serial number.
  KelVector& operator=(KelVector&& v) noexcept;
  // Sets every element to c.
  KelVector& operator=(double c);

  // Element i, 1-based; out of range is fatal.
  double GetValue(int i) const;
  double& operator()(int i);
  double operator()(int i) const;
  // The n elements start .. start+n-1.
  KelVector GetKelVector(int n, int start) const;

  // Number of elements; the object's number among all vectors ever built.
  int Size() const { return dimensions; }
  int GetSerialNumber() const { return serialNumber; }
  // Address of element 1 (elements are contiguous); null when empty.
  double* Data() { return buffer == nullptr ? nullptr : buffer + 1; }
  const double* Data() const { return buffer == nullptr ? nullptr : buffer + 1; }

  // Same serial number, or equal sizes and byte-equal elements.
  friend bool operator==(const KelVector& a, const KelVector& b);

  // c = a + b (any of them may be the same object).
  friend void Sum(const KelVector& a, const KelVector& b, KelVector& c);
  friend KelVector operator+(const KelVector& a, const KelVector& b);
  KelVector& operator+=(const KelVector& b);
  // c = a - b.
  friend void Difference(const KelVector& a, const KelVector& b, KelVector& c);
  // b = a - b.
  friend void Difference(const KelVector& a, KelVector& b);
  friend KelVector operator-(const KelVector& a, const KelVector& b);
  KelVector& operator-=(const KelVector& b);
  // y = A x.
  friend void Product(const KelMatrix& A, const KelVector& x, KelVector& y);
  friend KelVector operator*(const KelMatrix& A, const KelVector& x);
  // y = s x.
  friend void Product(double s, const KelVector& x, KelVector& y);
  friend KelVector operator*(double s, const KelVector& x);
  KelVector& operator*=(double s);
  // Division by 0 is fatal.
  KelVector& operator/=(double s);
  // x^T y.
  friend double TProduct(const KelVector& x, const KelVector& y);
  // y = A^T x.
  friend void TProduct(const KelMatrix& A, const KelVector& x, KelVector& y);
  // z_i = x_i y_i.
  friend void ElementByElementProduct(const KelVector& x, const KelVector& y, KelVector& z);

  // Largest element (first occurrence); position gets its index. Empty: 0, position untouched.
  double Max(int* position = nullptr) const;
  // Smallest element and largest |element|, in the same way.
  double Min(int* position = nullptr) const;
  double MaxAbs(int* position = nullptr) const;
  // Euclidean norm; an empty vector is fatal.
  double Norm2() const;
  // Divides by the norm unless it is 0; returns the norm.
  double Normalize();
  // Reverses the order of the elements.
  void Reverse();
  // Ascending sort in place (negative zeros before positive ones; a vector holding a NaN is heap
  // sorted).
  void Sort();
  // Ascending heap sort in place; positions(i) is the former index of the i-th sorted element.
  void Sort(KelVectorInt& positions);
  // Exchanges storage and sizes; serial numbers stay.
  friend void Swap(KelVector& a, KelVector& b) noexcept;
  // Grows by one element holding v.
  void Append(double v);
  // Removes element i and returns it; i outside 1..size returns 0 and changes nothing.
  double RemoveElement(int i);
  // Correlation coefficient of x and y; a centred norm of 0 warns "norm = 0" and returns 0.
  friend double LinearRegressionCoefficient(const KelVector& x, const KelVector& y);

  // Writes the serial number, the size and one line per element to the output channel.
  void PrintObject() override;

  static KelObjectCounter counter;

  // Resizes to n elements keeping the serial number; contents are lost, and the block is
  // cleared unless clear is false (the caller writes every element).
  void Resize(int n, bool clear = true);

 private:
  // Allocates n elements without initialising them.
  KelVector(char, int n);
  void FillFromList(int n, int count, const double* list);
  void CheckIndex(int i, const char* format, const char* kind) const;

  double* buffer = nullptr;
  int dimensions = 0;
  int serialNumber = 0;

  friend class KelMatrix;
};

// Namespace-scope declarations of the friends, so that they can be named without argument lookup.
bool operator==(const KelVector& a, const KelVector& b);
void Sum(const KelVector& a, const KelVector& b, KelVector& c);
KelVector operator+(const KelVector& a, const KelVector& b);
void Difference(const KelVector& a, const KelVector& b, KelVector& c);
void Difference(const KelVector& a, KelVector& b);
KelVector operator-(const KelVector& a, const KelVector& b);
void Product(const KelMatrix& A, const KelVector& x, KelVector& y);
KelVector operator*(const KelMatrix& A, const KelVector& x);
void Product(double s, const KelVector& x, KelVector& y);
KelVector operator*(double s, const KelVector& x);
double TProduct(const KelVector& x, const KelVector& y);
void TProduct(const KelMatrix& A, const KelVector& x, KelVector& y);
void ElementByElementProduct(const KelVector& x, const KelVector& y, KelVector& z);
void Swap(KelVector& a, KelVector& b) noexcept;
double LinearRegressionCoefficient(const KelVector& x, const KelVector& y);

#endif
