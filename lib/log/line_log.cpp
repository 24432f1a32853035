#include "log/line_log.h"

#include <unistd.h>

#include <cstdarg>
#include <cstring>

zelor::log::LineLogTarget dlog;

namespace zelor::log {

void setLineLogTarget(int fd, int mode) {
  dlog.fd = fd;
  dlog.mode = mode;
}

void lineLog(const char* tag, const char* func, const char* file, int line, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  if (dlog.mode != kLineLogDescriptorMode) {
    flockfile(stdout);
    std::fprintf(stdout, "[%s|%s@%s,%d] ", tag, func, file, line);
    std::vfprintf(stdout, fmt, ap);
    std::fputc('\n', stdout);
    funlockfile(stdout);
    va_end(ap);
    return;
  }

  // Each call formats into its own buffer so concurrent lines never mix; the
  // line is cut at the buffer's size, line end included.
  char buf[kLineLogBufferSize];
  std::memset(buf, 0, sizeof buf);
  int used = std::snprintf(buf, sizeof buf, "[%s|%s@%s,%d] ", tag, func, file, line);
  if (used >= 0 && used < static_cast<int>(sizeof buf)) {
    int body = std::vsnprintf(buf + used, sizeof buf - used, fmt, ap);
    if (body > 0) used += body;
    if (used < static_cast<int>(sizeof buf) - 1) buf[used] = '\n';
  }
  va_end(ap);
  (void)!write(dlog.fd, buf, std::strlen(buf));
}

}  // namespace zelor::log
