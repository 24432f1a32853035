// Projects and their point files: script paths of a project, the Lua table of
// a point file, and the pendant's point list.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <optional>

#include <json/value.h>

#include "install_paths.h"
#include "json/json_project_reader.h"
#include "json/project_paths.h"
#include "json/project_structure.h"
#include "json/settings_json.h"
#include "log/line_log.h"

using zelor::config::convert;
using zelor::config::copyText;
using zelor::config::fileExists;
using zelor::config::isMissing;
using zelor::config::member;
using zelor::config::readSettings;

namespace {

std::string projectsFolder() { return std::string(zelor::paths::kProjectDir) + "/project"; }

void appendf(std::string& out, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
void appendf(std::string& out, const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(nullptr, 0, fmt, args);
  va_end(args);
  if (n > 0) {
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(n) + 1);
    std::vsnprintf(out.data() + at, static_cast<std::size_t>(n) + 1, fmt, again);
    out.resize(at + static_cast<std::size_t>(n));
  }
  va_end(again);
}

// Element i of an array member as a number; 0 when absent or not a number.
double numberAt(const Json::Value& array, unsigned i) {
  if (!array.isArray() || i >= array.size()) return 0.0;
  return convert<double>(array[i]).value_or(0.0);
}

std::string textOf(Json::Value& item, const char* key, const char* func) {
  return member<std::string>(item, key, func).value_or("");
}

}  // namespace

bool JsonProjectReader::RegexProjectFile(const char* name, st_project** out) {
  *project = st_project{};
  if (name == nullptr || !zelor::config::isPathSegment(name)) {
    ZLOG_ERROR("project name [%s] is not a folder name", name != nullptr ? name : "");
    return false;
  }
  const QString pathTemplate = QString::fromUtf8(projectsFolder().c_str()) + "/%1/%2";
  const QString projectName = QString::fromUtf8(name);
  const QString prjPath = pathTemplate.arg(projectName, "prj.json");
  ZLOG_DEBUG("Check lua project path:%s", prjPath.toUtf8().constData());

  Json::Value root;
  readSettings(prjPath.toStdString(), root, __func__);

  if (isMissing(root, "cpus") || !root["cpus"].isArray() || root["cpus"].empty()) {
    ZLOG_ERROR("Can't find cpus files");
    return false;
  }
  // Script names come from the project file: they must stay in the project.
  auto scriptName = [&](const char* key, std::string& text) {
    text = textOf(root, key, __func__);
    return !zelor::config::hasParentSegment(text);
  };
  st_project resolved;
  const Json::Value& cpus = root["cpus"];
  for (unsigned i = 0; i < cpus.size(); ++i) {
    std::optional<std::string> file = convert<std::string>(cpus[i]);
    if (!file || zelor::config::hasParentSegment(*file)) {
      ZLOG_ERROR("cpus[%u] of %s is not a script of the project", i, prjPath.toUtf8().constData());
      return false;
    }
    resolved.cpus.append(pathTemplate.arg(projectName, QString::fromStdString(*file)));
  }
  std::string global;
  std::string teachPoint;
  if (!scriptName("global", global) || !scriptName("teach_point", teachPoint)) {
    ZLOG_ERROR("a script of %s lies outside the project", prjPath.toUtf8().constData());
    return false;
  }
  resolved.global = pathTemplate.arg(projectName, QString::fromStdString(global));
  resolved.teachPoint = pathTemplate.arg(projectName, QString::fromStdString(teachPoint)) + ".lua";
  *project = resolved;
  if (out != nullptr) *out = project.get();
  return true;
}

bool JsonProjectReader::JsonToLua(const char* relPath) {
  if (relPath == nullptr || !zelor::config::isProjectFilePath(relPath)) {
    ZLOG_ERROR("point file [%s] is not <project>/<file>", relPath != nullptr ? relPath : "");
    return false;
  }
  // The Lua file always lies beside the point file under another name, so
  // the point file itself is never written.
  const std::string jsonPath = projectsFolder() + "/" + relPath;
  const std::string luaPath = jsonPath + ".lua";

  Json::Value root;
  if (!fileExists(jsonPath)) {
    ZLOG_ERROR("Can't find file:%s", jsonPath.c_str());
  } else {
    readSettings(jsonPath, root, __func__);
  }

  const bool withAuxJoint = extAxis.auxJoint && extAxis.addPoints;
  std::string lua;
  for (unsigned i = 0; root.isArray() && i < root.size(); ++i) {
    Json::Value& point = root[i];
    const std::string name = textOf(point, "name", __func__);
    const std::string arm = textOf(point, "armOrientation", __func__);
    Json::Value none;
    const Json::Value& coordinate = isMissing(point, "coordinate") ? none : point["coordinate"];

    std::string joint = " ";
    if (!isMissing(point, "joint")) {
      const Json::Value& j = point["joint"];
      joint.clear();
      appendf(joint, " joint={%f, %f, %f, %f, %f, %f},", numberAt(j, 0), numberAt(j, 1), numberAt(j, 2),
              numberAt(j, 3), numberAt(j, 4), numberAt(j, 5));
    }
    std::string auxJoint = " ";
    if (withAuxJoint && !isMissing(point, "auxJoint")) {
      const Json::Value& a = point["auxJoint"];
      auxJoint.clear();
      appendf(auxJoint, " auxJoint={%f, %f, %f},", numberAt(a, 0), numberAt(a, 1), numberAt(a, 2));
    }
    std::string load = " ";
    if (!isMissing(point, "load")) {
      load.clear();
      appendf(load, ", load=%d", member<int>(point, "load", __func__).value_or(0));
    }
    appendf(lua, "%s={armOrientation=\"%s\", coordinate={%f, %f, %f, %f, %f, %f},%s%stool=%d, user=%d%s}\n",
            name.c_str(), arm.c_str(), numberAt(coordinate, 0), numberAt(coordinate, 1), numberAt(coordinate, 2),
            numberAt(coordinate, 3), numberAt(coordinate, 4), numberAt(coordinate, 5), joint.c_str(),
            auxJoint.c_str(), member<int>(point, "tool", __func__).value_or(0),
            member<int>(point, "user", __func__).value_or(0), load.c_str());
  }

  if (!zelor::config::saveTextFile(luaPath, lua)) {
    ZLOG_ERROR("Create file lua error%s", luaPath.c_str());
    return false;
  }
  std::printf("[%s], Create file lua %s\n", __func__, luaPath.c_str());
  return true;
}

int JsonProjectReader::GetAllTeachPoint(const char* path, HMIPoint* points) {
  if (path == nullptr || points == nullptr) return -1;
  Json::Value root;
  readSettings(path, root, __func__);
  if (!root.isArray()) return 0;
  for (unsigned i = 0; i < root.size() && i < static_cast<unsigned>(kHmiPointCount); ++i) {
    Json::Value& item = root[i];
    HMIPoint& p = points[i];
    copyText(p.name, sizeof p.name, textOf(item, "name", __func__));
    copyText(p.armOrientation, sizeof p.armOrientation, textOf(item, "armOrientation", __func__));
    Json::Value none;
    const Json::Value& coordinate = isMissing(item, "coordinate") ? none : item["coordinate"];
    p.x = static_cast<float>(numberAt(coordinate, 0));
    p.y = static_cast<float>(numberAt(coordinate, 1));
    p.z = static_cast<float>(numberAt(coordinate, 2));
    p.r = static_cast<float>(numberAt(coordinate, 3));
    // Frame indices are kept in 8 bits.
    p.tool = static_cast<std::uint8_t>(member<int>(item, "tool", __func__).value_or(0));
    p.user = static_cast<std::uint8_t>(member<int>(item, "user", __func__).value_or(0));
    std::printf("[coordinate] :name:%s, arm: %s, [%f,%f,%f,%f], tool: %d,user: %d\n", p.name, p.armOrientation,
                p.x, p.y, p.z, p.r, p.tool, p.user);
  }
  return static_cast<int>(root.size());
}

void JsonProjectReader::UpdateLuaJson(const char* path, HMIPoint* points) {
  std::printf("[JsonProjectReader::UpdateLuaJson] path: %s \n", path != nullptr ? path : "");
  if (path == nullptr || points == nullptr) return;
  if (zelor::config::hasParentSegment(path)) {
    ZLOG_ERROR("point file %s lies outside its folder", path);
    return;
  }
  Json::Value root;
  if (fileExists(path)) {
    std::string errors;
    if (!zelor::config::parseFile(path, root, errors)) {
      // Writing back what the parser left would lose the user's points.
      ZLOG_ERROR("read file[%s] error:%s", path, errors.c_str());
      return;
    }
  }
  // Only the points GetAllTeachPoint fills are compared; later elements stay.
  for (unsigned r = 0; root.isArray() && r < root.size() && r < static_cast<unsigned>(kHmiPointCount); ++r) {
    Json::Value& item = root[r];
    const HMIPoint& p = points[r];
    const std::string pointName(p.name, strnlen(p.name, sizeof p.name));
    if (!item.isObject() || isMissing(item, "name")) {
      std::printf("not input PX name \n");
      continue;
    }
    const std::string itemName = textOf(item, "name", __func__);
    std::printf("input %s, PX name : %s\n", pointName.c_str(), itemName.c_str());
    if (pointName != itemName) {
      std::printf("compare is not eq!\n");
      continue;
    }
    const std::string arm(p.armOrientation, strnlen(p.armOrientation, sizeof p.armOrientation));
    if (arm == "left" || arm == "right") item["armOrientation"] = arm;
    if (!item["coordinate"].isArray()) item["coordinate"] = Json::Value(Json::arrayValue);
    Json::Value& coordinate = item["coordinate"];
    coordinate[0u] = p.x;
    coordinate[1u] = p.y;
    coordinate[2u] = p.z;
    coordinate[3u] = p.r;
    item["user"] = p.user;
    item["tool"] = p.tool;
    std::printf("root:[%d] [%s, %f,%f,%f,%f, %d,%d, %d,%d]\n", static_cast<int>(r),
                textOf(item, "armOrientation", __func__).c_str(), coordinate[0u].asDouble(),
                coordinate[1u].asDouble(), coordinate[2u].asDouble(), coordinate[3u].asDouble(),
                item["user"].asInt(), item["tool"].asInt(), p.user, p.tool);
  }
  if (!zelor::config::saveTextFile(path, zelor::config::styledText(root))) {
    ZLOG_ERROR("Create file error%s", path);
    return;
  }
  std::printf("UpdateLuaJson ...\n");
}

int JsonProjectReader::DeleteLua(const char* name) {
  if (name == nullptr || !zelor::config::isProjectFilePath(name)) {
    ZLOG_ERROR("point file [%s] is not <project>/<file>", name != nullptr ? name : "");
    return 0;
  }
  // Always "<name>.lua": never the point file itself.
  const std::string luaPath = projectsFolder() + "/" + name + ".lua";
  if (!fileExists(luaPath)) return 1;
  if (unlink(luaPath.c_str()) != 0 && errno != ENOENT) {
    ZLOG_DEBUG("Can't remove file");
    return 0;
  }
  return 1;
}
