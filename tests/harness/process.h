#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace zelor::test {

struct ProcessResult {
  bool started = false;
  bool timedOut = false;
  int exitCode = -1;  // -1 when the program ended by a signal
  int signal = 0;
  std::string out;
  std::string err;
};

// Runs a program to its end with the given stdin bytes (stdin is closed after
// them), capturing stdout and stderr. A program still running at the time-out
// is killed and reported as timedOut.
ProcessResult runProcess(const std::vector<std::string>& argv, const std::string& input = {},
                         std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Where a started program runs and writes: empty fields keep the test
// program's own working directory and standard output.
struct ChildOptions {
  std::string workingDir;
  std::string stdoutFile;  // created or truncated
};

// A long-running program (a server) started for one test; stopped and reaped
// when the object goes.
class ChildProcess {
 public:
  explicit ChildProcess(const std::vector<std::string>& argv, const ChildOptions& options = {});
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t pid() const { return pid_; }
  bool running();
  // Sends sig and waits up to timeout; returns the wait status, or -1.
  int stop(int sig, std::chrono::milliseconds timeout = std::chrono::seconds(5));

 private:
  pid_t pid_ = -1;
  int status_ = -1;
};

}  // namespace zelor::test
