// The ordered writing of one file by all ranks, and the one-process context.
#include "parallel_context.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace kelmath_cli {

namespace {

constexpr const char* kNotWritable = "cannot be written";
// The block a streamed part is copied in: the memory held whatever the part's size.
constexpr size_t kCopyBlock = size_t{1} << 20;

// Writes all the bytes at the offset, through short writes and interrupted calls.
bool WriteAllAt(int descriptor, const char* bytes, size_t count, off_t offset) {
  while (count > 0) {
    const ssize_t written = ::pwrite(descriptor, bytes, count, offset);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes += written;
    count -= static_cast<size_t>(written);
    offset += written;
  }
  return true;
}

// Copies count bytes of the source from its start to the target at offset, one block at a time.
bool CopyAt(int source, long long count, int target, off_t offset) {
  std::string block(kCopyBlock, '\0');
  off_t copied = 0;
  while (copied < count) {
    const auto wanted = static_cast<size_t>(std::min<long long>(count - copied, kCopyBlock));
    const ssize_t got = ::pread(source, block.data(), wanted, copied);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    if (!WriteAllAt(target, block.data(), static_cast<size_t>(got), offset + copied)) return false;
    copied += got;
  }
  return true;
}

std::optional<std::string> ProblemIf(bool failed) {
  return failed ? std::optional<std::string>(kNotWritable) : std::nullopt;
}

}  // namespace

// Rank 0 creates the file before any other rank opens it: the agreement after its open is the
// barrier. The other ranks open without O_CREAT, so that a path that is not the same file for
// all of them (a folder not shared between machines) fails instead of scattering the parts.
template <typename CopyPart>
std::optional<RankProblem> ParallelContext::WriteParts(const std::string& path, long long partBytes,
                                                       CopyPart copyPart) {
  const long long offset = ExclusivePrefixSum(partBytes);
  int descriptor = -1;
  if (IsRoot()) descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (auto problem = AgreeOnProblems(ProblemIf(IsRoot() && descriptor < 0))) return problem;
  if (!IsRoot()) descriptor = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  bool written = descriptor >= 0 && copyPart(descriptor, static_cast<off_t>(offset));
  if (descriptor >= 0 && ::close(descriptor) != 0) written = false;
  return AgreeOnProblems(ProblemIf(!written));
}

std::optional<RankProblem> ParallelContext::WriteOrdered(const std::string& path,
                                                         const std::string& localBytes) {
  return WriteParts(path, static_cast<long long>(localBytes.size()),
                    [&localBytes](int descriptor, off_t offset) {
                      return WriteAllAt(descriptor, localBytes.data(), localBytes.size(), offset);
                    });
}

std::optional<RankProblem> ParallelContext::WriteOrderedFromFile(const std::string& path,
                                                                 int localDescriptor) {
  struct stat status {};
  // An unreadable part writes nothing, and fails after the offsets are agreed (the ranks call
  // the same operations whatever happens).
  const bool readable = ::fstat(localDescriptor, &status) == 0;
  const long long size = readable ? static_cast<long long>(status.st_size) : 0;
  return WriteParts(path, size, [&](int descriptor, off_t offset) {
    return readable && CopyAt(localDescriptor, size, descriptor, offset);
  });
}

std::optional<RankProblem> SingleProcessContext::AgreeOnProblems(
    const std::optional<std::string>& localProblem) {
  if (!localProblem) return std::nullopt;
  return RankProblem{0, *localProblem};
}

void SingleProcessContext::AbortRun(int status) {
  std::exit(status);
}

std::string BytesOf(const std::vector<double>& values) {
  return std::string(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(double));
}

std::vector<double> DoublesOf(const std::string& bytes) {
  std::vector<double> values(bytes.size() / sizeof(double));
  if (!values.empty()) std::memcpy(values.data(), bytes.data(), values.size() * sizeof(double));
  return values;
}

std::vector<double> GatherDoublesToRoot(ParallelContext& context,
                                        const std::vector<double>& values) {
  std::vector<double> all;
  for (const std::string& part : context.GatherToRoot(BytesOf(values))) {
    const std::vector<double> some = DoublesOf(part);
    all.insert(all.end(), some.begin(), some.end());
  }
  return all;
}

}  // namespace kelmath_cli
