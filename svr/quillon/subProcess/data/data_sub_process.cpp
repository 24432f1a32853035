#include "subProcess/data/data_sub_process.h"

#include <fcntl.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <event2/event.h>

#include "common/ipc/robot_map.h"
#include "common/ipc/robot_map_layout.h"
#include "common/ipc/semlib.h"
#include "common/util/json_util.h"
#include "install_paths.h"
#include "modbus/modbus_srv.h"
#include "robot_states/robot_states.h"
#include "subProcess/business/hmi_server.h"
#include "subProcess/core/core_sub_process.h"
#include "subProcess/data/data_exchange_limit.h"
#include "subProcess/data/data_log.h"
#include "subProcess/factory_access.h"

namespace {

constexpr const char* kUdhcpcPidFile = "/var/run/lan_udhcpc.pid";
constexpr int kPayloadKeyId = 67;
constexpr int kJointPairKeyId = 996;
constexpr std::size_t kSegmentSize = 4096;

std::uint8_t* attachSegment(int id) {
  const key_t key = ftok(zelor::paths::kRoot, id);
  if (key == -1) {
    DATA_LOG(kError, "ftok({}, {}) failed: {}", zelor::paths::kRoot, id, std::strerror(errno));
    return nullptr;
  }
  const int shmid = shmget(key, kSegmentSize, IPC_CREAT | 0666);
  if (shmid == -1) {
    DATA_LOG(kError, "shmget of memory {} failed: {}", id, std::strerror(errno));
    return nullptr;
  }
  void* at = shmat(shmid, nullptr, 0);
  if (at == reinterpret_cast<void*>(-1)) {
    DATA_LOG(kError, "shmat of memory {} failed: {}", id, std::strerror(errno));
    return nullptr;
  }
  return static_cast<std::uint8_t*>(at);
}

void startUdhcpc() {
  if (access(kUdhcpcPidFile, F_OK) == 0) return;
  char command[128];
  std::snprintf(command, sizeof command, "udhcpc -b -i eth2 -p %s -R", kUdhcpcPidFile);
  const int result = std::system(command);
  // A shell that could not run the command reports exit status 127.
  if (result == 127 || result < 0 || (WIFEXITED(result) && WEXITSTATUS(result) == 127)) {
    DATA_LOG(kError, "start udhcpc error {}", std::strerror(errno));
    std::exit(1);
  }
  if (std::system("sync") != 0) {
    // Nothing to do: the file systems sync on their own.
  }
}

}  // namespace

DataSubProcess::DataSubProcess(int port, const QString& version) {
  status_ = kNotRunning;
  param_.port = port;
  version_ = version;
  param_.hardware = true;

  bodyBuffer_ = static_cast<char*>(std::malloc(kBodyBufferSize));
  if (bodyBuffer_ == nullptr) DATA_LOG(kError, "Malloc");

  // Control type manual and switch state unknown are the members' defaults.
  // The data-server settings are taken where they are used.

  startUdhcpc();

  udpSocket_ = socket(AF_INET, SOCK_DGRAM, 0);
  if (udpSocket_ < 0) {
    DATA_LOG(kError, "Cannot get detach socket {}", std::strerror(errno));
    std::exit(1);
  }

  semid_ = init_semlib(&semShm_);
  if (semShm_ != nullptr) {
    std::memset(reinterpret_cast<std::uint8_t*>(semShm_) + offsetof(semlib_shm, alarmFlag), 0, 8);
  }
  // Vision auto-calibration and conveyor tracking start here (vision issues).

  DATA_LOG(kInfo, "load stop run config ......");
  jsonReader.loadStopConf(stopConf_);
  jsonReader.loadAll();
  m_INCHParams.distanceMM = jsonReader.inch.distance;
  m_INCHParams.distanceANG = jsonReader.inch.angle;
  if (jsonReader.temp.user >= 0 && jsonReader.temp.user < kFrameCount) currentUser_ = jsonReader.temp.user;
  if (jsonReader.temp.tool >= 0 && jsonReader.temp.tool < kFrameCount) currentTool_ = jsonReader.temp.tool;
  if (const st_structure* structure = jsonReader.RegexStructureParams()) {
    for (int k = 0; k < kAxisCount; ++k) simulatedAxis_[k] = structure->motors[k].simulated ? 1 : 0;
  }

  attachSegments();

  zelor::common::util::JsonUtil::setVersionInfo(kVersionText, true);

  jsonReader.get_remotectrl_conf(remoteName_, remoteMode_);
  std::strncpy(robotMap::instance().entry() + robot_map::kControlMode, remoteMode_.c_str(), 4);

  fillRoutes();
  dispatcher_.setHooks({
      [this] { connCounter_ = 0; },
      [](const std::string& method) {
        robotMap& map = robotMap::instance();
        if (method == "stop") {
          map.storeWord(robot_map::kScriptStatus, 0);
        } else if (method == "run") {
          map.storeWord(robot_map::kScriptStatus, 1);
          map.storeWord(robot_map::kPauseCopy, 0);
        } else if (method == "suspend") {
          map.storeWord(robot_map::kScriptStatus, 2);
          map.storeWord(robot_map::kPauseCopy, 1);
        }
      },
      [this](const std::string& method) { setLastDebuggerCommand(method); },
  });
}

DataSubProcess::~DataSubProcess() {
  stop();
  joinPoseList();
  joinStopToPose();
  eventLoop_.stopActivity();
  std::free(bodyBuffer_);
  // Stops the Modbus server threads and waits for them before its tables go.
  delete modbus_;
  modbus_ = nullptr;
  if (jointPairs_ != nullptr) shmdt(jointPairs_);
  if (payload_ != nullptr) shmdt(payload_);
  if (udpSocket_ >= 0) close(udpSocket_);
}

void DataSubProcess::attachSegments() {
  payload_ = attachSegment(kPayloadKeyId);
  jointPairs_ = attachSegment(kJointPairKeyId);
}

void DataSubProcess::start() {
  const std::string runTimeFile = std::string(zelor::paths::kRoot) + "/runTimeInfo.bin";
  if (std::FILE* f = std::fopen(runTimeFile.c_str(), "rb")) {
    if (std::fread(runTime_, sizeof(std::int32_t), 2, f) != 2) {
      // A short file leaves the counters as they were.
    }
    std::fclose(f);
  }

  startTime_ = std::time(nullptr);
  connCounter_ = 0;
  status_ = kNotRunning;
  for (int i = 0; i < 6; ++i) {
    axisPosition_[i] = 0.0;
    axisSpeed_[i] = 0.0;
  }
  loopRun_ = true;
  setUpDone_ = false;

  eventLoop_.startActivity("DataSubProcess");
  // The check-IO, status-light, power-detection and fan threads start here
  // with their bodies.

  loadIoFunctions();
  stModbusConf conf;
  jsonReader.loadModbusConf(conf);
  if (modbus_ == nullptr) modbus_ = new ModbusSrv(conf);
  // Starts the server threads again after a stop; running ones stay.
  modbus_->init();
  RobotStates::Instance().start(modbus_, jsonReader.RegexStructureParams(), robotData_.load());
  zelor::modules::service::HmiServer::Instance().Start(modbus_, this);
  syncAlgsParams();
  setUpDone_ = true;
  status_ = kRunning;
  RobotStates::Instance().UpdateRunStatus(1);
}

void DataSubProcess::stop() {
  loopRun_ = false;
  RobotStates::Instance().UpdateRunStatus(0);
  // The event loop ends at its next 2 s tick.
  eventLoop_.stopActivity();
  checkIO_.stopActivity();
  // The panel's threads use modbus_, which the destructor deletes.
  zelor::modules::service::HmiServer::Instance().Stop();
  RobotStates::Instance().stop();
  // The Modbus server threads end too; the tables stay for a later start.
  if (modbus_ != nullptr) modbus_->stop();
}

void DataSubProcess::interCall(int id, void* in, void*, void**) {
  if (id == 0) {
    monitor(static_cast<AxesGroupRef*>(in));
  } else if (id == 1) {
    const char* text = static_cast<const char*>(in);
    const std::string command = text != nullptr ? text : "";
    setLastDebuggerCommand(command);
    DATA_LOG(kInfo, "luaState now is {}", command);
  }
}

int DataSubProcess::processTranslate(Packet* packet) {
  auto* core = static_cast<CoreSubProcess*>(subProcessFactory().getInterface(CORE));
  if (core == nullptr) {
    DATA_LOG(kError, "processTranslate: no core sub-process, packet {} not sent", packet->cmdId);
    return 0;
  }
  packet->header[0] = kPacketHeaderByte;
  packet->header[1] = kPacketHeaderByte;
  packet->length = static_cast<std::uint16_t>(packet->length + 2);
  int replyLength = 0;
  char* bytes = reinterpret_cast<char*>(packet);
  const int limitUs = ExchangeLimit::current();
  return core->processProtocolPacket(packet->cmdId, bytes, packet->length + 5, bytes, &replyLength,
                                     limitUs > 0 ? limitUs : PacketMailbox::kTimeoutUs);
}

std::string DataSubProcess::lastDebuggerCommand() const {
  std::lock_guard<std::mutex> lock(textMutex_);
  return lastDebuggerCommand_;
}

void DataSubProcess::setLastDebuggerCommand(const std::string& command) {
  std::lock_guard<std::mutex> lock(textMutex_);
  lastDebuggerCommand_ = command;
}

std::string DataSubProcess::projectName() const {
  std::lock_guard<std::mutex> lock(textMutex_);
  return projectName_;
}
