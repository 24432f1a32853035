#include "plc_host/fifo_log_copy.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace zelor::sim {

namespace {

constexpr int kPollMs = 100;

}  // namespace

FifoLogCopy::~FifoLogCopy() { Stop(); }

bool FifoLogCopy::Start(const std::string& fifo, const std::string& logFile, off_t maxBytes, std::string& error) {
  logFile_ = logFile;
  maxBytes_ = maxBytes > 0 ? maxBytes : kDefaultMaxBytes;
  if (mkfifo(fifo.c_str(), 0777) != 0 && errno != EEXIST) {
    error = "cannot create the FIFO " + fifo + ": " + std::strerror(errno);
    return false;
  }
  struct stat st {};
  if (stat(fifo.c_str(), &st) != 0 || !S_ISFIFO(st.st_mode)) {
    error = fifo + " is not a FIFO";
    return false;
  }
  // Read and write: the FIFO never reports its end while no writer holds it.
  fifoFd_ = open(fifo.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (fifoFd_ == -1) {
    error = "cannot open the FIFO " + fifo + ": " + std::strerror(errno);
    return false;
  }
  if (!openLog()) {
    error = "cannot open the log file " + logFile_ + ": " + std::strerror(errno);
    close(fifoFd_);
    fifoFd_ = -1;
    return false;
  }
  stopping_.store(false);
  thread_ = std::thread([this] { run(); });
  return true;
}

void FifoLogCopy::Stop() {
  if (thread_.joinable()) {
    stopping_.store(true);
    thread_.join();
  }
  if (fifoFd_ != -1) close(fifoFd_);
  if (logFd_ != -1) close(logFd_);
  fifoFd_ = logFd_ = -1;
}

bool FifoLogCopy::openLog() {
  logFd_ = open(logFile_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (logFd_ == -1) return false;
  struct stat st {};
  written_ = fstat(logFd_, &st) == 0 ? st.st_size : 0;
  return true;
}

void FifoLogCopy::write(const char* data, std::size_t size) {
  if (written_ >= maxBytes_) {
    close(logFd_);
    const std::string previous = logFile_ + ".1";
    if (std::rename(logFile_.c_str(), previous.c_str()) != 0) {
      std::fprintf(stderr, "plc host: cannot rotate %s: %s\n", logFile_.c_str(), std::strerror(errno));
      unlink(logFile_.c_str());
    }
    if (!openLog()) {
      std::fprintf(stderr, "plc host: cannot reopen %s: %s\n", logFile_.c_str(), std::strerror(errno));
      return;
    }
  }
  if (logFd_ == -1) return;
  while (size > 0) {
    const ssize_t n = ::write(logFd_, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    data += n;
    size -= static_cast<std::size_t>(n);
    written_ += n;
  }
}

void FifoLogCopy::run() {
  char buffer[4096];
  for (;;) {
    // Once asked to stop, only what is already in the FIFO is copied.
    const bool stopping = stopping_.load();
    pollfd pfd{fifoFd_, POLLIN, 0};
    const int ready = poll(&pfd, 1, stopping ? 0 : kPollMs);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) {
      if (stopping) return;
      continue;
    }
    const ssize_t n = read(fifoFd_, buffer, sizeof buffer);
    if (n > 0) {
      write(buffer, static_cast<std::size_t>(n));
    } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
      std::fprintf(stderr, "plc host: reading the FIFO failed: %s\n", std::strerror(errno));
      return;
    }
  }
}

}  // namespace zelor::sim
