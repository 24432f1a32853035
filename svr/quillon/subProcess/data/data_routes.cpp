#include <ctime>

#include <rapidjson/document.h>

#include "subProcess/data/data_log.h"
#include "subProcess/data/data_sub_process.h"
#include "subProcess/data/routes/routes.h"

namespace {
constexpr int kOk = 200;
constexpr int kFailed = 500;
constexpr int kOccupiedSeconds = 5;
}  // namespace

// The handlers of this file: the dependency-free routes every pendant uses
// from the start. Later route families add their rows in fillRoutes.
struct DataRoutes {
  static int connectState(HttpRequest&, DataSubProcess* server) {
    const std::time_t now = std::time(nullptr);
    if (now - server->lastExchange_.load() < kOccupiedSeconds) {
      DataSubProcess::Reply(server, "{\"value\":\"occupied\"}");
      return kOk;
    }
    server->connected_ = 1;
    server->connCounter_ = 0;
    if (server->switchState_.load() != DataSubProcess::kSwitchUnknown) {
      if (Packet* p = server->alloc_GetHHTTrigOutputEnabled()) {
        server->freePluginPacket(p);
      } else {
        DATA_LOG(kError, "connectState alloc_GetHHTTrigOutputEnabled ERROR");
      }
      if (Packet* p = server->alloc_GetDragTeachEnabled()) {
        server->freePluginPacket(p);
      } else {
        DATA_LOG(kError, "ClearError alloc_GetDragTeachEnabled ERROR");
      }
    }
    DataSubProcess::Reply(server, "{\"value\":\"connected\"}");
    return kOk;
  }

  // Property replies as the styled writer renders them.
  static int propAxis(HttpRequest& request, DataSubProcess* server) {
    if (!request.isGet()) return DataSubProcess::Reply(server, false), kOk;
    DataSubProcess::Reply(server, "{\n   \"axis\" : 4\n}\n");
    return kOk;
  }

  static int propBusinessType(HttpRequest& request, DataSubProcess* server) {
    if (!request.isGet()) return DataSubProcess::Reply(server, false), kOk;
    DataSubProcess::Reply(server, "{\n   \"type\" : \"industry\"\n}\n");
    return kOk;
  }

  static int luaNothing(HttpRequest&, DataSubProcess* server) {
    DataSubProcess::Reply(server, true);
    return kOk;
  }

  static int prjFileUpdate(HttpRequest&, DataSubProcess* server) {
    DataSubProcess::Reply(server, true);
    return kOk;
  }

  static int setHardware(HttpRequest& request, DataSubProcess* server) {
    if (!request.isPost()) {
      DataSubProcess::Reply(server, " not support methord! only support post!");
      return kFailed;
    }
    rapidjson::Document doc;
    if (!parseRequestBody(request, doc)) return kFailed;
    bool on = false;
    if (doc.IsObject()) {
      auto it = doc.FindMember("enable");
      on = it != doc.MemberEnd() && it->value.IsBool() && it->value.GetBool();
    }
    server->setHardware(on);
    DataSubProcess::Reply(server, "{\"value\":true}");
    return kOk;
  }
};

void DataSubProcess::fillRoutes() {
  RouteTable& t = apis_;
  t.add("connection", "state", &DataRoutes::connectState);
  for (const char* m : {"stepOver", "setb", "delb", "delallb"}) t.add("debugger", m, &DataRoutes::luaNothing);
  t.add("interface", "updateFile", &DataRoutes::prjFileUpdate);
  t.add("interface", "hardware", &DataRoutes::setHardware);
  t.add("properties", "axis", &DataRoutes::propAxis);
  t.add("properties", "businessType", &DataRoutes::propBusinessType);
  registerExchangeRoutes(t);
  registerMotionRoutes(t);
  registerScriptRoutes(t);
  registerJogRoutes(t);
  registerPanelRoutes(t);
}
