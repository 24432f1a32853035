// interface/go, interface/auxGo, interface/moveJ and interface/trace: moves
// of the arm on request of the pendant and PC tools, and the motion-done
// query.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/ipc/robot_map.h"
#include "common/ipc/robot_map_layout.h"
#include "common/protocol/axes_group_ref.h"
#include "json/project_structure.h"
#include "subProcess/data/data_exchange_limit.h"
#include "subProcess/data/data_log.h"
#include "subProcess/data/data_sub_process.h"
#include "subProcess/data/kernel_images.h"
#include "subProcess/data/routes/route_support.h"
#include "subProcess/data/speed_ratio.h"

namespace {

using namespace route_support;

constexpr std::uint8_t kModeJump = 0;
constexpr std::uint8_t kModeGo = 1;
constexpr std::uint8_t kModeMove = 2;
constexpr std::uint8_t kModeJoints = 4;
constexpr std::uint32_t kAuxMove = 8;
constexpr std::uint32_t kAuxStop = 18;
constexpr int kJoint3 = 2;
constexpr std::size_t kMaxPoses = 255;
constexpr int kQueueIndexBytes = 8;
// The stop pose clears outputs 0 to this one.
constexpr int kStopPoseOutputs = 10;
constexpr auto kPollPeriod = std::chrono::milliseconds(100);
// A poll the kernel does not answer within this is only repeated: the wait
// stays responsive to a stop of the sub-process.
constexpr int kPollExchangeUs = 250'000;
constexpr const char* kStatusTrueText = "{\"status\":\"true\"}";

// One pose of a list, as the thread runs it.
struct Pose {
  std::uint8_t arm = 1;
  tagPTPCmd move{};
  std::uint8_t tool = 0;
  std::uint8_t user = 0;
};

// What the pose-list thread needs, copied on the event loop.
struct PoseRun {
  std::uint8_t ratio = 0;
  tagPTPJointParams joint{};
  tagPTPCoordinateParams coordinate{};
  st_coord tools[kFrameCount]{};
  st_coord users[kFrameCount]{};
  std::vector<Pose> poses;
};

bool isNumber(const rapidjson::Value& object, const char* name, double& out) {
  const rapidjson::Value* v = member(object, name);
  if (v == nullptr || !v->IsNumber()) return false;
  out = v->GetDouble();
  return true;
}

// The queued index of a reply to a queued command; false without one.
bool queuedIndex(const Packet* reply, std::uint64_t& index) {
  if (reply == nullptr || static_cast<int>(reply->length) - 2 < kQueueIndexBytes) return false;
  std::memcpy(&index, reply->params, sizeof index);
  return true;
}

}  // namespace

struct MotionRoutes {
  // Drag-teach release, the first step of every move.
  static void releaseDrag(DataSubProcess* server) {
    if (server->dragMode_.load() == DataSubProcess::kDragOn) {
      done(*server, server->alloc_SetDragTeachEnabled(1), "alloc_SetDragTeachEnabled(kAlgsDragDisable) error");
    }
    server->dragMode_ = DataSubProcess::kDragOff;
    robotMap::instance().storeWord(robot_map::kDragMode, DataSubProcess::kDragOff);
  }

  // Stop-clear, start, speed ratio, joint and Cartesian parameters.
  static void sendRunParams(DataSubProcess* server, std::uint8_t ratio, const tagPTPJointParams& joint,
                            const tagPTPCoordinateParams& coordinate,
                            const char* ratioError = "alloc_SetSpeedFactorParams(server->jsonReader.paramsSpeedFactor(), 0) error") {
    done(*server, server->alloc_SetQueuedCmdStopClear(), "alloc_SetQueuedCmdStopClear() error");
    done(*server, server->alloc_SetQueuedCmdStartExec(), "alloc_SetQueuedCmdStartExec() error");
    done(*server, server->alloc_SetSpeedFactorParams(ratio, false), ratioError);
    done(*server, server->alloc_SetPTPJointParams(&joint, 0),
         "alloc_SetPTPJointParams(server->jsonReader.paramsPTPJoint(), 0) error");
    done(*server, server->alloc_SetPTPCoordinateParams(&coordinate, 0),
         "alloc_SetPTPCoordinateParams(server->jsonReader.paramsPTPCoordinate(), 0) error");
  }

  static void sendRunParams(DataSubProcess* server) {
    JsonProjectReader& reader = server->jsonReader;
    sendRunParams(server, speedRatioByte(reader.paramsSpeedFactor()), *reader.paramsPTPJoint(),
                  *reader.paramsPTPCoordinate());
  }

  // Frame `index` of the table into the current record; an enabled entry is
  // sent queued. Other indices do nothing.
  static void sendFrame(DataSubProcess* server, const st_coord* table, int index, bool user, const char* line) {
    if (index < 0 || index >= kFrameCount) return;
    std::lock_guard<std::mutex> lock(server->frameMutex_);
    tagCoordParamsFull& frame = user ? server->userFrame_ : server->toolFrame_;
    if (!copyFrame(table, index, frame)) return;
    const bool ok = user ? done(*server, server->alloc_SetUserCoordParams(&frame, true),
                                "alloc_SetUserCoordParams(&userParams, isQueue) error")
                         : done(*server, server->alloc_SetToolCoordParams(&frame, true),
                                "alloc_SetToolCoordParams(&toolParams, isQueue) error");
    if (line != nullptr) DATA_LOG(kInfo, line, index, ok);
  }

  static void sendArm(DataSubProcess* server, std::uint8_t arm, const char* line) {
    done(*server, server->alloc_SetArmOrientation(static_cast<char>(arm), 1),
         "alloc_SetArmOrientation(armOrientation, isQueue) error");
    DATA_LOG(kInfo, line, arm);
  }

  // The motion-done query (GET of go, auxGo, moveJ).
  static int motionDone(DataSubProcess* server) {
    Packet* reply = server->alloc_GetCmdAllDone();
    if (reply == nullptr) {
      DATA_LOG(kError, "alloc_GetStopStatus error");
      DataSubProcess::Reply(server, false);
      return kOk;
    }
    const int value = static_cast<int>(reply->length) - 2 >= 1 ? reply->params[0] : -1;
    server->freePluginPacket(reply);
    if (value == 1) {
      DataSubProcess::Reply(server, "{\"value\":true}");
    } else if (value == 0) {
      DataSubProcess::Reply(server, "{\"value\":false}");
    } else {
      DataSubProcess::Reply(server, false);
    }
    return kOk;
  }

  // Body read and switch check; 0 to go on, else the result to return.
  static int prologue(HttpRequest& request, DataSubProcess* server, rapidjson::Document& doc) {
    DATA_LOG(kInfo, "start runto cmd...");
    if (!parseRequestBody(request, doc)) return kFailed;
    if (server->switchState_.load() != DataSubProcess::kSwitchEnabled) {
      DataSubProcess::Reply(server, false);
      return kOk;
    }
    return 0;
  }

  static bool modeOf(const rapidjson::Value& doc, std::uint8_t& mode) {
    if (memberIs(doc, "mode", "go")) {
      mode = kModeGo;
    } else if (memberIs(doc, "mode", "move")) {
      mode = kModeMove;
    } else if (memberIs(doc, "mode", "jump")) {
      mode = kModeJump;
    } else {
      return false;
    }
    return true;
  }

  // The point-to-point recipe up to the move itself; 0, or 500 for a
  // malformed member (nothing further sent).
  static int pointToPoint(DataSubProcess* server, const rapidjson::Document& doc, bool go) {
    releaseDrag(server);
    tagPTPCmd move{};
    double x = 0, y = 0, z = 0, r = 0;
    if (!modeOf(doc, move.ptpMode)) return kFailed;
    if (!isNumber(doc, "x", x) || !isNumber(doc, "y", y) || !isNumber(doc, "z", z) || !isNumber(doc, "a", r)) {
      return kFailed;
    }
    move.x = static_cast<float>(x);
    move.y = static_cast<float>(y);
    move.z = static_cast<float>(z);
    move.r = static_cast<float>(r);

    JsonProjectReader& reader = server->jsonReader;
    const int ratio = reader.paramsSpeedFactor();
    sendRunParams(server);

    if (move.ptpMode == kModeJump) {
      const double* limits = reader.structure->limits[kJoint3];
      tagPTPJump2Params jump{};
      jump.startJumpHeight = static_cast<float>(limits[1] - limits[0]);
      jump.endJumpHeight = jump.startJumpHeight;
      jump.zLimit = static_cast<float>(limits[1]);
      done(*server, server->alloc_SetPTPJump2Params(&jump, true), "alloc_SetPTPJump2Params(param, true) error");
      DATA_LOG(kInfo, "[{}], set runto -> JUMP,manualRatio: {},startJumpHeight: {}, endJumpHeight: {}, zLimit: {} .",
               go ? "httpMoveCmd" : "httpMoveCmdAux", ratio, jump.startJumpHeight, jump.endJumpHeight, jump.zLimit);
    }

    if (const rapidjson::Value* arm = member(doc, "armOrientation"); arm != nullptr && arm->IsString()) {
      sendArm(server, std::strcmp(arm->GetString(), "left") == 0 ? 0 : 1, "http_go: armOrientation: {}");
    }

    int tool = 0;
    if (member(doc, "tool") != nullptr && !memberInt(doc, "tool", tool)) return kFailed;
    sendFrame(server, reader.toolCoord, tool, false, "http_go:tool index : {}, isok: {}");
    int user = 0;
    if (member(doc, "user") != nullptr && !memberInt(doc, "user", user)) return kFailed;
    sendFrame(server, reader.userCoord, user, true, "http_go:user index : {}, isok: {}");

    done(*server, server->alloc_SetPTPCmd(&move, 1), "alloc_SetPTPCmd(&params, isQueue) error");
    return 0;
  }

  static void stopMove(DataSubProcess* server, const std::string& value) {
    done(*server, server->alloc_SetQueuedCmdStopClear(), "alloc_SetQueuedCmdStopClear() error");
    DATA_LOG(kInfo, "Stop MovJ......:{}", value);
  }

  // After a stop of go: the frames of the saved selection, sent whether or
  // not they are enabled.
  static void restoreFrames(DataSubProcess* server) {
    JsonProjectReader& reader = server->jsonReader;
    const int user = reader.temp.user;
    const int tool = reader.temp.tool;
    std::lock_guard<std::mutex> lock(server->frameMutex_);
    if (user >= 0 && user < kFrameCount) copyFrame(reader.userCoord, user, server->userFrame_);
    if (tool >= 0 && tool < kFrameCount) copyFrame(reader.toolCoord, tool, server->toolFrame_);
    server->userFrame_.index = static_cast<std::uint32_t>(user);
    server->toolFrame_.index = static_cast<std::uint32_t>(tool);
    DATA_LOG(kInfo, "ALL User Tool");
    done(*server, server->alloc_SetUserCoordParams(&server->userFrame_, false),
         "alloc_SetUserCoordParams(&userParams, isQueue) error");
    DATA_LOG(kInfo, "test Tool");
    done(*server, server->alloc_SetToolCoordParams(&server->toolFrame_, false),
         "alloc_SetToolCoordParams(&toolParams, isQueue) error");
    DATA_LOG(kInfo, "ALL User Tool  {},{}", user, tool);
  }

  static int httpMoveCmd(HttpRequest& request, DataSubProcess* server) {
    if (request.isGet()) return motionDone(server);
    if (!request.isPost()) return kOk;
    if (AxesGroupRef* record = server->robotData_.load()) {
      if (std::atomic_ref<std::uint32_t>(record->m_CollisionWord).load(std::memory_order_relaxed) != 0) return kOk;
    }
    rapidjson::Document doc;
    if (const int result = prologue(request, server, doc); result != 0) return result;
    const rapidjson::Value* value = member(doc, "value");
    if (value == nullptr || !value->IsBool()) return kFailed;
    if (!value->GetBool()) {
      stopMove(server, "false");
      restoreFrames(server);
      DataSubProcess::Reply(server, kStatusTrueText);
      return kOk;
    }
    if (pointToPoint(server, doc, true) != 0) return kFailed;
    DataSubProcess::Reply(server, true);
    return kOk;
  }

  static int httpMoveCmdAux(HttpRequest& request, DataSubProcess* server) {
    if (request.isGet()) return motionDone(server);
    if (!request.isPost()) return kOk;
    rapidjson::Document doc;
    if (const int result = prologue(request, server, doc); result != 0) return result;
    const rapidjson::Value* value = member(doc, "value");
    if (value == nullptr || value->IsNull()) return kFailed;
    const std::string text = value->IsString() ? value->GetString() : "";
    if (text != "true") {
      stopMove(server, text);
      done(*server, server->alloc_SetExterAxisCmd(stTramletCmd{kAuxStop, {0}, 0}, 0), "alloc_SetExterAxisCmd(cmd) error");
      DataSubProcess::Reply(server, kStatusTrueText);
      return kOk;
    }
    double aux = 0;
    if (!isNumber(doc, "aux1", aux)) return kFailed;
    if (pointToPoint(server, doc, false) != 0) return kFailed;
    stTramletCmd cmd{kAuxMove, {0}, 0};
    cmd.value.f = static_cast<float>(aux);
    done(*server, server->alloc_SetExterAxisCmd(cmd, 0), "alloc_SetExterAxisCmd(cmd) error");
    DataSubProcess::Reply(server, kStatusTrueText);
    return kOk;
  }

  static int httpMoveJCmd(HttpRequest& request, DataSubProcess* server) {
    if (request.isGet()) return motionDone(server);
    if (!request.isPost()) return kOk;
    rapidjson::Document doc;
    if (const int result = prologue(request, server, doc); result != 0) return result;
    const rapidjson::Value* value = member(doc, "value");
    if (value == nullptr || value->IsNull()) return kFailed;
    const std::string text = value->IsString() ? value->GetString() : "";
    if (text != "true") {
      stopMove(server, text);
      DataSubProcess::Reply(server, kStatusTrueText);
      return kOk;
    }
    releaseDrag(server);
    const rapidjson::Value* joint = member(doc, "joint");
    if (joint == nullptr || !joint->IsArray() || joint->Size() <= 3) return kFailed;
    float angles[4];
    for (rapidjson::SizeType i = 0; i < 4; ++i) {
      if (!(*joint)[i].IsNumber()) return kFailed;
      angles[i] = static_cast<float>((*joint)[i].GetDouble());
    }
    tagPTPCmd move{kModeJoints, angles[0], angles[1], angles[2], angles[3]};
    sendRunParams(server);
    done(*server, server->alloc_SetPTPCmd(&move, 1), "alloc_SetPTPCmd(&params, isQueue) error");
    DataSubProcess::Reply(server, true);
    return kOk;
  }

  // A pose list: an array of at most 255 objects, each with `coordinate`
  // (at least four numbers) and numeric `tool` and `user` when present.
  static bool readPoses(const rapidjson::Document& doc, std::vector<Pose>& poses) {
    if (!doc.IsArray() || doc.Size() > kMaxPoses) return false;
    for (const rapidjson::Value& element : doc.GetArray()) {
      const rapidjson::Value* coordinate = member(element, "coordinate");
      if (coordinate == nullptr || !coordinate->IsArray() || coordinate->Size() < 4) return false;
      for (rapidjson::SizeType i = 0; i < 4; ++i) {
        if (!(*coordinate)[i].IsNumber()) return false;
      }
      int tool = 0;
      int user = 0;
      if (member(element, "tool") != nullptr && !memberInt(element, "tool", tool)) return false;
      if (member(element, "user") != nullptr && !memberInt(element, "user", user)) return false;
      Pose pose;
      pose.arm = memberIs(element, "armOrientation", "left") ? 0 : 1;
      pose.move = {kModeMove, static_cast<float>((*coordinate)[0].GetDouble()),
                   static_cast<float>((*coordinate)[1].GetDouble()), static_cast<float>((*coordinate)[2].GetDouble()),
                   static_cast<float>((*coordinate)[3].GetDouble())};
      pose.tool = static_cast<std::uint8_t>(tool);
      pose.user = static_cast<std::uint8_t>(user);
      poses.push_back(pose);
    }
    return true;
  }

  static int RunToMorePose(HttpRequest& request, DataSubProcess* server) {
    if (server->traceBusy_.load()) {
      DATA_LOG(kInfo, "[{}] ,this is same req,return ......", "RunToMorePose");
      return -1;
    }
    DATA_LOG(kInfo, "start RunTo more pose......");
    if (!request.isPost()) {
      DataSubProcess::Reply(server, "{\"status\":\"false\"}");
      return kOk;
    }
    server->traceBusy_ = true;
    rapidjson::Document doc;
    PoseRun run;
    if (!parseRequestBody(request, doc) || !readPoses(doc, run.poses)) {
      server->traceBusy_ = false;
      return kFailed;
    }
    for (const Pose& pose : run.poses) {
      DATA_LOG(kInfo, "tool: {}", pose.tool);
      DATA_LOG(kInfo, "user: {}", pose.user);
    }
    JsonProjectReader& reader = server->jsonReader;
    run.ratio = speedRatioByte(reader.paramsSpeedFactor());
    run.joint = *reader.paramsPTPJoint();
    run.coordinate = *reader.paramsPTPCoordinate();
    std::copy(std::begin(reader.toolCoord), std::end(reader.toolCoord), run.tools);
    std::copy(std::begin(reader.userCoord), std::end(reader.userCoord), run.users);

    std::lock_guard<std::mutex> lock(server->traceMutex_);
    // The thread before has cleared the busy flag: it is at its end.
    if (server->traceThread_.joinable()) server->traceThread_.join();
    server->traceThread_ = std::thread(&MotionRoutes::handleRunToMorePoseThread, server, std::move(run));
    DataSubProcess::Reply(server, kStatusTrueText);
    return kOk;
  }

  // Polls the queue until the move with `queued` has finished, an alarm or
  // a disabled robot ends the wait, or the sub-process stops.
  static void waitForMove(DataSubProcess* server, std::uint64_t queued, const char* who = "handleRunToMorePoseThread") {
    DATA_LOG(kInfo, "wait cmd is done ...");
    ExchangeLimit limit(kPollExchangeUs);
    while (server->loopRun_.load()) {
      std::this_thread::sleep_for(kPollPeriod);
      if (!server->loopRun_.load()) return;
      std::uint64_t current = 0;
      Packet* reply = server->alloc_GetQueuedCmdCurrentIndex();
      const bool got = queuedIndex(reply, current);
      if (reply != nullptr) server->freePluginPacket(reply);
      if (!got) continue;
      if (server->getAlarmStatus() != 0) {
        DATA_LOG(kInfo, "is alarm, break");
        return;
      }
      if (Packet* enabled = server->alloc_GetHHTTrigOutputEnabled()) {
        const bool disabled = static_cast<int>(enabled->length) - 2 >= 1 && enabled->params[0] != 0;
        server->freePluginPacket(enabled);
        if (disabled) {
          DATA_LOG(kInfo, "is disable, break");
          return;
        }
      }
      if (current >= queued) {
        DATA_LOG(kInfo, " *** [{}], run to Cmd is Done, queuedCmdCurrentIndex: {}, queuedCmdIndex : {} ***",
                 who, current, queued);
        return;
      }
    }
  }

  static int handleRunToMorePoseThread(DataSubProcess* server, PoseRun run) {
    sendRunParams(server, run.ratio, run.joint, run.coordinate);
    for (const Pose& pose : run.poses) {
      if (!server->loopRun_.load()) break;
      sendArm(server, pose.arm, "run to: armOrientation: {}");
      sendFrame(server, run.tools, pose.tool, false, nullptr);
      sendFrame(server, run.users, pose.user, true, nullptr);
      Packet* reply = server->alloc_SetPTPCmd(&pose.move, 1);
      DATA_LOG(kInfo, "ptp cmd is sent ...");
      if (reply == nullptr) {
        DATA_LOG(kError, "alloc_SetPTPCmd(&params, isQueue) error");
        continue;
      }
      std::uint64_t queued = 0;
      const bool got = queuedIndex(reply, queued);
      server->freePluginPacket(reply);
      if (got) waitForMove(server, queued);
    }
    DATA_LOG(kInfo, "over handle post req");
    server->traceBusy_ = false;
    return 1;
  }
};

void DataSubProcess::singlePTPCmd(const stStopConf& conf) {
  JsonProjectReader& reader = jsonReader;
  MotionRoutes::sendRunParams(this, conf.speed, *reader.paramsPTPJoint(), *reader.paramsPTPCoordinate(),
                              "alloc_SetSpeedFactorParams(conf.speed, 0) error");
  tagPTPCmd move{kModeGo, conf.x, conf.y, conf.z, conf.a};
  if (std::strncmp(conf.mode, "jump", sizeof conf.mode) == 0) {
    move.ptpMode = kModeJump;
    if (conf.archIndex < kArchCount) {
      const st_arch& arch = reader.arch[conf.archIndex];
      const tagPTPJump2Params jump{arch.startHeight, arch.endHeight, arch.zLimit};
      done(*this, alloc_SetPTPJump2Params(&jump, true), "alloc_SetPTPJump2Params(param, true) error");
    }
  } else {
    DATA_LOG(kInfo, "[{}], set runto -> Go .", "singlePTPCmd");
  }
  MotionRoutes::sendArm(this, std::strncmp(conf.armOrientation, "left", sizeof conf.armOrientation) == 0 ? 0 : 1,
                        "run to: armOrientation: {}");
  // Signed indices from the file: only 0..9 select an entry.
  MotionRoutes::sendFrame(this, reader.toolCoord, conf.tool, false, "run to: tool index : {}, isok: {}");
  MotionRoutes::sendFrame(this, reader.userCoord, conf.user, true, "run to::user index : {}, isok: {}");
  Packet* reply = alloc_SetPTPCmd(&move, 1);
  DATA_LOG(kInfo, "ptp cmd is sent ...");
  if (reply == nullptr) {
    DATA_LOG(kError, "alloc_SetPTPCmd(&params, isQueue) error");
    return;
  }
  std::uint64_t queued = 0;
  const bool got = queuedIndex(reply, queued);
  freePluginPacket(reply);
  if (!got) return;
  MotionRoutes::waitForMove(this, queued, "singlePTPCmd");
  done(*this, alloc_SetQueuedCmdStopClear(), "alloc_SetQueuedCmdStopClear() error");
}

int DataSubProcess::handleStopToPoseThread(DataSubProcess* server) {
  const stStopConf conf = server->stopConf_;
  const auto finish = [server](int result) {
    server->runScriptSource_ = 0;
    server->stopInProgress_ = 0;
    server->stopPoseBusy_ = false;
    return result;
  };
  if (!conf.enable) {
    DATA_LOG(kInfo, "stop config, not to runto ...");
    server->stopPoseBusy_ = false;
    return 0;
  }
  DATA_LOG(kInfo, "[{}], start handleStopToPoseThread", "handleStopToPoseThread");
  {
    ExchangeLimit limit(kPollExchangeUs);
    bool stopped = false;
    while (!stopped && server->loopRun_.load()) {
      done(*server, server->alloc_SetQueuedCmdStopClear(), "alloc_SetQueuedCmdStopClear() error");
      if (Packet* reply = server->alloc_GetStopStatus()) {
        stopped = static_cast<int>(reply->length) - 2 >= 1 && reply->params[0] != 0;
        server->freePluginPacket(reply);
      }
      DATA_LOG(kInfo, "wait Stop Status ...");
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    if (!stopped) return finish(0);
  }
  DATA_LOG(kInfo, "[{}], all cmd done.", "handleStopToPoseThread");
  if (server->getAlarmStatus() != 0) {
    DATA_LOG(kInfo, "[{}],  no run RUN TO", "handleStopToPoseThread");
  } else {
    DATA_LOG(kInfo, "[{}], first stop, then reset", "handleStopToPoseThread");
    server->singlePTPCmd(conf);
  }
  std::uint8_t* outputs = kernel_images::outputImage();
  // Without a core the stop is over as well: a set stop-in-progress byte
  // would refuse every later stop under remote control.
  if (outputs == nullptr) return finish(0);
  DATA_LOG(kInfo, "[{}],  clear io", "handleStopToPoseThread");
  for (int i = 0; i <= kStopPoseOutputs; ++i) std::atomic_ref<std::uint8_t>(outputs[i]).store(0, std::memory_order_relaxed);
  return finish(conf.enable ? 1 : 0);
}

bool DataSubProcess::startStopToPose() {
  std::lock_guard<std::mutex> lock(stopPoseMutex_);
  if (stopPoseBusy_.load()) {
    DATA_LOG(kInfo, "stop pose move still running, not started again");
    return true;
  }
  if (stopPoseThread_.joinable()) stopPoseThread_.join();
  stopPoseBusy_ = true;
  stopPoseThread_ = std::thread(&DataSubProcess::handleStopToPoseThread, this);
  return true;
}

void DataSubProcess::joinStopToPose() {
  std::lock_guard<std::mutex> lock(stopPoseMutex_);
  if (stopPoseThread_.joinable()) stopPoseThread_.join();
}

void DataSubProcess::joinPoseList() {
  std::lock_guard<std::mutex> lock(traceMutex_);
  if (traceThread_.joinable()) traceThread_.join();
}

void registerMotionRoutes(RouteTable& table) {
  table.add("interface", "go", &MotionRoutes::httpMoveCmd);
  table.add("interface", "auxGo", &MotionRoutes::httpMoveCmdAux);
  table.add("interface", "moveJ", &MotionRoutes::httpMoveJCmd);
  table.add("interface", "trace", &MotionRoutes::RunToMorePose);
}
