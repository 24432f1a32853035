#pragma once

#include <cstdint>

// The kernel's own log queues: channels 8 to 11 of the logging channels.
// Information lines go to channels 8 and 9 without waiting; a queue that is
// not open or is full drops the line.

inline constexpr int kAlgsLogSlots = 4;
inline constexpr int kAlgsLogFirstChannel = 8;
inline constexpr int kAlgsLogTextSize = 2048;
// Longest information line, prefix included.
inline constexpr int kAlgsInfoMaxChars = 254;
inline constexpr int kAlgsLogQueueBytes = 10240;

class AlgsLogs {
 public:
  static AlgsLogs& Instance();

  // Opens (creating when needed) the queue of each slot still closed and sets
  // its byte limit; a queue that cannot be opened leaves its slot closed.
  void Open();

  // "[INFO][path@func()#line] " followed by the formatted text.
  void Info(const char* path, const char* func, int line, const char* fmt, ...)
      __attribute__((format(printf, 5, 6)));

  // The slot's queue id, -1 while closed.
  int QueueId(int slot) const;

 private:
  AlgsLogs() = default;

  // `type` and `text` form the message buffer handed to msgsnd.
  struct Slot {
    std::int32_t id = -1;
    long type = 1;
    char text[kAlgsLogTextSize] = {};
  };
  Slot slots_[kAlgsLogSlots];
};

#define ALGS_INFO(path, fmt, ...) AlgsLogs::Instance().Info(path, __func__, __LINE__, fmt __VA_OPT__(, ) __VA_ARGS__)
