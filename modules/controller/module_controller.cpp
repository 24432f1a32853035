#include "controller/module_controller.h"

#include <thread>

#include "command_server/tcpip_call.h"
#include "common/ipc/robot_map.h"
#include "common/router/message_router.h"
#include "controller/cpu_temperature.h"
#include "controller/feedback_senders.h"
#include "log/ombrel.h"
#include "remote_io/modbus_io.h"
#include "service/identify_service.h"
#include "service/tp_server.h"

namespace zelor::brevan {

namespace {
constexpr int kChannel15 = ~15;
constexpr int kInfo = 2;
constexpr std::int32_t kControlTypeManual = 2;
}  // namespace

int ModuleController::LoadAll() {
  spdlog::ombrel::basicLog(kChannel15, __LINE__, __func__, kInfo, "ModuleController::LoadAll start!");
  startCpuTemperatureThread();
  zelor::modules::router::MessageRouter::Instance()->Start();
  zelor::modules::router::ModbusIO::Instance()->Start();
  zelor::modules::service::StartAutoIdentifyServer();
  std::thread(zelor::modules::service::StartHttpServer).detach();
  zelor::modules::tcpipCall::Instance();
  spdlog::ombrel::basicLog(kChannel15, __LINE__, __func__, kInfo, "begin to start caller.....  \n");
  realtimeSenderReInit();
  startRealTimeConfigWatcher();
  // Keeps this thread while port 6000 serves.
  m_appProtocol.StartServer();
  robotMap& map = robotMap::instance();
  map.storeWord(robot_map::kControlType, kControlTypeManual);
  spdlog::ombrel::basicLog(kChannel15, __LINE__, __func__, kInfo, "状态:{}", map.loadWord(robot_map::kControlType));
  spdlog::ombrel::basicLog(kChannel15, __LINE__, __func__, kInfo, "ModuleController::LoadAll end!");
  return 1;
}

}  // namespace zelor::brevan
