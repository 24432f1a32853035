#include <cerrno>
#include <cstdio>
#include <cstring>
#include <chrono>
#include <thread>

#include "common/network/local_socket.h"
#include "modbus/modbus_srv.h"

namespace {

constexpr int kBaud = 115200;
constexpr int kRtuSlave = 1;
constexpr std::uint32_t kResponseTimeoutUs = 80000;
constexpr std::chrono::milliseconds kErrorPause{100};
// A receive gives up waiting for a request this often, so a stop is seen.
constexpr std::uint32_t kStopCheckUs = 200000;

}  // namespace

void ModbusSrv::rtuServerProcess() {
  rtuCtx_ = modbus_new_rtu(kRtuDevice, kBaud, 'N', 8, 1);
  if (rtuCtx_ == nullptr) {
    std::fprintf(stderr, "[%s] cannot create the RTU context on %s: %s\n", __func__, kRtuDevice,
                 modbus_strerror(errno));
    return;
  }
  modbus_set_slave(rtuCtx_, kRtuSlave);
  modbus_set_response_timeout(rtuCtx_, 0, kResponseTimeoutUs);
  modbus_set_indication_timeout(rtuCtx_, 0, kStopCheckUs);
  if (modbus_connect(rtuCtx_) == -1) {
    // Without the line every receive would fail at once: end here.
    std::fprintf(stderr, "[%s] cannot open %s: %s\n", __func__, kRtuDevice, modbus_strerror(errno));
    modbus_free(rtuCtx_);
    rtuCtx_ = nullptr;
    return;
  }
  if (modbus_rtu_set_serial_mode(rtuCtx_, MODBUS_RTU_RS485) == -1) {
    std::printf("[%s] RS-485 mode not set on %s: %s\n", __func__, kRtuDevice, modbus_strerror(errno));
  }
  modbus_mapping_t* mapping = modbus_mapping_new(kRtuTableEntries, kRtuTableEntries, kRtuTableEntries,
                                                 kRtuTableEntries);
  if (mapping == nullptr) {
    std::fprintf(stderr, "Failed to allocate the mapping: %s\n", modbus_strerror(errno));
    modbus_close(rtuCtx_);
    modbus_free(rtuCtx_);
    rtuCtx_ = nullptr;
    return;
  }
  rtuTables_.store(mapping, std::memory_order_release);

  std::uint8_t query[MODBUS_RTU_MAX_ADU_LENGTH];
  while (!stopping_.load()) {
    std::memset(query, 0, sizeof query);
    std::printf("start modbus_receive ...\n");
    std::fflush(stdout);
    int rc = 0;
    do {
      rc = modbus_receive(rtuCtx_, query);
      // A time-out only means no request came: look at the stop flag.
    } while ((rc == 0 || (rc == -1 && errno == ETIMEDOUT)) && !stopping_.load());
    if (stopping_.load()) break;
    if (rc > 0) {
      std::printf("modbus_receive rc = %d ...\n", rc);
      modbus_reply(rtuCtx_, query, rc, mapping);
    } else if (errno == EMBBADCRC) {
      std::printf(" ***** modbus receive rc: %d, errno: %d ***** \n", rc, errno);
    } else {
      // A line in error fails every receive at once: do not spin on it.
      std::this_thread::sleep_for(kErrorPause);
    }
  }
  {
    // The status service reads the tables under this mutex.
    std::lock_guard<std::mutex> lock(statusMutex_);
    rtuTables_.store(nullptr, std::memory_order_release);
  }
  modbus_mapping_free(mapping);
  modbus_close(rtuCtx_);
  modbus_free(rtuCtx_);
  rtuCtx_ = nullptr;
}

void ModbusSrv::rtuStatusProcess() {
  if (statusSocket_->startServer() != 0) {
    std::printf("[%s] status service cannot listen: %s\n", __func__, std::strerror(errno));
    return;
  }
  statusSocket_->runListener(this, &ModbusSrv::statusHandler);
}

void ModbusSrv::statusHandler(void* context, int clientFd, const std::uint8_t* request, std::size_t length) {
  auto* self = static_cast<ModbusSrv*>(context);
  std::lock_guard<std::mutex> lock(self->statusMutex_);
  const int n = buildStatusReply(request, length, self->rtuTables_.load(std::memory_order_acquire), self->reply_);
  std::fflush(stdout);
  if (n > 0) zelor::common::network::LocalSocket::sendAll(clientFd, self->reply_, static_cast<std::size_t>(n));
}
