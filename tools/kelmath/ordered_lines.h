// A result file of lines in data row order written by every process of a run, each its own rows
// (the --observations file of a streamed fit): one process writes straight into the pending
// file; the ranks of an MPI run each keep their lines in an unnamed scratch file beside the
// result and, at the end, write them at their offsets of the root's pending file, so that no rank
// holds another's rows and the file appears, complete, only when the root commits it.
#ifndef KELMATH_TOOLS_KELMATH_ORDERED_LINES_H
#define KELMATH_TOOLS_KELMATH_ORDERED_LINES_H

#include <cstdio>
#include <string>

#include "parallel_context.h"
#include "pending_files.h"

namespace kelmath_cli {

class OrderedLines {
 public:
  // Nothing is written when path is empty. The header goes first (the root's).
  OrderedLines(ParallelContext& context, PendingFiles& pending, std::string path,
               const std::string& header);
  ~OrderedLines();
  OrderedLines(const OrderedLines&) = delete;
  OrderedLines& operator=(const OrderedLines&) = delete;

  // This rank's next lines.
  void Write(const std::string& lines);
  // Collective: puts every rank's lines into the pending file; a usage error naming the file
  // when any rank could not write.
  void Finish();

 private:
  ParallelContext& context;
  PendingFiles& pending;
  std::string path;
  std::string shared;  // the pending file's path on the root (several processes)
  std::FILE* file = nullptr;
  bool failed = false;
};

}  // namespace kelmath_cli

#endif
