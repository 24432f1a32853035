#pragma once

// The script plug-in's process-wide object: the command client of the request
// channel, the start-up, the report sockets and monitors, and the script's
// current motion settings.

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

// Byte texts only, no wide-character conversion; the reader's code is
// compiled here from the header.
#ifndef SI_NO_CONVERSION
#define SI_NO_CONVERSION
#endif
#ifndef SI_IMPLEMENTATION
#define SI_IMPLEMENTATION
#endif
#include <SimpleIni.h>
#include <json/value.h>

#include "api_options.h"
#include "param_temp_value.h"
#include "common/ipc/semlib_shm.h"
#include "common/plugin/plugin_base.h"
#include "common/protocol/command_records.h"
#include "common/transport/segment.h"
#include "common/util/vision_cam_params.h"
#include "json/robot_queue.h"
#include "json/udp_client.h"

struct lua_State;
struct lua_Debug;
class JsonProjectReader;

// UDP ports of the reports.
enum LuaMonitorPorts : int {
  kPrintPort = 5000,
  kCallCursorPort = 5001,
  kRunCursorPort = 5002,
  kEventLogPort = 5003,
};

class pluginLua : public PluginBase {
 public:
  // The plug-in's client number on the request channel.
  static constexpr int kClient = 4;
  // Texts the print queue lets in before "print" waits.
  static constexpr int kPrintQueueLimit = 1000;

  static pluginLua& instance();
  ~pluginLua() override;

  // Client start of the request channel: clears the own reply semaphore and
  // reports the process id on the router segment. Always 1.
  int init(PluginType type) override;
  void release() override {}
  void checkQueueBuffer(bool queued, int need) override;
  int processTranslate(Packet* packet) override;

  // One-time start-up of the script ("init"). Always 0.
  int plugin_do_init();
  // Report sockets and monitors.
  void init_obj();

  // Blocks, when wait is non-zero, until the kernel's current queue index is
  // no longer below index.
  void waitCmdDone(int wait, const std::uint64_t& index);
  // Ties the calling script line to a queued command (index from its reply)
  // or, for index 0, reports it as the run line at once.
  void relateQueueIndex(lua_State* L, std::uint64_t index);

  int initApiOption(const char* path);
  // 1 when function api accepts option; else 0 after raising alarm.
  int checkApiOption(const char* api, const char* option, int alarm);

  // Writes the alarm code, then its flag, into the request memory.
  int SetScriptAlarm(int code);
  // The alarm's entry as the styled JSON writer prints it, or "API usage
  // error"; cut to fit size, always terminated.
  void alarmMessage(int code, char* out, std::size_t size) const;
  const Json::Value& alarmInfo() const { return m_alarmInfo; }

  // Kernel queries that poll id 27 until every queued command is done; the
  // number of queries.
  unsigned long long waitAllCmdDone(const char* logText = nullptr);
  // As "Sync" waits: every queued command done, then every print text sent.
  void waitSyncDone();

  // Reports.
  static void hook(lua_State* L, lua_Debug* ar);
  void sendReport(UdpClient& socket, const char* data, std::size_t length);
  bool monitorsRunning() const { return m_monitorsRunning.load() > 0; }

  semlib_shm* requestMemory() const { return m_shm; }
  int semaphoreSet() const { return m_semid; }

  // Process-wide state shared with the monitors and the script functions.
  static std::mutex m_callMutex;
  static std::string m_strCallLine;
  static std::string m_strRunLine;
  static std::atomic<int> m_isDebugCall;
  static std::mutex m_debugMapMutex;
  static std::map<std::string, std::string> m_debugMap;
  static RobotQueue m_printQueue;
  static RobotQueue m_sysQueue;
  static std::mutex m_printMutex;
  static std::mutex m_eventLogMutex;
  static std::mutex m_queueFuncMutex;
  static UdpClient m_udpPrint;
  static UdpClient m_udpEventLog;
  static UdpClient m_udpCallCursor;
  static UdpClient m_udpRunCursor;
  static zelor::common::util::VisionCamMap visionCams;

  // Frames put in force: 0..9 take the table entry; the trace line and the
  // queued command follow in every case.
  void setCoordUser(int index);
  void setCoordTool(int index);
  // The user and tool frames saved by the pendant, put back in force.
  void recoverCoordinate();

  // The script's current settings; callers of the option parser copy them whole.
  ParamTempValue m_params{};
  // The external slide axis's speed and acceleration ratios, percent.
  float m_speedRatio = 100.0f;
  float m_accelRatio = 100.0f;
  tagCoordParamsFull m_userFrame{};
  tagCoordParamsFull m_toolFrame{};
  double m_loadWeight = 0.0;
  double m_loadInertia = 0.0;
  tagPTPJump2Params m_archParams{};
  // The last pose read by "GetPose".
  char m_poseArm[9] = {};
  float m_pose[6] = {};
  std::uint8_t m_poseTool = 0;
  std::uint8_t m_poseUser = 0;

  // The option record of the move functions, guarded by the option mutex.
  static std::mutex m_option_mutex;
  Options_t m_options{};

  JsonProjectReader& reader() { return *m_reader; }

 private:
  pluginLua();

  void fillAlarmInfo();
  void sendStartupSettings();
  void printMonitor();
  void callCursorMonitor();
  void runCursorMonitor();
  // Sleeps about ms milliseconds, waking early when the monitors are stopped;
  // false when they are.
  bool monitorSleep(int ms);
  void stopMonitors();
  // Sends up to one batch of queued print texts; false when none waited.
  bool flushPrintQueue();

  int m_client = kClient;
  std::uint8_t m_initialised = 0;
  std::mutex m_initMutex;
  std::mutex m_queueMutex;
  std::mutex m_channelMutex;
  JsonProjectReader* m_reader = nullptr;
  zelor::common::transport::Segment m_router{12};
  int m_semid = -1;
  semlib_shm* m_shm = nullptr;
  semlib_frame m_request{};
  semlib_frame m_reply{};
  zelor::common::ipc::SemlibChannelTable m_channels = zelor::common::ipc::kSemlibChannels;
  std::int32_t m_queueSpace = 0;
  Json::Value m_alarmInfo;
  CSimpleIniA m_ini;

  std::atomic<bool> m_stopMonitors{false};
  std::atomic<int> m_monitorsRunning{0};
  bool m_monitorsStarted = false;
};
