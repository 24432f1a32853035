#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include "common/ipc/real_time_data.h"

namespace zelor::sim {

// Stand-in for the data server's status thread: rewrites the real-time
// record of the status memory every 3.9 ms behind its validity flag (flag 0,
// rewrite, flag 1).
class RecordWriter {
 public:
  enum class Mode {
    Pattern,  // the known pattern, the flag at 0 for about 10 us
    Slow,     // one rewrite spread over 1 ms: the rewrite counter in every 8-byte word from offset 8 on
  };

  RecordWriter();
  ~RecordWriter();
  RecordWriter(const RecordWriter&) = delete;
  RecordWriter& operator=(const RecordWriter&) = delete;

  void start(Mode mode);
  void stop();
  // While held the flag stays 0 and the record is not rewritten.
  void holdInvalid(bool hold) { hold_ = hold; }
  std::uint64_t rewrites() const { return rewrites_.load(); }

  // The known pattern: pseudo-random bytes (no stretch of the record repeats
  // elsewhere in it), with the test value 0x0123456789ABCDEF at offset 48.
  static void fillPattern(RealTimeData_t& record);

 private:
  void run(Mode mode);
  void rewritePattern();
  void rewriteSlow();
  void setFlag(std::uint16_t value);

  RealTimeData_t* record_;
  std::uint16_t* flag_;
  RealTimeData_t pattern_{};
  std::atomic<bool> stopping_{false};
  std::atomic<bool> hold_{false};
  std::atomic<std::uint64_t> rewrites_{0};
  std::thread thread_;
};

}  // namespace zelor::sim
