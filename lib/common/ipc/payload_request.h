#pragma once

// The servo and payload request memory: a payload (or servo parameter set)
// written by a remote command, the enable sequence or a script, and carried
// out by the data server once its request flag is 1. Writers fill the record
// first and set the flag last; the reader clears the flag when done.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "install_paths.h"

namespace zelor::common::ipc {

// System V shared memory ftok(kPayloadKeyPath, kPayloadKeyId), created 0666
// by whichever program attaches first.
inline constexpr const char* kPayloadKeyPath = zelor::paths::kRoot;
inline constexpr int kPayloadKeyId = 67;
inline constexpr std::size_t kPayloadMemoryBytes = 4096;

struct PayloadRequest {
  std::int32_t servoParamIndex;
  std::uint8_t request;  // 1: a new request waits
  std::uint8_t reserved[3];
  float inertiaX;  // load centre x
  float inertiaY;  // load centre y
  float inertiaZ;  // written, not applied
  float payload;   // kilograms
  std::uint32_t reserved2;
};
static_assert(sizeof(PayloadRequest) == 28);
static_assert(offsetof(PayloadRequest, request) == 4);
static_assert(offsetof(PayloadRequest, inertiaX) == 8);
static_assert(offsetof(PayloadRequest, inertiaY) == 12);
static_assert(offsetof(PayloadRequest, inertiaZ) == 16);
static_assert(offsetof(PayloadRequest, payload) == 20);

// Writes the record at the start of the attached memory with its flag clear,
// then sets the flag with a release store, so a reader that sees the flag
// (acquire) sees the values.
inline void publishPayloadRequest(void* memory, const PayloadRequest& record) {
  auto* target = static_cast<PayloadRequest*>(memory);
  std::atomic_ref<std::uint8_t> flag(target->request);
  flag.store(0, std::memory_order_relaxed);
  PayloadRequest values = record;
  values.request = 0;
  // Every byte but the flag, which only atomic accesses touch.
  constexpr std::size_t kAfterFlag = offsetof(PayloadRequest, request) + 1;
  auto* to = reinterpret_cast<unsigned char*>(target);
  const auto* from = reinterpret_cast<const unsigned char*>(&values);
  std::memcpy(to, from, offsetof(PayloadRequest, request));
  std::memcpy(to + kAfterFlag, from + kAfterFlag, sizeof values - kAfterFlag);
  flag.store(1, std::memory_order_release);
}

// True once a request waits; pairs with publishPayloadRequest.
inline bool payloadRequestWaiting(const void* memory) {
  auto* target = const_cast<PayloadRequest*>(static_cast<const PayloadRequest*>(memory));
  return std::atomic_ref<std::uint8_t>(target->request).load(std::memory_order_acquire) == 1;
}

}  // namespace zelor::common::ipc
