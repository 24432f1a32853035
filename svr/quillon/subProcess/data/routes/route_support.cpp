#include "subProcess/data/routes/route_support.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "subProcess/data/data_log.h"

namespace route_support {

bool asInt(const rapidjson::Value& value, int& out) {
  if (!value.IsNumber()) return false;
  if (value.IsInt()) {
    out = value.GetInt();
    return true;
  }
  const double d = std::trunc(value.GetDouble());
  if (!std::isfinite(d)) {
    out = d > 0 ? std::numeric_limits<int>::max() : std::numeric_limits<int>::min();
  } else if (d >= static_cast<double>(std::numeric_limits<int>::max())) {
    out = std::numeric_limits<int>::max();
  } else if (d <= static_cast<double>(std::numeric_limits<int>::min())) {
    out = std::numeric_limits<int>::min();
  } else {
    out = static_cast<int>(d);
  }
  return true;
}

const rapidjson::Value* member(const rapidjson::Value& object, const char* name) {
  if (!object.IsObject()) return nullptr;
  const auto it = object.FindMember(name);
  return it != object.MemberEnd() ? &it->value : nullptr;
}

bool memberInt(const rapidjson::Value& object, const char* name, int& out) {
  const rapidjson::Value* v = member(object, name);
  return v != nullptr && asInt(*v, out);
}

bool memberIs(const rapidjson::Value& object, const char* name, const char* text) {
  const rapidjson::Value* v = member(object, name);
  return v != nullptr && v->IsString() && std::strcmp(v->GetString(), text) == 0;
}

bool memberTrue(const rapidjson::Value& object, const char* name) {
  const rapidjson::Value* v = member(object, name);
  return v != nullptr && v->IsBool() && v->GetBool();
}

bool done(PluginBase& client, Packet* reply, const char* error) {
  if (reply == nullptr) {
    DATA_LOG(kError, "{}", error);
    return false;
  }
  client.freePluginPacket(reply);
  return true;
}

bool copyFrame(const st_coord* table, int index, tagCoordParamsFull& frame) {
  if (index < 0 || index >= kFrameCount) return false;
  const st_coord& entry = table[index];
  frame.index = static_cast<std::uint32_t>(index);
  frame.x = entry.params[0];
  frame.y = entry.params[1];
  frame.z = entry.params[2];
  frame.r = entry.params[3];
  return entry.enable;
}

}  // namespace route_support
