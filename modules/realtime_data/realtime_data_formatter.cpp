#include "realtime_data/realtime_data_formatter.h"

#include <array>
#include <cstddef>
#include <cstring>
#include <string_view>

namespace zelor::modules::realTimeData {

namespace {

using common::util::FeedbackSwitchKey;
using common::util::kFeedbackSwitchKeys;

enum class Kind { U16, U64, F64, I32, Byte };

// One field of the customised packet: its key, where it lies in the record,
// its type and count.
struct Row {
  std::string_view key;
  std::size_t offset;
  Kind kind;
  unsigned char count;
};

// In record order. The six doubles at 624 have no key and are never sent.
constexpr Row kRows[] = {
    {"MessageSize", offsetof(RealTimeData_t, MessageSize), Kind::U16, 1},
    {"DigitalInputs", offsetof(RealTimeData_t, DigitalInputs), Kind::U64, 1},
    {"DigitalOutputs", offsetof(RealTimeData_t, DigitalOutputs), Kind::U64, 1},
    {"RobotMode", offsetof(RealTimeData_t, RobotMode), Kind::U64, 1},
    {"TimeStamp", offsetof(RealTimeData_t, TimeStamp), Kind::U64, 1},
    {"TestValue", offsetof(RealTimeData_t, TestValue), Kind::U64, 1},
    {"SpeedScaling", offsetof(RealTimeData_t, SpeedScaling), Kind::F64, 1},
    {"LinearMomentumNorm", offsetof(RealTimeData_t, LinearMomentumNorm), Kind::F64, 1},
    {"VMain", offsetof(RealTimeData_t, VMain), Kind::F64, 1},
    {"VRobot", offsetof(RealTimeData_t, VRobot), Kind::F64, 1},
    {"IRobot", offsetof(RealTimeData_t, IRobot), Kind::F64, 1},
    {"ToolAccelerometer", offsetof(RealTimeData_t, ToolAccelerometer), Kind::F64, 3},
    {"ElbowPosition", offsetof(RealTimeData_t, ElbowPosition), Kind::F64, 3},
    {"ElbowVelocity", offsetof(RealTimeData_t, ElbowVelocity), Kind::F64, 3},
    {"QTarget", offsetof(RealTimeData_t, QTarget), Kind::F64, 6},
    {"QDTarget", offsetof(RealTimeData_t, QDTarget), Kind::F64, 6},
    {"QDDTarget", offsetof(RealTimeData_t, QDDTarget), Kind::F64, 6},
    {"ITarget", offsetof(RealTimeData_t, ITarget), Kind::F64, 6},
    {"MTarget", offsetof(RealTimeData_t, MTarget), Kind::F64, 6},
    {"QActual", offsetof(RealTimeData_t, QActual), Kind::F64, 6},
    {"QDActual", offsetof(RealTimeData_t, QDActual), Kind::F64, 6},
    {"IActual", offsetof(RealTimeData_t, IActual), Kind::F64, 6},
    {"ActualTCPForce", offsetof(RealTimeData_t, ActualTCPForce), Kind::F64, 6},
    {"TCPSpeedActual", offsetof(RealTimeData_t, TCPSpeedActual), Kind::F64, 6},
    {"TCPForce", offsetof(RealTimeData_t, TCPForce), Kind::F64, 6},
    {"ToolVectorTarget", offsetof(RealTimeData_t, ToolVectorTarget), Kind::F64, 6},
    {"TCPSpeedTarget", offsetof(RealTimeData_t, TCPSpeedTarget), Kind::F64, 6},
    {"MotorTemperatures", offsetof(RealTimeData_t, MotorTemperatures), Kind::F64, 6},
    {"JointModes", offsetof(RealTimeData_t, JointModes), Kind::F64, 6},
    {"VActual", offsetof(RealTimeData_t, VActual), Kind::F64, 6},
    {"HandType", offsetof(RealTimeData_t, HandType), Kind::I32, 1},
    {"User", offsetof(RealTimeData_t, User), Kind::Byte, 1},
    {"Tool", offsetof(RealTimeData_t, Tool), Kind::Byte, 1},
    {"RunQueuedCmd", offsetof(RealTimeData_t, RunQueuedCmd), Kind::Byte, 1},
    {"PauseCmdFlag", offsetof(RealTimeData_t, PauseCmdFlag), Kind::Byte, 1},
    {"VelocityRatio", offsetof(RealTimeData_t, VelocityRatio), Kind::Byte, 1},
    {"AccelerationRatio", offsetof(RealTimeData_t, AccelerationRatio), Kind::Byte, 1},
    {"JerkRatio", offsetof(RealTimeData_t, JerkRatio), Kind::Byte, 1},
    {"XYZVelocityRatio", offsetof(RealTimeData_t, XYZVelocityRatio), Kind::Byte, 1},
    {"RVelocityRatio", offsetof(RealTimeData_t, RVelocityRatio), Kind::Byte, 1},
    {"XYZAccelerationRatio", offsetof(RealTimeData_t, XYZAccelerationRatio), Kind::Byte, 1},
    {"RAccelerationRatio", offsetof(RealTimeData_t, RAccelerationRatio), Kind::Byte, 1},
    {"XYZJerkRatio", offsetof(RealTimeData_t, XYZJerkRatio), Kind::Byte, 1},
    {"RJerkRatio", offsetof(RealTimeData_t, RJerkRatio), Kind::Byte, 1},
    {"BrakeStatus", offsetof(RealTimeData_t, BrakeStatus), Kind::Byte, 1},
    {"EnableStatus", offsetof(RealTimeData_t, EnableStatus), Kind::Byte, 1},
    {"DragStatus", offsetof(RealTimeData_t, DragStatus), Kind::Byte, 1},
    {"RunningStatus", offsetof(RealTimeData_t, RunningStatus), Kind::Byte, 1},
    {"ErrorStatus", offsetof(RealTimeData_t, ErrorStatus), Kind::Byte, 1},
    {"JogStatus", offsetof(RealTimeData_t, JogStatus), Kind::Byte, 1},
    {"RobotType", offsetof(RealTimeData_t, RobotType), Kind::Byte, 1},
    {"DragButtonSignal", offsetof(RealTimeData_t, DragButtonSignal), Kind::Byte, 1},
    {"EnableButtonSignal", offsetof(RealTimeData_t, EnableButtonSignal), Kind::Byte, 1},
    {"RecordButtonSignal", offsetof(RealTimeData_t, RecordButtonSignal), Kind::Byte, 1},
    {"ReappearButtonSignal", offsetof(RealTimeData_t, ReappearButtonSignal), Kind::Byte, 1},
    {"JawButtonSignal", offsetof(RealTimeData_t, JawButtonSignal), Kind::Byte, 1},
    {"SixForceOnline", offsetof(RealTimeData_t, SixForceOnline), Kind::Byte, 1},
    {"MActual[6]", offsetof(RealTimeData_t, MActual), Kind::F64, 6},
    {"Load", offsetof(RealTimeData_t, Load), Kind::F64, 1},
    {"CenterX", offsetof(RealTimeData_t, CenterX), Kind::F64, 1},
    {"CenterY", offsetof(RealTimeData_t, CenterY), Kind::F64, 1},
    {"CenterZ", offsetof(RealTimeData_t, CenterZ), Kind::F64, 1},
    {"User[6]", offsetof(RealTimeData_t, UserFrame), Kind::F64, 6},
    {"Tool[6]", offsetof(RealTimeData_t, ToolFrame), Kind::F64, 6},
    {"TraceIndex", offsetof(RealTimeData_t, TraceIndex), Kind::F64, 1},
    {"SixForceValue[6]", offsetof(RealTimeData_t, SixForceValue), Kind::F64, 6},
    {"TargetQuaternion[4]", offsetof(RealTimeData_t, TargetQuaternion), Kind::F64, 4},
    {"ActualQuaternion[4]", offsetof(RealTimeData_t, ActualQuaternion), Kind::F64, 4},
};
constexpr std::size_t kRowCount = std::size(kRows);
static_assert(kRowCount == common::util::kFeedbackSwitchCount, "one row per key");

using Switch = bool tcpipRealTimeDataFormater::*;

// The switch of every row, looked up by the row's key once.
const std::array<Switch, kRowCount>& rowSwitches() {
  static const std::array<Switch, kRowCount> table = [] {
    std::array<Switch, kRowCount> t{};
    for (std::size_t r = 0; r < kRowCount; ++r) {
      for (const FeedbackSwitchKey& k : kFeedbackSwitchKeys) {
        if (kRows[r].key == k.key) t[r] = k.flag;
      }
    }
    return t;
  }();
  return table;
}

template <typename T>
void insertAligned(unsigned char* out, std::uint16_t& pos, const T* src, unsigned char count, unsigned alignment) {
  while (pos % alignment != 0) out[pos++] = 0;
  const std::size_t bytes = sizeof(T) * count;
  std::memcpy(out + pos, src, bytes);
  pos = static_cast<std::uint16_t>(pos + bytes);
}

}  // namespace

tcpipRealTimeData& tcpipRealTimeData::Instance() {
  static tcpipRealTimeData instance;
  return instance;
}

void tcpipRealTimeData::_CustomizedFormatterInsert(unsigned char* out, std::uint16_t& pos, const signed char* src,
                                                   unsigned char count) {
  insertAligned(out, pos, src, count, 1);
}

void tcpipRealTimeData::_CustomizedFormatterInsert(unsigned char* out, std::uint16_t& pos, const double* src,
                                                   unsigned char count) {
  insertAligned(out, pos, src, count, 4);
}

void tcpipRealTimeData::_CustomizedFormatterInsert(unsigned char* out, std::uint16_t& pos, const unsigned short* src,
                                                   unsigned char count) {
  insertAligned(out, pos, src, count, 2);
}

void tcpipRealTimeData::_CustomizedFormatterInsert(unsigned char* out, std::uint16_t& pos,
                                                   const unsigned long long* src, unsigned char count) {
  insertAligned(out, pos, src, count, 4);
}

std::uint16_t tcpipRealTimeData::formatCustomizedPackets(const tcpipRealTimeDataFormater& switches,
                                                         const RealTimeData_t* record, unsigned char* out) const {
  const auto* base = reinterpret_cast<const unsigned char*>(record);
  const auto& rowSwitch = rowSwitches();
  std::uint16_t pos = 0;
  for (std::size_t r = 0; r < kRowCount; ++r) {
    if (rowSwitch[r] == nullptr || !(switches.*rowSwitch[r])) continue;
    const Row& row = kRows[r];
    const unsigned char* at = base + row.offset;
    switch (row.kind) {
      case Kind::U16: {
        unsigned short v[1];
        std::memcpy(v, at, sizeof v);
        _CustomizedFormatterInsert(out, pos, v, 1);
        break;
      }
      case Kind::U64: {
        unsigned long long v[1];
        std::memcpy(v, at, sizeof v);
        _CustomizedFormatterInsert(out, pos, v, 1);
        break;
      }
      case Kind::F64: {
        double v[6];
        std::memcpy(v, at, sizeof(double) * row.count);
        _CustomizedFormatterInsert(out, pos, v, row.count);
        break;
      }
      case Kind::I32:
        _CustomizedFormatterInsert(out, pos, reinterpret_cast<const signed char*>(at), sizeof(std::int32_t));
        break;
      case Kind::Byte:
        _CustomizedFormatterInsert(out, pos, reinterpret_cast<const signed char*>(at), 1);
        break;
    }
  }
  if (switches.MessageSize) std::memcpy(out, &pos, sizeof pos);
  return pos;
}

std::uint16_t tcpipRealTimeData::formatCustomizedPackets(const tcpipRealTimeDataFormater& switches,
                                                         unsigned char* out) const {
  return formatCustomizedPackets(switches, &record_, out);
}

}  // namespace zelor::modules::realTimeData
