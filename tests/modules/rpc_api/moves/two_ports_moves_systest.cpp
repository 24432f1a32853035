// Both command ports moving at once: a move's option packet, the move and the
// restore behind it are never split by the other port's packets.
#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "data_server_peer/data_server_peer.h"
#include "support/brevan_rig.h"
#include "support/peer_records.h"

namespace zelor::test {
namespace {

using zelor::sim::PeerRequest;

constexpr std::uint16_t kCommonParams = 83;
constexpr std::uint16_t kMove = 84;
constexpr std::uint16_t kUserFrame = 250;
constexpr std::uint16_t kToolFrame = 251;
constexpr std::uint8_t kQueued = 0x03;

float moveX(const PeerRequest& r) {
  float x = 0;
  if (r.params.size() >= 5) std::memcpy(&x, r.params.data() + 1, sizeof x);
  return x;
}

bool isRatios(const PeerRequest& r, const Bytes& ratios) {
  return r.id == kCommonParams && r.ctrl == kQueued && r.params == ratios;
}

TEST(TwoPortMoves, EachMoveIsPrecededByItsOwnOptionPacketOrNone) {
  zelor::sim::DataServerPeer peer;
  peer.setControlMode("tcp");
  peer.setReadReply(kCommonParams, kKernelRatios);
  peer.setReadReply(kUserFrame, concat(bytesOf(std::uint32_t{0}), floats({5, 6, 7, 8})));
  peer.setReadReply(kToolFrame, concat(bytesOf(std::uint32_t{0}), floats({9, 10, 11, 12})));
  peer.start();
  Brevan brevan;
  ASSERT_TRUE(brevan.waitForPorts()) << "ports 29999 and 30003 never listened";

  struct Port {
    int port;
    std::string command;
    std::atomic<int> moves{0};
    std::atomic<int> wrong{0};
  };
  Port ports[] = {{29999, "MovJ(100,0,0,0,SpeedJ=10)"}, {30003, "MovJ(200,0,0,0)"}};
  // A second of closed loop, and a few moves each however loaded the machine.
  constexpr int kFewest = 5;
  const auto until = Clock::now() + 1s;
  const auto limit = Clock::now() + 30s;
  std::vector<std::thread> clients;
  for (Port& p : ports) {
    clients.emplace_back([&p, until, limit] {
      Client client(p.port);
      const std::string expected = "0,{}," + p.command + ";";
      while (client.connected() && (Clock::now() < until || p.moves < kFewest) && Clock::now() < limit) {
        if (client.exchange(p.command, expected) == expected) {
          ++p.moves;
        } else {
          ++p.wrong;
          break;
        }
      }
    });
  }
  for (std::thread& t : clients) t.join();
  for (const Port& p : ports) {
    EXPECT_GE(p.moves, kFewest) << p.port;
    EXPECT_EQ(p.wrong, 0) << p.port;
  }

  const Bytes withSpeed10 = [] {
    Bytes ratios = kKernelRatios;
    const Bytes ten = bytesOf(10.0f);
    std::copy(ten.begin(), ten.end(), ratios.begin());
    return ratios;
  }();
  const std::vector<PeerRequest> log = peer.requests();
  int seen[2] = {0, 0};
  for (std::size_t i = 1; i + 1 < log.size(); ++i) {
    if (log[i].id != kMove) continue;
    SCOPED_TRACE("packet " + std::to_string(i) + ":" + describe({log[i - 1], log[i], log[i + 1]}));
    if (moveX(log[i]) == 100.0f) {
      ++seen[0];
      EXPECT_TRUE(isRatios(log[i - 1], withSpeed10)) << "the option move was not preceded by its own option";
      EXPECT_TRUE(isRatios(log[i + 1], kKernelRatios)) << "the option move's restore did not follow it";
    } else {
      ++seen[1];
      EXPECT_FALSE(log[i - 1].id == kCommonParams && log[i - 1].ctrl == kQueued)
          << "the plain move ran behind the other port's option";
    }
  }
  EXPECT_EQ(seen[0], ports[0].moves.load());
  EXPECT_EQ(seen[1], ports[1].moves.load());
}

}  // namespace
}  // namespace zelor::test
