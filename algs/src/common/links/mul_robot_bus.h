#pragma once

// The kernel's side of the multi-robot conveyor bus: robots along one conveyor
// share captured objects through a register block on the master robot's
// Modbus slave. Every robot runs a reader thread that caches new objects per
// slot and frees the slots its consumer has taken; the master also runs a
// publisher thread that writes queued objects into free slots.
//
// The control cycle meets the threads only through lock-free hand-offs (the
// publish queues and the slot caches), so a thread that is busy, preempted or
// stuck in a Modbus call can never hold up the cycle. The Modbus lock is the
// threads' own.

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "common/links/mul_robot_cache.h"
#include "common/links/mul_robot_config.h"
#include "common/links/mul_robot_object.h"
#include "common/links/mul_robot_queue.h"

typedef struct _modbus modbus_t;

namespace MulRobotConveyor {

class MulRobotBus {
 public:
  // Built on first use: loads the configuration and starts the threads.
  static MulRobotBus& Instance();
  // Stops and joins the threads before anything they use goes away.
  ~MulRobotBus();
  MulRobotBus(const MulRobotBus&) = delete;
  MulRobotBus& operator=(const MulRobotBus&) = delete;

  // Called from the control cycle (one thread): no lock, no Modbus traffic.
  int GetConfig(int& id, int& count) const;
  int UpdateObj(int slot, const ObjectData& obj);
  int ReadObj(int slot, ObjectData& obj);
  int ClearObj(int slot);
  int ClearAllCache();

  // Register access, used by the threads.
  int WriteModbus(int start, const ObjectData& obj);
  int ReadModbus(int start, std::uint16_t (&regs)[kSlotReadCount]);
  int ReadReg(int slot, ObjectData& obj);
  int ClearReg(int slot);
  bool IsUpdate(int slot);

 private:
  MulRobotBus();

  void StartThread(std::thread& thread, void (MulRobotBus::*body)(), const char* name);
  void SlaveProc();
  void MasterProc();
  void UpdateReg(int slot);
  void ClearAllSlots();

  // Blocks until connected (1 when connected) or until the bus stops (0).
  int Connect(const std::string& ip, int port);
  int writeRegister(int start, int count, const std::uint16_t* regs);
  int ReadRegister(int start, int count, std::uint16_t* regs);
  // With the Modbus lock held: closes and frees the context, goes offline.
  void DropLink(int line);

  // Waits, waking early when the bus stops; true when stopping.
  bool WaitStop(std::chrono::milliseconds period);
  bool Stopping() const { return stopping_.load(std::memory_order_acquire); }

  MulRobotConfig config_;

  // Filled by the cycle, emptied by the publisher.
  std::array<ObjectQueue, kSlotCount> queues_;
  // Filled by the reader, read and cleared by the cycle.
  std::array<SlotCache, kSlotCount> caches_;
  std::atomic<bool> clearAllRequest_{false};

  std::mutex modbusMutex_;
  modbus_t* ctx_ = nullptr;
  std::atomic<bool> online_{false};
  bool outageLogged_ = false;  // touched only by the reader thread, which connects

  std::mutex stopMutex_;
  std::condition_variable stopCv_;
  std::atomic<bool> stopping_{false};
  std::thread reader_;
  std::thread publisher_;
};

}  // namespace MulRobotConveyor
