#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

class KernelLogRing;

// The reader of the kernel's log ring, outside the cycle: every period it
// hands the lines waiting in the ring to the line forward (when one is set)
// and writes them into the data server's log, and says
// once per drain how many lines the ring lost since the last report.
class KernelLogDrain {
 public:
  static constexpr int kPeriodMs = 20;

  explicit KernelLogDrain(KernelLogRing& ring) : ring_(ring) {}
  ~KernelLogDrain() { stop(); }
  KernelLogDrain(const KernelLogDrain&) = delete;
  KernelLogDrain& operator=(const KernelLogDrain&) = delete;

  // Starts the thread (once; a running drain is left alone).
  void start();
  // Stops and joins the thread, after a last drain.
  void stop();
  // Writes what the ring holds now; the thread calls it every period.
  void drainOnce();

 private:
  void run();

  KernelLogRing& ring_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::thread thread_;
  std::uint64_t reportedDropped_ = 0;
};

// The process-wide ring that the kernel's log callback fills.
KernelLogRing& kernelLogRing();

// Where every drained line also goes, as the kernel wrote it (the debug
// stream); the receiver must not wait. Null clears it. Returns once no drain
// uses the previous receiver any more.
using KernelLineForward = void (*)(void* context, const char* line);
void setKernelLineForward(void* context, KernelLineForward forward);
