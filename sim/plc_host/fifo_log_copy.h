#pragma once

#include <sys/types.h>

#include <atomic>
#include <string>
#include <thread>

namespace zelor::sim {

// Copies everything written into a FIFO (the data server's standard output)
// into a log file. At `maxBytes` the file is renamed to "<file>.1" (replacing
// an older one) and started afresh, so a repeated line cannot fill the disk.
class FifoLogCopy {
 public:
  static constexpr off_t kDefaultMaxBytes = 32 * 1024 * 1024;

  FifoLogCopy() = default;
  ~FifoLogCopy();
  FifoLogCopy(const FifoLogCopy&) = delete;
  FifoLogCopy& operator=(const FifoLogCopy&) = delete;

  // Creates the FIFO when missing, opens both ends' reading side and the log
  // file, and starts copying. False with a message on failure.
  bool Start(const std::string& fifo, const std::string& logFile, off_t maxBytes, std::string& error);
  // Copies what the FIFO still holds, then ends the copy.
  void Stop();

 private:
  void run();
  bool openLog();
  void write(const char* data, std::size_t size);

  std::string logFile_;
  off_t maxBytes_ = kDefaultMaxBytes;
  off_t written_ = 0;
  int fifoFd_ = -1;
  int logFd_ = -1;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

}  // namespace zelor::sim
