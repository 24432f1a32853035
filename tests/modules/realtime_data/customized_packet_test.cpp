// The customised packet of port 30006: fields in record order, each at its
// aligned position, and the period clamp of both settings files.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/util/feedback_formats.h"
#include "realtime_data/realtime_data_formatter.h"
#include "realtime_data/realtime_data_sender.h"

namespace zelor::modules::realTimeData {
namespace {

using common::util::feedbackSwitch;
using common::util::kFeedbackSwitchKeys;

using Bytes = std::vector<unsigned char>;

// Pseudo-random record bytes, never 0 (so padding shows) and without repeats
// of any length that matters.
RealTimeData_t patternRecord() {
  RealTimeData_t r{};
  auto* b = reinterpret_cast<unsigned char*>(&r);
  std::uint32_t x = 12345;
  for (std::size_t i = 0; i < sizeof r; ++i) {
    x = x * 1103515245u + 12345u;
    b[i] = static_cast<unsigned char>((x >> 16) % 255 + 1);
  }
  return r;
}

Bytes recordBytes(const RealTimeData_t& r, std::size_t from, std::size_t count) {
  const auto* b = reinterpret_cast<const unsigned char*>(&r);
  return Bytes(b + from, b + from + count);
}

tcpipRealTimeDataFormater only(std::initializer_list<const char*> keys) {
  tcpipRealTimeDataFormater f{};
  for (const char* k : keys) *feedbackSwitch(f, k) = true;
  return f;
}

Bytes format(const tcpipRealTimeDataFormater& f, const RealTimeData_t& r) {
  unsigned char out[kRealTimeRecordBytes + 16];
  std::memset(out, 0xEE, sizeof out);
  const std::uint16_t n = tcpipRealTimeData::Instance().formatCustomizedPackets(f, &r, out);
  return Bytes(out, out + n);
}

Bytes slice(const Bytes& b, std::size_t from, std::size_t count) {
  return Bytes(b.begin() + static_cast<long>(from), b.begin() + static_cast<long>(from + count));
}

TEST(CustomizedPacket, EveryFieldOnGivesTheAlignedFullLayout) {
  tcpipRealTimeDataFormater all{};
  for (const auto& k : kFeedbackSwitchKeys) all.*k.flag = true;
  const RealTimeData_t r = patternRecord();
  const Bytes p = format(all, r);
  ASSERT_EQ(p.size(), 1252u);
  EXPECT_EQ(slice(p, 0, 4), (Bytes{0xE4, 0x04, 0x00, 0x00})) << "length, then two zero bytes before the first u64";
  // Where each field lands: (packet position, record offset, bytes).
  struct Place {
    const char* name;
    std::size_t at, from, count;
  };
  const Place places[] = {
      {"DigitalInputs", 4, 8, 8},          {"TestValue", 36, 48, 8},       {"SpeedScaling", 44, 64, 8},
      {"QTarget", 156, 192, 48},           {"ActualTCPForce", 540, 576, 48}, {"TCPSpeedActual", 588, 672, 48},
      {"VActual", 876, 960, 48},           {"HandType", 924, 1008, 4},     {"ratio bytes", 928, 1012, 13},
      {"status bytes", 941, 1025, 13},     {"MActual[6]", 956, 1120, 48},  {"Load", 1004, 1168, 8},
      {"User[6]", 1036, 1200, 48},         {"TraceIndex", 1132, 1296, 8},  {"ActualQuaternion[4]", 1220, 1384, 32},
  };
  for (const Place& pl : places) {
    EXPECT_EQ(slice(p, pl.at, pl.count), recordBytes(r, pl.from, pl.count)) << pl.name << " at " << pl.at;
  }
  EXPECT_EQ(slice(p, 954, 2), (Bytes{0, 0})) << "padding before MActual[6]";
  // The keyless group at 624 never appears.
  const Bytes keyless = recordBytes(r, 624, 48);
  EXPECT_EQ(std::search(p.begin(), p.end(), keyless.begin(), keyless.end()), p.end());
}

TEST(CustomizedPacket, SmallLayouts) {
  const RealTimeData_t r = patternRecord();
  struct Case {
    const char* name;
    tcpipRealTimeDataFormater switches;
    Bytes expected;
  };
  auto cat = [](std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& b : parts) all.insert(all.end(), b.begin(), b.end());
    return all;
  };
  const Case cases[] = {
      {"length and robot mode", only({"MessageSize", "RobotMode"}), cat({{0x0C, 0, 0, 0}, recordBytes(r, 24, 8)})},
      {"byte then double, no length", only({"User", "Load"}),
       cat({recordBytes(r, 1012, 1), {0, 0, 0}, recordBytes(r, 1168, 8)})},
      {"no length: first value at 0", only({"QActual"}), recordBytes(r, 432, 48)},
      {"record order, not switch order", only({"MessageSize", "Tool", "TimeStamp"}),
       cat({{0x0D, 0, 0, 0}, recordBytes(r, 32, 8), recordBytes(r, 1013, 1)})},
      {"hand type is not aligned", only({"User", "HandType"}), cat({recordBytes(r, 1008, 4), recordBytes(r, 1012, 1)})},
      {"every switch off: empty", tcpipRealTimeDataFormater{}, Bytes{}},
  };
  for (const Case& c : cases) EXPECT_EQ(format(c.switches, r), c.expected) << c.name;
}

TEST(CustomizedPacket, OwnRecordOverloadFormatsTheSingletonsRecord) {
  tcpipRealTimeData& fmt = tcpipRealTimeData::Instance();
  fmt.record() = patternRecord();
  unsigned char out[kRealTimeRecordBytes];
  const std::uint16_t n = fmt.formatCustomizedPackets(only({"TestValue"}), out);
  EXPECT_EQ(Bytes(out, out + n), recordBytes(fmt.record(), 48, 8));
}

TEST(FeedbackPeriod, CycleIsClampedTo4To65535) {
  const std::pair<std::int64_t, std::uint16_t> cases[] = {
      {-1, 4}, {0, 4}, {3, 4}, {4, 4}, {20, 20}, {65535, 65535}, {70000, 65535}, {4294967295LL, 65535},
  };
  for (auto [cycle, period] : cases) EXPECT_EQ(clampPeriod(cycle), period) << "cycle " << cycle;
}

}  // namespace
}  // namespace zelor::modules::realTimeData
