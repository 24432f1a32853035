#pragma once

#include <sys/types.h>

#include <string>

#include "plc_host/host_records.h"

namespace zelor::sim {

// The System V segment that holds the host's records.
class HostSegment {
 public:
  HostSegment() = default;
  ~HostSegment();
  HostSegment(const HostSegment&) = delete;
  HostSegment& operator=(const HostSegment&) = delete;

  // A new, zeroed segment under `key`; false (with a message) when the key is
  // taken or the segment cannot be made.
  bool Create(key_t key, std::string& error);
  // An existing segment of the right size.
  bool Attach(key_t key, std::string& error);
  // Marks the segment for removal (done when the last process detaches).
  void Remove();

  PlcHostRecords* records() const { return records_; }

 private:
  bool map(std::string& error);

  int id_ = -1;
  PlcHostRecords* records_ = nullptr;
};

}  // namespace zelor::sim
