// Text commands that need the data sub-process: alarms, collision, payload
// and brakes.
#include <json/value.h>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "common/ipc/robot_map.h"
#include "common/ipc/robot_map_layout.h"
#include "common/protocol/axes_group_ref.h"
#include "exchange/tcp_control.h"
#include "json/parameter_globals.h"
#include "robot_states/robot_states.h"
#include "subProcess/core/core_sub_process.h"
#include "subProcess/data/data_sub_process.h"
#include "subProcess/factory_access.h"

namespace {

constexpr int kCoreAlarms = 8;
constexpr int kAlarmBytes = 32;
constexpr int kJoints = 4;
constexpr int kCollisionAlarm = -2;
constexpr std::uint32_t kAuxQuery = 14;
constexpr std::uint16_t kAuxWordBit = 1u << 2;
constexpr int kAuxAlarmBase = 20480;
constexpr int kAuxStatusBits = 8;
constexpr int kMaxLoadNumbers = 4;
constexpr double kMaxMass = 20.0;

std::uint32_t loadWord(std::uint32_t& w) { return std::atomic_ref<std::uint32_t>(w).load(std::memory_order_relaxed); }
void storeWord(std::uint32_t& w, std::uint32_t v) {
  std::atomic_ref<std::uint32_t>(w).store(v, std::memory_order_relaxed);
}

DataSubProcess* dataSubProcess() {
  return static_cast<DataSubProcess*>(subProcessFactory().getInterface(ISubProcess::DATA));
}

// The host's record, or null before the first monitor call.
AxesGroupRef* robotRecord(DataSubProcess* data) { return data != nullptr ? data->robotData() : nullptr; }

// The comma-separated pieces of an argument list, empty ones skipped.
std::vector<std::string> pieces(const std::string& arguments) {
  std::vector<std::string> out;
  std::size_t at = 0;
  while (at <= arguments.size()) {
    std::size_t end = arguments.find(',', at);
    if (end == std::string::npos) end = arguments.size();
    if (end > at) out.push_back(arguments.substr(at, end - at));
    at = end + 1;
  }
  return out;
}

bool onlySpaces(const char* p) {
  while (*p == ' ' || *p == '\t') ++p;
  return *p == '\0';
}

// A piece that is one number and nothing else.
bool wholeDouble(const std::string& piece, double& value) {
  char* end = nullptr;
  value = std::strtod(piece.c_str(), &end);
  return end != piece.c_str() && onlySpaces(end);
}

bool wholeInt(const std::string& piece, long& value) {
  char* end = nullptr;
  errno = 0;
  value = std::strtol(piece.c_str(), &end, 10);
  return end != piece.c_str() && errno == 0 && onlySpaces(end);
}

// The auxiliary axis's code and status bits (sub-command 14).
struct AuxStatus {
  std::uint16_t code = 0;
  std::uint16_t bits = 0;
};

AuxStatus queryAuxAxis(DataSubProcess& data) {
  AuxStatus status;
  Packet* reply = data.alloc_GetExterAxisCmd(stTramletCmd{kAuxQuery, {0}, 0}, 0);
  if (reply == nullptr) {
    std::printf("[GetErrorID] alloc_GetExterAxisCmd() error\n");
    return status;
  }
  const int params = static_cast<int>(reply->length) - 2;
  std::uint32_t word = 0;
  if (params >= 2) std::memcpy(&status.code, reply->params, 2);
  if (params >= 4) std::memcpy(&status.bits, reply->params + 2, 2);
  if (params >= 8) std::memcpy(&word, reply->params + 4, 4);
  if (word != 0) status.bits |= kAuxWordBit;
  data.freePluginPacket(reply);
  return status;
}

}  // namespace

void tcpControl::handle_remote_control_GetErrorID(std::string&, std::string& reply) {
  DataSubProcess* data = dataSubProcess();
  AxesGroupRef* record = robotRecord(data);

  Json::Value controller(Json::arrayValue);
  const bool collision = record != nullptr && loadWord(record->m_CollisionWord) != 0;
  if (collision) controller.append(kCollisionAlarm);
  int first = 0;
  bool haveFirst = false;
  auto add = [&](int id) {
    controller.append(id);
    if (!haveFirst) {
      first = id;
      haveFirst = true;
    }
  };
  if (CoreSubProcess::IsInMainLoop.load() == 1) {
    if (ISubProcess* core = subProcessFactory().getInterface(ISubProcess::CORE)) {
      std::uint8_t bytes[kAlarmBytes] = {};
      core->interCall(kCoreAlarms, nullptr, bytes, nullptr);
      for (int k = 0; k < kAlarmBytes; ++k) {
        for (int j = 0; j < 8; ++j) {
          if ((bytes[k] >> j) & 1) add(8 * k + j);
        }
      }
    }
  }
  if (data != nullptr) {
    for (int id : data->getAlarmSet()) add(id);
  }

  Json::Value aux(Json::arrayValue);
  if (data != nullptr && data->jsonReader.extAxis.auxJoint) {
    const AuxStatus status = queryAuxAxis(*data);
    for (int k = 0; k < kAuxStatusBits; ++k) {
      if ((status.bits >> k) & 1) controller.append(kAuxAlarmBase + k);
    }
    if (status.code != 0) {
      aux.append(status.code);
    } else if (status.bits != 0) {
      aux = Json::Value(Json::nullValue);
    }
  }

  Json::Value root(Json::arrayValue);
  root.append(controller);
  for (int j = 0; j < kJoints; ++j) {
    Json::Value servo(Json::arrayValue);
    const std::uint32_t error = record != nullptr ? loadWord(record->m_Joints[j].m_ErrorCode) : 0;
    if (error != 0) servo.append(Json::UInt(error));
    root.append(servo);
  }
  root.append(aux);
  reply = root.toStyledString();
  RobotStates::Instance().SetAlarm(static_cast<std::uint16_t>(collision || !haveFirst ? 0 : first));
}

void tcpControl::handle_remote_control_ClearCollision(std::string&, std::string& reply) {
  std::printf("[%s] enter ... \n", __func__);
  std::uint32_t previous = 0;
  if (AxesGroupRef* record = robotRecord(dataSubProcess())) {
    previous = std::atomic_ref<std::uint32_t>(record->m_CollisionWord).exchange(0);
  }
  reply = "ClearCollision()";
  std::printf("%s: line:%d first_value:%d\n", __func__, __LINE__, static_cast<int>(previous));
  RobotStates::Instance().SetAlarm(0);
}

void tcpControl::handle_remote_control_SetLoad(std::string& arguments, std::string& reply) {
  std::printf("[%s] enter ... \n", __func__);
  double numbers[kMaxLoadNumbers] = {};
  int count = 0;
  bool finite = true;
  for (const std::string& piece : pieces(arguments)) {
    if (count == kMaxLoadNumbers) {
      reply = "-1";
      return;
    }
    double value = 0.0;
    if (!wholeDouble(piece, value)) {
      reply = "-1";
      return;
    }
    // NaN passes every range check, and the kernel reads the record each cycle.
    if (!std::isfinite(value) || std::fabs(value) > std::numeric_limits<float>::max()) finite = false;
    numbers[count++] = value;
  }
  if (count != 1 && count != kMaxLoadNumbers) {
    reply = "-1";
    return;
  }
  if (!finite || numbers[0] < 0.0 || numbers[0] > kMaxMass) {
    reply = "-2";
    return;
  }
  m_st_loadParams.loadValue = static_cast<float>(numbers[0]);
  if (count == kMaxLoadNumbers) {
    m_st_loadParams.inertiaX = static_cast<float>(numbers[1]);
    m_st_loadParams.inertiaY = static_cast<float>(numbers[2]);
    m_st_loadParams.inertiaZ = static_cast<float>(numbers[3]);
  }
  reply = "0";
}

void tcpControl::handle_remote_control_BrakeControl(std::string& arguments, std::string& reply) {
  std::printf("[%s] enter ... input = %s \n", __func__, arguments.c_str());
  reply = "-1";
  const std::vector<std::string> parts = pieces(arguments);
  long joint = -1;
  long state = 0;
  if (parts.size() != 2 || !wholeInt(parts[0], joint) || !wholeInt(parts[1], state)) return;
  if (joint < 0 || joint >= kJoints) return;
  AxesGroupRef* record = robotRecord(dataSubProcess());
  if (record == nullptr || robotMap::instance().loadWord(robot_map::kIsDisabled) == 0) return;
  const std::uint32_t word = state == 1 ? 1 : 0;
  storeWord(record->m_Joints[joint].m_ControlWord, word);
  reply = "0";
  std::printf("[%s] set joint %d brakestatus to %d \n", __func__, static_cast<int>(joint), static_cast<int>(word));
}
