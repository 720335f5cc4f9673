// KelLoad: reads integers, doubles, vectors and matrices from a text file in the
// whitespace-separated layout KelSave writes (regression data files among them).
//
// Every item must be present and well formed: a missing, malformed or out-of-range number, a
// negative size, or a size whose element count cannot fit (in an int, or in what is left of the
// file) ends the program with "KelLoad class", "\nCan't read FILE\n" and the file name, followed
// by one line that says where: `line 7, item 23: "1,5"` (the offending text), `line 9, item 24:
// end of file`, or the like. Items are counted from 1 over the whole file; lines too.
//
// Non-finite values written as "nan", "inf" or "infinity" are read as such: the containers may
// legitimately hold them (KelSave writes them that way). The analyses that must not see them
// refuse them with the position of the entry.
//
// The file is read in blocks of 1 MiB and numbers are converted with std::from_chars (the
// standard scan only for the rare forms from_chars does not take: hexadecimal, a leading '+',
// values beyond the range), so reading costs one pass and no allocation per item.
#ifndef KELMATH_KEL_LOAD_H
#define KELMATH_KEL_LOAD_H

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

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
  std::string_view NextItem();
  // Skips white space, counting lines; false at the end of the file.
  bool SkipSpace();
  // Moves the unread bytes to the front of the buffer and appends what the file has next;
  // false when nothing more could be read.
  bool Refill();
  double ParseReal(std::string_view text);
  // Reads a size and checks that count items of this kind can still follow.
  int ReadSize();
  void CheckCount(long long count);
  // Fatal, naming the file and the item at fault with its text or the reason.
  [[noreturn]] void Fail(std::string_view text) const;
  [[noreturn]] void FailWithReason(const char* reason, long long itemNumber) const;

  FILE* file = nullptr;
  std::string name;
  std::vector<char> buffer;
  size_t begin = 0;            // first unread byte in buffer
  size_t end = 0;              // one past the last byte read into buffer
  long long bufferOffset = 0;  // file offset of buffer[0]
  bool endOfFile = false;
  long long line = 1;  // line of the next unread byte
  long long itemsRead = 0;
  long long fileSize = 0;
};

#endif
