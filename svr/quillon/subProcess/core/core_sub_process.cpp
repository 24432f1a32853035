#include "subProcess/core/core_sub_process.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "log/line_log.h"
#include "subProcess/core/core_calls.h"
#include "subProcess/core/core_callbacks.h"

extern "C" {
core_interface* g_coreInterface = nullptr;
}

std::atomic<std::uint8_t> CoreSubProcess::IsInMainLoop{0};

namespace {

std::atomic<CoreSubProcess*> gCore{nullptr};

// The ring size comes from an editable file; a size that cannot make a ring
// takes the default.
int checkedQueueSize(int queueSize) {
  if (queueSize >= 1 && queueSize <= CoreSubProcess::kMaxQueueSize) return queueSize;
  ZLOG_ERROR("packet_size %d out of 1..%d, using %d", queueSize, CoreSubProcess::kMaxQueueSize,
             CoreSubProcess::kDefaultQueueSize);
  return CoreSubProcess::kDefaultQueueSize;
}

}  // namespace

CoreSubProcess* CoreSubProcess::current() { return gCore.load(); }

CoreSubProcess::CoreSubProcess(int queueSize, void* rtsParam)
    : param_{checkedQueueSize(queueSize), rtsParam},
      pending_(param_.queueSize),
      unused_(param_.queueSize),
      pool_(param_.queueSize) {
  fillCoreCallbacks(table_);
  g_coreInterface = &table_;
  gCore.store(this);
}

CoreSubProcess::~CoreSubProcess() {
  stop();
  CoreSubProcess* self = this;
  gCore.compare_exchange_strong(self, nullptr);
  if (g_coreInterface == &table_) g_coreInterface = nullptr;
}

void CoreSubProcess::start() {
  mailbox_.setRunning(true);
  logDrain_.start();
  std::lock_guard<zelor::common::ipc::PiMutex> lock(callMutex_);
  startKernel(param_.rtsParam, &table_);
}

void CoreSubProcess::stop() {
  mailbox_.setRunning(false);
  mailbox_.wake();
  status_ = kNotRunning;
  IsInMainLoop.store(0);
  logDrain_.stop();
}

void CoreSubProcess::interCall(int id, void* in, void* out, void** ret) {
  std::lock_guard<zelor::common::ipc::PiMutex> lock(callMutex_);
  const CoreCall* call = findCoreCall(id);
  if (call == nullptr) {
    ZLOG_ERROR("Can't find methid id:%d", id);
    return;
  }
  if (call->needsParams && status_ != kRunning) return;
  call->run(*this, in, out, ret);
}

int CoreSubProcess::processProtocolPacket(int id, char* src, int srcLen, char* dst, int* dstLen, int timeoutUs) {
  return mailbox_.exchange(id, src, srcLen, dst, dstLen, timeoutUs);
}

void CoreSubProcess::freePackage(Packet* p) {
  if (p == nullptr) return;
  std::lock_guard<std::mutex> lock(pool_.mutex());
  if (!pool_.push(p)) std::free(p);
}

Packet* CoreSubProcess::allocPackage() {
  Packet* p = nullptr;
  {
    std::lock_guard<std::mutex> lock(pool_.mutex());
    p = pool_.pop();
  }
  if (p == nullptr) {
    p = static_cast<Packet*>(std::malloc(sizeof(Packet)));
    if (p == nullptr) {
      ZLOG_CRTCL("malloc %s!", std::strerror(errno));
      std::exit(1);
    }
  }
  std::memset(p, 0, sizeof(Packet));
  return p;
}

void CoreSubProcess::clearPackageQueue() {
  for (;;) {
    Packet* p = nullptr;
    {
      std::lock_guard<std::mutex> lock(pending_.mutex());
      p = pending_.pop();
    }
    if (p == nullptr) return;
    freePackage(p);
  }
}
