#include "ordered_lines.h"

#include <fcntl.h>
#include <unistd.h>

#include <optional>
#include <utility>

#include "command_support.h"

namespace kelmath_cli {

namespace {

// An unnamed scratch file in the folder of path (on its file system, which holds the result
// too): created, then unlinked at once, so that it vanishes with the process.
std::FILE* ScratchBeside(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
  std::string name = folder + "/.kelmath-rank-XXXXXX";
  const int descriptor = mkstemp(name.data());
  if (descriptor < 0) return nullptr;
  unlink(name.c_str());
  std::FILE* file = fdopen(descriptor, "w+b");
  if (file == nullptr) close(descriptor);
  return file;
}

}  // namespace

OrderedLines::OrderedLines(ParallelContext& context, PendingFiles& pending, std::string path,
                           const std::string& header)
    : context(context), pending(pending), path(std::move(path)) {
  if (this->path.empty()) return;
  if (context.Size() == 1) {
    file = std::fopen(pending.Temporary(this->path).c_str(), "wb");
  } else {
    if (context.IsRoot()) shared = pending.Temporary(this->path);
    file = ScratchBeside(this->path);
  }
  if (file == nullptr) {
    failed = true;
    return;
  }
  if (context.IsRoot()) Write(header);
}

OrderedLines::~OrderedLines() {
  if (file != nullptr) std::fclose(file);
}

void OrderedLines::Write(const std::string& lines) {
  if (file == nullptr) return;
  if (std::fwrite(lines.data(), 1, lines.size(), file) != lines.size()) failed = true;
}

void OrderedLines::Finish() {
  if (path.empty()) return;
  if (file != nullptr && std::fflush(file) != 0) failed = true;
  if (context.Size() == 1) {
    if (file != nullptr && std::fclose(file) != 0) failed = true;
    file = nullptr;
    if (failed) throw NotWritable(path);
    return;
  }
  // Every rank learns whether each could keep its lines, then writes them into the root's file.
  ThrowIfAgreedProblem(
      context.AgreeOnProblems(failed ? std::optional<std::string>(NotWritable(path).what())
                                     : std::nullopt),
      context);
  shared = context.Broadcast(shared, 0);
  const std::optional<RankProblem> problem = context.WriteOrderedFromFile(shared, fileno(file));
  if (problem) throw NotWritable(path);
}

}  // namespace kelmath_cli
