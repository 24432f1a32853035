// The real-time feedback configuration files of ports 30005 and 30006.
#include <cstdio>
#include <cstring>
#include <limits>

#include <rapidjson/document.h>

#include "common/util/json_util.h"
#include "common/util/json_util_detail.h"
#include "log/ombrel.h"

namespace zelor::common::util {

namespace {

constexpr const char* k30005File = "settings/function/tcp30005Feedback.json";
constexpr const char* k30006File = "settings/function/tcp30006Feedback.json";
constexpr int kChannel13 = ~13;

using F = tcpipRealTimeDataFormater;

}  // namespace

const FeedbackSwitchKey kFeedbackSwitchKeys[kFeedbackSwitchCount] = {
    {"MessageSize", &F::MessageSize},
    {"DigitalInputs", &F::DigitalInputs},
    {"DigitalOutputs", &F::DigitalOutputs},
    {"RobotMode", &F::RobotMode},
    {"TimeStamp", &F::TimeStamp},
    {"TestValue", &F::TestValue},
    {"SpeedScaling", &F::SpeedScaling},
    {"LinearMomentumNorm", &F::LinearMomentumNorm},
    {"VMain", &F::VMain},
    {"VRobot", &F::VRobot},
    {"IRobot", &F::IRobot},
    {"ToolAccelerometer", &F::ToolAccelerometer},
    {"ElbowPosition", &F::ElbowPosition},
    {"ElbowVelocity", &F::ElbowVelocity},
    {"QTarget", &F::QTarget},
    {"QDTarget", &F::QDTarget},
    {"QDDTarget", &F::QDDTarget},
    {"ITarget", &F::ITarget},
    {"MTarget", &F::MTarget},
    {"QActual", &F::QActual},
    {"QDActual", &F::QDActual},
    {"IActual", &F::IActual},
    {"ActualTCPForce", &F::ActualTCPForce},
    {"TCPSpeedActual", &F::TCPSpeedActual},
    {"TCPForce", &F::TCPForce},
    {"ToolVectorTarget", &F::ToolVectorTarget},
    {"TCPSpeedTarget", &F::TCPSpeedTarget},
    {"MotorTemperatures", &F::MotorTemperatures},
    {"JointModes", &F::JointModes},
    {"VActual", &F::VActual},
    {"HandType", &F::HandType},
    {"User", &F::User},
    {"Tool", &F::Tool},
    {"RunQueuedCmd", &F::RunQueuedCmd},
    {"PauseCmdFlag", &F::PauseCmdFlag},
    {"VelocityRatio", &F::VelocityRatio},
    {"AccelerationRatio", &F::AccelerationRatio},
    {"JerkRatio", &F::JerkRatio},
    {"XYZVelocityRatio", &F::XYZVelocityRatio},
    {"RVelocityRatio", &F::RVelocityRatio},
    {"XYZAccelerationRatio", &F::XYZAccelerationRatio},
    {"RAccelerationRatio", &F::RAccelerationRatio},
    {"XYZJerkRatio", &F::XYZJerkRatio},
    {"RJerkRatio", &F::RJerkRatio},
    {"MActual[6]", &F::MActual6},
    {"Load", &F::Load},
    {"CenterX", &F::CenterX},
    {"CenterY", &F::CenterY},
    {"CenterZ", &F::CenterZ},
    {"User[6]", &F::User6},
    {"Tool[6]", &F::Tool6},
    {"BrakeStatus", &F::BrakeStatus},
    {"EnableStatus", &F::EnableStatus},
    {"DragStatus", &F::DragStatus},
    {"RunningStatus", &F::RunningStatus},
    {"ErrorStatus", &F::ErrorStatus},
    {"JogStatus", &F::JogStatus},
    {"RobotType", &F::RobotType},
    {"DragButtonSignal", &F::DragButtonSignal},
    {"EnableButtonSignal", &F::EnableButtonSignal},
    {"RecordButtonSignal", &F::RecordButtonSignal},
    {"ReappearButtonSignal", &F::ReappearButtonSignal},
    {"JawButtonSignal", &F::JawButtonSignal},
    {"SixForceOnline", &F::SixForceOnline},
    {"TraceIndex", &F::TraceIndex},
    {"SixForceValue[6]", &F::SixForceValue6},
    {"TargetQuaternion[4]", &F::TargetQuaternion4},
    {"ActualQuaternion[4]", &F::ActualQuaternion4},
};

bool* feedbackSwitch(tcpipRealTimeDataFormater& rec, std::string_view key) {
  for (const FeedbackSwitchKey& k : kFeedbackSwitchKeys) {
    if (key == k.key) return &(rec.*k.flag);
  }
  return nullptr;
}

int JsonUtil::getTcpipRealTimeConf30005(rapidjson::Document& doc, bool) {
  return readJsonFile(detail::settingsPath(k30005File).c_str(), doc);
}

int JsonUtil::getTcpipRealTimeConf30006(rapidjson::Document& doc, bool) {
  return readJsonFile(detail::settingsPath(k30006File).c_str(), doc);
}

int JsonUtil::setTcpipRealTimeConf30005(rapidjson::Document& doc, bool create) {
  return writeJsonFile(detail::settingsPath(k30005File).c_str(), &doc, create);
}

int JsonUtil::setTcpipRealTimeConf30006(rapidjson::Document& doc, bool create) {
  return writeJsonFile(detail::settingsPath(k30006File).c_str(), &doc, create);
}

int JsonUtil::getTcpipRealTimeConf30005(TCPIPRealTimeDataFormater30005& rec, bool create) {
  const std::string path = detail::settingsPath(k30005File);
  const bool existed = detail::fileExists(path.c_str());
  rapidjson::Document doc;
  const int status = readJsonFile(path.c_str(), doc);
  if (status != 0) {
    // Only a missing file gets the default; a broken one stays for repair.
    if (!create || existed) return status;
    rec.cycle = 0;
    return setTcpipRealTimeConf30005(rec, true);
  }
  const rapidjson::Value* found = nullptr;
  if (doc.IsObject()) {
    auto it = doc.FindMember("cycle");
    if (it != doc.MemberEnd() && (it->value.IsInt64() || it->value.IsUint64())) found = &it->value;
  }
  if (found == nullptr) {
    detail::printNoMember(__func__, __LINE__, "cycle");
    return -1;
  }
  // A period cannot be negative; one beyond 32 bits is the longest there is.
  const rapidjson::Value& cycle = *found;
  if (!cycle.IsUint64()) {
    rec.cycle = 0;
  } else if (cycle.GetUint64() > std::numeric_limits<std::uint32_t>::max()) {
    rec.cycle = std::numeric_limits<std::uint32_t>::max();
  } else {
    rec.cycle = static_cast<std::uint32_t>(cycle.GetUint64());
  }
  return 0;
}

int JsonUtil::getTcpipRealTimeConf30006(tcpipRealTimeDataFormater& rec, bool create) {
  const std::string path = detail::settingsPath(k30006File);
  const bool existed = detail::fileExists(path.c_str());
  rapidjson::Document doc;
  const int status = readJsonFile(path.c_str(), doc);
  if (status != 0) {
    if (!create || existed) return status;
    rec = tcpipRealTimeDataFormater{};
    return setTcpipRealTimeConf30006(rec, true);
  }
  if (!doc.IsObject()) {
    detail::printNoMember(__func__, __LINE__, kFeedbackSwitchKeys[0].key);
    return -1;
  }
  // Strictly in file order: the switches before the first bad key are kept.
  for (const FeedbackSwitchKey& k : kFeedbackSwitchKeys) {
    auto it = doc.FindMember(k.key);
    if (it == doc.MemberEnd() || !it->value.IsBool()) {
      detail::printNoMember(__func__, __LINE__, k.key);
      return -1;
    }
    rec.*k.flag = it->value.IsTrue();
  }
  auto it = doc.FindMember("cycle");
  if (it == doc.MemberEnd() || !it->value.IsInt()) {
    detail::printNoMember(__func__, __LINE__, "cycle");
    return -1;
  }
  rec.cycle = it->value.GetInt();
  return 0;
}

int JsonUtil::setTcpipRealTimeConf30005(const TCPIPRealTimeDataFormater30005& rec, bool create) {
  rapidjson::Document doc;
  doc.SetObject();
  doc.AddMember("cycle", rec.cycle, doc.GetAllocator());
  spdlog::ombrel::basicLog(kChannel13, __LINE__, __func__, spdlog::level::info, "setting cycle to {} ", rec.cycle);
  return setTcpipRealTimeConf30005(doc, create);
}

int JsonUtil::setTcpipRealTimeConf30006(const tcpipRealTimeDataFormater& rec, bool create) {
  rapidjson::Document doc;
  doc.SetObject();
  auto& alloc = doc.GetAllocator();
  for (const FeedbackSwitchKey& k : kFeedbackSwitchKeys) {
    doc.AddMember(rapidjson::StringRef(k.key), rec.*k.flag, alloc);
  }
  doc.AddMember("cycle", rec.cycle, alloc);
  return setTcpipRealTimeConf30006(doc, create);
}

}  // namespace zelor::common::util
