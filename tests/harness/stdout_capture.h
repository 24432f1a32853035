#pragma once

// Collects what the process writes on standard output (printf, puts, the line
// log in its stdout mode) between construction and finish(), for tests that
// check the system's printed lines. GoogleTest reports on standard output
// too, so assertions belong after finish().

#include <unistd.h>

#include <cstdio>
#include <string>

namespace zelor::test {

class StdoutCapture {
 public:
  StdoutCapture() {
    std::fflush(stdout);
    file_ = std::tmpfile();
    saved_ = dup(STDOUT_FILENO);
    if (file_ != nullptr && saved_ >= 0) dup2(fileno(file_), STDOUT_FILENO);
  }
  ~StdoutCapture() { finish(); }
  StdoutCapture(const StdoutCapture&) = delete;
  StdoutCapture& operator=(const StdoutCapture&) = delete;

  // What was written so far, while the capture goes on.
  std::string peek() {
    std::fflush(stdout);
    if (file_ == nullptr) return text_;
    std::string text;
    char buf[4096];
    off_t at = 0;
    for (ssize_t n; (n = pread(fileno(file_), buf, sizeof buf, at)) > 0; at += n) {
      text.append(buf, static_cast<std::size_t>(n));
    }
    return text;
  }

  // Gives standard output back and returns what was written meanwhile.
  std::string finish() {
    std::fflush(stdout);
    if (saved_ >= 0) {
      dup2(saved_, STDOUT_FILENO);
      close(saved_);
      saved_ = -1;
    }
    if (file_ == nullptr) return text_;
    std::rewind(file_);
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, file_)) > 0;) text_.append(buf, n);
    std::fclose(file_);
    file_ = nullptr;
    return text_;
  }

 private:
  std::FILE* file_ = nullptr;
  int saved_ = -1;
  std::string text_;
};

}  // namespace zelor::test
