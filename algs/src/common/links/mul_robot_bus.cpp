#include "common/links/mul_robot_bus.h"

#include <modbus.h>
#include <pthread.h>
#include <sched.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace MulRobotConveyor {

namespace {

using std::chrono::milliseconds;

constexpr int kThreadPriority = 30;
constexpr std::uint32_t kResponseTimeoutUs = 200000;
constexpr milliseconds kPassPeriod{50};
constexpr milliseconds kReconnectPause{1000};
constexpr milliseconds kOfflinePause{2000};

bool validSlot(int slot) { return slot >= 0 && slot < kSlotCount; }

}  // namespace

MulRobotBus& MulRobotBus::Instance() {
  static MulRobotBus bus;
  return bus;
}

MulRobotBus::MulRobotBus() : config_(LoadMulRobot(MulRobotConfigPath())) {
  if (config_.isMaster()) StartThread(publisher_, &MulRobotBus::MasterProc, "MasterProc");
  StartThread(reader_, &MulRobotBus::SlaveProc, "SlaveProc");
}

MulRobotBus::~MulRobotBus() {
  {
    std::lock_guard<std::mutex> lock(stopMutex_);
    stopping_.store(true, std::memory_order_release);
  }
  stopCv_.notify_all();
  if (reader_.joinable()) reader_.join();
  if (publisher_.joinable()) publisher_.join();
  std::lock_guard<std::mutex> lock(modbusMutex_);
  if (ctx_ != nullptr) {
    modbus_close(ctx_);
    modbus_free(ctx_);
    ctx_ = nullptr;
  }
}

void MulRobotBus::StartThread(std::thread& thread, void (MulRobotBus::*body)(), const char* name) {
  thread = std::thread(body, this);
  sched_param param{};
  param.sched_priority = kThreadPriority;
  const int rc = pthread_setschedparam(thread.native_handle(), SCHED_FIFO, &param);
  if (rc != 0) {
    std::printf("[MulRobotBus::StartThread] %s: SCHED_FIFO priority %d refused (%s), default policy\n", name,
                kThreadPriority, std::strerror(rc));
  }
}

bool MulRobotBus::WaitStop(milliseconds period) {
  std::unique_lock<std::mutex> lock(stopMutex_);
  return stopCv_.wait_for(lock, period, [this] { return Stopping(); });
}

int MulRobotBus::GetConfig(int& id, int& count) const {
  id = config_.robotId;
  count = config_.robotInLine;
  return id == 0 ? 0 : 1;
}

int MulRobotBus::UpdateObj(int slot, const ObjectData& obj) {
  if (!validSlot(slot)) return -1;
  if (queues_[slot].size() > 1000) return -1;
  return queues_[slot].push(obj) ? 0 : -1;
}

int MulRobotBus::ReadObj(int slot, ObjectData& obj) {
  if (!validSlot(slot)) return 1;
  return caches_[slot].Read(obj) ? 0 : 1;
}

int MulRobotBus::ClearObj(int slot) {
  if (!validSlot(slot)) return -1;
  caches_[slot].Clear();
  return 0;
}

int MulRobotBus::ClearAllCache() {
  ClearObj(config_.robotId - 1);
  if (config_.isMaster()) clearAllRequest_.store(true);
  return 0;
}

// ---- Modbus link ----------------------------------------------------------

int MulRobotBus::Connect(const std::string& ip, int port) {
  while (!Stopping()) {
    int error = 0;
    {
      std::lock_guard<std::mutex> lock(modbusMutex_);
      if (ctx_ == nullptr) {
        ctx_ = modbus_new_tcp(ip.c_str(), port);
        if (ctx_ == nullptr) {
          std::fprintf(stderr, "Unable to allocate libmodbus context\n");
        } else {
          modbus_set_response_timeout(ctx_, 0, kResponseTimeoutUs);
          modbus_set_slave(ctx_, config_.robotId);
        }
      }
      if (ctx_ != nullptr) {
        if (modbus_connect(ctx_) == 0) {
          online_.store(true);
          outageLogged_ = false;
          std::printf("[MulRobotBus::Connect] connect :ip :%s,port:%d success.\n", ip.c_str(), port);
          return 1;
        }
        error = errno;
      }
    }
    // Said once per outage; the retries go on quietly at the pause.
    if (error != 0 && !outageLogged_) {
      std::printf("connect failed:[%s].retry again...\n", std::strerror(error));
      outageLogged_ = true;
    }
    if (WaitStop(kReconnectPause)) break;
  }
  return 0;
}

void MulRobotBus::DropLink(int line) {
  modbus_close(ctx_);
  modbus_free(ctx_);
  ctx_ = nullptr;
  online_.store(false);
  std::printf("[MulRobotBus::ReadRegister] line: %d, is offline.\n", line);
}

int MulRobotBus::writeRegister(int start, int count, const std::uint16_t* regs) {
  std::lock_guard<std::mutex> lock(modbusMutex_);
  if (ctx_ == nullptr) return -1;
  const int rc = modbus_write_registers(ctx_, start, count, regs);
  if (rc != count) {
    DropLink(__LINE__);
    return -1;
  }
  return rc;
}

int MulRobotBus::ReadRegister(int start, int count, std::uint16_t* regs) {
  std::lock_guard<std::mutex> lock(modbusMutex_);
  if (ctx_ == nullptr) return -1;
  const int rc = modbus_read_registers(ctx_, start, count, regs);
  if (rc != count) {
    DropLink(__LINE__);
    return -1;
  }
  return rc;
}

int MulRobotBus::WriteModbus(int start, const ObjectData& obj) {
  if (!online_.load()) return -1;
  const SlotRegisters regs = ToRegisters(obj);
  std::uint16_t words[kSlotRegisterCount];
  std::memcpy(words, &regs, sizeof(words));
  return writeRegister(start, kSlotRegisterCount, words);
}

int MulRobotBus::ReadModbus(int start, std::uint16_t (&regs)[kSlotReadCount]) {
  if (!online_.load()) {
    std::printf("[MulRobotBus::ReadModbus] line: %d, is offline.\n", __LINE__);
    return -1;
  }
  const int rc = ReadRegister(start, kSlotReadCount, regs);
  if (rc < 0) {
    std::printf("[MulRobotBus::ReadModbus] line: %d, rc: %d.\n", __LINE__, rc);
    return -1;
  }
  return rc;
}

int MulRobotBus::ReadReg(int slot, ObjectData& obj) {
  std::uint16_t regs[kSlotReadCount];
  const int rc = ReadModbus(GetStartAddr(slot), regs);
  if (rc < 0) return rc;
  SlotRegisters slotRegs;
  std::memcpy(&slotRegs, regs, sizeof(slotRegs));
  obj = FromRegisters(slotRegs);
  return rc;
}

int MulRobotBus::ClearReg(int slot) {
  const std::uint16_t zeros[2] = {0, 0};
  std::printf("[MulRobotBus::ClearReg], index: %d\n", slot);
  return writeRegister(GetStartAddr(slot) + kAvailableRegister, 2, zeros) < 0 ? -1 : 0;
}

bool MulRobotBus::IsUpdate(int slot) {
  ObjectData obj{};
  if (ReadReg(slot, obj) < 0) {
    std::printf("[MulRobotBus::IsUpdate] ReadReg: ERROR \n");
    return false;
  }
  return obj.available == 0;
}

// ---- Threads ----------------------------------------------------------------

void MulRobotBus::SlaveProc() {
  if (!Connect(config_.masterAddr, kMasterPort)) return;
  while (!Stopping()) {
    for (int slot = 0; slot < config_.robotInLine && !Stopping(); ++slot) {
      SlotCache& cache = caches_[slot];
      // A clear that did not reach the master is kept; otherwise the taken
      // object would be read again once the link is back.
      if (cache.TakeClearRequest() && ClearReg(slot) < 0) cache.KeepClearRequest();
      ObjectData obj{};
      if (ReadReg(slot, obj) < 0) {
        if (!Connect(config_.masterAddr, kMasterPort) || WaitStop(kReconnectPause)) return;
        continue;
      }
      if (obj.available == 0) continue;
      if (cache.Offer(obj)) {
        std::printf("[MulRobotBus::SlaveProc], index: %d, ReadReg: [%f,%f,%f,%f,%d,%d]\n", slot, obj.x, obj.y,
                    obj.r, obj.encCount, obj.attribute, obj.available);
      }
    }
    if (WaitStop(kPassPeriod)) return;
  }
}

void MulRobotBus::MasterProc() {
  while (!Stopping()) {
    if (!online_.load()) {
      if (WaitStop(kOfflinePause)) return;
      continue;
    }
    for (int slot = 0; slot < config_.robotInLine && !Stopping(); ++slot) {
      if (IsUpdate(slot)) UpdateReg(slot);
    }
    if (clearAllRequest_.exchange(false)) ClearAllSlots();
    if (WaitStop(kPassPeriod)) return;
  }
}

void MulRobotBus::UpdateReg(int slot) {
  if (!validSlot(slot)) {
    std::printf("[%s,%d]get wrong index-%d\n", "UpdateReg", __LINE__, slot);
    return;
  }
  ObjectQueue& queue = queues_[slot];
  if (queue.empty()) return;
  const ObjectData obj = queue.front();
  const int start = GetStartAddr(slot);
  // Taken off the queue only once written, so a link lost mid-write loses nothing.
  if (WriteModbus(start, obj) < 0) return;
  queue.pop();
  std::printf("[MulRobotBus::UpdateReg] start_addr: 0x%4x, index:%d, Obj:[%f,%f,%f,%f,%d,%d] \n", start, slot,
              obj.x, obj.y, obj.r, obj.encCount, obj.attribute, obj.available);
}

// The queues are emptied first, then the slots written; objects the cycle
// queues meanwhile are published afterwards.
void MulRobotBus::ClearAllSlots() {
  for (ObjectQueue& queue : queues_) queue.clear();
  const ObjectData zero{};
  for (int slot = 0; slot < kSlotCount; ++slot) WriteModbus(GetStartAddr(slot), zero);
}

}  // namespace MulRobotConveyor
