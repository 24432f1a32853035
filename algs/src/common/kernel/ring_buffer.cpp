#include "common/kernel/ring_buffer.h"

#include <cstring>

namespace {

std::uint8_t* slot(const tagRingBuffer* ring, std::uint32_t index) {
  return ring->pool + static_cast<std::size_t>(ring->elemSize) * index;
}

}  // namespace

void RingBufferInit(tagRingBuffer* ring, void* pool, std::uint32_t capacity, std::uint32_t elemSize) {
  ring->pool = static_cast<std::uint8_t*>(pool);
  ring->capacity = capacity;
  ring->elemSize = elemSize;
  ring->isEmpty = 1;
  ring->isFull = 0;
  ring->count = 0;
  ring->readIndex = 0;
  ring->writeIndex = 0;
  ring->dequeuedTotal = 1;
  ring->enqueuedTotal = 1;
}

void RingBufferClear(tagRingBuffer* ring) {
  ring->isEmpty = 1;
  ring->isFull = 0;
  ring->count = 0;
  ring->readIndex = 0;
  ring->writeIndex = 0;
  ring->dequeuedTotal = ring->enqueuedTotal;
}

void RingBufferEnqueue(tagRingBuffer* ring, const void* elem) {
  if (ring->capacity == 0) return;  // never set up
  if (elem != nullptr) std::memcpy(slot(ring, ring->writeIndex), elem, ring->elemSize);
  ring->writeIndex = (ring->writeIndex + 1) % ring->capacity;
  ++ring->enqueuedTotal;
  ++ring->count;
  ring->isEmpty = 0;
  ring->isFull = ring->count == ring->capacity ? 1 : 0;
}

void RingBufferDequeue(tagRingBuffer* ring, void* out) {
  if (ring->capacity == 0) return;
  if (out != nullptr) std::memcpy(out, slot(ring, ring->readIndex), ring->elemSize);
  ring->readIndex = (ring->readIndex + 1) % ring->capacity;
  ++ring->dequeuedTotal;
  --ring->count;
  ring->isEmpty = ring->count == 0 ? 1 : 0;
  ring->isFull = 0;
}

void RingBufferMdqueue(tagRingBuffer* ring, const void* elem, std::uint32_t offset) {
  if (ring->capacity == 0 || elem == nullptr) return;
  std::memcpy(RingBufferAt(ring, offset), elem, ring->elemSize);
}
