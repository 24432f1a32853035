#include "common/transport/holder_liveness.h"

#include <signal.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace zelor::common::transport {

namespace {

// State letter of /proc/<pid>/stat, the field after the parenthesised command
// name (which may itself hold spaces and parentheses); 0 when unreadable.
char procState(pid_t pid) {
  char path[32];
  std::snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
  std::FILE* f = std::fopen(path, "r");
  if (f == nullptr) return 0;
  char line[512];
  const size_t n = std::fread(line, 1, sizeof line - 1, f);
  std::fclose(f);
  line[n] = '\0';
  const char* close = std::strrchr(line, ')');
  if (close == nullptr || close[1] != ' ') return 0;
  return close[2];
}

}  // namespace

bool HolderGone(pid_t pid) {
  if (pid <= 0) return false;
  if (kill(pid, 0) == -1 && errno == ESRCH) return true;
  const char state = procState(pid);
  return state == 'Z' || state == 'X';
}

}  // namespace zelor::common::transport
