// The Modbus master commands through the command ports, against the slave
// stand-in on 127.0.0.1.
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "data_server_peer/data_server_peer.h"
#include "modbus_slave/modbus_slave.h"
#include "support/brevan_rig.h"

namespace zelor::test {
namespace {

constexpr int kPort = 1502;
constexpr int kNobody = 1503;

// The reply text before the echoed command, or what came instead.
std::string call(Client& client, const std::string& command, std::chrono::milliseconds timeout = 2s) {
  client.send(command);
  const std::string echo = command + ";";
  std::string got;
  const auto deadline = Clock::now() + timeout;
  while (Clock::now() < deadline && (got.size() < echo.size() || got.compare(got.size() - echo.size(), echo.size(), echo) != 0)) {
    got += client.read(1, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()));
  }
  if (got.size() < echo.size() || got.compare(got.size() - echo.size(), echo.size(), echo) != 0) return "no reply: " + got;
  return got.substr(0, got.size() - echo.size());
}

class ModbusCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    peer_.setControlMode("tcp");
    peer_.start();
    ASSERT_TRUE(slave_.start());
    ASSERT_TRUE(brevan_.waitForPorts()) << "ports 29999 and 30003 never listened";
    client_ = std::make_unique<Client>(29999);
    ASSERT_TRUE(client_->connected());
  }

  std::string call(const std::string& command) { return test::call(*client_, command); }
  std::string create() { return call("ModbusCreate(127.0.0.1," + std::to_string(kPort) + ",1)"); }

  Brevan brevan_;
  zelor::sim::DataServerPeer peer_;
  zelor::sim::ModbusSlave slave_{"127.0.0.1", kPort};
  std::unique_ptr<Client> client_;
};

TEST_F(ModbusCommands, SlotsFillInOrderAndEmptyOnClose) {
  for (int i = 0; i < 4; ++i) EXPECT_EQ(create(), "0,{" + std::to_string(i) + "},");
  EXPECT_EQ(create(), "-1,{-1},");
  EXPECT_EQ(call("ModbusClose(1)"), "0,{},");
  EXPECT_EQ(create(), "0,{1},");
  EXPECT_EQ(call("ModbusClose(1)"), "0,{},");
  EXPECT_EQ(call("ModbusClose(1)"), "-1,{},");
  EXPECT_EQ(call("ModbusClose(4)"), "-1,{},");
  EXPECT_EQ(call("ModbusClose(5)"), "-40001,{},");
  EXPECT_EQ(call("ModbusClose(x)"), "-30001,{},");
  EXPECT_EQ(call("ModbusClose(1,2)"), "-20000,{},");
}

TEST_F(ModbusCommands, CreateRefusesBadArgumentsWithoutUsingASlot) {
  const std::string p = std::to_string(kPort);
  struct Case {
    std::string command;
    std::string reply;
  };
  const Case cases[] = {
      {"ModbusCreate(192.168.1.300,502,1)", "-30001,{-1},"},
      {"ModbusCreate(localhost,502,1)", "-30001,{-1},"},
      {"ModbusCreate(127.0.0.1," + p + ")", "-20000,{},"},
      {"ModbusCreate(127.0.0.1," + p + ",1,0,0)", "-20000,{},"},
      {"ModbusCreate(127.0.0.1," + p + ",5)", "-40003,{},"},
      {"ModbusCreate(127.0.0.1,65537,1)", "-40002,{},"},
      {"ModbusCreate(127.0.0.1,p,1)", "-30002,{},"},
      {"ModbusCreate(127.0.0.1," + p + ",1,2)", "-40004,{},"},
      {"ModbusCreate(127.0.0.1," + p + ",1,1)", "-1,{},"},
      {"ModbusCreate(127.0.0.1," + std::to_string(kNobody) + ",1)", "-1,{},"},
  };
  for (const Case& c : cases) EXPECT_EQ(call(c.command), c.reply) << c.command;
  EXPECT_EQ(create(), "0,{0},");
}

TEST_F(ModbusCommands, CoilsAndDiscreteInputs) {
  ASSERT_EQ(create(), "0,{0},");
  EXPECT_EQ(call("SetCoils(0,0,3,1,true,FALSE)"), "0,{},");
  EXPECT_TRUE(slave_.coil(0));
  EXPECT_TRUE(slave_.coil(1));
  EXPECT_FALSE(slave_.coil(2));
  EXPECT_EQ(call("GetCoils(0,0,3)"), "0,{1,1,0},");
  EXPECT_EQ(call("SetCoils(0,0,3,1,0)"), "-20000,{},");
  EXPECT_EQ(call("SetCoils(0,0,2,1,maybe)"), "-40004,{},");
  EXPECT_EQ(call("SetCoils(0,0)"), "-20000,{},");
  EXPECT_EQ(call("SetCoils(3,0,1,1)"), "-40001,{},");
  EXPECT_EQ(call("GetCoils(0,0,17)"), "-40003,{},");
  EXPECT_EQ(call("GetCoils(0,0,16)"), "0,{1,1,0,0,0,0,0,0,0,0,0,0,0,0,0,0},");
  EXPECT_EQ(call("GetCoils(3,0,1)"), "-40001,{},");
  EXPECT_EQ(call("GetCoils(7,0,1)"), "-40001,{},");
  EXPECT_EQ(call("GetCoils(0,x,1)"), "-30002,{},");
  EXPECT_EQ(call("GetCoils(0,0)"), "-20000,{},");
  slave_.setDiscreteInput(0, true);
  slave_.setDiscreteInput(2, true);
  EXPECT_EQ(call("GetInBits(0,0,3)"), "0,{1,0,1},");
}

TEST_F(ModbusCommands, RegistersInEveryType) {
  ASSERT_EQ(create(), "0,{0},");
  EXPECT_EQ(call("SetHoldRegs(0,10,2,1.5,70000)"), "0,{},");
  EXPECT_EQ(call("GetHoldRegs(0,10,2)"), "0,{1,4464},");
  EXPECT_EQ(call("SetHoldRegs(0,0,1,305419896,U32)"), "0,{},");
  EXPECT_EQ(slave_.holding(0), 0x5678);
  EXPECT_EQ(slave_.holding(1), 0x1234);
  EXPECT_EQ(call("GetHoldRegs(0,0,1,U32)"), "0,{305419896},");
  EXPECT_EQ(call("SetHoldRegs(0,20,1,1.5,F32)"), "0,{},");
  EXPECT_EQ(call("GetHoldRegs(0,20,1,F32)"), "0,{1.500000},");
  EXPECT_EQ(call("SetHoldRegs(0,30,1,2.5,F64)"), "0,{},");
  EXPECT_EQ(slave_.holding(30), 0x4004);
  EXPECT_EQ(slave_.holding(31), 0);
  EXPECT_EQ(slave_.holding(33), 0);
  EXPECT_EQ(call("GetHoldRegs(0,30,1,F64)"), "0,{2.500000},");
  slave_.setHolding(40, 7);
  EXPECT_EQ(call("SetHoldRegs(0,40,1,-3)"), "0,{},");
  EXPECT_EQ(slave_.holding(40), 0);
  EXPECT_EQ(call("SetHoldRegs(0,40,1,1e12)"), "0,{},");
  EXPECT_EQ(slave_.holding(40), 65535);
  EXPECT_EQ(call("SetHoldRegs(0,40,1,nan)"), "0,{},");
  EXPECT_EQ(slave_.holding(40), 0);
  slave_.setHolding(16, 99);
  const std::string sixteen = call("GetHoldRegs(0,0,20)");
  // "0," and 15 between the values and "},".
  EXPECT_EQ(std::count(sixteen.begin(), sixteen.end(), ','), 17) << sixteen;
  EXPECT_EQ(sixteen.find("99"), std::string::npos) << sixteen;
  slave_.setInput(5, 7);
  slave_.setInput(6, 8);
  EXPECT_EQ(call("GetInRegs(0,5,2)"), "0,{7,8},");
  EXPECT_EQ(call("GetHoldRegs(2,0,1)"), "-1,{},");
  EXPECT_EQ(call("GetHoldRegs(0,0)"), "-20000,{},");
  EXPECT_EQ(call("SetHoldRegs(0,0,2,1)"), "-20000,{},");
  EXPECT_EQ(call("SetHoldRegs(2,0,1,1)"), "-40001,{},");
}

TEST_F(ModbusCommands, AGoneOrSilentPeerFailsAndKeepsTheSlot) {
  ASSERT_EQ(create(), "0,{0},");
  slave_.stop();
  EXPECT_EQ(call("GetCoils(0,0,3)"), "-1,{}");
  EXPECT_EQ(call("SetCoils(0,0,1,1)"), "-1, {},");
  EXPECT_EQ(call("GetHoldRegs(0,0,1)"), "-1,{},");
  EXPECT_EQ(call("SetHoldRegs(0,0,1,1)"), "-1,{},");
  EXPECT_EQ(call("ModbusClose(0)"), "0,{},");  // the slot stayed filled

  slave_.setSilent(true);
  ASSERT_TRUE(slave_.start());
  ASSERT_EQ(create(), "0,{0},");
  const auto start = Clock::now();
  EXPECT_EQ(call("GetCoils(0,0,1)"), "-1,{}");
  EXPECT_LT(Clock::now() - start, 500ms);
}

TEST_F(ModbusCommands, TwoPortsClosingAndReadingOneSlot) {
  Client other(30003);
  ASSERT_TRUE(other.connected());
  ASSERT_EQ(create(), "0,{0},");
  std::atomic<bool> stop{false};
  std::atomic<int> bad{0};
  std::string badReply;
  std::thread reader([&] {
    while (!stop) {
      const std::string reply = test::call(other, "GetCoils(0,0,4)");
      if (reply != "0,{0,0,0,0}," && reply != "-40001,{}," && reply != "-1,{}") {
        badReply = reply;
        ++bad;
      }
    }
  });
  const auto end = Clock::now() + 2s;
  int rounds = 0;
  while (Clock::now() < end) {
    const std::string closed = call("ModbusClose(0)");
    const std::string created = create();
    EXPECT_EQ(closed, "0,{},");
    EXPECT_EQ(created, "0,{0},");
    ++rounds;
  }
  stop = true;
  reader.join();
  EXPECT_EQ(bad.load(), 0) << badReply;
  EXPECT_GT(rounds, 5);
  EXPECT_TRUE(brevan_.process().running());
}

}  // namespace
}  // namespace zelor::test
