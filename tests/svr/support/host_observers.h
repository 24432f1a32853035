#pragma once

// What a system test watches of a running PLC-runtime stand-in: its record
// segment, attached on first use, and the lines of a log channel, drained into
// the test's own copy so that a count never misses lines read earlier.

#include <sys/ipc.h>
#include <sys/shm.h>

#include <string>
#include <utility>
#include <vector>

#include "log_reader/log_queue_reader.h"
#include "plc_host/host_records.h"

namespace zelor::test {

class HostRecordsView {
 public:
  explicit HostRecordsView(key_t key) : key_(key) {}
  ~HostRecordsView() {
    if (records_ != nullptr) shmdt(records_);
  }
  HostRecordsView(const HostRecordsView&) = delete;
  HostRecordsView& operator=(const HostRecordsView&) = delete;

  // The host's records; the segment must exist by the first call.
  zelor::sim::PlcHostRecords& get() {
    if (records_ == nullptr) {
      const int id = shmget(key_, sizeof(zelor::sim::PlcHostRecords), 0);
      void* p = id >= 0 ? shmat(id, nullptr, 0) : reinterpret_cast<void*>(-1);
      if (p != reinterpret_cast<void*>(-1)) records_ = static_cast<zelor::sim::PlcHostRecords*>(p);
    }
    return *records_;
  }

 private:
  key_t key_;
  zelor::sim::PlcHostRecords* records_ = nullptr;
};

class ChannelLines {
 public:
  explicit ChannelLines(int channel) : channel_(channel) {}

  // Lines read so far that contain `text` (an empty text drains the queue).
  int count(const std::string& text) {
    for (std::string& l : zelor::sim::drainLogChannel(channel_)) lines_.push_back(std::move(l));
    int n = 0;
    for (const std::string& l : lines_) n += l.find(text) != std::string::npos ? 1 : 0;
    return n;
  }

 private:
  int channel_;
  std::vector<std::string> lines_;
};

}  // namespace zelor::test
