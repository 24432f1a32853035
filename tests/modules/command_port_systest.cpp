// brevan's text command ports 29999 and 30003 as a client meets them, with
// the data-server peer owning the control mode.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "data_server_peer/data_server_peer.h"
#include "support/brevan_rig.h"

namespace zelor::test {
namespace {

class CommandPort : public ::testing::Test {
 protected:
  void SetUp() override {
    peer_.setControlMode("tcp");
    peer_.start();
    ASSERT_TRUE(brevan_.waitForPorts()) << "ports 29999 and 30003 never listened";
  }

  Brevan brevan_;
  zelor::sim::DataServerPeer peer_;
};

TEST_F(CommandPort, RepliesAsTheTableSaysOnBothPorts) {
  struct Row {
    std::vector<std::string> sends;  // one send each, the reply read after the last
    std::string reply;
  };
  const std::vector<Row> rows = {
      {{"Foo()"}, "-10000,{},Foo();"},
      {{"SetCollideDrag()"}, "-10000,{},SetCollideDrag();"},
      {{"test(1,2,a,b=c)"}, "-10000,{},test(1,2,a,b=c);"},
      {{"StartTrace()"}, "-1, {},StartTrace();"},
      {{" SERVOJ ( 1, 2 )"}, "-1,{},SERVOJ(1,2);"},
      {{"ServoP({1,2})"}, "-1,{},ServoP({1,2});"},
      {{"ServoP()ServoJ()"}, "-1,{},ServoP();-1,{},ServoJ();"},
      {{"ServoP()\r\nServoJ()"}, "-1,{},ServoP();-1,{},ServoJ();"},
      {{"ServoP();ServoJ()"}, "-1,{},ServoP();-10000,{},;ServoJ();"},
      {{"ServoP(1,", "2)"}, "-1,{},ServoP(1,2);"},
      {{"abc)", "ServoP()"}, "-10000,{},abc);-1,{},ServoP();"},
      // A zero byte is one more byte of the line, never its end.
      {{std::string("Serv\0oP()ServoJ()", 17)}, std::string("-10000,{},Serv\0oP();-1,{},ServoJ();", 35)},
      {{std::string("ServoP(\0)", 9)}, std::string("-1,{},ServoP(\0);", 16)},
  };
  for (int port : {29999, 30003}) {
    Client client(port);
    ASSERT_TRUE(client.connected()) << port;
    for (const Row& row : rows) {
      SCOPED_TRACE(testing::Message() << "port " << port << ": " << row.sends.front());
      for (std::size_t i = 0; i + 1 < row.sends.size(); ++i) {
        client.send(row.sends[i]);
        EXPECT_EQ(client.readFor(200ms), "") << "answered before the command was complete";
      }
      EXPECT_EQ(client.exchange(row.sends.back(), row.reply), row.reply);
    }
  }
}

TEST_F(CommandPort, EveryCommandIsRefusedUnlessTheControlModeIsExactlyTcp) {
  Client client(29999);
  ASSERT_TRUE(client.connected());
  for (const char* mode : {"TCP", "tcpx", "manual", ""}) {
    SCOPED_TRACE(mode);
    peer_.setControlMode(mode);
    EXPECT_EQ(client.exchange("ServoP()", "-1,{},ServoP();"), "-1,{},ServoP();");
    EXPECT_EQ(client.exchange("Foo()", "-1,{},Foo();"), "-1,{},Foo();");
  }
  peer_.setControlMode("tcp");
  EXPECT_EQ(client.exchange("Foo()", "-10000,{},Foo();"), "-10000,{},Foo();");
}

TEST_F(CommandPort, ASecondClientIsClosedAtOnceAndTheFirstKeepsItsReplies) {
  for (int port : {29999, 30003}) {
    SCOPED_TRACE(port);
    auto first = std::make_unique<Client>(port);
    ASSERT_EQ(first->exchange("ServoP()", "-1,{},ServoP();"), "-1,{},ServoP();");
    Client second(port);
    EXPECT_TRUE(second.closedWithin(1s)) << "a second client was kept";
    EXPECT_EQ(first->exchange("Foo()", "-10000,{},Foo();"), "-10000,{},Foo();");
    first.reset();
    const auto served = timeToBeServed(port, 3s);
    ASSERT_TRUE(served) << "no client served after the first left";
    EXPECT_LE(served->count(), 1000);
  }
}

TEST_F(CommandPort, AClientThatNeverClosesABracketIsDroppedPastTheLimit) {
  Client flooder(29999);
  ASSERT_TRUE(flooder.connected());
  flooder.send(std::string(70000, 'a'));
  EXPECT_TRUE(flooder.closedWithin(3s)) << "70000 bytes without a command were kept";
  const auto served = timeToBeServed(29999, 3s);
  ASSERT_TRUE(served);
  EXPECT_LE(served->count(), 1000);
}

TEST_F(CommandPort, AClientsUnfinishedCommandIsNotHandedToTheNext) {
  {
    Client leaving(29999);
    ASSERT_TRUE(leaving.connected());
    ASSERT_EQ(leaving.exchange("Foo()", "-10000,{},Foo();"), "-10000,{},Foo();");
    leaving.send("ServoP(");
  }
  auto next = acceptedClient(29999, 3s);
  ASSERT_TRUE(next);
  EXPECT_EQ(next->exchange("ServoJ()", "-1,{},ServoJ();"), "-1,{},ServoJ();");
}

TEST_F(CommandPort, AClientClosingRightAfterACommandIsReplacedWithinASecond) {
  for (int port : {29999, 30003}) {
    SCOPED_TRACE(port);
    {
      Client client(port);
      ASSERT_TRUE(client.connected());
      client.send("ServoP()");
    }
    const auto served = timeToBeServed(port, 3s);
    ASSERT_TRUE(served);
    EXPECT_LE(served->count(), 1000);
  }
}

// Each setting makes one packet exchange; the data server ticks like the
// kernel's cycle, so a second request would wait in the queue if both ports
// exchanged at once.
TEST_F(CommandPort, ClientsOnBothPortsAtOnceExchangeOnePacketAtATime) {
  peer_.setMode(zelor::sim::DataServerPeer::Mode::Tick4ms);
  constexpr int kEach = 15;
  std::atomic<int> answered{0};
  std::vector<std::thread> clients;
  for (int port : {29999, 30003}) {
    clients.emplace_back([port, &answered] {
      Client client(port);
      for (int i = 0; i < kEach && client.connected(); ++i) {
        const std::string command = "SpeedFactor(" + std::to_string(10 + i) + ")";
        const std::string reply = "0,{}," + command + ";";
        if (client.exchange(command, reply) == reply) ++answered;
      }
    });
  }
  for (std::thread& t : clients) t.join();
  EXPECT_EQ(answered, 2 * kEach);
  EXPECT_EQ(peer_.answered(), 2 * kEach);
  EXPECT_EQ(peer_.overlaps(), 0) << "a second request reached the data server before the first was answered";
}

}  // namespace
}  // namespace zelor::test
