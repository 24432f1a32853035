#include "common/util/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace zelor::common::util {

bool writeFileAtomic(const std::string& path, const std::string& text) {
  const std::string::size_type slash = path.rfind('/');
  const std::string folder =
      slash == std::string::npos ? std::string(".") : (slash == 0 ? std::string("/") : path.substr(0, slash));
  std::string temp = folder + "/.settings.XXXXXX";
  int fd = mkstemp(temp.data());
  if (fd < 0) return false;

  struct stat old {};
  fchmod(fd, stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644);

  bool ok = true;
  const char* p = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    ssize_t n = write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  if (ok && fsync(fd) != 0) ok = false;
  if (close(fd) != 0) ok = false;
  if (ok && rename(temp.c_str(), path.c_str()) != 0) ok = false;
  if (!ok) unlink(temp.c_str());
  return ok;
}

bool makeFolders(const std::string& path) {
  struct stat st {};
  if (path.empty()) return false;
  // Walk every prefix that ends before a '/', then the whole path.
  for (std::string::size_type pos = 1; pos <= path.size(); ++pos) {
    if (pos != path.size() && path[pos] != '/') continue;
    const std::string level = path.substr(0, pos);
    if (mkdir(level.c_str(), 0775) != 0 && errno != EEXIST) return false;
  }
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace zelor::common::util
