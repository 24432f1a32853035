// The stand-in host program cycling in real time, driven by another process
// through its packet endpoint alone: hand teaching off enables the drives,
// a queued joint move moves the simulated arm, as seen through the host's
// segment.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "built_paths.h"
#include "common/protocol/command_records.h"
#include "plc_host/host_segment.h"
#include "plc_host/packet_endpoint.h"
#include "process.h"

namespace zelor::sim {
namespace {

constexpr key_t kKey = 0x5A42;
constexpr const char* kSocket = "/tmp/plc_host_run.sock";
constexpr const char* kErrFile = "/tmp/plc_host_run.err";
constexpr auto kDeadline = std::chrono::seconds(10);

bool exists(const char* path) {
  struct stat st;
  return stat(path, &st) == 0;
}

std::string readFile(const char* path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

Packet request(std::uint16_t id, std::uint8_t ctrl, const void* params, std::size_t size) {
  Packet packet{};
  packet.header[0] = packet.header[1] = kPacketHeaderByte;
  packet.length = static_cast<std::uint16_t>(size + 2);
  packet.cmdId = id;
  packet.ctrl = ctrl;
  if (size > 0) std::memcpy(packet.params, params, size);
  return packet;
}

// One exchange through the endpoint; the reply, or a zero packet on failure.
Packet exchange(std::uint16_t id, std::uint8_t ctrl, const void* params = nullptr, std::size_t size = 0) {
  Packet reply{};
  EXPECT_EQ(ExchangePacket(kSocket, request(id, ctrl, params, size), reply), ExchangeResult::kReply) << "id " << id;
  return reply;
}

std::uint64_t indexOf(const Packet& reply) {
  std::uint64_t index = 0;
  std::memcpy(&index, reply.params, sizeof index);
  return index;
}

TEST(PacketOnlyProgram, EnableAndOneJointMoveInRealTime) {
  test::ChildProcess host({"/bin/sh", "-c", "exec \"$0\" \"$@\" 2>" + std::string(kErrFile), test::built::kPlcHost,
                           "--key", std::to_string(kKey), "--socket", kSocket, "--realtime", "--project"});
  const auto started = std::chrono::steady_clock::now();
  while (!exists(kSocket) && std::chrono::steady_clock::now() - started < std::chrono::seconds(20)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_TRUE(exists(kSocket)) << readFile(kErrFile);
  HostSegment segment;
  std::string error;
  ASSERT_TRUE(segment.Attach(kKey, error)) << error;
  const AxesGroupRef& g = segment.records()->axesGroup;

  const std::uint8_t off = 0;
  const Packet enabled = exchange(41, 0x01, &off, sizeof off);
  ASSERT_EQ(enabled.length, 3);
  EXPECT_EQ(enabled.params[0], 0);
  // The enable check ends with the kernel back at rest: queued execution may start.
  auto deadline = std::chrono::steady_clock::now() + kDeadline;
  bool ready = false;
  while (!ready && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ready = true;
    for (const AxesGroupJoint& joint : g.m_Joints) ready = ready && joint.m_State > 2;
    ready = ready && exchange(28, 0x00).params[0] == 1;
  }
  ASSERT_TRUE(ready) << "drives enabled within 10 s";
  std::this_thread::sleep_for(std::chrono::milliseconds(300));

  exchange(240, 0x01);
  const float target[4] = {5.0f, 85.0f, 95.0f, 5.0f};
  const tagPTPCmd move{4, target[0], target[1], target[2], target[3]};
  const std::uint64_t index = indexOf(exchange(84, 0x03, &move, sizeof move));
  ASSERT_GE(index, 2u);

  deadline = std::chrono::steady_clock::now() + kDeadline;
  bool arrived = false;
  while (!arrived && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    arrived = indexOf(exchange(246, 0x00)) >= index;
    for (int j = 0; j < 4; ++j) arrived = arrived && std::fabs(g.m_Joints[j].m_ActPosition - target[j]) <= 0.01;
  }
  EXPECT_TRUE(arrived) << "at the target within 10 s";
  for (int j = 0; j < 4; ++j) EXPECT_NEAR(g.m_Joints[j].m_ActPosition, target[j], 0.01) << "joint " << j + 1;
  EXPECT_EQ(indexOf(exchange(246, 0x00)), index);

  const int status = host.stop(SIGTERM, std::chrono::seconds(10));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << readFile(kErrFile);
  unlink(kErrFile);
}

}  // namespace
}  // namespace zelor::sim
