// Files whose root is an array of records (tracking, pallets, frames).
#include <json/value.h>

#include "json/json_project_reader.h"
#include "json/settings_json.h"
#include "log/line_log.h"

int JsonProjectReader::ReadJsonArray(const char* path, Json::Value& out) {
  out = Json::Value();
  if (path == nullptr || !zelor::config::fileExists(path)) {
    ZLOG_ERROR("### read file[%s] error: no find this file ###\n", path != nullptr ? path : "");
    return 0;
  }
  std::string errors;
  if (!zelor::config::parseFile(path, out, errors)) {
    out = Json::Value();
    ZLOG_ERROR("read file[%s] error", path);
    return 0;
  }
  if (out.isNull()) {
    ZLOG_ERROR("read file[%s] error, nothing", path);
    return 0;
  }
  return static_cast<int>(out.size());
}
