#pragma once

#include <string>

#include <rapidjson/fwd.h>

#include "common/util/feedback_formats.h"
#include "common/util/vision_cam_params.h"

struct st_common;

namespace zelor::common::util {

// The small JSON settings files under the project directory, read and written
// with RapidJSON. Every operation returns a status: 0 done, -1 cannot open (or
// a required member missing), -2 parse failure; writeJsonFile has its own
// codes. Nothing throws. Files are replaced crash-safely.
class JsonUtil {
 public:
  JsonUtil() = delete;

  // Allocates a Document into *out (the caller deletes it); on failure *out
  // is null.
  static int readJsonFile(const char* path, rapidjson::Document** out);
  static int readJsonFile(const char* path, rapidjson::Document& doc);
  // The file's JSON, normalised and pretty-printed; empty on failure.
  static int readJsonFile(const char* path, std::string& text);

  // -11 null path, -12 null document, -13 a document with a parse error or
  // one that cannot be written as JSON, -123 no file and create false, -3 the
  // second attempt (after creating the folders) failed.
  static int writeJsonFile(const char* path, rapidjson::Document* doc, bool create);

  static int json2str(rapidjson::Document& doc, std::string& text);
  static int str2json(rapidjson::Document& doc, std::string& text);

  // process/vision/params.json.
  static int getVisionParams(rapidjson::Document** out, bool);
  static int getVisionParams(VisionCamMap& cameras, bool create);
  static int setVisionParams(rapidjson::Document* doc, bool create);
  static int setVisionParams(const VisionCamMap& cameras, bool create);

  // properties/controllerType.json; the setters are not offered (-1).
  static int getControllerType(rapidjson::Document** out, bool);
  static int getControllerType(std::string& name, bool = false);
  static int setControllerType(std::string& name, bool);
  static int setControllerType(rapidjson::Document* doc, bool);

  // settings/function/extEStop.json, as a whole document.
  static int getSafeSignalConfig(rapidjson::Document** out, bool);
  static int setSafeSignalConfig(rapidjson::Document* doc, bool create);

  // settings/function/collisionDect.json "level"; 0 when it cannot be read.
  static int getCollisionLevel(int& level, bool = false);

  // properties/versionInfo.json "controllerVersion": appends version unless
  // it is the last entry.
  static int setVersionInfo(std::string version, bool = false);

  // properties/structure.json "structure"."limits" (6 rows of 2 integers).
  static int getJointLimts(rapidjson::Document& doc, std::string& text);
  static int setJointLimts(rapidjson::Document& request);

  // settings/productInfo/hardwareInfo.json "SNcode": 1 read, -1 otherwise.
  static int getSNcode(std::string& sn);

  static int setSpeedFactor(const st_common& common, bool = false);
  static int setSpeedFactor(rapidjson::Document& doc, bool create);

  // The real-time feedback configuration files of ports 30005 and 30006.
  static int getTcpipRealTimeConf30005(rapidjson::Document& doc, bool);
  static int getTcpipRealTimeConf30006(rapidjson::Document& doc, bool);
  static int setTcpipRealTimeConf30005(rapidjson::Document& doc, bool create);
  static int setTcpipRealTimeConf30006(rapidjson::Document& doc, bool create);
  static int getTcpipRealTimeConf30005(TCPIPRealTimeDataFormater30005& rec, bool create);
  static int getTcpipRealTimeConf30006(tcpipRealTimeDataFormater& rec, bool create);
  static int setTcpipRealTimeConf30005(const TCPIPRealTimeDataFormater30005& rec, bool create);
  static int setTcpipRealTimeConf30006(const tcpipRealTimeDataFormater& rec, bool create);
};

}  // namespace zelor::common::util
