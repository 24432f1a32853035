#include "dynamics_fit/result_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace zelor::modules::dynamics {

bool writeResultFile(const std::string& path, const Eigen::VectorXf& values) {
  std::vector<char> tmp(path.begin(), path.end());
  const std::string suffix = ".XXXXXX";
  tmp.insert(tmp.end(), suffix.begin(), suffix.end());
  tmp.push_back('\0');
  const int fd = mkstemp(tmp.data());
  if (fd < 0) {
    std::printf("can not create %s.XXXXXX\n", path.c_str());
    return false;
  }
  fchmod(fd, 0644);
  FILE* f = fdopen(fd, "w");
  if (f == nullptr) {
    close(fd);
    unlink(tmp.data());
    return false;
  }
  bool ok = true;
  for (Eigen::Index i = 0; i < values.size() && ok; ++i) ok = std::fprintf(f, "%.9g\n", values[i]) > 0;
  ok = ok && std::fflush(f) == 0 && fsync(fileno(f)) == 0;
  ok = (std::fclose(f) == 0) && ok;
  if (ok) ok = std::rename(tmp.data(), path.c_str()) == 0;
  if (!ok) {
    unlink(tmp.data());
    std::printf("can not write %s\n", path.c_str());
  }
  return ok;
}

}  // namespace zelor::modules::dynamics
