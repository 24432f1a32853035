#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include <json/value.h>

#include <QString>

#include "common/plugin/plugin_base.h"
#include "common/ipc/semlib_shm.h"
#include "json/json_project_reader.h"
#include "json/project_structure.h"
#include "robot_states/robot_data_source.h"
#include "subProcess/activity.h"
#include "subProcess/data/http_dispatcher.h"
#include "subProcess/data/reply_buffer.h"
#include "subProcess/data/route_table.h"
#include "subProcess/i_sub_process.h"

struct AxesGroupRef;
struct event;
struct event_base;
struct evhttp;
class DataSetting;
class ModbusSrv;

// Sub-process 2: the HTTP server of the teach pendant and PC tools, the
// cyclic monitor of the host's axes-group record, the data server's own
// alarms and the motion kernel's parameter hand-over. Commands for the kernel
// leave through the builders and processTranslate.
class DataSubProcess : public ISubProcess, public PluginBase, public RobotDataSource {
 public:
  static constexpr int kBodyBufferSize = 8192;
  static constexpr const char* kVersionText = "1.5.9.0-stable-9f5fce1e-2305311421";

  struct Param {
    int port = 0;
    std::atomic<bool> hardware{true};
  };

  // Three-position switch state, control type.
  enum SwitchState { kSwitchUnknown = 0, kSwitchDisabled = 1, kSwitchEnabled = 2, kSwitchDrag = 3 };
  enum ControlType { kControlAuto = 1, kControlManual = 2 };
  enum DragMode { kDragOn = 1, kDragOff = 2 };

  DataSubProcess(int port, const QString& version);
  ~DataSubProcess() override;

  void start() override;
  void stop() override;
  const void* getParam() const override { return &param_; }
  // 0: cyclic monitor with the host's record; 1: last debugger command from
  // a C string. Others do nothing.
  void interCall(int id, void* in, void* out, void** ret) override;
  int processTranslate(Packet* packet) override;

  AxesGroupRef* robotData() const override { return robotData_.load(); }

  // Replies: handlers append, the dispatcher sends.
  static int Reply(DataSubProcess* server, bool status) { return server->replies_.reply(status); }
  static int Reply(DataSubProcess* server, const char* text) { return server->replies_.reply(text); }
  static int Reply(DataSubProcess* server, const std::string& text) { return server->replies_.reply(text); }
  static int Reply(DataSubProcess* server, rapidjson::Document* doc) { return server->replies_.reply(doc); }

  // Own alarm set.
  void setAlarm(int id);
  void clearAlarmSet();
  std::set<int> getAlarmSet() const;
  static int getControllerAlarmStatus(DataSubProcess* server);
  // Decides whether the robot is in alarm; exchanges packets with the kernel
  // (auxiliary axis, collision reaction). Never on the PLC thread.
  int getAlarmStatus();
  // The same decision from what is known, without any exchange and without
  // touching getAlarmStatus's remembered values; for the cyclic monitor.
  bool inAlarmNow();

  // Parameter record for the kernel (core call 6); its result.
  int syncAlgsParams();
  static float driverParamCal(DataSubProcess* server);
  int sendPointToAlgs(const char* text);

  // Timers of the event loop: fd -2 every 2 s, -3 every 200 ms, -4 every 50 ms.
  static void conn_timeout(int fd, short events, void* arg);

  std::string lastDebuggerCommand() const;
  void setLastDebuggerCommand(const std::string& command);
  std::string projectName() const;

  RouteTable& routes() { return apis_; }
  JsonProjectReader& reader() { return jsonReader; }
  bool hardware() const { return param_.hardware.load(); }
  void setHardware(bool on) { param_.hardware.store(on); }
  int switchState() const { return switchState_.load(); }
  void setSwitchState(int state) { switchState_ = state; }
  int dragMode() const { return dragMode_.load(); }
  void setDragMode(int mode) { dragMode_ = mode; }
  bool switchChanged() const { return switchChanged_.load() != 0; }
  std::time_t enableTime() const { return enableTime_.load(); }
  std::int32_t enabledSeconds() const;
  int controlType() const { return controlType_.load(); }
  int driverLevel() const { return driverLevel_.load(); }
  bool serverReady() const { return serverReady_.load(); }
  int lightCode() const { return lightCode_.load(); }

  // Enable switch of the motion kernel: 1 enabled, 0 disabled, -1 the
  // switch did not turn within about a second (switched back). Blocks.
  int UpdateEnable(std::uint8_t on);
  // The remote-control requests of the status memory, each handled and
  // cleared; on the 200 ms duty.
  void checkRequest();

  // Script and queue operations shared by the remote requests and the routes.
  int startRunScript(const char* name);
  int stopRunScript();
  int pauseRunScript();
  int continueRunScript();
  void emergencyStop();
  void clearEmergencyStop();
  int startQueue();
  int stopQueue();
  int stopClearQueue();
  int updateRemoteScript();
  // Non-zero with the project name that the Modbus selection register picks.
  int getModbusProjectName(std::string& name);
  int clearCollision();
  // Checks a project's scripts before a start: missing or unsafe paths raise
  // their alarm (8193 per-thread, 8194 global, 8195 teach point); true when
  // all are usable.
  bool projectFilesReady(const st_project& project);

  // Script options of the timers and remote control.
  int suspendOpt();
  int runOpt(std::uint8_t& flag);
  int pauseScriptOpt(std::uint8_t& paused, std::uint8_t& requested, std::uint8_t& second, std::uint8_t& third,
                     std::uint8_t& statusSet, int outFirst, int outSecond, const char* mode, const char* name);
  int continueScriptOpt(std::uint8_t& paused, std::uint8_t& requested, std::uint8_t& second, std::uint8_t& third,
                        std::uint8_t& statusSet, int outFirst, int outSecond, const char* mode, const char* name);
  // Adds the power-on and enabled spans to the totals and writes the
  // work-time file; 0 when written.
  int workTimeSave();

  // Set while remote control owns the robot; the pendant's script and jog
  // routes step aside.
  bool remoteControl() const { return remoteControl_.load() != 0; }
  void setRemoteControl(bool on) { remoteControl_ = on ? 1 : 0; }
  // Set while a script is paused through remote control.
  bool remotePause() const { return remotePause_.load() != 0; }

  // The move to the configured stop pose after a pendant stop; returns the
  // configuration's enable byte (0 when it did nothing).
  static int handleStopToPoseThread(DataSubProcess* server);
  void singlePTPCmd(const stStopConf& conf);

  // Status block and the small status operations around it.
  struct DataStatus {
    int switchState = 0;
    int coordinateMode = 0;
    int jogMode = 0;
    int controlType = 0;
    int dragMode = 0;
    int toolIndex = 0;
    int userIndex = 0;
    double axisPosition[6] = {};
    double axisSpeed[6] = {};
    std::uint8_t stopInput = 0;
    std::uint8_t stopHandled = 0;
    std::uint8_t releaseHandled = 0;
    std::uint8_t switchChanged = 0;
    std::uint8_t controlTypeChanged = 0;
    std::uint8_t alarmPresent = 0;
    std::uint8_t networkFirstTick = 0;
    int eth2LinkState = 0;
    int udpSocket = -1;
  };
  DataStatus GetDataStatus() const;
  // mode "modbus": the slave's IO status; "io": the output image (types 12-16
  // through the status-output table).
  static void outputIOStatus(DataSubProcess* server, int type, int value, const char* mode);
  static std::uint8_t getOutputIOStatus(DataSubProcess* server, int ch);
  // 0 or 1; -1 without a reply.
  int getDILevel(int index);
  float getEncoderValue(std::uint8_t index);
  int outputRunStatus();
  void setEnable();
  // Ends a running program: script, queue and auxiliary axis.
  void stopRunning();
  // Status-input and status-output pins from the IO-control settings.
  void loadIoFunctions();

  JsonProjectReader jsonReader;

 private:
  friend struct DataRoutes;
  friend struct ExchangeRoutes;
  friend struct MotionRoutes;
  friend struct ScriptRoutes;
  friend struct JogRoutes;
  friend struct PanelRoutes;

  void receiveDataProcess();
  void checkIOProcess() {}
  void ledStatusUpdate() {}
  void powerDetectThread() {}
  void setFanProcess() {}

  int openListener();
  void sendThresholds();
  void fillRoutes();
  void attachSegments();
  void tick200ms();
  void handleServoPayloadRequest();
  void monitor(AxesGroupRef* record);
  void scanAxes(AxesGroupRef* record);
  void followControlType(AxesGroupRef* record);
  void followSwitch(AxesGroupRef* record);
  void forwardScriptAlarm();
  // Logs the mode changes the monitor noted since the last call; on the
  // 200 ms duty, never on the host's cycle.
  void logMonitorChanges();
  void reactToCollision(std::uint32_t mask);
  void setCollisionAlarm(std::uint32_t mask, int otherwise);
  void leaveDragMode();
  void releaseBrakes34(AxesGroupRef* record);
  void updateEnableWord();
  // The kernel's enable state: 1 enabled, 0 not, -1 no reply.
  int readEnableState();
  void sendSwitch(std::uint8_t handTeach);
  void setRecordCollision(std::uint32_t mask);
  void setProjectName(const std::string& name);

  Param param_;
  std::atomic<AxesGroupRef*> robotData_{nullptr};
  int udpSocket_ = -1;
  std::uint8_t* jointPairs_ = nullptr;
  std::uint8_t* payload_ = nullptr;
  ReplyBuffer replies_;
  RouteTable apis_;
  HttpDispatcher dispatcher_{apis_, replies_, this};
  evhttp* http_ = nullptr;
  event_base* base_ = nullptr;
  event* timer200_ = nullptr;
  event* timer2s_ = nullptr;
  event* timer50_ = nullptr;
  std::atomic<int> connCounter_{0};
  std::atomic<std::uint8_t> connected_{0};
  int semid_ = -1;
  semlib_shm* semShm_ = nullptr;
  QString version_;
  char* bodyBuffer_ = nullptr;
  ModbusSrv* modbus_ = nullptr;
  std::string remoteName_;
  std::string remoteMode_;
  stStopConf stopConf_{};

  // Written from the event loop, interCall 1 and later threads.
  mutable std::mutex textMutex_;
  std::string lastDebuggerCommand_ = "stop";
  std::string projectName_;

  // Signature words, combined by the monitor into the record's signature.
  std::atomic<std::uint16_t> signatureHigh_{1};
  std::atomic<std::uint16_t> signatureLow_{1};

  // Status block members the monitor writes.
  std::atomic<int> switchState_{kSwitchUnknown};
  std::atomic<int> controlType_{kControlManual};
  std::atomic<std::uint8_t> stopInput_{0};
  std::atomic<std::uint8_t> stopHandled_{0};
  std::atomic<std::uint8_t> releaseHandled_{0};
  std::atomic<std::uint8_t> switchChanged_{0};
  std::atomic<std::uint8_t> controlTypeChanged_{0};
  std::atomic<std::uint8_t> enablingAllowed_{0};
  // Mode changes the monitor saw and the 200 ms duty has not logged yet.
  std::atomic<std::uint8_t> monitorNotes_{0};
  std::atomic<int> dragMode_{kDragOff};
  std::atomic<std::time_t> enableTime_{0};
  std::atomic<double> axisPosition_[6] = {};
  std::atomic<double> axisSpeed_[6] = {};
  std::atomic<int> lightCode_{1};
  int scanCounter_ = 0;
  std::atomic<std::time_t> lastExchange_{0};

  // Alarms. getAlarmStatus runs on the event loop and on route threads.
  std::mutex alarmStatusMutex_;
  mutable std::mutex alarmMutex_;
  std::set<int> alarms_;
  // Whether alarms_ holds any alarm, kept beside it for the host's cycle,
  // which must not take alarmMutex_.
  std::atomic<bool> controllerAlarm_{false};
  std::uint32_t lastCollision_ = 0;
  std::uint8_t lastAlgsAlarms_[32] = {};
  std::uint32_t lastServoError_[4] = {};
  std::atomic<std::uint32_t> auxStatus_{0};
  std::atomic<std::uint8_t> isResetCollision_{0};

  // Drive load level.
  std::atomic<int> userDriverSet_{0};
  std::atomic<int> driverLevel_{0};
  std::atomic<std::uint8_t> driverChanged_{0};

  std::int32_t runTime_[2] = {};
  std::time_t startTime_ = 0;
  std::atomic<bool> loopRun_{false};
  // Set when start() has done its set-up: every project reader it builds
  // (RobotStates' among them) has set the collision switch from the file,
  // so the thresholds' level 0 may clear it from then on.
  std::atomic<bool> setUpDone_{false};
  std::atomic<bool> serverReady_{false};

  // Jog and frame state of the pendant.
  std::atomic<int> coordinateMode_{1};
  std::atomic<int> jogMode_{1};
  std::atomic<int> currentTool_{0};
  std::atomic<int> currentUser_{0};
  // Current frame records: the event loop and the pose-list thread.
  std::mutex frameMutex_;
  tagCoordParamsFull toolFrame_{};
  tagCoordParamsFull userFrame_{};
  tagINCHParams m_INCHParams{};
  std::atomic<std::uint8_t> alarmPresent_{0};

  // Status exchange: its lock, the kept reply and its statics.
  std::timed_mutex statusMutex_;
  Json::Value statusReply_;
  std::string prjStateText_;
  float lastInchMM_ = 0.0f;
  float lastInchANG_ = 0.0f;
  int collisionPost_[6] = {};
  int collisionGet_[6] = {};

  // Status-input and status-output pins (1-based output numbers, 0 none).
  std::atomic<int> inFunctions_[kIoCtrlInCount] = {};
  std::atomic<int> outFunctions_[kIoCtrlOutCount] = {};

  // Pose-list run: at most one thread, joined before the object goes.
  std::atomic<bool> traceBusy_{false};
  std::mutex traceMutex_;
  std::thread traceThread_;
  void joinPoseList();

  // Script control: who started the running script (255 none yet, 1 the
  // pendant), a pendant stop still settling, the remote flags.
  std::atomic<std::uint8_t> runScriptSource_{255};
  std::atomic<std::uint8_t> stopInProgress_{0};
  std::atomic<std::uint8_t> remoteControl_{0};
  std::atomic<std::uint8_t> remotePause_{0};
  // Input-driven safe pause and continue act only while this is set.
  std::uint8_t controlSource_ = 0;
  // Stop-pose move: at most one thread, joined before the object goes.
  std::atomic<bool> stopPoseBusy_{false};
  std::mutex stopPoseMutex_;
  std::thread stopPoseThread_;
  bool startStopToPose();
  void joinStopToPose();

  // Pendant keys and switches: positive then negative jog keys of joints
  // 1-6 (event loop only), the emergency-stop key, the simulated axes.
  std::uint8_t jogKeys_[12] = {};
  std::atomic<std::uint8_t> emergencyKey_{0};
  std::atomic<std::uint8_t> simulatedAxis_[6] = {};

  Activity<DataSubProcess> eventLoop_{this, &DataSubProcess::receiveDataProcess};
  Activity<DataSubProcess> checkIO_{this, &DataSubProcess::checkIOProcess};
  Activity<DataSubProcess> ledSync_{this, &DataSubProcess::ledStatusUpdate};
  Activity<DataSubProcess> powerDetect_{this, &DataSubProcess::powerDetectThread};
  Activity<DataSubProcess> setFan_{this, &DataSubProcess::setFanProcess};
};
