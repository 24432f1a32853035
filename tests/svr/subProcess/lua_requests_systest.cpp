// The script plug-in's request memory served by the Lua sub-process, with the
// real core and kernel cycling every 4 ms and clients in other processes.
#include <sys/sem.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "common/ipc/semlib.h"
#include "common/router/message_router.h"
#include "common/protocol/packet.h"
#include "fork_child.h"
#include "support/core_rig.h"

namespace {

using namespace std::chrono_literals;
namespace ipc = zelor::common::ipc;
using Clock = std::chrono::steady_clock;

constexpr uint16_t kQueueIndexId = 246;
constexpr int kReplyTimeout = 2;     // child exit: no reply came
constexpr int kLockTimeout = 3;      // child exit: the lock was never free
constexpr int kWrongReply = 4;       // child exit: the reply was not its own

bool waitFor(const std::function<bool()>& cond, std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (Clock::now() < deadline) {
    if (cond()) return true;
    std::this_thread::sleep_for(5ms);
  }
  return cond();
}

bool semTake(int semid, int n, std::chrono::milliseconds timeout) {
  return waitFor([&] { return dsem_p_nowait(semid, n) == 0; }, timeout);
}

// The request of client k as the plug-in writes it: the packet's length
// field holds its parameter bytes + 2, the frame length that + 6.
semlib_frame requestFrame(int client, uint16_t id, uint16_t frameLength, uint32_t marker) {
  semlib_frame f{};
  f.client = static_cast<uint8_t>(client);
  std::memcpy(f.reserved, &marker, sizeof marker);
  f.commandId = id;
  f.length = frameLength;
  f.packet[0] = kPacketHeaderByte;
  f.packet[1] = kPacketHeaderByte;
  const uint16_t field = static_cast<uint16_t>(frameLength - 6);
  std::memcpy(&f.packet[2], &field, 2);
  std::memcpy(&f.packet[4], &id, 2);
  return f;
}

struct Client {
  int semid = -1;
  semlib_shm* shm = nullptr;

  // One request: lock, write, raise, and (unless expectNoReply) wait for the
  // reply semaphore of the client; 0 when the reply came.
  int send(const semlib_frame& f, std::chrono::milliseconds timeout = 10s, bool waitReply = true) const {
    if (!semTake(semid, ipc::kSemlibLockSem, timeout)) return kLockTimeout;
    std::memcpy(&shm->request, &f, sizeof f);
    dsem_v(semid, ipc::kSemlibRequestSem);
    if (!waitReply) return 0;
    return semTake(semid, ipc::semlibReplySem(f.client), timeout) ? 0 : kReplyTimeout;
  }
  const semlib_frame& reply(int k) const {
    return *reinterpret_cast<const semlib_frame*>(reinterpret_cast<const uint8_t*>(shm) + ipc::semlibReplyOffset(k));
  }
};

class LuaRequests : public ::testing::Test {
 protected:
  void SetUp() override {
    rig_.registerCore();
    rig_.giveParameters();
    rig_.startCycling();
    client_.semid = init_semlib(&client_.shm);
    SubProcessParam param;
    rig_.factory().start(ISubProcess::LUA, &param);
    ASSERT_EQ(rig_.factory().getInterface(ISubProcess::LUA)->status(), ISubProcess::kRunning);
  }
  void TearDown() override { rig_.factory().stop(ISubProcess::LUA); }

  // Runs one request in a client process; its exit code.
  int request(const semlib_frame& f, std::chrono::milliseconds timeout = 10s) {
    const Client c = client_;
    return zelor::test::waitExit(zelor::test::forkChild([&] { return c.send(f, timeout); }));
  }

  int semValue(int n) const { return semctl(client_.semid, n, GETVAL); }

  zelor::test::CoreRig rig_;
  Client client_;
};

TEST_F(LuaRequests, AQueueIndexQueryIsAnsweredInTheClientsReplyArea) {
  const auto sent = Clock::now();
  ASSERT_EQ(request(requestFrame(4, kQueueIndexId, 8, 0x1234)), 0) << "semaphore 9 raised";
  const semlib_frame& r = client_.reply(4);
  EXPECT_EQ(ipc::semlibReplyOffset(4), 8636u);
  EXPECT_EQ(r.client, 4);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.commandId, kQueueIndexId);
  EXPECT_EQ(r.packet[0], 0xAA);
  EXPECT_EQ(r.packet[1], 0xAA);
  uint16_t field = 0;
  std::memcpy(&field, &r.packet[2], 2);
  EXPECT_EQ(r.length, field + 6);
  EXPECT_EQ(semValue(ipc::semlibReplySem(4)), 0);
  EXPECT_EQ(semValue(ipc::kSemlibLockSem), 1);
  EXPECT_LT(Clock::now() - sent, 2s);

  // The kernel does not answer: the failure comes with the mailbox's 2 s.
  rig_.stopCycling();
  const auto held = Clock::now();
  ASSERT_EQ(request(requestFrame(4, kQueueIndexId, 8, 0x5678)), 0);
  const auto took = Clock::now() - held;
  EXPECT_EQ(client_.reply(4).status, 1);
  EXPECT_GE(took, 1900ms);
  EXPECT_LT(took, 4s);
}

TEST_F(LuaRequests, EachClientHasItsOwnAreaAndTheAlarmBytesStay) {
  const uint8_t alarm[8] = {1, 0xDE, 0xAD, 0xBE, 0xEF, 7, 8, 9};
  std::memcpy(reinterpret_cast<uint8_t*>(client_.shm) + 2400, alarm, sizeof alarm);
  for (int k = 1; k <= ipc::kSemlibClientCount; ++k) {
    std::memset(reinterpret_cast<uint8_t*>(client_.shm) + ipc::semlibReplyOffset(k), 0xEE, sizeof(semlib_frame));
  }
  for (int k = 1; k <= ipc::kSemlibClientCount; ++k) {
    SCOPED_TRACE(k);
    // The last client sends the largest frame the core takes.
    const uint16_t length = k == ipc::kSemlibClientCount ? 2057 : 8;
    ASSERT_EQ(request(requestFrame(k, kQueueIndexId, length, 100u + static_cast<uint32_t>(k))), 0);
    for (int other = 1; other <= ipc::kSemlibClientCount; ++other) {
      const semlib_frame& r = client_.reply(other);
      if (other <= k) {
        EXPECT_EQ(r.client, other);
        uint32_t marker = 0;
        std::memcpy(&marker, r.reserved, 4);
        EXPECT_EQ(marker, 100u + static_cast<uint32_t>(other));
      } else {
        EXPECT_EQ(r.client, 0xEE) << "area " << other << " untouched";
      }
    }
  }
  EXPECT_EQ(client_.reply(1).status, 0);
  EXPECT_EQ(std::memcmp(reinterpret_cast<uint8_t*>(client_.shm) + 2400, alarm, sizeof alarm), 0);
}

TEST_F(LuaRequests, FramesOutsideTheBoundsAreRefusedOrDropped) {
  // Too long for the core: answered with the failure flag, at once.
  const auto sent = Clock::now();
  ASSERT_EQ(request(requestFrame(2, kQueueIndexId, 2058, 1)), 0);
  EXPECT_EQ(client_.reply(2).status, 1);
  EXPECT_LT(Clock::now() - sent, 1500ms);
  ASSERT_EQ(request(requestFrame(2, kQueueIndexId, 7, 2)), 0);
  EXPECT_EQ(client_.reply(2).status, 1);

  // No client to answer: dropped, and the service goes on.
  for (const int bad : {0, 9}) {
    SCOPED_TRACE(bad);
    const Client c = client_;
    const semlib_frame f = requestFrame(bad, kQueueIndexId, 8, 3);
    ASSERT_EQ(zelor::test::waitExit(zelor::test::forkChild([&] { return c.send(f, 10s, false); })), 0);
    ASSERT_EQ(request(requestFrame(3, kQueueIndexId, 8, 4)), 0);
    EXPECT_EQ(client_.reply(3).status, 0);
  }
}

TEST_F(LuaRequests, ARestartLeavesTheLockAloneAndServesWhatWaited) {
  rig_.factory().stop(ISubProcess::LUA);
  EXPECT_EQ(semValue(ipc::kSemlibLockSem), 1);
  rig_.factory().start(ISubProcess::LUA, nullptr);
  EXPECT_EQ(semValue(ipc::kSemlibLockSem), 1);

  rig_.factory().stop(ISubProcess::LUA);
  const Client c = client_;
  const semlib_frame f = requestFrame(5, kQueueIndexId, 8, 55);
  const pid_t waiting = zelor::test::forkChild([&] { return c.send(f, 20s); });
  ASSERT_TRUE(waitFor([&] { return semValue(ipc::kSemlibRequestSem) == 1; }, 10s)) << "the request is written";
  EXPECT_EQ(semValue(ipc::kSemlibLockSem), 0);
  rig_.factory().start(ISubProcess::LUA, nullptr);
  EXPECT_EQ(zelor::test::waitExit(waiting), 0);
  EXPECT_EQ(client_.reply(5).status, 0);
  EXPECT_EQ(semValue(ipc::kSemlibLockSem), 1);
}

TEST_F(LuaRequests, TwoClientsNeverSeeEachOthersReplies) {
  std::vector<pid_t> clients;
  for (const int k : {6, 7}) {
    const Client c = client_;
    clients.push_back(zelor::test::forkChild([c, k] {
      for (uint32_t n = 0; n < 200; ++n) {
        const uint32_t marker = (static_cast<uint32_t>(k) << 16) | n;
        const int rc = c.send(requestFrame(k, kQueueIndexId, 8, marker), 10s);
        if (rc != 0) return rc;
        const semlib_frame& r = c.reply(k);
        uint32_t got = 0;
        std::memcpy(&got, r.reserved, 4);
        if (r.client != k || got != marker || r.status != 0 || r.packet[0] != 0xAA) return kWrongReply;
      }
      return 0;
    }));
  }
  for (const pid_t pid : clients) EXPECT_EQ(zelor::test::waitExit(pid), 0);
}

// The relay road: a frame on channel 16 of the router, the reply on 17.
TEST_F(LuaRequests, RelayRequestsAreAnsweredOnChannel17) {
  using zelor::modules::router::MessageRouter;
  MessageRouter* router = MessageRouter::Instance();
  auto relay = [&](const semlib_frame& f, size_t frameBytes) {
    std::vector<uint8_t> reply(MessageRouter::kChannelBytes);
    EXPECT_EQ(router->Write(16, &f, static_cast<unsigned short>(frameBytes)), static_cast<int>(frameBytes + 2));
    int n = 0;
    waitFor([&] { return (n = router->ReadNoBlock(17, reply.data(), reply.size())) > 0; }, 10s);
    reply.resize(static_cast<size_t>(n));
    return reply;
  };
  const std::vector<uint8_t> failure{0x00, 0x02, 0xFF, 0xFF};

  const semlib_frame good = requestFrame(1, kQueueIndexId, 8, 0);
  const std::vector<uint8_t> reply = relay(good, 12 + 7);
  ASSERT_GE(reply.size(), 2u + 7u);
  EXPECT_EQ(reply[2], 0xAA);
  EXPECT_EQ(reply[3], 0xAA);
  uint16_t field = 0;
  std::memcpy(&field, &reply[4], 2);
  EXPECT_EQ(reply.size(), 2u + field + 6u) << "the reply length: its length field + 6";
  uint16_t id = 0;
  std::memcpy(&id, &reply[6], 2);
  EXPECT_EQ(id, kQueueIndexId);

  struct Row {
    const char* name;
    semlib_frame frame;
    size_t bytes;
  };
  const Row rows[] = {
      {"length above the core's packet", requestFrame(1, kQueueIndexId, 2058, 0), sizeof(semlib_frame)},
      {"length below a packet", requestFrame(1, kQueueIndexId, 7, 0), 12 + 7},
      {"packet longer than what arrived", requestFrame(1, kQueueIndexId, 20, 0), 12 + 7},
      {"no header", requestFrame(1, kQueueIndexId, 8, 0), 11},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(relay(row.frame, row.bytes), failure);
  }
  // The road still serves afterwards.
  const std::vector<uint8_t> again = relay(good, 12 + 7);
  ASSERT_GE(again.size(), 3u);
  EXPECT_EQ(again[2], 0xAA);
}

}  // namespace
