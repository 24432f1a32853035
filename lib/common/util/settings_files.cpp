// The small settings files: controller type, collision level, version
// history, joint limits, serial number and speed factor.
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <limits>

#include <rapidjson/document.h>

#include "common/util/atomic_file.h"
#include "common/util/json_util.h"
#include "common/util/json_util_detail.h"
#include "json/project_records.h"
#include "log/ombrel.h"

namespace zelor::common::util {

namespace {

// Channel selectors of the channel log: ~n is channel n alone.
constexpr int kChannel13 = ~13;
constexpr int kChannel14 = ~14;
constexpr int kChannel15 = ~15;

constexpr int kJointCount = 6;

}  // namespace

int JsonUtil::getControllerType(std::string& name, bool) {
  rapidjson::Document doc;
  const int status = readJsonFile(detail::settingsPath("properties/controllerType.json").c_str(), doc);
  if (status == 0 && doc.IsObject()) {
    auto it = doc.FindMember("name");
    if (it != doc.MemberEnd() && it->value.IsString()) name.assign(it->value.GetString(), it->value.GetStringLength());
  }
  return status;
}

int JsonUtil::setControllerType(std::string&, bool) { return -1; }

int JsonUtil::setControllerType(rapidjson::Document*, bool) { return -1; }

int JsonUtil::getCollisionLevel(int& level, bool) {
  rapidjson::Document doc;
  const int status = readJsonFile(detail::settingsPath("settings/function/collisionDect.json").c_str(), doc);
  level = 0;
  if (status == 0 && doc.IsObject()) {
    auto it = doc.FindMember("level");
    // Only a whole number is a level.
    if (it != doc.MemberEnd() && it->value.IsInt()) {
      level = it->value.GetInt();
    } else {
      detail::printNoMember(__func__, __LINE__, "level");
    }
  }
  return status;
}

int JsonUtil::setVersionInfo(std::string version, bool) {
  const std::string path = detail::settingsPath("properties/versionInfo.json");
  rapidjson::Document doc;
  // An unreadable file, or one that is no object, starts the history anew.
  if (readJsonFile(path.c_str(), doc) != 0 || !doc.IsObject()) doc.Parse("{}");
  auto& alloc = doc.GetAllocator();
  rapidjson::Value entry(version.data(), static_cast<rapidjson::SizeType>(version.size()), alloc);
  auto it = doc.FindMember("controllerVersion");
  if (it != doc.MemberEnd() && it->value.IsArray()) {
    rapidjson::Value& list = it->value;
    std::printf("lastIndex = %d\n", static_cast<int>(list.Size()));
    const bool same = !list.Empty() && list[list.Size() - 1].IsString() && list[list.Size() - 1] == entry;
    if (!same) list.PushBack(entry, alloc);
  } else {
    rapidjson::Value list(rapidjson::kArrayType);
    list.PushBack(entry, alloc);
    if (it != doc.MemberEnd()) {
      it->value = list;
    } else {
      doc.AddMember("controllerVersion", list, alloc);
    }
  }
  return writeJsonFile(path.c_str(), &doc, true);
}

namespace {

// structure.json parsed into doc, with its "structure"."limits" array; the
// failure is logged as the joint-limit operations report it.
rapidjson::Value* structureLimits(rapidjson::Document& doc, const char* func, const char* cannotOpen) {
  const std::string path = detail::settingsPath("properties/structure.json");
  std::ifstream in(path, std::ios::binary);
  if (!in.is_open()) {
    spdlog::ombrel::basicLog(kChannel14, __LINE__, func, spdlog::level::err, "{}", cannotOpen);
    return nullptr;
  }
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  auto fail = [func](int line, const char* message) -> rapidjson::Value* {
    spdlog::ombrel::basicLog(kChannel15, line, func, spdlog::level::err, "{}", message);
    return nullptr;
  };
  doc.Parse(text.data(), text.size());
  if (doc.HasParseError()) return fail(__LINE__, "parse error!");
  if (!doc.IsObject()) return fail(__LINE__, "should be an object!");
  auto structure = doc.FindMember("structure");
  if (structure == doc.MemberEnd() || !structure->value.IsObject()) return fail(__LINE__, "Failed to find structure!");
  auto limits = structure->value.FindMember("limits");
  if (limits == structure->value.MemberEnd() || !limits->value.IsArray()) {
    return fail(__LINE__, "limits is not an array, please check!");
  }
  return &limits->value;
}

bool isPair(const rapidjson::Value& row) { return row.IsArray() && row.Size() == 2; }

}  // namespace

int JsonUtil::getJointLimts(rapidjson::Document& doc, std::string& text) {
  const rapidjson::Value* limits = structureLimits(doc, __func__, "cann't open!");
  if (limits == nullptr) return -1;
  rapidjson::Document out;
  out.SetObject();
  rapidjson::Value copy(*limits, out.GetAllocator());
  out.AddMember("limits", copy, out.GetAllocator());
  return detail::renderPretty(out, text) ? 0 : -1;
}

int JsonUtil::setJointLimts(rapidjson::Document& request) {
  auto fail = [](int line, const char* message) {
    spdlog::ombrel::basicLog(kChannel15, line, "setJointLimts", spdlog::level::err, "{}", message);
    return -1;
  };
  if (request.HasParseError()) return fail(__LINE__, "The content of request is error!");
  if (!request.IsObject() || !request.HasMember("limits")) return fail(__LINE__, "can't find the key limits!");
  const rapidjson::Value& wanted = request["limits"];
  if (!wanted.IsArray() || wanted.Size() != kJointCount) return fail(__LINE__, "the content is wrong!,please check!");

  rapidjson::Document structure;
  rapidjson::Value* found = structureLimits(structure, __func__, "can't open!");
  if (found == nullptr) return -1;
  rapidjson::Value& limits = *found;
  if (limits.Size() != kJointCount) return fail(__LINE__, "limits is not an array, please check!");

  // Every row is checked before the file is touched: it is written once, at
  // the end, or not at all.
  for (rapidjson::SizeType j = 0; j < kJointCount; ++j) {
    const rapidjson::Value& in = wanted[j];
    const rapidjson::Value& row = limits[j];
    if (!isPair(in) || !isPair(row)) return fail(__LINE__, "please check the request or the structure file!");
    if (!in[0].IsInt() || !in[1].IsInt() || !row[0].IsInt() || !row[1].IsInt()) {
      return fail(__LINE__, "the parameter of the request or the structure is not integer!");
    }
  }
  for (rapidjson::SizeType j = 0; j < kJointCount; ++j) {
    limits[j][0].SetInt(wanted[j][0].GetInt());
    limits[j][1].SetInt(wanted[j][1].GetInt());
  }
  std::string text;
  if (!detail::renderPretty(structure, text) ||
      !writeFileAtomic(detail::settingsPath("properties/structure.json"), text)) {
    return fail(__LINE__, "failed to open!");
  }
  return 0;
}

int JsonUtil::getSNcode(std::string& sn) {
  rapidjson::Document doc;
  const int status = readJsonFile(detail::settingsPath("settings/productInfo/hardwareInfo.json").c_str(), doc);
  if (status == 0 && doc.IsObject()) {
    auto it = doc.FindMember("SNcode");
    if (it != doc.MemberEnd() && it->value.IsString()) {
      sn.assign(it->value.GetString(), it->value.GetStringLength());
      spdlog::ombrel::basicLog(kChannel15, __LINE__, __func__, spdlog::level::info, "{},ret:{}", sn, status);
      return 1;
    }
  }
  spdlog::ombrel::basicLog(kChannel14, __LINE__, __func__, spdlog::level::err, "hardwareInfo.json SNcode error");
  return -1;
}

int JsonUtil::setSpeedFactor(const st_common& common, bool) {
  // The ratio is stored with the other common settings by the document
  // overload; this one only reports it.
  const float ratio = common.ratio;
  int whole = 0;
  if (std::isfinite(ratio)) {
    whole = ratio >= static_cast<float>(std::numeric_limits<int>::max()) ? std::numeric_limits<int>::max()
            : ratio <= static_cast<float>(std::numeric_limits<int>::min()) ? std::numeric_limits<int>::min()
                                                                            : static_cast<int>(ratio);
  }
  rapidjson::Document doc;
  doc.SetObject();
  doc.AddMember("ratio", whole, doc.GetAllocator());
  spdlog::ombrel::basicLog(kChannel13, __LINE__, __func__, spdlog::level::info, "setting speed factor to {} ", ratio);
  return 0;
}

}  // namespace zelor::common::util
