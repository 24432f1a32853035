#include <cstdio>
#include <cstring>

#include <event2/event.h>

#include "subProcess/data/data_log.h"
#include "subProcess/data/data_sub_process.h"
#include "subProcess/data/servo_payload_request.h"

namespace {
constexpr int kDuty200ms = -3;
constexpr int kDuty2s = -2;
constexpr int kWatchdogLimit = 4;
}  // namespace

void DataSubProcess::conn_timeout(int fd, short, void* arg) {
  auto* server = static_cast<DataSubProcess*>(arg);
  if (fd == kDuty2s) {
    if (!server->loopRun_.load()) {
      DATA_LOG(kError, "dataSubProcess is Stop, close http serve!!");
      DATA_LOG(kError, "dataSubProcess is Stop, close http serve!!");
      event_base_loopexit(server->base_, nullptr);
    }
    return;
  }
  if (fd == kDuty200ms) server->tick200ms();
  // The 50 ms relay of the remote Modbus IO comes with its own duty.
}

void DataSubProcess::tick200ms() {
  // The cyclic monitor's mode changes, logged away from the host's cycle.
  logMonitorChanges();
  // 1. Connection watchdog.
  if (connected_.load() != 0) {
    if (++connCounter_ > kWatchdogLimit) connected_ = 0;
  }
  // 2. Remote-control requests.
  checkRequest();
  // 3. Script end joins here with the background duties.
  // 4. Alarms.
  getAlarmStatus();
  // 5, 6. Collision output and panel clear-alarm join with their duties.
  // 7. Enable state.
  updateEnableWord();
  // 8-11. Stop input, switch change, command channel and network join with
  // the background duties.
  handleServoPayloadRequest();
}

void DataSubProcess::handleServoPayloadRequest() {
  if (payload_ == nullptr) return;
  std::uint8_t record[servo_payload::kRecordSize];
  std::memcpy(record, payload_, sizeof record);
  if (record[servo_payload::kFlagOffset] != 1) return;

  const servo_payload::Request request = servo_payload::read(record);
  int userSet = userDriverSet_.load();
  st_loadParams load = m_st_loadParams;
  std::string why;
  const servo_payload::Outcome outcome = servo_payload::apply(request, userSet, load, why);
  if (outcome == servo_payload::Outcome::Refused) {
    DATA_LOG(kError, "servo/payload request refused ({}): index {}, values {} {} {}, mass {}", why, request.index,
             request.value8, request.value12, request.value16, request.mass);
  } else {
    if (outcome == servo_payload::Outcome::Servo) {
      userDriverSet_ = userSet;
    } else {
      m_st_loadParams.loadValue = load.loadValue;
      m_st_loadParams.inertiaX = load.inertiaX;
      m_st_loadParams.inertiaY = load.inertiaY;
    }
    driverParamCal(this);
    const int level = driverLevel_.load();
    jsonReader.st_driver_load(level);
    driverChanged_ = 1;
    DATA_LOG(kInfo, "servo/payload request: index {}, values {} {} {}, mass {}; driver level {}", request.index,
             request.value8, request.value12, request.value16, request.mass, level);
  }
  payload_[servo_payload::kFlagOffset] = 0;
}

float DataSubProcess::driverParamCal(DataSubProcess* server) {
  float value = 0.0f;
  const int level = servo_payload::loadLevel(server->userDriverSet_.load(), m_st_loadParams,
                                             server->jsonReader.motoTypes, server->driverLevel_.load(), &value);
  server->driverLevel_ = level;
  const float x = m_st_loadParams.inertiaX;
  const float y = m_st_loadParams.inertiaY;
  return x * x + y * y;
}
