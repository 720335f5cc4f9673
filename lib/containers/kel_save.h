// KelSave: writes integers, doubles, vectors, matrices and sparse matrices to a text file in
// the whitespace-separated layout that KelLoad reads back.
#ifndef KELMATH_KEL_SAVE_H
#define KELMATH_KEL_SAVE_H

#include <cstdio>

class KelVector;
class KelMatrix;
class KelMatrixSparse;

class KelSave {
 public:
  // Opens (creates or truncates) the file; failure is fatal.
  explicit KelSave(const char* fileName);
  KelSave(const KelSave&) = delete;
  KelSave& operator=(const KelSave&) = delete;
  // Closes the file if it is still open.
  ~KelSave();

  // Writes one item in the layout KelLoad reads: an int, a double (15 digits), a vector (its
  // size, then its elements), a matrix (rows and columns, then the rows), a sparse matrix (rows
  // and columns, the count of stored elements, then "row column value" per element). Writes
  // chain; a failed write is fatal.
  KelSave& operator<<(int value);
  KelSave& operator<<(double value);
  KelSave& operator<<(const KelVector& v);
  KelSave& operator<<(const KelMatrix& A);
  KelSave& operator<<(const KelMatrixSparse& A);

  // Flushes and closes the file; a failure is fatal. Later calls do nothing.
  void Close();

 private:
  void Write(const char* format, ...) __attribute__((format(printf, 2, 3)));

  FILE* file = nullptr;
  bool isOpen = false;
};

#endif
