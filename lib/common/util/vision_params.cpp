// The vision camera table, process/vision/params.json.
#include <cstdio>
#include <memory>

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "common/util/json_util.h"
#include "common/util/json_util_detail.h"

namespace zelor::common::util {

VisionCamMap m_visionParams;

namespace {

// Deletes the table's records at exit; built after the table, so it runs
// before the table goes.
struct VisionTableRelease {
  ~VisionTableRelease() {
    for (auto& entry : m_visionParams) delete entry.second;
    m_visionParams.clear();
  }
} visionTableRelease;

constexpr const char* kParamsFile = "process/vision/params.json";
constexpr int kCalibResultCount = 16;

// Reads the members of one camera object in the file's order; the first
// missing or wrongly typed required member ends the read.
class CameraReader {
 public:
  explicit CameraReader(VisionCamParams& cam) : cam_(cam) {}

  bool read(const rapidjson::Value& obj) {
    struct IntRow {
      const char* key;
      std::int32_t VisionCamParams::*field;
    };
    static constexpr IntRow kTop[] = {{"installType", &VisionCamParams::installType},
                                      {"triggerMode", &VisionCamParams::triggerMode}};
    for (const IntRow& row : kTop) {
      if (!number(obj, row.key, cam_.*row.field)) return false;
    }
    if (!number8(obj, "triggerIO", cam_.triggerIO)) return false;
    static constexpr IntRow kRest[] = {{"netMode", &VisionCamParams::netMode},
                                       {"blockMode", &VisionCamParams::blockMode},
                                       {"blockTime", &VisionCamParams::blockTime},
                                       {"IsRobotCalib", &VisionCamParams::IsRobotCalib}};
    for (const IntRow& row : kRest) {
      if (!number(obj, row.key, cam_.*row.field)) return false;
    }

    const rapidjson::Value* net = group(obj, "net");
    if (net == nullptr) return false;
    if (!number(*net, "port", cam_.port) || !number(*net, "netTimeout", cam_.netTimeout) ||
        !text(*net, "ip", cam_.ip)) {
      return false;
    }
    if (!text(obj, "triggerForm", cam_.triggerForm)) return false;

    // "calib" and "recvForm" are optional groups: without them the camera
    // is still taken.
    if (const rapidjson::Value* calib = group(obj, "calib")) {
      if (!number(*calib, "calibType", cam_.calibType) || !number8(*calib, "user", cam_.user) ||
          !number8(*calib, "tool", cam_.tool) || !number8(*calib, "PtNumType", cam_.PtNumType) ||
          !number8(*calib, "fixType", cam_.fixType)) {
        return false;
      }
      auto result = calib->FindMember("calibResult");
      if (result == calib->MemberEnd() || !result->value.IsArray()) {
        detail::printNoMember(kFunc, __LINE__, "calibResult");
      } else {
        const rapidjson::Value& values = result->value;
        for (rapidjson::SizeType i = 0; i < values.Size() && i < kCalibResultCount; ++i) {
          if (!values[i].IsNumber()) {
            std::printf("[%s] #%d: calibResult[%d] is not a number !!!\n", kFunc, __LINE__, static_cast<int>(i));
            return false;
          }
          cam_.calibResult[i] = values[i].GetDouble();
        }
      }
      if (!real(*calib, "offsetX", cam_.offsetX) || !real(*calib, "offsetY", cam_.offsetY)) return false;
    }
    if (const rapidjson::Value* recv = group(obj, "recvForm")) {
      if (!number8(*recv, "dataLen", cam_.dataLen)) return false;
      cam_.head = literalTrue(*recv, "head");
      cam_.tail = literalTrue(*recv, "tail");
      if (!text(*recv, "split", cam_.split) || !text(*recv, "frameGap", cam_.frameGap)) return false;
    }
    return true;
  }

 private:
  static constexpr const char* kFunc = "getVisionParams";

  static const rapidjson::Value* find(const rapidjson::Value& obj, const char* key) {
    auto it = obj.FindMember(key);
    return it == obj.MemberEnd() ? nullptr : &it->value;
  }

  static const rapidjson::Value* group(const rapidjson::Value& obj, const char* key) {
    const rapidjson::Value* v = find(obj, key);
    if (v == nullptr || !v->IsObject()) {
      detail::printNoMember(kFunc, __LINE__, key);
      return nullptr;
    }
    return v;
  }

  static bool number(const rapidjson::Value& obj, const char* key, std::int32_t& out) {
    const rapidjson::Value* v = find(obj, key);
    if (v == nullptr || !v->IsNumber()) {
      detail::printNoMember(kFunc, __LINE__, key);
      return false;
    }
    out = detail::toInt32(*v);
    return true;
  }

  // Kept in 8 bits, as the record holds it.
  static bool number8(const rapidjson::Value& obj, const char* key, std::uint8_t& out) {
    std::int32_t v = 0;
    if (!number(obj, key, v)) return false;
    out = static_cast<std::uint8_t>(v);
    return true;
  }

  static bool real(const rapidjson::Value& obj, const char* key, double& out) {
    const rapidjson::Value* v = find(obj, key);
    if (v == nullptr || !v->IsNumber()) {
      detail::printNoMember(kFunc, __LINE__, key);
      return false;
    }
    out = v->GetDouble();
    return true;
  }

  static bool text(const rapidjson::Value& obj, const char* key, std::string& out) {
    const rapidjson::Value* v = find(obj, key);
    if (v == nullptr || !v->IsString()) {
      detail::printNoMember(kFunc, __LINE__, key);
      return false;
    }
    out.assign(v->GetString(), v->GetStringLength());
    return true;
  }

  static bool literalTrue(const rapidjson::Value& obj, const char* key) {
    const rapidjson::Value* v = find(obj, key);
    return v != nullptr && v->IsTrue();
  }

  VisionCamParams& cam_;
};

}  // namespace

int JsonUtil::getVisionParams(VisionCamMap& cameras, bool create) {
  std::printf("enter %s,%d\n", __func__, __LINE__);
  const std::string path = detail::settingsPath(kParamsFile);
  const bool existed = detail::fileExists(path.c_str());
  rapidjson::Document doc;
  const int status = readJsonFile(path.c_str(), doc);
  if (status != 0) {
    // Only a missing file gets the empty table: a broken one is the user's
    // cameras and stays for repair.
    if (create && !existed) {
      rapidjson::Document empty;
      empty.SetObject();
      writeJsonFile(path.c_str(), &empty, true);
    }
    return status;
  }
  if (!doc.IsObject()) {
    detail::printNoMember(__func__, __LINE__, "camera object");
    return -1;
  }
  for (auto it = doc.MemberBegin(); it != doc.MemberEnd(); ++it) {
    const std::string name(it->name.GetString(), it->name.GetStringLength());
    if (!it->value.IsObject()) {
      detail::printNoMember(__func__, __LINE__, name.c_str());
      return -1;
    }
    auto cam = std::make_unique<VisionCamParams>();
    cam->name = name;
    if (!CameraReader(*cam).read(it->value)) return -1;
    VisionCamParams*& slot = cameras[name];
    delete slot;
    slot = cam.release();
  }
  return 0;
}

int JsonUtil::setVisionParams(const VisionCamMap& cameras, bool create) {
  rapidjson::StringBuffer buffer;
  rapidjson::Writer<rapidjson::StringBuffer> w(buffer);
  bool ok = w.StartObject();
  for (const auto& [name, cam] : cameras) {
    if (cam == nullptr) continue;
    std::printf("name = %s\n", name.c_str());
    auto key = [&w](const char* k) { return w.Key(k); };
    auto str = [&w](const std::string& s) { return w.String(s.data(), static_cast<rapidjson::SizeType>(s.size())); };
    ok = ok && w.Key(name.data(), static_cast<rapidjson::SizeType>(name.size())) && w.StartObject();
    ok = ok && key("installType") && w.Int(cam->installType);
    ok = ok && key("triggerMode") && w.Int(cam->triggerMode);
    ok = ok && key("triggerForm") && str(cam->triggerForm);
    ok = ok && key("triggerIO") && w.Uint(cam->triggerIO);
    ok = ok && key("netMode") && w.Int(cam->netMode);
    ok = ok && key("net") && w.StartObject();
    ok = ok && key("ip") && str(cam->ip);
    ok = ok && key("port") && w.Int(cam->port);
    ok = ok && key("netTimeout") && w.Int(cam->netTimeout);
    ok = ok && w.EndObject();
    ok = ok && key("blockMode") && w.Int(cam->blockMode);
    ok = ok && key("blockTime") && w.Int(cam->blockTime);
    ok = ok && key("recvForm") && w.StartObject();
    ok = ok && key("head") && w.Bool(cam->head);
    ok = ok && key("tail") && w.Bool(cam->tail);
    ok = ok && key("dataLen") && w.Uint(cam->dataLen);
    ok = ok && key("split") && str(cam->split);
    ok = ok && key("frameGap") && str(cam->frameGap);
    ok = ok && w.EndObject();
    ok = ok && key("IsRobotCalib") && w.Int(cam->IsRobotCalib);
    ok = ok && key("calib") && w.StartObject();
    ok = ok && key("calibType") && w.Int(cam->calibType);
    ok = ok && key("user") && w.Uint(cam->user);
    ok = ok && key("tool") && w.Uint(cam->tool);
    ok = ok && key("PtNumType") && w.Uint(cam->PtNumType);
    ok = ok && key("fixType") && w.Uint(cam->fixType);
    ok = ok && key("calibResult") && w.StartArray();
    for (double v : cam->calibResult) ok = ok && w.Double(v);
    ok = ok && w.EndArray();
    ok = ok && key("offsetX") && w.Double(cam->offsetX);
    ok = ok && key("offsetY") && w.Double(cam->offsetY);
    ok = ok && w.EndObject() && w.EndObject();
  }
  ok = ok && w.EndObject();
  // A value without a JSON form (NaN) leaves the text unparsable.
  std::string text = ok ? std::string(buffer.GetString(), buffer.GetSize()) : std::string();
  rapidjson::Document doc;
  if (str2json(doc, text) != 0) return -1;
  return setVisionParams(&doc, create);
}

}  // namespace zelor::common::util
