// panel/dragTeach, autoManual, threeSwitch and emergencyStop, the simulated
// axes and the auxiliary-joint files: the pendant's switches and two settings
// of the same family.
#include <atomic>
#include <cstdint>
#include <string>

#include <json/value.h>
#include <json/writer.h>

#include "common/ipc/robot_map.h"
#include "common/ipc/robot_map_layout.h"
#include "common/protocol/axes_group_ref.h"
#include "common/util/json_util.h"
#include "subProcess/data/data_log.h"
#include "subProcess/data/data_sub_process.h"
#include "subProcess/data/routes/route_support.h"

namespace {

using namespace route_support;
using zelor::common::util::JsonUtil;

constexpr const char* kStatusTrue = "{\"status\":\"true\"}";
constexpr int kSimulatedJoints = 6;
constexpr int kSettableJoints = 4;
constexpr const char* kStructurePath = "/project/process/auxJoint/structure.json";
constexpr const char* kSwitchPath = "/project/process/auxJoint/switch.json";

// The `value` member as text: a text as it is, a bool as "true"/"false";
// false when it is missing or null.
bool valueText(const rapidjson::Document& doc, std::string& out) {
  const rapidjson::Value* v = member(doc, "value");
  if (v == nullptr || v->IsNull()) return false;
  if (v->IsString()) {
    out.assign(v->GetString(), v->GetStringLength());
  } else if (v->IsBool()) {
    out = v->GetBool() ? "true" : "false";
  } else {
    out.clear();
  }
  return true;
}

}  // namespace

struct PanelRoutes {
  // Body and `value` of the switch routes; 0 to go on, else the result.
  static int readValue(HttpRequest& request, DataSubProcess* server, std::string& value) {
    if (!request.isPost()) {
      DataSubProcess::Reply(server, kRefusedReply);
      return kOk;
    }
    rapidjson::Document doc;
    if (!parseRequestBody(request, doc) || !valueText(doc, value)) return kFailed;
    return 0;
  }

  static void setDragWord(int mode) { robotMap::instance().storeWord(robot_map::kDragMode, mode); }

  static int panelDragTeach(HttpRequest& request, DataSubProcess* server) {
    std::string value;
    if (const int result = readValue(request, server, value); result != 0) return result;
    if (server->controlType_.load() == DataSubProcess::kControlManual) {
      if (value == "true") {
        server->dragMode_ = DataSubProcess::kDragOn;
        setDragWord(DataSubProcess::kDragOn);
        done(*server, server->alloc_SetDragTeachEnabled(0), "alloc_SetDragTeachEnabled(kAlgsDragEnabled) error");
        DATA_LOG(kInfo, "Start ThreeSwitch:controlMode_drag_enable.......");
      } else {
        server->dragMode_ = DataSubProcess::kDragOff;
        setDragWord(DataSubProcess::kDragOff);
        done(*server, server->alloc_SetDragTeachEnabled(1), "alloc_SetDragTeachEnabled(kAlgsDragDisable) error");
        DATA_LOG(kInfo, "Start ThreeSwitch:controlMode_drag_disable.......");
      }
    }
    DataSubProcess::Reply(server, true);
    return kOk;
  }

  static int panelAutoManual(HttpRequest& request, DataSubProcess* server) {
    std::string value;
    if (const int result = readValue(request, server, value); result != 0) return result;
    if (!server->remoteControl()) {
      DATA_LOG(kInfo, "[{}], POST recv {}", "panelAutoManual", value);
      if (value == "auto") {
        done(*server, server->alloc_SetControlType(DataSubProcess::kControlAuto),
             "alloc_SetControlType(controlType_auto) error");
        server->leaveDragMode();
      } else if (value == "manual") {
        done(*server, server->alloc_SetControlType(DataSubProcess::kControlManual),
             "alloc_SetControlType(controlType_manual) error");
      }
    }
    DataSubProcess::Reply(server, kStatusTrue);
    return kOk;
  }

  static int panelThreeSwitch(HttpRequest& request, DataSubProcess* server) {
    std::string value;
    if (const int result = readValue(request, server, value); result != 0) return result;
    if (server->controlType_.load() == DataSubProcess::kControlManual) {
      server->switchState_ = value == "pressed" ? DataSubProcess::kSwitchEnabled : DataSubProcess::kSwitchDisabled;
      server->switchChanged_ = 1;
    }
    DataSubProcess::Reply(server, kStatusTrue);
    return kOk;
  }

  static int panelEmergencyStop(HttpRequest& request, DataSubProcess* server) {
    if (request.isGet()) {
      Json::Value reply;
      reply["value"] = server->emergencyKey_.load() != 0;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
      Json::StyledWriter writer;
      DataSubProcess::Reply(server, writer.write(reply));
#pragma GCC diagnostic pop
      return kOk;
    }
    if (!request.isPost()) {
      DataSubProcess::Reply(server, kRefusedReply);
      return kOk;
    }
    rapidjson::Document doc;
    if (!parseRequestBody(request, doc)) return kFailed;
    const rapidjson::Value* value = member(doc, "value");
    if (value == nullptr || !value->IsBool()) return kFailed;
    robotMap& map = robotMap::instance();
    if (value->GetBool()) {
      server->emergencyStop();
      server->emergencyKey_ = 1;
      map.storeWord(robot_map::kUnderEmergency, 1);
      server->leaveDragMode();
      server->dragMode_ = DataSubProcess::kDragOff;
      setDragWord(DataSubProcess::kDragOff);
      if (server->switchState_.load() != DataSubProcess::kSwitchDisabled) {
        server->switchState_ = DataSubProcess::kSwitchDisabled;
        server->switchChanged_ = 1;
      }
    } else if (server->stopInput_.load() == 0) {
      server->clearEmergencyStop();
      server->emergencyKey_ = 0;
      map.storeWord(robot_map::kUnderEmergency, 0);
    }
    DataSubProcess::Reply(server, kStatusTrue);
    return kOk;
  }

  static int setSimulatedAxis(HttpRequest& request, DataSubProcess* server) {
    if (request.isGet()) {
      std::string text = "{";
      for (int k = 0; k < kSimulatedJoints; ++k) {
        text += std::string(k > 0 ? "," : "") + "\n\"joint" + std::to_string(k + 1) +
                "Simulated\":" + (server->simulatedAxis_[k].load() != 0 ? "true" : "false");
      }
      DataSubProcess::Reply(server, text + "\n}");
      return kOk;
    }
    if (!request.isPost()) return kOk;
    rapidjson::Document doc;
    if (!parseRequestBody(request, doc)) return kFailed;
    AxesGroupRef* record = server->robotData();
    for (int k = 0; k < kSettableJoints; ++k) {
      const std::string name = "joint" + std::to_string(k + 1) + "Simulated";
      const rapidjson::Value* v = member(doc, name.c_str());
      if (v == nullptr || !v->IsBool()) continue;
      if (server->switchState_.load() != DataSubProcess::kSwitchDisabled) {
        if (k == 0) DATA_LOG(kInfo, "setSimulatedAxis  controlMode_enable!!!! ");
        continue;
      }
      const std::uint8_t on = v->GetBool() ? 1 : 0;
      server->simulatedAxis_[k] = on;
      if (record != nullptr) {
        std::atomic_ref<std::uint32_t>(record->m_Joints[k].m_Simulated).store(on, std::memory_order_relaxed);
      }
    }
    DATA_LOG(kInfo, "{},{},{},{},{},{}", server->simulatedAxis_[0].load(), server->simulatedAxis_[1].load(),
             server->simulatedAxis_[2].load(), server->simulatedAxis_[3].load(), server->simulatedAxis_[4].load(),
             server->simulatedAxis_[5].load());
    DataSubProcess::Reply(server, true);
    return kOk;
  }

  static int processAuxJoint(HttpRequest& request, DataSubProcess* server) {
    const QString file = request.part(3);
    const bool isSwitch = file == "switch";
    if (!isSwitch && file != "structure") return kOk;
    const char* path = isSwitch ? kSwitchPath : kStructurePath;
    if (request.isGet()) {
      std::string text;
      if (JsonUtil::readJsonFile(path, text) != 0 || text.empty()) return kFailed;
      DataSubProcess::Reply(server, text);
      return kOk;
    }
    if (!request.isPost()) return kOk;
    rapidjson::Document doc;
    if (!parseRequestBody(request, doc)) {
      DATA_LOG(kError, "json parse failed document");
      return kFailed;
    }
    if (JsonUtil::writeJsonFile(path, &doc, true) != 0) return kFailed;
    if (isSwitch) {
      server->jsonReader.st_extAxis_load();
      rapidjson::Document again;
      again.Parse(request.body.data(), request.body.size());
      if (const rapidjson::Value* aux = member(again, "auxJoint"); aux != nullptr && aux->IsBool()) {
        server->jsonReader.extAxis.auxJoint = aux->GetBool();
      }
      DATA_LOG(kInfo, "auxJoint = {}", server->jsonReader.extAxis.auxJoint ? "true" : "false");
    }
    DataSubProcess::Reply(server, true);
    return kOk;
  }
};

void registerPanelRoutes(RouteTable& table) {
  table.add("panel", "dragTeach", &PanelRoutes::panelDragTeach);
  table.add("panel", "autoManual", &PanelRoutes::panelAutoManual);
  table.add("panel", "threeSwitch", &PanelRoutes::panelThreeSwitch);
  table.add("panel", "emergencyStop", &PanelRoutes::panelEmergencyStop);
  table.add("settings", "simulatedAxis", &PanelRoutes::setSimulatedAxis);
  table.add("process", "auxJoint", &PanelRoutes::processAuxJoint);
}
