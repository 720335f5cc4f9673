#include "pending_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace kelmath_cli {

namespace {

// The visible temporaries alive now, for the signal handler, which may only read plain memory:
// each slot holds a name and its state (0 free, 1 being filled, 2 holding a temporary).
constexpr size_t kSlots = 16;
constexpr size_t kSlotBytes = 4096;
struct Slot {
  std::atomic<int> state{0};
  std::array<char, kSlotBytes> name{};
};
std::array<Slot, kSlots> visibleTemporaries;

extern "C" void RemoveTemporariesAndDie(int signal) {
  for (Slot& slot : visibleTemporaries)
    if (slot.state.load() == 2) ::unlink(slot.name.data());
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

void InstallHandlersOnce() {
  static const bool installed = [] {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
      struct sigaction action {};
      action.sa_handler = RemoveTemporariesAndDie;
      sigemptyset(&action.sa_mask);
      sigaction(signal, &action, nullptr);
    }
    return true;
  }();
  (void)installed;
}

// A name too long for a slot, or more temporaries than slots, is removed on normal exits only.
void Register(const std::string& name) {
  InstallHandlersOnce();
  if (name.size() >= kSlotBytes) return;
  for (Slot& slot : visibleTemporaries) {
    int expected = 0;
    if (!slot.state.compare_exchange_strong(expected, 1)) continue;
    name.copy(slot.name.data(), name.size());
    slot.name[name.size()] = '\0';
    slot.state.store(2);
    return;
  }
}

void Unregister(const std::string& name) {
  for (Slot& slot : visibleTemporaries) {
    if (slot.state.load() == 2 && name == slot.name.data()) {
      slot.state.store(0);
      return;
    }
  }
}

std::string FolderOf(const std::string& path) {
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  return folder.empty() ? "." : folder.string();
}

std::string ProcPath(int descriptor) {
  return "/proc/self/fd/" + std::to_string(descriptor);
}

// Links the unnamed file to the final name, replacing a file already there.
bool LinkUnnamed(int descriptor, const std::string& final) {
  const std::string source = ProcPath(descriptor);
  if (::linkat(AT_FDCWD, source.c_str(), AT_FDCWD, final.c_str(), AT_SYMLINK_FOLLOW) == 0)
    return true;
  if (errno != EEXIST) return false;
  const std::string temporary = final + kPartialSuffix;
  ::unlink(temporary.c_str());
  if (::linkat(AT_FDCWD, source.c_str(), AT_FDCWD, temporary.c_str(), AT_SYMLINK_FOLLOW) != 0)
    return false;
  if (std::rename(temporary.c_str(), final.c_str()) == 0) return true;
  ::unlink(temporary.c_str());
  return false;
}

}  // namespace

PendingFiles::~PendingFiles() {
  Abandon();
}

void PendingFiles::Abandon() {
  for (const File& file : files) {
    if (file.descriptor >= 0) ::close(file.descriptor);
    if (!file.temporary.empty()) {
      std::remove(file.temporary.c_str());
      Unregister(file.temporary);
    }
  }
  files.clear();
}

std::string PendingFiles::Temporary(const std::string& path) {
  File file{path, -1, ""};
  if (unnamed) {
    file.descriptor = ::open(FolderOf(path).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    // /proc is how the unnamed file is reopened and linked; without it, the visible path.
    if (file.descriptor >= 0 && ::access(ProcPath(file.descriptor).c_str(), F_OK) != 0) {
      ::close(file.descriptor);
      file.descriptor = -1;
    }
  }
  if (file.descriptor < 0) {
    file.temporary = path + kPartialSuffix;
    Register(file.temporary);
  }
  files.push_back(file);
  return file.descriptor >= 0 ? ProcPath(file.descriptor) : file.temporary;
}

bool PendingFiles::Write(const std::string& path, const std::string& text) {
  std::ofstream out(Temporary(path), std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  return static_cast<bool>(out);
}

std::string PendingFiles::Commit() {
  for (File& file : files) {
    const bool named = file.descriptor >= 0
                           ? LinkUnnamed(file.descriptor, file.final)
                           : std::rename(file.temporary.c_str(), file.final.c_str()) == 0;
    if (!named) return file.final;
    if (file.descriptor >= 0) {
      ::close(file.descriptor);
      file.descriptor = -1;
    } else {
      Unregister(file.temporary);
      file.temporary.clear();
    }
  }
  files.clear();
  return "";
}

}  // namespace kelmath_cli
