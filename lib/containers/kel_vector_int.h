// KelVectorInt: the dense vector of ints, indexed from 1 (index lists, positions, counts).
#ifndef KELMATH_KEL_VECTOR_INT_H
#define KELMATH_KEL_VECTOR_INT_H

#include "foundation/kel_base.h"

class KelVectorInt : public KelBase {
 public:
  // Empty vector.
  KelVectorInt();
  // n zeros.
  explicit KelVectorInt(int n);
  KelVectorInt(const KelVectorInt& v);
  KelVectorInt(KelVectorInt&& v) noexcept;
  ~KelVectorInt() override;

  KelVectorInt& operator=(const KelVectorInt& v);
  KelVectorInt& operator=(KelVectorInt&& v) noexcept;
  // Sets every element to c.
  KelVectorInt& operator=(int c);

  // Element i, 1-based; out of range is fatal.
  int& operator()(int i);
  int operator()(int i) const;

  int Size() const { return dimensions; }
  int GetSerialNumber() const { return serialNumber; }
  // Address of element 1 (elements are contiguous); null when empty.
  int* Data() { return buffer == nullptr ? nullptr : buffer + 1; }
  const int* Data() const { return buffer == nullptr ? nullptr : buffer + 1; }

  // Sum of the elements (0 when empty).
  int SumElements() const;
  // Largest element, first occurrence; position gets its index. Empty: 0.
  int Max(int* position = nullptr) const;
  // Reverses the order of the elements.
  void Reverse();
  // Grows by one element holding v.
  void Append(int v);
  // Removes element i and returns it; i outside 1..size returns 0 and changes nothing.
  int RemoveElement(int i);
  // Bisection in a sorted vector: the number of leading elements smaller than v (ascending)
  // or greater than v (descending).
  int Locate(int v) const;
  // In an ascending vector, removes the element equal to v and returns its former position;
  // 0 (nothing changed) when v is absent.
  int RemoveValue(int v);

  // Writes the serial number, the size and one line per element to the output channel.
  void PrintObject() override;

  static KelObjectCounter counter;

  // Resizes to n elements keeping the serial number; cleared unless clear is false.
  void Resize(int n, bool clear = true);

 private:
  KelVectorInt(char, int n);

  int* buffer = nullptr;
  int dimensions = 0;
  int serialNumber = 0;
};

#endif
