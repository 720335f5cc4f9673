// Helpers of the fatal-message walk: data files and the address-space limit.
#include "fatal_walk.h"

#include <sys/resource.h>
#include <unistd.h>

#include <fstream>

namespace fatal_walk {

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

void LimitAddressSpace(long long spare) {
  long long pages = 0;
  std::ifstream statm("/proc/self/statm");
  statm >> pages;
  const long long used = pages * static_cast<long long>(::sysconf(_SC_PAGESIZE));
  struct rlimit limit;
  limit.rlim_cur = static_cast<rlim_t>(used + spare);
  limit.rlim_max = static_cast<rlim_t>(used + spare);
  ::setrlimit(RLIMIT_AS, &limit);
}

}  // namespace fatal_walk
