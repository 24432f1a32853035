#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "common/ipc/real_time_data.h"
#include "common/ipc/robot_map_layout.h"

// The process's attachment of the status memory. The first call of
// instance() attaches (creating the segment when no program has yet),
// retrying every 500 ms until it succeeds; later calls return at once.
class robotMap {
 public:
  static robotMap& instance();

  robotMap(const robotMap&) = delete;
  robotMap& operator=(const robotMap&) = delete;

  std::int32_t key() const { return key_; }
  std::int32_t shmid() const { return shmid_; }
  // Start of the segment; areas lie at the offsets of robot_map_layout.h.
  char* entry() const { return entry_; }

  // Control words are single aligned 32-bit loads and stores.
  std::int32_t loadWord(std::size_t offset) const {
    return std::atomic_ref<std::int32_t>(*word(offset)).load(std::memory_order_relaxed);
  }
  void storeWord(std::size_t offset, std::int32_t value) {
    std::atomic_ref<std::int32_t>(*word(offset)).store(value, std::memory_order_relaxed);
  }

  RealTimeData_t* record() const { return reinterpret_cast<RealTimeData_t*>(entry_ + robot_map::kRecord); }
  std::uint16_t* recordValid() const { return reinterpret_cast<std::uint16_t*>(entry_ + robot_map::kRecordValid); }

  // Six process-local words, zero at attach; the fifth is the current user
  // frame index and the sixth the current tool frame index.
  std::int32_t& localWord(int i) { return words_[i]; }

 private:
  robotMap();
  void attach();
  void initControlArea();
  std::int32_t* word(std::size_t offset) const { return reinterpret_cast<std::int32_t*>(entry_ + offset); }

  std::int32_t key_ = -1;
  std::int32_t shmid_ = -1;
  char* entry_ = nullptr;
  std::int32_t words_[6] = {};
};
