#include "modbus_slave/modbus_slave.h"

#include <modbus.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <utility>
#include <vector>

namespace zelor::sim {

ModbusSlave::ModbusSlave(std::string ip, int port) : ModbusSlave(std::move(ip), port, Tables{}) {}

ModbusSlave::ModbusSlave(std::string ip, int port, Tables tables) : ip_(std::move(ip)), port_(port) {
  map_ = modbus_mapping_new(tables.coils, tables.discreteInputs, tables.holdingRegisters,
                            tables.inputRegisters);
}

ModbusSlave::~ModbusSlave() {
  stop();
  modbus_mapping_free(map_);
}

bool ModbusSlave::start() {
  if (running_ || map_ == nullptr) return running_;
  ctx_ = modbus_new_tcp(ip_.c_str(), port_);
  if (ctx_ == nullptr) return false;
  const int listener = modbus_tcp_listen(ctx_, 16);
  if (listener < 0 || pipe(wakeup_) != 0) {
    if (listener >= 0) close(listener);
    modbus_free(ctx_);
    ctx_ = nullptr;
    return false;
  }
  running_ = true;
  thread_ = std::thread(&ModbusSlave::serve, this, listener);
  return true;
}

void ModbusSlave::stop() {
  if (!running_) return;
  running_ = false;
  (void)!write(wakeup_[1], "x", 1);
  thread_.join();
  close(wakeup_[0]);
  close(wakeup_[1]);
  modbus_free(ctx_);
  ctx_ = nullptr;
}

void ModbusSlave::serve(int listener) {
  std::vector<pollfd> fds{{wakeup_[0], POLLIN, 0}, {listener, POLLIN, 0}};
  std::uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
  while (running_) {
    if (poll(fds.data(), fds.size(), 500) <= 0) continue;
    if (fds[0].revents) break;
    if (fds[1].revents & POLLIN) {
      const int client = accept(listener, nullptr, nullptr);
      if (client >= 0) fds.push_back({client, POLLIN, 0});
    }
    for (std::size_t i = 2; i < fds.size();) {
      if (fds[i].revents == 0) {
        ++i;
        continue;
      }
      modbus_set_socket(ctx_, fds[i].fd);
      const int length = modbus_receive(ctx_, query);
      if (length > 0 && !silent_) {
        if (delayMs_ > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delayMs_.load()));
        std::lock_guard<std::mutex> lock(mapMutex_);
        modbus_reply(ctx_, query, length, map_);
        ++requests_;
      }
      if (length < 0) {
        close(fds[i].fd);
        fds.erase(fds.begin() + static_cast<long>(i));
        continue;
      }
      ++i;
    }
  }
  for (std::size_t i = 1; i < fds.size(); ++i) close(fds[i].fd);
}

std::uint16_t ModbusSlave::holding(int address) {
  std::lock_guard<std::mutex> lock(mapMutex_);
  return map_->tab_registers[address];
}

void ModbusSlave::setHolding(int address, std::uint16_t value) {
  std::lock_guard<std::mutex> lock(mapMutex_);
  map_->tab_registers[address] = value;
}

std::uint16_t ModbusSlave::input(int address) {
  std::lock_guard<std::mutex> lock(mapMutex_);
  return map_->tab_input_registers[address];
}

void ModbusSlave::setInput(int address, std::uint16_t value) {
  std::lock_guard<std::mutex> lock(mapMutex_);
  map_->tab_input_registers[address] = value;
}

bool ModbusSlave::coil(int address) {
  std::lock_guard<std::mutex> lock(mapMutex_);
  return map_->tab_bits[address] != 0;
}

void ModbusSlave::setCoil(int address, bool value) {
  std::lock_guard<std::mutex> lock(mapMutex_);
  map_->tab_bits[address] = value ? 1 : 0;
}

bool ModbusSlave::discreteInput(int address) {
  std::lock_guard<std::mutex> lock(mapMutex_);
  return map_->tab_input_bits[address] != 0;
}

void ModbusSlave::setDiscreteInput(int address, bool value) {
  std::lock_guard<std::mutex> lock(mapMutex_);
  map_->tab_input_bits[address] = value ? 1 : 0;
}

}  // namespace zelor::sim
