// Reading and writing whole JSON files, and the document-level accessors of
// the fixed settings files.
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>

#include <rapidjson/document.h>
#include <rapidjson/error/en.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

#include "common/util/atomic_file.h"
#include "common/util/json_util.h"
#include "common/util/json_util_detail.h"
#include "install_paths.h"

namespace zelor::common::util {

namespace {

// A document made without an allocator gets its own memory pool, which grows
// in chunks of 64 KiB.
constexpr std::size_t kParseStackCapacity = 1024;

const char* shown(const char* path) { return path != nullptr ? path : "(null)"; }

bool readText(const char* path, std::string& text) {
  if (path == nullptr) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in.is_open()) return false;
  text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

void printCannotOpen(const char* path) { std::printf("[%s] can not open %s!!!!!!\n", "readJsonFile", shown(path)); }
void printParseFailed(const char* path) { std::printf("[%s] parse %s faild!!!!!!\n", "readJsonFile", shown(path)); }

}  // namespace

namespace detail {

std::string settingsPath(const char* relative) { return std::string(paths::kProjectDir) + "/" + relative; }

bool fileExists(const char* path) { return path != nullptr && access(path, F_OK) == 0; }

bool renderPretty(const rapidjson::Value& value, std::string& text) {
  rapidjson::StringBuffer buffer;
  rapidjson::PrettyWriter<rapidjson::StringBuffer> writer(buffer);
  writer.SetIndent(' ', 4);
  if (!value.Accept(writer)) return false;
  text.assign(buffer.GetString(), buffer.GetSize());
  return true;
}

void printNoMember(const char* func, int line, const char* key) {
  std::printf("[%s] #%d: can not find member %s\n", func, line, key);
}

std::int32_t toInt32(const rapidjson::Value& number) {
  if (number.IsInt()) return number.GetInt();
  if (number.IsInt64()) return number.GetInt64() < 0 ? std::numeric_limits<std::int32_t>::min()
                                                     : std::numeric_limits<std::int32_t>::max();
  if (number.IsUint64()) return std::numeric_limits<std::int32_t>::max();
  const double d = number.GetDouble();
  if (!(d > std::numeric_limits<std::int32_t>::min())) return std::numeric_limits<std::int32_t>::min();
  if (!(d < std::numeric_limits<std::int32_t>::max())) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(d);
}

}  // namespace detail

int JsonUtil::readJsonFile(const char* path, rapidjson::Document** out) {
  if (out == nullptr) return -1;
  *out = nullptr;
  std::printf("enter1 %s,%d, %s\n", __func__, __LINE__, shown(path));
  std::string text;
  if (!readText(path, text)) {
    printCannotOpen(path);
    return -1;
  }
  std::printf("enter2 %s,%d, %s\n", __func__, __LINE__, text.c_str());
  auto doc = std::make_unique<rapidjson::Document>(nullptr, kParseStackCapacity);
  doc->Parse(text.data(), text.size());
  if (doc->HasParseError()) {
    // Never hand out a half-parsed document.
    printParseFailed(path);
    return -2;
  }
  *out = doc.release();
  std::printf("enter3 %s,%d\n", __func__, __LINE__);
  return 0;
}

int JsonUtil::readJsonFile(const char* path, rapidjson::Document& doc) {
  std::printf("enter %s,%d\n", __func__, __LINE__);
  std::string text;
  if (!readText(path, text)) {
    printCannotOpen(path);
    return -1;
  }
  doc.Parse(text.data(), text.size());
  if (doc.HasParseError()) {
    printParseFailed(path);
    return -2;
  }
  return 0;
}

int JsonUtil::readJsonFile(const char* path, std::string& text) {
  std::string raw;
  if (!readText(path, raw)) {
    printCannotOpen(path);
    text.clear();
    return -1;
  }
  rapidjson::Document doc;
  doc.Parse(raw.data(), raw.size());
  if (doc.HasParseError()) {
    printParseFailed(path);
    text.clear();
    return -2;
  }
  return json2str(doc, text);
}

int JsonUtil::writeJsonFile(const char* path, rapidjson::Document* doc, bool create) {
  std::printf("enter %s,%d\n", __func__, __LINE__);
  if (path == nullptr) return -11;
  if (doc == nullptr) return -12;
  if (doc->HasParseError()) return -13;
  if (!create && !detail::fileExists(path)) return -123;

  std::string text;
  // A NaN or infinity has no JSON form: writing what precedes it would leave
  // a broken file.
  if (!detail::renderPretty(*doc, text)) return -13;
  if (writeFileAtomic(path, text)) return 0;

  std::printf("%s cannot be create!,try to create folder!!!!\n", path);
  const std::string full(path);
  const std::string::size_type slash = full.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : full.substr(0, slash);
  usleep(1000);
  if (!folder.empty()) makeFolders(folder);
  if (writeFileAtomic(path, text)) {
    std::printf(" try to create dir %s ok write done!\n", folder.c_str());
    return 0;
  }
  std::printf(" try to write %s faild !!!\n", path);
  return -3;
}

int JsonUtil::json2str(rapidjson::Document& doc, std::string& text) {
  if (!detail::renderPretty(doc, text)) {
    text.clear();
    return -1;
  }
  return 0;
}

int JsonUtil::str2json(rapidjson::Document& doc, std::string& text) {
  doc.Parse(text.data(), text.size());
  return doc.HasParseError() ? -1 : 0;
}

namespace {
constexpr const char* kVisionParams = "process/vision/params.json";
constexpr const char* kControllerType = "properties/controllerType.json";
constexpr const char* kExtEStop = "settings/function/extEStop.json";
constexpr const char* kCommon = "settings/common.json";
}  // namespace

int JsonUtil::getVisionParams(rapidjson::Document** out, bool) {
  return readJsonFile(detail::settingsPath(kVisionParams).c_str(), out);
}

int JsonUtil::setVisionParams(rapidjson::Document* doc, bool create) {
  return writeJsonFile(detail::settingsPath(kVisionParams).c_str(), doc, create);
}

int JsonUtil::getControllerType(rapidjson::Document** out, bool) {
  return readJsonFile(detail::settingsPath(kControllerType).c_str(), out);
}

int JsonUtil::getSafeSignalConfig(rapidjson::Document** out, bool) { return readJsonFile(detail::settingsPath(kExtEStop).c_str(), out); }

int JsonUtil::setSafeSignalConfig(rapidjson::Document* doc, bool create) {
  return writeJsonFile(detail::settingsPath(kExtEStop).c_str(), doc, create);
}

int JsonUtil::setSpeedFactor(rapidjson::Document& doc, bool create) {
  return writeJsonFile(detail::settingsPath(kCommon).c_str(), &doc, create);
}

}  // namespace zelor::common::util
