// KelLoad: reads integers, doubles, vectors and matrices from a text file in the
// whitespace-separated layout KelSave writes (regression data files among them).
//
// Every item must be present and well formed: a missing, malformed or out-of-range number, a
// negative size, or a size whose element count cannot fit (in an int, or in what is left of the
// file) ends the program with "KelLoad class", "\nCan't read FILE\n" and the file name, so
// nothing is ever left unread behind a value that looks valid.
#ifndef KELMATH_KEL_LOAD_H
#define KELMATH_KEL_LOAD_H

#include <cstdio>
#include <string>

class KelVector;
class KelMatrix;

class KelLoad {
 public:
  // Opens the file for reading; failure is fatal ("KelLoad class", "\nCan't open FILE\n", name).
  explicit KelLoad(const char* fileName);
  KelLoad(const KelLoad&) = delete;
  KelLoad& operator=(const KelLoad&) = delete;
  // Closes the file if it is still open.
  ~KelLoad();

  // One integer (decimal, optional sign).
  KelLoad& operator>>(int& value);
  // One real in any form the standard floating-point scan accepts.
  KelLoad& operator>>(double& value);
  // The size, then that many reals; the vector is resized to the size.
  KelLoad& operator>>(KelVector& v);
  // Rows and columns, then rows x columns reals row by row; the matrix is resized.
  KelLoad& operator>>(KelMatrix& A);

  // True when nothing but white space is left.
  bool AtEnd();
  // Closes the file; later calls do nothing.
  void Close();

 private:
  // The next whitespace-separated item; fatal when there is none.
  const std::string& NextItem();
  // Reads a size and checks that count items of this kind can still follow.
  int ReadSize();
  void CheckCount(long long count);
  [[noreturn]] void Fail() const;

  FILE* file = nullptr;
  std::string name;
  std::string item;
  long long fileSize = 0;
};

#endif
