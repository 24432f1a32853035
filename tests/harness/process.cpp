#include "process.h"

#include "orphan_reaper.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

namespace zelor::test {

namespace {

std::vector<char*> argvOf(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  return args;
}

void readSome(int& fd, std::string& into) {
  char buf[4096];
  const ssize_t n = read(fd, buf, sizeof buf);
  if (n > 0) {
    into.append(buf, static_cast<size_t>(n));
  } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
    close(fd);
    fd = -1;
  }
}

void decodeStatus(int status, ProcessResult& r) {
  if (WIFEXITED(status)) r.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) r.signal = WTERMSIG(status);
}

}  // namespace

ProcessResult runProcess(const std::vector<std::string>& argv, const std::string& input,
                         std::chrono::milliseconds timeout) {
  ProcessResult r;
  int in[2], out[2], err[2];
  if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC) || pipe2(err, O_CLOEXEC)) return r;
  const pid_t pid = fork();
  if (pid < 0) return r;
  if (pid == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    std::vector<char*> args = argvOf(argv);
    execv(args[0], args.data());
    _exit(127);
  }
  registerOwnChild(pid);
  r.started = true;
  close(in[0]);
  close(out[1]);
  close(err[1]);
  signal(SIGPIPE, SIG_IGN);

  int inFd = in[1], outFd = out[0], errFd = err[0];
  fcntl(inFd, F_SETFL, O_NONBLOCK);
  size_t written = 0;
  if (input.empty()) {
    close(inFd);
    inFd = -1;
  }
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (outFd >= 0 || errFd >= 0 || inFd >= 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      r.timedOut = true;
      break;
    }
    pollfd fds[3] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}, {inFd, POLLOUT, 0}};
    if (poll(fds, 3, static_cast<int>(left.count())) < 0 && errno != EINTR) break;
    if (fds[0].revents) readSome(outFd, r.out);
    if (fds[1].revents) readSome(errFd, r.err);
    if (fds[2].revents) {
      const ssize_t n = write(inFd, input.data() + written, input.size() - written);
      if (n > 0) written += static_cast<size_t>(n);
      if (n < 0 && errno != EAGAIN && errno != EINTR) written = input.size();
      if (written == input.size()) {
        close(inFd);
        inFd = -1;
      }
    }
  }
  for (int fd : {inFd, outFd, errFd}) {
    if (fd >= 0) close(fd);
  }
  int status = 0;
  if (r.timedOut) kill(pid, SIGKILL);
  waitpid(pid, &status, 0);
  forgetOwnChild(pid);
  decodeStatus(status, r);
  return r;
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const ChildOptions& options) {
  pid_ = fork();
  if (pid_ == 0) {
    if (!options.workingDir.empty() && chdir(options.workingDir.c_str()) != 0) _exit(126);
    if (!options.stdoutFile.empty()) {
      const int out = open(options.stdoutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (out < 0 || dup2(out, STDOUT_FILENO) < 0) _exit(126);
      close(out);
    }
    std::vector<char*> args = argvOf(argv);
    execv(args[0], args.data());
    _exit(127);
  }
  registerOwnChild(pid_);
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0 && status_ == -1) stop(SIGKILL);
}

bool ChildProcess::running() {
  if (pid_ <= 0 || status_ != -1) return false;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) == pid_) {
    status_ = status;
    forgetOwnChild(pid_);
    return false;
  }
  return true;
}

int ChildProcess::stop(int sig, std::chrono::milliseconds timeout) {
  if (pid_ <= 0) return -1;
  if (status_ != -1) return status_;
  kill(pid_, sig);
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  int status = 0;
  while (waitpid(pid_, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  status_ = status;
  forgetOwnChild(pid_);
  return status_;
}

}  // namespace zelor::test
