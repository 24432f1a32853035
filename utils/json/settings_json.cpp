#include "json/settings_json.h"

#include <unistd.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <exception>
#include <fstream>

#include <json/reader.h>
#include <json/writer.h>

#include "common/util/atomic_file.h"
#include "install_paths.h"
#include "log/line_log.h"

namespace zelor::config {

std::string projectPath(const char* relative) {
  return std::string(paths::kProjectDir) + "/" + relative;
}

bool fileExists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

bool parseFile(const std::string& path, Json::Value& root, std::string& errors) {
  std::ifstream in(path, std::ios::binary);
  if (!in.is_open()) {
    errors = "cannot open";
    return false;
  }
  Json::CharReaderBuilder builder;
  try {
    return Json::parseFromStream(builder, in, &root, &errors);
  } catch (const std::exception& e) {
    errors = e.what();
    return false;
  }
}

void readSettings(const std::string& path, Json::Value& root, const char* func,
                  ParseFailure failure) {
  root = Json::Value();
  // A file that cannot be opened is not an error: every key counts as missing.
  if (access(path.c_str(), R_OK) != 0) return;
  std::string errors;
  const bool parsed = parseFile(path, root, errors);
  if (!parsed) {
    // What a failed parse leaves behind is not a document to trust.
    root = Json::Value();
    if (failure == ParseFailure::kNothing) {
      zelor::log::lineLog("ERROR", func, __FILE__, __LINE__, "read file[%s] error, nothing", path.c_str());
    } else {
      zelor::log::lineLog("ERROR", func, __FILE__, __LINE__, "read file[%s] error:%s", path.c_str(),
                          errors.c_str());
    }
    return;
  }
  if (root.isNull()) {
    zelor::log::lineLog("ERROR", func, __FILE__, __LINE__, "read file[%s] error, nothing", path.c_str());
  }
}

bool isMissing(Json::Value& parent, const char* key) {
  if (!parent.isObject() && !parent.isNull()) return true;
  return parent[key].isNull();
}

template <>
std::optional<double> convert<double>(const Json::Value& value) {
  try {
    double d = value.asDouble();
    if (!std::isfinite(d)) return std::nullopt;
    return d;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

template <>
std::optional<float> convert<float>(const Json::Value& value) {
  std::optional<double> d = convert<double>(value);
  if (!d || std::fabs(*d) > FLT_MAX) return std::nullopt;
  return static_cast<float>(*d);
}

template <>
std::optional<int> convert<int>(const Json::Value& value) {
  try {
    return value.asInt();
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

template <>
std::optional<unsigned> convert<unsigned>(const Json::Value& value) {
  try {
    return value.asUInt();
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

template <>
std::optional<bool> convert<bool>(const Json::Value& value) {
  try {
    return value.asBool();
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

template <>
std::optional<std::string> convert<std::string>(const Json::Value& value) {
  try {
    return value.asString();
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

void logWrongKind(const char* func, const char* key) {
  zelor::log::lineLog("WARNI", func, __FILE__, __LINE__, "get %s error, wrong type", key);
}

std::optional<st_triple> readTriple(Json::Value& value, const char* key, const char* func) {
  if (!value.isObject()) {
    logWrongKind(func, key);
    return std::nullopt;
  }
  st_triple t{100.0f, 1.0f, 50.0f};
  if (auto v = member<float>(value, "def", func)) t.def = *v;
  if (auto v = member<float>(value, "min", func)) t.min = *v;
  if (auto v = member<float>(value, "max", func)) t.max = *v;
  return t;
}

void copyText(char* field, std::size_t size, const std::string& text) {
  if (size == 0) return;
  std::memset(field, 0, size);
  std::memcpy(field, text.data(), std::min(text.size(), size - 1));
}

std::string styledText(const Json::Value& value) {
  // The project files have always been written in this writer's layout.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  Json::StyledWriter writer;
  return writer.write(value);
#pragma GCC diagnostic pop
}

bool saveTextFile(const std::string& path, const std::string& text) {
  return zelor::common::util::writeFileAtomic(path, text);
}

}  // namespace zelor::config
