#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace zelor::common::util {

// One vision camera of process/vision/params.json.
struct VisionCamParams {
  std::string name;  // the camera's member name in the file
  std::int32_t installType = 0;
  std::int32_t triggerMode = 0;
  std::string triggerForm;
  bool head = false;  // "recvForm"
  bool tail = false;
  std::uint8_t dataLen = 0;
  std::string split;
  std::string frameGap;
  std::uint8_t triggerIO = 0;
  std::int32_t netMode = 0;
  std::string ip;  // "net"
  std::int32_t port = 0;
  std::int32_t blockMode = 0;
  std::int32_t netTimeout = 0;
  std::int32_t blockTime = 0;
  std::int32_t IsRobotCalib = 0;
  std::int32_t calibType = 0;  // "calib"
  std::uint8_t user = 0;
  std::uint8_t tool = 0;
  std::uint8_t PtNumType = 0;
  std::uint8_t fixType = 0;
  double calibResult[16] = {};
  double offsetX = 0.0;
  double offsetY = 0.0;
};

// Camera name -> record. A map filled by JsonUtil::getVisionParams owns its
// records: the reader deletes a record it replaces.
using VisionCamMap = std::map<std::string, VisionCamParams*>;

// The process's camera table; its records are deleted at exit.
extern VisionCamMap m_visionParams;

}  // namespace zelor::common::util
