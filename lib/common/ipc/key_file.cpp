#include "common/ipc/key_file.h"

#include <unistd.h>

#include <cstdio>

namespace zelor::common::ipc {

bool ensureKeyFile(const char* path) {
  if (access(path, F_OK) == 0) return true;
  FILE* f = std::fopen(path, "w+");
  if (f == nullptr) return false;
  std::fclose(f);
  return true;
}

}  // namespace zelor::common::ipc
