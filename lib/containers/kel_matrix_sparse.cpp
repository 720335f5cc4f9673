#include "containers/kel_matrix_sparse.h"

#include <new>

#include "foundation/kel_error_details.h"
#include "foundation/kel_errors.h"
#include "foundation/kel_output.h"

KelObjectCounter KelMatrixSparse::counter;

KelMatrixSparse::KelMatrixSparse(int numRows, int numColumns) : serialNumber(counter.Draw()) {
  if (numRows < 0) numRows = 0;
  if (numColumns < 0) numColumns = 0;
  try {
    rowLists.assign(static_cast<size_t>(numRows) + 1, nullptr);
  } catch (const std::bad_alloc&) {
    KelError("%s%s%sInitialize", kelClassMatrixSparse, kelErrSpace, kelErrFunction);
  }
  rows = numRows;
  columns = numColumns;
}

KelMatrixSparse::KelMatrixSparse(const KelMatrixSparse& A)
    : rows(A.rows), columns(A.columns), serialNumber(counter.Draw()) {
  CopyLists(A);
}

KelMatrixSparse& KelMatrixSparse::operator=(const KelMatrixSparse& A) {
  if (this != &A) {
    Clear();
    rows = A.rows;
    columns = A.columns;
    CopyLists(A);
  }
  return *this;
}

KelMatrixSparse::~KelMatrixSparse() {
  Clear();
  counter.Release();
}

void KelMatrixSparse::Clear() {
  for (Node*& head : rowLists) {
    while (head != nullptr) {
      Node* next = head->next;
      delete head;
      head = next;
    }
  }
}

void KelMatrixSparse::CopyLists(const KelMatrixSparse& A) {
  rowLists.assign(A.rowLists.size(), nullptr);
  for (size_t i = 1; i < A.rowLists.size(); ++i) {
    Node** tail = &rowLists[i];
    for (const Node* node = A.rowLists[i]; node != nullptr; node = node->next) {
      *tail = new (std::nothrow) Node{node->column, node->value, nullptr};
      if (*tail == nullptr)
        KelError("%s%s%sInitialize", kelClassMatrixSparse, kelErrSpace, kelErrFunction);
      tail = &(*tail)->next;
    }
  }
}

double& KelMatrixSparse::operator()(int i, int j) {
  if (i < 1 || i > rows || j < 1 || j > columns)
    KelError("%s%s%s()\n%s", kelClassMatrixSparse, kelErrCheck, kelErrOperator,
             KelElementDetail(i, j, rows, columns).c_str());
  // Walk to the first node whose column is not smaller than j; insert before it if needed.
  Node** link = &rowLists[static_cast<size_t>(i)];
  while (*link != nullptr && (*link)->column < j) link = &(*link)->next;
  if (*link != nullptr && (*link)->column == j) return (*link)->value;
  Node* inserted = new (std::nothrow) Node{j, 0.0, *link};
  if (inserted == nullptr)
    KelError("%s%s%sInsertElement", kelClassMatrixSparse, kelErrSpace, kelErrFunction);
  *link = inserted;
  return inserted->value;
}

long long KelMatrixSparse::CountStored() const {
  long long count = 0;
  for (size_t i = 1; i < rowLists.size(); ++i)
    for (const Node* node = rowLists[i]; node != nullptr; node = node->next) ++count;
  return count;
}

void KelMatrixSparse::PrintObject() {
  KelPrint("\nKelMatrixSparse No.%d", serialNumber);
  KelPrint("\nrows %d columns %d\n", rows, columns);
  for (int i = 1; i <= rows; ++i)
    for (const Node* node = RowList(i); node != nullptr; node = node->next)
      KelPrint("\n%5d %5d   %22.14e", i, node->column, node->value);
}
