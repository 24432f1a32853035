// The packet pool of a command client, transport failures and refused
// arguments.
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "common/plugin/packet_pool.h"
#include "common/plugin/plugin_base.h"
#include "plugin_client.h"

namespace {

using zelor::test::RecordingClient;

bool allZero(const Packet* packet) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(packet);
  for (std::size_t i = 0; i < sizeof(Packet); ++i) {
    if (bytes[i] != 0) return false;
  }
  return true;
}

TEST(PacketPool, FreedPacketComesBackZeroed) {
  PluginBase client;
  Packet* first = client.allocPluginPacket();
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(allZero(first));
  std::memset(first, 0x5C, sizeof(Packet));
  client.freePluginPacket(first);
  Packet* again = client.allocPluginPacket();
  EXPECT_EQ(again, first);
  EXPECT_TRUE(allZero(again));
  client.freePluginPacket(again);
}

TEST(PacketPool, RingKeepsFourAndHandsThemOutInOrder) {
  PacketPool pool;
  EXPECT_EQ(pool.spare(), 0);
  std::vector<Packet*> packets;
  for (int i = 0; i < 5; ++i) packets.push_back(pool.take());
  for (Packet* p : packets) pool.give(p);
  EXPECT_EQ(pool.spare(), 4);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(pool.take(), packets[i]) << "slot " << i;
  EXPECT_EQ(pool.spare(), 0);
  // The ring is empty again: the next packet is a fresh one.
  Packet* fresh = pool.take();
  for (int i = 0; i < 4; ++i) EXPECT_NE(fresh, packets[i]);
  for (int i = 0; i < 4; ++i) pool.give(packets[i]);
  pool.give(fresh);
}

TEST(PacketPool, ClearEmptiesTheRingAndIgnoresAnEmptyOne) {
  PacketPool pool;
  pool.clear();
  EXPECT_EQ(pool.spare(), 0);
  pool.give(pool.take());
  pool.give(nullptr);
  EXPECT_EQ(pool.spare(), 1);
  pool.clear();
  EXPECT_EQ(pool.spare(), 0);
  pool.clear();
  EXPECT_EQ(pool.spare(), 0);
}

TEST(PacketPool, SharedByThreads) {
  PacketPool pool;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&pool, t] {
      for (int i = 0; i < 2000; ++i) {
        Packet* p = pool.take();
        p->cmdId = static_cast<std::uint16_t>(t);
        pool.give(p);
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_LE(pool.spare(), 4);
}

TEST(Transport, FailureReturnsNullAndTheNextAllocationReusesThePacket) {
  RecordingClient client;
  client.transportResult = 0;
  const tagPTPCmd move{1, 10.0f, 20.0f, 30.0f, 40.0f};
  EXPECT_EQ(client.alloc_SetPTPCmd(&move, 1), nullptr);
  EXPECT_EQ(client.transports, 1);
  ASSERT_NE(client.lastPacket, nullptr);
  Packet* next = client.allocPluginPacket();
  EXPECT_EQ(next, client.lastPacket);
  EXPECT_TRUE(allZero(next));
  client.freePluginPacket(next);
}

TEST(Transport, RawTextFailureIsPrinted) {
  RecordingClient client;
  client.transportResult = 0;
  testing::internal::CaptureStdout();
  EXPECT_EQ(client.alloc_TCPIPRawCmdHandler("GetPose()"), nullptr);
  std::fflush(stdout);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "##############alloc_TCPIPRawCmdHandler wrong!!!!!");
}

// Arguments the kernel cannot take are refused before a packet is taken or the
// queue is waited for.
struct Refusal {
  std::string name;
  std::function<Packet*(PluginBase&)> build;
};

const tagPTPCmd kMove{};
const tagPTPWithLCmd kMoveWithL{};
const tagParallelOutputCmd kOutputs[85] = {};
const std::string kLongText(kKernelParamBytes, 't');     // its NUL makes 2049
const std::string kLongRaw(kKernelParamBytes + 1, 'r');  // 2049 without NUL

std::vector<Refusal> refusals() {
  using B = PluginBase&;
  return {
      {"PTPPO_85_outputs", [](B c) { return c.alloc_SetPTPPOCmd(&kMove, kOutputs, 85, true); }},
      {"PTPPO_negative_count", [](B c) { return c.alloc_SetPTPPOCmd(&kMove, kOutputs, -1, true); }},
      {"PTPPOWithL_85_outputs", [](B c) { return c.alloc_SetPTPPOWithLCmd(&kMoveWithL, kOutputs, 85, true); }},
      {"PTPPOWithL_negative_count", [](B c) { return c.alloc_SetPTPPOWithLCmd(&kMoveWithL, nullptr, -3, false); }},
      {"DeviceSN_too_long", [](B c) { return c.alloc_SetDeviceSN(kLongText.c_str()); }},
      {"DeviceName_too_long", [](B c) { return c.alloc_SetDeviceName(kLongText.c_str()); }},
      {"CnvTracePoint_too_long", [](B c) { return c.alloc_SetCnvTracePoint(kLongText, true); }},
      {"RawCmd_too_long", [](B c) { return c.alloc_TCPIPRawCmdHandler(kLongRaw.c_str()); }},
      {"null_PTPCmd", [](B c) { return c.alloc_SetPTPCmd(nullptr, 1); }},
      {"null_PTPPO_move", [](B c) { return c.alloc_SetPTPPOCmd(nullptr, kOutputs, 2, true); }},
      {"null_Conveyor", [](B c) { return c.alloc_SetConveyorParams(nullptr, true); }},
      {"null_CnvObject", [](B c) { return c.alloc_GetCnvObject(nullptr, true); }},
      {"null_TimeInterval", [](B c) { return c.alloc_SetCnvTimeInterval(nullptr, false); }},
      {"null_HOMECmd", [](B c) { return c.alloc_SetHOMECmd(nullptr, 1); }},
      {"null_IODO", [](B c) { return c.alloc_SetIODO(nullptr, 1); }},
      {"null_GetIODI", [](B c) { return c.alloc_GetIODI(nullptr); }},
      {"null_MulIODO", [](B c) { return c.alloc_SetMulIODO(nullptr, 1); }},
      {"null_TorDiff", [](B c) { return c.alloc_SetTorDiffParams(nullptr, true); }},
      {"null_Kinematics", [](B c) { return c.alloc_GetPointInverseCal(nullptr); }},
      {"null_DeviceSN", [](B c) { return c.alloc_SetDeviceSN(nullptr); }},
      {"null_RawCmd", [](B c) { return c.alloc_TCPIPRawCmdHandler(nullptr); }},
  };
}

class Refused : public ::testing::TestWithParam<Refusal> {};

TEST_P(Refused, TakesNoPacketAndDoesNotWait) {
  RecordingClient client;
  Packet* probe = client.allocPluginPacket();
  client.freePluginPacket(probe);
  testing::internal::CaptureStdout();
  EXPECT_EQ(GetParam().build(client), nullptr);
  std::fflush(stdout);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(client.transports, 0);
  EXPECT_TRUE(client.waits.empty());
  // The one spare packet is still in the ring.
  EXPECT_EQ(client.allocPluginPacket(), probe);
  client.freePluginPacket(probe);
}

INSTANTIATE_TEST_SUITE_P(BadArguments, Refused, ::testing::ValuesIn(refusals()),
                         [](const auto& info) { return info.param.name; });

TEST(Refused, OverLongRawTextIsPrinted) {
  RecordingClient client;
  testing::internal::CaptureStdout();
  EXPECT_EQ(client.alloc_TCPIPRawCmdHandler(kLongRaw.c_str()), nullptr);
  std::fflush(stdout);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "api:" + kLongRaw + "\t len:2049\n");
}

}  // namespace
