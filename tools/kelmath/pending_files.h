// Result files that appear complete under their final names or not at all, even when the
// process is killed (SIGKILL included) at any moment.
//
// On Linux each file is written to an unnamed file of its folder (open with O_TMPFILE), which the
// kernel discards if the process dies, and is given its final name only when every file is
// complete, by linkat from /proc/self/fd. An existing final file is replaced by linking the new
// one to a temporary name beside it and renaming that over the old one, so the final name always
// holds a complete file, old or new; a kill in the microseconds between the link and the rename
// can leave that temporary (complete) behind. Where a folder's file system has no O_TMPFILE
// (EOPNOTSUPP, EISDIR and the like), the file is written under a visible temporary name
// (FINAL.kelmath-partial), removed when the files are abandoned and by SIGINT or SIGTERM.
#ifndef KELMATH_TOOLS_KELMATH_PENDING_FILES_H
#define KELMATH_TOOLS_KELMATH_PENDING_FILES_H

#include <string>
#include <vector>

namespace kelmath_cli {

// The suffix of the visible temporaries.
inline constexpr const char* kPartialSuffix = ".kelmath-partial";

class PendingFiles {
 public:
  // unnamedFiles = false always takes the visible temporaries (for tests of that path).
  explicit PendingFiles(bool unnamedFiles = true) : unnamed(unnamedFiles) {}
  // Abandons the files not committed: none of them appears.
  ~PendingFiles();
  PendingFiles(const PendingFiles&) = delete;
  PendingFiles& operator=(const PendingFiles&) = delete;

  // A path through which the content of the final file is written (open it for writing, with
  // truncation). The final file's folder must exist.
  std::string Temporary(const std::string& path);
  // Writes the text as the content of the final file; false when it cannot be written.
  bool Write(const std::string& path, const std::string& text);
  // Gives every file its final name; returns the final path that could not be written, or "".
  std::string Commit();

 private:
  struct File {
    std::string final;
    int descriptor = -1;    // the unnamed file, or -1
    std::string temporary;  // the visible temporary when there is no unnamed file
  };
  void Abandon();
  bool unnamed;
  std::vector<File> files;
};

}  // namespace kelmath_cli

#endif
