#pragma once

// A libmodbus TCP master on 127.0.0.1:502 for tests of the data server's slave.

#include <modbus.h>

#include <chrono>
#include <thread>

namespace zelor::test {

class ModbusMaster {
 public:
  // Connects, retrying for up to `wait` while the slave starts.
  explicit ModbusMaster(std::chrono::milliseconds wait = std::chrono::milliseconds(3000)) {
    const auto until = std::chrono::steady_clock::now() + wait;
    do {
      ctx_ = modbus_new_tcp("127.0.0.1", 502);
      modbus_set_response_timeout(ctx_, 1, 0);
      if (modbus_connect(ctx_) == 0) return;
      modbus_free(ctx_);
      ctx_ = nullptr;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < until);
  }
  ~ModbusMaster() { disconnect(); }
  ModbusMaster(const ModbusMaster&) = delete;
  ModbusMaster& operator=(const ModbusMaster&) = delete;

  bool connected() const { return ctx_ != nullptr; }
  modbus_t* ctx() { return ctx_; }
  void disconnect() {
    if (ctx_ == nullptr) return;
    modbus_close(ctx_);
    modbus_free(ctx_);
    ctx_ = nullptr;
  }

  // Reads count input registers from first in requests of at most 125.
  bool readInputs(int first, int count, std::uint16_t* dst) {
    while (count > 0) {
      const int n = count > 125 ? 125 : count;
      if (modbus_read_input_registers(ctx_, first, n, dst) != n) return false;
      first += n;
      dst += n;
      count -= n;
    }
    return true;
  }

 private:
  modbus_t* ctx_ = nullptr;
};

}  // namespace zelor::test
