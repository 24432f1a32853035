#include "plugin_lua.h"

#include <sched.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "common/ipc/script_alarm_slot.h"
#include "common/ipc/semlib.h"
#include "common/util/json_util.h"
#include "install_paths.h"
#include "json/json_project_reader.h"
#include "log/line_log.h"
#include "script_alarm.h"

using namespace std::chrono_literals;

std::mutex pluginLua::m_callMutex;
std::string pluginLua::m_strCallLine;
std::string pluginLua::m_strRunLine;
std::atomic<int> pluginLua::m_isDebugCall{0};
std::mutex pluginLua::m_debugMapMutex;
std::map<std::string, std::string> pluginLua::m_debugMap;
RobotQueue pluginLua::m_printQueue;
RobotQueue pluginLua::m_sysQueue;
std::mutex pluginLua::m_printMutex;
std::mutex pluginLua::m_eventLogMutex;
std::mutex pluginLua::m_queueFuncMutex;
UdpClient pluginLua::m_udpPrint;
UdpClient pluginLua::m_udpEventLog;
UdpClient pluginLua::m_udpCallCursor;
UdpClient pluginLua::m_udpRunCursor;
zelor::common::util::VisionCamMap pluginLua::visionCams;
std::mutex pluginLua::m_option_mutex;

namespace {

// How long the teardown waits for the monitors to leave their loops.
constexpr auto kMonitorStopWait = 300ms;

}  // namespace

pluginLua& pluginLua::instance() {
  static pluginLua plugin;
  return plugin;
}

pluginLua::pluginLua() : m_reader(new JsonProjectReader()) {
  m_semid = init_semlib(&m_shm);
  m_queueSpace = 0;
  m_printQueue.clear();
  m_sysQueue.clear();
  initApiOption(zelor::paths::kApiIni);
  m_reader->st_ratiodefault_load();
  fillAlarmInfo();
  const int vision = zelor::common::util::JsonUtil::getVisionParams(visionCams, false);
  if (vision != 0) std::printf("JsonUtil::getVisionParams(visionCams) return %d\n", vision);
}

pluginLua::~pluginLua() {
  stopMonitors();
  if (m_monitorsRunning.load() == 0) {
    // What the script printed last still goes out.
    while (flushPrintQueue()) {
    }
    m_udpPrint.release();
    m_udpEventLog.release();
    m_udpCallCursor.release();
    m_udpRunCursor.release();
    delete m_reader;
  }
  // A monitor that did not leave in time may still use the reader; it stays.
}

void pluginLua::fillAlarmInfo() { fillScriptAlarmTexts(m_alarmInfo); }

int pluginLua::init(PluginType type) {
  PluginBase::init(type);
  m_client = kClient;
  m_initialised = 0;
  const int replySem = m_channels.entry[m_client].signalSem;
  while (dsem_p_nowait(m_semid, replySem) == 0) {
  }
  dsem_v(m_semid, m_channels.entry[m_client].waitSem);

  const std::uint32_t pid = static_cast<std::uint32_t>(getpid());
  unsigned char message[6] = {0x00, 0x04};
  std::memcpy(message + 2, &pid, sizeof pid);
  m_router.Write(6, message, sizeof message);
  std::printf("[pluginLua::init] $$$$$$$$ write lua pid : %d $$$$$$$$\n", static_cast<int>(pid));
  return 1;
}

namespace {

void pinProcessToCpu0() {
  cpu_set_t mask;
  CPU_ZERO(&mask);
  CPU_SET(0, &mask);
  if (sched_setaffinity(0, sizeof mask, &mask) == -1) std::printf("set process affinity failed\n");
  CPU_ZERO(&mask);
  if (sched_getaffinity(0, sizeof mask, &mask) == -1) {
    std::printf("get process affinity failed\n");
    return;
  }
  for (int cpu = 0; cpu < 4; ++cpu) {
    if (CPU_ISSET(cpu, &mask))
      std::printf("[setProcessToCPU] Policy: %d, running processor : %d\n", sched_getscheduler(0), cpu);
  }
}

}  // namespace

int pluginLua::plugin_do_init() {
  std::lock_guard lock(m_initMutex);
  std::atomic_thread_fence(std::memory_order_seq_cst);
  if (std::atomic_ref<std::uint8_t>(m_initialised).load() != 0) {
    std::printf(" ************** lua is Initialized , return **************\n");
    return 0;
  }
  std::printf(" ************** start init lua **************\n");
  pinProcessToCpu0();
  init(PLUGIN_LUA);
  sendStartupSettings();
  init_obj();
  std::atomic_ref<std::uint8_t>(m_initialised).store(1);
  std::atomic_thread_fence(std::memory_order_seq_cst);
  return 0;
}

void pluginLua::sendStartupSettings() {
  // Replies are not read; a failed builder is ignored.
  auto drop = [this](Packet* reply) {
    if (reply != nullptr) freePluginPacket(reply);
  };
  m_params.transition = 0;
  drop(alloc_SetTransitionCmd(m_params.transition, true));

  tagPTPCommonParams& ratios = m_params.ptpcommon;
  ratios = *m_reader->paramsPTPCommon_ratiodefault();
  const char* what = "paramsPTPCommon_ratiodefault";
  std::printf("[%s], velocityRatio:%.3f, accelerationRatio:%.3f, jerkRatio:%.3f\n", what, ratios.velocityRatio,
              ratios.accelerationRatio, ratios.jerkRatio);
  std::printf("[%s], xyzVelocityRatio:%.3f, rVelocityRatio:%.3f\n", what, ratios.xyzVelocityRatio,
              ratios.rVelocityRatio);
  std::printf("[%s], xyzAccelerationRatio:%.3f, rAccelerationRatio:%.3f\n", what, ratios.xyzAccelerationRatio,
              ratios.rAccelerationRatio);
  std::printf("[%s], xyzJerkRatio:%.3f, rJerkRatio:%.3f\n", what, ratios.xyzJerkRatio, ratios.rJerkRatio);
  drop(alloc_SetPTPCommonParams(&ratios, true));

  const st_ratiodefault& defaults = m_reader->ratioDefault;
  m_params.jump = {defaults.arch_startHeight.def, defaults.arch_endHeight.def, defaults.arch_zLimit.def};
  drop(alloc_SetPTPJump2Params(&m_params.jump, true));

  m_speedRatio = 100.0f;
  std::printf("speed set %f%%\n", m_speedRatio);
  m_accelRatio = 100.0f;
  std::printf("accel set %f%%\n", m_accelRatio);

  const float* user = m_reader->userCoord[0].params;
  m_userFrame = {0, user[0], user[1], user[2], user[3]};
  ZLOG_TRACE("USER COORD[%d]: %1.3f %1.3f %1.3f %1.3f \n", 0, m_userFrame.x, m_userFrame.y, m_userFrame.z,
             m_userFrame.r);
  drop(alloc_SetUserCoordParams(&m_userFrame, true));

  const float* tool = m_reader->toolCoord[0].params;
  m_toolFrame = {0, tool[0], tool[1], tool[2], tool[3]};
  ZLOG_TRACE("TOOL COORD[%d]: %1.3f %1.3f %1.3f %1.3f \n", 0, m_toolFrame.x, m_toolFrame.y, m_toolFrame.z,
             m_toolFrame.r);
  drop(alloc_SetToolCoordParams(&m_toolFrame, true));
}

void pluginLua::init_obj() {
  struct ReportSocket {
    UdpClient& socket;
    int port;
  };
  const ReportSocket sockets[] = {{m_udpPrint, kPrintPort},
                                  {m_udpEventLog, kEventLogPort},
                                  {m_udpCallCursor, kCallCursorPort},
                                  {m_udpRunCursor, kRunCursorPort}};
  for (const ReportSocket& s : sockets) {
    s.socket.createSocket("", s.port);
    // Interfaces this machine lacks are skipped by the socket class.
    s.socket.CreateSocketEthX("eth2", "", s.port);
    s.socket.CreateSocketEthX("WiFi", "", s.port);
  }
  if (m_monitorsStarted) std::terminate();
  m_monitorsStarted = true;
  m_monitorsRunning.store(3);
  std::thread([this] { printMonitor(); }).detach();
  std::thread([this] { callCursorMonitor(); }).detach();
  std::thread([this] { runCursorMonitor(); }).detach();
}

bool pluginLua::monitorSleep(int ms) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < until) {
    if (m_stopMonitors.load()) return false;
    std::this_thread::sleep_for(10ms);
  }
  return !m_stopMonitors.load();
}

void pluginLua::stopMonitors() {
  m_stopMonitors.store(true);
  const auto until = std::chrono::steady_clock::now() + kMonitorStopWait;
  while (m_monitorsRunning.load() > 0 && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(5ms);
}

int pluginLua::SetScriptAlarm(int code) {
  zelor::common::ipc::writeScriptAlarm(m_shm, code);
  return code;
}

void pluginLua::alarmMessage(int code, char* out, std::size_t size) const {
  scriptAlarmText(m_alarmInfo, code, out, size);
}
