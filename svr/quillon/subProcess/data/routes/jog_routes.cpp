// panel/jog, panel/auxJog and interface/jogMode: the pendant's jog keys of the
// arm and the auxiliary axis, and the choice between jog and step.
#include <atomic>
#include <cstdint>
#include <string>

#include "common/protocol/axes_group_ref.h"
#include "subProcess/data/data_log.h"
#include "subProcess/data/data_sub_process.h"
#include "subProcess/data/routes/route_support.h"

namespace {

using namespace route_support;

constexpr int kKeys = 6;
// The kernel jogs joints 1-4 and the Cartesian axes of the current frames.
constexpr int kKernelKeys = 4;
constexpr int kCoordinateJoint = 1;
constexpr int kCoordinateTool = 3;
constexpr int kJog = 1;
constexpr int kStep = 2;
constexpr std::uint32_t kAuxJog = 6;
constexpr std::uint32_t kAuxStep = 7;
constexpr const char* kStatusTrue = "{\"status\":\"true\"}";
constexpr const char* kStatusFalse = "{\"status\":\"false\"}";

// Step distances last sent with the inching parameters.
float distanceMM = 0.0f;
float distanceANG = 0.0f;
// The auxiliary axis's keys as last seen.
std::uint8_t posBtnLast = 0;
std::uint8_t negBtnLast = 0;

bool pressed(const rapidjson::Value& key) {
  if (key.IsBool()) return key.GetBool();
  return key.IsString() && std::string(key.GetString(), key.GetStringLength()) == "true";
}

std::uint32_t collisionWord(DataSubProcess* server) {
  AxesGroupRef* record = server->robotData();
  return record != nullptr
             ? std::atomic_ref<std::uint32_t>(record->m_CollisionWord).load(std::memory_order_relaxed)
             : 0;
}

}  // namespace

struct JogRoutes {
  // Steps shared by both jog routes; 0 to go on, else the result.
  static int jogPrologue(HttpRequest& request, DataSubProcess* server, rapidjson::Document& doc) {
    const std::uint32_t collision = collisionWord(server);
    DATA_LOG(kInfo, "isCollision:{}", collision);
    if (!request.isPost() || (DataSubProcess::getControllerAlarmStatus(server) & 0xff) != 0 ||
        server->remoteControl() || collision != 0) {
      DATA_LOG(kInfo, "panelJog Condition not satisfied!!!");
      DataSubProcess::Reply(server, kRefusedReply);
      return kOk;
    }
    if (server->controlType_.load() == DataSubProcess::kControlAuto ||
        server->dragMode_.load() == DataSubProcess::kDragOn) {
      DataSubProcess::Reply(server, kStatusFalse);
      return kOk;
    }
    if (!parseRequestBody(request, doc)) return kFailed;
    return 0;
  }

  // Sends one jog command; true with a reply.
  static bool sendJog(DataSubProcess* server, std::uint8_t isJoint, std::uint8_t cmd) {
    const tagJOGCmd jog{isJoint, cmd};
    return done(*server, server->alloc_SetJOGCmd(&jog, 0), "alloc_SetJOGCmd(&jogCmd, 0) error");
  }

  static int panelJog(HttpRequest& request, DataSubProcess* server) {
    rapidjson::Document doc;
    if (const int result = jogPrologue(request, server, doc); result != 0) return result;
    const rapidjson::Value* pos = member(doc, "posBtns");
    const rapidjson::Value* neg = member(doc, "negBtns");
    if (pos == nullptr || neg == nullptr || !pos->IsArray() || !neg->IsArray() || pos->Size() != kKeys ||
        neg->Size() != kKeys) {
      return kFailed;
    }
    const int mode = server->coordinateMode_.load();
    const bool tool = mode == kCoordinateTool;
    const std::uint8_t isJoint = mode == kCoordinateJoint ? 1 : 0;
    std::uint8_t* keys = server->jogKeys_;
    bool ok = true;
    bool handled = false;
    for (int j = 0; j < kKeys && !handled; ++j) {
      for (int side = 0; side < 2 && !handled; ++side) {
        std::uint8_t& remembered = keys[side * kKeys + j];
        const rapidjson::Value& key = (side == 0 ? *pos : *neg)[static_cast<rapidjson::SizeType>(j)];
        if (remembered == 0 || pressed(key)) continue;
        handled = true;
        ok = sendJog(server, isJoint, 0);
        if (ok) {
          remembered = 0;
          DATA_LOG(kInfo, side == 0 ? "posBtns[{}], set JOG break." : "negBtns[{}], set JOG break.", j);
        }
      }
    }
    for (int k = 0; k < kKeys && !handled; ++k) {
      for (int side = 0; side < 2 && !handled; ++side) {
        std::uint8_t& remembered = keys[side * kKeys + k];
        const rapidjson::Value& key = (side == 0 ? *pos : *neg)[static_cast<rapidjson::SizeType>(k)];
        if (remembered != 0 || !pressed(key)) continue;
        handled = true;
        if (tool || k >= kKernelKeys) {
          DATA_LOG(kWarn, "jog key {} not served in coordinate mode {}, nothing sent", k, mode);
          ok = false;
          break;
        }
        ok = sendJog(server, isJoint, static_cast<std::uint8_t>(2 * k + 1 + side));
        if (ok) remembered = 1;
      }
    }
    DataSubProcess::Reply(server, ok ? kStatusTrue : kStatusFalse);
    return kOk;
  }

  // Element 0 of a key array: 0 released, 1 pressed, -1 malformed.
  static int firstKey(const rapidjson::Value* keys) {
    if (keys == nullptr || !keys->IsArray() || keys->Empty()) return -1;
    const rapidjson::Value& key = (*keys)[0];
    if (key.IsBool()) return key.GetBool() ? 1 : 0;
    if (key.IsString()) return pressed(key) ? 1 : 0;
    return -1;
  }

  static void sendAux(DataSubProcess* server, std::uint32_t code, std::int32_t i, float f, bool isFloat) {
    stTramletCmd cmd{code, {0}, 0};
    if (isFloat) {
      cmd.value.f = f;
    } else {
      cmd.value.i = i;
    }
    done(*server, server->alloc_SetExterAxisCmd(cmd, 0), "alloc_SetExterAxisCmd(cmd) error");
  }

  static void auxMove(DataSubProcess* server, int direction) {
    switch (server->jogMode_.load()) {
      case kJog:
        sendAux(server, kAuxJog, direction, 0.0f, false);
        break;
      case kStep:
        sendAux(server, kAuxStep, 0, static_cast<float>(direction) * server->m_INCHParams.distanceMM, true);
        break;
      default:
        sendAux(server, 0, 0, 0.0f, false);
        break;
    }
  }

  static int panelExterJog(HttpRequest& request, DataSubProcess* server) {
    rapidjson::Document doc;
    if (const int result = jogPrologue(request, server, doc); result != 0) return result;
    const int p = firstKey(member(doc, "posBtns"));
    const int n = firstKey(member(doc, "negBtns"));
    if (p < 0 || n < 0) return kFailed;
    DATA_LOG(kInfo, "posBtn: {} -> {}, negBtn: {} -> {}", posBtnLast, p, negBtnLast, n);
    const auto stop = [server] { sendAux(server, kAuxJog, 0, 0.0f, false); };
    if (posBtnLast != 0) {
      if (p == 0) {
        stop();
        posBtnLast = 0;
      } else if (negBtnLast != 0 && n == 0) {
        stop();
        negBtnLast = 0;
      } else if (negBtnLast == 0 && n != 0) {
        auxMove(server, -1);
        negBtnLast = 1;
      }
    } else if (negBtnLast != 0) {
      if (n == 0) {
        stop();
        negBtnLast = 0;
      } else if (p != 0) {
        auxMove(server, 1);
        posBtnLast = 1;
      }
    } else if (p != 0) {
      auxMove(server, 1);
      posBtnLast = 1;
    } else if (n != 0) {
      auxMove(server, -1);
      negBtnLast = 1;
    }
    DataSubProcess::Reply(server, kStatusTrue);
    return kOk;
  }

  static void sendInching(DataSubProcess* server, std::uint32_t isInch) {
    tagINCHParams& inch = server->m_INCHParams;
    inch.isInch = isInch;
    done(*server, server->alloc_SetINCHParams(&inch, false), "alloc_SetINCHParams(&server->m_INCHParams, 0) error");
    DATA_LOG(kInfo, "[{}],isInch: {}, distanceMM: {},  distanceANG: {}", "setJogMode", inch.isInch, inch.distanceMM,
             inch.distanceANG);
  }

  static int setJogMode(HttpRequest& request, DataSubProcess* server) {
    if (!request.isPost()) {
      DataSubProcess::Reply(server, " not support methord! only support post!");
      return kFailed;
    }
    rapidjson::Document doc;
    if (!parseRequestBody(request, doc)) return kFailed;
    if (server->controlType_.load() != DataSubProcess::kControlAuto) {
      if (memberIs(doc, "jogMode", "jog")) {
        if (server->jogMode_.load() != kJog) sendInching(server, 0);
        server->jogMode_ = kJog;
      } else if (memberIs(doc, "jogMode", "step")) {
        const tagINCHParams& inch = server->m_INCHParams;
        if (server->jogMode_.load() != kStep || inch.distanceMM != distanceMM || inch.distanceANG != distanceANG) {
          sendInching(server, 1);
          distanceMM = inch.distanceMM;
          distanceANG = inch.distanceANG;
        }
        server->jogMode_ = kStep;
      } else {
        DATA_LOG(kInfo, "Receive invalid jog mode, set to default");
        server->jogMode_ = 0;
      }
    }
    DataSubProcess::Reply(server, "{\"value\":true}");
    return kOk;
  }
};

void registerJogRoutes(RouteTable& table) {
  table.add("panel", "jog", &JogRoutes::panelJog);
  table.add("panel", "auxJog", &JogRoutes::panelExterJog);
  table.add("interface", "jogMode", &JogRoutes::setJogMode);
}
