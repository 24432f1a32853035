#pragma once

// A client of the PLC-runtime stand-in that talks to the kernel by command
// packets only, as the data server does, and steps the free-running cycle.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "built_paths.h"
#include "common/protocol/packet.h"
#include "plc_host/plc_host.h"

namespace zelor::sim::test {

inline constexpr std::uint8_t kRead = 0x00;
inline constexpr std::uint8_t kWrite = 0x01;
inline constexpr std::uint8_t kWriteQueued = 0x03;

inline Packet MakePacket(std::uint16_t id, std::uint8_t ctrl, const void* params, std::size_t size) {
  Packet packet{};
  packet.header[0] = packet.header[1] = kPacketHeaderByte;
  packet.length = static_cast<std::uint16_t>(size + 2);
  packet.cmdId = id;
  packet.ctrl = ctrl;
  if (size > 0) std::memcpy(packet.params, params, size);
  return packet;
}

inline std::uint64_t IndexOf(const Packet& reply) {
  std::uint64_t index = 0;
  std::memcpy(&index, reply.params, sizeof index);
  return index;
}

class HostedClient : public ::testing::Test {
 protected:
  // The host with the fixture block and the installed project's settings.
  void StartHost(key_t key) {
    PlcHostOptions options;
    options.segmentKey = key;
    options.block = FixtureBlock();
    options.loadProject = true;
    options.libraries = {zelor::test::built::kUtils, zelor::test::built::kExcitBufferStandIn,
                         zelor::test::built::kVantrel};
    host = std::make_unique<PlcHost>(options);
    std::string error;
    ASSERT_TRUE(host->Start(error)) << error;
  }
  void TearDown() override { host.reset(); }

  void cycles(int n) {
    for (int i = 0; i < n; ++i) host->Cycle();
  }
  Packet call(std::uint16_t id, std::uint8_t ctrl, const void* params = nullptr, std::size_t size = 0) {
    Packet reply{};
    EXPECT_TRUE(host->Call(MakePacket(id, ctrl, params, size), reply)) << "id " << id << " answered";
    return reply;
  }
  template <typename Record>
  Packet call(std::uint16_t id, std::uint8_t ctrl, const Record& record) {
    return call(id, ctrl, &record, sizeof record);
  }
  std::uint8_t byteReply(std::uint16_t id, std::uint8_t ctrl = kRead) {
    const Packet reply = call(id, ctrl);
    EXPECT_EQ(reply.length, 3) << "id " << id;
    return reply.params[0];
  }
  std::uint64_t currentIndex() { return IndexOf(call(246, kRead)); }

  AxesGroupRef& group() { return host->records().axesGroup; }
  double actual(int joint) { return group().m_Joints[joint].m_ActPosition; }

  bool logged(const std::string& line) const {
    const auto lines = host->mailbox().log().Lines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
  std::size_t loggedCount(const std::string& line) const {
    const auto lines = host->mailbox().log().Lines();
    return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
  }

  // The kernel's last lines, for failure messages.
  std::string tail(std::size_t n = 40) const {
    const auto lines = host->mailbox().log().Lines();
    std::string out;
    for (std::size_t i = lines.size() > n ? lines.size() - n : 0; i < lines.size(); ++i) out += lines[i];
    return out;
  }

  // The alarms set, as "alarms: i j ...".
  std::string alarms() {
    std::uint8_t map[32];
    host->WithKernel([&](const VantrelApi& api) { api.get_alarms(map); });
    std::string out = "alarms:";
    for (int i = 0; i < 256; ++i) {
      if ((map[i >> 3] & (1u << (i & 7))) != 0) out += " " + std::to_string(i);
    }
    return out + "\n";
  }

  // Kernel lines holding `word`, for failure messages.
  std::string grep(const std::string& word, std::size_t n = 30) const {
    std::string out;
    std::size_t found = 0;
    for (const std::string& line : host->mailbox().log().Lines()) {
      if (line.find(word) == std::string::npos) continue;
      if (++found > n) break;
      out += line;
    }
    return out;
  }

  // Cycles in steps of five until the entry `index` has run and the queue
  // is done; false after `maxCycles`.
  bool runUntilDone(std::uint64_t index, int maxCycles) {
    for (int n = 0; n < maxCycles; n += 5) {
      cycles(5);
      if (currentIndex() >= index && byteReply(27) == 1) return true;
    }
    return false;
  }

  std::unique_ptr<PlcHost> host;
};

}  // namespace zelor::sim::test
