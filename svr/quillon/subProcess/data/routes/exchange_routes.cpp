// protocol/exchange: the pendant's periodic poll. A POST applies the pendant's
// jog settings, frames, alarm acknowledgement, outputs and hardware flag;
// both POST and GET answer the robot's state.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <ctime>
#include <mutex>
#include <set>
#include <string>

#include <json/writer.h>

#include "common/ipc/robot_map.h"
#include "common/ipc/robot_map_layout.h"
#include "common/protocol/axes_group_ref.h"
#include "robot_states/robot_states.h"
#include "subProcess/data/aux_axis_status.h"
#include "subProcess/data/data_log.h"
#include "subProcess/data/data_sub_process.h"
#include "subProcess/data/kernel_images.h"
#include "subProcess/data/routes/route_support.h"

namespace {

using namespace route_support;
namespace images = kernel_images;

constexpr auto kLockWait = std::chrono::milliseconds(20);
constexpr int kJoints = 4;
constexpr int kCollisionAxes = 6;
constexpr int kLocalBytes = 8;
constexpr int kSlaveFirstByte = 100;
constexpr int kSlaveStride = 100;
constexpr int kSlaveMaxPoints = 100;
constexpr std::uint32_t kAuxPosition = 13;
constexpr int kAuxAlarmBase = 20480;
constexpr int kCoordinateJoint = 1;
constexpr int kCoordinateCartesian = 4;
constexpr int kJog = 1;
constexpr int kStep = 2;

const char* const kRequired[] = {"controlMode", "coordinate", "jogMode", "toolCoordinate",
                                 "userCoordinate", "alarms", "outputs"};

const char* switchText(int s) {
  switch (s) {
    case 1:
      return "disable";
    case 2:
      return "enable";
    case 3:
      return "drag";
    default:
      return "none";
  }
}

const char* coordinateText(int c) {
  switch (c) {
    case 1:
      return "joint";
    case 2:
      return "user";
    case 3:
      return "tool";
    case 4:
      return "cartesian";
    default:
      return "none";
  }
}

const char* jogText(int j) { return j == kJog ? "jog" : j == kStep ? "step" : "none"; }
const char* autoManualText(int t) { return t == 1 ? "auto" : t == 2 ? "manual" : "none"; }

std::uint8_t loadByte(const std::uint8_t* image, int index) {
  if (image == nullptr || index < 0 || index >= images::kImageBytes) return 0;
  return std::atomic_ref<const std::uint8_t>(image[index]).load(std::memory_order_relaxed);
}

void storeByte(std::uint8_t* image, int index, std::uint8_t value) {
  if (image == nullptr || index < 0 || index >= images::kImageBytes) return;
  std::atomic_ref<std::uint8_t>(image[index]).store(value, std::memory_order_relaxed);
}

// Eight points from `first` packed into one number, bit j = point first + j.
int packEight(const std::uint8_t* image, int first) {
  int packed = 0;
  for (int j = 0; j < 8; ++j) {
    if (loadByte(image, first + j) != 0) packed |= 1 << j;
  }
  return packed;
}

// Per configured slave: its points, 8 to a byte, from its window.
Json::Value packSlaves(const std::uint8_t* image, const int* counts, int slaves) {
  Json::Value all(Json::arrayValue);
  for (int s = 0; s < slaves; ++s) {
    const int count = std::clamp(counts[s], 0, kSlaveMaxPoints);
    const int first = kSlaveFirstByte + kSlaveStride * s;
    Json::Value bytes(Json::arrayValue);
    for (int i = 0; 8 * i < count; ++i) {
      int packed = 0;
      for (int j = 0; j < 8 && 8 * i + j < count; ++j) {
        if (loadByte(image, first + 8 * i + j) != 0) packed |= 1 << j;
      }
      bytes.append(packed);
    }
    all.append(bytes);
  }
  return all;
}

// Bit j of element i sets point first + 8 i + j; `limit` bounds the points.
void unpackBits(std::uint8_t* image, const rapidjson::Value& values, int first, int limit) {
  if (!values.IsArray()) return;
  for (rapidjson::SizeType i = 0; i < values.Size(); ++i) {
    int byte = 0;
    if (!asInt(values[i], byte)) continue;
    for (int j = 0; j < 8; ++j) {
      const long point = static_cast<long>(first) + 8L * i + j;
      if (point >= limit) return;
      storeByte(image, static_cast<int>(point), static_cast<std::uint8_t>((byte >> j) & 1));
    }
  }
}

Json::Value array(std::initializer_list<Json::Value> values) {
  Json::Value a(Json::arrayValue);
  for (const Json::Value& v : values) a.append(v);
  return a;
}

}  // namespace

struct ExchangeRoutes {
  static int protoExchange(HttpRequest& request, DataSubProcess* server);

  static bool hasRequired(const rapidjson::Document& doc) {
    for (const char* name : kRequired) {
      const rapidjson::Value* v = member(doc, name);
      if (v == nullptr || v->IsNull()) return false;
    }
    int index = 0;
    return memberInt(doc, "toolCoordinate", index) && memberInt(doc, "userCoordinate", index);
  }

  static void sendInching(DataSubProcess* server, std::uint32_t isInch) {
    server->m_INCHParams.isInch = isInch;
    done(*server, server->alloc_SetINCHParams(&server->m_INCHParams, false),
         "alloc_SetINCHParams(&server->m_INCHParams, 0) error");
    DATA_LOG(kInfo, "[{}],isInch: {}, distanceMM: {},  distanceANG: {}", "protoExchange",
             server->m_INCHParams.isInch, server->m_INCHParams.distanceMM, server->m_INCHParams.distanceANG);
  }

  static void applyJogSettings(DataSubProcess* server, const rapidjson::Document& doc) {
    if (memberIs(doc, "coordinate", "joint")) {
      server->coordinateMode_ = kCoordinateJoint;
    } else if (memberIs(doc, "coordinate", "cartesian")) {
      server->coordinateMode_ = kCoordinateCartesian;
    } else {
      DATA_LOG(kInfo, "Receive invalid coordinate mode, set to default");
      server->coordinateMode_ = 0;
    }

    if (memberIs(doc, "jogMode", "jog")) {
      if (server->jogMode_.load() != kJog) sendInching(server, 0);
      server->jogMode_ = kJog;
    } else if (memberIs(doc, "jogMode", "step")) {
      const tagINCHParams& inch = server->m_INCHParams;
      if (server->jogMode_.load() != kStep || inch.distanceMM != server->lastInchMM_ ||
          inch.distanceANG != server->lastInchANG_) {
        sendInching(server, 1);
        server->lastInchMM_ = inch.distanceMM;
        server->lastInchANG_ = inch.distanceANG;
      }
      server->jogMode_ = kStep;
    } else {
      DATA_LOG(kInfo, "Receive invalid jog mode, set to default");
      server->jogMode_ = 0;
    }
  }

  // A requested frame index in 0..9 other than the current one: the project's
  // entry becomes the current frame; an enabled entry is sent and made
  // current, and the indices in force are saved.
  static void applyFrame(DataSubProcess* server, int requested, bool user) {
    std::atomic<int>& current = user ? server->currentUser_ : server->currentTool_;
    if (requested == current.load() || requested < 0 || requested >= kFrameCount) return;
    JsonProjectReader& reader = server->jsonReader;
    std::lock_guard<std::mutex> lock(server->frameMutex_);
    tagCoordParamsFull& frame = user ? server->userFrame_ : server->toolFrame_;
    if (!copyFrame(user ? reader.userCoord : reader.toolCoord, requested, frame)) return;
    if (user) {
      done(*server, server->alloc_SetUserCoordParams(&frame, false), "alloc_SetUserCoordParams(&params, 0) error");
    } else {
      done(*server, server->alloc_SetToolCoordParams(&frame, false), "alloc_SetToolCoordParams(&params, 0) error");
    }
    current = requested;
    robotMap::instance().storeWord(user ? robot_map::kCurrentUser : robot_map::kCurrentTool, requested);
    reader.st_temp_coord_save(server->currentUser_.load(), server->currentTool_.load());
  }

  static void applyOutputs(const rapidjson::Document& doc) {
    std::uint8_t* image = images::outputImage();
    if (image == nullptr) return;
    const rapidjson::Value* outputs = member(doc, "outputs");
    if (outputs != nullptr && memberTrue(*outputs, "enable")) {
      if (const rapidjson::Value* values = member(*outputs, "value")) unpackBits(image, *values, 0, images::kLocalPoints);
    }
    const rapidjson::Value* extend = member(doc, "extendDO");
    if (extend == nullptr || !memberTrue(*extend, "enable")) return;
    const rapidjson::Value* slaves = member(*extend, "value");
    if (slaves == nullptr || !slaves->IsArray()) return;
    for (rapidjson::SizeType k = 0; k < slaves->Size(); ++k) {
      const long first = kSlaveFirstByte + static_cast<long>(kSlaveStride) * k;
      if (first >= images::kImageBytes) break;
      unpackBits(image, (*slaves)[k], static_cast<int>(first), images::kImageBytes);
    }
  }

  static int apply(HttpRequest& request, DataSubProcess* server) {
    rapidjson::Document doc;
    if (!parseRequestBody(request, doc)) return kFailed;
    if (!hasRequired(doc)) return kFailed;
    const bool manual = server->controlType_.load() != DataSubProcess::kControlAuto;
    if (manual) {
      applyJogSettings(server, doc);
      int index = 0;
      memberInt(doc, "userCoordinate", index);
      applyFrame(server, index, true);
      memberInt(doc, "toolCoordinate", index);
      applyFrame(server, index, false);
    }
    if (memberTrue(doc, "alarms")) {
      done(*server, server->alloc_ClearAllAlarmsState(), "alloc_ClearAllAlarmsState() error");
      server->clearAlarmSet();
    }
    if (manual) applyOutputs(doc);
    server->setHardware(memberTrue(doc, "hardware"));
    return kOk;
  }

  static void syncScriptCommand(DataSubProcess* server) {
    switch (robotMap::instance().loadWord(robot_map::kScriptStatus)) {
      case 0:
        server->setLastDebuggerCommand("stop");
        break;
      case 1:
        server->setLastDebuggerCommand("run");
        break;
      case 2:
        server->setLastDebuggerCommand("suspend");
        break;
      default:
        break;
    }
  }

  static void fillAlarms(DataSubProcess* server, Json::Value& reply, AxesGroupRef* record, std::uint32_t collision) {
    Json::Value first(Json::arrayValue);
    bool present = false;
    std::uint8_t bytes[images::kAlarmBytes];
    images::alarms(bytes);
    for (int b = 0; b < images::kAlarmBytes; ++b) {
      for (int l = 0; l < 8; ++l) {
        if ((bytes[b] >> l) & 1) first.append(8 * b + l);
      }
    }
    for (int id : server->getAlarmSet()) first.append(id);
    present = !first.empty();

    Json::Value alarms(Json::arrayValue);
    Json::Value servos[kJoints];
    for (int j = 0; j < kJoints; ++j) {
      servos[j] = Json::Value(Json::arrayValue);
      if (record == nullptr) continue;
      const std::uint32_t word =
          std::atomic_ref<std::uint32_t>(record->m_Joints[j].m_ErrorCode).load(std::memory_order_relaxed);
      if (word != 0) {
        servos[j].append(word);
        present = true;
      }
    }

    Json::Value aux(Json::arrayValue);
    if (server->jsonReader.extAxis.auxJoint) {
      AuxAxisStatus status;
      if (Packet* p = server->alloc_GetExterAxisCmd(stTramletCmd{AuxAxisStatus::kQuery, {0}, 0}, 0)) {
        status = AuxAxisStatus::parse(*p);
        server->auxStatus_ = status.status;
        server->freePluginPacket(p);
      } else {
        status.status = static_cast<std::uint16_t>(server->auxStatus_.load());
      }
      for (int l = 0; l < 8; ++l) {
        if ((status.status >> l) & 1) first.append(kAuxAlarmBase + l);
      }
      if (status.code != 0) aux.append(status.code);
    }

    alarms.append(first);
    for (const Json::Value& s : servos) alarms.append(s);
    alarms.append(aux);
    reply["alarms"] = alarms;

    const int firstAlarm = first.empty() ? 0 : first[0].asInt();
    RobotStates::Instance().SetAlarm(static_cast<std::uint16_t>(collision != 0 ? 1 : firstAlarm));

    const std::uint8_t now = present ? 1 : 0;
    if (now == server->alarmPresent_.load()) return;
    server->alarmPresent_ = now;
    if (present) {
      DATA_LOG(kInfo, "[{}], alarm is happened!", "protoExchange");
      RobotStates::Instance().UpdateErrorStatus(1);
      if (server->controlType_.load() == DataSubProcess::kControlAuto) {
        server->stopRunning();
        DATA_LOG(kInfo, "The alarm is trigger, do emergency stop");
      }
    } else {
      DATA_LOG(kInfo, "[{}], alarm is restore!", "protoExchange");
      RobotStates::Instance().UpdateErrorStatus(0);
    }
  }

  static void fillReply(DataSubProcess* server, bool post) {
    Json::Value& reply = server->statusReply_;
    JsonProjectReader& reader = server->jsonReader;
    reply["controlMode"] = switchText(server->switchState_.load());
    reply["dragMode"] = server->dragMode_.load() == DataSubProcess::kDragOn ? "enable" : "disable";
    reply["coordinate"] = coordinateText(server->coordinateMode_.load());
    reply["jogMode"] = jogText(server->jogMode_.load());
    reply["autoManual"] = autoManualText(server->controlType_.load());
    reply["toolCoordinate"] = server->currentTool_.load();
    reply["userCoordinate"] = server->currentUser_.load();
    reply["armOrientation"] = images::armOrientation();

    float pose[8];
    images::pose(pose);
    reply["jointCoordinate"] = array({pose[4], pose[5], pose[6], pose[7]});
    reply["cartesianCoordinate"] = array({pose[0], pose[1], pose[2], pose[3]});

    if (reader.extAxis.auxJoint) {
      if (Packet* p = server->alloc_GetExterAxisCmd(stTramletCmd{kAuxPosition, {0}, 0}, 0)) {
        float position = 0.0f;
        if (static_cast<int>(p->length) - 2 >= static_cast<int>(sizeof position)) {
          std::memcpy(&position, p->params, sizeof position);
        }
        server->freePluginPacket(p);
        reply["auxJoint"] = array({position, 0, 0});
      }
    }

    const std::uint8_t* outputs = images::outputImage();
    std::uint8_t inputs[images::kLocalPoints];
    images::localInputs(inputs);
    Json::Value out(Json::arrayValue);
    Json::Value in(Json::arrayValue);
    for (int n = 0; n < kLocalBytes; ++n) {
      out.append(packEight(outputs, 8 * n));
      int packed = 0;
      for (int j = 0; j < 8; ++j) {
        if (inputs[8 * n + j] != 0) packed |= 1 << j;
      }
      in.append(packed);
    }
    reply["outputs"] = out;
    reply["inputs"] = in;

    const int slaves = std::clamp(reader.modbusIO.deviceCount, 0, kModbusDeviceCount);
    if (slaves > 0) {
      reply["extendDO"] = packSlaves(outputs, reader.modbusIO.doNumber, slaves);
      reply["extendDI"] = packSlaves(images::inputImage(), reader.modbusIO.diNumber, slaves);
    }

    AxesGroupRef* record = server->robotData_.load();
    std::uint32_t collision = 0;
    if (record != nullptr) {
      collision = std::atomic_ref<std::uint32_t>(record->m_CollisionWord).load(std::memory_order_relaxed);
      int* sticky = post ? server->collisionPost_ : server->collisionGet_;
      Json::Value axes(Json::arrayValue);
      for (int k = 0; k < kCollisionAxes; ++k) {
        if (collision == 0) {
          sticky[k] = 0;
        } else if ((collision >> k) & 1) {
          sticky[k] = 1;
        }
        axes.append(sticky[k]);
      }
      reply["isCollision"] = collision != 0 ? 1 : 0;
      reply["collisionAxes"] = axes;
    }

    reply["isSafeSuspend"] = robotMap::instance().loadWord(robot_map::kSafeSuspend);

    const std::string command = server->lastDebuggerCommand();
    if (command == "stop") {
      server->prjStateText_ = "stopped";
    } else if (command == "suspend") {
      server->prjStateText_ = "suspended";
    } else if (command == "run") {
      server->prjStateText_ = "running";
    }
    reply["prjState"] = server->prjStateText_;

    fillAlarms(server, reply, record, collision);
  }
};

int ExchangeRoutes::protoExchange(HttpRequest& request, DataSubProcess* server) {
  server->lastExchange_ = std::time(nullptr);
  std::unique_lock<std::timed_mutex> lock(server->statusMutex_, kLockWait);
  if (!lock.owns_lock()) {
    DATA_LOG(kError, "try to lock m_statusDataMutex failed");
    DataSubProcess::Reply(server, false);
    return kOk;
  }
  if (request.isPost()) {
    if (apply(request, server) != kOk) return kFailed;
  } else if (request.isGet()) {
    syncScriptCommand(server);
  } else {
    DataSubProcess::Reply(server, kRefusedReply);
    return kOk;
  }
  fillReply(server, request.isPost());
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  Json::StyledWriter writer;
  DataSubProcess::Reply(server, writer.write(server->statusReply_));
#pragma GCC diagnostic pop
  return kOk;
}

void registerExchangeRoutes(RouteTable& table) { table.add("protocol", "exchange", &ExchangeRoutes::protoExchange); }
