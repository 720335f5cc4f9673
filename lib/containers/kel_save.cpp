#include "containers/kel_save.h"

#include <cstdarg>

#include "containers/kel_matrix.h"
#include "containers/kel_matrix_sparse.h"
#include "containers/kel_vector.h"
#include "foundation/kel_errors.h"
#include "foundation/kel_output.h"

KelSave::KelSave(const char* fileName) {
  file = std::fopen(fileName, "w");
  if (file == nullptr) KelError("%s%s%s", kelClassSave, kelErrOpen, fileName);
  isOpen = true;
}

KelSave::~KelSave() {
  // A destructor must not end the program: a failure here has nowhere to be reported.
  if (isOpen) std::fclose(file);
}

void KelSave::Write(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  const int written = isOpen ? std::vfprintf(file, format, arguments) : -1;
  va_end(arguments);
  if (written < 0) KelError("%s%s", kelClassSave, kelErrWrite);
}

KelSave& KelSave::operator<<(int value) {
  Write(" %d\n", value);
  return *this;
}

KelSave& KelSave::operator<<(double value) {
  Write(" %.15le\n", value);
  return *this;
}

KelSave& KelSave::operator<<(const KelVector& v) {
  Write(" %d\n", v.Size());
  for (int i = 0; i < v.Size(); ++i) Write(" %.15le", v.Data()[i]);
  Write("\n");
  return *this;
}

KelSave& KelSave::operator<<(const KelMatrix& A) {
  Write(" %d %d\n", A.Rows(), A.Columns());
  const double* const* a = A.RowPointers();
  for (int i = 1; i <= A.Rows(); ++i) {
    for (int j = 1; j <= A.Columns(); ++j) Write(" %22.15le", a[i][j]);
    Write("\n");
  }
  return *this;
}

KelSave& KelSave::operator<<(const KelMatrixSparse& A) {
  Write("\n %d %d", A.Rows(), A.Columns());
  Write("\n %lld", A.CountStored());
  for (int i = 1; i <= A.Rows(); ++i)
    for (const KelMatrixSparse::Node* node = A.RowList(i); node != nullptr; node = node->next)
      Write("\n%d %d %22.15le", i, node->column, node->value);
  return *this;
}

void KelSave::Close() {
  if (!isOpen) return;
  isOpen = false;
  const bool flushed = std::fflush(file) == 0;
  const bool closed = std::fclose(file) == 0;
  if (!flushed || !closed) KelError("%s%s", kelClassSave, kelErrClose);
}
