#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "axes_drive/sim_axes_group.h"
#include "plc_host/core_mailbox.h"
#include "plc_host/cycle_durations.h"
#include "plc_host/fifo_log_copy.h"
#include "plc_host/host_segment.h"
#include "plc_host/kernel_library.h"
#include "plc_host/packet_endpoint.h"
#include "plc_host/quillon_library.h"
#include "plc_host/vantrel_side.h"

namespace zelor::sim {

struct PlcHostOptions {
  key_t segmentKey = 0;
  std::string socketPath;          // empty: no packet endpoint
  std::vector<std::uint8_t> block;  // the robot parameter block (712 bytes)
  bool loadProject = false;        // build the project reader first
  std::string logFile;             // also append the kernel's lines here
  KernelLibraryPaths libraries;
  SimAxesGroup::Config drive;

  // Data-server mode: libquillon at this path is driven through its entry
  // points instead of libvantrel through its C interface (no mailbox, no
  // packet endpoint; packets take the data server's own roads).
  std::string dataServer;
  std::string fifoLog;  // where the data server's standard output is copied
  off_t fifoLogMaxBytes = FifoLogCopy::kDefaultMaxBytes;
  bool pcMode = false;  // the status record's mode word: 1 instead of 0
  // A libvantrel loaded before libquillon, which then takes it for its own
  // (the recording kernel); empty: the one libquillon finds.
  std::string dataServerKernel;
};

// Stand-in for the PLC runtime: it owns the host records in a shared-memory
// segment and steps the simulated drives each cycle. Either it loads
// libvantrel with a stand-in of the data server's core (the kernel's cycle,
// packets through a one-slot mailbox), or, in data-server mode, the real
// libquillon, whose entry points it calls as the PLC runtime does.
class PlcHost {
 public:
  static constexpr std::int64_t kPeriodNs = 4000000;
  static constexpr int kReplyCycles = 500;  // 2 s of cycles

  explicit PlcHost(PlcHostOptions options);
  ~PlcHost();
  PlcHost(const PlcHost&) = delete;
  PlcHost& operator=(const PlcHost&) = delete;

  bool Start(std::string& error);
  // One cycle: drives, input image in, kernel cycle, output image out, status.
  void Cycle();
  // Cycles until `stop` is set (or `maxCycles` ran, when not 0): as fast as
  // possible, or every 4 ms on the monotonic clock.
  void Run(bool realTime, const std::atomic<bool>& stop, std::uint64_t maxCycles = 0);
  // One client exchange through the mailbox: while Run cycles, waits up to
  // 2 s; otherwise steps up to kReplyCycles cycles itself. False on time-out.
  bool Call(const Packet& request, Packet& reply);
  // Releases the driven side (RTSReleaseRobot in data-server mode) once.
  void Release();
  void Stop();

  // The kernel's exports, never while a cycle runs (not in data-server mode).
  template <typename F>
  auto WithKernel(F f) {
    std::lock_guard<std::mutex> lock(kernelMutex_);
    return f(api_);
  }

  PlcHostRecords& records() { return *segment_.records(); }
  SimAxesGroup& drive() { return *drive_; }
  CoreMailbox& mailbox() { return mailbox_; }
  std::uint64_t cycles() const { return cycles_.load(); }
  std::uint64_t overruns() const { return overruns_.load(); }
  bool dataServerMode() const { return !options_.dataServer.empty(); }
  // Durations of the data server's robot cycle call (data-server mode).
  const CycleDurations& durations() const { return durations_; }
  // libvantrel's collision-detection switch; -1 when it cannot be read.
  int collisionSwitch() const;

 private:
  void cycleLocked();
  bool startDataServer(std::string& error);

  PlcHostOptions options_;
  VantrelApi api_{};
  QuillonApi quillon_{};
  FifoLogCopy fifoCopy_;
  CycleDurations durations_;
  CoreMailbox mailbox_;
  HostSegment segment_;
  std::unique_ptr<SimAxesGroup> drive_;
  std::unique_ptr<DrivenSide> side_;
  PacketEndpoint endpoint_;
  std::mutex kernelMutex_;
  std::atomic<bool> running_{false};
  std::atomic<std::uint64_t> cycles_{0};
  std::atomic<std::uint64_t> overruns_{0};
  bool started_ = false;
};

// The default parameter block: the test tree's fixture arm.
std::vector<std::uint8_t> FixtureBlock();

}  // namespace zelor::sim
