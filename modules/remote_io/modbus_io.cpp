#include "remote_io/modbus_io.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "common/router/message_router.h"
#include "install_paths.h"

namespace zelor::modules::router {

namespace {
using namespace std::chrono_literals;

constexpr int kCheckEvery = 50;
constexpr std::size_t kDoFrameBytes = 2 + 1 + ModbusIO::kImageBytes;
}  // namespace

ModbusIO* ModbusIO::Instance() {
  static ModbusIO instance;
  return &instance;
}

int ModbusIO::LoadModbusTCPConf(std::vector<ModbusTCPConf_t>& records) {
  return router::LoadModbusTCPConf(std::string(zelor::paths::kProjectDir) + "/settings/function/modbus_io_config.json",
                                   records);
}

void ModbusIO::Start() {
  count_ = LoadModbusTCPConf(confs_);
  if (count_ < 1 || count_ > kMaxSlaves) {
    std::puts("LoadModbusTCPConf err !!!!.");
    return;
  }
  std::printf(" ====== slave_number: %d ======\n", count_);
  for (int i = 0; i < count_; ++i) masters_.push_back(std::make_unique<ModbusMaster>());
  for (int i = 0; i < count_; ++i) {
    const ModbusTCPConf_t& conf = confs_[static_cast<std::size_t>(i)];
    std::printf("====== slave[%d] ip: %s, port: %d, id: %d ======\n", i, conf.ip, conf.port, conf.id);
    Connect(i);
  }
  workRun_ = 1;
  syncRun_ = 1;
  std::thread(&ModbusIO::SyncIOLoop, this).detach();
  std::thread(&ModbusIO::WorkLoop, this).detach();
}

void ModbusIO::writeStatus(std::uint8_t status) { MessageRouter::Instance()->Write(kStatusChannel, &status, 1); }

int ModbusIO::Connect(int slave) {
  if (slave < 0 || slave >= count_) return 0;
  ModbusMaster& master = *masters_[static_cast<std::size_t>(slave)];
  if (master.IsOnline()) return 1;
  const ModbusTCPConf_t& conf = confs_[static_cast<std::size_t>(slave)];
  std::printf("====== connect slave[%d] ip: %s, port: %d, id: %d ======\n", slave, conf.ip, conf.port, conf.id);
  const int result = master.Start(conf.ip, conf.port, conf.id) ? 1 : 0;
  writeStatus(static_cast<std::uint8_t>(result));
  return result;
}

void ModbusIO::SyncIO(int slave) {
  ModbusMaster& master = *masters_[static_cast<std::size_t>(slave)];
  const ModbusTCPConf_t& conf = confs_[static_cast<std::size_t>(slave)];
  if (!master.IsOnline() || conf.diNumber == 0) return;
  std::uint8_t bits[kBitsPerSlave] = {};
  if (master.readInputBits(conf.diAddr, conf.diNumber, bits) < 0) {
    master.UpdateOnline(false);
    return;
  }
  std::memcpy(diImage_ + static_cast<std::size_t>(slave) * kBitsPerSlave, bits, conf.diNumber);
}

void ModbusIO::SyncIOLoop() {
  const auto bytes = static_cast<unsigned short>(kBitsPerSlave * static_cast<std::size_t>(count_));
  while (syncRun_) {
    for (int i = 0; i < count_; ++i) SyncIO(i);
    MessageRouter::Instance()->Write(kDiChannel, diImage_, bytes);
    std::this_thread::sleep_for(20ms);
  }
}

int ModbusIO::CheckOnline() {
  int offline = 0;
  for (int i = 0; i < count_; ++i) {
    ModbusMaster& master = *masters_[static_cast<std::size_t>(i)];
    if (master.IsOnline()) continue;
    std::printf("slave [%d] is not online!!!, reconnect ......\n", i);
    Connect(i);
    if (master.IsOnline()) {
      writeStatus(1);
    } else {
      ++offline;
    }
  }
  if (offline == count_) {
    std::puts("!!! ALL SLAVE IS OFFLINE !!!");
    return 0;
  }
  return 1;
}

void ModbusIO::WorkLoop() {
  std::uint64_t pass = 0;
  bool recheck = false;
  std::uint8_t frame[kDoFrameBytes];
  while (workRun_) {
    ++pass;
    if (recheck || (pass > 1 && pass % kCheckEvery == 1)) {
      recheck = CheckOnline() == 0;
      if (recheck) {
        std::this_thread::sleep_for(5s);
        continue;
      }
    }
    const int got = MessageRouter::Instance()->ReadNoBlock(kDoChannel, frame, sizeof frame);
    if (got > 2) {
      const int length = (frame[0] << 8 | frame[1]);
      if (length >= 1 && length + 2 <= got && frame[2] == 0) HandleDO(frame + 3, length - 1);
    }
    std::this_thread::sleep_for(10ms);
  }
}

void ModbusIO::HandleDO(const std::uint8_t* image, int length) {
  for (int k = 0; kBitsPerSlave * k < length; ++k) {
    std::uint8_t area[kImageBytes] = {};
    const int offset = kBitsPerSlave * k;
    std::memcpy(area, image + offset, static_cast<std::size_t>(std::min<int>(kBitsPerSlave, length - offset)));
    if (k >= count_) continue;
    const ModbusTCPConf_t& conf = confs_[static_cast<std::size_t>(k)];
    if (conf.doNumber == 0) continue;
    ModbusMaster& master = *masters_[static_cast<std::size_t>(k)];
    if (master.writeCoils(conf.doAddr, conf.doNumber, area) < 0) {
      master.UpdateOnline(false);
      writeStatus(0);
    }
  }
}

}  // namespace zelor::modules::router
