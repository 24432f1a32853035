// Putting user and tool frames in force, and back to the pendant's choice.

#include <json/reader.h>
#include <json/value.h>

#include <fstream>
#include <string>

#include "install_paths.h"
#include "json/json_project_reader.h"
#include "log/line_log.h"
#include "log/ombrel.h"
#include "plugin_lua.h"

void pluginLua::setCoordUser(int index) {
  if (index >= 0 && index < kFrameCount) {
    const float* p = m_reader->userCoord[index].params;
    m_userFrame = {0, p[0], p[1], p[2], p[3]};
  }
  m_userFrame.index = static_cast<std::uint32_t>(index);
  ZLOG_TRACE("USER COORD[%d]: %1.3f %1.3f %1.3f %1.3f ", index, m_userFrame.x, m_userFrame.y, m_userFrame.z,
             m_userFrame.r);
  Packet* reply = alloc_SetUserCoordParams(&m_userFrame, true);
  if (reply == nullptr) {
    spdlog::ombrel::basicLog(-16, __LINE__, __func__, 2, "receive a nullptr");
    return;
  }
  freePluginPacket(reply);
}

void pluginLua::setCoordTool(int index) {
  if (index >= 0 && index < kFrameCount) {
    const float* p = m_reader->toolCoord[index].params;
    m_toolFrame = {0, p[0], p[1], p[2], p[3]};
  }
  m_toolFrame.index = static_cast<std::uint32_t>(index);
  ZLOG_TRACE("TOOL COORD[%d]: %1.3f %1.3f %1.3f %1.3f ", index, m_toolFrame.x, m_toolFrame.y, m_toolFrame.z,
             m_toolFrame.r);
  Packet* reply = alloc_SetToolCoordParams(&m_toolFrame, true);
  if (reply == nullptr) {
    spdlog::ombrel::basicLog(-16, __LINE__, __func__, 2, "receive a nullptr");
    return;
  }
  freePluginPacket(reply);
}

void pluginLua::recoverCoordinate() {
  const std::string path = std::string(zelor::paths::kProjectDir) + "/settings/quillon/config.json";
  Json::Value root;
  std::string errors;
  std::ifstream in(path, std::ios::binary);
  // libutils keeps its JSON helpers to itself; the reader is JsonCpp's own.
  Json::CharReaderBuilder builder;
  if (!in || !Json::parseFromStream(builder, in, &root, &errors))
    ZLOG_ERROR("read file[%s] error:%s", path.c_str(), in ? errors.c_str() : "cannot open");
  else if (root.isNull())
    ZLOG_ERROR("read file[%s] error, nothing", path.c_str());
  if (!root.isObject() || !root.isMember("coordinate")) return;
  const Json::Value& coordinate = root["coordinate"];
  if (!coordinate.isObject()) return;
  // A member that is no integer counts as missing.
  auto frameIndex = [&](const char* key, int& out) {
    if (!coordinate.isMember(key)) return false;
    const Json::Value& value = coordinate[key];
    if (!value.isInt()) {
      ZLOG_ERROR("read file[%s]: coordinate %s is not an integer, skipped", path.c_str(), key);
      return false;
    }
    out = value.asInt();
    return true;
  };
  int index = 0;
  if (frameIndex("user", index)) {
    spdlog::ombrel::basicLog(-16, __LINE__, __func__, 2, "user {}", index);
    setCoordUser(index);
  }
  if (frameIndex("tool", index)) {
    spdlog::ombrel::basicLog(-16, __LINE__, __func__, 2, "tool {}", index);
    setCoordTool(index);
  }
}
