#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "common/ipc/pi_mutex.h"
#include "common/kernel/core_interface.h"
#include "subProcess/core/kernel_log_drain.h"
#include "subProcess/core/packet_mailbox.h"
#include "subProcess/core/packet_ring.h"
#include "subProcess/i_sub_process.h"
#include "zelor_export.h"

// The data server's one road into the motion kernel: the kernel's cycle and
// calls (interCall, one at a time), the packet mailbox, and the callback table
// the kernel is given at start.
class CoreSubProcess : public ISubProcess {
 public:
  static constexpr int kDefaultQueueSize = 20;
  static constexpr int kMaxQueueSize = 65535;

  CoreSubProcess(int queueSize, void* rtsParam);
  ~CoreSubProcess() override;

  void start() override;
  void stop() override;
  const void* getParam() const override { return &param_; }
  void interCall(int id, void* in, void* out, void** ret) override;

  // One packet through the mailbox; timeoutUs shortens its 2 s wait.
  int processProtocolPacket(int id, char* src, int srcLen, char* dst, int* dstLen,
                            int timeoutUs = PacketMailbox::kTimeoutUs);

  // 1 while the kernel cycles; read by the HTTP thread.
  static std::atomic<std::uint8_t> IsInMainLoop;
  // The core the callbacks reach (the last one built), or null.
  static CoreSubProcess* current();

  // The callback table's operations.
  int getPackage(Packet* dst) { return mailbox_.fetch(dst); }
  void sendPackage(const Packet* src) { mailbox_.answer(src); }
  void freePackage(Packet* p);
  Packet* allocPackage();
  void clearPackageQueue();

  int queueSize() const { return param_.queueSize; }
  core_interface* table() { return &table_; }

  // The interCall table's rows reach these.
  void* rtsParam() const { return param_.rtsParam; }
  void setRunningStatus() { status_ = kRunning; }

  // Serialises every kernel call, the cycle's included. It inherits priority:
  // a caller of normal priority that holds it runs at the cycle's priority
  // while the cycle waits for it.
  zelor::common::ipc::PiMutex& callMutex() { return callMutex_; }

 private:
  struct Param {
    int queueSize;
    void* rtsParam;
  } param_;

  PacketRing pending_;
  PacketRing unused_;  // built and released with the others, never filled
  PacketRing pool_;
  core_interface table_{};
  zelor::common::ipc::PiMutex callMutex_;
  PacketMailbox mailbox_;
  // Writes the kernel's log lines into the data server's log while started.
  KernelLogDrain logDrain_{kernelLogRing()};
};

// The process-wide callback table handed to the kernel.
extern "C" ZELOR_EXPORT core_interface* g_coreInterface;
