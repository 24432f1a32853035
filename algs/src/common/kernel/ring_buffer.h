#pragma once

#include <cstddef>
#include <cstdint>

// Fixed-size ring over a caller-owned pool. The 64-bit totals never go back,
// so (enqueuedTotal at an enqueue) is a stable index of that element.
// Neither enqueue nor dequeue tests the flags: producers test isFull first,
// consumers isEmpty (or count).
#pragma pack(push, 1)
struct tagRingBuffer {
  std::uint8_t* pool;
  std::uint32_t capacity;
  std::uint32_t elemSize;
  std::uint8_t isEmpty;
  std::uint8_t isFull;
  std::uint32_t count;
  std::uint32_t readIndex;
  std::uint32_t writeIndex;
  std::uint64_t dequeuedTotal;
  std::uint64_t enqueuedTotal;
};
#pragma pack(pop)
static_assert(offsetof(tagRingBuffer, capacity) == sizeof(void*));
static_assert(offsetof(tagRingBuffer, isEmpty) == sizeof(void*) + 8);
static_assert(offsetof(tagRingBuffer, count) == sizeof(void*) + 10);
static_assert(offsetof(tagRingBuffer, dequeuedTotal) == sizeof(void*) + 22);
static_assert(sizeof(tagRingBuffer) == sizeof(void*) + 38);

extern "C" {

// Empty ring over the pool, both totals 1; the pool is not touched.
void RingBufferInit(tagRingBuffer* ring, void* pool, std::uint32_t capacity, std::uint32_t elemSize);
// Empties the ring; the index sequence continues where it stood.
void RingBufferClear(tagRingBuffer* ring);
// Copies elem into the slot at writeIndex (a null elem keeps the slot as the
// producer wrote it in place) and advances.
void RingBufferEnqueue(tagRingBuffer* ring, const void* elem);
// Copies the oldest element out (unless out is null) and advances.
void RingBufferDequeue(tagRingBuffer* ring, void* out);
// Overwrites the element `offset` places from the head; counters stay.
void RingBufferMdqueue(tagRingBuffer* ring, const void* elem, std::uint32_t offset);

}  // extern "C"

// The element `offset` places from the head, read in place.
inline std::uint8_t* RingBufferAt(const tagRingBuffer* ring, std::uint32_t offset) {
  return ring->pool + static_cast<std::size_t>(ring->elemSize) * ((ring->readIndex + offset) % ring->capacity);
}
