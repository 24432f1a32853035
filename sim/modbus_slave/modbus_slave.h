#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

typedef struct _modbus modbus_t;
typedef struct _modbus_mapping_t modbus_mapping_t;

namespace zelor::sim {

// A Modbus TCP slave (coils, discrete inputs, holding and input registers)
// serving several masters at once from its own thread: the stand-in for the
// remote devices and the other robots' controllers the system talks to.
class ModbusSlave {
 public:
  struct Tables {
    int coils = 10000;
    int discreteInputs = 10000;
    int holdingRegisters = 10000;
    int inputRegisters = 10000;
  };

  ModbusSlave(std::string ip, int port);
  ModbusSlave(std::string ip, int port, Tables tables);
  ~ModbusSlave();
  ModbusSlave(const ModbusSlave&) = delete;
  ModbusSlave& operator=(const ModbusSlave&) = delete;

  // Listens and serves until stop(); false when the port cannot be bound.
  // The tables keep their values across stop() and start().
  bool start();
  // Closes the listener and every connection; masters see their transfers fail.
  void stop();
  bool running() const { return running_; }

  // Table access for the test, safe while masters are served.
  std::uint16_t holding(int address);
  void setHolding(int address, std::uint16_t value);
  std::uint16_t input(int address);
  void setInput(int address, std::uint16_t value);
  bool coil(int address);
  void setCoil(int address, bool value);
  bool discreteInput(int address);
  void setDiscreteInput(int address, bool value);
  // Number of requests answered so far.
  long requests() const { return requests_; }
  // Silent: connections are accepted and requests read, never answered.
  void setSilent(bool silent) { silent_ = silent; }
  // Each answer waits this long first.
  void setAnswerDelay(std::chrono::milliseconds delay) { delayMs_ = delay.count(); }

 private:
  void serve(int listener);

  std::string ip_;
  int port_;
  modbus_t* ctx_ = nullptr;
  modbus_mapping_t* map_ = nullptr;
  std::mutex mapMutex_;
  std::thread thread_;
  std::atomic<bool> running_{false};
  std::atomic<long> requests_{0};
  std::atomic<bool> silent_{false};
  std::atomic<long> delayMs_{0};
  int wakeup_[2] = {-1, -1};
};

}  // namespace zelor::sim
